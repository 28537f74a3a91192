#include <gtest/gtest.h>

#include <cmath>

#include "SceneRenderer/DepthCamera.h"

namespace {

using vela::scene::DepthCamera;
using vela::scene::Point3f;

TEST(DepthCamera, MatchesTheSystemsConversion) {
    const DepthCamera camera(640, 480);
    EXPECT_FLOAT_EQ(0.0017533336f, camera.PixelFactor());
    EXPECT_EQ(320.0f, camera.CenterX());
    EXPECT_EQ(240.0f, camera.CenterY());
    const Point3f p = camera.PixelToWorld(100.0f, 50.0f, 1000.0f);
    EXPECT_FLOAT_EQ(-385.7334f, p.x);
    EXPECT_FLOAT_EQ(333.13339f, p.y);
    EXPECT_EQ(1000.0f, p.z);
    // No half-pixel offset: the centre column looks straight ahead.
    EXPECT_EQ(0.0f, camera.PixelToWorld(320.0f, 240.0f, 1234.0f).x);
}

TEST(DepthCamera, VerticalFieldOfViewIsThe43PairOfTheHorizontal) {
    for (const int width : {160, 320, 640}) {
        const DepthCamera camera(width, width * 3 / 4);
        const double h = static_cast<double>(DepthCamera::kDefaultHorizontalFov);
        EXPECT_DOUBLE_EQ(2.0 * std::atan(0.75 * std::tan(h / 2.0)), camera.VerticalFov());
        // Square pixels: the top row's ray leaves at half the vertical field.
        const double top = std::atan(camera.RayDirection(0, 0).y);
        EXPECT_NEAR(camera.VerticalFov() / 2.0, top, 1e-6);
    }
}

TEST(DepthCamera, PixelToWorldToPixelRoundTrips) {
    for (const int width : {160, 320, 640}) {
        const DepthCamera camera(width, width * 3 / 4);
        for (int row = 0; row < camera.Height(); row += 7) {
            for (int column = 0; column < camera.Width(); column += 5) {
                for (const float z : {450.0f, 2000.0f, 9999.0f}) {
                    const Point3f p = camera.PixelToWorld(static_cast<float>(column), static_cast<float>(row), z);
                    float c = 0, r = 0;
                    ASSERT_TRUE(camera.WorldToPixel(p, c, r));
                    EXPECT_NEAR(column, c, 1e-3);
                    EXPECT_NEAR(row, r, 1e-3);
                }
            }
        }
        float c = -1, r = -1;
        EXPECT_FALSE(camera.WorldToPixel(Point3f{1, 2, 0}, c, r));
        EXPECT_EQ(-1.0f, c);
    }
}

}  // namespace
