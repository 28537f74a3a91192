#include "NACommon/NALogger.h"

NALogger& NALogger::GetInstance() {
    static NALogger s_logger;
    return s_logger;
}

bool NALogger::IsLogging(const XnChar* mask, XnLogSeverity severity) {
    return GetInstance().GetEnabled() != 0 && xnLogIsEnabled(mask, severity);
}

NALogger::NALogger() : m_nOpened(0), m_nEnabled(0) {}

NALogger::~NALogger() {
    if (m_nOpened != 0) {
        xnLogClose();
    }
}

void NALogger::ApplyEnableLogging(int setting) {
    if (setting != 0) {
        SetEnabled(setting);
    }
}
