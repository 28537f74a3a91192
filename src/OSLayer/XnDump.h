#pragma once

// Dumps: raw diagnostic files switched per dump mask, created in the log
// folder. The writer-based files hand every open and write to the registered
// dump writers (by default the built-in file writer); the handle-based dumps
// write one file directly.

#include "OSLayer/XnOS.h"
#include "OSLayer/XnPlatform.h"
#include "OSLayer/XnStatus.h"

// What a dump writer returned for one file; null when it opened nothing.
typedef void* XnDumpWriterFileHandle;

// A dump writer, registered by address; never copied or owned.
struct XnDumpWriter {
    void* pCookie;
    XnDumpWriterFileHandle (*OpenFile)(void* pCookie, const XnChar* strDumpName, XnBool bSessionDump,
                                       const XnChar* strFileName);
    void (*Write)(void* pCookie, XnDumpWriterFileHandle hFile, const void* pBuffer, XnUInt32 nBufferSize);
    void (*CloseFile)(void* pCookie, XnDumpWriterFileHandle hFile);
};

// A writer-based dump file: what each writer opened for it.
struct XnDumpFile;

// A handle-based dump: its file, XN_INVALID_FILE_HANDLE while closed. The
// caller owns it and starts it closed (XN_DUMP_CLOSED).
struct XnDump {
    XN_FILE_HANDLE hFile;
};
#define XN_DUMP_CLOSED {XN_INVALID_FILE_HANDLE}

// ------------------------------------------------------ masks and writers ---

// "ALL" switches every mask already known; any other mask is entered when new.
XnStatus xnDumpSetMaskState(const XnChar* csMask, XnBool bEnabled);
// Off for a mask never set and for null.
XnBool xnLogIsDumpMaskEnabled(const XnChar* csDumpMask);
XnStatus xnDumpRegisterWriter(XnDumpWriter* pWriter);
void xnDumpUnregisterWriter(XnDumpWriter* pWriter);
// Registers or unregisters the built-in file dump writer.
XnStatus xnDumpSetFilesOutput(XnBool bEnabled);

// --------------------------------------------------- writer-based files ---

// Null unless the mask is on and some writer opened the file.
XnDumpFile* xnDumpFileOpen(const XnChar* csDumpMask, const XnChar* csFileNameFormat, ...)
    __attribute__((format(printf, 2, 3)));
// bForce ignores the mask; bSessionDump prefixes the run's time stamp and process id.
XnDumpFile* xnDumpFileOpenEx(const XnChar* csDumpMask, XnBool bForce, XnBool bSessionDump,
                             const XnChar* csFileNameFormat, ...) __attribute__((format(printf, 4, 5)));
void _xnDumpFileWriteBuffer(XnDumpFile* pFile, const void* pBuffer, XnUInt32 nBufferSize);
// A text longer than 8191 characters writes nothing.
void _xnDumpFileWriteString(XnDumpFile* pFile, const XnChar* csFormat, ...) __attribute__((format(printf, 2, 3)));
void _xnDumpFileClose(XnDumpFile* pFile);

// ---------------------------------------------------- handle-based dumps ---

// Creates the file when the dump is closed and the mask is on; the header,
// when given, is its first content.
void xnDumpInit(XnDump* pDump, const XnChar* csDumpMask, const XnChar* csHeader, const XnChar* csFileNameFormat, ...)
    __attribute__((format(printf, 4, 5)));
// As xnDumpInit, whatever the masks say.
void xnDumpForceInit(XnDump* pDump, const XnChar* csHeader, const XnChar* csFileNameFormat, ...)
    __attribute__((format(printf, 3, 4)));
void xnDumpClose(XnDump* pDump);
void xnDumpWriteBufferImpl(XnDump* pDump, const void* pBuffer, XnUInt32 nBufferSize);
// A text longer than 1023 characters writes nothing.
void xnDumpWriteStringImpl(XnDump* pDump, const XnChar* csFormat, ...) __attribute__((format(printf, 2, 3)));
void xnDumpFlush(XnDump* pDump);
