#pragma once

#include "common/status.h"
#include "data/field.h"

#include <QStringList>

// The stock file data.zrb (+ data.edt): one record per stock item. Fields are
// read and written by number and copied by name, so both are fixed.
namespace Stock {

enum FieldNo {
    Name = 1, // 品名
    Spec = 2, // 规格型号
    Unit = 3, // 单位
    Quantity = 4, // 数量
    UnitPrice = 5, // 单价
    Amount = 6, // 金额
    IssueQuantity = 7, // 出库数量 (day of IssueDate)
    IssueAmount = 8, // 出库金额
    IssueDate = 9, // 出库日期
    IssueHistory = 10, // 出库记录 (memo)
    ReceiptQuantity = 11, // 进库数量 (day of ReceiptDate)
    ReceiptAmount = 12, // 进库金额
    ReceiptDate = 13, // 进库日期
    ReceiptHistory = 14, // 进库记录 (memo)
    AlarmQuantity = 15, // 报警数量
    MonthIssueQuantity = 16, // 本月出库数量
    MonthIssueAmount = 17, // 本月出库金额
    YearIssueQuantity = 18, // 本年出库数量
    YearIssueAmount = 19, // 本年出库金额
    MonthReceiptQuantity = 20, // 本月进库数量
    MonthReceiptAmount = 21, // 本月进库金额
    YearReceiptQuantity = 22, // 本年进库数量
    YearReceiptAmount = 23, // 本年进库金额
};

constexpr int fieldCount = 23;

// The 23 fields in order.
const Layout &layout();

// The seven fields of the display copy data2.zrb, in order.
const QStringList &displayFields();

// The alias the stock file is always opened under.
inline QString alias()
{
    return QStringLiteral("data");
}

// File names inside the program directory.
inline QString fileName()
{
    return QStringLiteral("data.zrb");
}
inline QString displayFileName()
{
    return QStringLiteral("data2.zrb");
}

// Whether a layout is the stock layout (names and kinds, in order).
bool isStockLayout(const Layout &candidate);

// Creates an empty stock file (and its companion) at `path`, replacing nothing:
// fails when the file exists.
Status createEmptyFile(const QString &path);

} // namespace Stock
