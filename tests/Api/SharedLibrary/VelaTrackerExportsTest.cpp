// The trackers as an application uses them: through libVela2.so's exported
// functions and the public header alone, on the synthetic camera.

#include <OpenNI.h>
#include <Vela.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TempDir.h"

#ifndef VELA_NO_SYNTHETIC_CAMERA

namespace {

class VelaTrackerExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(openni::STATUS_OK, openni::OpenNI::initialize());
        m_cwd = std::make_unique<vela_test::ScopedCwd>(m_dir.Path());
        ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
    }
    void TearDown() override {
        velaShutdown();
        m_cwd.reset();
        openni::OpenNI::shutdown();
    }

    vela_test::TempDir m_dir;
    std::unique_ptr<vela_test::ScopedCwd> m_cwd;
};

TEST_F(VelaTrackerExportsTest, ShutdownAcceptsANullHandle) {
    EXPECT_EQ(VELA_STATUS_OK, velaShutdownUserTracker(nullptr));
    EXPECT_EQ(VELA_STATUS_OK, velaShutdownHandTracker(nullptr));
}

TEST_F(VelaTrackerExportsTest, AFailedCreationLeavesTheHandleAlone) {
    openni::Device device;
    ASSERT_EQ(openni::STATUS_OK, device.open("synthetic://default?format=100um"));
    VelaUserTrackerHandle user = reinterpret_cast<VelaUserTrackerHandle>(&device);
    VelaHandTrackerHandle hand = reinterpret_cast<VelaHandTrackerHandle>(&device);
    EXPECT_EQ(VELA_STATUS_ERROR, velaInitializeUserTrackerByDevice(&device, &user));
    EXPECT_EQ(VELA_STATUS_ERROR, velaInitializeHandTrackerByDevice(&device, &hand));
    EXPECT_EQ(reinterpret_cast<VelaUserTrackerHandle>(&device), user);
    EXPECT_EQ(reinterpret_cast<VelaHandTrackerHandle>(&device), hand);
    openni::Device closed;
    EXPECT_EQ(VELA_STATUS_ERROR, velaInitializeUserTrackerByDevice(&closed, &user));
    EXPECT_EQ(VELA_STATUS_ERROR, velaInitializeUserTracker(nullptr));
}

// Both trackers' conversions are OpenNI2's own on the same device's depth
// stream.
TEST_F(VelaTrackerExportsTest, CoordinateConversionsAreOpenNI2s) {
    openni::Device device;
    ASSERT_EQ(openni::STATUS_OK, device.open("synthetic://default?resolution=640x480"));
    openni::VideoStream stream;
    ASSERT_EQ(openni::STATUS_OK, stream.create(device, openni::SENSOR_DEPTH));
    VelaUserTrackerHandle user = nullptr;
    VelaHandTrackerHandle hand = nullptr;
    ASSERT_EQ(VELA_STATUS_OK, velaInitializeUserTrackerByDevice(&device, &user));
    ASSERT_EQ(VELA_STATUS_OK, velaInitializeHandTrackerByDevice(&device, &hand));
    const float worlds[][3] = {{0, 0, 1000}, {-512.5f, 300.25f, 2400}, {1000, -800, 4321}};
    for (const auto& w : worlds) {
        float ex = 0, ey = 0, ez = 0;
        ASSERT_EQ(openni::STATUS_OK, openni::CoordinateConverter::convertWorldToDepth(stream, w[0], w[1], w[2], &ex,
                                                                                      &ey, &ez));
        float ux = -1, uy = -1, hx = -1, hy = -1;
        EXPECT_EQ(VELA_STATUS_OK, velaConvertJointCoordinatesToDepth(user, w[0], w[1], w[2], &ux, &uy));
        EXPECT_EQ(VELA_STATUS_OK, velaConvertHandCoordinatesToDepth(hand, w[0], w[1], w[2], &hx, &hy));
        EXPECT_EQ(ex, ux);
        EXPECT_EQ(ey, uy);
        EXPECT_EQ(ex, hx);
        EXPECT_EQ(ey, hy);
    }
    const int depths[][3] = {{0, 0, 1000}, {320, 240, 2000}, {639, 17, 65535}};
    for (const auto& d : depths) {
        float ex = 0, ey = 0, ez = 0;
        ASSERT_EQ(openni::STATUS_OK, openni::CoordinateConverter::convertDepthToWorld(
                                         stream, static_cast<float>(d[0]), static_cast<float>(d[1]),
                                         static_cast<float>(d[2]), &ex, &ey, &ez));
        float ux = -1, uy = -1, hx = -1, hy = -1;
        EXPECT_EQ(VELA_STATUS_OK, velaConvertDepthCoordinatesToJoint(user, d[0], d[1], static_cast<uint16_t>(d[2]),
                                                                      &ux, &uy));
        EXPECT_EQ(VELA_STATUS_OK, velaConvertDepthCoordinatesToHand(hand, d[0], d[1], static_cast<uint16_t>(d[2]),
                                                                     &hx, &hy));
        EXPECT_EQ(ex, ux);
        EXPECT_EQ(ey, uy);
        EXPECT_EQ(ex, hx);
        EXPECT_EQ(ey, hy);
    }
    // A missing output is refused rather than written through.
    float x = 0;
    EXPECT_EQ(VELA_STATUS_ERROR, velaConvertJointCoordinatesToDepth(user, 0, 0, 1000, &x, nullptr));
    EXPECT_EQ(VELA_STATUS_ERROR, velaConvertDepthCoordinatesToHand(hand, 0, 0, 1000, nullptr, &x));
    EXPECT_EQ(VELA_STATUS_OK, velaShutdownUserTracker(user));
    EXPECT_EQ(VELA_STATUS_OK, velaShutdownHandTracker(hand));
    stream.destroy();
}

// Every control of both families answers through its handle on the
// default device; an empty scene has no users and no hands.
TEST_F(VelaTrackerExportsTest, EveryControlAnswersThroughItsHandle) {
    VelaUserTrackerHandle user = nullptr;
    ASSERT_EQ(VELA_STATUS_OK, velaInitializeUserTracker(&user));
    VelaUserTrackerCallbacks userCallbacks = {[](void*) {}};
    EXPECT_EQ(VELA_STATUS_OK, velaRegisterUserTrackerCallbacks(user, &userCallbacks, nullptr));
    VelaUserTrackerFrame* userFrame = nullptr;
    ASSERT_EQ(VELA_STATUS_OK, velaReadUserTrackerFrame(user, &userFrame));
    ASSERT_NE(nullptr, userFrame);
    EXPECT_EQ(0, userFrame->userCount);
    EXPECT_EQ(VELA_STATUS_OK, velaUserTrackerFrameAddRef(user, userFrame));
    EXPECT_EQ(VELA_STATUS_OK, velaUserTrackerFrameRelease(user, userFrame));
    EXPECT_EQ(VELA_STATUS_OK, velaUserTrackerFrameRelease(user, userFrame));
    EXPECT_EQ(VELA_STATUS_BAD_USER_ID, velaStartSkeletonTracking(user, 1));
    velaStopSkeletonTracking(user, 1);
    EXPECT_FALSE(velaIsSkeletonTracking(user, 1));
    EXPECT_EQ(VELA_STATUS_BAD_USER_ID, velaStartPoseDetection(user, 1, VELA_POSE_PSI));
    EXPECT_EQ(VELA_STATUS_OK, velaStartPoseDetection(user, 1, VELA_POSE_CROSSED_HANDS));
    velaStopPoseDetection(user, 1, VELA_POSE_CROSSED_HANDS);
    velaStopAllPoseDetection(user, 1);
    float factor = -1;
    EXPECT_EQ(VELA_STATUS_OK, velaSetSkeletonSmoothing(user, 0.25f));
    EXPECT_EQ(VELA_STATUS_OK, velaGetSkeletonSmoothing(user, &factor));
    EXPECT_EQ(0.25f, factor);
    velaUnregisterUserTrackerCallbacks(user, &userCallbacks);
    EXPECT_EQ(VELA_STATUS_OK, velaShutdownUserTracker(user));

    VelaHandTrackerHandle hand = nullptr;
    ASSERT_EQ(VELA_STATUS_OK, velaInitializeHandTracker(&hand));
    VelaHandTrackerCallbacks handCallbacks = {[](void*) {}};
    EXPECT_EQ(VELA_STATUS_OK, velaRegisterHandTrackerCallbacks(hand, &handCallbacks, nullptr));
    EXPECT_EQ(VELA_STATUS_OK, velaStartGestureDetection(hand, VELA_GESTURE_WAVE));
    EXPECT_EQ(VELA_STATUS_ERROR, velaStartGestureDetection(hand, static_cast<VelaGestureType>(3)));
    velaStopGestureDetection(hand, VELA_GESTURE_WAVE);
    velaStopAllGestureDetection(hand);
    VelaHandTrackerFrame* handFrame = nullptr;
    ASSERT_EQ(VELA_STATUS_OK, velaReadHandTrackerFrame(hand, &handFrame));
    ASSERT_NE(nullptr, handFrame);
    EXPECT_EQ(0, handFrame->handCount);
    EXPECT_EQ(VELA_STATUS_OK, velaHandTrackerFrameAddRef(hand, handFrame));
    EXPECT_EQ(VELA_STATUS_OK, velaHandTrackerFrameRelease(hand, handFrame));
    EXPECT_EQ(VELA_STATUS_OK, velaHandTrackerFrameRelease(hand, handFrame));
    // A point behind the sensor is refused and leaves the id alone; a point
    // on the scene starts a hand.
    const VelaPoint3f behind = {0, 0, -1500};
    int16_t id = 9;
    EXPECT_EQ(VELA_STATUS_ERROR, velaStartHandTracking(hand, &behind, &id));
    EXPECT_EQ(9, id);
    const VelaPoint3f position = {0, 0, 1500};
    EXPECT_EQ(VELA_STATUS_OK, velaStartHandTracking(hand, &position, &id));
    EXPECT_LT(0, id);
    velaStopHandTracking(hand, id);
    velaStopAllHandTracking(hand);
    EXPECT_EQ(VELA_STATUS_OK, velaSetHandSmoothingFactor(hand, 0.5f));
    EXPECT_EQ(VELA_STATUS_OK, velaGetHandSmoothingFactor(hand, &factor));
    EXPECT_EQ(0.5f, factor);
    velaUnregisterHandTrackerCallbacks(hand, &handCallbacks);
    EXPECT_EQ(VELA_STATUS_OK, velaShutdownHandTracker(hand));
}

}  // namespace

#endif  // VELA_NO_SYNTHETIC_CAMERA
