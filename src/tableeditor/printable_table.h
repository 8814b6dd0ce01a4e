#pragma once

#include "common/status.h"

#include <QDate>
#include <QString>

class DataSource;
class RecordStore;

// The printable table of the table editor: a statistics result (qd.zrb) laid
// out for paper, with a title, the office and the date, the field names, one
// bordered row per record and a footer for the signatures. No widgets here;
// PrintSetupWindow shows and adjusts the result.
//
// Layout of the table (n = the number of fields, m = the number of records
// before the blank end record, see build()):
//   row 1        the title, merged over 1..n, 宋体 85, bold, centred, 160 high
//   row 2        "制表：财务室" over 1..n/2 and "日期：" + today over the rest,
//                bold, 80 high
//   row 3        the field names, size 40, bold, centred
//   rows 4..m+3  the rows the table editor shows, in its order
//   row m+4      the footer, merged over 1..n, middle left
// Rows 3..m+3 carry every border line; rows 1-3 are the header rows that
// every printed page repeats. Lengths are in tenths of a millimetre.
//
// The page setup uses paper code 2 ("orientation follows the table's width",
// printed on A4): portrait for tables narrower than widthForLandscape,
// landscape otherwise, centred between equal side margins of at most
// maximumSideMargin.
namespace PrintableTable {

inline QString title()
{
    return QStringLiteral("澄州禾岭供电有限责任公司材料出库单");
}
inline QString madeByText()
{
    return QStringLiteral("制表：财务室");
}
inline QString datePrefix()
{
    return QStringLiteral("日期：");
}
// The signature line under the table, without the four spaces that indent it
// in the table: 50 blanks after the first colon, 6 after the second.
QString footerText();

constexpr int titleRowHeight = 160;
constexpr int subtitleRowHeight = 80;
constexpr int titleFontSize = 85;
constexpr int fieldNameFontSize = 40;
constexpr int headerRows = 3;
constexpr int firstDataRow = 4;

constexpr int widthFollowingPaper = 2;
constexpr int widthForLandscape = 1960;
constexpr int maximumSideMargin = 150;
constexpr int topMargin = 170;
constexpr int bottomMargin = 180;

// Rebuilds `out` for the record file `queryFile` as the table editor
// `editor` shows it (field names in row 1, the records below, the total row
// last). The file, opened on a handle of its own (the store's handle on it,
// if any, is closed), gives the field names; the data rows are the editor's
// rows between its field names and its total row, every cell as the editor
// shows it, in the editor's order (a sorted editor prints sorted). Formats of the editor (a find's
// colour) are not taken over.
//
// Every build first appends one blank record to the file, which stays there.
// A file built from more than once therefore holds more records than the
// editor shows: each of those blank records of the earlier builds prints as
// an empty data row.
//
// The page setup is out's own with the paper, orientation and margins set as
// described above; its page-number position becomes PageSetup::BottomCentre
// when the table will not fit on one page and stays what it was otherwise.
//
// A file that cannot be opened fails and leaves `out` with three empty rows
// and no columns.
Status build(DataSource &out, RecordStore &store, const QString &queryFile,
    const DataSource &editor, const QDate &today);

// Widens the column to the text of (row, column) when it is too narrow for
// it: the width a text of that many GBK bytes needs at the cell's font size.
// Columns never shrink.
void fitColumn(DataSource &table, int row, int column);

// The sum of all column widths.
int totalWidth(const DataSource &table);

// Sets the page setup for a table with `dataRows` data rows (see build()).
void setUpPage(DataSource &table, int dataRows);

// Follows a change of the column widths: switches the orientation (paper
// code 2 only), centres the table again and shortens the footer when it no
// longer fits on one line. A footer that fits is left as it is.
void relayout(DataSource &table);

// The footer shortened to fit `width` at font size `fontSize`: up to as many
// single blanks as it is too long are removed, searching from its 20th-last
// byte on. Unchanged when it fits.
QString refitFooter(const QString &footer, int width, int fontSize);

// The print window's alignment button: the alignment code of the data rows
// after its step-th click (6 right, 5 centred, 4 left, then again).
int alignmentForStep(int step);

// The print window's date-format button: a text of the date column after the
// step-th click. Four clicks go round 2011年12月4日 → 2011-12-4 → 2011.12.4 →
// 2011/12/4 → 2011年12月4日. A text that starts with a date in one of these
// forms gets its date in the step's form whatever form it had, and keeps the
// time after it: 2011年12月4日9时5分 → 2011-12-4 9时5分 → … → 2011年12月4日9时5分.
// Other texts are rewritten character by character as a date of the cycle
// would be ("年" and "月" to "-", then "-" to ".", then "." to "/", then back).
QString dateFormatForStep(const QString &text, int step);

} // namespace PrintableTable
