#pragma once

// The tracker that turns depth frames into users with skeletons. Each read
// waits for the next depth frame, runs the scene analysis and the skeleton
// pipeline on it under the tracker lock, and returns a new reference-counted
// frame with the depth frame, the user map, the floor and one record per
// present or just-lost user. It decides which users are new, visible and
// lost, creates and deletes their skeleton pipelines, keeps the two pose
// states per user and offers the skeleton, pose and smoothing controls.
//
// The algorithms come from UserTrackerAlgorithms (the library's own by
// default). A user's box and centre of mass are the skeleton driver's label
// statistics of the user's label (UserInfo), refreshed in its update: a user
// has them from its second frame on.

#include <cstdint>
#include <memory>
#include <string>

#include "Api/FrameReferenceTable.h"
#include "Api/TrackerBase.h"
#include "NACommon/NACommonData.h"
#include "NACommon/NAEventListener.h"
#include "OSLayer/XnCriticalSection.h"
#include "OSLayer/XnHash.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "UserTracker/SceneAnalysis.h"
#include "UserTracker/SkeletonDriver.h"
#include "UserTracker/UserTrackerAlgorithms.h"
#include "Vela.h"

class UserTracker : public TrackerBase, public NAEventListener {
public:
    // One user's state of one pose.
    struct PoseData {
        bool inPose;
        // VelaPoseState bits.
        int32_t state;
    };

    UserTracker();
    explicit UserTracker(std::unique_ptr<UserTrackerAlgorithms> algorithms);
    // Shuts down, releasing frames the application still holds.
    ~UserTracker() override;

    int initializeTracker() override;
    void shutdownTracker() override;
    // Pose events of the skeleton pipeline.
    void ProcessEvent(const NAEvent& event) override;

    // Rebuilds the scene analysis and drops every skeleton pipeline.
    void initScene();

    int registerUserTrackerCallbacks(VelaUserTrackerCallbacks* callbacks, void* cookie);
    void unregisterUserTrackerCallbacks(VelaUserTrackerCallbacks* callbacks);

    // The next frame, holding one reference, in *out: VELA_STATUS_OK; or,
    // when no depth frame can be read, VELA_STATUS_ERROR with *out null.
    int getNextFrame(VelaUserTrackerFrame** out);
    // Frames this tracker did not make are ignored with a warning.
    int userTrackerFrameAddRef(VelaUserTrackerFrame* frame);
    // The last release frees the frame.
    int userTrackerFrameRelease(VelaUserTrackerFrame* frame);

    // VELA_STATUS_BAD_USER_ID when the id has no skeleton pipeline.
    int startTracking(short id);
    void stopTracking(short id);
    bool isTracking(short id);
    // Process-wide, for every user of every user tracker: on above 0, off
    // otherwise; the factor is kept clamped to 0..1.
    int setSmoothing(float factor);
    // The factor while smoothing is on, 0 while it is off.
    int getSmoothing(float* factor);
    // The psi pose needs a skeleton pipeline (VELA_STATUS_BAD_USER_ID
    // otherwise) and prints "Starting pose detection" on standard output.
    // Pose types other than psi and crossed hands are refused.
    int startPoseDetection(short id, VelaPoseType pose);
    void stopPoseDetection(short id, VelaPoseType pose);
    // Both poses.
    void stopPoseDetection(short id);

protected:
    // getNextFrame from step 2 on, for a depth frame already read (the
    // caller keeps its own reference).
    VelaUserTrackerFrame* processFrame(OniFrame* depthFrame);

    void copySegmentation(VelaUserTrackerFrame& frame);
    // The skeleton of a present user's record.
    void populateUser(VelaUserData& user, SkeletonUser* fe);
    // Crossed hands from the filled record.
    void checkCrossedHands(const VelaUserData& user);

private:
    static constexpr int kPoseTypes = 2;

    // Both pose states of one user, created as not detecting.
    PoseData& poseEntry(VelaPoseType pose, short id);
    // The time stamp of the user's last pose-detected or pose-lost event.
    int64_t& lastPoseEventTime(short id);
    // The present and lost user records of one frame.
    void fillUsers(VelaUserTrackerFrame& frame, const short* present, const bool* isNew, int presentCount,
                   const short* lost, int lostCount);
    static void freeFrame(VelaUserTrackerFrame* frame);

    xnl::CriticalSection m_trackerLock;
    std::unique_ptr<UserTrackerAlgorithms> m_algorithms;
    std::unique_ptr<SceneAnalysis> m_sceneAnalyzer;
    Resolution m_saResolution;
    Resolution m_feResolution;
    std::unique_ptr<SkeletonDriver> m_featureExtractor;
    bool m_listening;
    FrameReferenceTable<VelaUserTrackerFrame> m_frameRefs;
    // Ids reported present (new or visible) in the previous frame.
    xnl::Hash<int16_t, int32_t> m_users;
    NACommonData m_commonData;
    // By VelaPoseType.
    xnl::Hash<int16_t, PoseData> m_poseData[kPoseTypes];
    // Per user, kept with the pose states.
    xnl::Hash<int16_t, int64_t> m_lastPoseEventTime;
    uint64_t m_lastTimestamp;
    float m_confidenceFactor;
    std::string m_iniPath;
};
