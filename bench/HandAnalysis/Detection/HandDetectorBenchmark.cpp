// The hand detector's work of one frame at 160x120 as the hand tracker's
// clients ask for it, and the head test, on a rendered frame: a person at
// 2 m before a wall holding the right hand up before the chest. The frame
// is drawn at 320x240 and reduced by the hub's 2x2 reduction, as the hand
// side's 160x120 level is; the motion mask marks the pixels that differ
// from the frame with the arm down.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "DepthFixtureFrame.h"
#include "HandAnalysis/DUZHandDetector.h"
#include "NACommon/NACommonData.h"
#include "NACommon/NAHeadDetector.h"
#include "SceneRenderer/SceneRenderer.h"

namespace {

constexpr unsigned short kMaxDepth = 4500;

// The scene at 160x120 in a fixture frame, with the arm-down frame's motion.
class RaisedHandFrame {
public:
    RaisedHandFrame() : m_frame(160, 120) {
        vela::scene::Scene scene;
        std::string error;
        if (!vela::scene::ParseScene("camera elevation=1400\nframes count=20\nwall z=4000\n"
                                     "person height=1750\n  at 0 pos=0,2000\n  pose 0 stand\n"
                                     "  pose 0.4 stand right_arm=0,20,0,120\n",
                                     "", scene, error)) {
            std::abort();
        }
        vela::scene::SceneRenderer renderer(scene);
        renderer.SetResolution(320, 240);
        std::vector<uint16_t> before = Reduced(renderer, 0);
        std::vector<uint16_t> now = Reduced(renderer, 15);
        std::copy(now.begin(), now.end(), m_frame.Depth().WritableData());
        m_motion.SetSize(120, 160, false);
        for (int i = 0; i < 160 * 120; ++i) {
            m_motion[i] = std::abs(now[i] - before[i]) > 50 || (now[i] == 0) != (before[i] == 0) ? 1 : 0;
        }
        vela::scene::RenderedFrame truth;
        renderer.Render(15, truth);
        // The head's visible centroid at 160x120.
        double sum[3] = {0, 0, 0};
        int n = 0;
        const WorldPointConverterBase<float>& c = m_frame.Converter();
        for (int r = 0; r < 120; ++r) {
            for (int col = 0; col < 160; ++col) {
                const size_t i = static_cast<size_t>(2 * r) * 320 + 2 * col;
                const int z = m_frame.Depth()(col, r);
                if (truth.parts[i] == vela::scene::kPartHead && z != 0) {
                    sum[0] += (col - c.m_fCenterX) * c.m_fPixelSizeFactor * z;
                    sum[1] += (c.m_fCenterY - r) * c.m_fPixelSizeFactor * z;
                    sum[2] += z;
                    ++n;
                }
            }
        }
        m_head = Vector3D<float>(static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
                                 static_cast<float>(sum[2] / n));
    }

    hand_test_kit::FixtureFrame& Frame() { return m_frame; }
    Array2D<unsigned short>& Motion() { return m_motion; }
    const Vector3D<float>& Head() const { return m_head; }

private:
    static std::vector<uint16_t> Reduced(vela::scene::SceneRenderer& renderer, int index) {
        std::vector<uint16_t> full(320 * 240);
        renderer.RenderDepth(index, full.data());
        std::vector<uint16_t> reduced(160 * 120);
        NACommonData hub;
        hub.Downscale(full.data(), reduced.data(), 320, 240, 2);
        return reduced;
    }

    hand_test_kit::FixtureFrame m_frame;
    Array2D<unsigned short> m_motion;
    Vector3D<float> m_head;
};

RaisedHandFrame& Scene() {
    static RaisedHandFrame scene;
    return scene;
}

// The once-per-frame part: edge maps, labelling, measures and the size and
// free-space filters (a new frame id each time, so nothing is cached).
void BM_HandDetectorFrame(benchmark::State& state) {
    hand_test_kit::FixtureFrame& frame = Scene().Frame();
    DUZHandDetector detector(1);
    detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth);
    ConnectedComponentProperties<float> candidates;
    short count = 0;
    unsigned int unused = 0;
    NAResolution resolution = NAResolution::NoMatch;
    Box2D<int> box(0, 0, 159, 119);
    uint32_t id = 1;
    for (auto _ : state) {
        frame.SetFrame(id++, SensorTime(0));
        detector.FindBasicExtremeCandidates(&frame.Container(), box, 1, candidates, count, unused, resolution);
        benchmark::DoNotOptimize(count);
    }
    state.counters["labels"] = count;
}
BENCHMARK(BM_HandDetectorFrame)->Unit(benchmark::kMicrosecond);

// A hand search with the motion mask and the forearm test on a new frame:
// the frame, then the head, motion and forearm decisions of every label.
void BM_HandSearchWithForearm(benchmark::State& state) {
    hand_test_kit::FixtureFrame& frame = Scene().Frame();
    DUZHandDetector detector(1);
    detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth);
    ConnectedComponentProperties<float> candidates;
    short count = 0;
    Box2D<int> box(0, 0, 159, 119);
    uint32_t id = 1;
    for (auto _ : state) {
        frame.SetFrame(id++, SensorTime(0));
        detector.FindHandCandidates(&frame.Container(), box, &Scene().Motion(), 1, 1, nullptr, candidates, count);
        benchmark::DoNotOptimize(count);
    }
    int hands = 0;
    for (int l = 1; l < count; ++l) hands += candidates.m_centerOfMass[l] != Vector3D<float>(0, 0, 0);
    state.counters["hands"] = hands;
}
BENCHMARK(BM_HandSearchWithForearm)->Unit(benchmark::kMicrosecond);

// A later client's question about the same frame: the cached decisions on
// a fresh copy of the candidate record.
void BM_CachedHandSearch(benchmark::State& state) {
    hand_test_kit::FixtureFrame& frame = Scene().Frame();
    DUZHandDetector detector(1);
    detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth);
    ConnectedComponentProperties<float> candidates;
    short count = 0;
    Box2D<int> box(0, 0, 159, 119);
    frame.SetFrame(1, SensorTime(0));
    detector.FindHandCandidates(&frame.Container(), box, &Scene().Motion(), 1, 1, nullptr, candidates, count);
    for (auto _ : state) {
        detector.FindHandCandidates(&frame.Container(), box, &Scene().Motion(), 1, 1, nullptr, candidates, count);
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_CachedHandSearch)->Unit(benchmark::kMicrosecond);

// The head test of a tracker's point on the head's visible centroid: the
// whole chain runs.
void BM_HeadTest(benchmark::State& state) {
    hand_test_kit::FixtureFrame& frame = Scene().Frame();
    NAHeadDetector detector;
    detector.Initialize(kMaxDepth);
    const Vector3D<float> point = Scene().Head();
    int found = 0;
    for (auto _ : state) {
        found = detector.Detect(point, 1, &frame.Depth(), &frame.Converter(), nullptr);
        benchmark::DoNotOptimize(found);
    }
    state.counters["head"] = found;
}
BENCHMARK(BM_HeadTest)->Unit(benchmark::kMicrosecond);

}  // namespace
