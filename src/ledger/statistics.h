#pragma once

#include "common/status.h"
#include "table/text_rows.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class RecordFile;

// The period statistics of the "统计" menu: the items whose latest issue
// (receipt) falls on today, in this month or in this year, with that
// period's totals, copied into qd.zrb for the table editor.
namespace Statistics {

enum class Period { Day, Month, Year };
enum class Movement { Issue, Receipt };

struct Kind
{
    Movement movement;
    Period period;
};

// The menu caption of a statistic ("本日出库" ... "本年进库").
QString caption(const Kind &kind);

// The title of its window: the caption and the period it covers ("本日出库
// 2026年12月9日", "本月进库 2026年12月", "本年进库 2026年").
QString title(const Kind &kind, const QDate &today);

// The seven fields of its result: 品名, 规格型号, 单位, 单价, the period's
// quantity and amount, and the date of the latest movement.
QStringList fields(const Kind &kind);

// The result file in the program directory.
QString resultPath(const QString &programDir);

// Writes qd.zrb (replacing it; no one may hold it open) with every record of
// the stock file, in its order, whose date of the latest movement shares the
// period with `now`.
Status write(RecordFile &stock, const QString &programDir, const Kind &kind, const QDateTime &now);

// The rows of that result as the table editor shows them: the texts of the
// seven fields of every record write() copies, in the same order. Reads the
// stock file on a connection of its own, so it may run beside write().
Status readRows(const QString &programDir, const Kind &kind, const QDateTime &now, TextRows &rows);

// write(), giving the rows of the result too, so the editor need not read
// qd.zrb back: with one reader thread the copy reads them as it writes them
// (on a stock file of up to 300 000 records); with two, readRows() runs
// beside the write on a thread of its own. `rows` holds them when all
// succeeded (and, with two threads, the stock file did not change
// meanwhile); otherwise it stays empty and the editor reads the file. The
// status is write()'s.
Status writeWithRows(RecordFile &stock, const QString &programDir, const Kind &kind,
    const QDateTime &now, std::optional<TextRows> &rows);

} // namespace Statistics
