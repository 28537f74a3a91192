#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "OSLayer/XnCriticalSection.h"
#include "OSLayer/XnOS.h"

namespace {

TEST(XnOSTime, TimeStampsCountFromLoadAndIncrease) {
    XnUInt64 ms = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSGetTimeStamp(&ms));
    EXPECT_LT(ms, 60000u);  // a test process is seconds old
    XnUInt64 first = 0, second = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSGetHighResTimeStamp(&first));
    xnOSSleep(2);
    ASSERT_EQ(XN_STATUS_OK, xnOSGetHighResTimeStamp(&second));
    EXPECT_GE(second - first, 2000u);
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSGetHighResTimeStamp(nullptr));
}

TEST(XnOSTime, Timers) {
    XnOSTimer timer;
    ASSERT_EQ(XN_STATUS_OK, xnOSStartHighResTimer(&timer));
    EXPECT_TRUE(timer.bHighRes);
    xnOSSleep(3);
    XnUInt64 elapsed = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSQueryTimer(timer, &elapsed));
    EXPECT_GE(elapsed, 3000u);
    EXPECT_LT(elapsed, 10000000u);
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSQueryTimer(timer, nullptr));
    ASSERT_EQ(XN_STATUS_OK, xnOSStopTimer(&timer));
    EXPECT_EQ(0, timer.nSeconds);
    EXPECT_FALSE(timer.bHighRes);
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnOSStartTimer(nullptr));
}

TEST(XnOSTime, Timeouts) {
    XnOSTime t;
    ASSERT_EQ(XN_STATUS_OK, xnOSGetTimeout(&t, 2500));
    EXPECT_EQ(2, t.nSeconds);
    EXPECT_EQ(500000000, t.nNanoseconds);
    ASSERT_EQ(XN_STATUS_OK, xnOSGetAbsTimeout(&t, 1999));
    EXPECT_GE(t.nNanoseconds, 0);
    EXPECT_LT(t.nNanoseconds, 1000000000);
    XnUInt32 epoch = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSGetEpochTime(&epoch));
    EXPECT_LE(epoch, (XnUInt32)t.nSeconds);
}

TEST(XnOSMutex, RecursiveAndTimedAcrossThreads) {
    XN_MUTEX_HANDLE mutex = nullptr;
    ASSERT_EQ(XN_STATUS_OK, xnOSCreateMutex(&mutex));
    ASSERT_EQ(XN_STATUS_OK, xnOSLockMutex(mutex, XN_WAIT_INFINITE));
    ASSERT_EQ(XN_STATUS_OK, xnOSLockMutex(mutex, 0));  // the holder may lock again

    XnStatus otherZero = 0, otherTimed = 0, otherUnlock = 0;
    std::thread other([&] {
        otherZero = xnOSLockMutex(mutex, 0);
        otherTimed = xnOSLockMutex(mutex, 20);
        otherUnlock = xnOSUnLockMutex(mutex);
    });
    other.join();
    EXPECT_EQ(XN_STATUS_OS_MUTEX_TIMEOUT, otherZero);
    EXPECT_EQ(XN_STATUS_OS_MUTEX_TIMEOUT, otherTimed);
    EXPECT_EQ(XN_STATUS_OS_MUTEX_UNLOCK_FAILED, otherUnlock);

    // One unlock is not enough: the mutex was locked twice.
    ASSERT_EQ(XN_STATUS_OK, xnOSUnLockMutex(mutex));
    std::thread stillHeld([&] { otherZero = xnOSLockMutex(mutex, 0); });
    stillHeld.join();
    EXPECT_EQ(XN_STATUS_OS_MUTEX_TIMEOUT, otherZero);
    ASSERT_EQ(XN_STATUS_OK, xnOSUnLockMutex(mutex));

    std::thread free([&] {
        otherZero = xnOSLockMutex(mutex, 0);
        xnOSUnLockMutex(mutex);
    });
    free.join();
    EXPECT_EQ(XN_STATUS_OK, otherZero);

    ASSERT_EQ(XN_STATUS_OK, xnOSCloseMutex(&mutex));
    EXPECT_EQ(nullptr, mutex);
    EXPECT_EQ(XN_STATUS_OS_INVALID_MUTEX, xnOSCloseMutex(&mutex));
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnOSCloseMutex(nullptr));
    EXPECT_EQ(XN_STATUS_OS_INVALID_MUTEX, xnOSLockMutex(nullptr, 0));
    EXPECT_EQ(XN_STATUS_OS_INVALID_MUTEX, xnOSUnLockMutex(nullptr));
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSCreateMutex(nullptr));
}

TEST(XnOSMutex, NamedMutexLocksAcrossHandles) {
    XN_MUTEX_HANDLE a = nullptr, b = nullptr;
    const std::string name = "vela/test/" + std::to_string(getpid());
    ASSERT_EQ(XN_STATUS_OK, xnOSCreateNamedMutex(&a, name.c_str()));
    ASSERT_EQ(XN_STATUS_OK, xnOSCreateNamedMutex(&b, name.c_str()));
    ASSERT_EQ(XN_STATUS_OK, xnOSLockMutex(a, XN_WAIT_INFINITE));
    EXPECT_EQ(XN_STATUS_OS_MUTEX_TIMEOUT, xnOSLockMutex(b, 10));
    ASSERT_EQ(XN_STATUS_OK, xnOSUnLockMutex(a));
    EXPECT_EQ(XN_STATUS_OK, xnOSLockMutex(b, 10));
    EXPECT_EQ(XN_STATUS_OK, xnOSUnLockMutex(b));
    const std::string keyFile = "/tmp/ZaZuza.Mutex.vela_test_" + std::to_string(getpid()) + ".key";
    ASSERT_EQ(XN_STATUS_OK, xnOSCloseMutex(&a));
    EXPECT_EQ(0, access(keyFile.c_str(), F_OK));  // still open through b
    ASSERT_EQ(XN_STATUS_OK, xnOSCloseMutex(&b));
    EXPECT_NE(0, access(keyFile.c_str(), F_OK));  // the last close removes it
}

// The handle count cannot be raised (it stands at the semaphore maximum) and,
// on the way out, not lowered either (this process's undo record for it is
// full): creation fails and leaves no descriptor open.
TEST(XnOSMutex, NamedMutexFailingToCountItsHandleClosesTheKeyFile) {
    const std::string name = "vela_full_" + std::to_string(getpid());
    const std::string keyFile = "/tmp/ZaZuza.Mutex." + name + ".key";
    const int hKey = open(keyFile.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    ASSERT_NE(-1, hKey);
    close(hKey);
    const int semId = semget(ftok(keyFile.c_str(), 1), 2, IPC_CREAT | IPC_EXCL | 0666);
    ASSERT_NE(-1, semId);
    const int kMax = 32767;
    union {
        int val;
        semid_ds* buf;
        unsigned short* array;
    } value;
    value.val = kMax;
    ASSERT_EQ(0, semctl(semId, 1, SETVAL, value));
    sembuf take = {1, static_cast<short>(-kMax), SEM_UNDO};
    ASSERT_EQ(0, semop(semId, &take, 1));
    sembuf refill = {1, static_cast<short>(kMax), 0};
    ASSERT_EQ(0, semop(semId, &refill, 1));

    const auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = openDescriptors();
    XN_MUTEX_HANDLE m = nullptr;
    EXPECT_EQ(XN_STATUS_OS_MUTEX_CREATION_FAILED, xnOSCreateNamedMutex(&m, name.c_str()));
    EXPECT_EQ(nullptr, m);
    EXPECT_EQ(before, openDescriptors());
    semctl(semId, 0, IPC_RMID);
    unlink(keyFile.c_str());
}

TEST(XnOSMutex, NamedMutexNameTooLong) {
    XN_MUTEX_HANDLE m = nullptr;
    EXPECT_EQ(XN_STATUS_OS_MUTEX_CREATION_FAILED, xnOSCreateNamedMutex(&m, std::string(256, 'n').c_str()));
    EXPECT_EQ(nullptr, m);
}

TEST(XnCriticalSection, AutoLockerUnlocksOnce) {
    xnl::CriticalSection cs;
    {
        xnl::AutoCSLocker outer(cs);
        {
            xnl::AutoCSLocker inner(cs);  // recursive
            inner.Unlock();
        }  // no second leave
        XnStatus fromOther = 0;
        std::thread other([&] { fromOther = xnOSLockMutex(cs.GetHandle(), 0); });
        other.join();
        EXPECT_EQ(XN_STATUS_OS_MUTEX_TIMEOUT, fromOther);
    }
    XnStatus fromOther = 1;
    std::thread other([&] {
        fromOther = xnOSLockMutex(cs.GetHandle(), 0);
        xnOSUnLockMutex(cs.GetHandle());
    });
    other.join();
    EXPECT_EQ(XN_STATUS_OK, fromOther);
}

TEST(XnCriticalSection, GuardsACounterAcrossThreads) {
    xnl::CriticalSection cs;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                xnl::AutoCSLocker lock(cs);
                ++counter;
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(40000, counter);
}

TEST(XnOSProcess, IdAndDetachedStart) {
    XnUInt32 id = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSGetCurrentProcessID(&id));
    EXPECT_EQ((XnUInt32)getpid(), id);
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSGetCurrentProcessID(nullptr));

    const XnChar* args[] = {"-c", "exit 0"};
    id = 7;
    EXPECT_EQ(XN_STATUS_OK, xnOSCreateProcess("/bin/sh", 2, args, &id));
    EXPECT_EQ(0u, id);
    const XnChar* many[99] = {};
    EXPECT_EQ(XN_STATUS_OS_PROCESS_CREATION_FAILED, xnOSCreateProcess("/bin/true", 99, many, &id));
}

}  // namespace
