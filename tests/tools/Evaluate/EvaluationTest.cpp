// The user and hand evaluations and the gesture windows on crafted frames:
// a few pixels of truth and what a tracker might have reported.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Evaluate/GestureWindows.h"
#include "Evaluate/HandEvaluation.h"
#include "Evaluate/UserEvaluation.h"

namespace {

using namespace vela::evaluate;
using vela::scene::FrameTruth;
using vela::scene::MotionKind;
using vela::scene::MotionTruth;
using vela::scene::Vec3;

FrameTruth TruthOf(int frame, int people) {
    FrameTruth truth;
    truth.nFrame = frame;
    truth.dTime = frame / 30.0;
    truth.users.resize(static_cast<size_t>(people));
    for (int i = 0; i < people; ++i) truth.users[static_cast<size_t>(i)].nId = i + 1;
    return truth;
}

MotionTruth Motion(MotionKind kind, int side, double start, double end) {
    MotionTruth m;
    m.kind = kind;
    m.side = side;
    m.start = start;
    m.end = end;
    return m;
}

TEST(GestureWindows, ScriptedGesturesBecomeWindowsThatHoldDetectionsUpToASecondAfter) {
    EXPECT_EQ(0, GestureOfMotion(MotionKind::Wave));
    EXPECT_EQ(1, GestureOfMotion(MotionKind::Push));
    EXPECT_EQ(2, GestureOfMotion(MotionKind::Raise));
    for (MotionKind none : {MotionKind::Walk, MotionKind::Swipe, MotionKind::Circle}) {
        EXPECT_EQ(-1, GestureOfMotion(none));
    }
    GestureWindows windows;
    FrameTruth truth = TruthOf(40, 2);
    truth.users[0].motions = {Motion(MotionKind::Wave, 1, 1.0, 4.0), Motion(MotionKind::Walk, -1, 0.0, 9.0)};
    truth.users[1].motions = {Motion(MotionKind::Raise, 0, 2.0, 3.0), Motion(MotionKind::Swipe, 1, 2.0, 3.0)};
    windows.Observe(truth);
    windows.Observe(truth);  // the same motions in the next frame add nothing
    truth.users[0].motions = {Motion(MotionKind::Wave, 1, 4.5, 6.0), Motion(MotionKind::Push, 0, 5.0, 6.0)};
    truth.users[1].motions.clear();
    windows.Observe(truth);
    ASSERT_EQ(4u, windows.Windows().size());
    EXPECT_EQ(2, windows.Windows()[1].person);
    EXPECT_EQ(0, windows.Windows()[1].side);

    const struct {
        int type;
        double time;
        int window;
    } cases[] = {
        {0, 0.99, -1}, {0, 1.0, 0}, {0, 4.4, 0},
        {0, 4.8, 0},   // both waves hold it: the earlier one takes it
        {0, 5.0, 0},   {0, 5.01, 2}, {0, 7.0, 2}, {0, 7.01, -1},
        {1, 5.5, 3},   {1, 4.9, -1}, {2, 3.5, 1}, {2, 1.5, -1},
        {3, 2.5, -1},  // a swipe is no public gesture
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.window, windows.Match(c.type, c.time)) << c.type << " at " << c.time;
    }
}

TEST(UserEvaluation, EntryReportOverlapSwitchesFalseUsersAndCentreError) {
    UserEvaluation evaluation;
    std::vector<ReportedUser> none;
    const std::vector<uint16_t> empty = {0, 0, 0, 0, 0};
    const std::vector<uint16_t> labels = {1, 1, 1, 0, 0};
    FrameTruth truth = TruthOf(0, 1);
    evaluation.AddFrame(truth, empty, nullptr, none);  // not in view yet

    truth = TruthOf(1, 1);
    truth.users[0].nVisiblePixels = 3;
    truth.users[0].centroid = Vec3(0, 0, 2000);
    evaluation.AddFrame(truth, labels, nullptr, none);  // in view, not reported

    const std::vector<int16_t> first = {1, 1, 0, 0, 0};
    truth.nFrame = 2;
    // New: its centre is not measured yet and does not count.
    evaluation.AddFrame(truth, labels, first.data(), {{1, 3, Vec3()}});

    // Another id on the person; a user on the background; one reported
    // visible without pixels; a lost one that counts for nothing.
    const std::vector<int16_t> second = {2, 2, 2, 3, 0};
    truth.nFrame = 3;
    evaluation.AddFrame(truth, labels, second.data(),
                        {{2, 1, Vec3(0, 0, 2100)}, {3, 1, Vec3()}, {4, 1, Vec3()}, {1, 4, Vec3()}});

    ASSERT_EQ(1u, evaluation.People().size());
    const UserEvaluation::Person& p = evaluation.People()[0];
    EXPECT_EQ(3, p.visibleFrames);
    EXPECT_EQ(1, p.entryFrame);
    EXPECT_EQ(2, p.firstReportFrame);
    ASSERT_EQ(3u, p.iou.size());
    EXPECT_DOUBLE_EQ(0.0, p.iou[0]);
    EXPECT_DOUBLE_EQ(2.0 / 3.0, p.iou[1]);
    EXPECT_DOUBLE_EQ(1.0, p.iou[2]);
    EXPECT_EQ(2u, p.iouReported.size());
    EXPECT_EQ((std::vector<int>{1, 2}), p.identity.Ids());
    EXPECT_EQ(1, p.identity.Switches());
    EXPECT_EQ((std::vector<double>{100.0}), p.comErrors);
    EXPECT_EQ((std::vector<int>{3, 4}), evaluation.FalseUserIds());
    EXPECT_EQ(2, evaluation.FalseUserFrames());
    EXPECT_EQ(4, evaluation.Frames());
}

TEST(HandEvaluation, BorderAtTheWorkingResolution) {
    EXPECT_EQ(1, WorkingFactor(320, 0.0));
    EXPECT_EQ(2, WorkingFactor(320, 2499.0));
    EXPECT_EQ(1, WorkingFactor(320, 2500.0));
    EXPECT_EQ(4, WorkingFactor(640, 1000.0));
    EXPECT_EQ(2, WorkingFactor(640, 3999.0));
    EXPECT_EQ(1, WorkingFactor(640, 4000.0));
    const struct {
        int left, top, right, bottom, width, height, factor;
        bool touching;
    } cases[] = {
        {3, 100, 20, 120, 320, 240, 2, true},     // column 3 is working column 1
        {4, 100, 20, 120, 320, 240, 2, false},    // working column 2
        {7, 100, 20, 120, 640, 480, 4, true},
        {8, 100, 20, 120, 640, 480, 4, false},
        {100, 100, 315, 120, 320, 240, 2, false}, // working 157 of 160
        {100, 100, 316, 120, 320, 240, 2, true},
        {100, 1, 120, 20, 320, 240, 1, true},
        {100, 100, 120, 237, 320, 240, 1, false},
        {100, 100, 120, 238, 320, 240, 1, true},
        {5, 5, 4, 4, 320, 240, 2, false},         // no pixels
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.touching, TouchesBorder(c.left, c.top, c.right, c.bottom, c.width, c.height, c.factor))
            << c.left << "," << c.top << " " << c.right << "," << c.bottom << " x" << c.factor;
    }
}

// An 8 x 5 image: the right hand of person 1 on row 2, columns 0..1 (at
// the left border) or 4..5, or hidden.
struct HandFrames {
    std::vector<uint16_t> users = std::vector<uint16_t>(40, 0);
    std::vector<uint8_t> parts = std::vector<uint8_t>(40, 0);
    FrameTruth Frame(int frame, int firstPixel) {
        FrameTruth truth = TruthOf(frame, 1);
        std::fill(users.begin(), users.end(), 0);
        std::fill(parts.begin(), parts.end(), 0);
        auto& user = truth.users[0];
        user.joints[static_cast<int>(vela::scene::Joint::RightHand)].position = Vec3(0, 0, 1030);
        user.joints[static_cast<int>(vela::scene::Joint::LeftHand)].position = Vec3(-600, 0, 1000);
        if (firstPixel >= 0) {
            for (int i = 16 + firstPixel; i < 16 + firstPixel + 2; ++i) {
                users[static_cast<size_t>(i)] = 1;
                parts[static_cast<size_t>(i)] = vela::scene::kPartRightHand;
            }
            user.hands[vela::scene::kRight].nVisiblePixels = 2;
            user.hands[vela::scene::kRight].centroid = Vec3(0, 0, 1000);
        }
        return truth;
    }
};

TEST(HandEvaluation, FollowsAStartedHandItsErrorsTouchingLossAndFarReports) {
    HandEvaluation evaluation(30.0);
    HandFrames frames;
    const int right = vela::scene::kRight;
    evaluation.AddFrame(frames.Frame(0, 4), frames.users, frames.parts, 8, 5, {}, {});
    evaluation.NoteStart(1, right, 7);
    // Tracked 40 mm off; then at the border: reported touching, then not.
    evaluation.AddFrame(frames.Frame(1, 4), frames.users, frames.parts, 8, 5, {{7, 3, Vec3(0, 40, 1000)}}, {});
    evaluation.AddFrame(frames.Frame(2, 0), frames.users, frames.parts, 8, 5, {{7, 6, Vec3(0, 0, 1000)}}, {});
    evaluation.AddFrame(frames.Frame(3, 0), frames.users, frames.parts, 8, 5, {{7, 2, Vec3(0, 0, 1000)}}, {});
    // Not tracked while seen; then hidden, still reported, then lost two
    // frames after it disappeared; a report far from every hand.
    evaluation.AddFrame(frames.Frame(4, 4), frames.users, frames.parts, 8, 5, {}, {});
    evaluation.AddFrame(frames.Frame(5, -1), frames.users, frames.parts, 8, 5,
                        {{7, 2, Vec3(0, 0, 1000)}, {9, 2, Vec3(900, 0, 1000)}}, {});
    evaluation.AddFrame(frames.Frame(6, -1), frames.users, frames.parts, 8, 5, {}, {});
    evaluation.AddFrame(frames.Frame(7, -1), frames.users, frames.parts, 8, 5, {{7, 0, Vec3()}}, {});

    ASSERT_EQ(2u, evaluation.Hands().size());
    EXPECT_EQ(-1, evaluation.Hands()[0].followedFrom) << "the left hand was never followed";
    const HandEvaluation::Hand& hand = evaluation.Hands()[1];
    EXPECT_EQ(1, hand.followedFrom);
    EXPECT_EQ(4, hand.visibleFrames);
    EXPECT_EQ(3, hand.trackedFrames);
    EXPECT_EQ(1, hand.trackedHidden);
    EXPECT_EQ((std::vector<double>{40.0, 0.0, 0.0}), hand.centroidErrors);
    EXPECT_EQ((std::vector<double>{50.0, 30.0, 30.0}), hand.jointErrors);
    EXPECT_EQ(1, hand.touchingBoth);
    EXPECT_EQ(0, hand.touchingReportedOnly);
    EXPECT_EQ(1, hand.touchingTruthOnly);
    ASSERT_EQ(1u, hand.losses.size());
    EXPECT_EQ(5, hand.losses[0].disappeared);
    EXPECT_EQ(2, hand.losses[0].frames);
    EXPECT_EQ((std::vector<int>{7}), hand.identity.Ids());
    EXPECT_EQ(1, evaluation.FarReports());
}

TEST(HandEvaluation, AHandStartedAtAGestureBelongsToTheNearestHandAndGesturesMeetTheirWindows) {
    HandEvaluation evaluation(30.0);
    HandFrames frames;
    FrameTruth truth = frames.Frame(30, 4);
    truth.users[0].motions = {Motion(MotionKind::Wave, vela::scene::kRight, 0.5, 0.9)};
    // A wave 20 mm from the hand, and a click no push asked for.
    evaluation.AddFrame(truth, frames.users, frames.parts, 8, 5, {},
                        {{0, Vec3(0, 20, 1000)}, {1, Vec3(0, 0, 1000)}});
    evaluation.NoteStartAt(Vec3(0, 20, 1000), 3);
    truth = frames.Frame(31, 4);
    truth.users[0].motions.clear();
    evaluation.AddFrame(truth, frames.users, frames.parts, 8, 5, {{3, 3, Vec3(0, 0, 1000)}},
                        {{0, Vec3(0, 0, 1000)}});
    // Past the window's second of grace (0.9 + 1 s is frame 57).
    evaluation.AddFrame(frames.Frame(58, 4), frames.users, frames.parts, 8, 5, {}, {{0, Vec3()}});

    EXPECT_EQ(31, evaluation.Hands()[vela::scene::kRight].followedFrom);
    EXPECT_EQ(1, evaluation.Hands()[vela::scene::kRight].trackedFrames);
    const std::vector<HandEvaluation::GestureResult> gestures = evaluation.Gestures();
    ASSERT_EQ(1u, gestures.size());
    EXPECT_EQ(2, gestures[0].count);
    EXPECT_EQ(30, gestures[0].firstFrame);
    EXPECT_DOUBLE_EQ(20.0, gestures[0].distance);
    EXPECT_EQ(1, evaluation.FalseGestures()[0]);
    EXPECT_EQ(1, evaluation.FalseGestures()[1]);
    EXPECT_EQ(0, evaluation.FalseGestures()[2]);
}

}  // namespace
