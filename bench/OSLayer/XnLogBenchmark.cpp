// The cost of the test every per-frame message makes before building text.

#include <benchmark/benchmark.h>

#include <string>

#include "OSLayer/XnLog.h"

namespace {

// A table as the trackers fill it: a few dozen masks.
void FillMaskTable() {
    for (int i = 0; i < 40; ++i) {
        xnLoggerOpen(("Module" + std::to_string(i)).c_str());
    }
}

void BM_LogIsEnabledDisabledMask(benchmark::State& state) {
    FillMaskTable();
    xnLogSetMaskMinSeverity("ALL", XN_LOG_SEVERITY_NONE);
    xnLogSetMaskMinSeverity("HandTracker", XN_LOG_ERROR);
    for (auto _ : state) {
        benchmark::DoNotOptimize(xnLogIsEnabled("HandTracker", XN_LOG_VERBOSE));
    }
}
BENCHMARK(BM_LogIsEnabledDisabledMask);

void BM_LogIsEnabledEnabledMask(benchmark::State& state) {
    FillMaskTable();
    xnLogSetMaskMinSeverity("ALL", XN_LOG_SEVERITY_NONE);
    xnLogSetMaskMinSeverity("HandTracker", XN_LOG_VERBOSE);
    for (auto _ : state) {
        benchmark::DoNotOptimize(xnLogIsEnabled("HandTracker", XN_LOG_INFO));
    }
}
BENCHMARK(BM_LogIsEnabledEnabledMask);

// A mask without an entry of its own falls back to the default.
void BM_LogIsEnabledUnknownMask(benchmark::State& state) {
    FillMaskTable();
    xnLogSetMaskMinSeverity("ALL", XN_LOG_SEVERITY_NONE);
    for (auto _ : state) {
        benchmark::DoNotOptimize(xnLogIsEnabled("GestureRecognizer", XN_LOG_INFO));
    }
}
BENCHMARK(BM_LogIsEnabledUnknownMask);

}  // namespace
