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

// Caller holds the lock.
void HandOut(OniStreamHandle hStream, OniFrame* pFrame) {
    for (NodeWrapper* pNode : NodeList()) {
        if (pNode->GetStreamHandle() == hStream) {
            pNode->UpdateFrame(pFrame);
        }
    }
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
    std::vector<OniStreamHandle> streams;
    for (NodeWrapper* pNode : NodeList()) {
        if (pNode->GetStreamHandle() != nullptr) {
            streams.push_back(pNode->GetStreamHandle());
        }
    }
    const OniStreamHandle hTarget = node.GetStreamHandle();
    if (hTarget == nullptr || std::find(streams.begin(), streams.end(), hTarget) == streams.end()) {
        std::printf("Waiting on unregistered stream!\n");
        return 1;
    }
    const OniCalls& calls = GetOniCalls();
    for (;;) {
        int index = -1;
        OniStatus rc = calls.waitForAnyStream(streams.data(), static_cast<int>(streams.size()), &index,
                                              ONI_TIMEOUT_FOREVER);
        if (rc != ONI_STATUS_OK) {
            return rc;
        }
        if (index < 0 || index >= static_cast<int>(streams.size())) {
            return ONI_STATUS_ERROR;
        }
        const OniStreamHandle hReady = streams[index];
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
        if (hReady == hTarget) {
            return XN_STATUS_OK;
        }
    }
}

}  // namespace xn
