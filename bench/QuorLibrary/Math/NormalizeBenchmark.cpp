// Normalisation runs in the tracking inner loops; it must stay cheaper than
// the square root and division it replaces.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/Vector3D.h"

namespace {

std::vector<float> Inputs() {
    std::vector<float> values(1024);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = 0.5f + static_cast<float>(i) * 3.25f;
    }
    return values;
}

void BM_FloatOneOverSqrt(benchmark::State& state) {
    const std::vector<float> values = Inputs();
    for (auto _ : state) {
        float sum = 0.0f;
        for (float x : values) {
            sum += FloatOneOverSqrt(x);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_FloatOneOverSqrt);

void BM_FloatOneOverSqrtPlain(benchmark::State& state) {
    const std::vector<float> values = Inputs();
    for (auto _ : state) {
        float sum = 0.0f;
        for (float x : values) {
            sum += FloatOneOverSqrtPlain(x);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_FloatOneOverSqrtPlain);

void BM_Vector3DNormalize(benchmark::State& state) {
    const std::vector<float> values = Inputs();
    for (auto _ : state) {
        float sum = 0.0f;
        for (size_t i = 0; i + 2 < values.size(); i += 3) {
            Vector3D<float> v(values[i], -values[i + 1], values[i + 2]);
            v.Normalize();
            sum += v.x;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size() / 3));
}
BENCHMARK(BM_Vector3DNormalize);

void BM_Vector3DDivideBySqrt(benchmark::State& state) {
    const std::vector<float> values = Inputs();
    for (auto _ : state) {
        float sum = 0.0f;
        for (size_t i = 0; i + 2 < values.size(); i += 3) {
            Vector3D<float> v(values[i], -values[i + 1], values[i + 2]);
            const float length = std::sqrt(v.MagnitudeSquared());
            v = v / length;
            sum += v.x;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size() / 3));
}
BENCHMARK(BM_Vector3DDivideBySqrt);

}  // namespace
