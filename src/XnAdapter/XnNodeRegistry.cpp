#include "XnAdapter/XnNodeRegistry.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnOniCalls.h"

namespace xn {

namespace {

xnl::List<NodeWrapper*>& NodeList() {
    static xnl::List<NodeWrapper*>* const pList = new xnl::List<NodeWrapper*>;
    return *pList;
}

xnl::CriticalSection& NodeListLock() {
    static xnl::CriticalSection* const pLock = new xnl::CriticalSection;
    return *pLock;
}

// Depth above the stream's maximum is no depth. The pixels are only written
// when one lies above it, so frames of a device that keeps to its maximum
// are never touched (the application and OpenNI2's recorder read them too).
void ClearDepthAboveMaximum(OniStreamHandle hStream, OniFrame* pFrame) {
    if (pFrame == nullptr || pFrame->data == nullptr || pFrame->dataSize <= 0 ||
        (pFrame->videoMode.pixelFormat != ONI_PIXEL_FORMAT_DEPTH_1_MM &&
         pFrame->videoMode.pixelFormat != ONI_PIXEL_FORMAT_DEPTH_100_UM)) {
        return;
    }
    XnInt32 maximum = 0;
    if (StreamGetPropertyZeroed(hStream, ONI_STREAM_PROPERTY_MAX_VALUE, &maximum, sizeof(maximum), nullptr) !=
            ONI_STATUS_OK ||
        maximum < 0 || maximum >= 0xFFFF) {
        return;
    }
    const XnUInt16 limit = static_cast<XnUInt16>(maximum);
    XnUInt16* pPixels = static_cast<XnUInt16*>(pFrame->data);
    const int count = pFrame->dataSize / static_cast<int>(sizeof(XnUInt16));
    bool above = false;
    for (int i = 0; i < count; ++i) {
        above |= pPixels[i] > limit;
    }
    if (!above) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        pPixels[i] = pPixels[i] > limit ? 0 : pPixels[i];
    }
}

// Caller holds the lock.
void HandOut(OniStreamHandle hStream, OniFrame* pFrame) {
    ClearDepthAboveMaximum(hStream, pFrame);
    for (NodeWrapper* pNode : NodeList()) {
        if (pNode->GetStreamHandle() == hStream) {
            pNode->UpdateFrame(pFrame);
        }
    }
}

// The stream of every registered node that has one, in registration order
// (a stream shared by several nodes is listed once per node). Caller holds
// the lock.
std::vector<OniStreamHandle> RegisteredStreams() {
    std::vector<OniStreamHandle> streams;
    for (NodeWrapper* pNode : NodeList()) {
        if (pNode->GetStreamHandle() != nullptr) {
            streams.push_back(pNode->GetStreamHandle());
        }
    }
    return streams;
}

// Waits without time limit until one of the streams has a frame, reads it
// and hands it to the nodes of its stream (hReady). A failing wait or read
// hands out nothing and its status is returned. Caller holds the lock.
XnStatus HandOutNextFrame(std::vector<OniStreamHandle>& streams, OniStreamHandle& hReady) {
    const OniCalls& calls = GetOniCalls();
    int index = -1;
    OniStatus rc =
        calls.waitForAnyStream(streams.data(), static_cast<int>(streams.size()), &index, ONI_TIMEOUT_FOREVER);
    if (rc != ONI_STATUS_OK) {
        return rc;
    }
    if (index < 0 || index >= static_cast<int>(streams.size())) {
        return ONI_STATUS_ERROR;
    }
    hReady = streams[index];
    OniFrame* pFrame = nullptr;
    rc = calls.streamReadFrame(hReady, &pFrame);
    if (rc != ONI_STATUS_OK) {
        return rc;
    }
    HandOut(hReady, pFrame);
    // The nodes hold their own references.
    if (pFrame != nullptr) {
        calls.frameRelease(pFrame);
    }
    return XN_STATUS_OK;
}

}  // namespace

xnl::List<NodeWrapper*>& g_nodeList = NodeList();
xnl::CriticalSection& g_nodeListLock = NodeListLock();

void RegisterNode(NodeWrapper& node) {
    xnl::AutoCSLocker lock(NodeListLock());
    NodeList().AddLast(&node);
}

void UnregisterNode(NodeWrapper& node) {
    xnl::AutoCSLocker lock(NodeListLock());
    NodeList().Remove(&node);
}

void UpdateFrameToAll(NodeWrapper& node, OniFrame* pFrame) {
    xnl::AutoCSLocker lock(NodeListLock());
    if (node.GetStreamHandle() != nullptr) {
        HandOut(node.GetStreamHandle(), pFrame);
    }
}

XnStatus UpdateUntil(NodeWrapper& node) {
    xnl::AutoCSLocker lock(NodeListLock());
    std::vector<OniStreamHandle> streams = RegisteredStreams();
    const OniStreamHandle hTarget = node.GetStreamHandle();
    if (hTarget == nullptr || std::find(streams.begin(), streams.end(), hTarget) == streams.end()) {
        std::printf("Waiting on unregistered stream!\n");
        return 1;
    }
    for (;;) {
        OniStreamHandle hReady = nullptr;
        const XnStatus rc = HandOutNextFrame(streams, hReady);
        if (rc != XN_STATUS_OK || hReady == hTarget) {
            return rc;
        }
    }
}

XnStatus UpdateUntilAny() {
    xnl::AutoCSLocker lock(NodeListLock());
    std::vector<OniStreamHandle> streams = RegisteredStreams();
    // Nodes without a stream give nothing to wait on.
    if (streams.empty()) {
        return 1;
    }
    OniStreamHandle hReady = nullptr;
    return HandOutNextFrame(streams, hReady);
}

XnStatus UpdateAll() {
    xnl::AutoCSLocker lock(NodeListLock());
    if (NodeList().IsEmpty()) {
        return 1;
    }
    return UpdateUntil(**NodeList().Begin());
}

}  // namespace xn
