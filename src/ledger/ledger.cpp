#include "ledger/ledger.h"

#include "data/record_file.h"
#include "data/stock_layout.h"

#include <QRegularExpression>

namespace Ledger {
namespace {

const QString lineEnd = QStringLiteral("\r\n");

// Moves to the record to show: the one of `recordId` while it holds the key,
// else the first of the key. False when the key has none.
bool findRecord(RecordFile &stock, const QString &name, const QString &spec, qint64 recordId)
{
    if (recordId != 0 && stock.goToId(recordId) && stock.readText(Stock::Name) == name
        && stock.readText(Stock::Spec) == spec)
        return true;
    return stock.findFirstEqual(Stock::Name, name, Stock::Spec, spec) && !stock.atEnd();
}

} // namespace

QString endedLines(const QString &history)
{
    if (history.isEmpty())
        return history;
    // A date-time text ends in 日, 时, 分 or 秒 after a digit; a history line
    // never goes on from there with "数量 ", which starts every receipt line.
    static const QRegularExpression runOn(QStringLiteral("(?<=\\d[日时分秒])(?=数量 )"));
    QString ended = history;
    ended.replace(runOn, lineEnd);
    if (!ended.endsWith(u'\n'))
        ended += lineEnd;
    return ended;
}

QString text(RecordFile &stock, const QString &name, const QString &spec, qint64 recordId)
{
    if (!findRecord(stock, name, spec, recordId))
        return {};
    const QString itemName = stock.readText(Stock::Name);
    return QStringLiteral("以下是") + itemName + QStringLiteral("进库记录:") + lineEnd
        + endedLines(stock.readText(Stock::ReceiptHistory)) + lineEnd + lineEnd + lineEnd + lineEnd
        + QStringLiteral("以下是") + itemName + QStringLiteral("出库记录:") + lineEnd
        + endedLines(stock.readText(Stock::IssueHistory));
}

QString title(const QString &name, const QString &spec)
{
    QString item = name;
    if (!spec.isEmpty())
        item += u' ' + spec;
    return QStringLiteral("进出库簿 — ") + item;
}

} // namespace Ledger
