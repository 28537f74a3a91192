#pragma once

// The gestures a scene scripts, as windows in time, and the detections of a
// tracker matched against them: a detection of a type belongs to the
// earliest window of that type that holds its time, a window running from
// its motion's start to one second after its end; a detection no window
// holds is a false gesture.

#include <vector>

#include "SceneRenderer/SceneRenderer.h"

namespace vela::evaluate {

// The public gesture types: 0 wave, 1 click, 2 hand raise.
constexpr int kGestureTypes = 3;
constexpr double kGestureGrace = 1.0;  // seconds after the motion's end

// The public gesture a scripted motion asks for (wave, push as a click,
// raise), or -1.
int GestureOfMotion(scene::MotionKind kind);
const char* GestureName(int type);  // "wave", "click", "hand_raise"

struct GestureWindow {
    int type = 0;
    int person = 0;  // the id in the truth's label map
    int side = 0;    // scene::kLeft or kRight
    double start = 0.0, end = 0.0;  // the motion's interval, seconds

    bool Holds(double time) const { return time >= start && time <= end + kGestureGrace; }
};

class GestureWindows {
public:
    // Adds the windows of the gestures running in a frame's truth that are
    // not known yet.
    void Observe(const scene::FrameTruth& truth);
    const std::vector<GestureWindow>& Windows() const { return m_windows; }
    // Index of the window a detection of `type` at `time` belongs to, or -1.
    int Match(int type, double time) const;

private:
    std::vector<GestureWindow> m_windows;
};

}  // namespace vela::evaluate
