#include "grid/grid.h"

#include "grid/grid_clipboard.h"
#include "grid/grid_column_resizer.h"
#include "grid/grid_delegate.h"
#include "grid/grid_model.h"
#include "grid/grid_pane.h"
#include "grid/grid_tooltip.h"
#include "table/data_source.h"

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
    , panes_(this)
    , toolTip_(new GridToolTip(this))
{
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

    std::vector<QTableView *> views {this};
    for (GridPane *pane : panes_.all()) {
        views.push_back(pane);
        pane->viewport()->installEventFilter(this);
    }
    for (QTableView *view : views) {
        auto *delegate = new GridDelegate(view);
        view->setItemDelegate(delegate);
        delegates_.push_back(delegate);
    }
    panes_.top()->followScrollBars(horizontalScrollBar(), nullptr);
    panes_.left()->followScrollBars(nullptr, verticalScrollBar());

    connect(model_, &GridModel::cellEdited, this, &Grid::cellChanged);
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, &Grid::onAboutToReset);
    connect(model_, &QAbstractItemModel::modelReset, this, &Grid::onReset);
    connect(model_, &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex &, int first, int last) { onRowsInserted(first, last); });
    model_->setFontScale(pixelsPerUnitY());
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &Grid::noteCursor);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &Grid::noteCursor);
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

void Grid::bindKeepingPlace()
{
    if (isBound())
        return;
    keptBlock_ = {keptBlock_.row, keptBlock_.column, 1, 1};
    keptCurrent_ = {-1, -1};
    // Not a new binding: the reset keeps the place unbind() took (onReset()).
    FlagScope keeping(keepingPlace_);
    model_->setDataSource(source_);
}

void Grid::unbind()
{
    if (!isBound())
        return;
    keepPlace();
    commitEdit();
    model_->setDataSource(nullptr);
}

bool Grid::isBound() const
{
    return model_->dataSource() != nullptr;
}

void Grid::onAboutToReset()
{
    if (!binding_ && !keepingPlace_ && isBound())
        keepPlace();
    anchor_ = QPersistentModelIndex();
    leftPressActive_ = pressOnCell_ = false;
    // The cells may hold other things after the reset: the cursor is told
    // again even where it stays.
    toldCursor_ = {-1, -1};
    // The reset builds the sections at the default size: give them the table's
    // usual row height now rather than resizing 100 000 of them afterwards.
    if (const DataSource *source = model_->dataSource()) {
        const int pixels
            = GridGeometry::toPixels(GridGeometry::dominantRowHeight(*source), pixelsPerUnitY());
        const QSignalBlocker blocker(verticalHeader());
        verticalHeader()->setDefaultSectionSize(pixels);
    }
}

void Grid::keepPlace()
{
    keptBlock_ = selectedBlock();
    const QModelIndex current = currentIndex();
    keptCurrent_ = current.isValid() ? QPoint(current.column(), current.row()) : QPoint(-1, -1);
    keptScroll_ = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
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

void Grid::noteCursor()
{
    if (!isBound())
        return;
    const CellRange block = selectedBlock();
    const QPoint cell(block.column, block.row);
    if (block.rows < 1 || cell == toldCursor_)
        return;
    toldCursor_ = cell;
    emit cursorMoved(block.row, block.column);
}

void Grid::onRowsInserted(int first, int last)
{
    const GridGeometry::Layout old = layout_;
    computeLayout();
    if (layout_.defaultRowPixels != old.defaultRowPixels || layout_.frozenRows != old.frozenRows
        || layout_.frozenColumns != old.frozenColumns) {
        applyLayout();
        return;
    }
    // New sections come at the default height; only the exceptions need work.
    bool resized = false;
    for (QTableView *view :
        {static_cast<QTableView *>(this), static_cast<QTableView *>(panes_.left())}) {
        if (view->model() != model_)
            continue;
        QHeaderView *header = view->verticalHeader();
        const QSignalBlocker blocker(header);
        header->setUpdatesEnabled(false);
        const auto &others = layout_.otherRowPixels;
        auto it = std::lower_bound(others.begin(), others.end(), std::make_pair(first, INT_MIN));
        for (; it != others.end() && it->first <= last; ++it) {
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
        pressModifiers_ = event->modifiers();
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
    const bool onCell = pressOnCell_;
    leftPressActive_ = pressOnCell_ = false;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (gesture && isBound() && selectedBlock() != blockBeforeGesture_)
        emit selectionChangedByUser();
    if (gesture && onCell && isBound()) {
        Gesture kind = Gesture::Click;
        if (pressModifiers_ & Qt::ShiftModifier)
            kind = Gesture::Extend;
        else if (index != QModelIndex(lastPressed_))
            kind = Gesture::Drag;
        else if (pressModifiers_ & Qt::ControlModifier)
            kind = Gesture::ToggleClick;
        emit gestureFinished(kind);
    }
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
    pressModifiers_ = event->modifiers();
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
    if (!isBound() || selectedBlock() == before)
        return;
    emit selectionChangedByUser();
    // Shift+Tab steps back; Shift with any other cursor key stretches.
    const bool stretching = (event->modifiers() & Qt::ShiftModifier)
        && event->key() != Qt::Key_Backtab && event->key() != Qt::Key_Tab;
    emit gestureFinished(stretching ? Gesture::Extend : Gesture::Step);
}

bool Grid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    GridPane *pane = panes_.paneFor(index);
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
    if (!panes_.isPaneViewport(watched))
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
    const int clientWidth = viewport()->width() + layout_.frozenWidth;
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
