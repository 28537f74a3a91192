// The head detector: its checks on painted fixtures at the bounds where they
// turn, and the whole chain on rendered people at 320x240 and at the
// detectors' 160x120 level.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "LogCapture.h"
#include "NACommon/NAHeadDetector.h"
#include "RenderedLevels.h"
#include "DetectorTestDepth.h"

namespace {

using detection_test::BesideHead;
using detection_test::PartView;
using detection_test::RenderedLevels;
using detection_test::ViewPart;
using hand_test_kit::FixtureFrame;
using hand_test_kit::PaintBox;
using hand_test_kit::PaintPlane;
using hand_test_kit::PaintRect;

// The clients' maximum depth.
using detection_test::kMaxDepth;

Box3D<float> WorldBox(float x0, float y0, float x1, float y1, float z) {
    return Box3D<float>(Vector3D<float>(x0, y0, z), Vector3D<float>(x1, y1, z + 10));
}

// A painted person facing the camera at 2 m before a wall at 3 m: a head
// 180 x 220 mm around (0, 300), a neck 100 mm wide and a torso 400 mm wide
// from 150 mm below the head's centre down to `torsoBottom`.
void PaintPerson(FixtureFrame& frame, float torsoBottom = -2000.0f) {
    PaintPlane(frame.Depth(), 3000);
    PaintBox(frame.Depth(), frame.Converter(), WorldBox(-90, 190, 90, 410, 2000));
    PaintBox(frame.Depth(), frame.Converter(), WorldBox(-50, 100, 50, 200, 2000));
    PaintBox(frame.Depth(), frame.Converter(), WorldBox(-200, torsoBottom, 200, 150, 2000));
}

// The pixel of neck-circle sample i around a point, as the detector
// computes it.
void CircleSample(const FixtureFrame& frame, const Vector3D<float>& p, int i, int& column, int& row) {
    const WorldPointConverterBase<float>& c = frame.Converter();
    const float kz = c.m_fPixelSizeFactor * p.z;
    const float hx = p.x / kz + c.m_fCenterX;
    const float hy = c.m_fCenterY - p.y / kz;
    const float radius = 150.0f / kz;
    const double theta = i * 5.0 * 3.14159265358979323846 / 180.0;
    column = static_cast<int>(std::cos(theta) * radius + hx);
    row = static_cast<int>(std::sin(theta) * radius + hy);
}

TEST(HeadDetector, NeckDirectionTurnsAtSixtyDegreesFromDown) {
    FixtureFrame frame(320, 240);
    const Vector3D<float> p(0, 0, 1500);
    struct Case {
        std::vector<int> samples;  // painted at 1500 mm, the first at 1490
        int pass;
        float degrees;
    };
    const Case cases[] = {
        {{6}, 1, 30.0f},         {{30}, 1, 150.0f},       {{5, 6}, 0, 27.5f},
        {{30, 31}, 0, 152.5f},   {{18}, 1, 90.0f},        {{0, 1, 2}, 0, 0.0f},  // nearest at index 0
        {{12, 13, 14}, 1, 65.0f},
    };
    NAHeadDetector detector;
    detector.Initialize(kMaxDepth);
    for (const Case& test : cases) {
        SCOPED_TRACE(test.degrees);
        PaintPlane(frame.Depth(), 0);
        for (size_t k = 0; k < test.samples.size(); ++k) {
            int column = 0, row = 0;
            CircleSample(frame, p, test.samples[k], column, row);
            frame.Depth().WritableData()[row * 320 + column] = k == 0 ? 1490 : 1500;
        }
        detector.Detect(p, Box2D<int>(0, 0, 0, 0), &frame.Depth(), &frame.Converter(), nullptr);
        float angle = -1.0f;
        int jumpMinus = 0, jumpPlus = 0;
        Vector2D<float> pointMinus, pointPlus;
        EXPECT_EQ(test.pass, detector.CheckNeckCircle(p, angle, jumpMinus, jumpPlus, pointMinus, pointPlus, nullptr));
        if (test.pass != 0) {
            EXPECT_FLOAT_EQ(test.degrees * 3.14159265f / 180.0f, angle);
        }
        EXPECT_EQ(0, jumpMinus + jumpPlus);
    }
}

TEST(HeadDetector, NeckCircleWalksStopAtDepthJumps) {
    FixtureFrame frame(320, 240);
    const Vector3D<float> p(0, 0, 1500);
    PaintPlane(frame.Depth(), 0);
    // Samples 10 to 20 on the body, 9 and 21 a step of more than 99 mm away.
    for (int i = 9; i <= 21; ++i) {
        int column = 0, row = 0;
        CircleSample(frame, p, i, column, row);
        // 21 is nearer than 300 mm before the point: no candidate for the neck.
        frame.Depth().WritableData()[row * 320 + column] = i == 9 ? 1650 : (i == 21 ? 1190 : 1500 + (i == 15 ? -5 : 0));
    }
    NAHeadDetector detector;
    detector.Initialize(kMaxDepth);
    detector.Detect(p, Box2D<int>(0, 0, 0, 0), &frame.Depth(), &frame.Converter(), nullptr);
    float angle = 0.0f;
    int jumpMinus = 0, jumpPlus = 0;
    Vector2D<float> pointMinus, pointPlus;
    ASSERT_EQ(1, detector.CheckNeckCircle(p, angle, jumpMinus, jumpPlus, pointMinus, pointPlus, nullptr));
    EXPECT_FLOAT_EQ(75.0f * 3.14159265f / 180.0f, angle);  // samples 10 to 20
    int column = 0, row = 0;
    EXPECT_EQ(1, jumpPlus);
    CircleSample(frame, p, 9, column, row);
    EXPECT_EQ(Vector2D<float>(column, row), pointPlus);
    EXPECT_EQ(1, jumpMinus);
    CircleSample(frame, p, 21, column, row);
    EXPECT_EQ(Vector2D<float>(column, row), pointMinus);
}

TEST(HeadDetector, IsolationCountsMissingNeighboursAndNeedsCountedPixels) {
    FixtureFrame frame(320, 240);
    PaintPlane(frame.Depth(), 0);
    PaintBox(frame.Depth(), frame.Converter(), WorldBox(-90, -110, 90, 110, 2000));
    const Vector3D<float> p(0, 0, 2000);
    int column = 0, row = 0;
    frame.PixelOf(p, column, row);
    const Box2D<int> box(column - 8, row - 8, column + 8, row + 8);
    const Box1D<int> range(1900, 2100);
    struct Case {
        unsigned short missing;  // the missing-neighbour depth
        bool masked;             // every pixel masked out
        int pass;
    };
    const Case cases[] = {{kMaxDepth, false, 1}, {401, false, 1}, {400, false, 0}, {kMaxDepth, true, 0}};
    std::vector<int> mask(320 * 240, 0);
    for (const Case& test : cases) {
        SCOPED_TRACE(test.missing);
        NAHeadDetector detector;
        detector.Initialize(test.missing);
        std::vector<int> ones(320 * 240, 1);
        detector.Detect(p, box, range, &frame.Depth(), &frame.Converter(), test.masked ? mask.data() : ones.data());
        EXPECT_EQ(test.pass, detector.CheckDepthIsolation(400, 0));
    }

    // Beside a wall 401 mm behind, as beside no depth above 400.
    PaintPlane(frame.Depth(), 2401);
    PaintBox(frame.Depth(), frame.Converter(), WorldBox(-90, -110, 90, 110, 2000));
    NAHeadDetector detector;
    detector.Initialize(kMaxDepth);
    detector.Detect(p, box, range, &frame.Depth(), &frame.Converter(), nullptr);
    EXPECT_EQ(1, detector.CheckDepthIsolation(400, 0));
    PaintPlane(frame.Depth(), 2400);
    PaintBox(frame.Depth(), frame.Converter(), WorldBox(-90, -110, 90, 110, 2000));
    EXPECT_EQ(0, detector.CheckDepthIsolation(400, 0));
}

TEST(HeadDetector, TorsoLineFailsOnOneDepthStep) {
    FixtureFrame frame(320, 240);
    const Vector3D<float> p(0, 300, 2000);
    int column = 0, row = 0;
    frame.PixelOf(p, column, row);
    NAHeadDetector detector;
    detector.Initialize(kMaxDepth);
    // Straight down from the head over a surface at its depth that steps
    // back 200 mm below the head.
    for (int step : {99, 100}) {
        SCOPED_TRACE(step);
        PaintPlane(frame.Depth(), 2000);
        PaintRect(frame.Depth(), Box2D<int>(0, row + 200 / (2000 * frame.Converter().m_fPixelSizeFactor), 319, 239),
                  static_cast<unsigned short>(2000 + step));
        detector.Detect(p, Box2D<int>(0, 0, 0, 0), &frame.Depth(), &frame.Converter(), nullptr);
        Vector2D<float> torso;
        unsigned short torsoDepth = 0;
        EXPECT_EQ(step < 100 ? 1 : 0,
                  detector.FindTorsoPoint(3.14159265f / 2.0f, 400, torso, torsoDepth));
        EXPECT_EQ(step < 100 ? 2000 + step : 2000, torsoDepth);
        EXPECT_NEAR(column, torso.x, 0.5f);
    }
}

TEST(HeadDetector, ConnectivityOfAPointWithItselfNeedsItsDepth) {
    FixtureFrame frame(160, 120);
    PaintPlane(frame.Depth(), 0);
    frame.Depth().WritableData()[40 * 160 + 50] = 1800;
    NAHeadDetector detector;
    detector.Initialize(kMaxDepth);
    detector.Detect(Vector3D<float>(0, 0, 1800), Box2D<int>(0, 0, 0, 0), &frame.Depth(), &frame.Converter(), nullptr);
    EXPECT_EQ(1, detector.CheckConnectivity(Vector2D<float>(50.5f, 40.2f), Vector2D<float>(50.5f, 40.2f)));
    EXPECT_EQ(0, detector.CheckConnectivity(Vector2D<float>(51.5f, 40.2f), Vector2D<float>(51.5f, 40.2f)));
    // Lines of any length walk only what can lie inside the image (the
    // second one's samples never get there in float).
    PaintPlane(frame.Depth(), 1800);
    EXPECT_EQ(0, detector.CheckConnectivity(Vector2D<float>(50, 40), Vector2D<float>(3.0e38f, 40)));
    EXPECT_EQ(0, detector.CheckConnectivity(Vector2D<float>(-3.0e38f, 40), Vector2D<float>(50, 40)));
    EXPECT_EQ(1, detector.CheckConnectivity(Vector2D<float>(-1.0e6f, 40), Vector2D<float>(50, 40)));
}

class HeadDetectorLog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_log.Registered()); }
    // The stage markers written, in order.
    std::string Stages() const {
        std::string stages;
        for (const std::string& text : m_log.Texts()) {
            if (text.find("jump ratio") == std::string::npos) {
                stages += text.substr(text.find(": ") + 2);
            }
        }
        return stages;
    }

    detection_test::LogCapture m_log{"HeadDetector", XN_LOG_VERBOSE};
};

TEST_F(HeadDetectorLog, PaintedPersonIsAHeadFromTheFirstTorsoDistanceThatPasses) {
    FixtureFrame frame(320, 240);
    const Vector3D<float> head(0, 300, 2000);
    NAHeadDetector detector;
    detector.Initialize(kMaxDepth);
    // The torso reaches 400 mm below the head: that distance is taken.
    PaintPerson(frame);
    EXPECT_EQ(1, detector.Detect(head, 0, &frame.Depth(), &frame.Converter(), nullptr));
    EXPECT_EQ("depth isolation, torso point, no nearby, not hand, ", Stages());
    // It ends 380 mm below: 400 fails, 350 is taken.
    m_log.Clear();
    PaintPerson(frame, head.y - 380.0f);
    EXPECT_EQ(1, detector.Detect(head, 0, &frame.Depth(), &frame.Converter(), nullptr));
    EXPECT_EQ("depth isolation, torso point, torso width, torso point, no nearby, not hand, ", Stages());
    // A head-sized blob with no torso below it.
    m_log.Clear();
    PaintPlane(frame.Depth(), 3000);
    PaintBox(frame.Depth(), frame.Converter(), WorldBox(-90, 190, 90, 410, 2000));
    EXPECT_EQ(0, detector.Detect(head, 0, &frame.Depth(), &frame.Converter(), nullptr));
    EXPECT_EQ("depth isolation, ", Stages());
    // A torso too narrow at every distance.
    m_log.Clear();
    PaintPlane(frame.Depth(), 3000);
    PaintBox(frame.Depth(), frame.Converter(), WorldBox(-90, 190, 90, 410, 2000));
    PaintBox(frame.Depth(), frame.Converter(), WorldBox(-60, -2000, 60, 200, 2000));
    EXPECT_EQ(0, detector.Detect(head, 0, &frame.Depth(), &frame.Converter(), nullptr));
    std::string expected = "depth isolation, ";
    for (int i = 0; i < 6; ++i) expected += "torso point, torso width, ";
    EXPECT_EQ(expected + "no nearby, not hand, ", Stages());
}

TEST(HeadDetector, BoundMapsStayWhenLaterCallsPassNull) {
    FixtureFrame frame(320, 240);
    PaintPerson(frame);
    const Vector3D<float> head(0, 300, 2000);
    NAHeadDetector detector;
    detector.Initialize(kMaxDepth);
    EXPECT_EQ(0, detector.Detect(head, 1, nullptr, &frame.Converter(), nullptr));  // nothing bound yet
    EXPECT_EQ(1, detector.Detect(head, 1, &frame.Depth(), &frame.Converter(), nullptr));
    EXPECT_EQ(1, detector.Detect(head, 1, nullptr, nullptr, nullptr));
    int column = 0, row = 0;
    frame.PixelOf(head, column, row);
    const Box2D<int> box(column - 10, row - 10, column + 10, row + 10);
    EXPECT_EQ(1, detector.Detect(head, box, nullptr, nullptr, nullptr));
    // A caller's box reaching beyond the image is read only inside it; the
    // whole image then counts, and most of it is no isolated head.
    EXPECT_EQ(0, detector.Detect(head, Box2D<int>(-500, -500, 900, 700), nullptr, nullptr, nullptr));
    // The detector's and the focus forms bind the depth map even when null.
    std::vector<unsigned short> labels(320 * 240, 7);
    EXPECT_EQ(0, detector.Detect(head, box, nullptr, nullptr, labels.data(), 7));
    EXPECT_EQ(0, detector.Detect(head, box, nullptr, nullptr, nullptr));
    EXPECT_EQ(1, detector.Detect(head, box, &frame.Depth(), nullptr, labels.data(), 7));
    EXPECT_EQ(0, detector.Detect(head, box, &frame.Depth(), nullptr, labels.data(), 6));  // no pixel counted
    // The per-hand form's refinement centres a point off the head's middle.
    EXPECT_EQ(1, detector.Detect(head + Vector3D<float>(70, 0, 0), 1, &frame.Depth(), nullptr, nullptr));
    EXPECT_NEAR(0.0f, detector.m_point.x, 8.0f);
    // Points behind the camera are never heads.
    EXPECT_EQ(0, detector.Detect(Vector3D<float>(0, 300, 0), 1, &frame.Depth(), nullptr, nullptr));
    EXPECT_EQ(0, detector.Detect(Vector3D<float>(0, 300, -2000), 0, &frame.Depth(), nullptr, nullptr));
}

// The three forms of the trackers and the detector on one point: the
// per-hand tracker's (refined), the hand detector's (the part's own label
// and box) and the focus tracker's (box and depth range +-100 mm).
struct FormResults {
    int perHand;
    int detector;
    int focus;
};
FormResults DetectAllForms(const NADepthMapContainer& level, const PartView& part) {
    NAHeadDetector detector;
    detector.Initialize(kMaxDepth);
    FormResults results;
    results.perHand = detector.Detect(part.centroid, 1, level.m_depth, level.m_converter, nullptr);
    std::vector<unsigned short> labels = part.labels;
    results.detector = detector.Detect(part.centroid, part.box, level.m_depth, level.m_converter, labels.data(), 1);
    const float reach = 100.0f / (level.m_converter->m_fPixelSizeFactor * part.centroid.z);
    const Vector3D<float> p = level.m_converter->ProjectivePt(part.centroid);
    const Box2D<int> box(static_cast<int>(p.x - reach), static_cast<int>(p.y - reach), static_cast<int>(p.x + reach),
                         static_cast<int>(p.y + reach));
    const Box1D<int> range(static_cast<int>(part.centroid.z) - 100, static_cast<int>(part.centroid.z) + 100);
    results.focus = detector.Detect(part.centroid, box, range, level.m_depth, level.m_converter, nullptr);
    return results;
}

struct RenderedCase {
    const char* name;
    std::string scene;
    // Per person: 1 when the head must be found; the right hand's centroid
    // must never be a head.
    std::vector<int> heads;
};

TEST(HeadDetector, RenderedPeopleHaveTheirHeadsFoundAndHandsNot) {
    const RenderedCase cases[] = {
        {"arms down at 1.5 m, calibration pose at 3.5 m",
         "camera elevation=1400\nwall z=4500\n"
         "person height=1750\n  at 0 pos=-350,1500\n  pose 0 stand\n"
         "person height=1800 fabric=light\n  at 0 pos=900,3500\n  pose 0 psi\n",
         {1, 1}},
        {"one hand raised at 2.5 m, a hand 300 mm before the chest at 2 m",
         "camera elevation=1400\nwall z=4500\n"
         "person height=1700\n  at 0 pos=-500,2500\n  raise 0..2 hand=right blend=0.01\n"
         "person height=1750 hair=off\n  at 0 pos=450,2000\n  pose 0 stand right_arm=10,10,0,120\n",
         {1, 1}},
        {"two people side by side at 2.6 m",
         "camera elevation=1400\nwall z=4500\n"
         "person height=1750\n  at 0 pos=-450,2600\n  pose 0 stand\n"
         "person height=1700 fabric=light\n  at 0 pos=450,2600\n  pose 0 stand\n",
         {1, 1}},
        // A hand raised beside the head in the body's plane is no head in
        // any form, and leaves the head one, whether close by the ear or
        // out above the shoulder.
        {"a hand raised by the ear at 1.5 m", detection_test::HandBesideHeadScene(BesideHead::ByTheEar, 1500), {1}},
        {"a hand raised by the ear at 3.5 m", detection_test::HandBesideHeadScene(BesideHead::ByTheEar, 3500), {1}},
        {"a hand raised above the shoulder at 1.5 m",
         detection_test::HandBesideHeadScene(BesideHead::AboveTheShoulder, 1500), {1}},
        {"a hand raised above the shoulder at 3.5 m",
         detection_test::HandBesideHeadScene(BesideHead::AboveTheShoulder, 3500), {1}},
    };
    for (const RenderedCase& test : cases) {
        SCOPED_TRACE(test.name);
        RenderedLevels levels;
        ASSERT_TRUE(levels.Open(test.scene)) << levels.Error();
        ASSERT_TRUE(levels.Next());
        ASSERT_TRUE(levels.Next());
        for (NAResolution resolution : {NAResolution::QVGA, NAResolution::QQVGA}) {
            SCOPED_TRACE(NAResolutionName(resolution));
            const NADepthMapContainer& level = levels.Level(resolution);
            const vela::scene::RenderedFrame& frame = levels.Session().Rendered();
            for (size_t person = 0; person < test.heads.size(); ++person) {
                SCOPED_TRACE(person);
                const PartView head = ViewPart(frame, static_cast<int>(person), vela::scene::kPartHead, level);
                ASSERT_GT(head.pixels, 10);
                const FormResults found = DetectAllForms(level, head);
                EXPECT_EQ(test.heads[person], found.perHand);
                EXPECT_EQ(test.heads[person], found.detector);
                EXPECT_EQ(test.heads[person], found.focus);
                const PartView hand = ViewPart(frame, static_cast<int>(person), vela::scene::kPartRightHand, level);
                ASSERT_GT(hand.pixels, 3);
                const FormResults handFound = DetectAllForms(level, hand);
                EXPECT_EQ(0, handFound.perHand);
                EXPECT_EQ(0, handFound.detector);
                EXPECT_EQ(0, handFound.focus);
            }
        }
    }
}

}  // namespace
