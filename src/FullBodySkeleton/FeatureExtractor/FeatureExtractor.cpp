#include "FullBodySkeleton/FeatureExtractor/FeatureExtractor.h"

#include <climits>

#include "NACommon/NAEvent.h"

bool FeatureExtractor::useFixedLengthSkeleton = false;
bool FeatureExtractor::useSkeletonPostProcessing = true;
bool FeatureExtractor::usePoseSmoother = true;
float FeatureExtractor::smoothingFactor = 0.5f;

FeatureExtractor::FeatureExtractor(NACommonData*, const SceneAnalyzer*, FeatureExtractorSharedData& sharedData,
                                   int userId, const std::string&, const std::string&)
    : m_sharedData(sharedData),
      m_trackingState(0),
      m_mode(MODE_STOPPED),
      m_poseDetection(false),
      m_poseReported(false),
      m_calibrating(false),
      m_calibrated(false),
      m_calibrationStatus(0),
      m_lbsEnabled(false),
      m_lbsPass(false),
      m_startingHuman(false),
      m_useValidation(true),
      m_frameId(INT_MAX),
      m_timestamp(SensorTime::InvalidTime()),
      m_lastFrameId(INT_MAX),
      m_lastTimestamp(SensorTime::InvalidTime()),
      m_userInfo(userId) {}

FeatureExtractor::~FeatureExtractor() = default;

void FeatureExtractor::ReadParameters(const std::string&, bool) {}

void FeatureExtractor::Update(int frameId, SensorTime timestamp, int) {
    m_frameId = frameId;
    m_timestamp = timestamp;
    m_calibrationStatus = 0;
    if (m_mode == MODE_TRACKING) {
        // No pose is ever selected.
        m_trackingState = 2;
    }
    m_lastFrameId = m_frameId;
    m_lastTimestamp = m_timestamp;
}

void FeatureExtractor::SetMode(Mode mode) {
    if (mode == m_mode) {
        return;
    }
    m_mode = mode;
    if (mode == MODE_CALIBRATING || mode == MODE_STOPPED) {
        ResetTracking();
        if (mode == MODE_STOPPED && IsCalibrating()) {
            CalibrationEnded(false, -1);
        }
    }
}

bool FeatureExtractor::StartTracking() {
    if (m_lbsEnabled) {
        m_lbsPass = !m_calibrated;
    }
    SetMode(MODE_TRACKING);
    return true;
}

bool FeatureExtractor::StopTracking() {
    if (m_lbsEnabled) {
        m_lbsPass = false;
    }
    SetMode(MODE_STOPPED);
    return true;
}

void FeatureExtractor::StartPoseDetection(DetectablePose pose) {
    if (pose == POSE_PSI && !m_poseDetection) {
        m_poseDetection = true;
        m_poseReported = false;
    }
}

void FeatureExtractor::StopPoseDetection(DetectablePose pose) {
    if (pose == POSE_PSI) {
        m_poseDetection = false;
    }
}

bool FeatureExtractor::IsDetectingPose(DetectablePose pose) const { return pose == POSE_PSI && m_poseDetection; }

bool FeatureExtractor::IsCalibrating() const {
    return m_lbsEnabled ? m_lbsPass && !IsStartingHuman() : m_calibrating;
}

bool FeatureExtractor::IsStartingHuman() const { return !m_useValidation || m_startingHuman; }

void FeatureExtractor::ResetTracking() { m_trackingState = 0; }

void FeatureExtractor::CalibrationEnded(bool success, int32_t status) {
    m_calibrationStatus = status == -1 ? m_calibrationStatus : status;
    m_calibrating = false;
    NAEvent event(NAEvent::USER);
    event.user.userId = m_userInfo.userId;
    event.user.eventType = FeatureExtractorEvent::CALIBRATION_ENDED;
    event.user.frameId = static_cast<uint32_t>(m_frameId);
    event.user.timestamp = m_timestamp;
    event.user.calibrationStatus = m_calibrationStatus;
    event.user.calibrationSuccess = success;
    m_sharedData.GenerateEvent(event);
}
