// The user tracker with the library's own algorithms on the synthetic
// camera and on a recording, through the real OpenNI2.

#include <gtest/gtest.h>

#include <string>

#include "UserTrackerTestSupport.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

using vela_test::ReadUserFrame;

class UserTrackerOnCameraTest : public vela_test::TrackerTest {};

// A frame of the default scene without users: no users and an all-zero
// user map of the depth frame's size; the room's floor, once found, points
// up.
void ExpectEmptyFrame(const VelaUserTrackerFrame& frame, int width, int height) {
    EXPECT_EQ(0, frame.userCount);
    EXPECT_EQ(nullptr, frame.users);
    EXPECT_EQ(width, frame.userMap.width);
    EXPECT_EQ(height, frame.userMap.height);
    EXPECT_EQ(2 * width, frame.userMap.stride);
    ASSERT_NE(nullptr, frame.userMap.pixels);
    int labelled = 0;
    for (int i = 0; i < width * height; ++i) {
        labelled += frame.userMap.pixels[i] != 0 ? 1 : 0;
    }
    EXPECT_EQ(0, labelled);
    EXPECT_TRUE(frame.floorConfidence == 0.0f || frame.floorConfidence == 1.0f) << frame.floorConfidence;
    if (frame.floorConfidence == 1.0f) {
        EXPECT_GT(frame.floor.normal.y, 0.9f);
    }
}

TEST_F(UserTrackerOnCameraTest, RunsOnTheDefaultDeviceALentDeviceAndARecording) {
    ExpectRunsOnEverySource<vela_test::UserFrames>(ExpectEmptyFrame);
}

TEST_F(UserTrackerOnCameraTest, RefusesStreamsItCannotTrack) {
    ExpectRefusesStreamsItCannotTrack<UserTracker>("UserTracker");
}

TEST_F(UserTrackerOnCameraTest, WithoutADataDirectoryCreationFails) {
    velaShutdown();
    UserTracker tracker;
    EXPECT_EQ(VELA_STATUS_ERROR, tracker.initialize());
    EXPECT_TRUE(Logged("UserTracker: No configuration directory set")) << LogText();
    EXPECT_TRUE(Logged("UserTracker: needs the data directory: call velaInitialize first")) << LogText();
}

TEST_F(UserTrackerOnCameraTest, ADataDirectoryTooLongForTheIniPathFailsCreation) {
    ExpectAConfigurationPathTooLongFailsTheTracker<UserTracker>("FeatureExtraction.ini");
}

TEST_F(UserTrackerOnCameraTest, AMissingConfigurationFileIsOnlyReported) {
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_INFO);
    UserTracker tracker;
    ASSERT_EQ(VELA_STATUS_OK, tracker.initialize());
    EXPECT_TRUE(Logged("UserTracker: Couldn't find configuration file './Vela2/FeatureExtraction.ini'")) << LogText();
}

TEST_F(UserTrackerOnCameraTest, AFailedReadGivesNoFrame) {
    ExpectAFailedReadGivesNoFrame<vela_test::UserFrames>("UserTracker");
}

TEST_F(UserTrackerOnCameraTest, FramesStillHeldAtShutdownAreReleased) {
    ExpectFramesStillHeldAtShutdownAreReleased<vela_test::UserFrames>();
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
