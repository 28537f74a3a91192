#pragma once

// Candidate trajectories for the recognizer tests: samples written into a
// focus trajectory frame by frame as the tracked object does (position,
// velocity, hand size).

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "SyntheticPaths.h"

namespace gesture_trajectory {

// An upright hand: taller than wide.
inline Vector2D<float> UprightHand() { return Vector2D<float>(80, 100); }
// A hand lying flat: height 0.5 of width.
inline Vector2D<float> FlatHand() { return Vector2D<float>(100, 50); }

inline void Store(DUZFocusGestureTrajectory& trajectory, const Vector3D<float>& position, unsigned int frameId,
                  SensorTime time, const Vector2D<float>& handSize = UprightHand()) {
    trajectory.UpdateNewPosition(position, frameId, time);
    trajectory.UpdateVelocity(frameId);
    trajectory.SetHandXYSize(frameId, handSize);
}

// The path's samples as frames firstFrame, firstFrame + 1, ... at the
// path's own times.
inline void StorePath(DUZFocusGestureTrajectory& trajectory, const synthetic_paths::Path& path,
                      unsigned int firstFrame) {
    for (size_t i = 0; i < path.size(); ++i) {
        Store(trajectory, path[i].position, firstFrame + static_cast<unsigned int>(i), path[i].time);
    }
}

// Frame f of a sequence at 33,333 us per frame.
inline SensorTime FrameTime(unsigned int frameId) {
    return SensorTime(static_cast<int64_t>(frameId) * synthetic_paths::kFramePeriodUs);
}

// Whether the statuses reported hold `wanted` in that order, others
// between.
inline bool InOrder(const std::vector<int>& statuses, std::initializer_list<int> wanted) {
    auto next = wanted.begin();
    for (int s : statuses) {
        if (next != wanted.end() && s == *next) ++next;
    }
    return next == wanted.end();
}

}  // namespace gesture_trajectory
