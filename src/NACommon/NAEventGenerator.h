#pragma once

// Base of the algorithm modules that report to the trackers: an ordered list
// of listeners, not owned, each called synchronously in registration order.
// The list has no lock: it changes only while a tracker initialises or shuts
// down, never during a delivery on another thread.

#include <vector>

#include "NACommon/NAEvent.h"
#include "NACommon/NAEventListener.h"

class NAEventGenerator {
public:
    // Appends the listener; one added twice receives every event twice.
    virtual void AddEventListener(NAEventListener* listener);
    // Removes every occurrence, keeping the others in order; false (and the
    // list unchanged) when it was not registered.
    virtual bool RemoveEventListener(NAEventListener* listener);
    // Calls ProcessEvent on each listener in list order. The length is read
    // again after each call, so the walk ends at the list's current end.
    virtual void GenerateEvent(const NAEvent& event);

protected:
    NAEventGenerator() = default;
    NAEventGenerator(const NAEventGenerator&) = default;
    NAEventGenerator& operator=(const NAEventGenerator&) = default;
    // Never deleted through this base; releases only the list.
    ~NAEventGenerator() = default;

    // Producers that deliver by hand walk this list exactly as GenerateEvent does.
    std::vector<NAEventListener*> m_listeners;
};
