#include "grid/grid.h"

#include "grid/grid_column_resizer.h"
#include "grid/grid_delegate.h"
#include "grid/grid_model.h"
#include "grid/grid_pane.h"
#include "table/data_source.h"

#include <QScrollBar>

#include <algorithm>

// The grid's layout: lengths of the table turned into pixels at the zoom
// (GridGeometry), the main view laid out with them and the frozen panes
// (GridFrozenPanes) over the room the main view leaves them.

// --- Layout ------------------------------------------------------------------------

double Grid::pixelsPerUnitX() const
{
    return logicalDpiX() / 254.0 * zoom_ / 100.0;
}

double Grid::pixelsPerUnitY() const
{
    return logicalDpiY() / 254.0 * zoom_ / 100.0;
}

void Grid::computeLayout()
{
    layout_ = GridGeometry::computeLayout(model_->dataSource(), model_->rowCount(),
        model_->columnCount(), pixelsPerUnitX(), pixelsPerUnitY());
}

void Grid::applyLayout()
{
    const int frozenRows = layout_.frozenRows;
    const int frozenColumns = layout_.frozenColumns;
    const int unhideRows = std::max(hiddenRows_, frozenRows);
    const int unhideColumns = std::max(hiddenColumns_, frozenColumns);
    GridFrozenPanes::layOutView(
        this, layout_, -1, -1, frozenRows, frozenColumns, unhideRows, unhideColumns);
    hiddenRows_ = frozenRows;
    hiddenColumns_ = frozenColumns;
    GridFrozenPanes::applySpans(this, model_->dataSource(), frozenRows, frozenColumns,
        model_->rowCount(), model_->columnCount());

    if (panes_.apply(layout_, model_->dataSource(), unhideRows, unhideColumns)) {
        // A pane and its headers reset the shared selection on every reset of
        // the model: the grid puts its block back after them, so it hears last.
        disconnect(model_, &QAbstractItemModel::modelReset, this, &Grid::onReset);
        connect(model_, &QAbstractItemModel::modelReset, this, &Grid::onReset);
    }
    updateGeometries();
    redrawAll();
}

void Grid::updateGeometries()
{
    QTableView::updateGeometries();
    panes_.placeCorner();
}

void Grid::redrawAll()
{
    viewport()->update();
    panes_.redraw();
}

GridPane *Grid::headerRowPane() const
{
    return panes_.rowPane();
}

GridPane *Grid::headerColumnPane() const
{
    return panes_.columnPane();
}

GridPane *Grid::cornerPane() const
{
    return panes_.cornerPane();
}

void Grid::setGridLineColor(const QColor &color)
{
    for (GridDelegate *delegate : delegates_)
        delegate->setGridLineColor(color);
    redrawAll();
}

void Grid::setColumnsResizable(bool resizable)
{
    if (resizable == columnsResizable())
        return;
    if (!resizable) {
        delete resizer_;
        resizer_ = nullptr;
        return;
    }
    resizer_ = new GridColumnResizer(
        {this, panes_.top(), panes_.left(), panes_.corner()}, [this] { return pixelsPerUnitX(); },
        this);
    connect(resizer_, &GridColumnResizer::widthChosen, this, [this](int column, int width) {
        if (!source_)
            return;
        source_->setColumnWidths(column, 1, width);
        emit columnResizedByUser(column, width);
    });
}

// --- Where cells are ---------------------------------------------------------------
//
// The panes lie outside the main view's viewport (GridFrozenPanes): cells and
// points there are mapped through them.

QModelIndex Grid::indexAt(const QPoint &pos) const
{
    if (const std::optional<QModelIndex> frozen = panes_.indexAt(pos))
        return *frozen;
    return QTableView::indexAt(pos);
}

QRect Grid::visualRect(const QModelIndex &index) const
{
    if (const std::optional<QRect> frozen = panes_.visualRect(index))
        return *frozen;
    return QTableView::visualRect(index);
}

void Grid::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int frozenRows = layout_.frozenRows;
    const int frozenColumns = layout_.frozenColumns;
    const bool frozenRow = index.row() < frozenRows;
    const bool frozenColumn = index.column() < frozenColumns;
    if (!frozenRow && !frozenColumn) {
        QTableView::scrollTo(index, hint);
        return;
    }
    // A frozen cell is always in view along its frozen axis; along the other
    // it scrolls with the rows (or columns) the main view shows.
    if (frozenRow && frozenColumn)
        return;
    if (frozenRow) {
        const int keep = verticalScrollBar()->value();
        QTableView::scrollTo(model_->index(frozenRows, index.column()), hint);
        verticalScrollBar()->setValue(keep);
    } else {
        const int keep = horizontalScrollBar()->value();
        QTableView::scrollTo(model_->index(index.row(), frozenColumns), hint);
        horizontalScrollBar()->setValue(keep);
    }
}
