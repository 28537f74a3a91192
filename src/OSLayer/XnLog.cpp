#include "OSLayer/XnLog.h"

#include <cstring>
#include <ctime>

#include "OSLayer/XnArray.h"
#include "OSLayer/XnDump.h"
#include "OSLayer/XnLogData.h"
#include "OSLayer/XnOS.h"

namespace {

// Constant-initialised, so it is valid before and after every other static.
std::atomic<bool> g_bLogDataDestroyed{false};

const XnChar* const kLogMask = "Log";

struct XnBufferedLogEntry : XnLogEntry {
    XnBufferedLogEntry() : XnLogEntry() {
        strBuffer[0] = '\0';
        strMessage = strBuffer;
    }
    XnChar strBuffer[XN_LOG_MAX_ENTRY_LENGTH];
};

XnLogger* GetLoggerForMask(LogData* pData, const XnChar* strMask, XnBool bCreate) {
    xnl::StringsHash<XnLogger>& masks = *pData->m_pMasksHash;
    xnl::StringsHash<XnLogger>::Iterator it = masks.Find(strMask);
    if (it != masks.End()) {
        return &it->value;
    }
    if (!bCreate || masks.Set(strMask, XnLogger{pData->m_nDefaultMinSeverity, nullptr}) != XN_STATUS_OK) {
        return nullptr;
    }
    it = masks.Find(strMask);
    // The logger names its mask by the table's own copy of the name.
    it->value.strMask = it->key;
    return &it->value;
}

XnInt32 MinSeverityOf(LogData* pData, const XnChar* strMask) {
    XnLogger* pLogger = strMask == nullptr ? nullptr : GetLoggerForMask(pData, strMask, FALSE);
    return pLogger != nullptr ? pLogger->nMinSeverity : pData->m_nDefaultMinSeverity;
}

void SetAllMasks(LogData* pData, XnInt32 nMinSeverity) {
    pData->m_nDefaultMinSeverity = nMinSeverity;
    for (auto& pair : *pData->m_pMasksHash) {
        pair.value.nMinSeverity = nMinSeverity;
    }
}

void FormatV(XnChar* strBuffer, XnUInt32 nSize, const XnChar* strFormat, va_list args) {
    XnUInt32 nWritten = 0;
    // A text that does not fit is kept cut.
    xnOSStrFormatV(strBuffer, nSize, &nWritten, strFormat, args);
    strBuffer[nSize - 1] = '\0';
}

void FillEntryV(XnBufferedLogEntry* pEntry, const XnChar* strMask, XnLogSeverity nSeverity, const XnChar* strFile,
                XnUInt32 nLine, const XnChar* strFormat, va_list args) {
    FormatV(pEntry->strBuffer, sizeof(pEntry->strBuffer), strFormat, args);
    xnOSGetHighResTimeStamp(&pEntry->nTimestamp);
    pEntry->nSeverity = nSeverity;
    pEntry->strSeverity = xnLogGetSeverityString(nSeverity);
    pEntry->strMask = strMask;
    pEntry->strFile = strFile;
    pEntry->nLine = nLine;
}

void FillEntry(XnBufferedLogEntry* pEntry, const XnChar* strMask, XnLogSeverity nSeverity, const XnChar* strFile,
               XnUInt32 nLine, const XnChar* strFormat, ...) __attribute__((format(printf, 6, 7)));
void FillEntry(XnBufferedLogEntry* pEntry, const XnChar* strMask, XnLogSeverity nSeverity, const XnChar* strFile,
               XnUInt32 nLine, const XnChar* strFormat, ...) {
    va_list args;
    va_start(args, strFormat);
    FillEntryV(pEntry, strMask, nSeverity, strFile, nLine, strFormat, args);
    va_end(args);
}

// Callers hold the lock. The successor is taken first, so a writer may leave
// the list from its own callback.
void WriteEntryToAll(LogData* pData, const XnLogEntry* pEntry) {
    for (auto it = pData->m_writers.Begin(); it != pData->m_writers.End();) {
        XnLogWriter* pWriter = *it++;
        pWriter->WriteEntry(pEntry, pWriter->pCookie);
    }
}

void WriteEntryV(LogData* pData, const XnChar* strMask, XnLogSeverity nSeverity, const XnChar* strFile,
                 XnUInt32 nLine, const XnChar* strFormat, va_list args) {
    if (!pData->m_bAnyWriters.load(std::memory_order_acquire)) {
        return;
    }
    XnBufferedLogEntry entry;
    FillEntryV(&entry, strMask, nSeverity, strFile, nLine, strFormat, args);
    xnl::AutoCSLocker lock(pData->m_hLock);
    WriteEntryToAll(pData, &entry);
}

void WriteEntry(LogData* pData, const XnChar* strMask, XnLogSeverity nSeverity, const XnChar* strFile,
                XnUInt32 nLine, const XnChar* strFormat, ...) __attribute__((format(printf, 6, 7)));
void WriteEntry(LogData* pData, const XnChar* strMask, XnLogSeverity nSeverity, const XnChar* strFile,
                XnUInt32 nLine, const XnChar* strFormat, ...) {
    va_list args;
    va_start(args, strFormat);
    WriteEntryV(pData, strMask, nSeverity, strFile, nLine, strFormat, args);
    va_end(args);
}

void WriteNoEntryV(LogData* pData, const XnChar* strFormat, va_list args) {
    if (!pData->m_bAnyWriters.load(std::memory_order_acquire)) {
        return;
    }
    XnChar strMessage[XN_LOG_MAX_NO_ENTRY_LENGTH];
    FormatV(strMessage, sizeof(strMessage), strFormat, args);
    xnl::AutoCSLocker lock(pData->m_hLock);
    for (auto it = pData->m_writers.Begin(); it != pData->m_writers.End();) {
        XnLogWriter* pWriter = *it++;
        pWriter->WriteUnformatted(strMessage, pWriter->pCookie);
    }
}

// The message as an entry, then the bytes 16 to a line, each line an entry.
void WriteBinaryDataV(LogData* pData, const XnChar* strMask, XnLogSeverity nSeverity, const XnChar* strFile,
                      XnUInt32 nLine, const XnUInt8* pBinData, XnUInt32 nDataSize, const XnChar* strFormat,
                      va_list args) {
    WriteEntryV(pData, strMask, nSeverity, strFile, nLine, strFormat, args);
    if (pBinData == nullptr) {
        return;
    }
    XnChar strLine[128];
    XnUInt32 nLength = 0;
    for (XnUInt32 i = 0; i < nDataSize; ++i) {
        if (i % 16 == 0) {
            nLength = 0;
            xnLogAppendFormat(strLine, sizeof(strLine), &nLength, "%6u: ", i);
        }
        xnLogAppendFormat(strLine, sizeof(strLine), &nLength, "%02x ", pBinData[i]);
        if (i % 16 == 15 || i == nDataSize - 1) {
            WriteEntry(pData, strMask, nSeverity, strFile, nLine, "%s", strLine);
        }
    }
}

void BuildFilterMessage(LogData* pData, XnBufferedLogEntry* pEntry) {
    XnChar strText[XN_LOG_MAX_ENTRY_LENGTH];
    XnUInt32 nLength = 0;
    strText[0] = '\0';
    const XnInt32 nDefault = pData->m_nDefaultMinSeverity;
    xnLogAppendFormat(strText, sizeof(strText), &nLength, "--- Filter Info --- Minimum Severity: %s",
                      xnLogGetSeverityString(static_cast<XnLogSeverity>(nDefault)));
    XnBool bFirst = TRUE;
    for (const auto& pair : *pData->m_pMasksHash) {
        if (pair.value.nMinSeverity == nDefault) {
            continue;
        }
        xnLogAppendFormat(strText, sizeof(strText), &nLength, "%s", bFirst ? ". Overriding Masks - " : ", ");
        bFirst = FALSE;
        xnLogAppendFormat(strText, sizeof(strText), &nLength, "'%s': %s", pair.key,
                          xnLogGetSeverityString(static_cast<XnLogSeverity>(pair.value.nMinSeverity)));
    }
    FillEntry(pEntry, kLogMask, XN_LOG_INFO, __FILE__, __LINE__, "%s", strText);
}

// Callers hold the lock, so no other entry can reach the writer first.
void WriteBanner(LogData* pData, XnLogWriter* pWriter) {
    XnChar strTime[64];
    xnLogFormatLocalTime("%Y-%m-%d %H:%M:%S", strTime, sizeof(strTime));
    XnBufferedLogEntry entry;
    FillEntry(&entry, kLogMask, XN_LOG_INFO, __FILE__, __LINE__, "New log started on %s", strTime);
    pWriter->WriteEntry(&entry, pWriter->pCookie);
    BuildFilterMessage(pData, &entry);
    pWriter->WriteEntry(&entry, pWriter->pCookie);
}

}  // namespace

// --------------------------------------------------------------- LogData ---

LogData* LogData::Instance() {
    static LogData s_data;
    return g_bLogDataDestroyed.load(std::memory_order_acquire) ? nullptr : &s_data;
}

LogData::LogData()
    : m_pMasksHash(new xnl::StringsHash<XnLogger>),
      m_nDefaultMinSeverity(XN_LOG_SEVERITY_NONE),
      m_bAnyWriters(FALSE),
      m_hLock(nullptr) {
    m_strLogDir[0] = '\0';
    m_strSessionTimestamp[0] = '\0';
    xnOSCreateCriticalSection(&m_hLock);
}

LogData::~LogData() {
    m_fileWriter.Unregister();
    m_consoleWriter.Unregister();
    SetAllMasks(this, XN_LOG_SEVERITY_NONE);
    m_strLogDir[0] = '\0';
    m_strSessionTimestamp[0] = '\0';
    g_bLogDataDestroyed.store(true, std::memory_order_release);
    xnOSCloseCriticalSection(&m_hLock);
    // The mask table stays: logger handles held by other statics point into
    // it and read NONE from now on.
}

// ---------------------------------------------------------------- helpers ---

XnStatus xnLogAppendFormat(XnChar* strBuffer, XnUInt32 nSize, XnUInt32* pnLength, const XnChar* strFormat, ...) {
    if (*pnLength >= nSize) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    XnUInt32 nWritten = 0;
    va_list args;
    va_start(args, strFormat);
    XnStatus nRetVal = xnOSStrFormatV(strBuffer + *pnLength, nSize - *pnLength, &nWritten, strFormat, args);
    va_end(args);
    if (nRetVal != XN_STATUS_OK) {
        // Drop the cut piece.
        strBuffer[*pnLength] = '\0';
        return nRetVal;
    }
    *pnLength += nWritten;
    return XN_STATUS_OK;
}

XnStatus xnLogFormatLocalTime(const XnChar* strFormat, XnChar* strBuffer, XnUInt32 nSize) {
    time_t now = time(nullptr);
    struct tm local;
    if (nSize == 0) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    if (localtime_r(&now, &local) == nullptr || strftime(strBuffer, nSize, strFormat, &local) == 0) {
        strBuffer[0] = '\0';
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    return XN_STATUS_OK;
}

// ------------------------------------------------------------ severities ---

const XnChar* xnLogGetSeverityString(XnLogSeverity severity) {
    switch (severity) {
        case XN_LOG_VERBOSE:
            return "VERBOSE";
        case XN_LOG_INFO:
            return "INFO";
        case XN_LOG_WARNING:
            return "WARNING";
        case XN_LOG_ERROR:
            return "ERROR";
        case XN_LOG_SEVERITY_NONE:
            return "NONE";
        default:
            return "UNKNOWN";
    }
}

// Nothing writes through it; opening it at load enters "RetValChecks" in the
// mask table with the default of that moment.
XnLogger* XN_LOGGER_RETVAL_CHECKS = xnLoggerOpen("RetValChecks");

// ------------------------------------------------------- writing by mask ---

namespace {

// The logging state when a message of this mask and severity passes the
// filter, else null.
LogData* DataIfEnabled(const XnChar* csLogMask, XnLogSeverity nSeverity) {
    LogData* pData = LogData::Instance();
    return (pData != nullptr && nSeverity >= MinSeverityOf(pData, csLogMask)) ? pData : nullptr;
}

}  // namespace

XnBool xnLogIsEnabled(const XnChar* csLogMask, XnLogSeverity nSeverity) {
    return DataIfEnabled(csLogMask, nSeverity) != nullptr;
}

XnStatus xnLogWrite(const XnChar* csLogMask, XnLogSeverity nSeverity, const XnChar* csFile, XnUInt32 nLine,
                    const XnChar* csFormat, ...) {
    if (csLogMask == nullptr || csFormat == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    LogData* pData = DataIfEnabled(csLogMask, nSeverity);
    if (pData == nullptr) {
        return XN_STATUS_OK;
    }
    va_list args;
    va_start(args, csFormat);
    WriteEntryV(pData, csLogMask, nSeverity, csFile, nLine, csFormat, args);
    va_end(args);
    return XN_STATUS_OK;
}

XnStatus xnLogWriteNoEntry(const XnChar* csLogMask, XnLogSeverity nSeverity, const XnChar* csFormat, ...) {
    if (csLogMask == nullptr || csFormat == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    LogData* pData = DataIfEnabled(csLogMask, nSeverity);
    if (pData == nullptr) {
        return XN_STATUS_OK;
    }
    va_list args;
    va_start(args, csFormat);
    WriteNoEntryV(pData, csFormat, args);
    va_end(args);
    return XN_STATUS_OK;
}

XnStatus xnLogWriteBinaryData(const XnChar* csLogMask, XnLogSeverity nSeverity, const XnChar* csFile,
                              XnUInt32 nLine, const XnUInt8* pBinData, XnUInt32 nDataSize, const XnChar* csFormat,
                              ...) {
    if (csLogMask == nullptr || csFormat == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    LogData* pData = DataIfEnabled(csLogMask, nSeverity);
    if (pData == nullptr) {
        return XN_STATUS_OK;
    }
    va_list args;
    va_start(args, csFormat);
    WriteBinaryDataV(pData, csLogMask, nSeverity, csFile, nLine, pBinData, nDataSize, csFormat, args);
    va_end(args);
    return XN_STATUS_OK;
}

// ---------------------------------------------------- writing by handle ---

XnLogger* xnLoggerOpen(const XnChar* strMask) {
    LogData* pData = LogData::Instance();
    if (strMask == nullptr || pData == nullptr) {
        return nullptr;
    }
    return GetLoggerForMask(pData, strMask, TRUE);
}

XnBool xnLoggerIsEnabled(XnLogger* pLogger, XnLogSeverity severity) {
    return pLogger != nullptr && severity >= pLogger->nMinSeverity;
}

void xnLoggerWrite(XnLogger* pLogger, XnLogSeverity severity, const XnChar* strFile, XnUInt32 nLine,
                   const XnChar* strFormat, ...) {
    LogData* pData = LogData::Instance();
    if (!xnLoggerIsEnabled(pLogger, severity) || strFormat == nullptr || pData == nullptr) {
        return;
    }
    va_list args;
    va_start(args, strFormat);
    WriteEntryV(pData, pLogger->strMask, severity, strFile, nLine, strFormat, args);
    va_end(args);
}

void xnLoggerWriteNoEntry(XnLogger* pLogger, XnLogSeverity severity, const XnChar* strFormat, ...) {
    LogData* pData = LogData::Instance();
    if (!xnLoggerIsEnabled(pLogger, severity) || strFormat == nullptr || pData == nullptr) {
        return;
    }
    va_list args;
    va_start(args, strFormat);
    WriteNoEntryV(pData, strFormat, args);
    va_end(args);
}

void xnLoggerWriteBinaryData(XnLogger* pLogger, XnLogSeverity severity, const XnChar* strFile, XnUInt32 nLine,
                             const XnUInt8* pBinData, XnUInt32 nDataSize, const XnChar* strFormat, ...) {
    LogData* pData = LogData::Instance();
    if (!xnLoggerIsEnabled(pLogger, severity) || strFormat == nullptr || pData == nullptr) {
        return;
    }
    va_list args;
    va_start(args, strFormat);
    WriteBinaryDataV(pData, pLogger->strMask, severity, strFile, nLine, pBinData, nDataSize, strFormat, args);
    va_end(args);
}

void _xnLoggerClose(XnLogger* pLogger) {
    LogData* pData = LogData::Instance();
    if (pLogger == nullptr || pData == nullptr) {
        return;
    }
    xnl::StringsHash<XnLogger>::Iterator it = pData->m_pMasksHash->Find(pLogger->strMask);
    if (it != pData->m_pMasksHash->End() && &it->value == pLogger) {
        pData->m_pMasksHash->Remove(it);
    }
}

// ------------------------------------------------------------- filtering ---

XnStatus xnLogSetMaskMinSeverity(const XnChar* strMask, XnLogSeverity minSeverity) {
    if (strMask == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    if (strcmp(strMask, XN_LOG_MASK_ALL) == 0) {
        SetAllMasks(pData, minSeverity);
        return XN_STATUS_OK;
    }
    XnLogger* pLogger = GetLoggerForMask(pData, strMask, TRUE);
    if (pLogger == nullptr) {
        return XN_STATUS_ERROR;
    }
    pLogger->nMinSeverity = minSeverity;
    return XN_STATUS_OK;
}

XnLogSeverity xnLogGetMaskMinSeverity(const XnChar* strMask) {
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_LOG_SEVERITY_NONE;
    }
    return static_cast<XnLogSeverity>(MinSeverityOf(pData, strMask));
}

XnStatus xnLogBCSetMaskState(const XnChar* csMask, XnBool bEnabled) {
    if (csMask == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    auto apply = [bEnabled](XnInt32 nMinSeverity) {
        return bEnabled ? (nMinSeverity & ~XN_LOG_MASK_OFF_BIT) : (nMinSeverity | XN_LOG_MASK_OFF_BIT);
    };
    if (strcmp(csMask, XN_LOG_MASK_ALL) == 0) {
        SetAllMasks(pData, apply(pData->m_nDefaultMinSeverity));
        return XN_STATUS_OK;
    }
    XnLogger* pLogger = GetLoggerForMask(pData, csMask, TRUE);
    if (pLogger == nullptr) {
        return XN_STATUS_ERROR;
    }
    pLogger->nMinSeverity = apply(pLogger->nMinSeverity);
    return XN_STATUS_OK;
}

XnStatus xnLogSetMaskState(const XnChar* csMask, XnBool bEnabled) { return xnLogBCSetMaskState(csMask, bEnabled); }

XnStatus xnLogBCSetSeverityFilter(XnLogSeverity nMinSeverity) {
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    SetAllMasks(pData, nMinSeverity | (pData->m_nDefaultMinSeverity & XN_LOG_MASK_OFF_BIT));

    XnBufferedLogEntry entry;
    BuildFilterMessage(pData, &entry);
    xnl::AutoCSLocker lock(pData->m_hLock);
    WriteEntryToAll(pData, &entry);
    for (auto it = pData->m_writers.Begin(); it != pData->m_writers.End();) {
        XnLogWriter* pWriter = *it++;
        pWriter->OnConfigurationChanged(pWriter->pCookie);
    }
    return XN_STATUS_OK;
}

XnStatus xnLogSetSeverityFilter(XnLogSeverity nMinSeverity) { return xnLogBCSetSeverityFilter(nMinSeverity); }

// --------------------------------------------------------------- writers ---

XnStatus xnLogRegisterLogWriter(XnLogWriter* pWriter) {
    if (pWriter == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    xnl::AutoCSLocker lock(pData->m_hLock);
    XnStatus nRetVal = pData->m_writers.AddLast(pWriter);
    if (nRetVal != XN_STATUS_OK) {
        return nRetVal;
    }
    pData->m_bAnyWriters.store(TRUE, std::memory_order_release);
    WriteBanner(pData, pWriter);
    return XN_STATUS_OK;
}

void xnLogUnregisterLogWriter(XnLogWriter* pWriter) {
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return;
    }
    xnl::AutoCSLocker lock(pData->m_hLock);
    auto it = pData->m_writers.Find(pWriter);
    if (it != pData->m_writers.End()) {
        pData->m_writers.Remove(it);
    }
    pData->m_bAnyWriters.store(!pData->m_writers.IsEmpty(), std::memory_order_release);
}

XnStatus xnLogClose() {
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_OK;
    }
    xnl::AutoCSLocker lock(pData->m_hLock);
    // A writer may leave the list (or make others leave) while closing: walk
    // a copy and skip writers that are gone by their turn.
    xnl::Array<XnLogWriter*> writers(pData->m_writers.Size());
    for (XnLogWriter* pWriter : pData->m_writers) {
        writers.AddLast(pWriter);
    }
    for (XnLogWriter* pWriter : writers) {
        if (pData->m_writers.Find(pWriter) != pData->m_writers.End()) {
            pWriter->OnClosing(pWriter->pCookie);
        }
    }
    // The next log file gets a new folder choice and a new name.
    pData->m_strLogDir[0] = '\0';
    pData->m_strSessionTimestamp[0] = '\0';
    SetAllMasks(pData, XN_LOG_SEVERITY_NONE);
    xnDumpSetMaskState(XN_LOG_MASK_ALL, FALSE);
    return XN_STATUS_OK;
}

// ------------------------------------------------------------ INI set-up ---

XnStatus xnLogReadMasksFromINI(const XnChar* cpINIFileName, const XnChar* cpSectionName, const XnChar* cpKey,
                               XnSetMaskFunc pSetMaskFunc) {
    if (pSetMaskFunc == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    XnChar strMasks[XN_INI_MAX_LEN];
    if (xnOSReadStringFromINI(cpINIFileName, cpSectionName, cpKey, strMasks, sizeof(strMasks)) != XN_STATUS_OK) {
        return XN_STATUS_OK;
    }
    pSetMaskFunc(XN_LOG_MASK_ALL, FALSE);
    XnStatus nFirstError = XN_STATUS_OK;
    XnChar* pPiece = strMasks;
    for (;;) {
        XnChar* pSeparator = strchr(pPiece, ';');
        if (pSeparator != nullptr) {
            *pSeparator = '\0';
        }
        if (*pPiece != '\0') {
            XnStatus nRetVal = pSetMaskFunc(pPiece, TRUE);
            if (nFirstError == XN_STATUS_OK) {
                nFirstError = nRetVal;
            }
        }
        if (pSeparator == nullptr) {
            break;
        }
        pPiece = pSeparator + 1;
    }
    return nFirstError;
}

XnStatus xnLogInitFromINIFile(const XnChar* cpINIFileName, const XnChar* cpSectionName) {
    xnLogReadMasksFromINI(cpINIFileName, cpSectionName, "LogMasks", xnLogBCSetMaskState);
    xnLogReadMasksFromINI(cpINIFileName, cpSectionName, "DumpMasks", xnDumpSetMaskState);
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_SEVERITY_NONE);

    XnInt32 nValue = 0;
    XnStatus nRetVal = XN_STATUS_OK;
    if (xnOSReadIntFromINI(cpINIFileName, cpSectionName, "LogLevel", &nValue) == XN_STATUS_OK) {
        nRetVal = xnLogBCSetSeverityFilter(static_cast<XnLogSeverity>(nValue));
        if (nRetVal != XN_STATUS_OK) {
            return nRetVal;
        }
    }
    if (xnOSReadIntFromINI(cpINIFileName, cpSectionName, "LogWriteToConsole", &nValue) == XN_STATUS_OK) {
        nRetVal = xnLogSetConsoleOutput(nValue);
        if (nRetVal != XN_STATUS_OK) {
            return nRetVal;
        }
    }
    if (xnOSReadIntFromINI(cpINIFileName, cpSectionName, "LogWriteToFile", &nValue) == XN_STATUS_OK) {
        nRetVal = xnLogSetFileOutput(nValue);
        if (nRetVal != XN_STATUS_OK) {
            return nRetVal;
        }
    }
    if (xnOSReadIntFromINI(cpINIFileName, cpSectionName, "LogWriteLineInfo", &nValue) == XN_STATUS_OK) {
        return xnLogSetLineInfo(nValue);
    }
    return XN_STATUS_OK;
}
