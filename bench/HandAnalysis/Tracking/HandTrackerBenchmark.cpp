// One tracked hand's frame at the 160x120 working level, as the manager
// runs it for one hand: the combined map of the tracker's window (the
// background's foreground, the hand filter, box filter), the backwards
// tracking at three box sizes, the mean-shift steps, the head and boundary
// checks and the forearm update; then the copy of the trackers' input and
// the background update outside the hand. The frames are a person at 1.8 m
// drawing circles of 100 mm with the right hand once a second, rendered at
// 320x240 and reduced by the hub's 2x2 reduction; the 30 frames of one
// circle repeat seamlessly.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CircleFrames.h"
#include "DepthFixtureFrame.h"
#include "HandAnalysis/DUZHandFilter.h"
#include "HandAnalysis/DUZHandPartition.h"
#include "HandAnalysis/DUZHandTracker.h"
#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "NACommon/NACommonData.h"
#include "SceneRenderer/SceneRenderer.h"
#include "XnAdapter/XnImageMetaData.h"

namespace {

using hand_bench::CircleFrames;

constexpr unsigned short kMaxDepth = 4500;

void BM_TrackedHandFrame(benchmark::State& state) {
    static const CircleFrames frames;
    hand_test_kit::FixtureFrame frame(160, 120);
    const Box2D<int> all(0, 0, 159, 119);
    auto load = [&](int i) {
        std::copy(frames.Frame(i).begin(), frames.Frame(i).end(), frame.Depth().WritableData());
        frame.UpdateShift();
        frame.SetFrame(static_cast<uint32_t>(i + 1), SensorTime(static_cast<int64_t>(i + 1) * 33333));
    };
    load(0);
    DUZHandTrackerBackgroundModel background;
    DUZHandFilter filter;
    DUZHandPartition partition;
    background.Initialize(frame.Depth(), "", 0);
    filter.Initialize("", kMaxDepth, 0);
    partition.Initialize(frame.Depth(), "", 0);
    DUZHandTracker tracker(&partition, &background, &filter, false, kMaxDepth, frame.MaxShift());
    tracker.Initialize(frame.Node(), frame.Depth(), "", 0);
    tracker.m_id = 1;
    background.SetToCurrentShiftMapSSE(frame.Container(), all);
    tracker.StartTracking(frame.Container(), frames.Start(), Vector2D<float>(0, 0));
    // The hand mask: the hand's 400 mm box, depths up to 200 mm behind it.
    Array2D<unsigned short> mask;
    mask.SetSize(120, 160, false);
    std::fill(mask.Data(), mask.Data() + 160 * 120, 0);
    unsigned short maskValue = 0;
    auto markHand = [&](const Vector3D<float>& p) {
        ++maskValue;
        const WorldPointConverterBase<float>& c = frame.Converter();
        const float e = p.z * c.m_fPixelSizeFactor;
        const int u = static_cast<int>(p.x / e + c.m_fCenterX);
        const int v = static_cast<int>(c.m_fCenterY - p.y / e);
        const int reach = static_cast<int>(200.0f / e);
        const Box2D<int> box(std::max(0, u - reach), std::max(0, v - reach), std::min(159, u + reach),
                             std::min(119, v + reach));
        for (int r = box.min.y; r <= box.max.y; ++r) {
            for (int col = box.min.x; col <= box.max.x; ++col) {
                const int d = frame.Depth()(col, r);
                if (d > 0 && d <= static_cast<int>(p.z + 200.0f)) {
                    mask.Data()[r * 160 + col] = maskValue;
                }
            }
        }
        return box;
    };
    background.Reset(mask, maskValue, markHand(frames.Start()));
    xn::ImageMetaData image;
    Array2D<int>& combined = tracker.m_sharedData->m_combinedProbability;
    int i = 0;
    int tracking = 0;
    for (auto _ : state) {
        load(++i);
        const Box2D<int> window = tracker.m_probabilityBounds;
        for (int r = std::max(0, window.min.y); r <= std::min(119, window.max.y); ++r) {
            for (int c = std::max(0, window.min.x); c <= std::min(159, window.max.x); ++c) {
                combined.Data()[r * 160 + c] = 0;
            }
        }
        tracker.ClearFlags();
        tracker.ComputePredictionAndBounds(frame.Container());
        tracker.SetFilteredLocations(nullptr, 0);
        tracker.Update(frame.Container(), image);
        tracker.m_sharedData->UpdateTrackerInputDataHistory(frame.Container());
        markHand(tracker.m_position);
        background.Update(frame.Container(), all, mask, maskValue);
        tracking += tracker.m_state == DUZHandTrackerBase::eTracking ? 1 : 0;
        benchmark::DoNotOptimize(tracker.m_position);
    }
    state.counters["tracking"] = benchmark::Counter(tracking, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TrackedHandFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

