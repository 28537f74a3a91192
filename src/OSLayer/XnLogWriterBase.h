#pragma once

// Base of writer objects: wraps the object in the plain XnLogWriter record
// (the object is the cookie) and keeps track of its registration.

#include "OSLayer/XnLog.h"

class XnLogWriterBase {
public:
    XnLogWriterBase();
    // Unregisters a registered writer.
    virtual ~XnLogWriterBase();
    XnLogWriterBase(const XnLogWriterBase&) = delete;
    XnLogWriterBase& operator=(const XnLogWriterBase&) = delete;

    virtual void WriteEntry(const XnLogEntry* pEntry) = 0;
    virtual void WriteUnformatted(const XnChar* strMessage) = 0;
    virtual void OnConfigurationChanged() {}
    // The core is closing: leave the writer list.
    virtual void OnClosing() { Unregister(); }

    // Nothing when registered; else OnRegister(), then registration with the
    // core (which writes the banner); OnUnregister() when that fails.
    XnStatus Register();
    // Leaves the writer list when registered, then OnUnregister().
    void Unregister();
    XnBool IsRegistered() const { return m_bRegistered; }
    XnLogWriter* GetRecord() { return &m_record; }

protected:
    // Its status is not checked: a writer that cannot open its output is
    // registered all the same and writes nothing.
    virtual XnStatus OnRegister() { return XN_STATUS_OK; }
    virtual void OnUnregister() {}
    // Leaves the writer list without calling OnUnregister() (destruction).
    void Detach();

private:
    static void WriteEntryCallback(const XnLogEntry* pEntry, void* pCookie);
    static void WriteUnformattedCallback(const XnChar* strMessage, void* pCookie);
    static void OnConfigurationChangedCallback(void* pCookie);
    static void OnClosingCallback(void* pCookie);

    XnLogWriter m_record;
    XnBool m_bRegistered;
};
