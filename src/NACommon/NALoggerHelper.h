#pragma once

// Collects one diagnostic line of the algorithms with the ordinary stream
// operators and writes it, when it goes, as one log entry of its mask and
// severity without the foundation's entry header. The text starts with the
// prefix "<mask> (<severity>): " unless the caller leaves it out. Callers
// build one only when NALogger::IsLogging says the line is wanted.

#include <sstream>
#include <string>

#include "NACommon/NALogger.h"
#include "OSLayer/XnLog.h"

class NALoggerHelper : public std::ostringstream {
public:
    NALoggerHelper(NALogger& logger, const std::string& mask, XnLogSeverity severity);
    NALoggerHelper(NALogger& logger, const std::string& mask, XnLogSeverity severity, int prefix);
    ~NALoggerHelper() override;
    NALoggerHelper(const NALoggerHelper&) = delete;
    NALoggerHelper& operator=(const NALoggerHelper&) = delete;

private:
    NALogger& m_logger;
    std::string m_strMask;
    XnLogSeverity m_nSeverity;
};
