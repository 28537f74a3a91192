#include "QuorLibrary/Math/Grid3D.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

const Vector3D<int> kBad(-1, -1, -1);

Box3D<float> FloatBox(float x0, float y0, float z0, float x1, float y1, float z1) {
    return Box3D<float>(Vector3D<float>(x0, y0, z0), Vector3D<float>(x1, y1, z1));
}
Box3D<int> IntBox(int x0, int y0, int z0, int x1, int y1, int z1) {
    return Box3D<int>(Vector3D<int>(x0, y0, z0), Vector3D<int>(x1, y1, z1));
}

TEST(Grid3D, DefaultIsOneUnitCellWithoutMultipliers) {
    const Grid3D<float> f;
    EXPECT_EQ(Vector3D<int>(1, 1, 1), f.m_cellCount);
    EXPECT_EQ(Vector3D<float>(1, 1, 1), f.m_box.max);
    EXPECT_EQ(Vector3D<float>(1, 1, 1), f.m_cellSize);
    EXPECT_EQ(Vector3D<float>(1, 1, 1), f.m_invCellSize);
    EXPECT_EQ(Vector3D<int>(1024, 1024, 1024), f.m_invCellSizeShift10);
    EXPECT_EQ(Vector3D<int>(), f.m_multiplier);
    EXPECT_EQ(Vector3D<int>(), f.m_shift);

    const Grid3D<int> i;
    EXPECT_EQ(Vector3D<int>(1, 1, 1), i.m_cellSize);
    EXPECT_EQ(Vector3D<int>(1, 1, 1), i.m_invCellSize);
    EXPECT_EQ(Vector3D<int>(1024, 1024, 1024), i.m_invCellSizeShift10);
    // Zero multipliers: every point of the box lies in cell 0 until SetMAndM.
    EXPECT_EQ(Vector3D<int>(), i.m_multiplier);
    EXPECT_EQ(Vector3D<int>(), i.m_shift);
    EXPECT_EQ(Vector3D<int>(0, 0, 0), i.GetCellIfIntersectsInt(Vector3D<int>(1, 1, 1)));
}

TEST(Grid3D, FloatLookups) {
    const Grid3D<float> grid(10, 10, 10, FloatBox(0, 0, 0, 100, 100, 100));
    struct Case {
        Vector3D<float> p;
        Vector3D<int> cell;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {{5, 95, 100}, {0, 9, 9}},           // the maximum face belongs to the last cell
        {{0, 0, 0}, {0, 0, 0}},              // the minimum corner
        {{10, 19.99f, 20}, {1, 1, 2}},       // cell boundaries
        {{99.999f, 50, 0.001f}, {9, 5, 0}},  //
        {{100.1f, 0, 0}, kBad},              // beyond the maximum
        {{-0.1f, 0, 0}, kBad},               // below the minimum
        {{50, 50, -1e-6f}, kBad},            //
        {{nan, 50, 50}, kBad},               // not a number is outside
        {{50, 50, nan}, kBad},               //
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.cell, grid.GetCellIfIntersects(c.p)) << c.p;
    }
}

TEST(Grid3D, IntegerLookups) {
    Grid3D<int> grid(10, 10, 10, IntBox(0, 0, 0, 100, 100, 100));
    EXPECT_EQ(Vector3D<int>(10, 10, 10), grid.m_cellSize);
    EXPECT_EQ(Vector3D<int>(102, 102, 102), grid.m_invCellSizeShift10);
    EXPECT_EQ(Vector3D<int>(0, 0, 0), grid.m_invCellSize);  // the integer quotient 1 / 10
    EXPECT_EQ(Vector3D<int>(5, 0, 9), grid.GetCellIfIntersects(Vector3D<int>(55, 0, 99)));
    EXPECT_EQ(Vector3D<int>(9, 9, 9), grid.GetCellIfIntersects(Vector3D<int>(100, 100, 100)));
    EXPECT_EQ(kBad, grid.GetCellIfIntersects(Vector3D<int>(101, 0, 0)));
    EXPECT_EQ(kBad, grid.GetCellIfIntersects(Vector3D<int>(0, -1, 0)));

    ASSERT_TRUE(grid.SetMAndM(15));
    EXPECT_EQ(Vector3D<int>(3277, 3277, 3277), grid.m_multiplier);
    EXPECT_EQ(Vector3D<int>(15, 15, 15), grid.m_shift);
    EXPECT_EQ(Vector3D<int>(5, 0, 9), grid.GetCellIfIntersectsInt(Vector3D<int>(55, 0, 99)));
    EXPECT_EQ(Vector3D<int>(9, 9, 9), grid.GetCellIfIntersectsInt(Vector3D<int>(100, 100, 100)));
    EXPECT_EQ(kBad, grid.GetCellIfIntersectsInt(Vector3D<int>(-1, 0, 0)));
    EXPECT_EQ(kBad, grid.GetCellIfIntersectsInt(Vector3D<int>(0, 0, 101)));
    // GetCellInt clamps instead of rejecting, also far outside the box.
    EXPECT_EQ(Vector3D<int>(0, 9, 5), grid.GetCellInt(Vector3D<int>(-50, 500, 55)));
    EXPECT_EQ(Vector3D<int>(9, 0, 9), grid.GetCellInt(Vector3D<int>(INT_MAX, INT_MIN, 1000000)));
}

TEST(Grid3D, ShiftTenInverses) {
    struct Case {
        int count;
        float extent;
        float size;
        int shift10;
    };
    // 1024 / 0.333... + 0.5 is formed in float and floored: 3072.
    const Case floatCases[] = {{3, 1.0f, 1.0f / 3.0f, 3072}, {10, 100.0f, 10.0f, 102}, {4, 1.0f, 0.25f, 4096},
                               {7, 70.0f, 10.0f, 102}, {0, 10.0f, 0.0f, 0}};
    for (const Case& c : floatCases) {
        const Grid3D<float> grid(c.count, 1, 1, FloatBox(0, 0, 0, c.extent, 1, 1));
        EXPECT_EQ(c.size, grid.m_cellSize.x) << c.count << " " << c.extent;
        EXPECT_EQ(c.shift10, grid.m_invCellSizeShift10.x) << c.count << " " << c.extent;
    }
    // Integer grid: truncating divisions, the quotient 1024 / s itself.
    const Case intCases[] = {{3, 10, 3, 341}, {10, 100, 10, 102}, {3, 2, 0, 0}, {1, 1, 1, 1024}, {-2, 10, 0, 0}};
    for (const Case& c : intCases) {
        const Grid3D<int> grid(c.count, 1, 1, IntBox(0, 0, 0, static_cast<int>(c.extent), 1, 1));
        EXPECT_EQ(static_cast<int>(c.size), grid.m_cellSize.x) << c.count << " " << c.extent;
        EXPECT_EQ(c.shift10, grid.m_invCellSizeShift10.x) << c.count << " " << c.extent;
    }
}

TEST(Grid3D, DegenerateGridsAreSafe) {
    // A cell so small that 1024 / s leaves int saturates instead.
    const Grid3D<float> tiny(1, 1, 1, FloatBox(0, 0, 0, 1e-7f, 1, 1));
    EXPECT_EQ(INT_MAX, tiny.m_invCellSizeShift10.x);
    EXPECT_EQ(Vector3D<int>(0, 0, 0), tiny.GetCellIfIntersects(Vector3D<float>(0, 0.5f, 0.5f)));
    EXPECT_EQ(Vector3D<int>(0, 0, 0), tiny.GetCellIfIntersects(Vector3D<float>(1e-7f, 0.5f, 0.5f)));

    // A grid without cells on one axis holds no point.
    const Grid3D<float> noCells(0, 4, 4, FloatBox(0, 0, 0, 10, 10, 10));
    EXPECT_EQ(kBad, noCells.GetCellIfIntersects(Vector3D<float>(5, 5, 5)));
    Grid3D<int> noCellsInt(4, 4, 0, IntBox(0, 0, 0, 10, 10, 10));
    EXPECT_TRUE(noCellsInt.SetMAndM(10));
    EXPECT_EQ(kBad, noCellsInt.GetCellIfIntersects(Vector3D<int>(5, 5, 5)));
    EXPECT_EQ(kBad, noCellsInt.GetCellIfIntersectsInt(Vector3D<int>(5, 5, 5)));
    EXPECT_EQ(kBad, noCellsInt.GetCellInt(Vector3D<int>(5, 5, 5)));

    // A box spanning the whole int range: the extent is taken in 64 bits.
    const Grid3D<int> huge(2, 2, 2, IntBox(INT_MIN, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX));
    EXPECT_EQ(INT_MAX, huge.m_cellSize.x);
    EXPECT_EQ(Vector3D<int>(0, 1, 1), huge.GetCellIfIntersects(Vector3D<int>(INT_MIN, INT_MAX, 0)));
}

TEST(Grid3D, SetMAndMWithZeroCellSizes) {
    // All three sizes 0: false and nothing changes.
    Grid3D<int> flat(10, 10, 10, IntBox(0, 0, 0, 5, 5, 5));
    ASSERT_EQ(Vector3D<int>(0, 0, 0), flat.m_cellSize);
    EXPECT_FALSE(flat.SetMAndM(12));
    EXPECT_EQ(Vector3D<int>(), flat.m_multiplier);
    EXPECT_EQ(Vector3D<int>(), flat.m_shift);

    // One size 0: that axis gets multiplier 0 (no division by zero), its
    // points all in cell 0.
    Grid3D<int> plane(10, 10, 10, IntBox(0, 0, 0, 100, 0, 100));
    ASSERT_TRUE(plane.SetMAndM(15));
    EXPECT_EQ(Vector3D<int>(3277, 0, 3277), plane.m_multiplier);
    EXPECT_EQ(Vector3D<int>(3, 0, 7), plane.GetCellIfIntersectsInt(Vector3D<int>(35, 0, 77)));
    EXPECT_EQ(Vector3D<int>(3, 0, 7), plane.GetCellIfIntersects(Vector3D<int>(35, 0, 77)));
    EXPECT_EQ(kBad, plane.GetCellIfIntersectsInt(Vector3D<int>(35, 1, 77)));

    // Shifts beyond the int range of 2^shift are refused.
    Grid3D<int> grid(10, 10, 10, IntBox(0, 0, 0, 100, 100, 100));
    EXPECT_FALSE(grid.SetMAndM(31));
    EXPECT_FALSE(grid.SetMAndM(-1));
    EXPECT_EQ(Vector3D<int>(), grid.m_multiplier);
    EXPECT_TRUE(grid.SetMAndM(30));
    // floorf(0.5 + 2^30 / 10) in float: 107374184, not the exact quotient's 107374182.
    EXPECT_EQ(107374184, grid.m_multiplier.x);
}

TEST(Grid3D, RandomFloatPointsLandInTheirCells) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> corner(-3000.0f, 3000.0f);
    std::uniform_real_distribution<float> extent(1.0f, 2000.0f);
    std::uniform_int_distribution<int> count(1, 64);
    std::uniform_real_distribution<float> unit(-0.1f, 1.1f);
    for (int trial = 0; trial < 200; ++trial) {
        const Vector3D<float> lo(corner(rng), corner(rng), corner(rng));
        const Vector3D<float> hi = lo + Vector3D<float>(extent(rng), extent(rng), extent(rng));
        const Grid3D<float> grid(count(rng), count(rng), count(rng), Box3D<float>(lo, hi));
        for (int i = 0; i < 200; ++i) {
            const Vector3D<float> p(lo.x + (hi.x - lo.x) * unit(rng), lo.y + (hi.y - lo.y) * unit(rng),
                                    lo.z + (hi.z - lo.z) * unit(rng));
            const Vector3D<int> cell = grid.GetCellIfIntersects(p);
            const bool inside = Box3D<float>(lo, hi).Intersects(p);
            ASSERT_EQ(!inside, cell == kBad) << p;
            if (!inside) {
                continue;
            }
            for (int axis = 0; axis < 3; ++axis) {
                // The cell's interval holds the point, up to float rounding.
                const double s = grid.m_cellSize[axis];
                const double d = static_cast<double>(p[axis]) - lo[axis];
                ASSERT_GE(cell[axis], 0);
                ASSERT_LT(cell[axis], grid.m_cellCount[axis]);
                const double tolerance = 1e-3 * s + 1e-3;
                ASSERT_GE(d, cell[axis] * s - tolerance) << p << " axis " << axis;
                if (cell[axis] < grid.m_cellCount[axis] - 1) {
                    ASSERT_LE(d, (cell[axis] + 1) * s + tolerance) << p << " axis " << axis;
                }
            }
        }
    }
}

TEST(Grid3D, RandomIntegerLookupsAgree) {
    // The division form against a direct computation; the multiplier forms
    // against it too. With a shift of 20 the multiplier's rounding moves no
    // point of these grids across a cell boundary, except a point exactly on
    // one when the multiplier was rounded down (m s < 2^20): the product then
    // falls just short and the point lands in the cell below.
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> corner(-3000, 3000);
    std::uniform_int_distribution<int> extent(1, 1000);
    std::uniform_int_distribution<int> count(1, 40);
    std::uniform_int_distribution<int> offset(-100, 1100);
    int roundedDown = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const Vector3D<int> lo(corner(rng), corner(rng), corner(rng));
        const Vector3D<int> hi = lo + Vector3D<int>(extent(rng), extent(rng), extent(rng));
        Grid3D<int> grid(count(rng), count(rng), count(rng), Box3D<int>(lo, hi));
        if (!grid.SetMAndM(20)) {
            continue;
        }
        for (int i = 0; i < 300; ++i) {
            const Vector3D<int> p = lo + Vector3D<int>(offset(rng), offset(rng), offset(rng));
            const bool inside = Box3D<int>(lo, hi).Intersects(p);
            Vector3D<int> divided = kBad;
            Vector3D<int> clamped;
            bool onLowBoundary = false;
            for (int axis = 0; axis < 3; ++axis) {
                const int s = grid.m_cellSize[axis];
                const int n = grid.m_cellCount[axis];
                const int d = p[axis] - lo[axis];
                const int floorCell = s == 0 ? 0 : static_cast<int>(std::floor(static_cast<double>(d) / s));
                if (inside) {
                    divided[axis] = std::min(n - 1, floorCell);
                }
                clamped[axis] = std::max(0, std::min(n - 1, floorCell));
                if (s != 0 && d % s == 0 && static_cast<int64_t>(grid.m_multiplier[axis]) * s < (1 << 20) &&
                    d > 0 && d / s < n) {
                    onLowBoundary = true;
                }
            }
            ASSERT_EQ(divided, grid.GetCellIfIntersects(p)) << p;
            if (onLowBoundary) {
                ++roundedDown;
                continue;
            }
            ASSERT_EQ(divided, grid.GetCellIfIntersectsInt(p)) << p;
            ASSERT_EQ(clamped, grid.GetCellInt(p)) << p;
        }
    }
    EXPECT_GT(roundedDown, 0);
}

TEST(Grid3D, BadCellIsOneConstant) {
    EXPECT_EQ(kBad, Grid3D<float>::BadCell());
    EXPECT_EQ(&Grid3D<int>::BadCell(), &Grid3D<int>::BadCell());
}

}  // namespace
