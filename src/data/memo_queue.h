#pragma once

#include "common/status.h"

#include <QString>

class SqlDatabase;
struct OpenRecordFile;

// Memo lines waiting in the record file for its companion.
//
// A memo field's lines live in the companion file (.edt). A commit that
// writes both files of a pair is SQLite's two-file commit, which flushes
// nearly three times as often as a commit of one file. So a file that has
// the queue takes every appended line into its own table `memo_queue`, in the
// same transaction as the record's other changes: a booking writes one file,
// and its memo lines are exactly as durable as the rest of it.
//
// The protocol:
//  1. Appending a line puts it in the queue with the next sequence number of
//     its record and field, counted over the companion and the queue.
//  2. Every reader of memos reads the companion and the queue as one
//     (rows()): a queued line is a stored line to everyone but the files.
//  3. drain() moves the queued lines into the companion and empties the
//     queue, in one transaction over both files: a crash leaves each line in
//     one of the two places, never in both, never in neither. It runs on the
//     stock file at start-up and at the end of work, and when the queue grows
//     long. Copies need no drain: they read both places and write the lines
//     into the copy's companion.
//  4. Clearing a field or removing records removes their queued lines too.
//
// A file without the table (written by an earlier version, or one created
// for another purpose before it gets one) appends to the companion directly.
namespace MemoQueue {

// The statement that creates the queue in a record file's main schema.
QString createSql();

// Whether the record file attached as `schema` has the queue.
bool present(SqlDatabase &db, const QString &schema = QStringLiteral("main"));

// A table expression of every memo line (id, field, seq, text) of the record
// file attached as `records`, whose companion is attached as `companion`.
QString rows(bool queued, const QString &records = QStringLiteral("main"),
    const QString &companion = QStringLiteral("edt"));

// Prepares the memo statements of an open file with a companion: reads over
// the companion and the queue, appends to the queue when the file has one.
Status prepare(OpenRecordFile &f);

// Gives the open file the queue when it has none yet, and prepares its
// statements for it. For the stock file, whose bookings append memo lines.
Status ensure(OpenRecordFile &f);

// Whether any line waits in the queue.
Status waiting(OpenRecordFile &f, bool *any);

// Moves the queued lines into the companion. Inside the caller's transaction
// when one is open on the file, otherwise in a transaction of its own.
Status drain(OpenRecordFile &f);

// Drains when the queue holds more than `limit` lines, so that it stays short.
Status drainWhenLong(OpenRecordFile &f, int limit = 256);

} // namespace MemoQueue
