// The extreme-points reporter's bookkeeping: set-up once, stopping the
// tracker of a nearby head, searches it does not know.

#include <gtest/gtest.h>

#include "DepthFixtureFrame.h"
#include "HandAnalysis/DUZHeadReporter.h"

namespace {

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

}  // namespace
