// The shared scratch maps of the hand trackers and their one-frame history
// of the trackers' input.

#include <gtest/gtest.h>

#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandTrackerSharedData.h"

namespace {

using hand_test_kit::FixtureFrame;

std::vector<unsigned short> MapPixels(const xn::DepthMetaData& map) {
    return std::vector<unsigned short>(map.Data(), map.Data() + map.XRes() * map.YRes());
}

TEST(DUZHandTrackerSharedData, OneInstancePerProcess) {
    DUZHandTrackerSharedData* shared = DUZHandTrackerSharedData::New();
    ASSERT_NE(nullptr, shared);
    EXPECT_EQ(shared, DUZHandTrackerSharedData::New());
}

TEST(DUZHandTrackerSharedData, TheHistoryIsADeepCopyOfTheLastFrame) {
    DUZHandTrackerSharedData shared;
    const DUZHandTrackerSharedData::TrackerInputData& history = shared.m_history[0];
    // Nothing kept before the first copy.
    EXPECT_EQ(NAResolution::NoMatch, history.m_resolution);
    EXPECT_EQ(SensorTime::InvalidTime(), history.m_container.m_time);
    EXPECT_EQ(0, shared.m_combinedProbabilityFactor);
    EXPECT_EQ(&history.m_depth, history.m_container.m_depth);
    EXPECT_EQ(&history.m_shift, history.m_container.m_shift);

    FixtureFrame frame(320, 240);
    hand_test_kit::PaintPlane(frame.Depth(), 2500);
    hand_test_kit::PaintHand(frame.Depth(), frame.Converter(),
                             hand_test_kit::HandFixture{Vector3D<float>(0, 0, 1200), 45, 20, Vector3D<float>(0, 0.6f, 0.8f)});
    frame.UpdateShift();
    frame.SetFrame(17, SensorTime(17 * 33333));
    shared.m_combinedProbability.SetSize(240, 320, false);
    for (int i = 0; i < shared.m_combinedProbability.Size(); ++i) shared.m_combinedProbability[i] = i % 1001;
    shared.m_combinedProbabilityFactor = 1000000;
    shared.UpdateTrackerInputDataHistory(frame.Container());

    EXPECT_EQ(NAResolution::QVGA, history.m_resolution);
    EXPECT_EQ(1000000, history.m_combinedProbabilityFactor);
    ASSERT_EQ(240, history.m_combinedProbability.Rows());
    ASSERT_EQ(320, history.m_combinedProbability.Columns());
    EXPECT_EQ(1000, history.m_combinedProbability[1000]);
    EXPECT_EQ(17u, history.m_container.m_frameId);
    EXPECT_EQ(SensorTime(17 * 33333), history.m_container.m_time);
    EXPECT_EQ(frame.Container().m_converter, history.m_container.m_converter);
    EXPECT_EQ(frame.DepthToShift(), history.m_container.m_depthToShift);
    EXPECT_EQ(frame.ShiftToDepth(), history.m_container.m_shiftToDepth);
    EXPECT_EQ(NAResolution::QVGA, history.m_container.GetResolution());
    const std::vector<unsigned short> depth = MapPixels(frame.Depth());
    const std::vector<unsigned short> shift = MapPixels(frame.Shift());
    EXPECT_EQ(depth, MapPixels(history.m_depth));
    EXPECT_EQ(shift, MapPixels(history.m_shift));
    EXPECT_EQ(17u, history.m_depth.FrameID());

    // The frame changes after the copy: the history does not.
    hand_test_kit::PaintPlane(frame.Depth(), 700);
    frame.UpdateShift();
    shared.m_combinedProbability[1000] = -5;
    EXPECT_EQ(depth, MapPixels(history.m_depth));
    EXPECT_EQ(shift, MapPixels(history.m_shift));
    EXPECT_EQ(1000, history.m_combinedProbability[1000]);

    // A combined map of no level's size.
    shared.m_combinedProbability.SetSize(10, 10, false);
    shared.UpdateTrackerInputDataHistory(frame.Container());
    EXPECT_EQ(NAResolution::NoMatch, history.m_resolution);
    EXPECT_EQ(std::vector<unsigned short>(320 * 240, 700), MapPixels(history.m_depth));
}

}  // namespace
