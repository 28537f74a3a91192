// The floor of the public user-tracker frame against the renderer's true
// floor, for cameras at several heights and tilts, while a person walks
// through the room.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "UserTrackerOnSceneTest.h"

#ifdef VELA_RECORD_ONI_EXE


namespace {

// The room is empty for a second, then a person walks in from the left and
// stands in the middle.
std::string FloorRoom(int elevation, int tilt) {
    return "camera resolution=320x240 elevation=" + std::to_string(elevation) + " tilt=" + std::to_string(tilt) +
           "\n"
           "frames count=120 fps=30\n"
           "wall z=4500\n"
           "person height=1750\n"
           "  at 0 pos=-2700,2400\n"
           "  at 1 pos=-2700,2400\n"
           "  at 3 pos=-100,2300\n";
}

double FloorDot(const VelaPoint3f& a, const vela::scene::Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

class UserTrackerFloorTest : public vela_test::UserTrackerOnSceneTest {};

// Once the frame says the floor is known, its plane is the room's floor:
// the normal within 2 degrees of the true one and the true floor point
// within 30 mm of the plane, in every later frame, the person in view or
// not. The floor is found within the empty room's first frames and stays
// known.
TEST_F(UserTrackerFloorTest, TheFloorIsTheRoomsFloor) {
    struct Case {
        int elevation;  // mm
        int tilt;       // degrees down
    };
    const Case cases[] = {{1000, 0}, {1300, 12}, {800, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE("elevation " + std::to_string(c.elevation) + ", tilt " + std::to_string(c.tilt));
        ASSERT_NO_FATAL_FAILURE(m_camera.Open(FloorRoom(c.elevation, c.tilt)));
        ASSERT_NO_FATAL_FAILURE(CreateTracker(m_camera));
        int firstKnown = 0;
        int unknownAfter = 0;
        int usersSeen = 0;
        double worstAngle = 0.0;
        double worstDistance = 0.0;
        vela::scene::FrameTruth truth;
        for (int read = 0; read < m_camera.Frames(); ++read) {
            VelaUserTrackerFrame* frame = nullptr;
            ASSERT_EQ(VELA_STATUS_OK, velaReadUserTrackerFrame(m_handle, &frame));
            ASSERT_NE(nullptr, frame);
            const float confidence = frame->floorConfidence;
            const VelaPlane floor = frame->floor;
            const int index = frame->frameIndex;
            usersSeen += frame->userCount != 0 ? 1 : 0;
            ASSERT_EQ(VELA_STATUS_OK, velaUserTrackerFrameRelease(m_handle, frame));
            ASSERT_TRUE(confidence == 0.0f || confidence == 1.0f) << confidence;
            if (confidence == 0.0f) {
                unknownAfter += firstKnown != 0 ? 1 : 0;
                continue;
            }
            if (firstKnown == 0) {
                firstKnown = index;
                // The camera stands still: one frame's truth holds for all.
                truth = m_camera.Truth(index).truth;
            }
            const VelaPoint3f& n = floor.normal;
            const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            ASSERT_NEAR(1.0, length, 1e-3) << index;
            const double cosine = std::min(1.0, FloorDot(n, truth.floorNormal) / length);
            worstAngle = std::max(worstAngle, std::acos(cosine) * 180.0 / M_PI);
            const vela::scene::Vec3 offset(truth.floorPoint.x - floor.point.x, truth.floorPoint.y - floor.point.y,
                                           truth.floorPoint.z - floor.point.z);
            worstDistance = std::max(worstDistance, std::fabs(FloorDot(n, offset)) / length);
        }
        ShutdownTracker();
        m_camera.Close();
        ASSERT_GT(firstKnown, 0) << "the floor was never known";
        // The floor's turn comes every fifth frame from the first.
        EXPECT_LE(firstKnown, 11);
        EXPECT_EQ(0, unknownAfter);
        EXPECT_LT(worstAngle, 2.0);
        EXPECT_LT(worstDistance, 30.0);
        // The walking person was there for the floor to ignore.
        EXPECT_GT(usersSeen, 20);
    }
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
