#pragma once

#include <QString>

class RecordFile;

// An item's receipt and issue history, as the ledger shows it.
namespace Ledger {

// The ledger text of the first stock record with the exact key: its receipt
// history under "以下是<品名>进库记录:", three empty lines, then its issue
// history under "以下是<品名>出库记录:". Empty when there is no such item.
QString text(RecordFile &stock, const QString &name, const QString &spec);

} // namespace Ledger
