#pragma once

#include <QHeaderView>
#include <QPointer>
#include <QTableView>

class QScrollBar;

// The frozen parts of a grid (its header rows at the top, header columns at
// the left and the corner where they meet) are drawn by panes: table views over
// the grid's model, selection model and cell painting, laid over the room the
// grid reserves for them. A pane scrolls along one axis with the grid, never by
// itself, and hands its mouse events to the grid, which does all selecting.
class GridPane : public QTableView
{
    Q_OBJECT

public:
    // `grid` gets the keyboard focus back when an editor of the pane closes.
    GridPane(QWidget *grid, QWidget *parent);

    // Follows the grid's scroll bars (nullptr: stays at the start).
    void followScrollBars(QScrollBar *horizontal, QScrollBar *vertical);

    // Opens an editor on one of the pane's cells; the grid decides when.
    bool startEdit(const QModelIndex &index, EditTrigger trigger, QEvent *event);

    // Scrolling is the grid's.
    void scrollTo(const QModelIndex &, ScrollHint = EnsureVisible) override { }

protected:
    // A pane shares the grid's selection model, so Qt would open an editor in
    // it whenever the grid's current cell changes (wherever that cell is) and
    // on its own triggers: every edit of a pane goes through startEdit().
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void updateGeometries() override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void syncScrolling();

    QWidget *grid_;
    bool gridAsks_ = false;
    QPointer<QScrollBar> followHorizontal_;
    QPointer<QScrollBar> followVertical_;
};

// The header views of a grid do not show labels: they keep the grid's row and
// column geometry and reserve the room a pane covers (the frozen rows' height
// or the frozen columns' width).
class GridFrozenHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit GridFrozenHeader(Qt::Orientation orientation, QWidget *parent = nullptr);

    // The pane shown over the header, kept at the header's size.
    void setPane(QWidget *pane);
    void setExtent(int pixels);
    int extent() const { return extent_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override { }
    void resizeEvent(QResizeEvent *event) override;

private:
    int extent_ = 0;
    QWidget *pane_ = nullptr;
};
