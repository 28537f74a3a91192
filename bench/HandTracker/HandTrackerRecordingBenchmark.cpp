// Whole hand-tracker frames through the public calls (read, gesture
// recognition, hand tracking, output frame, release) on a recording of a
// rendered scene played one frame per read, with 0, 1 and 2 tracked hands at
// 320x240 and 640x480; the same frames timing only the hand-tracker
// manager's or the gesture manager's Update (CPU time of the frame thread);
// and frames with every gesture on while a person waves. Goal: hand
// tracking with gestures within 0.5 ms per frame. The whole-frame wall time
// includes waiting for OpenNI2's player thread to decode the frame; the CPU
// time is the frame thread's own.
//
// Each run reads a fixed number of frames, fewer than the recording holds:
// a player that starts over loses the hands, and it must not be reached.

#include <benchmark/benchmark.h>

#ifdef VELA_SYNTHETIC_CAMERA

#include <OpenNI.h>

#include <ctime>
#include <memory>
#include <string>
#include <utility>

#include "HandSceneRecording.h"
#include "HandTracker/HandTracker.h"
#include "HandTracker/HandTrackerAlgorithms.h"
#include "Vela.h"

namespace {

// Seconds of CPU time of the calling thread: a shared machine's load
// stretches wall time, not this.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Frames read before the hands are started (they are up from the first).
constexpr int kStartFrame = 20;
constexpr int kMeasuredFrames = 60;
static_assert(kStartFrame + kMeasuredFrames < vela_bench::kRecordedFrames, "the player must not start over");

// The library's own algorithms, with the CPU seconds spent in each
// manager's Update added up.
struct UpdateTimes {
    double hands = 0.0;
    double gestures = 0.0;
};

class TimedHandTracking : public HandTracking {
public:
    TimedHandTracking(std::unique_ptr<HandTracking> inner, UpdateTimes& times)
        : m_inner(std::move(inner)), m_times(times) {}
    int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                   const std::string& iniFile, int maxDepth, int verbose) override {
        return m_inner->Initialize(commonData, generator, depth, iniFile, maxDepth, verbose);
    }
    void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                const xn::ImageMetaData& image) override {
        const double start = ThreadSeconds();
        m_inner->Update(generator, depth, image);
        m_times.hands += ThreadSeconds() - start;
    }
    unsigned int StartTracking(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                               const Vector3D<float>& point, const Vector2D<float>& handSize) override {
        return m_inner->StartTracking(generator, depth, point, handSize);
    }
    int StopTracking(unsigned int id) override { return m_inner->StopTracking(id); }
    void StopTrackingAllHands() override { m_inner->StopTrackingAllHands(); }
    NAEventGenerator& GetEventGenerator() override { return m_inner->GetEventGenerator(); }

private:
    std::unique_ptr<HandTracking> m_inner;
    UpdateTimes& m_times;
};

class TimedGestureRecognition : public GestureRecognition {
public:
    TimedGestureRecognition(std::unique_ptr<GestureRecognition> inner, UpdateTimes& times)
        : m_inner(std::move(inner)), m_times(times) {}
    int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD,
                   const std::string& iniFile, int maxDepth, int verbose) override {
        return m_inner->Initialize(commonData, generator, depthMD, iniFile, maxDepth, verbose);
    }
    void SetRunning(int running) override { m_inner->SetRunning(running); }
    void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD) override {
        const double start = ThreadSeconds();
        m_inner->Update(generator, depthMD);
        m_times.gestures += ThreadSeconds() - start;
    }
    void ActivateGesture(GestureType type, int active, Box3D<float>* worldBounds) override {
        m_inner->ActivateGesture(type, active, worldBounds);
    }
    void Reset(int resetBackground) override { m_inner->Reset(resetBackground); }
    NAEventGenerator& GetEventGenerator() override { return m_inner->GetEventGenerator(); }

private:
    std::unique_ptr<GestureRecognition> m_inner;
    UpdateTimes& m_times;
};

class TimedAlgorithms : public HandTrackerAlgorithms {
public:
    explicit TimedAlgorithms(UpdateTimes& times) : m_times(times) {}
    std::unique_ptr<GestureRecognition> CreateGestureRecognition() override {
        return std::make_unique<TimedGestureRecognition>(HandTrackerAlgorithms::CreateGestureRecognition(), m_times);
    }
    std::unique_ptr<HandTracking> CreateHandTracking() override {
        return std::make_unique<TimedHandTracking>(HandTrackerAlgorithms::CreateHandTracking(), m_times);
    }

private:
    UpdateTimes& m_times;
};

enum class Measure { WholeFrame, HandManagerUpdate, GestureManagerUpdate };

struct Run {
    const char* scene;
    int hands;  // started at kStartFrame: the right one, then the left one
    bool gestures;
    Measure measure;
};

// The hand tracker through the public calls (WholeFrame) or through its
// class with the timed algorithms, on a lent device playing the recording.
class Session {
public:
    explicit Session(const Run& run) : m_run(run) {}

    bool Open(const std::string& recording, std::string& error) {
        if (m_device.open(recording.c_str()) != openni::STATUS_OK) {
            error = "the recording does not play";
            return false;
        }
        if (m_run.measure == Measure::WholeFrame) {
            if (velaInitializeHandTrackerByDevice(&m_device, &m_handle) != VELA_STATUS_OK) {
                error = "no hand tracker";
                return false;
            }
        } else {
            m_tracker.reset(new HandTracker(std::make_unique<TimedAlgorithms>(m_times)));
            if (m_tracker->initialize(&m_device) != VELA_STATUS_OK) {
                error = "no hand tracker";
                return false;
            }
        }
        // One frame per read, set after the tracker set real time.
        if (m_device.getPlaybackControl() == nullptr ||
            m_device.getPlaybackControl()->setSpeed(-1.0f) != openni::STATUS_OK) {
            error = "the player does not step";
            return false;
        }
        if (m_run.gestures) {
            for (VelaGestureType type : {VELA_GESTURE_WAVE, VELA_GESTURE_CLICK, VELA_GESTURE_HAND_RAISE}) {
                if (StartGesture(type) != VELA_STATUS_OK) {
                    error = "a gesture does not start";
                    return false;
                }
            }
        }
        return true;
    }

    ~Session() {
        if (m_handle != nullptr) {
            velaShutdownHandTracker(m_handle);
        }
        m_tracker.reset();
        m_device.close();
    }

    // Reads and releases one frame; its frame index, or -1.
    int Frame() {
        VelaHandTrackerFrame* frame = nullptr;
        const int status = m_handle != nullptr ? velaReadHandTrackerFrame(m_handle, &frame)
                                               : m_tracker->getNextFrame(&frame);
        if (status != VELA_STATUS_OK || frame == nullptr) {
            return -1;
        }
        const int index = frame->frameIndex;
        for (int h = 0; h < frame->handCount; ++h) {
            m_trackedRecords += (frame->hands[h].state & VELA_HAND_STATE_TRACKED) != 0 ? 1 : 0;
        }
        if (m_handle != nullptr) {
            velaHandTrackerFrameRelease(m_handle, frame);
        } else {
            m_tracker->handTrackerFrameRelease(frame);
        }
        return index;
    }

    bool StartHand(const VelaPoint3f& position) {
        int16_t id = 0;
        if (m_handle != nullptr) {
            return velaStartHandTracking(m_handle, &position, &id) == VELA_STATUS_OK;
        }
        short shortId = 0;
        return m_tracker->startHandTracking(position, &shortId) == VELA_STATUS_OK;
    }

    // Tracked hand records read so far.
    int TrackedRecords() const { return m_trackedRecords; }
    double MeasuredSeconds() const {
        return m_run.measure == Measure::HandManagerUpdate ? m_times.hands : m_times.gestures;
    }

private:
    int StartGesture(VelaGestureType type) {
        return m_handle != nullptr ? velaStartGestureDetection(m_handle, type) : m_tracker->startGestureDetection(type);
    }

    Run m_run;
    openni::Device m_device;
    VelaHandTrackerHandle m_handle = nullptr;
    UpdateTimes m_times;
    std::unique_ptr<HandTracker> m_tracker;
    int m_trackedRecords = 0;
};

void RunOnRecording(benchmark::State& state, const Run& run) {
    const int width = static_cast<int>(state.range(0));
    if (openni::OpenNI::initialize() != openni::STATUS_OK) {
        state.SkipWithError("OpenNI2 does not start");
        return;
    }
    velaInitialize();
    {
        const std::string recording = vela_bench::HandSceneRecordings::Get().Recording(run.scene, width, width * 3 / 4);
        vela_bench::HandSceneTruth truth(run.scene);
        Session session(run);
        std::string error;
        int index = 0;
        if (recording.empty() || !truth.Valid()) {
            error = "the scene was not recorded";
        } else if (session.Open(recording, error)) {
            while (index >= 0 && index < kStartFrame) {
                index = session.Frame();
            }
            if (index < 0) {
                error = "no frame";
            }
            for (int h = 0; h < run.hands && error.empty(); ++h) {
                if (!session.StartHand(truth.Hand(index, 1 - h))) {
                    error = "a hand did not start";
                }
            }
        }
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
        } else {
            const int trackedBefore = session.TrackedRecords();
            for (auto _ : state) {
                const double before = session.MeasuredSeconds();
                if (session.Frame() < 0) {
                    state.SkipWithError("no frame");
                    break;
                }
                if (run.measure != Measure::WholeFrame) {
                    state.SetIterationTime(session.MeasuredSeconds() - before);
                }
            }
            // How many hands the frames really carried.
            state.counters["tracked"] =
                benchmark::Counter(session.TrackedRecords() - trackedBefore, benchmark::Counter::kAvgIterations);
        }
    }
    velaShutdown();
    openni::OpenNI::shutdown();
}

void BM_HandTrackerFrameOnRecording(benchmark::State& state) {
    RunOnRecording(state, Run{vela_bench::kTwoRaisedHands, static_cast<int>(state.range(1)), false,
                              Measure::WholeFrame});
}
BENCHMARK(BM_HandTrackerFrameOnRecording)
    ->ArgNames({"width", "hands"})
    ->ArgsProduct({{320, 640}, {0, 1, 2}})
    ->Iterations(kMeasuredFrames)
    ->Unit(benchmark::kMicrosecond);

void BM_HandTrackerManagerUpdate(benchmark::State& state) {
    RunOnRecording(state, Run{vela_bench::kTwoRaisedHands, static_cast<int>(state.range(1)), false,
                              Measure::HandManagerUpdate});
}
BENCHMARK(BM_HandTrackerManagerUpdate)
    ->ArgNames({"width", "hands"})
    ->ArgsProduct({{320, 640}, {0, 1, 2}})
    ->Iterations(kMeasuredFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Wave, click and hand raise on while the person waves; no hand tracked.
void BM_HandTrackerFrameWithGestures(benchmark::State& state) {
    RunOnRecording(state, Run{vela_bench::kWaving, 0, true, Measure::WholeFrame});
}
BENCHMARK(BM_HandTrackerFrameWithGestures)
    ->ArgNames({"width"})
    ->Arg(320)
    ->Arg(640)
    ->Iterations(kMeasuredFrames)
    ->Unit(benchmark::kMicrosecond);

void BM_GestureManagerUpdate(benchmark::State& state) {
    RunOnRecording(state, Run{vela_bench::kWaving, 0, true, Measure::GestureManagerUpdate});
}
BENCHMARK(BM_GestureManagerUpdate)
    ->ArgNames({"width"})
    ->Arg(320)
    ->Arg(640)
    ->Iterations(kMeasuredFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

#endif  // VELA_SYNTHETIC_CAMERA
