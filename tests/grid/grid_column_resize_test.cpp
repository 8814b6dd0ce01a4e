#include "grid/grid.h"
#include "grid/grid_column_resizer.h"
#include "grid/grid_pane.h"
#include "table/data_source.h"

#include <QFontMetricsF>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A grid with two header rows over seven columns; the first header row holds
// a title merged over columns 1..3.
class GridColumnResize : public testing::Test
{
protected:
    void SetUp() override
    {
        table.setSize(30, 7);
        for (int r = 1; r <= 30; ++r)
            for (int c = 1; c <= 7; ++c)
                table.setText(r, c, QStringLiteral("%1,%2").arg(r).arg(c));
        table.setColumnWidths(1, 7, 250);
        table.merge({1, 1, 1, 3});
        table.setHeaderRows(2);
        grid.resize(900, 400);
        grid.setDataSource(&table);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }

    // The right border of a cell: the widget under the mouse there and the
    // point in it. Taken from the column's place, not the cell's, so that a
    // merged cell shows where its inner borders would be.
    std::pair<QWidget *, QPoint> border(int row, int column)
    {
        const bool frozenRow = row <= table.headerRows() && grid.headerRowPane();
        const bool frozenColumn = column <= table.headerColumns() && grid.headerColumnPane();
        QTableView *view = &grid;
        if (frozenRow)
            view = frozenColumn ? static_cast<QTableView *>(grid.cornerPane())
                                : grid.headerRowPane();
        else if (frozenColumn)
            view = grid.headerColumnPane();
        const QPoint inView(
            view->columnViewportPosition(column - 1) + view->columnWidth(column - 1),
            view->rowViewportPosition(row - 1) + view->rowHeight(row - 1) / 2);
        const QPoint global = view->viewport()->mapToGlobal(inView);
        QWidget *under = grid.childAt(grid.mapFromGlobal(global));
        EXPECT_NE(under, nullptr);
        return {under, under ? under->mapFromGlobal(global) : QPoint()};
    }

    void drag(int row, int column, int by)
    {
        const auto [widget, at] = border(row, column);
        QTest::mousePress(widget, Qt::LeftButton, {}, at);
        QTest::mouseMove(widget, at + QPoint(by / 2, 0));
        QTest::mouseMove(widget, at + QPoint(by, 0));
        QTest::mouseRelease(widget, Qt::LeftButton, {}, at + QPoint(by, 0));
    }

    DataSource table;
    Grid grid;
};

TEST_F(GridColumnResize, ColumnsAreFixedUnlessTheOwnerAllowsResizing)
{
    EXPECT_FALSE(grid.columnsResizable());
    drag(2, 4, 60);
    EXPECT_EQ(table.columnWidth(4), 250);
    EXPECT_EQ(grid.selectedBlock().row, 2) << "the press selected a cell instead";

    grid.setColumnsResizable(true);
    grid.setCursorCell(12, 5);
    QSignalSpy resized(&grid, &Grid::columnResizedByUser);
    QSignalSpy selected(&grid, &Grid::selectionChangedByUser);
    drag(2, 4, 60);
    EXPECT_EQ(grid.selectedBlock(), (CellRange {12, 5, 1, 1})) << "the cursor stays where it was";
    EXPECT_EQ(selected.size(), 0);
    const int wider = 250 + qRound(60 / grid.pixelsPerUnitX());
    EXPECT_EQ(table.columnWidth(4), wider);
    ASSERT_EQ(resized.size(), 1) << "one change per drag";
    EXPECT_EQ(resized[0], QVariantList({4, wider}));

    grid.setColumnsResizable(false);
    drag(2, 4, 60);
    EXPECT_EQ(table.columnWidth(4), wider);
}

TEST_F(GridColumnResize, OnlyBordersBetweenHeaderCellsAreGrabbed)
{
    grid.setColumnsResizable(true);
    // Inside the merged title there is no border; after it there is.
    drag(1, 2, 40);
    EXPECT_EQ(table.columnWidth(2), 250);
    drag(1, 3, 40);
    EXPECT_GT(table.columnWidth(3), 250);
    // A body row selects.
    drag(10, 5, 40);
    EXPECT_EQ(table.columnWidth(5), 250);

    // Frozen header columns: the corner pane has borders too.
    table.setHeaderColumns(2);
    ASSERT_NE(grid.cornerPane(), nullptr);
    const auto [corner, at] = border(2, 1);
    EXPECT_EQ(corner, grid.cornerPane()->viewport());
    drag(2, 1, 30);
    EXPECT_GT(table.columnWidth(1), 250);

    // A table without header rows takes row 1 for them.
    table.setHeaderRows(0);
    table.setHeaderColumns(0);
    drag(1, 6, 40);
    EXPECT_GT(table.columnWidth(6), 250);
    drag(2, 7, 40);
    EXPECT_EQ(table.columnWidth(7), 250);
}

TEST_F(GridColumnResize, DragsCountInTableUnitsAtAnyZoom)
{
    grid.setColumnsResizable(true);
    grid.setZoom(150);
    drag(2, 2, 100);
    const int wider = 250 + qRound(100 / grid.pixelsPerUnitX());
    EXPECT_EQ(table.columnWidth(2), wider);
    EXPECT_LT(wider, 250 + qRound(100 / (grid.pixelsPerUnitX() * 100 / 150))) << "zoomed in";
    // Narrowed past nothing: the column is gone from view but can come back.
    drag(2, 3, -2000);
    EXPECT_EQ(table.columnWidth(3), 0);
    drag(2, 3, 50);
    EXPECT_GT(table.columnWidth(3), 0);
    EXPECT_EQ(table.columnWidth(2), wider) << "its left neighbour kept its width";
}

TEST(GridColumnFit, TheWidestTextOfItsOwnCellsDecides)
{
    DataSource table;
    table.setSize(4, 3);
    table.setText(1, 1, QStringLiteral("澄州禾岭供电有限责任公司材料出库单"));
    table.merge({1, 1, 1, 3});
    table.setText(2, 1, QStringLiteral("品名"));
    table.setText(3, 1, QStringLiteral("真空断路器\n柜"));
    table.setText(4, 1, QStringLiteral("电缆"));
    table.setFontSize({4, 1, 1, 1}, 64);
    const double perUnit = 96 / 254.0;

    const auto pixels = [&](int row, const QString &text) {
        CellFormat format = table.format(row, 1);
        QFont font(format.fontName);
        font.setPixelSize(qRound(format.fontSize * perUnit));
        return QFontMetricsF(font).horizontalAdvance(text);
    };
    // The merged title does not count; the longer line and the larger font do.
    const double widest
        = std::max(pixels(3, QStringLiteral("真空断路器")), pixels(4, QStringLiteral("电缆")));
    const int width = GridColumnResizer::fittingWidth(table, 1, perUnit);
    EXPECT_GE(width * perUnit, widest + 9);
    EXPECT_LE(width * perUnit, widest + 12);
    EXPECT_EQ(GridColumnResizer::fittingWidth(table, 2, perUnit), 0) << "no text of its own";
}

} // namespace
