#pragma once

// Captures the entries of one log mask for a test: the mask at a severity,
// the algorithms' logger enabled, everything put back when it goes.

#include <string>

#include "../../OSLayer/XnLogTestWriter.h"
#include "NACommon/NALogger.h"

namespace detection_test {

class LogCapture {
public:
    LogCapture(const char* mask, XnLogSeverity severity) : m_mask(mask) {
        m_bRegistered = m_writer.Register() == XN_STATUS_OK;
        xnLogSetMaskMinSeverity(mask, severity);
        NALogger::GetInstance().SetEnabled(1);
        m_writer.Clear();
    }
    ~LogCapture() {
        m_writer.Unregister();
        xnLogSetMaskMinSeverity(m_mask.c_str(), XN_LOG_SEVERITY_NONE);
        NALogger::GetInstance().SetEnabled(0);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    bool Registered() const { return m_bRegistered; }
    void Clear() { m_writer.Clear(); }
    // The entries written without a header (the algorithms' lines).
    const std::vector<std::string>& Texts() const { return m_writer.m_texts; }
    std::string Last() const { return Texts().empty() ? std::string() : Texts().back(); }
    // Entries with a header (xnLogWrite) of the severity.
    size_t Entries(XnLogSeverity severity) const {
        size_t n = 0;
        for (const vela_test::CapturedEntry& entry : m_writer.m_entries) n += entry.nSeverity == severity;
        return n;
    }

private:
    std::string m_mask;
    bool m_bRegistered = false;
    vela_test::CapturingLogWriter m_writer;
};

}  // namespace detection_test
