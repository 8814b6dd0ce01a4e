// Every item key gets a backup file of its own that Windows and Linux both
// take and start-up leaves alone; keys that were file names keep theirs.

#include "data/booking_backups.h"
#include "data/interrupted_work.h"
#include "data/item_backup.h"
#include "data/record_store.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The rules of both platforms, written out apart from the code under test.
bool takenEverywhere(const QString &stem)
{
    static const QRegularExpression refused(
        QStringLiteral(
            R"(^$|[\x00-\x1f\\/:*?"<>|]|[. ]$|^(con|prn|aux|nul|com\d|lpt\d)(\..*)?$|^~wh-)"),
        QRegularExpression::CaseInsensitiveOption);
    return !refused.match(stem).hasMatch() && (stem + ".zrb").toUtf8().size() <= 255;
}

TEST(ItemBackupNames, EveryKeyGetsItsOwnBackupThatStartUpLeavesInPlace)
{
    const QString prefix(250, u'a');
    const QStringList awkward = {"YJV22-3*95", "1/2寸", "a:b", "CON", "nul.txt", "trailing.",
        "trailing ", "", ".", "..", "a*", QString(100, u'长'), prefix + "长x", prefix + "长y",
        "~WH-阀", "~编码~阀", "tab\tname"};
    const QStringList plain
        = {"电缆YJV-3x4", "a.b", "CONSOLE", "a%2A", "wh-1~", QString(83, u'长')};
    QTemporaryDir dir;
    const QString folder = ItemBackup::issueFolder(dir.path());
    RecordStore store;
    ASSERT_TRUE(Stock::createEmptyFile(dir.filePath("data.zrb")));
    ASSERT_TRUE(store.open(dir.filePath("data.zrb"), Stock::alias()));
    QSet<QString> files;
    {
        BookingBackups backups(folder);
        RecordStore::Transaction transaction(store);
        for (const QString &key : awkward + plain) {
            const QString stem = ItemBackup::fileStem(key, QString());
            EXPECT_TRUE(takenEverywhere(stem)) << stem.toStdString();
            EXPECT_EQ(stem == key, plain.contains(key)) << key.toStdString();
            files << stem + ".zrb" << stem + ".edt";
            ASSERT_TRUE(store.add({key, QString(), QStringLiteral("个"), 1.0, 1.0, 1.0}));
            ASSERT_TRUE(backups.take(*store.current(), key, QString()));
        }
        ASSERT_TRUE(backups.list(*store.current()));
        ASSERT_TRUE(transaction.commit());
    } // cut off before the install: start-up puts them in place
    EXPECT_EQ(files.size(), 2 * (awkward.size() + plain.size())) << "one name per key";
    store.closeAll();
    ASSERT_TRUE(InterruptedWork::finish(dir.path(), {folder}));
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(QSet<QString>(left.begin(), left.end()), files);
    for (const QString &key : awkward + plain) {
        RecordStore backup;
        ASSERT_TRUE(backup.open(ItemBackup::path(folder, key, QString()), "b"));
        EXPECT_EQ(backup.readText(Stock::Name), key);
    }
}

} // namespace
