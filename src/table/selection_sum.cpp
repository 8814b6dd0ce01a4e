#include "table/selection_sum.h"

#include "common/value_text.h"
#include "table/data_source.h"

QString selectionSumText(const DataSource &table, const CellRange &selection)
{
    if (selection.rows == 1 && selection.columns == 1)
        return table.text(selection.row, selection.column);
    double sum = 0;
    if (selection.columns == 1) {
        for (int r = selection.row; r <= selection.lastRow(); ++r)
            sum += table.number(r, selection.column);
    } else if (selection.rows == 1) {
        for (int c = selection.column; c <= selection.lastColumn(); ++c)
            sum += table.number(selection.row, c);
    }
    return QStringLiteral("合计 = ") + numberText(sum);
}
