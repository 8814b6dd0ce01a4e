#pragma once

#include "common/status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

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

// Reads a whole file the program expects to be small (settings, markers,
// table files): only a regular file (a link is followed to one) of at most
// maxBytes. A FIFO, a device or a larger file is refused with a reason before
// anything is read, so no such file can block or exhaust the program. A
// missing file is a failure too; callers that treat it as empty ask first.
Status readRegularFile(const QString &path, qint64 maxBytes, QByteArray *contents);

// Removes a file; a file that does not exist is no error.
Status removeIfExists(const QString &path);

// Flushes several files of one folder to the disk, then the folder itself:
// the flush of a batch of new files that are put in place together. Where the
// platform can flush a whole file system in one call (syncfs on Linux), that
// one call does it.
Status syncFiles(const QStringList &paths, const QString &dir);

// A seam for tests: every rename, removal and sync above first asks the hook,
// which may fail the call with a system error number as if the system had
// (0: go on). The program never sets one.
enum class Operation { Rename, Remove, SyncFile, SyncDirectory };
using FaultHook = std::function<int(Operation, const QString &path)>;
void setFaultHook(FaultHook hook);

} // namespace FileSystem
