#include "grid/grid.h"

#include "grid/grid_column_resizer.h"
#include "grid/grid_delegate.h"
#include "grid/grid_model.h"
#include "grid/grid_pane.h"
#include "table/data_source.h"

#include <QHash>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <climits>

// The grid's layout: lengths of the table turned into pixels at the zoom, the
// frozen panes laid over the room the main view leaves them, and the mapping
// of cells between the panes and the main view.

// --- Layout ------------------------------------------------------------------------

double Grid::pixelsPerUnitX() const
{
    return logicalDpiX() / 254.0 * zoom_ / 100.0;
}

double Grid::pixelsPerUnitY() const
{
    return logicalDpiY() / 254.0 * zoom_ / 100.0;
}

int Grid::unitsToPixelsY(int units) const
{
    return std::max(0, qRound(units * pixelsPerUnitY()));
}

int Grid::dominantRowHeight() const
{
    const DataSource *source = model_->dataSource();
    if (!source || source->rowCount() == 0)
        return DataSource::defaultRowHeight;
    QHash<int, int> counts;
    int best = source->rowHeight(1);
    int bestCount = 0;
    for (int row = 1; row <= source->rowCount(); ++row) {
        const int height = source->rowHeight(row);
        const int count = ++counts[height];
        if (count > bestCount) {
            best = height;
            bestCount = count;
        }
    }
    return best;
}

void Grid::computeLayout()
{
    const DataSource *source = model_->dataSource();
    const int rows = source ? std::min(model_->rowCount(), source->rowCount()) : 0;
    const int columns = source ? std::min(model_->columnCount(), source->columnCount()) : 0;

    // Widths are rounded at the running sum, so the whole table is as wide as
    // its total width says, which is what fitting to the width relies on.
    columnPixels_.assign(size_t(columns), 0);
    const double perUnitX = pixelsPerUnitX();
    qint64 units = 0;
    int previous = 0;
    for (int column = 0; column < columns; ++column) {
        units += source->columnWidth(column + 1);
        const int edge = qRound(double(units) * perUnitX);
        columnPixels_[size_t(column)] = std::max(0, edge - previous);
        previous = edge;
    }

    defaultRowPixels_ = unitsToPixelsY(source ? dominantRowHeight() : DataSource::defaultRowHeight);
    otherRowPixels_.clear();
    for (int row = 0; row < rows; ++row) {
        const int pixels = unitsToPixelsY(source->rowHeight(row + 1));
        if (pixels != defaultRowPixels_)
            otherRowPixels_.emplace_back(row, pixels);
    }

    // Freezing every row (or column) would leave nothing to scroll.
    frozenRows_ = source ? source->headerRows() : 0;
    if (frozenRows_ >= rows)
        frozenRows_ = 0;
    frozenColumns_ = source ? source->headerColumns() : 0;
    if (frozenColumns_ >= columns)
        frozenColumns_ = 0;
    frozenHeight_ = 0;
    for (int row = 0; row < frozenRows_; ++row)
        frozenHeight_ += rowPixels(row);
    frozenWidth_ = 0;
    for (int column = 0; column < frozenColumns_; ++column)
        frozenWidth_ += columnPixels_[size_t(column)];
}

int Grid::rowPixels(int row) const
{
    const auto it = std::lower_bound(
        otherRowPixels_.begin(), otherRowPixels_.end(), std::make_pair(row, INT_MIN));
    return it != otherRowPixels_.end() && it->first == row ? it->second : defaultRowPixels_;
}

void Grid::layOutView(QTableView *view, int rowLimit, int columnLimit, int hideRows,
    int hideColumns, int unhideRows, int unhideColumns) const
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
    const int columns = std::min(horizontal->count(), int(columnPixels_.size()));

    for (int row = 0; row < std::min(unhideRows, rows); ++row)
        vertical->setSectionHidden(row, false);
    for (int column = 0; column < std::min(unhideColumns, columns); ++column)
        horizontal->setSectionHidden(column, false);

    if (rowLimit < 0) {
        // Every visible section takes the default; then the exceptions.
        vertical->setDefaultSectionSize(defaultRowPixels_);
        for (int row = 0; row < std::min(unhideRows, rows); ++row)
            vertical->resizeSection(row, rowPixels(row));
        for (const auto &[row, pixels] : otherRowPixels_)
            if (row < rows)
                vertical->resizeSection(row, pixels);
    } else {
        for (int row = 0; row < std::min(rowLimit, rows); ++row)
            vertical->resizeSection(row, rowPixels(row));
    }
    const int columnEnd = columnLimit < 0 ? columns : std::min(columnLimit, columns);
    for (int column = 0; column < columnEnd; ++column)
        horizontal->resizeSection(column, columnPixels_[size_t(column)]);

    for (int row = 0; row < std::min(hideRows, rows); ++row)
        vertical->setSectionHidden(row, true);
    for (int column = 0; column < std::min(hideColumns, columns); ++column)
        horizontal->setSectionHidden(column, true);
    vertical->setUpdatesEnabled(true);
    horizontal->setUpdatesEnabled(true);
}

void Grid::applyLayout()
{
    const int unhideRows = std::max(hiddenRows_, frozenRows_);
    const int unhideColumns = std::max(hiddenColumns_, frozenColumns_);
    layOutView(this, -1, -1, frozenRows_, frozenColumns_, unhideRows, unhideColumns);
    hiddenRows_ = frozenRows_;
    hiddenColumns_ = frozenColumns_;

    const int rows = model_->rowCount();
    const int columns = model_->columnCount();
    applySpans(this, frozenRows_, frozenColumns_, rows, columns);

    attachPane(topPane_, frozenRows_ > 0);
    attachPane(leftPane_, frozenColumns_ > 0);
    attachPane(cornerPane_, frozenRows_ > 0 && frozenColumns_ > 0);
    if (frozenRows_ > 0) {
        layOutView(topPane_, frozenRows_, -1, 0, frozenColumns_, 0, unhideColumns);
        applySpans(topPane_, 0, frozenColumns_, frozenRows_, columns);
    }
    if (frozenColumns_ > 0) {
        layOutView(leftPane_, -1, frozenColumns_, frozenRows_, 0, unhideRows, 0);
        applySpans(leftPane_, frozenRows_, 0, rows, frozenColumns_);
    }
    if (frozenRows_ > 0 && frozenColumns_ > 0) {
        layOutView(cornerPane_, frozenRows_, frozenColumns_, 0, 0, 0, 0);
        applySpans(cornerPane_, 0, 0, frozenRows_, frozenColumns_);
    }
    for (QTableView *pane : {static_cast<QTableView *>(topPane_),
             static_cast<QTableView *>(leftPane_), static_cast<QTableView *>(cornerPane_)})
        if (pane->model() == model_)
            QMetaObject::invokeMethod(pane, "updateGeometries");

    topHeader_->setExtent(frozenHeight_);
    topHeader_->setVisible(frozenRows_ > 0);
    leftHeader_->setExtent(frozenWidth_);
    leftHeader_->setVisible(frozenColumns_ > 0);

    updateGeometries();
    redrawAll();
}

void Grid::attachPane(GridPane *pane, bool attach)
{
    if (attach == (pane->model() == model_))
        return;
    if (!attach) {
        // A pane out of use holds no model, so it costs nothing on a reset.
        pane->setModel(nullptr);
        return;
    }
    pane->setModel(model_);
    QItemSelectionModel *own = pane->selectionModel();
    pane->setSelectionModel(selectionModel());
    if (own && own != selectionModel())
        own->deleteLater();
    // The pane and its headers reset the shared selection on every reset of
    // the model: the grid puts its block back after them, so it hears last.
    disconnect(model_, &QAbstractItemModel::modelReset, this, &Grid::onReset);
    connect(model_, &QAbstractItemModel::modelReset, this, &Grid::onReset);
}

void Grid::applySpans(QTableView *view, int top, int left, int bottom, int right) const
{
    view->clearSpans();
    const DataSource *source = model_->dataSource();
    if (!source)
        return;
    // A merge cut by the frozen edge shows in each part it reaches.
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

void Grid::updateGeometries()
{
    QTableView::updateGeometries();
    const bool corner = frozenRows_ > 0 && frozenColumns_ > 0;
    if (corner) {
        cornerPane_->setGeometry(
            leftHeader_->x(), topHeader_->y(), leftHeader_->width(), topHeader_->height());
        cornerPane_->raise();
    }
    cornerPane_->setVisible(corner);
}

void Grid::redrawAll()
{
    viewport()->update();
    for (GridPane *pane : {topPane_, leftPane_, cornerPane_})
        pane->viewport()->update();
}

GridPane *Grid::headerRowPane() const
{
    return frozenRows_ > 0 ? topPane_ : nullptr;
}

GridPane *Grid::headerColumnPane() const
{
    return frozenColumns_ > 0 ? leftPane_ : nullptr;
}

GridPane *Grid::cornerPane() const
{
    return frozenRows_ > 0 && frozenColumns_ > 0 ? cornerPane_ : nullptr;
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
        {this, topPane_, leftPane_, cornerPane_}, [this] { return pixelsPerUnitX(); }, this);
    connect(resizer_, &GridColumnResizer::widthChosen, this, [this](int column, int width) {
        if (!source_)
            return;
        source_->setColumnWidths(column, 1, width);
        emit columnResizedByUser(column, width);
    });
}

// --- Where cells are ---------------------------------------------------------------
//
// The main view's viewport starts below the frozen rows and right of the
// frozen columns; in its coordinates the panes lie at negative y (rows) and
// negative x (columns). Mapping both ways keeps Qt's mouse and keyboard
// handling of the main view working across the whole grid.

GridPane *Grid::paneFor(const QModelIndex &index) const
{
    if (!index.isValid())
        return nullptr;
    const bool frozenRow = index.row() < frozenRows_;
    const bool frozenColumn = index.column() < frozenColumns_;
    if (frozenRow)
        return frozenColumn ? cornerPane_ : topPane_;
    return frozenColumn ? leftPane_ : nullptr;
}

QModelIndex Grid::indexAt(const QPoint &pos) const
{
    const bool inTop = frozenRows_ > 0 && pos.y() < 0;
    const bool inLeft = frozenColumns_ > 0 && pos.x() < 0;
    if (!inTop && !inLeft)
        return QTableView::indexAt(pos);
    if ((inTop && pos.y() < -frozenHeight_) || (inLeft && pos.x() < -frozenWidth_))
        return {};
    GridPane *pane = inTop ? (inLeft ? cornerPane_ : topPane_) : leftPane_;
    return pane->indexAt(
        QPoint(pos.x() + (inLeft ? frozenWidth_ : 0), pos.y() + (inTop ? frozenHeight_ : 0)));
}

QRect Grid::visualRect(const QModelIndex &index) const
{
    GridPane *pane = paneFor(index);
    if (!pane)
        return QTableView::visualRect(index);
    const QRect rect = pane->visualRect(index);
    const bool left = pane != topPane_;
    const bool top = pane != leftPane_;
    return rect.translated(left ? -frozenWidth_ : 0, top ? -frozenHeight_ : 0);
}

void Grid::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const bool frozenRow = index.row() < frozenRows_;
    const bool frozenColumn = index.column() < frozenColumns_;
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
        QTableView::scrollTo(model_->index(frozenRows_, index.column()), hint);
        verticalScrollBar()->setValue(keep);
    } else {
        const int keep = horizontalScrollBar()->value();
        QTableView::scrollTo(model_->index(index.row(), frozenColumns_), hint);
        horizontalScrollBar()->setValue(keep);
    }
}
