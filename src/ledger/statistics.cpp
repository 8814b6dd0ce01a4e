#include "ledger/statistics.h"

#include "common/reader_threads.h"
#include "data/record_file.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"

#include <thread>

namespace Statistics {

QString caption(const Kind &kind)
{
    static const QString periods[]
        = {QStringLiteral("本日"), QStringLiteral("本月"), QStringLiteral("本年")};
    return periods[int(kind.period)]
        + (kind.movement == Movement::Issue ? QStringLiteral("出库") : QStringLiteral("进库"));
}

QString title(const Kind &kind, const QDate &today)
{
    QString period = QString::number(today.year()) + u'年';
    if (kind.period != Period::Year)
        period += QString::number(today.month()) + u'月';
    if (kind.period == Period::Day)
        period += QString::number(today.day()) + u'日';
    return caption(kind) + u' ' + period;
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

namespace {

struct Days
{
    QDate first, last;
};

Days periodOf(const Kind &kind, const QDateTime &now)
{
    const QDate today = now.date();
    switch (kind.period) {
    case Period::Day:
        return {today, today};
    case Period::Month:
        return {QDate(today.year(), today.month(), 1),
            QDate(today.year(), today.month(), today.daysInMonth())};
    case Period::Year:
        break;
    }
    return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
}

int dateFieldOf(const Kind &kind)
{
    return kind.movement == Movement::Issue ? Stock::IssueDate : Stock::ReceiptDate;
}

// Appends to `rows`, making room for the texts once the first rows tell how
// long they run: a year's result is most of the `records`, and a buffer grown
// by doubling would be copied whole near its end.
std::function<void(const QStringView *)> appendingTo(TextRows &rows, int records)
{
    constexpr int sampleRows = 256;
    rows.reserve(records, 0);
    return [&rows, records, seen = 0](const QStringView *texts) mutable {
        rows.append(texts);
        if (++seen == sampleRows && records > sampleRows)
            rows.reserve(records - sampleRows,
                int(rows.texts().size() / sampleRows + rows.texts().size() / sampleRows / 8 + 1));
    };
}

// Up to this many stock records the copy reads the editor's rows itself. On
// longer files the rows' own buffer, beside the table the editor fills from
// it, costs more in fresh memory than reading qd.zrb back does.
constexpr int copyReadsRowsUpTo = 300000;

// write(), handing `rows` (when given) the rows it copies as it copies them;
// `rows` stays empty when the file is too long for that.
Status writeReading(RecordFile &stock, const QString &programDir, const Kind &kind,
    const QDateTime &now, std::optional<TextRows> *rows)
{
    const Days days = periodOf(kind, now);
    const QString path = resultPath(programDir);
    if (!rows || stock.recordCount() > copyReadsRowsUpTo)
        return stock.copyDaysToScratch(
            path, dateFieldOf(kind), days.first, days.last, fields(kind));
    TextRows &read = rows->emplace(int(fields(kind).size()));
    Status written = stock.copyDaysToScratch(path, dateFieldOf(kind), days.first, days.last,
        fields(kind), appendingTo(read, stock.recordCount()));
    if (!written)
        rows->reset();
    return written;
}

} // namespace

Status write(RecordFile &stock, const QString &programDir, const Kind &kind, const QDateTime &now)
{
    return writeReading(stock, programDir, kind, now, nullptr);
}

Status readRows(const QString &programDir, const Kind &kind, const QDateTime &now, TextRows &rows)
{
    RecordFile reader;
    if (Status s = reader.open(programDir + u'/' + Stock::fileName(), Stock::alias()); !s)
        return s;
    const Days days = periodOf(kind, now);
    const QStringList names = fields(kind);
    rows = TextRows(int(names.size()));
    return reader.forEachRowInDays(
        dateFieldOf(kind), days.first, days.last, names, appendingTo(rows, reader.recordCount()));
}

Status writeWithRows(RecordFile &stock, const QString &programDir, const Kind &kind,
    const QDateTime &now, std::optional<TextRows> &rows)
{
    rows.reset();
    // With one thread the copy's own scan reads the rows: a second scan beside
    // it would only take turns with it.
    if (readerThreads() < 2)
        return writeReading(stock, programDir, kind, now, &rows);
    const StockFile::Signature before = StockFile::signature(programDir);
    TextRows read;
    Status readStatus = Status::success();
    std::thread reader([&] { readStatus = readRows(programDir, kind, now, read); });
    const Status written = write(stock, programDir, kind, now);
    reader.join();
    // Both read the stock file as it was before, unless another program
    // committed to it meanwhile: then the rows may not be the file's.
    if (written && readStatus && StockFile::signature(programDir) == before)
        rows = std::move(read);
    return written;
}

} // namespace Statistics
