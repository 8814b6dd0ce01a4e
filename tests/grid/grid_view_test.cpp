#include "grid/grid.h"
#include "grid/grid_pane.h"
#include "grid/grid_tooltip.h"
#include "support/cell_texts.h"
#include "table/data_source.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// A grid on screen (the offscreen one) over a table of "r,c" texts.
class GridView : public testing::Test
{
protected:
    void SetUp() override
    {
        makeTable(table, 40, 7);
        grid.resize(700, 400);
        grid.setDataSource(&table);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }

    static void makeTable(DataSource &t, int rows, int columns)
    {
        t.setSize(rows, columns);
        for (int r = 1; r <= rows; ++r)
            for (int c = 1; c <= columns; ++c)
                t.setText(r, c, QStringLiteral("%1,%2").arg(r).arg(c));
    }

    // Where a cell is on screen: the widget that shows it and a point in it.
    std::pair<QWidget *, QPoint> spot(Grid &g, int row, int column)
    {
        const QPoint inViewport = g.visualRect(g.model()->index(row - 1, column - 1)).center();
        const QPoint global = g.viewport()->mapToGlobal(inViewport);
        for (GridPane *pane : {g.cornerPane(), g.headerRowPane(), g.headerColumnPane()}) {
            if (!pane)
                continue;
            const QPoint local = pane->viewport()->mapFromGlobal(global);
            if (pane->viewport()->rect().contains(local))
                return {pane->viewport(), local};
        }
        return {g.viewport(), inViewport};
    }
    std::pair<QWidget *, QPoint> spot(int row, int column) { return spot(grid, row, column); }

    void press(int row, int column, Qt::MouseButton button = Qt::LeftButton,
        Qt::KeyboardModifiers modifiers = {})
    {
        const auto [widget, point] = spot(row, column);
        QTest::mousePress(widget, button, modifiers, point);
    }
    void release(int row, int column, Qt::MouseButton button = Qt::LeftButton)
    {
        const auto [widget, point] = spot(row, column);
        QTest::mouseRelease(widget, button, {}, point);
    }
    void click(int row, int column, Qt::MouseButton button = Qt::LeftButton)
    {
        press(row, column, button);
        release(row, column, button);
    }

    CellRange block() const { return grid.selectedBlock(); }

    DataSource table;
    Grid grid;
};

TEST_F(GridView, ADragRaisesOneSelectionChangeWhenTheButtonIsReleased)
{
    QSignalSpy changed(&grid, &Grid::selectionChangedByUser);
    const auto [viewport, start] = spot(2, 1);
    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    for (int row = 3; row <= 10; ++row) {
        QTest::mouseMove(viewport, spot(row, 1).second);
        EXPECT_EQ(changed.size(), 0) << "during the drag, at row " << row;
    }
    EXPECT_EQ(block(), (CellRange {2, 1, 9, 1})); // the selection follows the mouse
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, spot(10, 1).second);

    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(grid.cursorRow(), 2);
    EXPECT_EQ(grid.cursorColumn(), 1);
    EXPECT_EQ(grid.selectedRowCount(), 9);
    EXPECT_EQ(grid.selectedColumnCount(), 1);

    // Clicking the cell that is already alone in the selection changes nothing.
    click(5, 3);
    EXPECT_EQ(changed.size(), 2);
    click(5, 3);
    EXPECT_EQ(changed.size(), 2);

    // Shift+click extends from the cell clicked before.
    press(7, 4, Qt::LeftButton, Qt::ShiftModifier);
    release(7, 4);
    EXPECT_EQ(changed.size(), 3);
    EXPECT_EQ(block(), (CellRange {5, 3, 3, 2}));
}

TEST_F(GridView, SelectionsMadeByCodeRaiseNothing)
{
    QSignalSpy changed(&grid, &Grid::selectionChangedByUser);
    grid.setCursorCell(5, 2);
    EXPECT_EQ(block(), (CellRange {5, 2, 1, 1}));
    grid.selectRange({3, 2, 4, 3});
    EXPECT_EQ(block(), (CellRange {3, 2, 4, 3}));
    // Clipped to the table.
    grid.selectRange({38, 6, 10, 10});
    EXPECT_EQ(block(), (CellRange {38, 6, 3, 2}));
    // A layout change keeps the block; binding again starts at (1, 1).
    table.setColumnWidths(1, 7, 300);
    EXPECT_EQ(block(), (CellRange {38, 6, 3, 2}));
    grid.bind();
    EXPECT_EQ(block(), (CellRange {1, 1, 1, 1}));
    EXPECT_EQ(changed.size(), 0);
}

TEST_F(GridView, ARightClickKeepsTheSelectionAndReportsWhereItHappened)
{
    grid.selectRange({3, 2, 4, 2});
    QSignalSpy changed(&grid, &Grid::selectionChangedByUser);
    QSignalSpy pressed(&grid, &Grid::rightButtonPressed);
    QSignalSpy released(&grid, &Grid::rightButtonReleased);
    QSignalSpy leftPressed(&grid, &Grid::leftButtonPressed);

    click(12, 6, Qt::RightButton);

    EXPECT_EQ(block(), (CellRange {3, 2, 4, 2}));
    EXPECT_EQ(changed.size(), 0);
    EXPECT_EQ(leftPressed.size(), 0);
    ASSERT_EQ(pressed.size(), 1);
    ASSERT_EQ(released.size(), 1);
    const auto [viewport, point] = spot(12, 6);
    EXPECT_EQ(pressed[0][0].toPoint(), viewport->mapToGlobal(point));
}

TEST_F(GridView, TheCursorHasMovedWhenLeftButtonPressedIsRaised)
{
    QList<QPoint> seen;
    QList<QPoint> reported;
    QObject::connect(&grid, &Grid::leftButtonPressed, [&](int row, int column) {
        seen.append({grid.cursorColumn(), grid.cursorRow()});
        reported.append({column, row});
    });
    QSignalSpy released(&grid, &Grid::leftButtonReleased);
    click(7, 3);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0], QPoint(3, 7));
    EXPECT_EQ(reported[0], QPoint(3, 7));
    ASSERT_EQ(released.size(), 1);
    EXPECT_EQ(released[0][0].toInt(), 7);
}

TEST_F(GridView, KeysMoveAndShiftKeysExtendWithOneChangePerKey)
{
    grid.setCursorCell(2, 1);
    QSignalSpy changed(&grid, &Grid::selectionChangedByUser);
    QSignalSpy keys(&grid, &Grid::keyPressed);

    for (int i = 1; i <= 3; ++i) {
        QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
        EXPECT_EQ(changed.size(), i);
    }
    EXPECT_EQ(block(), (CellRange {2, 1, 4, 1}));
    QTest::keyClick(&grid, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(block(), (CellRange {2, 1, 4, 2}));
    QTest::keyClick(&grid, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(block(), (CellRange {2, 1, 3, 2}));
    EXPECT_EQ(changed.size(), 5);

    // A plain arrow moves a one-cell cursor on from the moving corner.
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(block(), (CellRange {5, 2, 1, 1}));
    EXPECT_EQ(changed.size(), 6);

    // A key that changes nothing raises nothing but keyPressed.
    grid.setCursorCell(1, 1);
    keys.clear();
    QTest::keyClick(&grid, Qt::Key_Up);
    QTest::keyClick(&grid, Qt::Key_Left);
    EXPECT_EQ(changed.size(), 6);
    ASSERT_EQ(keys.size(), 2);
    EXPECT_EQ(keys[1][0].toInt(), int(Qt::Key_Left));
    // Ctrl+C comes as the key code 67 with the Ctrl bit (after the Ctrl key itself).
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(keys.last()[0].toInt(), 67);
    EXPECT_EQ(qvariant_cast<Qt::KeyboardModifiers>(keys.last()[1]), Qt::ControlModifier);
}

TEST_F(GridView, PageKeysMoveByWhatTheGridShowsAndStopAtTheEnds)
{
    grid.setCursorCell(2, 3);
    const int page = std::max(1, grid.viewport()->height() / grid.rowHeight(1));
    ASSERT_LT(2 + 2 * page, 40) << "the table is longer than two pages";
    QSignalSpy changed(&grid, &Grid::selectionChangedByUser);
    QTest::keyClick(&grid, Qt::Key_PageDown);
    EXPECT_EQ(block(), (CellRange {2 + page, 3, 1, 1}));
    QTest::keyClick(&grid, Qt::Key_PageDown);
    EXPECT_EQ(block(), (CellRange {2 + 2 * page, 3, 1, 1}));
    QTest::keyClick(&grid, Qt::Key_PageUp);
    EXPECT_EQ(block(), (CellRange {2 + page, 3, 1, 1}));
    EXPECT_EQ(changed.size(), 3);
    for (int i = 0; i < 40 / page + 1; ++i)
        QTest::keyClick(&grid, Qt::Key_PageDown);
    EXPECT_EQ(block(), (CellRange {40, 3, 1, 1}));
    for (int i = 0; i < 40 / page + 1; ++i)
        QTest::keyClick(&grid, Qt::Key_PageUp);
    EXPECT_EQ(block(), (CellRange {1, 3, 1, 1}));
}

TEST_F(GridView, OnlyTheUsersEditsRaiseCellChanged)
{
    QSignalSpy changed(&grid, &Grid::cellChanged);
    table.setText(3, 3, QStringLiteral("by code"));
    EXPECT_EQ(changed.size(), 0);

    grid.setCursorCell(4, 2);
    QTest::keyClick(&grid, Qt::Key_F2);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("4,2"));
    editor->setText(QStringLiteral("12.5"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the editor commits after handling the key

    EXPECT_EQ(table.text(4, 2), QStringLiteral("12.5"));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toInt(), 4);
    EXPECT_EQ(changed[0][1].toInt(), 2);

    // commitEdit() finishes an editor still open, typing starts one.
    grid.setCursorCell(6, 1);
    QTest::keyClicks(&grid, QStringLiteral("7"));
    editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("5"));
    grid.commitEdit();
    EXPECT_EQ(table.text(6, 1), QStringLiteral("75"));
    EXPECT_EQ(changed.size(), 2);
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(GridView, HeaderRowsStayInViewAndWorkLikeOtherCells)
{
    table.setColumnWidths(1, 7, 400);
    table.setHeaderRows(1);
    table.setRowHeights(1, 1, 100);
    ASSERT_NE(grid.headerRowPane(), nullptr);
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
    ASSERT_GT(grid.horizontalScrollBar()->value(), 0) << "the table is wider than the grid";

    // The header row is drawn above the scrolled rows, with the grid's
    // horizontal scroll position.
    GridPane *pane = grid.headerRowPane();
    EXPECT_EQ(pane->horizontalScrollBar()->value(), grid.horizontalScrollBar()->value());
    EXPECT_EQ(pane->height(), qRound(100 * grid.pixelsPerUnitY()));
    const QRect header = grid.visualRect(grid.model()->index(0, 6));
    EXPECT_LT(header.bottom(), 0);
    EXPECT_GE(
        pane->viewport()->mapFromGlobal(grid.viewport()->mapToGlobal(header.center())).y(), 0);
    EXPECT_EQ(grid.indexAt(header.center()), grid.model()->index(0, 6));

    // Clicking it selects the header cell, however far down the grid is.
    QSignalSpy changed(&grid, &Grid::selectionChangedByUser);
    click(1, 7);
    EXPECT_EQ(block(), (CellRange {1, 7, 1, 1}));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(grid.verticalScrollBar()->value(), grid.verticalScrollBar()->maximum());

    // Dragging from the header down into the rows selects across both.
    grid.verticalScrollBar()->setValue(0);
    const auto [headerViewport, from] = spot(1, 6);
    QTest::mousePress(headerViewport, Qt::LeftButton, {}, from);
    const auto [rows, to] = spot(4, 7);
    const QPoint toInHeader = headerViewport->mapFromGlobal(rows->mapToGlobal(to));
    QTest::mouseMove(headerViewport, toInHeader);
    QTest::mouseRelease(headerViewport, Qt::LeftButton, {}, toInHeader);
    EXPECT_EQ(block(), (CellRange {1, 6, 4, 2}));
    EXPECT_EQ(changed.size(), 2);

    // The keyboard walks from the first row into the header and back.
    grid.setCursorCell(2, 3);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(block(), (CellRange {1, 3, 1, 1}));
    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_EQ(block(), (CellRange {1, 4, 1, 1}));
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(block(), (CellRange {2, 4, 1, 1}));

    // A header cell is edited in place.
    QSignalSpy edited(&grid, &Grid::cellChanged);
    grid.setCursorCell(1, 2);
    QTest::keyClick(&grid, Qt::Key_F2);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->parentWidget(), pane->viewport());
    editor->setText(QStringLiteral("规格型号"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(table.text(1, 2), QStringLiteral("规格型号"));
    EXPECT_EQ(edited.size(), 1);
    EXPECT_TRUE(grid.hasFocus()); // back from the pane's editor

    // And by a double click, which presses like a click first.
    click(1, 3);
    const auto [where, point] = spot(1, 3);
    QTest::mouseDClick(where, Qt::LeftButton, {}, point);
    editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("1,3"));
    grid.commitEdit();
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(GridView, AReadOnlyGridNeverOpensAnEditorAndKeepsTheKeyboard)
{
    table.setHeaderRows(1);
    grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid.bind(); // as a refresh does: the cursor on (1, 1), in the header pane
    ASSERT_NE(grid.headerRowPane(), nullptr);
    grid.setFocus();
    QSignalSpy changed(&grid, &Grid::selectionChangedByUser);
    click(5, 3);
    QWidget *focus = QApplication::focusWidget();
    ASSERT_EQ(focus, &grid) << "a click leaves the keyboard with the grid";
    QTest::keyClicks(focus, QStringLiteral("777"));
    QTest::keyClick(focus, Qt::Key_Return);
    QTest::keyClick(focus, Qt::Key_F2);
    const auto [where, point] = spot(5, 3);
    QTest::mouseDClick(where, Qt::LeftButton, {}, point);
    EXPECT_EQ(QApplication::focusWidget(), &grid) << "no editor took the keyboard";
    EXPECT_TRUE(grid.findChildren<QLineEdit *>().isEmpty());
    EXPECT_EQ(table.text(5, 3), QStringLiteral("5,3"));
    EXPECT_EQ(table.text(1, 3), QStringLiteral("1,3"));
    // The keys move and extend the selection instead.
    changed.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(block(), (CellRange {5, 3, 2, 1}));
    EXPECT_EQ(changed.size(), 1);
}

TEST_F(GridView, AnEditableGridEditsTheCellTheUserSeesUnderItsOwnTriggers)
{
    table.setHeaderRows(1);
    grid.bind();
    grid.setFocus();
    // Moving the cursor, into the header row too, opens nothing by itself.
    click(5, 3);
    grid.setCursorCell(1, 2);
    click(5, 3);
    EXPECT_EQ(QApplication::focusWidget(), &grid);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr) << "typing opens an editor";
    EXPECT_EQ(editor->parentWidget(), grid.viewport());
    EXPECT_TRUE(grid.visualRect(grid.model()->index(4, 2)).contains(editor->geometry().center()));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(hasCellTexts(table, {{5, 3, u"x"}, {1, 3, u"1,3"}, {1, 1, u"1,1"}}));

    // A header cell is typed into in its pane, where it is seen.
    click(1, 2);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("y"));
    editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->parentWidget(), grid.headerRowPane()->viewport());
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(table.text(1, 2), QStringLiteral("y"));
    EXPECT_EQ(QApplication::focusWidget(), &grid);
}

TEST_F(GridView, HeaderRowsFreezeOnlyWhileThereIsSomethingToScroll)
{
    // A table of its header row alone shows it in the grid itself.
    table.setSize(1, 7);
    table.setHeaderRows(1);
    EXPECT_EQ(grid.headerRowPane(), nullptr);
    const QRect only = grid.visualRect(grid.model()->index(0, 0));
    EXPECT_GE(only.top(), 0);
    EXPECT_EQ(grid.indexAt(only.center()), grid.model()->index(0, 0));

    // Rows appended to the bound table bring the frozen header.
    table.appendRows(50);
    ASSERT_NE(grid.headerRowPane(), nullptr);
    EXPECT_LT(grid.visualRect(grid.model()->index(0, 0)).bottom(), 0);

    // The wheel over the header scrolls the rows below it.
    const QPoint at = grid.headerRowPane()->viewport()->rect().center();
    QWheelEvent wheel(at, grid.headerRowPane()->viewport()->mapToGlobal(at), QPoint(),
        QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.headerRowPane()->viewport(), &wheel);
    EXPECT_GT(grid.verticalScrollBar()->value(), 0);
}

TEST_F(GridView, MergedCellsAreSelectedAndWalkedAsOneCell)
{
    table.merge({5, 2, 2, 3});
    QSignalSpy changed(&grid, &Grid::selectionChangedByUser);
    click(6, 4); // inside the merge, away from its top-left cell
    EXPECT_EQ(block(), (CellRange {5, 2, 2, 3}));
    EXPECT_EQ(changed.size(), 1);

    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_EQ(block(), (CellRange {5, 5, 1, 1}));
    QTest::keyClick(&grid, Qt::Key_Left);
    EXPECT_EQ(grid.cursorRow(), 5);
    EXPECT_EQ(grid.cursorColumn(), 2);
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(block(), (CellRange {7, 2, 1, 1}));

    // A drag that touches the merge takes it whole.
    grid.setCursorCell(4, 3);
    QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(block(), (CellRange {4, 2, 3, 3}));
    grid.selectRange({6, 1, 1, 2});
    EXPECT_EQ(block(), (CellRange {5, 1, 2, 4}));
}

TEST_F(GridView, HeaderColumnsStayInViewToo)
{
    table.setColumnWidths(1, 7, 400);
    table.setHeaderRows(1);
    table.setHeaderColumns(1);
    ASSERT_NE(grid.headerColumnPane(), nullptr);
    ASSERT_NE(grid.cornerPane(), nullptr);
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
    EXPECT_EQ(
        grid.headerColumnPane()->verticalScrollBar()->value(), grid.verticalScrollBar()->value());

    click(1, 1); // the corner
    EXPECT_EQ(block(), (CellRange {1, 1, 1, 1}));
    click(40, 1); // the last row's header column
    EXPECT_EQ(block(), (CellRange {40, 1, 1, 1}));
    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_EQ(block(), (CellRange {40, 2, 1, 1}));
}

TEST_F(GridView, SizesComeFromTheTableInTenthsOfAMillimetre)
{
    table.setColumnWidths(1, 1, 850);
    table.setColumnWidths(3, 1, 150);
    table.setRowHeights(1, 1, 100);
    const double x = grid.logicalDpiX() / 254.0;
    const double y = grid.logicalDpiY() / 254.0;
    QHeaderView *columns = grid.horizontalHeader();
    QHeaderView *rows = grid.verticalHeader();
    EXPECT_EQ(columns->sectionSize(0), qRound(850 * x));
    EXPECT_NEAR(columns->sectionSize(2), 150 * x, 1.0);
    EXPECT_EQ(rows->sectionSize(0), qRound(100 * y));
    EXPECT_EQ(rows->sectionSize(5), qRound(DataSource::defaultRowHeight * y));
    // Every row but the title shares one default height.
    EXPECT_EQ(rows->defaultSectionSize(), qRound(DataSource::defaultRowHeight * y));
    EXPECT_EQ(rows->sectionResizeMode(0), QHeaderView::Fixed);

    grid.setZoom(200);
    EXPECT_EQ(columns->sectionSize(0), qRound(850 * x * 2));
    EXPECT_EQ(rows->sectionSize(0), qRound(100 * y * 2));
    EXPECT_EQ(rows->sectionSize(5), qRound(DataSource::defaultRowHeight * y * 2));
    grid.setZoom(50);
    EXPECT_EQ(rows->sectionSize(5), qRound(DataSource::defaultRowHeight * y / 2));
    EXPECT_EQ(grid.zoom(), 50.0);

    // Rows appended later take the usual height unless told otherwise.
    table.appendRows(3);
    EXPECT_EQ(rows->sectionSize(41), qRound(DataSource::defaultRowHeight * y / 2));
}

TEST_F(GridView, FittingTheWidthFillsTheGridButNeverGoesBelowTwentyPerCent)
{
    grid.zoomToFitWidth();
    const int tableWidth = grid.horizontalHeader()->length();
    EXPECT_LE(tableWidth, grid.viewport()->width());
    EXPECT_GE(tableWidth, grid.viewport()->width() - 2);
    EXPECT_EQ(grid.horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(grid.zoom(), 20.0);

    table.setColumnWidths(1, 7, 20000); // 14 m of table
    grid.zoomToFitWidth();
    EXPECT_EQ(grid.zoom(), Grid::minimumFitZoom);
}

TEST_F(GridView, CopiedBlocksPasteWithTextsAndFormats)
{
    table.setTextColor({2, 2, 1, 1}, rgbColor(255, 255, 0));
    table.setFontSize({3, 3, 1, 1}, 70);
    grid.selectRange({2, 2, 2, 2});
    ASSERT_TRUE(grid.copySelection());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("2,2\t2,3\n3,2\t3,3"));

    // Inside the same grid.
    grid.setCursorCell(10, 5);
    ASSERT_TRUE(grid.pasteAtCursor());
    EXPECT_EQ(table.text(10, 5), QStringLiteral("2,2"));
    EXPECT_EQ(table.text(11, 6), QStringLiteral("3,3"));
    EXPECT_EQ(table.format(10, 5).textColor, rgbColor(255, 255, 0));
    EXPECT_EQ(table.format(11, 6).fontSize, 70);

    // Into another grid, where the part beyond its last column is dropped.
    DataSource other;
    makeTable(other, 5, 5);
    Grid second;
    second.setDataSource(&other);
    second.setCursorCell(4, 5);
    ASSERT_TRUE(second.pasteAtCursor());
    EXPECT_EQ(other.columnCount(), 5);
    EXPECT_EQ(other.text(4, 5), QStringLiteral("2,2"));
    EXPECT_EQ(other.text(5, 5), QStringLiteral("3,2"));
    EXPECT_EQ(other.format(4, 5).textColor, rgbColor(255, 255, 0));

    // Plain text from another program: texts only.
    QApplication::clipboard()->setText(QStringLiteral("a\tb\r\nc\td\r\n"));
    second.setCursorCell(1, 1);
    ASSERT_TRUE(second.pasteAtCursor());
    EXPECT_TRUE(hasCellTexts(other, {{1, 1, u"a"}, {2, 2, u"d"}, {3, 1, u"3,1"}}));

    QApplication::clipboard()->clear();
    EXPECT_FALSE(second.pasteAtCursor());
}

TEST_F(GridView, AnUnboundGridIgnoresChangesAndShowsThemWhenBoundAgain)
{
    grid.selectRange({4, 2, 3, 1});
    grid.unbind();
    EXPECT_FALSE(grid.isBound());
    EXPECT_EQ(grid.model()->rowCount(), 0);
    // The block chosen before unbinding is still the one reported.
    EXPECT_EQ(grid.cursorRow(), 4);
    EXPECT_EQ(grid.selectedRowCount(), 3);

    QSignalSpy modelChanges(grid.model(), &QAbstractItemModel::dataChanged);
    QSignalSpy modelResets(grid.model(), &QAbstractItemModel::modelReset);
    table.setSize(1, 7);
    table.setText(1, 1, QStringLiteral("材  料  品  名"));
    table.appendRows(100);
    table.setHeaderRows(1);
    table.setTextColor({2, 1, 1, 7}, rgbColor(128, 0, 128));
    EXPECT_EQ(modelChanges.size() + modelResets.size(), 0);
    EXPECT_EQ(grid.model()->rowCount(), 0);

    grid.bind();
    EXPECT_TRUE(grid.isBound());
    EXPECT_EQ(grid.model()->rowCount(), 101);
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), QStringLiteral("材  料  品  名"));
    EXPECT_NE(grid.headerRowPane(), nullptr);
    EXPECT_EQ(block(), (CellRange {1, 1, 1, 1}));
}

TEST_F(GridView, TheTooltipKeepsTextAndFontAndHidesOnTheNextPress)
{
    grid.setToolTipText(QStringLiteral("合计 = 12.5"));
    grid.setToolTipFont(QStringLiteral("宋体"), 18);
    EXPECT_EQ(grid.toolTipText(), QStringLiteral("合计 = 12.5"));
    EXPECT_EQ(grid.toolTipFont().family(), QStringLiteral("宋体"));
    EXPECT_EQ(grid.toolTipFont().pointSize(), 18);

    // Resting the mouse over the grid shows it.
    const QPoint at = spot(3, 3).second;
    QHelpEvent help(QEvent::ToolTip, at, grid.viewport()->mapToGlobal(at));
    QApplication::sendEvent(grid.viewport(), &help);
    QLabel *label = grid.gridToolTip()->label();
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text(), QStringLiteral("合计 = 12.5"));
    EXPECT_EQ(label->font().pointSize(), 18);

    click(5, 5);
    EXPECT_FALSE(label->isVisible());
    grid.setToolTipText(QString());
    QApplication::sendEvent(grid.viewport(), &help);
    EXPECT_FALSE(label->isVisible());
}

TEST_F(GridView, ScreenReadersReadTheCellsThroughTheModel)
{
    grid.setAccessibleName(QStringLiteral("表格1"));
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->text(QAccessible::Name), QStringLiteral("表格1"));
    ASSERT_NE(view->tableInterface(), nullptr);
    QAccessibleInterface *cell = view->tableInterface()->cellAt(2, 3);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("3,4"));
}

TEST(GridScale, AHundredThousandRowsBindQuickly)
{
    DataSource table;
    table.setSize(1, 7);
    table.setHeaderRows(1);
    table.appendRows(100000);
    for (int r = 2; r <= 100001; r += 997)
        table.setText(r, 1, QString::number(r));
    Grid grid;
    grid.resize(800, 600);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));

    QElapsedTimer timer;
    timer.start();
    grid.setDataSource(&table);
    QApplication::processEvents();
    const qint64 bind = timer.restart();
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() / 2);
    grid.setZoom(150);
    QApplication::processEvents();
    const qint64 zoom = timer.restart();
    grid.unbind();
    grid.bind();
    QApplication::processEvents();
    const qint64 rebind = timer.elapsed();
    std::printf("[ time     ] 100 001 rows: bind %lld ms, zoom %lld ms, rebind %lld ms\n",
        static_cast<long long>(bind), static_cast<long long>(zoom), static_cast<long long>(rebind));

    EXPECT_EQ(grid.model()->rowCount(), 100001);
    EXPECT_EQ(grid.verticalHeader()->sectionSize(50000),
        qRound(DataSource::defaultRowHeight * grid.pixelsPerUnitY()));

    // Rows of many heights cost a resize each, never a pass over the table each.
    grid.unbind();
    for (int r = 2; r <= 100001; r += 2)
        table.setRowHeights(r, 1, 100);
    timer.restart();
    grid.bind();
    QApplication::processEvents();
    grid.setZoom(100);
    QApplication::processEvents();
    std::printf("[ time     ] 100 001 rows of two heights: bind and zoom %lld ms\n",
        static_cast<long long>(timer.elapsed()));
    EXPECT_EQ(grid.verticalHeader()->sectionSize(99999), qRound(100 * grid.pixelsPerUnitY()));
    EXPECT_EQ(grid.verticalHeader()->sectionSize(100000),
        qRound(DataSource::defaultRowHeight * grid.pixelsPerUnitY()));
}

} // namespace
