#pragma once

#include "common/status.h"

#include <QDateTime>
#include <QString>

class Prompts;
class RecordFile;
class RecordStore;
struct AppState;

// Undo of the latest receipt or issue of the selected item: the records the
// movement's backup was taken from are put back as it holds them, every
// other record (also one of the same key added since) keeping its place.
namespace Undo {

enum class Kind { Receipt, Issue };

enum class Outcome {
    NothingSelected, // no item selected: no refresh either
    NoBackup,
    Declined,
    KeyMismatch, // the backup holds another item (or none)
    Restored, // also when a last step failed after the change: the message says so
    Failed, // the stock file stayed as it was; the message says why
};

// The backup folder of the kind of movement.
QString backupFolder(Kind kind, const QString &programDir);

// Runs the whole command with its messages and question. `now` names the
// safety backup a rebuild takes first. When the undo wrote one record back in
// place, `rewrittenRecord` (if given) receives its number, else 0 (several
// records, or a rebuild: the whole list is to be read again).
Outcome run(Kind kind, RecordStore &store, const AppState &state, Prompts &prompts,
    const QDateTime &now, int *rewrittenRecord = nullptr);

// What restore() came to besides its status.
struct Result
{
    bool keyMismatch = false; // the backup holds another item (or none)
    bool changed = false; // the stock file holds the backup's records, even on failure
    int rewrittenRecord = 0; // the one record written back in place, on success, else 0
    QString diskProblem; // undone, but the disk reported an error after the commit
};

// Puts the item (name, spec) of the stock file, the first of whose records
// is record `recordNumber`, back as the backup holds it; the backup must
// hold the item first.
//
// The usual case is one transaction on the stock file: the backup names the
// records it was copied from (RecordFile::copiedFromIds()), and while each
// of them is still there with the item's key it takes its backup's fields and
// memos, in its place. A backup that names none (of an earlier version), or
// whose records are gone (the item deleted, the stock file restored or
// rebuilt), falls back on the key: one record of it and one in the backup
// are written in place the same way; otherwise every record of the key gives
// way to the backup's records, which take the first one's place together, so
// the stock file is rebuilt under temporary names and put in place whole by
// the pair replacement, after a quick safety backup of the stock file (named
// by `now`, in 备份数据库). Either way a failure before the point of no return
// leaves the stock file as it was; after it `changed` is set and the message
// says what is left for the next start-up. Afterwards the stock file is open
// again (reopen()) on the first record written back, or on record
// `recordNumber`.
Status restore(RecordFile &stock, const QString &programDir, int recordNumber,
    const QString &backup, const QString &name, const QString &spec, const QDateTime &now,
    Result *result = nullptr);

} // namespace Undo
