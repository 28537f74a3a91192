// One recognizer step per candidate and frame, on a full ring: the click,
// the two swipes and the wave in their plain mode on a hand swinging along
// X (every analysis walks its whole window without finding its gesture),
// and the click and the wave in their robust mode on the same path's
// fitted trajectory.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "HandAnalysis/DUZClickGestureRecognizer.h"
#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "HandAnalysis/DUZSwipeGestureRecognizer.h"
#include "HandAnalysis/DUZWaveGestureRecognizer.h"

namespace {

constexpr unsigned kFrames = 200;

// A slow swing along X with a little depth change, 90 frames in the ring.
void FillSwing(DUZFocusGestureTrajectory& trajectory) {
    for (unsigned f = 1; f <= kFrames; ++f) {
        const float t = static_cast<float>(f) / 30.0f;
        const Vector3D<float> p(120.0f * std::sin(t * 3.0f), 200.0f + 5.0f * std::sin(t * 7.0f),
                                1600.0f + 20.0f * std::cos(t * 2.0f));
        trajectory.UpdateNewPosition(p, f, SensorTime(static_cast<int64_t>(f) * 33333));
        trajectory.UpdateVelocity(f);
        trajectory.SetHandXYSize(f, Vector2D<float>(80, 100));
    }
}

template <class Recognizer>
void RunStep(benchmark::State& state, Recognizer& recognizer, int robust) {
    DUZFocusGestureTrajectory trajectory(robust != 0);
    FillSwing(trajectory);
    for (auto _ : state) {
        Vector3D<float> position(0, 0, 0);
        benchmark::DoNotOptimize(recognizer.Run(trajectory, static_cast<int>(kFrames), position, 0, robust));
        benchmark::DoNotOptimize(position);
    }
}

void BM_ClickPlain(benchmark::State& state) {
    DUZClickGestureRecognizer click;
    RunStep(state, click, 0);
}
BENCHMARK(BM_ClickPlain);

void BM_SwipePlusX(benchmark::State& state) {
    DUZSwipeGestureRecognizer swipe(Vector3D<float>(1, 0, 0));
    RunStep(state, swipe, 0);
}
BENCHMARK(BM_SwipePlusX);

void BM_WavePlain(benchmark::State& state) {
    DUZWaveGestureRecognizer wave;
    wave.m_waveMinNumberOfFlips = 9;  // never completes, so the ring stays
    RunStep(state, wave, 0);
}
BENCHMARK(BM_WavePlain);

void BM_ClickRobust(benchmark::State& state) {
    DUZClickGestureRecognizer click;
    RunStep(state, click, 1);
}
BENCHMARK(BM_ClickRobust);

void BM_WaveRobust(benchmark::State& state) {
    DUZWaveGestureRecognizer wave;
    RunStep(state, wave, 1);
}
BENCHMARK(BM_WaveRobust);

}  // namespace
