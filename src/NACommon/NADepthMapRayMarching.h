#pragma once

// Walks a straight ray over a 16-bit depth map one sample at a time and
// follows the surface under its start point. A reference depth tracks the
// surface step by step; a sample much nearer than the surface means the ray
// passes behind an occluder, which it leaves again only by a jump back that
// lands near the reference; a jump away from the camera or a pixel without
// depth means the ray left the surface. The head tracker finds a head's
// outline with FindBoundary and re-estimates the depth at a moved centre
// with CalcNewDepth.
//
// The sample at float position p reads pixel ((int)p.x, (int)p.y); a pixel
// outside the map reads as no depth. Sample i of a walk from s along u lies
// at s + i u, computed afresh for every i.

#include "NACommon/NALogger.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "XnAdapter/XnDepthMetaData.h"

class NADepthMapRayMarching {
public:
    enum WalkState {
        eStartedWithoutDepth = -1,
        eOnSurface = 0,
        eBehindOccluder = 1,
        eLeftSurface = 2,
        eNoDepthOffSurface = 3,
    };

    // The state of one walk.
    struct Iterator {
        int m_state;
        unsigned short m_lastDepth;       // of the latest sample
        unsigned short m_referenceDepth;  // of the surface as last seen
        Vector2D<float> m_referencePosition;
    };

    NADepthMapRayMarching();

    // One transition with the sample's depth and position.
    void Step(Iterator& it, unsigned short depth, const Vector2D<float>& position);

    // Walks at most maxSteps samples from start along direction (a unit
    // vector) over the surface at referenceDepth. 1 when the ray left the
    // surface after being on it at sample minSteps or later, else 0. boundary
    // and boundaryDepth always receive the last surface position and depth.
    int FindBoundary(const xn::DepthMetaData& depthMap, const Vector2D<float>& start,
                     const unsigned short& referenceDepth, const Vector2D<float>& direction, int minSteps,
                     int maxSteps, Vector2D<float>& boundary, unsigned short& boundaryDepth);

    // The surface depth at newCenter, walked from oldCenter (surface depth
    // oldDepth) over at most steps samples and interpolated between the
    // surface samples on both sides of newCenter. 1 when newDepth was
    // written; 0 (newDepth untouched) when the old centre has no depth or
    // the surface ends before the new centre.
    int CalcNewDepth(const xn::DepthMetaData& depthMap, const Vector2D<float>& oldCenter, unsigned short oldDepth,
                     const Vector2D<float>& newCenter, int steps, unsigned short& newDepth);

    // 1 when the straight walk from from to to stays on one surface (a walk
    // that ends behind an occluder does not), else 0.
    int IsContinuouslyConnected(const xn::DepthMetaData& depthMap, const Vector2D<float>& from,
                                const Vector2D<float>& to);

    int m_jumpThreshold;    // mm
    int m_returnThreshold;  // mm
    // The depth that stands for no depth; every walk sets it to 0.
    unsigned short m_noDepthValue;
    NALogger* m_logger;

private:
    bool IsLogging() const;
};
