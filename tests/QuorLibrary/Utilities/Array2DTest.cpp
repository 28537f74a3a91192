#include "QuorLibrary/Utilities/Array2D.h"

#include <gtest/gtest.h>

#include "ByteBuilder.h"
#include "ForwardOnlyBuffer.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "QuorLibrary/Math/Vector3D.h"

namespace {

using vela_test::Append;

std::string GridBytes(int32_t rows, int32_t columns, const std::string& payload) {
    std::string bytes;
    Append(bytes, rows);
    Append(bytes, columns);
    return bytes + payload;
}

void FillSequential(Array2D<int>& grid) {
    for (int r = 0; r < grid.Rows(); ++r) {
        for (int c = 0; c < grid.Columns(); ++c) {
            grid(r, c) = 10 * r + c;
        }
    }
}

TEST(Array2DTest, SetSizeKeepsCommonPartOfEachRow) {
    Array2D<int> grid;
    grid.SetSize(5, 5, false);
    FillSequential(grid);

    grid.SetSize(4, 6, true);
    EXPECT_EQ(4, grid.Rows());
    EXPECT_EQ(6, grid.Columns());
    EXPECT_EQ(24, grid.Size());
    EXPECT_EQ(24, grid.Capacity());
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 5; ++c) {
            EXPECT_EQ(10 * r + c, grid(r, c)) << r << "," << c;
        }
        EXPECT_EQ(0, grid(r, 5));
    }
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(grid.Data()) % 16);
}

TEST(Array2DTest, SetSizeReallocatesOnlyWhenItMust) {
    Array2D<int> grid;
    grid.SetSize(4, 4, false);
    FillSequential(grid);
    const int* storage = grid.Data();

    // Same row length, fewer rows: storage and values stay.
    grid.SetSize(2, 4, true);
    EXPECT_EQ(storage, grid.Data());
    EXPECT_EQ(8, grid.Size());
    EXPECT_EQ(13, grid(1, 3));

    // Without keeping, a new shape that fits reuses the storage as it is.
    grid.SetSize(8, 2, false);
    EXPECT_EQ(storage, grid.Data());
    EXPECT_EQ(16, grid.Capacity());
    EXPECT_EQ(1, grid(0, 1));

    // Same row length, more rows than fit: old elements copied in place.
    grid.SetSize(4, 4, false);
    FillSequential(grid);
    grid.SetSize(6, 4, true);
    EXPECT_NE(storage, grid.Data());
    EXPECT_EQ(33, grid(3, 3));
    EXPECT_EQ(0, grid(5, 3));

    grid.SetSize(0, 7, false);
    EXPECT_EQ(0, grid.Size());
    EXPECT_EQ(7, grid.Columns());
}

TEST(Array2DTest, VectorElementsOfANewBlockAreZero) {
    Array2D<Vector3D<float>> grid;
    grid.SetSize(3, 3, false);
    grid(1, 1) = Vector3D<float>(1, 2, 3);
    grid.SetSize(3, 4, true);
    EXPECT_EQ(Vector3D<float>(1, 2, 3), grid(1, 1));
    EXPECT_EQ(Vector3D<float>(0, 0, 0), grid(1, 3));
}

TEST(Array2DTest, CopyAndAssignment) {
    Array2D<int> source;
    source.SetSize(3, 2, false);
    FillSequential(source);

    const Array2D<int> copy(source);
    EXPECT_EQ(3, copy.Rows());
    EXPECT_EQ(2, copy.Columns());
    EXPECT_EQ(21, copy(2, 1));
    EXPECT_NE(source.Data(), copy.Data());

    Array2D<int> big;
    big.SetSize(10, 10, false);
    const int* storage = big.Data();
    big = source;
    EXPECT_EQ(storage, big.Data());
    EXPECT_EQ(100, big.Capacity());
    EXPECT_EQ(6, big.Size());
    EXPECT_EQ(11, big(1, 1));

    Array2D<int> small;
    small.SetSize(1, 1, false);
    small = source;
    EXPECT_EQ(6, small.Capacity());
    EXPECT_EQ(20, small(2, 0));
}


// Ownership travels with the block: a borrowed block stays unreleased in
// whichever grid holds it (ASan reports a double or wrong release).
TEST(Array2DTest, SwapExchangesBlocksDimensionsAndOwnership) {
    Array2D<int> owned;
    owned.SetSize(3, 2, false);
    FillSequential(owned);
    const int* ownedBlock = owned.Data();
    std::vector<int> outside(20, 7);
    Array2D<int> borrowed;
    borrowed.Borrow(outside.data(), 4, 5);

    owned.Swap(borrowed);
    EXPECT_EQ(outside.data(), owned.Data());
    EXPECT_FALSE(owned.OwnsMemory());
    EXPECT_EQ(4, owned.Rows());
    EXPECT_EQ(5, owned.Columns());
    EXPECT_EQ(20, owned.Capacity());
    EXPECT_EQ(ownedBlock, borrowed.Data());
    EXPECT_TRUE(borrowed.OwnsMemory());
    EXPECT_EQ(3, borrowed.Rows());
    EXPECT_EQ(2, borrowed.Columns());
    EXPECT_EQ(6, borrowed.Size());
    EXPECT_EQ(21, borrowed(2, 1));
}
TEST(Array2DTest, ReadRoundTrip) {
    const float values[6] = {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f};
    std::istringstream in(GridBytes(2, 3, std::string(reinterpret_cast<const char*>(values), sizeof(values))));
    Array2D<float> grid;
    ASSERT_TRUE(grid.Read(in));
    EXPECT_EQ(2, grid.Rows());
    EXPECT_EQ(3, grid.Columns());
    EXPECT_EQ(6, grid.Size());
    EXPECT_EQ(4.5f, grid(1, 0));
    EXPECT_EQ(6.5f, grid(1, 2));

    // Byte masks, as the joint-limit grids are stored.
    std::istringstream masks(GridBytes(2, 2, std::string("\x01\x00\x00\x01", 4)) + GridBytes(1, 3, "abc"));
    Array2D<char> mask;
    ASSERT_TRUE(mask.Read(masks));
    EXPECT_EQ(1, mask(1, 1));
    EXPECT_EQ(0, mask(0, 1));
    ASSERT_TRUE(mask.Read(masks));
    EXPECT_EQ(1, mask.Rows());
    EXPECT_EQ('c', mask(0, 2));

    std::istringstream empty(GridBytes(0, 5, ""));
    ASSERT_TRUE(grid.Read(empty));
    EXPECT_EQ(0, grid.Size());
    EXPECT_EQ(5, grid.Columns());
}

TEST(Array2DTest, ReadIntoBorrowedGridTakesItsOwnBlock) {
    unsigned short image[4] = {7, 7, 7, 7};
    Array2D<unsigned short> grid;
    grid.Borrow(image, 2, 2);
    EXPECT_FALSE(grid.OwnsMemory());
    EXPECT_EQ(7, grid(1, 1));

    const unsigned short values[4] = {1, 2, 3, 4};
    std::istringstream in(GridBytes(2, 2, std::string(reinterpret_cast<const char*>(values), sizeof(values))));
    ASSERT_TRUE(grid.Read(in));
    EXPECT_TRUE(grid.OwnsMemory());
    EXPECT_NE(image, grid.Data());
    EXPECT_EQ(4, grid(1, 1));
    EXPECT_EQ(7, image[3]);
}

// Sizes from a corrupt file must fail the read before anything is allocated
// or changed.
TEST(Array2DTest, ReadRejectsCorruptSizes) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"negative rows", GridBytes(-1, 3, std::string(12, '\0'))},
        {"negative columns", GridBytes(3, -1, std::string(12, '\0'))},
        {"both negative", GridBytes(-2, -2, std::string(16, '\0'))},
        {"most negative", GridBytes(INT32_MIN, 1, "")},
        {"count beyond 32 bits", GridBytes(100000, 100000, std::string(64, '\0'))},
        {"count at the limit", GridBytes(INT32_MAX, 2, "")},
        {"more data than the stream holds", GridBytes(30000, 30000, std::string(64, '\0'))},
        {"one element short", GridBytes(2, 2, std::string(15, '\0'))},
        {"truncated header", std::string("\x02\x00\x00\x00\x02\x00", 6)},
        {"empty stream", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Array2D<float> grid;
        grid.SetSize(2, 3, false);
        grid(1, 2) = 42.0f;
        const float* storage = grid.Data();
        std::istringstream in(c.bytes);
        EXPECT_FALSE(grid.Read(in));
        EXPECT_EQ(storage, grid.Data());
        EXPECT_EQ(6, grid.Capacity());
        EXPECT_EQ(2, grid.Rows());
        EXPECT_EQ(3, grid.Columns());
        EXPECT_EQ(42.0f, grid(1, 2));
    }
}

// A stream that cannot seek cannot tell its length: a plausible size is
// trusted and a short payload is reported by the read.
using vela_test::ForwardOnlyBuffer;

TEST(Array2DTest, ReadFromStreamThatCannotSeek) {
    const int values[2] = {5, 6};
    ForwardOnlyBuffer good(GridBytes(1, 2, std::string(reinterpret_cast<const char*>(values), sizeof(values))));
    std::istream goodStream(&good);
    Array2D<int> grid;
    ASSERT_TRUE(grid.Read(goodStream));
    EXPECT_EQ(6, grid(0, 1));

    ForwardOnlyBuffer shortData(GridBytes(4, 4, std::string(8, '\0')));
    std::istream shortStream(&shortData);
    EXPECT_FALSE(grid.Read(shortStream));

    ForwardOnlyBuffer negative(GridBytes(-4, 4, ""));
    std::istream negativeStream(&negative);
    EXPECT_FALSE(grid.Read(negativeStream));
}

// Without a length to check, the storage grows with the elements that come:
// a header asking for gigabytes over a few bytes allocates nothing of the
// kind, and a grid beyond the stated bound is refused outright.
TEST(Array2DTest, ReadFromStreamThatCannotSeekGrowsWithTheData) {
    std::vector<float> values(600000);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<float>(i) * 0.5f;
    }
    const std::string payload(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float));
    ForwardOnlyBuffer large(GridBytes(600, 1000, payload));
    std::istream largeStream(&large);
    Array2D<float> grid;
    ASSERT_TRUE(grid.Read(largeStream));
    ASSERT_EQ(600, grid.Rows());
    EXPECT_EQ(600000, grid.Size());
    EXPECT_EQ(values[599999], grid(599, 999));
    EXPECT_EQ(values[262144], grid.Data()[262144]);

    struct Case {
        const char* name;
        int32_t rows;
        int32_t columns;
    };
    const Case cases[] = {
        {"one row of 2^31 - 1 columns", 1, INT32_MAX},
        {"just beyond the bound", 1, (1 << 26) + 1},
        {"at the bound, data short", 1, 1 << 26},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ForwardOnlyBuffer corrupt(GridBytes(c.rows, c.columns, std::string(64, '\x7f')));
        std::istream corruptStream(&corrupt);
        EXPECT_FALSE(grid.Read(corruptStream));
        EXPECT_LE(grid.Capacity(), 600000);
    }
    EXPECT_EQ(0, grid.Rows());
    EXPECT_EQ(0, grid.Size());
}

TEST(Array2DDeathTest, InvalidSizeIsFatal) {
    Array2D<int> grid;
    EXPECT_EXIT(grid.SetSize(-1, 5, false), ::testing::ExitedWithCode(1), "FATAL ERROR: invalid grid size");
    EXPECT_EXIT(grid.SetSize(65536, 65536, false), ::testing::ExitedWithCode(1), "FATAL ERROR: invalid grid size");
}

}  // namespace
