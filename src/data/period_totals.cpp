#include "data/period_totals.h"

#include "common/value_text.h"
#include "data/record_file.h"
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

Status addToPeriodTotals(RecordFile &stock, const PeriodTotalFields &fields, double quantity,
    double amount, const QDateTime &now)
{
    const QDate last = stock.readDate(fields.date);
    const QDate today = now.date();
    const bool sameYear = last.isValid() && last.year() == today.year();
    const bool sameMonth = sameYear && last.month() == today.month();
    const bool sameDay = sameMonth && last.day() == today.day();
    struct Total
    {
        int field;
        double added;
        bool keeps;
    };
    const Total totals[]
        = {{fields.dayQuantity, quantity, sameDay}, {fields.dayAmount, amount, sameDay},
            {fields.monthQuantity, quantity, sameMonth}, {fields.monthAmount, amount, sameMonth},
            {fields.yearQuantity, quantity, sameYear}, {fields.yearAmount, amount, sameYear}};
    Status s = stock.readStatus();
    for (const Total &t : totals) {
        if (!s)
            break;
        const double value = round2(t.keeps ? stock.readNumber(t.field) + t.added : t.added);
        s = stock.readStatus();
        if (s)
            s = stock.write(t.field, value);
    }
    return s;
}
