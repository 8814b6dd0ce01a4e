#include "exchange/spreadsheet_import.h"

#include "table/data_source.h"
#include "workbook/excel_automation.h"

namespace SpreadsheetImport {

QStringList headings()
{
    return {QStringLiteral("材  料  品  名"), QStringLiteral("规  格  型  号"),
        QStringLiteral("单位"), QStringLiteral("库存数量"), QStringLiteral("单价"),
        QStringLiteral("库存金额"), QStringLiteral("报警数量")};
}

void importInto(DataSource &table, ExcelAutomation &excel)
{
    const QStringList texts = headings();
    const int columns = int(texts.size());
    table.reset();
    table.setSize(1, columns);
    const CellRange headingRow {1, 1, 1, columns};
    table.setAlignment(headingRow, CellFormat::Centre);
    table.setStyle(headingRow, CellFormat::Bold);
    for (int column = 1; column <= columns; ++column)
        table.setText(1, column, texts[column - 1]);

    // The spreadsheet columns after B, in the order they are read, and the
    // table column each goes to (F, the price, before E, the quantity).
    struct Source
    {
        char letter;
        int column;
    };
    static constexpr Source others[] = {{'C', 2}, {'D', 3}, {'F', 5}, {'E', 4}, {'G', 6}, {'H', 7}};

    int blanks = 0;
    for (int i = 1; i <= maxRows; ++i) {
        table.appendRows(1);
        const int row = i + 1;
        const QString sheetRow = QString::number(i + firstSheetRow - 1);
        const QString name = excel.GetRangeValue(u'B' + sheetRow);
        if (!name.isEmpty())
            table.setText(row, 1, name);
        else
            ++blanks;
        for (const Source &source : others)
            table.setText(row, source.column, excel.GetRangeValue(QChar(source.letter) + sheetRow));
        if (blanks > maxBlankNames)
            break;
    }

    table.setColumnWidths(1, 2, 850);
    table.setColumnWidths(3, 2, 140);
    table.setHeaderRows(1);
}

Status importFile(DataSource &table, const QString &path, const WorkbookReader &reader)
{
    ExcelAutomation excel(reader);
    excel.CreateApplication();
    if (!path.isEmpty()) {
        if (Status opened = excel.OpenWorkbook(path, QString(), false); !opened) {
            excel.Quit();
            return opened;
        }
    }
    importInto(table, excel);
    excel.CloseWorkbooks();
    excel.Quit();
    return Status::success();
}

} // namespace SpreadsheetImport
