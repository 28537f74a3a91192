#pragma once

// One user's skeleton pipeline: the user's mode (tracking, calibrating,
// stopped), the control calls of the user tracker, the calibration and pose
// state it reads, the user's place in the frame and the output skeletons;
// calibration and pose events go out through the shared event generator.
//
// The pipeline's stages (calibration, body parts, trackers, pose scoring and
// the output skeletons) are not part of this build: a feature extractor
// keeps its mode and answers its controls, but never calibrates, detects a
// pose or produces a skeleton, so the user tracker reports every skeleton as
// not tracked.

#include <cstdint>
#include <string>

#include "FullBodySkeleton/FeatureExtractor/FeatureExtractorSharedData.h"
#include "FullBodySkeleton/FeatureExtractor/SkeletonInterface.h"
#include "FullBodySkeleton/FeatureExtractor/UserInfo.h"
#include "NACommon/SensorTime.h"

class NACommonData;
class SceneAnalyzer;

class FeatureExtractor {
public:
    enum Mode : int32_t { MODE_TRACKING = 0, MODE_CALIBRATING = 1, MODE_STOPPED = 2 };
    // The poses the pipeline detects itself: the calibration (psi) pose.
    enum DetectablePose : int32_t { POSE_PSI = 0 };

    // Process-wide output settings, shared by every user of every user
    // tracker: the user tracker reports the fixed-bone-length skeleton when
    // either of the first two is set, else the smoothed pose when pose
    // smoothing is on, else the unsmoothed pose.
    static bool useFixedLengthSkeleton;
    static bool useSkeletonPostProcessing;
    static bool usePoseSmoother;
    // 0 to 1; 0.5 until set.
    static float smoothingFactor;

    // Starts stopped (mode 2), uncalibrated, without pose detection.
    FeatureExtractor(NACommonData* commonData, const SceneAnalyzer* sceneAnalyzer,
                     FeatureExtractorSharedData& sharedData, int userId, const std::string& configurationDir,
                     const std::string& iniPath);
    ~FeatureExtractor();
    FeatureExtractor(const FeatureExtractor&) = delete;
    FeatureExtractor& operator=(const FeatureExtractor&) = delete;

    void ReadParameters(const std::string& iniPath, bool verbose);
    // One frame; index is the user's position among this frame's users.
    void Update(int frameId, SensorTime timestamp, int index);

    Mode GetMode() const { return m_mode; }
    // A change to calibrating or stopped resets tracking; stopping a running
    // calibration ends it as failed (calibration-ended event).
    void SetMode(Mode mode);
    // Tracking (mode 0); with the learned estimator, its calibration pass
    // starts for an uncalibrated user.
    bool StartTracking();
    // Stopped (mode 2).
    bool StopTracking();
    // Poses other than the psi pose are ignored.
    void StartPoseDetection(DetectablePose pose);
    void StopPoseDetection(DetectablePose pose);
    bool IsDetectingPose(DetectablePose pose) const;

    // With the learned estimator: its calibration pass runs and the user is
    // not yet validated as a starting human; otherwise a calibration runs.
    bool IsCalibrating() const;
    // The user's calibration succeeded.
    bool IsCalibrated() const { return m_calibrated; }
    // This frame's calibration status bits: 0x01, 0x40, 0x80 calibration
    // pose not found; 0x04, 0x08 hands; 0x02, 0x10 head; 0x20 torso.
    int32_t GetCalibrationStatus() const { return m_calibrationStatus; }
    // Built with the learned estimator.
    bool IsLBSEnabled() const { return m_lbsEnabled; }
    // The learned estimator's calibration pass is on.
    bool IsLBSPass() const { return m_lbsPass; }
    // The user has been validated as a starting human (always, without
    // validation).
    bool IsStartingHuman() const;

    int GetUserId() const { return m_userInfo.userId; }
    UserInfo& GetUserInfo() { return m_userInfo; }
    const UserInfo& GetUserInfo() const { return m_userInfo; }

    // The three output skeletons: the fixed-bone-length skeleton, the
    // smoothed pose and the unsmoothed pose of the frame; null while the
    // pipeline produces none.
    const SkeletonInterface* GetFixedSkeleton() const { return nullptr; }
    const SkeletonInterface* GetSmoothedPose() const { return nullptr; }
    const SkeletonInterface* GetOutputPose() const { return nullptr; }

private:
    void ResetTracking();
    void CalibrationEnded(bool success, int32_t status);

    FeatureExtractorSharedData& m_sharedData;
    // 0 after a tracking reset; after each update in mode 0, 1 with a pose
    // and 2 without.
    int32_t m_trackingState;
    Mode m_mode;
    bool m_poseDetection;
    bool m_poseReported;
    bool m_calibrating;
    bool m_calibrated;
    int32_t m_calibrationStatus;
    bool m_lbsEnabled;
    bool m_lbsPass;
    bool m_startingHuman;
    bool m_useValidation;
    int m_frameId;
    SensorTime m_timestamp;
    int m_lastFrameId;
    SensorTime m_lastTimestamp;
    UserInfo m_userInfo;
};
