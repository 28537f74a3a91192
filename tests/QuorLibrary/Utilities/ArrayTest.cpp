#include "QuorLibrary/Utilities/Array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "QuorLibrary/Math/Vector3D.h"

namespace {

bool IsAligned16(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

// Counts constructions and destructions, to check that growth and release
// handle every object of the block.
struct Tracked {
    static int s_nLive;
    int value = -1;
    Tracked() { ++s_nLive; }
    Tracked(const Tracked& other) : value(other.value) { ++s_nLive; }
    Tracked& operator=(const Tracked&) = default;
    ~Tracked() { --s_nLive; }
};
int Tracked::s_nLive = 0;

TEST(ArrayTest, GrowthCapacitiesFromEmpty) {
    Array<int> a;
    EXPECT_EQ(nullptr, a.Data());
    EXPECT_EQ(0, a.Capacity());
    EXPECT_TRUE(a.OwnsMemory());
    EXPECT_FALSE(a.IsAllocated());

    const int expected[] = {3, 7, 12, 19, 28, 40, 56, 78};
    std::vector<int> capacities;
    for (int i = 0; i < 78; ++i) {
        a.Push(i * 10);
        if (capacities.empty() || capacities.back() != a.Capacity()) {
            capacities.push_back(a.Capacity());
        }
        ASSERT_TRUE(IsAligned16(a.Data()));
    }
    EXPECT_EQ(std::vector<int>(std::begin(expected), std::end(expected)), capacities);
    ASSERT_EQ(78, a.Size());
    for (int i = 0; i < 78; ++i) {
        ASSERT_EQ(i * 10, a[i]);
    }
    EXPECT_TRUE(a.IsAllocated());
}

TEST(ArrayTest, PushSlotKeepsOldObjectAfterClear) {
    Array<int> a;
    a.Push() = 11;
    EXPECT_EQ(3, a.Capacity());
    EXPECT_EQ(1, a.Size());
    a.Push() = 12;
    a.Push() = 13;
    a.Push() = 14;
    EXPECT_EQ(7, a.Capacity());
    EXPECT_EQ(11, a[0]);
    EXPECT_EQ(12, a[1]);
    EXPECT_EQ(13, a[2]);

    const int* storage = a.Data();
    a.Clear();
    EXPECT_EQ(0, a.Size());
    EXPECT_EQ(7, a.Capacity());
    EXPECT_EQ(11, a.Push());
    EXPECT_EQ(storage, a.Data());
}

TEST(ArrayTest, EnsureCapacityNeverShrinksAndMayDropContents) {
    Array<Vector3D<float>> a;
    a.EnsureCapacity(8);
    for (int i = 0; i < 3; ++i) {
        a.Push(Vector3D<float>(1.0f + i, 2, 3));
    }
    const Vector3D<float>* storage = a.Data();
    a.EnsureCapacity(5, false);
    EXPECT_EQ(storage, a.Data());
    EXPECT_EQ(8, a.Capacity());
    EXPECT_EQ(Vector3D<float>(1, 2, 3), a[0]);

    Array<Vector3D<float>> b;
    b.EnsureCapacity(4);
    for (int i = 0; i < 3; ++i) {
        b.Push(Vector3D<float>(5, 6, 7));
    }
    b.EnsureCapacity(10, false);
    EXPECT_EQ(10, b.Capacity());
    EXPECT_EQ(3, b.Size());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Vector3D<float>(0, 0, 0), b[i]);
    }

    b.EnsureCapacity(12, true);
    b[0] = Vector3D<float>(1, 1, 1);
    b.EnsureCapacity(20, true);
    EXPECT_EQ(Vector3D<float>(1, 1, 1), b[0]);
}

TEST(ArrayTest, CopyAndAssignment) {
    Array<int> source;
    for (int i = 0; i < 5; ++i) {
        source.Push(i);
    }
    const Array<int> copy(source);
    EXPECT_EQ(5, copy.Capacity());
    EXPECT_EQ(5, copy.Size());
    EXPECT_NE(source.Data(), copy.Data());
    EXPECT_EQ(4, copy[4]);

    Array<int> empty;
    Array<int> target(source);
    const int* storage = target.Data();
    target = empty;
    EXPECT_EQ(0, target.Size());
    EXPECT_EQ(storage, target.Data());
    EXPECT_EQ(5, target.Capacity());

    target = source;
    EXPECT_EQ(storage, target.Data());
    EXPECT_EQ(5, target.Size());
    target = target;
    EXPECT_EQ(3, target[3]);

    const Array<int> none(empty);
    EXPECT_EQ(nullptr, none.Data());
    EXPECT_FALSE(none.IsAllocated());
}

// Nested arrays own memory: growth must deep-copy them, and release must run
// every destructor of the block, the slots beyond size included.
TEST(ArrayTest, ElementsThatOwnMemory) {
    {
        Array<Array<int>> nested;
        for (int i = 0; i < 20; ++i) {
            nested.Push().Push(i);
        }
        for (int i = 0; i < 20; ++i) {
            ASSERT_EQ(1, nested[i].Size());
            ASSERT_EQ(i, nested[i][0]);
        }
        Array<std::string> names;
        names.Push(std::string(100, 'x'));
        names.Push("second");
        names.Deallocate();
        EXPECT_EQ(nullptr, names.Data());
        EXPECT_EQ(0, names.Capacity());
        EXPECT_TRUE(names.OwnsMemory());
    }

    {
        Array<Tracked> tracked;
        tracked.EnsureCapacity(5);
        EXPECT_EQ(5, Tracked::s_nLive);
        Tracked t;
        t.value = 7;
        tracked.Push(t);
        tracked.EnsureCapacity(9);
        EXPECT_EQ(10, Tracked::s_nLive);
        EXPECT_EQ(7, tracked[0].value);
    }
    EXPECT_EQ(0, Tracked::s_nLive);
}

// Pushing one of the array's own elements while it grows: the value must be
// read before the old block is released.
TEST(ArrayTest, PushOfOwnElementWhileGrowing) {
    Array<std::string> a;
    a.Push(std::string("first element, long enough to live on the heap"));
    a.Push("b");
    a.Push("c");
    ASSERT_EQ(a.Size(), a.Capacity());
    a.Push(a[0]);
    EXPECT_EQ(a[0], a[3]);
}

TEST(ArrayTest, BorrowedBlockIsNeverReleased) {
    int block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Array<int> a;
    a.Push(99);
    a.Borrow(block, 8, 4);
    EXPECT_FALSE(a.OwnsMemory());
    EXPECT_EQ(3, a[2]);

    // Growing gives the array an owned block with the contents copied.
    a.EnsureCapacity(16);
    EXPECT_TRUE(a.OwnsMemory());
    EXPECT_NE(block, a.Data());
    EXPECT_EQ(4, a.Size());
    EXPECT_EQ(4, a[3]);
    a[0] = 100;
    EXPECT_EQ(1, block[0]);

    Array<int> b;
    b.Borrow(block, 8, 8);
    b.Deallocate();
    EXPECT_EQ(nullptr, b.Data());
    EXPECT_TRUE(b.OwnsMemory());
    EXPECT_EQ(8, block[7]);
}

TEST(ArrayTest, PushFastWithinReservedRoom) {
    Array<short> a;
    a.EnsureCapacity(4);
    for (short i = 0; i < 4; ++i) {
        a.push_back_fast(i);
    }
    EXPECT_EQ(4, a.Size());
    EXPECT_EQ(3, a[3]);
}

TEST(ArrayTest, BlocksAreAlignedForEveryElementSize) {
    Array<char> c;
    Array<double> d;
    Array<Vector3D<int>> v;
    for (int n = 1; n < 40; n += 3) {
        c.EnsureCapacity(n);
        d.EnsureCapacity(n);
        v.EnsureCapacity(n);
        EXPECT_TRUE(IsAligned16(c.Data()));
        EXPECT_TRUE(IsAligned16(d.Data()));
        EXPECT_TRUE(IsAligned16(v.Data()));
    }
}

struct Huge {
    char bytes[1 << 30];
};

// A block the allocator cannot give must stop the process with a clear
// message, never be written through as a null pointer.
TEST(ArrayDeathTest, FailedAllocationIsFatal) {
    // Under AddressSanitizer the child must see a null result, not a report:
    // it is started afresh so that it reads these options.
    setenv("ASAN_OPTIONS", "allocator_may_return_null=1", 1);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Array<Huge> a;
            a.EnsureCapacity(1 << 20);
        },
        ::testing::ExitedWithCode(1), "FATAL ERROR: aligned allocation of 1048576 elements of 1073741824 bytes failed");
}

}  // namespace
