// A nine-line goods issue and a goods receipt on 10 000 and 100 000 items,
// backups included, beside their floor: the same record updates done in plain
// SQL on the same file (finding by the key index, one commit) and the items'
// backups written by plain SQL and renamed into place unflushed, as the
// commit alone is what a booking has to wait for. The issue is timed again
// with 256 MB of another program's unsaved data on the same file system,
// which a booking must not wait for.
//
// With the shim of the tests preloaded the flushes and renames per operation
// are printed too, and WH_FLUSH_DELAY_US makes each flush as slow as a disk:
//   LD_PRELOAD=$B/tests/libsyscall_shim.so WH_FLUSH_DELAY_US=5000
//   $B/bench/movements_bench --benchmark_repetitions=5
// (one command line).

#include "bench_report.h"
#include "stock_fixture.h"

#include "common/file_system.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "issue/goods_issue.h"
#include "movements/receipt.h"
#include "movements/undo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <cstdlib>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

const QDateTime now(today, QTime(10, 30));

// Skips the rest of the run with the reason the program gave.
void skipWith(benchmark::State &state, const Status &failed)
{
    static std::string reason; // the library may keep the pointer
    reason = failed.message().toStdString();
    state.SkipWithError(reason.c_str());
}

IssueNote nineLines(int items)
{
    IssueNote note;
    note.department = QStringLiteral("供电所");
    note.handler = QStringLiteral("张三");
    for (int k = 1; k <= 9; ++k) {
        const int i = items * k / 10;
        note.lines.append({QStringLiteral("材料%1").arg(i), QStringLiteral("型号-%1").arg(i % 97),
            QStringLiteral("1"), QStringLiteral("12.5")});
    }
    return note;
}

// The stock file as the windows hold it, opened once and then selected.
RecordFile &stockOf(RecordStore &store, const QString &dir)
{
    RecordFile *stock = nullptr;
    if (!store.openOrSelect(dir + QStringLiteral("/data.zrb"), Stock::alias(), &stock))
        std::abort();
    return *stock;
}

void NineLineIssue_Ours(benchmark::State &state)
{
    const QString dir = programDirWith(int(state.range(0)));
    const IssueNote note = nineLines(int(state.range(0)));
    RecordStore store;
    const SyscallCounts start = syscallCounts();
    for (auto _ : state)
        if (Status booked = bookIssue(stockOf(store, dir), dir, note, now); !booked)
            skipWith(state, booked);
    reportSyscalls(state, start);
}

// Plain SQL: find each item by its key, update the changed columns, append a
// history line to the record file's memo queue; one transaction of one file.
void updateBySql(sqlite3 *db, const QList<std::pair<QByteArray, QByteArray>> &keys)
{
    sqlite3_stmt *find = nullptr;
    sqlite3_stmt *update = nullptr;
    sqlite3_stmt *memo = nullptr;
    sqlite3_prepare_v2(
        db, "SELECT id FROM records WHERE c1=? AND c2=? ORDER BY id LIMIT 1", -1, &find, nullptr);
    sqlite3_prepare_v2(db,
        "UPDATE records SET c4=round(c4-1,2),c6=max(round(c6-12.5,2),0),c7=c7+1,"
        "c8=c8+12.5,c16=c16+1,c17=c17+12.5,c18=c18+1,c19=c19+12.5,"
        "c9=20261207103000 WHERE id=?",
        -1, &update, nullptr);
    sqlite3_prepare_v2(db,
        "INSERT INTO main.memo_queue VALUES(?1,10,(SELECT coalesce(max(seq),0)+1 FROM "
        "(SELECT seq FROM edt.memos WHERE id=?1 AND field=10 UNION ALL SELECT seq FROM "
        "main.memo_queue WHERE id=?1 AND field=10)),'数量 1 金额 12.5')",
        -1, &memo, nullptr);
    sqlite3_exec(db, "BEGIN;UPDATE main.meta SET value=value WHERE 0", nullptr, nullptr, nullptr);
    for (const auto &[name, spec] : keys) {
        sqlite3_bind_text(find, 1, name.constData(), int(name.size()), SQLITE_STATIC);
        sqlite3_bind_text(find, 2, spec.constData(), int(spec.size()), SQLITE_STATIC);
        const qint64 id = sqlite3_step(find) == SQLITE_ROW ? sqlite3_column_int64(find, 0) : 0;
        sqlite3_reset(find);
        sqlite3_bind_int64(update, 1, id);
        sqlite3_step(update);
        sqlite3_reset(update);
        sqlite3_bind_int64(memo, 1, id);
        sqlite3_step(memo);
        sqlite3_reset(memo);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(find);
    sqlite3_finalize(update);
    sqlite3_finalize(memo);
}

// The backups of the floor: each item's record and memos copied by plain SQL
// into a file of its own (no journal), then renamed into place; nothing
// flushed.
void backUpBySql(const QString &dir, const QList<std::pair<QByteArray, QByteArray>> &keys)
{
    const QString folder = dir + QStringLiteral("/floor-backups");
    QDir().mkpath(folder);
    QStringList written;
    for (const auto &[name, spec] : keys) {
        const QString path = folder + u'/' + QString::number(written.size()) + ".tmp";
        QFile::remove(path);
        sqlite3 *db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        const QByteArray sql = QStringLiteral("PRAGMA journal_mode=OFF;PRAGMA synchronous=OFF;"
                                              "ATTACH '%1/data.zrb' AS s;ATTACH '%1/data.edt' AS "
                                              "se;CREATE TABLE records AS SELECT * FROM s.records "
                                              "WHERE c1='%2' AND c2='%3';CREATE TABLE memos AS "
                                              "SELECT * FROM se.memos WHERE id IN (SELECT id FROM "
                                              "records)")
                                   .arg(dir, QString::fromUtf8(name), QString::fromUtf8(spec))
                                   .toUtf8();
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        written << path;
    }
    for (const QString &path : written)
        if (!FileSystem::replaceFile(path, path.chopped(4) + QStringLiteral(".zrb")))
            std::abort();
}

sqlite3 *openBySql(const QString &dir)
{
    sqlite3 *db = nullptr;
    sqlite3_open((dir + QStringLiteral("/data.zrb")).toUtf8().constData(), &db);
    sqlite3_exec(db,
        (QStringLiteral("PRAGMA synchronous=FULL;ATTACH '%1/data.edt' AS edt;"
                        "PRAGMA edt.synchronous=FULL")
                .arg(dir))
            .toUtf8()
            .constData(),
        nullptr, nullptr, nullptr);
    return db;
}

void NineLineIssue_Floor(benchmark::State &state)
{
    const QString dir = programDirWith(int(state.range(0)));
    QList<std::pair<QByteArray, QByteArray>> keys;
    for (const IssueNote::Line &line : nineLines(int(state.range(0))).lines)
        keys.append({line.name.toUtf8(), line.spec.toUtf8()});
    sqlite3 *db = openBySql(dir);
    const SyscallCounts start = syscallCounts();
    for (auto _ : state) {
        updateBySql(db, keys);
        backUpBySql(dir, keys);
    }
    reportSyscalls(state, start);
    sqlite3_close(db);
}

// Another program's 256 MB, written and not flushed, on the bench's file
// system: written again before each operation (untimed), so that each one
// finds all of it unsaved.
class UnsavedData
{
public:
    UnsavedData()
        : file_(workPath(QStringLiteral("unsaved.bin")))
    {
        if (!file_.open(QIODevice::ReadWrite))
            std::abort();
    }
    ~UnsavedData()
    {
        file_.close();
        file_.remove();
    }
    void write(benchmark::State &state)
    {
        state.PauseTiming();
        const QByteArray block(1 << 20, char('a' + rounds_++ % 26));
        file_.seek(0);
        for (int k = 0; k < 256; ++k)
            if (file_.write(block) != block.size())
                std::abort();
        file_.flush(); // to the system, not to the disk
        state.ResumeTiming();
    }

private:
    QFile file_;
    int rounds_ = 0;
};

void NineLineIssueBesideUnsavedData_Ours(benchmark::State &state)
{
    const QString dir = programDirWith(int(state.range(0)));
    const IssueNote note = nineLines(int(state.range(0)));
    RecordStore store;
    UnsavedData unsaved;
    const SyscallCounts start = syscallCounts();
    for (auto _ : state) {
        unsaved.write(state);
        if (Status booked = bookIssue(stockOf(store, dir), dir, note, now); !booked)
            skipWith(state, booked);
    }
    reportSyscalls(state, start);
}

void NineLineIssueBesideUnsavedData_Floor(benchmark::State &state)
{
    const QString dir = programDirWith(int(state.range(0)));
    QList<std::pair<QByteArray, QByteArray>> keys;
    for (const IssueNote::Line &line : nineLines(int(state.range(0))).lines)
        keys.append({line.name.toUtf8(), line.spec.toUtf8()});
    sqlite3 *db = openBySql(dir);
    UnsavedData unsaved;
    const SyscallCounts start = syscallCounts();
    for (auto _ : state) {
        unsaved.write(state);
        updateBySql(db, keys);
        backUpBySql(dir, keys);
    }
    reportSyscalls(state, start);
    sqlite3_close(db);
}

ReceiptInput receiptOf(int items)
{
    const int i = items / 2;
    return {QStringLiteral("材料%1").arg(i), QStringLiteral("型号-%1").arg(i % 97),
        QStringLiteral("个"), QStringLiteral("12.5"), QStringLiteral("2"), QStringLiteral("25"),
        QStringLiteral("3")};
}

void Receipt_Ours(benchmark::State &state)
{
    const QString dir = programDirWith(int(state.range(0)));
    const ReceiptInput input = receiptOf(int(state.range(0)));
    RecordStore store;
    RecordFile &stock = stockOf(store, dir);
    const SyscallCounts start = syscallCounts();
    for (auto _ : state)
        if (!bookReceipt(stock, dir, input, now))
            state.SkipWithError("receipt failed");
    reportSyscalls(state, start);
}

void Receipt_Floor(benchmark::State &state)
{
    const QString dir = programDirWith(int(state.range(0)));
    const ReceiptInput input = receiptOf(int(state.range(0)));
    sqlite3 *db = openBySql(dir);
    const SyscallCounts start = syscallCounts();
    for (auto _ : state) {
        updateBySql(db, {{input.name.toUtf8(), input.spec.toUtf8()}});
        backUpBySql(dir, {{input.name.toUtf8(), input.spec.toUtf8()}});
    }
    reportSyscalls(state, start);
    sqlite3_close(db);
}

// One undo of an item. The same source measures the program before the
// undo took back the movement alone (restoring the backup by the item's
// record number), and before that restored in place (taking no moment).
template<typename Store>
bool undoOnce(Store &store, const QString &dir, int recordNumber, const QString &backup,
    const ReceiptInput &input)
{
    if constexpr (requires {
                      Undo::restore(Undo::Kind::Receipt, store, backup, input.name, input.spec);
                  })
        return bool(Undo::restore(Undo::Kind::Receipt, store, backup, input.name, input.spec));
    else if constexpr (requires {
                           Undo::restore(
                               store, dir, recordNumber, backup, input.name, input.spec, now);
                       })
        return bool(Undo::restore(store, dir, recordNumber, backup, input.name, input.spec, now));
    else
        return bool(Undo::restore(store, dir, recordNumber, backup, input.name, input.spec));
}

// The undo of one receipt (booked again before each, untimed); its floor is
// a whole copy of both files by plain SQL, what an undo by copying would take.
void Undo_Ours(benchmark::State &state)
{
    const int items = int(state.range(0));
    const QString dir = programDirWith(items);
    const ReceiptInput input = receiptOf(items);
    RecordStore store;
    RecordFile &stock = stockOf(store, dir);
    // Leaves the receipt backup.
    if (!bookReceipt(stock, dir, input, now))
        std::abort();
    if (!stock.findFirstEqual(Stock::Name, input.name, Stock::Spec, input.spec) || stock.atEnd())
        std::abort();
    const int recordNumber = stock.recordNumber();
    const QString backup
        = dir + QStringLiteral("/进库备份/") + input.name + input.spec + QStringLiteral(".zrb");
    const SyscallCounts start = syscallCounts();
    for (auto _ : state) {
        if (!undoOnce(stock, dir, recordNumber, backup, input))
            state.SkipWithError("undo failed");
        state.PauseTiming(); // an undo takes back its receipt once
        if (!bookReceipt(stock, dir, input, now))
            state.SkipWithError("receipt failed");
        QDir(dir + QStringLiteral("/备份数据库")).removeRecursively();
        state.ResumeTiming();
    }
    reportSyscalls(state, start);
}

void Undo_Floor(benchmark::State &state)
{
    const QString dir = programDirWith(int(state.range(0)));
    const QString target = workPath(QStringLiteral("undo-floor"));
    for (auto _ : state) {
        QFile::remove(target + ".zrb");
        QFile::remove(target + ".edt");
        sqlite3 *db = nullptr;
        sqlite3_open((dir + QStringLiteral("/data.zrb")).toUtf8().constData(), &db);
        sqlite3_exec(db,
            QStringLiteral("ATTACH '%1/data.edt' AS edt;VACUUM main INTO '%2.zrb';VACUUM edt "
                           "INTO '%2.edt'")
                .arg(dir, target)
                .toUtf8()
                .constData(),
            nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
}

BENCHMARK(NineLineIssue_Ours)->Apply(stockSizes);
BENCHMARK(NineLineIssue_Floor)->Apply(stockSizes);
BENCHMARK(NineLineIssueBesideUnsavedData_Ours)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(NineLineIssueBesideUnsavedData_Floor)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Receipt_Ours)->Apply(stockSizes);
BENCHMARK(Receipt_Floor)->Apply(stockSizes);
BENCHMARK(Undo_Ours)->Apply(stockSizes);
BENCHMARK(Undo_Floor)->Apply(stockSizes);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarksWithFloors(argc, argv);
}
