#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"

namespace {
const XnChar kMask[] = "xnOS";
const XnUInt32 kMaxArgs = 98;
}  // namespace

XnStatus xnOSGetCurrentProcessID(XnUInt32* pProcID) {
    if (pProcID == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    *pProcID = (XnUInt32)getpid();
    return XN_STATUS_OK;
}

XnStatus xnOSCreateProcess(const XnChar* strExecutable, XnUInt32 nArgs, const XnChar** pstrArgs,
                           XnUInt32* pProcID) {
    if (nArgs > kMaxArgs) {
        xnLogWrite(kMask, XN_LOG_WARNING, __FILE__, __LINE__, "Too many arguments!");
        return XN_STATUS_OS_PROCESS_CREATION_FAILED;
    }
    const XnChar* argv[kMaxArgs + 2];
    argv[0] = strExecutable;
    for (XnUInt32 i = 0; i < nArgs; ++i) {
        argv[i + 1] = pstrArgs[i];
    }
    argv[nArgs + 1] = nullptr;

    pid_t child = fork();
    if (child == -1) {
        xnLogWrite(kMask, XN_LOG_WARNING, __FILE__, __LINE__, "Failed to start process! fork() error code is %d.",
                   errno);
        return XN_STATUS_OS_PROCESS_CREATION_FAILED;
    }
    if (child == 0) {
        // The child ends at once so the caller's wait is short; the grandchild
        // is adopted by init and runs detached.
        pid_t grandchild = fork();
        if (grandchild == -1) {
            _exit((int)(XN_STATUS_OS_PROCESS_CREATION_FAILED & 0xFF));
        }
        if (grandchild != 0) {
            _exit(0);
        }
        close(STDIN_FILENO);
        close(STDOUT_FILENO);
        close(STDERR_FILENO);
        setsid();
        execv(strExecutable, const_cast<char* const*>(argv));
        xnLogWrite(kMask, XN_LOG_WARNING, __FILE__, __LINE__, "Failed to start process! execv() error code is %d.",
                   errno);
        _exit(1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return XN_STATUS_OS_PROCESS_CREATION_FAILED;
    }
    if (pProcID != nullptr) {
        *pProcID = 0;
    }
    return XN_STATUS_OK;
}
