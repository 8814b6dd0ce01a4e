#include "common/file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

FileSystem::FaultHook &faultHook()
{
    static FileSystem::FaultHook hook;
    return hook;
}

// The error a test's hook asks for on this call, 0 for none.
int injectedFault(FileSystem::Operation operation, const QString &path)
{
    const FileSystem::FaultHook &hook = faultHook();
    return hook ? hook(operation, path) : 0;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString errnoText(int code);

// The reason of the last failed system call, as a storekeeper reads it: the
// system's own words may be English, so the usual reasons are said in
// Chinese and the rest by their number.
QString lastError()
{
#ifdef Q_OS_WIN
    const DWORD code = GetLastError();
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return QStringLiteral("磁盘空间不足");
    case ERROR_ACCESS_DENIED:
        return QStringLiteral("没有权限");
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return QStringLiteral("文件不存在");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return QStringLiteral("文件正被其他程序使用");
    case ERROR_WRITE_PROTECT:
        return QStringLiteral("磁盘写保护");
    default:
        return QStringLiteral("系统错误 %1").arg(code);
    }
#else
    return errnoText(errno);
#endif
}

QString errnoText(int code)
{
    switch (code) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("磁盘空间不足");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有权限");
    case ENOENT:
        return QStringLiteral("文件不存在");
    case EROFS:
        return QStringLiteral("磁盘只读");
    case EIO:
        return QStringLiteral("磁盘读写错误");
    case EBUSY:
        return QStringLiteral("文件正被其他程序使用");
    default:
        return QStringLiteral("系统错误 %1").arg(code);
    }
}

// QFile's own reasons are English: say what kind of failure it was.
QString fileError(const QFileDevice &file)
{
    switch (file.error()) {
    case QFileDevice::PermissionsError:
        return QStringLiteral("没有权限");
    case QFileDevice::ResourceError:
        return QStringLiteral("磁盘空间或系统资源不足");
    case QFileDevice::OpenError:
        return QStringLiteral("无法打开");
    case QFileDevice::WriteError:
        return QStringLiteral("写入出错");
    case QFileDevice::ReadError:
        return QStringLiteral("读取出错");
    case QFileDevice::RemoveError:
        return QStringLiteral("无法删除");
    default:
        return QStringLiteral("文件操作出错");
    }
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

// Opens `path` and flushes it with `flush`. `kind` names it in the messages ("文件夹 " for a
// folder). Some file systems cannot flush a directory and say so with EINVAL; `einvalIsDone` takes
// that as done, as their entries are as safe as they will get.
Status flushOpened(const QString &path, int flags, const QString &kind, int (*flush)(int),
    bool einvalIsDone = false)
{
    const int fd = openForSync(path, flags);
    if (fd < 0) {
        const QString reason = lastError();
        return Status::failure(
            QStringLiteral("无法打开%1 %2 以写入磁盘：%3").arg(kind, shown(path), reason));
    }
    const bool flushed = flush(fd) == 0 || (einvalIsDone && errno == EINVAL);
    const QString reason = flushed ? QString() : lastError();
    ::close(fd);
    if (!flushed)
        return Status::failure(
            QStringLiteral("无法把%1 %2 写入磁盘：%3").arg(kind, shown(path), reason));
    return Status::success();
}
#endif

// Renames `from` over `to`: the reason when that failed, else empty.
QString renameOver(const QString &from, const QString &to)
{
    if (const int fault = injectedFault(FileSystem::Operation::Rename, to))
        return errnoText(fault);
#ifdef Q_OS_WIN
    const QString nativeFrom = shown(from), nativeTo = shown(to);
    if (!MoveFileExW(native(nativeFrom), native(nativeTo),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
#endif
        return lastError();
    return QString();
}

} // namespace

namespace FileSystem {

Status replaceFile(const QString &from, const QString &to)
{
    if (const QString reason = renameOver(from, to); !reason.isEmpty())
        return Status::failure(
            QStringLiteral("无法把 %1 改名为 %2：%3").arg(shown(from), shown(to), reason));
    return Status::success();
}

Status syncFile(const QString &path)
{
    if (const int fault = injectedFault(Operation::SyncFile, path))
        return Status::failure(
            QStringLiteral("无法把 %1 写入磁盘：%2").arg(shown(path), errnoText(fault)));
#ifdef Q_OS_WIN
    // FlushFileBuffers needs a handle with write access.
    const QString nativePath = shown(path);
    HANDLE handle = CreateFileW(native(nativePath), GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const QString reason = lastError();
        return Status::failure(
            QStringLiteral("无法打开 %1 以写入磁盘：%2").arg(shown(path), reason));
    }
    const bool flushed = FlushFileBuffers(handle);
    const QString reason = flushed ? QString() : lastError();
    CloseHandle(handle);
    if (!flushed)
        return Status::failure(QStringLiteral("无法把 %1 写入磁盘：%2").arg(shown(path), reason));
    return Status::success();
#else
    return flushOpened(path, O_RDONLY, QString(), ::fsync);
#endif
}

Status syncDirectory(const QString &dir)
{
    if (const int fault = injectedFault(Operation::SyncDirectory, dir))
        return Status::failure(
            QStringLiteral("无法把文件夹 %1 写入磁盘：%2").arg(shown(dir), errnoText(fault)));
#ifdef Q_OS_WIN
    // NTFS commits directory entries with its own journal; there is no call.
    Q_UNUSED(dir);
    return Status::success();
#else
    return flushOpened(
        dir, O_RDONLY | O_DIRECTORY, QStringLiteral("文件夹"), ::fsync, /*einvalIsDone=*/true);
#endif
}

Status writeFileAtomically(const QString &path, const QByteArray &contents)
{
    AtomicFileWriter writer(path);
    if (Status s = writer.open(); !s)
        return s;
    writer.write(contents);
    return writer.commit();
}

namespace {

// Blocks of this size reach the file: large enough that a system call per
// block costs nothing, small enough to keep memory flat.
constexpr qsizetype blockSize = 256 * 1024;

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString &path)
    : path_(path)
{ }

AtomicFileWriter::~AtomicFileWriter()
{
    if (file_)
        (void)cancel(QString()); // nothing to tell: the caller gave up on the file
}

Status AtomicFileWriter::open()
{
    // A new name of its own beside the target, so the rename stays on one
    // volume and no other writer's temporary file is ever touched.
    const QFileInfo target(path_);
    temporary_ = target.absolutePath() + u'/' + target.fileName() + u'.'
        + QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".tmp");
    file_ = std::make_unique<QFile>(temporary_);
    if (!file_->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        const Status failed = Status::failure(
            QStringLiteral("无法写入 %1：%2").arg(shown(path_), fileError(*file_)));
        file_.reset();
        return failed;
    }
    // The old file's permissions are a courtesy to whoever set them; the
    // contents do not depend on them.
    if (target.exists())
        (void)file_->setPermissions(target.permissions());
    return Status::success();
}

Status AtomicFileWriter::cancel(const QString &reason)
{
    file_->close();
    file_.reset();
    (void)QFile::remove(temporary_); // a leftover is only a stray file
    return Status::failure(QStringLiteral("无法写入 %1：%2").arg(shown(path_), reason));
}

bool AtomicFileWriter::writeOut()
{
    if (!file_ || !error_.isEmpty())
        return false;
    if (!block_.isEmpty() && file_->write(block_) != block_.size()) {
        error_ = fileError(*file_);
        return false;
    }
    block_.resize(0); // keeps the capacity
    return true;
}

void AtomicFileWriter::write(QByteArrayView bytes)
{
    if (bytes.size() < blockSize) {
        block_.append(bytes.data(), bytes.size());
        flushBlock();
        return;
    }
    // A large piece goes straight through, never copied into a block.
    if (writeOut() && file_->write(bytes.data(), bytes.size()) != bytes.size())
        error_ = fileError(*file_);
}

void AtomicFileWriter::flushBlock()
{
    if (block_.size() >= blockSize)
        (void)writeOut(); // a failure is kept in error_ and told by commit()
}

Status AtomicFileWriter::commit()
{
    if (!file_)
        return Status::failure(QStringLiteral("无法写入 %1").arg(shown(path_)));
    if (!writeOut())
        return cancel(error_);
    if (!file_->flush() || file_->error() != QFileDevice::NoError)
        return cancel(fileError(*file_));
    // The bytes must be on the disk before the rename makes them the file: a
    // disk that is full or failing may say so only now.
    if (const int fault = injectedFault(Operation::SyncFile, path_))
        return cancel(errnoText(fault));
#ifndef Q_OS_WIN
    // The descriptor that wrote is the one that is told of a failed write-back.
    if (::fsync(file_->handle()) != 0)
        return cancel(errnoText(errno));
#endif
    file_->close();
    if (file_->error() != QFileDevice::NoError)
        return cancel(fileError(*file_));
#ifdef Q_OS_WIN
    // Qt keeps its Windows handle to itself: the flush goes through one of ours.
    if (Status synced = syncFile(temporary_); !synced)
        return cancel(synced.message());
#endif
    file_.reset();
    if (const QString reason = renameOver(temporary_, path_); !reason.isEmpty()) {
        (void)QFile::remove(temporary_); // the old file stays; the new one is void
        return Status::failure(QStringLiteral("无法写入 %1：%2").arg(shown(path_), reason));
    }
    return syncDirectory(QFileInfo(path_).absolutePath());
}

Status readRegularFile(const QString &path, qint64 maxBytes, QByteArray *contents)
{
    contents->clear();
    const QFileInfo info(path);
    if (!info.exists())
        return Status::failure(QStringLiteral("%1 不存在").arg(shown(path)));
    if (!info.isFile())
        return Status::failure(QStringLiteral("%1 不是普通文件，未读取").arg(shown(path)));
    const auto tooLarge = [&] {
        return Status::failure(
            QStringLiteral("%1 过大（超过 %2 字节），未读取").arg(shown(path)).arg(maxBytes));
    };
    if (info.size() > maxBytes)
        return tooLarge();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("无法读取 %1：%2").arg(shown(path), fileError(file)));
    // One byte more than allowed tells a file that grew since it was measured.
    *contents = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        contents->clear();
        return Status::failure(QStringLiteral("无法读取 %1：%2").arg(shown(path), fileError(file)));
    }
    if (contents->size() > maxBytes) {
        contents->clear();
        return tooLarge();
    }
    return Status::success();
}

Status removeIfExists(const QString &path)
{
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Status::success();
    if (const int fault = injectedFault(Operation::Remove, path))
        return Status::failure(
            QStringLiteral("无法删除 %1：%2").arg(shown(path), errnoText(fault)));
    QFile file(path);
    if (!file.remove())
        return Status::failure(QStringLiteral("无法删除 %1：%2").arg(shown(path), fileError(file)));
    return Status::success();
}

void setFaultHook(FaultHook hook)
{
    faultHook() = std::move(hook);
}

} // namespace FileSystem
