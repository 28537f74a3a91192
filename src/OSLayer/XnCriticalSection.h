#pragma once

// Scope helpers over the OS layer's recursive critical sections.

#include "OSLayer/XnOS.h"

namespace xnl {

class CriticalSection {
public:
    CriticalSection() : m_hCS(nullptr) { xnOSCreateCriticalSection(&m_hCS); }
    ~CriticalSection() {
        // Fails harmlessly when the destroying thread does not hold it.
        xnOSLeaveCriticalSection(&m_hCS);
        xnOSCloseCriticalSection(&m_hCS);
    }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    XnStatus Enter() { return xnOSEnterCriticalSection(&m_hCS); }
    XnStatus Leave() { return xnOSLeaveCriticalSection(&m_hCS); }
    XN_CRITICAL_SECTION_HANDLE GetHandle() const { return m_hCS; }

private:
    XN_CRITICAL_SECTION_HANDLE m_hCS;
};

class AutoCSLocker {
public:
    explicit AutoCSLocker(CriticalSection& cs) : m_hCS(cs.GetHandle()), m_bLocked(false) { Lock(); }
    explicit AutoCSLocker(XN_CRITICAL_SECTION_HANDLE hCS) : m_hCS(hCS), m_bLocked(false) { Lock(); }
    ~AutoCSLocker() { Unlock(); }
    AutoCSLocker(const AutoCSLocker&) = delete;
    AutoCSLocker& operator=(const AutoCSLocker&) = delete;

    void Lock() {
        if (!m_bLocked) {
            xnOSEnterCriticalSection(&m_hCS);
            m_bLocked = true;
        }
    }
    void Unlock() {
        if (m_bLocked) {
            xnOSLeaveCriticalSection(&m_hCS);
            m_bLocked = false;
        }
    }

private:
    XN_CRITICAL_SECTION_HANDLE m_hCS;
    bool m_bLocked;
};

}  // namespace xnl
