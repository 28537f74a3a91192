#include "NACommon/Pyramid.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "NACommon/NACommonData.h"

namespace {

// A depth and a shift pyramid prepared at QVGA on a hub (which only lends
// its reductions), as the hub prepares its history slots.
class PyramidTest : public ::testing::Test {
protected:
    template <typename P>
    void Prepare(P& pyramid) {
        pyramid.m_pOwner = &m_hub;
        pyramid.m_inputResolution = QVGA;
        pyramid.ResetMapExist();
        pyramid.InitializeInputLevel();
        pyramid.m_bFilled[QVGA] = true;
    }

    NACommonData m_hub;
    DepthPyramid m_depth;
    ShiftPyramid m_shift;
};

TEST_F(PyramidTest, APreparedPyramidReadsAsAZeroMapAtEveryCoarserLevel) {
    // Garbage in a level's buffer from an earlier use must not show.
    ASSERT_EQ(XN_STATUS_OK, m_depth.m_levels[QVGA].AllocateData(320, 240));
    std::fill(m_depth.m_levels[QVGA].WritableData(), m_depth.m_levels[QVGA].WritableData() + 320 * 240, 77);
    Prepare(m_depth);
    Prepare(m_shift);
    for (Resolution r : {QVGA, QQVGA, QQQQVGA}) {
        const xn::DepthMetaData& level = m_depth[r];
        ASSERT_EQ(g_nXRes[r], level.XRes());
        ASSERT_EQ(g_nYRes[r], level.YRes());
        EXPECT_TRUE(std::all_of(level.Data(), level.Data() + level.XRes() * level.YRes(), [](unsigned short v) { return v == 0; }));
        const Array2D<unsigned short>& shifts = m_shift[r];
        ASSERT_EQ(g_nXRes[r], shifts.Columns());
        EXPECT_TRUE(std::all_of(shifts.Data(), shifts.Data() + shifts.Size(), [](unsigned short v) { return v == 0; }));
    }
}

TEST_F(PyramidTest, ALevelIsMadeOncePerFrame) {
    Prepare(m_shift);
    Array2D<unsigned short>& input = m_shift.m_levels[QVGA];
    std::fill(input.Data(), input.Data() + input.Size(), 1000);
    EXPECT_EQ(1000, m_shift[QQVGA](5, 5));
    std::fill(input.Data(), input.Data() + input.Size(), 2000);
    EXPECT_EQ(1000, m_shift[QQVGA](5, 5));
    // The coarsest level comes from the nearest filled finer one.
    EXPECT_EQ(1000, m_shift[QQQQVGA](1, 1));
    // The next frame: flags cleared, input marked.
    m_shift.ResetMapExist();
    m_shift.m_bFilled[QVGA] = true;
    EXPECT_EQ(2000, m_shift[QQVGA](5, 5));
}

TEST_F(PyramidTest, BrokenInvariantsEndTheProcessWithStatusOne) {
    EXPECT_EXIT(m_depth[QVGA], ::testing::ExitedWithCode(1), "Pyramid is not up to date.");
    Prepare(m_depth);
    m_depth.m_bFilled[QVGA] = false;
    EXPECT_EXIT(m_depth[QQVGA], ::testing::ExitedWithCode(1), "Pyramid is not up to date.");
    m_depth.m_bFilled[QVGA] = true;
    EXPECT_EXIT(m_depth[VGA], ::testing::ExitedWithCode(1), "Can't give upscaled resolution");
    EXPECT_EXIT(m_depth[INVALID], ::testing::ExitedWithCode(1), "Unsupported resolution requested");
}

}  // namespace
