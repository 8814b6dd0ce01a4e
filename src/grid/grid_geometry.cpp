#include "grid/grid_geometry.h"

#include "table/data_source.h"

#include <QHash>
#include <QtGlobal>

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

namespace GridGeometry {

int Layout::rowPixels(int row) const
{
    const auto it = std::lower_bound(
        otherRowPixels.begin(), otherRowPixels.end(), std::make_pair(row, INT_MIN));
    return it != otherRowPixels.end() && it->first == row ? it->second : defaultRowPixels;
}

int toPixels(int units, double pixelsPerUnit)
{
    return std::max(0, qRound(units * pixelsPerUnit));
}

int dominantRowHeight(const DataSource &source)
{
    if (source.rowCount() == 0)
        return DataSource::defaultRowHeight;
    // A table has a handful of heights, mostly in runs: a short list tried
    // from the height of the row before costs a compare a row, where a hash
    // costs a lookup. Heights past the list's room are counted in a hash.
    constexpr size_t listed = 16;
    std::vector<std::pair<int, int>> counts; // height, rows
    QHash<int, int> more;
    size_t last = 0;
    int best = source.rowHeight(1);
    int bestCount = 0;
    for (int row = 1; row <= source.rowCount(); ++row) {
        const int height = source.rowHeight(row);
        if (last >= counts.size() || counts[last].first != height) {
            last = size_t(std::find_if(counts.begin(), counts.end(), [height](const auto &c) {
                return c.first == height;
            }) - counts.begin());
            if (last == counts.size() && counts.size() < listed)
                counts.emplace_back(height, 0);
        }
        const int count = last < counts.size() ? ++counts[last].second : ++more[height];
        if (count > bestCount) {
            best = height;
            bestCount = count;
        }
    }
    return best;
}

Layout computeLayout(
    const DataSource *source, int rows, int columns, double pixelsPerUnitX, double pixelsPerUnitY)
{
    Layout layout;
    rows = source ? std::min(rows, source->rowCount()) : 0;
    columns = source ? std::min(columns, source->columnCount()) : 0;

    // Widths are rounded at the running sum, so the whole table is as wide as
    // its total width says, which is what fitting to the width relies on.
    layout.columnPixels.assign(size_t(columns), 0);
    qint64 units = 0;
    int previous = 0;
    for (int column = 0; column < columns; ++column) {
        units += source->columnWidth(column + 1);
        const int edge = qRound(double(units) * pixelsPerUnitX);
        layout.columnPixels[size_t(column)] = std::max(0, edge - previous);
        previous = edge;
    }

    layout.defaultRowPixels = toPixels(
        source ? dominantRowHeight(*source) : DataSource::defaultRowHeight, pixelsPerUnitY);
    for (int row = 0; row < rows; ++row) {
        const int pixels = toPixels(source->rowHeight(row + 1), pixelsPerUnitY);
        if (pixels != layout.defaultRowPixels)
            layout.otherRowPixels.emplace_back(row, pixels);
    }

    // Freezing every row (or column) would leave nothing to scroll.
    layout.frozenRows = source && source->headerRows() < rows ? source->headerRows() : 0;
    layout.frozenColumns
        = source && source->headerColumns() < columns ? source->headerColumns() : 0;
    for (int row = 0; row < layout.frozenRows; ++row)
        layout.frozenHeight += layout.rowPixels(row);
    for (int column = 0; column < layout.frozenColumns; ++column)
        layout.frozenWidth += layout.columnPixels[size_t(column)];
    return layout;
}

CellRange widenToMerges(const DataSource &source, CellRange range)
{
    // A merge reaching out of the block widens it, which may reach further merges.
    for (bool widened = true; widened;) {
        widened = false;
        for (const CellRange &merge : source.merges()) {
            if (!merge.intersects(range))
                continue;
            const int top = std::min(range.row, merge.row);
            const int left = std::min(range.column, merge.column);
            const int bottom = std::max(range.lastRow(), merge.lastRow());
            const int right = std::max(range.lastColumn(), merge.lastColumn());
            const CellRange wider {top, left, bottom - top + 1, right - left + 1};
            if (wider != range) {
                range = wider;
                widened = true;
            }
        }
    }
    return range;
}

int pageRows(int viewportHeight, int defaultRowPixels)
{
    return std::max(1, viewportHeight / std::max(1, defaultRowPixels));
}

Cell step(const DataSource *source, int rows, int columns, Cell current, Step step, bool control,
    int pageRows)
{
    // Header rows and columns are cells like any other: the cursor walks into
    // them although a view may show them apart.
    const CellRange span = source ? source->spanAt(current.row, current.column)
                                  : CellRange {current.row, current.column, 1, 1};
    int row = current.row;
    int column = current.column;
    switch (step) {
    case Step::Up:
        row = control ? 1 : span.row - 1;
        break;
    case Step::Down:
        row = control ? rows : span.lastRow() + 1;
        break;
    case Step::Left:
        column = control ? 1 : span.column - 1;
        break;
    case Step::Right:
        column = control ? columns : span.lastColumn() + 1;
        break;
    case Step::Home:
        column = 1;
        if (control)
            row = 1;
        break;
    case Step::End:
        column = columns;
        if (control)
            row = rows;
        break;
    case Step::PageUp:
        row = span.row - pageRows;
        break;
    case Step::PageDown:
        row = span.lastRow() + pageRows;
        break;
    case Step::Next:
        column = span.lastColumn() + 1;
        if (column > columns) {
            if (span.lastRow() >= rows)
                return current;
            column = 1;
            row = span.lastRow() + 1;
        }
        break;
    case Step::Previous:
        column = span.column - 1;
        if (column < 1) {
            if (span.row == 1)
                return current;
            column = columns;
            row = span.row - 1;
        }
        break;
    }
    row = std::clamp(row, 1, rows);
    column = std::clamp(column, 1, columns);
    if (!source)
        return {row, column};
    const CellRange target = source->spanAt(row, column);
    return {target.row, target.column};
}

} // namespace GridGeometry
