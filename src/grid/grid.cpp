#include "grid/grid.h"

#include "grid/data_source.h"
#include "grid/grid_clipboard.h"
#include "grid/grid_column_resizer.h"
#include "grid/grid_delegate.h"
#include "grid/grid_model.h"
#include "grid/grid_pane.h"
#include "grid/grid_tooltip.h"

#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QHash>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Raises a flag for the length of a scope.
class FlagScope
{
public:
    explicit FlagScope(bool &flag)
        : flag_(flag)
    {
        flag_ = true;
    }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &flag_;
};

} // namespace

Grid::Grid(QWidget *parent)
    : QTableView(parent)
    , model_(new GridModel(this))
    , topHeader_(new GridFrozenHeader(Qt::Horizontal, this))
    , leftHeader_(new GridFrozenHeader(Qt::Vertical, this))
    , topPane_(nullptr)
    , leftPane_(nullptr)
    , cornerPane_(nullptr)
    , toolTip_(new GridToolTip(this))
{
    setHorizontalHeader(topHeader_);
    setVerticalHeader(leftHeader_);
    topPane_ = new GridPane(this, topHeader_);
    leftPane_ = new GridPane(this, leftHeader_);
    cornerPane_ = new GridPane(this, this);
    topHeader_->setPane(topPane_);
    leftHeader_->setPane(leftPane_);
    topHeader_->hide();
    leftHeader_->hide();
    cornerPane_->hide();
    topPane_->setAccessibleName(QStringLiteral("表头行"));
    leftPane_->setAccessibleName(QStringLiteral("表头列"));
    cornerPane_->setAccessibleName(QStringLiteral("表头"));

    setModel(model_);
    setSelectionMode(ContiguousSelection);
    setSelectionBehavior(SelectItems);
    // Rows scroll a whole row at a time, like a spreadsheet's; columns by the
    // pixel, so that a column wider than the grid can be seen whole.
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
    setShowGrid(false); // the delegate draws the lines, under the borders
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(true);
    setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed);

    for (QTableView *view : {static_cast<QTableView *>(this), static_cast<QTableView *>(topPane_),
             static_cast<QTableView *>(leftPane_), static_cast<QTableView *>(cornerPane_)}) {
        auto *delegate = new GridDelegate(view);
        view->setItemDelegate(delegate);
        delegates_.push_back(delegate);
    }
    for (GridPane *pane : {topPane_, leftPane_, cornerPane_})
        pane->viewport()->installEventFilter(this);
    topPane_->followScrollBars(horizontalScrollBar(), nullptr);
    leftPane_->followScrollBars(nullptr, verticalScrollBar());

    connect(model_, &GridModel::cellEdited, this, &Grid::cellChanged);
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, &Grid::onAboutToReset);
    connect(model_, &QAbstractItemModel::modelReset, this, &Grid::onReset);
    connect(model_, &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex &, int first, int last) { onRowsInserted(first, last); });
    model_->setFontScale(pixelsPerUnitY());
}

Grid::~Grid()
{
    // While the views it watches are whole.
    delete resizer_;
    resizer_ = nullptr;
    disconnect(model_, nullptr, this, nullptr);
}

// --- Binding -----------------------------------------------------------------------

void Grid::setDataSource(DataSource *source)
{
    source_ = source;
    bind();
}

DataSource *Grid::dataSource() const
{
    return source_;
}

void Grid::bind()
{
    FlagScope binding(binding_);
    model_->setDataSource(source_);
}

void Grid::unbind()
{
    if (!isBound())
        return;
    keptBlock_ = selectedBlock();
    commitEdit();
    model_->setDataSource(nullptr);
}

bool Grid::isBound() const
{
    return model_->dataSource() != nullptr;
}

void Grid::onAboutToReset()
{
    if (!binding_ && isBound()) {
        keptBlock_ = selectedBlock();
        const QModelIndex current = currentIndex();
        keptCurrent_ = current.isValid() ? QPoint(current.column(), current.row()) : QPoint(-1, -1);
        keptScroll_ = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    }
    anchor_ = QPersistentModelIndex();
    leftPressActive_ = pressOnCell_ = false;
    // The reset builds the sections at the default size: give them the table's
    // usual row height now rather than resizing 100 000 of them afterwards.
    if (model_->dataSource()) {
        const int pixels = unitsToPixelsY(dominantRowHeight());
        const QSignalBlocker blocker(verticalHeader());
        verticalHeader()->setDefaultSectionSize(pixels);
    }
}

void Grid::onReset()
{
    computeLayout();
    applyLayout();
    const int rows = model_->rowCount();
    const int columns = model_->columnCount();
    if (rows == 0 || columns == 0)
        return;
    if (binding_) {
        placeCursor({1, 1, 1, 1}, model_->index(0, 0));
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        return;
    }
    // The same table with a new layout: keep the user's place.
    CellRange block = keptBlock_;
    block.rows = std::min(block.lastRow(), rows) - block.row + 1;
    block.columns = std::min(block.lastColumn(), columns) - block.column + 1;
    if (block.row < 1 || block.column < 1 || block.rows < 1 || block.columns < 1)
        block = {1, 1, 1, 1};
    QModelIndex current = model_->index(keptCurrent_.y(), keptCurrent_.x());
    if (!current.isValid())
        current = model_->index(block.row - 1, block.column - 1);
    placeCursor(block, current);
    horizontalScrollBar()->setValue(keptScroll_.x());
    verticalScrollBar()->setValue(keptScroll_.y());
}

void Grid::onRowsInserted(int first, int last)
{
    const int oldDefault = defaultRowPixels_;
    const int oldRows = frozenRows_;
    const int oldColumns = frozenColumns_;
    computeLayout();
    if (defaultRowPixels_ != oldDefault || frozenRows_ != oldRows || frozenColumns_ != oldColumns) {
        applyLayout();
        return;
    }
    // New sections come at the default height; only the exceptions need work.
    bool resized = false;
    for (QTableView *view :
        {static_cast<QTableView *>(this), static_cast<QTableView *>(leftPane_)}) {
        if (view->model() != model_)
            continue;
        QHeaderView *header = view->verticalHeader();
        const QSignalBlocker blocker(header);
        header->setUpdatesEnabled(false);
        auto it = std::lower_bound(
            otherRowPixels_.begin(), otherRowPixels_.end(), std::make_pair(first, INT_MIN));
        for (; it != otherRowPixels_.end() && it->first <= last; ++it) {
            header->resizeSection(it->first, it->second);
            resized = true;
        }
        header->setUpdatesEnabled(true);
    }
    if (resized) {
        updateGeometries();
        redrawAll();
    }
}

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

// --- User actions ------------------------------------------------------------------

void Grid::mousePressEvent(QMouseEvent *event)
{
    toolTip_->hide();
    if (event->button() == Qt::RightButton) {
        // The owner's menu, not a new selection.
        event->accept();
        emit rightButtonPressed(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    leftPressActive_ = true;
    blockBeforeGesture_ = selectedBlock();
    pressOnCell_ = index.isValid();
    if (pressOnCell_) {
        lastPressed_ = index;
        FlagScope selecting(mouseSelecting_);
        QTableView::mousePressEvent(event);
    } else {
        // Empty space below or right of the table keeps the cursor where it is.
        event->accept();
    }
    emit leftButtonPressed(
        index.isValid() ? index.row() + 1 : 0, index.isValid() ? index.column() + 1 : 0);
}

void Grid::mouseMoveEvent(QMouseEvent *event)
{
    if ((event->buttons() & Qt::LeftButton) && !(leftPressActive_ && pressOnCell_)) {
        event->accept();
        return;
    }
    FlagScope selecting(mouseSelecting_);
    QTableView::mouseMoveEvent(event);
}

void Grid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit rightButtonReleased(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    if (leftPressActive_ && pressOnCell_) {
        FlagScope selecting(mouseSelecting_);
        QTableView::mouseReleaseEvent(event);
    } else {
        event->accept();
    }
    const bool gesture = leftPressActive_;
    leftPressActive_ = pressOnCell_ = false;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (gesture && isBound() && selectedBlock() != blockBeforeGesture_)
        emit selectionChangedByUser();
    emit leftButtonReleased(
        index.isValid() ? index.row() + 1 : 0, index.isValid() ? index.column() + 1 : 0);
}

void Grid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        // The second press of a quick double click: a press like the first.
        QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
            event->globalPosition(), event->button(), event->buttons(), event->modifiers(),
            event->pointingDevice());
        mousePressEvent(&press);
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || index != QModelIndex(lastPressed_)) {
        QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
            event->globalPosition(), event->button(), event->buttons(), event->modifiers(),
            event->pointingDevice());
        mousePressEvent(&press);
        return;
    }
    toolTip_->hide();
    leftPressActive_ = true;
    pressOnCell_ = true;
    blockBeforeGesture_ = selectedBlock();
    {
        FlagScope selecting(mouseSelecting_);
        QTableView::mouseDoubleClickEvent(event);
    }
    emit leftButtonPressed(index.row() + 1, index.column() + 1);
}

void Grid::keyPressEvent(QKeyEvent *event)
{
    emit keyPressed(event->key(), event->modifiers());
    const CellRange before = selectedBlock();
    const QModelIndex current = currentIndex();
    // Shift+movement extends the block from its anchor (setSelection());
    // other movements start a new block there.
    if (!anchor_.isValid() && (selectionCommand(current, event) & QItemSelectionModel::Current))
        anchor_ = current;
    QTableView::keyPressEvent(event);
    if (isBound() && selectedBlock() != before)
        emit selectionChangedByUser();
}

bool Grid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    GridPane *pane = paneFor(index);
    if (!pane)
        return QTableView::edit(index, trigger, event);
    // A frozen cell is edited where it is seen, in its pane, under this
    // grid's edit triggers.
    if (trigger != AllEditTriggers && !(editTriggers() & trigger))
        return false;
    return pane->startEdit(index, trigger, event);
}

void Grid::commitEdit()
{
    // Called from a cellChanged() handler the edit is being written already.
    if (!model_->isCommittingEdit())
        for (GridDelegate *delegate : delegates_)
            delegate->finishEditing();
    redrawAll();
}

bool Grid::eventFilter(QObject *watched, QEvent *event)
{
    const bool fromPane = watched == topPane_->viewport() || watched == leftPane_->viewport()
        || watched == cornerPane_->viewport();
    if (!fromPane)
        return QTableView::eventFilter(watched, event);
    return forwardFromPane(event);
}

bool Grid::forwardFromPane(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        // The grid selects for all its parts: the press goes to the main view
        // at the same place on screen, which lies outside its viewport.
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPointF local = viewport()->mapFromGlobal(mouse->globalPosition());
        QMouseEvent forwarded(mouse->type(), local, mouse->scenePosition(), mouse->globalPosition(),
            mouse->button(), mouse->buttons(), mouse->modifiers(), mouse->pointingDevice());
        forwarded.setTimestamp(mouse->timestamp());
        QCoreApplication::sendEvent(viewport(), &forwarded);
        event->setAccepted(forwarded.isAccepted());
        return true;
    }
    case QEvent::Wheel:
        wheelEvent(static_cast<QWheelEvent *>(event));
        return true;
    case QEvent::ToolTip:
        showToolTip(static_cast<QHelpEvent *>(event)->globalPos());
        return true;
    default:
        return false;
    }
}

// --- Zoom --------------------------------------------------------------------------

void Grid::setZoom(double percent)
{
    const double zoom = std::clamp(percent, 10.0, 1000.0);
    if (zoom == zoom_)
        return;
    zoom_ = zoom;
    model_->setFontScale(pixelsPerUnitY());
    computeLayout();
    applyLayout();
}

void Grid::zoomToFitWidth()
{
    const DataSource *source = model_->dataSource();
    if (!source)
        return;
    qint64 units = 0;
    for (int column = 1; column <= source->columnCount(); ++column)
        units += source->columnWidth(column);
    if (units <= 0)
        return;
    const double fullWidth = double(units) * logicalDpiX() / 254.0; // at 100 %
    const int clientWidth = viewport()->width() + (frozenColumns_ > 0 ? frozenWidth_ : 0);
    const double ratio = std::floor(clientWidth * 1000.0 / fullWidth) / 1000.0;
    setZoom(std::max(ratio * 100.0, minimumFitZoom));
}

// --- Clipboard ---------------------------------------------------------------------

bool Grid::copyBlock(const CellRange &range)
{
    if (!source_)
        return false;
    const GridBlock block = GridClipboard::readBlock(*source_, range);
    if (block.isEmpty())
        return false;
    QGuiApplication::clipboard()->setMimeData(GridClipboard::toMimeData(block));
    return true;
}

bool Grid::pasteAtCursor()
{
    if (!source_)
        return false;
    const auto block = GridClipboard::fromMimeData(QGuiApplication::clipboard()->mimeData());
    if (!block)
        return false;
    commitEdit();
    const CellRange written
        = GridClipboard::writeBlock(*source_, cursorRow(), cursorColumn(), *block);
    return written.rows > 0 && written.columns > 0;
}

// --- Tooltip -----------------------------------------------------------------------

void Grid::setToolTipText(const QString &text)
{
    toolTip_->setText(text);
    if (!text.isEmpty() && underMouse())
        toolTip_->showAt(QCursor::pos());
}

QString Grid::toolTipText() const
{
    return toolTip_->text();
}

void Grid::setToolTipFont(const QString &family, int pointSize)
{
    QFont font(family);
    if (pointSize > 0)
        font.setPointSize(pointSize);
    toolTip_->setFont(font);
}

QFont Grid::toolTipFont() const
{
    return toolTip_->font();
}

bool Grid::showToolTip(const QPoint &globalPos)
{
    if (toolTip_->text().isEmpty())
        return false;
    toolTip_->showAt(globalPos);
    return true;
}

bool Grid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        // Cells carry no tooltips of their own; the grid has one for all.
        showToolTip(static_cast<QHelpEvent *>(event)->globalPos());
        return true;
    }
    return QTableView::viewportEvent(event);
}

void Grid::leaveEvent(QEvent *event)
{
    toolTip_->hide();
    QTableView::leaveEvent(event);
}
