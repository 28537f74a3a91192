#pragma once

// The operating-system layer: memory, strings, time, locks, processes, files
// and the per-call INI reader. Every function reports through XnStatus and
// never ends the process.

#include <cstdarg>

#include "OSLayer/XnPlatform.h"
#include "OSLayer/XnStatus.h"

// ---------------------------------------------------------------- memory ---

void* xnOSMalloc(XnSizeT nAllocSize);
void* xnOSMallocAligned(XnSizeT nAllocSize, XnSizeT nAlignment);
void* xnOSCalloc(XnSizeT nAllocNum, XnSizeT nAllocSize);
void* xnOSCallocAligned(XnUInt32 nAllocNum, XnUInt32 nAllocSize, XnSizeT nAlignment);
void* xnOSRealloc(void* pMemory, XnSizeT nAllocSize);
void* xnOSReallocAligned(void* pMemory, XnSizeT nAllocSize, XnSizeT nAlignment);
void* xnOSRecalloc(void* pMemory, XnSizeT nAllocNum, XnSizeT nAllocSize);
void xnOSFree(const void* pMemBlock);
void xnOSFreeAligned(const void* pMemBlock);
void* xnOSMemCopy(void* pDest, const void* pSource, XnSizeT nCount);
void* xnOSMemMove(void* pDest, const void* pSource, XnSizeT nCount);
XnInt32 xnOSMemCmp(const void* pBuf1, const void* pBuf2, XnSizeT nCount);
void xnOSMemSet(void* pDest, XnUInt8 nValue, XnSizeT nCount);
XnUInt64 xnOSEndianSwapUINT64(XnUInt64 nValue);
XnUInt32 xnOSEndianSwapUINT32(XnUInt32 nValue);
XnUInt16 xnOSEndianSwapUINT16(XnUInt16 nValue);
XnFloat xnOSEndianSwapFLOAT(XnFloat fValue);

// --------------------------------------------------------------- strings ---
// nDestSize is always the destination's capacity, terminator included.

XnChar* xnOSStrDup(const XnChar* strSource);
XnUInt32 xnOSStrLen(const XnChar* cpString);
XnStatus xnOSStrCopy(XnChar* cpDestString, const XnChar* cpSrcString, XnUInt32 nDestLength);
XnStatus xnOSStrNCopy(XnChar* cpDestString, const XnChar* cpSrcString, XnUInt32 nCopyLength,
                      XnUInt32 nDestLength);
XnStatus xnOSStrAppend(XnChar* cpDestString, const XnChar* cpSrcString, XnUInt32 nDestLength);
XnStatus xnOSStrPrefix(const XnChar* cpPrefixString, XnChar* cpDestString, XnUInt32 nDestLength);
XnStatus xnOSStrFormat(XnChar* cpDestString, XnUInt32 nDestLength, XnUInt32* pnCharsWritten,
                       const XnChar* cpFormat, ...) __attribute__((format(printf, 4, 5)));
XnStatus xnOSStrFormatV(XnChar* cpDestString, XnUInt32 nDestLength, XnUInt32* pnCharsWritten,
                        const XnChar* cpFormat, va_list args);
XnStatus xnOSStrCRC32(const XnChar* cpString, XnUInt32* nCRC32);
XnStatus xnOSStrNCRC32(const XnUInt8* cpBuffer, XnUInt32 nBufferSize, XnUInt32* nCRC32);
void xnOSItoA(XnInt32 nValue, XnChar* cpStr, XnInt32 nBase);
XnInt32 xnOSStrCmp(const XnChar* cpFirstString, const XnChar* cpSecondString);
XnInt32 xnOSStrCaseCmp(const XnChar* cpFirstString, const XnChar* cpSecondString);
XnStatus xnOSGetEnvironmentVariable(const XnChar* strEnv, XnChar* strDest, XnUInt32 nDestSize);

// ------------------------------------------------------------------ time ---

struct XnOSTimer {
    XnInt64 nSeconds;
    XnInt64 nNanoseconds;
    XnBool bHighRes;
};

// A point in time or a time-out: seconds and nanoseconds.
struct XnOSTime {
    XnInt64 nSeconds;
    XnInt64 nNanoseconds;
};

extern XnOSTimer g_xnOSHighResGlobalTimer;
extern XnUInt8 g_xnOSInitialized;

XnStatus xnOSGetEpochTime(XnUInt32* nEpochTime);
XnStatus xnOSSleep(XnUInt32 nMilliseconds);
// Reads the monotonic clock, from which every timer and time stamp counts.
XnStatus xnOSGetMonoTime(XnOSTime* pTime);
XnStatus xnOSStartTimer(XnOSTimer* pTimer);
XnStatus xnOSStartHighResTimer(XnOSTimer* pTimer);
XnStatus xnOSQueryTimer(XnOSTimer Timer, XnUInt64* pnTimeSinceStart);
XnStatus xnOSStopTimer(XnOSTimer* pTimer);
XnStatus xnOSGetHighResTimeStamp(XnUInt64* nTimeStamp);
XnStatus xnOSGetTimeStamp(XnUInt64* nTimeStamp);
XnStatus xnOSGetTimeout(XnOSTime* pTime, XnUInt32 nMilliseconds);
// Wall clock plus nMilliseconds, as timed mutex locks need it.
XnStatus xnOSGetAbsTimeout(XnOSTime* pTime, XnUInt32 nMilliseconds);
XnStatus xnOSTimeInit();

// ----------------------------------------------------------------- locks ---

struct XnMutex;
typedef XnMutex* XN_MUTEX_HANDLE;
typedef XnMutex* XN_CRITICAL_SECTION_HANDLE;

#define XN_WAIT_INFINITE 0xFFFFFFFF

XnStatus xnOSCreateCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle);
XnStatus xnOSCloseCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle);
XnStatus xnOSEnterCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle);
XnStatus xnOSLeaveCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle);
XnStatus xnOSCreateMutex(XN_MUTEX_HANDLE* pMutexHandle);
XnStatus xnOSCreateNamedMutex(XN_MUTEX_HANDLE* pMutexHandle, const XnChar* cpMutexName);
XnStatus xnOSCreateNamedMutexEx(XN_MUTEX_HANDLE* pMutexHandle, const XnChar* cpMutexName,
                                XnBool bAllowOtherUsers);
XnStatus xnOSCloseMutex(XN_MUTEX_HANDLE* pMutexHandle);
XnStatus xnOSLockMutex(const XN_MUTEX_HANDLE MutexHandle, XnUInt32 nMilliseconds);
XnStatus xnOSUnLockMutex(const XN_MUTEX_HANDLE MutexHandle);

// ------------------------------------------------------------- processes ---

XnStatus xnOSGetCurrentProcessID(XnUInt32* pProcID);
XnStatus xnOSCreateProcess(const XnChar* strExecutable, XnUInt32 nArgs, const XnChar** pstrArgs,
                           XnUInt32* pProcID);

// ----------------------------------------------------------------- files ---

typedef XnInt32 XN_FILE_HANDLE;
#define XN_INVALID_FILE_HANDLE (-1)

#define XN_OS_FILE_READ          0x01
#define XN_OS_FILE_WRITE         0x02
#define XN_OS_FILE_CREATE_NEW_ONLY 0x04
#define XN_OS_FILE_TRUNCATE      0x08
#define XN_OS_FILE_APPEND        0x10
#define XN_OS_FILE_WRITE_THROUGH 0x20

enum XnOSSeekType {
    XN_OS_SEEK_SET = 0,
    XN_OS_SEEK_CUR = 1,
    XN_OS_SEEK_END = 2,
};

XnStatus xnOSOpenFile(const XnChar* cpFileName, XnUInt32 nFlags, XN_FILE_HANDLE* pFile);
XnStatus xnOSCloseFile(XN_FILE_HANDLE* pFile);
XnStatus xnOSReadFile(const XN_FILE_HANDLE File, void* pBuffer, XnUInt32* pnBufferSize);
XnStatus xnOSWriteFile(const XN_FILE_HANDLE File, const void* pBuffer, XnUInt32 nBufferSize);
XnStatus xnOSSeekFile(const XN_FILE_HANDLE File, const XnOSSeekType SeekType, const XnInt32 nOffset);
XnStatus xnOSSeekFile64(const XN_FILE_HANDLE File, const XnOSSeekType SeekType, const XnInt64 nOffset);
XnStatus xnOSTellFile(const XN_FILE_HANDLE File, XnUInt32* nFilePos);
XnStatus xnOSTellFile64(const XN_FILE_HANDLE File, XnUInt64* nFilePos);
XnStatus xnOSFlushFile(const XN_FILE_HANDLE File);
XnStatus xnOSTruncateFile64(const XN_FILE_HANDLE File, XnUInt64 nFileSize);

XnStatus xnOSLoadFile(const XnChar* cpFileName, void* pBuffer, const XnUInt32 nBufferSize);
XnStatus xnOSSaveFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize);
XnStatus xnOSAppendFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize);
XnStatus xnOSDoesFileExist(const XnChar* cpFileName, XnBool* pbResult);
XnStatus xnOSFileExists(const XnChar* cpFileName, XnBool* pbResult);
XnStatus xnOSDoesDirectoryExist(const XnChar* cpDirName, XnBool* pbResult);
XnStatus xnOSGetFileSize(const XnChar* cpFileName, XnUInt32* pnFileSize);
XnStatus xnOSGetFileSize64(const XnChar* cpFileName, XnUInt64* pnFileSize);
XnStatus xnOSCreateDirectory(const XnChar* cpDirName);
XnStatus xnOSDeleteFile(const XnChar* cpFileName);
XnStatus xnOSCountFiles(const XnChar* cpSearchPattern, XnInt32* pnFoundFiles);
XnStatus xnOSGetFileList(const XnChar* cpSearchPattern, const XnChar* cpPrefixPath,
                         XnChar cpFileList[][XN_FILE_MAX_PATH], const XnUInt32 nMaxFiles,
                         XnUInt32* pnFoundFiles);
XnStatus xnOSGetDirName(const XnChar* cpFilePath, XnChar* cpDirName, const XnUInt32 nBufferSize);
XnStatus xnOSGetFileName(const XnChar* cpFilePath, XnChar* cpFileName, const XnUInt32 nBufferSize);
XnStatus xnOSGetFullPathName(const XnChar* strFilePath, XnChar* strFullPath, XnUInt32 nBufferSize);
XnStatus xnOSGetCurrentDir(XnChar* cpDirName, const XnUInt32 nBufferSize);
XnStatus xnOSSetCurrentDir(const XnChar* cpDirName);
XnBool xnOSIsAbsoluteFilePath(const XnChar* strFilePath);
XnBool xnOSIsDirSep(XnChar c);
XnStatus xnOSStripDirSep(XnChar* strDirName);
XnStatus xnOSAppendFilePath(XnChar* strDestPath, const XnChar* strFileName, XnUInt32 nDestSize);

// ------------------------------------------------------------------- INI ---
// Each read loads the whole file again; for start-up settings only.

XnStatus xnOSReadStringFromINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                               XnChar* cpDest, const XnUInt32 nDestLength);
XnStatus xnOSReadIntFromINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                            XnInt32* nDest);
XnStatus xnOSReadFloatFromINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                              XnFloat* fDest);
XnStatus xnOSReadDoubleFromINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                               XnDouble* fDest);
XnStatus xnOSWriteStringToINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                              const XnChar* cpSrc);
XnStatus xnOSWriteIntToINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                           const XnUInt32 nSrc);
XnStatus xnOSWriteFloatToINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                             const XnFloat fSrc);
XnStatus xnOSWriteDoubleToINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                              const XnDouble fSrc);
