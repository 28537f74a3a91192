// The hand side's per-frame pieces: bringing the multi-resolution frame to a
// new input (shift map, and the hub's reduction when the level is lower),
// the copy of the trackers' input, and mean shift on a hand's probability.
// A depth node without a stream serves the converters (the default field of
// view); the frames are drawn here: a wall at 3 m and a hand-sized blob at
// 1.2 m.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "HandAnalysis/DUZDepthMeanShift.h"
#include "HandAnalysis/DUZHandTrackerSharedData.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "NACommon/NACommonData.h"
#include "NACommon/NALinearMotionPredictor.h"

namespace {

constexpr int kHandRadiusMm = 45;

// The wall with the hand, its centre at pixel (width / 2, height / 3), at
// width x 3/4 width, in a multi-resolution frame brought to it once, with a
// depth-to-shift table of the usual 10100 entries (shifts grow with depth).
struct DrawnFrame {
    explicit DrawnFrame(int width) : width(width), height(width * 3 / 4), table(10100, 0) {
        for (int d = 400; d <= 10000; ++d) table[d] = static_cast<unsigned short>(1090 - 325000 / d);
        depth.AllocateData(width, height);
        const float pixelsPerMm = static_cast<float>(width) / (1.12f * 1200.0f);
        const int radius = static_cast<int>(kHandRadiusMm * pixelsPerMm);
        for (int r = 0; r < height; ++r) {
            for (int c = 0; c < width; ++c) {
                const int dx = c - width / 2;
                const int dy = r - height / 3;
                depth.WritableData()[r * width + c] = dx * dx + dy * dy <= radius * radius ? 1200 : 3000;
            }
        }
        container.Initialize(node, depth);
        container.m_depthToShift = table.data();
        container.Update(nullptr, node, depth, 1, SensorTime(0));
    }

    const int width;
    const int height;
    xn::DepthGenerator node;
    std::vector<unsigned short> table;
    xn::DepthMetaData depth;
    DUZMultiResDepthMapContainer container;
};

// Arg 0: input width (320 or 640); arg 1: the current level.
void BM_ContainerUpdate(benchmark::State& state) {
    DrawnFrame drawn(static_cast<int>(state.range(0)));
    DUZMultiResDepthMapContainer& container = drawn.container;
    NACommonData hub;
    container.SetLevel(NAResolutionOfIndex(static_cast<int>(state.range(1))));
    uint32_t frame = 1;
    for (auto _ : state) {
        container.Update(&hub, drawn.node, drawn.depth, frame, SensorTime(33333 * frame));
        ++frame;
        benchmark::DoNotOptimize(container.m_shift->Data());
    }
}
BENCHMARK(BM_ContainerUpdate)->Args({320, 2})->Args({640, 3})->Args({640, 2})->Args({640, 1});

// The copy of one frame's input at 320x240 after the trackers ran.
void BM_TrackerInputHistory(benchmark::State& state) {
    DrawnFrame drawn(320);
    DUZHandTrackerSharedData shared;
    shared.m_combinedProbability.SetSize(240, 320, false);
    for (auto _ : state) {
        shared.UpdateTrackerInputDataHistory(drawn.container);
        benchmark::DoNotOptimize(shared.m_history[0].m_depth.Data());
    }
}
BENCHMARK(BM_TrackerInputHistory);

// One tracker frame of the probability engine from 40 mm off the hand: the
// probability window, then up to 5 steps. Arg: the image width; arg 1: 1
// weighs along a forearm direction, 0 not.
void BM_ProbMeanShift(benchmark::State& state) {
    DrawnFrame drawn(static_cast<int>(state.range(0)));
    const int width = drawn.width;
    const int height = drawn.height;
    const DUZMultiResDepthMapContainer& frame = drawn.container;
    Array2D<int> map;
    map.SetSize(height, width, false);
    for (int i = 0; i < map.Size(); ++i) map[i] = drawn.depth.Data()[i] == 1200 ? 1000000 : 0;
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    const Vector3D<float> hand = converter.WorldPt(Vector3D<float>(width / 2.0f, height / 3.0f, 1200.0f));
    const Vector3D<float> start = hand + Vector3D<float>(40, 0, 0);
    const Vector3D<float> direction = state.range(1) != 0 ? Vector3D<float>(0, 0.8f, -0.6f) : Vector3D<float>();
    std::unique_ptr<NAMotionPredictor<float>> predictor(new NALinearMotionPredictor<float>);
    const Box3D<float> size(Vector3D<float>(-45, -45, -45), Vector3D<float>(45, 45, 45));
    const Box3D<float> cap(Vector3D<float>(-120, -120, -120), Vector3D<float>(120, 120, 120));
    DUZDepthProbMeanShift engine(predictor, size, cap, 2047, 5, 10.0f, 100.0f, 1, 0, nullptr, nullptr);
    int steps = 0;
    for (auto _ : state) {
        predictor->Reset(start, SensorTime(0));
        DUZHandTrackerBase::State trackerState = DUZHandTrackerBase::eTracking;
        Vector3D<float> position, uncertainty;
        predictor->GetPrediction(SensorTime(33333), position, uncertainty);
        Box1D<int> depthBounds;
        Box2D<int> searchBounds, probabilityBounds;
        Box3D<float> searchBox, searchBoundsRW;
        engine.UpdateSearchAndDepthBounds(frame, map, depthBounds, searchBounds, probabilityBounds, searchBox,
                                          trackerState, 1, uncertainty, position);
        steps = engine.StepToConvergence(frame, map, trackerState, position, searchBoundsRW, depthBounds, searchBounds,
                                         probabilityBounds, searchBox, uncertainty, direction);
        benchmark::DoNotOptimize(position);
    }
    state.counters["steps"] = steps;
}
BENCHMARK(BM_ProbMeanShift)->Args({320, 0})->Args({320, 1})->Args({640, 0})->Args({640, 1});

}  // namespace
