// The click, swipe and wave recognizers, plain and robust, on the
// renderer's true hand paths with the sensor's noise, written into a focus
// trajectory frame by frame as the tracked object does.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../GestureTrajectorySupport.h"
#include "HandAnalysis/DUZClickGestureRecognizer.h"
#include "HandAnalysis/DUZSwipeGestureRecognizer.h"
#include "HandAnalysis/DUZWaveGestureRecognizer.h"
#include "RenderedHandPath.h"

namespace {

using rendered_gestures::HandPath;
using vela::scene::Joint;

// Completions the manager would report per recognizer type, in one mode.
struct Reported {
    int click = 0, wave = 0, swipeRight = 0, swipeLeft = 0;
};

// Every recognizer runs on its own trajectory, so that one's reset does not
// hide the path from another.
Reported RunAllRecognizers(const rendered_gestures::Path& path, int robust) {
    DUZClickGestureRecognizer click;
    DUZWaveGestureRecognizer wave;
    DUZSwipeGestureRecognizer right(Vector3D<float>(1, 0, 0));
    DUZSwipeGestureRecognizer left(Vector3D<float>(-1, 0, 0));
    DUZGestureRecognizerBase* recognizers[] = {&click, &wave, &right, &left};
    int* counts[4];
    Reported reported;
    counts[0] = &reported.click;
    counts[1] = &reported.wave;
    counts[2] = &reported.swipeRight;
    counts[3] = &reported.swipeLeft;
    for (int r = 0; r < 4; ++r) {
        DUZFocusGestureTrajectory trajectory(robust != 0);
        const int type = recognizers[r]->GetType() < DUZFocusGestureTrajectory::kGestureTypes
                             ? recognizers[r]->GetType()
                             : 0;
        for (size_t i = 0; i < path.size(); ++i) {
            const unsigned frame = 1u + static_cast<unsigned>(i);
            gesture_trajectory::Store(trajectory, path[i].position, frame, path[i].time);
            const int previous = trajectory.m_gestureStatus[type];
            Vector3D<float> position(0, 0, 0);
            const GestureStatus status = recognizers[r]->Run(trajectory, static_cast<int>(frame), position, 0, robust);
            if (status == GESTURE_STATUS_COMPLETED && (previous != status || r >= 2)) {
                ++*counts[r];
            }
        }
    }
    return reported;
}

TEST(RenderedRecognizers, CircleStillHandAndWalkingAreNoGesture) {
    const std::string circle =
        "frames count=200 fps=30\n"
        "person height=1750\n"
        "  at 0 pos=0,1800\n"
        "  circle 0.5..5.3 hand=right radius=120\n";
    const std::string still =
        "frames count=120 fps=30\n"
        "person height=1750\n"
        "  at 0 pos=0,1800\n"
        "  raise 0.2..4 hand=right\n";
    const std::string walking =
        "frames count=150 fps=30\n"
        "person height=1750\n"
        "  at 0 pos=0,4500\n"
        "  at 4 pos=0,1800\n";
    const struct {
        const char* what;
        rendered_gestures::Path path;
    } paths[] = {
        {"circle", HandPath(circle, Joint::RightHand, 15, 150, rendered_gestures::kNoiseMm, 7)},
        {"still", HandPath(still, Joint::RightHand, 30, 90, rendered_gestures::kNoiseMm, 8)},
        {"walking toward the camera, left hand", HandPath(walking, Joint::LeftHand, 1, 130, rendered_gestures::kNoiseMm, 5)},
        {"walking toward the camera, right hand", HandPath(walking, Joint::RightHand, 1, 130, rendered_gestures::kNoiseMm, 6)},
    };
    for (const auto& p : paths) {
        for (int robust = 0; robust <= 1; ++robust) {
            SCOPED_TRACE(std::string(p.what) + (robust != 0 ? ", robust" : ", plain"));
            const Reported reported = RunAllRecognizers(p.path, robust);
            EXPECT_EQ(0, reported.click);
            EXPECT_EQ(0, reported.wave);
            EXPECT_EQ(0, reported.swipeRight);
            EXPECT_EQ(0, reported.swipeLeft);
        }
    }
}

TEST(RenderedRecognizers, TheRenderersWaveAndPush) {
    // Swings of 150 mm every 0.3 s for about three cycles.
    const std::string waveScene =
        "frames count=120 fps=30\n"
        "person height=1750\n"
        "  at 0 pos=0,1800\n"
        "  wave 0.5..2.6 hand=right amplitude=75 period=0.6\n";
    const rendered_gestures::Path wavePath = HandPath(waveScene, Joint::RightHand, 10, 100, rendered_gestures::kNoiseMm, 4);
    // The camera at the hand's height: the push runs along the ray.
    const std::string pushScene =
        "frames count=90 fps=30\n"
        "camera elevation=1250\n"
        "person height=1750\n"
        "  at 0 pos=0,1900\n"
        "  push 0.5..2.0 hand=right reach=300\n";
    const rendered_gestures::Path pushPath = HandPath(pushScene, Joint::RightHand, 10, 70, rendered_gestures::kNoiseMm, 4);
    for (int robust = 0; robust <= 1; ++robust) {
        SCOPED_TRACE(robust);
        const Reported onWave = RunAllRecognizers(wavePath, robust);
        EXPECT_GE(onWave.wave, 1);
        EXPECT_EQ(0, onWave.click);
        const Reported onPush = RunAllRecognizers(pushPath, robust);
        EXPECT_EQ(1, onPush.click);
        EXPECT_EQ(0, onPush.wave);
        EXPECT_EQ(0, onPush.swipeRight + onPush.swipeLeft);
    }
}

TEST(RenderedRecognizers, WalkingAcrossTheViewIsNoClickAndNoWave) {
    // The hands travel along -X with the body (the person walks toward
    // room +x, camera -x), their speed rising and falling with the arm
    // swing: the swipe along the walk sees strokes from rest to rest and is
    // not asked about here; the one against it must stay silent.
    const std::string across =
        "frames count=150 fps=30\n"
        "person height=1750\n"
        "  at 0 pos=-1500,2500 yaw=-90\n"
        "  at 4 pos=1500,2500\n";
    for (const Joint hand : {Joint::LeftHand, Joint::RightHand}) {
        const rendered_gestures::Path path = HandPath(across, hand, 1, 130, rendered_gestures::kNoiseMm, 5);
        for (int robust = 0; robust <= 1; ++robust) {
            SCOPED_TRACE(robust);
            const Reported reported = RunAllRecognizers(path, robust);
            EXPECT_EQ(0, reported.click);
            EXPECT_EQ(0, reported.wave);
            EXPECT_EQ(0, reported.swipeRight);
        }
    }
}

}  // namespace
