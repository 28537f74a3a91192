// Labelling cost per frame: the per-pixel path at every size, the run-based
// path at the sizes it accepts (up to 319 rows), the two-image form the
// segmentation runs, and the SSE2 link maps against their plain twin.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"

namespace {

// A depth-like scene: a floor-to-wall gradient with a few people-sized
// blobs in front of it and scattered holes, 1 mm steps within surfaces.
std::vector<uint16_t> MakeScene(int width, int height, uint32_t seed) {
    std::vector<uint16_t> image(static_cast<size_t>(width) * height);
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image[y * width + x] = static_cast<uint16_t>(3000 + (height - y) * 2400 / height);
        }
    }
    for (int b = 0; b < 6; ++b) {
        const int cx = static_cast<int>(next() % width);
        const int cy = static_cast<int>(next() % height);
        const int rx = width / 12 + static_cast<int>(next() % (width / 10 + 1));
        const int ry = height / 5 + static_cast<int>(next() % (height / 5 + 1));
        const int depth = 1200 + static_cast<int>(next() % 1500);
        for (int y = std::max(0, cy - ry); y < std::min(height, cy + ry); ++y) {
            for (int x = std::max(0, cx - rx); x < std::min(width, cx + rx); ++x) {
                image[y * width + x] = static_cast<uint16_t>(depth + (x - cx) / 4);
            }
        }
    }
    for (size_t i = 0; i < image.size(); ++i) {
        if (next() % 50 == 0) {
            image[i] = 0;
        }
    }
    return image;
}

void Label(benchmark::State& state, bool runs) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    const std::vector<uint16_t> image = MakeScene(width, height, 1);
    ConnectedComponentDetector detector;
    if (runs) {
        detector.Set_SSE_Flag(1);
        detector.Create_Objects_Allocate();
    }
    xn::SceneMetaData labels;
    for (auto _ : state) {
        detector.Run(image.data(), nullptr, nullptr, width, height, labels, 50);
        benchmark::DoNotOptimize(labels.Data());
    }
    state.counters["regions"] = detector.LabelCount() - 1;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(image.size()));
}

void BM_LabelPerPixel(benchmark::State& state) {
    Label(state, false);
}
BENCHMARK(BM_LabelPerPixel)->Arg(40)->Arg(160)->Arg(320)->Arg(640);

void BM_LabelRuns(benchmark::State& state) {
    Label(state, true);
}
BENCHMARK(BM_LabelRuns)->Arg(40)->Arg(160)->Arg(320);

void LabelHybrid(benchmark::State& state, bool runs) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    const std::vector<uint16_t> depth = MakeScene(width, height, 2);
    Array2D<unsigned short> first;
    Array2D<unsigned short> second;
    first.SetSize(height, width, false);
    second.SetSize(height, width, false);
    for (size_t i = 0; i < depth.size(); ++i) {
        first.Data()[i] = depth[i];
        // A shift-like second image: falls with depth, 0 without depth.
        second.Data()[i] = depth[i] == 0 ? 0 : static_cast<unsigned short>(2000000 / depth[i]);
    }
    ConnectedComponentDetector detector;
    if (runs) {
        detector.Set_SSE_Flag(1);
        detector.Create_Objects_Allocate();
    }
    xn::SceneMetaData labels;
    for (auto _ : state) {
        detector.RunHybrid(first, second, labels, 50, 4);
        benchmark::DoNotOptimize(labels.Data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(depth.size()));
}

void BM_LabelHybridPerPixel(benchmark::State& state) {
    LabelHybrid(state, false);
}
BENCHMARK(BM_LabelHybridPerPixel)->Arg(160)->Arg(320);

void BM_LabelHybridRuns(benchmark::State& state) {
    LabelHybrid(state, true);
}
BENCHMARK(BM_LabelHybridRuns)->Arg(160)->Arg(320);

void Links(benchmark::State& state, bool sse) {
    const int width = 320;
    const int height = 240;
    const std::vector<uint16_t> image = MakeScene(width, height, 3);
    std::vector<uint16_t> right(image.size());
    std::vector<uint16_t> down(image.size());
    for (auto _ : state) {
        if (sse) {
            ConnectedComponentDetector::Is_Touch_SSE(image.data(), width, height, 50, right.data(), down.data(), 0,
                                                     height);
        } else {
            ConnectedComponentDetector::Is_Touch(image.data(), width, height, 50, right.data(), down.data(), 0,
                                                 height);
        }
        benchmark::DoNotOptimize(right.data());
        benchmark::DoNotOptimize(down.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(image.size()));
}

void BM_LinkMapsSse(benchmark::State& state) {
    Links(state, true);
}
BENCHMARK(BM_LinkMapsSse);

void BM_LinkMapsPlain(benchmark::State& state) {
    Links(state, false);
}
BENCHMARK(BM_LinkMapsPlain);

}  // namespace
