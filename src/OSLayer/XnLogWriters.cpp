#include "OSLayer/XnLogWriters.h"

#include <cstdio>

#include "OSLayer/XnLogData.h"

void XnLogConsoleWriter::WriteEntry(const XnLogEntry* pEntry) {
    printf("%9llu %-10s %s\n", static_cast<unsigned long long>(pEntry->nTimestamp), pEntry->strSeverity,
           pEntry->strMessage);
}

void XnLogConsoleWriter::WriteUnformatted(const XnChar* strMessage) { printf("%s\n", strMessage); }

XnLogFileWriter::XnLogFileWriter() : m_fLogFile(XN_INVALID_FILE_HANDLE), m_bWriteLineInfo(TRUE) {
    m_strCurrFileName[0] = '\0';
}

XnLogFileWriter::~XnLogFileWriter() { CloseFile(); }

void XnLogFileWriter::WriteEntry(const XnLogEntry* pEntry) {
    if (m_fLogFile == XN_INVALID_FILE_HANDLE) {
        return;
    }
    // 2047 characters. The columns are assembled in all but the last place,
    // which is kept for the line end: a message too long for the rest is cut,
    // so the line always ends and never runs into the next entry.
    XnChar strLine[XN_LOG_MAX_ENTRY_LENGTH];
    const XnUInt32 nColumnsSize = sizeof(strLine) - 1;
    XnUInt32 nLength = 0;
    xnLogAppendFormat(strLine, nColumnsSize, &nLength, "%9llu\t%-10s\t%s\t",
                      static_cast<unsigned long long>(pEntry->nTimestamp), pEntry->strSeverity, pEntry->strMask);
    if (m_bWriteLineInfo && pEntry->strFile != nullptr) {
        XnChar strBaseName[XN_FILE_MAX_PATH];
        if (xnOSGetFileName(pEntry->strFile, strBaseName, sizeof(strBaseName)) == XN_STATUS_OK) {
            xnLogAppendFormat(strLine, nColumnsSize, &nLength, "%s\t%d\t", strBaseName,
                              static_cast<XnInt32>(pEntry->nLine));
        }
    }
    XnUInt32 nMessageLength = xnOSStrLen(pEntry->strMessage);
    const XnUInt32 nRoom = nColumnsSize - 1 - nLength;
    if (nMessageLength > nRoom) {
        nMessageLength = nRoom;
    }
    xnOSMemCopy(strLine + nLength, pEntry->strMessage, nMessageLength);
    nLength += nMessageLength;
    strLine[nLength++] = '\n';
    // A failed write is dropped; the next line is tried again.
    xnOSWriteFile(m_fLogFile, strLine, nLength);
}

void XnLogFileWriter::WriteUnformatted(const XnChar* strMessage) {
    // The text alone: no terminator (it would put NUL bytes into the log) and
    // no line end (the messages carry their own).
    const XnUInt32 nLength = xnOSStrLen(strMessage);
    if (m_fLogFile != XN_INVALID_FILE_HANDLE && nLength != 0) {
        xnOSWriteFile(m_fLogFile, strMessage, nLength);
    }
}

XnStatus XnLogFileWriter::OpenFile() {
    if (m_fLogFile != XN_INVALID_FILE_HANDLE) {
        return XN_STATUS_OK;
    }
    XnStatus nRetVal = xnLogCreateNewFile("log", TRUE, m_strCurrFileName, sizeof(m_strCurrFileName), &m_fLogFile);
    if (nRetVal != XN_STATUS_OK) {
        printf("Couldn't create log file! Logs will not be written (error: %s)\n", xnGetStatusString(nRetVal));
        m_fLogFile = XN_INVALID_FILE_HANDLE;
        m_strCurrFileName[0] = '\0';
        return nRetVal;
    }
    return XN_STATUS_OK;
}

void XnLogFileWriter::CloseFile() {
    if (m_fLogFile != XN_INVALID_FILE_HANDLE) {
        xnOSCloseFile(&m_fLogFile);
        m_fLogFile = XN_INVALID_FILE_HANDLE;
    }
}
