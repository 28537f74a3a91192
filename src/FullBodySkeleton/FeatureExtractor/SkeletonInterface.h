#pragma once

// How a tracked user's skeleton leaves the skeleton pipeline: sixteen
// queries, each giving one joint position (world millimetres) or one joint
// orientation (a rotation whose columns are the joint's local axes in world
// coordinates) of the current frame, and writing its confidence from 0 to 1
// into the float argument; 0 means the part is not known this frame and the
// value carries no meaning. Implementations may add operations after these.
// Skeletons are owned and destroyed through their concrete types.

#include "FullBodySkeleton/FeatureExtractor/Side.h"
#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/Vector3D.h"

class SkeletonInterface {
public:
    virtual Vector3D<float> GetHeadPosition(float& confidence) const = 0;
    virtual Vector3D<float> GetNeckPosition(float& confidence) const = 0;
    virtual Vector3D<float> GetTorsoCenter(float& confidence) const = 0;
    virtual Vector3D<float> GetShoulderPosition(Side side, float& confidence) const = 0;
    virtual Vector3D<float> GetElbowPosition(Side side, float& confidence) const = 0;
    virtual Vector3D<float> GetHandPosition(Side side, float& confidence) const = 0;
    virtual Vector3D<float> GetHipPosition(Side side, float& confidence) const = 0;
    virtual Vector3D<float> GetKneePosition(Side side, float& confidence) const = 0;
    virtual Vector3D<float> GetFootPosition(Side side, float& confidence) const = 0;
    virtual Matrix3X3<float> GetHeadOrientation(float& confidence) const = 0;
    virtual Matrix3X3<float> GetNeckOrientation(float& confidence) const = 0;
    virtual Matrix3X3<float> GetTorsoOrientation(float& confidence) const = 0;
    virtual Matrix3X3<float> GetUpperArmOrientation(Side side, float& confidence) const = 0;
    virtual Matrix3X3<float> GetLowerArmOrientation(Side side, float& confidence) const = 0;
    virtual Matrix3X3<float> GetUpperLegOrientation(Side side, float& confidence) const = 0;
    virtual Matrix3X3<float> GetLowerLegOrientation(Side side, float& confidence) const = 0;

protected:
    SkeletonInterface() = default;
    SkeletonInterface(const SkeletonInterface&) = default;
    SkeletonInterface& operator=(const SkeletonInterface&) = default;
    // Never deleted through the interface.
    ~SkeletonInterface() = default;
};
