// The stock list's refresh on 10 000 and 100 000 items beside its floor, the
// display copy alone (which every refresh makes).

#include "bench_report.h"
#include "stock_fixture.h"

#include "app/stock_list.h"
#include "common/app_state.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "table/data_source.h"
#include "table/record_file_provider.h"

#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

void Refresh_Ours(benchmark::State &state)
{
    AppState app;
    app.programDir = programDirWith(int(state.range(0)));
    app.markedRows = {2, 3, 4, 5, 6, 7, 8, 9, 10};
    RecordStore store;
    RecordFileProvider provider;
    DataSource table;
    for (auto _ : state) {
        const auto result = StockList::build(table, provider, store, app);
        if (table.rowCount() != state.range(0) + 1 || result.lowStockCount == 0)
            state.SkipWithError("wrong list");
    }
}

void Refresh_Floor(benchmark::State &state)
{
    AppState app;
    app.programDir = programDirWith(int(state.range(0)));
    RecordStore store;
    if (!store.open(app.path(Stock::fileName()), Stock::alias()))
        std::abort();
    for (auto _ : state)
        if (!store.copyTo(app.path(Stock::displayFileName()), {}, Stock::displayFields()))
            std::abort();
}

BENCHMARK(Refresh_Ours)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Refresh_Floor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarksWithFloors(argc, argv);
}
