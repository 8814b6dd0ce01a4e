#include "app/instance_lock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString lockPath(const QTemporaryDir &dir)
{
    return dir.filePath(InstanceLock::fileName());
}

// A lock file whose contents never reached the disk, written `age` ago.
void writeUnreadableLock(const QTemporaryDir &dir, qint64 ageSeconds)
{
    QFile file(lockPath(dir));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(
        QDateTime::currentDateTime().addSecs(-ageSeconds), QFileDevice::FileModificationTime));
}

TEST(InstanceLock, OneCopyPerDirectoryWithinTheProcess)
{
    QTemporaryDir dir;
    QTemporaryDir otherDir;
    ASSERT_TRUE(dir.isValid() && otherDir.isValid());

    InstanceLock first(dir.path());
    ASSERT_TRUE(first.acquire().ok());
    EXPECT_TRUE(first.held());

    InstanceLock second(dir.path());
    const Status refused = second.acquire();
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.message().contains(QStringLiteral("程序已经在运行")))
        << refused.message().toStdString();
    EXPECT_FALSE(second.held());

    InstanceLock elsewhere(otherDir.path());
    EXPECT_TRUE(elsewhere.acquire().ok()) << "another directory is another warehouse";

    first.release();
    EXPECT_TRUE(second.acquire().ok()) << "a released lock is free again";
}

TEST(InstanceLock, DestroyingTheHolderFreesTheDirectory)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        InstanceLock lock(dir.path());
        ASSERT_TRUE(lock.acquire().ok());
    }
    EXPECT_FALSE(QFile::exists(lockPath(dir)));
    InstanceLock next(dir.path());
    EXPECT_TRUE(next.acquire().ok());
}

TEST(InstanceLock, RunningCopyBlocksAndKilledCopyIsTakenOver)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    QProcess other;
    other.start(QCoreApplication::applicationFilePath(),
        {QStringLiteral("--hold-instance-lock"), dir.path()});
    ASSERT_TRUE(other.waitForStarted(10000));
    ASSERT_TRUE(other.waitForReadyRead(10000));
    ASSERT_EQ(other.readLine().trimmed(), "locked");

    InstanceLock mine(dir.path());
    // A live copy keeps its lock however long it has run (aged here rather
    // than waited for).
    QFile lockFile(lockPath(dir));
    ASSERT_TRUE(lockFile.open(QIODevice::ReadOnly));
    ASSERT_TRUE(lockFile.setFileTime(
        QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    lockFile.close();
    EXPECT_FALSE(mine.acquire().ok()) << "a copy that has run for an hour still holds its lock";

    other.kill();
    ASSERT_TRUE(other.waitForFinished(10000));
    ASSERT_TRUE(QFile::exists(lockPath(dir))) << "a killed copy leaves its lock file behind";
    EXPECT_TRUE(mine.acquire().ok()) << "the lock of a copy that no longer runs is stale";
    EXPECT_TRUE(mine.held());
}

TEST(InstanceLock, UnreadableLockFileIsTakenOverOnlyWhenOld)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // Just written by a copy that is still starting: leave it alone.
    writeUnreadableLock(dir, 0);
    InstanceLock lock(dir.path());
    EXPECT_FALSE(lock.acquire().ok());

    // Left by a power failure before its contents were written.
    writeUnreadableLock(dir, 600);
    const Status status = lock.acquire();
    EXPECT_TRUE(status.ok()) << status.message().toStdString();
}

} // namespace
