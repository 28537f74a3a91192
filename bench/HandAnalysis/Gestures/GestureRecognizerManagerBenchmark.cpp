// The gesture manager's whole Update for a person waving, read through the
// synthetic camera at 320x240 (so each frame is first reduced to 160x120):
// ring, background and motion model, every fifth frame the candidate and
// head search, the tracked candidates and the recognizers: click and wave
// (the manager's own default), or all three public gestures, whose hand
// raise adds the forearm search (argument 1). Reading and rendering a frame
// is not timed.

#include <benchmark/benchmark.h>

#include <string>

#include "HandAnalysis/DUZGestureRecognizerManager.h"
#include "HandCameraSession.h"

namespace {

// Frames read before timing: the background settles and the wave's
// candidate is found.
constexpr int kLeadIn = 120;
constexpr int kTimedFrames = 150;

// Event counts, so a benchmark that stopped recognizing shows.
class CountingListener : public NAEventListener {
public:
    void ProcessEvent(const NAEvent&) override { ++events; }
    int events = 0;
};

void BM_GestureManagerUpdateWaving(benchmark::State& state) {
    hand_test_kit::CameraSession session;
    const std::string scene =
        "frames count=" + std::to_string(kLeadIn + kTimedFrames + 10) +
        " fps=30\ncamera elevation=1200\nwall z=3200\nperson height=1750 walk=off\n  at 0 pos=0,1700\n"
        "  pose 0 stand\n  wave 3..12 hand=right amplitude=150 period=0.8\n";
    if (!session.OpenScene(scene, 320, 240) || !session.Next()) {
        state.SkipWithError(session.Error().c_str());
        return;
    }
    DUZGestureRecognizerManager manager;
    if (manager.Initialize(&session.Hub(), session.Node(), session.Depth(), "", -1, 0) != 1) {
        state.SkipWithError("the gesture manager did not initialise");
        return;
    }
    manager.m_running = 1;
    manager.ActivateGesture(GESTURE_RAISE_HAND, static_cast<int>(state.range(0)), nullptr);
    CountingListener listener;
    manager.AddEventListener(&listener);
    for (int i = 0; i < kLeadIn && session.Next(); ++i) {
        manager.Update(session.Node(), session.Depth());
    }
    int tracked = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool read = session.Next();
        state.ResumeTiming();
        if (!read) {
            state.SkipWithError("the scene ended");
            break;
        }
        manager.Update(session.Node(), session.Depth());
        for (const auto& object : manager.m_trackedObjects) {
            tracked += object->m_tracker.m_state == DUZHandTrackerBase::eTracking ? 1 : 0;
        }
    }
    state.counters["tracked"] = benchmark::Counter(tracked, benchmark::Counter::kAvgIterations);
    state.counters["events"] = listener.events;
    manager.Reset(1);
}
BENCHMARK(BM_GestureManagerUpdateWaving)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Iterations(kTimedFrames);

}  // namespace
