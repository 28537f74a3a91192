#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <unistd.h>

#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"

struct XnMutex {
    XnBool bIsNamed;
    pthread_mutex_t ThreadMutex;
    XnInt32 NamedSem;
    XnChar csSemFileName[XN_FILE_MAX_PATH];
    XnInt32 hSemFile;
};

namespace {

union XnSemUnion {
    int val;
    struct semid_ds* buf;
    unsigned short* array;
};

const XnChar kMask[] = "xnOS";

// Semaphore 0 is the lock (1 = free); semaphore 1 counts open handles in all
// processes. Undo flags release what a dying process held.
int SemOp(XnMutex* pMutex, unsigned short nSem, short nOp, const timespec* pTimeout) {
    sembuf op;
    op.sem_num = nSem;
    op.sem_op = nOp;
    op.sem_flg = SEM_UNDO;
    if (pTimeout != nullptr) {
        return semtimedop(pMutex->NamedSem, &op, 1, pTimeout);
    }
    return semop(pMutex->NamedSem, &op, 1);
}

XnStatus CloseNamed(XnMutex* pMutex) {
    if (SemOp(pMutex, 1, -1, nullptr) != 0) {
        return XN_STATUS_OS_MUTEX_CLOSE_FAILED;
    }
    if (semctl(pMutex->NamedSem, 1, GETVAL) == 0) {
        semctl(pMutex->NamedSem, 0, IPC_RMID);
        unlink(pMutex->csSemFileName);
    }
    close(pMutex->hSemFile);
    return XN_STATUS_OK;
}

XnStatus CreateNamed(XnMutex* pMutex, const XnChar* cpMutexName) {
    XnChar csName[XN_FILE_MAX_PATH];
    if (strlen(cpMutexName) >= sizeof(csName)) {
        xnLogWrite(kMask, XN_LOG_WARNING, __FILE__, __LINE__, "Mutex name is too long!");
        return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    }
    strcpy(csName, cpMutexName);
    for (XnChar* p = csName; *p; ++p) {
        if (*p == '/') {
            *p = '_';
        }
    }
    pMutex->bIsNamed = TRUE;
    if (snprintf(pMutex->csSemFileName, sizeof(pMutex->csSemFileName), "/tmp/ZaZuza.Mutex.%s.key", csName) >=
        (int)sizeof(pMutex->csSemFileName)) {
        return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    }
    // The key file sits at a predictable path in a shared folder: never
    // follow a planted link, and give it no execute bits.
    pMutex->hSemFile = open(pMutex->csSemFileName, O_CREAT | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (pMutex->hSemFile == -1) {
        return XN_STATUS_OS_FILE_OPEN_FAILED;
    }
    key_t key = ftok(pMutex->csSemFileName, 1);
    pMutex->NamedSem = semget(key, 2, IPC_CREAT | IPC_EXCL | 0666);
    if (pMutex->NamedSem != -1) {
        XnSemUnion init;
        init.val = 1;
        bool ok = semctl(pMutex->NamedSem, 0, SETVAL, init) == 0;
        init.val = 0;
        ok = ok && semctl(pMutex->NamedSem, 1, SETVAL, init) == 0;
        if (!ok) {
            semctl(pMutex->NamedSem, 0, IPC_RMID);
            close(pMutex->hSemFile);
            return XN_STATUS_OS_MUTEX_CREATION_FAILED;
        }
    } else if (errno == EEXIST) {
        pMutex->NamedSem = semget(key, 2, IPC_CREAT | 0666);
        if (pMutex->NamedSem == -1) {
            close(pMutex->hSemFile);
            return XN_STATUS_OS_MUTEX_CREATION_FAILED;
        }
    } else {
        close(pMutex->hSemFile);
        return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    }
    if (SemOp(pMutex, 1, 1, nullptr) != 0) {
        // Closed as any handle is; when that fails too it has not reached the
        // key file, which must not stay open.
        if (CloseNamed(pMutex) != XN_STATUS_OK) {
            close(pMutex->hSemFile);
        }
        return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    }
    return XN_STATUS_OK;
}

}  // namespace

XnStatus xnOSCreateMutex(XN_MUTEX_HANDLE* pMutexHandle) {
    if (pMutexHandle == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XnMutex* pMutex = (XnMutex*)xnOSCalloc(1, sizeof(XnMutex));
    if (pMutex == nullptr) {
        return XN_STATUS_ALLOC_FAILED;
    }
    pthread_mutexattr_t attr;
    bool ok = pthread_mutexattr_init(&attr) == 0;
    ok = ok && pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0;
    ok = ok && pthread_mutex_init(&pMutex->ThreadMutex, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
    if (!ok) {
        xnOSFree(pMutex);
        return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    }
    *pMutexHandle = pMutex;
    return XN_STATUS_OK;
}

XnStatus xnOSCreateNamedMutex(XN_MUTEX_HANDLE* pMutexHandle, const XnChar* cpMutexName) {
    return xnOSCreateNamedMutexEx(pMutexHandle, cpMutexName, FALSE);
}

XnStatus xnOSCreateNamedMutexEx(XN_MUTEX_HANDLE* pMutexHandle, const XnChar* cpMutexName,
                                XnBool /*bAllowOtherUsers*/) {
    if (pMutexHandle == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    if (cpMutexName == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    XnMutex* pMutex = (XnMutex*)xnOSCalloc(1, sizeof(XnMutex));
    if (pMutex == nullptr) {
        return XN_STATUS_ALLOC_FAILED;
    }
    XnStatus rc = CreateNamed(pMutex, cpMutexName);
    if (rc != XN_STATUS_OK) {
        xnOSFree(pMutex);
        return rc;
    }
    *pMutexHandle = pMutex;
    return XN_STATUS_OK;
}

XnStatus xnOSCloseMutex(XN_MUTEX_HANDLE* pMutexHandle) {
    if (pMutexHandle == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    XnMutex* pMutex = *pMutexHandle;
    if (pMutex == nullptr) {
        return XN_STATUS_OS_INVALID_MUTEX;
    }
    if (pMutex->bIsNamed) {
        if (CloseNamed(pMutex) != XN_STATUS_OK) {
            return XN_STATUS_OS_MUTEX_CLOSE_FAILED;
        }
    } else if (pthread_mutex_destroy(&pMutex->ThreadMutex) != 0) {
        return XN_STATUS_OS_MUTEX_CLOSE_FAILED;
    }
    xnOSFree(pMutex);
    *pMutexHandle = nullptr;
    return XN_STATUS_OK;
}

XnStatus xnOSLockMutex(const XN_MUTEX_HANDLE MutexHandle, XnUInt32 nMilliseconds) {
    if (MutexHandle == nullptr) {
        return XN_STATUS_OS_INVALID_MUTEX;
    }
    int rc = 0;
    if (MutexHandle->bIsNamed) {
        if (nMilliseconds == XN_WAIT_INFINITE) {
            rc = SemOp(MutexHandle, 0, -1, nullptr);
        } else {
            XnOSTime timeout;
            xnOSGetTimeout(&timeout, nMilliseconds);
            timespec ts = {(time_t)timeout.nSeconds, (long)timeout.nNanoseconds};
            rc = SemOp(MutexHandle, 0, -1, &ts);
        }
        if (rc != 0) {
            return errno == EAGAIN ? XN_STATUS_OS_MUTEX_TIMEOUT : XN_STATUS_OS_MUTEX_LOCK_FAILED;
        }
        return XN_STATUS_OK;
    }
    if (nMilliseconds == XN_WAIT_INFINITE) {
        rc = pthread_mutex_lock(&MutexHandle->ThreadMutex);
    } else {
        XnOSTime deadline;
        if (xnOSGetAbsTimeout(&deadline, nMilliseconds) != XN_STATUS_OK) {
            return XN_STATUS_OS_MUTEX_LOCK_FAILED;
        }
        timespec ts = {(time_t)deadline.nSeconds, (long)deadline.nNanoseconds};
        rc = pthread_mutex_timedlock(&MutexHandle->ThreadMutex, &ts);
    }
    if (rc == ETIMEDOUT) {
        return XN_STATUS_OS_MUTEX_TIMEOUT;
    }
    return rc == 0 ? XN_STATUS_OK : XN_STATUS_OS_MUTEX_LOCK_FAILED;
}

XnStatus xnOSUnLockMutex(const XN_MUTEX_HANDLE MutexHandle) {
    if (MutexHandle == nullptr) {
        return XN_STATUS_OS_INVALID_MUTEX;
    }
    if (MutexHandle->bIsNamed) {
        return SemOp(MutexHandle, 0, 1, nullptr) == 0 ? XN_STATUS_OK : XN_STATUS_OS_MUTEX_UNLOCK_FAILED;
    }
    return pthread_mutex_unlock(&MutexHandle->ThreadMutex) == 0 ? XN_STATUS_OK : XN_STATUS_OS_MUTEX_UNLOCK_FAILED;
}

XnStatus xnOSCreateCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle) {
    return xnOSCreateMutex(pCriticalSectionHandle);
}

XnStatus xnOSCloseCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle) {
    return xnOSCloseMutex(pCriticalSectionHandle);
}

XnStatus xnOSEnterCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle) {
    return xnOSLockMutex(*pCriticalSectionHandle, XN_WAIT_INFINITE);
}

XnStatus xnOSLeaveCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle) {
    return xnOSUnLockMutex(*pCriticalSectionHandle);
}
