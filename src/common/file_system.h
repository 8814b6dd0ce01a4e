#pragma once

#include "common/status.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

class QSaveFile;

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

// Writes a whole file through QSaveFile (temporary file, then rename) and syncs
// the directory afterwards.
Status writeFileAtomically(const QString &path, const QByteArray &contents);

// A whole file written piece by piece, so that a large file never has to be
// held in memory: the pieces go to a temporary file beside the target, and
// commit() syncs it, renames it over the target and syncs the directory. A
// writer destroyed without commit(), or one whose writing failed, leaves the
// target as it was and removes the temporary file. Pieces are gathered into
// blocks, so small writes cost no system call each.
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

    QString path_;
    QByteArray block_;
    std::unique_ptr<QSaveFile> file_;
    QString error_;
};

// Removes a file; a file that does not exist is no error.
Status removeIfExists(const QString &path);

} // namespace FileSystem
