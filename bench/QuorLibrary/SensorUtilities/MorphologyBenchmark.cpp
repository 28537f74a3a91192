// Dilation and erosion run on every frame of the scene analysis and the hand
// tracker, so their cost per frame size is tracked here, with the plain
// twins alongside for comparison.

#include <benchmark/benchmark.h>

#include <random>

#include "QuorLibrary/SensorUtilities/Morphology.h"
#include "QuorLibrary/Utilities/Array2D.h"

namespace {

using FilterFunction = void (*)(const short*, short*, int, int, int, int, int, int, int, int);

template <FilterFunction kFilter>
void BM_Filter(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const int kernel = static_cast<int>(state.range(2));
    Array2D<short> source;
    Array2D<short> destination;
    source.SetSize(height, width, false);
    destination.SetSize(height, width, false);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> depth(0, 8000);
    for (int i = 0; i < source.Size(); ++i) {
        source.Data()[i] = static_cast<short>(depth(rng));
    }
    for (auto _ : state) {
        kFilter(source.Data(), destination.Data(), width, height, 0, width - 1, 0, height - 1, kernel, kernel);
        benchmark::DoNotOptimize(destination.Data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(width) * height);
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int kernel : {3, 5}) {
        b->Args({160, 120, kernel});
        b->Args({320, 240, kernel});
    }
    b->ArgNames({"width", "height", "kernel"});
}

BENCHMARK_TEMPLATE(BM_Filter, &Morphology::DilateSSE)->Name("BM_DilateSSE")->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Filter, &Morphology::DilatePlain)->Name("BM_DilatePlain")->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Filter, &Morphology::ErodeSSE)->Name("BM_ErodeSSE")->Apply(Sizes);

}  // namespace
