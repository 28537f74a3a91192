#pragma once

// One user's skeleton pipeline (a FeatureExtractor) as the user tracker uses
// it: the controls it forwards and the state it reads to fill the user's
// record. The library's own implementation is LibrarySkeletonUser.

#include <cstdint>

#include "FullBodySkeleton/FeatureExtractor/FeatureExtractor.h"
#include "FullBodySkeleton/FeatureExtractor/SkeletonInterface.h"
#include "FullBodySkeleton/FeatureExtractor/UserInfo.h"

class SkeletonUser {
public:
    virtual ~SkeletonUser() = default;

    virtual FeatureExtractor::Mode GetMode() const = 0;
    virtual void SetMode(FeatureExtractor::Mode mode) = 0;
    virtual void StartTracking() = 0;
    virtual void StopTracking() = 0;
    virtual void StartPoseDetection(FeatureExtractor::DetectablePose pose) = 0;
    virtual void StopPoseDetection(FeatureExtractor::DetectablePose pose) = 0;

    virtual bool IsCalibrating() const = 0;
    virtual bool IsCalibrated() const = 0;
    virtual int32_t GetCalibrationStatus() const = 0;
    virtual bool IsLBSEnabled() const = 0;
    virtual bool IsLBSPass() const = 0;
    virtual bool IsStartingHuman() const = 0;
    // Centre of mass and pixel boxes, refreshed by the driver's update.
    virtual const UserInfo& GetUserInfo() const = 0;

    // The output skeletons; null while there is none.
    virtual const SkeletonInterface* GetFixedSkeleton() const = 0;
    virtual const SkeletonInterface* GetSmoothedPose() const = 0;
    virtual const SkeletonInterface* GetOutputPose() const = 0;
};
