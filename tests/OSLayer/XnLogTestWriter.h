#pragma once

// A log writer for tests: keeps copies of what the core hands it.

#include <string>
#include <vector>

#include "OSLayer/XnLog.h"

namespace vela_test {

struct CapturedEntry {
    XnUInt64 nTimestamp;
    XnLogSeverity nSeverity;
    std::string strSeverity;
    std::string strMask;
    std::string strMessage;
    bool bHasFile;
    std::string strFile;
    XnUInt32 nLine;
};

class CapturingLogWriter {
public:
    CapturingLogWriter() {
        m_record.pCookie = this;
        m_record.WriteEntry = [](const XnLogEntry* pEntry, void* pCookie) {
            static_cast<CapturingLogWriter*>(pCookie)->m_entries.push_back(
                {pEntry->nTimestamp, pEntry->nSeverity, pEntry->strSeverity, pEntry->strMask, pEntry->strMessage,
                 pEntry->strFile != nullptr, pEntry->strFile != nullptr ? pEntry->strFile : "", pEntry->nLine});
        };
        m_record.WriteUnformatted = [](const XnChar* strMessage, void* pCookie) {
            static_cast<CapturingLogWriter*>(pCookie)->m_texts.push_back(strMessage);
        };
        m_record.OnConfigurationChanged = [](void* pCookie) {
            ++static_cast<CapturingLogWriter*>(pCookie)->m_nConfigurationChanged;
        };
        m_record.OnClosing = [](void* pCookie) {
            CapturingLogWriter* pThis = static_cast<CapturingLogWriter*>(pCookie);
            ++pThis->m_nClosing;
            pThis->Unregister();
        };
    }
    ~CapturingLogWriter() { Unregister(); }

    XnStatus Register() {
        m_bRegistered = true;
        return xnLogRegisterLogWriter(&m_record);
    }
    void Unregister() {
        if (m_bRegistered) {
            xnLogUnregisterLogWriter(&m_record);
            m_bRegistered = false;
        }
    }
    // Forgets the banner and everything else received so far.
    void Clear() {
        m_entries.clear();
        m_texts.clear();
    }

    std::vector<CapturedEntry> m_entries;
    std::vector<std::string> m_texts;
    int m_nConfigurationChanged = 0;
    int m_nClosing = 0;

private:
    XnLogWriter m_record;
    bool m_bRegistered = false;
};

}  // namespace vela_test
