#pragma once

// What a tracker implements to receive the algorithm modules' events. A
// listener removes itself from every generator it joined before it goes.

#include "NACommon/NAEvent.h"

class NAEventListener {
public:
    // Called synchronously, on the producing thread, for every event of a
    // generator the listener has joined; events of kinds and types the
    // listener does not handle are to be ignored.
    virtual void ProcessEvent(const NAEvent& /*event*/) {}

protected:
    NAEventListener() = default;
    NAEventListener(const NAEventListener&) = default;
    NAEventListener& operator=(const NAEventListener&) = default;
    // Never deleted through this base.
    ~NAEventListener() = default;
};
