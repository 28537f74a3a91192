// Grid cell lookups run per sample in the joint-limit tables and the torso
// fitter's volumes. The float and the fixed-point lookups need no division;
// the integer lookup by cell size divides, and is tracked beside them.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "QuorLibrary/Math/Grid3D.h"

namespace {

const int kPoints = 4096;

template <typename T>
std::vector<Vector3D<T>> RandomPoints(T lo, T hi) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(static_cast<double>(lo), static_cast<double>(hi));
    std::vector<Vector3D<T>> points;
    for (int i = 0; i < kPoints; ++i) {
        points.emplace_back(static_cast<T>(u(rng)), static_cast<T>(u(rng)), static_cast<T>(u(rng)));
    }
    return points;
}

void BM_FloatCellIfIntersects(benchmark::State& state) {
    const Grid3D<float> grid(32, 32, 32, Box3D<float>(Vector3D<float>(-1000, -1000, 500),
                                                      Vector3D<float>(1000, 1000, 2500)));
    const std::vector<Vector3D<float>> points = RandomPoints<float>(-1100.0f, 2600.0f);
    for (auto _ : state) {
        for (const Vector3D<float>& p : points) {
            benchmark::DoNotOptimize(grid.GetCellIfIntersects(p));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

Grid3D<int> IntegerGrid() {
    Grid3D<int> grid(32, 32, 32, Box3D<int>(Vector3D<int>(-1000, -1000, 500), Vector3D<int>(1000, 1000, 2500)));
    grid.SetMAndM(16);
    return grid;
}

void BM_IntCellIfIntersectsByDivision(benchmark::State& state) {
    const Grid3D<int> grid = IntegerGrid();
    const std::vector<Vector3D<int>> points = RandomPoints<int>(-1100, 2600);
    for (auto _ : state) {
        for (const Vector3D<int>& p : points) {
            benchmark::DoNotOptimize(grid.GetCellIfIntersects(p));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_IntCellIfIntersectsFixedPoint(benchmark::State& state) {
    const Grid3D<int> grid = IntegerGrid();
    const std::vector<Vector3D<int>> points = RandomPoints<int>(-1100, 2600);
    for (auto _ : state) {
        for (const Vector3D<int>& p : points) {
            benchmark::DoNotOptimize(grid.GetCellIfIntersectsInt(p));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_IntCellClampedFixedPoint(benchmark::State& state) {
    const Grid3D<int> grid = IntegerGrid();
    const std::vector<Vector3D<int>> points = RandomPoints<int>(-1100, 2600);
    for (auto _ : state) {
        for (const Vector3D<int>& p : points) {
            benchmark::DoNotOptimize(grid.GetCellInt(p));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

}  // namespace

BENCHMARK(BM_FloatCellIfIntersects);
BENCHMARK(BM_IntCellIfIntersectsByDivision);
BENCHMARK(BM_IntCellIfIntersectsFixedPoint);
BENCHMARK(BM_IntCellClampedFixedPoint);
