#include "NACommon/NALoggerHelper.h"

NALoggerHelper::NALoggerHelper(NALogger& logger, const std::string& mask, XnLogSeverity severity)
    : NALoggerHelper(logger, mask, severity, 1) {}

NALoggerHelper::NALoggerHelper(NALogger& logger, const std::string& mask, XnLogSeverity severity, int prefix)
    : m_logger(logger), m_strMask(mask), m_nSeverity(severity) {
    if (prefix != 0) {
        *this << m_strMask << " (" << static_cast<int>(m_nSeverity) << "): ";
    }
}

NALoggerHelper::~NALoggerHelper() {
    // As text, never as a format: the line may hold '%'.
    xnLogWriteNoEntry(m_strMask.c_str(), m_nSeverity, "%s", str().c_str());
}
