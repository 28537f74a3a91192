// The extreme-point (head) tracker: the weighted circle fit and its size
// limits, the search length per resolution, one refinement step, the head
// box at the image borders and the table ends, the settings, and a head
// followed on a person walking sideways.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "NACommon/NAExtremePointTracker.h"
#include "RenderedLevels.h"
#include "TempDir.h"

namespace {

using detection_test::RenderedLevels;
using detection_test::ViewPart;
using hand_test_kit::FixtureFrame;

constexpr double kTurn = 6.283185307179586;

// Boundary points on the outline the fit expects: an ellipse of radii
// (r / 1.2, r) around centre; rays 0..16 found only when lower, 17..31
// only when upper.
void PlaceOutline(NAExtremePointTracker& tracker, const Vector2D<float>& centre, float r, bool lower, bool upper,
                  float lowerShift = 0.0f, float upperShift = 0.0f) {
    for (int i = 0; i < NAExtremePointTracker::kRays; ++i) {
        const double angle = kTurn * i / NAExtremePointTracker::kRays;
        const bool isUpper = i >= 17;
        tracker.m_boundaryFound[i] = (isUpper ? upper : lower) ? 1 : 0;
        tracker.m_boundaryPoints[i] =
            Vector2D<float>(centre.x + static_cast<float>(r / 1.2f * std::cos(angle)),
                            centre.y + static_cast<float>(r * std::sin(angle)) + (isUpper ? upperShift : lowerShift));
    }
}

TEST(ExtremePointTracker, TheFitNeedsFivePointsAndWeighsTheUpperOutlineThreeTimes) {
    FixtureFrame frame(160, 120);
    const WorldPointConverterBase<float>& converter = frame.Converter();
    NAExtremePointTracker tracker(35, 200);
    tracker.m_headPosition = Vector3D<float>(0, 0, 2000);
    const float r = 100.0f / (converter.m_fPixelSizeFactor * 2000.0f);
    Vector2D<float> centre;
    PlaceOutline(tracker, Vector2D<float>(80, 60), r, true, true);
    ASSERT_EQ(0, tracker.CalcCenter(centre, converter));
    EXPECT_NEAR(80.0f, centre.x, 1e-2f);
    EXPECT_NEAR(60.0f, centre.y, 1e-2f);
    EXPECT_NEAR(100.0f, tracker.GetHeadSizeRW(), 0.5f);
    EXPECT_EQ(17.0f + 3.0f * 15.0f, tracker.m_fitSums[0]);
    EXPECT_NEAR(r / 1.2f, tracker.m_headEllipse.m_axisLengths.x, 1e-2f);
    EXPECT_NEAR(r, tracker.m_headEllipse.m_axisLengths.y, 1e-2f);

    // One point moved outward pulls the centre clearly further from the
    // top of the outline (ray 24, weight 3) than from its mirror image at
    // the bottom (ray 8, weight 1); the other upper points, heavier too,
    // hold against it, so the ratio stays below 3.
    PlaceOutline(tracker, Vector2D<float>(80, 60), r, true, true);
    tracker.m_boundaryPoints[8].y += 2.0f;
    ASSERT_EQ(0, tracker.CalcCenter(centre, converter));
    const float byLower = centre.y - 60.0f;
    PlaceOutline(tracker, Vector2D<float>(80, 60), r, true, true);
    tracker.m_boundaryPoints[24].y -= 2.0f;
    ASSERT_EQ(0, tracker.CalcCenter(centre, converter));
    const float byUpper = 60.0f - centre.y;
    EXPECT_GT(byLower, 0.0f);
    EXPECT_GT(byUpper, 1.5f * byLower);

    // Four points fit nothing; five do.
    PlaceOutline(tracker, Vector2D<float>(80, 60), r, false, false);
    for (int i : {1, 9, 20, 28}) {
        tracker.m_boundaryFound[i] = 1;
    }
    EXPECT_EQ(2, tracker.CalcCenter(centre, converter));
    tracker.m_boundaryFound[14] = 1;
    EXPECT_EQ(0, tracker.CalcCenter(centre, converter));
}

TEST(ExtremePointTracker, TheFittedRadiusMustLieWithinTheTrackersSizes) {
    FixtureFrame frame(160, 120);
    const WorldPointConverterBase<float>& converter = frame.Converter();
    const float r = 36.0f / (converter.m_fPixelSizeFactor * 2000.0f);
    const struct {
        int minSize;
        int maxSize;
        int result;
    } cases[] = {{35, 200, 0}, {50, 200, 2}, {20, 30, 2}};
    for (const auto& c : cases) {
        NAExtremePointTracker tracker(c.minSize, c.maxSize);
        tracker.m_headPosition = Vector3D<float>(0, 0, 2000);
        PlaceOutline(tracker, Vector2D<float>(80, 60), r, true, true);
        Vector2D<float> centre;
        EXPECT_EQ(c.result, tracker.CalcCenter(centre, converter)) << c.minSize << ".." << c.maxSize;
        // The size is written also when it fails.
        EXPECT_NEAR(36.0f, tracker.GetHeadSizeRW(), 0.5f);
    }
}

TEST(ExtremePointTracker, ATenPixelHeadSearchesEighteenSamplesAt160x120AndThirteenAt320x240) {
    const struct {
        int width;
        int height;
        float lastSample;
    } cases[] = {{160, 120, 17.0f}, {320, 240, 12.0f}};
    for (const auto& c : cases) {
        FixtureFrame frame(c.width, c.height);
        hand_test_kit::PaintPlane(frame.Depth(), 1500);
        frame.UpdateShift();
        NAExtremePointTracker tracker(35, 200);
        tracker.ReadParameters("", 0);
        Vector3D<float> head(0, 0, 1500);
        // A hair over 10 pixels, so that rounding keeps ten.
        tracker.SetHeadCandidate(head, 10.01f * frame.Converter().PixelSizeAt(1500), frame.Container());
        // A flat wall has no outline: every ray runs its full length.
        EXPECT_EQ(0, tracker.Update(frame.Container()));
        EXPECT_EQ(0, tracker.m_tracking);
        const Vector2D<float> start(frame.Converter().m_fCenterX, frame.Converter().m_fCenterY);
        EXPECT_FLOAT_EQ(c.lastSample, tracker.m_boundaryPoints[0].x - start.x) << c.width;
        EXPECT_FLOAT_EQ(c.lastSample, tracker.m_boundaryPoints[8].y - start.y) << c.width;
    }
}

// A head disc of 100 mm radius at 2 m before a wall at 3 m.
void PaintHead(FixtureFrame& frame) {
    hand_test_kit::PaintPlane(frame.Depth(), 3000);
    hand_test_kit::HandFixture head;
    head.center = Vector3D<float>(0, 0, 2000);
    head.radius = 100.0f;
    head.thickness = 30.0f;
    hand_test_kit::PaintHand(frame.Depth(), frame.Converter(), head);
    frame.UpdateShift();
}

TEST(ExtremePointTracker, OneIterationRunsOneStepAndStillComputesTheBox) {
    FixtureFrame frame(320, 240);
    PaintHead(frame);
    const Vector3D<float> offCentre(45, -30, 1980);
    auto started = [&](int iterations) {
        NAExtremePointTracker tracker(35, 200);
        tracker.ReadParameters("", 0);
        tracker.m_nMaxIterations = iterations;
        Vector3D<float> start = offCentre;
        tracker.SetHeadCandidate(start, 100.0f, frame.Container());
        return tracker;
    };
    NAExtremePointTracker once = started(1);
    ASSERT_EQ(1, once.Update(frame.Container()));
    NAExtremePointTracker stepped = started(1);
    stepped.m_searchFactor = 1.3f;
    ASSERT_EQ(1, stepped.Step(1, frame.Container()));
    EXPECT_EQ(stepped.GetHeadPositionRW(), once.GetHeadPositionRW());
    EXPECT_LT(once.m_headBox.min.x, once.m_headBox.max.x);
    EXPECT_FLOAT_EQ(once.GetHeadPositionRW().z - 75.0f, once.m_headBox.min.z);

    NAExtremePointTracker converged = started(5);
    ASSERT_EQ(1, converged.Update(frame.Container()));
    const float onceError = Vector2D<float>(once.GetHeadPositionRW().x, once.GetHeadPositionRW().y).Magnitude();
    const float convergedError =
        Vector2D<float>(converged.GetHeadPositionRW().x, converged.GetHeadPositionRW().y).Magnitude();
    EXPECT_LT(convergedError, onceError);
    EXPECT_LT(convergedError, 15.0f);
    EXPECT_NEAR(100.0f, converged.GetHeadSizeRW(), 15.0f);
    // Idle: nothing to update.
    converged.Reset();
    EXPECT_EQ(0, converged.Update(frame.Container()));
    Vector3D<float> position;
    Ellipse2D<float> ellipse;
    EXPECT_EQ(0, converged.GetHeadCandidate(position, ellipse, 0.0f));
}

TEST(ExtremePointTracker, TheHeadBoxLeavesLeftAndTopUnclampedAndReadsOnlyInsideTheTables) {
    FixtureFrame frame(160, 120, 4000);
    const WorldPointConverterBase<float>& converter = frame.Converter();
    const float cx = converter.m_fCenterX;
    const float cy = converter.m_fCenterY;
    NAExtremePointTracker tracker(35, 200);
    tracker.ReadParameters("", 0);
    tracker.m_nMaxIterations = 0;
    const int last = converter.m_nDepthTableSize - 1;
    const struct {
        const char* name;
        Vector2D<float> centre;
        float z;
        Vector3D<float> min;
        Vector3D<float> max;
    } cases[] = {
        {"near the top left corner", {2, 3}, 2000,
         {(-8 - cx) * converter.PixelSizeAt(1925), (cy - 16) * converter.PixelSizeAt(1925), 1925},
         {(13 - cx) * converter.PixelSizeAt(2075), (cy + 9) * converter.PixelSizeAt(2075), 2075}},
        {"near the bottom right corner", {158, 118}, 2000,
         {(148 - cx) * converter.PixelSizeAt(1925), (cy - 119) * converter.PixelSizeAt(1925), 1925},
         {(159 - cx) * converter.PixelSizeAt(2075), (cy - 106) * converter.PixelSizeAt(2075), 2075}},
        {"nearer than the box's half depth", {80, 60}, 50,
         {0, 0, -25},
         {(91 - cx) * converter.PixelSizeAt(125), (cy - 48) * converter.PixelSizeAt(125), 125}},
        {"at the tables' end", {80, 60}, static_cast<float>(last - 10),
         {(70 - cx) * converter.PixelSizeAt(last - 85), (cy - 73) * converter.PixelSizeAt(last - 85),
          static_cast<float>(last - 85)},
         {(91 - cx) * converter.PixelSizeAt(last), (cy - 48) * converter.PixelSizeAt(last),
          static_cast<float>(last + 65)}},
    };
    for (const auto& c : cases) {
        Vector3D<float> head(0, 0, c.z);
        tracker.SetHeadCandidate(head, 100.0f, frame.Container());
        tracker.m_headEllipse.m_center = c.centre;
        tracker.m_headEllipse.m_axisLengths = Vector2D<float>(10, 12);
        ASSERT_EQ(1, tracker.Update(frame.Container()));
        EXPECT_EQ(c.min, tracker.m_headBox.min) << c.name;
        EXPECT_EQ(c.max, tracker.m_headBox.max) << c.name;
    }
}

TEST(ExtremePointTracker, SettingsComeFromTheHeadTrackerSection) {
    vela_test::TempDir dir;
    const struct {
        const char* text;
        int iterations;
        float threshold;
    } cases[] = {
        {"[HeadTracker]\nM_nMaxIterations=1\nM_fDistanceThresholdRW=20.5\n", 1, 20.5f},
        {"[HeadTracker]\nm_nMaxIterations=1\n", 5, 10.0f},
        {"[HandTracker]\nM_nMaxIterations=1\n", 5, 10.0f},
        {"[HeadTracker]\nM_nMaxIterations=2000000000\n", 5, 10.0f},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string file = dir.File("HandAlgorithms" + std::to_string(n++) + ".ini");
        vela_test::WriteWholeFile(file, c.text);
        NAExtremePointTracker tracker(35, 200);
        tracker.m_nMaxIterations = 7;
        tracker.ReadParameters(file, 0);
        EXPECT_EQ(c.iterations, tracker.m_nMaxIterations) << c.text;
        EXPECT_EQ(c.threshold, tracker.m_fDistanceThresholdRW) << c.text;
    }
}

TEST(ExtremePointTracker, FollowsTheHeadOfAPersonWalkingSideways) {
    RenderedLevels levels;
    ASSERT_TRUE(levels.Open("frames count=40\ncamera elevation=1400\nwall z=4500\n"
                            "person height=1750 hair=off\n  at 0 pos=-400,2400\n  at 2 pos=400,2400\n  pose 0 stand\n"))
        << levels.Error();
    ASSERT_TRUE(levels.Next());
    ASSERT_TRUE(levels.Next());
    const NADepthMapContainer& level = levels.Level(NAResolution::QVGA);
    const Vector3D<float> joint = hand_test_kit::ToVector(levels.Session().Joint(0, vela::scene::Joint::Head));
    const Vector3D<float> pixel = level.m_converter->ProjectivePt(joint);
    Vector3D<float> start(joint.x, joint.y, (*level.m_depth)(static_cast<int>(pixel.x), static_cast<int>(pixel.y)));
    NAExtremePointTracker tracker(35, 200);
    tracker.ReadParameters("", 0);
    tracker.SetHeadCandidate(start, 100.0f, level);
    float travelled = 0.0f;
    for (int frame = 0; frame < 30; ++frame) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(levels.Next());
        const NADepthMapContainer& now = levels.Level(NAResolution::QVGA);
        ASSERT_EQ(1, tracker.Update(now));
        const Vector3D<float> head = hand_test_kit::ToVector(levels.Session().Joint(0, vela::scene::Joint::Head));
        const Vector3D<float> found = tracker.GetHeadPositionRW();
        EXPECT_NEAR(head.x, found.x, 25.0f);
        EXPECT_NEAR(head.y, found.y, 25.0f);
        // On the head's front surface: between the nearest visible head
        // pixel's depth and the head's centre.
        const detection_test::PartView part =
            ViewPart(levels.Session().Rendered(), 0, vela::scene::kPartHead, now);
        EXPECT_GT(found.z, part.centroid.z - 60.0f);
        EXPECT_LT(found.z, head.z);
        EXPECT_GE(tracker.GetHeadSizeRW(), 35.0f);
        EXPECT_LE(tracker.GetHeadSizeRW(), 200.0f);
        travelled = head.x - joint.x;
    }
    EXPECT_GT(std::fabs(travelled), 250.0f);
}

}  // namespace
