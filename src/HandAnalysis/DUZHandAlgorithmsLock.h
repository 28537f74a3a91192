#pragma once

// The hand detector, the extreme-points reporter, the trackers' shared maps
// and history and the trajectory numbering are one per process. Each hand
// tracker holds this lock while it initialises or resets its managers, runs
// their frame, or changes their hands, gestures or smoothing, so that two
// hand trackers on two threads take turns. A single tracker behaves the
// same with or without it. Recursive, for controls built from controls.

#include <mutex>

std::recursive_mutex& DUZHandAlgorithmsLock();
