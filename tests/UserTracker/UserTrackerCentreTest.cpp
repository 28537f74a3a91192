// The public centre of mass and box of a user, from the skeleton driver's
// label statistics, on a rendered scene through the user tracker with the
// library's own algorithms, checked against the renderer's ground truth.
// The user is the one the segmentation detects as the person walks in.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <string>

#include "UserTracker/UserTrackerAlgorithms.h"
#include "UserTrackerTestSupport.h"

#ifdef VELA_RECORD_ONI_EXE

#include "../Api/SceneCamera.h"

namespace {

using vela_test::ReadUserFrame;
using vela_test::UserFrame;

// The room is learnt before a person walks in from the left and stops at
// 2.2 m before the back wall.
const char* const kWalkIn =
    "camera resolution=320x240 elevation=1000 tilt=0\n"
    "frames count=200 fps=30\n"
    "wall z=4500\nwall x=-3000\nwall x=3000\n"
    "person height=1750\n"
    "  at 0 pos=-2600,2300\n"
    "  at 1.2 pos=-2600,2300\n"
    "  at 3 pos=-200,2200\n"
    "  at 4 pos=100,2200\n";

class UserTrackerCentreTest : public vela_test::TrackerTest {
protected:
    void Open(const std::string& sceneText) {
        ASSERT_NO_FATAL_FAILURE(m_camera.Open(sceneText));
        m_tracker = std::make_unique<vela_test::TestUserTracker>(std::make_unique<UserTrackerAlgorithms>());
        ASSERT_EQ(VELA_STATUS_OK, m_tracker->initialize(&m_camera.Device())) << LogText();
    }
    void TearDown() override {
        m_tracker.reset();
        m_camera.Close();
        vela_test::TrackerTest::TearDown();
    }
    // The box of the person's pixels with depth at 320x240.
    static Box2D<int> PersonBox(const vela::scene::RenderedFrame& frame) {
        Box2D<int> box;
        for (int y = 0; y < frame.nHeight; ++y) {
            for (int x = 0; x < frame.nWidth; ++x) {
                const size_t i = static_cast<size_t>(y * frame.nWidth + x);
                if (frame.users[i] == 1 && frame.depth[i] != 0) {
                    box = Box2D<int>(std::min(box.min.x, x), std::min(box.min.y, y), std::max(box.max.x, x),
                                     std::max(box.max.y, y));
                }
            }
        }
        return box;
    }

    vela_test::SceneCamera m_camera;
    std::unique_ptr<vela_test::TestUserTracker> m_tracker;
};

// The walking person once detected: new with an empty box and a zero centre
// in its first frame, then in every frame visible, its centre
// of mass within 100 mm of the person's visible centroid and its box within
// a few pixels of the person's pixels, while the person walks and stands.
TEST_F(UserTrackerCentreTest, AUsersCentreAndBoxFollowThePerson) {
    ASSERT_NO_FATAL_FAILURE(Open(kWalkIn));
    // Nobody until the person has walked in and is detected.
    UserFrame first;
    for (int i = 0; i < 150; ++i) {
        UserFrame frame = ReadUserFrame(*m_tracker);
        ASSERT_NE(nullptr, frame.get());
        if (frame->userCount != 0) {
            first = std::move(frame);
            break;
        }
    }
    ASSERT_NE(nullptr, first.get()) << "the walking person was never detected";
    {
        UserFrame& frame = first;
        ASSERT_EQ(1, frame->userCount);
        const VelaUserData& user = frame->users[0];
        EXPECT_EQ(1, user.id);
        EXPECT_EQ(VELA_USER_STATE_NEW | VELA_USER_STATE_VISIBLE, user.state);
        EXPECT_EQ(0.0f, user.centerOfMass.z);
        EXPECT_EQ(2147483648.0f, user.boundingBox.min.x);
    }
    double worstCentre = 0.0;
    int worstSide = 0;
    for (int i = 0; i < 40; ++i) {
        UserFrame frame = ReadUserFrame(*m_tracker);
        ASSERT_NE(nullptr, frame.get());
        SCOPED_TRACE(frame->frameIndex);
        ASSERT_EQ(1, frame->userCount);
        const VelaUserData& user = frame->users[0];
        EXPECT_EQ(VELA_USER_STATE_VISIBLE, user.state);
        const vela::scene::RenderedFrame& truth = m_camera.Truth(frame->frameIndex);
        const vela::scene::Vec3& centroid = truth.truth.users.at(0).centroid;
        const VelaPoint3f& centre = user.centerOfMass;
        worstCentre = std::max(worstCentre, std::sqrt((centre.x - centroid.x) * (centre.x - centroid.x) +
                                                      (centre.y - centroid.y) * (centre.y - centroid.y) +
                                                      (centre.z - centroid.z) * (centre.z - centroid.z)));
        const Box2D<int> person = PersonBox(truth);
        const VelaBoundingBox& box = user.boundingBox;
        // Right after detection at the image border the user can still lack
        // part of the body (here the head) for a frame.
        for (double side : {box.min.x - person.min.x, box.min.y - person.min.y, box.max.x - person.max.x,
                            box.max.y - person.max.y}) {
            if (i >= 2) {
                worstSide = std::max(worstSide, static_cast<int>(std::fabs(side)));
            }
        }
        EXPECT_EQ(0.0f, box.min.z);
        EXPECT_EQ(0.0f, box.max.z);
    }
    EXPECT_LT(worstCentre, 100.0);
    // The box at 160x120 doubled: a pixel of the coarser map and the
    // labelling's own margin.
    EXPECT_LE(worstSide, 6);
}

}  // namespace

#endif
