// Column widths as the user sets them with the mouse, in the table editor and
// in the print window: the border between two header cells is dragged, or
// double-clicked to fit the column to its texts.

#include "tableeditor/editor_window_fixture.h"

#include "common/gbk.h"
#include "grid/grid_pane.h"
#include "support/qt_print.h"

#include <QCursor>
#include <QMouseEvent>
#include <QScrollBar>

namespace {

class ColumnDragTest : public EditorWindowFixture
{
protected:
    // The right border of a cell as the user sees it: the widget under the
    // mouse there and the point in it. Taken from the column's place, so
    // that a merged cell shows where its inner borders would be.
    static std::pair<QWidget *, QPoint> border(QWidget *window, Grid *grid, int row, int column)
    {
        QTableView *view = grid;
        if (GridPane *pane = grid->headerRowPane(); pane && row <= grid->dataSource()->headerRows())
            view = pane;
        // The table's right edge may lie just past the visible part.
        const int x
            = std::min(view->columnViewportPosition(column - 1) + view->columnWidth(column - 1),
                view->viewport()->width() - 1);
        const QPoint inView(x, view->rowViewportPosition(row - 1) + view->rowHeight(row - 1) / 2);
        return spot(window, view->viewport()->mapTo(window, inView));
    }

    // The mouse comes to rest over a point. QTest moves it through the
    // platform's cursor, and the offscreen platform gives such a move to the
    // first window there rather than the one in front: the move goes to the
    // widget under the mouse as the window system would send it.
    static void hover(QWidget *widget, const QPoint &at)
    {
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
            Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

    static void drag(QWidget *widget, const QPoint &from, int by)
    {
        hover(widget, from);
        QTest::mousePress(widget, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(widget, from + QPoint(by * step / 4, 0));
        QTest::mouseRelease(widget, Qt::LeftButton, {}, from + QPoint(by, 0));
    }

    // The widest text of a column in the font the grid draws it with.
    static int widestText(Grid *grid, int column, int fromRow)
    {
        int widest = 0;
        for (int row = fromRow; row <= grid->model()->rowCount(); ++row) {
            const QModelIndex index = grid->model()->index(row - 1, column - 1);
            const QFontMetrics metrics(index.data(Qt::FontRole).value<QFont>());
            widest = std::max(widest, metrics.horizontalAdvance(index.data().toString()));
        }
        return widest;
    }
};

TEST_F(ColumnDragTest, TheEditorsFieldNameBordersResizeTheirColumns)
{
    const auto w = openEditor();
    Grid *grid = w->grid();
    DataSource &table = w->table();
    ASSERT_NE(grid->headerRowPane(), nullptr);
    grid->setCursorCell(3, 3);
    const double perUnit = grid->pixelsPerUnitX();

    auto [target, at] = border(w.get(), grid, 1, 1);
    ASSERT_EQ(target, grid->headerRowPane()->viewport()) << "row 1 is the frozen header";
    hover(target, at);
    EXPECT_EQ(target->cursor().shape(), Qt::SplitHCursor);
    hover(target, at - QPoint(20, 0));
    EXPECT_NE(target->cursor().shape(), Qt::SplitHCursor);

    const int before = table.columnWidth(1);
    const int pixels = grid->columnWidth(0);
    QTest::mousePress(target, Qt::LeftButton, {}, at);
    QTest::mouseMove(target, at + QPoint(40, 0));
    QTest::mouseMove(target, at + QPoint(80, 0));
    EXPECT_EQ(grid->columnWidth(0), pixels + 80) << "the grid follows the mouse";
    EXPECT_EQ(table.columnWidth(1), before) << "the table learns the width on release";
    QTest::mouseRelease(target, Qt::LeftButton, {}, at + QPoint(80, 0));
    EXPECT_EQ(table.columnWidth(1), before + qRound(80 / perUnit));
    EXPECT_EQ(grid->selectedBlock(), (CellRange {3, 3, 1, 1})) << "a border drag selects nothing";

    // Narrower: the second column's border, now further right.
    std::tie(target, at) = border(w.get(), grid, 1, 2);
    drag(target, at, -60);
    EXPECT_EQ(table.columnWidth(2), 320 - qRound(60 / perUnit));

    // The same place in a data row is a cell like any other.
    std::tie(target, at) = border(w.get(), grid, 3, 3);
    drag(target, at, 50);
    EXPECT_EQ(table.columnWidth(3), 320);
    EXPECT_EQ(grid->selectedBlock().row, 3);
}

TEST_F(ColumnDragTest, ADoubleClickFitsTheColumnToItsTexts)
{
    const auto w = openEditor();
    Grid *grid = w->grid();
    const int columns = w->table().columnCount();

    // The date column at the far right, then the name column.
    grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
    for (const int column : {7, 1}) {
        if (column == 1)
            grid->horizontalScrollBar()->setValue(0);
        auto [target, at] = border(w.get(), grid, 1, column);
        QTest::mouseDClick(target, Qt::LeftButton, {}, at);
        const int widest = widestText(grid, column, 1);
        EXPECT_GE(grid->columnWidth(column - 1), widest + 9) << column;
        EXPECT_LE(grid->columnWidth(column - 1), widest + 14) << column;
    }
    EXPECT_EQ(w->table().columnCount(), columns);
    EXPECT_EQ(grid->selectedBlock(), (CellRange {1, 1, 1, 1}));
}

TEST_F(ColumnDragTest, ThePrintWindowLaysThePageOutAgainAfterEveryDrag)
{
    const auto w = openEditor();
    PrintSetupWindow *print = generate(w.get());
    ASSERT_NE(print, nullptr);
    EXPECT_TRUE(activated(print));
    Grid *grid = print->grid();
    DataSource &table = print->table();
    const PageSetup &kept = editorState.printSetup.pageSetup;
    const double perUnit = grid->pixelsPerUnitX();
    // A4 is 2100 across, 2970 turned; the margins are at most 150.
    const auto centred = [&](int paperWidth) {
        return std::min((paperWidth - PrintableTable::totalWidth(table)) / 2, 150);
    };
    // The booking times make the table wider than a portrait page.
    const int total = PrintableTable::totalWidth(table);
    ASSERT_GT(total, 1960);
    ASSERT_EQ(table.pageSetup().orientation, 1);

    // The title rows are merged across: no border to grab there.
    auto [target, at] = border(print, grid, 1, 2);
    hover(target, at);
    EXPECT_NE(target->cursor().shape(), Qt::SplitHCursor);

    // Narrower than 1960: portrait, centred.
    std::tie(target, at) = border(print, grid, 3, 2);
    hover(target, at);
    EXPECT_EQ(target->cursor().shape(), Qt::SplitHCursor);
    drag(target, at, -qRound((total - 1900) * perUnit));
    EXPECT_LT(PrintableTable::totalWidth(table), 1960);
    EXPECT_EQ(table.pageSetup().orientation, 0);
    EXPECT_EQ(table.pageSetup().leftMargin, centred(2100));
    EXPECT_EQ(table.pageSetup().rightMargin, centred(2100));
    EXPECT_EQ(kept, table.pageSetup()) << "the run's record follows";

    // Wider again: landscape.
    std::tie(target, at) = border(print, grid, 3, 2);
    drag(target, at, qRound(150 * perUnit));
    EXPECT_GT(PrintableTable::totalWidth(table), 1960);
    EXPECT_EQ(table.pageSetup().orientation, 1);
    EXPECT_EQ(table.pageSetup().leftMargin, centred(2970));

    // The dates and the models narrowed to nothing: the footer no longer fits
    // on its line and gives up blanks.
    const QString footer = table.text(table.rowCount(), 1);
    grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
    std::tie(target, at) = border(print, grid, 3, 7);
    drag(target, at, -2000);
    EXPECT_EQ(table.columnWidth(7), 0);
    grid->horizontalScrollBar()->setValue(0);
    std::tie(target, at) = border(print, grid, 3, 2);
    drag(target, at, -2000);
    EXPECT_EQ(table.columnWidth(2), 0);
    EXPECT_LT(PrintableTable::totalWidth(table) * 2 / 32, Gbk::byteLength(footer));
    EXPECT_LT(table.text(table.rowCount(), 1).size(), footer.size());
    EXPECT_EQ(table.pageSetup().orientation, 0);

    // A double-click brings the dates back, as wide as they need.
    std::tie(target, at) = border(print, grid, 3, 7);
    QTest::mouseDClick(target, Qt::LeftButton, {}, at);
    const int widest = widestText(grid, 7, 3);
    EXPECT_GE(grid->columnWidth(6), widest + 9);
    EXPECT_LE(grid->columnWidth(6), widest + 14);
    EXPECT_EQ(kept, table.pageSetup());
    EXPECT_EQ(table.pageSetup().leftMargin, centred(2100));
}

} // namespace
