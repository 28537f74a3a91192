// The hand-tracker manager's whole Update for one hand drawing circles,
// the frames handed to the depth node as the camera would at 160x120 (the
// manager's working level for a hand nearer than 2.5 m): container, extreme
// points, the tracker with its partition and ghost handling, events, the
// hand mask and background update, and every fifth frame the search for
// further hands.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "CircleFrames.h"
#include "DepthFixtureFrame.h"
#include "HandAnalysis/DUZHandTrackerManager.h"
#include "XnAdapter/XnImageMetaData.h"

namespace {

void BM_ManagerFrameOneHand(benchmark::State& state) {
    static const hand_bench::CircleFrames frames;
    hand_test_kit::FixtureFrame frame(160, 120);
    std::vector<uint16_t> pixels = frames.Frame(0);
    xn::DepthMetaData depth;
    frame.Deliver(pixels, 1, 33333, depth);
    DUZHandTrackerManager manager;
    if (manager.Initialize(nullptr, frame.Node(), depth, "", -1, 0) != 1 ||
        manager.StartTracking(frame.Node(), depth, frames.Start(), Vector2D<float>(0, 0)) == 0) {
        state.SkipWithError("the hand did not start");
        return;
    }
    const xn::ImageMetaData image;
    int i = 0;
    int tracking = 0;
    for (auto _ : state) {
        ++i;
        pixels = frames.Frame(i);
        frame.Deliver(pixels, static_cast<uint32_t>(i + 1), SensorTime(static_cast<int64_t>(i + 1) * 33333), depth);
        manager.Update(frame.Node(), depth, image);
        tracking += manager.NumActiveTrackers() == 1 &&
                            manager.m_activeTrackers.front()->m_state == DUZHandTrackerBase::eTracking
                        ? 1
                        : 0;
    }
    state.counters["tracking"] = benchmark::Counter(tracking, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ManagerFrameOneHand)->Unit(benchmark::kMicrosecond);

}  // namespace
