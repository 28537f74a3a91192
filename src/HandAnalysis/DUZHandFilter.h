#pragma once

// How much each pixel of a hand tracker's box looks like part of a hand: a
// hand stands clearly in front of what lies one hand size (150 mm) above
// it and in at least two of the three other directions (left, right,
// down); the forearm may join it from one of those. The result (0 to
// HAND_FILTER_PROB_SCALE) is multiplied by each tracker with the
// background model's foreground probability.
//
// Where the background model trusts its background at a neighbour, the
// filter looks at that background instead of what covers it now, so a
// hand in front of another hand or an arm still stands out.

#include <cstdint>
#include <string>

#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "NACommon/NADepthMapContainer.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Utilities/Array2D.h"

class DUZHandFilter {
public:
    static constexpr int16_t HAND_FILTER_PROB_SCALE = 1000;

    DUZHandFilter();

    // Pixels farther than maxDepth (mm) get 0. The file name and the last
    // argument are not used; 1.
    int Initialize(const std::string& iniFile, int maxDepth, int verbose);
    // Nothing is configurable; 1.
    int ReadParameters(const std::string& iniFile, int verbose);

    // The probability of every pixel of box (clipped to the image) into
    // output, indexed like the container's depth map and sized to it when
    // it is not; pixels outside the box are left alone. The background
    // model must have the container's size: otherwise false, with an error
    // logged and nothing written.
    bool ComputeProbabilityMap(const NADepthMapContainer& container,
                               const DUZHandTrackerBackgroundModel& background, const Box2D<int>& box,
                               Array2D<unsigned short>& output) const;

    int m_maxDepth;       // mm
    float m_handRadius;   // mm: where the four neighbours are taken
    int m_jumpStart;      // mm: jumps below this give 0
    int m_jumpEnd;        // mm: jumps above this give 1000
};
