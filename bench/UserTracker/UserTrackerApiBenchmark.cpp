// A whole user-tracker frame as an application runs it through the public
// interface: velaReadUserTrackerFrame (the read, scene analysis, the
// skeleton driver's preparation, the output frame) and the release, per
// frame, at 320x240 and 640x480 with one and with three people walking in.
// The frames come from a recording of a rendered scene played one frame per
// read (the device lent to the tracker, playback speed -1 after creating
// it), so that rendering is not measured; the iteration count is fixed and
// stays within the recording, which would otherwise start over.

#include <benchmark/benchmark.h>

#ifdef VELA_SYNTHETIC_CAMERA

#include <OpenNI.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "../Api/SceneRecording.h"
#include "Vela.h"

namespace {

constexpr int kLeadInFrames = 45;  // the floor, the background and the users settle
constexpr int kMeasuredFrames = 40;
constexpr int kRecordedFrames = kLeadInFrames + kMeasuredFrames + 5;

// People walk in from the sides and stand, before a wall at 4 m.
const char kOnePerson[] =
    "frames count=90\nwall z=4000\n"
    "person height=1750\n  at 0 pos=-1500,2600 yaw=-90\n  at 1.2 pos=0,2600 yaw=0\n";
const char kThreePeople[] =
    "frames count=90\nwall z=4000\n"
    "person height=1750\n  at 0 pos=-1500,2600 yaw=-90\n  at 1.2 pos=0,2600 yaw=0\n"
    "person height=1650 fabric=light\n  at 0 pos=1600,3000 yaw=90\n  at 1.2 pos=800,3000 yaw=0\n"
    "person height=1850\n  at 0 pos=-1700,3300 yaw=-90\n  at 1.2 pos=-900,3300 yaw=0\n";

// A folder of its own, with "Vela.ini" naming the source tree's data
// directory, a scene file and its recording per size and scene.
class Workspace {
public:
    Workspace() : m_dir("vela-bench") {
        if (!m_dir.Dir().empty()) {
            std::ofstream(m_dir.Dir() + "/Vela.ini") << "[General]\nDataDir=" VELA_DATA_DIR "\n";
        }
    }
    const std::string& Dir() const { return m_dir.Dir(); }

    // The recording of a scene at a size, made on first use; empty when it
    // cannot be made.
    std::string Recording(const char* sceneText, int people, int width, int height) {
        const auto key = std::make_pair(people, width);
        auto found = m_recordings.find(key);
        if (found != m_recordings.end()) return found->second;
        const std::string base = Dir() + "/scene" + std::to_string(people) + "_" + std::to_string(width);
        return m_recordings[key] = vela_bench::RecordScene(base, sceneText, width, height, kRecordedFrames);
    }

private:
    vela_bench::BenchDir m_dir;
    std::map<std::pair<int, int>, std::string> m_recordings;
};

void BM_UserTrackerApiFrame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    const int people = static_cast<int>(state.range(1));
    if (openni::OpenNI::initialize() != openni::STATUS_OK) {
        state.SkipWithError("OpenNI2 does not start");
        return;
    }
    static Workspace workspace;
    const std::string recording =
        workspace.Dir().empty() ? std::string()
                                : workspace.Recording(people == 1 ? kOnePerson : kThreePeople, people, width, height);
    char previous[4096];
    const bool moved = !recording.empty() && getcwd(previous, sizeof(previous)) != nullptr &&
                       chdir(workspace.Dir().c_str()) == 0;
    openni::Device device;
    VelaUserTrackerHandle tracker = nullptr;
    if (!moved || velaInitialize() != VELA_STATUS_OK || device.open(recording.c_str()) != openni::STATUS_OK ||
        velaInitializeUserTrackerByDevice(&device, &tracker) != VELA_STATUS_OK) {
        state.SkipWithError("no user tracker on the recording");
    } else {
        device.getPlaybackControl()->setSpeed(-1.0f);
        bool read = true;
        int users = 0;
        auto frame = [&]() {
            VelaUserTrackerFrame* out = nullptr;
            read = read && velaReadUserTrackerFrame(tracker, &out) == VELA_STATUS_OK;
            if (out != nullptr) {
                users = out->userCount;
                velaUserTrackerFrameRelease(tracker, out);
            }
        };
        for (int i = 0; i < kLeadInFrames; ++i) frame();
        for (auto _ : state) frame();
        if (!read) state.SkipWithError("a frame could not be read");
        state.counters["users"] = users;
    }
    velaShutdownUserTracker(tracker);
    device.close();
    velaShutdown();
    openni::OpenNI::shutdown();
    if (moved && chdir(previous) != 0) std::perror("chdir");
}
BENCHMARK(BM_UserTrackerApiFrame)
    ->ArgNames({"width", "people"})
    ->Args({320, 1})
    ->Args({320, 3})
    ->Args({640, 1})
    ->Args({640, 3})
    ->Iterations(kMeasuredFrames)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

#endif  // VELA_SYNTHETIC_CAMERA
