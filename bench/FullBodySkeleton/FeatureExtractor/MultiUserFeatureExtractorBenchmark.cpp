// The multi-user skeleton driver's per-frame preparation (hub update, label
// masks, depth-map containers, dilated depth map, label statistics and their
// copy into the user's UserInfo) at 320x240 with the skeleton at 160x120,
// on frames of the synthetic camera's default scene replayed as a live
// camera delivers them, with the standing person as user 1 in the scene
// analyzer's label maps of the same frames.

#include <benchmark/benchmark.h>

#ifdef VELA_SYNTHETIC_CAMERA

#include <memory>
#include <vector>

#include "../../SceneAnalyzer/ReplayCamera.h"
#include "FullBodySkeleton/FeatureExtractor/MultiUserFeatureExtractor.h"
#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/SceneAnalyzer.h"

namespace {

using vela_bench::Camera;
using vela_bench::kReplayedFrames;

// The analyzer's label maps at 160x120 of the replayed frames, with user 1
// started from a box over the whole image after the walk; empty when that
// fails.
std::vector<std::unique_ptr<xn::SceneMetaData> > UserLabels(Camera& camera) {
    std::vector<std::unique_ptr<xn::SceneMetaData> > labels;
    NACommonData hub;
    std::unique_ptr<SceneAnalyzer> analyzer(new SceneAnalyzer);
    if (analyzer->Initialize(&hub, camera.Node(), SAConfiguration(), nullptr)) {
        camera.Walk(*analyzer);
        analyzer->GetSegmentation().InjectUser(
            Box3D<int>(Vector3D<int>(0, 0, 500), Vector3D<int>(g_nXRes[QQVGA] - 1, g_nYRes[QQVGA] - 1, 4000)));
        for (int i = 0; i < kReplayedFrames; ++i) {
            camera.Next();
            analyzer->Update(nullptr, 1);
            if (!analyzer->IsUserAlive(1)) {
                labels.clear();
                break;
            }
            labels.emplace_back(new xn::SceneMetaData);
            const xn::SceneMetaData& map = analyzer->GetLabelMap(QQVGA);
            labels.back()->AllocateData(map.XRes(), map.YRes());
            std::copy(map.Data(), map.Data() + map.XRes() * map.YRes(), labels.back()->WritableData());
        }
    }
    analyzer.reset();
    hub.SetDepthGenerator(nullptr);
    return labels;
}

// One frame of the driver with user 1 tracked, with the SSE dilation (1) or
// the plain one (0).
void BM_SkeletonDriverPreparation(benchmark::State& state) {
    Camera camera;
    if (!camera.Ready()) {
        state.SkipWithError("no synthetic camera");
        return;
    }
    const std::vector<std::unique_ptr<xn::SceneMetaData> > labels = UserLabels(camera);
    if (labels.empty()) {
        state.SkipWithError("no user");
        return;
    }
    NACommonData hub;
    xn::DepthMetaData depth;
    camera.Node().GetMetaData(depth);
    {
        MultiUserFeatureExtractor driver;
        if (!driver.Initialize(&hub, camera.Node(), depth, QQVGA, nullptr, "", "")) {
            state.SkipWithError("the driver does not initialise");
        } else {
            driver.ReadParameters();
            MultiUserFeatureExtractor::m_bSSE = state.range(0) != 0;
            driver.CreateFeatureExtractor(1)->SetMode(FeatureExtractor::MODE_TRACKING);
            int frame = 0;
            for (auto _ : state) {
                camera.Next();
                driver.Update(camera.Node(), depth, *labels[frame++ % kReplayedFrames]);
            }
            state.counters["pixels"] = driver.GetUserLabelInfo(1).pixelCount;
            MultiUserFeatureExtractor::m_bSSE = true;
        }
    }
    hub.SetDepthGenerator(nullptr);
}
BENCHMARK(BM_SkeletonDriverPreparation)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

#endif
