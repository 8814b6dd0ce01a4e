#include "grid/grid.h"

#include "grid/grid_model.h"
#include "grid/grid_pane.h"
#include "table/data_source.h"

#include <QItemSelection>
#include <QMouseEvent>

#include <algorithm>
#include <climits>

// The cursor and the selected block, kept whole over merged cells, and the
// cursor's steps under the keys (worked out by GridGeometry).

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

CellRange Grid::widenToMerges(const CellRange &range) const
{
    const DataSource *source = model_->dataSource();
    return source ? GridGeometry::widenToMerges(*source, range) : range;
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

GridGeometry::Step Grid::stepOf(CursorAction action)
{
    using Step = GridGeometry::Step;
    switch (action) {
    case MoveUp:
        return Step::Up;
    case MoveDown:
        return Step::Down;
    case MoveLeft:
        return Step::Left;
    case MoveRight:
        return Step::Right;
    case MoveHome:
        return Step::Home;
    case MoveEnd:
        return Step::End;
    case MovePageUp:
        return Step::PageUp;
    case MovePageDown:
        return Step::PageDown;
    case MoveNext:
        return Step::Next;
    case MovePrevious:
        return Step::Previous;
    }
    return Step::Right;
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
    const GridGeometry::Cell to = GridGeometry::step(model_->dataSource(), rows, columns,
        {current.row() + 1, current.column() + 1}, stepOf(action), modifiers & Qt::ControlModifier,
        GridGeometry::pageRows(viewport()->height(), layout_.defaultRowPixels));
    return model_->index(to.row - 1, to.column - 1);
}

QItemSelectionModel::SelectionFlags Grid::selectionCommand(
    const QModelIndex &index, const QEvent *event) const
{
    // Contiguous selection would stretch the block from the last cell to a
    // Ctrl+click; it puts the cursor there instead, as a click does.
    if (event
        && (event->type() == QEvent::MouseButtonPress
            || event->type() == QEvent::MouseButtonDblClick)) {
        const Qt::KeyboardModifiers keys = static_cast<const QMouseEvent *>(event)->modifiers();
        if ((keys & Qt::ControlModifier) && !(keys & Qt::ShiftModifier))
            return QItemSelectionModel::ClearAndSelect; // cells, never whole rows
    }
    return QTableView::selectionCommand(index, event);
}
