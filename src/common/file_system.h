#pragma once

#include "common/status.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

#include <memory>

class QFile;

// File operations the program needs to be crash safe, on every platform.
namespace FileSystem {

// Renames `from` onto `to` in one atomic step, replacing `to` if it exists
// (rename(2) here, MoveFileExW with MOVEFILE_REPLACE_EXISTING on Windows).
// Both must be on the same volume.
Status replaceFile(const QString &from, const QString &to);

// Flushes a file's contents to the disk.
Status syncFile(const QString &path);

// Flushes a directory entry list to the disk, so that a rename or a new file in
// it survives a power loss. A no-op where the platform has no such call.
Status syncDirectory(const QString &dir);

// Writes a whole file through AtomicFileWriter: a failure leaves the old file
// as it was.
Status writeFileAtomically(const QString &path, const QByteArray &contents);

// Reads a whole file the program expects to be small (settings, markers,
// table files): only a regular file (a link is followed to one) of at most
// maxBytes. A FIFO, a device or a larger file is refused with a reason before
// anything is read, so no such file can block or exhaust the program. A
// missing file is a failure too; callers that treat it as empty ask first.
Status readRegularFile(const QString &path, qint64 maxBytes, QByteArray *contents);

// A whole file written piece by piece, so that a large file never has to be
// held in memory: the pieces go to a temporary file beside the target, and
// commit() syncs it, renames it over the target and syncs the directory. A
// writer destroyed without commit(), or one whose writing failed, leaves the
// target as it was and removes the temporary file. Pieces are gathered into
// blocks, so small writes cost no system call each, and every block goes to
// the system unbuffered with its result checked: QSaveFile would keep a small
// file in its own buffer and, when flushing that fails on a full disk, still
// rename the empty temporary file over the target.
class AtomicFileWriter
{
public:
    explicit AtomicFileWriter(const QString &path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    Status open();
    // Appends a piece; a failure shows in commit().
    void write(QByteArrayView bytes);
    // The block being gathered, for callers that build a piece in place; it
    // is written out by the next write() or flushBlock() once large enough.
    QByteArray &block() { return block_; }
    void flushBlock();
    Status commit();

private:
    bool writeOut();
    Status cancel(const QString &reason);

    QString path_;
    QString temporary_;
    QByteArray block_;
    std::unique_ptr<QFile> file_;
    QString error_;
};

// Removes a file; a file that does not exist is no error.
Status removeIfExists(const QString &path);

// A seam for tests: every rename, removal and sync above first asks the hook,
// which may fail the call with a system error number as if the system had
// (0: go on). The program never sets one.
enum class Operation { Rename, Remove, SyncFile, SyncDirectory };
using FaultHook = std::function<int(Operation, const QString &path)>;
void setFaultHook(FaultHook hook);

} // namespace FileSystem
