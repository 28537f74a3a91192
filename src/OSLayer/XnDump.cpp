#include "OSLayer/XnDump.h"

#include <atomic>
#include <cstring>

#include "OSLayer/XnArray.h"
#include "OSLayer/XnDumpWriters.h"
#include "OSLayer/XnHash.h"
#include "OSLayer/XnList.h"
#include "OSLayer/XnLog.h"

// What one writer opened for a dump file.
struct XnDumpWriterFile {
    XnDumpWriter* pWriter;
    XnDumpWriterFileHandle hFile;
};

struct XnDumpFile {
    XnDumpFile() : m_writersFiles(8) {}
    // One element per writer that opened something, in registration order.
    xnl::Array<XnDumpWriterFile> m_writersFiles;
};

namespace {

// Constant-initialised, so it is valid before and after every other static.
std::atomic<bool> g_bDumpDataDestroyed{false};

struct DumpData {
    // Created on first use; null once destroyed at process exit (the built-in
    // writer's destructor may run later and must find nothing to leave).
    static DumpData* Instance() {
        static DumpData s_data;
        return g_bDumpDataDestroyed.load(std::memory_order_acquire) ? nullptr : &s_data;
    }
    DumpData() = default;
    ~DumpData() { g_bDumpDataDestroyed.store(true, std::memory_order_release); }

    xnl::List<XnDumpWriter*> m_writers;
    xnl::StringsHash<XnBool> m_dumpMasks;
};

const XnUInt32 kDumpStringLength = 8192;

// Function-local, so a static initialiser elsewhere may switch file dumps
// before this file's own initialisers ran.
XnDumpFileWriter& BuiltInFileWriter() {
    static XnDumpFileWriter s_writer;
    return s_writer;
}

// File dumps are on from the start.
[[maybe_unused]] const bool g_bFileWriterRegistered = BuiltInFileWriter().Register() == XN_STATUS_OK;

XnDumpFile* OpenV(const XnChar* csDumpMask, XnBool bForce, XnBool bSessionDump, const XnChar* csFileNameFormat,
                  va_list args) {
    DumpData* pData = DumpData::Instance();
    if (pData == nullptr || pData->m_writers.IsEmpty()) {
        return nullptr;
    }
    if (!bForce && !xnLogIsDumpMaskEnabled(csDumpMask)) {
        return nullptr;
    }
    XnChar strFileName[XN_FILE_MAX_PATH];
    XnUInt32 nWritten = 0;
    if (xnOSStrFormatV(strFileName, sizeof(strFileName), &nWritten, csFileNameFormat, args) != XN_STATUS_OK) {
        return nullptr;
    }
    XnDumpFile* pFile = new XnDumpFile;
    for (XnDumpWriter* pWriter : pData->m_writers) {
        XnDumpWriterFileHandle hFile = pWriter->OpenFile(pWriter->pCookie, csDumpMask, bSessionDump, strFileName);
        if (hFile != nullptr) {
            pFile->m_writersFiles.AddLast(XnDumpWriterFile{pWriter, hFile});
        }
    }
    if (pFile->m_writersFiles.IsEmpty()) {
        delete pFile;
        return nullptr;
    }
    return pFile;
}

}  // namespace

// ------------------------------------------------------ masks and writers ---

XnStatus xnDumpSetMaskState(const XnChar* csMask, XnBool bEnabled) {
    if (csMask == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    DumpData* pData = DumpData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_OK;
    }
    if (strcmp(csMask, XN_LOG_MASK_ALL) == 0) {
        // Only the masks known now; a mask named later starts off.
        for (auto& pair : pData->m_dumpMasks) {
            pair.value = bEnabled;
        }
        return XN_STATUS_OK;
    }
    return pData->m_dumpMasks.Set(csMask, bEnabled);
}

XnBool xnLogIsDumpMaskEnabled(const XnChar* csDumpMask) {
    DumpData* pData = DumpData::Instance();
    if (csDumpMask == nullptr || pData == nullptr) {
        return FALSE;
    }
    auto it = pData->m_dumpMasks.Find(csDumpMask);
    return it != pData->m_dumpMasks.End() && it->value;
}

XnStatus xnDumpRegisterWriter(XnDumpWriter* pWriter) {
    if (pWriter == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    DumpData* pData = DumpData::Instance();
    if (pData == nullptr) {
        return XN_STATUS_ERROR;
    }
    return pData->m_writers.AddLast(pWriter);
}

void xnDumpUnregisterWriter(XnDumpWriter* pWriter) {
    DumpData* pData = DumpData::Instance();
    if (pData == nullptr) {
        return;
    }
    auto it = pData->m_writers.Find(pWriter);
    if (it != pData->m_writers.End()) {
        pData->m_writers.Remove(it);
    }
}

XnStatus xnDumpSetFilesOutput(XnBool bEnabled) {
    if (bEnabled) {
        return BuiltInFileWriter().Register();
    }
    BuiltInFileWriter().Unregister();
    return XN_STATUS_OK;
}

// --------------------------------------------------- writer-based files ---

XnDumpFile* xnDumpFileOpen(const XnChar* csDumpMask, const XnChar* csFileNameFormat, ...) {
    if (csDumpMask == nullptr || csFileNameFormat == nullptr) {
        return nullptr;
    }
    va_list args;
    va_start(args, csFileNameFormat);
    XnDumpFile* pFile = OpenV(csDumpMask, FALSE, TRUE, csFileNameFormat, args);
    va_end(args);
    return pFile;
}

XnDumpFile* xnDumpFileOpenEx(const XnChar* csDumpMask, XnBool bForce, XnBool bSessionDump,
                             const XnChar* csFileNameFormat, ...) {
    if (csFileNameFormat == nullptr) {
        return nullptr;
    }
    va_list args;
    va_start(args, csFileNameFormat);
    XnDumpFile* pFile = OpenV(csDumpMask, bForce, bSessionDump, csFileNameFormat, args);
    va_end(args);
    return pFile;
}

void _xnDumpFileWriteBuffer(XnDumpFile* pFile, const void* pBuffer, XnUInt32 nBufferSize) {
    if (pFile == nullptr) {
        return;
    }
    for (XnDumpWriterFile& file : pFile->m_writersFiles) {
        file.pWriter->Write(file.pWriter->pCookie, file.hFile, pBuffer, nBufferSize);
    }
}

void _xnDumpFileWriteString(XnDumpFile* pFile, const XnChar* csFormat, ...) {
    if (pFile == nullptr || csFormat == nullptr) {
        return;
    }
    XnChar strBuffer[kDumpStringLength];
    XnUInt32 nWritten = 0;
    va_list args;
    va_start(args, csFormat);
    XnStatus nRetVal = xnOSStrFormatV(strBuffer, sizeof(strBuffer), &nWritten, csFormat, args);
    va_end(args);
    if (nRetVal == XN_STATUS_OK) {
        _xnDumpFileWriteBuffer(pFile, strBuffer, nWritten);
    }
}

void _xnDumpFileClose(XnDumpFile* pFile) {
    if (pFile == nullptr) {
        return;
    }
    for (XnDumpWriterFile& file : pFile->m_writersFiles) {
        file.pWriter->CloseFile(file.pWriter->pCookie, file.hFile);
    }
    delete pFile;
}
