// Handle-based dumps: one per-run log-folder file written directly.

#include "OSLayer/XnDump.h"
#include "OSLayer/XnLog.h"

namespace {

const XnUInt32 kDumpStringLength = 1024;

void CreateDumpFileV(XnDump* pDump, const XnChar* csHeader, const XnChar* csFileNameFormat, va_list args) {
    XnChar strFileName[XN_FILE_MAX_PATH];
    XnUInt32 nWritten = 0;
    if (xnOSStrFormatV(strFileName, sizeof(strFileName), &nWritten, csFileNameFormat, args) != XN_STATUS_OK) {
        return;
    }
    XnChar strFullPath[XN_FILE_MAX_PATH];
    if (xnLogCreateNewFile(strFileName, TRUE, strFullPath, sizeof(strFullPath), &pDump->hFile) != XN_STATUS_OK) {
        xnLogWarning("Log", "Couldn't create dump file %s! Dump will not be written", strFileName);
        pDump->hFile = XN_INVALID_FILE_HANDLE;
        return;
    }
    if (csHeader != nullptr) {
        xnOSWriteFile(pDump->hFile, csHeader, xnOSStrLen(csHeader));
    }
}

}  // namespace

void xnDumpInit(XnDump* pDump, const XnChar* csDumpMask, const XnChar* csHeader, const XnChar* csFileNameFormat,
                ...) {
    if (pDump == nullptr || csFileNameFormat == nullptr || pDump->hFile != XN_INVALID_FILE_HANDLE ||
        !xnLogIsDumpMaskEnabled(csDumpMask)) {
        return;
    }
    va_list args;
    va_start(args, csFileNameFormat);
    CreateDumpFileV(pDump, csHeader, csFileNameFormat, args);
    va_end(args);
}

void xnDumpForceInit(XnDump* pDump, const XnChar* csHeader, const XnChar* csFileNameFormat, ...) {
    if (pDump == nullptr || csFileNameFormat == nullptr || pDump->hFile != XN_INVALID_FILE_HANDLE) {
        return;
    }
    va_list args;
    va_start(args, csFileNameFormat);
    CreateDumpFileV(pDump, csHeader, csFileNameFormat, args);
    va_end(args);
}

void xnDumpClose(XnDump* pDump) {
    if (pDump != nullptr && pDump->hFile != XN_INVALID_FILE_HANDLE) {
        xnOSCloseFile(&pDump->hFile);
        pDump->hFile = XN_INVALID_FILE_HANDLE;
    }
}

void xnDumpWriteBufferImpl(XnDump* pDump, const void* pBuffer, XnUInt32 nBufferSize) {
    if (pDump != nullptr && pDump->hFile != XN_INVALID_FILE_HANDLE) {
        xnOSWriteFile(pDump->hFile, pBuffer, nBufferSize);
    }
}

void xnDumpWriteStringImpl(XnDump* pDump, const XnChar* csFormat, ...) {
    if (pDump == nullptr || pDump->hFile == XN_INVALID_FILE_HANDLE || csFormat == nullptr) {
        return;
    }
    XnChar strBuffer[kDumpStringLength];
    XnUInt32 nWritten = 0;
    va_list args;
    va_start(args, csFormat);
    XnStatus nRetVal = xnOSStrFormatV(strBuffer, sizeof(strBuffer), &nWritten, csFormat, args);
    va_end(args);
    if (nRetVal == XN_STATUS_OK) {
        xnOSWriteFile(pDump->hFile, strBuffer, nWritten);
    }
}

void xnDumpFlush(XnDump* pDump) {
    if (pDump != nullptr && pDump->hFile != XN_INVALID_FILE_HANDLE) {
        xnOSFlushFile(pDump->hFile);
    }
}
