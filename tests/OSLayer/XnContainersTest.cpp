#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OSLayer/XnArray.h"
#include "OSLayer/XnHash.h"
#include "OSLayer/XnList.h"

namespace {

template <class THash>
std::vector<typename THash::TPair> Entries(THash& hash) {
    std::vector<typename THash::TPair> out;
    for (typename THash::Iterator it = hash.Begin(); it != hash.End(); ++it) {
        out.push_back(*it);
    }
    return out;
}

TEST(XnHash, IndexingInsertsAZeroValueOnce) {
    xnl::Hash<XnInt16, int> hash;
    EXPECT_EQ(0, hash[5]);
    hash[5] = 7;
    EXPECT_EQ(7, hash[5]);
    EXPECT_EQ(1u, hash.Size());
    xnl::Hash<XnInt16, void*> pointers;
    EXPECT_EQ(nullptr, pointers[3]);
}

TEST(XnHash, IterationFollowsBucketsThenInsertionOrder) {
    xnl::Hash<XnInt16, int> hash;
    EXPECT_TRUE(hash.Begin() == hash.End());
    hash.Set(-1, 1);    // bucket 255
    hash.Set(257, 2);   // bucket 1
    hash.Set(254, 3);   // bucket 254
    hash.Set(1, 4);     // bucket 1, after 257
    hash.Set(257, 5);   // replaced in place
    std::vector<std::pair<int, int>> seen;
    for (auto& pair : Entries(hash)) {
        seen.emplace_back(pair.key, pair.value);
    }
    std::vector<std::pair<int, int>> expected = {{257, 5}, {1, 4}, {254, 3}, {-1, 1}};
    EXPECT_EQ(expected, seen);
}

TEST(XnHash, OneEntryThenEndAndRemoval) {
    xnl::Hash<XnInt16, int> hash;
    hash.Set(200, 9);
    auto it = hash.Begin();
    ASSERT_TRUE(it != hash.End());
    EXPECT_EQ(200, it->key);
    ++it;
    EXPECT_TRUE(it == hash.End());
    EXPECT_EQ(XN_STATUS_OK, hash.Remove(hash.Find(200)));
    EXPECT_TRUE(hash.Find(200) == hash.End());
    // The emptied lowest bucket is skipped.
    EXPECT_TRUE(hash.Begin() == hash.End());
    hash.Set(201, 1);
    EXPECT_EQ(201, hash.Begin()->key);
    EXPECT_NE(XN_STATUS_OK, hash.Remove(hash.End()));
}

TEST(XnHash, PointerKeysAndStringTables) {
    int a = 0, b = 0;
    xnl::Hash<int*, int> byAddress;
    byAddress.Set(&a, 1);
    byAddress.Set(&b, 2);
    EXPECT_EQ(1, byAddress.Find(&a)->value);
    EXPECT_EQ(2, byAddress.Find(&b)->value);

    xnl::StringsHash<int> strings;
    std::string key = "Mask";
    strings.Set(key.c_str(), 3);
    key[0] = 'X';  // the table keeps its own copy
    ASSERT_TRUE(strings.Find("Mask") != strings.End());
    EXPECT_EQ(3, strings.Find("Mask")->value);
    EXPECT_TRUE(strings.Find("mask") == strings.End());
    strings.Set("Mask", 4);
    EXPECT_EQ(1u, strings.Size());
    EXPECT_EQ(4, strings.Find("Mask")->value);
}

TEST(XnList, AddRemoveAndPointerValues) {
    int* owned = new int(5);
    {
        xnl::List<int*> list;
        EXPECT_TRUE(list.IsEmpty());
        EXPECT_TRUE(list.Begin() == list.End());
        list.AddLast(owned);
        list.AddLast(nullptr);
        list.AddFirst(owned);
        EXPECT_EQ(3u, list.Size());
        EXPECT_EQ(XN_STATUS_OK, list.Remove(list.Find(nullptr)));
        EXPECT_NE(XN_STATUS_OK, list.Remove(list.End()));
        std::vector<int*> seen;
        for (int* p : list) {
            seen.push_back(p);
        }
        EXPECT_EQ((std::vector<int*>{owned, owned}), seen);
    }
    // Destroying the list released its nodes only.
    EXPECT_EQ(5, *owned);
    delete owned;
}

TEST(XnArray, GrowsToThePowerOfTwoAboveItsSize) {
    xnl::Array<int> array(8);
    for (int i = 0; i < 8; ++i) {
        array.AddLast(i);
    }
    EXPECT_EQ(8u, array.GetCapacity());
    array.AddLast(8);
    EXPECT_EQ(16u, array.GetCapacity());
    for (int i = 9; i < 17; ++i) {
        array.AddLast(i);
    }
    EXPECT_EQ(32u, array.GetCapacity());
    for (int i = 0; i < 17; ++i) {
        ASSERT_EQ(i, array[i]);
    }
    xnl::Array<int> empty;
    empty.AddLast(1);
    EXPECT_EQ(1u, empty.GetCapacity());
}

}  // namespace
