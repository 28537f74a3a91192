#include "FullBodySkeleton/FeatureExtractor/ICPType.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

TEST(ICPTypeTest, ValuesNamesAndStorage) {
    struct Case {
        ICPType type;
        int32_t value;
        const char* name;
    };
    const Case cases[] = {
        {ICPType::FULL_TRANSFORMATION, 0, "FULL_TRANSFORMATION"},
        {ICPType::FULL_ROTATION, 1, "FULL_ROTATION"},
        {ICPType::BEND_ONLY, 2, "BEND_ONLY"},
        {ICPType::TWIST_ONLY, 3, "TWIST_ONLY"},
        {ICPType::FREE_TWIST, 4, "FREE_TWIST"},
        {ICPType::FREE_BEND, 5, "FREE_BEND"},
        {ICPType::INVALID, 6, "INVALID"},
    };
    ASSERT_EQ(std::size(strICPType), std::size(cases));
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<int32_t>(c.type), c.value);
        EXPECT_EQ(ToString(c.type), c.name);
        EXPECT_STREQ(strICPType[c.value], c.name);
    }
    // Snapshots store enumerations as four bytes.
    EXPECT_EQ(sizeof(ICPType), 4u);
}

TEST(ICPTypeTest, ValuesOutsideTheTableAreNotReadPastIt) {
    EXPECT_EQ(ToString(static_cast<ICPType>(7)), "INVALID_ENUM");
    EXPECT_EQ(ToString(static_cast<ICPType>(-1)), "INVALID_ENUM");
}

}  // namespace
