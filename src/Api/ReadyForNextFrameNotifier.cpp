#include "Api/ReadyForNextFrameNotifier.h"

namespace {

// The notifier whose callback this thread is running, so that a callback
// that unregisters does not wait for itself.
thread_local const ReadyForNextFrameNotifier* t_pNotifying = nullptr;

}  // namespace

ReadyForNextFrameNotifier::ReadyForNextFrameNotifier() : m_pCallback(nullptr), m_pCookie(nullptr), m_nRunning(0) {}

void ReadyForNextFrameNotifier::Register(const VelaReadyForNextFrameCallback* pCallback, void* cookie) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pCallback = pCallback;
    m_pCookie = cookie;
}

void ReadyForNextFrameNotifier::Unregister() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_pCallback = nullptr;
    m_pCookie = nullptr;
    const int own = t_pNotifying == this ? 1 : 0;
    m_idle.wait(lock, [this, own] { return m_nRunning <= own; });
}

void ReadyForNextFrameNotifier::Notify() {
    VelaReadyForNextFrameCallback callback = nullptr;
    void* cookie = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_pCallback == nullptr || *m_pCallback == nullptr) {
            return;
        }
        callback = *m_pCallback;
        cookie = m_pCookie;
        ++m_nRunning;
    }
    const ReadyForNextFrameNotifier* const pOuter = t_pNotifying;
    t_pNotifying = this;
    callback(cookie);
    t_pNotifying = pOuter;
    // Notified under the lock: once a waiting Unregister can see the count
    // drop, this call no longer touches the notifier.
    std::lock_guard<std::mutex> lock(m_lock);
    --m_nRunning;
    m_idle.notify_all();
}
