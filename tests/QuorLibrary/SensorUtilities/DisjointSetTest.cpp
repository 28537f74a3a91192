#include "QuorLibrary/SensorUtilities/DisjointSet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

void SetParents(DisjointSet& set, const std::vector<XnUInt16>& parents) {
    ASSERT_TRUE(set.SetCapacity(static_cast<XnUInt32>(parents.size())));
    for (size_t i = 0; i < parents.size(); ++i) {
        set.Parent()[i] = parents[i];
    }
    set.Count() = static_cast<XnUInt32>(parents.size());
}

std::vector<XnUInt16> Parents(const DisjointSet& set, size_t n) {
    return std::vector<XnUInt16>(set.Parent(), set.Parent() + n);
}

TEST(DisjointSetTest, NewSetIsEmpty) {
    const DisjointSet set;
    EXPECT_EQ(0u, set.Capacity());
    EXPECT_EQ(0u, set.Count());
    EXPECT_EQ(nullptr, set.Parent());
    EXPECT_FALSE(set.HasBackup());
}

TEST(DisjointSetTest, CompactNumbersSetsInOrderOfTheirRoots) {
    DisjointSet set;
    SetParents(set, {0, 1, 1, 3, 3, 4});
    EXPECT_EQ(3, set.Compact(6, false));
    EXPECT_EQ((std::vector<XnUInt16>{0, 1, 1, 2, 2, 2}), Parents(set, 6));
    EXPECT_EQ(6, set.CompactedCount());
}

TEST(DisjointSetTest, CompactLooksOnlyAtTheFirstNLabels) {
    DisjointSet set;
    SetParents(set, {0, 0, 2, 2, 4});
    EXPECT_EQ(2, set.Compact(3, false));
    EXPECT_EQ((std::vector<XnUInt16>{0, 0, 1, 2, 4}), Parents(set, 5));
}

TEST(DisjointSetTest, CompactOfNothingMakesTheBackupAndUnCompactThenDoesNothing) {
    DisjointSet set;
    SetParents(set, {0, 0, 1});
    EXPECT_EQ(0, set.Compact(0, true));
    EXPECT_TRUE(set.HasBackup());
    EXPECT_EQ(0, set.CompactedCount());
    set.UnCompact();
    EXPECT_EQ((std::vector<XnUInt16>{0, 0, 1}), Parents(set, 3));

    // Even an empty set can hold a backup.
    DisjointSet empty;
    EXPECT_EQ(0, empty.Compact(0, true));
    EXPECT_TRUE(empty.HasBackup());
}

TEST(DisjointSetTest, UnCompactRestoresTheParentsExactly) {
    DisjointSet set;
    const std::vector<XnUInt16> parents = {0, 1, 0, 3, 1, 3, 6, 2};
    SetParents(set, parents);
    EXPECT_EQ(4, set.Compact(8, true));
    EXPECT_NE(parents, Parents(set, 8));
    set.UnCompact();
    EXPECT_EQ(parents, Parents(set, 8));

    // Without a backup there is nothing to restore.
    DisjointSet plain;
    SetParents(plain, parents);
    plain.Compact(8, false);
    const std::vector<XnUInt16> compacted = Parents(plain, 8);
    plain.UnCompact();
    EXPECT_EQ(compacted, Parents(plain, 8));
}

TEST(DisjointSetTest, SetCapacityKeepsOrReplacesTheArray) {
    DisjointSet set;
    SetParents(set, {0, 1, 1, 3});
    const XnUInt16* before = set.Parent();
    EXPECT_TRUE(set.SetCapacity(4));
    EXPECT_TRUE(set.SetCapacity(2));
    EXPECT_EQ(before, set.Parent());
    EXPECT_EQ(4u, set.Capacity());
    EXPECT_EQ((std::vector<XnUInt16>{0, 1, 1, 3}), Parents(set, 4));

    EXPECT_TRUE(set.SetCapacity(100));
    EXPECT_EQ(100u, set.Capacity());
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(set.Parent()) % 16);
}

// The backup was made for 4 entries; a compaction of 3000 after the
// capacity grew must fit it (ASan catches a write past its end).
TEST(DisjointSetTest, BackupGrowsWithTheCapacityAndKeepsWhatItSaved) {
    DisjointSet set;
    SetParents(set, {0, 0, 2, 2});
    set.Compact(4, true);
    ASSERT_TRUE(set.SetCapacity(3000));
    // The saved entries survive the growth.
    set.UnCompact();
    EXPECT_EQ((std::vector<XnUInt16>{0, 0, 2, 2}), Parents(set, 4));

    std::vector<XnUInt16> parents(3000);
    for (size_t i = 0; i < parents.size(); ++i) {
        parents[i] = static_cast<XnUInt16>(i % 7 == 0 ? i : i - 1);
    }
    for (size_t i = 0; i < parents.size(); ++i) {
        set.Parent()[i] = parents[i];
    }
    EXPECT_EQ(429, set.Compact(3000, true));
    set.UnCompact();
    EXPECT_EQ(parents, Parents(set, 3000));
}

TEST(DisjointSetTest, CompactBeyondTheCapacityStopsAtIt) {
    DisjointSet set;
    SetParents(set, {0, 1, 1});
    EXPECT_EQ(2, set.Compact(50, true));
    EXPECT_EQ(3, set.CompactedCount());
    EXPECT_EQ((std::vector<XnUInt16>{0, 1, 1}), Parents(set, 3));
}

TEST(DisjointSetTest, GetCompactedMapLeavesTheParentsAndDiffersFromCompactOnItsOwnCases) {
    struct Case {
        std::vector<XnUInt16> parents;
        std::vector<XnInt32> map;
        XnInt32 sets;
        XnInt32 compactSets;
    };
    const Case cases[] = {
        {{0, 1, 1, 3}, {0, 1, 1, 2}, 3, 3},
        // Label 0 is its own set whatever its parent, and a parent above the
        // label maps it to 0; Compact counts that label as a root instead.
        {{0, 2, 2}, {0, 0, 1}, 2, 3},
        {{0}, {0}, 1, 1},
    };
    for (const Case& c : cases) {
        DisjointSet set;
        SetParents(set, c.parents);
        std::vector<XnInt32> map(1, 77);
        EXPECT_EQ(c.sets, set.GetCompactedMap(map));
        EXPECT_EQ(c.map, map);
        EXPECT_EQ(c.parents, Parents(set, c.parents.size()));
        EXPECT_EQ(c.compactSets, set.Compact(static_cast<XnUInt16>(c.parents.size()), false));
    }

    DisjointSet set;
    std::vector<XnInt32> map;
    EXPECT_EQ(1, set.GetCompactedMap(0, map));
    EXPECT_TRUE(map.empty());
}

TEST(DisjointSetTest, UnionPointsBothChainsAtTheSmallerRoot) {
    DisjointSet set;
    // Two chains: 5 -> 3 -> 1 and 6 -> 4 -> 2.
    SetParents(set, {0, 1, 2, 1, 2, 3, 4});
    set.Union(6, 5);
    EXPECT_EQ((std::vector<XnUInt16>{0, 1, 1, 1, 1, 1, 1}), Parents(set, 7));
    EXPECT_EQ(1, set.Find(6));

    // Merging a label with itself compresses its chain only.
    SetParents(set, {0, 1, 1, 2, 3});
    set.Union(4, 4);
    EXPECT_EQ((std::vector<XnUInt16>{0, 1, 1, 1, 1}), Parents(set, 5));
}

}  // namespace
