#pragma once

#include "data/record_store.h"
#include "table/cell_format.h"

#include <QString>

#include <vector>

class DataSource;
class Prompts;
class RecordStore;
struct AppState;
struct SelectedItem;

// The stock list of the main window: one row per stock item under a header
// row, low-stock items in purple, items picked for the issue note in yellow
// on a dark ground, numbers (columns 4 to 7) on the right of their cells.
// Everything here works on the table, not on the grid that shows it, so the
// grid is bound only after a build and bulk changes cost no drawing.
namespace StockList {

constexpr int columns = 7;
constexpr quint32 lowStockColor = rgbColor(128, 0, 128);
constexpr quint32 markedColor = rgbColor(255, 255, 0);
// Under the yellow of picked rows, so that it reads well (about 11 : 1), and
// picked rows stand apart from rows a search has found, which keep white.
constexpr quint32 markedBackground = rgbColor(0, 58, 87);
constexpr quint32 gridColor = rgbColor(0, 116, 174);
// Stock at most this much above the alarm quantity still counts as low.
constexpr double lowStockTolerance = 0.0000001;

QString bareTitle();
// The window title for a number of low-stock items.
QString title(int lowStockCount);

struct BuildResult
{
    bool stockOpened = false;
    int lowStockCount = 0;
    // Why the stock file did not open (when it did not).
    QString stockProblem;
    // Whether each record, in stock-file order, is low on stock.
    std::vector<bool> lowStockRows;
    // The stock file as it was read, and the texts the table was left with.
    RecordStore::ChangeMark stock;
    quint64 textRevision = 0;
    // False while a build in parts has records still to read: the title's
    // count and the rows after the last read are not there yet.
    bool complete = true;
};

// Rebuilds the table from the stock file of the program directory: the
// header row, then the display fields (品名, 规格型号, 单位, 数量, 单价, 金额,
// 报警数量) of every record in one scan of the stock file, low-stock rows
// coloured and counted, marked rows coloured. The stock file stays open and
// current under "data". A stock file that does not open or cannot be read
// leaves the header row only.
BuildResult build(DataSource &table, RecordStore &store, const AppState &state);

// A build in parts, for a long stock file: beginBuild() lists the header and
// the first `records` records, enough for the first screen, and each
// buildMore() the next `records`; the low-stock count is whole once
// `complete` is set. A step that finds the stock file changed by another
// program since the first one gives false, and a build is needed.
BuildResult beginBuild(DataSource &table, RecordStore &store, const AppState &state, int records);
bool buildMore(
    DataSource &table, RecordStore &store, const AppState &state, int records, BuildResult &result);

// Shows the stock file again without reading it whole, when the list is
// what the build that gave `result` showed, except for the stock records
// this program wrote in place since (a booking, an undo): their rows are
// read again, and the list gets the look of a build back (no picked rows
// marked, no search marks, low stock in purple, the widths). False,
// changing nothing, when a build is needed: another program committed to
// the stock file, a record came or went, the file was opened anew, or the
// list's texts changed (a spreadsheet was read into it).
bool update(DataSource &table, RecordStore &store, const AppState &state, BuildResult &result);

// The stock record a data row of the list shows (RecordStore::recordId):
// row r is record r - 1 of the stock file as built, trusted only when its
// 品名 and 规格型号 are the row's texts. 0 for the header row, for a row no
// record matches, and while the list shows an imported spreadsheet.
qint64 recordOfRow(const DataSource &table, RecordStore &store, const AppState &state, int row);

// The item of a row, as the commands take it: its 品名, 规格型号 and record.
// Row 1 gives the column titles and no record.
SelectedItem itemOfRow(const DataSource &table, RecordStore &store, const AppState &state, int row);

// What the main window shows after a selection.
struct SelectionOutcome
{
    QString toolTip; // shown when not empty
};

// Whether a block starting in this column asks for a sum (4, 5, 6: the
// numbers) rather than picking.
bool isSumColumn(int column);

// Handles one finished picking gesture: a block starting in a numeric
// column (4, 5, 6) asks for a sum; any other block picks its data rows as
// issue lines, each row once at most (rows already picked are passed over)
// and nine lines in all, and marks them. A block of more than nine rows is
// told with the nine-line message; a smaller one that finds the note full
// (a tenth pick) with fullNoteMessage(). Messages go through `prompts`.
SelectionOutcome select(const CellRange &selection, DataSource &table, RecordStore &store,
    AppState &state, Prompts &prompts);

// Said when a pick finds nine lines chosen already.
QString fullNoteMessage();

// Ctrl+click on a row outside the number columns: a picked row is un-picked
// (unpick()), any other picked as select() picks it.
SelectionOutcome toggle(int row, DataSource &table, RecordStore &store, AppState &state,
    Prompts &prompts, const std::vector<bool> &lowStockRows);

// Takes the data rows first..last that are picked off the chosen issue
// lines (the other lines keep their order) and gives them back their colour:
// low-stock purple where lowStockRows (by record, as BuildResult holds it)
// says so, else the plain look. They can be picked again. Returns how many
// were taken off.
int unpick(
    DataSource &table, AppState &state, int first, int last, const std::vector<bool> &lowStockRows);

// What the user is told, with what to do, when the stock file does not open.
QString unopenedMessage(const QString &problem);

} // namespace StockList
