// Record store figures on stock files of 1 000, 10 000 and 100 000 items (and
// 1 000 000 with WAREHOUSE_BENCH_MILLION set), each beside its floor: the same work
// done with plain SQL on the same files in the same run. A summary table with
// the ratios is printed at the end.

#include "bench_report.h"
#include "stock_fixture.h"

#include "common/value_text.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <map>

namespace {

// --- Plain SQL ----------------------------------------------------------------

struct Sql
{
    sqlite3 *db = nullptr;
    explicit Sql(const QString &path, bool attach = true)
    {
        sqlite3_open_v2(
            path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        exec("PRAGMA journal_mode=DELETE;PRAGMA synchronous=FULL");
        if (attach)
            exec(QStringLiteral("ATTACH '%1' AS edt;PRAGMA edt.journal_mode=DELETE;"
                                "PRAGMA edt.synchronous=FULL")
                     .arg(RecordStore::companionPath(path))
                     .toUtf8()
                     .constData());
    }
    ~Sql() { sqlite3_close(db); }
    void exec(const char *sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    qint64 one(const char *sql)
    {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        qint64 value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        return value;
    }
};

qint64 findBySql(sqlite3 *db, const QByteArray &name, const QByteArray &spec)
{
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db,
        "SELECT id FROM records NOT INDEXED WHERE c1=? AND c2=? ORDER BY id LIMIT 1", -1, &stmt,
        nullptr);
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, spec.constData(), int(spec.size()), SQLITE_STATIC);
    const qint64 id = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
    sqlite3_finalize(stmt);
    return id;
}

// Copies columns into a new file the way a hand-written program would.
void copyBySql(const QString &source, const QString &target, const char *columns, const char *where)
{
    QFile::remove(target);
    {
        Sql out(target, false);
        out.exec("CREATE TABLE records(id INTEGER PRIMARY KEY,del INTEGER,c1 TEXT,c2 TEXT,c3 "
                 "TEXT,c4 REAL,c5 REAL,c6 REAL,c7 REAL)");
    }
    Sql in(source, false);
    in.exec(QStringLiteral("ATTACH '%1' AS out").arg(target).toUtf8().constData());
    in.exec("BEGIN");
    in.exec(QStringLiteral("INSERT INTO out.records SELECT id,del,%1 FROM records %2 ORDER BY id")
                .arg(QString::fromLatin1(columns), QString::fromLatin1(where))
                .toUtf8()
                .constData());
    in.exec("COMMIT");
}

std::pair<QString, QString> keyNearEnd(int items)
{
    const int i = items - 3;
    return {QStringLiteral("材料%1").arg(i), QStringLiteral("型号-%1").arg(i % 97)};
}

// --- Benchmarks ---------------------------------------------------------------

void Open_Ours(benchmark::State &state)
{
    const QString &path = stockFile(int(state.range(0)));
    for (auto _ : state) {
        RecordStore store;
        benchmark::DoNotOptimize(store.open(path, Stock::alias()));
    }
}

void Open_Floor(benchmark::State &state)
{
    const QString &path = stockFile(int(state.range(0)));
    for (auto _ : state) {
        Sql sql(path);
        benchmark::DoNotOptimize(sql.one("SELECT count(*) FROM layout"));
        benchmark::DoNotOptimize(sql.one("SELECT max(id) FROM records"));
    }
}

// The key find every booking does (the store's own index may serve it).
void FindKey_Ours(benchmark::State &state)
{
    RecordStore store;
    if (!store.open(stockFile(int(state.range(0))), Stock::alias()))
        std::abort();
    const auto [name, spec] = keyNearEnd(int(state.range(0)));
    for (auto _ : state)
        if (!store.findFirstEqual(Stock::Name, name, Stock::Spec, spec))
            state.SkipWithError("not found");
}

// A find with a condition callback: a scan that reads two fields per record.
void FindCondition_Ours(benchmark::State &state)
{
    RecordStore store;
    if (!store.open(stockFile(int(state.range(0))), Stock::alias()))
        std::abort();
    const auto [name, spec] = keyNearEnd(int(state.range(0)));
    for (auto _ : state) {
        store.first();
        const bool found = store.find([&](const RecordStore &s) {
            return s.readText(Stock::Name) == name && s.readText(Stock::Spec) == spec;
        });
        if (!found)
            state.SkipWithError("not found");
    }
}

void FindKey_Floor(benchmark::State &state)
{
    Sql sql(stockFile(int(state.range(0))));
    const auto [name, spec] = keyNearEnd(int(state.range(0)));
    const QByteArray n = name.toUtf8(), s = spec.toUtf8();
    for (auto _ : state)
        benchmark::DoNotOptimize(findBySql(sql.db, n, s));
}

void FindCondition_Floor(benchmark::State &state)
{
    FindKey_Floor(state);
}

void DisplayCopy_Ours(benchmark::State &state)
{
    RecordStore store;
    if (!store.open(stockFile(int(state.range(0))), Stock::alias()))
        std::abort();
    const QString target = workPath(QStringLiteral("data2.zrb"));
    for (auto _ : state)
        if (!store.copyTo(target, {}, Stock::displayFields()))
            state.SkipWithError("copy failed");
}

void DisplayCopy_Floor(benchmark::State &state)
{
    const QString &path = stockFile(int(state.range(0)));
    const QString target = workPath(QStringLiteral("sql2.zrb"));
    for (auto _ : state)
        copyBySql(path, target, "c1,c2,c3,c4,c5,c6,c15", "");
}

// Items issued this year: the kind of copy the statistics make.
void StatisticsCopy_Ours(benchmark::State &state)
{
    RecordStore store;
    if (!store.open(stockFile(int(state.range(0))), Stock::alias()))
        std::abort();
    const QString target = workPath(QStringLiteral("qd.zrb"));
    const QStringList fields
        = {"品名", "规格型号", "单位", "单价", "本年出库数量", "本年出库金额", "出库日期"};
    for (auto _ : state) {
        const bool copied = store.copyTo(
            target,
            [](const RecordStore &s) {
                return s.readDate(Stock::IssueDate).year() == today.year();
            },
            fields);
        if (!copied)
            std::abort();
    }
}

void StatisticsCopy_Floor(benchmark::State &state)
{
    const QString &path = stockFile(int(state.range(0)));
    const QString target = workPath(QStringLiteral("sqlqd.zrb"));
    const qint64 year = today.year();
    const QByteArray where = QStringLiteral("WHERE c9 BETWEEN %1 AND %2")
                                 .arg(year * 10000000000 + 101000000)
                                 .arg(year * 10000000000 + 1231235959)
                                 .toUtf8();
    for (auto _ : state)
        copyBySql(path, target, "c1,c2,c3,c5,c18,c19,c9", where.constData());
}

QList<std::pair<QString, QString>> nineKeys(int items)
{
    QList<std::pair<QString, QString>> keys;
    for (int k = 1; k <= 9; ++k) {
        const int i = items * k / 10;
        keys.append({QStringLiteral("材料%1").arg(i), QStringLiteral("型号-%1").arg(i % 97)});
    }
    return keys;
}

void NineUpdates_Ours(benchmark::State &state)
{
    const int items = int(state.range(0));
    RecordStore store;
    if (!store.open(stockFile(items), Stock::alias()))
        std::abort();
    const auto keys = nineKeys(items);
    for (auto _ : state) {
        RecordStore::Transaction transaction(store);
        for (const auto &[name, spec] : keys) {
            if (!store.findFirstEqual(Stock::Name, name, Stock::Spec, spec))
                state.SkipWithError("not found");
            if (!store.write(Stock::Quantity, round2(store.readNumber(Stock::Quantity) - 1)))
                std::abort();
            if (!store.write(Stock::Amount, round2(store.readNumber(Stock::Amount) - 12.5)))
                std::abort();
            if (!store.write(Stock::IssueQuantity, 1.0))
                std::abort();
            if (!store.write(Stock::IssueDate, QDateTime(today, QTime(10, 0))))
                std::abort();
            if (!store.appendMemo(Stock::IssueHistory, QStringLiteral("数量 1 金额 12.5\r\n")))
                std::abort();
        }
        if (!transaction.commit())
            std::abort();
    }
}

void NineUpdates_Floor(benchmark::State &state)
{
    const int items = int(state.range(0));
    Sql sql(stockFile(items));
    const auto keys = nineKeys(items);
    sqlite3_stmt *update = nullptr;
    sqlite3_prepare_v2(sql.db,
        "UPDATE records SET c4=round(c4-1,2),c6=round(c6-12.5,2),c7=1,"
        "c9=20261207100000 WHERE id=?",
        -1, &update, nullptr);
    sqlite3_stmt *memo = nullptr;
    sqlite3_prepare_v2(sql.db,
        "INSERT INTO edt.memos VALUES(?1,10,(SELECT coalesce(max(seq),0)+1 FROM "
        "edt.memos WHERE id=?1 AND field=10),?2)",
        -1, &memo, nullptr);
    const QByteArray line = QStringLiteral("数量 1 金额 12.5\r\n").toUtf8();
    for (auto _ : state) {
        sql.exec("BEGIN");
        for (const auto &[name, spec] : keys) {
            const qint64 id = findBySql(sql.db, name.toUtf8(), spec.toUtf8());
            sqlite3_bind_int64(update, 1, id);
            sqlite3_step(update);
            sqlite3_reset(update);
            sqlite3_bind_int64(memo, 1, id);
            sqlite3_bind_text(memo, 2, line.constData(), int(line.size()), SQLITE_STATIC);
            sqlite3_step(memo);
            sqlite3_reset(memo);
        }
        sql.exec("COMMIT");
    }
    sqlite3_finalize(update);
    sqlite3_finalize(memo);
}

// The quick safety copy an undo takes first, beside a byte copy of both files
// (which the program must not do to an open file, but which bounds the cost).
void SafetyCopy_Ours(benchmark::State &state)
{
    const QString dir = programDirWith(int(state.range(0)));
    RecordStore store;
    const QDateTime moment(today, QTime(8, 0));
    for (auto _ : state) {
        if (!StockFile::safetyBackup(store, dir, moment, nullptr, StockFile::SafetyCopy::Quick))
            state.SkipWithError("copy failed");
        state.PauseTiming();
        QDir(StockFile::backupFolder(dir)).removeRecursively();
        state.ResumeTiming();
    }
}

void SafetyCopy_Floor(benchmark::State &state)
{
    const QString dir = programDirWith(int(state.range(0)));
    const QString target = workPath(QStringLiteral("safety-floor"));
    for (auto _ : state) {
        QFile::remove(target + ".zrb");
        QFile::remove(target + ".edt");
        if (!QFile::copy(dir + "/data.zrb", target + ".zrb")
            || !QFile::copy(dir + "/data.edt", target + ".edt"))
            state.SkipWithError("copy failed");
    }
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
    if (!qEnvironmentVariableIsEmpty("WAREHOUSE_BENCH_MILLION"))
        b->Arg(1000000);
}

BENCHMARK(Open_Ours)->Apply(sizes);
BENCHMARK(Open_Floor)->Apply(sizes);
BENCHMARK(FindKey_Ours)->Apply(sizes);
BENCHMARK(FindKey_Floor)->Apply(sizes);
BENCHMARK(FindCondition_Ours)->Apply(sizes);
BENCHMARK(FindCondition_Floor)->Apply(sizes);
BENCHMARK(DisplayCopy_Ours)->Apply(sizes);
BENCHMARK(DisplayCopy_Floor)->Apply(sizes);
BENCHMARK(StatisticsCopy_Ours)->Apply(sizes);
BENCHMARK(StatisticsCopy_Floor)->Apply(sizes);
BENCHMARK(NineUpdates_Ours)->Apply(sizes);
BENCHMARK(NineUpdates_Floor)->Apply(sizes);
BENCHMARK(SafetyCopy_Ours)->Apply(sizes);
BENCHMARK(SafetyCopy_Floor)->Apply(sizes);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarksWithFloors(argc, argv);
}
