#include "app/instance_lock.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

// A lock file still unreadable after this long was not being written by a copy
// that is just starting: the power failed before its contents reached the disk.
constexpr qint64 unreadableLockAgeMs = 5000;

} // namespace

InstanceLock::InstanceLock(const QString &programDir)
    : programDir_(programDir)
    , lock_(programDir + u'/' + fileName())
{
    // The program runs for days: a lock is stale only when its process is gone,
    // never because of its age (Qt's default would hand it over after 30 s).
    lock_.setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

Status InstanceLock::acquire()
{
    if (lock_.isLocked())
        return Status::success();
    if (lock_.tryLock(100))
        return Status::success();
    if (lock_.error() == QLockFile::LockFailedError && isUnreadableLeftover()
        && lock_.removeStaleLockFile() && lock_.tryLock(0))
        return Status::success();

    const QString where = QDir::toNativeSeparators(programDir_);
    switch (lock_.error()) {
    case QLockFile::LockFailedError:
        return Status::failure(
            QStringLiteral("程序已经在运行，同一目录不能打开两次。\n\n程序目录：%1").arg(where));
    case QLockFile::PermissionError:
        return Status::failure(
            QStringLiteral("程序目录不能写入，程序无法启动。\n\n程序目录：%1").arg(where));
    case QLockFile::NoError:
    case QLockFile::UnknownError:
        break;
    }
    return Status::failure(QStringLiteral("无法建立运行标记文件 %1，程序无法启动。")
                               .arg(QDir::toNativeSeparators(programDir_ + u'/' + fileName())));
}

void InstanceLock::release()
{
    lock_.unlock();
}

bool InstanceLock::isUnreadableLeftover() const
{
    qint64 pid = 0;
    QString host;
    QString app;
    if (lock_.getLockInfo(&pid, &host, &app))
        return false;
    const QFileInfo info(programDir_ + u'/' + fileName());
    if (!info.exists())
        return false;
    const qint64 age = info.lastModified().msecsTo(QDateTime::currentDateTime());
    return qAbs(age) > unreadableLockAgeMs;
}
