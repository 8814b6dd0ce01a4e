#include "issue/issue_note.h"

#include "common/gbk.h"
#include "common/ini_file.h"
#include "common/value_text.h"
#include "issue/issue_parameters.h"
#include "table/data_source.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace IssueNoteLayout {
namespace {

const QStringList &columnHeads()
{
    static const QStringList heads = {
        QStringLiteral("品  名"),
        QStringLiteral("规  格"),
        QStringLiteral("数  量"),
        QStringLiteral("单  位"),
        QStringLiteral("单  价"),
        QStringLiteral("金  额"),
    };
    return heads;
}

constexpr int widths[columns] = {500, 500, 200, 200, 200, 350};

static_assert(std::size(parameterCells) == IssueParameters::count);

// The parameter a cell holds, or none.
const IssueParameters::Field *parameterOf(int row, int column)
{
    for (size_t i = 0; i < std::size(parameterCells); ++i)
        if (parameterCells[i].row == row && parameterCells[i].column == column)
            return &IssueParameters::fields()[i];
    return nullptr;
}

// A caption and a name are too long for the narrow signature columns at the
// standard size: such a text is set smaller, down to a size still read
// easily, rather than cut off at the cell's edge. A Chinese character is
// about as wide as the font is high; other characters half that.
void fitFont(DataSource &note, Cell cell)
{
    const int standard = CellFormat().fontSize;
    constexpr int smallest = 20;
    constexpr int padding = 15; // each side, a little more than printing leaves
    const CellRange span = note.spanAt(cell.row, cell.column);
    int width = 0;
    for (int c = span.column; c <= span.lastColumn(); ++c)
        width += note.columnWidth(c);
    const double characters = Gbk::byteLength(note.text(cell.row, cell.column)) / 2.0;
    const int room = width - 2 * padding;
    int size = standard;
    if (characters * standard > room)
        size = std::max(smallest, int(room / characters));
    note.setFontSize({cell.row, cell.column, 1, 1}, size);
}

void putParameter(
    DataSource &note, Cell cell, const IssueParameters::Field &field, const QString &value)
{
    note.setText(cell.row, cell.column, IssueParameters::noteText(field, value));
    fitFont(note, cell);
}

} // namespace

QString title()
{
    return QStringLiteral("禾岭供电有限责任公司材料出库单");
}

QString unbookedTitle()
{
    return title() + QStringLiteral("（未记账）");
}

QString parameterName(const DataSource &note, Cell cell)
{
    const QString text = note.text(cell.row, cell.column);
    const IssueParameters::Field *field = parameterOf(cell.row, cell.column);
    return field ? IssueParameters::nameIn(*field, text) : text.trimmed();
}

void build(
    DataSource &note, const IssueParameters &p, const QList<IssueLine> &lines, const QDate &today)
{
    note.reset();
    note.setDefaultFormat(CellFormat());
    note.setSize(rows, columns);

    note.setRowHeights(titleRow, 1, 100);
    note.setAlignment({1, 1, rows, columns}, CellFormat::Centre);
    note.merge({titleRow, 1, 1, columns});
    note.setText(titleRow, 1, unbookedTitle());
    note.setFontSize({titleRow, 1, 1, 1}, 70);

    // Each header field takes two (left) or three (middle) columns.
    for (const Cell cell : {warehouseCell, purposeCell})
        note.merge({cell.row, cell.column, 1, 2});
    for (const Cell cell : {departmentCell, projectCell})
        note.merge({cell.row, cell.column, 1, 3});
    note.setText(dateCell.row, dateCell.column, dateText(today));

    for (int c = 1; c <= columns; ++c) {
        note.setText(headingRow, c, columnHeads()[c - 1]);
        note.setColumnWidths(c, 1, widths[c - 1]);
    }

    double total = 0;
    for (int k = 0; k < lines.size() && k < lineCount; ++k) {
        const IssueLine &line = lines[k];
        const int r = firstLineRow + k;
        note.setText(r, nameColumn, line.name);
        note.setText(r, specColumn, line.spec);
        note.setText(r, quantityColumn, numberText(line.quantity));
        note.setText(r, unitColumn, line.unit);
        note.setText(r, priceColumn, numberText(line.unitPrice));
        const double amount = round2(line.quantity * line.unitPrice);
        note.setText(r, amountColumn, numberText(amount));
        total += amount;
    }

    note.setBorders({headingRow, 1, totalRow - headingRow + 1, columns}, BorderAll);
    for (int r = headingRow; r <= totalRow; ++r)
        for (int c = 1; c <= columns; ++c)
            if (note.text(r, c) == QLatin1String("0"))
                note.setText(r, c, QString());

    note.setText(totalRow, 1, QStringLiteral("合       计"));
    const QString totalText = numberText(total);
    note.setText(totalRow, amountColumn, totalText == QLatin1String("0") ? QString() : totalText);

    for (size_t i = 0; i < std::size(parameterCells); ++i) {
        const IssueParameters::Field &field = IssueParameters::fields()[i];
        putParameter(note, parameterCells[i], field, p.*field.value);
    }
}

void recompute(DataSource &note, int row, int column)
{
    if (const IssueParameters::Field *field = parameterOf(row, column)) {
        putParameter(note, {row, column}, *field, note.text(row, column));
        return;
    }
    const bool lineRow = row >= firstLineRow && row <= lastLineRow;
    if (lineRow && (column == quantityColumn || column == priceColumn)) {
        const std::optional<double> quantity = wholeNumber(note.text(row, quantityColumn));
        const std::optional<double> price = wholeNumber(note.text(row, priceColumn));
        // A quantity or price that is no number has no amount: an old one
        // left standing would be printed beside a quantity it does not fit.
        note.setText(row, amountColumn,
            quantity && price ? numberText(round2(*quantity * *price)) : QString());
    }
    // The total adds up what the lines show, which is what is booked; an
    // amount that is no number is never booked and so not counted.
    double total = 0;
    for (int r = firstLineRow; r <= lastLineRow; ++r)
        total += wholeNumber(note.text(r, amountColumn)).value_or(0);
    note.setText(totalRow, columns, numberText(total));
}

PageSetup loadPageSetup(const IniFile &peizi)
{
    PageSetup page;
    page.paperKind = 0;
    page.orientation = 0;
    page.leftMargin = page.topMargin = page.rightMargin = page.bottomMargin = 230;
    page.pageNumberPosition = PageSetup::NoPageNumber;
    page.copies = 1;
    page.reserved1 = 1;
    page.reserved2 = 0;
    page.text.clear();
    page.reserved3 = page.reserved4 = page.reserved5 = 0;
    page.printRange = 0;
    page.firstPage = 1;
    page.lastPage = 0;
    page.options = 0;
    page.scale = 0;
    // Each key with the values that make sense for it: anything else in the
    // file (a typing error, a damaged file) gives the key's default rather
    // than, say, a margin of minus two thousand kilometres.
    const struct
    {
        const char *key;
        int defaultValue;
        int low, high;
        int PageSetup::*field;
    } keys[] = {
        {"dysb", 50, 0, 2000, &PageSetup::topMargin},
        {"dyxb", 50, 0, 2000, &PageSetup::bottomMargin},
        {"dyzb", 50, 0, 2000, &PageSetup::leftMargin},
        {"dyyb", 50, 0, 2000, &PageSetup::rightMargin},
        {"dysf", 100, 0, 400, &PageSetup::scale},
        {"dyzx", 0, 0, 256, &PageSetup::paperKind},
        {"dyfx", 0, 0, 1, &PageSetup::orientation},
        {"dyfw", 0, 0, 1, &PageSetup::printRange},
        {"dyqs", 1, 1, 99999, &PageSetup::firstPage},
        {"dyjs", 0, 0, 99999, &PageSetup::lastPage},
        {"dyhs", 0, 0, 0xFFFF, &PageSetup::options},
        {"dyfs", 1, 1, 999, &PageSetup::copies},
    };
    const IniFile::Contents contents = peizi.load();
    for (const auto &k : keys) {
        const QString key = QString::fromLatin1(k.key);
        const QString text = contents.read(key, key, QString::number(k.defaultValue));
        // Compared as a double: a huge number must not wrap on its way to int.
        const double value = std::trunc(number(text));
        page.*(k.field) = value >= k.low && value <= k.high ? int(value) : k.defaultValue;
    }
    return page;
}

} // namespace IssueNoteLayout
