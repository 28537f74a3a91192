#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "HandAnalysis/DUZMovingHandCandidateGestureRecognizer.h"
#include "HandAnalysis/DUZRaiseHandGestureRecognizer.h"
#include "TempDir.h"

namespace {

// Frames first .. last stored in order, frame i at position(i).
void StoreFocusFrames(NATrajectory& trajectory, int first, int last,
                      const std::function<Vector3D<float>(int)>& position) {
    for (int i = first; i <= last; ++i) {
        trajectory.UpdateNewPosition(position(i), static_cast<unsigned>(i), SensorTime(int64_t{i} * 33333));
    }
}

Vector3D<float> AlternatingX(int i, float amplitude) {
    return Vector3D<float>(i % 2 == 0 ? -amplitude : amplitude, 200, 1800);
}

TEST(FocusRecognizers, RaiseHandAndMovingCandidateOnTrajectories) {
    DUZRaiseHandGestureRecognizer raise;
    DUZMovingHandCandidateGestureRecognizer moving;
    struct Case {
        const char* what;
        int first, last;  // frames stored in order
        std::function<Vector3D<float>(int)> position;
        int frameId;  // the frame asked about
        int hasForearm;
        std::function<void(NATrajectory&)> tweak;
        GestureStatus raiseStatus, movingStatus;
    } cases[] = {
        {"no forearm", 101, 130, [](int i) { return AlternatingX(i, 100); }, 130, 0, nullptr, GESTURE_STATUS_NONE,
         GESTURE_STATUS_NONE},
        {"not tracked in this frame", 101, 130, [](int i) { return AlternatingX(i, 100); }, 131, 1, nullptr,
         GESTURE_STATUS_NONE, GESTURE_STATUS_NONE},
        {"14 samples", 117, 130, [](int i) { return AlternatingX(i, 300); }, 130, 1, nullptr, GESTURE_STATUS_COMPLETED,
         GESTURE_STATUS_NONE},
        {"15 samples", 116, 130, [](int i) { return AlternatingX(i, 300); }, 130, 1, nullptr, GESTURE_STATUS_COMPLETED,
         GESTURE_STATUS_IN_PROGRESS},
        {"spread 100", 101, 130, [](int i) { return AlternatingX(i, 100); }, 130, 1, nullptr, GESTURE_STATUS_COMPLETED,
         GESTURE_STATUS_IN_PROGRESS},
        {"spread exactly 80", 101, 130, [](int i) { return AlternatingX(i, 80); }, 130, 1, nullptr,
         GESTURE_STATUS_COMPLETED, GESTURE_STATUS_NONE},
        {"still hand", 101, 130,
         [](int i) { return Vector3D<float>(static_cast<float>(i % 3), 200, 1800 + static_cast<float>(i % 5)); }, 130,
         1, nullptr, GESTURE_STATUS_COMPLETED, GESTURE_STATUS_NONE},
        {"a newer frame behind an older one", 101, 130, [](int i) { return AlternatingX(i, 100); }, 130, 1,
         [](NATrajectory& t) { t.m_frameIds[NATrajectory::Slot(120)] = 125; }, GESTURE_STATUS_COMPLETED,
         GESTURE_STATUS_NONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DUZFocusGestureTrajectory trajectory(false);
        StoreFocusFrames(trajectory, c.first, c.last, c.position);
        if (c.tweak) {
            c.tweak(trajectory);
        }
        Vector3D<float> position(0, 0, 0);
        EXPECT_EQ(c.raiseStatus, raise.Run(trajectory, c.frameId, position, c.hasForearm, 1));
        const Vector3D<float> expected =
            c.raiseStatus == GESTURE_STATUS_COMPLETED ? c.position(c.frameId) : Vector3D<float>(0, 0, 0);
        EXPECT_EQ(expected, position);
        position = Vector3D<float>(0, 0, 0);
        EXPECT_EQ(c.movingStatus, moving.Run(trajectory, c.frameId, position, c.hasForearm, 1));
        const Vector3D<float> movingExpected =
            c.movingStatus == GESTURE_STATUS_IN_PROGRESS ? c.position(c.frameId) : Vector3D<float>(0, 0, 0);
        EXPECT_EQ(movingExpected, position);
        // Neither writes into the trajectory.
        EXPECT_EQ(c.last, trajectory.m_latestFrameId);
        for (int type = 0; type < DUZFocusGestureTrajectory::kGestureTypes; ++type) {
            EXPECT_EQ(GESTURE_STATUS_NONE, trajectory.m_gestureStatus[type]);
        }
    }
}

TEST(FocusRecognizers, FullRingInOrderAcceptsTheMaximumPlusOneSamples) {
    DUZMovingHandCandidateGestureRecognizer moving;
    // 90 still frames in order, one of them far off: it moves the spread
    // only when it is among the samples taken.
    for (int far : {30, 29}) {
        DUZFocusGestureTrajectory trajectory(false);
        StoreFocusFrames(trajectory, 1, 90,
                         [far](int i) { return Vector3D<float>(i == far ? 5000.0f : 0.0f, 200, 1800); });
        Vector3D<float> position;
        const GestureStatus expected = far == 30 ? GESTURE_STATUS_IN_PROGRESS : GESTURE_STATUS_NONE;
        EXPECT_EQ(expected, moving.Run(trajectory, 90, position, 1, 0)) << "far frame " << far;
    }
}

TEST(FocusRecognizers, TypesForearmAndSettings) {
    DUZRaiseHandGestureRecognizer raise;
    DUZMovingHandCandidateGestureRecognizer moving;
    EXPECT_EQ(GESTURE_RAISE_HAND, raise.GetType());
    EXPECT_EQ(GESTURE_MOVING_HAND_CANDIDATE, moving.GetType());
    EXPECT_EQ(1, raise.RequiresForearm());
    EXPECT_EQ(1, moving.RequiresForearm());
    EXPECT_EQ(1, moving.m_active);
    EXPECT_EQ(Vector3D<float>(0, 0, 0), moving.m_bounds.max);

    vela_test::TempDir dir;
    const std::string ini = dir.File("Focus.ini");
    vela_test::WriteWholeFile(ini,
                              "[FocusRecognizer]\nMinFrameForMotionGesture=20\nMaxFrameForMotionGesture=40\n"
                              "StdThresholdMotionGesture=55.5\n");
    EXPECT_EQ(1, moving.Initialize(ini, 0));
    EXPECT_EQ(20, moving.m_minFrameForMotionGesture);
    EXPECT_EQ(40, moving.m_maxFrameForMotionGesture);
    EXPECT_FLOAT_EQ(55.5f, moving.m_stdThresholdMotionGesture);
    // A later re-read changes nothing.
    moving.m_minFrameForMotionGesture = 3;
    EXPECT_EQ(1, moving.ReadParameters(ini, 0, 0));
    EXPECT_EQ(3, moving.m_minFrameForMotionGesture);
    EXPECT_EQ(1, raise.Initialize(ini, 0));
}

}  // namespace
