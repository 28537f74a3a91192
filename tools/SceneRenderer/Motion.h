#pragma once

// A person's motion over time: a smooth root path, poses blended between
// keyframes, a walking cycle driven by the distance travelled, hand motions
// (wave, push, raise, swipe, circle) solved onto the arm, and BVH clips.

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

class PersonMotion {
public:
    // The pose names must be known (the scene parser checks them);
    // unknown names fall back to standing.
    explicit PersonMotion(const PersonDef& person);

    const BodyDimensions& Dimensions() const { return m_dims; }
    void Evaluate(double t, BodyPose& pose, Placement& placement) const;

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
};

}  // namespace vela::scene
