// The read-frame pipeline of the user tracker and its output frames.

#include <cstring>
#include <new>

#include "Api/DepthFrameReader.h"
#include "OSLayer/XnLog.h"
#include "OniCAPI.h"
#include "SceneAnalyzer/SceneAnalyzer.h"
#include "UserTracker/UserTracker.h"
#include "XnAdapter/XnNodeRegistry.h"
#include "XnAdapter/XnOniCalls.h"

int UserTracker::getNextFrame(VelaUserTrackerFrame** out) {
    return ReadTrackerFrame(m_depthStream._getHandle(), "UserTracker", out,
                            [this](OniFrame* depthFrame) { return processFrame(depthFrame); });
}

VelaUserTrackerFrame* UserTracker::processFrame(OniFrame* depthFrame) {
    // A recording that starts over.
    if (depthFrame->timestamp < m_lastTimestamp) {
        initScene();
    }
    xn::UpdateFrameToAll(m_depthGenerator, depthFrame);
    m_lastTimestamp = depthFrame->timestamp;

    xnl::AutoCSLocker trackerLock(m_trackerLock);
    m_sceneAnalyzer->Update();

    VelaUserTrackerFrame* frame = new VelaUserTrackerFrame();
    m_frameRefs.Enter(frame);
    xn::GetOniCalls().frameAddRef(depthFrame);
    frame->depthFrame = depthFrame;
    frame->timestamp = depthFrame->timestamp;
    frame->frameIndex = depthFrame->frameIndex;
    copySegmentation(*frame);

    // Present users in ascending id; the ones present before and gone now
    // are lost.
    short present[SceneAnalyzer::kMaxUsers] = {};
    bool isNew[SceneAnalyzer::kMaxUsers] = {};
    int presentCount = 0;
    for (short id = 1; id <= SceneAnalyzer::kMaxUsers; ++id) {
        if (m_sceneAnalyzer->IsUserAlive(id)) {
            isNew[presentCount] = m_users.Find(id) == m_users.End();
            present[presentCount++] = id;
        }
    }
    short lost[SceneAnalyzer::kMaxUsers + 1] = {};
    int lostCount = 0;
    for (const auto& entry : m_users) {
        bool stillHere = false;
        for (int i = 0; i < presentCount; ++i) {
            stillHere |= present[i] == entry.Key();
        }
        if (!stillHere && lostCount < SceneAnalyzer::kMaxUsers + 1) {
            lost[lostCount++] = entry.Key();
        }
    }
    frame->userCount = presentCount + lostCount;
    frame->users = nullptr;

    Plane<float> floor;
    frame->floorConfidence = m_sceneAnalyzer->GetFloor(floor) ? 1.0f : 0.0f;
    frame->floor.point = {floor.m_point.x, floor.m_point.y, floor.m_point.z};
    frame->floor.normal = {floor.m_normal.x, floor.m_normal.y, floor.m_normal.z};

    m_depthGenerator.GetMetaData(m_depthMetaData);
    const xn::SceneMetaData& labels = m_sceneAnalyzer->GetLabelMap(m_feResolution);
    m_featureExtractor->Update(m_depthGenerator, m_depthMetaData, labels);

    fillUsers(*frame, present, isNew, presentCount, lost, lostCount);
    return frame;
}

void UserTracker::copySegmentation(VelaUserTrackerFrame& frame) {
    const OniFrame* depthFrame = frame.depthFrame;
    frame.userMap.width = depthFrame->width;
    frame.userMap.height = depthFrame->height;
    frame.userMap.stride = 2 * depthFrame->width;
    frame.userMap.pixels = nullptr;
    if (depthFrame->data == nullptr) {
        return;
    }
    const Resolution resolution = GetResolution(depthFrame->width, depthFrame->height);
    if (!IsValidResolution(resolution)) {
        return;
    }
    const xn::SceneMetaData& labels = m_sceneAnalyzer->GetLabelMap(resolution);
    const size_t count = static_cast<size_t>(depthFrame->width) * static_cast<size_t>(depthFrame->height);
    frame.userMap.pixels = new int16_t[count];
    if (labels.Data() != nullptr && static_cast<int>(labels.XRes()) == depthFrame->width &&
        static_cast<int>(labels.YRes()) == depthFrame->height) {
        std::memcpy(frame.userMap.pixels, labels.Data(), count * sizeof(int16_t));
    } else {
        std::memset(frame.userMap.pixels, 0, count * sizeof(int16_t));
    }
}

int UserTracker::userTrackerFrameAddRef(VelaUserTrackerFrame* frame) {
    m_frameRefs.AddRef(frame);
    return VELA_STATUS_OK;
}

int UserTracker::userTrackerFrameRelease(VelaUserTrackerFrame* frame) {
    if (m_frameRefs.Release(frame)) {
        freeFrame(frame);
    }
    return VELA_STATUS_OK;
}

void UserTracker::freeFrame(VelaUserTrackerFrame* frame) {
    if (frame->depthFrame != nullptr) {
        xn::GetOniCalls().frameRelease(frame->depthFrame);
    }
    delete[] frame->users;
    delete[] frame->userMap.pixels;
    delete frame;
}
