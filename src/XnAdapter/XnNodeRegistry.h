#pragma once

// The process-wide registry of adapter nodes. A frame that one tracker reads
// is handed to every registered node bound to the same stream; the registry's
// recursive lock is held by every operation, waits for frames included, so a
// waiting call holds off registration and frame hand-out by other trackers
// until its frame arrives.

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
