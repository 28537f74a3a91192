// Image boxes of limbs and hand regions are taken several times per
// candidate every frame; they project two end points or eight corners.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "QuorLibrary/Math/GeometryProjector.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

OniStatus FakeStreamProperty(OniStreamHandle, int propertyId, void* data, int* pDataSize) {
    if (propertyId == ONI_STREAM_PROPERTY_HORIZONTAL_FOV || propertyId == ONI_STREAM_PROPERTY_VERTICAL_FOV) {
        const float fov = propertyId == ONI_STREAM_PROPERTY_HORIZONTAL_FOV ? 1.0226f : 0.7966f;
        std::memcpy(data, &fov, sizeof(fov));
        *pDataSize = sizeof(fov);
        return ONI_STATUS_OK;
    }
    return ONI_STATUS_NOT_SUPPORTED;
}

std::unique_ptr<WorldPointConverterBase<float>> MakeConverter() {
    xn::OniCalls calls = xn::DefaultOniCalls();
    calls.streamGetProperty = &FakeStreamProperty;
    const xn::OniCalls previous = xn::SetOniCalls(calls);
    static char token;
    xn::DepthGenerator depth;
    depth.SetStream(reinterpret_cast<OniStreamHandle>(&token));
    std::unique_ptr<WorldPointConverterBase<float>> converter(new WorldPointConverterBase<float>(depth, 640, 480));
    depth.SetStream(nullptr);
    xn::SetOniCalls(previous);
    return converter;
}

const int kShapes = 1024;

std::vector<Vector3D<float>> RandomPoints() {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> x(-1000.0f, 1000.0f);
    std::uniform_real_distribution<float> z(500.0f, 4000.0f);
    std::vector<Vector3D<float>> points;
    for (int i = 0; i < 2 * kShapes; ++i) {
        points.emplace_back(x(rng), x(rng), z(rng));
    }
    return points;
}

void BM_SegmentBounds(benchmark::State& state) {
    const auto converter = MakeConverter();
    const std::vector<Vector3D<float>> points = RandomPoints();
    std::vector<Segment3D<float>> segments;
    for (int i = 0; i < kShapes; ++i) {
        segments.emplace_back(points[2 * i], points[2 * i + 1]);
    }
    for (auto _ : state) {
        for (const Segment3D<float>& s : segments) {
            benchmark::DoNotOptimize(GeometryProjector<float>::GetApproximateProjectedBounds(*converter, s, 60.0f));
        }
    }
    state.SetItemsProcessed(state.iterations() * kShapes);
}

void BM_FrameBoxBounds(benchmark::State& state) {
    const auto converter = MakeConverter();
    const std::vector<Vector3D<float>> points = RandomPoints();
    const Box3D<float> box(Vector3D<float>(-150, -250, -100), Vector3D<float>(150, 250, 100));
    for (auto _ : state) {
        for (int i = 0; i < kShapes; ++i) {
            const Frame3D<float> frame(points[i], Matrix3X3<float>::Identity());
            benchmark::DoNotOptimize(GeometryProjector<float>::GetProjectedBounds(*converter, frame, box));
        }
    }
    state.SetItemsProcessed(state.iterations() * kShapes);
}

void BM_AxisAlignedBoxBounds(benchmark::State& state) {
    const auto converter = MakeConverter();
    const std::vector<Vector3D<float>> points = RandomPoints();
    for (auto _ : state) {
        for (int i = 0; i < kShapes; ++i) {
            const Box3D<float> box(points[i], points[i] + Vector3D<float>(200, 200, 200));
            benchmark::DoNotOptimize(GeometryProjector<float>::GetProjectedBounds(*converter, box));
        }
    }
    state.SetItemsProcessed(state.iterations() * kShapes);
}

}  // namespace

BENCHMARK(BM_SegmentBounds);
BENCHMARK(BM_FrameBoxBounds);
BENCHMARK(BM_AxisAlignedBoxBounds);
