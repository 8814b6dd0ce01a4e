#include "grid/grid_frozen_panes.h"

#include "grid/grid_pane.h"
#include "table/data_source.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableView>

#include <algorithm>

GridFrozenPanes::GridFrozenPanes(QTableView *grid)
    : grid_(grid)
    , topHeader_(new GridFrozenHeader(Qt::Horizontal, grid))
    , leftHeader_(new GridFrozenHeader(Qt::Vertical, grid))
{
    grid->setHorizontalHeader(topHeader_);
    grid->setVerticalHeader(leftHeader_);
    top_ = new GridPane(grid, topHeader_);
    left_ = new GridPane(grid, leftHeader_);
    corner_ = new GridPane(grid, grid);
    topHeader_->setPane(top_);
    leftHeader_->setPane(left_);
    topHeader_->hide();
    leftHeader_->hide();
    corner_->hide();
    top_->setAccessibleName(QStringLiteral("表头行"));
    left_->setAccessibleName(QStringLiteral("表头列"));
    corner_->setAccessibleName(QStringLiteral("表头"));
}

bool GridFrozenPanes::isPaneViewport(const QObject *object) const
{
    return object == top_->viewport() || object == left_->viewport()
        || object == corner_->viewport();
}

GridPane *GridFrozenPanes::rowPane() const
{
    return frozenRows_ > 0 ? top_ : nullptr;
}

GridPane *GridFrozenPanes::columnPane() const
{
    return frozenColumns_ > 0 ? left_ : nullptr;
}

GridPane *GridFrozenPanes::cornerPane() const
{
    return frozenRows_ > 0 && frozenColumns_ > 0 ? corner_ : nullptr;
}

bool GridFrozenPanes::apply(
    const GridGeometry::Layout &layout, const DataSource *source, int unhideRows, int unhideColumns)
{
    frozenRows_ = layout.frozenRows;
    frozenColumns_ = layout.frozenColumns;
    frozenHeight_ = layout.frozenHeight;
    frozenWidth_ = layout.frozenWidth;
    const int rows = grid_->model()->rowCount();
    const int columns = grid_->model()->columnCount();

    bool attached = attach(top_, frozenRows_ > 0);
    attached = attach(left_, frozenColumns_ > 0) || attached;
    attached = attach(corner_, frozenRows_ > 0 && frozenColumns_ > 0) || attached;
    if (frozenRows_ > 0) {
        layOutView(top_, layout, frozenRows_, -1, 0, frozenColumns_, 0, unhideColumns);
        applySpans(top_, source, 0, frozenColumns_, frozenRows_, columns);
    }
    if (frozenColumns_ > 0) {
        layOutView(left_, layout, -1, frozenColumns_, frozenRows_, 0, unhideRows, 0);
        applySpans(left_, source, frozenRows_, 0, rows, frozenColumns_);
    }
    if (frozenRows_ > 0 && frozenColumns_ > 0) {
        layOutView(corner_, layout, frozenRows_, frozenColumns_, 0, 0, 0, 0);
        applySpans(corner_, source, 0, 0, frozenRows_, frozenColumns_);
    }
    for (GridPane *pane : all())
        if (pane->model() == grid_->model())
            QMetaObject::invokeMethod(pane, "updateGeometries");

    topHeader_->setExtent(frozenHeight_);
    topHeader_->setVisible(frozenRows_ > 0);
    leftHeader_->setExtent(frozenWidth_);
    leftHeader_->setVisible(frozenColumns_ > 0);
    return attached;
}

bool GridFrozenPanes::attach(GridPane *pane, bool attach)
{
    QAbstractItemModel *model = grid_->model();
    if (attach == (pane->model() == model))
        return false;
    if (!attach) {
        // A pane out of use holds no model, so it costs nothing on a reset.
        pane->setModel(nullptr);
        return false;
    }
    pane->setModel(model);
    QItemSelectionModel *own = pane->selectionModel();
    pane->setSelectionModel(grid_->selectionModel());
    if (own && own != grid_->selectionModel())
        own->deleteLater();
    return true;
}

void GridFrozenPanes::placeCorner()
{
    const bool corner = frozenRows_ > 0 && frozenColumns_ > 0;
    if (corner) {
        corner_->setGeometry(
            leftHeader_->x(), topHeader_->y(), leftHeader_->width(), topHeader_->height());
        corner_->raise();
    }
    corner_->setVisible(corner);
}

void GridFrozenPanes::redraw()
{
    for (GridPane *pane : all())
        pane->viewport()->update();
}

GridPane *GridFrozenPanes::paneFor(const QModelIndex &index) const
{
    if (!index.isValid())
        return nullptr;
    const bool frozenRow = index.row() < frozenRows_;
    const bool frozenColumn = index.column() < frozenColumns_;
    if (frozenRow)
        return frozenColumn ? corner_ : top_;
    return frozenColumn ? left_ : nullptr;
}

std::optional<QModelIndex> GridFrozenPanes::indexAt(const QPoint &pos) const
{
    const bool inTop = frozenRows_ > 0 && pos.y() < 0;
    const bool inLeft = frozenColumns_ > 0 && pos.x() < 0;
    if (!inTop && !inLeft)
        return std::nullopt;
    if ((inTop && pos.y() < -frozenHeight_) || (inLeft && pos.x() < -frozenWidth_))
        return QModelIndex();
    GridPane *pane = inTop ? (inLeft ? corner_ : top_) : left_;
    return pane->indexAt(
        QPoint(pos.x() + (inLeft ? frozenWidth_ : 0), pos.y() + (inTop ? frozenHeight_ : 0)));
}

std::optional<QRect> GridFrozenPanes::visualRect(const QModelIndex &index) const
{
    GridPane *pane = paneFor(index);
    if (!pane)
        return std::nullopt;
    const QRect rect = pane->visualRect(index);
    const bool left = pane != top_;
    const bool top = pane != left_;
    return rect.translated(left ? -frozenWidth_ : 0, top ? -frozenHeight_ : 0);
}

void GridFrozenPanes::layOutView(QTableView *view, const GridGeometry::Layout &layout, int rowLimit,
    int columnLimit, int hideRows, int hideColumns, int unhideRows, int unhideColumns)
{
    QHeaderView *vertical = view->verticalHeader();
    QHeaderView *horizontal = view->horizontalHeader();
    // The view is brought up to date as a whole afterwards. Resizing a section
    // that is drawn would cost a pass over all rows each, and a signal per
    // section a list entry per row.
    const QSignalBlocker blockVertical(vertical);
    const QSignalBlocker blockHorizontal(horizontal);
    vertical->setUpdatesEnabled(false);
    horizontal->setUpdatesEnabled(false);
    const int rows = vertical->count();
    const int columns = std::min(horizontal->count(), int(layout.columnPixels.size()));

    for (int row = 0; row < std::min(unhideRows, rows); ++row)
        vertical->setSectionHidden(row, false);
    for (int column = 0; column < std::min(unhideColumns, columns); ++column)
        horizontal->setSectionHidden(column, false);

    if (rowLimit < 0) {
        // Every visible section takes the default; then the exceptions.
        vertical->setDefaultSectionSize(layout.defaultRowPixels);
        for (int row = 0; row < std::min(unhideRows, rows); ++row)
            vertical->resizeSection(row, layout.rowPixels(row));
        for (const auto &[row, pixels] : layout.otherRowPixels)
            if (row < rows)
                vertical->resizeSection(row, pixels);
    } else {
        for (int row = 0; row < std::min(rowLimit, rows); ++row)
            vertical->resizeSection(row, layout.rowPixels(row));
    }
    const int columnEnd = columnLimit < 0 ? columns : std::min(columnLimit, columns);
    for (int column = 0; column < columnEnd; ++column)
        horizontal->resizeSection(column, layout.columnPixels[size_t(column)]);

    for (int row = 0; row < std::min(hideRows, rows); ++row)
        vertical->setSectionHidden(row, true);
    for (int column = 0; column < std::min(hideColumns, columns); ++column)
        horizontal->setSectionHidden(column, true);
    vertical->setUpdatesEnabled(true);
    horizontal->setUpdatesEnabled(true);
}

void GridFrozenPanes::applySpans(
    QTableView *view, const DataSource *source, int top, int left, int bottom, int right)
{
    view->clearSpans();
    if (!source)
        return;
    for (const CellRange &merge : source->merges()) {
        const int firstRow = std::max(merge.row - 1, top);
        const int lastRow = std::min(merge.lastRow() - 1, bottom - 1);
        const int firstColumn = std::max(merge.column - 1, left);
        const int lastColumn = std::min(merge.lastColumn() - 1, right - 1);
        const int rows = lastRow - firstRow + 1;
        const int columns = lastColumn - firstColumn + 1;
        if (rows >= 1 && columns >= 1 && (rows > 1 || columns > 1))
            view->setSpan(firstRow, firstColumn, rows, columns);
    }
}
