#include "movements/bulk_addition.h"

#include "common/clock.h"
#include "common/value_text.h"
#include "data/record_file.h"
#include "data/stock_layout.h"
#include "table/data_source.h"

#include <QSet>

#include <algorithm>
#include <optional>
#include <utility>

namespace BulkAddition {

namespace {

// The number columns, in the order a Row holds them.
constexpr int priceColumn = 5;
constexpr int quantityColumn = 4;
constexpr int valueColumn = 6;
constexpr int alarmColumn = 7;

QString headingOf(int column)
{
    switch (column) {
    case quantityColumn:
        return QStringLiteral("库存数量");
    case priceColumn:
        return QStringLiteral("单价");
    case valueColumn:
        return QStringLiteral("库存金额");
    default:
        return QStringLiteral("报警数量");
    }
}

QString keyOf(const QString &name, const QString &spec)
{
    return name + QChar(0) + spec;
}

} // namespace

Collected collect(const DataSource &table)
{
    Collected collected;
    // The whole sheet: rows above a cursor left low in the list were dropped
    // without a word.
    for (int r = std::max(table.headerRows(), 1) + 1; r <= table.rowCount(); ++r) {
        if (table.text(r, 1).isEmpty())
            continue;
        Row row;
        row.name = table.text(r, 1);
        row.spec = table.text(r, 2);
        row.unit = table.text(r, 3);
        bool whole = true;
        for (const auto &[column, value] :
            {std::pair {priceColumn, &row.unitPrice}, std::pair {quantityColumn, &row.quantity},
                std::pair {valueColumn, &row.value}, std::pair {alarmColumn, &row.alarm}}) {
            const QString text = table.text(r, column);
            if (const std::optional<double> n = wholeNumber(text)) {
                *value = *n;
            } else {
                collected.badNumbers.append({r, row.name, headingOf(column), text});
                whole = false;
            }
        }
        if (whole) {
            collected.rows.append(row);
            collected.gridRows.append(r);
        }
    }
    return collected;
}

QString badNumbersMessage(const QList<BadNumber> &bad)
{
    QString text
        = QStringLiteral("以下单元格不是数字，没有加入任何一行。请在电子表格中改正后重新读入：");
    for (const BadNumber &b : bad)
        text += QStringLiteral("\n第 %1 行 %2：%3“%4”")
                    .arg(b.gridRow)
                    .arg(b.name, b.heading, b.text);
    return text;
}

Status findTwins(RecordFile &stock, const QList<Row> &rows, QList<int> *twins)
{
    twins->clear();
    QSet<QString> keys;
    for (const Row &row : rows)
        keys.insert(keyOf(row.name, row.spec));
    QSet<QString> known;
    const Status read = stock.forEachRecord([&](const RecordFile &record) {
        const QString key = keyOf(record.readText(Stock::Name), record.readText(Stock::Spec));
        if (keys.contains(key))
            known.insert(key);
    });
    if (!read)
        return read;
    for (int i = 0; i < rows.size(); ++i)
        if (known.contains(keyOf(rows[i].name, rows[i].spec)))
            twins->append(i);
    return Status::success();
}

QString twinsQuestion(const Collected &collected, const QList<int> &twins)
{
    QString text = QStringLiteral("以下各行的品名和规格型号在库存中已有：");
    for (const int i : twins) {
        const Row &row = collected.rows[i];
        text += QStringLiteral("\n第 %1 行 %2 %3")
                    .arg(collected.gridRows[i])
                    .arg(row.name, row.spec);
    }
    text += QStringLiteral("\n\n是：把这些行作为新的项目加入（库存中会有同名同规格的两项）；"
                           "否：不加入这些行。其余各行照常加入。");
    return text;
}

QString entryQuestion(int rowCount, const QDate &today)
{
    return QStringLiteral("这 %1 行材料是今天（%2）进库的吗？\n\n"
                          "是：作为今天的进库加入，计入本日、本月、本年进库统计。\n"
                          "否：作为期初库存加入，不计入进库统计（一般选这一项）。")
        .arg(rowCount)
        .arg(dateText(today));
}

QString receiptEntry(const Row &row, const QString &dateTimeText)
{
    return QStringLiteral("数量 ") + numberText(row.quantity) + QStringLiteral(" 单价 ")
        + numberText(row.unitPrice) + QStringLiteral(" 金额 ") + numberText(row.value) + u' '
        + dateTimeText + QStringLiteral("\r\n");
}

QString openingEntry(const Row &row, const QString &dateTimeText)
{
    return QStringLiteral("期初 ") + receiptEntry(row, dateTimeText);
}

namespace {

// One row as a new record.
Status addRow(RecordFile &stock, const Row &row, Entry entry, const QDateTime &now)
{
    Status s = stock.add({row.name, row.spec, row.unit, row.quantity, row.unitPrice, row.value});
    if (entry == Entry::Receipt) {
        const std::pair<int, QVariant> fields[] = {{Stock::ReceiptQuantity, row.quantity},
            {Stock::ReceiptAmount, row.value}, {Stock::MonthReceiptQuantity, row.quantity},
            {Stock::MonthReceiptAmount, row.value}, {Stock::YearReceiptQuantity, row.quantity},
            {Stock::YearReceiptAmount, row.value}, {Stock::ReceiptDate, now}};
        for (const auto &[field, value] : fields)
            if (s)
                s = stock.write(field, value);
    }
    const QString line = entry == Entry::Receipt ? receiptEntry(row, dateTimeText(now))
                                                 : openingEntry(row, dateTimeText(now));
    if (s)
        s = stock.appendMemo(Stock::ReceiptHistory, line);
    if (s)
        s = stock.write(Stock::AlarmQuantity, row.alarm);
    return s;
}

} // namespace

Status add(RecordFile &stock, const QList<Row> &rows, const Clock &clock, Entry entry,
    QString *diskProblem)
{
    RecordFile::Transaction transaction(stock);
    if (Status s = transaction.begin(); !s)
        return s;
    for (const Row &row : rows)
        if (Status s = addRow(stock, row, entry, clock.now()); !s)
            return s;
    if (Status committed = transaction.commit(); !committed)
        return committed;
    if (diskProblem)
        *diskProblem = stock.diskWarning();
    return Status::success();
}

} // namespace BulkAddition
