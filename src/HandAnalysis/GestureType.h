#pragma once

// The gesture side's two shared enumerations: the kind of a gesture, which
// also indexes the gesture manager's recognizers and a trajectory's per-type
// entries, and the answer of one recognizer run.

#include <cstdint>

enum GestureType : int32_t {
    GESTURE_CLICK = 0,
    GESTURE_WAVE = 1,
    GESTURE_RAISE_HAND = 2,
    GESTURE_SWIPE_PLUS_X = 3,
    GESTURE_SWIPE_MINUS_X = 4,
    GESTURE_MOVING_HAND_CANDIDATE = 5,
    // A swipe along a direction other than +X or -X.
    GESTURE_SWIPE_OTHER = 6,
};

enum GestureStatus : int32_t {
    GESTURE_STATUS_NONE = 0,
    GESTURE_STATUS_STARTED = 1,
    // The position is where the gesture happened.
    GESTURE_STATUS_COMPLETED = 2,
    // Reported in every frame it is returned.
    GESTURE_STATUS_IN_PROGRESS = 3,
    GESTURE_STATUS_FURTHER_STAGE = 4,
};
