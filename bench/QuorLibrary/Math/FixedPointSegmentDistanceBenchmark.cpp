// The integer distances of pose scoring (per depth sample against a limb)
// and of the leg tests (limb against limb), beside the float accelerated
// segment they replace on the hot path.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "QuorLibrary/Math/Segment3DAccel.h"
#include "QuorLibrary/Math/Segment3DAccelFP.h"
#include "QuorLibrary/Math/Segment3DFP.h"

namespace {

std::vector<Vector3D<int> > RandomPoints(size_t count, int range, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> coordinate(-range, range);
    std::vector<Vector3D<int> > points;
    for (size_t i = 0; i < count; ++i) {
        const int x = coordinate(rng), y = coordinate(rng), z = coordinate(rng);
        points.emplace_back(x, y, z);
    }
    return points;
}

// A forearm-sized segment near the body and depth samples around it.
const Vector3D<int> kStart(-100, 200, 1800);
const Vector3D<int> kEnd(150, -50, 2000);

Vector3D<int> AroundLimb(const Vector3D<int>& p) { return p + Vector3D<int>(0, 0, 1900); }

void BM_Segment3DAccelFPDistanceSquared(benchmark::State& state) {
    const Segment3DAccelFP segment(kStart, kEnd, 0);
    std::vector<Vector3D<int> > points = RandomPoints(4096, 600, 2);
    for (Vector3D<int>& p : points) {
        p = AroundLimb(p);
    }
    for (auto _ : state) {
        int sum = 0;
        for (const Vector3D<int>& p : points) {
            sum ^= segment.GetDistanceSquared(p);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}
BENCHMARK(BM_Segment3DAccelFPDistanceSquared);

void BM_Segment3DAccelFloatDistanceSquared(benchmark::State& state) {
    const Segment3DAccel<float> segment{Vector3D<float>(kStart), Vector3D<float>(kEnd)};
    std::vector<Vector3D<float> > points;
    for (const Vector3D<int>& p : RandomPoints(4096, 600, 2)) {
        points.emplace_back(AroundLimb(p));
    }
    for (auto _ : state) {
        float sum = 0.0f;
        for (const Vector3D<float>& p : points) {
            sum += segment.GetDistanceSquared(p);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}
BENCHMARK(BM_Segment3DAccelFloatDistanceSquared);

void BM_Segment3DFPDistanceSquared(benchmark::State& state) {
    const Segment3DFP segment(kStart, kEnd);
    std::vector<Vector3D<int> > points = RandomPoints(4096, 600, 2);
    for (Vector3D<int>& p : points) {
        p = AroundLimb(p);
    }
    for (auto _ : state) {
        int sum = 0;
        for (const Vector3D<int>& p : points) {
            sum ^= segment.GetDistanceSquared(p);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}
BENCHMARK(BM_Segment3DFPDistanceSquared);

// Limb pairs of one body: segments of up to 500 mm within a metre.
void BM_ShortestDistanceInt(benchmark::State& state) {
    const std::vector<Vector3D<int> > starts = RandomPoints(256, 500, 3);
    const std::vector<Vector3D<int> > offsets = RandomPoints(256, 280, 4);
    std::vector<Segment3DFP> limbs;
    for (size_t i = 0; i < starts.size(); ++i) {
        limbs.emplace_back(starts[i], starts[i] + offsets[i]);
    }
    for (auto _ : state) {
        int sum = 0;
        for (size_t i = 0; i + 1 < limbs.size(); ++i) {
            sum += ShortestDistanceInt(limbs[i], limbs[i + 1]);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(limbs.size() - 1));
}
BENCHMARK(BM_ShortestDistanceInt);

}  // namespace
