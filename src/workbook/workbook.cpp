#include "workbook/workbook.h"

#include <algorithm>

WorkbookCell WorkbookSheet::cell(int row, int column) const
{
    if (!isInside(row, column))
        return {};
    return cells_.value(key(row, column));
}

void WorkbookSheet::setCell(int row, int column, const WorkbookCell &cell)
{
    if (!isInside(row, column))
        return;
    if (cell.isEmpty()) {
        cells_.remove(key(row, column));
        return;
    }
    WorkbookCell kept = cell;
    if (Workbook::cutToCellLength(kept.value))
        kept.cut = true;
    Workbook::cutToCellLength(kept.formula);
    cells_.insert(key(row, column), kept);
}

int WorkbookSheet::usedRows() const
{
    quint64 last = 0;
    for (auto it = cells_.keyBegin(); it != cells_.keyEnd(); ++it)
        last = std::max(last, *it >> 20);
    return int(last);
}

int WorkbookSheet::usedColumns() const
{
    quint64 last = 0;
    for (auto it = cells_.keyBegin(); it != cells_.keyEnd(); ++it)
        last = std::max(last, *it & 0xFFFFF);
    return int(last);
}

void WorkbookSheet::forEachCell(
    const std::function<void(int row, int column, const WorkbookCell &)> &visit) const
{
    for (auto it = cells_.cbegin(); it != cells_.cend(); ++it)
        visit(int(it.key() >> 20), int(it.key() & 0xFFFFF), it.value());
}

void WorkbookSheet::moveCells(const std::function<void(int &row, int &column)> &move)
{
    QHash<quint64, WorkbookCell> moved;
    moved.reserve(cells_.size());
    for (auto it = cells_.cbegin(); it != cells_.cend(); ++it) {
        int row = int(it.key() >> 20);
        int column = int(it.key() & 0xFFFFF);
        move(row, column);
        if (isInside(row, column))
            moved.insert(key(row, column), it.value());
    }
    cells_ = std::move(moved);
}

bool Workbook::cutToCellLength(QString &text)
{
    if (text.size() <= maxTextLength)
        return false;
    const bool splitsPair = text.at(maxTextLength - 1).isHighSurrogate();
    text = text.left(maxTextLength - (splitsPair ? 1 : 0)); // a copy of the part only
    return true;
}

int Workbook::cellCount() const
{
    int count = 0;
    for (const WorkbookSheet &sheet : sheets)
        count += sheet.cellCount();
    return count;
}
