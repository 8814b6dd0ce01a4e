#include "data/period_totals.h"

#include "common/value_text.h"
#include "data/record_store.h"
#include "data/stock_layout.h"

const PeriodTotalFields receiptTotals = {
    Stock::ReceiptQuantity,
    Stock::ReceiptAmount,
    Stock::MonthReceiptQuantity,
    Stock::MonthReceiptAmount,
    Stock::YearReceiptQuantity,
    Stock::YearReceiptAmount,
    Stock::ReceiptDate,
};

const PeriodTotalFields issueTotals = {
    Stock::IssueQuantity,
    Stock::IssueAmount,
    Stock::MonthIssueQuantity,
    Stock::MonthIssueAmount,
    Stock::YearIssueQuantity,
    Stock::YearIssueAmount,
    Stock::IssueDate,
};

bool addToPeriodTotals(RecordStore &store, const PeriodTotalFields &fields, double quantity,
    double amount, const QDateTime &now)
{
    const QDate last = store.readDate(fields.date);
    const QDate today = now.date();
    const bool sameYear = last.isValid() && last.year() == today.year();
    const bool sameMonth = sameYear && last.month() == today.month();
    const bool sameDay = sameMonth && last.day() == today.day();
    const auto total = [&](int field, double value, bool keeps) {
        return store.write(field, round2(keeps ? store.readNumber(field) + value : value));
    };
    return total(fields.dayQuantity, quantity, sameDay) && total(fields.dayAmount, amount, sameDay)
        && total(fields.monthQuantity, quantity, sameMonth)
        && total(fields.monthAmount, amount, sameMonth)
        && total(fields.yearQuantity, quantity, sameYear)
        && total(fields.yearAmount, amount, sameYear);
}
