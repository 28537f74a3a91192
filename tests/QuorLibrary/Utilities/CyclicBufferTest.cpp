#include "QuorLibrary/Utilities/CyclicBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

template <int N>
void CheckPushes(int pushes, int expectedCount, int expectedCurrent) {
    SCOPED_TRACE("N = " + std::to_string(N) + ", pushes = " + std::to_string(pushes));
    CyclicBuffer<int, N> ring;
    for (int v = 1; v <= pushes; ++v) {
        ring.Push(v);
    }
    EXPECT_EQ(expectedCount, ring.Count());
    EXPECT_EQ(expectedCurrent, ring.CurrentIndex());
    EXPECT_EQ(N, ring.Capacity());
    if (pushes == 0) {
        return;
    }
    EXPECT_EQ(pushes, ring.GetCurrent());
    for (int k = 0; k < ring.Count(); ++k) {
        EXPECT_EQ(pushes - k, ring.GetPrevious(k)) << "k = " << k;
    }
    EXPECT_EQ(pushes - ring.Count() + 1, ring.GetOldest());
}

TEST(CyclicBufferTest, PushTable) {
    CheckPushes<3>(0, 0, 0);
    CheckPushes<3>(1, 1, 1);  // the first value lands in slot 1
    CheckPushes<3>(2, 2, 2);
    CheckPushes<3>(3, 3, 0);  // slot 0 takes the N-th value
    CheckPushes<3>(4, 3, 1);
    CheckPushes<3>(7, 3, 1);
    CheckPushes<1>(1, 1, 0);
    CheckPushes<1>(5, 1, 0);
    CheckPushes<4>(6, 4, 2);
    CheckPushes<100>(250, 100, 50);
}

TEST(CyclicBufferTest, ExampleWithThreeSlots) {
    CyclicBuffer<int, 3> ring;
    for (int v : {1, 2, 3, 4}) {
        ring.Push(v);
    }
    EXPECT_EQ(3, ring.Count());
    EXPECT_EQ(1, ring.CurrentIndex());
    EXPECT_EQ(4, ring.GetCurrent());
    EXPECT_EQ(3, ring.GetPrevious(1));
    EXPECT_EQ(2, ring.GetOldest());
}

TEST(CyclicBufferTest, PushSlotAndClearKeepObjects) {
    CyclicBuffer<std::string, 2> ring;
    ring.Push() = "first";
    ring.Push() = "second";
    EXPECT_EQ("first", ring.GetOldest());
    ring.Clear();
    EXPECT_EQ(0, ring.Count());
    EXPECT_EQ(0, ring.CurrentIndex());
    // The slot handed out next still holds its earlier value.
    EXPECT_EQ("first", ring.Push());
}

// Indices outside 0 <= k < count wrap around the ring instead of reading
// outside it.
TEST(CyclicBufferTest, OutOfRangeHistoryStaysInsideTheRing) {
    CyclicBuffer<int, 3> ring;
    ring.Push(1);
    ring.Push(2);
    EXPECT_EQ(ring.GetPrevious(0), ring.GetPrevious(3));
    EXPECT_EQ(ring.GetPrevious(2), ring.GetPrevious(-1));
    CyclicBuffer<int, 3> empty;
    (void)empty.GetOldest();
}

}  // namespace
