#pragma once

// A user tracker for the tests: frames that release themselves, and the
// pipeline for depth frames the test read itself.

#include <gtest/gtest.h>

#include "../Api/TrackerTestSupport.h"
#include "Api/DepthFrameReader.h"
#include "UserTracker/UserTracker.h"

namespace vela_test {

class TestUserTracker : public UserTracker {
public:
    using UserTracker::processFrame;
    using UserTracker::UserTracker;

    // The stream's next frame, with one reference the caller releases.
    OniFrame* ReadDepth() { return ReadDepthFrame(m_depthStream._getHandle(), "test"); }
};

typedef TrackerFrames<UserTracker, VelaUserTrackerFrame, &UserTracker::getNextFrame,
                      &UserTracker::userTrackerFrameAddRef, &UserTracker::userTrackerFrameRelease>
    UserFrames;
typedef UserFrames::Ptr UserFrame;

inline UserFrame ReadUserFrame(UserTracker& tracker) { return UserFrames::Read(tracker); }

}  // namespace vela_test
