#pragma once

// Small depth scenes painted into a depth record, for the table tests where
// a rendered person would hide the case: planes, pixel rectangles, world
// boxes and rounded hands with a strip of forearm. Shapes given in world
// millimetres are placed through the frame's converter (a pixel's world x
// and y taken at the shape's depth). Except for PaintPlane and PaintRect,
// which overwrite, painting keeps the nearer surface where shapes overlap.

#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "XnAdapter/XnDepthMetaData.h"

namespace hand_test_kit {

// Every pixel at value (0 clears the map).
void PaintPlane(xn::DepthMetaData& depth, unsigned short value);
// The inclusive pixel box, clipped to the map, at value.
void PaintRect(xn::DepthMetaData& depth, const Box2D<int>& pixels, unsigned short value);
// The front face of a world box (at its minimum z): the pixels whose world
// x and y at that depth lie inside the box.
void PaintBox(xn::DepthMetaData& depth, const WorldPointConverterBase<float>& converter, const Box3D<float>& box);

// A hand facing the camera: a disc of radius around center, bulging toward
// the camera by thickness at its middle; with a forearm direction, a flat
// strip of forearm from the centre away from the fingers, width wide and
// length long, whose depth follows the direction.
struct HandFixture {
    Vector3D<float> center;         // world mm
    float radius = 45.0f;           // mm
    float thickness = 20.0f;        // mm
    // Unit, along the forearm toward the hand (as the forearm trackers
    // report it); zero for a hand without a visible forearm.
    Vector3D<float> forearm;
    float forearmLength = 250.0f;   // mm
    float forearmWidth = 70.0f;     // mm
};
void PaintHand(xn::DepthMetaData& depth, const WorldPointConverterBase<float>& converter, const HandFixture& hand);

// A flat strip `width` wide along the segment between two world points,
// its depth running linearly from one end's to the other's (a forearm or a
// limb on its own).
void PaintStrip(xn::DepthMetaData& depth, const WorldPointConverterBase<float>& converter, const Vector3D<float>& from,
                const Vector3D<float>& to, float width);

}  // namespace hand_test_kit
