#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "MorphologyTestSupport.h"
#include "QuorLibrary/SensorUtilities/Morphology.h"

namespace {

using vela_morphology_test::TestImage;
using Grid = Array2D<unsigned short>;

// Boxes of MinFilter use x for rows and y for columns.
Box2D<int> RowsColumns(int firstRow, int firstColumn, int lastRow, int lastColumn) {
    return Box2D<int>(firstRow, firstColumn, lastRow, lastColumn);
}

Grid RandomGrid(std::mt19937& rng, int rows, int columns) {
    Grid grid;
    grid.SetSize(rows, columns, false);
    const bool extremes = std::uniform_int_distribution<int>(0, 1)(rng) == 0;
    for (int i = 0; i < grid.Size(); ++i) {
        grid.Data()[i] = extremes ? static_cast<unsigned short>(std::uniform_int_distribution<int>(0, 2)(rng) * 32767 +
                                                                std::uniform_int_distribution<int>(0, 1)(rng))
                                  : static_cast<unsigned short>(std::uniform_int_distribution<int>(0, 65535)(rng));
    }
    return grid;
}

std::vector<unsigned short> Pixels(const Grid& grid) {
    return std::vector<unsigned short>(grid.Data(), grid.Data() + grid.Size());
}

// Every window pixel whose offset lies in the kernel competes, the window
// given inside the image.
std::vector<unsigned short> Reference(const Box2D<int>& kernel, const Grid& source, const Box2D<int>& window,
                                      std::vector<unsigned short> destination) {
    for (int r = window.min.x; r <= window.max.x; ++r) {
        for (int c = window.min.y; c <= window.max.y; ++c) {
            unsigned short best = 65535;
            for (int i = window.min.x; i <= window.max.x; ++i) {
                for (int j = window.min.y; j <= window.max.y; ++j) {
                    const bool inKernel = i - r >= kernel.min.x && i - r <= kernel.max.x && j - c >= kernel.min.y &&
                                          j - c <= kernel.max.y;
                    if (inKernel) {
                        best = std::min(best, source(i, j));
                    }
                }
            }
            destination[r * source.Columns() + c] = best;
        }
    }
    return destination;
}

TEST(MorphologyMinFilterTest, MatchesDefinitionOnRandomKernelsAndWindows) {
    std::mt19937 rng(31);
    auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int trial = 0; trial < 300; ++trial) {
        const int rows = uniform(1, 10);
        const int columns = uniform(1, 12);
        const Grid source = RandomGrid(rng, rows, columns);
        // Offsets of either sign, asymmetric, sometimes not reaching the pixel itself.
        const int kx0 = uniform(-3, 2);
        const int ky0 = uniform(-3, 2);
        const Box2D<int> kernel = RowsColumns(kx0, ky0, kx0 + uniform(0, 4), ky0 + uniform(0, 4));
        const int r0 = uniform(0, rows - 1);
        const int c0 = uniform(0, columns - 1);
        const Box2D<int> window = RowsColumns(r0, c0, uniform(r0, rows - 1), uniform(c0, columns - 1));

        Grid destination = RandomGrid(rng, rows, columns);
        const std::vector<unsigned short> expected = Reference(kernel, source, window, Pixels(destination));
        Morphology::MinFilter(kernel, source, window, destination);
        ASSERT_EQ(rows, destination.Rows());
        ASSERT_EQ(columns, destination.Columns());
        ASSERT_EQ(expected, Pixels(destination)) << "trial " << trial;
    }
}

TEST(MorphologyMinFilterTest, EmptyKernelGivesTheLargestValueInsideTheWindow) {
    std::mt19937 rng(8);
    const Grid source = RandomGrid(rng, 6, 7);
    const Box2D<int> window = RowsColumns(1, 2, 4, 5);
    const Box2D<int> kernels[] = {RowsColumns(1, -1, 0, 1), RowsColumns(-1, 2, 1, 1), RowsColumns(5, 5, 6, 6)};
    for (const Box2D<int>& kernel : kernels) {
        Grid destination;
        destination.SetSize(6, 7, false);
        std::fill(destination.Data(), destination.Data() + destination.Size(), 3);
        Morphology::MinFilter(kernel, source, window, destination);
        for (int r = 0; r < 6; ++r) {
            for (int c = 0; c < 7; ++c) {
                const bool inside = r >= 1 && r <= 4 && c >= 2 && c <= 5;
                EXPECT_EQ(inside ? 65535 : 3, destination(r, c)) << "r " << r << " c " << c;
            }
        }
    }
}

TEST(MorphologyMinFilterTest, DestinationTakesTheSourceSizeAndKeepsLargeEnoughStorage) {
    std::mt19937 rng(4);
    const Grid source = RandomGrid(rng, 5, 6);
    const Box2D<int> kernel = RowsColumns(-1, -1, 1, 1);

    Grid small;
    small.SetSize(2, 2, false);
    Morphology::MinFilter(kernel, source, RowsColumns(0, 0, 4, 5), small);
    EXPECT_EQ(5, small.Rows());
    EXPECT_EQ(6, small.Columns());
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(small.Data()) % 16);
    EXPECT_EQ(Reference(kernel, source, RowsColumns(0, 0, 4, 5), Pixels(small)), Pixels(small));

    Grid large;
    large.SetSize(8, 8, false);
    std::fill(large.Data(), large.Data() + large.Size(), 7);
    const unsigned short* pStorage = large.Data();
    Morphology::MinFilter(kernel, source, RowsColumns(1, 1, 3, 4), large);
    EXPECT_EQ(pStorage, large.Data());
    EXPECT_EQ(5, large.Rows());
    EXPECT_EQ(6, large.Columns());
    EXPECT_EQ(7, large(0, 0));
    EXPECT_EQ(7, large(4, 5));
}

TEST(MorphologyMinFilterTest, AgreesWithTheFiveByFiveErosionOnDepthValues) {
    // The skeleton's two paths to the nearest depth of a 5x5 neighbourhood.
    std::mt19937 rng(12);
    TestImage<short> depth(32, 10);
    Grid unsignedDepth;
    unsignedDepth.SetSize(10, 32, false);
    for (int i = 0; i < unsignedDepth.Size(); ++i) {
        const int v = std::uniform_int_distribution<int>(0, 4)(rng) == 0
                          ? 32767
                          : std::uniform_int_distribution<int>(400, 9000)(rng);
        depth.Data()[i] = static_cast<short>(v);
        unsignedDepth.Data()[i] = static_cast<unsigned short>(v);
    }
    TestImage<short> eroded(32, 10);
    Morphology::ErodeSSE(depth.Data(), eroded.Data(), 32, 10, 0, 31, 0, 9, 5, 5);
    Grid filtered;
    Morphology::MinFilter(RowsColumns(-2, -2, 2, 2), unsignedDepth, RowsColumns(0, 0, 9, 31), filtered);
    for (int i = 0; i < filtered.Size(); ++i) {
        ASSERT_EQ(static_cast<unsigned short>(eroded.Data()[i]), filtered.Data()[i]) << "pixel " << i;
    }
}

TEST(MorphologyMinFilterTest, FilteringInPlaceEqualsASeparateDestination) {
    std::mt19937 rng(17);
    Grid image = RandomGrid(rng, 7, 9);
    const Box2D<int> kernel = RowsColumns(-2, -1, 1, 2);
    const Box2D<int> window = RowsColumns(1, 0, 6, 7);
    Grid separate;
    Morphology::MinFilter(kernel, image, window, separate);
    const std::vector<unsigned short> expected = Reference(kernel, image, window, Pixels(image));
    Morphology::MinFilter(kernel, image, window, image);
    EXPECT_EQ(expected, Pixels(image));
    for (int r = 1; r <= 6; ++r) {
        for (int c = 0; c <= 7; ++c) {
            EXPECT_EQ(separate(r, c), image(r, c));
        }
    }
}

TEST(MorphologyMinFilterTest, WindowBeyondTheImageIsClippedToIt) {
    std::mt19937 rng(21);
    const Grid source = RandomGrid(rng, 6, 8);
    const Box2D<int> kernel = RowsColumns(-2, -2, 2, 2);
    Grid clipped;
    Morphology::MinFilter(kernel, source, RowsColumns(-3, -100, 1000, 8), clipped);
    Grid whole;
    Morphology::MinFilter(kernel, source, RowsColumns(0, 0, 5, 7), whole);
    EXPECT_EQ(Pixels(whole), Pixels(clipped));

    // Extreme offsets must not overflow the neighbourhood bounds.
    Grid extreme;
    extreme.SetSize(6, 8, false);
    Morphology::MinFilter(RowsColumns(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), source,
                          RowsColumns(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), extreme);
    const unsigned short smallest = *std::min_element(source.Data(), source.Data() + source.Size());
    for (int i = 0; i < extreme.Size(); ++i) {
        ASSERT_EQ(smallest, extreme.Data()[i]);
    }
}

}  // namespace
