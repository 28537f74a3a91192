// The alternative scene analyzer's frame (planes, region cutting and
// measurement, tracking, object map, motion mask) on replayed frames of the
// synthetic camera's default scene, analysed at 160x120, with the run-list
// measurement (1) or the label-map scan (0).

#include <benchmark/benchmark.h>

#ifdef VELA_SYNTHETIC_CAMERA

#include <memory>

#include "NACommon/NACommonData.h"
#include "ReplayCamera.h"
#include "SceneAnalyzer/NewSceneAnalyzer.h"

namespace {

void BM_NewSceneAnalyzerFrame(benchmark::State& state) {
    vela_bench::Camera camera;
    if (!camera.Ready()) {
        state.SkipWithError("no synthetic camera");
        return;
    }
    {
        NACommonData hub;
        std::unique_ptr<NewSceneAnalyzer> analyzer(new NewSceneAnalyzer(&hub));
        SAConfiguration configuration;
        configuration.m_SSE.on = static_cast<int>(state.range(0));
        if (!analyzer->Initialize(&hub, camera.Node(), configuration, nullptr)) {
            state.SkipWithError("the analyzer does not initialise");
            return;
        }
        for (auto _ : state) {
            camera.Next();
            analyzer->Update();
        }
        state.counters["regions"] = analyzer->CurrentCCs().Size();
        analyzer.reset();
        hub.SetDepthGenerator(nullptr);
    }
}
BENCHMARK(BM_NewSceneAnalyzerFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

#endif
