#pragma once

#include "table/cell_format.h"

#include <utility>
#include <vector>

class DataSource;

// The arithmetic under a grid: a table's lengths in pixels at a zoom, the rows
// and columns kept in view, the block widened to the merges it cuts and the
// cursor's steps under the keys. Plain functions over a DataSource, without a
// view, so that a grid's layout and navigation are tested without one.
//
// Cells are 1-based as in DataSource; the layout's vectors are indexed by
// 0-based row and column, as the view's sections are.
namespace GridGeometry {

// A table's lengths in pixels, and what of it stays in view.
struct Layout
{
    std::vector<int> columnPixels;
    // Most rows have one height: the rows of other heights are listed apart,
    // ascending by row, so that 100 000 rows cost one entry each only when
    // they differ.
    int defaultRowPixels = 0;
    std::vector<std::pair<int, int>> otherRowPixels; // (row, pixels)
    // Header rows and columns, frozen while something is left to scroll.
    int frozenRows = 0;
    int frozenColumns = 0;
    int frozenHeight = 0;
    int frozenWidth = 0;

    int rowPixels(int row) const;
};

// Tenths of a millimetre in pixels, never negative.
int toPixels(int units, double pixelsPerUnit);

// The height most rows of the table have (the first such height on a tie);
// the standard height for a table without rows.
int dominantRowHeight(const DataSource &source);

// The layout of the first `rows` rows and `columns` columns of the table (those
// the view has), at the given pixels per unit. Without a table: no columns, and
// rows of the standard height.
Layout computeLayout(
    const DataSource *source, int rows, int columns, double pixelsPerUnitX, double pixelsPerUnitY);

// The range grown until no merge sticks out of it.
CellRange widenToMerges(const DataSource &source, CellRange range);

// The cursor's steps under the keys (Ctrl jumps to the edge).
enum class Step { Up, Down, Left, Right, Home, End, PageUp, PageDown, Next, Previous };

struct Cell
{
    int row = 1;
    int column = 1;
    friend bool operator==(const Cell &, const Cell &) = default;
};

// Where the cursor goes from `current` in a table of `rows` x `columns` cells
// (the view's): steps leave a merged cell from its edge and land on the
// top-left cell of the merge they reach; a page is `pageRows` rows; Next and
// Previous wrap to the next or previous row and stay at the table's ends.
Cell step(const DataSource *source, int rows, int columns, Cell current, Step step, bool control,
    int pageRows);

// The rows a page step moves in a viewport of that height.
int pageRows(int viewportHeight, int defaultRowPixels);

} // namespace GridGeometry
