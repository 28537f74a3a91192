#include "HandTracker/HandTrackerAlgorithms.h"

#include "HandTracker/LibraryGestureRecognition.h"
#include "HandTracker/LibraryHandTracking.h"

std::unique_ptr<GestureRecognition> HandTrackerAlgorithms::CreateGestureRecognition() {
    return std::make_unique<LibraryGestureRecognition>();
}

std::unique_ptr<HandTracking> HandTrackerAlgorithms::CreateHandTracking() {
    return std::make_unique<LibraryHandTracking>();
}
