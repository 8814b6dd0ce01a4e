#include "workbook/cell_address.h"

#include "workbook/workbook.h"

#include <algorithm>

namespace A1 {

int columnNumber(QStringView letters)
{
    if (letters.isEmpty() || letters.size() > 3)
        return 0;
    int column = 0;
    for (QChar c : letters) {
        const char16_t upper = c.toUpper().unicode();
        if (upper < u'A' || upper > u'Z')
            return 0;
        column = column * 26 + (upper - u'A' + 1);
    }
    return column <= WorkbookSheet::maxColumns ? column : 0;
}

QString columnLetters(int column)
{
    if (column < 1 || column > WorkbookSheet::maxColumns)
        return {};
    QString letters;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        letters.prepend(QChar(u'A' + digit));
        column = (column - 1) / 26;
    }
    return letters;
}

std::optional<CellAddress> parseCell(QStringView text)
{
    text = text.trimmed();
    qsizetype i = 0;
    if (i < text.size() && text[i] == u'$')
        ++i;
    const qsizetype lettersStart = i;
    while (i < text.size() && text[i].isLetter())
        ++i;
    const int column = columnNumber(text.mid(lettersStart, i - lettersStart));
    if (i < text.size() && text[i] == u'$')
        ++i;
    const QStringView digits = text.mid(i);
    if (column == 0 || digits.isEmpty() || digits.size() > 7)
        return std::nullopt;
    int row = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        row = row * 10 + (c.unicode() - u'0');
    }
    if (row < 1 || row > WorkbookSheet::maxRows)
        return std::nullopt;
    return CellAddress {row, column};
}

namespace {

// Whole columns ("B:C") or whole rows ("3:5"), as ranges over the sheet.
std::optional<CellRangeAddress> parseLines(QStringView first, QStringView last)
{
    const auto strip = [](QStringView part) {
        part = part.trimmed();
        return part.startsWith(u'$') ? part.mid(1) : part;
    };
    first = strip(first);
    last = strip(last);
    if (const int a = columnNumber(first), b = columnNumber(last); a > 0 && b > 0)
        return CellRangeAddress {{1, std::min(a, b)}, {WorkbookSheet::maxRows, std::max(a, b)}};
    bool okA = false, okB = false;
    const int a = first.toInt(&okA), b = last.toInt(&okB);
    if (okA && okB && first[0].isDigit() && last[0].isDigit() && a >= 1 && b >= 1
        && a <= WorkbookSheet::maxRows && b <= WorkbookSheet::maxRows)
        return CellRangeAddress {{std::min(a, b), 1}, {std::max(a, b), WorkbookSheet::maxColumns}};
    return std::nullopt;
}

} // namespace

std::optional<CellRangeAddress> parseRange(QStringView text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon >= 0) {
        if (const auto lines = parseLines(text.left(colon), text.mid(colon + 1)))
            return lines;
    }
    const auto first = parseCell(colon < 0 ? text : text.left(colon));
    const auto last = colon < 0 ? first : parseCell(text.mid(colon + 1));
    if (!first || !last)
        return std::nullopt;
    return CellRangeAddress {
        {std::min(first->row, last->row), std::min(first->column, last->column)},
        {std::max(first->row, last->row), std::max(first->column, last->column)}};
}

QString cellText(const CellAddress &address)
{
    return columnLetters(address.column) + QString::number(address.row);
}

} // namespace A1
