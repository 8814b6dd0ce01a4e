#include "test_files.h"

#include "common/value_text.h"
#include "data/stock_layout.h"

#include <QTemporaryDir>

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

namespace {

class RecordStoreTest : public MixedFileTest
{
protected:
    void addThree()
    {
        for (const char *name : {"甲", "乙", "丙"})
            ASSERT_TRUE(store.add({QString::fromUtf8(name)}));
    }
};

TEST_F(RecordStoreTest, EmptyFileHasNoRecordAndReadsEmptyValues)
{
    EXPECT_EQ(store.recordCount(), 0);
    store.first();
    EXPECT_TRUE(store.atEnd());
    EXPECT_EQ(store.recordNumber(), 1);
    EXPECT_EQ(store.read(1).toString(), QString());
    EXPECT_EQ(store.read(2).toDouble(), 0.0);
    EXPECT_FALSE(store.readDateTime(3).isValid());
    EXPECT_EQ(store.read(4).toString(), QString());
    EXPECT_FALSE(store.read(5).toBool());
    EXPECT_FALSE(store.write(1, QStringLiteral("x"))) << "no record to write to";
    EXPECT_TRUE(store.failed());
}

TEST_F(RecordStoreTest, CursorStopsOneStepBeyondEitherEnd)
{
    addThree();
    store.first();
    EXPECT_EQ(store.recordNumber(), 1);
    store.skip(-1);
    EXPECT_EQ(store.recordNumber(), 0);
    EXPECT_TRUE(store.atStart());
    EXPECT_FALSE(store.atEnd());
    EXPECT_EQ(store.readText(1), QString());
    store.skip(-5);
    EXPECT_EQ(store.recordNumber(), 0);
    store.skip();
    EXPECT_EQ(store.readText(1), QStringLiteral("甲"));

    store.skip(10);
    EXPECT_EQ(store.recordNumber(), 4);
    EXPECT_TRUE(store.atEnd());
    EXPECT_EQ(store.readText(1), QString());
    store.skip(-1);
    EXPECT_EQ(store.readText(1), QStringLiteral("丙"));

    EXPECT_TRUE(store.goTo(0));
    EXPECT_TRUE(store.goTo(4));
    EXPECT_TRUE(store.atEnd());
    EXPECT_TRUE(store.goTo(2));
    EXPECT_FALSE(store.goTo(5));
    EXPECT_FALSE(store.lastError().isEmpty());
    EXPECT_EQ(store.recordNumber(), 2) << "a failed go to keeps the cursor";
    EXPECT_FALSE(store.goTo(-1));
    store.last();
    EXPECT_EQ(store.recordNumber(), 3);
}

TEST_F(RecordStoreTest, WritesConvertToTheFieldKind)
{
    ASSERT_TRUE(store.add());
    ASSERT_TRUE(store.write(1, 12.5));
    EXPECT_EQ(store.read(1).toString(), QStringLiteral("12.5"));
    ASSERT_TRUE(store.write(2, QStringLiteral("１２．５元")));
    EXPECT_EQ(store.read(2).toDouble(), 12.5);
    ASSERT_TRUE(store.write(2, QStringLiteral("abc")));
    EXPECT_EQ(store.read(2).toDouble(), 0.0);
    ASSERT_TRUE(store.write(2, true));
    EXPECT_EQ(store.readNumber(2), 1.0);

    const QDateTime moment(QDate(2011, 3, 7), QTime(9, 5, 7));
    ASSERT_TRUE(store.write(3, moment));
    EXPECT_EQ(store.readDateTime(3), moment);
    EXPECT_EQ(store.readText(3), QStringLiteral("2011年3月7日9时5分7秒"));
    ASSERT_TRUE(store.write(3, QDate(2012, 12, 31)));
    EXPECT_EQ(store.readDateTime(3), QDateTime(QDate(2012, 12, 31), QTime(0, 0)));
    ASSERT_TRUE(store.write(3, QDateTime()));
    EXPECT_FALSE(store.readDateTime(3).isValid());

    ASSERT_TRUE(store.write(5, QStringLiteral("真")));
    EXPECT_TRUE(store.read(5).toBool());
    EXPECT_EQ(store.readText(5), QStringLiteral("真"));
    ASSERT_TRUE(store.write(5, 0));
    EXPECT_EQ(store.readText(5), QStringLiteral("假"));

    EXPECT_FALSE(store.write(6, 1)) << "no such field";
    EXPECT_FALSE(store.write(0, 1));
}

// Stored date-times become text without a QDateTime; the texts must be the
// ones the QDateTime gives, in record reads and in scans alike, for stored
// values of every shape (a file may come from elsewhere).
TEST_F(RecordStoreTest, DateTimeTextsOfStoredValuesAreThoseOfTheirQDateTimes)
{
    const qint64 stored[] = {20111207090507, 20240229000000, 19000101120000, 99991231235959,
        19700101000000, 20380119031408, 20241301090000, 20240230090000, 20240229250000,
        20240229096000, 101000000, 0, -20240101000000, 1, 9223372036854775807};
    QString cases;
    {
        RecordStore::Transaction transaction(store);
        for (const qint64 value : stored) {
            ASSERT_TRUE(store.add());
            cases += QStringLiteral(" WHEN %1 THEN %2").arg(store.recordNumber()).arg(value);
        }
        ASSERT_TRUE(transaction.commit());
    }
    execSql(path, QStringLiteral("UPDATE records SET c3=CASE id%1 END").arg(cases));
    store.close();
    ASSERT_TRUE(store.open(path, QStringLiteral("t")));
    QStringList read, expected, scanned;
    for (store.first(); !store.atEnd(); store.skip()) {
        read << store.readText(3);
        expected << dateTimeText(store.readDateTime(3));
    }
    ASSERT_TRUE(store.forEachRecord([&](const RecordStore &s) { scanned << s.readText(3); }));
    QStringList intoBuffer;
    std::u16string buffer;
    ASSERT_TRUE(store.forEachRecord(
        [&](const RecordStore &s) { intoBuffer << s.readTextInto(3, buffer).toString(); }));
    EXPECT_EQ(read, expected);
    EXPECT_EQ(scanned, expected);
    EXPECT_EQ(intoBuffer, expected);
    EXPECT_EQ(expected.first(), QStringLiteral("2011年12月7日9时5分7秒"));
    EXPECT_EQ(expected[8], QStringLiteral("2024年2月29日")) << "an impossible time is midnight";
    EXPECT_EQ(expected[6], QString()) << "an impossible date is empty";
}

// A scan reads texts into its own buffers; a file from elsewhere may hold
// bytes the program never writes (a byte-order mark, broken sequences), and
// the scan must still give what a record read gives.
TEST_F(RecordStoreTest, ScannedTextsAreTheTextsOfRecordReadsWhateverTheBytes)
{
    const char *stored[] = {"'接地线'", "X'EFBBBF41'", "X'EFBBBF'", "X'41EFBBBF42'", "X'E6B5'",
        "X'C0AF41'", "X'EDA080'", "X'F09F9880'", "''", "NULL"};
    QString cases;
    {
        RecordStore::Transaction transaction(store);
        for (const char *value : stored) {
            ASSERT_TRUE(store.add());
            cases += QStringLiteral(" WHEN %1 THEN CAST(%2 AS TEXT)")
                         .arg(store.recordNumber())
                         .arg(QString::fromUtf8(value));
        }
        ASSERT_TRUE(transaction.commit());
    }
    execSql(path, QStringLiteral("UPDATE records SET c1=CASE id%1 END").arg(cases));
    store.close();
    ASSERT_TRUE(store.open(path, QStringLiteral("t")));
    QStringList read, scanned;
    for (store.first(); !store.atEnd(); store.skip())
        read << store.readText(1);
    std::u16string buffer;
    ASSERT_TRUE(store.forEachRecord(
        [&](const RecordStore &s) { scanned << s.readTextInto(1, buffer).toString(); }));
    EXPECT_EQ(scanned, read);
    EXPECT_EQ(read.first(), QStringLiteral("接地线"));
    EXPECT_EQ(read[7], QStringLiteral("😀"));
}

TEST_F(RecordStoreTest, MemosAppendAndReplace)
{
    ASSERT_TRUE(store.add({QStringLiteral("a"), 1, QVariant(), QStringLiteral("first\r\n")}));
    ASSERT_TRUE(store.appendMemo(4, QStringLiteral("second\r\n")));
    EXPECT_EQ(store.readText(4), QStringLiteral("first\r\nsecond\r\n"));
    ASSERT_TRUE(store.add({QStringLiteral("b")}));
    EXPECT_EQ(store.readText(4), QString()) << "a new record has its own memo";
    store.first();
    EXPECT_EQ(store.readText(4), QStringLiteral("first\r\nsecond\r\n"));
    ASSERT_TRUE(store.write(4, QStringLiteral("only")));
    EXPECT_EQ(store.readText(4), QStringLiteral("only"));
    EXPECT_FALSE(store.appendMemo(1, QStringLiteral("x"))) << "not a memo field";

    // Long memos grow without limit.
    QString expected = QStringLiteral("only");
    for (int i = 0; i < 200; ++i) {
        const QString line = QStringLiteral("数量 %1 时间 2011年3月7日\r\n").arg(i);
        ASSERT_TRUE(store.appendMemo(4, line));
        expected += line;
    }
    store.close();
    ASSERT_TRUE(store.open(path, QStringLiteral("t")));
    EXPECT_EQ(store.readText(4), expected);
}

TEST_F(RecordStoreTest, AddFillsFieldsInOrderAndBecomesCurrent)
{
    addThree();
    const QDateTime moment(QDate(2020, 1, 2), QTime(3, 4, 5));
    ASSERT_TRUE(store.add({QStringLiteral("丁"), QStringLiteral("7"), moment}));
    EXPECT_EQ(store.recordCount(), 4);
    EXPECT_EQ(store.recordNumber(), 4);
    EXPECT_EQ(store.readText(1), QStringLiteral("丁"));
    EXPECT_EQ(store.readNumber(2), 7.0);
    EXPECT_EQ(store.readDateTime(3), moment);
    EXPECT_FALSE(store.read(5).toBool());
}

TEST_F(RecordStoreTest, FindSearchesForwardFromTheCurrentRecord)
{
    for (int i = 1; i <= 10; ++i)
        ASSERT_TRUE(store.add({QStringLiteral("n%1").arg(i % 3), i}));
    const auto isN1 = [](const RecordStore &s) {
        return s.readText(1) == QLatin1String("n1");
    };
    store.first();
    ASSERT_TRUE(store.find(isN1));
    EXPECT_EQ(store.recordNumber(), 1);
    EXPECT_TRUE(store.find(isN1)) << "the current record itself counts";
    EXPECT_EQ(store.recordNumber(), 1);
    store.skip();
    ASSERT_TRUE(store.find(isN1));
    EXPECT_EQ(store.recordNumber(), 4);
    EXPECT_EQ(store.readNumber(2), 4.0);
    EXPECT_TRUE(store.goTo(10));
    ASSERT_TRUE(store.find(isN1));
    EXPECT_EQ(store.recordNumber(), 10);
    store.skip();
    EXPECT_FALSE(store.find(isN1));
    EXPECT_TRUE(store.atEnd());

    EXPECT_TRUE(store.goTo(0));
    ASSERT_TRUE(store.find([](const RecordStore &s) { return s.readNumber(2) > 8.5; }));
    EXPECT_EQ(store.recordNumber(), 9);
    EXPECT_EQ(store.readText(1), QStringLiteral("n0"));
    ASSERT_TRUE(store.write(2, 99)) << "writes after a find reach the found record";
    EXPECT_TRUE(store.goTo(9));
    EXPECT_EQ(store.readNumber(2), 99.0);
}

TEST_F(RecordStoreTest, ConditionsMayReadFieldsTheFirstRecordNeverTouched)
{
    // The first record decides which columns a scan carries; fields read only
    // for later records must still read right.
    for (int i = 1; i <= 50; ++i)
        ASSERT_TRUE(store.add({QStringLiteral("n%1").arg(i), i,
            QDateTime(QDate(2020, 1, 1).addDays(i), QTime(1, 2, 3)), QStringLiteral("m%1").arg(i),
            i % 2 == 0}));
    const auto late = [](const RecordStore &s) {
        return s.readNumber(2) > 40 && s.readText(1) == QLatin1String("n45")
            && s.readDate(3) == QDate(2020, 2, 15) && s.readText(4) == QLatin1String("m45")
            && !s.read(5).toBool() && s.readDateTime(3).time() == QTime(1, 2, 3);
    };
    store.first();
    ASSERT_TRUE(store.find(late));
    EXPECT_EQ(store.recordNumber(), 45);
    ASSERT_TRUE(store.copyTo(dir.filePath(QStringLiteral("late.zrb")), late));
    RecordStore reader;
    ASSERT_TRUE(reader.open(dir.filePath(QStringLiteral("late.zrb")), QStringLiteral("r")));
    ASSERT_EQ(reader.recordCount(), 1);
    EXPECT_EQ(reader.readText(4), QStringLiteral("m45"));
}

TEST_F(RecordStoreTest, FindFirstEqualMatchesBytesExactly)
{
    Layout layout = Stock::layout();
    const QString stockPath = dir.filePath(QStringLiteral("data.zrb"));
    ASSERT_TRUE(Stock::createEmptyFile(stockPath));
    ASSERT_TRUE(store.open(stockPath, QStringLiteral("data")));
    ASSERT_TRUE(store.add({QStringLiteral("电缆"), QStringLiteral("YJV 3x4"), {}, 1}));
    ASSERT_TRUE(store.add({QStringLiteral("电缆"), QStringLiteral("yjv 3x4"), {}, 2}));
    ASSERT_TRUE(store.add({QStringLiteral("电缆"), QStringLiteral("YJV 3x4 "), {}, 3}));
    ASSERT_TRUE(store.add({QStringLiteral("电缆"), QStringLiteral("yjv 3x4"), {}, 4}));
    EXPECT_TRUE(store.findFirstEqual(1, QStringLiteral("电缆"), 2, QStringLiteral("yjv 3x4")));
    EXPECT_EQ(store.recordNumber(), 2) << "the first match in record order";
    EXPECT_FALSE(store.findFirstEqual(1, QStringLiteral("电缆 "), 2, QStringLiteral("YJV 3x4")));
    EXPECT_TRUE(store.atEnd());
    EXPECT_TRUE(store.findFirstEqual(1, QStringLiteral("电缆"), 2, QStringLiteral("YJV 3x4 ")));
    EXPECT_EQ(store.readNumber(Stock::Quantity), 3.0);
}

TEST_F(RecordStoreTest, PurgeClosesUpRecordNumbersAndKeepsMemosWithTheirRecords)
{
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(store.add(
            {QStringLiteral("r%1").arg(i), i, QVariant(), QStringLiteral("memo%1").arg(i)}));
    EXPECT_TRUE(store.goTo(2));
    ASSERT_TRUE(store.deleteRecord());
    EXPECT_TRUE(store.isDeleted());
    EXPECT_TRUE(store.goTo(4));
    ASSERT_TRUE(store.deleteRecord());
    EXPECT_EQ(store.recordCount(), 5) << "marked records stay until the purge";
    ASSERT_TRUE(store.purge());
    EXPECT_EQ(store.recordCount(), 3);
    QStringList seen;
    for (store.first(); !store.atEnd(); store.skip())
        seen << store.readText(1) + u'/' + store.readText(4);
    EXPECT_EQ(seen, QStringList({"r1/memo1", "r3/memo3", "r5/memo5"}));

    // New records after a purge with gaps, and after reopening.
    ASSERT_TRUE(store.add({QStringLiteral("r6"), 6, QVariant(), QStringLiteral("memo6")}));
    EXPECT_EQ(store.recordNumber(), 4);
    store.close();
    ASSERT_TRUE(store.open(path, QStringLiteral("t")));
    EXPECT_EQ(store.recordCount(), 4);
    EXPECT_TRUE(store.goTo(3));
    EXPECT_EQ(store.readText(4), QStringLiteral("memo5"));
    EXPECT_TRUE(store.goTo(4));
    EXPECT_EQ(store.readText(1), QStringLiteral("r6"));
    EXPECT_EQ(store.readText(4), QStringLiteral("memo6"));

    // Purging the last record leaves no memo behind for a later record, nor
    // its id: a removed record's id is never given again, whether records
    // are added one by one or appended, and also after reopening the file.
    EXPECT_TRUE(store.goTo(4));
    qint64 retired = store.recordId();
    ASSERT_TRUE(store.deleteRecord());
    ASSERT_TRUE(store.purge());
    ASSERT_TRUE(store.add({QStringLiteral("r7")}));
    EXPECT_EQ(store.readText(4), QString());
    EXPECT_EQ(store.recordId(), retired + 1);
    const QString other = dir.filePath(QStringLiteral("other.zrb"));
    ASSERT_TRUE(RecordStore::create(other, mixedLayout()));
    for (const bool append : {false, true}) {
        retired = store.recordId();
        ASSERT_TRUE(store.deleteRecord() && store.purge());
        store.close();
        ASSERT_TRUE(store.open(path, QStringLiteral("t")));
        if (append) {
            ASSERT_TRUE(store.open(other, QStringLiteral("o")) && store.add({"a1"}));
            ASSERT_TRUE(store.select(QStringLiteral("t")) && store.appendFrom("o"));
        } else {
            ASSERT_TRUE(store.add({QStringLiteral("r8")}));
        }
        EXPECT_EQ(store.recordCount(), 4);
        EXPECT_EQ(store.recordNumber(), 4);
        EXPECT_EQ(store.recordId(), retired + 1);
        EXPECT_EQ(store.readText(1), append ? "a1" : "r8") << "record numbers follow the ids";
    }
    ASSERT_TRUE(store.clear() && store.add({QStringLiteral("r9")}));
    EXPECT_EQ(store.recordId(), retired + 2);
}

TEST_F(RecordStoreTest, ScansAndCopiesAfterTheFirstRecordWasPurgedFindTheRightRecords)
{
    for (int i = 1; i <= 6; ++i)
        ASSERT_TRUE(store.add(
            {QStringLiteral("r%1").arg(i), i, QVariant(), QStringLiteral("memo%1").arg(i)}));
    ASSERT_TRUE(store.goTo(1));
    ASSERT_TRUE(store.deleteRecord());
    ASSERT_TRUE(store.purge());
    const auto even = [](const RecordStore &s) {
        return int(s.readNumber(2)) % 2 == 0;
    };

    store.first();
    ASSERT_TRUE(store.find(even));
    EXPECT_EQ(store.recordNumber(), 1);
    EXPECT_EQ(store.readText(4), QStringLiteral("memo2"));
    store.skip();
    ASSERT_TRUE(store.find(even));
    EXPECT_EQ(store.recordNumber(), 3);
    EXPECT_EQ(store.readText(1), QStringLiteral("r4"));

    QStringList visited;
    ASSERT_TRUE(store.forEachRecord([&](const RecordStore &s) { visited << s.readText(1); }));
    EXPECT_EQ(visited, QStringList({"r2", "r3", "r4", "r5", "r6"}));

    const QString copy = dir.filePath(QStringLiteral("even.zrb"));
    ASSERT_TRUE(store.copyTo(copy, even));
    RecordStore reader;
    ASSERT_TRUE(reader.open(copy, QStringLiteral("c")));
    QStringList copied;
    for (reader.first(); !reader.atEnd(); reader.skip())
        copied << reader.readText(1) + u'/' + reader.readText(4);
    EXPECT_EQ(copied, QStringList({"r2/memo2", "r4/memo4", "r6/memo6"}));
}

TEST_F(RecordStoreTest, ClearRemovesRecordsAndKeepsTheLayout)
{
    addThree();
    ASSERT_TRUE(store.appendMemo(4, QStringLiteral("x")));
    ASSERT_TRUE(store.clear());
    EXPECT_EQ(store.recordCount(), 0);
    EXPECT_TRUE(store.atEnd());
    EXPECT_EQ(store.layout(), mixedLayout());
    ASSERT_TRUE(store.add({QStringLiteral("new")}));
    EXPECT_EQ(store.recordNumber(), 1);
    EXPECT_EQ(store.readText(4), QString());
}

TEST_F(RecordStoreTest, TransactionsCommitWholeOrRollBackWhole)
{
    addThree();
    {
        RecordStore::Transaction transaction(store);
        ASSERT_TRUE(transaction.active());
        EXPECT_TRUE(store.goTo(1));
        ASSERT_TRUE(store.write(2, 100));
        ASSERT_TRUE(store.appendMemo(4, QStringLiteral("gone")));
        ASSERT_TRUE(store.add({QStringLiteral("gone")}));
        EXPECT_EQ(store.recordCount(), 4);
        // destroyed without commit
    }
    EXPECT_EQ(store.recordCount(), 3);
    EXPECT_TRUE(store.goTo(1));
    EXPECT_EQ(store.readNumber(2), 0.0);
    EXPECT_EQ(store.readText(4), QString());

    {
        RecordStore::Transaction outer(store);
        {
            RecordStore::Transaction inner(store);
            EXPECT_TRUE(store.goTo(2));
            ASSERT_TRUE(store.write(2, 5));
            ASSERT_TRUE(inner.commit());
        }
        EXPECT_TRUE(store.goTo(3));
        ASSERT_TRUE(store.write(2, 6));
        ASSERT_TRUE(outer.commit());
    }
    store.close();
    ASSERT_TRUE(store.open(path, QStringLiteral("t")));
    EXPECT_TRUE(store.goTo(2));
    EXPECT_EQ(store.readNumber(2), 5.0);
    EXPECT_TRUE(store.goTo(3));
    EXPECT_EQ(store.readNumber(2), 6.0);

    // A failed inner step dooms the whole booking.
    {
        RecordStore::Transaction outer(store);
        {
            RecordStore::Transaction inner(store);
            EXPECT_TRUE(store.goTo(2));
            ASSERT_TRUE(store.write(2, 50));
        }
        EXPECT_FALSE(outer.commit());
    }
    EXPECT_TRUE(store.goTo(2));
    EXPECT_EQ(store.readNumber(2), 5.0);
}

TEST_F(RecordStoreTest, ClosingAFileRollsBackItsOpenTransaction)
{
    addThree();
    auto transaction = std::make_unique<RecordStore::Transaction>(store);
    EXPECT_TRUE(store.goTo(1));
    ASSERT_TRUE(store.write(2, 42));
    store.close(QStringLiteral("t"));
    transaction.reset(); // must not touch the closed file
    ASSERT_TRUE(store.open(path, QStringLiteral("t")));
    EXPECT_EQ(store.readNumber(2), 0.0);
}

TEST_F(RecordStoreTest, AliasesSelectFilesEachWithItsOwnCursor)
{
    addThree();
    const QString other = dir.filePath(QStringLiteral("o.zrb"));
    ASSERT_TRUE(RecordStore::create(other, mixedLayout()));
    EXPECT_TRUE(store.goTo(2));
    ASSERT_TRUE(store.open(other, QStringLiteral("o")));
    EXPECT_EQ(store.currentAlias(), QStringLiteral("o"));
    EXPECT_EQ(store.recordCount(), 0);
    ASSERT_TRUE(store.select(QStringLiteral("T")));
    EXPECT_EQ(store.recordNumber(), 2);
    EXPECT_FALSE(store.select(QStringLiteral("nothing")));
    EXPECT_EQ(store.currentAlias(), QStringLiteral("t"));

    // Opening a path that is open already, whatever its letter case, changes nothing.
    EXPECT_TRUE(store.select(QStringLiteral("o")));
    QString shouted = path;
    shouted.replace(QStringLiteral("t.zrb"), QStringLiteral("T.ZRB"));
    EXPECT_FALSE(store.open(shouted, QStringLiteral("x")));
    EXPECT_FALSE(store.lastError().isEmpty());
    EXPECT_EQ(store.currentAlias(), QStringLiteral("o"));
    EXPECT_FALSE(store.isOpen(QStringLiteral("x")));
    EXPECT_TRUE(store.openOrSelect(path, QStringLiteral("t")));
    EXPECT_EQ(store.currentAlias(), QStringLiteral("t"));

    // Reusing an alias closes the file it held.
    const QString third = dir.filePath(QStringLiteral("third.zrb"));
    ASSERT_TRUE(RecordStore::create(third, mixedLayout()));
    ASSERT_TRUE(store.open(third, QStringLiteral("t")));
    EXPECT_FALSE(store.isPathOpen(path));
    store.close();
    EXPECT_FALSE(store.hasCurrent());
    store.skip();
    EXPECT_TRUE(store.failed());
    EXPECT_FALSE(store.add({}));
}

} // namespace

// A view of the file redraws only the records its own store wrote, and only
// while nothing else could have changed the file.
TEST_F(RecordStoreTest, WritesInPlaceAreToldUntilAnythingElseChangesTheFile)
{
    addThree();
    ASSERT_TRUE(store.add({QStringLiteral("丁")}));
    // Ids no longer record numbers: the first record goes.
    ASSERT_TRUE(store.goTo(1) && store.deleteRecord() && store.purge());
    const auto writeAt = [&](int record, const char *text) {
        return store.goTo(record) && store.write(1, QString::fromUtf8(text));
    };
    std::vector<qint64> ids;
    RecordStore::ChangeMark mark = store.changeMark();
    ASSERT_TRUE(store.recordsWrittenSince(mark, &ids));
    EXPECT_TRUE(ids.empty());

    // Written alone, in a transaction, and in one rolled back (read again
    // all the same: harmless); a memo is no record.
    ASSERT_TRUE(writeAt(3, "丁二"));
    {
        RecordStore::Transaction transaction(store);
        ASSERT_TRUE(writeAt(1, "乙二") && writeAt(3, "丁三"));
        ASSERT_TRUE(transaction.commit());
    }
    {
        RecordStore::Transaction transaction(store);
        ASSERT_TRUE(writeAt(2, "丙二"));
    }
    ASSERT_TRUE(store.goTo(1) && store.appendMemo(4, QStringLiteral("备注")));
    ASSERT_TRUE(store.recordsWrittenSince(mark, &ids));
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    EXPECT_EQ(ids, (std::vector<qint64> {2, 3, 4})) << "ids, not record numbers";

    // Closed and opened again, with nothing done to it meanwhile: still told.
    store.closeAll();
    ASSERT_TRUE(store.open(path, QStringLiteral("t")));
    ASSERT_TRUE(writeAt(2, "丙三"));
    ASSERT_TRUE(store.recordsWrittenSince(mark, &ids));
    EXPECT_EQ(ids.size(), 5u);
    EXPECT_EQ(ids.back(), 3);

    // What makes the writes no longer the whole change.
    const std::vector<std::pair<const char *, std::function<void()>>> changes = {
        {"another connection wrote",
            [&] {
                RecordStore other;
                ASSERT_TRUE(other.open(path, QStringLiteral("o")));
                ASSERT_TRUE(other.goTo(1) && other.write(2, 7));
            }},
        {"a record was added",
            [&] {
                ASSERT_TRUE(store.add({QStringLiteral("戊")}));
            }},
        {"a record was purged",
            [&] {
                ASSERT_TRUE(store.goTo(1) && store.deleteRecord() && store.purge());
            }},
        {"another program wrote while the file was closed",
            [&] {
                store.close(QStringLiteral("t"));
                RecordStore other;
                ASSERT_TRUE(other.open(path, QStringLiteral("o")));
                ASSERT_TRUE(other.goTo(2) && other.write(2, 8));
                other.closeAll();
                ASSERT_TRUE(store.open(path, QStringLiteral("t")));
            }},
    };
    for (const auto &[what, change] : changes) {
        mark = store.changeMark();
        ASSERT_TRUE(writeAt(1, "己"));
        change();
        EXPECT_FALSE(store.recordsWrittenSince(mark, &ids)) << what;
        mark = store.changeMark();
        EXPECT_TRUE(store.recordsWrittenSince(mark, &ids) && ids.empty()) << what;
    }
}
