#include "common/file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The reason of the last failed system call, in the system's words.
QString lastError()
{
#ifdef Q_OS_WIN
    return qt_error_string(int(GetLastError()));
#else
    return qt_error_string(errno);
#endif
}

#ifdef Q_OS_WIN
const wchar_t *native(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}
#else
// Opens for fsync; a directory can only be opened for reading.
int openForSync(const QString &path, int flags)
{
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
#endif

} // namespace

namespace FileSystem {

Status replaceFile(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    const QString nativeFrom = shown(from), nativeTo = shown(to);
    if (!MoveFileExW(native(nativeFrom), native(nativeTo),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
#endif
    {
        const QString reason = lastError();
        return Status::failure(
            QStringLiteral("Could not rename %1 to %2: %3").arg(shown(from), shown(to), reason));
    }
    return Status::success();
}

Status syncFile(const QString &path)
{
#ifdef Q_OS_WIN
    // FlushFileBuffers needs a handle with write access.
    const QString nativePath = shown(path);
    HANDLE handle = CreateFileW(native(nativePath), GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const QString reason = lastError();
        return Status::failure(
            QStringLiteral("Could not open %1 to flush it: %2").arg(shown(path), reason));
    }
    const bool flushed = FlushFileBuffers(handle);
    const QString reason = flushed ? QString() : lastError();
    CloseHandle(handle);
    if (!flushed)
        return Status::failure(
            QStringLiteral("Could not flush %1 to the disk: %2").arg(shown(path), reason));
    return Status::success();
#else
    const int fd = openForSync(path, O_RDONLY);
    if (fd < 0) {
        const QString reason = lastError();
        return Status::failure(
            QStringLiteral("Could not open %1 to flush it: %2").arg(shown(path), reason));
    }
    const bool flushed = ::fsync(fd) == 0;
    const QString reason = flushed ? QString() : lastError();
    ::close(fd);
    if (!flushed)
        return Status::failure(
            QStringLiteral("Could not flush %1 to the disk: %2").arg(shown(path), reason));
    return Status::success();
#endif
}

Status syncDirectory(const QString &dir)
{
#ifdef Q_OS_WIN
    // NTFS commits directory entries with its own journal; there is no call.
    Q_UNUSED(dir);
    return Status::success();
#else
    const int fd = openForSync(dir, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        const QString reason = lastError();
        return Status::failure(
            QStringLiteral("Could not open the folder %1 to flush it: %2").arg(shown(dir), reason));
    }
    // Some file systems cannot flush a directory and say so with EINVAL; their
    // entries are as safe as they will get.
    const bool flushed = ::fsync(fd) == 0 || errno == EINVAL;
    const QString reason = flushed ? QString() : lastError();
    ::close(fd);
    if (!flushed)
        return Status::failure(QStringLiteral("Could not flush the folder %1 to the disk: %2")
                                   .arg(shown(dir), reason));
    return Status::success();
#endif
}

Status writeFileAtomically(const QString &path, const QByteArray &contents)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(
            QStringLiteral("Could not write %1: %2").arg(shown(path), file.errorString()));
    if (file.write(contents) != contents.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Status::failure(QStringLiteral("Could not write %1: %2").arg(shown(path), reason));
    }
    // commit() flushes the temporary file to the disk before renaming it.
    if (!file.commit())
        return Status::failure(
            QStringLiteral("Could not write %1: %2").arg(shown(path), file.errorString()));
    return syncDirectory(QFileInfo(path).absolutePath());
}

Status removeIfExists(const QString &path)
{
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Status::success();
    QFile file(path);
    if (!file.remove())
        return Status::failure(
            QStringLiteral("Could not delete %1: %2").arg(shown(path), file.errorString()));
    return Status::success();
}

} // namespace FileSystem
