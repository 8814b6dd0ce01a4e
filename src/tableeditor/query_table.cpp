#include "tableeditor/query_table.h"

#include "common/value_text.h"
#include "data/record_store.h"
#include "table/data_source.h"
#include "table/record_file_provider.h"
#include "table/text_rows.h"

#include <QFileInfo>

namespace QueryTable {

int columnWidthFor(int columns)
{
    return columns < narrowFromColumns ? wideColumnWidth : narrowColumnWidth;
}

Status load(DataSource &table, RecordStore &store, const QString &path, const TextRows *rows)
{
    table.reset();
    table.setSize(1, 0);
    // Read on a handle of its own; the store's, if it has one, closes as it
    // did after a load.
    store.closePath(path);
    RecordFile query;
    Status result = query.open(path, alias());
    if (result) {
        const int fields = query.fieldCount();
        table.setSize(1, fields);
        for (int f = 1; f <= fields; ++f)
            table.setText(1, f, query.fieldName(f));
        table.setColumnWidths(1, fields, columnWidthFor(fields));
        for (int f = 1; f <= fields; ++f) {
            if (query.fieldKind(f) == FieldKind::DateTime)
                table.setColumnWidths(f, 1, dateTimeColumnWidth);
        }
        // Rows read elsewhere must at least have the file's shape.
        if (rows && (rows->columnCount() != fields || rows->rowCount() != query.recordCount()))
            rows = nullptr;
        query.close();
    } else {
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
    // The store's handles on either file close, as a sort replaces one.
    store.closePath(queryPath);
    if (store.isPathOpen(sortedPath))
        return Status::failure(
            QStringLiteral("文件 %1 已经打开，不能覆盖").arg(QFileInfo(sortedPath).fileName()));
    RecordFile query;
    if (Status s = query.open(queryPath, alias()); !s)
        return s;
    const int field = query.fieldNumber(fieldName);
    if (field == 0)
        return Status::failure(QStringLiteral("没有字段 %1").arg(fieldName));
    return query.sortTo(sortedPath, field, descending);
}

} // namespace QueryTable
