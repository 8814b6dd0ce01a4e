#include "issue/goods_issue.h"
#include "support/record_files.h"

#include "common/app_state.h"
#include "data/item_backup.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "support/qt_print.h"
#include "table/data_source.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class GoodsIssueTest : public testing::Test
{
protected:
    void SetUp() override
    {
        programDir = dir.path();
        ASSERT_TRUE(Stock::createEmptyFile(programDir + "/data.zrb"));
        ASSERT_TRUE(store.open(programDir + "/data.zrb", Stock::alias()));
        add("电缆", "YJV", 3, 30);
        add("螺栓", "M8", 100, 50);
        note.department = QStringLiteral("供电所");
        note.handler = QStringLiteral("张 三");
        note.lines = QList<IssueNote::Line>(IssueNote::lineCount);
    }

    // An item; an empty name or spec is stored as no text at all.
    void add(const char *name, const char *spec, double quantity, double amount)
    {
        const auto text = [](const char *t) {
            return *t ? QString::fromUtf8(t) : QString();
        };
        ASSERT_TRUE(store.add(
            {text(name), text(spec), QStringLiteral("个"), quantity, amount / quantity, amount}));
    }

    // Texts as typed into the note; an empty one is a blank cell.
    void setLine(
        int k, const char *name, const char *spec, const char *quantity, const char *amount)
    {
        note.lines[k - 1] = {QString::fromUtf8(name), QString::fromUtf8(spec),
            QString::fromUtf8(quantity), QString::fromUtf8(amount)};
    }

    void book()
    {
        const Status s = bookIssue(stockFileOf(store, programDir), programDir, note, now);
        ASSERT_TRUE(s) << s.message().toStdString();
    }

    void goTo(const char *name, const char *spec)
    {
        ASSERT_TRUE(store.findFirstEqual(
            Stock::Name, QString::fromUtf8(name), Stock::Spec, QString::fromUtf8(spec)));
    }

    QList<double> totals()
    {
        QList<double> values;
        for (const int f : {Stock::IssueQuantity, Stock::IssueAmount, Stock::MonthIssueQuantity,
                 Stock::MonthIssueAmount, Stock::YearIssueQuantity, Stock::YearIssueAmount})
            values << store.readNumber(f);
        return values;
    }

    QTemporaryDir dir;
    QString programDir;
    RecordStore store;
    IssueNote note;
    QDateTime now {QDate(2011, 3, 7), QTime(9, 5, 30)};
};

TEST_F(GoodsIssueTest, IssuesMoreThanTheStockAndKeepsTheValueAtZero)
{
    setLine(1, "电缆", "YJV", "5", "50.00");
    book();
    goTo("电缆", "YJV");
    EXPECT_EQ(store.readNumber(Stock::Quantity), -2.0);
    EXPECT_EQ(store.readNumber(Stock::Amount), 0.0);
    EXPECT_EQ(totals(), QList<double>({5, 50, 5, 50, 5, 50}));
    EXPECT_EQ(store.readDateTime(Stock::IssueDate), now);
    EXPECT_EQ(store.readText(Stock::IssueHistory),
        QStringLiteral(
            "数量 5 金额 50.00 部门 供电所 经手 张 三  时间 2011年3月7日9时5分30秒\r\n"));
    goTo("螺栓", "M8");
    EXPECT_EQ(store.readNumber(Stock::Quantity), 100.0);
    EXPECT_TRUE(store.readText(Stock::IssueHistory).isEmpty());
}

TEST_F(GoodsIssueTest, TwoLinesOfOneItemBookTwiceAndTheBackupHoldsTheFirst)
{
    setLine(1, "螺栓", "M8", "10", "5");
    setLine(5, "螺栓", "M8", "0.333", "0.01");
    book();
    goTo("螺栓", "M8");
    EXPECT_EQ(store.readNumber(Stock::Quantity), 89.67);
    EXPECT_EQ(store.readNumber(Stock::Amount), 44.99);
    EXPECT_EQ(totals(), QList<double>({10.33, 5.01, 10.33, 5.01, 10.33, 5.01}));
    EXPECT_EQ(store.readText(Stock::IssueHistory).count(QStringLiteral("\r\n")), 2);

    RecordStore reader;
    ASSERT_TRUE(
        reader.open(ItemBackup::issueFolder(programDir) + "/螺栓M8.zrb", QStringLiteral("xdgja")));
    ASSERT_EQ(reader.recordCount(), 1);
    EXPECT_EQ(reader.readNumber(Stock::Quantity), 90.0) << "the state after the first line";
}

TEST_F(GoodsIssueTest, TotalsFollowTheCalendar)
{
    setLine(1, "螺栓", "M8", "1", "2");
    book();
    book(); // a second note of the line, the same day
    goTo("螺栓", "M8");
    EXPECT_EQ(totals(), QList<double>({2, 4, 2, 4, 2, 4}));
    now = QDateTime(QDate(2011, 3, 8), QTime(8, 0));
    book();
    goTo("螺栓", "M8");
    EXPECT_EQ(totals(), QList<double>({1, 2, 3, 6, 3, 6}));
    now = QDateTime(QDate(2011, 4, 8), QTime(8, 0));
    book();
    goTo("螺栓", "M8");
    EXPECT_EQ(totals(), QList<double>({1, 2, 1, 2, 4, 8}));
    now = QDateTime(QDate(2012, 1, 1), QTime(0, 0));
    book();
    goTo("螺栓", "M8");
    EXPECT_EQ(totals(), QList<double>({1, 2, 1, 2, 1, 2}));
    EXPECT_EQ(store.readNumber(Stock::Quantity), 95.0);
    EXPECT_TRUE(
        store.readText(Stock::IssueHistory).endsWith(QStringLiteral("时间 2012年1月1日\r\n")));
}

TEST_F(GoodsIssueTest, TheSameMonthOfTheNextYearRestartsEveryTotal)
{
    setLine(1, "螺栓", "M8", "3", "6");
    book();
    // A year later to the day: same month and day, but another year.
    now = QDateTime(QDate(2012, 3, 7), QTime(9, 5));
    setLine(1, "螺栓", "M8", "1", "2");
    book();
    goTo("螺栓", "M8");
    EXPECT_EQ(totals(), QList<double>({1, 2, 1, 2, 1, 2}));
    // Another year and another day: everything restarts again.
    now = QDateTime(QDate(2013, 3, 8), QTime(9, 5));
    book();
    goTo("螺栓", "M8");
    EXPECT_EQ(totals(), QList<double>({1, 2, 1, 2, 1, 2}));
}

TEST_F(GoodsIssueTest, EmptyLinesAreNotBookedEvenAgainstABlankItem)
{
    add("", "", 5, 5);
    setLine(3, "电缆", "YJV", "", "");
    book();
    EXPECT_TRUE(store.goTo(3));
    EXPECT_TRUE(store.readText(Stock::IssueHistory).isEmpty());
    EXPECT_FALSE(store.readDateTime(Stock::IssueDate).isValid());
    // A line of quantity 0 for a real item is still booked.
    goTo("电缆", "YJV");
    EXPECT_EQ(store.readDateTime(Stock::IssueDate), now);
    EXPECT_EQ(store.readText(Stock::IssueHistory),
        QStringLiteral("数量 0 金额 0.00 部门 供电所 经手 张 三  时间 2011年3月7日9时5分30秒\r\n"));
}

TEST_F(GoodsIssueTest, AFailingNoteBooksNothing)
{
    setLine(1, "螺栓", "M8", "1", "1");
    // The stock file cannot be written: another connection holds a write lock.
    store.closeAll();
    RecordStore locker;
    ASSERT_TRUE(locker.open(programDir + "/data.zrb", Stock::alias()));
    RecordStore::Transaction lock(locker);
    ASSERT_TRUE(lock.active());
    locker.first();
    ASSERT_TRUE(locker.write(Stock::Unit, QStringLiteral("把")));

    const Status s = bookIssue(stockFileOf(store, programDir), programDir, note, now);
    EXPECT_FALSE(s);
    EXPECT_FALSE(s.message().isEmpty());
    lock.rollback();
    goTo("螺栓", "M8");
    EXPECT_EQ(store.readNumber(Stock::Quantity), 100.0);
}

TEST_F(GoodsIssueTest, EveryLineIsMatchedAndReadWholeOrNamed)
{
    const struct
    {
        const char *name, *quantity, *amount;
        double booked; // the quantity, when there is no problem
        const char *problem;
    } cases[] = {
        {"螺栓", "1,234.5", "2,469", 1234.5, nullptr},
        {"螺栓", " １２ ", "２４．５", 12, nullptr},
        {"螺栓", "", "", 0, nullptr},
        {"螺栓", "12abc", "24", 0, "第 2 行“螺栓 M8”的数量“12abc”不是数字"},
        {"螺栓", "3", "3元", 0, "第 2 行“螺栓 M8”的金额“3元”不是数字"},
        {"螺拴", "1", "1", 0, "第 2 行“螺拴 M8”在库存中找不到这个品名和规格型号"},
        {"", "5", "", 0, "第 2 行有数量或金额，但没有品名和规格型号"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.quantity);
        setLine(2, c.name, *c.name ? "M8" : "", c.quantity, c.amount);
        const IssueCheck check = checkIssue(stockFileOf(store, programDir), note);
        ASSERT_TRUE(check.status);
        EXPECT_EQ(
            check.problems, c.problem ? QStringList {QString::fromUtf8(c.problem)} : QStringList());
        EXPECT_EQ(check.bookings.size(), c.problem ? 0 : 1);
        EXPECT_EQ(check.bookings.value(0).quantity, c.booked);
        EXPECT_EQ(
            bool(bookIssue(stockFileOf(store, programDir), programDir, note, now)), !c.problem);
    }
}

TEST_F(GoodsIssueTest, LinesOfOneItemCountTogetherForTheStockTheyLeave)
{
    for (int k : {1, 2})
        setLine(k, "电缆", "YJV", "2", "");
    setLine(3, "螺栓", "M8", "99", "");
    IssueCheck check = checkIssue(stockFileOf(store, programDir), note);
    ASSERT_EQ(check.shortfalls.size(), 1) << "螺栓 keeps 1";
    EXPECT_EQ(issueQuestion(check),
        QStringLiteral("以下物资出库后库存将为零或小于零：\n电缆 YJV：出库 4，出库后库存 -1\n"
                       "仍然出库吗？"));

    // Down to zero, past the value, and a negative line: one question for all.
    setLine(1, "电缆", "YJV", "1", "40");
    setLine(2, "螺栓", "M8", "1", "-100");
    setLine(3, "螺栓", "M8", "99", "49.5");
    check = checkIssue(stockFileOf(store, programDir), note);
    EXPECT_EQ(issueQuestion(check),
        QStringLiteral("以下物资出库后库存将为零或小于零：\n螺栓 M8：出库 100，出库后库存 0\n"
                       "以下物资的出库金额超过库存金额，库存金额将记为 0：\n"
                       "电缆 YJV：出库金额 40，库存金额 30，出库后库存金额 0\n"
                       "以下各行的数量或金额是负数，出库将使库存增加：\n"
                       "第 2 行“螺栓 M8”：数量 1，金额 -100，出库后库存 0，库存金额 100.5\n"
                       "仍然出库吗？"));
    book();
    goTo("螺栓", "M8");
    EXPECT_EQ(store.readNumber(Stock::Amount), 100.5) << "as the question said";
    goTo("电缆", "YJV");
    EXPECT_EQ(store.readNumber(Stock::Amount), 0.0);
    EXPECT_TRUE(
        store.readText(Stock::IssueHistory).startsWith(QStringLiteral("数量 1 金额 40.00 ")));

    // Nothing to ask: a note that leaves stock and value above zero.
    setLine(2, "", "", "", "");
    setLine(3, "", "", "", "");
    setLine(1, "螺栓", "M8", "-0", "0");
    EXPECT_EQ(issueQuestion(checkIssue(stockFileOf(store, programDir), note)), QString());
}

TEST(IssueNote, LinesAreReadFromTheGridAsShown)
{
    DataSource grid;
    grid.setSize(15, 6);
    grid.setText(2, 3, QStringLiteral("供电所"));
    grid.setText(15, 6, QStringLiteral("领    料:李四"));
    grid.setText(5, 1, QStringLiteral("电缆"));
    grid.setText(5, 2, QStringLiteral("YJV"));
    grid.setText(5, 3, QStringLiteral("2.50"));
    grid.setText(5, 6, QStringLiteral("25"));
    grid.setText(13, 1, QStringLiteral("最后"));
    grid.setText(14, 1, QStringLiteral("合       计"));
    const IssueNote note = IssueNote::fromGrid(grid);
    ASSERT_EQ(note.lines.size(), 9);
    EXPECT_EQ(note.lines[0].quantity, QStringLiteral("2.50"));
    EXPECT_EQ(note.lines[0].amount, QStringLiteral("25"));
    EXPECT_EQ(note.lines[8].name, QStringLiteral("最后"));
    EXPECT_EQ(note.department, QStringLiteral("供电所"));
    EXPECT_EQ(note.handler, QStringLiteral("李四"));
    // A picked row keeps its record while its key is the picked line's.
    const QList<IssueLine> picked {{"电缆", "YJV", "", 0, 0, 0, 7}, {"开关", "K1", "", 0, 0, 0, 8}};
    const IssueNote ids = IssueNote::fromGrid(grid, picked);
    EXPECT_EQ(QList<qint64>({ids.lines[0].recordId, ids.lines[1].recordId}), QList<qint64>({7, 0}));
}

} // namespace
