#pragma once

#include "common/status.h"

#include <QList>
#include <QString>

class Clock;
class DataSource;
class RecordStore;

// Adding the rows of the stock list (typically rows read from a spreadsheet)
// to the stock file as new items, each with its quantity booked as its first
// receipt. Never merges: a known key becomes a second record.
namespace BulkAddition {

struct Row
{
    QString name; // column 1
    QString spec; // column 2
    QString unit; // column 3
    double unitPrice = 0; // column 5
    double quantity = 0; // column 4
    double value = 0; // column 6
    double alarm = 0; // column 7
};

// The rows from the cursor row to the last row whose column 1 is not empty.
// Row 1 is the heading row and never taken: a cursor on it (or above) starts
// at row 2.
QList<Row> collect(const DataSource &table, int cursorRow);

// The opening line of 进库记录, without a line end.
QString openingEntry(const Row &row, const QString &dateTimeText);

// Appends the rows to the stock file of the program directory in one
// transaction (all of them, or on failure none) and closes it. Added, but the
// disk reported an error after saving: success, and the error in `diskProblem`.
Status add(RecordStore &store, const QString &programDir, const QList<Row> &rows,
    const Clock &clock, QString *diskProblem = nullptr);

} // namespace BulkAddition
