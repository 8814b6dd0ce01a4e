#include "movements/bulk_addition.h"

#include "common/clock.h"
#include "common/value_text.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "table/data_source.h"

#include <algorithm>

namespace BulkAddition {

QList<Row> collect(const DataSource &table, int cursorRow)
{
    QList<Row> rows;
    // Row 1 is the heading: a cursor left there (as the import leaves it)
    // starts at the first data row.
    const int first = std::max(cursorRow, 2);
    for (int i = 1; i <= table.rowCount(); ++i) {
        const int r = first + i - 1;
        if (table.text(r, 1).isEmpty())
            continue; // also the rows past the end
        rows.append({table.text(r, 1), table.text(r, 2), table.text(r, 3), table.number(r, 5),
            table.number(r, 4), table.number(r, 6), table.number(r, 7)});
    }
    return rows;
}

QString openingEntry(const Row &row, const QString &dateTimeText)
{
    return QStringLiteral("数量 ") + numberText(row.quantity) + QStringLiteral(" 单价 ")
        + numberText(row.unitPrice) + QStringLiteral(" 金额 ") + numberText(row.value) + u' '
        + dateTimeText;
}

Status add(
    RecordStore &store, const QString &programDir, const QList<Row> &rows, const Clock &clock)
{
    const auto failed = [&] {
        return Status::failure(store.lastError());
    };
    if (!store.openOrSelect(programDir + u'/' + Stock::fileName(), Stock::alias()))
        return failed();
    {
        RecordStore::Transaction transaction(store);
        if (!transaction.active())
            return failed();
        for (const Row &row : rows) {
            const bool ok
                = store.add({row.name, row.spec, row.unit, row.quantity, row.unitPrice, row.value})
                && store.write(Stock::ReceiptQuantity, row.quantity)
                && store.write(Stock::ReceiptAmount, row.value)
                && store.write(Stock::MonthReceiptQuantity, row.quantity)
                && store.write(Stock::MonthReceiptAmount, row.value)
                && store.write(Stock::YearReceiptQuantity, row.quantity)
                && store.write(Stock::YearReceiptAmount, row.value)
                && store.write(Stock::ReceiptDate, clock.now())
                && store.appendMemo(
                    Stock::ReceiptHistory, openingEntry(row, dateTimeText(clock.now())))
                && store.write(Stock::AlarmQuantity, row.alarm);
            if (!ok)
                return failed();
        }
        const Status committed = transaction.commit();
        if (!committed)
            return committed;
    }
    store.close(Stock::alias());
    return Status::success();
}

} // namespace BulkAddition
