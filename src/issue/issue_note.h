#pragma once

#include "common/app_state.h"
#include "table/page_setup.h"

#include <QDate>
#include <QList>

class DataSource;
class IniFile;
struct IssueParameters;

// The issue note as it is printed: 15 rows by 6 columns. Row 1 the title,
// rows 2-3 the header fields and the date, row 4 the column heads, rows 5-13
// the nine material lines, row 14 the total, row 15 the signatures.
namespace IssueNoteLayout {

constexpr int rows = 15;
constexpr int columns = 6;
constexpr int titleRow = 1;
constexpr int headingRow = 4; // the column heads
constexpr int lineCount = AppState::maxIssueLines;
constexpr int firstLineRow = 5;
constexpr int lastLineRow = firstLineRow + lineCount - 1;
constexpr int totalRow = 14;
constexpr int signatureRow = 15;
static_assert(lastLineRow + 1 == totalRow && totalRow + 1 == signatureRow && signatureRow == rows);

// The columns of a material line.
constexpr int nameColumn = 1;
constexpr int specColumn = 2;
constexpr int quantityColumn = 3;
constexpr int unitColumn = 4;
constexpr int priceColumn = 5;
constexpr int amountColumn = 6;

// The header fields, each at the left of its merged cell.
struct Cell
{
    int row;
    int column;
};
constexpr Cell warehouseCell {2, 1}; // 仓库名称
constexpr Cell departmentCell {2, 3}; // 领料部门
constexpr Cell purposeCell {3, 1}; // 使用方向
constexpr Cell projectCell {3, 3}; // 项目名称
constexpr Cell dateCell {3, 6};
// The last signature, 领料: who takes the material away.
constexpr Cell handlerCell {signatureRow, columns};

// The cells of the ten parameters, in the order of IssueParameters::fields().
constexpr Cell parameterCells[]
    = {warehouseCell, purposeCell, departmentCell, projectCell, {signatureRow, 1},
        {signatureRow, 2}, {signatureRow, 3}, {signatureRow, 4}, {signatureRow, 5}, handlerCell};

QString title();
// The title of a note not booked yet, so that a note printed before 出库 is
// never taken for a booked one.
QString unbookedTitle();

// Lays out the note with the picked lines, each proposing the item's whole
// stock, and their amounts and total (round2). Cells holding exactly "0" in
// rows 4-14 are left empty. The title is unbookedTitle() until the note is
// booked. The parameters stand beside their captions
// (IssueParameters::noteText), each in a font small enough for its cell.
void build(DataSource &note, const IssueParameters &parameters, const QList<IssueLine> &lines,
    const QDate &today);

// The name a parameter's cell holds, without its caption: what an issue
// history line records. The cell's text trimmed for a cell of no parameter.
QString parameterName(const DataSource &note, Cell cell);

// After the user changed cell (row, column): a parameter's cell gets its
// caption back before the name typed (whether or not it was typed with it).
// A changed quantity or price sets
// its line's amount to round2(quantity × price), 0 included, so the note
// never shows (nor books) an amount its quantity no longer has; an amount the
// user typed stays until then. Texts are read whole (wholeNumber): when the
// quantity or price is no number the amount is cleared. The total is the sum
// of the amounts shown, so the printed note adds up.
void recompute(DataSource &note, int row, int column);

// The page setup of peizi.ini: twelve keys, each in the section of its own
// name, over fixed start values; a key that is missing gives its default, a
// text that is not a number 0, and a number outside the key's sensible range
// (a margin of 0 to 200 mm, 1 to 999 copies, ...) the key's default.
PageSetup loadPageSetup(const IniFile &peizi);

} // namespace IssueNoteLayout
