#include "ledger/ledger.h"

#include "data/record_store.h"
#include "data/stock_layout.h"

namespace Ledger {

QString text(RecordStore &store, const QString &name, const QString &spec)
{
    if (!store.findFirstEqual(Stock::Name, name, Stock::Spec, spec))
        return {};
    const QString lineEnd = QStringLiteral("\r\n");
    const QString itemName = store.readText(Stock::Name);
    return QStringLiteral("以下是") + itemName + QStringLiteral("进库记录:") + lineEnd
        + store.readText(Stock::ReceiptHistory) + lineEnd + lineEnd + lineEnd + lineEnd
        + QStringLiteral("以下是") + itemName + QStringLiteral("出库记录:") + lineEnd
        + store.readText(Stock::IssueHistory);
}

} // namespace Ledger
