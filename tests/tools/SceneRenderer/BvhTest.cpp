#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "RendererTestSupport.h"
#include "TempDir.h"
#include "UnreadableFiles.h"

namespace {

using namespace scene_test;

const std::string kData = VELA_SCENE_TEST_DATA;

void ExpectNear(const Vec3& expected, const Vec3& actual, double tolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

TEST(Bvh, ParsesTheHierarchyAndComputesGlobalPositions) {
    BvhClip clip;
    std::string error;
    ASSERT_TRUE(clip.Load(kData + "/simple.bvh", error)) << error;
    EXPECT_EQ(16, clip.JointCount());
    EXPECT_EQ(3, clip.FrameCount());
    EXPECT_DOUBLE_EQ(0.5, clip.FrameTime());
    EXPECT_DOUBLE_EQ(1.0, clip.Duration());
    std::vector<Vec3> p;
    // Frame 1: left upper arm rotated down (z -90), forearm bent forward
    // (y -90): the hand points along +z, the way the character faces.
    clip.JointPositions(1, p);
    ExpectNear(Vec3(18, 115, 0), p[clip.FindJoint("LeftForeArm")], 1e-9);
    ExpectNear(Vec3(18, 115, 25), p[clip.FindJoint("LeftHand")], 1e-9);
    ExpectNear(Vec3(-18, 90, 0), p[clip.FindJoint("RightHand")], 1e-9);
    // Frame 2: the root moved by (20, 0, -30) and turned 90 degrees about y.
    clip.JointPositions(2, p);
    ExpectNear(Vec3(20, 95, -30), p[clip.FindJoint("Hips")], 1e-9);
    ExpectNear(Vec3(20, 145, -48), p[clip.FindJoint("LeftArm")], 1e-9);
    ExpectNear(Vec3(20, 95, -40), p[clip.FindJoint("LeftUpLeg")], 1e-9);
    // A file with a frame more than its header declares (as some published
    // recordings have) reads the declared frames.
    std::string text = vela_test::ReadWholeFile(kData + "/simple.bvh");
    text += text.substr(text.rfind("20 95 -30"));
    BvhClip longer;
    ASSERT_TRUE(longer.Parse(text, error)) << error;
    EXPECT_EQ(3, longer.FrameCount());
}

TEST(Bvh, RetargetedJointsFollowTheCapturedRotations) {
    auto clip = std::make_shared<BvhClip>();
    std::string error;
    ASSERT_TRUE(clip->Load(kData + "/simple.bvh", error)) << error;
    Scene scene = StandingScene();
    ClipUse use;
    use.clip = clip;
    scene.people[0].clips.push_back(use);
    scene.dFps = 2.0;  // frame index = clip frame
    SceneRenderer renderer(scene);
    RenderedFrame frame;
    const BodyDimensions d = BodyDimensions::FromHeight(1750.0);

    // Frame 1, facing the camera (mirrored: the person's left at world -x).
    renderer.Render(1, frame);
    const FrameTruth& t1 = frame.truth;
    const Vec3 ls = JointAt(t1, 0, Joint::LeftShoulder), le = JointAt(t1, 0, Joint::LeftElbow);
    const Vec3 lh = JointAt(t1, 0, Joint::LeftHand);
    EXPECT_LT(ls.x, 0.0);
    ExpectNear(ls + Vec3(0, -d.upperArm, 0), le, 1e-6);
    ExpectNear(le + Vec3(0, 0, -d.lowerArm), lh, 1e-6);  // toward the camera
    const Vec3 rs = JointAt(t1, 0, Joint::RightShoulder);
    ExpectNear(rs + Vec3(0, -(d.upperArm + d.lowerArm), 0), JointAt(t1, 0, Joint::RightHand), 1e-6);
    EXPECT_NEAR(d.shoulderWidth, rs.x - ls.x, 1e-6);
    const Vec3 hips0 = (JointAt(t1, 0, Joint::LeftHip) + JointAt(t1, 0, Joint::RightHip)) * 0.5;
    EXPECT_NEAR(0.0, hips0.x, 1e-6);
    EXPECT_NEAR(2500.0, hips0.z, 1e-6);

    // Frame 2: moved away from the camera and to the character's right, and
    // turned to face room +x: its right side now points at the camera.
    renderer.Render(2, frame);
    const FrameTruth& t2 = frame.truth;
    const double scale = (d.upperLeg + d.lowerLeg) / 90.0;
    const Vec3 hips = (JointAt(t2, 0, Joint::LeftHip) + JointAt(t2, 0, Joint::RightHip)) * 0.5;
    EXPECT_NEAR(-20.0 * scale, hips.x, 1e-6);
    EXPECT_NEAR(2500.0 + 30.0 * scale, hips.z, 1e-6);
    const Vec3 hipAxis = JointAt(t2, 0, Joint::RightHip) - JointAt(t2, 0, Joint::LeftHip);
    EXPECT_NEAR(-d.hipWidth, hipAxis.z, 1e-6);
    EXPECT_NEAR(0.0, hipAxis.x, 1e-6);
    // Between frames the pose blends.
    renderer.Render(0, frame);
    EXPECT_LT(JointAt(frame.truth, 0, Joint::LeftHand).y, JointAt(frame.truth, 0, Joint::LeftShoulder).y + 1.0);
}

TEST(Bvh, MalformedFilesFailWithALineNumber) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const std::string joint = "ROOT Hips\n{\nOFFSET 0 0 0\nCHANNELS 3 Xposition Yposition Zposition\n";
    const Case cases[] = {
        {"", "line 1: expected HIERARCHY"},
        {"HIERARCHY\n" + joint + "}\nMOTION\nFrames: 2\nFrame Time: 0.1\n1 2 3\n", "fewer motion values"},
        {"HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\nCHANNELS 1 Wrotation\n}\n", "line 5: unknown channel Wrotation"},
        {"HIERARCHY\n" + joint + "}\nMOTION\nFrames: 1\nFrame Time: 0.1\n1 2 x\n", "bad motion value 'x'"},
        {"HIERARCHY\n" + joint + "}\nMOTION\nFrames: 1\nFrame Time: 0.1\n1 2 3\n", "lacks joints for: leftupleg"},
        {"HIERARCHY\n" + joint, "unexpected end of the hierarchy"},
    };
    for (const Case& c : cases) {
        BvhClip clip;
        std::string error;
        EXPECT_FALSE(clip.Parse(c.text, error));
        EXPECT_NE(std::string::npos, error.find(c.expected)) << error;
    }
    BvhClip clip;
    std::string error;
    EXPECT_FALSE(clip.Load("/nonexistent/walk.bvh", error));
    EXPECT_NE(std::string::npos, error.find("cannot open"));
    // A frame time that would stretch a clip past any scene.
    const std::string text = vela_test::ReadWholeFile(kData + "/simple.bvh");
    const size_t at = text.find("Frame Time:");
    ASSERT_NE(std::string::npos, at);
    EXPECT_FALSE(clip.Parse(text.substr(0, at) + "Frame Time: 1e30\n" + text.substr(text.find('\n', at) + 1), error));
    EXPECT_NE(std::string::npos, error.find("bad frame time")) << error;
}

TEST(Bvh, ReadsRegularFilesOnlyAndWithinABound) {
    vela_test::TempDir dir;
    for (const auto& file : vela_test::MakeUnreadableFiles(dir, ".bvh", off_t(33) << 20)) {
        BvhClip clip;
        std::string error;
        EXPECT_FALSE(clip.Load(file.path, error)) << file.path;
        EXPECT_NE(std::string::npos, error.find(file.path + ": " + file.reason)) << error;
        // The same through a scene file, which names the line.
        Scene scene;
        EXPECT_FALSE(ParseScene("person\nbvh " + file.path + "\n", dir.Path(), scene, error));
        EXPECT_NE(std::string::npos, error.find("line 2: BVH file " + file.path + ": " + file.reason)) << error;
    }
}

}  // namespace
