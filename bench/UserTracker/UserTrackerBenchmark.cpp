// One user-tracker frame on the synthetic camera at 320x240, the frame read
// apart: scene analysis, skeleton pipeline, user records and the output
// frame (goal: 3.3 ms).

#include <benchmark/benchmark.h>

#ifdef VELA_SYNTHETIC_CAMERA

#include "../Api/TrackerFrameReplay.h"
#include "UserTracker/UserTracker.h"

namespace {

class BenchUserTracker : public UserTracker {
public:
    OniFrame* ReadDepth() { return ReadDepthFrame(m_depthStream._getHandle(), "benchmark"); }
    VelaUserTrackerFrame* Process(OniFrame* frame) { return processFrame(frame); }
};

void BM_UserTrackerFrame(benchmark::State& state) {
    vela_bench::ReplayTrackerFrames<BenchUserTracker>(
        state, [](BenchUserTracker&) {},
        [](BenchUserTracker& tracker, VelaUserTrackerFrame* frame) { tracker.userTrackerFrameRelease(frame); });
}
BENCHMARK(BM_UserTrackerFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

#endif  // VELA_SYNTHETIC_CAMERA
