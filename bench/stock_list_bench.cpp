// The stock list's build on 10 000 and 100 000 items (1 000 000 with
// WAREHOUSE_BENCH_MILLION=1) beside its floor: one SELECT of the seven list
// columns into strings, on the same file in the same run.

#include "bench_report.h"
#include "stock_fixture.h"

#include "app/stock_list.h"
#include "common/app_state.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "table/data_source.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <sqlite3.h>

#include <vector>

namespace {

void Refresh_Ours(benchmark::State &state)
{
    AppState app;
    app.programDir = programDirWith(int(state.range(0)));
    app.pickedRows = {2, 3, 4, 5, 6, 7, 8, 9, 10};
    RecordStore store;
    DataSource table;
    for (auto _ : state) {
        const auto result = StockList::build(table, store, app);
        if (table.rowCount() != state.range(0) + 1 || result.lowStockCount == 0)
            state.SkipWithError("wrong list");
    }
}

void Refresh_Floor(benchmark::State &state)
{
    AppState app;
    app.programDir = programDirWith(int(state.range(0)));
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(
            app.path(Stock::fileName()).toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK)
        std::abort();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(
            db, "SELECT c1,c2,c3,c4,c5,c6,c15 FROM records ORDER BY id", -1, &stmt, nullptr)
        != SQLITE_OK)
        std::abort();
    for (auto _ : state) {
        std::vector<QString> texts;
        texts.reserve(size_t(state.range(0)) * 7);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            for (int c = 0; c < 7; ++c)
                texts.push_back(
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)),
                        sqlite3_column_bytes(stmt, c)));
        sqlite3_reset(stmt);
        if (texts.size() != size_t(state.range(0)) * 7)
            state.SkipWithError("wrong rows");
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
    if (qEnvironmentVariableIsSet("WAREHOUSE_BENCH_MILLION"))
        b->Arg(1000000)->Iterations(3);
}

BENCHMARK(Refresh_Ours)->Apply(sizes);
BENCHMARK(Refresh_Floor)->Apply(sizes);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarksWithFloors(argc, argv);
}
