#include "ledger/statistics.h"

#include "data/record_store.h"
#include "data/stock_layout.h"

namespace Statistics {

QString caption(const Kind &kind)
{
    static const QString periods[]
        = {QStringLiteral("本日"), QStringLiteral("本月"), QStringLiteral("本年")};
    return periods[int(kind.period)]
        + (kind.movement == Movement::Issue ? QStringLiteral("出库") : QStringLiteral("进库"));
}

QStringList fields(const Kind &kind)
{
    const QString movement
        = kind.movement == Movement::Issue ? QStringLiteral("出库") : QStringLiteral("进库");
    const QString prefix = kind.period == Period::Day ? QString()
        : kind.period == Period::Month                ? QStringLiteral("本月")
                                                      : QStringLiteral("本年");
    return {QStringLiteral("品名"), QStringLiteral("规格型号"), QStringLiteral("单位"),
        QStringLiteral("单价"), prefix + movement + QStringLiteral("数量"),
        prefix + movement + QStringLiteral("金额"), movement + QStringLiteral("日期")};
}

QString resultPath(const QString &programDir)
{
    return programDir + QStringLiteral("/qd.zrb");
}

Status write(RecordStore &store, const QString &programDir, const Kind &kind, const QDateTime &now)
{
    if (!store.openOrSelect(programDir + u'/' + Stock::fileName(), Stock::alias()))
        return Status::failure(store.lastError());
    const int dateField = kind.movement == Movement::Issue ? Stock::IssueDate : Stock::ReceiptDate;
    const QDate today = now.date();
    const QDate first = kind.period == Period::Day ? today
        : kind.period == Period::Month             ? QDate(today.year(), today.month(), 1)
                                                   : QDate(today.year(), 1, 1);
    const QDate last = kind.period == Period::Day ? today
        : kind.period == Period::Month ? QDate(today.year(), today.month(), today.daysInMonth())
                                       : QDate(today.year(), 12, 31);
    // The editor may still hold the last result open under "qd"; closing it
    // leaves the stock file current.
    store.closePath(resultPath(programDir));
    if (!store.copyDaysToScratch(resultPath(programDir), dateField, first, last, fields(kind)))
        return Status::failure(store.lastError());
    return Status::success();
}

} // namespace Statistics
