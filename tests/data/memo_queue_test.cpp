#include "test_files.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

constexpr int memoField = 4;

// Runs SQL on the pair as another program would; gives the first column of
// the first row.
qint64 sqlOnPair(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const QByteArray attach
        = QStringLiteral("ATTACH '%1' AS edt").arg(RecordStore::companionPath(path)).toUtf8();
    EXPECT_EQ(sqlite3_exec(db, attach.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt *statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    const qint64 value
        = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

qint64 queued(const QString &path)
{
    return sqlOnPair(path, QStringLiteral("SELECT count(*) FROM memo_queue"));
}

// Every record's name and memo, in record order.
QStringList contents(RecordStore &store)
{
    QStringList seen;
    for (store.first(); !store.atEnd(); store.skip())
        seen << store.readText(1) + u'|' + store.readText(memoField);
    return seen;
}

using MemoQueueTest = MixedFileTest;

// A seeded run of everything that writes or reads memos, against a model:
// lines appended while others wait in the queue, replaced, purged with their
// records, rolled back, carried by whole and per-item copies, drained, and
// read again after reopening. The companion never changes in a transaction
// that only appends.
TEST_F(MemoQueueTest, LinesReadTheSameWhereverTheyWait)
{
    QStringList model; // "name|memo" per record
    QRandomGenerator random(20261208);
    int copies = 0;
    for (int step = 0; step < 200; ++step) {
        SCOPED_TRACE(step);
        const int op = model.isEmpty() ? 0 : int(random.bounded(9));
        const int row = model.isEmpty() ? 0 : int(random.bounded(qsizetype(model.size())));
        const QString line = QStringLiteral("第%1行\r\n").arg(step);
        if (op == 0) {
            const QString name = QStringLiteral("r%1").arg(step);
            ASSERT_TRUE(store.add({name, step, QVariant(), line}));
            model << name + u'|' + line;
        } else if (op <= 2) {
            const QByteArray companion = readBytes(RecordStore::companionPath(path));
            RecordStore::Transaction transaction(store);
            ASSERT_TRUE(store.goTo(row + 1) && store.appendMemo(memoField, line));
            ASSERT_TRUE(store.write(2, step));
            if (op == 1) {
                ASSERT_TRUE(transaction.commit());
                model[row] += line;
                if (queued(path) > 0) {
                    EXPECT_EQ(readBytes(RecordStore::companionPath(path)), companion)
                        << "a booking's commit writes the record file alone";
                }
            }
        } else if (op == 3) {
            ASSERT_TRUE(store.goTo(row + 1) && store.write(memoField, line));
            model[row] = model[row].section(u'|', 0, 0) + u'|' + line;
        } else if (op == 4) {
            ASSERT_TRUE(store.goTo(row + 1) && store.deleteRecord() && store.purge());
            model.removeAt(row);
        } else if (op == 5) {
            ASSERT_TRUE(store.settleMemoLines());
            EXPECT_EQ(queued(path), 0);
        } else if (op == 6) {
            store.close();
            ASSERT_TRUE(store.open(path, QStringLiteral("t")));
        } else if (op == 7) {
            const QString copy = dir.filePath(QStringLiteral("c%1.zrb").arg(++copies));
            ASSERT_TRUE(store.copyTo(copy));
            RecordStore other;
            ASSERT_TRUE(other.open(copy, QStringLiteral("c")));
            EXPECT_EQ(contents(other), model) << "a whole copy";
        } else {
            const QString copy = dir.filePath(QStringLiteral("c%1.zrb").arg(++copies));
            const QString name = model[row].section(u'|', 0, 0);
            ASSERT_TRUE(store.copyEqualTo(copy, 1, name, 1, name));
            RecordStore other;
            ASSERT_TRUE(other.open(copy, QStringLiteral("c")));
            EXPECT_EQ(contents(other), QStringList(model[row])) << "an item's copy";
        }
        ASSERT_EQ(contents(store), model);
    }
    EXPECT_GT(copies, 20);
}

// A file of an earlier version has no queue: lines go to the companion as
// they always did, until the file gets its queue. Lines that version appended
// while others were still waiting are kept, before the waiting ones.
TEST_F(MemoQueueTest, FilesOfAnEarlierVersionKeepEveryLine)
{
    ASSERT_TRUE(store.add({QStringLiteral("a"), 1, QVariant(), QStringLiteral("1;")}));
    ASSERT_TRUE(store.settleMemoLines());
    store.close();
    ASSERT_EQ(sqlOnPair(path, QStringLiteral("DROP TABLE memo_queue")), -1);
    ASSERT_TRUE(store.open(path, QStringLiteral("t")));
    ASSERT_TRUE(store.goTo(1) && store.appendMemo(memoField, QStringLiteral("2;")));
    EXPECT_EQ(sqlOnPair(path, QStringLiteral("SELECT count(*) FROM edt.memos")), 2);

    ASSERT_TRUE(store.settleMemoLines()) << "gives the file its queue";
    ASSERT_TRUE(store.goTo(1) && store.appendMemo(memoField, QStringLiteral("4;")));
    EXPECT_EQ(queued(path), 1);
    store.close();
    // What the earlier version does: the next number the companion knows.
    ASSERT_EQ(
        sqlOnPair(path, QStringLiteral("INSERT INTO edt.memos VALUES(1,4,3,'3;') RETURNING seq")),
        3);
    ASSERT_TRUE(store.open(path, QStringLiteral("t")));
    ASSERT_TRUE(store.settleMemoLines());
    EXPECT_EQ(queued(path), 0);
    ASSERT_TRUE(store.goTo(1));
    EXPECT_EQ(store.readText(memoField), QStringLiteral("1;2;3;4;"));
}

} // namespace
