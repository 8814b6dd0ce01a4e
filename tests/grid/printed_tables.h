#pragma once

#include "table/data_source.h"
#include "table/page_setup.h"

// Tables that the printing tests print.

inline PageSetup setupWith(int margins, int pageNumberPosition = PageSetup::NoPageNumber)
{
    PageSetup setup;
    setup.leftMargin = setup.topMargin = setup.rightMargin = setup.bottomMargin = margins;
    setup.pageNumberPosition = pageNumberPosition;
    return setup;
}

// A list laid out as the printable table is: title, subtitle and field names
// as header rows, then one row per record labelled 行0001, 行0002...
inline void fillList(DataSource &t, int records, int columns, int columnWidth = 300)
{
    t.setSize(3 + records, columns);
    t.merge({1, 1, 1, columns});
    t.setText(1, 1, QStringLiteral("材料出库汇总表"));
    t.setRowHeights(1, 1, 160);
    t.setFontSize({1, 1, 1, 1}, 85);
    t.setAlignment({1, 1, 1, 1}, CellFormat::Centre);
    t.setText(2, 1, QStringLiteral("制表：财务室"));
    t.setRowHeights(2, 1, 80);
    t.setStyle({1, 1, 3, columns}, CellFormat::Bold);
    for (int c = 1; c <= columns; ++c)
        t.setText(3, c, QStringLiteral("字段%1").arg(c));
    for (int r = 1; r <= records; ++r) {
        t.setText(3 + r, 1, QStringLiteral("行%1").arg(r, 4, 10, QLatin1Char('0')));
        for (int c = 2; c <= columns; ++c)
            t.setText(3 + r, c, QStringLiteral("R%1C%2").arg(r).arg(c));
    }
    t.setColumnWidths(1, columns, columnWidth);
    t.setBorders({3, 1, records + 1, columns}, BorderAll);
    t.setHeaderRows(3);
}
