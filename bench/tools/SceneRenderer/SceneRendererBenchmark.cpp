#include <benchmark/benchmark.h>

#include <string>

#include "SceneRenderer/SceneRenderer.h"

namespace {

using namespace vela::scene;

// Two people, one walking and one waving, dressed, with every sensor effect
// on (the defaults).
const char* const kTwoPeople =
    "sensor dropouts=0.001 seed=5\n"
    "wall z=4500\n"
    "box center=1300,400,3200 size=500,800,500 yaw=25\n"
    "person height=1800\n"
    "  at 0 pos=-300,2300\n"
    "  wave 0..10 hand=left\n"
    "person height=1600 girth=1.15 face=motion\n"
    "  at 0 pos=1500,3000 yaw=90\n"
    "  at 10 pos=-1500,3200\n";

// The same in the clean mode: plain bodies, white noise only.
const std::string kTwoPlainPeople =
    std::string("sensor noise=0.35 levels=table field=0 blocks=0 edges=off fragments=off holes=off\n") + kTwoPeople;

void RenderScene(benchmark::State& state, int width, int height, bool clean = false) {
    Scene scene;
    std::string error;
    if (!ParseScene(clean ? kTwoPlainPeople : kTwoPeople, "", scene, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (clean) {
        for (PersonDef& person : scene.people) person.plainBody = true;
    }
    SceneRenderer renderer(scene);
    renderer.SetResolution(width, height);
    RenderedFrame frame;
    int index = 0;
    for (auto _ : state) {
        renderer.Render(index, frame);
        benchmark::DoNotOptimize(frame.depth.data());
        index = (index + 1) % 300;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_RenderTwoPeople160x120(benchmark::State& state) { RenderScene(state, 160, 120); }
void BM_RenderTwoPeople320x240(benchmark::State& state) { RenderScene(state, 320, 240); }
void BM_RenderTwoPeople640x480(benchmark::State& state) { RenderScene(state, 640, 480); }
void BM_RenderTwoPlainPeople320x240(benchmark::State& state) { RenderScene(state, 320, 240, true); }
void BM_RenderTwoPlainPeople640x480(benchmark::State& state) { RenderScene(state, 640, 480, true); }

BENCHMARK(BM_RenderTwoPeople160x120)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTwoPeople320x240)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTwoPeople640x480)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTwoPlainPeople320x240)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTwoPlainPeople640x480)->Unit(benchmark::kMillisecond);

}  // namespace
