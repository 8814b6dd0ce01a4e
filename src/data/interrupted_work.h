#pragma once

#include "common/status.h"

#include <QString>
#include <QStringList>

// What a crash may leave half done in a program directory, finished before
// any of its record files is used:
//  1. a replacement of the stock pair (restore, undo) is rolled forward;
//  2. the per-item backups of a booking that committed are put in place;
//  3. file replacements in the backup folders are rolled forward and the
//     temporaries that no replacement or booking claims are removed;
//  4. journals, super-journals and temporaries of the program's own that a
//     kill left are removed (StrayFiles).
namespace InterruptedWork {

// `backupFolders` are full paths; those that do not exist are passed over.
Status finish(const QString &programDir, const QStringList &backupFolders);

} // namespace InterruptedWork
