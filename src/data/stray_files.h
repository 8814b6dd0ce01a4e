#pragma once

#include "common/status.h"

#include <QString>

// What a kill or a power loss leaves of the program's own work files in one
// of its folders, and that nothing would ever remove:
//  - rollback journals ("<file>-journal") of the record files (.zrb, .edt):
//    the file is first opened, so that SQLite rolls back a journal that is
//    still hot; a journal that is then no longer hot (emptied, zeroed, or of a
//    record file that is gone) is removed. A hot one that could not be rolled
//    back is left to the next opening.
//  - super-journals ("<file>-mjXXXXXX9XX") of the record files, once no journal
//    of a record file is left in the folder to name them;
//  - the temporaries of the small-file writer ("<name>.<12 hex digits>.tmp").
// Only those names are looked at; nothing else in the folder is touched. Run
// at start-up, holding the instance lock, after interrupted replacements are
// finished and before any record file is in use.
namespace StrayFiles {

// Removes the strays of `folder`; a folder that does not exist has none. Fails
// only when a stray that should go cannot be removed.
Status removeFrom(const QString &folder);

} // namespace StrayFiles
