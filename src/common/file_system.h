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

// Removes a file; a file that does not exist is no error.
Status removeIfExists(const QString &path);

} // namespace FileSystem
