#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "FocusTestSupport.h"
#include "HandAnalysis/DUZTrackedObject.h"

namespace {

using focus_test::PaintedRing;
using focus_test::PaintHandScene;
using hand_test_kit::FixtureFrame;

// The hand of frame f: 1 m away, moving right by 4 mm a frame.
Vector3D<float> CandidateHandAt(uint32_t f) { return Vector3D<float>(4.0f * (static_cast<float>(f) - 95.0f), 0, 1000); }

void PaintCandidateFrame(FixtureFrame& frame, uint32_t f) { PaintHandScene(frame, CandidateHandAt(f)); }
void PaintWallOnly(FixtureFrame& frame) { hand_test_kit::PaintPlane(frame.Depth(), 3000); }

// The frames a trajectory holds, newest first.
std::vector<uint32_t> StoredFrames(const NATrajectory& trajectory) {
    std::vector<uint32_t> ids;
    for (uint32_t id : trajectory.m_frameIds) {
        if (id != 0) {
            ids.push_back(id);
        }
    }
    std::sort(ids.rbegin(), ids.rend());
    return ids;
}

class TrackedObjectTest : public ::testing::Test {
protected:
    TrackedObjectTest()
        : m_ring(m_frame), m_object(m_ring.Slots(), PaintedRing::kSize, nullptr, 0, 4500, m_frame.MaxShift()) {
        EXPECT_EQ(1, m_object.Initialize(7, "", 0));
    }

    // Starts the object at frame f (stored into the ring) at the hand's true
    // position.
    void Start(uint32_t f) {
        NADepthMapContainer& frame = m_ring.Store(f, [f](FixtureFrame& x) { PaintCandidateFrame(x, f); });
        m_object.StartTracking(frame, m_ring.Slots(), PaintedRing::kSize, CandidateHandAt(f), 3, 1);
    }

    FixtureFrame m_frame{160, 120};
    PaintedRing m_ring;
    DUZTrackedObject m_object;
};

TEST_F(TrackedObjectTest, StartAtFrameOneRunsNoBackwardRunAndAtFrameTwoAddsFrameOne) {
    Start(1);
    EXPECT_EQ(std::vector<uint32_t>{1}, StoredFrames(m_object.m_trajectory));
    EXPECT_EQ(3u, m_object.m_tracker.m_id);
    EXPECT_EQ(1, m_object.m_hasForearm);
    m_object.Reset();
    m_ring.Store(1, [](FixtureFrame& x) { PaintCandidateFrame(x, 1); });
    Start(2);
    EXPECT_EQ((std::vector<uint32_t>{2, 1}), StoredFrames(m_object.m_trajectory));
    EXPECT_EQ(2, m_object.m_trajectory.m_latestFrameId);
    EXPECT_EQ(2, m_object.m_trajectory.m_startFrameId);
}

TEST_F(TrackedObjectTest, BackwardRunStopsAtAGapInFrameIds) {
    for (uint32_t f = 93; f <= 99; ++f) {
        m_ring.Store(f, [f](FixtureFrame& x) { PaintCandidateFrame(x, f); });
    }
    // Frame 89 in the slot of 97.
    m_ring.Store(89, [](FixtureFrame& x) { PaintCandidateFrame(x, 89); });
    Start(100);
    const DUZFocusGestureTrajectory& t = m_object.m_trajectory;
    EXPECT_EQ((std::vector<uint32_t>{100, 99, 98}), StoredFrames(t));
    EXPECT_EQ(100, t.m_latestFrameId);
    EXPECT_EQ(100, t.m_startFrameId);
    EXPECT_EQ(CandidateHandAt(100), t.m_startPosition);
    // Velocities in the order 98, 99, 100: 98 has no earlier sample, 99 is
    // the mean of its backward and forward differences, 100 its backward one.
    const Vector3D<float>* p = t.m_positions;
    const float dt = 33333 * 1e-6f;
    const Vector3D<float> into99 = (p[9] - p[8]) * (1.0f / dt);
    const Vector3D<float> into100 = (p[10] - p[9]) * (1.0f / dt);
    EXPECT_FALSE(NATrajectory::IsSetVelocity(t.m_velocities[8]));
    EXPECT_NEAR(into100.x, t.m_velocities[10].x, 1e-2f);
    const Vector3D<float> mean = (into99 + into100) * 0.5f;
    EXPECT_NEAR(mean.x, t.m_velocities[9].x, 1e-2f);
    EXPECT_NEAR(mean.z, t.m_velocities[9].z, 1e-2f);
    // The tracker continues from the candidate's position in the start frame.
    EXPECT_EQ(DUZHandTrackerBase::eTracking, m_object.m_tracker.m_state);
    EXPECT_EQ(CandidateHandAt(100), m_object.m_tracker.m_position);
    EXPECT_EQ(CandidateHandAt(100), m_object.m_tracker.m_predictor->m_position);
    EXPECT_EQ(focus_test::FrameTime(100), m_object.m_tracker.m_predictor->m_time);
    EXPECT_EQ(1, m_object.m_tracker.m_checkMotion);
    // No hand size during the start.
    EXPECT_EQ(0, t.m_numHandSizes);
}

TEST_F(TrackedObjectTest, BackwardRunStopsAtTheFirstLostFrame) {
    for (uint32_t f = 93; f <= 99; ++f) {
        m_ring.Store(f, [f](FixtureFrame& x) {
            if (f == 97) {
                PaintWallOnly(x);
            } else {
                PaintCandidateFrame(x, f);
            }
        });
    }
    Start(100);
    EXPECT_EQ((std::vector<uint32_t>{100, 99, 98}), StoredFrames(m_object.m_trajectory));
    EXPECT_EQ(DUZHandTrackerBase::eTracking, m_object.m_tracker.m_state);
}

TEST_F(TrackedObjectTest, FullRingAddsSevenFrames) {
    for (uint32_t f = 93; f <= 99; ++f) {
        m_ring.Store(f, [f](FixtureFrame& x) { PaintCandidateFrame(x, f); });
    }
    Start(100);
    EXPECT_EQ((std::vector<uint32_t>{100, 99, 98, 97, 96, 95, 94, 93}), StoredFrames(m_object.m_trajectory));
}

TEST_F(TrackedObjectTest, UpdatesExtendTheTrajectoryAndAnInactiveTrackerOnlyRaisesJustLost) {
    Start(100);
    NADepthMapContainer& next = m_ring.Store(101, [](FixtureFrame& x) { PaintCandidateFrame(x, 101); });
    m_object.Update(next, 1, nullptr, 0);
    const DUZFocusGestureTrajectory& t = m_object.m_trajectory;
    EXPECT_EQ(DUZHandTrackerBase::eTracking, m_object.m_tracker.m_state);
    EXPECT_EQ(101, t.m_latestFrameId);
    EXPECT_EQ(101u, t.m_frameIds[11]);
    EXPECT_TRUE(NATrajectory::IsSetVelocity(t.m_velocities[11]));
    EXPECT_EQ(1, t.m_numHandSizes);
    EXPECT_GT(t.m_handSizeAtSlot[11].x, 0.0f);
    EXPECT_EQ(0, t.m_justLost);
    // A hand too small to pass validation (a 3 x 3 patch) makes the tracker
    // inactive at once: nothing is stored for that frame.
    NADepthMapContainer& tiny = m_ring.Store(102, [](FixtureFrame& x) {
        PaintWallOnly(x);
        int column = 0, row = 0;
        x.PixelOf(CandidateHandAt(102), column, row);
        hand_test_kit::PaintRect(x.Depth(), Box2D<int>(column - 1, row - 1, column + 1, row + 1), 1000);
    });
    m_object.Update(tiny, 1, nullptr, 0);
    EXPECT_EQ(DUZHandTrackerBase::eInactive, m_object.m_tracker.m_state);
    EXPECT_EQ(1, t.m_justLost);
    EXPECT_EQ(0u, t.m_frameIds[12]);
    EXPECT_EQ(101, t.m_latestFrameId);
    // Reset frees the object with a new trajectory id.
    const int id = t.m_trajectoryId;
    m_object.Reset();
    EXPECT_EQ(0, t.m_justLost);
    EXPECT_NE(id, t.m_trajectoryId);
    EXPECT_EQ(DUZHandTrackerBase::eInactive, m_object.m_tracker.m_state);
}

TEST_F(TrackedObjectTest, LostTrackerAddsNothing) {
    Start(100);
    NADepthMapContainer& empty = m_ring.Store(101, [](FixtureFrame& x) { PaintWallOnly(x); });
    m_object.Update(empty, 1, nullptr, 0);
    EXPECT_EQ(DUZHandTrackerBase::eLost, m_object.m_tracker.m_state);
    EXPECT_EQ(100, m_object.m_trajectory.m_latestFrameId);
    EXPECT_EQ(0, m_object.m_trajectory.m_justLost);
}

}  // namespace
