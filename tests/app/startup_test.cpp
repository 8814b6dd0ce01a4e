#include "app/startup.h"

#include "data/pair_replacement.h"
#include "data/record_store.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
}

TEST(StartUpArguments, ProgramDirectoryFromTheCommandLine)
{
    const QString base = QDir::tempPath();
    const QString fallback = base + QStringLiteral("/程序");
    QString dir;

    ASSERT_TRUE(StartUp::parseArguments({QStringLiteral("warehouse")}, fallback, dir).ok());
    EXPECT_EQ(dir, fallback);

    ASSERT_TRUE(StartUp::parseArguments(
        {QStringLiteral("warehouse"), QStringLiteral("--dir"), base + QStringLiteral("/库房/")},
        fallback, dir)
                    .ok());
    EXPECT_EQ(dir, base + QStringLiteral("/库房"));

    ASSERT_TRUE(StartUp::parseArguments(
        {QStringLiteral("warehouse"), QStringLiteral("--dir=") + base + QStringLiteral("/a/../b")},
        fallback, dir)
                    .ok());
    EXPECT_EQ(dir, base + QStringLiteral("/b"));

    ASSERT_TRUE(StartUp::parseArguments(
        {QStringLiteral("warehouse"), QStringLiteral("--dir"), QStringLiteral("rel//x/")}, fallback,
        dir)
                    .ok());
    EXPECT_EQ(dir, QDir::currentPath() + QStringLiteral("/rel/x"));

    // The root keeps working as programDir + "/" + name.
    EXPECT_EQ(StartUp::normalizedDirectory(QDir::rootPath()) + QStringLiteral("/data.zrb"),
        QDir::rootPath() + QStringLiteral("data.zrb"));
}

TEST(StartUpArguments, AnythingElseIsRefusedAndLeavesTheDirectoryAlone)
{
    const QList<QStringList> wrong {
        {QStringLiteral("warehouse"), QStringLiteral("--dir")},
        {QStringLiteral("warehouse"), QStringLiteral("--dir"), QStringLiteral(" ")},
        {QStringLiteral("warehouse"), QStringLiteral("--folder"), QStringLiteral("/x")},
        {QStringLiteral("warehouse"), QStringLiteral("/x")},
    };
    for (const QStringList &arguments : wrong) {
        QString dir = QStringLiteral("unchanged");
        const Status status = StartUp::parseArguments(arguments, QStringLiteral("/tmp"), dir);
        EXPECT_FALSE(status.ok()) << arguments.join(u' ').toStdString();
        EXPECT_FALSE(status.message().isEmpty());
        EXPECT_EQ(dir, QStringLiteral("unchanged"));
    }
}

class PrepareProgramDirectory : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }
    QString path(const QString &name) const { return dir + u'/' + name; }

    QTemporaryDir root;
    QString dir = root.filePath(QStringLiteral("仓库/程序"));
};

TEST_F(PrepareProgramDirectory, NewDirectoryGetsAnEmptyStockFileAndNothingElse)
{
    const Status status = StartUp::prepareProgramDirectory(dir);
    ASSERT_TRUE(status.ok()) << status.message().toStdString();

    RecordStore store;
    ASSERT_TRUE(store.open(path(Stock::fileName()), Stock::alias()))
        << store.lastError().toStdString();
    EXPECT_TRUE(Stock::isStockLayout(store.layout()));
    EXPECT_EQ(store.recordCount(), 0);

    for (const QString &folder : StartUp::backupFolders())
        EXPECT_FALSE(QFileInfo::exists(path(folder))) << "backup folders appear when first used";
}

TEST_F(PrepareProgramDirectory, ExistingStockFileIsKept)
{
    ASSERT_TRUE(StartUp::prepareProgramDirectory(dir).ok());
    {
        RecordStore store;
        ASSERT_TRUE(store.open(path(Stock::fileName()), Stock::alias()));
        ASSERT_TRUE(
            store.add({QStringLiteral("电缆"), QStringLiteral("YJV-3x70"), QStringLiteral("米")}));
    }

    const Status again = StartUp::prepareProgramDirectory(dir);
    ASSERT_TRUE(again.ok()) << again.message().toStdString();

    RecordStore store;
    ASSERT_TRUE(store.open(path(Stock::fileName()), Stock::alias()));
    ASSERT_EQ(store.recordCount(), 1);
    EXPECT_TRUE(store.goTo(1));
    EXPECT_EQ(store.readText(Stock::Name), QStringLiteral("电缆"));
}

TEST_F(PrepareProgramDirectory, LeftoversOfInterruptedReplacementsAreCleanedEverywhere)
{
    ASSERT_TRUE(QDir().mkpath(dir));
    QStringList leftovers;
    const QString stem = PairReplacement::newStem();
    leftovers << PairReplacement::temporaryPath(dir, stem, QStringLiteral(".zrb"));
    for (const QString &folder : StartUp::backupFolders()) {
        ASSERT_TRUE(QDir().mkpath(path(folder)));
        leftovers << PairReplacement::temporaryPath(path(folder), stem, QStringLiteral(".zrb"));
    }
    for (const QString &file : leftovers)
        touch(file);
    const QString backup = path(QStringLiteral("进库备份/电缆YJV-3x70.zrb"));
    touch(backup);

    const Status status = StartUp::prepareProgramDirectory(dir);
    ASSERT_TRUE(status.ok()) << status.message().toStdString();

    for (const QString &file : leftovers)
        EXPECT_FALSE(QFile::exists(file)) << file.toStdString();
    EXPECT_TRUE(QFile::exists(backup)) << "backups themselves are never touched";
}

TEST_F(PrepareProgramDirectory, UnusableDirectoryOrStockFileIsReported)
{
    // The program directory is a file.
    touch(root.filePath(QStringLiteral("文件")));
    const Status notADirectory
        = StartUp::prepareProgramDirectory(root.filePath(QStringLiteral("文件")));
    EXPECT_FALSE(notADirectory.ok());
    EXPECT_FALSE(notADirectory.message().isEmpty());

    // Something that is not a file stands where the stock file belongs.
    ASSERT_TRUE(QDir().mkpath(path(Stock::fileName())));
    const Status notAFile = StartUp::prepareProgramDirectory(dir);
    EXPECT_FALSE(notAFile.ok());
    EXPECT_TRUE(notAFile.message().contains(QStringLiteral("data.zrb")))
        << notAFile.message().toStdString();
}

} // namespace
