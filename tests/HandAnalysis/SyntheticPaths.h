#pragma once

// Hand paths built from simple motions, sampled like the synthetic camera
// (33,333 us) with the sensor's noise (about 2 mm per axis).

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "HandAnalysis/DUZFittedTrajectory.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Vector3D.h"

namespace synthetic_paths {

constexpr int64_t kFramePeriodUs = 33333;
constexpr double kNoiseMm = 2.0;

struct Sample {
    SensorTime time;
    Vector3D<float> position;
};
typedef std::vector<Sample> Path;

// Gaussian noise from a fixed generator; Box-Muller written out, so the
// numbers do not depend on the standard library's distributions.
class Noise {
public:
    explicit Noise(uint32_t seed) : m_generator(seed) {}
    double Next() {
        const double u1 = (static_cast<double>(m_generator()) + 0.5) / 4294967296.0;
        const double u2 = (static_cast<double>(m_generator()) + 0.5) / 4294967296.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    std::mt19937 m_generator;
};

// position(t) sampled at frames first .. first + count - 1 (time frame x
// period), each coordinate with Gaussian noise of sigma mm.
inline Path Sampled(const std::function<Vector3D<double>(double)>& position, int first, int count, double sigma,
                    uint32_t seed) {
    Noise noise(seed);
    Path path;
    for (int f = first; f < first + count; ++f) {
        const int64_t t = static_cast<int64_t>(f) * kFramePeriodUs;
        const Vector3D<double> p = position(static_cast<double>(t) * 1e-6);
        path.push_back({SensorTime(t), Vector3D<float>(static_cast<float>(p.x + sigma * noise.Next()),
                                                       static_cast<float>(p.y + sigma * noise.Next()),
                                                       static_cast<float>(p.z + sigma * noise.Next()))});
    }
    return path;
}

// 0 at s <= 0, 1 at s >= 1, a half cosine between: at rest at both ends.
inline double Ease(double s) {
    if (s <= 0.0) {
        return 0.0;
    }
    if (s >= 1.0) {
        return 1.0;
    }
    return 0.5 - 0.5 * std::cos(3.141592653589793 * s);
}

// A stroke along a unit direction and back: still for `before` s, `forward`
// mm in `forwardTime` s, a pause, `backward` mm back in `backwardTime` s,
// then still.
struct Stroke {
    Vector3D<double> start;
    Vector3D<double> direction;  // unit
    double before = 0.5;
    double forward = 300.0;
    double forwardTime = 0.4;
    double pause = 0.1;
    double backward = 250.0;
    double backwardTime = 0.4;

    double TipTime() const { return before + forwardTime; }
    double EndTime() const { return before + forwardTime + pause + backwardTime; }
    Vector3D<double> operator()(double t) const {
        const double out = forward * Ease((t - before) / forwardTime);
        const double back = backward * Ease((t - TipTime() - pause) / backwardTime);
        return start + direction * (out - back);
    }
};

// A path through keys (time in s, position), eased from each key to the
// next so that the hand rests at every key; still before the first key and
// after the last.
struct Key {
    double time;
    Vector3D<double> position;
};
inline std::function<Vector3D<double>(double)> Keyframed(std::vector<Key> keys) {
    return [keys](double t) {
        if (t <= keys.front().time) {
            return keys.front().position;
        }
        for (size_t i = 1; i < keys.size(); ++i) {
            if (t < keys[i].time) {
                const Key& a = keys[i - 1];
                const Key& b = keys[i];
                return a.position + (b.position - a.position) * Ease((t - a.time) / (b.time - a.time));
            }
        }
        return keys.back().position;
    };
}

inline void Feed(FittedTrajectory& trajectory, const Path& path) {
    for (const Sample& s : path) {
        trajectory.AddPointUpdate(s.time, s.position);
    }
}

}  // namespace synthetic_paths
