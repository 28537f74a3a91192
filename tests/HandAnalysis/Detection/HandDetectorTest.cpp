// The hand detector as its clients use it: set-up and settings, the frame
// cache with its per-label decisions, frames it refuses, and the hand,
// head and basic searches on a rendered person raising a hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandDetector.h"
#include "LogCapture.h"
#include "RenderedLevels.h"
#include "TempDir.h"
#include "DetectorTestDepth.h"

namespace {

using detection_test::RenderedLevels;
using hand_test_kit::FixtureFrame;
using hand_test_kit::PaintPlane;
using hand_test_kit::PaintRect;

using detection_test::kMaxDepth;

// The labels of a record that are candidates.
std::vector<int> Candidates(const ConnectedComponentProperties<float>& record, short count) {
    std::vector<int> labels;
    for (int l = 1; l < count; ++l) {
        if (record.m_centerOfMass[l] != Vector3D<float>(0, 0, 0)) {
            labels.push_back(l);
        }
    }
    return labels;
}

TEST(HandDetector, SettingsAreReadOnceAndOnlyWithTheJoinThreshold) {
    vela_test::TempDir dir;
    struct Case {
        const char* text;
        int result;
        unsigned int threshold;
        int isolation;
    };
    const Case cases[] = {
        {"[HandDetector]\nUseDepthIsolationFilter=1\n", 0, 50, 0},
        {"[HandDetector]\nMaxDistanceForCC=70\n", 0, 70, 0},
        {"[HandDetector]\nMaxDistanceForCC=70\nUseDepthIsolationFilter=1\n", 1, 70, 1},
        {"[Other]\nMaxDistanceForCC=70\n", 0, 50, 0},
    };
    int n = 0;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        const std::string file = dir.File("HandAlgorithms" + std::to_string(n++) + ".ini");
        vela_test::WriteWholeFile(file, test.text);
        DUZHandDetector detector(1);
        EXPECT_EQ(test.result, detector.ReadParameters(file, 0, 1));
        EXPECT_EQ(test.threshold, detector.m_maxDistanceForCC);
        EXPECT_EQ(test.isolation, detector.m_useDepthIsolationFilter);
    }

    // Only the first Initialize counts.
    const std::string first = dir.File("first.ini");
    const std::string second = dir.File("second.ini");
    vela_test::WriteWholeFile(first, "[HandDetector]\nMaxDistanceForCC=70\n");
    vela_test::WriteWholeFile(second, "[HandDetector]\nMaxDistanceForCC=30\nUseDepthIsolationFilter=1\n");
    DUZHandDetector detector(1);
    EXPECT_EQ(1, detector.Initialize(first, 0, NAResolution::QQVGA, kMaxDepth));
    EXPECT_EQ(1, detector.Initialize(second, 0, NAResolution::QVGA, 3000));
    EXPECT_EQ(70u, detector.m_maxDistanceForCC);
    EXPECT_EQ(0, detector.m_useDepthIsolationFilter);
    EXPECT_EQ(kMaxDepth, detector.m_maxDepth);
    EXPECT_EQ(kMaxDepth, detector.m_headDetector.m_missingNeighbourDepth);
    EXPECT_EQ(160, detector.m_edgeDistance.Columns());
    EXPECT_EQ(&DUZHandDetector::GetInstance(), &DUZHandDetector::GetInstance());
    EXPECT_EQ(1, DUZHandDetector::GetInstance().m_sse);
}

// A hand about 350 mm before a person's upper chest at 2 m, at 160x120,
// raised into place over the first half second, the forearm below it
// tilted toward the camera; the motion mask holds the pixels that changed
// since the first frame.
class RaisedHand : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_levels = new RenderedLevels;
        ASSERT_TRUE(s_levels->Open("camera elevation=1400\nframes count=20\nwall z=4000\n"
                                   "person height=1750\n  at 0 pos=0,2000\n  pose 0 stand\n"
                                   "  pose 0.4 stand right_arm=0,20,0,120\n"))
            << s_levels->Error();
        ASSERT_TRUE(s_levels->Next());
        s_before = new xn::DepthMetaData;
        s_before->InitFrom(*s_levels->Level(NAResolution::QQVGA).m_depth);
        for (int n = 0; n < 15; ++n) {
            ASSERT_TRUE(s_levels->Next());
        }
    }
    static void TearDownTestSuite() {
        delete s_before;
        delete s_levels;
        s_before = nullptr;
        s_levels = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(nullptr, s_levels);
        m_level = &s_levels->Level(NAResolution::QQVGA);
        detection_test::ChangedPixels(*s_before, *m_level->m_depth, 50, m_motion);
        m_still.SetSize(120, 160, false);
        std::fill(m_still.Data(), m_still.Data() + m_still.Size(), 0);
        ASSERT_EQ(1, m_detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth));
    }
    Vector3D<float> HandTruth() const {
        return hand_test_kit::ToVector(s_levels->Session().Hand(0, vela::scene::kRight).centroid);
    }
    Vector3D<float> HeadTruth() const {
        return detection_test::ViewPart(s_levels->Session().Rendered(), 0, vela::scene::kPartHead, *m_level).centroid;
    }
    // The label of the cached frame whose centre lies within 100 mm of p.
    int LabelNear(const Vector3D<float>& p) const {
        for (int l = 1; l < m_detector.m_initialCount; ++l) {
            const Vector3D<float>& c = m_detector.m_initialCandidates.m_centerOfMass[l];
            if (c != Vector3D<float>(0, 0, 0) && (c - p).Magnitude() < 100.0f) {
                return l;
            }
        }
        return 0;
    }

    static RenderedLevels* s_levels;
    static xn::DepthMetaData* s_before;
    const NADepthMapContainer* m_level = nullptr;
    Array2D<unsigned short> m_motion;
    Array2D<unsigned short> m_still;
    DUZHandDetector m_detector{1};
    ConnectedComponentProperties<float> m_record;
    short m_count = -1;
};
RenderedLevels* RaisedHand::s_levels = nullptr;
xn::DepthMetaData* RaisedHand::s_before = nullptr;

TEST_F(RaisedHand, OneMovingHandWithAForearmAndTheHeadApart) {
    Box2D<int> box(0, 0, 159, 119);
    m_detector.FindHandCandidates(m_level, box, &m_motion, 1, 1, nullptr, m_record, m_count);
    const std::vector<int> hands = Candidates(m_record, m_count);
    ASSERT_EQ(1u, hands.size());
    // The candidate holds the top 150 mm of the raised arm, the hand and
    // its wrist: its centre lies within 40 mm of the hand's visible
    // centroid (here below it).
    const Vector3D<float> hand = m_record.m_centerOfMass[hands[0]];
    EXPECT_LT((hand - HandTruth()).Magnitude(), 40.0f) << hand << " vs " << HandTruth();
    EXPECT_EQ(0, m_detector.m_forearmFailures[hands[0]]);
    EXPECT_EQ(1, m_detector.m_backgroundResults[hands[0]]);
    // The head is a candidate of the cached frame, never a hand candidate,
    // and the only head candidate.
    const int head = LabelNear(HeadTruth());
    ASSERT_NE(0, head);
    EXPECT_NE(0, m_detector.m_headResults[head]);
    EXPECT_EQ(0, m_record.m_pixelCount[head]);
    ConnectedComponentProperties<float> heads;
    short headCount = 0;
    unsigned int unused = 0;
    NAResolution resolution = NAResolution::NoMatch;
    m_detector.FindHeadCandidates(m_level, box, 0, heads, headCount, unused, resolution);
    EXPECT_EQ(NAResolution::QQVGA, resolution);
    EXPECT_EQ(std::vector<int>{head}, Candidates(heads, headCount));
    // The basic candidates hold both.
    m_detector.FindBasicExtremeCandidates(m_level, box, 0, heads, headCount, unused, resolution);
    const std::vector<int> basic = Candidates(heads, headCount);
    EXPECT_NE(basic.end(), std::find(basic.begin(), basic.end(), head));
    EXPECT_NE(basic.end(), std::find(basic.begin(), basic.end(), hands[0]));
    // The label map copy.
    xn::SceneMetaData labels;
    m_detector.FindHandCandidates(m_level, box, &m_motion, 1, 1, &labels, m_record, m_count);
    ASSERT_EQ(160, labels.XRes());
    ASSERT_EQ(120, labels.YRes());
    EXPECT_EQ(std::vector<XnLabel>(m_detector.m_labelMap.Data(), m_detector.m_labelMap.Data() + 160 * 120),
              std::vector<XnLabel>(labels.Data(), labels.Data() + 160 * 120));
}

TEST_F(RaisedHand, FrameCacheKeepsTheFirstCallersDecisions) {
    Box2D<int> box(0, 0, 159, 119);
    m_detector.FindHandCandidates(m_level, box, &m_motion, 1, 0, nullptr, m_record, m_count);
    ASSERT_EQ(1u, Candidates(m_record, m_count).size());
    EXPECT_EQ(1, m_detector.m_headDone);
    EXPECT_EQ(1, m_detector.m_backgroundDone);
    EXPECT_EQ(0, m_detector.m_forearmDone);
    const short initialCount = m_detector.m_initialCount;

    // A mask where nothing moves gets the first call's motion decisions.
    m_detector.FindHandCandidates(m_level, box, &m_still, 1, 0, nullptr, m_record, m_count);
    EXPECT_EQ(1u, Candidates(m_record, m_count).size());
    // The first call that asks for forearms decides them, with its mask:
    // where nothing moves there is no forearm either ...
    m_detector.FindHandCandidates(m_level, box, &m_still, 1, 1, nullptr, m_record, m_count);
    EXPECT_EQ(0u, Candidates(m_record, m_count).size());
    EXPECT_EQ(1, m_detector.m_forearmDone);
    // ... and that stays for the frame, whatever a later caller's mask.
    m_detector.FindHandCandidates(m_level, box, &m_motion, 1, 1, nullptr, m_record, m_count);
    EXPECT_EQ(0u, Candidates(m_record, m_count).size());

    // A mask of another size writes nothing.
    Array2D<unsigned short> wrong;
    wrong.SetSize(60, 80, false);
    ConnectedComponentProperties<float> untouched;
    untouched.m_pixelCount[3] = 77;
    short count = -5;
    m_detector.FindHandCandidates(m_level, box, &wrong, 1, 1, nullptr, untouched, count);
    EXPECT_EQ(-5, count);
    EXPECT_EQ(77, untouched.m_pixelCount[3]);

    // The head and basic searches take the frame whatever its box.
    Box2D<int> other(10, 5, 150, 110);
    ConnectedComponentProperties<float> heads;
    short headCount = 0;
    unsigned int unused = 0;
    NAResolution resolution = NAResolution::NoMatch;
    m_detector.FindHeadCandidates(m_level, other, 0, heads, headCount, unused, resolution);
    EXPECT_EQ(initialCount, headCount);
    EXPECT_EQ(1, m_detector.m_forearmDone);
    EXPECT_EQ(box, m_detector.m_lastBox);

    // A hand search with another box computes the frame again and every
    // decision restarts.
    m_detector.FindHandCandidates(m_level, other, nullptr, 1, 0, nullptr, m_record, m_count);
    EXPECT_EQ(other, m_detector.m_lastBox);
    EXPECT_EQ(1, m_detector.m_headDone);
    EXPECT_EQ(0, m_detector.m_backgroundDone);
    EXPECT_EQ(0, m_detector.m_forearmDone);
    // Without a mask nothing is dropped for not moving: the standing arm's
    // hand counts too unless another filter drops it.
    EXPECT_GE(Candidates(m_record, m_count).size(), 1u);
}

TEST_F(RaisedHand, HeadSearchesComputeOnlyWhenAllowed) {
    ConnectedComponentProperties<float> heads;
    heads.m_pixelCount[2] = 55;
    short count = -1;
    unsigned int unused = 0;
    NAResolution resolution = NAResolution::VGA;
    Box2D<int> box(0, 0, 159, 119);
    m_detector.FindHeadCandidates(m_level, box, 0, heads, count, unused, resolution);
    EXPECT_EQ(0, count);
    EXPECT_EQ(55, heads.m_pixelCount[2]);
    EXPECT_EQ(NAResolution::VGA, resolution);
    m_detector.FindBasicExtremeCandidates(m_level, box, 1, heads, count, unused, resolution);
    EXPECT_GT(count, 2);
    EXPECT_EQ(NAResolution::QQVGA, resolution);
    EXPECT_EQ(0, m_detector.m_headDone);
    m_detector.FindHeadCandidates(m_level, box, 0, heads, count, unused, resolution);
    EXPECT_EQ(1u, Candidates(heads, count).size());
    EXPECT_EQ(1, m_detector.m_headDone);
}

// The label of the detector's map that covers most of a part's pixels; 0
// when none does.
int LabelOfPart(const DUZHandDetector& detector, const detection_test::PartView& part) {
    std::vector<int> pixels(DUZHandDetector::kMaxLabels, 0);
    for (size_t i = 0; i < part.labels.size(); ++i) {
        const int label = detector.m_labelMap.Data()[i];
        if (part.labels[i] != 0 && label != 0 && label < DUZHandDetector::kMaxLabels) {
            ++pixels[static_cast<size_t>(label)];
        }
    }
    const auto most = std::max_element(pixels.begin(), pixels.end());
    return *most > 0 ? static_cast<int>(most - pixels.begin()) : 0;
}

// The head candidates of the detector's cached frame.
std::vector<int> CachedHeadCandidates(DUZHandDetector& detector, const NADepthMapContainer& level, Box2D<int>& box) {
    ConnectedComponentProperties<float> heads;
    short count = 0;
    unsigned int unused = 0;
    NAResolution resolution = NAResolution::NoMatch;
    detector.FindHeadCandidates(&level, box, 0, heads, count, unused, resolution);
    return Candidates(heads, count);
}

// A hand raised beside the head in the body's plane, a still scene (no
// motion mask) at 160x120. Its top is labelled apart from the head and is
// large enough either way. By the ear, the head lies above the label's box,
// within 150 mm of its side and at about its depth: the free-space filter
// rejects the label, and the hand is no candidate. Above the shoulder it
// passes every filter, the head test and the forearm test, and is the
// frame's one hand candidate. The head is the one head candidate.
TEST(HandDetector, AHandRaisedBesideTheHead) {
    using detection_test::BesideHead;
    struct Case {
        BesideHead where;
        int distance;
        bool candidate;
    };
    const Case cases[] = {{BesideHead::ByTheEar, 1500, false},
                          {BesideHead::ByTheEar, 3500, false},
                          {BesideHead::AboveTheShoulder, 1500, true},
                          {BesideHead::AboveTheShoulder, 3500, true}};
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.where == BesideHead::ByTheEar ? "by the ear at " : "above the shoulder at ") +
                     std::to_string(test.distance));
        RenderedLevels levels;
        ASSERT_TRUE(levels.Open(detection_test::HandBesideHeadScene(test.where, test.distance))) << levels.Error();
        ASSERT_TRUE(levels.Next());
        ASSERT_TRUE(levels.Next());
        const NADepthMapContainer& level = levels.Level(NAResolution::QQVGA);
        const vela::scene::RenderedFrame& frame = levels.Session().Rendered();
        DUZHandDetector detector(1);
        ASSERT_EQ(1, detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth));
        Box2D<int> box(0, 0, 159, 119);
        ConnectedComponentProperties<float> record;
        short count = 0;
        detector.FindHandCandidates(&level, box, nullptr, 1, 1, nullptr, record, count);

        const int hand = LabelOfPart(detector, detection_test::ViewPart(frame, 0, vela::scene::kPartRightHand, level));
        const int head = LabelOfPart(detector, detection_test::ViewPart(frame, 0, vela::scene::kPartHead, level));
        ASSERT_NE(0, hand);
        ASSERT_NE(0, head);
        ASSERT_NE(hand, head);
        ConnectedComponentProperties<float> measured;
        detector.ComputeCCProperties(&level, measured, detector.m_initialCount, detector.m_labelMap);
        EXPECT_EQ(1, detector.FilterBySize(measured, static_cast<unsigned short>(hand)));
        EXPECT_EQ(test.candidate ? 1 : 0, detector.FilterEmptyBoxAbove(&level, measured, static_cast<short>(hand)));
        EXPECT_EQ(test.candidate ? std::vector<int>{hand} : std::vector<int>{}, Candidates(record, count));
        if (test.candidate) {
            EXPECT_EQ(0, detector.m_headResults[hand]);
            EXPECT_EQ(0, detector.m_forearmFailures[hand]);
        }
        EXPECT_EQ(std::vector<int>{head}, CachedHeadCandidates(detector, level, box));
    }
}

class HandDetectorFrames : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_log.Registered()); }
    size_t Errors() const { return m_log.Entries(XN_LOG_ERROR); }
    detection_test::LogCapture m_log{"HandDetector", XN_LOG_ERROR};
};

TEST_F(HandDetectorFrames, FramesOfNoHandResolutionAreRefused) {
    for (int width : {100, 1280}) {
        SCOPED_TRACE(width);
        FixtureFrame frame(width, width == 100 ? 75 : 1024);
        PaintPlane(frame.Depth(), 2000);
        frame.SetFrame(4, SensorTime(0));
        DUZHandDetector detector(1);
        ASSERT_EQ(1, detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth));
        m_log.Clear();
        ConnectedComponentProperties<float> record;
        short count = -1;
        Box2D<int> box(0, 0, width - 1, 1023);
        detector.FindHandCandidates(&frame.Container(), box, nullptr, 1, 1, nullptr, record, count);
        EXPECT_EQ(0, count);
        detector.FindHandCandidates(&frame.Container(), box, nullptr, 1, 1, nullptr, record, count);
        EXPECT_EQ(0, count);
        EXPECT_EQ(1u, Errors());  // once for the frame
    }
    // Without a set-up there is nothing to compute with.
    FixtureFrame frame(160, 120);
    DUZHandDetector detector(1);
    ConnectedComponentProperties<float> record;
    short count = -1;
    Box2D<int> box(0, 0, 159, 119);
    detector.FindHandCandidates(&frame.Container(), box, nullptr, 1, 1, nullptr, record, count);
    EXPECT_EQ(0, count);
}

// Single pixels at 1 m on a wall at 3 m, every other column and row: each
// one is a component of its own.
TEST_F(HandDetectorFrames, LabelsBeyondTheRecordAreNeverCounted) {
    for (int sse : {0, 1}) {
        SCOPED_TRACE(sse);
        FixtureFrame frame(160, 120);
        PaintPlane(frame.Depth(), 3000);
        for (int y = 1; y < 118; y += 2) {
            for (int x = 3; x < 158; x += 2) {
                frame.Depth().WritableData()[y * 160 + x] = 1000;
            }
        }
        DUZHandDetector detector(sse);
        ASSERT_EQ(1, detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth));
        ConnectedComponentProperties<float> record;
        short count = -1;
        Box2D<int> box(0, 0, 159, 119);
        detector.FindHandCandidates(&frame.Container(), box, nullptr, 1, 1, nullptr, record, count);
        EXPECT_EQ(2000, count);
        EXPECT_GT(*std::max_element(detector.m_labelMap.Data(), detector.m_labelMap.Data() + 160 * 120), 2000);
    }
}

TEST_F(HandDetectorFrames, JoinThresholdsBeyondSixteenBitsJoinEverything) {
    // A hand before a wall: one component at any join threshold from the
    // depth step inside it up, on both labeller paths.
    vela_test::TempDir dir;
    const std::string file = dir.File("HandAlgorithms.ini");
    vela_test::WriteWholeFile(file, "[HandDetector]\nMaxDistanceForCC=4294967295\n");
    for (int sse : {0, 1}) {
        SCOPED_TRACE(sse);
        FixtureFrame frame(160, 120);
        PaintPlane(frame.Depth(), 3000);
        PaintRect(frame.Depth(), Box2D<int>(70, 40, 79, 69), 1500);
        PaintRect(frame.Depth(), Box2D<int>(72, 40, 77, 50), 1300);
        DUZHandDetector detector(sse);
        ASSERT_EQ(1, detector.Initialize(file, 0, NAResolution::QQVGA, kMaxDepth));
        ConnectedComponentProperties<float> record;
        short count = -1;
        Box2D<int> box(0, 0, 159, 119);
        unsigned int unused = 0;
        NAResolution resolution = NAResolution::NoMatch;
        detector.FindBasicExtremeCandidates(&frame.Container(), box, 1, record, count, unused, resolution);
        EXPECT_EQ(2, count);
    }
}

TEST_F(HandDetectorFrames, TallFramesAreLabelledToo) {
    // 480 rows are more than the run-based labeller takes.
    FixtureFrame frame(640, 480);
    PaintPlane(frame.Depth(), 3000);
    hand_test_kit::HandFixture hand;
    hand.center = Vector3D<float>(0, 100, 1500);
    hand.forearm = Vector3D<float>(0, 1, 0);
    hand_test_kit::PaintHand(frame.Depth(), frame.Converter(), hand);
    DUZHandDetector detector(1);
    ASSERT_EQ(1, detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth));
    ConnectedComponentProperties<float> record;
    short count = -1;
    Box2D<int> box(0, 0, 639, 479);
    unsigned int unused = 0;
    NAResolution resolution = NAResolution::NoMatch;
    detector.FindBasicExtremeCandidates(&frame.Container(), box, 1, record, count, unused, resolution);
    EXPECT_EQ(NAResolution::VGA, resolution);
    ASSERT_EQ(2, count);
    EXPECT_NEAR(100.0f, record.m_centerOfMass[1].y, 60.0f);
    EXPECT_EQ(0, Errors());
}

}  // namespace
