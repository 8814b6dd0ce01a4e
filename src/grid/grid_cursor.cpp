#include "grid/grid.h"

#include "grid/grid_model.h"
#include "grid/grid_pane.h"
#include "table/data_source.h"

#include <QItemSelection>

#include <algorithm>
#include <climits>

// The cursor and the selected block, kept whole over merged cells, and the
// cursor's steps under the keys.

// --- Cursor and selection ----------------------------------------------------------

CellRange Grid::selectedBlock() const
{
    if (!isBound())
        return keptBlock_;
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty()) {
        const QModelIndex current = currentIndex();
        if (current.isValid())
            return {current.row() + 1, current.column() + 1, 1, 1};
        return {1, 1, 0, 0};
    }
    int top = INT_MAX;
    int left = INT_MAX;
    int bottom = -1;
    int right = -1;
    for (const QItemSelectionRange &range : selection) {
        top = std::min(top, range.top());
        left = std::min(left, range.left());
        bottom = std::max(bottom, range.bottom());
        right = std::max(right, range.right());
    }
    return {top + 1, left + 1, bottom - top + 1, right - left + 1};
}

CellRange Grid::widenToMerges(CellRange range) const
{
    const DataSource *source = model_->dataSource();
    if (!source)
        return range;
    // A merge reaching out of the block widens it, which may reach further merges.
    for (bool widened = true; widened;) {
        widened = false;
        for (const CellRange &merge : source->merges()) {
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

void Grid::selectCells(const CellRange &range, QItemSelectionModel::SelectionFlags command)
{
    const CellRange cells = widenToMerges(range);
    const QModelIndex topLeft = model_->index(cells.row - 1, cells.column - 1);
    const QModelIndex bottomRight = model_->index(cells.lastRow() - 1, cells.lastColumn() - 1);
    if (!topLeft.isValid() || !bottomRight.isValid())
        return;
    selectionModel()->select(QItemSelection(topLeft, bottomRight), command);
}

void Grid::placeCursor(const CellRange &block, const QModelIndex &current)
{
    selectCells(block, QItemSelectionModel::ClearAndSelect);
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    anchor_ = model_->index(block.row - 1, block.column - 1);
}

void Grid::selectRange(const CellRange &range)
{
    if (!isBound())
        return;
    const int top = std::max(range.row, 1);
    const int left = std::max(range.column, 1);
    const int bottom = std::min(range.lastRow(), model_->rowCount());
    const int right = std::min(range.lastColumn(), model_->columnCount());
    if (top > bottom || left > right)
        return;
    const CellRange block = widenToMerges({top, left, bottom - top + 1, right - left + 1});
    const QModelIndex topLeft = model_->index(block.row - 1, block.column - 1);
    placeCursor(block, topLeft);
    scrollTo(topLeft);
}

void Grid::setCursorCell(int row, int column)
{
    selectRange({row, column, 1, 1});
}

void Grid::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    // Qt describes the block as a rectangle from the anchor's centre to the point
    // reached; with panes and scrolling the anchor's point can be out of date,
    // so the block is taken between cells: the anchor kept since the block
    // began, and the cell under the mouse or the new current cell.
    if (!isBound() || !selectionModel())
        return;
    const QModelIndex to = mouseSelecting_ ? indexAt(rect.bottomRight()) : currentIndex();
    if (!to.isValid())
        return;
    // Without Current the block starts afresh at that cell.
    if (!(command & QItemSelectionModel::Current) || !anchor_.isValid())
        anchor_ = to;
    const QModelIndex from = anchor_;
    const int top = std::min(from.row(), to.row());
    const int left = std::min(from.column(), to.column());
    const int bottom = std::max(from.row(), to.row());
    const int right = std::max(from.column(), to.column());
    selectCells({top + 1, left + 1, bottom - top + 1, right - left + 1}, command);
}

QModelIndex Grid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const int rows = model_->rowCount();
    const int columns = model_->columnCount();
    if (rows == 0 || columns == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model_->index(0, 0);
    // Header rows and columns are cells like any other: the cursor walks into
    // them although the main view does not show them itself.
    const CellRange span = model_->dataSource()
        ? model_->dataSource()->spanAt(current.row() + 1, current.column() + 1)
        : CellRange {current.row() + 1, current.column() + 1, 1, 1};
    const int top = span.row - 1;
    const int left = span.column - 1;
    const int bottom = span.lastRow() - 1;
    const int right = span.lastColumn() - 1;
    const bool control = modifiers & Qt::ControlModifier;
    const int page = std::max(1, viewport()->height() / std::max(1, defaultRowPixels_));
    int row = current.row();
    int column = current.column();
    switch (action) {
    case MoveUp:
        row = control ? 0 : top - 1;
        break;
    case MoveDown:
        row = control ? rows - 1 : bottom + 1;
        break;
    case MoveLeft:
        column = control ? 0 : left - 1;
        break;
    case MoveRight:
        column = control ? columns - 1 : right + 1;
        break;
    case MoveHome:
        column = 0;
        if (control)
            row = 0;
        break;
    case MoveEnd:
        column = columns - 1;
        if (control)
            row = rows - 1;
        break;
    case MovePageUp:
        row = top - page;
        break;
    case MovePageDown:
        row = bottom + page;
        break;
    case MoveNext:
        column = right + 1;
        if (column >= columns) {
            if (bottom + 1 >= rows)
                return current;
            column = 0;
            row = bottom + 1;
        }
        break;
    case MovePrevious:
        column = left - 1;
        if (column < 0) {
            if (top == 0)
                return current;
            column = columns - 1;
            row = top - 1;
        }
        break;
    }
    row = std::clamp(row, 0, rows - 1);
    column = std::clamp(column, 0, columns - 1);
    if (model_->dataSource()) {
        const CellRange target = model_->dataSource()->spanAt(row + 1, column + 1);
        row = target.row - 1;
        column = target.column - 1;
    }
    return model_->index(row, column);
}
