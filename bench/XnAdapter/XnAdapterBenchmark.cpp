// Per frame every tracker hands its new frame to the nodes of its stream and
// refreshes its depth metadata; neither may copy pixels or allocate.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "XnAdapter/XnNodeRegistry.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

OniStatus VgaMode(OniStreamHandle, int propertyId, void* data, int* pDataSize) {
    if (propertyId != ONI_STREAM_PROPERTY_VIDEO_MODE || *pDataSize < static_cast<int>(sizeof(OniVideoMode))) {
        return ONI_STATUS_NOT_SUPPORTED;
    }
    const OniVideoMode mode = {ONI_PIXEL_FORMAT_DEPTH_1_MM, 640, 480, 30};
    std::memcpy(data, &mode, sizeof(mode));
    *pDataSize = sizeof(mode);
    return ONI_STATUS_OK;
}

void NoReference(OniFrame*) {}

// Fake calls for the benchmark's lifetime: a VGA stream and uncounted frames.
class FakeVgaStream {
public:
    FakeVgaStream() : m_pixels(640 * 480, 1500) {
        xn::OniCalls calls = xn::DefaultOniCalls();
        calls.streamGetProperty = &VgaMode;
        calls.frameAddRef = &NoReference;
        calls.frameRelease = &NoReference;
        m_previous = xn::SetOniCalls(calls);
        std::memset(&m_frame, 0, sizeof(m_frame));
        m_frame.data = m_pixels.data();
        m_frame.dataSize = 640 * 480 * 2;
        m_frame.width = 640;
        m_frame.height = 480;
        m_frame.stride = 640 * 2;
    }
    ~FakeVgaStream() { xn::SetOniCalls(m_previous); }

    OniStreamHandle Stream() { return reinterpret_cast<OniStreamHandle>(&m_token); }
    OniFrame* Frame() { return &m_frame; }

private:
    xn::OniCalls m_previous;
    std::vector<uint16_t> m_pixels;
    OniFrame m_frame;
    char m_token = 0;
};

void BM_GetMetaData(benchmark::State& state) {
    FakeVgaStream fake;
    xn::DepthGenerator depth;
    depth.SetStream(fake.Stream());
    depth.UpdateFrame(fake.Frame());
    xn::DepthMetaData md;
    for (auto _ : state) {
        depth.GetMetaData(md);
        benchmark::DoNotOptimize(md.Data());
    }
    depth.SetStream(nullptr);
}
BENCHMARK(BM_GetMetaData);

// A tracker's node, the hub's copy of it and as many nodes on other streams.
void BM_UpdateFrameToAll(benchmark::State& state) {
    FakeVgaStream fake;
    xn::DepthGenerator depth;
    depth.SetStream(fake.Stream());
    xn::DepthGenerator copy(depth);
    std::vector<char> otherStreams(static_cast<size_t>(state.range(0)));
    std::vector<xn::DepthGenerator> others(otherStreams.size());
    for (size_t i = 0; i < others.size(); ++i) {
        others[i].SetStream(reinterpret_cast<OniStreamHandle>(&otherStreams[i]));
    }
    for (auto _ : state) {
        depth.UpdateFrameToAll(fake.Frame());
    }
    for (xn::DepthGenerator& node : others) {
        node.SetStream(nullptr);
    }
    depth.SetStream(nullptr);
    copy.SetStream(nullptr);
}
BENCHMARK(BM_UpdateFrameToAll)->Arg(0)->Arg(8);

}  // namespace
