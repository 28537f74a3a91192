// The hand-tracker manager's hand events: one kind-0 record per change of a
// hand, delivered to every listener in registration order.

#include <ostream>

#include "HandAnalysis/DUZHandTrackerManager.h"
#include "NACommon/NALoggerHelper.h"

namespace {

constexpr const char* kHandMask = "HandTrackerManager";

NAEvent HandEvent(NAHandEvent::Type type, unsigned int handId, int onlyHand, const Vector3D<float>& position,
                  int side, unsigned int frameId, SensorTime time) {
    NAEvent event(NAEvent::HAND);
    event.frameId = frameId;
    event.timestamp = time;
    event.hand.type = type;
    event.hand.handId = static_cast<int32_t>(handId);
    event.hand.onlyHand = onlyHand;
    event.hand.position = position;
    event.hand.border = side;
    return event;
}

}  // namespace

void DUZHandTrackerManager::Deliver(const NAEvent& event) {
    if (event.hand.type != NAHandEvent::DELETED && NALogger::IsLogging(kHandMask, XN_LOG_VERBOSE)) {
        const Vector3D<float>& p = event.hand.position;
        NALoggerHelper(*m_logger, kHandMask, XN_LOG_VERBOSE)
            << (event.hand.type == NAHandEvent::ADDED ? "Hand ID (added): " : "Hand ID: ") << event.hand.handId
            << ", Pos: " << p.x << " " << p.y << " " << p.z << ", Frame: " << event.frameId << std::endl;
    }
    for (size_t i = 0; i < m_listeners.size(); ++i) {
        m_listeners[i]->ProcessEvent(event);
    }
}

void DUZHandTrackerManager::SendHandAddedEvent(const DUZHandTracker& tracker, unsigned int frameId, SensorTime time) {
    Deliver(HandEvent(NAHandEvent::ADDED, tracker.GetID(), m_activeTrackers.size() == 1 ? 1 : 0, tracker.m_position,
                      NAHandEvent::NONE, frameId, time));
}

void DUZHandTrackerManager::SendHandDeletedEvent(unsigned int handId, unsigned int frameId, SensorTime time) {
    Deliver(HandEvent(NAHandEvent::DELETED, handId, m_activeTrackers.size() == 1 ? 1 : 0, Vector3D<float>(0, 0, 0),
                      NAHandEvent::NONE, frameId, time));
}

void DUZHandTrackerManager::SendHandMovedEvent(const DUZHandTracker& tracker, unsigned int frameId, SensorTime time) {
    Deliver(HandEvent(NAHandEvent::MOVED, tracker.GetID(), m_activeTrackers.size() == 1 ? 1 : 0, tracker.m_position,
                      NAHandEvent::NONE, frameId, time));
}

void DUZHandTrackerManager::SendHandTouchingFoVEvent(const DUZHandTracker& tracker, unsigned int frameId,
                                                     SensorTime time, int side) {
    Deliver(HandEvent(NAHandEvent::TOUCHING_FOV, tracker.GetID(), m_activeTrackers.size() == 1 ? 1 : 0,
                      tracker.m_position, side, frameId, time));
}
