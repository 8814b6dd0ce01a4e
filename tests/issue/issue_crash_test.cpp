#include "issue_crash_child.h"

#include "data/interrupted_work.h"
#include "data/item_backup.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "issue/goods_issue.h"
#include "support/record_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <map>

#include <gtest/gtest.h>

namespace {

constexpr int startQuantity = 1000;
constexpr int fillerItems = 3000;

QString itemName(int k)
{
    return QStringLiteral("材料%1").arg(k);
}

} // namespace

int bookNoteAsChild(const QString &programDir)
{
    IssueNote note;
    note.department = QStringLiteral("供电所");
    note.handler = QStringLiteral("张三");
    for (int k = 1; k <= IssueNote::lineCount; ++k)
        note.lines.append(
            {itemName(k), QStringLiteral("规格"), QStringLiteral("1"), QStringLiteral("1")});
    RecordStore store;
    return bookIssue(stockFileOf(store, programDir), programDir, note, QDateTime::currentDateTime())
        ? 0
        : 1;
}

namespace {

// How many notes the stock file holds: every one of the nine items must show
// the same number of issues in its quantity, value, totals and history.
int bookedNotes(const QString &programDir)
{
    RecordStore store;
    EXPECT_TRUE(store.open(programDir + "/data.zrb", Stock::alias()))
        << store.lastError().toStdString();
    int booked = -1;
    for (int k = 1; k <= IssueNote::lineCount; ++k) {
        EXPECT_TRUE(
            store.findFirstEqual(Stock::Name, itemName(k), Stock::Spec, QStringLiteral("规格")));
        const int byQuantity = startQuantity - int(store.readNumber(Stock::Quantity));
        const int byValue = startQuantity - int(store.readNumber(Stock::Amount));
        const int byHistory
            = int(store.readText(Stock::IssueHistory).count(QStringLiteral("\r\n")));
        EXPECT_EQ(byQuantity, byValue) << k;
        EXPECT_EQ(byQuantity, byHistory) << k;
        if (booked < 0)
            booked = byQuantity;
        EXPECT_EQ(byQuantity, booked) << "item " << k << " differs from item 1";
        // The backup is the item before the last booked note, never a note
        // that was cut off.
        const QString backup = ItemBackup::path(
            ItemBackup::issueFolder(programDir), itemName(k), QStringLiteral("规格"));
        if (byQuantity == 0) {
            EXPECT_FALSE(QFileInfo::exists(backup)) << k;
            continue;
        }
        RecordStore reader;
        EXPECT_TRUE(reader.open(backup, QStringLiteral("xdgja"))) << k;
        EXPECT_EQ(startQuantity - int(reader.readNumber(Stock::Quantity)), byQuantity - 1) << k;
        EXPECT_EQ(
            int(reader.readText(Stock::IssueHistory).count(QStringLiteral("\r\n"))), byQuantity - 1)
            << k;
    }
    return booked;
}

qint64 runChild(const QString &programDir, qint64 killAfterMs)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
        {QString::fromLatin1(issueCrashOption), programDir});
    EXPECT_TRUE(child.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    if (killAfterMs >= 0 && !child.waitForFinished(int(killAfterMs)))
        child.kill();
    child.waitForFinished(-1);
    return timer.elapsed();
}

// The files of the issue backup folder by name, as bytes.
std::map<QString, QByteArray> backupFiles(const QString &programDir)
{
    std::map<QString, QByteArray> files;
    const QDir folder(ItemBackup::issueFolder(programDir));
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden)) {
        QFile file(folder.filePath(name));
        files[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    return files;
}

// A power loss with the kill: the backup files the killed child wrote were
// never flushed, so each comes back torn.
void tearWritten(const QString &programDir, const std::map<QString, QByteArray> &before)
{
    for (const auto &[name, bytes] : backupFiles(programDir)) {
        const auto old = before.find(name);
        if (old != before.end() && old->second == bytes)
            continue;
        QFile file(ItemBackup::issueFolder(programDir) + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.resize(bytes.size() / 2));
    }
}

TEST(IssueCrashTest, AKilledNoteIsBookedWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const QString programDir = dir.path();
    ASSERT_TRUE(Stock::createEmptyFile(programDir + "/data.zrb"));
    {
        RecordStore store;
        ASSERT_TRUE(store.open(programDir + "/data.zrb", Stock::alias()));
        RecordStore::Transaction transaction(store);
        // Filler items make each find and backup do real work.
        for (int i = 0; i < fillerItems; ++i)
            ASSERT_TRUE(store.add(
                {QStringLiteral("其他%1").arg(i), QStringLiteral("x"), "个", 1.0, 1.0, 1.0}));
        for (int k = 1; k <= IssueNote::lineCount; ++k)
            ASSERT_TRUE(store.add({itemName(k), QStringLiteral("规格"), QStringLiteral("个"),
                double(startQuantity), 1.0, double(startQuantity)}));
        ASSERT_TRUE(transaction.commit());
    }

    const qint64 full = runChild(programDir, -1);
    ASSERT_EQ(bookedNotes(programDir), 1);

    QRandomGenerator random(7);
    int booked = 1;
    int interrupted = 0;
    for (int round = 0; round < 20; ++round) {
        const qint64 delay = random.bounded(qint64(full * 1.2) + 1);
        const auto written = backupFiles(programDir);
        runChild(programDir, delay);
        if (round % 2 == 1)
            tearWritten(programDir, written);
        // What start-up does before anything is opened.
        ASSERT_TRUE(InterruptedWork::finish(programDir,
            {ItemBackup::receiptFolder(programDir), ItemBackup::issueFolder(programDir)}));
        const QStringList left = QDir(ItemBackup::issueFolder(programDir))
                                     .entryList({QStringLiteral("~wh-*")}, QDir::Files);
        ASSERT_TRUE(left.isEmpty()) << left.join(u' ').toStdString();
        const int now = bookedNotes(programDir);
        ASSERT_TRUE(now == booked || now == booked + 1) << "round " << round;
        interrupted += now == booked;
        booked = now;
        ASSERT_FALSE(testing::Test::HasFailure()) << "round " << round << " delay " << delay;
    }
    EXPECT_GT(interrupted, 0) << "no note was ever interrupted; the test proved nothing";
}

} // namespace
