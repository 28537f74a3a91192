#pragma once

// The logging core's process-wide state, shared by the core and the code that
// names and places log files. Internal to the OS layer.

#include <atomic>
#include <set>
#include <string>

#include "OSLayer/XnCriticalSection.h"
#include "OSLayer/XnHash.h"
#include "OSLayer/XnList.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnLogWriters.h"

#define XN_LOG_TIMESTAMP_LENGTH 24

struct LogData {
    // Created on first use; null once destroyed at process exit, so logging
    // from other static destructors is ignored instead of touching freed state.
    static LogData* Instance();

    LogData();
    ~LogData();
    LogData(const LogData&) = delete;
    LogData& operator=(const LogData&) = delete;

    // Absolute, ending in "/"; empty until chosen.
    XnChar m_strLogDir[XN_FILE_MAX_PATH];
    // Logger handles point into it, so it is never freed (see ~LogData).
    xnl::StringsHash<XnLogger>* m_pMasksHash;
    XnInt32 m_nDefaultMinSeverity;
    xnl::List<XnLogWriter*> m_writers;
    // Read without the lock on every write.
    std::atomic<XnBool> m_bAnyWriters;
    // Local time of the run's first log-folder file; empty until taken.
    XnChar m_strSessionTimestamp[XN_LOG_TIMESTAMP_LENGTH];
    // Every log-folder file this process created, so that none is opened
    // with truncation a second time (see xnLogCreateNewFile).
    std::set<std::string> m_createdFiles;
    XN_CRITICAL_SECTION_HANDLE m_hLock;
    XnLogConsoleWriter m_consoleWriter;
    XnLogFileWriter m_fileWriter;
};

// Formats one piece at *pnLength, within nSize bytes (terminator included);
// a piece that does not fit adds nothing and the text stays terminated.
XnStatus xnLogAppendFormat(XnChar* strBuffer, XnUInt32 nSize, XnUInt32* pnLength, const XnChar* strFormat, ...)
    __attribute__((format(printf, 4, 5)));

// The local wall-clock time in strftime's format; 0x10008 when it does not fit.
XnStatus xnLogFormatLocalTime(const XnChar* strFormat, XnChar* strBuffer, XnUInt32 nSize);
