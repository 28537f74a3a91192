// The 90-slot trajectory ring: slots by frame id, velocities from the
// nearest filled slot at most 5 back, and its text form.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../OSLayer/XnLogTestWriter.h"
#include "NACommon/NATrajectory.h"

namespace {

constexpr int64_t kFrame = 33333;  // us
const Vector3D<float> kUnset(NATrajectory::kUnsetVelocity, NATrajectory::kUnsetVelocity,
                             NATrajectory::kUnsetVelocity);

Vector3D<float> PositionOf(uint32_t frame) {
    return Vector3D<float>(10.0f * frame, -2.5f * frame, 1500.0f + 0.5f * frame);
}
SensorTime TimeOf(uint32_t frame) { return SensorTime(kFrame * frame); }

// The raw difference quotient from frame a's sample to frame b's.
Vector3D<float> Quotient(uint32_t a, SensorTime ta, uint32_t b, SensorTime tb) {
    const float k = 1.0f / (static_cast<float>(static_cast<int64_t>(tb) - static_cast<int64_t>(ta)) * 1e-6f);
    return (PositionOf(b) - PositionOf(a)) * k;
}

void ExpectVelocity(const Vector3D<float>& expected, const Vector3D<float>& actual) {
    EXPECT_FLOAT_EQ(expected.x, actual.x);
    EXPECT_FLOAT_EQ(expected.y, actual.y);
    EXPECT_FLOAT_EQ(expected.z, actual.z);
}

struct Store {
    uint32_t frame;
    SensorTime time;
};

struct Case {
    const char* name;
    std::vector<Store> stores;  // each followed by UpdateVelocity of its frame
    int slot;                   // the slot looked at
    uint32_t slotFrame;         // the frame it then holds
    Vector3D<float> velocity;   // its velocity
    int32_t latest;
};

TEST(NATrajectory, SlotsAndVelocities) {
    const Vector3D<float> v100to103 = Quotient(100, TimeOf(100), 103, TimeOf(103));
    const Vector3D<float> v10to101 = Quotient(10, TimeOf(10), 101, TimeOf(101));
    const std::vector<Case> cases = {
        {"a single frame has no earlier sample", {{100, TimeOf(100)}}, 10, 100, kUnset, 100},
        {"three frames back is near enough", {{100, TimeOf(100)}, {103, TimeOf(103)}}, 13, 103, v100to103, 103},
        {"six frames back is too far", {{100, TimeOf(100)}, {106, TimeOf(106)}}, 16, 106, kUnset, 106},
        {"frame 190 takes frame 100's slot", {{100, TimeOf(100)}, {190, TimeOf(190)}}, 10, 190, kUnset, 190},
        {"frame 0 is never an earlier sample", {{0, TimeOf(0)}, {1, TimeOf(1)}}, 1, 1, kUnset, 1},
        {"the last store is the latest, not the largest", {{60, TimeOf(60)}, {50, TimeOf(50)}}, 50, 50, kUnset, 50},
        {"a slot of an earlier lap counts as filled", {{10, TimeOf(10)}, {101, TimeOf(101)}}, 11, 101, v10to101, 101},
        {"equal times give no velocity", {{100, TimeOf(100)}, {101, TimeOf(100)}}, 11, 101, kUnset, 101},
        {"a time going back gives no velocity", {{100, TimeOf(100)}, {101, TimeOf(40)}}, 11, 101, kUnset, 101},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NATrajectory trajectory;
        for (const Store& s : c.stores) {
            trajectory.UpdateNewPosition(PositionOf(s.frame), s.frame, s.time);
            trajectory.UpdateVelocity(s.frame);
        }
        EXPECT_EQ(c.slotFrame, trajectory.m_frameIds[c.slot]);
        EXPECT_EQ(PositionOf(c.slotFrame), trajectory.m_positions[c.slot]);
        ExpectVelocity(c.velocity, trajectory.m_velocities[c.slot]);
        EXPECT_EQ(c.latest, trajectory.m_latestFrameId);
        // An earlier slot whose velocity was unset stays so.
        if (c.stores.size() == 2) {
            EXPECT_EQ(kUnset, trajectory.m_velocities[NATrajectory::Slot(c.stores[0].frame)]) << c.stores[0].frame;
        }
    }
}

TEST(NATrajectory, AnEarlierVelocityBecomesTheMeanOfBothDifferences) {
    NATrajectory trajectory;
    for (uint32_t frame : {99u, 100u, 103u}) {
        trajectory.UpdateNewPosition(PositionOf(frame), frame, TimeOf(frame));
        trajectory.UpdateVelocity(frame);
    }
    const Vector3D<float> backward = Quotient(99, TimeOf(99), 100, TimeOf(100));
    const Vector3D<float> forward = Quotient(100, TimeOf(100), 103, TimeOf(103));
    ExpectVelocity((backward + forward) * 0.5f, trajectory.m_velocities[10]);
    ExpectVelocity(forward, trajectory.m_velocities[13]);
    // A sample whose time does not advance leaves the earlier slot alone.
    trajectory.UpdateNewPosition(PositionOf(104), 104, TimeOf(103));
    trajectory.UpdateVelocity(104);
    ExpectVelocity(forward, trajectory.m_velocities[13]);
    EXPECT_EQ(kUnset, trajectory.m_velocities[14]);
}

TEST(NATrajectory, ResetEmptiesEverySlot) {
    NATrajectory trajectory;
    trajectory.UpdateNewPosition(PositionOf(5), 5, TimeOf(5));
    trajectory.m_startFrameId = 5;
    trajectory.m_startPosition = PositionOf(5);
    trajectory.Reset();
    for (int i = 0; i < NATrajectory::kLength; ++i) {
        EXPECT_EQ(0u, trajectory.m_frameIds[i]);
        EXPECT_EQ(SensorTime(0), trajectory.m_times[i]);
        EXPECT_EQ(Vector3D<float>(0, 0, 0), trajectory.m_positions[i]);
        EXPECT_EQ(kUnset, trajectory.m_velocities[i]);
    }
    EXPECT_EQ(-1, trajectory.m_latestFrameId);
    EXPECT_EQ(-1, trajectory.m_startFrameId);
    EXPECT_EQ(Vector3D<float>(0, 0, 0), trajectory.m_startPosition);
}

class NATrajectoryLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(XN_STATUS_OK, m_writer.Register());
        m_writer.Clear();
        xnLogSetMaskMinSeverity("GestureRecognizer", XN_LOG_VERBOSE);
    }
    void TearDown() override {
        m_writer.Unregister();
        xnLogSetMaskMinSeverity("GestureRecognizer", XN_LOG_SEVERITY_NONE);
        NALogger::GetInstance().SetEnabled(0);
    }

    vela_test::CapturingLogWriter m_writer;
};

TEST_F(NATrajectoryLogTest, FramesFromTheOldestUpToButNotIncludingTheLatest) {
    NATrajectory trajectory;
    for (uint32_t frame = 5; frame <= 9; ++frame) {
        trajectory.UpdateNewPosition(Vector3D<float>(1.5f * frame, 2, 3), frame, TimeOf(frame));
        trajectory.UpdateVelocity(frame);
    }
    NALogger& logger = NALogger::GetInstance();
    trajectory.LogTrajectory(logger, "GestureRecognizer");
    EXPECT_TRUE(m_writer.m_texts.empty()) << "written with the logger disabled";

    logger.SetEnabled(1);
    trajectory.LogTrajectory(logger, "GestureRecognizer");
    ASSERT_EQ(6u, m_writer.m_texts.size());
    EXPECT_EQ("GestureRecognizer (0): Trajectory printout: ", m_writer.m_texts[0]);
    EXPECT_EQ("GestureRecognizer (0): I: 5 F: 5 Pos: 7.5 2 3, Velocity: 9999 9999 9999\t", m_writer.m_texts[1]);
    EXPECT_EQ("GestureRecognizer (0): I: 6 F: 6 Pos: 9 2 3, Velocity: 45.0005 0 0\t", m_writer.m_texts[2]);
    EXPECT_EQ(0u, m_writer.m_texts[4].find("GestureRecognizer (0): I: 8 F: 8 Pos: 12 2 3"));
    EXPECT_EQ("GestureRecognizer (0): \n", m_writer.m_texts[5]);

    // Another mask's setting decides for that mask; an empty ring writes the
    // first and the last message only.
    m_writer.Clear();
    trajectory.LogTrajectory(logger, "FocusTracker");
    EXPECT_TRUE(m_writer.m_texts.empty());
    NATrajectory empty;
    empty.LogTrajectory(logger, "GestureRecognizer");
    ASSERT_EQ(2u, m_writer.m_texts.size());
}

}  // namespace
