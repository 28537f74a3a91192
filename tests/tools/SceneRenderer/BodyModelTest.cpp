#include <gtest/gtest.h>

#include <cmath>

#include "RendererTestSupport.h"
#include "SceneRenderer/Poses.h"

namespace {

using namespace scene_test;

TEST(BodyModel, DimensionsFollowTheBodyProportions) {
    const BodyDimensions d = BodyDimensions::FromHeight(1800.0);
    EXPECT_NEAR(330.3, d.shoulderWidth, 1e-9);
    EXPECT_NEAR(216.0, d.hipWidth, 1e-9);
    EXPECT_NEAR(468.0, d.torsoHeight, 1e-9);
    EXPECT_NEAR(306.0, d.upperArm, 1e-9);
    EXPECT_NEAR(306.0, d.lowerArm, 1e-9);
    EXPECT_NEAR(194.4, d.handLength, 1e-9);
    EXPECT_NEAR(225.0, d.headHeight, 1e-9);
    EXPECT_NEAR(206.5, BodyDimensions::FromHeight(1400.0).headHeight, 1e-9);
    EXPECT_NEAR(170.0, BodyDimensions::FromHeight(900.0).headHeight / 900.0 * 1000.0, 1e-9);
    // Standing: ankle + legs + torso is the shoulder line, head top at H.
    EXPECT_NEAR(0.818 * 1800.0, d.ankleHeight + d.upperLeg + d.lowerLeg + d.torsoHeight, 1e-9);
    EXPECT_NEAR(1800.0, 0.818 * 1800.0 + d.headOffset + 0.5 * d.headHeight, 1e-9);
}

TEST(BodyModel, StandingPersonHasTheGivenHeight) {
    for (const double height : {1200.0, 1750.0, 1950.0}) {
        Scene scene = StandingScene();
        scene.people[0].height = height;
        SceneRenderer renderer(scene);
        renderer.SetMirror(true);
        RenderedFrame frame;
        renderer.Render(0, frame);
        const BodyDimensions d = BodyDimensions::FromHeight(height);
        const double floorY = -scene.camera.dElevation;
        const Vec3 head = JointAt(frame.truth, 0, Joint::Head);
        EXPECT_NEAR(height - 0.5 * d.headHeight, head.y - floorY, 0.01 * height);
        const Vec3 ls = JointAt(frame.truth, 0, Joint::LeftShoulder), rs = JointAt(frame.truth, 0, Joint::RightShoulder);
        EXPECT_NEAR(d.shoulderWidth, Length(rs - ls), 1e-6);
        EXPECT_NEAR(0.818 * height, ls.y - floorY, 0.01 * height);
        const Vec3 neck = JointAt(frame.truth, 0, Joint::Neck);
        EXPECT_LT(Length(neck - (ls + rs) * 0.5), 1e-9);
        const Vec3 torso = JointAt(frame.truth, 0, Joint::Torso);
        const Vec3 hips = (JointAt(frame.truth, 0, Joint::LeftHip) + JointAt(frame.truth, 0, Joint::RightHip)) * 0.5;
        EXPECT_LT(Length(torso - (neck + hips) * 0.5), 1e-9);
    }
}

TEST(BodyModel, CalibrationPoseHasHorizontalUpperArmsAndVerticalForearms) {
    SceneRenderer renderer(StandingScene("psi"));
    RenderedFrame frame;
    renderer.Render(0, frame);
    for (const auto& arm : {std::make_pair(Joint::LeftShoulder, Joint::LeftElbow), std::make_pair(Joint::RightShoulder, Joint::RightElbow)}) {
        const Vec3 s = JointAt(frame.truth, 0, arm.first);
        const Vec3 e = JointAt(frame.truth, 0, arm.second);
        const Vec3 h = JointAt(frame.truth, 0, arm.second == Joint::LeftElbow ? Joint::LeftHand : Joint::RightHand);
        EXPECT_NEAR(s.y, e.y, 1e-6);
        EXPECT_NEAR(s.z, e.z, 1e-6);
        EXPECT_NEAR(e.x, h.x, 1e-6);
        EXPECT_NEAR(e.z, h.z, 1e-6);
        EXPECT_GT(h.y, e.y + 250.0);
    }
    // The head shows between the raised forearms.
    const Vec3 head = JointAt(frame.truth, 0, Joint::Head);
    EXPECT_LT(JointAt(frame.truth, 0, Joint::LeftHand).x, head.x - 200.0);
    EXPECT_GT(JointAt(frame.truth, 0, Joint::RightHand).x, head.x + 200.0);
}

TEST(BodyModel, ArmSolverReachesTargetsAndBendsTowardThePole) {
    const BodyDimensions d = BodyDimensions::FromHeight(1750.0);
    const Vec3 shoulder = ShoulderInChest(d, kRight);
    const Vec3 target = shoulder + Vec3(50.0, -100.0, -350.0);
    const Limb arm = ArmTowards(d, kRight, target, Vec3(1, -1, 0));
    const Vec3 elbow = shoulder + arm.upper * d.upperArm;
    const Vec3 hand = elbow + arm.Lower() * d.lowerArm;
    EXPECT_LT(Length(hand - target), 1e-6);
    EXPECT_GT(elbow.x - shoulder.x, 0.0);
    EXPECT_NEAR(0.0, Dot(arm.hinge, arm.upper), 1e-12);
    // Out of reach: the arm points at the target, straight.
    const Limb straight = ArmTowards(d, kRight, shoulder + Vec3(0, 0, -2000), Vec3(0, -1, 0));
    EXPECT_NEAR(-1.0, straight.upper.z, 1e-5);
    EXPECT_NEAR(0.0, straight.bend, 1e-2);
}

TEST(BodyModel, BlendingKeepsLimbsValid) {
    const Limb a = ArmFromAngles(kLeft, 10, 0, 0, 20);
    const Limb b = ArmFromAngles(kLeft, 90, 40, 90, 100);
    for (const double w : {0.0, 0.3, 0.7, 1.0}) {
        const Limb m = BlendLimbs(a, b, w);
        EXPECT_NEAR(1.0, Length(m.upper), 1e-12);
        EXPECT_NEAR(1.0, Length(m.hinge), 1e-12);
        EXPECT_NEAR(0.0, Dot(m.upper, m.hinge), 1e-12);
    }
    const Limb end = BlendLimbs(a, b, 1.0);
    EXPECT_LT(Length(end.upper - b.upper), 1e-12);
    EXPECT_NEAR(b.bend, end.bend, 1e-12);
    // cross(upper, lower) runs along the hinge.
    EXPECT_GT(Dot(Cross(b.upper, b.Lower()), b.hinge), 0.9);
}

}  // namespace
