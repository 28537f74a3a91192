// The test kit itself: a camera session's frames match the renderer's frames
// of the same scene, and fixture painting keeps the nearer surface.

#include <gtest/gtest.h>

#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandCameraSession.h"

namespace {

TEST(HandTestKit, CameraFramesComeWithTheirOwnGroundTruth) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene("frames count=5\nperson height=1750\n  at 0 pos=0,2000\n  wave 0..1 hand=left\n",
                                  640, 480))
        << session.Error();
    for (uint32_t n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(session.Next());
        EXPECT_EQ(n, session.FrameId());
        EXPECT_EQ(SensorTime(33333 * (n - 1)), session.Time());
        EXPECT_EQ(static_cast<int>(n) - 1, session.Truth().nFrame);
        const xn::DepthMetaData& depth = session.Depth();
        ASSERT_EQ(640, depth.XRes());
        EXPECT_EQ(session.Rendered().depth, std::vector<uint16_t>(depth.Data(), depth.Data() + 640 * 480));
        EXPECT_GT(session.Hand(0, vela::scene::kLeft).nVisiblePixels, 100);
    }
    EXPECT_FALSE(hand_test_kit::CameraSession().OpenScene("person height=-5\n", 320, 240));
}

TEST(HandTestKit, PaintingKeepsTheNearerSurface) {
    hand_test_kit::FixtureFrame frame(160, 120);
    hand_test_kit::PaintPlane(frame.Depth(), 2500);
    hand_test_kit::PaintBox(frame.Depth(), frame.Converter(),
                            Box3D<float>(Vector3D<float>(-300, -300, 3000), Vector3D<float>(300, 300, 3100)));
    EXPECT_EQ(2500, frame.Depth()(80, 60));
    hand_test_kit::HandFixture hand;
    hand.center = Vector3D<float>(0, 0, 1000);
    hand.forearm = Vector3D<float>(0, 0.6f, -0.8f);  // up toward the hand, which is nearer
    hand_test_kit::PaintHand(frame.Depth(), frame.Converter(), hand);
    frame.UpdateShift();
    int column = 0, row = 0;
    frame.PixelOf(hand.center, column, row);
    EXPECT_EQ(980, frame.Depth()(column, row));  // the bulge's top
    // The forearm goes down from the hand and away from the camera: 100 mm
    // lower in the image are 100 / 0.6 mm along it.
    frame.PixelOf(hand.center + Vector3D<float>(0, -100, 0), column, row);
    EXPECT_NEAR(1000 + 0.8f * 100 / 0.6f + 10, frame.Depth()(column, row), 4);
    EXPECT_EQ(frame.DepthToShift()[frame.Depth()(column, row)], frame.Shift()(column, row));
}

}  // namespace
