#pragma once

#include "common/status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class RecordFile;

// Item backups that were put in place without a flush. A flush per booking
// would cost more than the booking's own commit, so the stock file keeps,
// in the booking's transaction, the content of each such backup (both files,
// compressed) and a list of them per backup folder: whatever a power loss
// makes of the files, their content is as durable as the booking. The list
// is emptied once the files are known to be on the disk: at start-up, before
// a command copies or replaces the whole stock file, and when it grows long.
//
// The functions on notes act on the stock file; `folder` is a full path,
// `target` the backup's file name in it.
namespace PendingBackups {

struct Content
{
    QByteArray recordFile;
    QByteArray companion; // empty for a layout without memo fields
    bool operator==(const Content &) const = default;
};

// Reads the two files of a pair as they are now.
Status read(const QString &recordFile, const QString &companion, Content *content);

// The listed targets of the folder; a line that is no backup name of the
// folder is passed over.
QStringList targets(RecordFile &stock, const QString &folder, Status *status);
Status setTargets(RecordFile &stock, const QString &folder, const QStringList &targets);

// The content note of one backup; load() fails when it is missing or damaged.
Status save(RecordFile &stock, const QString &folder, const QString &target, const Content &content,
    QString *stored = nullptr);
Status load(RecordFile &stock, const QString &folder, const QString &target, Content *content);
Status stored(RecordFile &stock, const QString &folder, const QString &target, QString *text);
Status forget(RecordFile &stock, const QString &folder, const QString &target);

// Makes the backup in the folder hold the content: a pair that differs is
// written anew under temporary names and renamed into place. With `durable`
// the files are flushed too (the folder is the caller's to flush).
Status putInPlace(
    const QString &folder, const QString &target, const Content &content, bool durable);

// Flushes the listed backups of the folders (written anew where they differ
// from their content), then removes them from the list, in one transaction
// of the stock file. `only`, when not empty, limits it to those targets.
Status settle(RecordFile &stock, const QString &folder, const QStringList &only = QStringList());

} // namespace PendingBackups
