#pragma once

// Hand-tracker frames that release themselves, for the tests.

#include <gtest/gtest.h>

#include "../Api/TrackerTestSupport.h"
#include "HandTracker/HandTracker.h"

namespace vela_test {

typedef TrackerFrames<HandTracker, VelaHandTrackerFrame, &HandTracker::getNextFrame,
                      &HandTracker::handTrackerFrameAddRef, &HandTracker::handTrackerFrameRelease>
    HandFrames;
typedef HandFrames::Ptr HandFrame;

inline HandFrame ReadHandFrame(HandTracker& tracker) { return HandFrames::Read(tracker); }

}  // namespace vela_test
