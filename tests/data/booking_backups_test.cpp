// The item backups of a booking take their places only with the booking: a
// rollback, a failed commit and a crash at either side of the commit leave
// the backups as the stock file says they must be.

#include "test_files.h"

#include "common/file_system.h"
#include "data/booking_backups.h"
#include "data/interrupted_work.h"
#include "data/item_backup.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class BookingBackupsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        programDir = dir.path();
        folder = ItemBackup::issueFolder(programDir);
        ASSERT_TRUE(Stock::createEmptyFile(stockPath()));
        ASSERT_TRUE(store.open(stockPath(), Stock::alias()));
        fillStock(store, 3);
        // The backup an earlier booking left for item2.
        ASSERT_TRUE(setQuantity(QStringLiteral("item2"), 100));
        ASSERT_NO_FATAL_FAILURE(backUp(QStringLiteral("item2"), QStringLiteral("spec2")));
        ASSERT_TRUE(setQuantity(QStringLiteral("item2"), 90));
        before = snapshot(backupPath());
    }

    // A booking that changes nothing but takes the item's backup, whole.
    void backUp(const QString &name, const QString &spec)
    {
        BookingBackups backups(folder);
        RecordStore::Transaction transaction(store);
        ASSERT_TRUE(backups.take(*store.current(), name, spec));
        ASSERT_TRUE(backups.list(*store.current()));
        ASSERT_TRUE(transaction.commit());
        ASSERT_TRUE(backups.install());
    }

    QString stockPath() const { return programDir + "/data.zrb"; }
    QString backupPath() const { return folder + "/item2spec2.zrb"; }

    bool setQuantity(const QString &name, double quantity)
    {
        return store.findFirstEqual(
                   Stock::Name, name, Stock::Spec, QStringLiteral("spec") + name.right(1))
            && store.write(Stock::Quantity, quantity);
    }

    double backedUpQuantity() const
    {
        RecordStore reader;
        EXPECT_TRUE(reader.open(backupPath(), QStringLiteral("xdgja")))
            << reader.lastError().toStdString();
        return reader.readNumber(Stock::Quantity);
    }

    QStringList temporaries() const
    {
        return QDir(folder).entryList({QStringLiteral("~wh-*")}, QDir::Files | QDir::Hidden);
    }

    // Books item2 (90 -> 70) with its backup, up to the given step.
    enum class Until { Taken, Listed, Committed, Installed };
    void book(Until until)
    {
        BookingBackups backups(folder);
        RecordStore::Transaction transaction(store);
        ASSERT_TRUE(
            backups.take(*store.current(), QStringLiteral("item2"), QStringLiteral("spec2")));
        ASSERT_TRUE(setQuantity(QStringLiteral("item2"), 70));
        if (until == Until::Taken)
            return; // rolled back: the booking failed before its end
        ASSERT_TRUE(backups.list(*store.current()));
        if (until == Until::Listed)
            return; // rolled back after the list was written
        ASSERT_TRUE(transaction.commit());
        // Without install() the listed pair stays, as after a kill between
        // the commit and the install.
        if (until == Until::Installed) {
            ASSERT_TRUE(backups.install());
        }
    }

    // What start-up does after a crash.
    void restart()
    {
        store.closeAll();
        ASSERT_TRUE(InterruptedWork::finish(programDir, {folder}));
        ASSERT_TRUE(store.open(stockPath(), Stock::alias()));
    }

    QTemporaryDir dir;
    QString programDir;
    QString folder;
    RecordStore store;
    FileSnapshot before;
};

TEST_F(BookingBackupsTest, ABookingThatFailsLeavesTheEarlierBackupByteForByte)
{
    for (const Until until : {Until::Taken, Until::Listed}) {
        book(until);
        EXPECT_EQ(snapshot(backupPath()), before);
        EXPECT_TRUE(temporaries().isEmpty() || until == Until::Listed);
        restart();
        EXPECT_EQ(snapshot(backupPath()), before) << "start-up installs nothing not booked";
        EXPECT_TRUE(temporaries().isEmpty());
        EXPECT_EQ(backedUpQuantity(), 100.0);
    }
}

TEST_F(BookingBackupsTest, ABookedBackupIsInPlaceAfterTheCommitOrAfterTheNextStart)
{
    book(Until::Committed);
    EXPECT_EQ(backedUpQuantity(), 100.0) << "not installed yet";
    restart();
    EXPECT_EQ(backedUpQuantity(), 90.0) << "the state before the booking";
    EXPECT_TRUE(temporaries().isEmpty());

    book(Until::Installed);
    EXPECT_EQ(backedUpQuantity(), 70.0);
    EXPECT_TRUE(temporaries().isEmpty());
    // The stale list names files that are gone: a restart changes nothing.
    const FileSnapshot installed = snapshot(backupPath());
    restart();
    EXPECT_EQ(snapshot(backupPath()), installed);
}

// A power loss may tear every backup a booking put in place, also one a
// later booking of another item left listed: start-up writes each again.
TEST_F(BookingBackupsTest, BackupsTornByAPowerLossAreWrittenAgainAtStartUp)
{
    book(Until::Installed);
    ASSERT_NO_FATAL_FAILURE(backUp(QStringLiteral("item3"), QStringLiteral("spec3")));
    const QByteArray booked = readBytes(backupPath());
    const QString item3 = folder + "/item3spec3.zrb";
    const QByteArray item3Booked = readBytes(RecordStore::companionPath(item3));
    for (const QString &file : {backupPath(), RecordStore::companionPath(item3)}) {
        QFile torn(file);
        ASSERT_TRUE(torn.open(QIODevice::ReadWrite));
        ASSERT_TRUE(torn.resize(torn.size() / 2));
    }
    restart();
    EXPECT_EQ(readBytes(backupPath()), booked) << "byte for byte";
    EXPECT_EQ(readBytes(RecordStore::companionPath(item3)), item3Booked);
    EXPECT_EQ(backedUpQuantity(), 90.0);
    // Flushed now and no longer kept: a second start writes nothing.
    writeBytes(backupPath(), "damaged later");
    restart();
    EXPECT_EQ(readBytes(backupPath()), QByteArray("damaged later"));
}

// The list stays short: older backups leave it when it grows long, but only
// flushed. Each backup is flushed once, by a booking or by start-up.
TEST_F(BookingBackupsTest, OlderBackupsLeaveTheListOnlyOnceFlushed)
{
    constexpr int items = 70;
    for (int k = 4; k <= items; ++k)
        ASSERT_TRUE(store.add({QStringLiteral("item%1").arg(k), QStringLiteral("spec%1").arg(k),
            QStringLiteral("个"), 1.0, 1.0, 1.0}));
    QStringList flushed;
    FileSystem::setFaultHook([&](FileSystem::Operation operation, const QString &path) {
        if (operation == FileSystem::Operation::SyncFile)
            flushed << QFileInfo(path).fileName();
        return 0;
    });
    for (int k = 1; k <= items; ++k)
        ASSERT_NO_FATAL_FAILURE(
            backUp(QStringLiteral("item%1").arg(k), QStringLiteral("spec%1").arg(k)));
    const QStringList byBookings = flushed;
    flushed.clear();
    restart();
    FileSystem::setFaultHook({});
    EXPECT_FALSE(byBookings.isEmpty()) << "the list was let grow without bound";
    EXPECT_LT(flushed.size(), items) << "start-up flushed more than the listed backups";
    for (int k = 1; k <= items; ++k) {
        const QString name = QStringLiteral("item%1spec%1.zrb").arg(k);
        EXPECT_EQ(byBookings.count(name) + flushed.count(name), 1) << name.toStdString();
    }
}

TEST_F(BookingBackupsTest, SettlingAFailedCommitAsksTheStockFile)
{
    // The list is in the file: the booking is durable, the backup goes in place.
    {
        BookingBackups backups(folder);
        RecordStore::Transaction transaction(store);
        ASSERT_TRUE(
            backups.take(*store.current(), QStringLiteral("item2"), QStringLiteral("spec2")));
        ASSERT_TRUE(backups.list(*store.current()));
        ASSERT_TRUE(transaction.commit());
        ASSERT_TRUE(backups.settle(*store.current()));
    }
    EXPECT_EQ(backedUpQuantity(), 90.0);
    // The list never reached the file: the staged pair is removed.
    const FileSnapshot installed = snapshot(backupPath());
    {
        BookingBackups backups(folder);
        {
            RecordStore::Transaction transaction(store);
            ASSERT_TRUE(
                backups.take(*store.current(), QStringLiteral("item2"), QStringLiteral("spec2")));
            ASSERT_TRUE(setQuantity(QStringLiteral("item2"), 1));
            ASSERT_TRUE(backups.list(*store.current()));
        }
        ASSERT_TRUE(backups.settle(*store.current()));
    }
    EXPECT_EQ(snapshot(backupPath()), installed);
    EXPECT_TRUE(temporaries().isEmpty());
}

TEST_F(BookingBackupsTest, TheLaterLineOfAnItemWinsAndAPathInANameStaysInTheFolder)
{
    BookingBackups backups(folder);
    RecordStore::Transaction transaction(store);
    ASSERT_TRUE(backups.take(*store.current(), QStringLiteral("item2"), QStringLiteral("spec2")));
    ASSERT_TRUE(setQuantity(QStringLiteral("item2"), 80));
    ASSERT_TRUE(backups.take(*store.current(), QStringLiteral("item2"), QStringLiteral("spec2")));
    bool taken = false;
    ASSERT_TRUE(backups.take(*store.current(), QStringLiteral("a/b"), QString(), &taken));
    EXPECT_TRUE(taken);
    EXPECT_EQ(temporaries().size(), 4) << "a pair each: the earlier copy of item2 is gone";
    ASSERT_TRUE(backups.list(*store.current()));
    ASSERT_TRUE(transaction.commit());
    ASSERT_TRUE(backups.install());
    EXPECT_EQ(backedUpQuantity(), 80.0) << "the state after the first line";
    EXPECT_TRUE(QFileInfo::exists(ItemBackup::path(folder, QStringLiteral("a/b"), QString())));
    EXPECT_FALSE(QFileInfo::exists(folder + "/a"));
}

TEST_F(BookingBackupsTest, AListNamingFilesOutsideTheFolderIsNotFollowed)
{
    const QString outside = programDir + "/victim.zrb";
    writeBytes(outside, "keep");
    writeBytes(folder + "/~wh-evil.zrb", "evil");
    ASSERT_TRUE(store.writeNote(QStringLiteral("backups 出库备份"),
        QStringLiteral("~wh-evil.zrb\t\t../victim.zrb\n../victim.zrb\t\tx.zrb\n")));
    restart();
    EXPECT_EQ(readBytes(outside), QByteArray("keep"));
    EXPECT_FALSE(QFileInfo::exists(folder + "/x.zrb"));
    EXPECT_EQ(snapshot(backupPath()), before);
}

} // namespace
