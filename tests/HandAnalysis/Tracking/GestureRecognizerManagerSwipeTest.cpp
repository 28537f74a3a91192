// Swipes, which only the gesture manager's own switches reach, on rendered
// strokes through the synthetic camera.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "HandAnalysis/DUZGestureRecognizerManager.h"
#include "HandCameraSession.h"

namespace {

// Completed gestures by type.
class CompletedGestures : public NAEventListener {
public:
    void ProcessEvent(const NAEvent& event) override {
        if (event.kind == NAEvent::GESTURE && event.gesture.gestureStatus == GESTURE_STATUS_COMPLETED) {
            types.push_back(event.gesture.gestureType);
            std::printf("frame %u: type %d\n", event.frameId, event.gesture.gestureType);
        }
    }
    int Count(int type) const {
        int n = 0;
        for (int t : types) {
            n += t == type ? 1 : 0;
        }
        return n;
    }
    std::vector<int> types;
};

// A person at 1.7 m stands still for 3 s, then brings one hand up on its
// own side of the body (0.3 s: the movement that makes the candidate),
// slows down and strokes it across the body 385 mm in front of the
// shoulder (a smooth start and stop, about 1 m/s in the middle), and lowers
// it again. The right hand strokes toward the person's left and the left
// hand toward the right: one stroke along each X direction. The side view
// of the stroke must rise (a level or sinking stroke fails it), and the
// renderer's strokes are level: the trunk leans 18 degrees away from the
// stroking hand while it strokes, which lifts that shoulder and with it
// the hand by about 40 mm and lengthens the stroke from 240 to about
// 400 mm. (A stroke that starts on the far side of the body is found only
// as it begins, after the rest before it, and gives nothing.)
constexpr uint32_t kSwipeFrames = 150;

std::string SwipeScene(int side) {
    const char* hand = side == vela::scene::kRight ? "right" : "left";
    const char* direction = side == vela::scene::kRight ? "left" : "right";
    const char* lean = side == vela::scene::kRight ? "-18" : "18";
    return std::string(
               "frames count=" + std::to_string(kSwipeFrames) + " fps=30\n"
               "camera elevation=1200\n"
               "wall z=3200\n"
               "person height=1750 walk=off\n"
               "  at 0 pos=0,1700\n"
               "  pose 0 stand\n"
               "  pose 3.3 stand\n"
               "  pose 3.7 stand spine=0,") +
           lean + ",0\n  pose 4.2 stand spine=0," + lean + ",0\n  pose 4.8 stand\n  swipe 3..4 length=240 blend=0.3 hand=" +
           hand + " direction=" + direction + "\n";
}

TEST(GestureRecognizerManagerSwipe, AStrokeAlongXGivesTheSwipeOfItsDirectionOnly) {
    for (int side : {vela::scene::kRight, vela::scene::kLeft}) {
        SCOPED_TRACE(side == vela::scene::kRight ? "right hand" : "left hand");
        hand_test_kit::CameraSession session;
        ASSERT_TRUE(session.OpenScene(SwipeScene(side), 320, 240)) << session.Error();
        ASSERT_TRUE(session.Next());
        DUZGestureRecognizerManager manager;
        ASSERT_EQ(1, manager.Initialize(&session.Hub(), session.Node(), session.Depth(), "", -1, 0));
        manager.m_running = 1;
        manager.ActivateGesture(GESTURE_CLICK, 0, nullptr);
        manager.ActivateGesture(GESTURE_WAVE, 0, nullptr);
        manager.ActivateGesture(GESTURE_SWIPE_PLUS_X, 1, nullptr);
        manager.ActivateGesture(GESTURE_SWIPE_MINUS_X, 1, nullptr);
        CompletedGestures seen;
        manager.AddEventListener(&seen);
        float startX = 0;
        float endX = 0;
        do {
            manager.Update(session.Node(), session.Depth());
            const float x = static_cast<float>(session.Hand(0, side).centroid.x);
            if (session.FrameId() == 100) {
                startX = x;
            } else if (session.FrameId() == 114) {
                endX = x;
            }
        } while (session.FrameId() < kSwipeFrames && session.Next());
        manager.Reset(1);
        // The stroke's direction in the system's frame.
        const GestureType along = endX > startX ? GESTURE_SWIPE_PLUS_X : GESTURE_SWIPE_MINUS_X;
        const GestureType against = along == GESTURE_SWIPE_PLUS_X ? GESTURE_SWIPE_MINUS_X : GESTURE_SWIPE_PLUS_X;
        EXPECT_LT(250.0f, std::fabs(endX - startX));
        EXPECT_EQ(1, seen.Count(along));
        EXPECT_EQ(0, seen.Count(against));
    }
}

}  // namespace
