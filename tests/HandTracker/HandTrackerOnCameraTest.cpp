// The hand tracker with the library's own algorithms on the synthetic
// camera and on a recording, through the real OpenNI2.

#include <gtest/gtest.h>

#include <string>

#include "HandTrackerTestSupport.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

using vela_test::HandFrame;
using vela_test::ReadHandFrame;

class HandTrackerOnCameraTest : public vela_test::TrackerTest {};

TEST_F(HandTrackerOnCameraTest, RunsOnTheDefaultDeviceALentDeviceAndARecording) {
    ExpectRunsOnEverySource<vela_test::HandFrames>([](const VelaHandTrackerFrame& frame, int, int) {
        EXPECT_EQ(0, frame.handCount);
        EXPECT_EQ(nullptr, frame.hands);
        EXPECT_EQ(0, frame.gestureCount);
        EXPECT_EQ(nullptr, frame.gestures);
    });
}

TEST_F(HandTrackerOnCameraTest, RefusesStreamsItCannotTrack) {
    ExpectRefusesStreamsItCannotTrack<HandTracker>("HandTracker");
}

// Five frames are too few for a gesture (the first three only fill the
// gesture side's ring): none is reported. A start
// the tracker refuses (behind the sensor) is logged and leaves the id alone;
// a start on the scene gives a hand whose records follow, and stopping it
// reports it lost once.
TEST_F(HandTrackerOnCameraTest, TheLibrarysAlgorithmsStartAndStopHandsButReportNoGestures) {
    velaShutdown();  // the hand tracker needs no data directory
    HandTracker tracker;
    ASSERT_EQ(VELA_STATUS_OK, tracker.initialize()) << LogText();
    short id = 77;
    EXPECT_EQ(VELA_STATUS_ERROR, tracker.startHandTracking(VelaPoint3f{0, 0, -1500}, &id));
    EXPECT_EQ(77, id);
    EXPECT_TRUE(Logged("HandTracker: Couldn't start tracking a hand at (0, 0, -1500)")) << LogText();
    for (VelaGestureType type : {VELA_GESTURE_WAVE, VELA_GESTURE_CLICK, VELA_GESTURE_HAND_RAISE}) {
        EXPECT_EQ(VELA_STATUS_OK, tracker.startGestureDetection(type));
    }
    EXPECT_EQ(0, tracker.stopHandTracking(1));
    // The refused start spent id 1.
    ASSERT_EQ(VELA_STATUS_OK, tracker.startHandTracking(VelaPoint3f{0, 0, 1500}, &id));
    EXPECT_EQ(2, id);
    {
        HandFrame frame = ReadHandFrame(tracker);
        ASSERT_LE(1, frame->handCount);
        EXPECT_EQ(id, frame->hands[0].id);
        EXPECT_EQ(VELA_HAND_STATE_NEW | VELA_HAND_STATE_TRACKED, frame->hands[0].state & ~VELA_HAND_STATE_TOUCHING_FOV);
    }
    EXPECT_EQ(1, tracker.stopHandTracking(id));
    tracker.stopHandTracking();
    int lost = 0;
    for (int i = 0; i < 5; ++i) {
        HandFrame frame = ReadHandFrame(tracker);
        for (int h = 0; h < frame->handCount; ++h) {
            lost += frame->hands[h].state == 0 ? 1 : 0;
        }
        if (i > 0) {
            EXPECT_EQ(0, frame->handCount);
        }
        EXPECT_EQ(0, frame->gestureCount);
    }
    EXPECT_EQ(1, lost);
}

TEST_F(HandTrackerOnCameraTest, ADataDirectoryTooLongForTheIniPathFailsCreation) {
    ExpectAConfigurationPathTooLongFailsTheTracker<HandTracker>("HandAlgorithms.ini");
}

TEST_F(HandTrackerOnCameraTest, AFailedReadGivesNoFrame) {
    ExpectAFailedReadGivesNoFrame<vela_test::HandFrames>("HandTracker");
}

TEST_F(HandTrackerOnCameraTest, FramesStillHeldAtShutdownAreReleased) {
    ExpectFramesStillHeldAtShutdownAreReleased<vela_test::HandFrames>();
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
