// Per frame the hub takes the frame in (depth, shift and hybrid maps) and
// its readers ask for coarser levels; the 2x2 reductions carry most of it.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "NACommon/NACommonData.h"

#ifdef VELA_SYNTHETIC_CAMERA
#include <OniCAPI.h>

#include "XnAdapter/XnNodeRegistry.h"
#endif

namespace {

// A 640x480 depth map reduced to 320x240, with the SSSE3 kernel (1) or its
// plain twin (0).
void BM_Downscale2x2(benchmark::State& state) {
    std::mt19937 random(7);
    std::vector<unsigned short> source(640 * 480);
    for (unsigned short& v : source) v = static_cast<unsigned short>(500 + random() % 4000);
    std::vector<unsigned short> target(320 * 240);
    NACommonData hub;
    if (state.range(0) == 1 && !NACommonData::m_bSupplementalSSE3) {
        state.SkipWithError("no SSSE3");
        return;
    }
    for (auto _ : state) {
        if (state.range(0) == 1) {
            NACommonData::Downscale2x2SSE(source.data(), target.data(), 640, 480);
        } else {
            NACommonData::Downscale2x2NoSSE(source.data(), target.data(), 640, 480);
        }
        benchmark::DoNotOptimize(target.data());
    }
}
BENCHMARK(BM_Downscale2x2)->Arg(0)->Arg(1);

#ifdef VELA_SYNTHETIC_CAMERA

// One hub update of a 640x480 frame of the synthetic camera and a read of
// every level of the depth and shift pyramids (320x240 down to 40x30) and
// the hybrid map, with the SSSE3 reductions (1) or without (0).
void BM_HubUpdateWithFullPyramid(benchmark::State& state) {
    if (oniInitialize(ONI_API_VERSION) != ONI_STATUS_OK) {
        state.SkipWithError("OpenNI2 does not start");
        return;
    }
    OniDeviceHandle device = nullptr;
    OniStreamHandle stream = nullptr;
    if (oniDeviceOpen("synthetic://default?resolution=640x480", &device) != ONI_STATUS_OK ||
        oniDeviceCreateStream(device, ONI_SENSOR_DEPTH, &stream) != ONI_STATUS_OK || oniStreamStart(stream) != ONI_STATUS_OK) {
        state.SkipWithError("no synthetic camera");
        oniShutdown();
        return;
    }
    {
        xn::DepthGenerator node;
        node.SetDevice(device);
        node.SetStream(stream);
        NACommonData hub;
        hub.Initialize(node, INVALID, nullptr, nullptr);
        // Frames of a person in the room, not the empty first ones.
        for (int i = 0; i < 40; ++i) xn::UpdateUntil(node);
        const bool ssse3 = NACommonData::m_bSupplementalSSE3;
        NACommonData::m_bSupplementalSSE3 = ssse3 && state.range(0) == 1;
        for (auto _ : state) {
            hub.m_nLastFrameID = -2147483647;
            hub.Update();
            for (int r = hub.m_depthResolution; r >= QQQQVGA; --r) {
                benchmark::DoNotOptimize(hub.DepthMap(static_cast<Resolution>(r), 0).Data());
                benchmark::DoNotOptimize(hub.ShiftMap(static_cast<Resolution>(r), 0).Data());
            }
            benchmark::DoNotOptimize(hub.HybridMap().Data());
        }
        NACommonData::m_bSupplementalSSE3 = ssse3;
        node.UpdateFrame(nullptr);
        node.SetStream(nullptr);
    }
    oniStreamStop(stream);
    oniStreamDestroy(stream);
    oniDeviceClose(device);
    oniShutdown();
}
BENCHMARK(BM_HubUpdateWithFullPyramid)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

#endif  // VELA_SYNTHETIC_CAMERA

}  // namespace
