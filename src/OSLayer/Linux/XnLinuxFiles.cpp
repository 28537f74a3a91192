#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <glob.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"

namespace {

const XnChar kMask[] = "xnOS";

int ToPosixFlags(XnUInt32 nFlags) {
    const bool bRead = (nFlags & XN_OS_FILE_READ) != 0;
    const bool bWrite = (nFlags & XN_OS_FILE_WRITE) != 0;
    int flags = O_CLOEXEC;
    if (bRead && bWrite) {
        flags |= O_RDWR | O_CREAT;
    } else if (bWrite) {
        flags |= O_WRONLY | O_CREAT;
    } else {
        flags |= O_RDONLY;
    }
    if (nFlags & XN_OS_FILE_CREATE_NEW_ONLY) {
        flags |= O_CREAT | O_EXCL;
    }
    if (nFlags & XN_OS_FILE_TRUNCATE) {
        flags |= O_TRUNC;
    }
    if (nFlags & XN_OS_FILE_APPEND) {
        flags |= O_APPEND;
    }
    if (bWrite && (nFlags & XN_OS_FILE_WRITE_THROUGH)) {
        flags |= O_SYNC;
    }
    return flags;
}

int ToWhence(XnOSSeekType origin) {
    switch (origin) {
        case XN_OS_SEEK_SET: return SEEK_SET;
        case XN_OS_SEEK_CUR: return SEEK_CUR;
        case XN_OS_SEEK_END: return SEEK_END;
    }
    return -1;
}

XnStatus WriteWholeFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize, XnUInt32 nFlags) {
    if (cpFileName == nullptr || pBuffer == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    XN_FILE_HANDLE hFile = XN_INVALID_FILE_HANDLE;
    XnStatus rc = xnOSOpenFile(cpFileName, nFlags, &hFile);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    rc = xnOSWriteFile(hFile, pBuffer, nBufferSize);
    if (rc != XN_STATUS_OK) {
        xnOSCloseFile(&hFile);
        return XN_STATUS_OS_FILE_WRITE_FAILED;
    }
    return xnOSCloseFile(&hFile);
}

// What basename gives, without a working copy of bounded length: the last
// component, trailing slashes ignored ("/" for a path of slashes only).
std::string LastComponent(const XnChar* strPath) {
    std::string path(strPath);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const std::string::size_type nSlash = path.find_last_of('/');
    return nSlash == std::string::npos || path.size() == 1 ? path : path.substr(nSlash + 1);
}

}  // namespace

XnStatus xnOSOpenFile(const XnChar* cpFileName, XnUInt32 nFlags, XN_FILE_HANDLE* pFile) {
    if (cpFileName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (pFile == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    *pFile = open(cpFileName, ToPosixFlags(nFlags), 0644);
    if (*pFile == -1) {
        if (errno == ENOENT) {
            return XN_STATUS_OS_FILE_NOT_FOUND;
        }
        if (errno == EEXIST && (nFlags & XN_OS_FILE_CREATE_NEW_ONLY)) {
            return XN_STATUS_OS_FILE_ALREDY_EXISTS;
        }
        return XN_STATUS_OS_FILE_OPEN_FAILED;
    }
    return XN_STATUS_OK;
}

XnStatus xnOSCloseFile(XN_FILE_HANDLE* pFile) {
    if (pFile == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (*pFile == XN_INVALID_FILE_HANDLE) {
        return XN_STATUS_OS_INVALID_FILE;
    }
    if (close(*pFile) != 0) {
        return XN_STATUS_OS_FILE_CLOSE_FAILED;
    }
    *pFile = XN_INVALID_FILE_HANDLE;
    return XN_STATUS_OK;
}

XnStatus xnOSReadFile(const XN_FILE_HANDLE File, void* pBuffer, XnUInt32* pnBufferSize) {
    if (pBuffer == nullptr || pnBufferSize == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (File == XN_INVALID_FILE_HANDLE) {
        return XN_STATUS_OS_INVALID_FILE;
    }
    XnUInt32 nRead = 0;
    while (nRead < *pnBufferSize) {
        ssize_t n = read(File, (XnUInt8*)pBuffer + nRead, *pnBufferSize - nRead);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return XN_STATUS_OS_FILE_READ_FAILED;
        }
        if (n == 0) {
            break;
        }
        nRead += (XnUInt32)n;
    }
    *pnBufferSize = nRead;
    return XN_STATUS_OK;
}

XnStatus xnOSWriteFile(const XN_FILE_HANDLE File, const void* pBuffer, XnUInt32 nBufferSize) {
    if (pBuffer == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (File == XN_INVALID_FILE_HANDLE) {
        return XN_STATUS_OS_INVALID_FILE;
    }
    XnUInt32 nWritten = 0;
    while (nWritten < nBufferSize) {
        ssize_t n = write(File, (const XnUInt8*)pBuffer + nWritten, nBufferSize - nWritten);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return XN_STATUS_OS_FILE_WRITE_FAILED;
        }
        nWritten += (XnUInt32)n;
    }
    return XN_STATUS_OK;
}

XnStatus xnOSSeekFile(const XN_FILE_HANDLE File, const XnOSSeekType SeekType, const XnInt32 nOffset) {
    return xnOSSeekFile64(File, SeekType, nOffset);
}

XnStatus xnOSSeekFile64(const XN_FILE_HANDLE File, const XnOSSeekType SeekType, const XnInt64 nOffset) {
    if (File == XN_INVALID_FILE_HANDLE) {
        return XN_STATUS_OS_INVALID_FILE;
    }
    int whence = ToWhence(SeekType);
    if (whence < 0) {
        return XN_STATUS_OS_INVALID_SEEK_TYPE;
    }
    return lseek(File, (off_t)nOffset, whence) == (off_t)-1 ? XN_STATUS_OS_FILE_SEEK_FAILED : XN_STATUS_OK;
}

XnStatus xnOSTellFile(const XN_FILE_HANDLE File, XnUInt32* nFilePos) {
    if (nFilePos == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XnUInt64 nPos = 0;
    XnStatus rc = xnOSTellFile64(File, &nPos);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    if (nPos > 0xFFFFFFFFull) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    *nFilePos = (XnUInt32)nPos;
    return XN_STATUS_OK;
}

XnStatus xnOSTellFile64(const XN_FILE_HANDLE File, XnUInt64* nFilePos) {
    if (nFilePos == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    if (File == XN_INVALID_FILE_HANDLE) {
        return XN_STATUS_OS_INVALID_FILE;
    }
    off_t pos = lseek(File, 0, SEEK_CUR);
    if (pos == (off_t)-1) {
        return XN_STATUS_OS_FILE_TELL_FAILED;
    }
    *nFilePos = (XnUInt64)pos;
    return XN_STATUS_OK;
}

XnStatus xnOSFlushFile(const XN_FILE_HANDLE File) {
    if (File == XN_INVALID_FILE_HANDLE) {
        return XN_STATUS_OS_INVALID_FILE;
    }
    return fsync(File) == 0 ? XN_STATUS_OK : XN_STATUS_OS_FILE_FLUSH_FAILED;
}

XnStatus xnOSTruncateFile64(const XN_FILE_HANDLE File, XnUInt64 nFileSize) {
    if (File == XN_INVALID_FILE_HANDLE) {
        return XN_STATUS_OS_INVALID_FILE;
    }
    XnUInt64 nPos = 0;
    XnStatus rc = xnOSTellFile64(File, &nPos);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    // The file ends at nFileSize and the position stays where it was.
    if (ftruncate(File, (off_t)nFileSize) != 0) {
        return XN_STATUS_OS_FILE_SEEK_FAILED;
    }
    return xnOSSeekFile64(File, XN_OS_SEEK_SET, (XnInt64)nPos);
}

XnStatus xnOSLoadFile(const XnChar* cpFileName, void* pBuffer, const XnUInt32 nBufferSize) {
    if (cpFileName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (pBuffer == nullptr || nBufferSize == 0) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XN_FILE_HANDLE hFile = XN_INVALID_FILE_HANDLE;
    XnStatus rc = xnOSOpenFile(cpFileName, XN_OS_FILE_READ, &hFile);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    XnUInt32 nRead = nBufferSize;
    rc = xnOSReadFile(hFile, pBuffer, &nRead);
    if (rc != XN_STATUS_OK || nRead != nBufferSize) {
        xnOSCloseFile(&hFile);
        return XN_STATUS_OS_FILE_READ_FAILED;
    }
    return xnOSCloseFile(&hFile);
}

XnStatus xnOSSaveFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize) {
    return WriteWholeFile(cpFileName, pBuffer, nBufferSize, XN_OS_FILE_WRITE | XN_OS_FILE_TRUNCATE);
}

XnStatus xnOSAppendFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize) {
    return WriteWholeFile(cpFileName, pBuffer, nBufferSize, XN_OS_FILE_WRITE | XN_OS_FILE_APPEND);
}

XnStatus xnOSDoesFileExist(const XnChar* cpFileName, XnBool* pbResult) {
    if (cpFileName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (pbResult == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    *pbResult = access(cpFileName, F_OK) == 0;
    return XN_STATUS_OK;
}

XnStatus xnOSFileExists(const XnChar* cpFileName, XnBool* pbResult) {
    return xnOSDoesFileExist(cpFileName, pbResult);
}

XnStatus xnOSDoesDirectoryExist(const XnChar* cpDirName, XnBool* pbResult) {
    if (cpDirName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (pbResult == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    struct stat st;
    *pbResult = stat(cpDirName, &st) == 0 && S_ISDIR(st.st_mode);
    return XN_STATUS_OK;
}

XnStatus xnOSGetFileSize(const XnChar* cpFileName, XnUInt32* pnFileSize) {
    if (pnFileSize == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XnUInt64 nSize = 0;
    XnStatus rc = xnOSGetFileSize64(cpFileName, &nSize);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    if (nSize > 0xFFFFFFFFull) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    *pnFileSize = (XnUInt32)nSize;
    return XN_STATUS_OK;
}

XnStatus xnOSGetFileSize64(const XnChar* cpFileName, XnUInt64* pnFileSize) {
    if (cpFileName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (pnFileSize == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    struct stat st;
    if (stat(cpFileName, &st) != 0) {
        return XN_STATUS_OS_FILE_GET_SIZE_FAILED;
    }
    *pnFileSize = (XnUInt64)st.st_size;
    return XN_STATUS_OK;
}

XnStatus xnOSCreateDirectory(const XnChar* cpDirName) {
    if (cpDirName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    return mkdir(cpDirName, 0777) == 0 ? XN_STATUS_OK : XN_STATUS_OS_FAILED_TO_CREATE_DIR;
}

XnStatus xnOSDeleteFile(const XnChar* cpFileName) {
    if (cpFileName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    return unlink(cpFileName) == 0 ? XN_STATUS_OK : XN_STATUS_OS_FAILED_TO_DELETE_FILE;
}

XnStatus xnOSCountFiles(const XnChar* cpSearchPattern, XnInt32* pnFoundFiles) {
    if (cpSearchPattern == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (pnFoundFiles == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    glob_t found;
    *pnFoundFiles = glob(cpSearchPattern, 0, nullptr, &found) == 0 ? (XnInt32)found.gl_pathc : 0;
    globfree(&found);
    return XN_STATUS_OK;
}

XnStatus xnOSGetFileList(const XnChar* cpSearchPattern, const XnChar* cpPrefixPath,
                         XnChar cpFileList[][XN_FILE_MAX_PATH], const XnUInt32 nMaxFiles,
                         XnUInt32* pnFoundFiles) {
    if (cpSearchPattern == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (cpFileList == nullptr || pnFoundFiles == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    glob_t found;
    if (glob(cpSearchPattern, 0, nullptr, &found) != 0 || found.gl_pathc == 0) {
        globfree(&found);
        *pnFoundFiles = 0;
        return XN_STATUS_OS_FILE_NOT_FOUND;
    }
    XnUInt32 nCount = 0;
    for (size_t i = 0; i < found.gl_pathc && nCount < nMaxFiles; ++i) {
        // The last component is taken from the match itself, whatever the
        // length of the folder above it; only a name that does not fit its
        // slot is skipped, and a skipped name takes no slot.
        if (xnOSStrCopy(cpFileList[nCount], LastComponent(found.gl_pathv[i]).c_str(), XN_FILE_MAX_PATH) !=
            XN_STATUS_OK) {
            continue;
        }
        if (cpPrefixPath != nullptr) {
            xnOSStrPrefix(cpPrefixPath, cpFileList[nCount], XN_FILE_MAX_PATH);
        }
        ++nCount;
    }
    globfree(&found);
    *pnFoundFiles = nCount;
    return XN_STATUS_OK;
}

XnStatus xnOSGetDirName(const XnChar* cpFilePath, XnChar* cpDirName, const XnUInt32 nBufferSize) {
    if (cpFilePath == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (cpDirName == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XnChar csWork[XN_FILE_MAX_PATH];
    XnStatus rc = xnOSStrCopy(csWork, cpFilePath, sizeof(csWork));
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    return xnOSStrCopy(cpDirName, dirname(csWork), nBufferSize);
}

XnStatus xnOSGetFileName(const XnChar* cpFilePath, XnChar* cpFileName, const XnUInt32 nBufferSize) {
    if (cpFilePath == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (cpFileName == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XnChar csWork[XN_FILE_MAX_PATH];
    XnStatus rc = xnOSStrCopy(csWork, cpFilePath, sizeof(csWork));
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    return xnOSStrCopy(cpFileName, basename(csWork), nBufferSize);
}

XnStatus xnOSGetFullPathName(const XnChar* strFilePath, XnChar* strFullPath, XnUInt32 nBufferSize) {
    if (strFilePath == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (strFullPath == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XnChar csResolved[PATH_MAX];
    if (realpath(strFilePath, csResolved) == nullptr) {
        xnLogWrite(kMask, XN_LOG_WARNING, __FILE__, __LINE__, "Failed getting full path name: errno is %d", errno);
        return XN_STATUS_ERROR;
    }
    if (strlen(csResolved) >= nBufferSize) {
        return XN_STATUS_OUTPUT_BUFFER_OVERFLOW;
    }
    strcpy(strFullPath, csResolved);
    return XN_STATUS_OK;
}

XnStatus xnOSGetCurrentDir(XnChar* cpDirName, const XnUInt32 nBufferSize) {
    if (cpDirName == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    if (getcwd(cpDirName, nBufferSize) == nullptr) {
        return errno == ERANGE ? XN_STATUS_OUTPUT_BUFFER_OVERFLOW : XN_STATUS_ERROR;
    }
    return XN_STATUS_OK;
}

XnStatus xnOSSetCurrentDir(const XnChar* cpDirName) {
    if (cpDirName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    return chdir(cpDirName) == 0 ? XN_STATUS_OK : XN_STATUS_ERROR;
}

XnBool xnOSIsAbsoluteFilePath(const XnChar* strFilePath) {
    return strFilePath != nullptr && xnOSIsDirSep(strFilePath[0]);
}

XnBool xnOSIsDirSep(XnChar c) {
    return c == '/';
}

XnStatus xnOSStripDirSep(XnChar* strDirName) {
    if (strDirName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    size_t nLength = strlen(strDirName);
    if (nLength > 0 && xnOSIsDirSep(strDirName[nLength - 1])) {
        strDirName[nLength - 1] = '\0';
    }
    return XN_STATUS_OK;
}

XnStatus xnOSAppendFilePath(XnChar* strDestPath, const XnChar* strFileName, XnUInt32 nDestSize) {
    if (strDestPath == nullptr || strFileName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (xnOSIsAbsoluteFilePath(strFileName)) {
        return xnOSStrCopy(strDestPath, strFileName, nDestSize);
    }
    xnOSStripDirSep(strDestPath);
    XnStatus rc = xnOSStrAppend(strDestPath, "/", nDestSize);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    return xnOSStrAppend(strDestPath, strFileName, nDestSize);
}
