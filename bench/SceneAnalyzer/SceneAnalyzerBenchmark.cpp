// The scene analyzer's frame, its background update, motion detection and
// the plane set's update on frames of the
// synthetic camera's default scene at 320x240 (a person standing in the
// room), replayed as a live camera delivers them: every replayed frame gets
// the next frame index and a time stamp 33,333 us after the previous one.
// The user tracker's goal for scene analysis plus skeleton is 3.3 ms per
// frame for one user on one core.

#include <benchmark/benchmark.h>

#ifdef VELA_SYNTHETIC_CAMERA

#include <memory>
#include <vector>

#include "NACommon/NACommonData.h"
#include "ReplayCamera.h"
#include "SceneAnalyzer/MotionDetectorByEdges.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "SceneAnalyzer/SceneAnalyzer.h"

namespace {

// False, with the benchmark skipped for the reason, when a set-up failed.
bool Usable(benchmark::State& state, bool ready, const char* reason) {
    if (!ready) {
        state.SkipWithError(reason);
    }
    return ready;
}

using vela_bench::Camera;
using vela_bench::kReplayedFrames;

// The replayed frames' maps at 160x120 on a hub of their own: depth,
// shift and the filled shadows.
struct ReplayedMaps {
    explicit ReplayedMaps(Camera& camera) : shifts(kReplayedFrames), shadows(kReplayedFrames) {
        ready = hub.Initialize(camera.Node(), QQVGA, nullptr, nullptr);
        for (int i = 0; ready && i < kReplayedFrames; ++i) {
            camera.Next();
            hub.Update();
            depths.emplace_back(new xn::DepthMetaData);
            NACommonData::CopyMap(hub.DepthMap(QQVGA, 0), *depths.back());
            shifts[i] = hub.ShiftMap(QQVGA, 0);
            SceneAnalyzer::ShadowAlgo(&hub, QQVGA, shadows[i]);
        }
    }
    ~ReplayedMaps() { hub.SetDepthGenerator(nullptr); }

    NACommonData hub;
    bool ready = false;
    std::vector<std::unique_ptr<xn::DepthMetaData> > depths;
    std::vector<Array2D<unsigned short> > shifts;
    std::vector<Array2D<unsigned short> > shadows;
};

// Frames of the analyzer as the user tracker runs them. With a user, the
// analyzer first sees the person walk in and detects them as user 1.
void AnalyzerFrames(benchmark::State& state, const SAConfiguration& configuration, bool withUser) {
    Camera camera;
    if (!Usable(state, camera.Ready(), "no synthetic camera")) {
        return;
    }
    NACommonData hub;
    std::unique_ptr<SceneAnalyzer> analyzer(new SceneAnalyzer);
    if (!analyzer->Initialize(&hub, camera.Node(), configuration, nullptr)) {
        state.SkipWithError("the analyzer does not initialise");
    } else if (withUser) {
        camera.Walk(*analyzer);
        if (!analyzer->IsUserAlive(1)) {
            state.SkipWithError("no user");
            withUser = false;
        }
    }
    // After an error the loop runs no iteration.
    if (analyzer->IsInitialized()) {
        for (auto _ : state) {
            camera.Next();
            analyzer->Update(nullptr, 1);
        }
        if (withUser && !analyzer->IsUserAlive(1)) {
            state.SkipWithError("the user was lost");
        }
    }
    analyzer.reset();
    hub.SetDepthGenerator(nullptr);
}

// One frame: the hub's update, shadow filling, the background model,
// motion detection, planes and the segmentation, on the replayed frames
// from the analyzer's first frame on (without the walk in), at the analysis
// resolution of the argument (2: 160x120, the tracker's default; 3: 320x240).
void BM_SceneAnalyzerFrame(benchmark::State& state) {
    SAConfiguration configuration;
    configuration.m_resolution = static_cast<Resolution>(state.range(0));
    AnalyzerFrames(state, configuration, false);
}
BENCHMARK(BM_SceneAnalyzerFrame)->Arg(QQVGA)->Arg(QVGA)->Unit(benchmark::kMicrosecond);

// The same at 160x120 with the standing person followed as user 1, with the
// eight-pixel steps (1) or the plain ones (0).
void BM_SceneAnalyzerFrameWithUser(benchmark::State& state) {
    SAConfiguration configuration;
    configuration.m_SSE.on = static_cast<int>(state.range(0));
    AnalyzerFrames(state, configuration, true);
}
BENCHMARK(BM_SceneAnalyzerFrameWithUser)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The background model's update alone at 160x120 on the replayed frames'
// maps, with the eight-pixel loops (1) or the plain ones (0).
void BM_FarfieldUpdate(benchmark::State& state) {
    Camera camera;
    if (!Usable(state, camera.Ready(), "no synthetic camera")) {
        return;
    }
    {
        ReplayedMaps maps(camera);
        if (!Usable(state, maps.ready, "the hub does not initialise")) {
            return;
        }
        NACommonData& hub = maps.hub;
        std::vector<std::unique_ptr<xn::DepthMetaData> >& depths = maps.depths;
        std::vector<Array2D<unsigned short> >& shifts = maps.shifts;
        std::vector<Array2D<unsigned short> >& shadows = maps.shadows;
        xn::SceneMetaData noUsers;
        noUsers.AllocateData(g_nXRes[QQVGA], g_nYRes[QQVGA]);
        std::fill(noUsers.WritableData(), noUsers.WritableData() + g_nXRes[QQVGA] * g_nYRes[QQVGA], 0);
        std::unique_ptr<Farfield> farfield(new Farfield);
        if (!farfield->Initialize(&hub, QQVGA, static_cast<int>(state.range(0)), 0)) {
            state.SkipWithError("the background model does not initialise");
            return;
        }
        farfield->m_pPrevLabels = &noUsers;
        const Box2D<int> image(0, 0, g_nXRes[QQVGA] - 1, g_nYRes[QQVGA] - 1);
        unsigned frameId = 0;
        int64_t time = 0;
        for (auto _ : state) {
            const int i = static_cast<int>(frameId % kReplayedFrames);
            const int i1 = (i + kReplayedFrames - 1) % kReplayedFrames;
            const int i2 = (i + kReplayedFrames - 2) % kReplayedFrames;
            const xn::DepthMetaData* depthMaps[2] = {depths[i].get(), depths[i1].get()};
            const Array2D<unsigned short>* shiftMaps[3] = {&shifts[i], &shifts[i1], &shifts[i2]};
            farfield->m_pShadowMap = shadows[i].Data();
            farfield->NAFarfield::Update(depthMaps, shiftMaps, ++frameId, SensorTime(time += 33333), image);
            farfield->Feedback(noUsers);
            farfield->UpdateFarfieldWithMemory();
        }
    }
}
BENCHMARK(BM_FarfieldUpdate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Motion detection per frame at 160x120 (edge image, blocks, clusters,
// suspects) with the eight-pixel edge image (1) or the plain one (0).
void BM_MotionDetection(benchmark::State& state) {
    Camera camera;
    if (!Usable(state, camera.Ready(), "no synthetic camera")) {
        return;
    }
    ReplayedMaps maps(camera);
    if (!Usable(state, maps.ready, "the hub does not initialise")) {
        return;
    }
    std::unique_ptr<MotionDetectorByEdges> detector(new MotionDetectorByEdges);
    detector->init(&maps.hub, QQVGA, static_cast<int>(state.range(0)), 0, 8000);
    int frame = 0;
    for (auto _ : state) {
        const int i = frame++ % kReplayedFrames;
        detector->SetMaps(*maps.depths[i], maps.shifts[i], maps.shadows[i]);
        detector->Detect();
    }
    state.counters["blocks"] = detector->blockCount();
}
BENCHMARK(BM_MotionDetection)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Floor tracking per frame at 160x120 on a learnt background (the room of
// the default scene): the plane set's update as the analyzer runs it, each
// frame one kind in turn (1), and the floor slot's own update of a present
// floor, marking and refit (2); with the eight-pixel loops (second
// argument 1) or the plain ones (0).
void BM_FloorTracking(benchmark::State& state) {
    Camera camera;
    if (!Usable(state, camera.Ready(), "no synthetic camera")) {
        return;
    }
    ReplayedMaps maps(camera);
    if (!Usable(state, maps.ready, "the hub does not initialise")) {
        return;
    }
    const Array2D<unsigned short>& background = maps.shifts[0];
    std::unique_ptr<SAPlanes> planes(new SAPlanes);
    planes->Initialize(&maps.hub, QQVGA, static_cast<int>(state.range(1)), 0, {}, 8000);
    planes->Update(background, 1);
    SAPlane& floor = planes->Slot(SAPlaneData::PLANE_FLOOR, 0);
    state.counters["floor"] = floor.m_hasSAPlane ? 1 : 0;
    for (auto _ : state) {
        if (state.range(0) == 1) {
            planes->Update(background, 0);
        } else {
            floor.update(background, 0);
        }
    }
}
BENCHMARK(BM_FloorTracking)->ArgsProduct({{1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace

#endif  // VELA_SYNTHETIC_CAMERA
