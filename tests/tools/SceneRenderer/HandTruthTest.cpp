// Per-hand ground truth: each hand's visible pixels and the area-weighted
// centroid of their world points, per person, on the dressed body with every
// sensor effect.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "RendererTestSupport.h"

namespace {

using namespace scene_test;

// Two people; the first waves with the right hand beside the head, the
// second stands with the arms hanging, the left hand behind nothing.
const char* const kScene =
    "frames count=40 fps=30\n"
    "wall z=4200\n"
    "person height=1750\n"
    "  at 0 pos=-400,1800\n"
    "  wave 0..2 hand=right blend=0.1\n"
    "person height=1600 fabric=light\n"
    "  at 0 pos=600,2600\n";

TEST(HandTruth, CountsAndCentroidsOfEachHandsLabelledPixels) {
    SceneRenderer renderer(ParsedScene(kScene));
    ASSERT_TRUE(renderer.SetResolution(640, 480));
    RenderedFrame frame;
    renderer.Render(20, frame);
    const DepthCamera& camera = renderer.Camera();
    ASSERT_EQ(2u, frame.truth.users.size());
    for (int user = 0; user < 2; ++user) {
        for (int hand = 0; hand < 2; ++hand) {
            SCOPED_TRACE(testing::Message() << "user " << user << " hand " << hand);
            double w = 0, x = 0, y = 0, z = 0;
            int count = 0;
            for (int r = 0; r < 480; ++r) {
                for (int c = 0; c < 640; ++c) {
                    const size_t i = static_cast<size_t>(r) * 640 + c;
                    if (frame.users[i] != user + 1 || frame.parts[i] != kPartLeftHand + hand) continue;
                    const Point3f p = camera.PixelToWorld(float(c), float(r), frame.depth[i]);
                    const double a = std::pow(double(camera.PixelFactor() * frame.depth[i]), 2);
                    w += a, x += a * p.x, y += a * p.y, z += a * p.z, ++count;
                }
            }
            const HandTruth& truth = frame.truth.users[user].hands[hand];
            EXPECT_EQ(count, truth.nVisiblePixels);
            ASSERT_GT(count, 100);
            EXPECT_NEAR(x / w, truth.centroid.x, 1e-6);
            EXPECT_NEAR(y / w, truth.centroid.y, 1e-6);
            EXPECT_NEAR(z / w, truth.centroid.z, 1e-6);
            // The visible surface lies within half a hand of the hand joint.
            const Vec3& joint = JointAt(frame.truth, user, hand == kLeft ? Joint::LeftHand : Joint::RightHand);
            EXPECT_LT(Length(truth.centroid - joint), 0.5 * 0.108 * 1750.0);
        }
    }
    // The waving hand is up beside the head, on the person's right (+x
    // mirrored), in front of its body.
    const HandTruth& waving = frame.truth.users[0].hands[kRight];
    EXPECT_GT(waving.centroid.y, JointAt(frame.truth, 0, Joint::Neck).y);
    EXPECT_GT(waving.centroid.x, JointAt(frame.truth, 0, Joint::Neck).x);
}

TEST(HandTruth, JsonCarriesBothHandsAndNullForAHiddenOne) {
    // Side on (yaw 90): the far hand is hidden behind the body.
    SceneRenderer renderer(ParsedScene("person height=1750 body=plain\n  at 0 pos=0,2500 yaw=90\n"));
    RenderedFrame frame;
    renderer.Render(0, frame);
    const UserTruth& user = frame.truth.users.at(0);
    const int hidden = user.hands[kLeft].nVisiblePixels == 0 ? kLeft : kRight;
    ASSERT_EQ(0, user.hands[hidden].nVisiblePixels);
    ASSERT_GT(user.hands[1 - hidden].nVisiblePixels, 0);
    const std::string json = FrameTruthToJson(frame.truth);
    const std::string seen = hidden == kLeft ? "\"right\":{\"visible_pixels\":" : "\"left\":{\"visible_pixels\":";
    const std::string none = std::string(hidden == kLeft ? "\"left\"" : "\"right\"") +
                             ":{\"visible_pixels\":0,\"centroid\":null}";
    EXPECT_NE(std::string::npos, json.find(",\"hands\":{\"left\":")) << json;
    EXPECT_NE(std::string::npos, json.find(seen + std::to_string(user.hands[1 - hidden].nVisiblePixels) +
                                           ",\"centroid\":["))
        << json;
    EXPECT_NE(std::string::npos, json.find(none)) << json;
    EXPECT_NE(std::string::npos, json.find("}},\"motions\":[]}]}")) << json;
}

}  // namespace
