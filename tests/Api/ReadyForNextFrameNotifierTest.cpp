// The application's ready-for-next-frame callback, registered on one thread
// and called on another.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "Api/ReadyForNextFrameNotifier.h"

namespace {

struct Calls {
    std::atomic<int> count{0};
};

void Count(void* cookie) { ++static_cast<Calls*>(cookie)->count; }

TEST(ReadyForNextFrameNotifierTest, CallsTheRecordsFirstEntryWithTheCookieWhileRegistered) {
    ReadyForNextFrameNotifier notifier;
    notifier.Notify();  // nothing registered

    Calls first, second;
    VelaUserTrackerCallbacks record = {&Count};
    notifier.Register(&record.readyForNextFrame, &first);
    notifier.Notify();
    notifier.Notify();
    EXPECT_EQ(2, first.count);

    // A new registration replaces the old pair.
    notifier.Register(&record.readyForNextFrame, &second);
    notifier.Notify();
    EXPECT_EQ(2, first.count);
    EXPECT_EQ(1, second.count);

    // The entry is read at each call, and a null entry or record calls nothing.
    record.readyForNextFrame = nullptr;
    notifier.Notify();
    notifier.Register(nullptr, &second);
    notifier.Notify();
    EXPECT_EQ(1, second.count);

    record.readyForNextFrame = &Count;
    notifier.Register(&record.readyForNextFrame, &second);
    notifier.Unregister();
    notifier.Notify();
    EXPECT_EQ(1, second.count);
}

// The callback record may be freed as soon as unregistration returns, so a
// call already running on another thread must have finished by then.
TEST(ReadyForNextFrameNotifierTest, UnregisterWaitsForACallRunningOnAnotherThread) {
    struct Blocking {
        std::promise<void> entered;
        std::promise<void> release;
        std::atomic<bool> finished{false};
    } blocking;
    VelaHandTrackerCallbacks record = {[](void* cookie) {
        Blocking* pBlocking = static_cast<Blocking*>(cookie);
        pBlocking->entered.set_value();
        pBlocking->release.get_future().wait();
        pBlocking->finished = true;
    }};
    ReadyForNextFrameNotifier notifier;
    notifier.Register(&record.readyForNextFrame, &blocking);
    std::thread streamThread([&] { notifier.Notify(); });
    blocking.entered.get_future().wait();

    std::atomic<bool> unregistered{false};
    std::thread appThread([&] {
        notifier.Unregister();
        unregistered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(unregistered);
    blocking.release.set_value();
    appThread.join();
    EXPECT_TRUE(blocking.finished);
    EXPECT_TRUE(unregistered);
    streamThread.join();
}

TEST(ReadyForNextFrameNotifierTest, ACallbackMayUnregisterItself) {
    struct Self {
        ReadyForNextFrameNotifier notifier;
        int count = 0;
    } self;
    VelaUserTrackerCallbacks record = {[](void* cookie) {
        Self* pSelf = static_cast<Self*>(cookie);
        ++pSelf->count;
        pSelf->notifier.Unregister();
    }};
    self.notifier.Register(&record.readyForNextFrame, &self);
    std::thread streamThread([&] {
        self.notifier.Notify();
        self.notifier.Notify();
    });
    streamThread.join();
    EXPECT_EQ(1, self.count);
}

}  // namespace
