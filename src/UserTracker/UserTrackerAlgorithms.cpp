#include "UserTracker/UserTrackerAlgorithms.h"

#include "UserTracker/LibrarySceneAnalysis.h"
#include "UserTracker/LibrarySkeletonDriver.h"

std::unique_ptr<SceneAnalysis> UserTrackerAlgorithms::CreateSceneAnalysis() {
    return std::make_unique<LibrarySceneAnalysis>();
}

std::unique_ptr<SkeletonDriver> UserTrackerAlgorithms::CreateSkeletonDriver() {
    return std::make_unique<LibrarySkeletonDriver>();
}
