// The read-frame pipeline of the hand tracker and its output frames.

#include <algorithm>

#include "Api/DepthFrameReader.h"
#include "HandAnalysis/DUZHandAlgorithmsLock.h"
#include "HandTracker/HandTracker.h"
#include "OSLayer/XnLog.h"
#include "XnAdapter/XnNodeRegistry.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

// A new array holding copies of the pending records, in order; null for none.
template <class Record>
Record* CopyPending(const xnl::List<Record*>& pending) {
    if (pending.IsEmpty()) {
        return nullptr;
    }
    Record* records = new Record[pending.Size()];
    Record* out = records;
    for (const Record* record : pending) {
        *out++ = *record;
    }
    return records;
}

}  // namespace

int HandTracker::getNextFrame(VelaHandTrackerFrame** out) {
    return ReadTrackerFrame(m_depthStream._getHandle(), "HandTracker", out,
                            [this](OniFrame* depthFrame) { return processFrame(depthFrame); });
}

VelaHandTrackerFrame* HandTracker::processFrame(OniFrame* depthFrame) {
    xn::UpdateFrameToAll(m_depthGenerator, depthFrame);
    m_depthGenerator.GetMetaData(m_depthMetaData);
    // The records copied into the previous frame, and any raised since.
    clearGestures();

    VelaHandTrackerFrame* frame = new VelaHandTrackerFrame();
    m_frameRefs.Enter(frame);
    xn::GetOniCalls().frameAddRef(depthFrame);
    frame->depthFrame = depthFrame;
    frame->hands = nullptr;
    frame->gestures = nullptr;
    frame->timestamp = depthFrame->timestamp;
    frame->frameIndex = depthFrame->frameIndex;

    std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
    m_gestureManager->Update(m_depthGenerator, m_depthMetaData);
    frame->gestureCount = static_cast<int32_t>(m_gestures.Size());
    frame->gestures = CopyPending(m_gestures);

    const xn::ImageMetaData noImage;
    m_handTrackerManager->Update(m_depthGenerator, m_depthMetaData, noImage);
    frame->handCount = static_cast<int32_t>(m_hands.Size());
    frame->hands = CopyPending(m_hands);
    clearHands();
    return frame;
}

int HandTracker::handTrackerFrameAddRef(VelaHandTrackerFrame* frame) {
    m_frameRefs.AddRef(frame);
    return VELA_STATUS_OK;
}

int HandTracker::handTrackerFrameRelease(VelaHandTrackerFrame* frame) {
    if (m_frameRefs.Release(frame)) {
        freeFrame(frame);
    }
    return VELA_STATUS_OK;
}

void HandTracker::freeFrame(VelaHandTrackerFrame* frame) {
    if (frame->depthFrame != nullptr) {
        xn::GetOniCalls().frameRelease(frame->depthFrame);
    }
    delete[] frame->hands;
    delete[] frame->gestures;
    delete frame;
}

void HandTracker::clearHands() {
    for (VelaHandData* record : m_hands) {
        delete record;
    }
    m_hands.Clear();
}

void HandTracker::clearGestures() {
    for (VelaGestureData* record : m_gestures) {
        delete record;
    }
    m_gestures.Clear();
}
