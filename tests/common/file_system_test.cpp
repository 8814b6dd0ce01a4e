#include "common/file_system.h"
#include "common/ini_file.h"
#include "data/pair_replacement.h"
#include "table/data_source.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#endif

namespace {

class FileSystemTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString &name) const { return dir.filePath(name); }
    void put(const QString &name, const QByteArray &bytes)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray contents(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir;
};

TEST_F(FileSystemTest, ReplaceFileOverwritesTheTarget)
{
    put("new.zrb", "new");
    put("data.zrb", "old contents");
    ASSERT_TRUE(FileSystem::replaceFile(path("new.zrb"), path("data.zrb")));
    EXPECT_EQ(contents("data.zrb"), QByteArray("new"));
    EXPECT_EQ(files(), QStringList {"data.zrb"});

    // A target that does not exist yet is simply created.
    put("tmp 进库.zrb", "x");
    ASSERT_TRUE(FileSystem::replaceFile(path("tmp 进库.zrb"), path("螺丝M3.zrb")));
    EXPECT_EQ(contents("螺丝M3.zrb"), QByteArray("x"));
}

TEST_F(FileSystemTest, ReplaceFileReportsAMissingSource)
{
    put("data.zrb", "kept");
    const Status status = FileSystem::replaceFile(path("gone.zrb"), path("data.zrb"));
    EXPECT_FALSE(status);
    EXPECT_TRUE(status.message().contains(QDir::toNativeSeparators(path("gone.zrb"))));
    EXPECT_EQ(contents("data.zrb"), QByteArray("kept"));
}

TEST_F(FileSystemTest, WriteFileAtomicallyCreatesAndReplaces)
{
    ASSERT_TRUE(FileSystem::writeFileAtomically(path("config.ini"), "first"));
    EXPECT_EQ(contents("config.ini"), QByteArray("first"));
    ASSERT_TRUE(FileSystem::writeFileAtomically(path("config.ini"), "second, longer"));
    ASSERT_TRUE(FileSystem::writeFileAtomically(path("config.ini"), "3rd"));
    EXPECT_EQ(contents("config.ini"), QByteArray("3rd"));
    ASSERT_TRUE(FileSystem::writeFileAtomically(path("empty.ini"), {}));
    EXPECT_EQ(contents("empty.ini"), QByteArray());
    // No temporary files are left behind.
    EXPECT_EQ(files(), (QStringList {"config.ini", "empty.ini"}));
}

TEST_F(FileSystemTest, WriteFileAtomicallyReportsAMissingFolder)
{
    const Status status = FileSystem::writeFileAtomically(path("no/such/file.ini"), "x");
    EXPECT_FALSE(status);
    EXPECT_TRUE(status.message().contains(QDir::toNativeSeparators(path("no/such/file.ini"))));
}

TEST_F(FileSystemTest, SyncsFilesAndFolders)
{
    put("data.zrb", "x");
    EXPECT_TRUE(FileSystem::syncFile(path("data.zrb")));
    EXPECT_TRUE(FileSystem::syncDirectory(dir.path()));

    const Status missingFile = FileSystem::syncFile(path("none.zrb"));
    EXPECT_FALSE(missingFile);
    EXPECT_TRUE(missingFile.message().contains(QDir::toNativeSeparators(path("none.zrb"))));
#ifndef Q_OS_WIN
    EXPECT_FALSE(FileSystem::syncDirectory(path("none")));
#endif
}

TEST_F(FileSystemTest, RemoveIfExists)
{
    put("qd.zrb", "x");
    EXPECT_TRUE(FileSystem::removeIfExists(path("qd.zrb")));
    EXPECT_FALSE(QFile::exists(path("qd.zrb")));
    // Removing again, or a file that never was, is no error.
    EXPECT_TRUE(FileSystem::removeIfExists(path("qd.zrb")));
    EXPECT_TRUE(FileSystem::removeIfExists(path("no/such/qd4.zrb")));

    // A folder is not a file: reported, and left alone.
    ASSERT_TRUE(QDir(dir.path()).mkdir("备份"));
    put("备份/a.zrb", "x");
    EXPECT_FALSE(FileSystem::removeIfExists(path("备份")));
    EXPECT_EQ(contents("备份/a.zrb"), QByteArray("x"));
}

TEST_F(FileSystemTest, ReadRegularFileReadsOnlySmallRegularFiles)
{
    put("peizi.ini", "[dyzb]");
    QByteArray bytes;
    ASSERT_TRUE(FileSystem::readRegularFile(path("peizi.ini"), 6, &bytes));
    EXPECT_EQ(bytes, QByteArray("[dyzb]"));
    EXPECT_FALSE(FileSystem::readRegularFile(path("peizi.ini"), 5, &bytes));
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_FALSE(FileSystem::readRegularFile(path("none.ini"), 5, &bytes));
    EXPECT_FALSE(FileSystem::readRegularFile(dir.path(), 5, &bytes));
#ifdef Q_OS_UNIX
    // Opening a FIFO would wait for a writer for ever.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.ini")).constData(), 0600), 0);
    const Status fifo = FileSystem::readRegularFile(path("fifo.ini"), 5, &bytes);
    EXPECT_FALSE(fifo);
    EXPECT_TRUE(fifo.message().contains(u"不是普通文件")) << fifo.message().toStdString();
#endif
}

#ifdef Q_OS_LINUX
// A full disk: a small tmpfs filled up where this process may mount one, else
// a file size limit of 0, which fails every write that grows a file as well.
struct FullDisk
{
    explicit FullDisk(const QString &dir)
        : at(dir)
        , mounted(::mount("tmpfs", QFile::encodeName(dir), "tmpfs", 0, "size=64k") == 0)
    {
        ::getrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk()
    {
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (mounted)
            ::umount2(QFile::encodeName(at), MNT_DETACH);
    }
    bool fill()
    {
        QFile filler(at + "/.filler"); // hidden from listings
        if (mounted && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            while (filler.write(QByteArray(4096, 'x')) == 4096) { }
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit none {0, limit.rlim_max};
        return mounted || ::setrlimit(RLIMIT_FSIZE, &none) == 0;
    }
    const QString at;
    const bool mounted;
    rlimit limit {};
};

// Files written whole are small enough to sit in a write buffer: on a full
// disk each write fails, says so, and leaves the folder as it was.
TEST_F(FileSystemTest, WritesOnAFullDiskFailAndKeepTheOldFiles)
{
    const QString at = "full/";
    ASSERT_TRUE(QDir(dir.path()).mkdir(at));
    FullDisk disk(path(at));
    const QStringList names {
        "config.ini", "入库.grd", "data.zrb", "data.edt", "~wh-1.zrb", "~wh-1.edt"};
    for (const QString &name : names)
        put(at + name, name.toUtf8().repeated(90));
    DataSource table;
    const std::function<Status()> writes[] = {
        [&] { return IniFile(path(at + "config.ini")).write("dyzb", "dyzb", "17"); },
        [&] { return table.save(path(at + "入库.grd")); },
        [&] {
            return PairReplacement::replace(
                path(at + "data.zrb"), path(at + "~wh-1.zrb"), path(at + "~wh-1.edt"));
        },
    };
    ASSERT_TRUE(disk.fill());
    for (const auto &write : writes) {
        const Status status = write();
        EXPECT_FALSE(status);
        EXPECT_TRUE(status.message().contains(u"无法写入")) << status.message().toStdString();
    }
    EXPECT_EQ(
        QDir(path(at)).entryList(QDir::Files).size(), names.size()); // no temporary file, no marker
    for (const QString &name : names)
        EXPECT_EQ(contents(at + name), name.toUtf8().repeated(90)) << name.toStdString();
}
#endif

} // namespace
