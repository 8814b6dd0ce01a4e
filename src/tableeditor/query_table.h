#pragma once

#include "common/status.h"
#include "table/cell_format.h"

#include <QString>

class DataSource;
class RecordStore;
class TextRows;

// The table the editor shows for a statistics result (qd.zrb, or its sorted
// copy qd4.zrb): the field names in row 1, one row per record in record order,
// and a total row with the sum of the amount column. Also the editing rules of
// the editor that work on any table. No widgets here.
namespace QueryTable {

// The statistics result and its sorted copy, in the program directory.
inline QString queryFileName()
{
    return QStringLiteral("qd.zrb");
}
inline QString sortedFileName()
{
    return QStringLiteral("qd4.zrb");
}
// The alias the editor opens them under.
inline QString alias()
{
    return QStringLiteral("qd");
}

// The caption of the total row: the two characters six blanks apart.
inline QString totalCaption()
{
    return QStringLiteral("合      计");
}

// The amount column of every statistics result; the total row sums it.
constexpr int amountColumn = 6;

// Column width (tenths of a millimetre): narrower from this many columns on,
// so wide results still fit on the screen.
constexpr int wideColumnWidth = 320;
constexpr int narrowColumnWidth = 270;
constexpr int narrowFromColumns = 10;
int columnWidthFor(int columns);
// A date-time field's column shows a whole booking time in the standard
// font ("2026年12月28日23时58分59秒").
constexpr int dateTimeColumnWidth = 470;

// Replaces the table with the record file: field names in row 1 (the one
// header row), the records' value texts below, then the total row. Columns
// are columnWidthFor() wide, date-time fields dateTimeColumnWidth. The field
// names and the rows are read on handles of their own, closed before this
// returns; the store's handle on the file, if any, is closed. A file that
// cannot be opened fails and leaves the table without columns.
// `rows`, when given, are the file's rows already read (as RecordFileProvider
// gives them) and are taken instead of reading the file again, unless their
// column and row counts differ from the file's.
Status load(
    DataSource &table, RecordStore &store, const QString &path, const TextRows *rows = nullptr);

// Appends the total row: totalCaption() in column 1 and, in the amount column,
// the sum of that column over all rows above (texts read whole, as
// DataSource::number reads them; texts that are no number count 0), rounded
// to two decimals.
void appendTotalRow(DataSource &table);

// Writes the text of (row, column) into every cell of the column below it.
// Cells above are not touched.
void fillDown(DataSource &table, int row, int column);

// The tooltip of the column sum: "本列合计 = " and the sum of the numbers of
// the whole column, header and total row included. A table of one row shows
// instead, when the selection is one column wide, the text of the cell in
// `rememberedRow` of that column.
QString columnSumText(const DataSource &table, int column, int selectedColumns, int rememberedRow);

// Sorts the query file by the named field into the sorted file (replacing it),
// ascending or descending, in the record store's order for the field's kind.
// Fails, writing nothing, when the query file cannot be opened or has no such
// field, or the store holds the sorted file open. The query file is read on a
// handle of its own; the store's handle on it, if any, is closed.
Status sortQueryFile(RecordStore &store, const QString &queryPath, const QString &sortedPath,
    const QString &fieldName, bool descending);

} // namespace QueryTable
