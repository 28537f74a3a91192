// World-point conversion runs per pixel in most of the tracker's loops: the
// world map of each frame, the fixed-point conversions and the projections
// back. Tracked per frame size, with full per-depth tables and with the
// 2-entry tables of a stream whose maximum depth cannot be read (every depth
// then takes the computed path).

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

bool g_bMaxDepthReadable = true;

// The stream properties a converter reads, without a device.
OniStatus FakeStreamProperty(OniStreamHandle, int propertyId, void* data, int* pDataSize) {
    if (propertyId == ONI_STREAM_PROPERTY_HORIZONTAL_FOV || propertyId == ONI_STREAM_PROPERTY_VERTICAL_FOV) {
        const float fov = propertyId == ONI_STREAM_PROPERTY_HORIZONTAL_FOV ? 1.0226f : 0.7966f;
        std::memcpy(data, &fov, sizeof(fov));
        *pDataSize = sizeof(fov);
        return ONI_STATUS_OK;
    }
    if (propertyId == ONI_STREAM_PROPERTY_MAX_VALUE && g_bMaxDepthReadable) {
        const int maxDepth = 10000;
        std::memcpy(data, &maxDepth, sizeof(maxDepth));
        *pDataSize = sizeof(maxDepth);
        return ONI_STATUS_OK;
    }
    return ONI_STATUS_NOT_SUPPORTED;
}

// A converter of width x height over a depth map of random depths.
struct Setup {
    Setup(int width, int height, bool fullTables) {
        xn::OniCalls calls = xn::DefaultOniCalls();
        calls.streamGetProperty = &FakeStreamProperty;
        const xn::OniCalls previous = xn::SetOniCalls(calls);
        g_bMaxDepthReadable = fullTables;
        static char token;
        depth.SetStream(reinterpret_cast<OniStreamHandle>(&token));
        converter = new WorldPointConverter<float>(depth, width, height);
        xn::SetOniCalls(previous);
        depth.SetStream(nullptr);

        map.AllocateData(width, height);
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> z(500, 9000);
        for (int i = 0; i < width * height; ++i) {
            map.WritableData()[i] = static_cast<XnDepthPixel>(z(rng));
        }
    }
    ~Setup() { delete converter; }

    xn::DepthGenerator depth;
    WorldPointConverter<float>* converter;
    xn::DepthMetaData map;
};

void BM_UpdateWorldPoints(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    Setup setup(width, height, state.range(1) != 0);
    XnUInt32 frame = 0;
    for (auto _ : state) {
        setup.map.FrameID() = ++frame;
        setup.converter->UpdateWorldPoints(setup.map);
        benchmark::DoNotOptimize(setup.converter->m_worldMap.Data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(width) * height);
}

void BM_WorldPtIntAndBack(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    Setup setup(width, height, state.range(1) != 0);
    const WorldPointConverter<float>& converter = *setup.converter;
    const XnDepthPixel* pDepth = setup.map.Data();
    for (auto _ : state) {
        int sum = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Vector3D<int> world = converter.WorldPtInt(x, y, pDepth[y * width + x]);
                const Vector3D<int> pixel = converter.ProjectivePtUnboundedInt(world);
                sum += pixel.x + pixel.y;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(width) * height);
}

void BM_WorldPtFloat(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    Setup setup(width, height, state.range(1) != 0);
    const WorldPointConverter<float>& converter = *setup.converter;
    for (auto _ : state) {
        float sum = 0.0f;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Vector3D<float> world = converter.WorldPt(setup.map, Vector2D<int>(x, y));
                sum += world.x + world.y;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(width) * height);
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int fullTables : {1, 0}) {
        for (int width : {160, 320, 640}) {
            b->Args({width, fullTables});
        }
    }
    b->ArgNames({"width", "fullTables"});
}

BENCHMARK(BM_UpdateWorldPoints)->Apply(Sizes);
BENCHMARK(BM_WorldPtIntAndBack)->Apply(Sizes);
BENCHMARK(BM_WorldPtFloat)->Apply(Sizes);

}  // namespace
