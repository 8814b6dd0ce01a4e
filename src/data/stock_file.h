#pragma once

#include "common/status.h"

#include <QDateTime>
#include <QString>

class RecordStore;

// Whole-file commands on the stock file of a program directory: backup,
// restore from a backup, and clear. Each opens data.zrb under "data" itself.
//
// Restore and clear first take the same backup as backup() does, so that no
// command can lose the stock file for good; when that backup fails, they do
// nothing.
namespace StockFile {

// The folder of whole-file backups, inside the program directory.
QString backupFolder(const QString &programDir);
QString stockPath(const QString &programDir);

// Copies every record of the stock file into the backup folder, named by the
// date-time text of `now` ("2011年3月7日9时5分.zrb" + ".edt"); a backup of the
// same second is replaced. Returns the backup's path in `backupPath`.
Status backup(RecordStore &store, const QString &programDir, const QDateTime &now,
    QString *backupPath = nullptr);

// Whether `chosen` can replace the stock file: a record file of ours with the
// stock layout and its own companion. The message says why not.
Status checkRestorable(RecordStore &store, const QString &chosen);

// Replaces the stock file by the chosen backup (both files at once, or
// neither). The stock file is closed afterwards.
Status restore(
    RecordStore &store, const QString &programDir, const QString &chosen, const QDateTime &now);

// Removes every record of the stock file, keeping its layout. The stock file
// is closed afterwards.
Status clear(RecordStore &store, const QString &programDir, const QDateTime &now);

} // namespace StockFile
