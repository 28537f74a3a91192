// One torso-fitting ICP step accumulates a few hundred pairs and solves once;
// both must stay negligible next to the pairing itself.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "QuorLibrary/Math/RigidTransformationSolver.h"
#include "QuorLibrary/Math/RigidTransformationSolver2D.h"

namespace {

struct Pair {
    Vector3D<float> source;
    Vector3D<float> target;
    float weight;
};

std::vector<Pair> Pairs(int count) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> coordinate(-300.0f, 300.0f);
    const Matrix3X3<float> rotation = Matrix3X3<float>::FixedXYZRotation(0.1f, -0.2f, 0.3f);
    std::vector<Pair> pairs(count);
    for (Pair& p : pairs) {
        p.source = Vector3D<float>(coordinate(rng), coordinate(rng), coordinate(rng));
        p.target = rotation * p.source + Vector3D<float>(10.0f, 20.0f, 2000.0f);
        p.weight = 1.0f;
    }
    return pairs;
}

void BM_RigidSolverAccumulateAndSolve(benchmark::State& state) {
    const std::vector<Pair> pairs = Pairs(static_cast<int>(state.range(0)));
    RigidTransformationSolver<float> solver;
    for (auto _ : state) {
        solver.Reset();
        for (const Pair& p : pairs) {
            solver.Add(p.source, p.target, p.weight);
        }
        benchmark::DoNotOptimize(solver.Solve());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RigidSolverAccumulateAndSolve)->Arg(20)->Arg(500);

void BM_RigidSolverFixedPointSolve(benchmark::State& state) {
    RigidTransformationSolver<int> fixed;
    for (const Pair& p : Pairs(300)) {
        fixed.Add(p.source.Round(), p.target.Round(), 4);
    }
    RigidTransformationSolver<float> solver;
    Matrix3X3<float> R;
    Vector3D<float> t;
    for (auto _ : state) {
        FixedPointToFloatingPoint(fixed, solver);
        benchmark::DoNotOptimize(solver.Solve(R, t));
        benchmark::DoNotOptimize(R);
    }
}
BENCHMARK(BM_RigidSolverFixedPointSolve);

void BM_RigidSolver2DSolve(benchmark::State& state) {
    RigidTransformationSolver2D<float> solver;
    for (const Pair& p : Pairs(300)) {
        solver.Add(Vector2D<float>(p.source.x, p.source.y), Vector2D<float>(p.target.x, p.target.y));
    }
    Matrix2X2<float> R;
    Vector2D<float> t;
    for (auto _ : state) {
        benchmark::DoNotOptimize(solver.Solve(R, t));
        benchmark::DoNotOptimize(R);
    }
}
BENCHMARK(BM_RigidSolver2DSolve);

}  // namespace
