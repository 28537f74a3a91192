#pragma once

// The application's ready-for-next-frame callback as a tracker keeps it. It
// is registered and unregistered on the application's threads and called on
// OpenNI2's stream thread, so the pair of callback and cookie is read and
// written under a lock, and unregistration waits for a call already running
// on another thread: once Unregister returns, the callback is not called
// again. A callback may unregister itself.

#include <condition_variable>
#include <mutex>

#include "Vela.h"

class ReadyForNextFrameNotifier {
public:
    ReadyForNextFrameNotifier();
    ReadyForNextFrameNotifier(const ReadyForNextFrameNotifier&) = delete;
    ReadyForNextFrameNotifier& operator=(const ReadyForNextFrameNotifier&) = delete;

    // Replaces any earlier registration. pCallback points at the first entry
    // of the application's callback record, which is read at every call; a
    // null record registers nothing to call.
    void Register(const VelaReadyForNextFrameCallback* pCallback, void* cookie);
    // Forgets the registration and waits until no call of it is running on
    // another thread.
    void Unregister();
    // Calls the registered callback with its cookie, if any.
    void Notify();

private:
    std::mutex m_lock;
    std::condition_variable m_idle;
    const VelaReadyForNextFrameCallback* m_pCallback;
    void* m_pCookie;
    // Calls running now, on any thread.
    int m_nRunning;
};
