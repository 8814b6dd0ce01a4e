#include "tableeditor/query_table.h"

#include "common/value_text.h"
#include "data/record_store.h"
#include "table/data_source.h"
#include "table/record_file_provider.h"
#include "table/text_rows.h"

namespace QueryTable {

int columnWidthFor(int columns)
{
    return columns < narrowFromColumns ? wideColumnWidth : narrowColumnWidth;
}

Status load(DataSource &table, RecordStore &store, const QString &path, const TextRows *rows)
{
    table.reset();
    table.setSize(1, 0);
    // If the open fails the current file stays what it was: its field names
    // must not end up in row 1.
    Status result = Status::success();
    if (store.openOrSelect(path, alias())) {
        const int fields = store.fieldCount();
        table.setSize(1, fields);
        for (int f = 1; f <= fields; ++f)
            table.setText(1, f, store.fieldName(f));
        table.setColumnWidths(1, fields, columnWidthFor(fields));
        for (int f = 1; f <= fields; ++f) {
            if (store.fieldKind(f) == FieldKind::DateTime)
                table.setColumnWidths(f, 1, dateTimeColumnWidth);
        }
        // Rows read elsewhere must at least have the file's shape.
        if (rows && (rows->columnCount() != fields || rows->rowCount() != store.recordCount()))
            rows = nullptr;
        store.close(alias());
    } else {
        result = Status::failure(store.lastError());
        rows = nullptr;
    }

    if (rows) {
        (void)table.appendRowsFrom(*rows);
    } else if (table.columnCount() > 0) {
        RecordFileProvider provider;
        if (Status s = provider.setFile(path); !s)
            result = s;
        else if (!table.appendRowsFrom(provider))
            result = Status::failure(QStringLiteral("读取 %1 失败").arg(path));
        // The provider lets go of the file here, so the next sort may replace it.
    }
    table.setHeaderRows(1);
    appendTotalRow(table);
    return result;
}

void appendTotalRow(DataSource &table)
{
    table.appendRows(1);
    const int last = table.rowCount();
    double sum = 0;
    for (int row = 1; row < last; ++row)
        sum += table.number(row, amountColumn);
    table.setText(last, amountColumn, numberText(round2(sum)));
    table.setText(last, 1, totalCaption());
}

void fillDown(DataSource &table, int row, int column)
{
    const QString text = table.text(row, column);
    for (int below = row + 1; below <= table.rowCount(); ++below)
        table.setText(below, column, text);
}

QString columnSumText(const DataSource &table, int column, int selectedColumns, int rememberedRow)
{
    if (table.rowCount() == 1 && selectedColumns == 1)
        return table.text(rememberedRow, column);
    double sum = 0;
    for (int row = 1; row <= table.rowCount(); ++row)
        sum += table.number(row, column);
    return QStringLiteral("本列合计 = ") + numberText(sum);
}

Status sortQueryFile(RecordStore &store, const QString &queryPath, const QString &sortedPath,
    const QString &fieldName, bool descending)
{
    if (!store.openOrSelect(queryPath, alias()))
        return Status::failure(store.lastError());
    const int field = store.fieldNumber(fieldName);
    Status result = Status::success();
    if (field == 0)
        result = Status::failure(QStringLiteral("没有字段 %1").arg(fieldName));
    else if (!store.sortTo(sortedPath, field, descending))
        result = Status::failure(store.lastError());
    store.close(alias());
    return result;
}

} // namespace QueryTable
