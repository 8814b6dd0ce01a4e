#include "grid/grid_geometry.h"

#include "table/data_source.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace GridGeometry;

namespace {

// A stock list's shape: one header row, a header column, a merged caption
// cell and a run of rows of the usual height.
class GridGeometryTest : public testing::Test
{
protected:
    void SetUp() override
    {
        table.setSize(20, 5);
        table.setRowHeights(1, 20, 50);
        table.setHeaderRows(1);
        table.setHeaderColumns(1);
        table.merge({4, 2, 2, 3}); // rows 4-5, columns 2-4
    }

    Cell go(Cell from, Step how, bool control = false, int page = 5) const
    {
        return step(&table, table.rowCount(), table.columnCount(), from, how, control, page);
    }

    DataSource table;
};

} // namespace

TEST_F(GridGeometryTest, StepsLeaveAMergeFromItsEdgeAndLandOnItsTopLeftCell)
{
    EXPECT_EQ(go({3, 3}, Step::Down), (Cell {4, 2})) << "into the merge: its top-left cell";
    EXPECT_EQ(go({4, 2}, Step::Down), (Cell {6, 2})) << "out below its last row";
    EXPECT_EQ(go({4, 2}, Step::Right), (Cell {4, 5})) << "out right of its last column";
    EXPECT_EQ(go({4, 5}, Step::Left), (Cell {4, 2}));
    EXPECT_EQ(go({6, 4}, Step::Up), (Cell {4, 2}));
    EXPECT_EQ(go({4, 2}, Step::Next), (Cell {4, 5}));
    EXPECT_EQ(go({4, 5}, Step::Next), (Cell {5, 1})) << "wraps to the next row";
    EXPECT_EQ(go({5, 1}, Step::Previous), (Cell {4, 5})) << "wraps back to the row's end";
    EXPECT_EQ(go({20, 5}, Step::Next), (Cell {20, 5})) << "stays at the end";
    EXPECT_EQ(go({1, 1}, Step::Previous), (Cell {1, 1})) << "stays at the start";
    EXPECT_EQ(go({1, 1}, Step::Up), (Cell {1, 1}));
    EXPECT_EQ(go({10, 3}, Step::Down, true), (Cell {20, 3}));
    EXPECT_EQ(go({10, 3}, Step::End, true), (Cell {20, 5}));
    EXPECT_EQ(go({10, 3}, Step::Home), (Cell {10, 1})) << "header columns are cells too";

    EXPECT_EQ(widenToMerges(table, {5, 4, 1, 2}), (CellRange {4, 2, 2, 4}));
    table.merge({3, 5, 2, 1});
    EXPECT_EQ(widenToMerges(table, {5, 4, 1, 2}), (CellRange {3, 2, 3, 4}))
        << "a merge reached by widening widens further";
    EXPECT_EQ(widenToMerges(table, {10, 1, 2, 2}), (CellRange {10, 1, 2, 2}));
}

TEST_F(GridGeometryTest, PageDownMovesAPageFromTheLastRowOfTheCursorsMerge)
{
    const int page = pageRows(260, 25);
    EXPECT_EQ(page, 10);
    EXPECT_EQ(pageRows(10, 25), 1) << "at least one row";
    EXPECT_EQ(pageRows(100, 0), 100) << "rows of no height";
    EXPECT_EQ(go({2, 3}, Step::PageDown, false, page), (Cell {12, 3}));
    EXPECT_EQ(go({4, 3}, Step::PageDown, false, page), (Cell {15, 3})) << "from row 5";
    EXPECT_EQ(go({15, 3}, Step::PageDown, false, page), (Cell {20, 3})) << "stops at the end";
    EXPECT_EQ(go({16, 3}, Step::PageUp, false, page), (Cell {6, 3}));
    EXPECT_EQ(go({14, 3}, Step::PageUp, false, page), (Cell {4, 2})) << "lands on the merge";
    EXPECT_EQ(go({3, 3}, Step::PageUp, false, page), (Cell {1, 3}));
}

TEST_F(GridGeometryTest, LayoutInPixelsWithRowsOfNoHeightAndFrozenHeaders)
{
    table.setRowHeights(1, 1, 80);
    table.setRowHeights(7, 2, 0); // hidden rows
    table.setColumnWidths(1, 5, 125);
    const Layout layout = computeLayout(&table, 20, 5, 0.3, 0.5);

    EXPECT_EQ(layout.defaultRowPixels, 25) << "the height most rows have";
    const std::vector<std::pair<int, int>> others {{0, 40}, {6, 0}, {7, 0}};
    EXPECT_EQ(layout.otherRowPixels, others);
    EXPECT_EQ(layout.rowPixels(6), 0);
    EXPECT_EQ(layout.rowPixels(8), 25);
    // 37.5 per column, rounded at the running sum: the total stays 188.
    const std::vector<int> columns {38, 37, 38, 37, 38};
    EXPECT_EQ(layout.columnPixels, columns);
    EXPECT_EQ(layout.frozenRows, 1);
    EXPECT_EQ(layout.frozenColumns, 1);
    EXPECT_EQ(layout.frozenHeight, 40);
    EXPECT_EQ(layout.frozenWidth, 38);

    // A view of fewer rows lays out only those; headers that would leave
    // nothing to scroll are not frozen.
    table.setHeaderRows(3);
    table.setHeaderColumns(5);
    const Layout shown = computeLayout(&table, 3, 5, 0.3, 0.5);
    EXPECT_EQ(shown.frozenRows, 0);
    EXPECT_EQ(shown.frozenColumns, 0);
    EXPECT_EQ(shown.otherRowPixels.size(), 1u);

    const Layout none = computeLayout(nullptr, 0, 0, 0.3, 0.5);
    EXPECT_EQ(none.defaultRowPixels, 30);
    EXPECT_TRUE(none.columnPixels.empty());

    DataSource empty;
    EXPECT_EQ(dominantRowHeight(empty), DataSource::defaultRowHeight);
}

TEST(DominantRowHeight, IsTheFirstHeightToLeadTheCountWhateverTheMix)
{
    // The plain count: the first height whose count passes every count before.
    const auto reference = [](const DataSource &t) {
        std::map<int, int> counts;
        int best = t.rowHeight(1);
        int bestCount = 0;
        for (int row = 1; row <= t.rowCount(); ++row) {
            if (const int n = ++counts[t.rowHeight(row)]; n > bestCount) {
                best = t.rowHeight(row);
                bestCount = n;
            }
        }
        return best;
    };
    std::mt19937 random(7);
    for (const int distinct : {1, 2, 15, 16, 17, 40, 3000}) {
        for (const int runLength : {1, 3, 50}) {
            DataSource table;
            table.setSize(3000, 1);
            std::uniform_int_distribution<int> height(1, distinct);
            for (int row = 1; row <= table.rowCount(); row += runLength)
                table.setRowHeights(row, runLength, 10 * height(random));
            EXPECT_EQ(dominantRowHeight(table), reference(table))
                << distinct << " heights in runs of " << runLength;
        }
    }
    DataSource tie;
    tie.setSize(4, 1);
    tie.setRowHeights(1, 1, 70);
    tie.setRowHeights(2, 1, 80);
    tie.setRowHeights(3, 1, 80);
    tie.setRowHeights(4, 1, 70);
    EXPECT_EQ(dominantRowHeight(tie), 80) << "80 reached two rows first";
}
