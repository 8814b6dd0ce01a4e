// An answer the store cannot know is an error, never "not found" or a short
// copy: a file locked by another program and a file damaged on the disk.

#include "test_files.h"

#include "data/stock_layout.h"
#include "support/disk_faults.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// Another program in the middle of writing the file: no one may read it.
class ExclusiveLock
{
public:
    explicit ExclusiveLock(const QString &path)
    {
        EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db_), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~ExclusiveLock()
    {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }
    ExclusiveLock(const ExclusiveLock &) = delete;
    ExclusiveLock &operator=(const ExclusiveLock &) = delete;

private:
    sqlite3 *db_ = nullptr;
};

// Overwrites the middle third of a file's pages with noise, as a failing disk
// does: the first pages (schema, layout) and the last ones stay readable.
void damageMiddlePages(const QString &path)
{
    QByteArray bytes = readBytes(path);
    const int page = 4096;
    const int pages = int(bytes.size()) / page;
    ASSERT_GE(pages, 12) << "too small a file to damage in the middle";
    for (int p = pages / 3; p < 2 * pages / 3; ++p)
        for (int i = 0; i < page; ++i)
            bytes[p * page + i] = char(0xA5 ^ (i * 7));
    writeBytes(path, bytes);
}

class RecordStoreErrors : public testing::Test
{
protected:
    void SetUp() override
    {
        path = dir.filePath(QStringLiteral("list.zrb"));
        ASSERT_TRUE(RecordStore::create(path,
            {{QStringLiteral("名称"), FieldKind::Text}, {QStringLiteral("规格"), FieldKind::Text},
                {QStringLiteral("数量"), FieldKind::Number}}));
        RecordStore writer;
        ASSERT_TRUE(writer.open(path, QStringLiteral("w")));
        RecordStore::Transaction transaction(writer);
        const QString filler(40, u'料');
        for (int i = 1; i <= 3000; ++i)
            ASSERT_TRUE(writer.add({filler + QString::number(i), QStringLiteral("规格"), i}));
        ASSERT_TRUE(transaction.commit());
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(RecordStoreErrors, AFindInALockedFileIsAnErrorNotAMissingItem)
{
    const QString stockPath = dir.filePath(QStringLiteral("data.zrb"));
    ASSERT_TRUE(Stock::createEmptyFile(stockPath));
    RecordStore store;
    ASSERT_TRUE(store.open(stockPath, Stock::alias()));
    ASSERT_TRUE(store.add({QStringLiteral("电缆"), QStringLiteral("YJV")}));
    ExclusiveLock lock(stockPath);
    EXPECT_FALSE(store.findFirstEqual(
        Stock::Name, QStringLiteral("电缆"), Stock::Spec, QStringLiteral("YJV")));
    EXPECT_TRUE(store.failed()) << "not found, and not known";
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("另一个程序")))
        << store.lastError().toStdString();
}

TEST_F(RecordStoreErrors, ASortOfADamagedFileFailsInsteadOfCopyingPart)
{
    damageMiddlePages(path);
    RecordStore store;
    const QString sorted = dir.filePath(QStringLiteral("sorted.zrb"));
    // Open counts the records to check the file's "dense" note, which may
    // already meet the damage; then the file is refused there with the reason.
    if (store.open(path, QStringLiteral("list"))) {
        EXPECT_FALSE(store.sortTo(sorted, 3, true));
    }
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("损坏")))
        << store.lastError().toStdString();
    EXPECT_FALSE(QFile::exists(sorted)) << "no short copy takes the name";
}

TEST_F(RecordStoreErrors, AFileWhoseRecordOrderCannotBeReadDoesNotOpen)
{
    {
        // Gaps in the ids: the order is read record by record at every open.
        RecordStore writer;
        ASSERT_TRUE(writer.open(path, QStringLiteral("w")));
        ASSERT_TRUE(writer.goTo(1));
        ASSERT_TRUE(writer.deleteRecord());
        ASSERT_TRUE(writer.purge());
    }
    damageMiddlePages(path);
    RecordStore store;
    EXPECT_FALSE(store.open(path, QStringLiteral("list")))
        << "opened with " << store.recordCount() << " of 2999 records";
    EXPECT_FALSE(store.lastError().isEmpty());
}

// A change of a record and a memo is committed when its journal goes: an
// I/O error after its deletion (the commit point) leaves the change in the
// file, one before it leaves the file unchanged. The store tells the two apart,
// and counts its records right after either.
TEST(RecordStoreCommit, AnErrorAfterTheCommitPointKeepsTheChangeAndOneBeforeDoesNot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.zrb"));
    ASSERT_TRUE(RecordStore::create(path,
        {{QStringLiteral("名称"), FieldKind::Text}, {QStringLiteral("记录"), FieldKind::Memo}}));
    FolderSyncFault::install();
    RecordStore store;
    ASSERT_TRUE(store.open(path, QStringLiteral("m")));
    const auto book = [&](const QString &name, FolderSyncFault::When when, int times = 1) {
        FolderSyncFault::Armed fault(when, times);
        RecordStore::Transaction transaction(store);
        EXPECT_TRUE(store.add({name}) && store.appendMemo(2, QStringLiteral("一行")));
        return transaction.commit();
    };
    const int failures = FolderSyncFault::failures();

    const Status kept = book(QStringLiteral("保存后报错"), FolderSyncFault::AfterCommitPoint);
    EXPECT_TRUE(kept) << kept.message().toStdString();
    EXPECT_FALSE(store.diskWarning().isEmpty());
    EXPECT_EQ(store.recordCount(), 1);
    EXPECT_EQ(FolderSyncFault::failures(), failures + 1) << "the commit went through the shim";

    const Status lost = book(QStringLiteral("未保存"), FolderSyncFault::BeforeCommitPoint);
    EXPECT_FALSE(lost);
    EXPECT_EQ(store.recordCount(), 1);
    EXPECT_GT(FolderSyncFault::failures(), failures + 1) << "so did this one";
    // A disk that keeps failing: the rollback cannot read the file back
    // either. The next record must still take the place of the lost one.
    EXPECT_FALSE(book(QStringLiteral("一直未保存"), FolderSyncFault::BeforeCommitPoint, 3));

    ASSERT_TRUE(store.add({QStringLiteral("之后")}));
    EXPECT_TRUE(store.diskWarning().isEmpty()) << "a later commit clears the warning";
    store.closeAll();
    RecordStore reader;
    ASSERT_TRUE(reader.open(path, QStringLiteral("r")));
    QStringList names;
    for (reader.first(); !reader.atEnd(); reader.skip())
        names << reader.readText(1) + u':' + reader.readText(2);
    EXPECT_EQ(names, QStringList({"保存后报错:一行", "之后:"}));
}

} // namespace
