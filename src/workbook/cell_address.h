#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Cell addresses in A1 notation: column letters, then the row number ("B3",
// "AA10", "$C$7"); a range is two of them joined by a colon ("A1:H20"). Rows and
// columns are 1-based and checked against the worksheet limits.
struct CellAddress
{
    int row = 1;
    int column = 1;

    friend bool operator==(const CellAddress &, const CellAddress &) = default;
};

struct CellRangeAddress
{
    CellAddress first;
    CellAddress last; // never above or left of first

    int rows() const { return last.row - first.row + 1; }
    int columns() const { return last.column - first.column + 1; }
    friend bool operator==(const CellRangeAddress &, const CellRangeAddress &) = default;
};

namespace A1 {

// The column number of column letters ("A" 1, "Z" 26, "AA" 27); 0 when the
// text is not column letters within the limits. Case is ignored.
int columnNumber(QStringView letters);
// The letters of a column number; empty outside the limits.
QString columnLetters(int column);

std::optional<CellAddress> parseCell(QStringView text);
// A single cell is a range of one; the corners may come in any order. Whole
// columns ("B:C") and whole rows ("3:5") span the sheet's limits.
std::optional<CellRangeAddress> parseRange(QStringView text);

QString cellText(const CellAddress &address);

} // namespace A1
