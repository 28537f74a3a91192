#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "RendererTestSupport.h"

namespace {

using namespace scene_test;

std::vector<FrameTruth> Truths(const std::string& text, int first, int count) {
    SceneRenderer renderer(ParsedScene(text));
    EXPECT_TRUE(renderer.SetResolution(160, 120));
    std::vector<FrameTruth> out;
    RenderedFrame frame;
    for (int f = first; f < first + count; ++f) {
        renderer.Render(f, frame);
        out.push_back(frame.truth);
    }
    return out;
}

TEST(SmoothCurve, PassesThroughKeysWithoutOvershoot) {
    SmoothCurve curve;
    curve.Set({0.0, 1.0, 3.0, 4.0}, {0.0, 10.0, 10.0, -5.0});
    EXPECT_EQ(0.0, curve.Evaluate(-1.0));
    EXPECT_EQ(-5.0, curve.Evaluate(9.0));
    EXPECT_NEAR(10.0, curve.Evaluate(1.0), 1e-12);
    double slope;
    curve.Evaluate(0.0, &slope);
    EXPECT_NEAR(0.0, slope, 1e-12);
    for (double t = 1.0; t <= 3.0; t += 0.05) EXPECT_NEAR(10.0, curve.Evaluate(t), 1e-9);
    for (double t = 0.0; t < 1.0; t += 0.01) EXPECT_LE(curve.Evaluate(t), curve.Evaluate(t + 0.01) + 1e-12);
}

TEST(Motion, WalkingMovesThePersonWithAlternatingSteps) {
    const auto truths = Truths("person\nat 0 pos=-1500,3000 yaw=-90\nat 3 pos=1500,3000\n", 0, 91);
    // Mirrored world: room +x is world -x.
    EXPECT_NEAR(1500.0, truths.front().users[0].centre.x, 30.0);
    EXPECT_NEAR(-1500.0, truths.back().users[0].centre.x, 30.0);
    int leftAhead = 0, rightAhead = 0;
    for (int f = 30; f <= 60; ++f) {
        // Walking toward world -x: the foot further along -x is ahead.
        const double l = JointAt(truths[f], 0, Joint::LeftFoot).x, r = JointAt(truths[f], 0, Joint::RightFoot).x;
        if (l < r - 100.0) ++leftAhead;
        if (r < l - 100.0) ++rightAhead;
    }
    EXPECT_GT(leftAhead, 3);
    EXPECT_GT(rightAhead, 3);
    // Standing still at the ends, feet together.
    const double l = JointAt(truths.back(), 0, Joint::LeftFoot).x, r = JointAt(truths.back(), 0, Joint::RightFoot).x;
    EXPECT_LT(std::fabs(l - r), 20.0);
}

TEST(Motion, TurningFollowsTheYawKeys) {
    const auto truths = Truths("person\nat 0 pos=0,2500 yaw=0\nat 1 yaw=90\n", 0, 31);
    const Vec3 ls0 = JointAt(truths.front(), 0, Joint::LeftShoulder), rs0 = JointAt(truths.front(), 0, Joint::RightShoulder);
    const Vec3 ls1 = JointAt(truths.back(), 0, Joint::LeftShoulder), rs1 = JointAt(truths.back(), 0, Joint::RightShoulder);
    EXPECT_NEAR(ls0.z, rs0.z, 1e-6);
    EXPECT_GT((rs0 - ls0).x, 300.0);
    // Facing room -x, the right shoulder points away from the camera.
    EXPECT_NEAR(ls1.x, rs1.x, 1e-6);
    EXPECT_GT((rs1 - ls1).z, 300.0);
}

TEST(Motion, WaveSwingsTheHandSidewaysWithItsAmplitudeAndPeriod) {
    // 30 fps over 4.8 s: the middle 3.2 s are 4 full periods of 0.8 s.
    const auto truths = Truths("person\nat 0 pos=0,2500\nwave 0..4.8 hand=right amplitude=150 period=0.8\n", 0, 145);
    double lo = 1e9, hi = -1e9;
    for (int f = 24; f <= 120; ++f) {
        const Vec3 hand = JointAt(truths[f], 0, Joint::RightHand);
        lo = std::min(lo, hand.x);
        hi = std::max(hi, hand.x);
        EXPECT_GT(hand.y, JointAt(truths[f], 0, Joint::RightShoulder).y);
    }
    EXPECT_NEAR(300.0, hi - lo, 10.0);
    // One period later the hand is back where it was.
    EXPECT_LT(Length(JointAt(truths[40], 0, Joint::RightHand) - JointAt(truths[64], 0, Joint::RightHand)), 1.0);
    // The left hand stays down.
    EXPECT_LT(JointAt(truths[60], 0, Joint::LeftHand).y, JointAt(truths[60], 0, Joint::LeftHip).y);
}

TEST(Motion, HandMotionsMoveTheHandWhereTheyShould) {
    struct Case {
        const char* line;
        int frame;             // mid-motion frame (30 fps)
        Vec3 expectedChange;   // sign of the change from standing, per axis (0: don't care)
    };
    const Case cases[] = {
        {"push 0..2 hand=right reach=350", 30, Vec3(0, 1, -1)},     // toward the camera, raised
        {"raise 0..2 hand=left", 30, Vec3(0, 1, 0)},                 // above the head
        {"swipe 0..2 hand=right direction=left length=500", 45, Vec3(0, 1, -1)},
        {"circle 0..3 hand=right radius=150 period=1", 45, Vec3(0, 1, -1)},
    };
    const auto still = Truths("person\nat 0 pos=0,2500\n", 0, 1);
    for (const Case& c : cases) {
        const auto truths = Truths(std::string("person\nat 0 pos=0,2500\n") + c.line + "\n", 0, 91);
        const Joint hand = std::string(c.line).find("hand=left") != std::string::npos ? Joint::LeftHand : Joint::RightHand;
        const Vec3 change = JointAt(truths[c.frame], 0, hand) - JointAt(still[0], 0, hand);
        for (int axis = 0; axis < 3; ++axis) {
            if (c.expectedChange[axis] > 0) {
                EXPECT_GT(change[axis], 100.0) << c.line << " axis " << axis;
            }
            if (c.expectedChange[axis] < 0) {
                EXPECT_LT(change[axis], -100.0) << c.line << " axis " << axis;
            }
        }
        // Back to rest after the motion.
        EXPECT_LT(Length(JointAt(truths[90], 0, hand) - JointAt(still[0], 0, hand)), 1.0) << c.line;
    }
    // A raised hand is above the head; a swipe to the person's left ends at
    // world -x (mirrored).
    const auto raise = Truths("person\nat 0 pos=0,2500\nraise 0..2 hand=left\n", 30, 1);
    EXPECT_GT(JointAt(raise[0], 0, Joint::LeftHand).y, JointAt(raise[0], 0, Joint::Head).y);
    const auto swipe = Truths("person\nat 0 pos=0,2500\nswipe 0..2 hand=right direction=left\n", 0, 61);
    EXPECT_LT(JointAt(swipe[51], 0, Joint::RightHand).x, JointAt(swipe[10], 0, Joint::RightHand).x - 400.0);
    // Push: the hand travels about `reach` toward the camera and back.
    const auto push = Truths("person\nat 0 pos=0,2500\npush 0..2 hand=right reach=350\n", 0, 61);
    double nearest = 1e9;
    for (const FrameTruth& t : push) nearest = std::min(nearest, JointAt(t, 0, Joint::RightHand).z);
    EXPECT_NEAR(JointAt(push[9], 0, Joint::RightHand).z - 350.0, nearest, 60.0);
}

TEST(Motion, CrossedPoses) {
    const auto arms = Truths("person\npose 0 arms_crossed\n", 0, 1);
    // Each hand ends up on the other side of the body.
    EXPECT_LT(JointAt(arms[0], 0, Joint::RightHand).x, JointAt(arms[0], 0, Joint::Torso).x - 50.0);
    EXPECT_GT(JointAt(arms[0], 0, Joint::LeftHand).x, JointAt(arms[0], 0, Joint::Torso).x + 50.0);
    EXPECT_LT(JointAt(arms[0], 0, Joint::RightHand).z, JointAt(arms[0], 0, Joint::Torso).z - 100.0);
    const auto legs = Truths("person\npose 0 crossed_legs\n", 0, 1);
    EXPECT_LT(JointAt(legs[0], 0, Joint::RightFoot).x, JointAt(legs[0], 0, Joint::LeftFoot).x);
    EXPECT_GT(JointAt(legs[0], 0, Joint::RightHip).x, JointAt(legs[0], 0, Joint::LeftHip).x);
}

TEST(Motion, PoseKeysBlendSmoothly) {
    const auto truths = Truths("person\npose 0 stand\npose 1 psi right_arm=0,0,0,0\n", 0, 31);
    double previous = JointAt(truths[0], 0, Joint::LeftHand).y;
    for (int f = 1; f <= 30; ++f) {
        const double y = JointAt(truths[f], 0, Joint::LeftHand).y;
        EXPECT_GE(y, previous - 1e-6);
        EXPECT_LT(y - previous, 100.0);  // 1.3 m in 1 s, at most 1.5x the mean speed
        previous = y;
    }
    // The override keeps the right arm straight down.
    EXPECT_LT(JointAt(truths[30], 0, Joint::RightHand).y, JointAt(truths[30], 0, Joint::RightHip).y);
}

const char kScriptedScene[] =
    "person height=1750\n"
    "at 0 pos=0,3000\nat 1 pos=0,3000\nat 2 pos=800,3000\nat 3 pos=800,2500\n"
    "wave 4..6.4 period=0.8\npush 5..6 hand=left\nraise 7..8\nswipe 8.5..9.5 direction=left\n"
    "circle 10..13 hand=left period=1.5\n";

TEST(MotionTruth, NamesTheRunningMotionsWithTheirIntervalPhaseAndCycles) {
    const PersonMotion motion(ParsedScene(kScriptedScene).people.at(0));
    const struct Expected {
        MotionKind kind;
        int side;
        double start, end, phase, cycles;
    } walk{MotionKind::Walk, -1, 1.0, 3.0, 0.0, 0.0};
    const struct {
        double t;
        std::vector<Expected> running;
    } cases[] = {
        {0.5, {}},
        // The two moving segments are one walk; 1300 mm at a stride of 1400 mm.
        {3.0, {{walk.kind, walk.side, 1.0, 3.0, 1.0, 1300.0 / 1400.0}}},
        {3.01, {}},
        {4.4, {{MotionKind::Wave, kRight, 4.0, 6.4, 0.4 / 2.4, 0.5}}},
        {5.5, {{MotionKind::Wave, kRight, 4.0, 6.4, 1.5 / 2.4, 1.875}, {MotionKind::Push, kLeft, 5.0, 6.0, 0.5, 0.0}}},
        {6.4, {{MotionKind::Wave, kRight, 4.0, 6.4, 1.0, 3.0}}},
        {6.5, {}},
        {7.5, {{MotionKind::Raise, kRight, 7.0, 8.0, 0.5, 0.0}}},
        {9.0, {{MotionKind::Swipe, kRight, 8.5, 9.5, 0.5, 0.0}}},
        {11.5, {{MotionKind::Circle, kLeft, 10.0, 13.0, 0.5, 1.0}}},
    };
    std::vector<MotionTruth> running;
    for (const auto& c : cases) {
        motion.RunningMotions(c.t, running);
        ASSERT_EQ(c.running.size(), running.size()) << c.t;
        for (size_t i = 0; i < running.size(); ++i) {
            const Expected& e = c.running[i];
            EXPECT_EQ(e.kind, running[i].kind) << c.t;
            EXPECT_EQ(e.side, running[i].side) << c.t;
            EXPECT_EQ(e.start, running[i].start) << c.t;
            EXPECT_EQ(e.end, running[i].end) << c.t;
            EXPECT_NEAR(e.phase, running[i].phase, 1e-9) << c.t;
            EXPECT_NEAR(e.cycles, running[i].cycles, e.kind == MotionKind::Walk ? 0.01 : 1e-9) << c.t;
        }
    }
}

TEST(MotionTruth, FramesCarryTheRunningMotionsInTheirTruthAndJson) {
    SceneRenderer renderer(ParsedScene(kScriptedScene));
    ASSERT_TRUE(renderer.SetResolution(160, 120));
    RenderedFrame frame;
    renderer.Render(165, frame);  // 5.5 s
    ASSERT_EQ(2u, frame.truth.users.at(0).motions.size());
    EXPECT_EQ(MotionKind::Push, frame.truth.users[0].motions[1].kind);
    const std::string json = FrameTruthToJson(frame.truth);
    EXPECT_NE(std::string::npos,
              json.find(",\"motions\":[{\"name\":\"wave\",\"hand\":\"right\",\"start\":4.000000,\"end\":6.400000,"
                        "\"phase\":0.625000,\"cycles\":1.875000},{\"name\":\"push\",\"hand\":\"left\","
                        "\"start\":5.000000,\"end\":6.000000,\"phase\":0.500000,\"cycles\":0.000000}]}]}"))
        << json;
    renderer.Render(60, frame);  // 2 s: walking, no hand
    ASSERT_EQ(1u, frame.truth.users[0].motions.size());
    EXPECT_NE(std::string::npos, FrameTruthToJson(frame.truth).find("{\"name\":\"walk\",\"hand\":null,"));
}

}  // namespace
