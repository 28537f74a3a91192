// The per-frame cost of the fitted trajectory on a ten-second wave: one
// point per frame, a RANSAC window every third frame, fusion and extrema.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "HandAnalysis/DUZFittedTrajectory.h"
#include "HandAnalysis/DUZGestureRecognizer.h"

namespace {

struct TimedPosition {
    SensorTime time;
    Vector3D<float> position;
};

// +-150 mm along X every 0.8 s at 1.6 m, 30 frames per second, with 2 mm
// of noise per axis.
std::vector<TimedPosition> TenSecondWave() {
    std::mt19937 generator(17);
    auto gaussian = [&generator]() {
        const double u1 = (static_cast<double>(generator()) + 0.5) / 4294967296.0;
        const double u2 = (static_cast<double>(generator()) + 0.5) / 4294967296.0;
        return 2.0 * std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    };
    std::vector<TimedPosition> wave;
    for (int f = 1; f <= 300; ++f) {
        const int64_t t = static_cast<int64_t>(f) * 33333;
        const double seconds = static_cast<double>(t) * 1e-6;
        const double x = 264.0 + 150.0 * std::sin(6.283185307179586 * seconds / 0.8);
        wave.push_back({SensorTime(t), Vector3D<float>(static_cast<float>(x + gaussian()),
                                                       static_cast<float>(600.0 + gaussian()),
                                                       static_cast<float>(1590.0 + gaussian()))});
    }
    return wave;
}

void BM_AddPointUpdateTenSecondWave(benchmark::State& state) {
    const std::vector<TimedPosition> wave = TenSecondWave();
    for (auto _ : state) {
        FittedTrajectory trajectory;
        for (const TimedPosition& p : wave) {
            trajectory.AddPointUpdate(p.time, p.position);
        }
        benchmark::DoNotOptimize(trajectory.GetExtremaAlongAxis(FittedTrajectory::eXAxis).size());
    }
    // Time per point.
    state.counters["point"] = benchmark::Counter(static_cast<double>(wave.size()),
                                                 benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_AddPointUpdateTenSecondWave)->Unit(benchmark::kMillisecond);

// What the robust wave stage adds per frame: the start, recent-swing and
// complete-wave tests after each point.
void BM_WaveQueriesTenSecondWave(benchmark::State& state) {
    const std::vector<TimedPosition> wave = TenSecondWave();
    const WaveGestureRecognizer recognizer;
    for (auto _ : state) {
        FittedTrajectory trajectory;
        int found = 0;
        for (const TimedPosition& p : wave) {
            trajectory.AddPointUpdate(p.time, p.position);
            SensorTime start;
            SensorTime end;
            Vector3D<float> position;
            found += recognizer.ApplyStart(trajectory, position) ? 1 : 0;
            found += recognizer.ValidateRecentWave(trajectory) ? 1 : 0;
            found += recognizer.Apply(trajectory, start, end, position) ? 1 : 0;
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["point"] = benchmark::Counter(static_cast<double>(wave.size()),
                                                 benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_WaveQueriesTenSecondWave)->Unit(benchmark::kMillisecond);

}  // namespace
