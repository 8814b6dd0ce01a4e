#include "movements/receipt.h"

#include "common/value_text.h"
#include "data/booking_backups.h"
#include "data/item_backup.h"
#include "data/period_totals.h"
#include "data/record_file.h"
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
// first of the key; past the end when the key has none.
Status findItem(RecordFile &stock, const ReceiptInput &input)
{
    if (input.recordId != 0 && stock.goToId(input.recordId)
        && stock.readText(Stock::Name) == input.name && stock.readText(Stock::Spec) == input.spec)
        return Status::success();
    return stock.findFirstEqual(Stock::Name, input.name, Stock::Spec, input.spec);
}

// What every receipt notes on the item's record: the period totals, the
// date, and the history line with the price and the stock it leaves.
Status noteReceipt(RecordFile &stock, const ReceiptInput &input, double quantity, double amount,
    double price, double stockQuantity, const QDateTime &now)
{
    Status s = addToPeriodTotals(stock, receiptTotals, quantity, amount, now);
    if (s)
        s = stock.write(Stock::ReceiptDate, now);
    if (s)
        s = stock.appendMemo(
            Stock::ReceiptHistory, receiptHistoryLine(input, price, stockQuantity, now));
    return s;
}

// The receipt's writes into the existing item the cursor is on.
Status bookInto(RecordFile &stock, const ReceiptInput &input, double quantity, double amount,
    double alarm, const QDateTime &now)
{
    const double stockQuantity = round2(stock.readNumber(Stock::Quantity) + quantity);
    const double value = round2(stock.readNumber(Stock::Amount) + amount);
    // With no stock left there is no average: the last price stays.
    const double average
        = stockQuantity != 0 ? round2(value / stockQuantity) : stock.readNumber(Stock::UnitPrice);
    Status s = stock.readStatus();
    if (s)
        s = stock.write(Stock::Quantity, stockQuantity);
    if (s)
        s = stock.write(Stock::Amount, value);
    if (s)
        s = stock.write(Stock::UnitPrice, average);
    if (s)
        s = stock.write(Stock::AlarmQuantity, alarm);
    if (s)
        s = noteReceipt(stock, input, quantity, amount, average, stockQuantity, now);
    return s;
}

// A new item of the typed values. Its value is the amount booked, not
// price × quantity: the totals take the 金额 box, and the two must agree.
Status addItem(RecordFile &stock, const ReceiptInput &input, double quantity, double amount,
    double price, double alarm, const QDateTime &now)
{
    Status s = stock.add({input.name, input.spec, input.unit, quantity, price, round2(amount)});
    if (s)
        s = stock.write(Stock::AlarmQuantity, alarm);
    if (s)
        s = noteReceipt(stock, input, quantity, amount, price, quantity, now);
    return s;
}

} // namespace

Status previewReceipt(RecordFile &stock, const ReceiptInput &input, ReceiptPreview *preview)
{
    if (Status checked = checkReceipt(input); !checked)
        return checked;
    ReceiptPreview p;
    p.name = input.name;
    p.spec = input.spec;
    p.quantity = *wholeNumber(input.quantity);
    p.amount = *wholeNumber(input.amount);
    if (Status s = findItem(stock, input); !s)
        return s;
    p.newItem = stock.atEnd();
    if (p.newItem) {
        p.stockAfter = p.quantity;
        p.valueAfter = round2(p.amount);
    } else {
        p.stockAfter = round2(stock.readNumber(Stock::Quantity) + p.quantity);
        p.valueAfter = round2(stock.readNumber(Stock::Amount) + p.amount);
        if (Status s = stock.readStatus(); !s)
            return s;
    }
    *preview = p;
    return Status::success();
}

QStringList receiptDoubts(const ReceiptPreview &p)
{
    QStringList doubts;
    if (p.newItem)
        doubts << QStringLiteral("库存中没有品名“%1”、规格型号“%2”的项目，将新建这个项目"
                                 "（数量 %3，金额 %4）。")
                      .arg(p.name, p.spec, numberText(p.quantity), numberText(p.amount));
    if (p.quantity < 0)
        doubts
            << QStringLiteral("数量栏的 %1 是负数，会减少库存数量。").arg(numberText(p.quantity));
    if (p.amount < 0)
        doubts << QStringLiteral("金额栏的 %1 是负数，会减少库存金额。").arg(numberText(p.amount));
    if (p.quantity < 0 || p.amount < 0) {
        const bool belowZero
            = (p.quantity < 0 && p.stockAfter < 0) || (p.amount < 0 && p.valueAfter < 0);
        doubts << QStringLiteral("入库后 %1 %2 的库存数量是 %3，库存金额是 %4%5。")
                      .arg(p.name, p.spec, numberText(p.stockAfter), numberText(p.valueAfter),
                          belowZero ? QStringLiteral("，低于零") : QString());
    }
    return doubts;
}

QString wholeStockDoubt(const QString &name, const QString &spec, const QString &quantity)
{
    return QStringLiteral("数量栏的 %3 是 %1 %2 现有的全部库存，不是输入的进库数量。")
        .arg(name, spec, quantity);
}

QString receiptQuestion(const QStringList &doubts)
{
    return doubts.join(u'\n') + QStringLiteral("\n\n确定入库吗？选“否”不入库。");
}

Status bookReceipt(RecordFile &stock, const QString &programDir, const ReceiptInput &input,
    const QDateTime &now, ReceiptOutcome *outcome)
{
    ReceiptOutcome result;
    if (Status checked = checkReceipt(input); !checked)
        return checked;
    const double quantity = *wholeNumber(input.quantity);
    const double amount = *wholeNumber(input.amount);
    const double price = *wholeNumber(input.unitPrice);
    const double alarm = *wholeNumber(input.alarm);

    BookingBackups backups(ItemBackup::receiptFolder(programDir));
    RecordFile::Transaction transaction(stock);
    if (Status s = transaction.begin(); !s)
        return s;
    if (Status s = findItem(stock, input); !s)
        return s;
    result.newItem = stock.atEnd();
    const qint64 booked = result.newItem ? 0 : stock.recordId();
    // The backup takes its place only with the receipt: an undo never finds
    // one of a receipt that was not booked. It notes the record and the
    // receipt, which an undo takes back by them.
    if (Status s = backups.take(
            stock, input.name, input.spec, {booked, quantity, amount, now}, &result.backupTaken);
        !s)
        return Status::failure(QStringLiteral("无法保存进库备份：") + s.message());
    if (booked != 0)
        if (Status s = stock.goToId(booked); !s)
            return s;
    if (Status s = result.newItem ? addItem(stock, input, quantity, amount, price, alarm, now)
                                  : bookInto(stock, input, quantity, amount, alarm, now);
        !s)
        return s;
    result.recordId = stock.recordId();
    if (Status s = backups.list(stock); !s)
        return s;
    if (Status committed = transaction.commit(); !committed) {
        (void)backups.settle(stock); // start-up finishes what cannot be settled now
        return committed;
    }
    result.diskProblem = stock.diskWarning();
    // Booked: a backup that cannot be put in place now is left for start-up.
    if (Status installed = backups.install(); !installed)
        result.backupProblem = installed.message();
    if (outcome)
        *outcome = result;
    return Status::success();
}
