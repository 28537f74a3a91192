#pragma once

// Measures, in one frame, the direction of a hand's forearm: 32 rays of
// 150 mm are cast from the hand in the image plane; a ray whose end lies on
// a narrow surface (narrower than about 100 mm on both sides) within the
// hand's depth range, reached without a large depth step, is a candidate;
// the nearest candidate is checked and turned into a 3-D direction. A
// forearm that rises above the hand and ends in a free tip within 500 mm is
// reported as flipped: the tracked point is then probably the elbow side,
// and the tip is the hand.
//
// Directions are unit world vectors along the forearm pointing toward the
// hand; image directions are in pixels (x right, y down).

#include <string>
#include <vector>

#include "HandAnalysis/DUZHandPartition.h"
#include "NACommon/NADepthMapContainer.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

class DUZForearmDirectionDetector {
public:
    struct BoundaryInfo {
        BoundaryInfo() : m_valid(0), m_end(0.0f, 0.0f), m_depth(0), m_smooth(0) {}
        int m_valid;             // a forearm candidate
        Vector2D<float> m_end;   // pixel
        unsigned short m_depth;  // mm at the end; 10000 without depth or outside the image
        int m_smooth;            // depth along the ray steps by at most 50 mm
    };

    DUZForearmDirectionDetector();
    ~DUZForearmDirectionDetector();

    // The fixed settings, the rays and 32 cleared boundary infos; 1.
    int Initialize(const std::string& iniFile, int verbose);
    void InitializeDirs();
    // Nothing is configurable; 1.
    int ReadParameters(const std::string& iniFile, int verbose, int flag);

    // 1 when a direction was measured into direction (otherwise direction is
    // left as it was). flipped is set to 1, and flippedHand to the tip's
    // world point, when the forearm rises to a free tip. Pixels that the
    // partition (may be null) gives to another hand are no candidates. A
    // hand that is not in front of the sensor (z <= 0) measures nothing.
    int Run(const NADepthMapContainer& container, const DUZHandPartition* partition, const Vector3D<float>& hand,
            unsigned int trackerId, Vector3D<float>& direction, int& flipped, Vector3D<float>& flippedHand);
    // The flip test along ray rayIndex of the last Run; 1 with the tip's
    // world point in flippedHand.
    int DetectFlippedForearm(const NADepthMapContainer& container, const Vector3D<float>& hand, int rayIndex,
                             Vector3D<float>& flippedHand);

    std::vector<float> m_rayAngles;
    std::vector<Vector2D<float>> m_rayDirections;
    std::vector<BoundaryInfo> m_boundaryInfos;
    Vector2D<float> m_handPixel;          // of the last Run
    Vector2D<float> m_flipAxis;           // unit image direction of the last flip test
    Vector2D<float> m_flipCandidatePixel;
    unsigned short m_flipCandidateDepth;
    int m_rayCount;
    float m_rayLength;             // mm
    int m_depthBand;               // mm around the hand's depth where ray ends may lie
    int m_behindThreshold;         // mm: a forearm farther than this behind the hand points at the sensor
    float m_sideWidth;             // mm; half of it is the side distance of the width test
    int m_sideDepthThreshold;      // mm
    int m_walkJumpThreshold;       // mm
    int m_smoothThreshold;         // mm
    int m_spreadDepthMargin;       // mm
    int m_detectFlippedForearm;
    float m_flipAngle;             // rad

private:
    // Finds the nearest valid ray; -1 when none.
    int NearestValidRay() const;
    // The walk test of one valid ray of length rayPixels.
    void WalkRay(const xn::DepthMetaData& depth, int ray, float rayPixels, float step);
    // Whether the run of valid rays around ray holds a smooth one.
    bool RunAroundHasSmoothRay(int ray) const;
    // Whether the near valid rays spread over more than a quarter turn.
    bool SpreadsTooWide(int ray) const;
};
