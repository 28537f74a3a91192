// The digital ray iterator's world form: a world line projected with the
// depth hub's converter of one resolution, inside that image.

#include <gtest/gtest.h>

#include <cmath>

#include "HandAnalysis/RayMarching.h"
#include "HandCameraSession.h"
#include "HandScenes.h"

namespace {

TEST(RayMarchingWorld, AWorldLineIsProjectedIntoTheImageOfItsResolution) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene(hand_scenes::RaisedRightHand(), 320, 240)) << session.Error();
    ASSERT_TRUE(session.Next());
    NACommonData& hub = session.Hub();
    const WorldPointConverter<float>* converter = hub.m_pWorldPointConverters[QVGA];
    ASSERT_NE(nullptr, converter);
    // 300 mm to the right at 2 m: along x from the image centre.
    const float k = converter->m_fPixelSizeFactor;
    const RayMarching right(&hub, Vector3D<float>(0, 0, 2000), Vector3D<float>(1, 0, 0), 300.0f, QVGA);
    EXPECT_EQ(Vector2D<int>(160, 120), right.Current());
    EXPECT_EQ(0, right.m_majorAxis);
    EXPECT_EQ(1, right.m_openFlag);
    EXPECT_FLOAT_EQ(300.0f / (k * 2000.0f), right.m_length);
    EXPECT_EQ(static_cast<int>(std::round(300.0f / (k * 2000.0f))), right.StepCount());
    EXPECT_EQ(Box2D<int>(0, 0, 319, 239), right.m_bounds);
    // Upward in the world is up the image; a long line stops at the top row.
    const RayMarching up(&hub, Vector3D<float>(0, 0, 2000), Vector3D<float>(0, 1, 0), 5000.0f, QVGA);
    EXPECT_EQ(1, up.m_majorAxis);
    EXPECT_EQ(-1, up.m_step);
    EXPECT_EQ(120, up.StepCount());
    // A point behind the sensor projects to the corner.
    const RayMarching behind(&hub, Vector3D<float>(0, 0, -10), Vector3D<float>(0, 0, -1), 10.0f, QVGA);
    EXPECT_EQ(Vector2D<float>(0, 0), behind.m_start);
}

}  // namespace
