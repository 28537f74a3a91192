#include <cerrno>
#include <ctime>

#include "OSLayer/XnOS.h"

// Every time stamp of the library counts from this timer, started at load.
XnOSTimer g_xnOSHighResGlobalTimer;
XnUInt8 g_xnOSInitialized = 0;

namespace {

XnStatus ReadClock(clockid_t clock, XnOSTime* pTime) {
    timespec now;
    if (clock_gettime(clock, &now) != 0) {
        return XN_STATUS_OS_GET_TIME_FAILED;
    }
    pTime->nSeconds = now.tv_sec;
    pTime->nNanoseconds = now.tv_nsec;
    return XN_STATUS_OK;
}

}  // namespace

XnStatus xnOSGetEpochTime(XnUInt32* nEpochTime) {
    *nEpochTime = (XnUInt32)time(nullptr);
    return XN_STATUS_OK;
}

XnStatus xnOSSleep(XnUInt32 nMilliseconds) {
    // Whole seconds and the rest separately, so long sleeps are not cut short
    // by a 32-bit microsecond count; signals do not shorten the sleep either.
    timespec remaining;
    remaining.tv_sec = nMilliseconds / 1000;
    remaining.tv_nsec = (long)(nMilliseconds % 1000) * 1000000L;
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
    return XN_STATUS_OK;
}

// Timers and time stamps read the monotonic clock so that a change of the
// system time cannot move them or make an elapsed time negative.
XnStatus xnOSGetMonoTime(XnOSTime* pTime) {
    return ReadClock(CLOCK_MONOTONIC, pTime);
}

XnStatus xnOSStartTimer(XnOSTimer* pTimer) {
    if (pTimer == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    XnOSTime now;
    if (xnOSGetMonoTime(&now) != XN_STATUS_OK) {
        return XN_STATUS_OS_TIMER_QUERY_FAILED;
    }
    pTimer->nSeconds = now.nSeconds;
    pTimer->nNanoseconds = now.nNanoseconds;
    pTimer->bHighRes = FALSE;
    return XN_STATUS_OK;
}

XnStatus xnOSStartHighResTimer(XnOSTimer* pTimer) {
    XnStatus rc = xnOSStartTimer(pTimer);
    if (rc == XN_STATUS_OK) {
        pTimer->bHighRes = TRUE;
    }
    return rc;
}

XnStatus xnOSQueryTimer(XnOSTimer Timer, XnUInt64* pnTimeSinceStart) {
    if (pnTimeSinceStart == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XnOSTime now;
    if (xnOSGetMonoTime(&now) != XN_STATUS_OK) {
        return XN_STATUS_OS_TIMER_QUERY_FAILED;
    }
    double fElapsed = (double)(now.nSeconds - Timer.nSeconds) * 1000000.0 +
                      (double)(now.nNanoseconds - Timer.nNanoseconds) / 1000.0;
    if (fElapsed <= 0.0) {
        *pnTimeSinceStart = 0;
    } else if (fElapsed >= 9223372036854775808.0) {
        *pnTimeSinceStart = (XnUInt64)(fElapsed - 9223372036854775808.0) + 0x8000000000000000ull;
    } else {
        *pnTimeSinceStart = (XnUInt64)fElapsed;
    }
    return XN_STATUS_OK;
}

XnStatus xnOSStopTimer(XnOSTimer* pTimer) {
    if (pTimer == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    pTimer->nSeconds = 0;
    pTimer->nNanoseconds = 0;
    pTimer->bHighRes = FALSE;
    return XN_STATUS_OK;
}

XnStatus xnOSGetHighResTimeStamp(XnUInt64* nTimeStamp) {
    if (nTimeStamp == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    // Another load-time initialiser may log before ours has run.
    if (!g_xnOSInitialized) {
        xnOSTimeInit();
    }
    return xnOSQueryTimer(g_xnOSHighResGlobalTimer, nTimeStamp);
}

XnStatus xnOSGetTimeStamp(XnUInt64* nTimeStamp) {
    XnStatus rc = xnOSGetHighResTimeStamp(nTimeStamp);
    if (rc == XN_STATUS_OK) {
        *nTimeStamp /= 1000;
    }
    return rc;
}

XnStatus xnOSGetTimeout(XnOSTime* pTime, XnUInt32 nMilliseconds) {
    pTime->nSeconds = nMilliseconds / 1000;
    pTime->nNanoseconds = (XnInt64)(nMilliseconds % 1000) * 1000000;
    return XN_STATUS_OK;
}

XnStatus xnOSGetAbsTimeout(XnOSTime* pTime, XnUInt32 nMilliseconds) {
    // Timed mutex locks wait against the wall clock.
    XnOSTime now;
    if (ReadClock(CLOCK_REALTIME, &now) != XN_STATUS_OK) {
        return XN_STATUS_OS_GET_TIME_FAILED;
    }
    pTime->nSeconds = now.nSeconds + nMilliseconds / 1000;
    pTime->nNanoseconds = now.nNanoseconds + (XnInt64)(nMilliseconds % 1000) * 1000000;
    if (pTime->nNanoseconds >= 1000000000) {
        pTime->nSeconds += 1;
        pTime->nNanoseconds -= 1000000000;
    }
    return XN_STATUS_OK;
}

XnStatus xnOSTimeInit() {
    if (!g_xnOSInitialized) {
        xnOSStartHighResTimer(&g_xnOSHighResGlobalTimer);
        g_xnOSInitialized = TRUE;
    }
    return XN_STATUS_OK;
}

namespace {
struct XnTimeInitializer {
    XnTimeInitializer() { xnOSTimeInit(); }
} g_timeInitializer;
}  // namespace
