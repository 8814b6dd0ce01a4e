#include "grid/grid_pane.h"

#include <QScrollBar>

GridPane::GridPane(QWidget *grid, QWidget *parent)
    : QTableView(parent)
    , grid_(grid)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // As the grid's, so that equal scroll bar values mean equal offsets.
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
    setAutoScroll(false);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSelectionMode(ContiguousSelection);
    // The grid passes on only the edits it allows (startEdit()); with every
    // trigger set here, a key it passes on reaches the editor.
    setEditTriggers(AllEditTriggers);
    for (QHeaderView *header : {horizontalHeader(), verticalHeader()}) {
        header->hide();
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
}

bool GridPane::startEdit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    gridAsks_ = true;
    const bool opened = edit(index, trigger, event);
    gridAsks_ = false;
    return opened;
}

bool GridPane::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (!gridAsks_)
        return false;
    return QTableView::edit(index, trigger, event);
}

void GridPane::followScrollBars(QScrollBar *horizontal, QScrollBar *vertical)
{
    for (QScrollBar *bar : {followHorizontal_.data(), followVertical_.data()})
        if (bar)
            disconnect(bar, nullptr, this, nullptr);
    followHorizontal_ = horizontal;
    followVertical_ = vertical;
    for (QScrollBar *bar : {horizontal, vertical}) {
        if (!bar)
            continue;
        connect(bar, &QScrollBar::valueChanged, this, &GridPane::syncScrolling);
        connect(bar, &QScrollBar::rangeChanged, this, &GridPane::syncScrolling);
    }
    syncScrolling();
}

void GridPane::syncScrolling()
{
    horizontalScrollBar()->setValue(followHorizontal_ ? followHorizontal_->value() : 0);
    verticalScrollBar()->setValue(followVertical_ ? followVertical_->value() : 0);
}

void GridPane::updateGeometries()
{
    QTableView::updateGeometries();
    // The pane's range may lag the grid's by one layout pass.
    syncScrolling();
}

void GridPane::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Moving on to the next cell is the grid's business, not the pane's.
    if (hint == QAbstractItemDelegate::EditNextItem
        || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::NoHint;
    const bool hadFocus = editor && editor->hasFocus();
    QTableView::closeEditor(editor, hint);
    if (hadFocus && grid_)
        grid_->setFocus();
}

GridFrozenHeader::GridFrozenHeader(Qt::Orientation orientation, QWidget *parent)
    : QHeaderView(orientation, parent)
{
    setMinimumSectionSize(1);
    setSectionResizeMode(QHeaderView::Fixed);
    setSectionsClickable(false);
    setHighlightSections(false);
    setFocusPolicy(Qt::NoFocus);
}

void GridFrozenHeader::setPane(QWidget *pane)
{
    pane_ = pane;
    if (pane_) {
        pane_->setGeometry(rect());
        pane_->raise();
    }
}

void GridFrozenHeader::setExtent(int pixels)
{
    if (pixels == extent_)
        return;
    extent_ = pixels;
    updateGeometry();
}

QSize GridFrozenHeader::sizeHint() const
{
    return orientation() == Qt::Horizontal ? QSize(0, extent_) : QSize(extent_, 0);
}

void GridFrozenHeader::resizeEvent(QResizeEvent *event)
{
    QHeaderView::resizeEvent(event);
    if (pane_)
        pane_->setGeometry(rect());
}
