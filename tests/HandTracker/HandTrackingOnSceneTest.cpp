// Hands through the hand tracker's public calls on a rendered scene of the
// synthetic camera, checked against the renderer's ground truth.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "HandTrackerOnSceneTest.h"
#include "SceneRenderer/BodyModel.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

using vela_test::HandFrame;
using vela_test::ReadHandFrame;

// The room of these scenes: the camera 1.2 m above the floor, a wall at
// 3.2 m, and a person 1.75 m tall standing at 1.8 m (until the lines that
// follow move them).
std::string PersonScene(int frames, const std::string& lines) {
    return "frames count=" + std::to_string(frames) +
           " fps=30\n"
           "camera elevation=1200\n"
           "wall z=3200\n"
           "person height=1750 walk=off\n"
           "  at 0 pos=0,1800\n" +
           lines;
}

// A person at 1.8 m before a wall raises the right hand in front of the
// chest (forearm hanging below it), steps 300 mm to the side with it and
// lowers it beside the body.
const std::string kOneHandLife = PersonScene(240,
    "  at 1.6 pos=0,1800\n"
    "  at 2.6 pos=300,1800\n"
    "  pose 0 stand\n"
    "  pose 0.5 stand right_arm=0,30,0,105\n"
    "  pose 4.5 stand right_arm=0,30,0,105\n"
    "  pose 5.0 stand\n");

// The same person, the hand raised, then: 300 mm sideways in a second (up to
// 450 mm/s), 400 mm back in 0.6 s (up to 1 m/s), one circle of 100 mm radius
// at 0.5 Hz, a push 200 mm toward the camera and back, and a slow walk that
// brings the hand to the image's left border.
const std::string kOneHandPhases = PersonScene(300,
    "  at 1.6 pos=0,1800\n"
    "  at 2.6 pos=300,1800\n"
    "  at 2.8 pos=300,1800\n"
    "  at 3.4 pos=-100,1800\n"
    "  at 7.3 pos=-100,1800\n"
    "  at 9.6 pos=1000,1800\n"
    "  pose 0 stand\n"
    "  pose 0.5 stand right_arm=0,30,0,105\n"
    "  circle 3.5..5.9 hand=right radius=100 period=2 blend=0.2\n"
    "  push 6.0..7.2 hand=right reach=200 blend=0.2\n");
constexpr int kPhasesEnd = 219;     // scene time 7.3 s: the push is over
constexpr int kPhasesLastFrame = 300;

// The same person raising both hands 300 mm apart (started at frame 45),
// bringing them together for half a second until they touch and parting
// them again.
const std::string kTwoHands = PersonScene(300,
    "  pose 0 stand\n"
    "  pose 0.5 stand right_arm=0,30,0,105 left_arm=0,30,0,105\n"
    "  pose 2.6 stand right_arm=0,30,0,105 left_arm=0,30,0,105\n"
    "  pose 3.2 stand right_arm=0,30,-25,105 left_arm=0,30,-25,105\n"
    "  pose 3.7 stand right_arm=0,30,-25,105 left_arm=0,30,-25,105\n"
    "  pose 4.3 stand right_arm=0,30,0,105 left_arm=0,30,0,105\n");
constexpr int kTogetherFrame = 78;   // scene time 2.6 s: the hands start to meet
constexpr int kPartedFrame = 129;    // scene time 4.3 s: apart again
constexpr int kTwoHandsEndFrame = 200;

constexpr int kStartFrame = 45;   // the hand has been up for a second
constexpr int kLoweredFrame = 136;  // scene time 4.5 s: the hand starts down

class HandTrackingOnSceneTest : public vela_test::HandTrackerOnSceneTest {
protected:
    // The hand records of the next `frames` frames, one line each.
    std::vector<std::string> HandRecords(int frames) {
        std::vector<std::string> records;
        for (int i = 0; i < frames; ++i) {
            HandFrame frame = ReadHandFrame(*m_tracker);
            if (frame == nullptr) {
                ADD_FAILURE() << "no frame";
                break;
            }
            for (int h = 0; h < frame->handCount; ++h) {
                const VelaHandData& hand = frame->hands[h];
                char line[160];
                std::snprintf(line, sizeof(line), "frame %d: id %d state %d at %.9g %.9g %.9g", frame->frameIndex,
                              hand.id, hand.state, hand.position.x, hand.position.y, hand.position.z);
                records.push_back(line);
            }
        }
        return records;
    }
    // Reads frames up to frameIndex (none with a hand), starts the right hand
    // at its true visible centroid in the last one read and checks the next
    // frame's two records: new (queued by the start), then tracked (queued by
    // that frame's update).
    void StartRightHandAt(int frameIndex, short& id) {
        int index = 0;
        while (index < frameIndex) {
            HandFrame frame = ReadHandFrame(*m_tracker);
            ASSERT_NE(nullptr, frame.get());
            EXPECT_EQ(0, frame->handCount);
            index = frame->frameIndex;
        }
        const vela::scene::Vec3 start = m_camera.Truth(index).truth.users.at(0).hands.at(1).centroid;
        ASSERT_LT(1000.0, start.z);
        ASSERT_EQ(VELA_STATUS_OK,
                  m_tracker->startHandTracking(VelaPoint3f{static_cast<float>(start.x), static_cast<float>(start.y),
                                                           static_cast<float>(start.z)},
                                               &id));
        HandFrame frame = ReadHandFrame(*m_tracker);
        ASSERT_EQ(2, frame->handCount);
        EXPECT_EQ(id, frame->hands[0].id);
        EXPECT_EQ(VELA_HAND_STATE_NEW | VELA_HAND_STATE_TRACKED, frame->hands[0].state);
        EXPECT_EQ(id, frame->hands[1].id);
        EXPECT_EQ(VELA_HAND_STATE_TRACKED, frame->hands[1].state);
    }
    // Starts tracking the hand of the side (0 left, 1 right) at its true
    // visible centroid in frame frameIndex.
    int StartHand(int frameIndex, int side, short& id) {
        const vela::scene::Vec3& c =
            m_camera.Truth(frameIndex).truth.users.at(0).hands.at(static_cast<size_t>(side)).centroid;
        return m_tracker->startHandTracking(
            VelaPoint3f{static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z)}, &id);
    }
    // The right hand's truth for the frame.
    const vela::scene::HandTruth& RightHand(const VelaHandTrackerFrame& frame) {
        return m_camera.Truth(frame.frameIndex).truth.users.at(0).hands.at(1);
    }

};

double Distance(const VelaPoint3f& a, const vela::scene::Vec3& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// One hand's life: started at its true visible centroid it is reported new
// and tracked, then tracked in every frame while it moves sideways, close to
// the truth; lowered, it is reported lost once, about a second after its
// last tracked frame.
class OneHandLifeTest : public HandTrackingOnSceneTest, public ::testing::WithParamInterface<int> {};

TEST_P(OneHandLifeTest, OneHandIsStartedTrackedAndLost) {
    ASSERT_NO_FATAL_FAILURE(Open(kOneHandLife, GetParam(), GetParam() * 3 / 4));
    short id = 0;
    ASSERT_NO_FATAL_FAILURE(StartRightHandAt(kStartFrame, id));
    ASSERT_EQ(1, id);
    int tracked = 0;
    int close = 0;
    int lastTracked = -1;
    int lostAt = -1;
    int lostReports = 0;
    for (int i = 0; i < 200; ++i) {
        HandFrame frame = ReadHandFrame(*m_tracker);
        ASSERT_NE(nullptr, frame.get());
        const vela::scene::HandTruth& truth = RightHand(*frame);
        for (int h = 0; h < frame->handCount; ++h) {
            const VelaHandData& hand = frame->hands[h];
            EXPECT_EQ(id, hand.id);
            if (hand.state == VELA_HAND_STATE_LOST) {
                ++lostReports;
                lostAt = frame->frameIndex;
            } else if ((hand.state & VELA_HAND_STATE_TRACKED) != 0) {
                lastTracked = frame->frameIndex;
                if (frame->frameIndex < kLoweredFrame) {
                    ++tracked;
                    close += Distance(hand.position, truth.centroid) < 50.0 ? 1 : 0;
                }
            }
        }
        if (frame->frameIndex < kLoweredFrame) {
            EXPECT_GE(1, frame->handCount) << "frame " << frame->frameIndex;
        }
    }
    // A frame or two of the fastest motion may go lost and be recovered by
    // the ghost (no record in that frame); the hand is never given up.
    const int expected = kLoweredFrame - kStartFrame - 1;
    EXPECT_LE(expected - 2, tracked);
    EXPECT_LE(0.95 * tracked, close) << tracked << " tracked frames";
    EXPECT_EQ(1, lostReports);
    EXPECT_NEAR(31, lostAt - lastTracked, 3) << "last tracked " << lastTracked << ", lost " << lostAt;
}

// The hand followed through faster motion, a circle and a push, within
// 50 mm of its true visible centroid in at least 95% of the frames; walked
// to the image's left border it is reported touching it (state 6) while its
// true pixels lie within 2 pixels of the border at the working resolution
// (the hand is near enough for 160x120), never while they are more than 30
// pixels of the input away.
TEST_P(OneHandLifeTest, OneHandIsFollowedThroughFastMotionCirclesPushesAndToTheBorder) {
    const int width = GetParam();
    ASSERT_NO_FATAL_FAILURE(Open(kOneHandPhases, width, width * 3 / 4));
    short id = 0;
    ASSERT_NO_FATAL_FAILURE(StartRightHandAt(kStartFrame, id));
    const int factor = width / 160;
    int tracked = 0;
    int close = 0;
    int nearBorder = 0;
    int touchingNearBorder = 0;
    int touchingFarFromBorder = 0;
    int frames = 0;
    int frameIndex = 0;
    while (frameIndex < kPhasesLastFrame) {
        HandFrame frame = ReadHandFrame(*m_tracker);
        ASSERT_NE(nullptr, frame.get());
        frameIndex = frame->frameIndex;
        const vela::scene::RenderedFrame& rendered = m_camera.Truth(frameIndex);
        const vela::scene::HandTruth& truth = rendered.truth.users.at(0).hands.at(1);
        int left = width;
        for (size_t i = 0; i < rendered.parts.size(); ++i) {
            if (rendered.parts[i] == vela::scene::kPartRightHand && rendered.depth[i] != 0) {
                left = std::min(left, static_cast<int>(i % static_cast<size_t>(width)));
            }
        }
        bool touching = false;
        bool touchingAtAll = false;
        bool trackedNow = false;
        for (int h = 0; h < frame->handCount; ++h) {
            const VelaHandData& hand = frame->hands[h];
            EXPECT_EQ(id, hand.id);
            // Touching the border while tracked: state 6.
            touching = touching || hand.state == (VELA_HAND_STATE_TRACKED | VELA_HAND_STATE_TOUCHING_FOV);
            touchingAtAll = touchingAtAll || (hand.state & VELA_HAND_STATE_TOUCHING_FOV) != 0;
            if ((hand.state & VELA_HAND_STATE_TRACKED) != 0) {
                trackedNow = true;
                if (frameIndex <= kPhasesEnd) {
                    close += Distance(hand.position, truth.centroid) < 50.0 ? 1 : 0;
                }
            }
        }
        if (frameIndex <= kPhasesEnd) {
            ++frames;
            tracked += trackedNow ? 1 : 0;
            continue;
        }
        if (left < 2 * factor) {
            ++nearBorder;
            touchingNearBorder += touching ? 1 : 0;
        } else if (left > 30) {
            touchingFarFromBorder += touchingAtAll ? 1 : 0;
        }
    }
    // As in the hand's life, a frame or two of the fastest motion may go
    // lost and be recovered by the ghost.
    std::printf("%d of %d frames tracked, %d within 50 mm; %d frames within 2 pixels of the border\n", tracked,
                frames, close, nearBorder);
    EXPECT_LE(frames - 2, tracked);
    EXPECT_LE(0.95 * tracked, close) << tracked << " tracked frames";
    EXPECT_LT(0, nearBorder);
    EXPECT_EQ(nearBorder, touchingNearBorder);
    EXPECT_EQ(0, touchingFarFromBorder);
}

// The same scene from a recording, played one frame per read on a lent
// device, gives the same hand records as the live camera.
TEST_F(HandTrackingOnSceneTest, ARecordingGivesTheSameHandRecordsAsTheLiveScene) {
    constexpr int kFollowed = 50;
    ASSERT_NO_FATAL_FAILURE(Open(kOneHandLife, 320, 240));
    short id = 0;
    ASSERT_NO_FATAL_FAILURE(StartRightHandAt(kStartFrame, id));
    const std::vector<std::string> live = HandRecords(kFollowed);
    Close();
    ASSERT_NO_FATAL_FAILURE(OpenRecording(kOneHandLife, kStartFrame + kFollowed + 10));
    ASSERT_NO_FATAL_FAILURE(StartRightHandAt(kStartFrame, id));
    const std::vector<std::string> recorded = HandRecords(kFollowed);
    ASSERT_LE(static_cast<size_t>(kFollowed - 2), live.size()) << "the hand was tracked";
    EXPECT_EQ(live, recorded);
}

// Two hands raised 300 mm apart get ids 1 and 2 and are both tracked, each
// close to its own hand; a start inside a tracked hand's search box is
// refused. Brought together until their pixels meet, both stop being
// reported tracked (touching hands are lost); after they part, each is
// re-acquired or reported lost once, about a second after its last tracked
// frame. Then stopping one hand reports it lost once, and stopping all
// reports each remaining hand once.
TEST_F(HandTrackingOnSceneTest, TwoHandsAreTrackedLostWhenTheyMeetAndStoppedOneByOne) {
    ASSERT_NO_FATAL_FAILURE(Open(kTwoHands, 320, 240));
    int frameIndex = 0;
    while (frameIndex < kStartFrame) {
        HandFrame frame = ReadHandFrame(*m_tracker);
        ASSERT_NE(nullptr, frame.get());
        frameIndex = frame->frameIndex;
    }
    short ids[2] = {0, 0};  // left, right
    ASSERT_EQ(VELA_STATUS_OK, StartHand(frameIndex, 1, ids[1]));
    ASSERT_EQ(VELA_STATUS_OK, StartHand(frameIndex, 0, ids[0]));
    EXPECT_EQ(1, ids[1]);
    EXPECT_EQ(2, ids[0]);
    struct HandHistory {
        int tracked = 0, close = 0;       // frames before the hands meet
        int lastTracked = -1;             // frame
        int lostReports = 0, lostAt = -1;
        bool reacquired = false;          // tracked again after parting
        int followedSide = -1;            // nearest true hand when last tracked
    } history[2];
    int bothUntracked = 0;
    bool refusedChecked = false;
    while (frameIndex < kTwoHandsEndFrame) {
        HandFrame frame = ReadHandFrame(*m_tracker);
        ASSERT_NE(nullptr, frame.get());
        frameIndex = frame->frameIndex;
        const auto& hands = m_camera.Truth(frameIndex).truth.users.at(0).hands;
        bool trackedNow[2] = {false, false};
        for (int h = 0; h < frame->handCount; ++h) {
            const VelaHandData& hand = frame->hands[h];
            const int side = hand.id == ids[0] ? 0 : 1;
            ASSERT_TRUE(hand.id == ids[0] || hand.id == ids[1]) << hand.id;
            HandHistory& hist = history[side];
            if (hand.state == VELA_HAND_STATE_LOST) {
                ++hist.lostReports;
                hist.lostAt = frameIndex;
                continue;
            }
            if ((hand.state & VELA_HAND_STATE_TRACKED) == 0) {
                continue;
            }
            trackedNow[side] = true;
            hist.lastTracked = frameIndex;
            const double toLeft = Distance(hand.position, hands[0].centroid);
            const double toRight = Distance(hand.position, hands[1].centroid);
            hist.followedSide = toLeft < toRight ? 0 : 1;
            if (frameIndex < kTogetherFrame) {
                ++hist.tracked;
                hist.close += Distance(hand.position, hands[static_cast<size_t>(side)].centroid) < 50.0 ? 1 : 0;
            } else if (frameIndex > kPartedFrame) {
                hist.reacquired = true;
            }
        }
        if (frameIndex >= kTogetherFrame && frameIndex <= kPartedFrame && !trackedNow[0] && !trackedNow[1]) {
            ++bothUntracked;
        }
        if (!refusedChecked && frameIndex >= kStartFrame + 15 && trackedNow[1]) {
            // 20 mm beside the tracked right hand.
            const vela::scene::Vec3& c = hands[1].centroid;
            short refused = 0;
            EXPECT_EQ(VELA_STATUS_ERROR,
                      m_tracker->startHandTracking(VelaPoint3f{static_cast<float>(c.x) + 20.0f,
                                                               static_cast<float>(c.y), static_cast<float>(c.z)},
                                                   &refused));
            refusedChecked = true;
        }
    }
    EXPECT_TRUE(refusedChecked);
    const int before = kTogetherFrame - kStartFrame - 1;
    for (int side = 0; side < 2; ++side) {
        SCOPED_TRACE(side == 0 ? "left hand" : "right hand");
        const HandHistory& hist = history[side];
        EXPECT_LE(before - 2, hist.tracked);
        EXPECT_LE(0.95 * hist.tracked, hist.close) << hist.tracked << " tracked frames";
        if (!hist.reacquired) {
            EXPECT_EQ(1, hist.lostReports);
            EXPECT_NEAR(31, hist.lostAt - hist.lastTracked, 3)
                << "last tracked " << hist.lastTracked << ", lost " << hist.lostAt;
        }
        std::printf("id %d (started on the %s hand): %s, last tracked at frame %d nearest the %s hand\n",
                    ids[side], side == 0 ? "left" : "right",
                    hist.reacquired ? "re-acquired after parting" : "reported lost", hist.lastTracked,
                    hist.followedSide == 0 ? "left" : hist.followedSide == 1 ? "right" : "no");
    }
    std::printf("%d frames with neither hand tracked while they met\n", bothUntracked);
    EXPECT_LT(0, bothUntracked) << "the hands met";

    // Whatever is left is stopped; both hands start again and are stopped
    // one, then all.
    m_tracker->stopHandTracking();
    ReadHandFrame(*m_tracker);
    frameIndex = ReadHandFrame(*m_tracker)->frameIndex;
    short again[2] = {0, 0};
    ASSERT_EQ(VELA_STATUS_OK, StartHand(frameIndex, 1, again[1]));
    ASSERT_EQ(VELA_STATUS_OK, StartHand(frameIndex, 0, again[0]));
    for (int i = 0; i < 5; ++i) {
        ReadHandFrame(*m_tracker);
    }
    const auto lostRecords = [this](short id) {
        HandFrame frame = ReadHandFrame(*m_tracker);
        int lost = 0;
        for (int h = 0; h < frame->handCount; ++h) {
            lost += frame->hands[h].id == id && frame->hands[h].state == VELA_HAND_STATE_LOST ? 1 : 0;
        }
        return lost;
    };
    EXPECT_EQ(1, m_tracker->stopHandTracking(again[1]));
    EXPECT_EQ(1, lostRecords(again[1]));
    EXPECT_EQ(0, lostRecords(again[1]));
    m_tracker->stopHandTracking();
    EXPECT_EQ(1, lostRecords(again[0]));
    EXPECT_EQ(0, ReadHandFrame(*m_tracker)->handCount);
}

// Two hand trackers on two cameras, each reading on its own thread and
// tracking the raised hand, then shut down while the other still reads: the
// shared hand algorithms take turns, so nothing breaks. How each hand fares
// is not asserted (the trackers share the detector and the input history).
TEST_F(HandTrackingOnSceneTest, TwoHandTrackersReadOnTwoThreads) {
    ASSERT_NO_FATAL_FAILURE(Open(kOneHandLife, 320, 240));
    const vela::scene::Vec3 c = m_camera.Truth(kStartFrame + 1).truth.users.at(0).hands.at(1).centroid;
    const VelaPoint3f start{static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z)};
    openni::Device secondDevice;
    ASSERT_EQ(openni::STATUS_OK, secondDevice.open(m_camera.Device().getDeviceInfo().getUri()));
    std::unique_ptr<HandTracker> second(new HandTracker);
    ASSERT_EQ(VELA_STATUS_OK, second->initialize(&secondDevice)) << LogText();
    const auto run = [&start](HandTracker* tracker, int frames, int* trackedFrames) {
        bool started = false;
        for (int i = 0; i < frames; ++i) {
            VelaHandTrackerFrame* frame = nullptr;
            if (tracker->getNextFrame(&frame) != VELA_STATUS_OK || frame == nullptr) {
                return;
            }
            if (frame->frameIndex >= kStartFrame && !started) {
                short id = 0;
                started = tracker->startHandTracking(start, &id) == VELA_STATUS_OK;
            }
            for (int h = 0; h < frame->handCount; ++h) {
                *trackedFrames += (frame->hands[h].state & VELA_HAND_STATE_TRACKED) != 0 ? 1 : 0;
            }
            tracker->handTrackerFrameRelease(frame);
        }
    };
    int trackedFirst = 0;
    int trackedSecond = 0;
    std::thread other(run, second.get(), 150, &trackedSecond);
    run(m_tracker.get(), 100, &trackedFirst);
    m_tracker.reset();
    other.join();
    second.reset();
    secondDevice.close();
    std::printf("tracked records: %d and %d\n", trackedFirst, trackedSecond);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, OneHandLifeTest, ::testing::Values(320, 640));

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
