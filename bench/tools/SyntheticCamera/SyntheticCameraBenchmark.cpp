// Frames of the synthetic camera through OpenNI2, as tests and samples read
// them: how much faster than real time (30 fps) a test can go.

#include <OniCAPI.h>
#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_ReadFrame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const bool paced = state.range(1) != 0;
    if (oniInitialize(ONI_API_VERSION) != ONI_STATUS_OK) {
        state.SkipWithError(oniGetExtendedError());
        return;
    }
    OniDeviceHandle device = nullptr;
    OniStreamHandle stream = nullptr;
    const std::string uri = paced ? "synthetic://default?pacing=free" : "synthetic://default";
    if (oniDeviceOpen(uri.c_str(), &device) != ONI_STATUS_OK ||
        oniDeviceCreateStream(device, ONI_SENSOR_DEPTH, &stream) != ONI_STATUS_OK) {
        state.SkipWithError(oniGetExtendedError());
        oniShutdown();
        return;
    }
    const OniVideoMode mode{ONI_PIXEL_FORMAT_DEPTH_1_MM, width, width * 3 / 4, 30};
    oniStreamSetProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, &mode, sizeof mode);
    oniStreamStart(stream);
    for (auto _ : state) {
        int ready = -1;
        if (oniWaitForAnyStream(&stream, 1, &ready, 5000) != ONI_STATUS_OK) {
            state.SkipWithError("no frame");
            break;
        }
        OniFrame* frame = nullptr;
        oniStreamReadFrame(stream, &frame);
        benchmark::DoNotOptimize(frame->data);
        oniFrameRelease(frame);
    }
    state.SetItemsProcessed(state.iterations());
    oniStreamStop(stream);
    oniStreamDestroy(stream);
    oniDeviceClose(device);
    oniShutdown();
}
// On demand (a frame per read) and free-running (the reader takes the newest).
BENCHMARK(BM_ReadFrame)->Args({320, 0})->Args({640, 0})->Args({320, 1})->Unit(benchmark::kMillisecond);

}  // namespace
