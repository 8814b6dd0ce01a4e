#pragma once

#include "common/status.h"

#include <QList>
#include <QString>

class Clock;
class DataSource;
class RecordFile;

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

// A number cell (columns 4 to 7) whose text is not wholly a number.
struct BadNumber
{
    int gridRow = 0;
    QString name; // the row's 品名
    QString heading; // the column's heading
    QString text;
};

struct Collected
{
    QList<Row> rows;
    QList<int> gridRows; // the table row of each of `rows`
    // When not empty, nothing may be added: a number read in part ("12abc"
    // as 12) would be booked without a word.
    QList<BadNumber> badNumbers;
};

// The rows from the cursor row to the last row whose column 1 is not empty.
// Row 1 is the heading row and never taken: a cursor on it (or above) starts
// at row 2. Numbers are read whole (wholeNumber(): digit grouping, full-width
// digits and blanks allowed, a blank cell is 0).
Collected collect(const DataSource &table, int cursorRow);

// What the user is told about bad numbers: every row and text, and that
// nothing was added.
QString badNumbersMessage(const QList<BadNumber> &bad);

// The indexes of the rows whose 品名 and 规格型号 are those of a stock record
// already.
Status findTwins(RecordFile &stock, const QList<Row> &rows, QList<int> *twins);

// The one question about such rows: Yes adds them as new records, No leaves
// them out (the other rows are added either way).
QString twinsQuestion(const Collected &collected, const QList<int> &twins);

// The opening line of 进库记录, without a line end.
QString openingEntry(const Row &row, const QString &dateTimeText);

// Appends the rows to the stock file in one transaction (all of them, or on
// failure none). Added, but the disk reported an error after saving:
// success, and the error in `diskProblem`.
Status add(
    RecordFile &stock, const QList<Row> &rows, const Clock &clock, QString *diskProblem = nullptr);

} // namespace BulkAddition
