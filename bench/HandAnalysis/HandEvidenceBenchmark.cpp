// The per-frame evidence of the hand trackers: the background update, the
// foreground probability and the hand filter on a hand's box, the partition
// of two hands, the forearm tracker's frame and the boundary test. A depth
// node without a stream serves the converters (the default field of view);
// the frame is drawn here: a wall at 3 m, a torso at 1.8 m and two hands at
// 1.4 m, 150 mm apart, each with a forearm hanging below it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "HandAnalysis/DUZForearmTracker.h"
#include "HandAnalysis/DUZHandBoundaryDetector.h"
#include "HandAnalysis/DUZHandFilter.h"
#include "HandAnalysis/DUZHandPartition.h"
#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"

namespace {

// Shifts grow with depth: s = 1090 - 325000 / d, and back.
unsigned short ShiftOf(int depth) { return depth >= 400 ? static_cast<unsigned short>(1090 - 325000 / depth) : 0; }

struct EvidenceFrame {
    explicit EvidenceFrame(int width)
        : width(width), height(width * 3 / 4), depthToShift(10100, 0), shiftToDepth(2048, 0) {
        for (int d = 0; d <= 10000; ++d) depthToShift[static_cast<size_t>(d)] = ShiftOf(d);
        for (int s = 1; s < 1090 && s < 2048; ++s) {
            shiftToDepth[static_cast<size_t>(s)] = static_cast<unsigned short>(std::min(10000, 325000 / (1090 - s)));
        }
        depth.AllocateData(width, height);
        container.Initialize(node, depth);
        const WorldPointConverterBase<float>& converter = *container.m_converter;
        for (int r = 0; r < height; ++r) {
            for (int c = 0; c < width; ++c) {
                depth.WritableData()[r * width + c] = DepthAt(converter, c, r);
            }
        }
        container.m_depthToShift = depthToShift.data();
        container.m_shiftToDepth = shiftToDepth.data();
        container.Update(nullptr, node, depth, 1, SensorTime(0));
        for (int i = 0; i < 2; ++i) {
            hands[i] = Vector3D<float>(i == 0 ? -75.0f : 75.0f, 150.0f, 1400.0f);
            const Vector3D<float> pixel = converter.ProjectivePt(hands[i]);
            const int margin = static_cast<int>(150.0f / (1400.0f * converter.m_fPixelSizeFactor));
            boxes[i] = Box2D<int>(std::max(0, static_cast<int>(pixel.x) - margin),
                                  std::max(0, static_cast<int>(pixel.y) - margin),
                                  std::min(width - 1, static_cast<int>(pixel.x) + margin),
                                  std::min(height - 1, static_cast<int>(pixel.y) + margin));
        }
    }

    // Hands: 45 mm discs; forearms: 70 mm wide, 250 mm down and 100 mm
    // back; torso: 400 x 600 mm.
    unsigned short DepthAt(const WorldPointConverterBase<float>& converter, int c, int r) const {
        auto world = [&](float z) { return converter.WorldPt(Vector3D<float>(static_cast<float>(c), static_cast<float>(r), z)); };
        for (const float x : {-75.0f, 75.0f}) {
            const Vector3D<float> p = world(1400.0f);
            const float dx = p.x - x;
            const float dy = p.y - 150.0f;
            if (dx * dx + dy * dy <= 45.0f * 45.0f) {
                return 1400;
            }
            if (dx > -35.0f && dx < 35.0f && dy < 0.0f && dy > -250.0f) {
                return static_cast<unsigned short>(1400.0f - dy * 0.4f);
            }
        }
        const Vector3D<float> t = world(1800.0f);
        if (t.x > -200.0f && t.x < 200.0f && t.y > -300.0f && t.y < 300.0f) {
            return 1800;
        }
        return 3000;
    }

    const int width;
    const int height;
    xn::DepthGenerator node;
    std::vector<unsigned short> depthToShift;
    std::vector<unsigned short> shiftToDepth;
    xn::DepthMetaData depth;
    DUZMultiResDepthMapContainer container;
    Vector3D<float> hands[2];
    Box2D<int> boxes[2];  // each hand's box widened by 150 mm
};

// A model seeded from a wall without the people.
void SeedWithWall(const EvidenceFrame& frame, DUZHandTrackerBackgroundModel& model) {
    model.Initialize(frame.depth, "", 0);
    model.SetToCurrentShiftMapSSE(frame.container, Box2D<int>(0, 0, frame.width - 1, frame.height - 1));
    const unsigned short wall = ShiftOf(3000);
    std::fill(model.m_meanDepthArray.Data(), model.m_meanDepthArray.Data() + model.m_meanDepthArray.Size(), wall);
}

Array2D<unsigned short> EmptyHandMask(const EvidenceFrame& frame) {
    Array2D<unsigned short> mask;
    mask.SetSize(frame.height, frame.width, false);
    std::fill(mask.Data(), mask.Data() + mask.Size(), 0);
    return mask;
}

// Arg: the width (320 or 640).
void BM_BackgroundUpdate(benchmark::State& state) {
    EvidenceFrame frame(static_cast<int>(state.range(0)));
    DUZHandTrackerBackgroundModel model;
    SeedWithWall(frame, model);
    const Array2D<unsigned short> mask = EmptyHandMask(frame);
    const Box2D<int> all(0, 0, frame.width - 1, frame.height - 1);
    for (auto _ : state) {
        model.Update(frame.container, all, mask, 1);
        benchmark::DoNotOptimize(model.m_meanDepthArray.Data());
    }
}
BENCHMARK(BM_BackgroundUpdate)->Arg(320)->Arg(640);

// A tracker's foreground probability on one hand's box.
void BM_ForegroundProbabilityOnHandBox(benchmark::State& state) {
    EvidenceFrame frame(static_cast<int>(state.range(0)));
    DUZHandTrackerBackgroundModel model;
    SeedWithWall(frame, model);
    Array2D<short> probability;
    probability.SetSize(frame.height, frame.width, false);
    for (auto _ : state) {
        model.ComputeForegroundProbabilityMap(frame.container, frame.boxes[1], probability);
        benchmark::DoNotOptimize(probability.Data());
    }
}
BENCHMARK(BM_ForegroundProbabilityOnHandBox)->Arg(320)->Arg(640);

void BM_HandFilterOnHandBox(benchmark::State& state) {
    EvidenceFrame frame(static_cast<int>(state.range(0)));
    DUZHandTrackerBackgroundModel model;
    SeedWithWall(frame, model);
    DUZHandFilter filter;
    filter.Initialize("", 4500, 0);
    Array2D<unsigned short> probability;
    probability.SetSize(frame.height, frame.width, false);
    for (auto _ : state) {
        filter.ComputeProbabilityMap(frame.container, model, frame.boxes[1], probability);
        benchmark::DoNotOptimize(probability.Data());
    }
}
BENCHMARK(BM_HandFilterOnHandBox)->Arg(320)->Arg(640);

// Grouping and partition of the two hands, everything nearer than the wall
// being foreground.
void BM_PartitionOfTwoHands(benchmark::State& state) {
    EvidenceFrame frame(static_cast<int>(state.range(0)));
    DUZHandPartition partition;
    partition.Initialize(frame.depth, "", 0);
    Array2D<int> mask;
    mask.SetSize(frame.height, frame.width, false);
    for (int i = 0; i < mask.Size(); ++i) mask[i] = frame.depth.Data()[i] < 3000 ? 1 : 0;
    std::vector<DUZHandPartition::HandInfo> hands(2);
    for (int i = 0; i < 2; ++i) {
        hands[static_cast<size_t>(i)].m_id = i + 1;
        hands[static_cast<size_t>(i)].m_box = frame.boxes[i];
        hands[static_cast<size_t>(i)].m_position = frame.hands[i];
        hands[static_cast<size_t>(i)].m_forearmDirection = Vector3D<float>(0, 0.93f, -0.37f);
    }
    std::vector<DUZHandPartition::HandGroupInfo> groups;
    DUZHandPartition::HandPairs pairs;
    for (auto _ : state) {
        DUZHandPartition::ComputeGroupsToPartition(frame.container, hands, groups);
        partition.ComputePartition(frame.container, groups, mask, pairs);
        benchmark::DoNotOptimize(partition.m_partitionMap.Data());
    }
    state.counters["groups"] = static_cast<double>(groups.size());
}
BENCHMARK(BM_PartitionOfTwoHands)->Arg(320)->Arg(640);

void BM_ForearmUpdate(benchmark::State& state) {
    EvidenceFrame frame(static_cast<int>(state.range(0)));
    DUZForearmTracker tracker;
    tracker.Initialize("", 0);
    tracker.StartTracking(frame.container, nullptr, frame.hands[1], 1);
    int flipped = 0;
    Vector3D<float> flippedHand;
    for (auto _ : state) {
        tracker.Update(frame.container, nullptr, frame.hands[1], 1, flipped, flippedHand);
        benchmark::DoNotOptimize(tracker.m_forearmDirection);
    }
    // About 0.93 when the forearm below is measured.
    state.counters["direction y"] = tracker.m_forearmDirection.y;
}
BENCHMARK(BM_ForearmUpdate)->Arg(320)->Arg(640);

void BM_BoundaryTest(benchmark::State& state) {
    EvidenceFrame frame(static_cast<int>(state.range(0)));
    DUZHandPartition partition;
    partition.Initialize(frame.depth, "", 0);
    DUZHandBoundaryDetector detector;
    detector.Initialize("", 0);
    int hand = 0;
    for (auto _ : state) {
        detector.Run(frame.container, partition, frame.hands[1], 1);
        hand = detector.LooksLikeHand();
        benchmark::DoNotOptimize(hand);
    }
    state.counters["hand"] = hand;
}
BENCHMARK(BM_BoundaryTest)->Arg(320)->Arg(640);

}  // namespace
