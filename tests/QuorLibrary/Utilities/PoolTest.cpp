#include "QuorLibrary/Utilities/Pool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Operations: a letter pushes that value, '-' followed by a digit deletes
// that element, '*' clears.
std::vector<std::string> RunPoolOps(int capacity, const std::string& ops, int& size) {
    Pool<std::string> pool(capacity);
    for (size_t i = 0; i < ops.size(); ++i) {
        if (ops[i] == '-') {
            const int index = ops[++i] - '0';
            pool.Delete(&pool[index]);
        } else if (ops[i] == '*') {
            pool.Clear();
        } else {
            pool.Push(std::string(1, ops[i]));
        }
    }
    size = pool.Size();
    std::vector<std::string> inUse;
    for (int i = 0; i < pool.Size(); ++i) {
        inUse.push_back(pool[i]);
    }
    return inUse;
}

TEST(PoolTest, OperationTable) {
    struct Case {
        int capacity;
        std::string ops;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {2, "AB", {"A", "B"}},
        {2, "ABC", {"A", "B"}},            // full: the value is dropped
        {3, "ABC-0", {"C", "B"}},          // the last element fills the gap
        {3, "ABC-2", {"A", "B"}},          // deleting the last
        {3, "ABC-1-0", {"C"}},
        {3, "ABC-0-0-0", {}},
        {3, "ABC*DE", {"D", "E"}},
        {3, "ABC-1D", {"A", "C", "D"}},
        {0, "AB", {}},
    };
    for (const Case& c : cases) {
        int size = -1;
        EXPECT_EQ(c.expected, RunPoolOps(c.capacity, c.ops, size)) << c.capacity << " " << c.ops;
        EXPECT_EQ(static_cast<int>(c.expected.size()), size);
    }
}

TEST(PoolTest, PushSlotIsNullWhenFullAndKeepsOldObjects) {
    Pool<int> pool(2);
    int* a = pool.Push();
    int* b = pool.Push();
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    *a = 5;
    *b = 6;
    EXPECT_EQ(nullptr, pool.Push());
    EXPECT_EQ(2, pool.Size());

    pool.Clear();
    EXPECT_EQ(0, pool.Size());
    int* again = pool.Push();
    EXPECT_EQ(a, again);
    EXPECT_EQ(5, *again);
}

// A pointer that is not an element in use must not drive the size negative
// or write outside the pool.
TEST(PoolTest, DeleteOfElementNotInUseChangesNothing) {
    Pool<int> pool(3);
    pool.Delete(&pool[0]);
    EXPECT_EQ(0, pool.Size());
    pool.Push(1);
    pool.Push(2);
    pool.Delete(&pool[2]);  // constructed but not in use
    int outside = 9;
    pool.Delete(&outside);
    pool.Delete(nullptr);
    EXPECT_EQ(2, pool.Size());
    EXPECT_EQ(1, pool[0]);
    EXPECT_EQ(2, pool[1]);
    EXPECT_EQ(9, outside);
}

struct Counted {
    static int s_nConstructed;
    static int s_nDestroyed;
    Counted() { ++s_nConstructed; }
    Counted(const Counted&) { ++s_nConstructed; }
    Counted& operator=(const Counted&) = default;
    ~Counted() { ++s_nDestroyed; }
};
int Counted::s_nConstructed = 0;
int Counted::s_nDestroyed = 0;

TEST(PoolTest, ObjectsAreBuiltOnceAndDestroyedOnce) {
    {
        CapacityTemplatedPool<Counted, 10> pool;
        EXPECT_EQ(10, pool.Capacity());
        EXPECT_EQ(10, Counted::s_nConstructed);
        const Counted value;
        for (int i = 0; i < 12; ++i) {
            pool.Push(value);
        }
        pool.Delete(&pool[3]);
        pool.Clear();
        pool.Push();
        EXPECT_EQ(11, Counted::s_nConstructed);
        EXPECT_EQ(0, Counted::s_nDestroyed);
        pool.Deallocate();
        EXPECT_EQ(10, Counted::s_nDestroyed);
        EXPECT_EQ(0, pool.Capacity());
        EXPECT_EQ(nullptr, pool.Push());
    }
    EXPECT_EQ(11, Counted::s_nDestroyed);

    CapacityTemplatedPool<int*, 10> pointers;
    EXPECT_EQ(10, pointers.Capacity());
    EXPECT_EQ(0, pointers.Size());
}

}  // namespace
