#pragma once

#include "common/status.h"

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
    Restored,
    Failed, // the stock file stayed as it was; the message says why
};

// The backup folder of the kind of movement.
QString backupFolder(Kind kind, const QString &programDir);

// Runs the whole command with its messages and question.
Outcome run(Kind kind, RecordStore &store, const AppState &state, Prompts &prompts);

// Replaces the records of the item (name, spec) in the stock file, the first
// of which is record `recordNumber`, by the records of the backup, which must
// hold the item first; they take the first one's place. The new stock file is
// built under temporary names and put in place in one step; on any failure
// the stock file stays as it was. Afterwards the stock file is open under
// "data" on record `recordNumber`.
Status restore(RecordStore &store, const QString &programDir, int recordNumber,
    const QString &backup, const QString &name, const QString &spec, bool *keyMismatch = nullptr);

} // namespace Undo
