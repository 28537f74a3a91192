#include <gtest/gtest.h>

#include <functional>
#include <cstdio>
#include <string>

#include "Detection/LogCapture.h"
#include "GestureTrajectorySupport.h"
#include "HandAnalysis/DUZStraightLinesGestureRecognizer.h"
#include "TempDir.h"

namespace {

using gesture_trajectory::FrameTime;

// The analyses on their own: the base recognizes nothing.
class LineAnalyses : public DUZStraightLinesGestureRecognizer {
public:
    GestureStatus Run(NATrajectory&, int, Vector3D<float>&, int, int) override { return GESTURE_STATUS_NONE; }
    GestureType GetType() const override { return GESTURE_CLICK; }
};

// Frames first .. last at position(frame), velocities from the ring.
void StoreLine(NATrajectory& trajectory, unsigned first, unsigned last,
               const std::function<Vector3D<float>(unsigned)>& position) {
    for (unsigned f = first; f <= last; ++f) {
        trajectory.UpdateNewPosition(position(f), f, FrameTime(f));
        trajectory.UpdateVelocity(f);
    }
}

// 40 mm per frame toward the sensor along the depth axis, from 1500 mm at
// frame 101.
Vector3D<float> TowardSensor(unsigned f) { return Vector3D<float>(0, 100, 1500.0f - 40.0f * (f - 101)); }

bool HasText(const detection_test::LogCapture& log, const std::string& text) {
    for (const std::string& t : log.Texts()) {
        if (t.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(StraightLinesGestureRecognizer, StraightSegmentCases) {
    const Vector3D<float> sensor(0, 0, 0);
    struct Case {
        const char* what;
        unsigned last;  // frames 101 .. last toward the sensor
        std::function<void(NATrajectory&)> tweak;
        int useTarget, useDirection;
        Vector3D<float> direction;
        int length;
        int found;
        unsigned segmentFrame;  // frame of the slot the length was passed at
        const char* message;
    } cases[] = {
        // The slot 4 back is exactly 160 mm from the newest: not enough.
        {"toward the target", 108, nullptr, 1, 0, {}, 160, 1, 103, nullptr},
        {"toward the target, 159 mm", 108, nullptr, 1, 0, {}, 159, 1, 104, nullptr},
        {"along a direction", 108, nullptr, 0, 1, Vector3D<float>(0, 0, -1), 160, 1, 103, nullptr},
        {"away from the target is the other way", 108, nullptr, 1, 0, {}, -160, 0, 0, nullptr},
        {"neither target nor direction", 120, nullptr, 0, 0, {}, 160, 0, 0, nullptr},
        {"four samples", 104, nullptr, 1, 0, {}, 100, 0, 0, "No MIN_NUM_FRAMES_FOR_STRAIGHT_LINE frames along line\n"},
        {"a newer frame in an older slot", 108,
         [](NATrajectory& t) { t.m_frameIds[NATrajectory::Slot(105)] = 300; }, 1, 0, {}, 160, 0, 0,
         "Reached end of trajectory, no MIN_NUM_FRAMES_FOR_STRAIGHT_LINE frames along line\n"},
        // Two newest samples step back: the line restarts at each, and the
        // length is measured from the turning slot.
        {"newest samples step back", 110,
         [](NATrajectory& t) {
             t.m_positions[NATrajectory::Slot(109)] = TowardSensor(107);
             t.m_positions[NATrajectory::Slot(110)] = TowardSensor(106);
         },
         1, 0, {}, 160, 1, 103, nullptr},
        // Along -x: each step advances 32 mm along the direction, but the
        // top view's cosine is 0.8.
        {"sideways", 108, [](NATrajectory& t) {
             for (unsigned f = 101; f <= 108; ++f) t.m_positions[NATrajectory::Slot(f)] = Vector3D<float>(-40.0f * f, 0, 1500);
         },
         0, 1, Vector3D<float>(-0.8f, 0, -0.6f), 160, 0, 0, "Direction too far than expected. Cos alpha top: "},
        // Zig-zag across the line: spread too large.
        {"wide zig-zag", 108, [](NATrajectory& t) {
             for (unsigned f = 101; f <= 108; ++f) t.m_positions[NATrajectory::Slot(f)].x = f % 2 == 0 ? 40.0f : -40.0f;
         },
         1, 0, {}, 160, 0, 0, "Straight line STD too large: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        detection_test::LogCapture log("GestureRecognizer", XN_LOG_VERBOSE);
        NATrajectory trajectory;
        StoreLine(trajectory, 101, c.last, TowardSensor);
        if (c.tweak) {
            c.tweak(trajectory);
        }
        LineAnalyses analyses;
        int segmentSlot = -1;
        Line3D<float> line(Vector3D<float>(7, 7, 7), Vector3D<float>(0, 1, 0));
        const int found = analyses.AnalyzeStraightLineMovement(trajectory, NATrajectory::Slot(c.last), c.useTarget,
                                                               sensor, c.useDirection, c.direction, c.length,
                                                               segmentSlot, line);
        EXPECT_EQ(c.found, found);
        if (c.found != 0) {
            EXPECT_EQ(NATrajectory::Slot(c.segmentFrame), segmentSlot);
            EXPECT_EQ(5, analyses.m_lineStatistics.m_nCount);
            // From the oldest sample to the newest: toward the sensor.
            EXPECT_LT(line.m_direction.z, -0.99f);
        } else {
            EXPECT_EQ(-1, segmentSlot);
            EXPECT_EQ(Vector3D<float>(7, 7, 7), line.m_origin);
        }
        if (c.message != nullptr && log.Registered()) {
            EXPECT_TRUE(HasText(log, c.message));
        }
    }
}

TEST(StraightLinesGestureRecognizer, OutliersInTheLengthWalk) {
    // 18 frames toward the sensor; 400 mm is passed 11 slots back. Outliers
    // (80 mm aside) sit behind the five samples of the fit.
    struct Case {
        const char* what;
        std::vector<unsigned> outliers;
        int found;
    } cases[] = {
        {"none", {}, 1},
        {"two in a row", {111, 112}, 1},
        {"three in a row", {110, 111, 112}, 0},
        {"two, an accepted one, two", {109, 110, 112, 113}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NATrajectory trajectory;
        StoreLine(trajectory, 101, 118, TowardSensor);
        for (unsigned f : c.outliers) {
            trajectory.m_positions[NATrajectory::Slot(f)].x += 80.0f;
        }
        LineAnalyses analyses;
        int segmentSlot = -1;
        Line3D<float> line;
        EXPECT_EQ(c.found, analyses.AnalyzeStraightLineMovement(trajectory, NATrajectory::Slot(118), 1,
                                                                Vector3D<float>(0, 0, 0), 0, Vector3D<float>(), 400,
                                                                segmentSlot, line));
        if (c.found != 0) {
            EXPECT_EQ(NATrajectory::Slot(107), segmentSlot);
        }
    }
}

TEST(StraightLinesGestureRecognizer, VelocityWalk) {
    const Line3D<float> line(Vector3D<float>(0, 0, 1000), Vector3D<float>(0, 0, -1));
    struct Case {
        const char* what;
        unsigned first;  // frames first .. 150 stored
        std::function<void(NATrajectory&)> tweak;
        int deviation;
        unsigned furthestFrame;
        float velocityAtFurthest, maxParallel;
    } cases[] = {
        {"along the line throughout", 101, nullptr, 0, 150, 0.0f, 400.0f},
        {"one sample against the line", 101,
         [](NATrajectory& t) { t.m_velocities[NATrajectory::Slot(146)] = Vector3D<float>(0, 0, 100); }, 1, 146, -100.0f,
         400.0f},
        // Tolerated, but remembered as the furthest point.
        {"one sample sideways is tolerated", 101,
         [](NATrajectory& t) { t.m_velocities[NATrajectory::Slot(146)] = Vector3D<float>(400, 0, -100); }, 0, 146,
         100.0f, 400.0f},
        {"three sideways in a row", 101,
         [](NATrajectory& t) {
             for (unsigned f = 144; f <= 146; ++f) t.m_velocities[NATrajectory::Slot(f)] = Vector3D<float>(400, 0, -100);
         },
         1, 146, 100.0f, 400.0f},
        {"still samples pass", 101,
         [](NATrajectory& t) {
             for (unsigned f = 101; f <= 150; ++f) t.m_velocities[NATrajectory::Slot(f)] = Vector3D<float>(0, 0, 0);
         },
         0, 150, 0.0f, 0.0f},
        // Six empty slots at the end of the walk.
        {"empty slots at the end", 132, nullptr, 1, 150, 0.0f, 400.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NATrajectory trajectory;
        for (unsigned f = c.first; f <= 150; ++f) {
            trajectory.UpdateNewPosition(TowardSensor(f), f, FrameTime(f));
            trajectory.m_velocities[NATrajectory::Slot(f)] = Vector3D<float>(0, 0, -400);
        }
        if (c.tweak) {
            c.tweak(trajectory);
        }
        LineAnalyses analyses;
        Line3D<float> walked = line;
        float atFurthest = -1, maxParallel = -1, maxPerpendicular = -1;
        int deviation = -1, furthest = -1;
        analyses.AnalyzeVelocityAlongLine(trajectory, NATrajectory::Slot(150), walked, atFurthest, maxParallel,
                                          maxPerpendicular, deviation, furthest);
        EXPECT_EQ(c.deviation, deviation);
        EXPECT_EQ(NATrajectory::Slot(c.furthestFrame), furthest);
        EXPECT_FLOAT_EQ(c.velocityAtFurthest, atFurthest);
        EXPECT_FLOAT_EQ(c.maxParallel, maxParallel);
    }
}

TEST(StraightLinesGestureRecognizer, PauseNeedsMoreThanThirtyMilliseconds) {
    // Fast along x, then two still samples whose time apart varies, then
    // fast again.
    struct Case {
        int64_t stillFor;  // us between the two still samples
        int found;
    } cases[] = {{0, 0}, {30000, 0}, {30001, 1}, {100000, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stillFor);
        NATrajectory trajectory;
        int64_t t = 1000000;
        float x = 0;
        for (unsigned f = 101; f <= 110; ++f) {
            const bool still = f == 106;
            t += still ? c.stillFor : 33333;
            x += still ? 1.0f : 40.0f;
            trajectory.UpdateNewPosition(Vector3D<float>(x, 0, 1500), f, SensorTime(t));
        }
        LineAnalyses analyses;
        int start = -1, end = -1;
        EXPECT_EQ(c.found, analyses.IdentifyPause(trajectory, NATrajectory::Slot(106), 800.0f, 0, Vector3D<float>(), 0,
                                                  Vector3D<float>(), start, end));
        if (c.found != 0) {
            EXPECT_EQ(NATrajectory::Slot(105), start);
            EXPECT_EQ(NATrajectory::Slot(106), end);
        } else {
            EXPECT_EQ(-1, start);
        }
    }
}

TEST(StraightLinesGestureRecognizer, PauseGrowsBothWaysWithinItsExtent) {
    // A slow drift of 20 mm per frame around the centre: a slow sample every
    // way until the window would pass 100 mm.
    NATrajectory trajectory;
    for (unsigned f = 101; f <= 130; ++f) {
        trajectory.UpdateNewPosition(Vector3D<float>(20.0f * f, 0, 1500), f, FrameTime(f));
    }
    LineAnalyses analyses;
    int start = -1, end = -1;
    // 600 mm/s against a scale of 2000: 0.3, slow.
    ASSERT_EQ(1, analyses.IdentifyPause(trajectory, NATrajectory::Slot(115), 2000.0f, 0, Vector3D<float>(), 0,
                                        Vector3D<float>(), start, end));
    const float extent = (trajectory.m_positions[end] - trajectory.m_positions[start]).Magnitude();
    EXPECT_LE(extent, 100.0f);
    EXPECT_GE(extent, 80.0f);
    EXPECT_LT(start, NATrajectory::Slot(115));
    EXPECT_GT(end, NATrajectory::Slot(115));
    // Measured across the drift it is still everywhere, but the extent still
    // bounds it.
    ASSERT_EQ(1, analyses.IdentifyPause(trajectory, NATrajectory::Slot(115), 10.0f, 1, Vector3D<float>(0, 1, 0), 1,
                                        Vector3D<float>(0, 1, 0), start, end));
    EXPECT_LE((trajectory.m_positions[end] - trajectory.m_positions[start]).Magnitude(), 100.0f);
    // Fast against the scale: the centre alone, too short.
    EXPECT_EQ(0, analyses.IdentifyPause(trajectory, NATrajectory::Slot(115), 100.0f, 0, Vector3D<float>(), 0,
                                        Vector3D<float>(), start, end));
}

TEST(StraightLinesGestureRecognizer, SettingsFromTheIni) {
    vela_test::TempDir dir;
    const std::string ini = dir.Path() + "/HandAlgorithms.ini";
    {
        FILE* f = fopen(ini.c_str(), "w");
        ASSERT_NE(nullptr, f);
        fputs("[FocusRecognizer]\nMaxAllowedSTDForLine=20\nMaxAllowedDeviationFromLine=60\nMaxAllowedAngleCos=0.9\n"
              "MinDistForBackwardsMovement=5\nMinThresholdOnVelocity=0.25\n",
              f);
        fclose(f);
    }
    LineAnalyses analyses;
    EXPECT_EQ(1, analyses.ReadParameters(ini, 0, 0));
    EXPECT_EQ(0.85f, analyses.m_maxAllowedAngleCos);
    EXPECT_EQ(1, analyses.Initialize(ini, 0));
    EXPECT_EQ(20.0f, analyses.m_maxAllowedSTDForLine);
    EXPECT_EQ(60, analyses.m_maxAllowedDeviationFromLine);
    EXPECT_EQ(0.9f, analyses.m_maxAllowedAngleCos);
    EXPECT_EQ(5, analyses.m_minDistForBackwardsMovement);
    EXPECT_EQ(0.25f, analyses.m_minThresholdOnVelocity);
    EXPECT_EQ(25, analyses.m_lookBackFrames);
    LineAnalyses defaults;
    EXPECT_EQ(1, defaults.Initialize(dir.Path() + "/missing.ini", 0));
    EXPECT_EQ(17.0f, defaults.m_maxAllowedSTDForLine);
    EXPECT_EQ(0.5f, defaults.m_minThresholdOnVelocity);
}

}  // namespace
