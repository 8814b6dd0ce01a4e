#pragma once

#include "common/status.h"

#include <QDate>
#include <QList>
#include <QString>

class Clock;
class DataSource;
class RecordFile;

// Adding the rows of the stock list (typically rows read from a spreadsheet)
// to the stock file as new items: as opening stock, or as a receipt of the
// day. Never merges: a known key becomes a second record.
namespace BulkAddition {

// What the rows are.
enum class Entry {
    // Stock held before the books start: no receipt total, no receipt date,
    // so no receipt statistic lists it; the next receipt starts the totals.
    Opening,
    // Goods received today: the day, month and year receipt totals and the
    // receipt date are set from the row, as a receipt of a new item sets them.
    Receipt,
};

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

// Every row below the heading rows (at least row 1) whose column 1 is not
// empty, wherever the cursor stands. Numbers are read whole (wholeNumber():
// digit grouping, full-width digits and blanks allowed, a blank cell is 0).
Collected collect(const DataSource &table);

// What the user is told about bad numbers: every row and text, and that
// nothing was added.
QString badNumbersMessage(const QList<BadNumber> &bad);

// The indexes of the rows whose 品名 and 规格型号 are those of a stock record
// already.
Status findTwins(RecordFile &stock, const QList<Row> &rows, QList<int> *twins);

// The one question about such rows: Yes adds them as new records, No leaves
// them out (the other rows are added either way).
QString twinsQuestion(const Collected &collected, const QList<int> &twins);

// The one question whether the rows are a receipt of the day (`today`):
// Yes, receipt; No (the default button), opening stock.
QString entryQuestion(int rowCount, const QDate &today);

// The first line of 进库记录 of opening stock:
// "期初 数量 q 单价 p 金额 v <date-time>" CR LF.
QString openingEntry(const Row &row, const QString &dateTimeText);
// The first line of 进库记录 of a receipt: "数量 q 单价 p 金额 v <date-time>"
// CR LF. Quantity and price as numberText(), the value as numberText().
QString receiptEntry(const Row &row, const QString &dateTimeText);

// Appends the rows to the stock file in one transaction (all of them, or on
// failure none). Added, but the disk reported an error after saving:
// success, and the error in `diskProblem`.
Status add(RecordFile &stock, const QList<Row> &rows, const Clock &clock,
    Entry entry = Entry::Opening, QString *diskProblem = nullptr);

} // namespace BulkAddition
