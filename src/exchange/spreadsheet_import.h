#pragma once

#include "common/status.h"
#include "workbook/workbook_reader.h"

#include <QRect>
#include <QString>
#include <QStringList>

class DataSource;
class ExcelAutomation;

// Loading a stock list from a spreadsheet into the stock grid's table, ready
// for "加入数据库". Spreadsheet columns B..H of rows 3..502 become table columns
// 1..7 of rows 2..501 (B 品名, C 规格型号, D 单位, E 库存数量, F 单价, G 库存金额,
// H 报警数量); row 1 holds the centred, bold headings. Reading stops after the
// sixth row without a name, counted over the whole read, not in a row; rows
// without a name are kept with the other columns as read. Values are taken as
// the text the workbook shows; nothing is converted here.
//
// The stock file is not touched. Binding the grid, placing the window
// (windowFrame()) and the message on failure are the main window's part.
namespace SpreadsheetImport {

inline constexpr int firstSheetRow = 3;
inline constexpr int maxRows = 500;
inline constexpr int maxBlankNames = 5; // the next one ends the read

// The headings of the seven table columns.
QStringList headings();

// The file dialog's filter: the files the readers take (an .xls may also be
// an HTML table or text; the readers go by the contents).
inline QString fileFilter()
{
    return QStringLiteral("*xls (*.xls *.xlsx *.csv);;*.* (*)");
}

// Where the main window goes after an import, frame included, so that the
// list read can be checked: over the screen area but one pixel at the left
// and top, two at the right and ten at the bottom.
inline QRect windowFrame(const QRect &screenArea)
{
    return screenArea.adjusted(1, 1, -1, -9);
}

// The last spreadsheet row the import may read.
inline constexpr int lastSheetRow = firstSheetRow + maxRows - 1;

// What the user must be told about the cells read.
struct Findings
{
    // Formulas saved without a result: they read empty, and an empty 库存数量
    // is not a zero one.
    int formulasWithoutResult = 0;
    // Where a text was longer than a cell holds and only its first
    // Workbook::maxTextLength characters were taken ("B7"), in reading order.
    QStringList cutCells;
};

// The remark on the findings for the status line, starting with "；"; empty
// when there is nothing to tell.
QString findingsNote(const Findings &findings);

// Replaces the table by the rows read through `excel` (whose active workbook
// may be none: every cell then reads empty and the read ends at the sixth
// row) and sets the table's column widths and header row. No text longer than
// a cell holds reaches the table.
Findings importInto(DataSource &table, ExcelAutomation &excel);

// The whole import of one file: starts the workbook engine, opens the file in
// a reading child process (reading no row after lastSheetRow), imports,
// closes the workbook and ends the engine. An empty path (the file dialog was
// cancelled) imports from no workbook. A file that cannot be read leaves the
// table as it was and gives the reason. `findings`, when given, receives
// importInto()'s.
Status importFile(DataSource &table, const QString &path,
    const WorkbookReader &reader = WorkbookReader(), Findings *findings = nullptr);

} // namespace SpreadsheetImport
