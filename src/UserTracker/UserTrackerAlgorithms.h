#pragma once

// Where a user tracker gets its algorithm objects: a scene analysis for each
// build of the scene (the first and every rebuild) and one skeleton driver.
// The library's own are made here. This is the seam between the tracker and
// the algorithms: a test derives and hands the tracker scripted ones, and the
// tracker's own logic runs unchanged on either.

#include <memory>

#include "UserTracker/SceneAnalysis.h"
#include "UserTracker/SkeletonDriver.h"

class UserTrackerAlgorithms {
public:
    virtual ~UserTrackerAlgorithms() = default;

    // LibrarySceneAnalysis.
    virtual std::unique_ptr<SceneAnalysis> CreateSceneAnalysis();
    // LibrarySkeletonDriver.
    virtual std::unique_ptr<SkeletonDriver> CreateSkeletonDriver();
};
