// One hand-tracker frame on the synthetic camera at 320x240, the frame read
// apart: gesture recognition, hand tracking, the records and the output
// frame (goal: 0.5 ms).

#include <benchmark/benchmark.h>

#ifdef VELA_SYNTHETIC_CAMERA

#include "../Api/TrackerFrameReplay.h"
#include "HandTracker/HandTracker.h"

namespace {

class BenchHandTracker : public HandTracker {
public:
    OniFrame* ReadDepth() { return ReadDepthFrame(m_depthStream._getHandle(), "benchmark"); }
    VelaHandTrackerFrame* Process(OniFrame* frame) { return processFrame(frame); }
};

// With wave and click detection on, as an application runs it.
void BM_HandTrackerFrame(benchmark::State& state) {
    vela_bench::ReplayTrackerFrames<BenchHandTracker>(
        state,
        [](BenchHandTracker& tracker) {
            tracker.startGestureDetection(VELA_GESTURE_WAVE);
            tracker.startGestureDetection(VELA_GESTURE_CLICK);
        },
        [](BenchHandTracker& tracker, VelaHandTrackerFrame* frame) { tracker.handTrackerFrameRelease(frame); });
}
BENCHMARK(BM_HandTrackerFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

#endif  // VELA_SYNTHETIC_CAMERA
