#pragma once

#include "grid/grid_geometry.h"

#include <QModelIndex>
#include <QRect>

#include <array>
#include <optional>

class DataSource;
class GridFrozenHeader;
class GridPane;
class QObject;
class QTableView;

// The frozen parts of a grid: the header rows at the top, the header columns
// at the left and the corner where they meet, each drawn by a pane (GridPane)
// laid over the room that the grid's header views reserve for it.
//
// The panes belong to this class (as children of the grid's widgets). It lays
// them out from the grid's Layout, gives them the merges that reach into them,
// and maps cells and points between them and the main view: the main view's
// viewport starts below the frozen rows and right of the frozen columns, so in
// its coordinates the panes lie at negative y (rows) and negative x (columns).
// Mapping both ways keeps Qt's mouse and keyboard handling of the main view
// working across the whole grid. Rows and columns here are 0-based, as the
// model's.
class GridFrozenPanes
{
public:
    // Installs the header views on `grid` and makes the panes; `grid` gets the
    // keyboard focus back from a pane's editor.
    explicit GridFrozenPanes(QTableView *grid);

    GridPane *top() const { return top_; }
    GridPane *left() const { return left_; }
    GridPane *corner() const { return corner_; }
    std::array<GridPane *, 3> all() const { return {top_, left_, corner_}; }
    bool isPaneViewport(const QObject *object) const;

    // The panes in use (nullptr for one that is not).
    GridPane *rowPane() const;
    GridPane *columnPane() const;
    GridPane *cornerPane() const;

    // Shows the panes the layout freezes, over the grid's model and selection
    // model, and lays them out; `unhideColumns` and `unhideRows` are the
    // sections the main view hid before. True when a pane took the model
    // anew: it resets the shared selection on each reset of the model from
    // then on.
    bool apply(const GridGeometry::Layout &layout, const DataSource *source, int unhideRows,
        int unhideColumns);
    // Keeps the corner pane over the corner the header views leave.
    void placeCorner();
    void redraw();

    // The pane that shows a cell, nullptr for the main view.
    GridPane *paneFor(const QModelIndex &index) const;
    // The cell at a point of the main view's viewport that lies in a pane (an
    // invalid index past the panes' cells); nullopt at a point of the main view.
    std::optional<QModelIndex> indexAt(const QPoint &pos) const;
    // Where a frozen cell is, in the main view's viewport; nullopt for a cell
    // of the main view.
    std::optional<QRect> visualRect(const QModelIndex &index) const;

    // Sets the sections of a view of the grid to the layout: rows below
    // `rowLimit` (all when negative, the default height then first) and
    // columns below `columnLimit` (all when negative) sized; the first
    // `hideRows` and `hideColumns` hidden after the first `unhideRows` and
    // `unhideColumns` were shown again.
    static void layOutView(QTableView *view, const GridGeometry::Layout &layout, int rowLimit,
        int columnLimit, int hideRows, int hideColumns, int unhideRows, int unhideColumns);
    // The spans of a view over the cells [top, bottom) x [left, right): a
    // merge cut by the frozen edge shows in each part it reaches.
    static void applySpans(
        QTableView *view, const DataSource *source, int top, int left, int bottom, int right);

private:
    bool attach(GridPane *pane, bool attach);

    QTableView *grid_;
    GridFrozenHeader *topHeader_;
    GridFrozenHeader *leftHeader_;
    GridPane *top_ = nullptr;
    GridPane *left_ = nullptr;
    GridPane *corner_ = nullptr;
    int frozenRows_ = 0;
    int frozenColumns_ = 0;
    int frozenHeight_ = 0;
    int frozenWidth_ = 0;
};
