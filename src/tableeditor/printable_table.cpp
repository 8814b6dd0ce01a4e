#include "tableeditor/printable_table.h"

#include "common/gbk.h"
#include "common/value_text.h"
#include "data/record_store.h"
#include "grid/grid_printer.h"
#include "table/data_source.h"

#include <QRegularExpression>

#include <algorithm>

namespace PrintableTable {
namespace {

const QString queryAlias = QStringLiteral("qd");
const QString footerIndent = QStringLiteral("    ");

// An estimate of the printed height of a table with this many data rows,
// title and field names included.
int estimatedHeight(int dataRows)
{
    return dataRows * 59 + 112;
}

// The side margin that centres `total` on the paper, at most
// maximumSideMargin. A table wider than the paper gets no margin at all.
int centredMargin(const PageSetup &setup, int total)
{
    PageSetup bare = setup;
    bare.leftMargin = 0;
    bare.rightMargin = 0;
    const int margin = (GridPrinter::printableWidth(bare) - total) / 2;
    return std::clamp(margin, 0, maximumSideMargin);
}

// Rows 1-3: title, office and date, field names.
void buildTitles(DataSource &out, const RecordFile &query, int columns, const QDate &today)
{
    const int half = columns / 2;
    out.merge({1, 1, 1, columns});
    out.merge({2, 1, 1, half});
    out.merge({2, half + 1, 1, columns - half});
    out.setRowHeights(1, 1, titleRowHeight);
    out.setRowHeights(2, 1, subtitleRowHeight);
    out.setAlignment({1, 1, 1, columns}, CellFormat::Centre);
    out.setAlignment({2, 1, 1, half}, CellFormat::MiddleLeft);
    out.setAlignment({2, half + 1, 1, 2}, CellFormat::MiddleRight);
    out.setFontName({1, 1, 1, columns}, QStringLiteral("宋体"));
    out.setFontSize({1, 1, 1, columns}, titleFontSize);
    out.setFontSize({3, 1, 1, columns}, fieldNameFontSize);
    out.setStyle({1, 1, headerRows, columns}, CellFormat::Bold);
    out.setText(1, 1, title());
    out.setText(2, 1, madeByText());
    out.setText(2, half + 1, datePrefix() + dateText(today));

    for (int field = 1; field <= columns; ++field) {
        out.setText(3, field, query.fieldName(field));
        out.setColumnWidths(field, 1, 0);
    }
    for (int column = 1; column <= columns; ++column)
        fitColumn(out, 3, column);
    out.setAlignment({3, 1, 1, columns}, CellFormat::Centre);
}

// The data rows: the rows the editor shows between its field names and its
// total row, in its order, then an empty row for every record the file holds
// beyond them (the blank end records of earlier builds, which the editor
// never showed). Appends them and the footer row; returns their number.
int buildDataRows(DataSource &out, int columns, const DataSource &editor, int records)
{
    const int shown = std::max(editor.rowCount() - 2, 0);
    const int rows = std::max(shown, records);
    out.appendRows(rows + 1);
    for (int k = 1; k <= shown; ++k) {
        const int row = headerRows + k;
        for (int column = 1; column <= columns; ++column) {
            out.setText(row, column, editor.text(k + 1, column));
            fitColumn(out, row, column);
        }
    }
    return rows;
}

// A date in one of the forms of the date-format cycle at the start of a
// text: year, month, day, and the rest (the time of a date-time text).
const QRegularExpression &leadingDate()
{
    static const QRegularExpression date(
        QStringLiteral("^(\\d{1,4})[年./-](\\d{1,2})[月./-](\\d{1,2})日?\\s*(.*)$"),
        QRegularExpression::DotMatchesEverythingOption);
    return date;
}

// The date-format cycle on a text that holds no date: every occurrence
// rewritten, as on a date of the cycle's forms.
QString rewrittenForStep(const QString &text, int step)
{
    QString result = text;
    switch (step % 4) {
    case 1:
        result.replace(u'年', u'-').replace(u'月', u'-').remove(u'日');
        break;
    case 2:
        result.replace(u'-', u'.');
        break;
    case 3:
        result.replace(u'.', u'/');
        break;
    default:
        for (const QChar unit : {u'年', u'月'}) {
            const qsizetype slash = result.indexOf(u'/');
            if (slash >= 0)
                result[slash] = unit;
        }
        if (!result.isEmpty())
            result += u'日';
        break;
    }
    return result;
}

} // namespace

QString footerText()
{
    return QStringLiteral("制表:") + QString(50, u' ') + QStringLiteral("报表审核:")
        + QString(6, u' ');
}

void fitColumn(DataSource &table, int row, int column)
{
    if (column < 1 || column > table.columnCount())
        return;
    const int size = table.fontSize(row, column);
    const int bytes = Gbk::byteLength(table.text(row, column));
    const int d = int(double(size) * bytes / 2);
    const double needed = d + 0.56 * d + 36;
    if (needed - table.columnWidth(column) > 1e-7)
        table.setColumnWidths(column, 1, int(needed));
}

int totalWidth(const DataSource &table)
{
    int total = 0;
    for (int column = 1; column <= table.columnCount(); ++column)
        total += table.columnWidth(column);
    return total;
}

void setUpPage(DataSource &table, int dataRows)
{
    const int total = totalWidth(table);
    PageSetup setup = table.pageSetup();
    setup.leftMargin = 0;
    setup.rightMargin = 0;
    setup.topMargin = topMargin;
    setup.bottomMargin = bottomMargin;
    setup.paperKind = widthFollowingPaper;
    // Landscape unless the table fits across a portrait page; a table of
    // exactly the limit stays landscape.
    setup.orientation = total < widthForLandscape ? 0 : 1;
    setup.leftMargin = centredMargin(setup, total);
    setup.rightMargin = setup.leftMargin;
    if (GridPrinter::printableHeight(setup) < estimatedHeight(dataRows))
        setup.pageNumberPosition = PageSetup::BottomCentre;
    table.setPageSetup(setup);
}

Status build(DataSource &out, RecordStore &store, const QString &queryFile,
    const DataSource &editor, const QDate &today)
{
    out.setDefaultFormat(CellFormat());
    out.reset();
    // Written on a handle of its own; the store's handle on it, if any,
    // closes first, as it did after a build.
    store.closePath(queryFile);
    RecordFile query;
    if (Status opened = query.open(queryFile, queryAlias); !opened) {
        out.setSize(headerRows, 0);
        return opened;
    }
    // The blank end record of this build; the records before it count.
    const bool blankAdded = query.add().ok();
    const int records = std::max(query.recordCount() - (blankAdded ? 1 : 0), 0);

    const int columns = query.fieldCount();
    out.setSize(headerRows, columns);
    buildTitles(out, query, columns, today);
    const int dataRows = buildDataRows(out, columns, editor, records);

    const int footer = out.rowCount();
    out.setBorders({headerRows, 1, dataRows + 1, columns}, BorderAll);
    out.merge({footer, 1, 1, columns});
    out.setAlignment({footer, 1, 1, columns}, CellFormat::MiddleLeft);
    out.setText(footer, 1, footerIndent + footerText());
    out.setHeaderRows(headerRows);

    setUpPage(out, dataRows);
    return Status::success();
}

QString refitFooter(const QString &footer, int width, int fontSize)
{
    if (fontSize <= 0)
        return footer;
    const int length = Gbk::byteLength(footer);
    const int fitting = int(double(width) / fontSize * 2);
    int excess = length - fitting;
    if (excess <= 0)
        return footer;
    // Blanks are taken from the end part, which holds the gap before the
    // second signature and the trailing blanks, so the first signature stays
    // where it is.
    const int from = length - 20; // 1-based byte position
    QString result;
    result.reserve(footer.size());
    int byte = 1;
    for (qsizetype i = 0; i < footer.size();) {
        const qsizetype units = footer.at(i).isHighSurrogate() && i + 1 < footer.size() ? 2 : 1;
        const QStringView character = QStringView(footer).mid(i, units);
        if (excess > 0 && byte >= from && character == u" ")
            --excess;
        else
            result += character;
        byte += Gbk::byteLength(character);
        i += units;
    }
    return result;
}

int alignmentForStep(int step)
{
    switch (step % 3) {
    case 1:
        return CellFormat::MiddleRight;
    case 2:
        return CellFormat::Centre;
    default:
        return CellFormat::MiddleLeft;
    }
}

QString dateFormatForStep(const QString &text, int step)
{
    const QRegularExpressionMatch date = leadingDate().match(text);
    if (!date.hasMatch())
        return rewrittenForStep(text, step);
    static const QString separators[]
        = {QString(), QStringLiteral("-"), QStringLiteral("."), QStringLiteral("/")};
    const int form = step % 4;
    QString result = form == 0
        ? date.captured(1) + u'年' + date.captured(2) + u'月' + date.captured(3) + u'日'
        : QStringList {date.captured(1), date.captured(2), date.captured(3)}.join(separators[form]);
    // "日" ends a date plainly enough; the other forms need a blank before
    // the time.
    const QString time = date.captured(4);
    if (!time.isEmpty())
        result += (form == 0 ? QString() : QStringLiteral(" ")) + time;
    return result;
}

void relayout(DataSource &table)
{
    const int total = totalWidth(table);
    PageSetup setup = table.pageSetup();
    if (setup.paperKind == widthFollowingPaper) {
        if (setup.orientation == 0 && total > widthForLandscape)
            setup.orientation = 1;
        else if (setup.orientation == 1 && total < widthForLandscape)
            setup.orientation = 0;
    }
    const int last = table.rowCount();
    if (last >= firstDataRow) {
        const QString footer = table.text(last, 1);
        const QString refitted = refitFooter(footer, total, table.fontSize(firstDataRow, 1));
        if (refitted != footer)
            table.setText(last, 1, refitted);
    }
    setup.leftMargin = centredMargin(setup, total);
    setup.rightMargin = setup.leftMargin;
    table.setPageSetup(setup);
}

} // namespace PrintableTable
