// Reading data tables: a wide header over a few rows (the shape of a joint
// table) should cost what its bytes cost, not the writers' row reserve.

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "QuorLibrary/Utilities/DataTable.h"

namespace {

std::string WideTable(int columns, int rows, bool binary) {
    DataTable<double> table(0);
    std::vector<std::string> names;
    for (int c = 0; c < columns; ++c) {
        names.push_back("C" + std::to_string(c));
    }
    table.SetColumns(names);
    table.AddRows(rows, true);
    std::ostringstream out;
    if (binary) {
        table.WriteBinary(out, columns);
    } else {
        table.WriteText(out, "\t", columns);
    }
    return out.str();
}

void BM_DataTableReadWideBinary(benchmark::State& state) {
    const std::string bytes = WideTable(static_cast<int>(state.range(0)), 2, true);
    for (auto _ : state) {
        std::istringstream in(bytes);
        DataTable<double> table(0);
        benchmark::DoNotOptimize(table.ReadBinary(in));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_DataTableReadWideBinary)->Arg(20)->Arg(600);

void BM_DataTableReadWideText(benchmark::State& state) {
    const std::string bytes = WideTable(static_cast<int>(state.range(0)), 2, false);
    for (auto _ : state) {
        std::istringstream in(bytes);
        DataTable<double> table(0);
        benchmark::DoNotOptimize(table.ReadText(in));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_DataTableReadWideText)->Arg(20)->Arg(600);

}  // namespace
