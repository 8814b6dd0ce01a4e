#pragma once

#include "grid/grid_frozen_panes.h"
#include "grid/grid_geometry.h"
#include "table/cell_format.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

#include <vector>

class DataSource;
class GridColumnResizer;
class GridDelegate;
class GridModel;
class GridPane;
class GridToolTip;

// The view of a table: shows a DataSource with its formats, merges, borders,
// column widths and row heights, keeps its header rows (and header columns)
// in view while the rest scrolls, and reports what the user does. The owner
// gives it its objectName and accessible name; screen readers read the cells
// through the model.
//
// Header rows are frozen while there are rows below them to scroll (a table of
// its header row alone shows it as a plain row); header columns likewise.
// Qt's own header sections are not shown: the table's header rows are its
// headers, and there are no row numbers.
//
// Rows and columns are 1-based as in DataSource. Lengths in the table are in
// tenths of a millimetre and are drawn at the screen's logical DPI times the
// zoom. Row heights are fixed: nothing is measured from the contents, so a
// table of 100 000 rows binds and scrolls as fast as a small one.
//
// Signals mean user actions: selectionChangedByUser() is raised once per
// finished mouse gesture or key press that changed the selected block, never
// during a drag and never for selections made by code; gestureFinished()
// tells what the gesture was, also when it left the block as it was;
// cellChanged() only for edits typed by the user. A right click leaves the
// selection alone. Ctrl+click puts the cursor on the cell as a click does
// (the owner may read it as a toggle); Shift+click stretches the block from
// its anchor.
//
// Unbound, the grid shows nothing and listens to nothing, so a table can be
// rebuilt without any drawing cost; binding shows its current contents with
// the cursor on cell (1, 1).
class Grid : public QTableView
{
    Q_OBJECT

public:
    explicit Grid(QWidget *parent = nullptr);
    ~Grid() override;

    // What a finished gesture of the user was (gestureFinished()).
    enum class Gesture {
        Click, // press and release on one cell
        ToggleClick, // the same with Ctrl held
        Drag, // the left button held from one cell to another
        Extend, // Shift+click, or Shift with a cursor key: the block stretched
        Step, // a key moved the cursor (arrows, Home/End, PageUp/Down, Tab)
    };

    // --- Binding -------------------------------------------------------------

    // Remembers the table and binds the grid to it (nullptr: shows nothing).
    void setDataSource(DataSource *source);
    DataSource *dataSource() const;
    // Binds the remembered table again; unbind() detaches the view from it.
    void bind();
    // As bind(), but for a table rebuilt in place: the cursor goes back to the
    // top-left cell of the block selected when the grid was unbound (clipped
    // to the table; the block itself is not selected again) and the view
    // scrolls as it was, so the user keeps the place.
    void bindKeepingPlace();
    void unbind();
    bool isBound() const;

    // --- Cursor and selection ------------------------------------------------

    // The top-left cell of the selected block and its extent. While unbound,
    // the block selected when the grid was unbound.
    int cursorRow() const { return selectedBlock().row; }
    int cursorColumn() const { return selectedBlock().column; }
    int selectedRowCount() const { return selectedBlock().rows; }
    int selectedColumnCount() const { return selectedBlock().columns; }
    CellRange selectedBlock() const;

    // Puts the cursor on a cell (its merge, if any) and scrolls it into view.
    // (Not setCursor(): that is QWidget's mouse cursor.)
    void setCursorCell(int row, int column);
    // Selects a range (clipped to the table, widened to the merges it cuts)
    // with the cursor on its top-left cell.
    void selectRange(const CellRange &range);

    // --- Zoom ----------------------------------------------------------------

    // Per cent; fitting may give a fraction. setZoom() keeps 10..1000.
    double zoom() const { return zoom_; }
    void setZoom(double percent);
    // The zoom at which all columns just fill the visible width (the zoom is
    // computed in thousandths), but never below 20 %.
    void zoomToFitWidth();
    static constexpr double minimumFitZoom = 20.0;

    // Pixels of one tenth of a millimetre across and down, zoom included.
    double pixelsPerUnitX() const;
    double pixelsPerUnitY() const;

    // --- Clipboard -----------------------------------------------------------

    // Puts a block of the table on the clipboard as our block format (texts and
    // formats) and as tab-separated text. False when the range holds no cell.
    bool copyBlock(const CellRange &range);
    bool copySelection() { return copyBlock(selectedBlock()); }
    // Pastes the clipboard's block (or plain tab-separated text, texts only)
    // with its top-left cell at the cursor. What falls beyond the table is
    // dropped. False when the clipboard holds nothing we can paste.
    bool pasteAtCursor();

    // --- Editing -------------------------------------------------------------

    // Finishes an open editor (its text goes into the table) and redraws.
    void commitEdit();

    // --- Tooltip -------------------------------------------------------------

    // A plain tooltip shown near the mouse over the grid: at once when the mouse
    // is over the grid, else when it rests there; hidden when the mouse leaves,
    // on the next press and when the text is emptied.
    void setToolTipText(const QString &text);
    QString toolTipText() const;
    void setToolTipFont(const QString &family, int pointSize);
    QFont toolTipFont() const;
    GridToolTip *gridToolTip() const { return toolTip_; }

    // The colour of the thin lines between cells.
    void setGridLineColor(const QColor &color);

    // --- Column widths by the user ------------------------------------------

    // Lets the user drag the border between two cells of a header row (row 1
    // when the table has none) to change a column's width, and double-click
    // it to fit the column to its texts (GridColumnResizer). The new width goes
    // into the table, which lays the grid out again, and columnResizedByUser()
    // is raised. Off by default: columns keep the widths the table gives them.
    void setColumnsResizable(bool resizable);
    bool columnsResizable() const { return resizer_ != nullptr; }

    // --- Overrides of QTableView ---------------------------------------------

    QModelIndex indexAt(const QPoint &pos) const override;
    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    // Typing never jumps the cursor to a cell that starts with the letters
    // typed: in the stock list that would pick issue lines by accident.
    void keyboardSearch(const QString &) override { }

    // The pane showing the frozen header rows (nullptr without them), and the
    // ones for header columns and the corner. For tests and accessibility.
    GridPane *headerRowPane() const;
    GridPane *headerColumnPane() const;
    GridPane *cornerPane() const;

signals:
    // The user changed a cell's text in an editor.
    void cellChanged(int row, int column);
    // The user finished selecting (see above). Not selectionChanged(): a signal
    // of that name would hide QAbstractItemView's slot.
    void selectionChangedByUser();
    // Raised once per finished gesture of the left button that began on a
    // cell, even when the block stayed as it was (a click on the cursor's
    // own cell), and once per key press that changed the block; after
    // selectionChangedByUser() when both are raised.
    void gestureFinished(Grid::Gesture gesture);
    // The cell under the mouse (0, 0 outside the cells). The cursor has
    // already moved when leftButtonPressed() is raised.
    void leftButtonPressed(int row, int column);
    void leftButtonReleased(int row, int column);
    // The cursor (the top-left cell of the selected block) came to another
    // cell, whatever moved it: the mouse, a key, code, or a new binding. Also
    // raised after every reset of the table, where it may stay on its cell.
    void cursorMoved(int row, int column);
    void rightButtonPressed(const QPoint &globalPos);
    void rightButtonReleased(const QPoint &globalPos);
    // Raised before the grid handles the key.
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    // The user set a column (1-based) to a width in tenths of a millimetre;
    // the table holds it already.
    void columnResizedByUser(int column, int width);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex &index, const QEvent *event = nullptr) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void updateGeometries() override;

private:
    void onAboutToReset();
    void keepPlace();
    void onReset();
    void onRowsInserted(int first, int last);
    void computeLayout();
    void applyLayout();
    void placeCursor(const CellRange &block, const QModelIndex &current);
    void noteCursor();
    void redrawAll();

    CellRange widenToMerges(const CellRange &range) const;
    static GridGeometry::Step stepOf(CursorAction action);
    void selectCells(const CellRange &range, QItemSelectionModel::SelectionFlags command);
    bool showToolTip(const QPoint &globalPos);
    bool forwardFromPane(QEvent *event);

    GridModel *model_;
    QPointer<DataSource> source_;
    std::vector<GridDelegate *> delegates_;
    GridFrozenPanes panes_;
    GridToolTip *toolTip_;
    GridColumnResizer *resizer_ = nullptr;

    double zoom_ = 100.0;

    // The layout in pixels at the current zoom.
    GridGeometry::Layout layout_;
    int hiddenRows_ = 0; // header rows hidden in the main view
    int hiddenColumns_ = 0;

    // Kept across a reset of the model that is not a new binding.
    bool binding_ = false;
    bool keepingPlace_ = false; // bindKeepingPlace() under way
    CellRange keptBlock_ {1, 1, 0, 0};
    QPoint keptCurrent_ {-1, -1};
    QPoint keptScroll_;
    QPoint toldCursor_ {-1, -1}; // the cursor last told by cursorMoved()

    // The user's gesture in progress.
    QPersistentModelIndex anchor_; // the fixed corner of a selection being extended
    bool leftPressActive_ = false;
    bool pressOnCell_ = false;
    bool mouseSelecting_ = false;
    CellRange blockBeforeGesture_;
    QPersistentModelIndex lastPressed_;
    Qt::KeyboardModifiers pressModifiers_;
};
