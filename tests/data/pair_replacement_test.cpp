#include "test_files.h"

#include "data/pair_replacement.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PairReplacementTest : public testing::Test
{
protected:
    void SetUp() override
    {
        target = dir.filePath(QStringLiteral("data.zrb"));
        ASSERT_TRUE(Stock::createEmptyFile(target));
        RecordStore store;
        ASSERT_TRUE(store.open(target, Stock::alias()));
        fillStock(store, 3);
        store.closeAll();
    }

    // A complete new pair under temporary names, holding `n` items.
    std::pair<QString, QString> newPair(int n)
    {
        const QString built = dir.filePath(QStringLiteral("built.zrb"));
        QFile::remove(built);
        QFile::remove(RecordStore::companionPath(built));
        EXPECT_TRUE(Stock::createEmptyFile(built));
        {
            RecordStore store;
            EXPECT_TRUE(store.open(built, QStringLiteral("b")));
            fillStock(store, n);
        }
        const QString stem = PairReplacement::newStem();
        const QString zrb = PairReplacement::temporaryPath(dir.path(), stem, ".zrb");
        const QString edt = PairReplacement::temporaryPath(dir.path(), stem, ".edt");
        EXPECT_TRUE(QFile::rename(built, zrb));
        EXPECT_TRUE(QFile::rename(RecordStore::companionPath(built), edt));
        return {zrb, edt};
    }

    int countIn(const QString &path)
    {
        RecordStore store;
        if (!store.open(path, Stock::alias()))
            return -1;
        return store.recordCount();
    }

    QStringList leftovers() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("~*")}, QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir;
    QString target;
};

TEST_F(PairReplacementTest, ReplacesBothFilesAndDropsTheOldJournal)
{
    const auto [zrb, edt] = newPair(7);
    // A journal the discarded file left must not be applied to the new one.
    writeBytes(target + QStringLiteral("-journal"), QByteArray(2048, 'j'));
    ASSERT_TRUE(PairReplacement::replace(target, zrb, edt));
    EXPECT_FALSE(QFile::exists(target + QStringLiteral("-journal")));
    EXPECT_EQ(countIn(target), 7);
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
}

TEST_F(PairReplacementTest, RefusesFilesThatAreNotTemporariesBesideTheTarget)
{
    QTemporaryDir elsewhere;
    const QString foreign = elsewhere.filePath(QStringLiteral("~wh-x.zrb"));
    writeBytes(foreign, "x");
    EXPECT_FALSE(PairReplacement::replace(target, foreign, {}));
    writeBytes(dir.filePath(QStringLiteral("plain.zrb")), "x");
    EXPECT_FALSE(PairReplacement::replace(target, dir.filePath(QStringLiteral("plain.zrb")), {}));
    EXPECT_EQ(countIn(target), 3);
}

TEST_F(PairReplacementTest, StartUpRollsAnInterruptedReplacementForward)
{
    // A crash after the marker and the first rename: the companion is new, the
    // record file still old. The pair is mismatched until recovery.
    const auto [zrb, edt] = newPair(5);
    const QString marker = dir.filePath(QStringLiteral("~wh-crash.replace"));
    writeBytes(marker,
        QFileInfo(edt).fileName().toUtf8() + "\tdata.edt\n" + QFileInfo(zrb).fileName().toUtf8()
            + "\tdata.zrb\n");
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("data.edt"))));
    ASSERT_TRUE(QFile::rename(edt, dir.filePath(QStringLiteral("data.edt"))));
    EXPECT_EQ(countIn(target), -1) << "a mixed pair must not open";

    ASSERT_TRUE(PairReplacement::recover(dir.path()));
    EXPECT_EQ(countIn(target), 5);
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
}

TEST_F(PairReplacementTest, StartUpDiscardsTemporariesThatNeverGotAMarker)
{
    const auto [zrb, edt] = newPair(9);
    writeBytes(zrb + QStringLiteral("-journal"), "x");
    ASSERT_TRUE(PairReplacement::recover(dir.path()));
    EXPECT_EQ(countIn(target), 3) << "the old pair stays";
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
}

TEST_F(PairReplacementTest, AMarkerCannotNameAFileOutsideItsFolder)
{
    writeBytes(dir.filePath(QStringLiteral("~wh-a.zrb")), "evil");
    writeBytes(dir.filePath(QStringLiteral("~wh-bad.replace")), "~wh-a.zrb\t../data.zrb\n");
    ASSERT_TRUE(PairReplacement::recover(dir.path()));
    EXPECT_EQ(countIn(target), 3);
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_TRUE(PairReplacement::recover(dir.filePath(QStringLiteral("no such folder"))));
}

#ifdef Q_OS_UNIX
TEST_F(PairReplacementTest, AMarkerThatIsNoRegularFileIsRemovedUnread)
{
    // Read whole, an endless device would exhaust the memory at start-up.
    ASSERT_TRUE(QFile::link(
        QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("~wh-endless.replace"))));
    ASSERT_TRUE(PairReplacement::recover(dir.path()));
    EXPECT_EQ(countIn(target), 3);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("~*")}, QDir::System).isEmpty());
}
#endif

} // namespace
