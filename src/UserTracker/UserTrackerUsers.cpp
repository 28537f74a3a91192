// The user records of the user tracker's frames: skeletons, the two poses,
// the skeleton-pipeline events and the skeleton, pose and smoothing
// controls.

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include "OSLayer/XnLog.h"
#include "QuorLibrary/Math/Quaternion.h"
#include "UserTracker/UserTracker.h"

namespace {

typedef Vector3D<float> (*PositionGetter)(const SkeletonInterface& skeleton, float& confidence);
typedef Matrix3X3<float> (*OrientationGetter)(const SkeletonInterface& skeleton, float& confidence);

struct JointSource {
    VelaJointType type;
    PositionGetter position;
    // Null for hands and feet.
    OrientationGetter orientation;
};

// In the order the joints are read.
const JointSource kJoints[VELA_JOINT_COUNT] = {
    {VELA_JOINT_HEAD, [](const SkeletonInterface& s, float& c) { return s.GetHeadPosition(c); },
     [](const SkeletonInterface& s, float& c) { return s.GetHeadOrientation(c); }},
    {VELA_JOINT_NECK, [](const SkeletonInterface& s, float& c) { return s.GetNeckPosition(c); },
     [](const SkeletonInterface& s, float& c) { return s.GetNeckOrientation(c); }},
    {VELA_JOINT_LEFT_SHOULDER, [](const SkeletonInterface& s, float& c) { return s.GetShoulderPosition(L, c); },
     [](const SkeletonInterface& s, float& c) { return s.GetUpperArmOrientation(L, c); }},
    {VELA_JOINT_LEFT_ELBOW, [](const SkeletonInterface& s, float& c) { return s.GetElbowPosition(L, c); },
     [](const SkeletonInterface& s, float& c) { return s.GetLowerArmOrientation(L, c); }},
    {VELA_JOINT_LEFT_HAND, [](const SkeletonInterface& s, float& c) { return s.GetHandPosition(L, c); }, nullptr},
    {VELA_JOINT_RIGHT_SHOULDER, [](const SkeletonInterface& s, float& c) { return s.GetShoulderPosition(R, c); },
     [](const SkeletonInterface& s, float& c) { return s.GetUpperArmOrientation(R, c); }},
    {VELA_JOINT_RIGHT_ELBOW, [](const SkeletonInterface& s, float& c) { return s.GetElbowPosition(R, c); },
     [](const SkeletonInterface& s, float& c) { return s.GetLowerArmOrientation(R, c); }},
    {VELA_JOINT_RIGHT_HAND, [](const SkeletonInterface& s, float& c) { return s.GetHandPosition(R, c); }, nullptr},
    {VELA_JOINT_TORSO, [](const SkeletonInterface& s, float& c) { return s.GetTorsoCenter(c); },
     [](const SkeletonInterface& s, float& c) { return s.GetTorsoOrientation(c); }},
    {VELA_JOINT_LEFT_HIP, [](const SkeletonInterface& s, float& c) { return s.GetHipPosition(L, c); },
     [](const SkeletonInterface& s, float& c) { return s.GetUpperLegOrientation(L, c); }},
    {VELA_JOINT_LEFT_KNEE, [](const SkeletonInterface& s, float& c) { return s.GetKneePosition(L, c); },
     [](const SkeletonInterface& s, float& c) { return s.GetLowerLegOrientation(L, c); }},
    {VELA_JOINT_LEFT_FOOT, [](const SkeletonInterface& s, float& c) { return s.GetFootPosition(L, c); }, nullptr},
    {VELA_JOINT_RIGHT_HIP, [](const SkeletonInterface& s, float& c) { return s.GetHipPosition(R, c); },
     [](const SkeletonInterface& s, float& c) { return s.GetUpperLegOrientation(R, c); }},
    {VELA_JOINT_RIGHT_KNEE, [](const SkeletonInterface& s, float& c) { return s.GetKneePosition(R, c); },
     [](const SkeletonInterface& s, float& c) { return s.GetLowerLegOrientation(R, c); }},
    {VELA_JOINT_RIGHT_FOOT, [](const SkeletonInterface& s, float& c) { return s.GetFootPosition(R, c); }, nullptr},
};

// Calibration status bits, first match wins: the skeleton state they give.
struct CalibrationError {
    int32_t bits;
    VelaSkeletonState state;
};
const CalibrationError kCalibrationErrors[] = {
    {0x40 | 0x80, VELA_SKELETON_CALIBRATION_ERROR_NOT_IN_POSE},
    {0x01, VELA_SKELETON_CALIBRATION_ERROR_NOT_IN_POSE},
    {0x02 | 0x10, VELA_SKELETON_CALIBRATION_ERROR_HEAD},
    {0x20, VELA_SKELETON_CALIBRATION_ERROR_TORSO},
    {0x04 | 0x08, VELA_SKELETON_CALIBRATION_ERROR_HANDS},
};

// Confidences above this gate the crossed-hands test.
const float kCrossedHandsConfidence = 0.5f;

VelaPoint3f ToPoint(const Vector3D<float>& v) { return VelaPoint3f{v.x, v.y, v.z}; }

bool IsKnownPose(VelaPoseType pose) { return pose == VELA_POSE_PSI || pose == VELA_POSE_CROSSED_HANDS; }

// Entered or held.
void EnterPose(UserTracker::PoseData& entry) {
    entry.state = entry.inPose ? 3 : 7;
    entry.inPose = true;
}

// Left, or still out.
void LeavePose(UserTracker::PoseData& entry) {
    entry.state = entry.inPose ? 9 : 1;
    entry.inPose = false;
}

}  // namespace

UserTracker::PoseData& UserTracker::poseEntry(VelaPoseType pose, short id) {
    xnl::Hash<int16_t, PoseData>& table = m_poseData[pose];
    auto entry = table.Find(id);
    if (entry == table.End()) {
        table.Set(id, PoseData{false, 0});
        entry = table.Find(id);
    }
    return entry->Value();
}

int64_t& UserTracker::lastPoseEventTime(short id) {
    auto entry = m_lastPoseEventTime.Find(id);
    if (entry == m_lastPoseEventTime.End()) {
        m_lastPoseEventTime.Set(id, std::numeric_limits<int64_t>::max());
        entry = m_lastPoseEventTime.Find(id);
    }
    return entry->Value();
}

void UserTracker::fillUsers(VelaUserTrackerFrame& frame, const short* present, const bool* isNew, int presentCount,
                            const short* lost, int lostCount) {
    if (frame.userCount <= 0) {
        return;
    }
    frame.users = new VelaUserData[frame.userCount]();
    const Resolution mapResolution = GetResolution(frame.userMap.width, frame.userMap.height);
    for (int i = 0; i < presentCount; ++i) {
        VelaUserData& user = frame.users[i];
        const short id = present[i];
        user.id = id;
        user.state = VELA_USER_STATE_VISIBLE;
        if (isNew[i]) {
            m_users.Set(id, id);
            user.state |= VELA_USER_STATE_NEW;
        }
        SkeletonUser* fe = m_featureExtractor->GetFeatureExtractor(id);
        // A new user, or one whose pipeline went with a rebuild of the scene
        // while the new scene still reports it. Skeleton tracking stays off
        // until the application starts it.
        if (fe == nullptr) {
            fe = m_featureExtractor->CreateFeatureExtractor(id);
            fe->SetMode(FeatureExtractor::MODE_STOPPED);
        }
        // The driver's label statistics of the user, at the user map's
        // resolution. A pipeline created this frame has not been refreshed
        // yet: its centre is 0 and its boxes are empty.
        const UserInfo& info = fe->GetUserInfo();
        user.centerOfMass = ToPoint(info.com);
        const Box2D<int> box = IsValidResolution(mapResolution) ? info.boundsPix[mapResolution] : Box2D<int>();
        user.boundingBox.min = {static_cast<float>(box.min.x), static_cast<float>(box.min.y), 0.0f};
        user.boundingBox.max = {static_cast<float>(box.max.x), static_cast<float>(box.max.y), 0.0f};
        if (!isNew[i]) {
            const int64_t height = static_cast<int64_t>(box.max.y) - box.min.y;
            const int64_t width = static_cast<int64_t>(box.max.x) - box.min.x;
            if (height < 0 || static_cast<double>(height) * static_cast<double>(std::max<int64_t>(width, 0)) <= 1.0) {
                user.state &= ~VELA_USER_STATE_VISIBLE;
            }
        }
        populateUser(user, fe);
        checkCrossedHands(user);
        user.poses[VELA_POSE_PSI] = {VELA_POSE_PSI, poseEntry(VELA_POSE_PSI, id).state};
        user.poses[VELA_POSE_CROSSED_HANDS] = {VELA_POSE_CROSSED_HANDS, poseEntry(VELA_POSE_CROSSED_HANDS, id).state};
    }
    for (int i = 0; i < lostCount; ++i) {
        VelaUserData& user = frame.users[presentCount + i];
        const short id = lost[i];
        user.id = id;
        user.state = VELA_USER_STATE_LOST;
        user.skeleton.state = VELA_SKELETON_NONE;
        m_users.Remove(id);
        for (xnl::Hash<int16_t, PoseData>& table : m_poseData) {
            table.Remove(id);
        }
        m_lastPoseEventTime.Remove(id);
        m_featureExtractor->DeleteFeatureExtractor(id);
    }
}

void UserTracker::populateUser(VelaUserData& user, SkeletonUser* fe) {
    VelaSkeleton& skeleton = user.skeleton;
    if (fe->IsCalibrating()) {
        skeleton.state = VELA_SKELETON_CALIBRATING;
        return;
    }
    if (!fe->IsLBSEnabled()) {
        if (fe->GetMode() != FeatureExtractor::MODE_TRACKING) {
            skeleton.state = VELA_SKELETON_NONE;
            return;
        }
        if (!fe->IsCalibrated()) {
            const int32_t bits = fe->GetCalibrationStatus();
            for (const CalibrationError& error : kCalibrationErrors) {
                if ((bits & error.bits) != 0) {
                    skeleton.state = error.state;
                    // The calibration pose was not found because the user is
                    // not properly in view.
                    if (error.bits == 0x01) {
                        user.state &= ~VELA_USER_STATE_VISIBLE;
                    }
                    break;
                }
            }
            return;
        }
    } else if (!fe->IsStartingHuman() || fe->GetMode() != FeatureExtractor::MODE_TRACKING) {
        skeleton.state = VELA_SKELETON_NONE;
        return;
    }
    skeleton.state = VELA_SKELETON_TRACKED;
    const SkeletonInterface* source = nullptr;
    if (FeatureExtractor::useFixedLengthSkeleton || FeatureExtractor::useSkeletonPostProcessing) {
        source = fe->GetFixedSkeleton();
    } else {
        source = FeatureExtractor::usePoseSmoother ? fe->GetSmoothedPose() : fe->GetOutputPose();
    }
    m_confidenceFactor = fe->IsLBSEnabled() && fe->IsLBSPass() ? 0.7f : 1.0f;
    if (source == nullptr) {
        return;
    }
    for (const JointSource& joint : kJoints) {
        VelaSkeletonJoint& out = skeleton.joints[joint.type];
        out.jointType = joint.type;
        float confidence = 0;
        out.position = ToPoint(joint.position(*source, confidence));
        out.positionConfidence = confidence * m_confidenceFactor;
        if (joint.orientation != nullptr) {
            float orientationConfidence = 0;
            const Quaternion<float> q = Quaternion<float>::FromMatrix(joint.orientation(*source, orientationConfidence));
            out.orientation = {q.x, q.y, q.z, q.w};
            out.orientationConfidence = orientationConfidence * m_confidenceFactor;
        }
    }
}

void UserTracker::checkCrossedHands(const VelaUserData& user) {
    PoseData& entry = poseEntry(VELA_POSE_CROSSED_HANDS, user.id);
    if ((entry.state & VELA_POSE_STATE_DETECTING) == 0) {
        return;
    }
    if (user.skeleton.state == VELA_SKELETON_TRACKED) {
        const VelaSkeletonJoint* joints = user.skeleton.joints;
        const VelaSkeletonJoint& leftHand = joints[VELA_JOINT_LEFT_HAND];
        const VelaSkeletonJoint& rightHand = joints[VELA_JOINT_RIGHT_HAND];
        const VelaSkeletonJoint& leftElbow = joints[VELA_JOINT_LEFT_ELBOW];
        const VelaSkeletonJoint& rightElbow = joints[VELA_JOINT_RIGHT_ELBOW];
        if (leftHand.positionConfidence <= kCrossedHandsConfidence ||
            leftElbow.positionConfidence <= kCrossedHandsConfidence ||
            rightHand.positionConfidence <= kCrossedHandsConfidence ||
            rightElbow.positionConfidence <= kCrossedHandsConfidence) {
            return;
        }
        if (leftHand.position.x > rightHand.position.x && rightElbow.position.x > leftElbow.position.x &&
            rightHand.position.y > leftElbow.position.y && leftHand.position.y > rightElbow.position.y) {
            EnterPose(entry);
            return;
        }
    }
    LeavePose(entry);
}

void UserTracker::ProcessEvent(const NAEvent& event) {
    if (event.kind != NAEvent::USER) {
        return;
    }
    const FeatureExtractorEvent& body = event.user;
    const short id = static_cast<short>(body.userId);
    if (m_users.Find(id) == m_users.End()) {
        return;
    }
    const int64_t time = body.timestamp;
    switch (body.eventType) {
        case FeatureExtractorEvent::POSE_DETECTED:
            EnterPose(poseEntry(VELA_POSE_PSI, id));
            lastPoseEventTime(id) = time;
            break;
        case FeatureExtractorEvent::POSE_LOST:
            LeavePose(poseEntry(VELA_POSE_PSI, id));
            lastPoseEventTime(id) = time;
            break;
        case FeatureExtractorEvent::POSE_STATUS: {
            // The status that follows a detected or lost event of the same
            // frame must not overwrite the entered or left state.
            int64_t& last = lastPoseEventTime(id);
            if (time == last) {
                break;
            }
            PoseData& entry = poseEntry(VELA_POSE_PSI, id);
            if ((entry.state & VELA_POSE_STATE_DETECTING) != 0) {
                entry.state = entry.inPose ? 3 : 1;
            }
            last = time;
            break;
        }
        default:
            break;
    }
}

int UserTracker::startTracking(short id) {
    SkeletonUser* fe = m_featureExtractor->GetFeatureExtractor(id);
    if (fe == nullptr) {
        return VELA_STATUS_BAD_USER_ID;
    }
    fe->StartTracking();
    return VELA_STATUS_OK;
}

void UserTracker::stopTracking(short id) {
    SkeletonUser* fe = m_featureExtractor->GetFeatureExtractor(id);
    if (fe != nullptr) {
        fe->StopTracking();
    }
}

bool UserTracker::isTracking(short id) {
    const SkeletonUser* fe = m_featureExtractor->GetFeatureExtractor(id);
    return fe != nullptr && fe->GetMode() == FeatureExtractor::MODE_TRACKING &&
           (!fe->IsLBSEnabled() || fe->IsStartingHuman());
}

int UserTracker::setSmoothing(float factor) {
    m_featureExtractor->SetSmoothingEnabled(factor > 0);
    m_featureExtractor->SetSmoothingFactor(factor);
    return VELA_STATUS_OK;
}

int UserTracker::getSmoothing(float* factor) {
    if (factor == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "UserTracker: no place for the smoothing factor was given");
        return VELA_STATUS_ERROR;
    }
    *factor = m_featureExtractor->GetSmoothingEnabled() ? m_featureExtractor->GetSmoothingFactor() : 0.0f;
    return VELA_STATUS_OK;
}

int UserTracker::startPoseDetection(short id, VelaPoseType pose) {
    if (!IsKnownPose(pose)) {
        xnLogError(XN_LOG_MASK_ALL, "UserTracker: Unknown pose type %d", static_cast<int>(pose));
        return VELA_STATUS_ERROR;
    }
    if (pose == VELA_POSE_PSI) {
        SkeletonUser* fe = m_featureExtractor->GetFeatureExtractor(id);
        if (fe == nullptr) {
            return VELA_STATUS_BAD_USER_ID;
        }
        std::printf("Starting pose detection\n");
        fe->StartPoseDetection(FeatureExtractor::POSE_PSI);
    }
    PoseData& entry = poseEntry(pose, id);
    if ((entry.state & VELA_POSE_STATE_DETECTING) == 0) {
        entry = PoseData{false, VELA_POSE_STATE_DETECTING};
    }
    return VELA_STATUS_OK;
}

void UserTracker::stopPoseDetection(short id, VelaPoseType pose) {
    if (!IsKnownPose(pose)) {
        xnLogError(XN_LOG_MASK_ALL, "UserTracker: Unknown pose type %d", static_cast<int>(pose));
        return;
    }
    if (pose == VELA_POSE_PSI) {
        SkeletonUser* fe = m_featureExtractor->GetFeatureExtractor(id);
        if (fe == nullptr) {
            return;
        }
        fe->StopPoseDetection(FeatureExtractor::POSE_PSI);
    }
    poseEntry(pose, id) = PoseData{false, 0};
}

void UserTracker::stopPoseDetection(short id) {
    stopPoseDetection(id, VELA_POSE_PSI);
    stopPoseDetection(id, VELA_POSE_CROSSED_HANDS);
}
