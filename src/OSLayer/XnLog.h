#pragma once

// The process-wide logging core: masks with minimum severities, and writers
// that receive entries (with time stamp, severity, mask, source line) and
// bare texts.

#include <cstdarg>

#include "OSLayer/XnPlatform.h"
#include "OSLayer/XnStatus.h"

// Signed 32 bits: minimums carry an off switch in bit 30, and any value may be
// passed as a severity (printed as "UNKNOWN").
enum XnLogSeverity : XnInt32 {
    XN_LOG_VERBOSE = 0,
    XN_LOG_INFO = 1,
    XN_LOG_WARNING = 2,
    XN_LOG_ERROR = 3,
    XN_LOG_SEVERITY_NONE = 10,
};

#define XN_LOG_MASK_ALL "ALL"
// Set in a minimum, no severity passes; cleared, the minimum is restored.
#define XN_LOG_MASK_OFF_BIT 0x40000000
#define XN_LOG_MAX_ENTRY_LENGTH 2048
#define XN_LOG_MAX_NO_ENTRY_LENGTH 1024

// What a writer receives for one entry.
struct XnLogEntry {
    XnUInt64 nTimestamp;
    XnLogSeverity nSeverity;
    const XnChar* strSeverity;
    const XnChar* strMask;
    const XnChar* strMessage;
    const XnChar* strFile;
    XnUInt32 nLine;
};

// A writer, registered by address; the core never copies or owns it.
struct XnLogWriter {
    void* pCookie;
    void (*WriteEntry)(const XnLogEntry* pEntry, void* pCookie);
    void (*WriteUnformatted)(const XnChar* strMessage, void* pCookie);
    void (*OnConfigurationChanged)(void* pCookie);
    void (*OnClosing)(void* pCookie);
};

// A logger handle's target: the minimum severity of one mask and its name.
struct XnLogger {
    XnInt32 nMinSeverity;
    const XnChar* strMask;
};

extern XnLogger* XN_LOGGER_RETVAL_CHECKS;

// The printed name of a severity ("UNKNOWN" for values outside the enum).
const XnChar* xnLogGetSeverityString(XnLogSeverity severity);

XnBool xnLogIsEnabled(const XnChar* csLogMask, XnLogSeverity nSeverity);
XnStatus xnLogWrite(const XnChar* csLogMask, XnLogSeverity nSeverity, const XnChar* csFile,
                    XnUInt32 nLine, const XnChar* csFormat, ...)
    __attribute__((format(printf, 5, 6)));
XnStatus xnLogWriteNoEntry(const XnChar* csLogMask, XnLogSeverity nSeverity, const XnChar* csFormat, ...)
    __attribute__((format(printf, 3, 4)));
XnStatus xnLogWriteBinaryData(const XnChar* csLogMask, XnLogSeverity nSeverity, const XnChar* csFile,
                              XnUInt32 nLine, const XnUInt8* pBinData, XnUInt32 nDataSize,
                              const XnChar* csFormat, ...) __attribute__((format(printf, 7, 8)));

XnLogger* xnLoggerOpen(const XnChar* strMask);
XnBool xnLoggerIsEnabled(XnLogger* pLogger, XnLogSeverity severity);
void xnLoggerWrite(XnLogger* pLogger, XnLogSeverity severity, const XnChar* strFile, XnUInt32 nLine,
                   const XnChar* strFormat, ...) __attribute__((format(printf, 5, 6)));
void xnLoggerWriteNoEntry(XnLogger* pLogger, XnLogSeverity severity, const XnChar* strFormat, ...)
    __attribute__((format(printf, 3, 4)));
void xnLoggerWriteBinaryData(XnLogger* pLogger, XnLogSeverity severity, const XnChar* strFile,
                             XnUInt32 nLine, const XnUInt8* pBinData, XnUInt32 nDataSize,
                             const XnChar* strFormat, ...) __attribute__((format(printf, 7, 8)));
void _xnLoggerClose(XnLogger* pLogger);

XnStatus xnLogSetMaskMinSeverity(const XnChar* strMask, XnLogSeverity minSeverity);
XnLogSeverity xnLogGetMaskMinSeverity(const XnChar* strMask);
XnStatus xnLogSetMaskState(const XnChar* csMask, XnBool bEnabled);
XnStatus xnLogBCSetMaskState(const XnChar* csMask, XnBool bEnabled);
XnStatus xnLogSetSeverityFilter(XnLogSeverity nMinSeverity);
XnStatus xnLogBCSetSeverityFilter(XnLogSeverity nMinSeverity);

XnStatus xnLogRegisterLogWriter(XnLogWriter* pWriter);
void xnLogUnregisterLogWriter(XnLogWriter* pWriter);
XnStatus xnLogClose();

typedef XnStatus (*XnSetMaskFunc)(const XnChar* csMask, XnBool bEnabled);
XnStatus xnLogReadMasksFromINI(const XnChar* cpINIFileName, const XnChar* cpSectionName,
                               const XnChar* cpKey, XnSetMaskFunc pSetMaskFunc);
XnStatus xnLogInitFromINIFile(const XnChar* cpINIFileName, const XnChar* cpSectionName);

// Output switches, folder and files of the built-in writers.
XnStatus xnLogSetConsoleOutput(XnBool bConsoleOutput);
XnStatus xnLogSetFileOutput(XnBool bFileOutput);
XnStatus xnLogSetOutputFolder(const XnChar* strOutputFolder);
XnStatus xnLogStartNewFile();
XnStatus xnLogGetFileName(XnChar* strFileName, XnUInt32 nBufferSize);
XnStatus xnLogSetLineInfo(XnBool bLineInfo);
XnStatus xnLogCreateNewFile(const XnChar* strName, XnBool bSessionBased, XnChar* csFullPath,
                            XnUInt32 nPathBufferSize, XnInt32* phFile);
XnStatus xnLogCreateFileEx(const XnChar* strFileName, XnBool bSessionBased, XnInt32* phFile);
XnStatus xnLogCreateFile(const XnChar* strFileName, XnInt32* phFile);

// Convenience forms that fill in the source file and line.
#define xnLogVerbose(mask, ...) xnLogWrite(mask, XN_LOG_VERBOSE, __FILE__, __LINE__, __VA_ARGS__)
#define xnLogInfo(mask, ...) xnLogWrite(mask, XN_LOG_INFO, __FILE__, __LINE__, __VA_ARGS__)
#define xnLogWarning(mask, ...) xnLogWrite(mask, XN_LOG_WARNING, __FILE__, __LINE__, __VA_ARGS__)
#define xnLogError(mask, ...) xnLogWrite(mask, XN_LOG_ERROR, __FILE__, __LINE__, __VA_ARGS__)
