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

// Until hand tracking and gesture recognition are built, no hand starts and
// no gesture is recognized; the controls still answer as specified.
TEST_F(HandTrackerOnCameraTest, TheLibrarysAlgorithmsReportNoHandsAndNoGestures) {
    velaShutdown();  // the hand tracker needs no data directory
    HandTracker tracker;
    ASSERT_EQ(VELA_STATUS_OK, tracker.initialize()) << LogText();
    short id = 77;
    EXPECT_EQ(VELA_STATUS_ERROR, tracker.startHandTracking(VelaPoint3f{0, 0, 1500}, &id));
    EXPECT_EQ(77, id);
    EXPECT_TRUE(Logged("HandTracker: Couldn't start tracking a hand at (0, 0, 1500)")) << LogText();
    for (VelaGestureType type : {VELA_GESTURE_WAVE, VELA_GESTURE_CLICK, VELA_GESTURE_HAND_RAISE}) {
        EXPECT_EQ(VELA_STATUS_OK, tracker.startGestureDetection(type));
    }
    EXPECT_EQ(0, tracker.stopHandTracking(1));
    tracker.stopHandTracking();
    for (int i = 0; i < 5; ++i) {
        HandFrame frame = ReadHandFrame(tracker);
        EXPECT_EQ(0, frame->handCount);
        EXPECT_EQ(0, frame->gestureCount);
    }
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
