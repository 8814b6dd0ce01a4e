#pragma once

#include "common/status.h"

#include <QDateTime>
#include <QString>

class Prompts;
class RecordStore;
struct AppState;

// Undo of the latest receipt or issue of the selected item: the item's
// record is put back as its backup holds it, every other record keeping its
// place.
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
// place, `rewrittenRecord` (if given) receives its number, else 0.
Outcome run(Kind kind, RecordStore &store, const AppState &state, Prompts &prompts,
    const QDateTime &now, int *rewrittenRecord = nullptr);

// What restore() came to besides its status.
struct Result
{
    bool keyMismatch = false; // the backup holds another item (or none)
    bool changed = false; // the stock file holds the backup's records, even on failure
    int rewrittenRecord = 0; // the one record written back in place, on success
};

// Replaces the records of the item (name, spec) in the stock file, the first
// of which is record `recordNumber`, by the records of the backup, which must
// hold the item first.
//
// The usual case, one record of the item and one in the backup, is one
// transaction on the stock file: the record's fields and memos take the
// backup's values, in its place. Several records of the key (twins) take the
// first one's place together, so the stock file is rebuilt under temporary
// names and put in place whole by the pair replacement, after a quick safety
// backup of the stock file (named by `now`, in 备份数据库). Either way a failure
// before the point of no return leaves the stock file as it was; after it
// `changed` is set and the message says what is left for the next start-up.
// Afterwards the stock file is open under "data" on record `recordNumber`.
Status restore(RecordStore &store, const QString &programDir, int recordNumber,
    const QString &backup, const QString &name, const QString &spec, const QDateTime &now,
    Result *result = nullptr);

} // namespace Undo
