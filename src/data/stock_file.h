#pragma once

#include "common/status.h"

#include <QDateTime>
#include <QString>

class RecordFile;
class RecordStore;

// Whole-file commands on the stock file of a program directory: backup,
// restore from a backup, and clear. Each opens data.zrb under "data" itself.
//
// Restore and clear first take a safety backup, so that no command can lose
// the stock file for good; when that backup fails, they do nothing.
namespace StockFile {

// The folder of whole-file backups, inside the program directory.
QString backupFolder(const QString &programDir);
QString stockPath(const QString &programDir);

// What tells two looks at the stock file apart. `commits` counts its write
// transactions, from the change counter in its header (SQLite advances it at
// every commit in the rollback-journal mode the program keeps); -1 when
// unreadable. A file put in place whole (a restore, a clear) starts a count
// of its own, so its size and modification time come with it.
struct Signature
{
    qint64 commits = -1;
    qint64 size = -1;
    qint64 modifiedMs = -1; // since the epoch, UTC

    friend bool operator==(const Signature &, const Signature &) = default;
};
Signature signature(const QString &programDir);

// Copies every record of the stock file into the backup folder, named by the
// date-time text of `now` ("2011年3月7日9时5分.zrb" + ".edt"); a backup of the
// same second is replaced, unless it is a safety backup (below): then the
// next free name is taken. Returns the backup's path in `backupPath`.
Status backup(RecordStore &store, const QString &programDir, const QDateTime &now,
    QString *backupPath = nullptr);

// The backup taken before a command replaces or changes the whole stock file
// (restore, clear, bulk addition), without a message. Like backup(), but it
// never replaces a file: when the moment's name is taken (its .zrb or its
// .edt), it takes the first free one of "<name>(2)", "<name>(3)", ...; and it
// is marked inside as a safety backup, so no manual backup replaces it. A stock
// file that exists but no longer opens is copied byte for byte as
// "<name>(无法打开)", numbered the same way. No stock file, no backup (and an
// empty `path`).
//
// Before a clear, a restore or a bulk addition the safety backup may be the
// only copy of the stock as it was, so it is flushed to the disk like every
// copy (Durable). Before an undo, which puts one item back, it guards against
// a mistaken undo only: a page copy left unflushed (Quick) costs a fraction,
// and a power loss that tears it leaves the stock file itself whole.
enum class SafetyCopy { Durable, Quick };
Status safetyBackup(RecordStore &store, const QString &programDir, const QDateTime &now,
    QString *path = nullptr, SafetyCopy kind = SafetyCopy::Durable);
// The same of the stock file open in `stock`.
Status safetyBackup(RecordFile &stock, const QString &programDir, const QDateTime &now,
    QString *path = nullptr, SafetyCopy kind = SafetyCopy::Durable);

// Whether `chosen` can replace the stock file: a record file of ours with the
// stock layout and its own companion. The message says why not.
Status checkRestorable(const QString &chosen);

// Replaces the stock file by the chosen backup (both files at once, or
// neither). The stock file is closed afterwards. A failure after the point of
// no return sets `replaced`: the stock file is the chosen one, and the next
// start-up finishes what the message names. `safetyPath` gets the safety
// backup of the stock as it was (empty when there was no stock file, or the
// chosen file is the stock file itself).
Status restore(RecordStore &store, const QString &programDir, const QString &chosen,
    const QDateTime &now, bool *replaced = nullptr, QString *safetyPath = nullptr);

// The time a whole-file backup was taken, from the date-time text its name
// begins with ("2011年3月7日9时5分(2).zrb"); the file's modification time when
// its name begins with none. Backups are listed newest first by it.
QDateTime backupTime(const QString &path);

// Removes every record of the stock file, keeping its layout. The stock file
// is closed afterwards. Cleared, but the disk reported an error after the
// commit point: success, and the error in `diskProblem`.
Status clear(RecordStore &store, const QString &programDir, const QDateTime &now,
    QString *diskProblem = nullptr);

// What the user hears when a change (`done`, e.g. "入库") is in the stock file
// but the disk reported an error after saving it: that it is done and must
// not be repeated, and what to do.
QString bookedDespiteDiskMessage(const QString &done, const QString &problem);

} // namespace StockFile
