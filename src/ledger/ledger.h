#pragma once

#include <QString>

class RecordFile;

// An item's receipt and issue history, as the ledger shows it.
namespace Ledger {

// The ledger text of one stock record: its receipt history under
// "以下是<品名>进库记录:", three empty lines, then its issue history under
// "以下是<品名>出库记录:". Every history line ends with CR LF (see
// endedLines()). The record is the one with `recordId` while it holds the
// key, so that of two records with one key the one under the list's cursor
// is shown; else the first record of the key. Empty when the key has none.
QString text(RecordFile &stock, const QString &name, const QString &spec, qint64 recordId = 0);

// A history with every line ended by CR LF. An opening entry written by
// older versions has no line end, so the next receipt line ("数量 …") follows
// its date-time directly ("…10时8分50秒数量 200 …"): a line end goes between
// them, and after a last line that lacks one. An empty history stays empty.
QString endedLines(const QString &history);

// The ledger window's title: "进出库簿 — " with the 品名 and the 规格型号.
QString title(const QString &name, const QString &spec);

} // namespace Ledger
