// The hand-tracker manager on painted frames: its pool and ids, its events,
// its working resolution, its hand mask and the ghost of a stopped hand.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandTrackerManager.h"
#include "NACommon/NALogger.h"
#include "OSLayer/XnLog.h"
#include "TempDir.h"
#include "../../OSLayer/XnLogTestWriter.h"

namespace {

using hand_test_kit::FixtureFrame;
using hand_test_kit::HandFixture;

// Records every hand event.
class RecordingListener : public NAEventListener {
public:
    void ProcessEvent(const NAEvent& event) override { events.push_back(event); }
    std::vector<NAEvent> events;
};

// A wall at 3 m and five hands at 1.5 m in a row, painted on a fixture
// frame that the manager is initialised with.
class ManagerOnPaintedFrame {
public:
    explicit ManagerOnPaintedFrame(int width = 320, int height = 240, const std::string& ini = "")
        : frame(width, height) {
        hand_test_kit::PaintPlane(frame.Depth(), 3000);
        for (int i = 0; i < 5; ++i) {
            HandFixture hand;
            hand.center = HandAt(i);
            hand_test_kit::PaintHand(frame.Depth(), frame.Converter(), hand);
        }
        pixels.assign(frame.Depth().Data(), frame.Depth().Data() + width * height);
        frame.Deliver(pixels, 1, 33333, metaData);
        EXPECT_EQ(1, manager.Initialize(nullptr, frame.Node(), metaData, ini, -1, 0));
        manager.AddEventListener(&listener);
    }
    static Vector3D<float> HandAt(int i) { return Vector3D<float>(-500.0f + 250.0f * i, 0.0f, 1500.0f); }
    unsigned int Start(const Vector3D<float>& p) {
        return manager.StartTracking(frame.Node(), metaData, p, Vector2D<float>(0, 0));
    }

    FixtureFrame frame;
    std::vector<uint16_t> pixels;
    xn::DepthMetaData metaData;
    DUZHandTrackerManager manager;
    RecordingListener listener;
};

TEST(HandTrackerManagerTest, TheSixthStartAndAFailedStartSpendIdsAsSpecifiedAndIdsWrapPastActiveOnes) {
    ManagerOnPaintedFrame m;
    // A point without depth (in front of the wall's hole-free plane there is
    // none behind the sensor) is refused and spends id 1.
    EXPECT_EQ(0u, m.Start(Vector3D<float>(0, 0, -100)));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(static_cast<unsigned int>(i + 2), m.Start(ManagerOnPaintedFrame::HandAt(i))) << i;
    }
    // All five trackers busy: refused without spending an id.
    EXPECT_EQ(0u, m.manager.StartTracking(Vector3D<float>(0, 300, 1500), Vector2D<float>(0, 0)));
    EXPECT_EQ(7u, m.manager.m_nextId);
    // Near the 16-bit limit the ids wrap to 1 and skip the active 2 and 3.
    EXPECT_EQ(1, m.manager.StopTracking(4));
    m.manager.m_nextId = DUZHandTrackerManager::kLastId;
    EXPECT_EQ(DUZHandTrackerManager::kLastId, m.Start(ManagerOnPaintedFrame::HandAt(2)));
    EXPECT_EQ(1, m.manager.StopTracking(5));
    EXPECT_EQ(1u, m.Start(ManagerOnPaintedFrame::HandAt(3)));
    EXPECT_EQ(1, m.manager.StopTracking(6));
    EXPECT_EQ(4u, m.Start(ManagerOnPaintedFrame::HandAt(4)));
    EXPECT_EQ(0, m.manager.StopTracking(99));
}

TEST(HandTrackerManagerTest, EventsCarryTheirOnlyHandFlagsAndADeletedEventHasNoPosition) {
    ManagerOnPaintedFrame m;
    ASSERT_EQ(1u, m.Start(ManagerOnPaintedFrame::HandAt(0)));
    ASSERT_EQ(2u, m.Start(ManagerOnPaintedFrame::HandAt(4)));
    m.manager.StopTrackingAllHands();
    const std::vector<NAEvent>& e = m.listener.events;
    ASSERT_EQ(4u, e.size());
    struct Expected {
        int type, id, only;
    } expected[] = {{NAHandEvent::ADDED, 1, 1}, {NAHandEvent::ADDED, 2, 0}, {NAHandEvent::DELETED, 1, 0},
                    {NAHandEvent::DELETED, 2, 1}};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(NAEvent::HAND, e[i].kind);
        EXPECT_EQ(expected[i].type, e[i].hand.type);
        EXPECT_EQ(expected[i].id, e[i].hand.handId);
        EXPECT_EQ(expected[i].only, e[i].hand.onlyHand);
        EXPECT_EQ(NAHandEvent::NONE, e[i].hand.border);
    }
    EXPECT_NEAR(-500.0f, e[0].hand.position.x, 30.0f);
    EXPECT_EQ(0.0f, e[3].hand.position.x);
    EXPECT_EQ(0.0f, e[3].hand.position.z);
}

TEST(HandTrackerManagerTest, TheWorkingResolutionFollowsTheNearestHand) {
    ManagerOnPaintedFrame m(640, 480);
    EXPECT_EQ(NAResolution::VGA, m.manager.GetDesiredResolution(m.metaData));
    ASSERT_EQ(1u, m.Start(ManagerOnPaintedFrame::HandAt(2)));
    DUZHandTracker& tracker = *m.manager.m_activeTrackers.front();
    const struct {
        float z;
        NAResolution expected;
    } cases[] = {{2400, NAResolution::QQVGA}, {2500, NAResolution::QVGA}, {3999, NAResolution::QVGA},
                 {4000, NAResolution::VGA}};
    for (const auto& c : cases) {
        tracker.m_position.z = c.z;
        EXPECT_EQ(c.expected, m.manager.GetDesiredResolution(m.metaData)) << c.z;
    }
}

TEST(HandTrackerManagerTest, TheHandMaskWrapsItsMarkingValueAfter65535NewMasks) {
    ManagerOnPaintedFrame m;
    m.manager.ClearHandMask(1);
    m.manager.m_handMask.Data()[7] = 9;
    for (int i = 0; i < 65534; ++i) {
        m.manager.ClearHandMask(0);
    }
    EXPECT_EQ(65535, m.manager.m_handMaskValue);
    EXPECT_EQ(9, m.manager.m_handMask.Data()[7]);
    m.manager.ClearHandMask(0);
    EXPECT_EQ(1, m.manager.m_handMaskValue);
    EXPECT_EQ(0, m.manager.m_handMask.Data()[7]);
}

// A hand at 1 m in front of a plane: which pixels its mask marks for a few
// forearm directions.
TEST(HandTrackerManagerTest, TheHandMaskMarksTheHandBoxAndABandAlongTheForearm) {
    ManagerOnPaintedFrame m;
    FixtureFrame& f = m.frame;
    const Vector3D<float> hand(0, 0, 1000);
    struct Case {
        const char* name;
        Vector3D<float> direction;
        bool band;
    } cases[] = {
        {"toward the camera", Vector3D<float>(0, 0, -1), false},
        {"none", Vector3D<float>(0, 0, 0), false},
        {"z -0.7", Vector3D<float>(0.714f, 0, -0.7f), false},
        {"z -0.69", Vector3D<float>(0.7238f, 0, -0.69f), true},
        {"from the left", Vector3D<float>(1, 0, 0), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Inside the hand box: 1190 (marked) and 1300 (behind its far side);
        // 300 mm to the left of the hand: 1100 (band) and 700 (too near).
        int col = 0, row = 0;
        const auto paintAt = [&](const Vector3D<float>& p, unsigned short depth) {
            f.PixelOf(p, col, row);
            f.Depth().WritableData()[row * f.Depth().XRes() + col] = depth;
            return std::make_pair(col, row);
        };
        hand_test_kit::PaintPlane(f.Depth(), 1190);
        const auto far = paintAt(Vector3D<float>(60, 0, 1000), 1300);
        const auto band = paintAt(Vector3D<float>(-300, 0, 1000), 1100);
        const auto near = paintAt(Vector3D<float>(-320, 0, 1000), 700);
        m.manager.ClearHandMask(0);
        Box2D<int> box;
        m.manager.AddToHandMask(f.Container(), hand, c.direction, box);
        const auto marked = [&](std::pair<int, int> p) {
            return m.manager.m_handMask.Data()[p.second * m.manager.m_handMask.Columns() + p.first] ==
                   m.manager.m_handMaskValue;
        };
        int centreCol = 0, centreRow = 0;
        f.PixelOf(hand, centreCol, centreRow);
        EXPECT_TRUE(marked({centreCol, centreRow}));
        EXPECT_FALSE(marked(far));
        EXPECT_EQ(c.band, marked(band));
        EXPECT_FALSE(marked(near));
    }
}

// A stopped hand's ghost goes back to the free list, so the tracker's next
// hand cannot take the old hand's state from it.
TEST(HandTrackerManagerTest, StoppingAHandReleasesItsGhost) {
    ManagerOnPaintedFrame m;
    ASSERT_EQ(1u, m.Start(ManagerOnPaintedFrame::HandAt(0)));
    DUZHandTracker& tracker = *m.manager.m_activeTrackers.front();
    auto& freeGhosts = m.manager.m_freeGhosts;
    auto& usedGhosts = m.manager.m_usedGhosts;
    usedGhosts.splice(usedGhosts.end(), freeGhosts, freeGhosts.begin());
    ASSERT_EQ(1, tracker.SetGhostTracker(usedGhosts.back().get()));
    EXPECT_EQ(1, m.manager.StopTracking(1));
    EXPECT_EQ(nullptr, tracker.m_ghostTracker);
    EXPECT_EQ(5u, freeGhosts.size());
    EXPECT_TRUE(usedGhosts.empty());
    // The same tracker object starts the next hand at its own place.
    ASSERT_EQ(2u, m.Start(ManagerOnPaintedFrame::HandAt(4)));
    EXPECT_EQ(&tracker, m.manager.m_activeTrackers.front());
    EXPECT_NEAR(500.0f, tracker.m_position.x, 30.0f);
}

// A start is refused inside a tracking hand's search box, but not inside
// the box a pooled tracker kept from its previous hand: the tracker that
// starts the next hand forgets it.
TEST(HandTrackerManagerTest, AStartIsRefusedOnlyInsideTheSearchBoxOfAHandStillTracked) {
    ManagerOnPaintedFrame m;
    ASSERT_EQ(1u, m.Start(ManagerOnPaintedFrame::HandAt(0)));
    DUZHandTracker& tracker = *m.manager.m_activeTrackers.front();
    const Vector3D<float> reach(75, 75, 75);
    const Vector3D<float> there = ManagerOnPaintedFrame::HandAt(4);
    // As an update leaves it: hand 1's box, here placed around `there`.
    tracker.m_searchBoundsRW = Box3D<float>(there - reach, there + reach);
    EXPECT_EQ(0u, m.Start(there)) << "inside a tracking hand's box";
    EXPECT_EQ(1, m.manager.StopTracking(1));
    ASSERT_EQ(2u, m.Start(ManagerOnPaintedFrame::HandAt(1)));
    ASSERT_EQ(&tracker, m.manager.m_activeTrackers.front()) << "the pool hands out the tracker last stopped";
    EXPECT_EQ(3u, m.Start(there));
}

// The search's choice among candidates around two tracking hands, A at the
// origin of x and B 600 mm to its right.
TEST(HandTrackerManagerTest, AnAdditionalHandIsChosenNearATrackingHandButNotOnIt) {
    ManagerOnPaintedFrame m;
    ASSERT_EQ(1u, m.Start(ManagerOnPaintedFrame::HandAt(0)));
    ASSERT_EQ(2u, m.Start(ManagerOnPaintedFrame::HandAt(4)));
    DUZHandTracker& a = *m.manager.m_activeTrackers.front();
    DUZHandTracker& b = *m.manager.m_activeTrackers.back();
    a.m_state = b.m_state = DUZHandTrackerBase::eTracking;
    a.m_position = Vector3D<float>(0, 0, 1500);
    b.m_position = Vector3D<float>(600, 0, 1500);
    const Vector3D<float> nearA(90, 0, 1500);     // inside B's bounds too
    const Vector3D<float> besideA(-300, 0, 1500);
    const Vector3D<float> besideB(850, 0, 1500);
    const Vector3D<float> farRight(1200, 0, 1500);
    const Vector3D<float> above(0, 250, 1500);
    EXPECT_EQ(nullptr, m.manager.ChooseAdditionalHand({nearA}));
    EXPECT_EQ(nullptr, m.manager.ChooseAdditionalHand({farRight, above}));
    std::vector<Vector3D<float>> both = {besideA, besideB, nearA};
    EXPECT_EQ(&both[1], m.manager.ChooseAdditionalHand(both));
    // With B lost, only A's bounds count: 500 mm to its right is outside.
    b.m_state = DUZHandTrackerBase::eLost;
    EXPECT_EQ(nullptr, m.manager.ChooseAdditionalHand({Vector3D<float>(500, 0, 1500)}));
    EXPECT_EQ(nullptr, m.manager.ChooseAdditionalHand({above}));
    // "AdditionalHandsSearchBoundsY" 300 reaches 250 mm above the hand.
    vela_test::TempDir dir;
    const std::string ini = dir.File("HandAlgorithms.ini");
    vela_test::WriteWholeFile(ini, "[HandTrackerManager]\nAdditionalHandsSearchBoundsY=300\n");
    m.manager.ReadParameters(ini, 0, 1);
    EXPECT_EQ(-300.0f, m.manager.m_additionalHandsSearchBounds.min.y);
    EXPECT_EQ(300.0f, m.manager.m_additionalHandsSearchBounds.max.y);
    EXPECT_EQ(400.0f, m.manager.m_additionalHandsSearchBounds.max.x);
    EXPECT_NE(nullptr, m.manager.ChooseAdditionalHand({above}));
}

// The search for further hands runs only on every fifth frame, only while a
// hand is tracking, and not at all with "AllowMultipleHands" 0.
TEST(HandTrackerManagerTest, AdditionalHandsAreSearchedOnlyNearTrackingHandsOnSearchFrames) {
    const struct {
        const char* name;
        int hands;  // started
        DUZHandTrackerBase::State state;
        int allowMultipleHands;
        uint32_t frameId;
        bool searched;
    } cases[] = {
        {"tracking, frame 10", 1, DUZHandTrackerBase::eTracking, 1, 10, true},
        {"tracking, frame 0", 1, DUZHandTrackerBase::eTracking, 1, 0, true},
        {"tracking, frame 11", 1, DUZHandTrackerBase::eTracking, 1, 11, false},
        {"no hand", 0, DUZHandTrackerBase::eTracking, 1, 10, false},
        {"the only hand lost", 1, DUZHandTrackerBase::eLost, 1, 10, false},
        {"AllowMultipleHands 0", 1, DUZHandTrackerBase::eTracking, 0, 10, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ManagerOnPaintedFrame m;
        if (c.hands > 0) {
            ASSERT_EQ(1u, m.Start(ManagerOnPaintedFrame::HandAt(1)));
            m.manager.m_activeTrackers.front()->m_state = c.state;
        }
        m.manager.m_allowMultipleHands = c.allowMultipleHands;
        NADepthMapContainer frame = m.manager.m_container;
        frame.m_frameId = c.frameId;
        // The detection frame takes the searched frame's id.
        m.manager.m_detectionContainer.m_frameId = 12345;
        m.manager.FindAdditionalHands(frame);
        EXPECT_EQ(c.searched ? c.frameId : 12345u, m.manager.m_detectionContainer.m_frameId);
    }
}

// The shipped "HandAlgorithms.ini" spells out the built-in settings: read or
// not, every hand-side setting is the same.
TEST(HandTrackerManagerTest, TheShippedSettingsChangeNoDefault) {
    const auto settings = [](const DUZHandTrackerManager& m) {
        const DUZHandTracker& t = *m.m_trackers[0];
        std::ostringstream out;
        out << m.m_allowMultipleHands << ' ' << m.m_trackAdditionalHands << ' ' << m.m_adaptiveDownscaleClosestVGA << ' '
            << m.m_adaptiveDownscaleClosestQVGA << ' ' << m.m_useExtremesTracking << ' ' << m.m_useRGBTracking << ' '
            << m.m_additionalHandsSearchBounds << " | " << t.m_maxIterations << ' ' << t.m_convergenceDistanceThreshold
            << ' ' << t.m_lostTrackingRecoveryTimeLimit << ' ' << t.m_searchBoundsSizeRW << ' '
            << t.m_checkHandBoundary << ' ' << t.m_checkHeadDetector << ' ' << t.m_adjustDepthBoundsByHistogram << ' '
            << t.m_multipleTracking << ' ' << t.m_extremePointTracker.m_nMaxIterations << ' '
            << t.m_extremePointTracker.m_fDistanceThresholdRW;
        return out.str();
    };
    std::string expected;
    {
        // One fixture frame at a time.
        ManagerOnPaintedFrame builtIn;
        expected = settings(builtIn.manager);
    }
    EXPECT_EQ(0u, expected.find("1 0 4000 2500 1 0 -400 400 -100 100 -200 200 | ")) << expected;
    ManagerOnPaintedFrame shipped(320, 240, VELA_DATA_DIR "/Vela2/HandAlgorithms.ini");
    EXPECT_EQ(expected, settings(shipped.manager));
    EXPECT_EQ(0, NALogger::GetInstance().GetEnabled());
}

// Hand lines and timing lines are composed only with logging enabled; their
// texts.
TEST(HandTrackerManagerTest, HandAndTimingLinesAreWrittenOnlyWithLoggingEnabled) {
    vela_test::CapturingLogWriter writer;
    const auto written = [&writer] {
        std::string all;
        for (const std::string& t : writer.m_texts) all += t;
        return all;
    };
    ASSERT_EQ(XN_STATUS_OK, writer.Register());
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_VERBOSE);
    {
        ManagerOnPaintedFrame m;
        ASSERT_EQ(1u, m.Start(ManagerOnPaintedFrame::HandAt(0)));
        EXPECT_EQ(std::string::npos, written().find("HandTrackerManager")) << written();
        NALogger::GetInstance().SetEnabled(1);
        ASSERT_EQ(2u, m.Start(ManagerOnPaintedFrame::HandAt(4)));
        NALogger::GetInstance().SetEnabled(0);
    }
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_SEVERITY_NONE);
    writer.Unregister();
    const std::string text = written();
    EXPECT_NE(std::string::npos, text.find("HandTrackerManager (0): Hand ID (added): 2, Pos: ")) << text;
    EXPECT_NE(std::string::npos, text.find(", Frame: 1\n")) << text;
    EXPECT_NE(std::string::npos,
              text.find("DUZTiming (1): HandTrackerManager - DUZHandTrackerManager::StartTracking total time: "))
        << text;
    EXPECT_NE(std::string::npos,
              text.find("DUZTiming (0): HandTrackerManager - DUZHandTrackerManager::newTracker->StartTracking time: "))
        << text;
}

}  // namespace
