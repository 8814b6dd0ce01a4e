#pragma once

#include <QString>
#include <QStringView>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

// A cell's expected text, for checking many cells of a table as one table of
// cases. Rows and columns count from 1.
struct CellText
{
    int row;
    int column;
    QStringView text;
};

// The text a table shows in a cell: a table's text(), a workbook sheet's
// value(), or what a function of row and column gives.
template<typename Table>
QString cellTextOf(const Table &table, int row, int column)
{
    if constexpr (requires { table(row, column); })
        return table(row, column);
    else if constexpr (requires { table.text(row, column); })
        return table.text(row, column);
    else
        return table.value(row, column);
}

// Whether every cell shows its text; the failure names each cell that does not.
template<typename Table>
testing::AssertionResult hasCellTexts(const Table &table, std::initializer_list<CellText> cells)
{
    std::string wrong;
    for (const CellText &c : cells) {
        const QString shown = cellTextOf(table, c.row, c.column);
        if (shown != c.text)
            wrong += "\n  cell " + std::to_string(c.row) + "," + std::to_string(c.column) + " is \""
                + shown.toStdString() + "\", not \"" + c.text.toString().toStdString() + '"';
    }
    if (wrong.empty())
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << wrong;
}
