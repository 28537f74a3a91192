#pragma once

// Where a hand tracker gets its two algorithm objects, the gesture
// recognition and the hand tracking. The library's own are made here. This
// is the seam between the tracker and the algorithms: a test derives and
// hands the tracker scripted ones, and the tracker's own logic runs unchanged
// on either.

#include <memory>

#include "HandTracker/GestureRecognition.h"
#include "HandTracker/HandTracking.h"

class HandTrackerAlgorithms {
public:
    virtual ~HandTrackerAlgorithms() = default;

    // LibraryGestureRecognition.
    virtual std::unique_ptr<GestureRecognition> CreateGestureRecognition();
    // LibraryHandTracking.
    virtual std::unique_ptr<HandTracking> CreateHandTracking();
};
