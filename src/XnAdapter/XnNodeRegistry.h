#pragma once

// The process-wide registry of adapter nodes. A frame that one tracker reads
// is handed to every registered node bound to the same stream; the registry's
// recursive lock is held by every operation, waits for frames included, so a
// waiting call holds off registration and frame hand-out by other trackers
// until its frame arrives.
//
// Frames enter the adapter only through the hand-outs below. There, before
// any node sees it, every pixel of a depth frame (1 mm or 100 um) above the
// stream's maximum value becomes 0, no depth: whoever reads depth metadata
// may then index tables of maximum + 1 entries with it. A stream whose
// maximum cannot be read keeps its pixels as they are.

#include "OSLayer/XnCriticalSection.h"
#include "OSLayer/XnList.h"
#include "OSLayer/XnStatus.h"
#include "OniCAPI.h"

namespace xn {

class NodeWrapper;

// The registered nodes in registration order and the lock guarding them.
// Created at load and never destroyed, so nodes that outlive static
// destruction still unregister safely.
extern xnl::List<NodeWrapper*>& g_nodeList;
extern xnl::CriticalSection& g_nodeListLock;

// Appends the node (nodes register themselves on construction).
void RegisterNode(NodeWrapper& node);
// Removes the first entry of the node, if any.
void UnregisterNode(NodeWrapper& node);
// Calls UpdateFrame(pFrame) on every registered node bound to node's stream,
// in registration order; nobody receives it when node has no stream.
void UpdateFrameToAll(NodeWrapper& node, OniFrame* pFrame);
// Waits without time limit on the streams of all registered nodes and hands
// every frame read to the nodes of its stream, until a frame of node's stream
// has arrived. Returns 0 then; 1 after writing "Waiting on unregistered
// stream!" when no registered node has node's stream; otherwise the failing
// OpenNI2 wait or read status.
XnStatus UpdateUntil(NodeWrapper& node);
// Waits without time limit until any registered node's stream has a frame
// and hands that frame to the nodes of its stream. Returns the wait's (or
// the read's) status; 1 when no registered node has a stream.
XnStatus UpdateUntilAny();
// UpdateUntil on the first registered node; 1 when none is registered.
XnStatus UpdateAll();

}  // namespace xn
