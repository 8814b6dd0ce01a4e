#include "movements/receipt.h"

#include "common/value_text.h"
#include "data/booking_backups.h"
#include "data/item_backup.h"
#include "data/period_totals.h"
#include "data/record_store.h"
#include "data/stock_layout.h"

#include <utility>

QString receiptHistoryLine(
    const ReceiptInput &input, double averagePrice, double stockQuantity, const QDateTime &now)
{
    return QStringLiteral("数量 ") + input.quantity + QStringLiteral(" 单价 ") + input.unitPrice
        + QStringLiteral(" 金额 ") + input.amount + QStringLiteral(" 入库后均价 ")
        + numberText(averagePrice) + QStringLiteral(" 数量 ") + numberText(stockQuantity)
        + QStringLiteral(" 时间 ") + dateTimeText(now) + QStringLiteral("\r\n");
}

Status checkReceipt(const ReceiptInput &input)
{
    if (input.name.isEmpty())
        return Status::failure(QStringLiteral("请填写品名，未入库"));
    const std::pair<const char16_t *, const QString *> boxes[] = {{u"单价", &input.unitPrice},
        {u"数量", &input.quantity}, {u"金额", &input.amount}, {u"报警数量", &input.alarm}};
    for (const auto &[label, text] : boxes)
        if (!wholeNumber(*text))
            return Status::failure(
                QStringLiteral("%1“%2”不是数字，未入库").arg(QString::fromUtf16(label), *text));
    return Status::success();
}

namespace {

// Moves to the record to book: the one shown while it holds the key, else the
// first of the key. False, past the end, when the key has none.
bool findItem(RecordStore &store, const ReceiptInput &input)
{
    if (input.recordId != 0 && store.goToId(input.recordId)
        && store.readText(Stock::Name) == input.name && store.readText(Stock::Spec) == input.spec)
        return true;
    return store.findFirstEqual(Stock::Name, input.name, Stock::Spec, input.spec);
}

} // namespace

Status bookReceipt(RecordStore &store, const QString &programDir, const ReceiptInput &input,
    const QDateTime &now, ReceiptOutcome *outcome)
{
    ReceiptOutcome result;
    if (Status checked = checkReceipt(input); !checked)
        return checked;
    const double quantity = *wholeNumber(input.quantity);
    const double amount = *wholeNumber(input.amount);
    const double price = *wholeNumber(input.unitPrice);
    const double alarm = *wholeNumber(input.alarm);
    const auto failed = [&] {
        return Status::failure(store.lastError());
    };

    BookingBackups backups(ItemBackup::receiptFolder(programDir));
    RecordStore::Transaction transaction(store);
    if (!transaction.active())
        return failed();
    // The backup takes its place only with the receipt: an undo never finds
    // one of a receipt that was not booked.
    if (Status s = backups.take(store, input.name, input.spec, &result.backupTaken); !s)
        return Status::failure(QStringLiteral("无法保存进库备份：") + s.message());

    if (findItem(store, input)) {
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
    if (Status s = backups.list(store); !s)
        return s;
    if (Status committed = transaction.commit(); !committed) {
        (void)backups.settle(store); // start-up finishes what cannot be settled now
        return committed;
    }
    result.diskProblem = store.diskWarning();
    // Booked: a backup that cannot be put in place now is left for start-up.
    if (Status installed = backups.install(); !installed)
        result.backupProblem = installed.message();
    if (outcome)
        *outcome = result;
    return Status::success();
}
