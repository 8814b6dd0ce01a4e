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

namespace {

// Reads the values a workbook shows and notes what the user must be told:
// formula cells saved without a result and texts cut to a cell's length.
class ShownValues
{
public:
    explicit ShownValues(const ExcelAutomation &excel)
        : excel_(excel)
    { }

    QString at(const QString &address)
    {
        QString value = excel_.GetRangeValue(address);
        if (value.isEmpty() && excel_.GetRangeFormula(address).startsWith(u'='))
            ++findings_.formulasWithoutResult;
        // The reader cuts long texts already; a workbook built otherwise
        // must not bring one into the table either.
        if (Workbook::cutToCellLength(value) || excel_.valueWasCut(address))
            findings_.cutCells.append(address);
        return value;
    }

    const Findings &findings() const { return findings_; }

private:
    const ExcelAutomation &excel_;
    Findings findings_;
};

} // namespace

QString findingsNote(const Findings &findings)
{
    QString note;
    if (findings.formulasWithoutResult > 0)
        note += QStringLiteral("；%1 个单元格是没有结果的公式，读作空白，请在电子表格中"
                               "计算并保存后再读")
                    .arg(findings.formulasWithoutResult);
    if (!findings.cutCells.isEmpty()) {
        // The first few name the place; the count says how many there are.
        constexpr int named = 10;
        QString cells = findings.cutCells.mid(0, named).join(u'、');
        if (findings.cutCells.size() > named)
            cells += QStringLiteral(" 等");
        note += QStringLiteral("；%1 个单元格的文字超过 %2 个字符，只读入了前 %2 个字符（%3）")
                    .arg(findings.cutCells.size())
                    .arg(Workbook::maxTextLength)
                    .arg(cells);
    }
    return note;
}

Findings importInto(DataSource &table, ExcelAutomation &excel)
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

    ShownValues shown(excel);
    int blanks = 0;
    for (int i = 1; i <= maxRows; ++i) {
        table.appendRows(1);
        const int row = i + 1;
        const QString sheetRow = QString::number(i + firstSheetRow - 1);
        const QString name = shown.at(u'B' + sheetRow);
        if (!name.isEmpty())
            table.setText(row, 1, name);
        else
            ++blanks;
        for (const Source &source : others)
            table.setText(row, source.column, shown.at(QChar(source.letter) + sheetRow));
        if (blanks > maxBlankNames)
            break;
    }

    table.setColumnWidths(1, 2, 850);
    table.setColumnWidths(3, 2, 140);
    table.setHeaderRows(1);
    return shown.findings();
}

Status importFile(
    DataSource &table, const QString &path, const WorkbookReader &reader, Findings *findings)
{
    // Only the rows the import may read are read, however long the file.
    WorkbookReader rowsNeeded = reader;
    rowsNeeded.setRowLimit(lastSheetRow);
    ExcelAutomation excel(rowsNeeded);
    excel.CreateApplication();
    if (!path.isEmpty()) {
        if (Status opened = excel.OpenWorkbook(path, QString(), false); !opened) {
            excel.Quit();
            return opened;
        }
    }
    const Findings found = importInto(table, excel);
    if (findings)
        *findings = found;
    excel.CloseWorkbooks();
    excel.Quit();
    return Status::success();
}

} // namespace SpreadsheetImport
