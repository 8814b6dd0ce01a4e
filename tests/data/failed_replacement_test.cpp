// A rename or removal that fails in the middle of a replacement never leaves
// a mixed pair: right away the stock file is the old one (and the message
// says so) or the new one, and after a restart it always opens.

#include "support/file_faults.h"
#include "test_files.h"

#include "data/booking_backups.h"
#include "data/interrupted_work.h"
#include "data/item_backup.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Records of a file, -1 when it does not open.
int recordsIn(const QString &path)
{
    RecordStore reader;
    return reader.open(path, QStringLiteral("r")) ? reader.recordCount() : -1;
}

// What start-up does, then whether any temporary is left.
QStringList restart(const QString &programDir, const QStringList &folders = {})
{
    EXPECT_TRUE(InterruptedWork::finish(programDir, folders));
    QStringList left;
    const QStringList all = QStringList(folders) << programDir;
    for (const QString &folder : all)
        left += QDir(folder).entryList({QStringLiteral("~wh-*")}, QDir::Files | QDir::Hidden);
    return left;
}

TEST(FailedReplacementTest, ARestoreIsTheOldOrTheNewPairAtEveryFailedStep)
{
    const QDateTime now(QDate(2026, 12, 7), QTime(9, 0));
    const int rounds = forEachFaultPoint([&](int failAt) {
        QTemporaryDir dir;
        const QString programDir = dir.path();
        const QString data = StockFile::stockPath(programDir);
        RecordStore store;
        EXPECT_TRUE(Stock::createEmptyFile(data));
        EXPECT_TRUE(store.open(data, Stock::alias()));
        fillStock(store, 3);
        QString chosen;
        EXPECT_TRUE(StockFile::backup(store, programDir, now.addSecs(-60), &chosen));
        fillStock(store, 2); // the stock now holds 5, the backup 3

        Status s;
        bool replaced = false;
        bool fired = false;
        {
            const InjectedFault fault(failAt);
            s = StockFile::restore(store, programDir, chosen, now, &replaced);
            fired = fault.fired();
        }
        store.closeAll();
        // What the message says is what the user finds.
        if (s) {
            EXPECT_EQ(recordsIn(data), 3) << failAt;
        } else if (!replaced) {
            EXPECT_EQ(recordsIn(data), 5) << failAt << s.message().toStdString();
        }
        const QStringList left = restart(programDir);
        EXPECT_TRUE(left.isEmpty()) << failAt << left.join(u' ').toStdString();
        EXPECT_EQ(recordsIn(data), s || replaced ? 3 : 5) << failAt;
        return fired;
    });
    EXPECT_GE(rounds, 4) << "the journals' removals, the marker and both renames";
}

TEST(FailedReplacementTest, AnItemBackupOfABookedIssueIsWholeAtEveryFailedStep)
{
    const int rounds = forEachFaultPoint([&](int failAt) {
        QTemporaryDir dir;
        const QString programDir = dir.path();
        const QString folder = ItemBackup::issueFolder(programDir);
        const QString data = StockFile::stockPath(programDir);
        const QString backup = folder + QStringLiteral("/item2spec2.zrb");
        RecordStore store;
        EXPECT_TRUE(Stock::createEmptyFile(data));
        EXPECT_TRUE(store.open(data, Stock::alias()));
        fillStock(store, 3);
        const auto book = [&](double quantity) {
            BookingBackups backups(folder);
            RecordStore::Transaction transaction(store);
            EXPECT_TRUE(
                backups.take(*store.current(), QStringLiteral("item2"), QStringLiteral("spec2")));
            EXPECT_TRUE(store.write(Stock::Quantity, quantity));
            EXPECT_TRUE(backups.list(*store.current()));
            EXPECT_TRUE(transaction.commit());
            return backups.install();
        };
        EXPECT_TRUE(store.findFirstEqual(
            Stock::Name, QStringLiteral("item2"), Stock::Spec, QStringLiteral("spec2")));
        EXPECT_TRUE(book(90)); // an earlier issue: the backup holds the item as filled
        bool fired = false;
        Status installed;
        {
            const InjectedFault fault(failAt);
            installed = book(70); // booked: the backup must end up holding 90
            fired = fault.fired();
        }
        store.closeAll();
        if (installed) {
            RecordStore reader;
            EXPECT_TRUE(reader.open(backup, QStringLiteral("xdgja")));
            EXPECT_EQ(reader.readNumber(Stock::Quantity), 90.0) << failAt;
        }
        const QStringList left = restart(programDir, {folder});
        EXPECT_TRUE(left.isEmpty()) << failAt << left.join(u' ').toStdString();
        RecordStore reader;
        EXPECT_TRUE(reader.open(backup, QStringLiteral("xdgja")))
            << failAt << reader.lastError().toStdString();
        EXPECT_EQ(reader.readNumber(Stock::Quantity), 90.0) << failAt;
        return fired;
    });
    EXPECT_GE(rounds, 2) << "both renames of the backup";
}

TEST(FailedReplacementTest, ABackupLeftHalfRenamedIsFinishedAfterALaterBooking)
{
    QTemporaryDir dir;
    const QString programDir = dir.path();
    const QString folder = ItemBackup::issueFolder(programDir);
    RecordStore store;
    ASSERT_TRUE(Stock::createEmptyFile(StockFile::stockPath(programDir)));
    ASSERT_TRUE(store.open(StockFile::stockPath(programDir), Stock::alias()));
    fillStock(store, 3);
    const auto book = [&](int item, double quantity) {
        const QString name = QStringLiteral("item%1").arg(item);
        const QString spec = QStringLiteral("spec%1").arg(item);
        BookingBackups backups(folder);
        RecordStore::Transaction transaction(store);
        EXPECT_TRUE(backups.take(*store.current(), name, spec));
        EXPECT_TRUE(store.findFirstEqual(Stock::Name, name, Stock::Spec, spec));
        EXPECT_TRUE(store.write(Stock::Quantity, quantity));
        EXPECT_TRUE(backups.list(*store.current()));
        EXPECT_TRUE(transaction.commit());
        return backups.install();
    };
    ASSERT_TRUE(book(2, 90));
    // The record file of item2's next backup cannot be renamed for a while:
    // its companion is in place, its record file not.
    FileSystem::setFaultHook([](FileSystem::Operation operation, const QString &path) {
        return operation == FileSystem::Operation::Rename && path.endsWith("item2spec2.zrb") ? EIO
                                                                                             : 0;
    });
    EXPECT_FALSE(book(2, 80));
    FileSystem::setFaultHook({});
    EXPECT_TRUE(book(3, 70)); // the list of this booking replaces the earlier one
    store.closeAll();
    EXPECT_TRUE(restart(programDir, {folder}).isEmpty());
    RecordStore reader;
    ASSERT_TRUE(reader.open(folder + QStringLiteral("/item2spec2.zrb"), QStringLiteral("xdgja")))
        << reader.lastError().toStdString();
    EXPECT_EQ(reader.readNumber(Stock::Quantity), 90.0);
}

} // namespace
