#include "HandAnalysis/DUZFocusHandTracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "FocusTestSupport.h"
#include "TempDir.h"

namespace {

using focus_test::FrameTime;
using focus_test::MakeTracker;
using hand_test_kit::FixtureFrame;
using hand_test_kit::PaintPlane;
using hand_test_kit::PaintRect;

// Validation of a tracker held at z = 1000 mm over a window and depth range,
// as the steps leave them.
DUZHandTrackerBase::State ValidateAt(DUZFocusHandTracker& tracker, const FixtureFrame& frame,
                                     const Box2D<int>& window) {
    tracker.m_position = Vector3D<float>(0, 0, 1000);
    tracker.m_searchBounds = window;
    tracker.m_depthBounds = Box1D<int>(900, 1100);
    tracker.m_newState = DUZHandTrackerBase::eTracking;
    tracker.Validate(frame.Container());
    return tracker.m_newState;
}

TEST(FocusHandTracker, ValidationNeedsAreaAndAShareOfMovingIsolatedPixels) {
    FixtureFrame frame(160, 120);
    Array2D<unsigned short> motion;
    motion.SetSize(120, 160, false);
    auto tracker = MakeTracker(frame, &motion);
    // 150 mm at 1 m are 21 pixels: a patch 7 x 5 (+1) pixels wide is all
    // isolated before a wall 2 m behind it. 31 pixels of 49.16 mm^2 make
    // 1524 mm^2, just above the least area of 1500; 30 fall below it.
    const Box2D<int> window(60, 40, 90, 70);
    struct Case {
        const char* what;
        int pixels;
        int moving;
        int checkMotion;
        bool withMotionImage;
        DUZHandTrackerBase::State expected;
    } cases[] = {
        {"9 of 31 moving", 31, 9, 1, true, DUZHandTrackerBase::eInactive},
        {"10 of 31 moving", 31, 10, 1, true, DUZHandTrackerBase::eTracking},
        {"30 pixels are too small", 30, 30, 1, true, DUZHandTrackerBase::eInactive},
        {"motion test off", 31, 0, 0, true, DUZHandTrackerBase::eTracking},
        {"no motion image", 31, 0, 1, false, DUZHandTrackerBase::eTracking},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PaintPlane(frame.Depth(), 3000);
        std::fill(motion.Data(), motion.Data() + motion.Size(), 0);
        int painted = 0;
        for (int y = 50; y <= 54 && painted < c.pixels; ++y) {
            for (int x = 70; x <= 76 && painted < c.pixels; ++x) {
                frame.Depth().WritableData()[y * 160 + x] = 1000;
                motion(y, x) = painted < c.moving ? 7 : 0;
                ++painted;
            }
        }
        ASSERT_EQ(c.pixels, painted);
        tracker->m_motionImage = c.withMotionImage ? &motion : nullptr;
        tracker->m_checkMotion = c.checkMotion;
        EXPECT_EQ(c.expected, ValidateAt(*tracker, frame, window));
    }
}

TEST(FocusHandTracker, IsolatedPixelsHaveAllThreeNeighboursEightyMillimetresBehind) {
    FixtureFrame frame(160, 120);
    Array2D<unsigned short> still;
    still.SetSize(120, 160, false);
    std::fill(still.Data(), still.Data() + still.Size(), 0);
    auto tracker = MakeTracker(frame, &still);
    // With no least area and nothing moving, a pixel that counts as isolated
    // fails the motion share; one that does not passes.
    tracker->m_minHandArea = 0;
    const int g = 21;  // 150 mm at 1 m
    struct Case {
        const char* what;
        int x;
        int left, right, up;  // neighbour depths
        bool isolated;
    } cases[] = {
        {"all exactly 80 mm behind", 80, 1080, 1080, 1080, true},
        {"one only 79 mm behind", 80, 1080, 1079, 1080, false},
        {"up only 79 mm behind", 80, 1080, 1080, 1079, false},
        {"neighbours without depth count as 80 mm", 80, 0, 0, 0, true},
        {"left border: column 0 is the left neighbour, 79 mm", 10, 1079, 1080, 1080, false},
        {"left border: column 0 is the left neighbour, 80 mm", 10, 1080, 1080, 1080, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PaintPlane(frame.Depth(), 0);
        unsigned short* d = frame.Depth().WritableData();
        const int y = 60;
        d[y * 160 + c.x] = 1000;
        d[y * 160 + std::max(0, c.x - g)] = static_cast<unsigned short>(c.left);
        d[y * 160 + c.x + g] = static_cast<unsigned short>(c.right);
        d[(y - g) * 160 + c.x] = static_cast<unsigned short>(c.up);
        const Box2D<int> window(c.x, y, c.x, y);
        EXPECT_EQ(c.isolated ? DUZHandTrackerBase::eInactive : DUZHandTrackerBase::eTracking,
                  ValidateAt(*tracker, frame, window));
    }
}

TEST(FocusHandTracker, HeadInTwoValidationsInARowEndsTracking) {
    FixtureFrame frame(320, 240);
    auto tracker = MakeTracker(frame, nullptr);
    // A painted person at 2 m before a wall at 3 m (head 180 x 220 mm around
    // (0, 300), neck, torso 400 mm wide).
    auto paintPerson = [&]() {
        PaintPlane(frame.Depth(), 3000);
        auto box = [](float x0, float y0, float x1, float y1) {
            return Box3D<float>(Vector3D<float>(x0, y0, 2000), Vector3D<float>(x1, y1, 2010));
        };
        hand_test_kit::PaintBox(frame.Depth(), frame.Converter(), box(-90, 190, 90, 410));
        hand_test_kit::PaintBox(frame.Depth(), frame.Converter(), box(-50, 100, 50, 200));
        hand_test_kit::PaintBox(frame.Depth(), frame.Converter(), box(-200, -2000, 200, 150));
    };
    auto paintHeadOnly = [&]() {
        PaintPlane(frame.Depth(), 3000);
        hand_test_kit::PaintBox(frame.Depth(), frame.Converter(),
                                Box3D<float>(Vector3D<float>(-90, 190, 2000), Vector3D<float>(90, 410, 2010)));
    };
    const Vector3D<float> head(0, 300, 2000);
    auto validate = [&]() {
        tracker->m_position = head;
        tracker->ComputePredictionAndBounds(frame.Container());
        tracker->m_position = head;
        tracker->m_newState = DUZHandTrackerBase::eTracking;
        tracker->Validate(frame.Container());
        return tracker->m_newState;
    };
    paintPerson();
    ASSERT_EQ(1, tracker->StartTracking(frame.Container(), head));
    EXPECT_EQ(DUZHandTrackerBase::eTracking, validate());
    EXPECT_EQ(1, tracker->m_headDetectionCount);
    // A validation without a head restarts the count.
    paintHeadOnly();
    EXPECT_EQ(DUZHandTrackerBase::eTracking, validate());
    EXPECT_EQ(0, tracker->m_headDetectionCount);
    paintPerson();
    EXPECT_EQ(DUZHandTrackerBase::eTracking, validate());
    EXPECT_EQ(DUZHandTrackerBase::eInactive, validate());
    // A new start forgets the count.
    ASSERT_EQ(1, tracker->StartTracking(frame.Container(), head));
    EXPECT_EQ(0, tracker->m_headDetectionCount);
    EXPECT_EQ(DUZHandTrackerBase::eTracking, validate());
}

// The hand centre of a tracker set to a window and depth range.
struct Centre {
    int found;
    Vector3D<float> at;
};
Centre CentreOf(DUZFocusHandTracker& tracker, const FixtureFrame& frame, const Box2D<int>& window,
                const Box1D<int>& depths, std::vector<Box3D<float>> heads) {
    tracker.m_searchBounds = window;
    tracker.m_depthBounds = depths;
    tracker.m_numHeadBoxes = static_cast<int>(heads.size());
    std::copy(heads.begin(), heads.end(), tracker.m_headBoxes);
    Centre centre{0, Vector3D<float>(-1, -1, -1)};
    centre.found = tracker.ComputeWeightedHandCenter(frame.Container(), centre.at);
    return centre;
}

TEST(FocusHandTrackerCentre, HeadBoxesOverlappingTheSearchVolumeLeaveTheirPixelsOut) {
    FixtureFrame frame(160, 120);
    auto tracker = MakeTracker(frame, nullptr);
    // A hand-sized patch at 1 m across the image centre.
    PaintPlane(frame.Depth(), 3000);
    PaintRect(frame.Depth(), Box2D<int>(70, 50, 90, 70), 1000);
    const Box2D<int> window(60, 40, 100, 80);
    const Box1D<int> depths(900, 1100);
    const Centre plain = CentreOf(*tracker, frame, window, depths, {});
    ASSERT_EQ(1, plain.found);
    // The patch is symmetric about column 80 but the weights favour the top
    // rows: the centre lies above the patch's middle row.
    EXPECT_GT(plain.at.y, frame.WorldAt(80, 60, plain.at.z).y);
    // A head box that misses the search volume changes nothing.
    const Box3D<float> far(Vector3D<float>(-200, -200, 2000), Vector3D<float>(200, 200, 2300));
    const Centre missed = CentreOf(*tracker, frame, window, depths, {far});
    EXPECT_EQ(plain.at, missed.at);
    // A head box over the world's left half (x <= 0) at the patch's depth:
    // columns up to the image centre (80) are left out, as if they were not
    // there.
    const Box3D<float> left(Vector3D<float>(-500, -500, 950), Vector3D<float>(0, 500, 1050));
    const Centre excluded = CentreOf(*tracker, frame, window, depths, {far, left});
    PaintRect(frame.Depth(), Box2D<int>(70, 50, 80, 70), 3000);
    const Centre erased = CentreOf(*tracker, frame, window, depths, {});
    ASSERT_EQ(1, excluded.found);
    EXPECT_EQ(erased.at, excluded.at);
    EXPECT_GT(excluded.at.x, plain.at.x);
    // Everything left out, or nothing in depth: no centre.
    PaintRect(frame.Depth(), Box2D<int>(70, 50, 90, 70), 1000);
    const Box3D<float> all(Vector3D<float>(-500, -500, 900), Vector3D<float>(500, 500, 1100));
    EXPECT_EQ(0, CentreOf(*tracker, frame, window, depths, {all}).found);
    EXPECT_EQ(0, CentreOf(*tracker, frame, window, Box1D<int>(1200, 1300), {}).found);
    // A single row or a single depth gives a finite centre.
    const Centre row = CentreOf(*tracker, frame, Box2D<int>(60, 55, 100, 55), depths, {});
    ASSERT_EQ(1, row.found);
    EXPECT_TRUE(std::isfinite(row.at.x) && std::isfinite(row.at.y) && std::isfinite(row.at.z));
    const Centre flat = CentreOf(*tracker, frame, window, Box1D<int>(1000, 1000), {});
    ASSERT_EQ(1, flat.found);
    EXPECT_TRUE(std::isfinite(flat.at.x) && std::isfinite(flat.at.y));
    EXPECT_NEAR(1000.0f, flat.at.z, 0.01f);
}

TEST(FocusHandTrackerCentre, WindowWithEveryPixelExcludedMakesTheTrackerLost) {
    FixtureFrame frame(160, 120);
    auto tracker = MakeTracker(frame, nullptr);
    PaintPlane(frame.Depth(), 3000);
    PaintRect(frame.Depth(), Box2D<int>(70, 50, 90, 70), 1000);
    const Vector3D<float> hand = frame.WorldAt(80, 60, 1000);
    ASSERT_EQ(1, tracker->StartTracking(frame.Container(), hand));
    frame.SetFrame(2, FrameTime(2));
    tracker->ComputePredictionAndBounds(frame.Container());
    const Box3D<float> head(Vector3D<float>(-1000, -1000, 500), Vector3D<float>(1000, 1000, 1500));
    tracker->Update(frame.Container(), 1, &head, 1);
    EXPECT_EQ(DUZHandTrackerBase::eLost, tracker->m_state);
}

// The far bound after the histogram walk over a window holding `near`
// pixels at 1000 mm and `farther` pixels at 1100 mm, from (900, 1200).
int FarBound(int maxDepth, int near, int farther, unsigned short depthLimit = focus_test::kMaxDepth) {
    FixtureFrame frame(160, 120, maxDepth);
    auto tracker = MakeTracker(frame, nullptr);
    tracker->m_maxDepth = depthLimit;
    PaintPlane(frame.Depth(), 3000);
    unsigned short* d = frame.Depth().WritableData();
    for (int i = 0; i < near + farther; ++i) {
        d[(10 + i / 100) * 160 + 10 + i % 100] = i < near ? 1000 : 1100;
    }
    tracker->m_searchBounds = Box2D<int>(0, 0, 159, 119);
    tracker->m_depthBounds = Box1D<int>(900, 1200);
    tracker->UpdateDepthBoundsAccordingToHistogram(frame.Container());
    return tracker->m_depthBounds.max;
}

TEST(FocusHandTrackerCentre, FarBoundEndsBehindTheBinWhereTheSurfacePassesTwentyThousandSquareMillimetres) {
    // A pixel at 1000 mm covers 49.16 mm^2, counted as 49: 408 pixels make
    // 19992, 409 make 20041.
    EXPECT_EQ(1008, FarBound(10000, 409, 0));
    EXPECT_EQ(1104, FarBound(10000, 408, 200));
    EXPECT_EQ(1200, FarBound(10000, 408, 0));
    EXPECT_EQ(1150, FarBound(10000, 408, 0, 1150));
    // A stream whose depths end at 1050: the area table ends there and the
    // walk with it; the far bound is the limit.
    EXPECT_EQ(1200, FarBound(1050, 408, 200));
}

TEST(FocusHandTrackerCentre, WithoutTheHistogramTheFarBoundIsTheBasesOwn) {
    FixtureFrame frame(160, 120);
    auto tracker = MakeTracker(frame, nullptr);
    PaintPlane(frame.Depth(), 3000);
    PaintRect(frame.Depth(), Box2D<int>(40, 20, 120, 100), 1000);
    const Vector3D<float> hand = frame.WorldAt(80, 60, 1000);
    ASSERT_EQ(1, tracker->StartTracking(frame.Container(), hand));
    tracker->UpdateSearchAndDepthBounds(frame.Container(), 0);
    const int pulled = tracker->m_depthBounds.max;
    tracker->m_useHistogramBasedHandCenter = 0;
    tracker->UpdateSearchAndDepthBounds(frame.Container(), 0);
    const int own = tracker->m_depthBounds.max;
    tracker->DUZHandTrackerBase::UpdateSearchAndDepthBounds(frame.Container(), 0);
    EXPECT_EQ(tracker->m_depthBounds.max, own);
    EXPECT_EQ(1008, pulled);
    EXPECT_GT(own, 1008);
}

TEST(FocusHandTracker, LostForMoreThanATenthOfASecondBecomesInactive) {
    FixtureFrame frame(160, 120);
    auto tracker = MakeTracker(frame, nullptr);
    EXPECT_FLOAT_EQ(0.1f, tracker->m_lostTrackingRecoveryTimeLimit);
    const Vector3D<float> hand(0, 0, 1000);
    focus_test::PaintHandScene(frame, hand);
    frame.SetFrame(1, FrameTime(1));
    ASSERT_EQ(1, tracker->StartTracking(frame.Container(), hand));
    PaintPlane(frame.Depth(), 3000);
    const DUZHandTrackerBase::State expected[] = {DUZHandTrackerBase::eLost, DUZHandTrackerBase::eLost,
                                                  DUZHandTrackerBase::eLost, DUZHandTrackerBase::eInactive};
    for (uint32_t f = 2; f <= 5; ++f) {
        frame.SetFrame(f, FrameTime(f));
        tracker->ComputePredictionAndBounds(frame.Container());
        tracker->Update(frame.Container(), 1, nullptr, 0);
        EXPECT_EQ(expected[f - 2], tracker->m_state) << "frame " << f;
    }
}

TEST(FocusHandTracker, BackwardTrackingSwitchesTheMotionTestOffUntilTheNextUpdate) {
    FixtureFrame frame(160, 120);
    auto tracker = MakeTracker(frame, nullptr);
    tracker->SetBackwardsTracking(1);
    EXPECT_EQ(0, tracker->m_checkMotion);
    tracker->SetBackwardsTracking(1);
    EXPECT_EQ(1, tracker->m_checkMotion);
    tracker->Update(frame.Container(), 1, nullptr, 0);
    EXPECT_EQ(0, tracker->m_checkMotion);
    tracker->Update(frame.Container(), 0, nullptr, 0);
    EXPECT_EQ(1, tracker->m_checkMotion);
    tracker->SetBackwardsTracking(0);
    EXPECT_EQ(1, tracker->m_checkMotion);
}

TEST(FocusHandTracker, SettingsComeFromTheFocusTrackerSection) {
    FixtureFrame frame(160, 120);
    vela_test::TempDir dir;
    const std::string ini = dir.File("HandAlgorithms.ini");
    vela_test::WriteWholeFile(ini,
                              "[HandTracker]\nMaxIterations=9\n"
                              "[FocusTracker]\nMaxIterations=3\nLostTrackingRecoveryTimeLimit=0.25\n"
                              "MinHandArea=900\nUseHistogramBasedHandCenter=0\nFactorY=2.5\nFactorZ=0.75\n");
    DUZFocusHandTracker tracker(nullptr, 8, nullptr, 4500, frame.MaxShift());
    ASSERT_EQ(1, tracker.Initialize(ini, 0));
    EXPECT_STREQ("FocusTracker", tracker.GetINISectionName());
    EXPECT_EQ(3, tracker.m_maxIterations);
    EXPECT_FLOAT_EQ(0.25f, tracker.m_lostTrackingRecoveryTimeLimit);
    EXPECT_EQ(900, tracker.m_minHandArea);
    EXPECT_EQ(0, tracker.m_useHistogramBasedHandCenter);
    EXPECT_FLOAT_EQ(2.5f, tracker.m_factorY);
    EXPECT_FLOAT_EQ(0.75f, tracker.m_factorZ);
    // A re-read without the flag reads nothing.
    tracker.m_minHandArea = 1;
    EXPECT_EQ(1, tracker.ReadParameters(ini, 0, 0));
    EXPECT_EQ(1, tracker.m_minHandArea);
}

}  // namespace
