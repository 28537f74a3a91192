// The symmetric eigen decomposition runs several times per user and frame
// (line and plane fits, gesture and limb trackers): keep it a few hundred
// nanoseconds.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"

namespace {

template <typename T>
std::vector<SymmetricMatrix3X3<T>> ScatterMatrices() {
    std::mt19937 rng(1);
    std::uniform_real_distribution<T> coordinate(-500, 500);
    std::vector<SymmetricMatrix3X3<T>> matrices(256);
    for (SymmetricMatrix3X3<T>& s : matrices) {
        for (int i = 0; i < 20; ++i) {
            s.AddOuterProduct(Vector3D<T>(coordinate(rng), coordinate(rng), coordinate(rng) * T(0.1)));
        }
    }
    return matrices;
}

template <typename T>
void BM_SolveEigenproblem(benchmark::State& state) {
    const std::vector<SymmetricMatrix3X3<T>> matrices = ScatterMatrices<T>();
    size_t i = 0;
    for (auto _ : state) {
        Vector3D<T> values;
        Matrix3X3<T> vectors;
        matrices[i++ % matrices.size()].SolveEigenproblem(values, vectors, static_cast<T>(1e-8));
        benchmark::DoNotOptimize(values);
        benchmark::DoNotOptimize(vectors);
    }
}
BENCHMARK_TEMPLATE(BM_SolveEigenproblem, float);
BENCHMARK_TEMPLATE(BM_SolveEigenproblem, double);

void BM_SingularValueDecomposition(benchmark::State& state) {
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> element(-10.0f, 10.0f);
    std::vector<Matrix3X3<float>> matrices(256);
    for (Matrix3X3<float>& m : matrices) {
        for (int k = 0; k < 9; ++k) {
            m[k] = element(rng);
        }
    }
    size_t i = 0;
    for (auto _ : state) {
        Matrix3X3<float> U;
        Matrix3X3<float> V;
        Vector3D<float> sigma;
        matrices[i++ % matrices.size()].ActualSingularValueDecomposition(U, sigma, V, 1e-8f);
        benchmark::DoNotOptimize(U);
        benchmark::DoNotOptimize(V);
    }
}
BENCHMARK(BM_SingularValueDecomposition);

}  // namespace
