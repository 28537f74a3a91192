// The gesture candidates' per-frame work at the focus resolution (160x120):
// the focus background model's motion update in its eight-pixel form and
// its plain twin, one focus hand tracker's frame on a hand before a wall
// (prediction, steps, validation with the motion image), and the
// moving-candidate recognizer on a full trajectory. A depth node without a
// stream serves the converter (the default field of view).

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "HandAnalysis/DUZFocusBackgroundModel.h"
#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "HandAnalysis/DUZFocusHandTracker.h"
#include "HandAnalysis/DUZMovingHandCandidateGestureRecognizer.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// A foreground with moving and still pixels, as after a hand passed.
struct MotionImages {
    MotionImages() : current(kWidth * kHeight), mask(kWidth * kHeight) {
        std::mt19937 random(7);
        for (Array2D<unsigned short>* image : {&foreground, &accumulated, &motion}) {
            image->SetSize(kHeight, kWidth, false);
        }
        for (int i = 0; i < kWidth * kHeight; ++i) {
            current[i] = static_cast<unsigned short>(std::uniform_int_distribution<int>(600, 1000)(random));
            foreground.Data()[i] = static_cast<unsigned short>(i % 3 == 0 ? 0 : 1500);
            accumulated.Data()[i] = static_cast<unsigned short>(current[i] + (i % 5) - 2);
            motion.Data()[i] = static_cast<unsigned short>(i % 17);
            mask[i] = static_cast<unsigned short>((i / kWidth) % 2);
        }
    }
    std::vector<unsigned short> current;
    std::vector<unsigned short> mask;
    Array2D<unsigned short> foreground, accumulated, motion;
};

void BM_FocusMotionUpdate(benchmark::State& state) {
    MotionImages images;
    const Box2D<int> box(0, 0, kWidth - 1, kHeight - 1);
    const bool sse = state.range(0) != 0;
    // Passes run on the images the previous one left: the work per pixel is
    // the same whatever the values.
    Array2D<unsigned short>& accumulated = images.accumulated;
    Array2D<unsigned short>& motion = images.motion;
    for (auto _ : state) {
        if (sse) {
            DUZFocusBackgroundModel::CalculateDiffFgImageSSE(kWidth, images.current.data(), images.foreground,
                                                             accumulated, motion, images.mask.data(), box);
        } else {
            DUZFocusBackgroundModel::CalculateDiffFgImage(kWidth, images.current.data(), images.foreground, accumulated,
                                                          motion, images.mask.data(), box);
        }
        benchmark::DoNotOptimize(motion.Data());
    }
}
BENCHMARK(BM_FocusMotionUpdate)->Arg(1)->Arg(0);

// A hand of 45 mm radius at 1.2 m before a wall at 3 m, every pixel moving.
struct HandFrame {
    HandFrame() : depthToShift(10100, 0), shiftToDepth(2048, 0) {
        for (int d = 400; d <= 10000; ++d) {
            depthToShift[static_cast<size_t>(d)] = static_cast<unsigned short>(1090 - 325000 / d);
        }
        depth.AllocateData(kWidth, kHeight);
        container.Initialize(node, depth);
        const WorldPointConverterBase<float>& converter = *container.m_converter;
        hand = Vector3D<float>(0, 100, 1200);
        for (int r = 0; r < kHeight; ++r) {
            for (int c = 0; c < kWidth; ++c) {
                const Vector3D<float> p =
                    converter.WorldPt(Vector3D<float>(static_cast<float>(c), static_cast<float>(r), 1200.0f));
                const float dx = p.x - hand.x;
                const float dy = p.y - hand.y;
                depth.WritableData()[r * kWidth + c] = dx * dx + dy * dy <= 45.0f * 45.0f ? 1200 : 3000;
            }
        }
        container.m_depthToShift = depthToShift.data();
        container.m_shiftToDepth = shiftToDepth.data();
        container.Update(nullptr, node, depth, 1, SensorTime(0));
        motion.SetSize(kHeight, kWidth, false);
        std::fill(motion.Data(), motion.Data() + motion.Size(), 3);
    }
    xn::DepthGenerator node;
    std::vector<unsigned short> depthToShift;
    std::vector<unsigned short> shiftToDepth;
    xn::DepthMetaData depth;
    DUZMultiResDepthMapContainer container;
    Array2D<unsigned short> motion;
    Vector3D<float> hand;
};

void BM_FocusTrackerFrame(benchmark::State& state) {
    HandFrame frame;
    DUZFocusHandTracker tracker(nullptr, 8, &frame.motion, 4500, 2047);
    tracker.Initialize("", 0);
    int64_t time = 0;
    tracker.StartTracking(frame.container, frame.hand);
    for (auto _ : state) {
        time += 33333;
        frame.container.m_time = SensorTime(time);
        tracker.ComputePredictionAndBounds(frame.container);
        tracker.Update(frame.container, 0, nullptr, 0);
        if (tracker.m_state != DUZHandTrackerBase::eTracking) {
            state.SkipWithError("the tracker lost the hand");
            break;
        }
    }
}
BENCHMARK(BM_FocusTrackerFrame);

void BM_MovingCandidateOnFullTrajectory(benchmark::State& state) {
    DUZFocusGestureTrajectory trajectory(false);
    for (int i = 1; i <= 90; ++i) {
        trajectory.UpdateNewPosition(Vector3D<float>(i % 2 == 0 ? -100.0f : 100.0f, 200, 1800),
                                     static_cast<unsigned>(i), SensorTime(int64_t{i} * 33333));
    }
    DUZMovingHandCandidateGestureRecognizer recognizer;
    for (auto _ : state) {
        Vector3D<float> position;
        benchmark::DoNotOptimize(recognizer.Run(trajectory, 90, position, 1, 0));
    }
}
BENCHMARK(BM_MovingCandidateOnFullTrajectory);

}  // namespace
