// The background model on crafted frames of the fake sensor (depth = 5 x
// shift): learning and forgetting the background, the foreground depth
// image, occlusions, the restarts, camera-motion detection and the
// component stage, and the eight-pixel twins on random rooms. The scene
// analyzer's model on rendered scenes is tested in tests/SceneAnalyzer.

#include "NACommon/NAFarfield.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "NAFarfieldTestSupport.h"

namespace {

using vela_test::FarfieldFeeder;
using vela_test::Map16;

// Depths and their shifts on the fake sensor.
constexpr int kWall = 3000;   // shift 600
constexpr int kNear = 2000;   // shift 400

class NAFarfieldTest : public ::testing::Test {
protected:
    std::unique_ptr<NAFarfield> NewModel(int sse = 1) {
        std::unique_ptr<NAFarfield> model(new NAFarfield);
        EXPECT_TRUE(model->Initialize(&m_feeder.Hub(), m_feeder.GetResolution(), sse, 0, 1));
        return model;
    }
    // Frames of a still scene until its background is known everywhere
    // and the foreground test of the camera-motion detection is on.
    void Learn(NAFarfield& model, const Map16& scene, int frames = 5) {
        for (int i = 0; i < frames; ++i) {
            Feed(model, scene);
        }
    }
    // One frame as the scene analyzer gives it: the update, then the memory.
    void Feed(NAFarfield& model, const Map16& depth, int64_t step = 33333) {
        m_feeder.Feed(model, depth, step);
        model.UpdateFarfieldWithMemory();
    }
    int Count(const Array2D<uint16_t>& map, uint16_t value) const {
        return static_cast<int>(std::count(map.Data(), map.Data() + map.Size(), value));
    }
    uint16_t At(const Array2D<uint16_t>& map, int x, int y) const { return map.Data()[m_feeder.Index(x, y)]; }
    int Weight(int depth) const { return NAFarfield::AreaWeight(depth); }

    FarfieldFeeder m_feeder;
};

TEST_F(NAFarfieldTest, InitialisationDerivesTheThresholdsFromTheSensor) {
    std::unique_ptr<NAFarfield> model = NewModel();
    EXPECT_EQ(3, model->m_nShiftSlack);
    EXPECT_EQ(2, model->m_nEdgeShiftThresh);
    EXPECT_EQ(6, model->m_nStableShiftThresh);
    EXPECT_EQ(4, model->m_nBgAdjacencyThresh);
    EXPECT_EQ(3, model->m_nFgShiftMargin);
    EXPECT_EQ(30, model->m_nEdgeDepthStep);
    const float p = m_feeder.Hub().m_pWorldPointConverters[QQVGA]->m_fPixelSizeFactor;
    EXPECT_EQ(static_cast<int>(p * p * 262144.0f), model->m_nAreaFactor);
    EXPECT_EQ(160, model->m_nXRes);
    EXPECT_EQ(120, model->m_nYRes);
    EXPECT_EQ(1, model->m_bJustReset);
    EXPECT_EQ(30u, model->m_nFramesSinceReset);
    // An unusable resolution or hub initialises nothing.
    NAFarfield other;
    EXPECT_FALSE(other.Initialize(&m_feeder.Hub(), INVALID, 1, 0, 1));
    EXPECT_FALSE(other.Initialize(&m_feeder.Hub(), VGA, 1, 0, 1));
    EXPECT_FALSE(other.Initialize(nullptr, QQVGA, 1, 0, 1));
    EXPECT_FALSE(other.IsInitialized());
}

// With 5 mm per shift everywhere, no shift's nearest 30 mm step lies within
// two shifts: the first coarse shift lies past the table and every shift
// keeps its own allowance (six shifts).
// Maps whose sizes disagree are ignored; a frame of a size no resolution
// has is ignored too (the model cannot re-initialise for it).
TEST_F(NAFarfieldTest, FramesOfOtherSizesAreIgnored) {
    std::unique_ptr<NAFarfield> model = NewModel();
    Learn(*model, m_feeder.Flat(kWall));
    const Array2D<uint16_t> background = model->m_background;
    for (const int size : {100, 160}) {
        SCOPED_TRACE(size);
        xn::DepthMetaData depth;
        depth.AllocateData(static_cast<XnUInt32>(size), static_cast<XnUInt32>(size));
        std::fill(depth.WritableData(), depth.WritableData() + size * size, 4000);
        Array2D<uint16_t> shift;
        shift.SetSize(size == 160 ? 120 : size, size, false);
        std::fill(shift.Data(), shift.Data() + shift.Size(), 800);
        const xn::DepthMetaData* depths[2] = {&depth, &depth};
        const Array2D<uint16_t>* shifts[3] = {&shift, &shift, &shift};
        model->Update(depths, shifts, 99, SensorTime(99 * 33333), Box2D<int>(0, 0, size - 1, size - 1));
        EXPECT_EQ(160, model->m_nXRes);
        EXPECT_TRUE(vela_test::SameMap(background, model->m_background, "background"));
    }
}

TEST_F(NAFarfieldTest, TheEdgeAllowanceWithoutACoarseShiftIsTheTablesOwn) {
    std::unique_ptr<NAFarfield> model = NewModel();
    const int end = m_feeder.Shift(10000);
    EXPECT_EQ(end + 1, model->m_nShiftThreshSize);
    EXPECT_EQ(end + 1, model->m_nFirstCoarseShift);
    for (int s = 1; s <= end; ++s) {
        ASSERT_EQ(6, model->EdgeAllowance(s)) << s;
    }
    EXPECT_EQ(2, model->EdgeAllowance(end + 1));
}

// Beyond 5000 mm a shift step is 20 mm: from shift 1000 on two steps reach
// 30 mm, and shift 1000 is the first coarse one.
TEST_F(NAFarfieldTest, TheEdgeAllowanceTurnsCoarseWhereTwoShiftsSpan30Millimetres) {
    m_feeder.Sensor().UseTransitionAt5000();
    NACommonData hub;
    ASSERT_TRUE(hub.InitConversions(m_feeder.Sensor().m_node, QVGA));
    NAFarfield model;
    ASSERT_TRUE(model.Initialize(&hub, QQVGA, 1, 0, 1));
    EXPECT_EQ(1000, model.m_nFirstCoarseShift);
    EXPECT_EQ(6, model.EdgeAllowance(500));
    EXPECT_EQ(3, model.EdgeAllowance(999));
    EXPECT_EQ(2, model.EdgeAllowance(1000));
    EXPECT_EQ(2, model.EdgeAllowance(1200));
}

// The first frame after a reset makes the whole background "unknown since
// a restart" and, in the same pass, gives every pixel that held still over
// three frames its shift; the area of those pixels counts as transient.
TEST_F(NAFarfieldTest, TheFirstFrameAfterAResetRelearnsFromStablePixels) {
    std::unique_ptr<NAFarfield> model = NewModel();
    const Map16 wall = m_feeder.Flat(kWall);
    Feed(*model, wall);
    Feed(*model, wall);
    model->Reset();
    EXPECT_EQ(30u, model->m_nFramesSinceReset);
    const int stamps = model->m_timeStamps.Count();
    const int fgChanges = model->m_fgChangeArea.Count();
    Map16 frame = wall;
    m_feeder.Paint(frame, 10, 10, 29, 19, kNear);
    Feed(*model, frame);

    EXPECT_EQ(1, model->IsReset());
    EXPECT_EQ(31u, model->m_nFramesSinceReset);
    EXPECT_EQ(0, model->m_bJustReset);
    EXPECT_EQ(200, Count(model->m_background, 1));
    EXPECT_EQ(m_feeder.Pixels() - 200, Count(model->m_background, 600));
    const int64_t transient = (static_cast<int64_t>(m_feeder.Pixels() - 200) * Weight(kWall) + 200 * Weight(kNear)) *
                              model->m_nAreaFactor;
    EXPECT_EQ(transient, model->m_transientBgArea.GetCurrent());
    EXPECT_EQ(0, model->m_bgChangeArea.GetCurrent());
    // The detection only took the time stamp.
    EXPECT_EQ(stamps + 1, model->m_timeStamps.Count());
    EXPECT_EQ(fgChanges, model->m_fgChangeArea.Count());
}

TEST_F(NAFarfieldTest, APixelWithoutDepthForElevenFramesLosesItsBackground) {
    std::unique_ptr<NAFarfield> model = NewModel();
    const Map16 wall = m_feeder.Flat(kWall);
    Learn(*model, wall);
    Map16 hole = wall;
    m_feeder.Paint(hole, 50, 50, 54, 54, 0);
    for (int frame = 1; frame <= 11; ++frame) {
        Feed(*model, hole);
        EXPECT_EQ(frame, At(model->m_noDepthCounter, 52, 52));
        EXPECT_EQ(frame <= 10 ? 600 : 0, At(model->m_background, 52, 52)) << frame;
    }
    EXPECT_EQ(600, At(model->m_background, 49, 52));
}

TEST_F(NAFarfieldTest, ForegroundStartsOneShiftPastTheMargin) {
    for (const int sse : {0, 1}) {
        SCOPED_TRACE(sse);
        std::unique_ptr<NAFarfield> model = NewModel(sse);
        const Map16 wall = m_feeder.Flat(kWall);
        Learn(*model, wall);
        Map16 frame = wall;
        m_feeder.Paint(frame, 20, 20, 24, 24, m_feeder.Depth(600 - 3));
        m_feeder.Paint(frame, 40, 20, 44, 24, m_feeder.Depth(600 - 4));
        Feed(*model, frame);
        const Array2D<uint16_t>& fg = model->m_fgDepthHistory.GetCurrent();
        EXPECT_EQ(0, At(fg, 22, 22));
        EXPECT_EQ(m_feeder.Depth(596), At(fg, 42, 22));
        EXPECT_EQ(25, m_feeder.Pixels() - Count(fg, 0));
    }
}

// A pixel seen farther than its background takes the new shift only once
// its shift has held still within the stability threshold over three
// frames.
TEST_F(NAFarfieldTest, ABackgroundFollowsARecedingPixelOnceItHoldsStill) {
    std::unique_ptr<NAFarfield> model = NewModel();
    const Map16 wall = m_feeder.Flat(kWall);
    Learn(*model, wall);
    Map16 frame = wall;
    m_feeder.Paint(frame, 10, 10, 19, 19, m_feeder.Depth(605));
    m_feeder.Paint(frame, 30, 10, 39, 19, m_feeder.Depth(606));
    Feed(*model, frame);
    EXPECT_EQ(605, At(model->m_background, 15, 15));
    EXPECT_EQ(600, At(model->m_background, 35, 15));
    EXPECT_EQ(200 * Weight(kWall) * model->m_nAreaFactor, model->m_bgChangeArea.GetCurrent());
    Feed(*model, frame);
    EXPECT_EQ(600, At(model->m_background, 35, 15));
    Feed(*model, frame);
    EXPECT_EQ(606, At(model->m_background, 35, 15));
}

TEST_F(NAFarfieldTest, OcclusionThresholds) {
    const int n = m_feeder.Pixels();
    struct Case {
        const char* what;
        int zeros;             // pixels without depth, the first ones
        Box2D<int> valid;      // the valid box
        bool occluded;
    };
    const Box2D<int> all(0, 0, 159, 119);
    const Case entering[] = {
        {"90% without depth", n * 90 / 100, all, false},
        {"one more", n * 90 / 100 + 1, all, true},
        {"a valid box of half the image", 0, Box2D<int>(0, 0, 159, 61), false},
        {"a valid box under half", 0, Box2D<int>(0, 0, 159, 60), true},
    };
    const Map16 wall = m_feeder.Flat(kWall);
    // An empty valid box (a frame without depth anywhere) has no area, also
    // on the first frame after a reset, which clears the border map's
    // frame at the valid box's columns.
    {
        std::unique_ptr<NAFarfield> model = NewModel();
        m_feeder.Feed(*model, wall, Box2D<int>());
        EXPECT_EQ(1, model->OccludedScene());
    }
    for (const Case& c : entering) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<NAFarfield> model = NewModel();
        Learn(*model, wall);
        Map16 frame = wall;
        std::fill(frame.begin(), frame.begin() + c.zeros, 0);
        m_feeder.Feed(*model, frame, c.valid);
        EXPECT_EQ(c.occluded ? 1 : 0, model->OccludedScene());
    }
    const Case leaving[] = {
        {"60% without depth", n * 60 / 100, all, true},
        {"one less", n * 60 / 100 - 1, all, false},
        {"a valid box of two thirds", 0, Box2D<int>(0, 0, 159, 80), true},
        {"a valid box over two thirds", 0, Box2D<int>(0, 0, 159, 81), false},
    };
    for (const Case& c : leaving) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<NAFarfield> model = NewModel();
        Learn(*model, wall);
        Feed(*model, m_feeder.Flat(0));
        ASSERT_EQ(1, model->OccludedScene());
        Map16 frame = wall;
        std::fill(frame.begin(), frame.begin() + c.zeros, 0);
        m_feeder.Feed(*model, frame, c.valid);
        EXPECT_EQ(c.occluded ? 1 : 0, model->OccludedScene());
    }
}

// While occluded nothing is forgotten for lack of depth. Leaving unchanged
// brings back the larger of background and memory; leaving with the view
// changed (most pixels far off their memory, or too few within the slack)
// makes the background unknown and reports camera motion for that frame.
TEST_F(NAFarfieldTest, LeavingAnOcclusionRestoresTheMemoryUnlessTheCameraMoved) {
    const Map16 wall = m_feeder.Flat(kWall);
    Map16 halfFar = wall;
    m_feeder.Paint(halfFar, 0, 0, 159, 59, m_feeder.Depth(610));
    Map16 halfSlightly = wall;
    m_feeder.Paint(halfSlightly, 0, 0, 159, 59, m_feeder.Depth(603));
    struct Case {
        const char* what;
        Map16 after;
        bool moved;
    };
    const Case cases[] = {
        {"unchanged", wall, false},
        {"within the slack", halfSlightly, false},
        {"half beyond the slack", halfFar, true},
        {"far off everywhere", m_feeder.Flat(6000), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<NAFarfield> model = NewModel();
        Learn(*model, wall);
        for (int i = 0; i < 15; ++i) {
            Feed(*model, m_feeder.Flat(0));
            EXPECT_EQ(1, model->OccludedScene());
            EXPECT_EQ(i == 0 ? 0 : 1, model->IsReset());
        }
        EXPECT_EQ(m_feeder.Pixels(), Count(model->m_background, 600));
        // Pixels the background lost or lowered meanwhile come back.
        std::fill(model->m_background.Data(), model->m_background.Data() + 100, 0);
        std::fill(model->m_background.Data() + 100, model->m_background.Data() + 200, 550);
        Feed(*model, c.after);
        EXPECT_EQ(0, model->OccludedScene());
        EXPECT_EQ(c.moved ? 1 : 0, model->CameraMotionDetectedAfterOcclusion());
        if (c.moved) {
            EXPECT_EQ(m_feeder.Pixels(), Count(model->m_background, 1));
        } else {
            EXPECT_EQ(600, model->m_background.Data()[50]);
            EXPECT_EQ(600, model->m_background.Data()[150]);
        }
        EXPECT_EQ(1, model->m_bgChangeArea.Count());
        EXPECT_EQ(1, model->m_transientBgArea.Count());
        EXPECT_EQ(1, model->m_fgChangeArea.Count());
        Feed(*model, c.after);
        EXPECT_EQ(0, model->CameraMotionDetectedAfterOcclusion());
    }
}

// The restart after camera motion, literally: the frame after detection
// takes that frame's shift map as background and counts from 0 (0 also
// after that frame, since the restart ends the frame's update before the
// count goes up); when the count reaches 30 again the background restarts
// from "unknown" once more, as it does after a reset.
TEST_F(NAFarfieldTest, TheRestartAfterCameraMotionAndItsSentinel) {
    std::unique_ptr<NAFarfield> model = NewModel();
    const Map16 wall = m_feeder.Flat(kWall);
    Learn(*model, wall);
    Map16 moved = m_feeder.Flat(4000);
    m_feeder.Paint(moved, 0, 0, 159, 9, 0);
    model->m_bCameraMotion = 1;
    Feed(*model, moved);
    EXPECT_EQ(1, model->IsReset());
    EXPECT_EQ(0, model->m_bCameraMotion);
    EXPECT_EQ(0u, model->m_nFramesSinceReset);
    EXPECT_TRUE(vela_test::SameMap(model->m_background, m_feeder.CurrentShift(), "background"));
    EXPECT_EQ(m_feeder.Pixels(), Count(model->m_noDepthCounter, 0));
    EXPECT_EQ(0, model->m_bgChangeArea.GetCurrent());
    EXPECT_EQ(static_cast<int64_t>(m_feeder.Pixels() - 1600) * Weight(4000) * model->m_nAreaFactor,
              model->m_transientBgArea.GetCurrent());
    EXPECT_EQ(0, model->OccludedScene());

    for (uint32_t count = 1; count <= 30; ++count) {
        Feed(*model, moved);
        ASSERT_EQ(count, model->m_nFramesSinceReset);
        ASSERT_EQ(0, model->IsReset()) << count;
    }
    Map16 changed = moved;
    m_feeder.Paint(changed, 50, 50, 59, 59, 5000);
    Feed(*model, changed);
    EXPECT_EQ(1, model->IsReset());
    EXPECT_EQ(31u, model->m_nFramesSinceReset);
    // Unstable now: the changed patch, and the rows without depth.
    EXPECT_EQ(100 + 1600, Count(model->m_background, 1));

    // A restart onto a frame almost without depth is an occlusion.
    model->m_bCameraMotion = 1;
    Feed(*model, m_feeder.Flat(0));
    EXPECT_EQ(1, model->OccludedScene());
}

// A bar that grows by 1200 pixels at 2000 mm a frame: the first frame makes
// the motion suspected, the next confirms it, and the first frame in which
// no window fires asks for the restart, which the next frame performs.
TEST_F(NAFarfieldTest, ASteadyChangeIsSuspectedConfirmedAndEndsInARestart) {
    for (const int sse : {0, 1}) {
        SCOPED_TRACE(sse);
        std::unique_ptr<NAFarfield> model = NewModel(sse);
        const Map16 wall = m_feeder.Flat(5000);
        Learn(*model, wall);
        Map16 frame = wall;
        for (int grown = 1; grown <= 6; ++grown) {
            m_feeder.Paint(frame, 20, 10 * grown, 139, 10 * grown + 9, kNear);
            Feed(*model, frame);
            EXPECT_EQ(grown == 1 ? 1 : 0, model->m_bMotionSuspected) << grown;
            EXPECT_EQ(grown == 1 ? 0 : 1, model->m_bMotionDetected) << grown;
            EXPECT_EQ(0, model->m_bCameraMotion);
        }
        int quiet = 0;
        for (; quiet < 20 && model->m_bCameraMotion == 0; ++quiet) {
            Feed(*model, frame);
            if (model->m_bCameraMotion == 0) {
                ASSERT_EQ(1, model->m_bMotionDetected);
            }
        }
        ASSERT_EQ(1, model->m_bCameraMotion);
        EXPECT_GT(quiet, 1);
        EXPECT_EQ(0, model->m_bMotionDetected);
        EXPECT_EQ(0, model->m_bMotionSuspected);
        EXPECT_EQ(1, model->IsReset());
        EXPECT_EQ(0u, model->m_nFramesSinceReset);
        EXPECT_EQ(m_feeder.Pixels(), Count(model->m_foreground, 0));
        Feed(*model, frame);
        EXPECT_EQ(1, model->IsReset());
        EXPECT_TRUE(vela_test::SameMap(model->m_background, m_feeder.CurrentShift(), "background"));
    }
}

// One frame whose new foreground exceeds the threshold, then a quiet frame:
// the suspicion is dropped and the pixels that entered go into the
// background, their area booked as transient.
TEST_F(NAFarfieldTest, ASingleJumpIsFedBackIntoTheBackground) {
    std::unique_ptr<NAFarfield> model = NewModel();
    const Map16 wall = m_feeder.Flat(5000);
    Learn(*model, wall);
    Map16 frame = wall;
    m_feeder.Paint(frame, 20, 20, 139, 29, kNear);
    Feed(*model, frame);
    EXPECT_EQ(1, model->m_bMotionSuspected);
    EXPECT_EQ(1000, At(model->m_background, 30, 25));
    Feed(*model, frame);
    EXPECT_EQ(0, model->m_bMotionSuspected);
    EXPECT_EQ(0, model->m_bMotionDetected);
    EXPECT_EQ(0, model->m_bCameraMotion);
    EXPECT_EQ(400, At(model->m_background, 30, 25));
    const int64_t area = 1200LL * m_feeder.Hub().m_pAreaAtShiftInt[QQVGA][400];
    EXPECT_EQ(area >> 7, model->m_transientBgArea.GetCurrent());
}

// A window without a positive duration has no rate: a repeated time stamp
// or one that goes back (a recording starting over) never suspects motion
// on its own.
TEST_F(NAFarfieldTest, WindowsWithoutDurationAreSkipped) {
    for (const int64_t step : {int64_t(33333), int64_t(0), int64_t(-1000000)}) {
        SCOPED_TRACE(step);
        std::unique_ptr<NAFarfield> model = NewModel();
        const Map16 wall = m_feeder.Flat(5000);
        Learn(*model, wall);
        Map16 frame = wall;
        m_feeder.Paint(frame, 20, 20, 69, 29, kNear);
        Feed(*model, frame, step);
        EXPECT_EQ(0, model->m_bMotionSuspected);
        EXPECT_EQ(0, model->m_nMotionLevel);
    }
}

// The foreground test is off in the first four frames after a reset and in
// the first three after the restart frame of a camera motion.
TEST_F(NAFarfieldTest, TheForegroundTestWaitsAfterResetsAndRestarts) {
    const Map16 wall = m_feeder.Flat(5000);
    for (const bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "restart" : "reset");
        std::unique_ptr<NAFarfield> model = NewModel();
        Learn(*model, wall);
        if (restart) {
            model->m_bCameraMotion = 1;
        } else {
            model->Reset();
        }
        Feed(*model, wall);
        Map16 frame = wall;
        const int silent = restart ? 3 : 3;
        for (int i = 1; i <= silent + 1; ++i) {
            m_feeder.Paint(frame, 20, 10 * i, 139, 10 * i + 9, kNear);
            Feed(*model, frame);
            EXPECT_EQ(i > silent ? 1 : 0, model->m_bMotionSuspected) << i << " since " << model->m_nFramesSinceReset;
        }
    }
}

// The background test compares this frame's receding area with older ones
// and stops at the first frame with none: a box that vanishes from a still
// scene does not count; with area receding every frame before, it does.
TEST_F(NAFarfieldTest, TheBackgroundTestStopsAtAFrameWithoutRecedingArea) {
    for (const bool flicker : {false, true}) {
        SCOPED_TRACE(flicker ? "receding before" : "still before");
        std::unique_ptr<NAFarfield> model = NewModel();
        Map16 room = m_feeder.Flat(kWall);
        m_feeder.Paint(room, 60, 40, 99, 79, kNear);
        // Long enough for the area booked at the first frame to fade.
        Learn(*model, room, 25);
        // Two patches that swap between the wall and 100 mm beyond it never
        // hold still, so one of them recedes every frame.
        Map16 phases[2] = {room, room};
        if (flicker) {
            m_feeder.Paint(phases[0], 0, 0, 4, 1, kWall + 100);
            m_feeder.Paint(phases[1], 5, 0, 9, 1, kWall + 100);
        }
        for (int i = 0; i < 4; ++i) {
            Feed(*model, phases[i % 2]);
        }
        EXPECT_EQ(0, model->m_bMotionSuspected);
        Map16 vanished = phases[0];
        m_feeder.Paint(vanished, 60, 40, 99, 79, kWall);
        Feed(*model, vanished);
        EXPECT_EQ(flicker ? 1 : 0, model->m_bMotionSuspected);
    }
}

// Components of the foreground with (almost) no background behind them are
// put into the background when they blend into their surroundings, or, in
// the base model (which knows no users), when they touch the background.
TEST_F(NAFarfieldTest, ComponentsWithoutBackgroundBehindThem) {
    const Map16 wall = m_feeder.Flat(kWall);
    // A soft component: the background lost over a part of the wall.
    {
        std::unique_ptr<NAFarfield> model = NewModel();
        Learn(*model, wall);
        const int transient = model->m_transientBgArea.GetCurrent();
        for (int y = 30; y < 40; ++y) {
            std::fill(model->m_background.Data() + m_feeder.Index(30, y), model->m_background.Data() + m_feeder.Index(50, y), 0);
        }
        Feed(*model, wall);
        EXPECT_EQ(m_feeder.Pixels(), Count(model->m_background, 600));
        EXPECT_EQ(transient, model->m_transientBgArea.GetCurrent());
    }
    // A hard-edged object of 27 x 22 pixels (500 inside its border) in front
    // of the wall, beside a learnt shelf at its own depth; the background
    // is known behind 10 or 4 of its inner pixels.
    Map16 room = wall;
    m_feeder.Paint(room, 37, 30, 39, 51, kNear);
    for (const int known : {10, 4}) {
        SCOPED_TRACE(known);
        std::unique_ptr<NAFarfield> model = NewModel();
        Learn(*model, room);
        Map16 frame = room;
        m_feeder.Paint(frame, 40, 30, 66, 51, kNear);
        for (int y = 30; y <= 51; ++y) {
            std::fill(model->m_background.Data() + m_feeder.Index(40, y), model->m_background.Data() + m_feeder.Index(67, y), 0);
        }
        for (int i = 0; i < known; ++i) {
            model->m_background.Data()[m_feeder.Index(45 + i, 40)] = 600;
        }
        Feed(*model, frame);
        const int label = model->m_ccLabels.Data()[m_feeder.Index(50, 40)];
        ASSERT_GT(label, 0);
        const NAFarfieldCC& cc = model->m_ccProperties[label];
        EXPECT_EQ(594, cc.area);
        EXPECT_EQ(500, cc.interior);
        EXPECT_EQ(known, cc.interiorOnBg);
        EXPECT_LT(cc.softBorder * 10, cc.border * 9);
        EXPECT_TRUE(model->isCCAdjacentToBg(cc));
        EXPECT_EQ(known == 4 ? 400 : 0, At(model->m_background, 50, 45));
    }
}

// A component enclosed by another has only foreground around its border.
TEST_F(NAFarfieldTest, ABorderEnclosedByForegroundIsNotSoft) {
    std::unique_ptr<NAFarfield> model = NewModel();
    const Map16 wall = m_feeder.Flat(kWall);
    Learn(*model, wall);
    Map16 frame = wall;
    m_feeder.Paint(frame, 40, 30, 79, 69, 2500);
    m_feeder.Paint(frame, 55, 45, 64, 54, kNear);
    Feed(*model, frame);
    const NAFarfieldCC& inner = model->m_ccProperties[model->m_ccLabels.Data()[m_feeder.Index(60, 50)]];
    EXPECT_EQ(100, inner.area);
    EXPECT_EQ(36, inner.border);
    EXPECT_EQ(0, inner.softBorder);
}

TEST_F(NAFarfieldTest, TheForegroundChangeSumsOfBothTwinsAgree) {
    for (const Resolution resolution : {QQVGA, VGA}) {
        FarfieldFeeder feeder(resolution, VGA);
        NAFarfield model;
        ASSERT_TRUE(model.Initialize(&feeder.Hub(), resolution, 1, 0, 1));
        std::mt19937 random(11);
        const int n = feeder.Pixels();
        Map16 fg(n), prevFg(n), prevDepth(n);
        std::vector<int32_t> entered(n);
        for (int trial = 0; trial < 20; ++trial) {
            for (int i = 0; i < n; ++i) {
                fg[i] = random() % 3 == 0 ? 0 : static_cast<uint16_t>(random() % 10001);
                prevFg[i] = random() % 3 == 0 ? 0 : static_cast<uint16_t>(random() % 10001);
                prevDepth[i] = random() % 4 == 0 ? 0 : static_cast<uint16_t>(random() % 10001);
            }
            ASSERT_EQ(model.NumFg(fg.data(), prevDepth.data(), prevFg.data(), fg.data() + n, entered.data()),
                      model.NumFg_SSE(fg.data(), prevDepth.data(), prevFg.data()));
        }
    }
}

// The eight-pixel background update needs no fixed row buffer: at 640
// pixels a row both twins keep the same background, counters and sums.
TEST_F(NAFarfieldTest, TheBackgroundUpdatesOfBothTwinsAgreeAt640PixelsARow) {
    FarfieldFeeder feeder(VGA, VGA);
    NAFarfield sse;
    NAFarfield plain;
    ASSERT_TRUE(sse.Initialize(&feeder.Hub(), VGA, 1, 0, 1));
    ASSERT_TRUE(plain.Initialize(&feeder.Hub(), VGA, 0, 0, 1));
    vela_test::RandomRoom room(640, 480, 5);
    for (int frame = 0; frame < 12; ++frame) {
        SCOPED_TRACE(frame);
        feeder.Push(room.Next());
        for (NAFarfield* model : {&sse, &plain}) {
            model->UpdateFrame(feeder.Depths(), feeder.Shifts(), static_cast<unsigned>(frame), SensorTime(frame * 33333),
                               feeder.Image());
            model->RunFarfield(model->m_noDepthCounter, model->m_background);
            model->m_bJustReset = 0;
            if (frame == 8) {
                model->m_bCameraMotion = 1;
            }
        }
        EXPECT_TRUE(vela_test::SameMap(sse.m_background, plain.m_background, "background"));
        EXPECT_TRUE(vela_test::SameMap(sse.m_noDepthCounter, plain.m_noDepthCounter, "no-depth counter"));
        EXPECT_TRUE(vela_test::SameRing(sse.m_bgChangeArea, plain.m_bgChangeArea, "background change"));
        EXPECT_TRUE(vela_test::SameRing(sse.m_transientBgArea, plain.m_transientBgArea, "transient area"));
        EXPECT_EQ(sse.m_bOccludedScene, plain.m_bOccludedScene);
        EXPECT_EQ(sse.m_nFramesSinceReset, plain.m_nFramesSinceReset);
    }
}

}  // namespace
