#include "SceneRenderer/Motion.h"

#include <algorithm>
#include <cmath>

#include "SceneRenderer/Poses.h"

namespace vela::scene {

namespace {

constexpr double kWalkStep = 1.0 / 240.0;  // seconds per step of the distance table
constexpr double kStrideRatio = 0.8;       // stride (two steps) over body height
constexpr double kClipBlend = 0.3;         // seconds to blend into a BVH clip

// Weight of the walking cycle for a speed in mm/s.
double WalkWeight(double speed) { return SmoothStep((speed - 50.0) / 250.0); }

double WrapDegrees(double a) {
    a = std::fmod(a + 180.0, 360.0);
    if (a < 0.0) a += 360.0;
    return a - 180.0;
}

}  // namespace

void SmoothCurve::Set(const std::vector<double>& times, const std::vector<double>& values) {
    m_times = times;
    m_values = values;
    const size_t n = times.size();
    m_slopes.assign(n, 0.0);
    if (n < 3) return;
    std::vector<double> delta(n - 1);
    for (size_t i = 0; i + 1 < n; ++i) delta[i] = (values[i + 1] - values[i]) / (times[i + 1] - times[i]);
    for (size_t i = 1; i + 1 < n; ++i) {
        if (delta[i - 1] * delta[i] > 0.0) {
            m_slopes[i] = (values[i + 1] - values[i - 1]) / (times[i + 1] - times[i - 1]);
        }
    }
    // Fritsch-Carlson limit keeps every segment monotone.
    for (size_t i = 0; i + 1 < n; ++i) {
        if (delta[i] == 0.0) {
            m_slopes[i] = m_slopes[i + 1] = 0.0;
            continue;
        }
        const double a = m_slopes[i] / delta[i], b = m_slopes[i + 1] / delta[i];
        const double r = a * a + b * b;
        if (r > 9.0) {
            const double tau = 3.0 / std::sqrt(r);
            m_slopes[i] = tau * a * delta[i];
            m_slopes[i + 1] = tau * b * delta[i];
        }
    }
}

double SmoothCurve::Evaluate(double t, double* slope) const {
    if (slope) *slope = 0.0;
    if (m_times.empty()) return 0.0;
    if (t <= m_times.front()) return m_values.front();
    if (t >= m_times.back()) return m_values.back();
    const size_t i = static_cast<size_t>(std::upper_bound(m_times.begin(), m_times.end(), t) - m_times.begin()) - 1;
    const double h = m_times[i + 1] - m_times[i];
    const double s = (t - m_times[i]) / h;
    const double s2 = s * s, s3 = s2 * s;
    const double v0 = m_values[i], v1 = m_values[i + 1];
    const double m0 = m_slopes[i] * h, m1 = m_slopes[i + 1] * h;
    if (slope) {
        *slope = ((6 * s2 - 6 * s) * v0 + (3 * s2 - 4 * s + 1) * m0 + (-6 * s2 + 6 * s) * v1 + (3 * s2 - 2 * s) * m1) / h;
    }
    return (2 * s3 - 3 * s2 + 1) * v0 + (s3 - 2 * s2 + s) * m0 + (-2 * s3 + 3 * s2) * v1 + (s3 - s2) * m1;
}

PersonMotion::PersonMotion(const PersonDef& person)
    : m_person(person), m_dims(BodyDimensions::FromHeight(person.height, person.girth)) {
    // Root path: keys in time order, later duplicates win, missing values
    // carried over from the previous key.
    std::vector<PathKey> keys = person.path;
    std::stable_sort(keys.begin(), keys.end(),
                     [](const PathKey& a, const PathKey& b) { return a.time < b.time; });
    std::vector<double> times, xs, zs, yaws;
    double x = 0.0, z = 2500.0, yaw = 0.0;
    for (const PathKey& k : keys) {
        if (k.hasPosition) {
            x = k.x;
            z = k.z;
        }
        if (k.hasYaw) yaw = k.yaw;
        if (!times.empty() && times.back() == k.time) {
            xs.back() = x;
            zs.back() = z;
            yaws.back() = yaw;
            continue;
        }
        times.push_back(k.time);
        xs.push_back(x);
        zs.push_back(z);
        yaws.push_back(yaw);
    }
    // A value that only a later key sets also holds before it.
    if (!keys.empty()) {
        const auto firstPos = std::find_if(keys.begin(), keys.end(), [](const PathKey& k) { return k.hasPosition; });
        const auto firstYaw = std::find_if(keys.begin(), keys.end(), [](const PathKey& k) { return k.hasYaw; });
        for (size_t i = 0; i < times.size(); ++i) {
            if (firstPos != keys.end() && times[i] < firstPos->time) {
                xs[i] = firstPos->x;
                zs[i] = firstPos->z;
            }
            if (firstYaw != keys.end() && times[i] < firstYaw->time) yaws[i] = firstYaw->yaw;
        }
    }
    if (times.empty()) {
        times = {0.0};
        xs = {x};
        zs = {z};
        yaws = {yaw};
    }
    for (size_t i = 0; i + 1 < times.size(); ++i) {
        if (xs[i] == xs[i + 1] && zs[i] == zs[i + 1]) continue;
        if (!m_travel.empty() && m_travel.back().second == times[i]) {
            m_travel.back().second = times[i + 1];
        } else {
            m_travel.emplace_back(times[i], times[i + 1]);
        }
    }
    m_x.Set(times, xs);
    m_z.Set(times, zs);
    m_yaw.Set(times, yaws);

    std::vector<PoseKey> poseKeys = person.poses;
    std::stable_sort(poseKeys.begin(), poseKeys.end(),
                     [](const PoseKey& a, const PoseKey& b) { return a.time < b.time; });
    for (const PoseKey& k : poseKeys) {
        BodyPose pose;
        if (!NamedPose(k.name, m_dims, pose)) NamedPose("stand", m_dims, pose);
        for (const PoseOverride& o : k.overrides) {
            const double* v = o.values;
            switch (o.target) {
                case PoseOverride::LeftArm: pose.arms[kLeft] = ArmFromAngles(kLeft, v[0], v[1], v[2], v[3]); break;
                case PoseOverride::RightArm: pose.arms[kRight] = ArmFromAngles(kRight, v[0], v[1], v[2], v[3]); break;
                case PoseOverride::LeftLeg: pose.legs[kLeft] = LegFromAngles(kLeft, v[0], v[1], v[2], v[3]); break;
                case PoseOverride::RightLeg: pose.legs[kRight] = LegFromAngles(kRight, v[0], v[1], v[2], v[3]); break;
                case PoseOverride::Spine: pose.spine = TrunkRotation(v[0], v[1], v[2]); break;
                case PoseOverride::Neck: pose.neck = TrunkRotation(v[0], v[1], v[2]); break;
            }
        }
        if (!m_poseTimes.empty() && m_poseTimes.back() == k.time) {
            m_poses.back() = pose;
            continue;
        }
        m_poseTimes.push_back(k.time);
        m_poses.push_back(pose);
    }
    if (m_poses.empty()) {
        BodyPose pose;
        NamedPose("stand", m_dims, pose);
        m_poseTimes.push_back(0.0);
        m_poses.push_back(pose);
    }

    // Signed distance along the facing direction drives the walking phase.
    // Scenes built in code skip the parser's bound on key times: the table
    // covers at most the longest scene and the cycle holds past it.
    m_dWalkStart = times.front();
    const double keySpan = times.back() - times.front();
    const double span = keySpan > 0.0 ? std::min(keySpan, kMaxSceneTime) : 0.0;
    const size_t steps = static_cast<size_t>(std::ceil(span / kWalkStep));
    m_walkDistance.assign(steps + 1, 0.0);
    for (size_t i = 1; i <= steps; ++i) {
        const double t = m_dWalkStart + (static_cast<double>(i) - 0.5) * kWalkStep;
        double vx, vz;
        m_x.Evaluate(t, &vx);
        m_z.Evaluate(t, &vz);
        const double heading = Radians(m_yaw.Evaluate(t));
        const double forward = -std::sin(heading) * vx - std::cos(heading) * vz;
        const double speed = std::hypot(vx, vz);
        const double sign = forward >= -0.3 * speed ? 1.0 : -1.0;
        m_walkDistance[i] = m_walkDistance[i - 1] + sign * speed * kWalkStep;
    }
}

double PersonMotion::WalkPhase(double t) const {
    const double position = (t - m_dWalkStart) / kWalkStep;
    double distance;
    if (position <= 0.0) {
        distance = 0.0;
    } else if (position >= static_cast<double>(m_walkDistance.size() - 1)) {
        distance = m_walkDistance.back();
    } else {
        const size_t i = static_cast<size_t>(position);
        distance = m_walkDistance[i] + (m_walkDistance[i + 1] - m_walkDistance[i]) * (position - static_cast<double>(i));
    }
    return distance / (kStrideRatio * m_dims.height);
}

void PersonMotion::Evaluate(double t, BodyPose& pose, Placement& placement) const {
    double vx, vz;
    placement.x = m_x.Evaluate(t, &vx);
    placement.z = m_z.Evaluate(t, &vz);
    double yawDegrees = m_yaw.Evaluate(t);
    const double speed = std::hypot(vx, vz);
    const double walk = m_person.walk ? WalkWeight(speed) : 0.0;
    if (m_person.faceMotion && speed > 1e-6) {
        const double travel = Degrees(std::atan2(-vx, -vz));
        yawDegrees += WrapDegrees(travel - yawDegrees) * WalkWeight(speed);
    }
    placement.yaw = Radians(yawDegrees);

    // Keyframed pose.
    const size_t next = static_cast<size_t>(std::upper_bound(m_poseTimes.begin(), m_poseTimes.end(), t) - m_poseTimes.begin());
    if (next == 0) {
        pose = m_poses.front();
    } else if (next >= m_poses.size()) {
        pose = m_poses.back();
    } else {
        const double w = (t - m_poseTimes[next - 1]) / (m_poseTimes[next] - m_poseTimes[next - 1]);
        pose = BlendPoses(m_poses[next - 1], m_poses[next], SmoothStep(w));
    }

    // A motion-capture clip replaces the keyframed pose while it runs.
    const ClipUse* clip = nullptr;
    for (const ClipUse& c : m_person.clips) {
        if (c.clip && t >= c.start && t <= c.end) clip = &c;
    }
    if (clip) {
        const double duration = clip->clip->Duration();
        double clipTime = (t - clip->start) * clip->speed;
        double laps = 0.0;
        if (clip->loop && duration > 0.0) {
            laps = std::floor(clipTime / duration);
            clipTime -= laps * duration;
        }
        BodyPose captured;
        Vec3 offset;
        clip->clip->Sample(clipTime, m_dims, captured, offset);
        if (laps > 0.0) {
            BodyPose last;
            Vec3 lap;
            clip->clip->Sample(duration, m_dims, last, lap);
            offset += lap * laps;
        }
        pose = BlendPoses(pose, captured, SmoothStep((t - clip->start) / kClipBlend));
        const double c = std::cos(placement.yaw), s = std::sin(placement.yaw);
        placement.x += -c * offset.x + s * offset.z;
        placement.z += s * offset.x + c * offset.z;
    } else if (walk > 0.0) {
        const double phase = WalkPhase(t);
        for (int side = 0; side < 2; ++side) {
            const double angle = 2.0 * kPi * (phase + (side == kLeft ? 0.5 : 0.0));
            const double hip = 22.0 * std::sin(angle);
            // The knee folds most early in the swing, as the thigh passes
            // under the body.
            const double swing = std::max(0.0, std::cos(angle - 0.2));
            const double knee = 5.0 + 50.0 * swing * swing;
            pose.legs[side] = BlendLimbs(pose.legs[side], LegFromAngles(side, 2.0, hip, 0.0, knee), walk);
            // The arm swings against the leg of its own side.
            const Mat3 r = RotX(Radians(-16.0 * std::sin(angle) * walk));
            pose.arms[side].upper = r * pose.arms[side].upper;
            pose.arms[side].hinge = r * pose.arms[side].hinge;
        }
    }

    for (const HandMotion& action : m_person.actions) {
        if (t >= action.start && t <= action.end) ApplyAction(action, t, pose);
    }
}

const char* MotionName(MotionKind kind) {
    switch (kind) {
        case MotionKind::Walk: return "walk";
        case MotionKind::Wave: return "wave";
        case MotionKind::Push: return "push";
        case MotionKind::Raise: return "raise";
        case MotionKind::Swipe: return "swipe";
        case MotionKind::Circle: return "circle";
    }
    return "unknown";
}

void PersonMotion::RunningMotions(double t, std::vector<MotionTruth>& motions) const {
    motions.clear();
    auto progress = [t](double start, double end) { return end > start ? (t - start) / (end - start) : 1.0; };
    for (const auto& [start, end] : m_travel) {
        if (t < start || t > end) continue;
        MotionTruth walk;
        walk.start = start;
        walk.end = end;
        walk.phase = progress(start, end);
        walk.cycles = std::fabs(WalkPhase(t) - WalkPhase(start));
        motions.push_back(walk);
    }
    static const MotionKind kKinds[] = {MotionKind::Wave, MotionKind::Push, MotionKind::Raise, MotionKind::Swipe,
                                        MotionKind::Circle};
    for (const HandMotion& action : m_person.actions) {
        if (t < action.start || t > action.end) continue;
        MotionTruth motion;
        motion.kind = kKinds[static_cast<int>(action.kind)];
        motion.side = action.side;
        motion.start = action.start;
        motion.end = action.end;
        motion.phase = progress(action.start, action.end);
        if (action.kind == ActionKind::Wave || action.kind == ActionKind::Circle) {
            motion.cycles = (t - action.start) / action.period;
        }
        motions.push_back(motion);
    }
}

void PersonMotion::ApplyAction(const HandMotion& a, double t, BodyPose& pose) const {
    const double h = m_dims.height;
    const double s = SideSign(a.side);
    const double duration = a.end - a.start;
    const double blend = std::min(a.blend, 0.5 * duration);
    const double weight = blend > 0.0
                              ? SmoothStep((t - a.start) / blend) * SmoothStep((a.end - t) / blend)
                              : 1.0;
    // Progress through the stroke between moving in and moving out.
    const double strokeLength = duration - 2.0 * blend;
    const double stroke = strokeLength > 0.0 ? std::clamp((t - a.start - blend) / strokeLength, 0.0, 1.0) : 0.5;
    const double elapsed = t - a.start;

    Vec3 offset, pole;
    switch (a.kind) {
        case ActionKind::Wave:
            offset = Vec3(s * 0.06 * h + a.amplitude * std::sin(2.0 * kPi * elapsed / a.period), 0.1 * h, -0.12 * h);
            pole = Vec3(s, -1.0, 0.3);
            break;
        case ActionKind::Push: {
            const Vec3 ready(-s * 0.03 * h, -0.1 * h, -0.14 * h);
            const Vec3 reached(-s * 0.03 * h, -0.05 * h, -0.14 * h - a.reach);
            offset = Lerp(ready, reached, 0.5 * (1.0 - std::cos(2.0 * kPi * stroke)));
            pole = Vec3(s * 0.5, -1.0, 0.2);
            break;
        }
        case ActionKind::Raise:
            offset = Vec3(s * 0.05 * h, 0.27 * h, -0.06 * h);
            pole = Vec3(s, -0.5, 0.5);
            break;
        case ActionKind::Swipe:
            offset = Vec3(-s * 0.06 * h + a.direction * a.length * (SmoothStep(stroke) - 0.5), -0.05 * h, -0.22 * h);
            pole = Vec3(s * 0.5, -1.0, 0.2);
            break;
        case ActionKind::Circle: {
            const double angle = a.direction * 2.0 * kPi * elapsed / a.period;
            offset = Vec3(-s * 0.02 * h + a.radius * std::cos(angle), a.radius * std::sin(angle), -0.22 * h);
            pole = Vec3(s * 0.5, -1.0, 0.2);
            break;
        }
    }
    // Targets are set in the body frame, so the hand holds its place in the
    // room when the trunk leans; the solver works in the chest frame.
    const Mat3 chest = pose.pelvis.ToMatrix() * pose.spine.ToMatrix();
    const Mat3 toChest = chest.Transposed();
    const Vec3 shoulder = chest * ShoulderInChest(m_dims, a.side);
    const Limb solved = ArmTowards(m_dims, a.side, toChest * (shoulder + offset), toChest * pole);
    pose.arms[a.side] = BlendLimbs(pose.arms[a.side], solved, weight);
}

}  // namespace vela::scene
