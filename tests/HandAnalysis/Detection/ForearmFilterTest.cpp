// The forearm test: its nine rejections at their bounds, and painted hands
// whose forearms hang down, point sideways, are missing, or lie in the
// window of a neighbouring candidate.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandDetector.h"
#include "LogCapture.h"
#include "DetectorTestDepth.h"

namespace {

using hand_test_kit::FixtureFrame;
using hand_test_kit::HandFixture;
using hand_test_kit::PaintHand;
using hand_test_kit::PaintPlane;
using Measures = DUZHandDetector::ForearmMeasures;

using detection_test::kMaxDepth;

TEST(ForearmFilter, EachTestPassesAtItsBound) {
    // Every measure exactly at its bound.
    Measures bound;
    bound.area = 5000.0f;
    bound.along = 10;
    bound.notNarrow = 5;
    bound.depthJump = 500;
    bound.palmDepth = 1000.0f;
    bound.elbowDepth = 950.0f;
    bound.wristDistance = 50.0f;
    bound.length = 250.0f;
    bound.width = 100.0f;
    bound.inliers = 17;
    bound.outliers = 3;
    bound.axisY = -0.4f;
    EXPECT_EQ(0, DUZHandDetector::ForearmRejection(bound));
    struct Case {
        const char* name;
        void (*change)(Measures&);
        int rejection;
    };
    const Case cases[] = {
        {"no area", [](Measures& m) { m.area = 0.0f; }, 1},
        {"off the narrow lines", [](Measures& m) { m.notNarrow = 6; }, 2},
        {"depth jump", [](Measures& m) { m.depthJump = 501; }, 3},
        {"elbow nearer", [](Measures& m) { m.elbowDepth = 949.9f; }, 4},
        {"far from the wrist", [](Measures& m) { m.wristDistance = 50.01f; }, 5},
        {"aspect ratio", [](Measures& m) { m.length = 249.9f; }, 6},
        {"outliers", [](Measures& m) { m.outliers = 4; }, 7},
        {"small area", [](Measures& m) { m.area = 4999.0f; }, 8},
        {"angle", [](Measures& m) { m.axisY = 0.3999f; }, 9},
        // Nothing counted along the axis skips the tests 2 and 3.
        {"nothing along", [](Measures& m) { m.along = 0; m.notNarrow = 9; m.depthJump = 9999; m.elbowDepth = 900.0f; }, 4},
        // A line of width 0 has an unbounded aspect ratio.
        {"no width", [](Measures& m) { m.width = 0.0f; m.area = 4000.0f; }, 8},
        // The first test that holds decides.
        {"all", [](Measures& m) { m = Measures(); m.along = 4; m.notNarrow = 4; }, 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Measures m = bound;
        test.change(m);
        EXPECT_EQ(test.rejection, DUZHandDetector::ForearmRejection(m));
    }
}

class ForearmFilterTest : public ::testing::Test {
protected:
    ForearmFilterTest() : m_frame(320, 240), m_detector(0) {}

    void SetUp() override {
        m_detector.Initialize("", 0, NAResolution::QVGA, kMaxDepth);
        PaintPlane(m_frame.Depth(), 3000);
        ASSERT_TRUE(m_log.Registered());
    }

    // A hand at `centre` facing the camera, 45 mm in radius, with a forearm
    // strip whose direction (toward the hand) is `forearm`; label `label`
    // of the record holds its centre and image box.
    void AddHand(const Vector3D<float>& centre, const Vector3D<float>& forearm, float width, int label,
                 float radiusMm = 45.0f) {
        HandFixture hand;
        hand.center = centre;
        hand.radius = radiusMm;
        hand.forearm = forearm;
        hand.forearmWidth = width;
        hand.forearmLength = 300.0f;
        PaintHand(m_frame.Depth(), m_frame.Converter(), hand);
        int column = 0, row = 0;
        m_frame.PixelOf(centre, column, row);
        const int radius = static_cast<int>(radiusMm / (m_frame.Converter().m_fPixelSizeFactor * centre.z));
        m_record.m_centerOfMass[label] = centre;
        m_record.m_imageBounds[label] = Box2D<int>(column - radius, row - radius, column + radius, row + radius);
        m_record.m_pixelCount[label] = 100;
    }
    // The differences of the frame, as the cached frame holds them.
    void PrepareFrame() {
        m_detector.SetArraySizes(NAResolution::QVGA);
        Box2D<int> box(0, 0, 319, 239);
        m_detector.ComputeSobel(&m_frame.Container(), m_detector.m_horizontalDifferences.Data(),
                                m_detector.m_verticalDifferences.Data(), box);
        std::fill(m_detector.m_forearmMarks.Data(), m_detector.m_forearmMarks.Data() + m_detector.m_forearmMarks.Size(), 0);
        m_log.Clear();
    }
    int Filter(int label) {
        return m_detector.FilterByForearm(&m_frame.Container(), m_record, m_detector.m_narrowLines.Data(), nullptr, 1,
                                          &m_detector.m_labelMap, &m_detector.m_labelMap, static_cast<short>(label));
    }
    std::string LastEntry() const { return m_log.Last(); }
    int CountMarks(signed char mark) const {
        return static_cast<int>(std::count(m_detector.m_forearmMarks.Data(),
                                           m_detector.m_forearmMarks.Data() + m_detector.m_forearmMarks.Size(), mark));
    }

    FixtureFrame m_frame;
    DUZHandDetector m_detector;
    ConnectedComponentProperties<float> m_record;
    detection_test::LogCapture m_log{"HandDetector", XN_LOG_VERBOSE};
};

TEST_F(ForearmFilterTest, ForearmHangingDownIsFound) {
    AddHand(Vector3D<float>(0, 100, 2000), Vector3D<float>(0, 1, 0), 70.0f, 1);
    PrepareFrame();
    EXPECT_EQ(1, Filter(1));
    EXPECT_NE(std::string::npos, LastEntry().find("HandsFilter4 (forearm detected): label=1 (0, 100, 2000)"));
    EXPECT_GT(CountMarks(1), 50);
    EXPECT_GT(CountMarks(3), 10);  // the walk down the forearm's middle
    EXPECT_EQ(0, CountMarks(2));
}

TEST_F(ForearmFilterTest, NothingBelowTheHandIsNoForearm) {
    AddHand(Vector3D<float>(0, 100, 2000), Vector3D<float>(0, 0, 0), 70.0f, 1);
    PrepareFrame();
    EXPECT_EQ(0, Filter(1));
    EXPECT_NE(std::string::npos, LastEntry().find("HandsFilter4 (fForearmArea): label=1"));
    EXPECT_EQ(0, m_record.m_pixelCount[1]);
    // Rejected before: accepted at once, nothing written.
    m_log.Clear();
    EXPECT_EQ(1, Filter(1));
    EXPECT_TRUE(m_log.Texts().empty());
}

TEST_F(ForearmFilterTest, SidewaysForearmIsRejectedByItsAngle) {
    // 67 degrees from the vertical through the wrist point (100 mm below
    // the hand's top), narrow enough to lie on narrow rows.
    AddHand(Vector3D<float>(0, 100, 2000), Vector3D<float>(0, 0, 0), 70.0f, 1);
    const float a = 67.0f * 3.14159265f / 180.0f;
    const Vector3D<float> along(250.0f * std::sin(a), -250.0f * std::cos(a), 0.0f);
    const Vector3D<float> wrist(0, 45, 2010);
    hand_test_kit::PaintStrip(m_frame.Depth(), m_frame.Converter(), wrist - along, wrist + along, 45.0f);
    PrepareFrame();
    EXPECT_EQ(0, Filter(1));
    EXPECT_NE(std::string::npos, LastEntry().find("HandsFilter4 (forearm angle with Y too large): label=1"))
        << LastEntry();
}

TEST_F(ForearmFilterTest, AxisAlongTheLineOfSightCountsNothingAlongIt) {
    // Below a small hand at camera height, a patch at the wrist whose depths
    // scatter over 250 mm: its axis runs along the line of sight, so both
    // ends fall on one pixel and the walk counts nothing; the axis is then
    // rejected by its angle.
    AddHand(Vector3D<float>(0, 55, 2000), Vector3D<float>(0, 0, 0), 70.0f, 1, 30.0f);
    const float pixelsPerMm = m_frame.Converter().m_pInvPixelSizeAtDepth[2000];
    const int rowA = m_record.m_imageBounds[1].min.y + static_cast<int>(100.0f * pixelsPerMm + 0.5f);
    // 11 x 11 pixels: the ray through the middle one holds the axis.
    for (int r = rowA; r <= rowA + 10; ++r) {
        for (int c = 154; c <= 164; ++c) {
            const unsigned hash = static_cast<unsigned>(r * 7919 + c * 104729) * 2654435761u;
            m_frame.Depth().WritableData()[r * 320 + c] = static_cast<XnDepthPixel>(2000 + (hash >> 24) % 251);
        }
    }
    PrepareFrame();
    EXPECT_EQ(0, Filter(1));
    EXPECT_NE(std::string::npos, LastEntry().find("HandsFilter4 (forearm angle with Y too large): label=1"))
        << LastEntry();
    EXPECT_NE(std::string::npos, LastEntry().find("iNumPixelsAlongPrincipalAxis 0 ")) << LastEntry();
    EXPECT_EQ(0, CountMarks(3));
}

TEST_F(ForearmFilterTest, MarksOfAnEarlierCandidateJoinTheRefit) {
    // A at 1.5 m and B at 2 m side by side: A's forearm lies in B's window
    // but outside B's depth band.
    AddHand(Vector3D<float>(-130, 100, 1500), Vector3D<float>(0, 1, 0), 70.0f, 1);
    AddHand(Vector3D<float>(0, 100, 2000), Vector3D<float>(0, 1, 0), 70.0f, 2);
    PrepareFrame();
    EXPECT_EQ(1, Filter(2));  // B alone
    PrepareFrame();
    EXPECT_EQ(1, Filter(1));
    EXPECT_EQ(0, Filter(2));  // B after A: A's fitted pixels are B's outliers
    EXPECT_NE(std::string::npos, LastEntry().find("HandsFilter4 (forearm too many outliers): label=2")) << LastEntry();
}

}  // namespace
