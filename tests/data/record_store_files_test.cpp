#include "test_files.h"

#include "common/gbk.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

class RecordFilesTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString file(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }

    // Opening must fail with a reason and leave the file exactly as it was.
    void expectRefused(const QString &path, const QString &alias = QStringLiteral("x"))
    {
        const FileSnapshot before = snapshot(path);
        const QString companion = RecordStore::companionPath(path);
        const bool hadCompanion = QFile::exists(companion);
        const FileSnapshot companionBefore = hadCompanion ? snapshot(companion) : FileSnapshot {};
        EXPECT_FALSE(store.open(path, alias));
        EXPECT_FALSE(store.lastError().isEmpty());
        EXPECT_FALSE(store.isOpen(alias));
        EXPECT_TRUE(snapshot(path) == before) << "the refused file was changed";
        EXPECT_EQ(QFile::exists(companion), hadCompanion) << "a companion was created";
        if (hadCompanion) {
            EXPECT_TRUE(snapshot(companion) == companionBefore);
        }
        EXPECT_FALSE(QFile::exists(path + QStringLiteral("-journal")));
    }

    QTemporaryDir dir;
    RecordStore store;
};

TEST_F(RecordFilesTest, ForeignFilesAreRefusedAndLeftUntouched)
{
    QByteArray noise(8192, '\0');
    QRandomGenerator generator(42);
    for (char &c : noise)
        c = char(generator.bounded(256));
    writeBytes(file("noise.zrb"), noise);
    expectRefused(file("noise.zrb"));

    writeBytes(file("empty.zrb"), {});
    expectRefused(file("empty.zrb"));

    execSql(file("other.zrb"), QStringLiteral("CREATE TABLE t(a,b); INSERT INTO t VALUES(1,2)"));
    expectRefused(file("other.zrb"));

    // A companion opened as a record file.
    ASSERT_TRUE(RecordStore::create(file("m.zrb"), mixedLayout()));
    expectRefused(file("m.edt"));

    // Our own header with a damaged inside.
    ASSERT_TRUE(RecordStore::create(file("broken.zrb"), mixedLayout()));
    execSql(file("broken.zrb"), QStringLiteral("DROP TABLE layout"));
    expectRefused(file("broken.zrb"));

    EXPECT_FALSE(store.open(file("missing.zrb"), QStringLiteral("x")));
    EXPECT_FALSE(QFile::exists(file("missing.zrb")));
    EXPECT_FALSE(store.open(dir.path(), QStringLiteral("x")));
}

TEST_F(RecordFilesTest, CompanionMustBeThereAndBelongToTheFile)
{
    ASSERT_TRUE(RecordStore::create(file("a.zrb"), mixedLayout()));
    ASSERT_TRUE(RecordStore::create(file("b.zrb"), mixedLayout()));

    ASSERT_TRUE(QFile::rename(file("a.edt"), file("a-saved.edt")));
    expectRefused(file("a.zrb"));
    EXPECT_FALSE(QFile::exists(file("a.edt")));

    ASSERT_TRUE(QFile::copy(file("b.edt"), file("a.edt")));
    expectRefused(file("a.zrb"));
    EXPECT_NE(store.lastError().indexOf(QStringLiteral("不属于")), -1);

    ASSERT_TRUE(QFile::remove(file("a.edt")));
    writeBytes(file("a.edt"), "not a database at all, just words");
    expectRefused(file("a.zrb"));

    ASSERT_TRUE(QFile::remove(file("a.edt")));
    ASSERT_TRUE(QFile::rename(file("a-saved.edt"), file("a.edt")));
    EXPECT_TRUE(store.open(file("a.zrb"), QStringLiteral("x"))) << store.lastError().toStdString();
}

TEST_F(RecordFilesTest, TheStockAliasTakesOnlyTheStockLayout)
{
    ASSERT_TRUE(RecordStore::create(file("data.zrb"), mixedLayout()));
    expectRefused(file("data.zrb"), QStringLiteral("data"));
    EXPECT_TRUE(store.open(file("data.zrb"), QStringLiteral("other")));
    store.closeAll();

    ASSERT_TRUE(Stock::createEmptyFile(file("real.zrb")));
    EXPECT_TRUE(store.open(file("real.zrb"), QStringLiteral("DATA")));
}

TEST_F(RecordFilesTest, ReadingLeavesTheFileAndItsTimeAlone)
{
    const QString path = file("data.zrb");
    ASSERT_TRUE(Stock::createEmptyFile(path));
    ASSERT_TRUE(store.open(path, Stock::alias()));
    fillStock(store, 20);
    store.first();
    ASSERT_TRUE(store.appendMemo(Stock::ReceiptHistory, QStringLiteral("数量 1\r\n")));
    store.closeAll();

    const FileSnapshot before = snapshot(path);
    const FileSnapshot companionBefore = snapshot(file("data.edt"));
    QThread::msleep(1100); // coarse file times must have a chance to differ
    ASSERT_TRUE(store.open(path, Stock::alias()));
    for (store.first(); !store.atEnd(); store.skip()) {
        store.readText(Stock::Name);
        store.readText(Stock::ReceiptHistory);
    }
    EXPECT_FALSE(store.find(
        [](const RecordStore &s) { return s.readText(Stock::Name) == QLatin1String("x"); }));
    store.closeAll();
    EXPECT_TRUE(snapshot(path) == before);
    EXPECT_TRUE(snapshot(file("data.edt")) == companionBefore);
}

TEST_F(RecordFilesTest, OpenPutsBackTheRollbackJournal)
{
    const QString path = file("w.zrb");
    ASSERT_TRUE(RecordStore::create(path, mixedLayout()));
    execSql(path, QStringLiteral("PRAGMA journal_mode=WAL"));
    ASSERT_EQ(querySql(path, QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
    ASSERT_TRUE(store.open(path, QStringLiteral("w"))) << store.lastError().toStdString();
    ASSERT_TRUE(store.add({QStringLiteral("a")}));
    store.closeAll();
    EXPECT_EQ(querySql(path, QStringLiteral("PRAGMA journal_mode")), QStringLiteral("delete"));
}

TEST_F(RecordFilesTest, CopyKeepsChosenRecordsAndFieldsAndBringsMemos)
{
    const QString path = file("data.zrb");
    ASSERT_TRUE(Stock::createEmptyFile(path));
    ASSERT_TRUE(store.open(path, Stock::alias()));
    fillStock(store, 10);
    EXPECT_TRUE(store.goTo(3));
    ASSERT_TRUE(store.appendMemo(Stock::IssueHistory, QStringLiteral("issue3")));
    EXPECT_TRUE(store.goTo(8));
    ASSERT_TRUE(store.appendMemo(Stock::IssueHistory, QStringLiteral("issue8")));
    EXPECT_TRUE(store.goTo(5));

    // The display copy: seven fields, every record, no companion.
    ASSERT_TRUE(store.copyTo(file("data2.zrb"), {}, Stock::displayFields()));
    EXPECT_EQ(store.recordNumber(), 5) << "copying keeps the cursor";
    EXPECT_FALSE(QFile::exists(file("data2.edt")));

    // A copy with a condition and a memo field.
    const auto even = [](const RecordStore &s) {
        return int(s.readNumber(Stock::Quantity)) % 2 == 0;
    };
    ASSERT_TRUE(
        store.copyTo(file("even.zrb"), even, {QStringLiteral("出库记录"), QStringLiteral("品名")}));
    ASSERT_TRUE(QFile::exists(file("even.edt")));

    // A whole copy, done inside a booking, sees the booking's state.
    {
        RecordStore::Transaction transaction(store);
        EXPECT_TRUE(store.goTo(1));
        ASSERT_TRUE(store.write(Stock::Quantity, 1000));
        ASSERT_TRUE(store.copyTo(file("inside.zrb")));
    }

    RecordStore reader;
    ASSERT_TRUE(reader.open(file("data2.zrb"), QStringLiteral("d")));
    ASSERT_EQ(reader.fieldCount(), 7);
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(reader.fieldName(i), Stock::displayFields()[i - 1]);
    EXPECT_EQ(reader.fieldKind(4), FieldKind::Number);
    EXPECT_EQ(reader.recordCount(), 10);
    EXPECT_TRUE(reader.goTo(10));
    EXPECT_EQ(reader.readText(1), QStringLiteral("item10"));
    EXPECT_EQ(reader.readNumber(6), 25.0);

    ASSERT_TRUE(reader.open(file("even.zrb"), QStringLiteral("e")));
    ASSERT_EQ(reader.fieldCount(), 2);
    EXPECT_EQ(reader.fieldKind(1), FieldKind::Memo);
    QStringList rows;
    for (reader.first(); !reader.atEnd(); reader.skip())
        rows << reader.readText(2) + u':' + reader.readText(1);
    EXPECT_EQ(rows, QStringList({"item2:", "item4:", "item6:", "item8:issue8", "item10:"}));

    ASSERT_TRUE(reader.open(file("inside.zrb"), QStringLiteral("i")));
    EXPECT_EQ(reader.readNumber(Stock::Quantity), 1000.0);
    EXPECT_TRUE(reader.goTo(3));
    EXPECT_EQ(reader.readText(Stock::IssueHistory), QStringLiteral("issue3"));

    // The booking was rolled back; the copy on disk is the copy that was made.
    EXPECT_TRUE(store.goTo(1));
    EXPECT_EQ(store.readNumber(Stock::Quantity), 1.0);

    // A copy replaces an older file of that name, but never a file that is open.
    reader.close(QStringLiteral("e"));
    ASSERT_TRUE(store.open(file("even.zrb"), QStringLiteral("e")));
    ASSERT_TRUE(store.select(Stock::alias()));
    EXPECT_FALSE(store.copyTo(file("even.zrb"), {}, {QStringLiteral("品名")}));
    store.close(QStringLiteral("e"));
    ASSERT_TRUE(store.select(Stock::alias()));
    ASSERT_TRUE(store.copyTo(file("even.zrb"), {}, {QStringLiteral("品名")}));
    ASSERT_TRUE(reader.open(file("even.zrb"), QStringLiteral("e")));
    EXPECT_EQ(reader.recordCount(), 10);
    EXPECT_FALSE(store.copyTo(file("x.zrb"), {}, {QStringLiteral("没有这个字段")}));
    EXPECT_FALSE(QFile::exists(file("x.zrb")));

    // No temporaries are left behind.
    const QStringList left = QDir(dir.path()).entryList({QStringLiteral("~*")}, QDir::Files);
    EXPECT_TRUE(left.isEmpty()) << left.join(u' ').toStdString();
}

TEST_F(RecordFilesTest, SortOrdersTextsInGbkNumbersAndDatesByValue)
{
    const Layout layout = {{QStringLiteral("名"), FieldKind::Text},
        {QStringLiteral("数"), FieldKind::Number}, {QStringLiteral("日"), FieldKind::DateTime}};
    ASSERT_TRUE(RecordStore::create(file("s.zrb"), layout));
    ASSERT_TRUE(store.open(file("s.zrb"), QStringLiteral("qd")));
    // In GBK 啊 (B0A1) < 不 (B2BB) < 中 (D6D0): pinyin order, unlike Unicode's.
    const QDateTime d1(QDate(2010, 5, 1), QTime(8, 0));
    const QDateTime d2(QDate(2009, 12, 31), QTime(23, 59, 59));
    ASSERT_TRUE(store.add({QStringLiteral("中"), 10, d1}));
    ASSERT_TRUE(store.add({QStringLiteral("啊"), 2, QDateTime()}));
    ASSERT_TRUE(store.add({QStringLiteral("不"), 2.5, d2}));
    ASSERT_TRUE(store.add({QStringLiteral("B"), -1, d1}));
    ASSERT_TRUE(store.add({QStringLiteral("不"), 2, d2}));

    const auto column = [&](const char *name, int field, int sortField, bool descending) {
        EXPECT_TRUE(store.sortTo(file(name), sortField, descending));
        RecordStore reader;
        EXPECT_TRUE(reader.open(file(name), QStringLiteral("r")));
        QStringList values;
        for (reader.first(); !reader.atEnd(); reader.skip())
            values << reader.readText(field);
        return values;
    };
    EXPECT_EQ(column("t.zrb", 1, 1, false), QStringList({"B", "啊", "不", "不", "中"}));
    EXPECT_EQ(column("t.zrb", 2, 1, false), QStringList({"-1", "2", "2.5", "2", "10"}))
        << "equal keys keep record order";
    EXPECT_EQ(column("t.zrb", 1, 1, true), QStringList({"中", "不", "不", "啊", "B"}));
    EXPECT_EQ(column("t.zrb", 2, 1, true), QStringList({"10", "2.5", "2", "2", "-1"}));
    EXPECT_EQ(column("n.zrb", 2, 2, false), QStringList({"-1", "2", "2", "2.5", "10"}));
    EXPECT_EQ(column("n.zrb", 1, 2, false), QStringList({"B", "啊", "不", "不", "中"}));
    EXPECT_EQ(column("d.zrb", 1, 3, false), QStringList({"啊", "不", "不", "中", "B"}));
    EXPECT_EQ(column("d.zrb", 1, 3, true), QStringList({"中", "B", "不", "不", "啊"}));
}

TEST_F(RecordFilesTest, AppendFromMatchesFieldsByNameAndKind)
{
    const Layout source = {{QStringLiteral("品名"), FieldKind::Text},
        {QStringLiteral("数量"), FieldKind::Text}, // other kind: not taken
        {QStringLiteral("单价"), FieldKind::Number}, {QStringLiteral("进库记录"), FieldKind::Text},
        {QStringLiteral("多余"), FieldKind::Number}};
    ASSERT_TRUE(RecordStore::create(file("src.zrb"), source));
    ASSERT_TRUE(store.open(file("src.zrb"), QStringLiteral("src")));
    ASSERT_TRUE(
        store.add({QStringLiteral("螺栓"), QStringLiteral("5"), 1.5, QStringLiteral("初始"), 9}));
    ASSERT_TRUE(store.add({QStringLiteral("螺母"), QStringLiteral("6"), 0.5}));
    ASSERT_TRUE(Stock::createEmptyFile(file("data.zrb")));
    ASSERT_TRUE(store.open(file("data.zrb"), Stock::alias()));
    fillStock(store, 1);
    ASSERT_TRUE(store.appendFrom(QStringLiteral("src")));
    EXPECT_EQ(store.recordCount(), 3);
    EXPECT_TRUE(store.goTo(2));
    EXPECT_EQ(store.readText(Stock::Name), QStringLiteral("螺栓"));
    EXPECT_EQ(store.readNumber(Stock::Quantity), 0.0);
    EXPECT_EQ(store.readNumber(Stock::UnitPrice), 1.5);
    EXPECT_EQ(store.readText(Stock::ReceiptHistory), QStringLiteral("初始"));
    EXPECT_TRUE(store.goTo(3));
    EXPECT_EQ(store.readText(Stock::Name), QStringLiteral("螺母"));
    // Fields of one kind throughout: the missing ones come out empty.
    const Layout narrow = {{QStringLiteral("数量"), FieldKind::Number},
        {QStringLiteral("品名"), FieldKind::Text}, {QStringLiteral("出库记录"), FieldKind::Memo}};
    ASSERT_TRUE(RecordStore::create(file("narrow.zrb"), narrow));
    ASSERT_TRUE(store.open(file("narrow.zrb"), QStringLiteral("narrow")));
    ASSERT_TRUE(store.add({7, QStringLiteral("垫圈"), QStringLiteral("出库一次")}));
    ASSERT_TRUE(store.select(Stock::alias()));
    ASSERT_TRUE(store.appendFrom(QStringLiteral("narrow")));
    EXPECT_EQ(store.recordCount(), 4);
    EXPECT_EQ(store.recordNumber(), 4);
    EXPECT_EQ(store.readText(Stock::Name), QStringLiteral("垫圈"));
    EXPECT_EQ(store.readNumber(Stock::Quantity), 7.0);
    EXPECT_EQ(store.readText(Stock::Spec), QString());
    EXPECT_EQ(store.readNumber(Stock::UnitPrice), 0.0);
    EXPECT_FALSE(store.readDateTime(Stock::IssueDate).isValid());
    EXPECT_EQ(store.readText(Stock::IssueHistory), QStringLiteral("出库一次"));
    EXPECT_EQ(store.readText(Stock::ReceiptHistory), QString());
    ASSERT_TRUE(store.add({QStringLiteral("后来")}));
    EXPECT_EQ(store.recordNumber(), 5);
    EXPECT_EQ(store.readText(Stock::IssueHistory), QString());

    EXPECT_FALSE(store.appendFrom(QStringLiteral("nothing")));
    EXPECT_FALSE(store.appendFrom(Stock::alias()));
}

} // namespace
