// Limb lines are fitted from statistics accumulated over a limb's pixels
// every frame: in float, or in integers with one conversion to float when
// the fit is asked for.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "QuorLibrary/Math/Statistics3D.h"
#include "QuorLibrary/Math/Statistics3DFP.h"

namespace {

std::vector<Vector3D<int>> LimbPoints(int n) {
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> along(0, 300);
    std::uniform_int_distribution<int> across(-40, 40);
    std::vector<Vector3D<int>> points;
    for (int i = 0; i < n; ++i) {
        const int t = along(rng);
        points.emplace_back(t + across(rng), t / 2 + across(rng), t / 3 + across(rng));
    }
    return points;
}

void BM_FloatAccumulateAndFit(benchmark::State& state) {
    const std::vector<Vector3D<int>> points = LimbPoints(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Statistics3D<float> s;
        for (const Vector3D<int>& p : points) {
            s.AddPoint(Vector3D<float>(p));
        }
        Vector3D<float> eigenvalues;
        benchmark::DoNotOptimize(s.GetBestFitLine(eigenvalues));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_FixedPointAccumulateAndFit(benchmark::State& state) {
    const std::vector<Vector3D<int>> points = LimbPoints(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Statistics3DFP s(0, 0, 2);
        for (const Vector3D<int>& p : points) {
            s.AddPoint(p);
        }
        if (!s.m_bFloatCurrent) {
            s.UpdateFloat();
        }
        Vector3D<float> eigenvalues;
        benchmark::DoNotOptimize(s.m_floatStatistics.GetBestFitLine(eigenvalues));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_FloatAccumulateAndFit)->Arg(64)->Arg(1024);
BENCHMARK(BM_FixedPointAccumulateAndFit)->Arg(64)->Arg(1024);
