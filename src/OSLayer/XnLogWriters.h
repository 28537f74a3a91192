#pragma once

// The two built-in writers: standard output, and one log file per run in the
// log folder.

#include "OSLayer/XnLogWriterBase.h"
#include "OSLayer/XnOS.h"

class XnLogConsoleWriter : public XnLogWriterBase {
public:
    void WriteEntry(const XnLogEntry* pEntry) override;
    void WriteUnformatted(const XnChar* strMessage) override;
};

class XnLogFileWriter : public XnLogWriterBase {
public:
    XnLogFileWriter();
    // Closes the file before leaving the writer list.
    ~XnLogFileWriter() override;

    void WriteEntry(const XnLogEntry* pEntry) override;
    void WriteUnformatted(const XnChar* strMessage) override;

    void SetLineInfo(XnBool bLineInfo) { m_bWriteLineInfo = bLineInfo; }
    const XnChar* GetFileName() const { return m_strCurrFileName; }

protected:
    XnStatus OnRegister() override { return OpenFile(); }
    void OnUnregister() override { CloseFile(); }

private:
    XnStatus OpenFile();
    void CloseFile();

    XN_FILE_HANDLE m_fLogFile;
    XnBool m_bWriteLineInfo;
    XnChar m_strCurrFileName[XN_FILE_MAX_PATH];
};
