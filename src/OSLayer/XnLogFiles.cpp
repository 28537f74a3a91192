// The built-in writers' switches, and how log-folder files are named and
// placed (log files and dump files alike).

#include "OSLayer/XnLog.h"
#include "OSLayer/XnLogData.h"
#include "OSLayer/XnOS.h"

namespace {

const XnChar* const kDefaultLogFolder = "Log";

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
    return xnOSOpenFile(csFullPath, XN_OS_FILE_WRITE | XN_OS_FILE_TRUNCATE, phFile);
}

XnStatus xnLogCreateFileEx(const XnChar* strFileName, XnBool bSessionBased, XnInt32* phFile) {
    XnChar strFullPath[XN_FILE_MAX_PATH];
    return xnLogCreateNewFile(strFileName, bSessionBased, strFullPath, sizeof(strFullPath), phFile);
}

XnStatus xnLogCreateFile(const XnChar* strFileName, XnInt32* phFile) {
    return xnLogCreateFileEx(strFileName, TRUE, phFile);
}
