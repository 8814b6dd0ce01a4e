#include "test_files.h"

#include "common/value_text.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class StockFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        programDir = dir.path();
        ASSERT_TRUE(Stock::createEmptyFile(StockFile::stockPath(programDir)));
        ASSERT_TRUE(store.open(StockFile::stockPath(programDir), Stock::alias()));
        fillStock(store, 3);
        store.first();
        ASSERT_TRUE(store.appendMemo(Stock::ReceiptHistory, QStringLiteral("第一次进库\r\n")));
    }

    // The items of the stock file, as "name quantity history".
    QStringList items()
    {
        RecordStore reader;
        EXPECT_TRUE(reader.open(StockFile::stockPath(programDir), Stock::alias()))
            << reader.lastError().toStdString();
        QStringList result;
        for (reader.first(); !reader.atEnd(); reader.skip())
            result << (reader.readText(Stock::Name) + u' ' + reader.readText(Stock::Quantity) + u' '
                + reader.readText(Stock::ReceiptHistory))
                          .trimmed();
        return result;
    }

    QStringList backups() const
    {
        return QDir(StockFile::backupFolder(programDir))
            .entryList({QStringLiteral("*.zrb")}, QDir::Files, QDir::Name);
    }

    QString backupPath(const QString &fileName) const
    {
        return StockFile::backupFolder(programDir) + u'/' + fileName;
    }
    // The number of records a backup holds; -1 when it does not open.
    int recordsIn(const QString &fileName) const
    {
        RecordStore reader;
        if (!reader.open(backupPath(fileName), QStringLiteral("b")))
            return -1;
        return reader.recordCount();
    }

    QTemporaryDir dir;
    QString programDir;
    RecordStore store;
    const QDateTime morning {QDate(2011, 3, 7), QTime(9, 5)};
};

TEST_F(StockFileTest, BackupIsNamedByTheMomentAndReplacesOneOfTheSameSecond)
{
    QString path;
    ASSERT_TRUE(StockFile::backup(store, programDir, morning, &path));
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("2011年3月7日9时5分.zrb"));
    EXPECT_TRUE(QFile::exists(
        StockFile::backupFolder(programDir) + QStringLiteral("/2011年3月7日9时5分.edt")));

    EXPECT_TRUE(store.goTo(2));
    ASSERT_TRUE(store.write(Stock::Quantity, 99));
    ASSERT_TRUE(StockFile::backup(store, programDir, morning));
    EXPECT_EQ(backups(), QStringList({"2011年3月7日9时5分.zrb"}));
    RecordStore reader;
    ASSERT_TRUE(reader.open(path, QStringLiteral("b")));
    EXPECT_TRUE(reader.goTo(2));
    EXPECT_EQ(reader.readNumber(Stock::Quantity), 99.0) << "the second backup replaced the first";
    EXPECT_EQ(store.currentAlias(), Stock::alias());

    // Backing up works also when the stock file was closed before.
    store.closeAll();
    ASSERT_TRUE(StockFile::backup(store, programDir, morning.addSecs(1)));
    EXPECT_EQ(backups().size(), 2);
}

TEST_F(StockFileTest, RestoreBringsBackRecordsAndHistories)
{
    QString earlier;
    ASSERT_TRUE(StockFile::backup(store, programDir, morning, &earlier));
    EXPECT_TRUE(store.goTo(1));
    ASSERT_TRUE(store.appendMemo(Stock::ReceiptHistory, QStringLiteral("第二次进库\r\n")));
    ASSERT_TRUE(store.add({QStringLiteral("新材料")}));
    ASSERT_EQ(items().size(), 4);

    ASSERT_TRUE(StockFile::restore(store, programDir, earlier, morning.addSecs(60)));
    EXPECT_FALSE(store.isOpen(Stock::alias()));
    EXPECT_EQ(items(), QStringList({"item1 1 第一次进库", "item2 2", "item3 3"}));
    // The state before the restore was kept too.
    EXPECT_EQ(backups(), QStringList({"2011年3月7日9时5分.zrb", "2011年3月7日9时6分.zrb"}));
    RecordStore reader;
    ASSERT_TRUE(reader.open(
        StockFile::backupFolder(programDir) + "/2011年3月7日9时6分.zrb", QStringLiteral("b")));
    EXPECT_EQ(reader.recordCount(), 4);

    // The restored file is a working stock file.
    ASSERT_TRUE(store.open(StockFile::stockPath(programDir), Stock::alias()));
    ASSERT_TRUE(store.findFirstEqual(Stock::Name, "item3", Stock::Spec, "spec3"));
    ASSERT_TRUE(store.appendMemo(Stock::IssueHistory, QStringLiteral("出库\r\n")));
}

TEST_F(StockFileTest, RestoreWithinTheSameSecondKeepsTheChosenBackup)
{
    QString chosen;
    ASSERT_TRUE(StockFile::backup(store, programDir, morning, &chosen));
    ASSERT_TRUE(store.add({QStringLiteral("新材料")}));
    ASSERT_TRUE(StockFile::restore(store, programDir, chosen, morning));
    EXPECT_EQ(items().size(), 3);
    EXPECT_EQ(backups().size(), 2) << "the safety backup took another name";
}

TEST_F(StockFileTest, ForeignOrIncompleteChoicesLeaveTheStockFileAlone)
{
    store.closeAll();
    const FileSnapshot before = snapshot(StockFile::stockPath(programDir));
    const QString other = dir.filePath(QStringLiteral("other.zrb"));
    ASSERT_TRUE(RecordStore::create(other, mixedLayout()));
    const QString noise = dir.filePath(QStringLiteral("noise.zrb"));
    writeBytes(noise, QByteArray(4096, '\x5a'));
    const QString lonely = dir.filePath(QStringLiteral("lonely.zrb"));
    ASSERT_TRUE(Stock::createEmptyFile(lonely));
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("lonely.edt"))));
    // A folder whose name holds ".zrb": only the file name's suffix counts.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("x.zrb")));
    const QString nested = dir.filePath(QStringLiteral("x.zrb/b.zrb"));
    ASSERT_TRUE(Stock::createEmptyFile(nested));
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("x.zrb/b.edt"))));

    for (const QString &chosen : {other, noise, lonely, nested, dir.filePath("missing.zrb")}) {
        const Status s = StockFile::restore(store, programDir, chosen, morning);
        EXPECT_FALSE(s) << chosen.toStdString();
        EXPECT_FALSE(s.message().isEmpty());
    }
    EXPECT_TRUE(snapshot(StockFile::stockPath(programDir)) == before);
    EXPECT_TRUE(backups().isEmpty()) << "nothing was replaced, so nothing was backed up";
    EXPECT_EQ(items().size(), 3);
}

TEST_F(StockFileTest, ClearKeepsTheLayoutAndABackup)
{
    ASSERT_TRUE(StockFile::clear(store, programDir, morning));
    EXPECT_FALSE(store.isOpen(Stock::alias()));
    EXPECT_TRUE(items().isEmpty());
    RecordStore reader;
    ASSERT_TRUE(reader.open(StockFile::stockPath(programDir), Stock::alias()));
    EXPECT_EQ(reader.layout(), Stock::layout());
    ASSERT_EQ(backups(), QStringList({"2011年3月7日9时5分.zrb"}));

    // The backup is the way back.
    reader.closeAll();
    ASSERT_TRUE(StockFile::restore(store, programDir,
        StockFile::backupFolder(programDir) + "/2011年3月7日9时5分.zrb", morning.addSecs(5)));
    EXPECT_EQ(items().size(), 3);
}

TEST_F(StockFileTest, AStockFileThatNoLongerOpensIsStillKeptBeforeARestore)
{
    QString good;
    ASSERT_TRUE(StockFile::backup(store, programDir, morning, &good));
    store.closeAll();
    writeBytes(StockFile::stockPath(programDir), "damaged beyond repair");
    ASSERT_TRUE(StockFile::restore(store, programDir, good, morning.addSecs(120)));
    EXPECT_EQ(items().size(), 3);
    EXPECT_EQ(readBytes(StockFile::backupFolder(programDir) + "/2011年3月7日9时7分(无法打开).zrb"),
        QByteArray("damaged beyond repair"));
}

TEST_F(StockFileTest, SafetyBackupsOfOneSecondTakeTheNextFreeName)
{
    // Clearing twice within one second: the second backup holds the empty
    // file, the first still holds every item.
    ASSERT_TRUE(StockFile::clear(store, programDir, morning));
    ASSERT_TRUE(StockFile::clear(store, programDir, morning));
    EXPECT_EQ(backups(), QStringList({"2011年3月7日9时5分(2).zrb", "2011年3月7日9时5分.zrb"}));
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分.zrb")), 3);
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分(2).zrb")), 0);
    // Each with its own companion: the first one's histories are intact.
    EXPECT_TRUE(QFile::exists(backupPath(QStringLiteral("2011年3月7日9时5分(2).edt"))));
    ASSERT_TRUE(StockFile::restore(
        store, programDir, backupPath(QStringLiteral("2011年3月7日9时5分.zrb")), morning));
    EXPECT_EQ(items(), QStringList({"item1 1 第一次进库", "item2 2", "item3 3"}));
    EXPECT_EQ(backups().size(), 3) << "the restore kept the empty file too";
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分(3).zrb")), 0);
}

TEST_F(StockFileTest, ASafetyBackupLeavesAManualBackupOfTheSameSecondAlone)
{
    ASSERT_TRUE(StockFile::backup(store, programDir, morning));
    ASSERT_TRUE(store.add({QStringLiteral("新材料")}));
    QString safety;
    ASSERT_TRUE(StockFile::clear(store, programDir, morning));
    ASSERT_TRUE(StockFile::safetyBackup(store, programDir, morning, &safety));
    EXPECT_EQ(QFileInfo(safety).fileName(), QStringLiteral("2011年3月7日9时5分(3).zrb"));
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分.zrb")), 3) << "the manual backup";
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分(2).zrb")), 4) << "before the clear";
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分(3).zrb")), 0);

    // The manual backup still replaces only its own name.
    ASSERT_TRUE(StockFile::backup(store, programDir, morning));
    EXPECT_EQ(backups().size(), 3);
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分(2).zrb")), 4);
}

TEST_F(StockFileTest, AManualBackupAfterAClearOfTheSameSecondKeepsTheCopyBeforeIt)
{
    // The storekeeper clears, then at once backs up what is left.
    ASSERT_TRUE(StockFile::clear(store, programDir, morning));
    QString manual;
    ASSERT_TRUE(StockFile::backup(store, programDir, morning, &manual));
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分.zrb")), 3) << "before the clear";
    EXPECT_EQ(QFileInfo(manual).fileName(), QStringLiteral("2011年3月7日9时5分(2).zrb"));
    EXPECT_EQ(recordsIn(QFileInfo(manual).fileName()), 0);
    // Another one in that second takes a name of its own too: nothing is lost.
    ASSERT_TRUE(StockFile::backup(store, programDir, morning));
    EXPECT_EQ(backups().size(), 3);
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分.zrb")), 3);
}

TEST_F(StockFileTest, ANameCountsAsTakenWhenEitherFileOfThePairIsThere)
{
    // A companion left on its own, and a record file without its companion.
    QDir().mkpath(StockFile::backupFolder(programDir));
    writeBytes(backupPath(QStringLiteral("2011年3月7日9时5分.edt")), "stray memo");
    writeBytes(backupPath(QStringLiteral("2011年3月7日9时5分(2).zrb")), "stray records");
    QString path;
    ASSERT_TRUE(StockFile::safetyBackup(store, programDir, morning, &path));
    EXPECT_EQ(path, backupPath(QStringLiteral("2011年3月7日9时5分(3).zrb")));
    EXPECT_TRUE(QFile::exists(backupPath(QStringLiteral("2011年3月7日9时5分(3).edt"))));
    EXPECT_EQ(readBytes(backupPath(QStringLiteral("2011年3月7日9时5分.edt"))), "stray memo");
    EXPECT_EQ(readBytes(backupPath(QStringLiteral("2011年3月7日9时5分(2).zrb"))), "stray records");
    EXPECT_FALSE(QFile::exists(backupPath(QStringLiteral("2011年3月7日9时5分.zrb"))));
    EXPECT_FALSE(QFile::exists(backupPath(QStringLiteral("2011年3月7日9时5分(2).edt"))));

    // The copy is a whole stock backup, histories included.
    ASSERT_TRUE(StockFile::restore(store, programDir, path, morning.addSecs(1)));
    EXPECT_EQ(items(), QStringList({"item1 1 第一次进库", "item2 2", "item3 3"}));
}

TEST_F(StockFileTest, RestoreThenClearInOneSecondKeepsEveryState)
{
    QString chosen;
    ASSERT_TRUE(StockFile::backup(store, programDir, morning, &chosen));
    ASSERT_TRUE(store.add({QStringLiteral("新材料")}));
    QString safety;
    ASSERT_TRUE(StockFile::restore(store, programDir, chosen, morning, nullptr, &safety));
    EXPECT_TRUE(safety.endsWith(QStringLiteral("/2011年3月7日9时5分(2).zrb")));
    ASSERT_TRUE(StockFile::clear(store, programDir, morning));
    EXPECT_TRUE(items().isEmpty());
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分.zrb")), 3) << "the chosen backup";
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分(2).zrb")), 4) << "before the restore";
    EXPECT_EQ(recordsIn(QStringLiteral("2011年3月7日9时5分(3).zrb")), 3) << "before the clear";

    // Listed by the time in their names; one that names none by the file's.
    EXPECT_EQ(StockFile::backupTime(safety), morning.addMSecs(2))
        << "after 9时5分, before 9时5分1秒";
    EXPECT_EQ(StockFile::backupTime(QStringLiteral("2011年3月7日9时.zrb")), morning.addSecs(-300));
    EXPECT_EQ(StockFile::backupTime(StockFile::stockPath(programDir)),
        QFileInfo(StockFile::stockPath(programDir)).lastModified());
}

TEST_F(StockFileTest, ADamagedStockFileIsKeptUnderAFreeNameToo)
{
    store.closeAll();
    writeBytes(StockFile::stockPath(programDir), "damaged once");
    EXPECT_FALSE(StockFile::clear(store, programDir, morning));
    writeBytes(StockFile::stockPath(programDir), "damaged twice");
    QString path;
    EXPECT_FALSE(StockFile::clear(store, programDir, morning));
    ASSERT_TRUE(StockFile::safetyBackup(store, programDir, morning, &path));
    EXPECT_EQ(readBytes(backupPath(QStringLiteral("2011年3月7日9时5分(无法打开).zrb"))),
        QByteArray("damaged once"));
    EXPECT_EQ(readBytes(backupPath(QStringLiteral("2011年3月7日9时5分(无法打开)(2).zrb"))),
        QByteArray("damaged twice"));
    EXPECT_EQ(path, backupPath(QStringLiteral("2011年3月7日9时5分(无法打开)(3).zrb")));
    // The companion was fine and went along each time.
    EXPECT_TRUE(QFile::exists(backupPath(QStringLiteral("2011年3月7日9时5分(无法打开)(2).edt"))));
}

TEST_F(StockFileTest, NoStockFileNoSafetyBackup)
{
    store.closeAll();
    ASSERT_TRUE(QFile::remove(StockFile::stockPath(programDir)));
    QString path = QStringLiteral("left over");
    ASSERT_TRUE(StockFile::safetyBackup(store, programDir, morning, &path));
    EXPECT_TRUE(path.isEmpty());
    EXPECT_TRUE(backups().isEmpty());
}

} // namespace

// Files written elsewhere: refused with a reason or read through; restore
// takes only those that open.
TEST_F(StockFileTest, CraftedRecordFilesAreRefusedOrReadSafely)
{
    const QString qty = QStringLiteral("c%1").arg(Stock::Quantity);
    const QString loose = QStringLiteral(";update meta set value='0' where key='dense'");
    const QString huge = QStringLiteral("update records set rowid=9000000000000 where rowid=3");
    // sql, records (-1: refused); the refused ones first, while the stock
    // file holds the three records of SetUp.
    const QList<std::pair<QString, int>> cases
        = {{"update records set rowid=-1 where rowid=1" + loose, -1},
            {"update records set rowid=-1 where rowid=1", -1}, {huge, -1}, {huge + loose, -1},
            {"update records set rowid=0 where rowid=2" + loose, -1},
            {"alter table records drop column " + qty, -1},
            // The dense note lies about a gap: the missing record reads empty.
            {"delete from records where rowid=2", 3},
            {"update records set rowid=rowid*1000" + loose, 3},
            {"update records set c1=x'00ff'," + qty + "='很多',c9=null,c13='昨天'", 3}};
    const QString candidate = dir.filePath(QStringLiteral("candidate.zrb"));
    for (const auto &[sql, records] : cases) {
        SCOPED_TRACE(sql.toStdString());
        QFile::remove(candidate);
        QFile::remove(RecordStore::companionPath(candidate));
        ASSERT_TRUE(Stock::createEmptyFile(candidate));
        {
            RecordStore writer;
            ASSERT_TRUE(writer.open(candidate, QStringLiteral("w")));
            fillStock(writer, 3);
        }
        execSql(candidate, sql);
        RecordStore reader;
        const bool opened = reader.open(candidate, Stock::alias());
        EXPECT_EQ(opened ? reader.recordCount() : -1, records);
        EXPECT_EQ(opened, reader.lastError().isEmpty());
        for (reader.first(); opened && !reader.atEnd(); reader.skip())
            for (int field = 1; field <= reader.fieldCount(); ++field)
                (void)reader.readText(field);
        reader.closeAll();
        const Status restored = StockFile::restore(store, programDir, candidate, morning);
        EXPECT_EQ(bool(restored), records >= 0) << restored.message().toStdString();
        EXPECT_EQ(items().size(), records >= 0 ? records : 3);
    }
}
