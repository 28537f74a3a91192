#pragma once

// Dump-writer objects: the base wraps an object in the plain XnDumpWriter
// record (the object is the cookie); the file writer creates one log-folder
// file per dump.

#include "OSLayer/XnDump.h"

class XnDumpWriterBase {
public:
    XnDumpWriterBase();
    // Unregisters a registered writer.
    virtual ~XnDumpWriterBase();
    XnDumpWriterBase(const XnDumpWriterBase&) = delete;
    XnDumpWriterBase& operator=(const XnDumpWriterBase&) = delete;

    virtual XnDumpWriterFileHandle OpenFile(const XnChar* strDumpName, XnBool bSessionDump,
                                            const XnChar* strFileName) = 0;
    virtual void Write(XnDumpWriterFileHandle hFile, const void* pBuffer, XnUInt32 nBufferSize) = 0;
    virtual void CloseFile(XnDumpWriterFileHandle hFile) = 0;

    // Nothing when registered; else OnRegister(), then registration;
    // OnUnregister() and the status when that fails.
    XnStatus Register();
    // Leaves the writer list when registered, then OnUnregister().
    void Unregister();
    XnBool IsRegistered() const { return m_bRegistered; }
    XnDumpWriter* GetRecord() { return &m_record; }

protected:
    virtual void OnRegister() {}
    virtual void OnUnregister() {}

private:
    static XnDumpWriterFileHandle OpenFileCallback(void* pCookie, const XnChar* strDumpName, XnBool bSessionDump,
                                                   const XnChar* strFileName);
    static void WriteCallback(void* pCookie, XnDumpWriterFileHandle hFile, const void* pBuffer,
                              XnUInt32 nBufferSize);
    static void CloseFileCallback(void* pCookie, XnDumpWriterFileHandle hFile);

    XnDumpWriter m_record;
    XnBool m_bRegistered;
};

// The built-in writer: a per-run or plain file in the log folder.
class XnDumpFileWriter : public XnDumpWriterBase {
public:
    XnDumpWriterFileHandle OpenFile(const XnChar* strDumpName, XnBool bSessionDump,
                                    const XnChar* strFileName) override;
    void Write(XnDumpWriterFileHandle hFile, const void* pBuffer, XnUInt32 nBufferSize) override;
    void CloseFile(XnDumpWriterFileHandle hFile) override;
};
