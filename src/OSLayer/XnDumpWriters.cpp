#include "OSLayer/XnDumpWriters.h"

#include "OSLayer/XnLog.h"

namespace {

struct XnDumpFileHandle {
    XN_FILE_HANDLE hFile;
};

}  // namespace

XnDumpWriterBase::XnDumpWriterBase() : m_bRegistered(FALSE) {
    m_record.pCookie = this;
    m_record.OpenFile = OpenFileCallback;
    m_record.Write = WriteCallback;
    m_record.CloseFile = CloseFileCallback;
}

XnDumpWriterBase::~XnDumpWriterBase() {
    if (m_bRegistered) {
        xnDumpUnregisterWriter(&m_record);
        m_bRegistered = FALSE;
    }
}

XnStatus XnDumpWriterBase::Register() {
    if (m_bRegistered) {
        return XN_STATUS_OK;
    }
    OnRegister();
    XnStatus nRetVal = xnDumpRegisterWriter(&m_record);
    if (nRetVal != XN_STATUS_OK) {
        OnUnregister();
        return nRetVal;
    }
    m_bRegistered = TRUE;
    return XN_STATUS_OK;
}

void XnDumpWriterBase::Unregister() {
    if (m_bRegistered) {
        xnDumpUnregisterWriter(&m_record);
        m_bRegistered = FALSE;
        OnUnregister();
    }
}

XnDumpWriterFileHandle XnDumpWriterBase::OpenFileCallback(void* pCookie, const XnChar* strDumpName,
                                                          XnBool bSessionDump, const XnChar* strFileName) {
    return static_cast<XnDumpWriterBase*>(pCookie)->OpenFile(strDumpName, bSessionDump, strFileName);
}

void XnDumpWriterBase::WriteCallback(void* pCookie, XnDumpWriterFileHandle hFile, const void* pBuffer,
                                     XnUInt32 nBufferSize) {
    static_cast<XnDumpWriterBase*>(pCookie)->Write(hFile, pBuffer, nBufferSize);
}

void XnDumpWriterBase::CloseFileCallback(void* pCookie, XnDumpWriterFileHandle hFile) {
    static_cast<XnDumpWriterBase*>(pCookie)->CloseFile(hFile);
}

XnDumpWriterFileHandle XnDumpFileWriter::OpenFile(const XnChar* /*strDumpName*/, XnBool bSessionDump,
                                                  const XnChar* strFileName) {
    XnDumpFileHandle* pHandle = new XnDumpFileHandle{XN_INVALID_FILE_HANDLE};
    XnChar strFullPath[XN_FILE_MAX_PATH];
    XnStatus nRetVal = xnLogCreateNewFile(strFileName, bSessionDump, strFullPath, sizeof(strFullPath), &pHandle->hFile);
    if (nRetVal != XN_STATUS_OK) {
        xnLogWarning("Log", "Couldn't create dump file %s! Dump will not be written", strFileName);
        delete pHandle;
        return nullptr;
    }
    return pHandle;
}

void XnDumpFileWriter::Write(XnDumpWriterFileHandle hFile, const void* pBuffer, XnUInt32 nBufferSize) {
    xnOSWriteFile(static_cast<XnDumpFileHandle*>(hFile)->hFile, pBuffer, nBufferSize);
}

void XnDumpFileWriter::CloseFile(XnDumpWriterFileHandle hFile) {
    XnDumpFileHandle* pHandle = static_cast<XnDumpFileHandle*>(hFile);
    xnOSCloseFile(&pHandle->hFile);
    delete pHandle;
}
