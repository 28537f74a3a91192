// The extreme-points reporter's bookkeeping: set-up once, stopping the
// tracker of a nearby head, searches it does not know, two trackers on one
// object, a full pool and a basic extreme that turns out to be a head.

#include <gtest/gtest.h>

#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHeadReporter.h"
#include "HandScenes.h"

namespace {

// Counts the reporter's extreme-point events.
class ExtremeEvents : public NAEventListener {
public:
    void ProcessEvent(const NAEvent& event) override {
        if (event.kind == NAEvent::USER) {
            centres.push_back(event.extremePoint.center);
        }
    }
    std::vector<Vector3D<float>> centres;
};

// A reporter of its own with a detector of its own, allowed to compute the
// frame's components (Initialize(1, ...)), and its events.
struct SearchingReporter {
    SearchingReporter() {
        reporter.m_handDetector = &detector;
        reporter.AddEventListener(&events);
    }
    ~SearchingReporter() { reporter.RemoveEventListener(&events); }
    DUZHandDetector detector{1};
    DUZExtremePointsReporter reporter;
    ExtremeEvents events;
};

// Sets tracker `index` on a head of 10 x 12 pixels around pixel (x, 60) at
// depth z, started on frame `start`, with the head box of an update (as
// after the previous frame); its updates keep it there (no refinement
// step).
void PlaceHead(DUZExtremePointsReporter& reporter, const hand_test_kit::FixtureFrame& frame, int index, float x,
               int start, float z = 2000) {
    NAExtremePointTracker& tracker = *reporter.m_trackers.at(static_cast<size_t>(index));
    Vector3D<float> head = frame.WorldAt(static_cast<int>(x), 60, z);
    tracker.SetHeadCandidate(head, 100.0f, frame.Container());
    tracker.m_nMaxIterations = 0;
    tracker.m_headEllipse.m_center = Vector2D<float>(x, 60);
    tracker.m_headEllipse.m_axisLengths = Vector2D<float>(10, 12);
    tracker.m_startFrameId = start;
    ASSERT_EQ(1, tracker.Update(frame.Container()));
}

// A tracker of the reporter set on a head box of +-100 mm around (0, 0, 2000).
NAExtremePointTracker& TrackHeadAtOrigin(DUZExtremePointsReporter& reporter, int index) {
    NAExtremePointTracker& tracker = *reporter.m_trackers.at(static_cast<size_t>(index));
    tracker.m_tracking = 1;
    tracker.m_headBox = Box3D<float>(Vector3D<float>(-100, -100, 1900), Vector3D<float>(100, 100, 2100));
    return tracker;
}

TEST(HeadReporterTest, ASecondInitializeKeepsTheTrackers) {
    DUZExtremePointsReporter reporter;
    reporter.Initialize(0, "", 4500, 0);
    ASSERT_EQ(20u, reporter.m_trackers.size());
    const NAExtremePointTracker* first = reporter.m_trackers[0].get();
    TrackHeadAtOrigin(reporter, 0);
    EXPECT_EQ(1, reporter.Initialize(1, "", 3000, 0));
    EXPECT_EQ(first, reporter.m_trackers[0].get());
    EXPECT_EQ(1, reporter.m_trackers[0]->m_tracking);
    EXPECT_EQ(0, reporter.m_computeFlag);
}

// StopTracker looks 75 mm around the point: a head box 70 mm away on one
// axis is met, 80 mm is not.
TEST(HeadReporterTest, StopTrackerStopsAHeadWithin75Millimetres) {
    DUZExtremePointsReporter reporter;
    reporter.Initialize(0, "", 4500, 0);
    const struct {
        float x;
        int tracking;
    } cases[] = {{170, 0}, {180, 1}, {-170, 0}};
    for (const auto& c : cases) {
        NAExtremePointTracker& tracker = TrackHeadAtOrigin(reporter, 3);
        reporter.StopTracker(Vector3D<float>(c.x, 50, 2000));
        EXPECT_EQ(c.tracking, tracker.m_tracking) << c.x;
    }
    TrackHeadAtOrigin(reporter, 3);
    NAExtremePointTracker* found = nullptr;
    EXPECT_EQ(1, reporter.IsTracked(Box3D<float>(Vector3D<float>(100, 0, 2000), Vector3D<float>(120, 0, 2000)), -1,
                                    &found));
    EXPECT_EQ(reporter.m_trackers[3].get(), found);
    EXPECT_EQ(0, reporter.IsTracked(Box3D<float>(Vector3D<float>(100, 0, 2000), Vector3D<float>(120, 0, 2000)), 3,
                                    &found));
    EXPECT_EQ(nullptr, found);
}

TEST(HeadReporterTest, AnUnknownSearchModeListsNothing) {
    hand_test_kit::FixtureFrame frame(160, 120);
    DUZExtremePointsReporter reporter;
    reporter.Initialize(0, "", 4500, 0);
    reporter.FindNewCandidates(frame.Container(), static_cast<DUZExtremePointsReporter::ExtremeDetectionMode>(2), 0,
                               nullptr, nullptr);
    DUZExtremePointData* candidates = nullptr;
    short count = 5;
    reporter.GetCandidates(&candidates, count);
    EXPECT_EQ(0, count);
    EXPECT_EQ(frame.Container().m_depth, reporter.m_container.m_depth);
}

// Two trackers whose head boxes meet follow one object: the one started
// later is reset; on equal start frames the one being updated stays. When
// the tracker being updated is the later one, the pass ends with it: the
// trackers after it are neither updated nor listed in that frame.
TEST(HeadReporterTest, OfTwoTrackersOnOneHeadTheLaterStartedIsReset) {
    hand_test_kit::FixtureFrame frame(160, 120);
    const struct {
        const char* name;
        int startOf2, startOf5;
        int updated;                 // Update's result
        std::vector<float> listed;   // head columns of the listed records
        int tracking2, tracking5, tracking9;
    } cases[] = {
        {"the first updated started first", 10, 20, 2, {80, 130}, 1, 0, 1},
        {"equal start frames", 10, 10, 2, {80, 130}, 1, 0, 1},
        {"the first updated started later", 20, 10, 1, {}, 0, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DUZExtremePointsReporter reporter;
        reporter.Initialize(0, "", 4500, 0);
        ASSERT_NO_FATAL_FAILURE(PlaceHead(reporter, frame, 2, 80, c.startOf2));
        ASSERT_NO_FATAL_FAILURE(PlaceHead(reporter, frame, 5, 84, c.startOf5));
        ASSERT_NO_FATAL_FAILURE(PlaceHead(reporter, frame, 9, 130, 30));  // another head
        // A tracker the pass skips keeps this box; an update replaces it.
        const Box3D<float> unchanged(Vector3D<float>(1, 1, 1), Vector3D<float>(2, 2, 2));
        reporter.m_trackers[9]->m_headBox = unchanged;
        EXPECT_EQ(c.updated, reporter.Update(frame.Container()));
        DUZExtremePointData* candidates = nullptr;
        short count = -1;
        reporter.GetCandidates(&candidates, count);
        ASSERT_EQ(c.listed.size(), static_cast<size_t>(count));
        for (short i = 0; i < count; ++i) {
            EXPECT_NEAR(frame.WorldAt(static_cast<int>(c.listed[i]), 60, 2000).x, candidates[i].m_position.x, 1e-3f);
            EXPECT_EQ(1, candidates[i].m_tracked);
        }
        EXPECT_EQ(c.tracking2, reporter.m_trackers[2]->m_tracking);
        EXPECT_EQ(c.tracking5, reporter.m_trackers[5]->m_tracking);
        EXPECT_EQ(c.tracking9, reporter.m_trackers[9]->m_tracking);
        EXPECT_EQ(c.updated == 1, reporter.m_trackers[9]->m_headBox.min == unchanged.min) << "tracker 9 skipped";
    }
}

// With all twenty trackers busy elsewhere, a new extreme point is still
// announced and listed, untracked, after the twenty tracked records.
TEST(HeadReporterTest, ATwentyFirstCandidateIsAnnouncedAndListedUntracked) {
    hand_test_kit::FixtureFrame frame(160, 120);
    hand_test_kit::PaintPlane(frame.Depth(), 3000);
    hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(70, 40, 79, 69), 1500);
    SearchingReporter searching;
    ASSERT_EQ(1, searching.reporter.Initialize(1, "", 4500, 0));
    DUZExtremePointsReporter& reporter = searching.reporter;
    const std::vector<Vector3D<float>>& events = searching.events.centres;
    for (int i = 0; i < DUZExtremePointsReporter::kTrackers; ++i) {
        // Beyond the wall, each at its own depth.
        ASSERT_NO_FATAL_FAILURE(PlaceHead(reporter, frame, i, 80, 0, 5000.0f + 200.0f * i));
    }
    ASSERT_EQ(20, reporter.Update(frame.Container()));
    reporter.FindNewCandidates(frame.Container(), DUZExtremePointsReporter::BasicExtremes, 0, nullptr, nullptr);
    ASSERT_EQ(1u, events.size());
    EXPECT_NEAR(1500.0f, events[0].z, 20.0f);
    DUZExtremePointData* candidates = nullptr;
    short count = 0;
    reporter.GetCandidates(&candidates, count);
    ASSERT_EQ(21, count);
    EXPECT_EQ(0, candidates[20].m_tracked);
    EXPECT_EQ(DUZExtremePointsReporter::BasicExtremes, candidates[20].m_mode);
    EXPECT_EQ(events[0], candidates[20].m_position);
    for (int i = 0; i < DUZExtremePointsReporter::kTrackers; ++i) {
        EXPECT_EQ(5000.0f + 200.0f * i, reporter.m_trackers[i]->m_headPosition.z) << "no tracker reassigned";
    }
}

// A head first taken as a basic extreme point: a head search that meets its
// tracker marks the tracker as following a head and announces nothing.
TEST(HeadReporterTest, AHeadSearchMarksATrackedBasicExtremeAsAHead) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene(hand_scenes::Room(hand_scenes::Person("")), 320, 240)) << session.Error();
    hand_scenes::SessionContainer frame(session);
    ASSERT_TRUE(frame.Next());
    SearchingReporter searching;
    ASSERT_EQ(1, searching.reporter.Initialize(1, "", 4500, 0));
    DUZExtremePointsReporter& reporter = searching.reporter;
    const std::vector<Vector3D<float>>& events = searching.events.centres;
    reporter.FindNewCandidates(frame.Container(), DUZExtremePointsReporter::Heads, 0, nullptr, nullptr);
    ASSERT_EQ(1u, events.size()) << "the head, announced";
    NAExtremePointTracker& tracker = *reporter.m_trackers[0];
    ASSERT_EQ(1, tracker.m_tracking);
    ASSERT_EQ(1, reporter.Update(frame.Container()));
    ASSERT_EQ(1, tracker.m_tracking);
    tracker.m_detectionMode = DUZExtremePointsReporter::BasicExtremes;
    reporter.FindNewCandidates(frame.Container(), DUZExtremePointsReporter::Heads, 0, nullptr, nullptr);
    EXPECT_EQ(1u, events.size()) << "nothing announced again";
    EXPECT_EQ(DUZExtremePointsReporter::Heads, tracker.m_detectionMode);
    DUZExtremePointData* candidates = nullptr;
    short count = 0;
    reporter.GetCandidates(&candidates, count);
    EXPECT_EQ(1, count) << "only the tracked record";
    EXPECT_EQ(1, candidates[0].m_tracked);
}

}  // namespace
