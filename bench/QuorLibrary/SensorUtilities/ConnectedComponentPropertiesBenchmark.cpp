// Component properties are single passes over a frame's label and depth
// maps. A converter kept by the caller computes the world map once per
// frame id, so passes after the first on the same frame only read it; a
// null converter builds a temporary one (tables and world map) per call.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>

#include "QuorLibrary/SensorUtilities/ConnectedComponentProperties.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

OniStatus FakeStreamProperty(OniStreamHandle, int propertyId, void* data, int* pDataSize) {
    if (propertyId == ONI_STREAM_PROPERTY_HORIZONTAL_FOV || propertyId == ONI_STREAM_PROPERTY_VERTICAL_FOV) {
        const float fov = propertyId == ONI_STREAM_PROPERTY_HORIZONTAL_FOV ? 1.0226f : 0.7966f;
        std::memcpy(data, &fov, sizeof(fov));
        *pDataSize = sizeof(fov);
        return ONI_STATUS_OK;
    }
    if (propertyId == ONI_STREAM_PROPERTY_MAX_VALUE) {
        const int maxDepth = 10000;
        std::memcpy(data, &maxDepth, sizeof(maxDepth));
        *pDataSize = sizeof(maxDepth);
        return ONI_STATUS_OK;
    }
    return ONI_STATUS_NOT_SUPPORTED;
}

// A frame of width x height: 16 x 16 blocks of random labels (a third of
// them background) at random depths; the fake stream stays installed for
// converters built during the run.
struct Setup {
    Setup(int width, int height) {
        xn::OniCalls calls = xn::DefaultOniCalls();
        calls.streamGetProperty = &FakeStreamProperty;
        previous = xn::SetOniCalls(calls);
        static char token;
        depthGen.SetStream(reinterpret_cast<OniStreamHandle>(&token));
        converter.reset(new WorldPointConverter<float>(depthGen, width, height));

        depth.AllocateData(width, height);
        labels.AllocateData(width, height);
        depth.FrameID() = 1;
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> label(0, 60);
        std::uniform_int_distribution<int> z(500, 9000);
        for (int by = 0; by < height; by += 16) {
            for (int bx = 0; bx < width; bx += 16) {
                const int l = label(rng);
                const int d = z(rng);
                for (int y = by; y < by + 16 && y < height; ++y) {
                    for (int x = bx; x < bx + 16 && x < width; ++x) {
                        labels.WritableData()[y * width + x] = static_cast<XnLabel>(l < 20 ? 0 : l);
                        depth.WritableData()[y * width + x] = static_cast<XnDepthPixel>(d + (x + y) % 7);
                    }
                }
            }
        }
    }
    ~Setup() {
        depthGen.SetStream(nullptr);
        xn::SetOniCalls(previous);
    }

    xn::OniCalls previous;
    xn::DepthGenerator depthGen;
    std::unique_ptr<WorldPointConverter<float>> converter;
    xn::DepthMetaData depth;
    xn::SceneMetaData labels;
};

void BM_ComputeAllProperties(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    Setup setup(width, width * 3 / 4);
    ConnectedComponentProperties<float> properties;
    XnUInt32 frame = 1;
    for (auto _ : state) {
        setup.depth.FrameID() = ++frame;  // a new frame: the world map is recomputed
        properties.ComputeAllProperties(setup.depthGen, setup.depth, setup.labels, true, setup.converter.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(width) * (width * 3 / 4));
}

// Box, centre of mass and area on one frame with the caller's converter:
// one world map for the three passes.
void BM_SeparatePassesKeptConverter(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    Setup setup(width, width * 3 / 4);
    ConnectedComponentProperties<float> properties;
    XnUInt32 frame = 1;
    for (auto _ : state) {
        setup.depth.FrameID() = ++frame;
        properties.ComputeBBox(setup.depthGen, setup.depth, setup.labels, setup.converter.get());
        properties.ComputeCenterOfMass(setup.depthGen, setup.depth, setup.labels, true, setup.converter.get());
        properties.ComputeArea(setup.depthGen, setup.depth, setup.labels, setup.converter.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(width) * (width * 3 / 4));
}

// The same passes without a converter: each builds its own.
void BM_SeparatePassesTemporaryConverter(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    Setup setup(width, width * 3 / 4);
    ConnectedComponentProperties<float> properties;
    for (auto _ : state) {
        properties.ComputeBBox(setup.depthGen, setup.depth, setup.labels, nullptr);
        properties.ComputeCenterOfMass(setup.depthGen, setup.depth, setup.labels, true, nullptr);
        properties.ComputeArea(setup.depthGen, setup.depth, setup.labels, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(width) * (width * 3 / 4));
}

}  // namespace

BENCHMARK(BM_ComputeAllProperties)->Arg(160)->Arg(320)->Arg(640);
BENCHMARK(BM_SeparatePassesKeptConverter)->Arg(320)->Arg(640);
BENCHMARK(BM_SeparatePassesTemporaryConverter)->Arg(320)->Arg(640);
