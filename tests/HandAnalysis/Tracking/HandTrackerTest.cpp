// The per-hand tracker on fixture frames at 160x120: its combined map (box
// filter, partition, head boxes, the lost tracker's strong regions, the
// area check), the backwards tracking's decision and when it runs, the
// start checks, the touching test, and the ghost tracker.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandFilter.h"
#include "HandAnalysis/DUZHandImageHelpers.h"
#include "HandAnalysis/DUZHandPartition.h"
#include "HandAnalysis/DUZHandTracker.h"
#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "HandAnalysis/DUZSatelliteTracker.h"
#include "NACommon/NAMotionPredictor.h"
#include "XnAdapter/XnImageMetaData.h"

namespace {

using hand_test_kit::FixtureFrame;
using State = DUZHandTrackerBase::State;

constexpr unsigned short kTrackerMaxDepth = 4500;
constexpr int kTrackerFrameId = 7;
const SensorTime kTrackerFrameTime(7 * 33333);

// A hand 1.5 m from the sensor before a wall at 2.5 m, its forearm hanging
// below it, on a 160x120 frame; one tracker and a ghost on the manager's
// evidence objects.
class HandTrackerFixture : public ::testing::Test {
protected:
    HandTrackerFixture() : m_frame(160, 120) {
        m_background.Initialize(m_frame.Depth(), "", 0);
        m_filter.Initialize("", kTrackerMaxDepth, 0);
        m_partition.Initialize(m_frame.Depth(), "", 0);
        m_tracker = Make<DUZHandTracker>(false);
        m_ghost = Make<DUZSatelliteTracker>();
        Paint(true);
        m_foreground.SetSize(120, 160, false);
        std::fill(m_foreground.Data(), m_foreground.Data() + 120 * 160, short{1000});
    }

    template <typename T, typename... Flag>
    std::unique_ptr<T> Make(Flag... flag) {
        std::unique_ptr<T> tracker(
            new T(&m_partition, &m_background, &m_filter, flag..., kTrackerMaxDepth, m_frame.MaxShift()));
        EXPECT_EQ(1, tracker->Initialize(m_frame.Node(), m_frame.Depth(), "", 0));
        tracker->m_id = 1;
        return tracker;
    }

    void Paint(bool hand, uint32_t frameId = kTrackerFrameId) {
        hand_test_kit::PaintPlane(m_frame.Depth(), 2500);
        if (hand) {
            hand_test_kit::HandFixture fixture;
            fixture.center = kTrackedHand;
            fixture.forearm = Vector3D<float>(0.0f, 0.8f, -0.6f);
            hand_test_kit::PaintHand(m_frame.Depth(), m_frame.Converter(), fixture);
        }
        m_frame.UpdateShift();
        m_frame.SetFrame(frameId, SensorTime(static_cast<int64_t>(frameId) * 33333));
    }

    // Started on the hand, its windows set for the frame; no backwards
    // tracking unless a test asks for it.
    void Start(DUZHandTracker& tracker) {
        ASSERT_EQ(1, tracker.StartTracking(m_frame.Container(), kTrackedHand, Vector2D<float>(80, 100)));
        tracker.m_multipleTracking = 0;
        tracker.ComputePredictionAndBounds(m_frame.Container());
    }

    // The preparation with certain foreground everywhere.
    void Prepare(DUZHandTracker& tracker) {
        tracker.ClearFlags();
        tracker.CopyForegroundProbability(m_foreground, Box2D<int>());
        tracker.PrepareForSteps(m_frame.Container());
    }

    const Array2D<int>& Combined() const { return m_tracker->m_sharedData->m_combinedProbability; }
    int CombinedAt(int c, int r) const { return Combined().Data()[r * Combined().Columns() + c]; }
    // Hand filter times foreground at a pixel.
    int ProductAt(int c, int r) const {
        const Array2D<unsigned short>& filter = m_tracker->m_sharedData->m_filterProbability;
        return filter.Data()[r * filter.Columns() + c] * 1000;
    }
    int DepthAt(int c, int r) const { return m_frame.Depth()(c, r); }

    template <typename F>
    void ForWindow(F f) const {
        const Box2D<int>& w = m_tracker->m_probabilityBounds;
        for (int r = w.min.y; r <= w.max.y; ++r) {
            for (int c = w.min.x; c <= w.max.x; ++c) {
                f(c, r);
            }
        }
    }

    const Vector3D<float> kTrackedHand = Vector3D<float>(0, 0, 1500);
    FixtureFrame m_frame;
    DUZHandTrackerBackgroundModel m_background;
    DUZHandFilter m_filter;
    DUZHandPartition m_partition;
    std::unique_ptr<DUZHandTracker> m_tracker;
    std::unique_ptr<DUZSatelliteTracker> m_ghost;
    Array2D<short> m_foreground;
    xn::ImageMetaData m_image;
};

TEST_F(HandTrackerFixture, TheCombinedMapIsTheProductBoxFilteredInsideTheWindow) {
    DUZHandTracker& tracker = *m_tracker;
    Start(tracker);
    tracker.m_boxFilterSize = 1;
    Prepare(tracker);
    EXPECT_EQ(1000000, tracker.GetCombinedProbabilityFactor());
    int handPixels = 0;
    ForWindow([&](int c, int r) {
        EXPECT_EQ(ProductAt(c, r), CombinedAt(c, r)) << c << "," << r;
        handPixels += CombinedAt(c, r) > 0 ? 1 : 0;
    });
    ASSERT_GT(handPixels, 10);

    Paint(true, kTrackerFrameId + 1);
    tracker.m_boxFilterSize = 5;
    Prepare(tracker);
    EXPECT_EQ(25000000, tracker.GetCombinedProbabilityFactor());
    const Box2D<int>& w = tracker.m_probabilityBounds;
    ForWindow([&](int c, int r) {
        int sum = 0;
        for (int y = std::max(w.min.y, r - 2); y <= std::min(w.max.y, r + 2); ++y) {
            for (int x = std::max(w.min.x, c - 2); x <= std::min(w.max.x, c + 2); ++x) {
                sum += ProductAt(x, y);
            }
        }
        EXPECT_EQ(sum, CombinedAt(c, r)) << c << "," << r;
    });
}

TEST(HandTrackerBoxSums, StayExactWhenTheRunningSumsWrap) {
    // 100 x 100 pixels of 1,000,000 sum to 10^10, far beyond 32 bits.
    Array2D<int> source;
    Array2D<int> scratch;
    Array2D<int> target;
    for (Array2D<int>* map : {&source, &scratch, &target}) {
        map->SetSize(100, 100, false);
        std::fill(map->Data(), map->Data() + 10000, 0);
    }
    std::fill(source.Data(), source.Data() + 10000, 1000000);
    const Box2D<int> window(0, 0, 99, 99);
    DUZHandTracker::BoxSums(source, scratch, target, window, 5);
    EXPECT_EQ(25000000, target(50, 50));
    EXPECT_EQ(25000000, target(97, 97));
    EXPECT_EQ(9000000, target(0, 0));
    EXPECT_EQ(9000000, target(99, 99));
    EXPECT_EQ(15000000, target(0, 50));
    EXPECT_EQ(20000000, target(98, 50));
    // An even size takes one more pixel after than before.
    DUZHandTracker::BoxSums(source, scratch, target, window, 4);
    EXPECT_EQ(16000000, target(50, 50));
    EXPECT_EQ(9000000, target(0, 0));
    EXPECT_EQ(4000000, target(99, 99));
}

TEST_F(HandTrackerFixture, ThePartitionRemovesOtherHandsAndNobodyInsideItsBoxOnly) {
    DUZHandTracker& tracker = *m_tracker;
    Start(tracker);
    tracker.m_boxFilterSize = 1;
    const Box2D<int>& w = tracker.m_probabilityBounds;
    // The partition box covers the window's left half; inside it the
    // owners cycle through no group (-1), nobody (0), this hand (1) and
    // another hand (2); outside it every pixel is another hand's.
    m_partition.m_valid = 1;
    m_partition.m_partitionBox = Box2D<int>(w.min.x, w.min.y, (w.min.x + w.max.x) / 2, w.max.y);
    Array2D<int>& owners = m_partition.m_partitionMap;
    for (int r = 0; r < owners.Rows(); ++r) {
        for (int c = 0; c < owners.Columns(); ++c) {
            owners(r, c) = duz_image::Contains(m_partition.m_partitionBox, c, r) ? c % 4 - 1 : 2;
        }
    }
    Prepare(tracker);
    int removed = 0;
    ForWindow([&](int c, int r) {
        const int owner = owners(r, c);
        const bool excluded = duz_image::Contains(m_partition.m_partitionBox, c, r) && (owner == 0 || owner == 2);
        EXPECT_EQ(excluded ? 0 : ProductAt(c, r), CombinedAt(c, r)) << c << "," << r;
        removed += excluded && ProductAt(c, r) > 0 ? 1 : 0;
    });
    EXPECT_GT(removed, 0);

    // The filtered map is cut again: smoothing spreads nothing into them.
    Paint(true, kTrackerFrameId + 1);
    tracker.m_boxFilterSize = 5;
    Prepare(tracker);
    ForWindow([&](int c, int r) {
        const int owner = owners(r, c);
        if (duz_image::Contains(m_partition.m_partitionBox, c, r) && (owner == 0 || owner == 2)) {
            EXPECT_EQ(0, CombinedAt(c, r)) << c << "," << r;
        }
    });
}

TEST_F(HandTrackerFixture, AHeadBoxRemovesOnlyWhatLiesAtOrBehindItsNearFace) {
    DUZHandTracker& tracker = *m_tracker;
    Start(tracker);
    tracker.m_boxFilterSize = 1;
    const Box1D<int> depths = tracker.m_depthBounds;
    ASSERT_LT(depths.min, 1480);
    const Vector3D<float> wide(-1000, -1000, 0);
    // Wholly behind the window: nothing removed.
    const Box3D<float> behind(Vector3D<float>(-1000, -1000, depths.max + 1.0f),
                              Vector3D<float>(1000, 1000, depths.max + 300.0f));
    tracker.SetFilteredLocations(&behind, 1);
    Prepare(tracker);
    ForWindow([&](int c, int r) { EXPECT_EQ(ProductAt(c, r), CombinedAt(c, r)) << c << "," << r; });

    // Its near face at 1495 mm, inside the window's depths: the hand's
    // bulge in front of it stays.
    const float nearFace = 1495.0f;
    const Box3D<float> overlapping(Vector3D<float>(-1000, -1000, nearFace), Vector3D<float>(1000, 1000, 3000));
    tracker.SetFilteredLocations(&overlapping, 1);
    Paint(true, kTrackerFrameId + 1);
    Prepare(tracker);
    const Box2D<int>& w = tracker.m_probabilityBounds;
    int removed = 0;
    int kept = 0;
    ForWindow([&](int c, int r) {
        if (DepthAt(c, r) < nearFace) {
            EXPECT_EQ(ProductAt(c, r), CombinedAt(c, r)) << c << "," << r;
            kept += ProductAt(c, r) > 0 ? 1 : 0;
        } else if (c > w.min.x && c < w.max.x && r > w.min.y && r < w.max.y) {
            EXPECT_EQ(0, CombinedAt(c, r)) << c << "," << r;
            removed += ProductAt(c, r) > 0 ? 1 : 0;
        }
    });
    EXPECT_GT(kept, 0);
    EXPECT_GT(removed, 0);
}

TEST_F(HandTrackerFixture, ALostTrackerKeepsOnlyStrongPixelsInLargeRegions) {
    DUZHandTracker& tracker = *m_tracker;
    Start(tracker);
    tracker.m_state = DUZHandTrackerBase::eLost;
    // Without the area limit: exactly the pixels of at least 0.49 of the
    // factor.
    tracker.m_minRegionArea = 0.0f;
    Prepare(tracker);
    const int threshold = static_cast<int>(tracker.GetCombinedProbabilityFactor() * 0.49);
    std::vector<int> strong;
    ForWindow([&](int c, int r) {
        const int v = CombinedAt(c, r);
        EXPECT_TRUE(v == 0 || v >= threshold) << c << "," << r << ": " << v;
        strong.push_back(v);
    });
    const long count = std::count_if(strong.begin(), strong.end(), [](int v) { return v > 0; });
    ASSERT_GT(count, 5);

    // The default 2000 mm^2 keeps the hand; a limit above the hand's area
    // removes it.
    tracker.m_minRegionArea = 2000.0f;
    Paint(true, kTrackerFrameId + 1);
    Prepare(tracker);
    int kept = 0;
    ForWindow([&](int c, int r) { kept += CombinedAt(c, r) > 0 ? 1 : 0; });
    EXPECT_GT(kept, 0);
    EXPECT_LE(kept, count);
    tracker.m_minRegionArea = 1e7f;
    Paint(true, kTrackerFrameId + 2);
    Prepare(tracker);
    ForWindow([&](int c, int r) { EXPECT_EQ(0, CombinedAt(c, r)) << c << "," << r; });
    EXPECT_EQ(DUZHandTrackerBase::eLost, tracker.m_newState);
}

TEST_F(HandTrackerFixture, TooLittleProbabilityLosesTheHandUnlessTheCheckIsOff) {
    DUZHandTracker& tracker = *m_tracker;
    Start(tracker);
    Paint(false, kTrackerFrameId + 1);
    Prepare(tracker);
    EXPECT_EQ(DUZHandTrackerBase::eLost, tracker.m_newState);

    tracker.m_newState = DUZHandTrackerBase::eTracking;
    tracker.m_minProbabilityArea = 0.0f;
    Paint(false, kTrackerFrameId + 2);
    Prepare(tracker);
    EXPECT_EQ(DUZHandTrackerBase::eTracking, tracker.m_newState);

    // With the hand the default limit passes.
    tracker.m_minProbabilityArea = 1000.0f;
    Paint(true, kTrackerFrameId + 3);
    Prepare(tracker);
    EXPECT_EQ(DUZHandTrackerBase::eTracking, tracker.m_newState);
}

TEST_F(HandTrackerFixture, ASecondPreparationInOneFrameDoesNothing) {
    DUZHandTracker& tracker = *m_tracker;
    Start(tracker);
    Prepare(tracker);
    Array2D<int>& combined = tracker.m_sharedData->m_combinedProbability;
    std::fill(combined.Data(), combined.Data() + combined.Rows() * combined.Columns(), 0);
    tracker.m_multipleTracking = 1;
    tracker.m_sharedData->UpdateTrackerInputDataHistory(m_frame.Container());
    tracker.PrepareForSteps(m_frame.Container());
    ForWindow([&](int c, int r) { EXPECT_EQ(0, CombinedAt(c, r)); });
    EXPECT_EQ(DUZHandTrackerBase::eTracking, tracker.m_newState);
    EXPECT_EQ(1.0f, tracker.m_searchScale);
}

TEST(HandTrackerBackwardsDecision, ChoosesTheScaleByTheRoundTrips) {
    const float inf = std::numeric_limits<float>::infinity();
    // 0.8 x 0.8 in single precision.
    const float smallest = DUZHandTracker::BackwardsTrackingScales()[2];
    const struct {
        const char* name;
        float back[3];
        float move[3];
        float scale;
        State state;
    } cases[] = {
        {"two exact round trips take the smaller scale", {3, 4, 60}, {10, 10, 10}, 0.8f, DUZHandTrackerBase::eTracking},
        {"three exact take the smallest", {1, 2, 3}, {10, 10, 10}, smallest, DUZHandTrackerBase::eTracking},
        {"one exact is the best within 50 mm", {20, 4, 70}, {10, 10, 10}, 0.8f, DUZHandTrackerBase::eTracking},
        {"the best within 50 mm", {20, 60, 70}, {10, 10, 10}, 1.0f, DUZHandTrackerBase::eTracking},
        {"ties take the first", {30, 30, 70}, {10, 10, 10}, 1.0f, DUZHandTrackerBase::eTracking},
        {"every run failed", {inf, inf, inf}, {inf, inf, inf}, 1.0f, DUZHandTrackerBase::eLost},
        {"best 80 mm after a short move", {90, 80, inf}, {300, 100, inf}, 0.8f, DUZHandTrackerBase::eTracking},
        {"best 80 mm after a long move", {90, 80, inf}, {10, 101, inf}, 0.8f, DUZHandTrackerBase::eLost},
    };
    for (const auto& c : cases) {
        float scale = 0.0f;
        State state = DUZHandTrackerBase::eInactive;
        DUZHandTracker::ChooseBackwardsTrackingScale(c.back, c.move, scale, state);
        EXPECT_EQ(c.scale, scale) << c.name;
        EXPECT_EQ(c.state, state) << c.name;
    }
}

TEST_F(HandTrackerFixture, BackwardsTrackingNeedsARecentHistoryOfTheSameResolution) {
    DUZHandTracker& tracker = *m_tracker;
    const struct {
        const char* name;
        NAResolution resolution;
        int64_t age;  // us
        bool emptyMap;
        State state;
    } cases[] = {
        {"another resolution", NAResolution::QVGA, 33000, true, DUZHandTrackerBase::eTracking},
        {"older than 34 ms", NAResolution::QQVGA, 40000, true, DUZHandTrackerBase::eTracking},
        {"recent, nothing found on the previous map", NAResolution::QQVGA, 33000, true, DUZHandTrackerBase::eLost},
        {"recent, the round trip returns", NAResolution::QQVGA, 33000, false, DUZHandTrackerBase::eTracking},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Paint(true);
        Start(tracker);
        Prepare(tracker);
        tracker.m_prevPosition = tracker.m_position;
        DUZHandTrackerSharedData::TrackerInputData& history = tracker.m_sharedData->m_history[0];
        tracker.m_sharedData->UpdateTrackerInputDataHistory(m_frame.Container());
        history.m_resolution = c.resolution;
        history.m_container.m_time = SensorTime(m_frame.Container().m_time - c.age);
        if (c.emptyMap) {
            std::fill(history.m_combinedProbability.Data(),
                      history.m_combinedProbability.Data() + 120 * 160, 0);
        }
        tracker.RescaleUsingBackwardsTracking(m_frame.Container());
        EXPECT_EQ(c.state, tracker.m_state);
        EXPECT_EQ(c.state, tracker.m_newState);
        EXPECT_EQ(1.0f, tracker.m_meanShift->m_scale);
    }
}

TEST_F(HandTrackerFixture, StartPointsOffTheImageOrOutOfDepthAreRefusedUntouched) {
    DUZHandTracker& tracker = *m_tracker;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Vector3D<float> refused[] = {
        {nan, 0, 1500},  {0, inf, 1500}, {1e30f, 0, 1500}, {0, 0, nan},  {0, 0, 0},
        {0, 0, -5},      {0, 0, 0.5f},   {0, 0, 1e6f},     {0, 0, 10001}, {5000, 0, 1500},
        {0, -5000, 1500}, {0, 0, inf},
    };
    for (const Vector3D<float>& p : refused) {
        EXPECT_EQ(0, tracker.StartTracking(m_frame.Container(), p, Vector2D<float>(80, 100)))
            << p.x << " " << p.y << " " << p.z;
        EXPECT_EQ(DUZHandTrackerBase::eInactive, tracker.m_state);
        EXPECT_EQ(Vector3D<float>(0, 0, 0), tracker.m_position);
    }
    EXPECT_EQ(1, tracker.StartTracking(m_frame.Container(), Vector3D<float>(0, 0, 10000), Vector2D<float>(80, 100)));
    EXPECT_EQ(1, tracker.StartTracking(m_frame.Container(), kTrackedHand, Vector2D<float>(80, 100)));
    EXPECT_EQ(DUZHandTrackerBase::eTracking, tracker.m_state);
    EXPECT_EQ(Vector2D<float>(80, 100), tracker.m_handSize);
    // Size (0, 0) measures the hand in its search window.
    EXPECT_EQ(1, tracker.StartTracking(m_frame.Container(), kTrackedHand, Vector2D<float>(0, 0)));
    const Vector2D<float> measured = CalculateHandSize(m_frame.Container(), kTrackedHand, tracker.m_searchBounds);
    EXPECT_EQ(measured, tracker.m_handSize);
    EXPECT_GT(measured.x, 50.0f);
}

TEST_F(HandTrackerFixture, TouchingReportsTheSideOfTheFirstHandPixelInRowOrder) {
    DUZHandTracker& tracker = *m_tracker;
    Array2D<int>& combined = tracker.m_sharedData->m_combinedProbability;
    tracker.m_searchBounds = Box2D<int>(0, 0, 159, 119);
    Box2D<int> image(0, 0, 159, 119);
    const struct {
        std::vector<Vector2D<int>> pixels;
        int touching;
        int side;
    } cases[] = {
        {{{2, 50}}, 1, 0},           {{{157, 50}}, 1, 1},
        {{{50, 2}}, 1, 2},           {{{50, 117}}, 1, 3},
        {{{1, 1}}, 1, 0},            {{{158, 118}}, 1, 1},
        {{{50, 50}}, 0, -1},         {{{50, 50}, {157, 60}}, 1, 1},
        {{{100, 1}, {1, 5}}, 1, 2},  {{}, 0, -1},
    };
    for (const auto& c : cases) {
        std::fill(combined.Data(), combined.Data() + combined.Rows() * combined.Columns(), 0);
        for (const Vector2D<int>& p : c.pixels) {
            combined(p.y, p.x) = 5;
        }
        int side = -1;
        EXPECT_EQ(c.touching, tracker.IsTouchingFoV(image, side));
        EXPECT_EQ(c.side, side);
    }
}

TEST_F(HandTrackerFixture, AGhostIsLinkedUnlessMoreThanFourTenthsOfManyChecksFailed) {
    DUZHandTracker& tracker = *m_tracker;
    const struct {
        std::vector<int> checks;  // 1 = failed
        int linked;
    } cases[] = {
        {{}, 1}, {{1, 1, 1}, 1}, {{1, 1, 0, 0}, 0}, {{1, 1, 0, 0, 0}, 1}, {{0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1}, 1},
    };
    for (const auto& c : cases) {
        tracker.m_boundaryCheckHistory = DUZHandTracker::BoundaryCheckHistory();
        for (int check : c.checks) {
            tracker.m_boundaryCheckHistory.Push(check);
        }
        tracker.m_ghostTracker = nullptr;
        EXPECT_EQ(c.linked, tracker.SetGhostTracker(m_ghost.get()));
        EXPECT_EQ(c.linked != 0 ? m_ghost.get() : nullptr, tracker.m_ghostTracker);
    }
    EXPECT_EQ(1, tracker.SetGhostTracker(nullptr));
    EXPECT_EQ(nullptr, tracker.m_ghostTracker);
}

TEST_F(HandTrackerFixture, AGhostStartsAtThePredictorsLastSampleWithItsAgeAsUncertainty) {
    NAMotionPredictor<float> lostHand;
    lostHand.m_position = Vector3D<float>(10, 20, 1490);
    for (int64_t age : {50000, 10000}) {
        lostHand.m_time = SensorTime(m_frame.Container().m_time - age);
        EXPECT_EQ(1, m_ghost->StartTracking(m_frame.Container(), kTrackedHand, lostHand, Vector2D<float>(80, 100)));
        EXPECT_EQ(lostHand.m_position, m_ghost->m_position);
        EXPECT_EQ(kTrackedHand, m_ghost->m_prevPosition);
        const float expected = age == 50000 ? 50.0f : 33.333336f;
        EXPECT_NEAR(expected, m_ghost->m_uncertainty.x, 1e-3f);
        EXPECT_NEAR(expected, m_ghost->m_uncertainty.y, 1e-3f);
        EXPECT_NEAR(expected, m_ghost->m_uncertainty.z, 1e-3f);
    }
}

TEST_F(HandTrackerFixture, AGhostWhoseStepsFailIsLost) {
    NAMotionPredictor<float> lostHand;
    lostHand.m_position = kTrackedHand;
    lostHand.m_time = m_frame.Container().m_time;
    Paint(false, kTrackerFrameId + 1);
    ASSERT_EQ(1, m_ghost->StartTracking(m_frame.Container(), kTrackedHand, lostHand, Vector2D<float>(80, 100)));
    m_ghost->ClearFlags();
    m_ghost->ComputePredictionAndBounds(m_frame.Container());
    Array2D<int>& combined = m_ghost->m_sharedData->m_combinedProbability;
    std::fill(combined.Data(), combined.Data() + combined.Rows() * combined.Columns(), 0);
    m_ghost->Update(m_frame.Container(), m_image);
    EXPECT_EQ(DUZHandTrackerBase::eLost, m_ghost->m_state);
}

TEST_F(HandTrackerFixture, AGhostOnSomethingThatIsNoHandFailsValidationButKeepsItsState) {
    // On the bare wall: no head, and no hand boundary.
    Paint(false);
    NAMotionPredictor<float> lostHand;
    lostHand.m_position = Vector3D<float>(0, 0, 2500);
    lostHand.m_time = m_frame.Container().m_time;
    ASSERT_EQ(1, m_ghost->StartTracking(m_frame.Container(), lostHand.m_position, lostHand,
                                        Vector2D<float>(80, 100)));
    ASSERT_EQ(DUZHandTrackerBase::eTracking, m_ghost->m_newState);
    m_ghost->Validate(m_frame.Container());
    EXPECT_EQ(0, m_ghost->m_boundaryCheckHistory.m_count);
    EXPECT_EQ(0, m_ghost->IsValidated(m_frame.Container()));
    EXPECT_EQ(DUZHandTrackerBase::eTracking, m_ghost->m_newState);
    EXPECT_EQ(1, m_ghost->m_boundaryCheckHistory.m_count);
    EXPECT_EQ(1, m_ghost->m_boundaryCheckHistory.m_values[m_ghost->m_boundaryCheckHistory.m_position]);
    EXPECT_EQ(1, m_ghost->m_headDetectorRan);

    // On the hand it passes.
    Paint(true, kTrackerFrameId + 1);
    ASSERT_EQ(1, m_ghost->StartTracking(m_frame.Container(), kTrackedHand, lostHand, Vector2D<float>(80, 100)));
    m_ghost->m_position = kTrackedHand;
    EXPECT_EQ(1, m_ghost->IsValidated(m_frame.Container()));
}

}  // namespace
