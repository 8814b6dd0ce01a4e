#pragma once

#include "common/status.h"

#include <QString>

// The one way a record file and its companion are replaced (restore, undo, the
// per-item backups, every copy onto an existing name), so that a crash at any
// moment leaves either the old pair or the new pair, never a mixture:
//
//  1. the caller recovers and closes the files involved (opening a file after a
//     crash lets SQLite roll back its hot journal);
//  2. the new pair is written completely under temporary names in the target
//     folder (temporaryPath);
//  3. replace() writes an intent marker naming the renames, deletes journals the
//     discarded files may have left, renames each new file over the old one
//     atomically, syncs the folder and removes the marker;
//  4. at start-up recover() rolls forward any marker a crash left behind and
//     deletes temporaries that never got one.
namespace PairReplacement {

// A fresh temporary file name in `dir` with the given suffix (".zrb", ".edt"),
// sharing `stem` so the two files of one pair are recognisable together.
// Pass an empty stem to get a new one.
QString temporaryPath(const QString &dir, const QString &stem, const QString &suffix);
QString newStem();

// Puts newRecordFile in place of targetRecordFile, and newCompanion (if not
// empty) in place of the target's companion. The new files must be complete,
// closed and in the target's folder. When newCompanion is empty, a companion
// the target had is left alone.
//
// Once the marker is on disk (or the one rename of a lone file is done) the
// replacement is committed: the new pair is what the folder holds from then
// on, as the user sees it. A step that fails after that point is tried once
// more at once; when it fails again, replace() gives the failure with
// `committed` set, and the caller must keep the new files: they are the
// marker's, and recover() at the next start-up puts them in place. Before that
// point a failure leaves the old pair, and the caller removes the new one.
Status replace(const QString &targetRecordFile, const QString &newRecordFile,
    const QString &newCompanion, bool *committed = nullptr);

// Puts a lone new record file in place of a scratch file, one derived from
// others and rebuilt at will (a statistics result): one rename, nothing
// flushed. A power loss may leave the target short or empty, which the next
// build replaces; it is never half one file and half another.
Status replaceScratch(const QString &targetRecordFile, const QString &newRecordFile);

// One file put in place by a batch: names inside one folder.
struct Move
{
    QString from; // one of our temporaries
    QString to;
};

// Puts a batch of files in place whose intent is recorded elsewhere (the
// per-item backups of a booking keep theirs in the stock file): deletes the
// journals of each discarded file, renames every source still there over its
// target and syncs the folder once (unless `syncFolder` is false: the caller
// keeps what the renames put in place elsewhere until it flushes them).
// Sources already gone count as done, so a batch cut off half-way is finished
// by running it again.
Status applyMoves(const QString &dir, const QList<Move> &moves, bool syncFolder = true);

// Removes a new pair that will not be put in place (either file may be empty
// or missing), with the journals SQLite may have left beside it.
void discard(const QString &newRecordFile, const QString &newCompanion);

// Rolls forward replacements interrupted in `dir` and removes stray
// temporaries. Run at start-up before any file in `dir` is opened.
Status recover(const QString &dir);

// Whether a file name is one of our temporaries (never shown or used as data).
bool isTemporaryName(const QString &fileName);

} // namespace PairReplacement
