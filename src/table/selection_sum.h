#pragma once

#include "table/cell_format.h"

#include <QString>

class DataSource;

// The tooltip a grid shows for a selected block: "合计 = " and the sum of the
// numbers of a single column (or, failing that, of a single row; otherwise 0);
// a single cell shows its own text. Cells are read whole, as bookings read
// them (DataSource::number): "1,234.5" adds 1234.5, "12abc" adds nothing.
QString selectionSumText(const DataSource &table, const CellRange &selection);

// The font of that tooltip.
inline QString selectionSumFontFamily()
{
    return QStringLiteral("宋体");
}
inline int selectionSumFontPointSize()
{
    return 18;
}
