#include "ledger/statistics.h"

#include "data/record_store.h"
#include "data/stock_layout.h"
#include "support/qt_print.h"
#include "support/reader_threads_param.h"
#include "support/record_files.h"
#include "table/record_file_provider.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Statistics::Kind;
using Statistics::Movement;
using Statistics::Period;

class StatisticsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        programDir = dir.path();
        ASSERT_TRUE(Stock::createEmptyFile(programDir + "/data.zrb"));
        ASSERT_TRUE(store.open(programDir + "/data.zrb", Stock::alias()));
    }

    void add(const QString &name, const QDateTime &issued, const QDateTime &received)
    {
        QVariantList values(Stock::fieldCount);
        values[Stock::Name - 1] = name;
        values[Stock::UnitPrice - 1] = 2.5;
        values[Stock::IssueQuantity - 1] = 1;
        values[Stock::MonthIssueQuantity - 1] = 10;
        values[Stock::YearIssueQuantity - 1] = 100;
        values[Stock::YearIssueAmount - 1] = 250;
        values[Stock::IssueDate - 1] = issued;
        values[Stock::ReceiptDate - 1] = received;
        values[Stock::YearReceiptQuantity - 1] = 7;
        ASSERT_TRUE(store.add(values));
    }

    // "name quantity" of every row of qd.zrb.
    QStringList result(const Kind &kind)
    {
        const Status s = Statistics::write(stockFileOf(store, programDir), programDir, kind, now);
        EXPECT_TRUE(s) << s.message().toStdString();
        RecordStore reader;
        EXPECT_TRUE(reader.open(Statistics::resultPath(programDir), QStringLiteral("qd")));
        QStringList rows;
        for (reader.first(); !reader.atEnd(); reader.skip())
            rows << reader.readText(1) + u' ' + reader.readText(5);
        return rows;
    }

    // Every row a provider gives, its texts joined by "|".
    static QStringList rowsOf(const RowProvider &rows)
    {
        QStringList result;
        EXPECT_TRUE(rows.forEachRow([&](const QStringView *texts) {
            QStringList row;
            for (int c = 0; c < rows.providedColumnCount(); ++c)
                row << texts[c].toString();
            result << row.join(u'|');
        }));
        return result;
    }

    QTemporaryDir dir;
    QString programDir;
    RecordStore store;
    QDateTime now {QDate(2011, 3, 7), QTime(16, 0)};
};

TEST_F(StatisticsTest, ResultsCarryTheSevenFieldsOfTheirPeriod)
{
    add(QStringLiteral("甲"), now.addSecs(-3600), QDateTime());
    const Status s = Statistics::write(
        stockFileOf(store, programDir), programDir, {Movement::Issue, Period::Month}, now);
    ASSERT_TRUE(s);
    RecordStore reader;
    ASSERT_TRUE(reader.open(Statistics::resultPath(programDir), QStringLiteral("qd")));
    ASSERT_EQ(reader.fieldCount(), 7);
    QStringList names;
    for (int i = 1; i <= 7; ++i)
        names << reader.fieldName(i);
    EXPECT_EQ(names,
        QStringList(
            {"品名", "规格型号", "单位", "单价", "本月出库数量", "本月出库金额", "出库日期"}));
    EXPECT_EQ(Statistics::fields({Movement::Receipt, Period::Day}).mid(4),
        QStringList({"进库数量", "进库金额", "进库日期"}));
    EXPECT_EQ(Statistics::fields({Movement::Receipt, Period::Year}).mid(4),
        QStringList({"本年进库数量", "本年进库金额", "进库日期"}));
    EXPECT_EQ(Statistics::caption({Movement::Issue, Period::Year}), QStringLiteral("本年出库"));
    EXPECT_EQ(reader.readDateTime(7), now.addSecs(-3600));
}

TEST_F(StatisticsTest, RecordsAreSelectedByTheCalendarOfTheirLatestMovement)
{
    add(QStringLiteral("今天"), now.addSecs(-60), QDateTime());
    add(QStringLiteral("昨天"), now.addDays(-1), QDateTime());
    add(QStringLiteral("上月同日"), now.addMonths(-1), QDateTime());
    add(QStringLiteral("去年同日"), now.addYears(-1), now);
    add(QStringLiteral("从未"), QDateTime(), QDateTime());
    EXPECT_EQ(result({Movement::Issue, Period::Day}), QStringList({"今天 1"}));
    EXPECT_EQ(result({Movement::Issue, Period::Month}), QStringList({"今天 10", "昨天 10"}));
    EXPECT_EQ(result({Movement::Issue, Period::Year}),
        QStringList({"今天 100", "昨天 100", "上月同日 100"}));
    EXPECT_EQ(result({Movement::Receipt, Period::Year}), QStringList({"去年同日 7"}))
        << "the second command replaces the first result";
    EXPECT_EQ(result({Movement::Receipt, Period::Day}), QStringList({"去年同日 0"}));
}

TEST_F(StatisticsTest, NewYearsDayListsOnlyThatDay)
{
    now = QDateTime(QDate(2012, 1, 1), QTime(9, 0));
    add(QStringLiteral("除夕"), QDateTime(QDate(2011, 12, 31), QTime(23, 59)), QDateTime());
    add(QStringLiteral("元旦"), QDateTime(QDate(2012, 1, 1), QTime(8, 0)), QDateTime());
    EXPECT_EQ(result({Movement::Issue, Period::Year}), QStringList({"元旦 100"}));
    EXPECT_EQ(result({Movement::Receipt, Period::Year}), QStringList());
}

TEST_F(StatisticsTest, APeriodRunsFromItsFirstSecondToItsLastAndIgnoresAStaleJournal)
{
    now = QDateTime(QDate(2011, 12, 31), QTime(12, 0));
    add(QStringLiteral("年末"), QDateTime(QDate(2011, 12, 31), QTime(23, 59, 59)), QDateTime());
    add(QStringLiteral("月初"), QDateTime(QDate(2011, 12, 1), QTime(0, 0)), QDateTime());
    add(QStringLiteral("上月末"), QDateTime(QDate(2011, 11, 30), QTime(23, 59, 59)), QDateTime());
    add(QStringLiteral("明年"), QDateTime(QDate(2012, 1, 1), QTime(0, 0)), QDateTime());
    add(QStringLiteral("年初"), QDateTime(QDate(2011, 1, 1), QTime(0, 0)), QDateTime());
    // A journal an earlier result left must not be played into the new one.
    QFile journal(Statistics::resultPath(programDir) + "-journal");
    ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
    ASSERT_EQ(journal.write(QByteArray(4096, '\x5a')), 4096);
    journal.close();
    EXPECT_EQ(result({Movement::Issue, Period::Day}), QStringList({"年末 1"}));
    EXPECT_FALSE(QFile::exists(journal.fileName()));
    EXPECT_EQ(result({Movement::Issue, Period::Month}), QStringList({"年末 10", "月初 10"}));
    EXPECT_EQ(result({Movement::Issue, Period::Year}),
        QStringList({"年末 100", "月初 100", "上月末 100", "年初 100"}));
}

class StatisticsThreadsTest : public ReaderThreadsParam, public StatisticsTest
{
};

TEST_P(StatisticsThreadsTest, TheRowsReadBesideTheWriteAreTheRowsOfTheFileWritten)
{
    // The edges of every period, twins, a deleted record, a record never
    // issued, and values only another program would have stored.
    const QDateTime edges[] = {QDateTime(QDate(2011, 1, 1), QTime(0, 0)),
        QDateTime(QDate(2010, 12, 31), QTime(23, 59, 59)),
        QDateTime(QDate(2011, 12, 31), QTime(23, 59, 59)),
        QDateTime(QDate(2012, 1, 1), QTime(0, 0)), QDateTime(QDate(2011, 3, 1), QTime(0, 0)),
        QDateTime(QDate(2011, 2, 28), QTime(23, 59, 59)), now.addSecs(-60), now.addSecs(-60), now,
        QDateTime(), now.addDays(-6), now.addSecs(3600)};
    for (const QDateTime &when : edges)
        add(QStringLiteral("项目%1").arg(store.recordCount() + 1), when, when.addDays(-1));
    ASSERT_TRUE(store.goTo(9));
    ASSERT_TRUE(store.deleteRecord());
    execSql(programDir + "/data.zrb",
        QStringLiteral("UPDATE records SET c1=CAST(X'EFBBBF41' AS TEXT), c5=0.1+0.2 WHERE id=1;"
                       "UPDATE records SET c5=-1e300, c19=123456789012345.6 WHERE id=2;"
                       "UPDATE records SET c9='2011年', c13=20110307120000.5 WHERE id=3;"
                       "UPDATE records SET c2=NULL, c3=7, c18=NULL, c16='甲' WHERE id=7;"
                       "UPDATE records SET c9=20110307000000, c13=20110306235959 WHERE id=11"));

    int seen = 0;
    for (const Movement movement : {Movement::Issue, Movement::Receipt}) {
        for (const Period period : {Period::Day, Period::Month, Period::Year}) {
            const Kind kind {movement, period};
            std::optional<TextRows> rows;
            const Status s = Statistics::writeWithRows(
                stockFileOf(store, programDir), programDir, kind, now, rows);
            ASSERT_TRUE(s) << s.message().toStdString();
            RecordFileProvider file;
            ASSERT_TRUE(file.setFile(Statistics::resultPath(programDir)));
            const QStringList written = rowsOf(file);
            TextRows read;
            ASSERT_TRUE(Statistics::readRows(programDir, kind, now, read));
            EXPECT_EQ(rowsOf(read), written) << Statistics::caption(kind).toStdString();
            // By the copy itself with one thread, beside it with two.
            ASSERT_TRUE(rows.has_value());
            EXPECT_EQ(rowsOf(*rows), written) << Statistics::caption(kind).toStdString();
            seen += int(written.size());
        }
    }
    EXPECT_GE(seen, 20) << "the periods found the records";
}

INSTANTIATE_READER_THREADS(StatisticsThreadsTest);

} // namespace
