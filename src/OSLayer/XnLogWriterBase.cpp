#include "OSLayer/XnLogWriterBase.h"

XnLogWriterBase::XnLogWriterBase() : m_bRegistered(FALSE) {
    m_record.pCookie = this;
    m_record.WriteEntry = WriteEntryCallback;
    m_record.WriteUnformatted = WriteUnformattedCallback;
    m_record.OnConfigurationChanged = OnConfigurationChangedCallback;
    m_record.OnClosing = OnClosingCallback;
}

XnLogWriterBase::~XnLogWriterBase() { Detach(); }

XnStatus XnLogWriterBase::Register() {
    if (m_bRegistered) {
        return XN_STATUS_OK;
    }
    OnRegister();
    XnStatus nRetVal = xnLogRegisterLogWriter(&m_record);
    if (nRetVal != XN_STATUS_OK) {
        OnUnregister();
        return nRetVal;
    }
    m_bRegistered = TRUE;
    return XN_STATUS_OK;
}

void XnLogWriterBase::Unregister() {
    if (m_bRegistered) {
        xnLogUnregisterLogWriter(&m_record);
        m_bRegistered = FALSE;
        OnUnregister();
    }
}

void XnLogWriterBase::Detach() {
    if (m_bRegistered) {
        xnLogUnregisterLogWriter(&m_record);
        m_bRegistered = FALSE;
    }
}

void XnLogWriterBase::WriteEntryCallback(const XnLogEntry* pEntry, void* pCookie) {
    static_cast<XnLogWriterBase*>(pCookie)->WriteEntry(pEntry);
}

void XnLogWriterBase::WriteUnformattedCallback(const XnChar* strMessage, void* pCookie) {
    static_cast<XnLogWriterBase*>(pCookie)->WriteUnformatted(strMessage);
}

void XnLogWriterBase::OnConfigurationChangedCallback(void* pCookie) {
    static_cast<XnLogWriterBase*>(pCookie)->OnConfigurationChanged();
}

void XnLogWriterBase::OnClosingCallback(void* pCookie) { static_cast<XnLogWriterBase*>(pCookie)->OnClosing(); }
