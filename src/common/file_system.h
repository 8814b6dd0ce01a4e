#pragma once

#include "common/status.h"

#include <QByteArray>
#include <QString>

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

} // namespace FileSystem
