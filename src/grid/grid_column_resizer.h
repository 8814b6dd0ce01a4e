#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class DataSource;
class QMouseEvent;
class QTableView;

// The user's way to change a column's width, as on a spreadsheet's column
// headings: the border between two cells of a header row (row 1 when the
// table has none) can be dragged, and a double-click on it fits the column to
// its texts. A border inside a merged cell is no border. The mouse shows the
// split cursor over a border.
//
// The resizer watches the viewports of the views that show the grid (the main
// view and its frozen panes) and takes only the mouse events of its own
// gestures; all others go on to the grid. While a border is dragged the views
// follow at once; the new width, in tenths of a millimetre, is reported once
// when the button is released (widthChosen()), so a table that reacts to
// width changes sees one change per drag.
class GridColumnResizer : public QObject
{
    Q_OBJECT

public:
    // `views` share one model; `pixelsPerUnit` gives the pixels of one tenth of
    // a millimetre across at the current zoom.
    GridColumnResizer(std::vector<QTableView *> views, std::function<double()> pixelsPerUnit,
        QObject *parent = nullptr);
    ~GridColumnResizer() override;

    // The width (tenths of a millimetre) that shows every text of the column
    // whole, drawn at `pixelsPerUnit` (across and for the font size alike).
    // Cells of merges wider than the column do not count. 0 when the column
    // holds no text.
    static int fittingWidth(const DataSource &table, int column, double pixelsPerUnit);

signals:
    // The user set a column (1-based) to a width in tenths of a millimetre.
    void widthChosen(int column, int width);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *viewOf(QObject *viewport) const;
    // The 0-based column whose right border is under `pos` in `view`, or -1.
    int borderAt(QTableView *view, const QPoint &pos) const;
    void showSplitCursor(QTableView *view, bool split);
    bool press(QTableView *view, QMouseEvent *event);
    void drag(QMouseEvent *event);
    void release();
    bool fit(QTableView *view, QMouseEvent *event);

    std::vector<QPointer<QTableView>> views_;
    std::function<double()> pixelsPerUnit_;
    QPointer<QTableView> splitShownIn_;

    // The drag in progress (column -1: none).
    int column_ = -1;
    double pressX_ = 0;
    int startPixels_ = 0;
    int lastPixels_ = 0;
    int startUnits_ = 0;
    bool moved_ = false;
    bool swallowRelease_ = false;
};
