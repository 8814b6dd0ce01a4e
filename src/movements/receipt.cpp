#include "movements/receipt.h"

#include "common/value_text.h"
#include "data/item_backup.h"
#include "data/period_totals.h"
#include "data/record_store.h"
#include "data/stock_layout.h"

QString receiptHistoryLine(
    const ReceiptInput &input, double averagePrice, double stockQuantity, const QDateTime &now)
{
    return QStringLiteral("数量 ") + input.quantity + QStringLiteral(" 单价 ") + input.unitPrice
        + QStringLiteral(" 金额 ") + input.amount + QStringLiteral(" 入库后均价 ")
        + numberText(averagePrice) + QStringLiteral(" 数量 ") + numberText(stockQuantity)
        + QStringLiteral(" 时间 ") + dateTimeText(now) + QStringLiteral("\r\n");
}

Status bookReceipt(RecordStore &store, const QString &programDir, const ReceiptInput &input,
    const QDateTime &now, ReceiptOutcome *outcome)
{
    ReceiptOutcome result;
    const double quantity = number(input.quantity);
    const double amount = number(input.amount);
    const double price = number(input.unitPrice);
    const double alarm = number(input.alarm);
    const auto failed = [&] {
        return Status::failure(store.lastError());
    };

    RecordStore::Transaction transaction(store);
    if (!transaction.active())
        return failed();
    // A backup that cannot be made does not stop the receipt; the name
    // checks keep unusable names from ever reaching the file system.
    ItemBackup::take(
        store, ItemBackup::receiptFolder(programDir), input.name, input.spec, &result.backupTaken);

    if (store.findFirstEqual(Stock::Name, input.name, Stock::Spec, input.spec)) {
        const double stock = round2(store.readNumber(Stock::Quantity) + quantity);
        const double value = round2(store.readNumber(Stock::Amount) + amount);
        // With no stock left there is no average: the last price stays.
        const double average
            = stock != 0 ? round2(value / stock) : store.readNumber(Stock::UnitPrice);
        if (!store.write(Stock::Quantity, stock) || !store.write(Stock::Amount, value)
            || !store.write(Stock::UnitPrice, average)
            || !addToPeriodTotals(store, receiptTotals, quantity, amount, now)
            || !store.write(Stock::ReceiptDate, now)
            || !store.appendMemo(
                Stock::ReceiptHistory, receiptHistoryLine(input, average, stock, now))
            || !store.write(Stock::AlarmQuantity, alarm))
            return failed();
    } else {
        result.newItem = true;
        if (store.failed())
            return failed();
        if (!store.add({input.name, input.spec, input.unit, quantity, price, price * quantity})
            || !store.write(Stock::AlarmQuantity, alarm)
            || !addToPeriodTotals(store, receiptTotals, quantity, amount, now)
            || !store.write(Stock::ReceiptDate, now)
            || !store.appendMemo(
                Stock::ReceiptHistory, receiptHistoryLine(input, price, quantity, now)))
            return failed();
    }
    Status committed = transaction.commit();
    if (!committed)
        return committed;
    if (outcome)
        *outcome = result;
    return Status::success();
}
