// The built-in writers' switches, and how log-folder files are named and
// placed (log files and dump files alike).

#include <cstdio>
#include <cstring>
#include <vector>

#include "OSLayer/XnLog.h"
#include "OSLayer/XnLogData.h"
#include "OSLayer/XnOS.h"

namespace {

const XnChar* const kDefaultLogFolder = "Log";

// strPath with "_<number>" before the extension of its last component
// (".../x_4242.log" gives ".../x_4242_1.log", ".../data" gives ".../data_1");
// 0x10008 when that does not fit nSize.
XnStatus NumberedName(const XnChar* strPath, XnUInt32 nNumber, XnChar* strOut, XnUInt32 nSize) {
    const XnChar* pSlash = strrchr(strPath, '/');
    const XnChar* pDot = strrchr(pSlash != nullptr ? pSlash + 1 : strPath, '.');
    const int nStem = static_cast<int>(pDot != nullptr ? pDot - strPath : strlen(strPath));
    const int nWritten = snprintf(strOut, nSize, "%.*s_%u%s", nStem, strPath, nNumber, pDot != nullptr ? pDot : "");
    return nWritten >= 0 && static_cast<XnUInt32>(nWritten) < nSize ? XN_STATUS_OK
                                                                     : XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
}

// Opens a log-folder file for writing. A name not yet created by this
// process is opened with truncation (a file of an earlier run is replaced);
// a name created before in this run (a new log file in the same second, a
// dump opened again) gets the first numbered name that is free instead, so
// that nothing written earlier in the run is lost. csFullPath receives the
// name used.
XnStatus OpenRunFile(LogData* pData, XnChar* csFullPath, XnUInt32 nPathBufferSize, XN_FILE_HANDLE* phFile) {
    if (pData->m_createdFiles.count(csFullPath) == 0) {
        const XnStatus nRetVal = xnOSOpenFile(csFullPath, XN_OS_FILE_WRITE | XN_OS_FILE_TRUNCATE, phFile);
        if (nRetVal == XN_STATUS_OK) {
            pData->m_createdFiles.insert(csFullPath);
        }
        return nRetVal;
    }
    std::vector<XnChar> numbered(nPathBufferSize);
    for (XnUInt32 nNumber = 1;; ++nNumber) {
        XnStatus nRetVal = NumberedName(csFullPath, nNumber, numbered.data(), nPathBufferSize);
        if (nRetVal != XN_STATUS_OK) {
            return nRetVal;
        }
        if (pData->m_createdFiles.count(numbered.data()) != 0) {
            continue;
        }
        nRetVal = xnOSOpenFile(numbered.data(), XN_OS_FILE_WRITE | XN_OS_FILE_CREATE_NEW_ONLY, phFile);
        if (nRetVal == XN_STATUS_OS_FILE_ALREDY_EXISTS) {
            continue;
        }
        if (nRetVal == XN_STATUS_OK) {
            strcpy(csFullPath, numbered.data());
            pData->m_createdFiles.insert(csFullPath);
        }
        return nRetVal;
    }
}

}  // namespace

XnStatus xnLogSetConsoleOutput(XnBool bConsoleOutput) {
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    if (bConsoleOutput) {
        return pData->m_consoleWriter.Register();
    }
    pData->m_consoleWriter.Unregister();
    return XN_STATUS_OK;
}

XnStatus xnLogSetFileOutput(XnBool bFileOutput) {
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    if (bFileOutput) {
        return pData->m_fileWriter.Register();
    }
    pData->m_fileWriter.Unregister();
    return XN_STATUS_OK;
}

XnStatus xnLogSetOutputFolder(const XnChar* strOutputFolder) {
    if (strOutputFolder == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    XnBool bExists = FALSE;
    XnStatus nRetVal = xnOSDoesDirectoryExist(strOutputFolder, &bExists);
    if (nRetVal != XN_STATUS_OK) {
        return nRetVal;
    }
    if (!bExists) {
        nRetVal = xnOSCreateDirectory(strOutputFolder);
        if (nRetVal != XN_STATUS_OK) {
            return nRetVal;
        }
    }
    XnChar strFolder[XN_FILE_MAX_PATH];
    nRetVal = xnOSGetFullPathName(strOutputFolder, strFolder, sizeof(strFolder));
    if (nRetVal != XN_STATUS_OK) {
        return nRetVal;
    }
    nRetVal = xnOSStrAppend(strFolder, "/", sizeof(strFolder));
    if (nRetVal != XN_STATUS_OK) {
        return nRetVal;
    }
    xnOSStrCopy(pData->m_strLogDir, strFolder, sizeof(pData->m_strLogDir));
    // Without a registered file writer this does nothing (0x10012).
    xnLogStartNewFile();
    return XN_STATUS_OK;
}

XnStatus xnLogStartNewFile() {
    LogData* pData = LogData::Instance();
    if (pData == nullptr || !pData->m_fileWriter.IsRegistered()) {
        return XN_STATUS_LOG_FILE_NOT_ACTIVE;
    }
    pData->m_fileWriter.Unregister();
    pData->m_strSessionTimestamp[0] = '\0';
    return pData->m_fileWriter.Register();
}

XnStatus xnLogGetFileName(XnChar* strFileName, XnUInt32 nBufferSize) {
    LogData* pData = LogData::Instance();
    if (pData == nullptr || !pData->m_fileWriter.IsRegistered()) {
        return XN_STATUS_LOG_FILE_NOT_ACTIVE;
    }
    if (strFileName == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    return xnOSStrCopy(strFileName, pData->m_fileWriter.GetFileName(), nBufferSize);
}

XnStatus xnLogSetLineInfo(XnBool bLineInfo) {
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    pData->m_fileWriter.SetLineInfo(bLineInfo);
    return XN_STATUS_OK;
}

XnStatus xnLogCreateNewFile(const XnChar* strName, XnBool bSessionBased, XnChar* csFullPath,
                            XnUInt32 nPathBufferSize, XnInt32* phFile) {
    if (strName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (csFullPath == nullptr || phFile == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    LogData* pData = LogData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    // Dump files may be created from any thread: the folder and the stamp are
    // chosen once, under the lock.
    xnl::AutoCSLocker lock(pData->m_hLock);
    XnStatus nRetVal = XN_STATUS_OK;
    if (pData->m_strLogDir[0] == '\0') {
        nRetVal = xnLogSetOutputFolder(kDefaultLogFolder);
        if (nRetVal != XN_STATUS_OK) {
            return nRetVal;
        }
    }
    // All per-run files of a run share the stamp until it is cleared.
    if (pData->m_strSessionTimestamp[0] == '\0') {
        xnLogFormatLocalTime("%Y_%m_%d__%H_%M_%S", pData->m_strSessionTimestamp,
                             sizeof(pData->m_strSessionTimestamp));
    }

    XnUInt32 nLength = 0;
    nRetVal = xnLogAppendFormat(csFullPath, nPathBufferSize, &nLength, "%s", pData->m_strLogDir);
    if (nRetVal == XN_STATUS_OK && bSessionBased) {
        XnUInt32 nProcessID = 0;
        xnOSGetCurrentProcessID(&nProcessID);
        nRetVal = xnLogAppendFormat(csFullPath, nPathBufferSize, &nLength, "%s_%u.", pData->m_strSessionTimestamp,
                                    nProcessID);
    }
    if (nRetVal == XN_STATUS_OK) {
        nRetVal = xnLogAppendFormat(csFullPath, nPathBufferSize, &nLength, "%s", strName);
    }
    if (nRetVal != XN_STATUS_OK) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    return OpenRunFile(pData, csFullPath, nPathBufferSize, phFile);
}

XnStatus xnLogCreateFileEx(const XnChar* strFileName, XnBool bSessionBased, XnInt32* phFile) {
    XnChar strFullPath[XN_FILE_MAX_PATH];
    return xnLogCreateNewFile(strFileName, bSessionBased, strFullPath, sizeof(strFullPath), phFile);
}

XnStatus xnLogCreateFile(const XnChar* strFileName, XnInt32* phFile) {
    return xnLogCreateFileEx(strFileName, TRUE, phFile);
}
