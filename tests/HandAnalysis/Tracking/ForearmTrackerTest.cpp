// The forearm direction detector and tracker: candidates on painted
// forearms (spread, other hands' pixels, the walking step, a flipped
// forearm), the turn toward measurements, and tracking on rendered frames
// of a raised hand and of a hand held out toward the camera.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZForearmTracker.h"
#include "HandCameraSession.h"
#include "HandScenes.h"

namespace {

using hand_test_kit::FixtureFrame;
using hand_test_kit::ToVector;
using vela::scene::Joint;

constexpr float kDegree = 0.017453292f;

float AngleBetween(const Vector3D<float>& a, const Vector3D<float>& b) {
    const float c = a.Dot(b) / (a.Magnitude() * b.Magnitude());
    return std::acos(std::max(-1.0f, std::min(1.0f, c))) / kDegree;
}

// A hand at (0, 0, 1000) mm before a wall at 2500, painted by each test.
class ForearmFixture : public ::testing::Test {
protected:
    explicit ForearmFixture(int width = 320) : m_frame(width, width * 3 / 4) {
        m_detector.Initialize("", 0);
        hand_test_kit::PaintPlane(m_frame.Depth(), 2500);
    }
    // A flat strip of forearm, 70 mm wide, at depth z from the hand's centre
    // toward (dx, dy) for length mm.
    void Strip(float dx, float dy, float length, float z = 1000.0f) {
        const float x1 = dx * length, y1 = dy * length;
        const float halfX = dx != 0.0f ? 0.0f : 35.0f, halfY = dy != 0.0f ? 0.0f : 35.0f;
        hand_test_kit::PaintBox(m_frame.Depth(), m_frame.Converter(),
                                Box3D<float>(Vector3D<float>(std::min(0.0f, x1) - halfX, std::min(0.0f, y1) - halfY, z),
                                             Vector3D<float>(std::max(0.0f, x1) + halfX, std::max(0.0f, y1) + halfY, z + 1)));
    }
    void Palm() {
        hand_test_kit::HandFixture palm;
        palm.center = kHand;
        hand_test_kit::PaintHand(m_frame.Depth(), m_frame.Converter(), palm);
    }
    int Run(const DUZHandPartition* partition = nullptr) {
        m_frame.UpdateShift();
        m_flipped = -1;
        m_direction = Vector3D<float>(9, 9, 9);
        return m_detector.Run(m_frame.Container(), partition, m_hand, 1, m_direction, m_flipped, m_flippedHand);
    }

    const Vector3D<float> kHand = Vector3D<float>(0, 0, 1000);
    Vector3D<float> m_hand = kHand;
    FixtureFrame m_frame;
    DUZForearmDirectionDetector m_detector;
    Vector3D<float> m_direction;
    int m_flipped = 0;
    Vector3D<float> m_flippedHand;
};

TEST_F(ForearmFixture, ANarrowForearmGivesTheDirectionTowardTheHand) {
    Palm();
    Strip(1, 0, 300);  // from the right of the image
    ASSERT_EQ(1, Run());
    EXPECT_EQ(0, m_flipped);
    EXPECT_LT(AngleBetween(Vector3D<float>(-1, 0, 0), m_direction), 1.0f) << m_direction;
    EXPECT_EQ(1, m_detector.m_boundaryInfos[0].m_valid);
    EXPECT_EQ(1, m_detector.m_boundaryInfos[0].m_smooth);
    EXPECT_EQ(0, m_detector.m_boundaryInfos[8].m_valid);  // the wall is out of the depth band

    // On a surface wider than 100 mm on both sides of the ray end: none.
    hand_test_kit::PaintBox(m_frame.Depth(), m_frame.Converter(),
                            Box3D<float>(Vector3D<float>(60, -200, 1010), Vector3D<float>(400, 200, 1011)));
    EXPECT_EQ(0, Run());
    EXPECT_EQ(Vector3D<float>(9, 9, 9), m_direction);
}

TEST_F(ForearmFixture, CandidatesSpreadOverMoreThanAQuarterTurnGiveNoMeasurement) {
    Palm();
    Strip(1, 0, 300);
    Strip(-1, 0, 300);
    EXPECT_EQ(0, Run());
    EXPECT_EQ(1, m_detector.m_boundaryInfos[0].m_valid);
    EXPECT_EQ(1, m_detector.m_boundaryInfos[16].m_valid);
}

TEST_F(ForearmFixture, ARayEndOfAnotherHandIsNoCandidate) {
    Palm();
    Strip(0, -1, 300);  // hanging below the hand
    DUZHandPartition partition;
    partition.Initialize(m_frame.Depth(), "", 0);
    partition.m_valid = 1;
    partition.m_partitionBox = Box2D<int>(0, 0, 319, 239);
    for (const int owner : {2, 0, -1, 1}) {
        SCOPED_TRACE(owner);
        std::fill(partition.m_partitionMap.Data(), partition.m_partitionMap.Data() + partition.m_partitionMap.Size(),
                  owner);
        EXPECT_EQ(owner == 2 ? 0 : 1, Run(&partition));
    }
    // The first of the equally near rays, one ray beside straight down.
    EXPECT_NEAR(11.25f, AngleBetween(Vector3D<float>(0, 1, 0), m_direction), 0.1f) << m_direction;
    partition.m_valid = 0;
    std::fill(partition.m_partitionMap.Data(), partition.m_partitionMap.Data() + partition.m_partitionMap.Size(), 2);
    EXPECT_EQ(1, Run(&partition));
}

// A one-pixel row without depth across the forearm just below the hand's
// row: the walk at 320x240 steps onto it (a gap, then a jump back: no
// candidate), the one at 640x480 steps over it.
TEST(ForearmWalk, StepsTwoPixelsAt640x480AndOneElsewhere) {
    for (const int width : {320, 640}) {
        SCOPED_TRACE(width);
        FixtureFrame frame(width, width * 3 / 4);
        hand_test_kit::PaintPlane(frame.Depth(), 2500);
        const Vector3D<float> hand(0, 0, 1000);
        hand_test_kit::PaintBox(frame.Depth(), frame.Converter(),
                                Box3D<float>(Vector3D<float>(-35, -300, 1000), Vector3D<float>(35, 40, 1001)));
        int column = 0, row = 0;
        frame.PixelOf(hand, column, row);
        hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(0, row + 1, width - 1, row + 1), 0);
        frame.UpdateShift();
        DUZForearmDirectionDetector detector;
        detector.Initialize("", 0);
        Vector3D<float> direction, flippedHand;
        int flipped = 0;
        EXPECT_EQ(width == 640 ? 1 : 0,
                  detector.Run(frame.Container(), nullptr, hand, 1, direction, flipped, flippedHand));
        EXPECT_EQ(width == 640 ? 1 : 0, detector.m_boundaryInfos[8].m_valid);
    }
}

// The tracked point sits 50 mm above the lower end of a forearm that rises
// 300 mm and ends free: the real hand is the upper end.
TEST_F(ForearmFixture, AForearmRisingToAFreeTipIsFlipped) {
    m_hand = Vector3D<float>(0, -250, 1000);
    auto forearm = [&](float top) {
        hand_test_kit::PaintPlane(m_frame.Depth(), 2500);
        hand_test_kit::PaintBox(m_frame.Depth(), m_frame.Converter(),
                                Box3D<float>(Vector3D<float>(-35, -300, 1000), Vector3D<float>(35, top, 1001)));
    };
    forearm(50);
    ASSERT_EQ(1, Run());
    ASSERT_EQ(1, m_flipped);
    // 100 mm back from the tip's edge.
    EXPECT_NEAR(0.0f, m_flippedHand.x, 8.0f);
    EXPECT_NEAR(-50.0f, m_flippedHand.y, 8.0f);
    EXPECT_EQ(1000.0f, m_flippedHand.z);
    EXPECT_LT(AngleBetween(Vector3D<float>(0, 1, 0), m_direction), 3.0f) << m_direction;
    EXPECT_LT(AngleBetween(Vector3D<float>(0, -1, 0), Vector3D<float>(m_detector.m_flipAxis.x, m_detector.m_flipAxis.y, 0)),
              3.0f);

    // The same forearm running on past 500 mm is long: no flip.
    forearm(450);
    ASSERT_EQ(1, Run());
    EXPECT_EQ(0, m_flipped);
    EXPECT_LT(AngleBetween(Vector3D<float>(0, -1, 0), m_direction), 12.0f) << m_direction;

    // A tracker told of a flip at its start refuses the start and goes on
    // from the tip.
    forearm(50);
    m_frame.UpdateShift();
    DUZForearmTracker tracker;
    tracker.Initialize("", 0);
    EXPECT_EQ(0, tracker.StartTracking(m_frame.Container(), nullptr, m_hand, 1));
    EXPECT_NEAR(-50.0f, tracker.m_lastHandPosition.y, 8.0f);
    EXPECT_LT(AngleBetween(Vector3D<float>(0, 1, 0), tracker.m_forearmDirection), 3.0f);
}

TEST_F(ForearmFixture, AHandBehindTheSensorMeasuresNothing) {
    Palm();
    Strip(1, 0, 300);
    m_frame.UpdateShift();
    for (const float z : {0.0f, -500.0f}) {
        EXPECT_EQ(0, m_detector.Run(m_frame.Container(), nullptr, Vector3D<float>(0, 0, z), 1, m_direction, m_flipped,
                                    m_flippedHand));
        EXPECT_EQ(Vector2D<float>(0, 0), m_detector.m_handPixel);
    }
}

// The forearm comes up from below and from nearer the sensor than the
// hand: the measurement points away from the sensor and is flattened; the
// first update after the start takes it whole (a 90 degree turn).
TEST_F(ForearmFixture, TheFirstUpdateTakesTheFlattenedMeasurement) {
    hand_test_kit::HandFixture hand;
    hand.center = kHand;
    hand.forearm = Vector3D<float>(0, 0.6f, 0.8f);
    hand_test_kit::PaintHand(m_frame.Depth(), m_frame.Converter(), hand);
    ASSERT_EQ(1, Run());
    EXPECT_GT(m_direction.z, 0.5f);
    DUZForearmTracker tracker;
    tracker.Initialize("", 0);
    m_frame.SetFrame(4, SensorTime(100000));
    ASSERT_EQ(1, tracker.StartTracking(m_frame.Container(), nullptr, kHand, 1));
    EXPECT_LT(AngleBetween(Vector3D<float>(0, 1, 0), tracker.m_forearmDirection), 0.5f) << tracker.m_forearmDirection;
    EXPECT_EQ(0.0f, tracker.m_forearmDirection.z);
    EXPECT_EQ(SensorTime(100000), tracker.m_lastUpdateTime);

    // Nothing to measure: the direction stays; the start keeps (0, 0, -1).
    hand_test_kit::PaintPlane(m_frame.Depth(), 2500);
    m_frame.UpdateShift();
    ASSERT_EQ(1, tracker.StartTracking(m_frame.Container(), nullptr, kHand, 1));
    EXPECT_EQ(Vector3D<float>(0, 0, -1), tracker.m_forearmDirection);
}

TEST(ForearmTurn, HalfTheAngleAtMost30DegreesPerFrame) {
    DUZForearmTracker tracker;
    tracker.Initialize("", 0);
    const Vector3D<float> start(0, 0, -1);
    const struct {
        const char* name;
        Vector3D<float> measured;
        std::vector<float> remaining;  // degrees to the measurement after each turn
    } cases[] = {
        {"90 degrees away", Vector3D<float>(1, 0, 0), {60, 30, 15, 7.5f}},
        {"20 degrees away", Vector3D<float>(std::sin(20 * kDegree), 0, -std::cos(20 * kDegree)), {10, 5}},
        {"opposite", Vector3D<float>(0, 0, 1), {150, 120}},
        {"the same", start, {0}},
    };
    for (const auto& c : cases) {
        tracker.SetForearmDirection(start);
        for (size_t k = 0; k < c.remaining.size(); ++k) {
            tracker.UpdateForearmDirection(c.measured);
            EXPECT_NEAR(c.remaining[k], AngleBetween(c.measured, tracker.m_forearmDirection), 0.05f)
                << c.name << ", turn " << k + 1;
            EXPECT_NEAR(1.0f, tracker.m_forearmDirection.Magnitude(), 1e-5f) << c.name;
        }
    }
}

TEST(ForearmTurn, AMovingHandPivotsTheDirectionAboutTheElbow) {
    DUZForearmTracker tracker;
    tracker.Initialize("", 0);
    NADepthMapContainer frame;
    tracker.SetForearmDirection(Vector3D<float>(0, 1, 0));
    tracker.m_lastHandPosition = Vector3D<float>(0, 0, 1000);
    tracker.ComputePrediction(frame, Vector3D<float>(300, 0, 1000));  // no update yet: nothing
    EXPECT_EQ(Vector3D<float>(0, 1, 0), tracker.m_forearmDirection);
    tracker.m_lastUpdateTime = SensorTime(0);
    // The elbow 300 mm below: the forearm leans 45 degrees; half of it.
    tracker.ComputePrediction(frame, Vector3D<float>(300, 0, 1000));
    EXPECT_NEAR(22.5f, AngleBetween(Vector3D<float>(0, 1, 0), tracker.m_forearmDirection), 0.05f);
    EXPECT_GT(tracker.m_forearmDirection.x, 0.3f);
}

TEST(ForearmOnCamera, TheTrackedDirectionFollowsTheForearmOfAMovingHand) {
    hand_test_kit::CameraSession session;
    // Still until 0.2 s, then 300 mm to the side by 1.1 s.
    const std::string scene = hand_scenes::Room(
        hand_scenes::Person(hand_scenes::kRaisedRightArm, "  at 0 pos=0,1800\n  at 0.2 pos=0,1800\n  at 1.1 pos=300,1800\n",
                            " walk=off"),
        "frames count=36\n");
    ASSERT_TRUE(session.OpenScene(scene, 320, 240)) << session.Error();
    hand_scenes::SessionContainer frame(session);
    DUZForearmTracker tracker;
    ASSERT_EQ(1, tracker.Initialize("", 0));
    float firstX = 0.0f, lastX = 0.0f;
    for (int n = 1; n <= 36; ++n) {
        ASSERT_TRUE(frame.Next());
        const Vector3D<float> hand = ToVector(session.Hand(0, vela::scene::kRight).centroid);
        Vector3D<float> truth = ToVector(session.Joint(0, Joint::RightHand)) - ToVector(session.Joint(0, Joint::RightElbow));
        truth.z = std::min(truth.z, 0.0f);
        if (n == 1) {
            ASSERT_EQ(1, tracker.StartTracking(frame.Container(), nullptr, hand, 1));
            firstX = hand.x;
        } else {
            int flipped = 1;
            Vector3D<float> flippedHand;
            tracker.Update(frame.Container(), nullptr, hand, 1, flipped, flippedHand);
            EXPECT_EQ(0, flipped);
        }
        lastX = hand.x;
        if (n >= 3) {
            EXPECT_LT(AngleBetween(truth, tracker.m_forearmDirection), 20.0f)
                << "frame " << n << ": " << tracker.m_forearmDirection << " for " << truth.Normalized();
        }
    }
    EXPECT_GT(std::fabs(lastX - firstX), 250.0f);
}

TEST(ForearmOnCamera, AHandHeldOutTowardTheCameraPointsAtTheSensor) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene(hand_scenes::Room(hand_scenes::Person("right_arm=0,70,0,40")), 320, 240))
        << session.Error();
    hand_scenes::SessionContainer frame(session);
    ASSERT_TRUE(frame.Next());
    const Vector3D<float> hand = ToVector(session.Hand(0, vela::scene::kRight).centroid);
    DUZForearmDirectionDetector detector;
    detector.Initialize("", 0);
    Vector3D<float> direction, flippedHand;
    int flipped = 0;
    ASSERT_EQ(1, detector.Run(frame.Container(), nullptr, hand, 1, direction, flipped, flippedHand));
    EXPECT_LT(AngleBetween(-hand, direction), 0.1f) << direction;
    EXPECT_EQ(0, flipped);
}

}  // namespace
