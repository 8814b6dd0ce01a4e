#include "ledger/ledger.h"

#include "data/record_file.h"
#include "data/stock_layout.h"

namespace Ledger {

QString text(RecordFile &stock, const QString &name, const QString &spec)
{
    if (!stock.findFirstEqual(Stock::Name, name, Stock::Spec, spec) || stock.atEnd())
        return {};
    const QString lineEnd = QStringLiteral("\r\n");
    const QString itemName = stock.readText(Stock::Name);
    return QStringLiteral("以下是") + itemName + QStringLiteral("进库记录:") + lineEnd
        + stock.readText(Stock::ReceiptHistory) + lineEnd + lineEnd + lineEnd + lineEnd
        + QStringLiteral("以下是") + itemName + QStringLiteral("出库记录:") + lineEnd
        + stock.readText(Stock::IssueHistory);
}

} // namespace Ledger
