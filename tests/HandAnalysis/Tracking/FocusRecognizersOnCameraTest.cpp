// The click, swipe and wave recognizers, plain and robust, on candidates
// that focus hand trackers follow through rendered depth frames with every
// sensor effect on, driven as the gesture manager drives them: every frame
// each recognizer runs on a tracking or just-lost candidate, a status that
// is new for the candidate or 3 is reported, a just-lost candidate is freed
// after its last run, and every fifth frame a free candidate is started on
// the moving hand.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../GestureTrajectorySupport.h"
#include "FocusDriver.h"
#include "HandAnalysis/DUZClickGestureRecognizer.h"
#include "HandAnalysis/DUZSwipeGestureRecognizer.h"
#include "HandAnalysis/DUZWaveGestureRecognizer.h"
#include "HandCameraSession.h"

namespace {

using focus_driver::Driver;
using hand_test_kit::CameraSession;

// The gestures begin at 2.3 s, after the focus background model has learnt
// the room; their candidates start at frame kGestureStart, the hand then up
// and moving.
constexpr int kGestureStart = 76;

// The person at 1.9 m before a wall at 3.2 m, the camera at about the
// height of a hand held before the chest; the person's lines follow.
std::string GestureRoom(const std::string& personLines, int frames) {
    return "frames count=" + std::to_string(frames) +
           " fps=30\ncamera elevation=1250\nwall z=3200\nperson height=1750\n" + personLines;
}

// One recognizer with a candidate of its own, in one mode, so that one
// recognizer's reset of the trajectory does not hide the motion from
// another.
struct Watch {
    std::unique_ptr<DUZGestureRecognizerBase> recognizer;
    int robust = 0;
    DUZTrackedObject* object = nullptr;
    std::vector<int> reported;  // the statuses reported, in order
    int completions = 0;
    int runs = 0;  // frames on which the recognizer ran
};

struct GestureRun {
    std::vector<Watch> watches;
    const Watch& Of(GestureType type, int robust) const {
        for (const Watch& w : watches) {
            if (w.recognizer->GetType() == type && w.robust == robust) return w;
        }
        ADD_FAILURE() << "no watch of type " << type;
        return watches.front();
    }
    int Completions(GestureType type, int robust) const { return Of(type, robust).completions; }
};

// The scene's first `frames` frames; from frame `start` (counted from 1)
// every fifth frame each free candidate starts on the right hand's visible
// centroid.
GestureRun RunScene(const std::string& scene, int frames, int start = kGestureStart) {
    GestureRun run;
    CameraSession session;
    EXPECT_TRUE(session.OpenScene(scene, 320, 240)) << session.Error();
    Driver driver(session);
    for (int robust = 0; robust <= 1; ++robust) {
        DUZGestureRecognizerBase* recognizers[] = {new DUZClickGestureRecognizer, new DUZWaveGestureRecognizer,
                                                   new DUZSwipeGestureRecognizer(Vector3D<float>(1, 0, 0)),
                                                   new DUZSwipeGestureRecognizer(Vector3D<float>(-1, 0, 0))};
        for (DUZGestureRecognizerBase* r : recognizers) {
            Watch w;
            w.recognizer.reset(r);
            EXPECT_EQ(1, r->Initialize("", 0));
            w.robust = robust;
            w.object = &driver.AddObject(robust);
            run.watches.push_back(std::move(w));
        }
    }
    int frame = 0;
    while (++frame <= frames && driver.Next()) {
        if (frame >= start && (frame - start) % 5 == 0) {
            const Vector3D<float> hand = hand_test_kit::ToVector(session.Hand(0, vela::scene::kRight).centroid);
            for (Watch& w : run.watches) {
                if (w.object->m_tracker.m_state == DUZHandTrackerBase::eInactive && hand.z > 0.0f) {
                    driver.Start(*w.object, hand);
                }
            }
        }
        for (Watch& w : run.watches) {
            DUZFocusGestureTrajectory& trajectory = w.object->m_trajectory;
            if (w.object->m_tracker.m_state != DUZHandTrackerBase::eTracking && trajectory.m_justLost == 0) {
                continue;
            }
            ++w.runs;
            const int previous = trajectory.m_gestureStatus[w.recognizer->GetType()];
            Vector3D<float> position(0, 0, 0);
            const GestureStatus status =
                w.recognizer->Run(trajectory, static_cast<int>(driver.Current().m_frameId), position, 0, w.robust);
            if (status == GESTURE_STATUS_IN_PROGRESS || status != previous) {
                w.reported.push_back(status);
                w.completions += status == GESTURE_STATUS_COMPLETED;
            }
            if (trajectory.m_justLost != 0) {
                w.object->Reset();
            }
        }
    }
    return run;
}

// The renderer's push: from before the chest 300 mm toward the camera and
// back, the tip slowing to a turn.
TEST(FocusRecognizersOnCamera, ThePushIsOneClickPlainAndRobust) {
    const GestureRun run = RunScene(GestureRoom("  at 0 pos=0,1900\n  push 2.3..3.8 hand=right reach=300\n", 140), 140);
    for (int robust = 0; robust <= 1; ++robust) {
        SCOPED_TRACE(robust);
        const Watch& click = run.Of(GESTURE_CLICK, robust);
        SCOPED_TRACE(::testing::PrintToString(click.reported));
        EXPECT_EQ(1, click.completions);
        EXPECT_EQ(0, run.Completions(GESTURE_WAVE, robust));
        EXPECT_EQ(0, run.Completions(GESTURE_SWIPE_PLUS_X, robust));
        EXPECT_EQ(0, run.Completions(GESTURE_SWIPE_MINUS_X, robust));
    }
    // Plain: in progress once the push is long enough, then the click.
    EXPECT_TRUE(gesture_trajectory::InOrder(run.Of(GESTURE_CLICK, 0).reported,
                                            {GESTURE_STATUS_IN_PROGRESS, GESTURE_STATUS_COMPLETED}));
    // Robust: progress, more than 140 mm nearer, the tip, progress on the
    // pull back, then the click.
    EXPECT_TRUE(
        gesture_trajectory::InOrder(run.Of(GESTURE_CLICK, 1).reported,
                                    {GESTURE_STATUS_IN_PROGRESS, GESTURE_STATUS_FURTHER_STAGE, GESTURE_STATUS_STARTED,
                                     GESTURE_STATUS_IN_PROGRESS, GESTURE_STATUS_COMPLETED}));
}

// The renderer's swipe of 500 mm across the chest. A swipe must rise (the
// side view wants the stroke's height change to outweigh its depth change,
// and the hand's path bends toward the camera in the middle), so the
// person rises out of a slight knee bend during the later part of the
// stroke.
TEST(FocusRecognizersOnCamera, SwipesAlongPlusAndMinusX) {
    const struct {
        const char* direction;  // as the person sees it; the camera mirrors
        GestureType found;
        GestureType notFound;
    } cases[] = {
        {"right", GESTURE_SWIPE_PLUS_X, GESTURE_SWIPE_MINUS_X},
        {"left", GESTURE_SWIPE_MINUS_X, GESTURE_SWIPE_PLUS_X},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.direction);
        const GestureRun run =
            RunScene(GestureRoom(std::string("  at 0 pos=0,1900\n"
                                             "  pose 0 stand left_leg=0,0,0,35 right_leg=0,0,0,35\n"
                                             "  pose 2.9 stand left_leg=0,0,0,35 right_leg=0,0,0,35\n"
                                             "  pose 3.5 stand\n"
                                             "  swipe 2.3..3.8 hand=right length=500 direction=") +
                                     c.direction + "\n",
                                 130),
                     130);
        for (int robust = 0; robust <= 1; ++robust) {
            SCOPED_TRACE(robust);
            EXPECT_EQ(1, run.Completions(c.found, robust));
            EXPECT_EQ(0, run.Completions(c.notFound, robust));
            EXPECT_EQ(0, run.Completions(GESTURE_CLICK, robust));
            EXPECT_EQ(0, run.Completions(GESTURE_WAVE, robust));
        }
    }
}

// The renderer's wave: swings of 150 mm every 0.3 s beside the head.
TEST(FocusRecognizersOnCamera, TheWaveIsRecognisedPlainAndRobust) {
    const GestureRun run =
        RunScene(GestureRoom("  at 0 pos=0,1900\n  wave 2.3..4.6 hand=right amplitude=75 period=0.6\n", 145), 145);
    for (int robust = 0; robust <= 1; ++robust) {
        SCOPED_TRACE(robust);
        const Watch& wave = run.Of(GESTURE_WAVE, robust);
        SCOPED_TRACE(::testing::PrintToString(wave.reported));
        EXPECT_GE(wave.completions, 1);
        EXPECT_TRUE(gesture_trajectory::InOrder(wave.reported, {GESTURE_STATUS_IN_PROGRESS, GESTURE_STATUS_COMPLETED}));
        EXPECT_EQ(0, run.Completions(GESTURE_CLICK, robust));
        EXPECT_EQ(0, run.Completions(GESTURE_SWIPE_PLUS_X, robust));
        EXPECT_EQ(0, run.Completions(GESTURE_SWIPE_MINUS_X, robust));
    }
    EXPECT_TRUE(gesture_trajectory::InOrder(run.Of(GESTURE_WAVE, 1).reported,
                                            {GESTURE_STATUS_STARTED, GESTURE_STATUS_COMPLETED}));
}

TEST(FocusRecognizersOnCamera, StillHandCircleAndWalkingAreNoClickAndNoWave) {
    const struct {
        const char* what;
        std::string person;
        int frames;
        int start;
        int minRuns;  // frames the candidates were followed, at least
    } cases[] = {
        // Raised before the chest, then held still: its candidates are
        // dropped and started again.
        {"still", "  at 0 pos=0,1900\n  pose 2 stand\n  pose 2.6 stand right_arm=0,30,0,105\n", 120, 70, 40},
        {"circle", "  at 0 pos=0,1900\n  circle 2.3..5.3 hand=right radius=120\n", 160, kGestureStart, 75},
        // Toward the camera from 3 m, the arms swinging.
        {"walking", "  at 0 pos=0,3000\n  at 2 pos=0,3000\n  at 4.5 pos=0,1700\n", 140, 70, 25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const GestureRun run = RunScene(GestureRoom(c.person, c.frames), c.frames, c.start);
        for (int robust = 0; robust <= 1; ++robust) {
            SCOPED_TRACE(robust);
            EXPECT_GE(run.Of(GESTURE_CLICK, robust).runs, c.minRuns);
            EXPECT_EQ(0, run.Completions(GESTURE_CLICK, robust));
            EXPECT_EQ(0, run.Completions(GESTURE_WAVE, robust));
        }
    }
}

}  // namespace
