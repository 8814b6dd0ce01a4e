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
    const auto inPeriod = [&](const RecordStore &s) {
        const QDate date = s.readDate(dateField);
        if (!date.isValid() || date.year() != today.year())
            return false;
        if (kind.period == Period::Year)
            return true;
        if (date.month() != today.month())
            return false;
        return kind.period == Period::Month || date.day() == today.day();
    };
    // The editor may still hold the last result open under "qd"; closing it
    // leaves the stock file current.
    store.closePath(resultPath(programDir));
    if (!store.copyTo(resultPath(programDir), inPeriod, fields(kind)))
        return Status::failure(store.lastError());
    return Status::success();
}

} // namespace Statistics
