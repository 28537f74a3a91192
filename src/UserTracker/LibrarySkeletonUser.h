#pragma once

// The library's per-user skeleton pipeline: a FeatureExtractor of the
// driver, bound afresh each time the driver hands it out.

#include "UserTracker/SkeletonUser.h"

class LibrarySkeletonUser final : public SkeletonUser {
public:
    void Bind(FeatureExtractor* featureExtractor) { m_fe = featureExtractor; }

    FeatureExtractor::Mode GetMode() const override { return m_fe->GetMode(); }
    void SetMode(FeatureExtractor::Mode mode) override { m_fe->SetMode(mode); }
    void StartTracking() override { m_fe->StartTracking(); }
    void StopTracking() override { m_fe->StopTracking(); }
    void StartPoseDetection(FeatureExtractor::DetectablePose pose) override { m_fe->StartPoseDetection(pose); }
    void StopPoseDetection(FeatureExtractor::DetectablePose pose) override { m_fe->StopPoseDetection(pose); }
    bool IsCalibrating() const override { return m_fe->IsCalibrating(); }
    bool IsCalibrated() const override { return m_fe->IsCalibrated(); }
    int32_t GetCalibrationStatus() const override { return m_fe->GetCalibrationStatus(); }
    bool IsLBSEnabled() const override { return m_fe->IsLBSEnabled(); }
    bool IsLBSPass() const override { return m_fe->IsLBSPass(); }
    bool IsStartingHuman() const override { return m_fe->IsStartingHuman(); }
    const UserInfo& GetUserInfo() const override { return m_fe->GetUserInfo(); }
    const SkeletonInterface* GetFixedSkeleton() const override { return m_fe->GetFixedSkeleton(); }
    const SkeletonInterface* GetSmoothedPose() const override { return m_fe->GetSmoothedPose(); }
    const SkeletonInterface* GetOutputPose() const override { return m_fe->GetOutputPose(); }

private:
    FeatureExtractor* m_fe = nullptr;
};
