#pragma once

// Is the blob at a 3-D point a person's head? A fixed chain of geometric
// checks on the depth map around the point: the blob stands out in depth
// from its surroundings, a neck leads down from it, a torso wide enough lies
// below along the neck's direction, no second head sits on the same torso,
// and it is not a hand held in front of the body. 1 for a head, else 0.
//
// Each owner (a hand tracker, the hand detector, a focus tracker) holds its
// own detector. The detector borrows the owner's depth map, converter and
// masks: a Detect form that gets null for one of them keeps what an earlier
// call bound (see each form). It keeps no result between calls and
// allocates nothing.
//
// Image directions: +x is increasing column, +y increasing row (down).
// Angles of the neck circle run from +x toward +y: 90 degrees is straight
// down. Lengths "at the head" are millimetres at the working point's depth.

#include "NACommon/NALogger.h"
#include "QuorLibrary/Math/Box1D.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "XnAdapter/XnDepthMetaData.h"

// Ray data of the neck circle; no caller passes any.
struct NARayData;

class NAHeadDetector {
public:
    NAHeadDetector();
    virtual ~NAHeadDetector();
    NAHeadDetector(const NAHeadDetector&) = delete;
    NAHeadDetector& operator=(const NAHeadDetector&) = delete;

    // The depth difference a neighbour without depth counts as (owners pass
    // the stream's maximum depth).
    void Initialize(unsigned short maxDepth);

    // The per-hand tracker's form: null depth, converter or mask keep the
    // bound ones; the label map is unbound. With refine the point is first
    // centred on its row's run. The isolation box is the point ± 100 mm and
    // only depths within 100 mm of it count.
    int Detect(const Vector3D<float>& point, int refine, const xn::DepthMetaData* depth,
               const WorldPointConverterBase<float>* converter, int* mask);
    // The focus tracker's form: binds depth even when null; null converter
    // or mask keep the bound ones; box and depth range as given.
    int Detect(const Vector3D<float>& point, const Box2D<int>& box, const Box1D<int>& depthRange,
               const xn::DepthMetaData* depth, const WorldPointConverterBase<float>* converter, int* mask);
    // The hand detector's form: binds depth even when null, unbinds the
    // mask; null converter or labels keep the bound ones. Only the pixels of
    // that label count in the isolation test.
    int Detect(const Vector3D<float>& point, const Box2D<int>& box, const xn::DepthMetaData* depth,
               const WorldPointConverterBase<float>* converter, unsigned short* labels, int label);
    // As the focus form without a depth range; null depth keeps the bound map.
    int Detect(const Vector3D<float>& point, const Box2D<int>& box, const xn::DepthMetaData* depth,
               const WorldPointConverterBase<float>* converter, int* mask);

    // The chain on the bound maps and working point.
    int RunDetection(int label);

    // The checks of the chain; 1 pass, 0 fail.
    int CheckDepthIsolation(int jumpThreshold, int label);
    // One step of a run along a line of pixels (see the .cpp).
    int CheckPixel(int x, int y, unsigned short& lastDepth, int& accepted, int& jumps) const;
    int CheckNeckCircle(const Vector3D<float>& point, float& neckAngle, int& jumpMinusX, int& jumpPlusX,
                        Vector2D<float>& jumpPointMinusX, Vector2D<float>& jumpPointPlusX, NARayData* rays) const;
    int FindTorsoPoint(float neckAngle, int distance, Vector2D<float>& torsoPoint, unsigned short& torsoDepth) const;
    int CheckTorsoWidth(const Vector2D<float>& torsoPoint, unsigned short torsoDepth, Vector2D<int>& endMinusX,
                        Vector2D<int>& endPlusX) const;
    void GetExtendedTorsoPoints(const Vector2D<int>& torsoPoint, int torsoDepth, const Vector2D<int>& endMinusX,
                                const Vector2D<int>& endPlusX, Vector2D<int>& extMinusX,
                                Vector2D<int>& extPlusX) const;
    int CheckConnectivity(const Vector2D<float>& from, const Vector2D<float>& to) const;
    int CheckSecondaryHead(const Vector3D<float>& candidate, const Vector2D<int>& torsoPoint,
                           Vector2D<float>* crossing) const;
    int CheckForOtherNearbyHead(const Vector2D<int>& torsoPoint, int torsoDepth, const Vector2D<int>& endMinusX,
                                const Vector2D<int>& endPlusX) const;
    int CheckCaseHandInFrontOfBody(const Vector2D<int>& endMinusX, const Vector2D<int>& endPlusX, int jumpMinusX,
                                   int jumpPlusX, const Vector2D<float>& jumpPointMinusX,
                                   const Vector2D<float>& jumpPointPlusX) const;

    NALogger* m_logger;
    const xn::DepthMetaData* m_depth;
    const WorldPointConverterBase<float>* m_converter;
    // Optional, the depth map's size: component labels, and a mask whose 0
    // pixels are ignored.
    const unsigned short* m_labels;
    const int* m_mask;
    int m_useDepthRange;
    Box1D<int> m_depthRange;  // mm
    Box2D<int> m_pixelBox;    // of the isolation test, inclusive
    Vector3D<float> m_point;  // the point under test, world mm
    unsigned short m_missingNeighbourDepth;

private:
    // What the neck circle finds.
    struct Neck {
        float angle = 0.0f;
        int jumpMinusX = 0;
        int jumpPlusX = 0;
        Vector2D<float> jumpPointMinusX;
        Vector2D<float> jumpPointPlusX;
    };
    bool FindNeck(const Vector3D<float>& point, Neck& neck) const;
    // The mask forms' binding: null keeps what is bound; labels are unbound.
    void BindWithMask(const xn::DepthMetaData* depth, const WorldPointConverterBase<float>* converter,
                      const int* mask);
    bool HasFrame() const;
    // The world point of pixel (x, y) at depth.
    Vector3D<float> WorldAt(int x, int y, int depth) const;
    // 0 outside the image.
    int DepthAt(int x, int y) const;
    // Projection of a world point; (0, 0) for z <= 0.
    Vector2D<float> Project(const Vector3D<float>& p) const;
    // Pixels that a length spans at the working point's depth.
    float PixelsAtHead(float length) const;
    void Refine();
    void Log(const char* text) const;
};
