#pragma once

// Checks that a tracked point still looks like a hand: a hand is surrounded,
// within 200 mm of its centre, by an edge (a depth step away from the
// sensor, missing depth, or another hand's pixels) on almost every side,
// and open only where the forearm joins it. Run casts 32 rays from the
// hand's pixel and records where each meets such an edge; LooksLikeHand
// accepts the hand when the closed rays cover an unbroken arc of at least
// 300 degrees.

#include <ostream>
#include <string>
#include <vector>

#include "HandAnalysis/DUZHandPartition.h"
#include "NACommon/NADepthMapContainer.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

class DUZHandBoundaryDetector {
public:
    struct BoundaryInfo {
        BoundaryInfo() : m_validity(0), m_filled(0), m_position(0.0f, 0.0f) {}
        int m_validity;              // the ray met an edge within the ray length
        int m_filled;                // LooksLikeHand: the ray counts as closed
        Vector2D<float> m_position;  // where the edge was met, or where the walk ended
    };

    DUZHandBoundaryDetector();
    ~DUZHandBoundaryDetector();

    // The fixed settings, the rays and 32 cleared boundary infos; 1.
    int Initialize(const std::string& iniFile, int verbose);
    void InitializeDirs();
    // Nothing is configurable; 1.
    int ReadParameters(const std::string& iniFile, int verbose, int flag);

    // Casts the rays around the hand; pixels the partition gives to another
    // hand than trackerId are edges. A hand not in front of the sensor
    // (z <= 0) is searched from pixel (0, 0) and closes no ray.
    void Run(const NADepthMapContainer& container, const DUZHandPartition& partition, const Vector3D<float>& hand,
             unsigned int trackerId);
    // Fills the filled flags from the last Run and decides: 1 for a hand.
    int LooksLikeHand();

    std::vector<float> m_rayAngles;
    std::vector<Vector2D<float>> m_rayDirections;
    std::vector<BoundaryInfo> m_boundaryInfos;
    int m_rayCount;
    float m_rayLength;          // mm
    int m_farMargin;            // mm: depth this far behind the hand is an edge
    int m_startSteps;           // the walk must find the hand within this many samples
    int m_continuityThreshold;  // mm: a step away from the sensor beyond this is an edge
    float m_minClosedArc;       // degrees
};

// "Validity: <validity> <filled> Position:<x> <y>".
std::ostream& operator<<(std::ostream& out, const DUZHandBoundaryDetector::BoundaryInfo& info);
// "Number of rays <n>", then a line per ray with its angle, direction and
// boundary info; every line is flushed.
std::ostream& operator<<(std::ostream& out, const DUZHandBoundaryDetector& detector);
