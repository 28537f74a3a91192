// Limb-to-limb distances run for every pair of body segments and candidate
// pose each frame; point-to-limb distances run per pixel.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "QuorLibrary/Math/Segment3DAccel.h"
#include "QuorLibrary/Math/SegmentDistance.h"

namespace {

std::vector<Segment3D<float> > RandomSegments(size_t count) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> coordinate(-800.0f, 800.0f);
    std::vector<Segment3D<float> > segments;
    for (size_t i = 0; i < count; ++i) {
        const float x0 = coordinate(rng), y0 = coordinate(rng), z0 = coordinate(rng);
        const float x1 = coordinate(rng), y1 = coordinate(rng), z1 = coordinate(rng);
        segments.emplace_back(Vector3D<float>(x0, y0, z0), Vector3D<float>(x1, y1, z1));
    }
    return segments;
}

// Segments whose length and direction are already cached.
void BM_ShortestDistanceSquare(benchmark::State& state) {
    const std::vector<Segment3D<float> > segments = RandomSegments(256);
    for (const Segment3D<float>& s : segments) {
        s.UpdateLengthAndDirection();
    }
    for (auto _ : state) {
        float sum = 0.0f;
        for (size_t i = 0; i + 1 < segments.size(); ++i) {
            float t1 = 0.0f;
            float t2 = 0.0f;
            bool parallel = false;
            sum += ShortestDistanceSquare(segments[i], segments[i + 1], t1, t2, parallel);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(segments.size() - 1));
}
BENCHMARK(BM_ShortestDistanceSquare);

// Freshly moved segments: the caches are filled inside the query.
void BM_ShortestDistanceSquareColdCaches(benchmark::State& state) {
    const std::vector<Segment3D<float> > source = RandomSegments(256);
    std::vector<Segment3D<float> > segments = source;
    for (auto _ : state) {
        state.PauseTiming();
        segments = source;
        state.ResumeTiming();
        float sum = 0.0f;
        for (size_t i = 0; i + 1 < segments.size(); i += 2) {
            float t1 = 0.0f;
            float t2 = 0.0f;
            bool parallel = false;
            sum += ShortestDistanceSquare(segments[i], segments[i + 1], t1, t2, parallel);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(segments.size() / 2));
}
BENCHMARK(BM_ShortestDistanceSquareColdCaches);

std::vector<Vector3D<float> > RandomPoints(size_t count) {
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> coordinate(-1000.0f, 1000.0f);
    std::vector<Vector3D<float> > points;
    for (size_t i = 0; i < count; ++i) {
        const float x = coordinate(rng), y = coordinate(rng), z = coordinate(rng);
        points.emplace_back(x, y, z);
    }
    return points;
}

void BM_PointDistanceSegment3D(benchmark::State& state) {
    const Segment3D<float> segment(Vector3D<float>(-100, 200, 1800), Vector3D<float>(150, -250, 2100));
    const std::vector<Vector3D<float> > points = RandomPoints(4096);
    for (auto _ : state) {
        float sum = 0.0f;
        for (const Vector3D<float>& p : points) {
            sum += segment.GetDistanceSquared(p);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}
BENCHMARK(BM_PointDistanceSegment3D);

void BM_PointDistanceSegment3DAccel(benchmark::State& state) {
    const Segment3DAccel<float> segment(Vector3D<float>(-100, 200, 1800), Vector3D<float>(150, -250, 2100));
    const std::vector<Vector3D<float> > points = RandomPoints(4096);
    for (auto _ : state) {
        float sum = 0.0f;
        for (const Vector3D<float>& p : points) {
            sum += segment.GetDistanceSquared(p);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}
BENCHMARK(BM_PointDistanceSegment3DAccel);

}  // namespace
