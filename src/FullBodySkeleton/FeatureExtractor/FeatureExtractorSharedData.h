#pragma once

// What all feature extractors of one user tracker share: the event generator
// through which the driver and the extractors raise the user and skeleton
// events (the user tracker is its listener) and the floor plane.

#include <string>

#include "NACommon/NAEventGenerator.h"
#include "QuorLibrary/Math/Plane.h"

class FeatureExtractorSharedData : public NAEventGenerator {
public:
    FeatureExtractorSharedData();
    ~FeatureExtractorSharedData();
    FeatureExtractorSharedData(const FeatureExtractorSharedData&) = delete;
    FeatureExtractorSharedData& operator=(const FeatureExtractorSharedData&) = delete;

    // Loads what the extractors share from the data directory. The joint
    // limits come with the pose model; until then there is nothing to load
    // and it succeeds.
    bool Initialize(const std::string& configurationDir);

    // Copied from the scene analyzer each frame while it knows the floor.
    bool m_floorKnown;
    Plane<float> m_floor;
};
