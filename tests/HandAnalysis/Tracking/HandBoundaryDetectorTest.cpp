// The hand boundary detector: the decision on the closed arc, the ray walk
// on painted hands (other hands' pixels, holes, a hand behind the sensor),
// the text dump, and a rendered hand against a rendered torso.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandBoundaryDetector.h"
#include "HandAnalysis/DUZHandImageHelpers.h"
#include "HandCameraSession.h"
#include "HandScenes.h"

namespace {

using hand_test_kit::FixtureFrame;

// Validities from a 32-character pattern, '1' closed.
void SetClosed(DUZHandBoundaryDetector& detector, const std::string& pattern) {
    ASSERT_EQ(32u, pattern.size());
    for (size_t i = 0; i < 32; ++i) {
        detector.m_boundaryInfos[i].m_validity = pattern[i] == '1' ? 1 : 0;
    }
}

std::string Filled(const DUZHandBoundaryDetector& detector) {
    std::string filled;
    for (const auto& info : detector.m_boundaryInfos) {
        filled += info.m_filled != 0 ? '1' : '0';
    }
    return filled;
}

TEST(HandBoundaryDecision, AHandNeedsAnUnbrokenClosedArcOf300Degrees) {
    DUZHandBoundaryDetector detector;
    ASSERT_EQ(1, detector.Initialize("", 0));
    const struct {
        const char* name;
        const char* closed;
        int hand;
        const char* filled;
    } cases[] = {
        {"all closed", "11111111111111111111111111111111", 1, "11111111111111111111111111111111"},
        {"27 in a row", "11111111111000001111111111111111", 1, "11111111111000001111111111111111"},
        {"26 in a row", "11111111110000001111111111111111", 0, "11111111110000001111111111111111"},
        {"27 across the wrap", "00111111111111111111111111111000", 1, "00111111111111111111111111111000"},
        {"single open rays are filled", "10111111011111111111111111111111", 1, "11111111111111111111111111111111"},
        {"two open rays together stay open", "11111111001111111111111111111111", 1, "11111111001111111111111111111111"},
        {"open on opposite sides", "00011111111111110001111111111111", 0, "00011111111111110001111111111111"},
        {"all open", "00000000000000000000000000000000", 0, "00000000000000000000000000000000"},
    };
    for (const auto& c : cases) {
        SetClosed(detector, c.closed);
        EXPECT_EQ(c.hand, detector.LooksLikeHand()) << c.name;
        EXPECT_EQ(c.filled, Filled(detector)) << c.name;
    }
    DUZHandBoundaryDetector empty;
    EXPECT_EQ(1, empty.LooksLikeHand());
}

// A hand disc at 1000 mm before a wall at 2000, on a 320x240 fixture.
class HandBoundaryFixture : public ::testing::Test {
protected:
    HandBoundaryFixture() : m_frame(320, 240) {
        m_detector.Initialize("", 0);
        m_partition.Initialize(m_frame.Depth(), "", 0);
        hand_test_kit::PaintPlane(m_frame.Depth(), 2000);
        Disc();
    }
    // The hand, 70 mm in radius, over what is painted.
    void Disc() {
        hand_test_kit::HandFixture hand;
        hand.center = kHand;
        hand.radius = 70.0f;
        hand_test_kit::PaintHand(m_frame.Depth(), m_frame.Converter(), hand);
    }
    int Run(const Vector3D<float>& hand) {
        m_frame.UpdateShift();
        m_detector.Run(m_frame.Container(), m_partition, hand, 1);
        return m_detector.LooksLikeHand();
    }

    const Vector3D<float> kHand = Vector3D<float>(0, 0, 1000);
    FixtureFrame m_frame;
    DUZHandBoundaryDetector m_detector;
    DUZHandPartition m_partition;
};

TEST_F(HandBoundaryFixture, AnIsolatedHandIsClosedAllRound) {
    EXPECT_EQ(1, Run(kHand));
    EXPECT_EQ("11111111111111111111111111111111", Filled(m_detector));
    // Each ray closes at the disc's rim, 70 mm out.
    const float rim = 70.0f * m_frame.Converter().m_pInvPixelSizeAtDepth[1000];
    int column = 0, row = 0;
    m_frame.PixelOf(kHand, column, row);
    const Vector2D<float> edge = m_detector.m_boundaryInfos[0].m_position;
    EXPECT_NEAR(rim, edge.x - static_cast<float>(column), 1.5f);
}

// Another hand's pixels at the same depth touch the hand on its right: the
// rays reaching them close only when the partition gives them away.
TEST_F(HandBoundaryFixture, AnotherHandsPixelsCloseTheRaysThatReachThem) {
    hand_test_kit::PaintBox(m_frame.Depth(), m_frame.Converter(),
                            Box3D<float>(Vector3D<float>(40, -300, 1000), Vector3D<float>(400, 300, 1001)));
    EXPECT_EQ(0, Run(kHand));
    m_partition.m_valid = 1;
    m_partition.m_partitionBox = Box2D<int>(0, 0, 319, 239);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            m_partition.m_partitionMap(y, x) = m_frame.WorldAt(x, y, 1000).x > 55.0f ? 2 : 1;
        }
    }
    EXPECT_EQ(1, Run(kHand));
    // Ray 0 closes on the first pixel of the other hand.
    const Vector2D<float> edge = m_detector.m_boundaryInfos[0].m_position;
    EXPECT_EQ(1, m_detector.m_boundaryInfos[0].m_validity);
    EXPECT_NEAR(55.0f, m_frame.WorldAt(static_cast<int>(edge.x), static_cast<int>(edge.y), 1000).x, 4.0f);
}

TEST_F(HandBoundaryFixture, ARayThatFindsNoHandInItsFirstFourSamplesGivesUp) {
    // The tracked point in a hole 30 mm across: every ray starts on no depth.
    int column = 0, row = 0;
    m_frame.PixelOf(kHand, column, row);
    hand_test_kit::PaintRect(m_frame.Depth(), Box2D<int>(column - 5, row - 5, column + 5, row + 5), 0);
    EXPECT_EQ(0, Run(kHand));
    for (const auto& info : m_detector.m_boundaryInfos) {
        EXPECT_EQ(0, info.m_validity);
    }
    // Ray 0 gave up on its fourth sample.
    const Vector2D<float> start = m_detector.m_boundaryInfos[0].m_position - Vector2D<float>(3, 0);
    EXPECT_NEAR(static_cast<float>(column), start.x, 1.0f);
    // A hole of 2 pixels is crossed: the walk starts behind it.
    Disc();
    hand_test_kit::PaintRect(m_frame.Depth(), Box2D<int>(column - 1, row - 1, column + 1, row + 1), 0);
    EXPECT_EQ(1, Run(kHand));
}

TEST_F(HandBoundaryFixture, AHandWithoutPositiveDepthIsSearchedFromTheCorner) {
    for (const float z : {0.0f, -800.0f}) {
        EXPECT_EQ(0, Run(Vector3D<float>(10, 10, z)));
        for (const auto& info : m_detector.m_boundaryInfos) {
            EXPECT_EQ(0, info.m_validity);
            EXPECT_EQ(Vector2D<float>(0, 0), info.m_position);
        }
    }
}

// A depth step away from the sensor closes a ray; one toward it does not.
TEST_F(HandBoundaryFixture, OnlyAStepAwayFromTheSensorIsAnEdge) {
    // A point 60 mm in front of the disc's surface: its first sample
    // already lies more than 50 mm behind it and closes every ray there.
    EXPECT_EQ(1, Run(kHand - Vector3D<float>(0, 0, 80)));
    const Vector2D<float> start = duz_image::HandPixel(m_frame.Converter(), kHand - Vector3D<float>(0, 0, 80));
    for (const auto& info : m_detector.m_boundaryInfos) {
        EXPECT_EQ(start, info.m_position);
    }
    // A nearer block covering the right half of the disc: rays going right
    // step toward the sensor and run on to its far side.
    hand_test_kit::PaintBox(m_frame.Depth(), m_frame.Converter(),
                            Box3D<float>(Vector3D<float>(20, -300, 900), Vector3D<float>(400, 300, 901)));
    EXPECT_EQ(0, Run(kHand));
    EXPECT_EQ(0, m_detector.m_boundaryInfos[0].m_validity);
}

TEST(HandBoundaryText, OneLinePerRay) {
    DUZHandBoundaryDetector detector;
    detector.Initialize("", 0);
    detector.m_boundaryInfos[8].m_validity = 1;
    detector.m_boundaryInfos[8].m_filled = 1;
    detector.m_boundaryInfos[8].m_position = Vector2D<float>(12.5f, 30);
    std::ostringstream info;
    info << detector.m_boundaryInfos[8];
    EXPECT_EQ("Validity: 1 1 Position:12.5 30", info.str());
    std::ostringstream all;
    all << detector;
    std::istringstream lines(all.str());
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ("Number of rays 32", line);
    for (int i = 0; i <= 8; ++i) {
        ASSERT_TRUE(std::getline(lines, line));
    }
    std::ostringstream expected;
    expected << "8 Angle: " << static_cast<double>(detector.m_rayAngles[8]) << " Direction: "
             << detector.m_rayDirections[8] << " Boundary: Validity: 1 1 Position:12.5 30";
    EXPECT_EQ(expected.str(), line);
}

TEST(HandBoundaryOnCamera, TheRaisedHandPassesAndTheMiddleOfTheTorsoFails) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene(hand_scenes::RaisedRightHand(), 320, 240)) << session.Error();
    hand_scenes::SessionContainer frame(session);
    ASSERT_TRUE(frame.Next());
    DUZHandPartition partition;
    partition.Initialize(session.Depth(), "", 0);
    DUZHandBoundaryDetector detector;
    detector.Initialize("", 0);
    detector.Run(frame.Container(), partition, hand_test_kit::ToVector(session.Hand(0, vela::scene::kRight).centroid), 1);
    EXPECT_EQ(1, detector.LooksLikeHand()) << detector;

    // The torso joint moved onto the body's surface at that pixel.
    Vector3D<float> torso = hand_test_kit::ToVector(session.Joint(0, vela::scene::Joint::Torso));
    const WorldPointConverterBase<float>& converter = *frame.Container().m_converter;
    const Vector3D<float> pixel = converter.ProjectivePt(torso);
    torso.z = session.Depth()(static_cast<int>(pixel.x), static_cast<int>(pixel.y));
    ASSERT_GT(torso.z, 1500.0f);
    detector.Run(frame.Container(), partition, torso, 1);
    EXPECT_EQ(0, detector.LooksLikeHand()) << detector;
}

}  // namespace
