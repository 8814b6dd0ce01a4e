#pragma once

#include "common/status.h"

#include <QDateTime>

class RecordFile;

// The day, month and year totals of one kind of movement on a stock record,
// and the date they refer to.
struct PeriodTotalFields
{
    int dayQuantity;
    int dayAmount;
    int monthQuantity;
    int monthAmount;
    int yearQuantity;
    int yearAmount;
    int date;
};

// Receipts: 进库数量/金额, 本月进库数量/金额, 本年进库数量/金额, 进库日期.
extern const PeriodTotalFields receiptTotals;
// Issues: 出库数量/金额, 本月出库数量/金额, 本年出库数量/金额, 出库日期.
extern const PeriodTotalFields issueTotals;

// Adds a movement to the totals of the stock file's current record. Totals
// of a period the stored date shares with `now` grow by the movement; the
// others restart with it (a never-set date shares nothing). Every value goes through round2; the
// fields are written day quantity, day amount, month quantity, month amount,
// year quantity, year amount. The date itself is not written.
Status addToPeriodTotals(RecordFile &stock, const PeriodTotalFields &fields, double quantity,
    double amount, const QDateTime &now);
