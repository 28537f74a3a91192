#pragma once

// A person's motion over time: a smooth root path, poses blended between
// keyframes, a walking cycle driven by the distance travelled, hand motions
// (wave, push, raise, swipe, circle) solved onto the arm, and BVH clips.

#include <utility>
#include <vector>

#include "SceneRenderer/BodyModel.h"
#include "SceneRenderer/Scene.h"

namespace vela::scene {

// Monotone cubic interpolation through keys: no overshoot between keys and
// zero slope at both ends; constant outside the keys.
class SmoothCurve {
public:
    void Set(const std::vector<double>& times, const std::vector<double>& values);
    double Evaluate(double t, double* slope = nullptr) const;
    bool Empty() const { return m_times.empty(); }

private:
    std::vector<double> m_times, m_values, m_slopes;
};

// Where the body stands: the floor position of its hip centre (room mm) and
// its facing, radians (0 faces the camera).
struct Placement {
    double x = 0.0;
    double z = 2500.0;
    double yaw = 0.0;
};

// A scripted motion of a person running at some time, so that tools can
// count the gestures a scene asks for.
enum class MotionKind { Walk, Wave, Push, Raise, Swipe, Circle };

const char* MotionName(MotionKind kind);  // "walk", "wave", ...

struct MotionTruth {
    MotionKind kind = MotionKind::Walk;
    int side = -1;           // hand motions: kLeft or kRight; walking: -1
    double start = 0.0;      // seconds: the motion's interval (hand motions
    double end = 0.0;        // include their blends; walking: the path moves)
    double phase = 0.0;      // progress through the interval, 0 to 1
    // Cycles completed since the start: wave and circle periods, walking
    // strides (two steps); 0 for the others.
    double cycles = 0.0;
};

class PersonMotion {
public:
    // The pose names must be known (the scene parser checks them);
    // unknown names fall back to standing.
    explicit PersonMotion(const PersonDef& person);

    const BodyDimensions& Dimensions() const { return m_dims; }
    void Evaluate(double t, BodyPose& pose, Placement& placement) const;
    // The motions running at time t, walking first, then the hand motions
    // in the order the scene lists them.
    void RunningMotions(double t, std::vector<MotionTruth>& motions) const;

private:
    double WalkPhase(double t) const;
    void ApplyAction(const HandMotion& action, double t, BodyPose& pose) const;

    PersonDef m_person;
    BodyDimensions m_dims;
    SmoothCurve m_x, m_z, m_yaw;
    std::vector<double> m_poseTimes;
    std::vector<BodyPose> m_poses;
    double m_dWalkStart = 0.0;
    std::vector<double> m_walkDistance;  // signed distance travelled, per step
    // Intervals over which the root path moves (adjacent moving segments
    // joined), seconds.
    std::vector<std::pair<double, double>> m_travel;
};

}  // namespace vela::scene
