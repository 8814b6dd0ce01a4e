#pragma once

#include "common/status.h"
#include "data/movement_note.h"

#include <QDateTime>
#include <QString>
#include <QVariantList>

#include <optional>

class Prompts;
class RecordFile;
class RecordStore;
struct AppState;

// Undo of the latest receipt or issue of the selected item: it takes back
// that movement and nothing else. The item's backup (taken before the
// movement) names the record the movement booked and what it booked there
// (MovementNote); only that record is written, in place, in one
// transaction. Records of the key the movement did not book (twins, records
// added since) stay as they are, and so do later movements of the other
// kind: an issue after the receipt being undone, a receipt after the issue.
namespace Undo {

enum class Kind { Receipt, Issue };

enum class Outcome {
    NothingSelected, // no item selected: no refresh either
    NoBackup,
    Declined,
    KeyMismatch, // the backup holds another item (or none)
    Refused, // nothing to take back, or not soundly: the message says why, nothing changed
    Restored,
    Failed, // the stock file stayed as it was; the message says why
};

// The backup folder of the kind of movement.
QString backupFolder(Kind kind, const QString &programDir);

// Runs the whole command with its messages and question. When the undo wrote
// the record back, `rewrittenRecord` (if given) receives its number, else 0.
Outcome run(Kind kind, RecordStore &store, const AppState &state, Prompts &prompts,
    int *rewrittenRecord = nullptr);

// What an undo would do, found before anything is written.
//
// The record is the one the movement booked: named by the backup's movement
// note, or in a backup of an earlier version (no note) the one record of the
// backup whose history of the movement's kind has grown since, or failing
// identities the only record of the key. Its history of that kind must be
// the backup's plus the movement's one line; the same as the backup's means
// there is nothing left to take back (undone already, or the stock file
// restored to before the movement); anything else refuses.
//
// Not moved since (its history of the other kind as the backup holds it):
// the record becomes the backup's copy, as the movement found it. Moved (by
// later movements of the other kind, or undos of them): the
// movement's own fields (totals, date, history; for a receipt also 报警数量)
// go back to the backup's, which no later movement of that kind has changed
// (it would have replaced the backup); quantity and value lose exactly what
// the movement did to them (a receipt added round2(q) and round2(a) to the
// backup's; an issue took q and a, the value stopping at 0), a value a
// receipt undo would take below 0 stops at 0 as the later issues did, and
// the price is round2(value ÷ quantity) (at quantity 0 the backup's price for
// a receipt, the current one for an issue). Moved with a backup that notes
// no movement: refused, naming the later movements.
//
// Undoing an issue and then the receipt before it (or the other way round)
// comes back to the state before both: each takes back its own effect.
struct Plan
{
    enum class Verdict {
        Ready, // `after` is what the record becomes
        KeyMismatch, // the backup holds another item, or none
        Refused, // `reason` says why nothing is taken back
    };
    Verdict verdict = Verdict::Refused;
    QString reason;
    qint64 recordId = 0; // the record the movement booked
    int recordNumber = 0;
    std::optional<MovementNote> movement; // none in a backup of an earlier version
    QString movementLine; // the line the movement appended to its history
    // History lines of the other kind since the movement: added by later
    // movements, which stay, and taken away by undos of them, which stay undone.
    int laterMovements = 0;
    int undoneMovements = 0;
    QVariantList before; // the record now, every field
    QVariantList after;
};

// Plans the undo of the latest movement of `kind` of the item (name, spec)
// from its backup file. Reads only; fails only when a file cannot be read.
Status plan(Kind kind, RecordFile &stock, const QString &backup, const QString &name,
    const QString &spec, Plan *plan);

// The question before a planned undo: the fixed text naming the backup's time
// and the item, then lines naming its 规格型号, the movement (moment,
// quantity, amount), the stock before and after, and the later movements
// that stay.
QString question(Kind kind, const Plan &plan, const QString &name, const QString &spec,
    const QDateTime &backupTime);

// What restore() came to besides its status.
struct Result
{
    bool keyMismatch = false; // the backup holds another item (or none)
    QString refusal; // why nothing was taken back (Plan::reason)
    bool changed = false; // the record was written back
    int rewrittenRecord = 0; // its record number, when changed
    QString diskProblem; // undone, but the disk reported an error after the commit
};

// Plans and carries out the undo in one transaction of the stock file: all
// or nothing. With `agreed` (the plan the user was asked about), a plan that
// comes out otherwise (the file changed since) writes nothing and fails.
// Afterwards the stock file is on the record written back.
Status restore(Kind kind, RecordFile &stock, const QString &backup, const QString &name,
    const QString &spec, Result *result = nullptr, const Plan *agreed = nullptr);

} // namespace Undo
