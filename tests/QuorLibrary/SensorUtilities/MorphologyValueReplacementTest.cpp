#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "MorphologyTestSupport.h"
#include "QuorLibrary/SensorUtilities/ValueReplacement.h"

namespace {

using vela_morphology_test::FillRandom;
using Image = vela_morphology_test::TestImage<short>;

using ReplaceFunction = void (*)(const short*, short*, uint32_t, uint32_t, short, const Box2D<int>*);

struct BlockForm {
    const char* name;
    ReplaceFunction sse;
    ReplaceFunction plain;
    bool zeroToValue;
};

const BlockForm kBlockForms[] = {
    {"ReplaceZeroWithValue", &ReplaceZeroWithValueSSE, &ReplaceZeroWithValuePlain, true},
    {"ReplaceValueWithZero", &ReplaceValueWithZeroSSE, &ReplaceValueWithZeroPlain, false},
};

// Box2D for the replacements: x counts columns, y rows.
Box2D<int> ColumnsRows(int firstColumn, int firstRow, int lastColumn, int lastRow) {
    return Box2D<int>(firstColumn, firstRow, lastColumn, lastRow);
}

struct Area {
    int firstColumn;
    int lastColumn;
    int firstRow;
    int lastRow;
};

Area ClippedArea(const Image& image, const Box2D<int>* pWindow) {
    Area a = {0, image.Width() - 1, 0, image.Height() - 1};
    if (pWindow != nullptr) {
        a.firstColumn = std::max(a.firstColumn, pWindow->min.x);
        a.lastColumn = std::min(a.lastColumn, pWindow->max.x);
        a.firstRow = std::max(a.firstRow, pWindow->min.y);
        a.lastRow = std::min(a.lastRow, pWindow->max.y);
    }
    return a;
}

// Block forms: whole 8-pixel blocks of the window's rows are copied with the
// replacement applied.
std::vector<short> BlockReference(bool zeroToValue, const Image& source, std::vector<short> destination,
                                  short value, const Box2D<int>* pWindow) {
    const Area a = ClippedArea(source, pWindow);
    if (source.Width() % 8 != 0 || a.firstColumn > a.lastColumn) {
        return destination;
    }
    for (int y = a.firstRow; y <= a.lastRow; ++y) {
        for (int x = a.firstColumn / 8 * 8; x <= (a.lastColumn | 7); ++x) {
            const short v = source.At(x, y);
            short out = v;
            if (zeroToValue && v == 0) {
                out = value;
            } else if (!zeroToValue && v == value) {
                out = 0;
            }
            destination[y * source.Width() + x] = out;
        }
    }
    return destination;
}

Box2D<int> RandomWindow(std::mt19937& rng, const Image& image) {
    auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    // Now and then reaching past the image on any side.
    const int c0 = uniform(-3, image.Width() - 1);
    const int r0 = uniform(-3, image.Height() - 1);
    return ColumnsRows(c0, r0, uniform(std::max(c0, 0), image.Width() + 2), uniform(std::max(r0, 0), image.Height() + 2));
}

TEST(MorphologyValueReplacementTest, BlockFormsMatchDefinitionInPlaceAndCopying) {
    std::mt19937 rng(2024);
    const int widths[] = {8, 16, 24, 40, 160};
    for (int trial = 0; trial < 300; ++trial) {
        const int width = widths[trial % 5];
        const int height = std::uniform_int_distribution<int>(1, 9)(rng);
        Image source(width, height);
        FillRandom(source, rng);
        Image before(width, height);
        FillRandom(before, rng);
        // A value that occurs in the image, or one that may not.
        const short value = trial % 3 == 0 ? static_cast<short>(std::uniform_int_distribution<int>(-32768, 32767)(rng))
                                           : source.At(width / 2, height / 2);
        const Box2D<int> window = RandomWindow(rng, source);
        const Box2D<int>* pWindow = trial % 4 == 0 ? nullptr : &window;
        for (const BlockForm& form : kBlockForms) {
            SCOPED_TRACE(std::string(form.name) + " trial " + std::to_string(trial));
            const std::vector<short> copied = BlockReference(form.zeroToValue, source, before.Pixels(), value, pWindow);
            const std::vector<short> inPlace =
                BlockReference(form.zeroToValue, source, source.Pixels(), value, pWindow);
            for (ReplaceFunction f : {form.sse, form.plain}) {
                Image destination = before;
                f(source.Data(), destination.Data(), width, height, value, pWindow);
                ASSERT_EQ(copied, destination.Pixels());
                Image image = source;
                f(image.Data(), image.Data(), width, height, value, pWindow);
                ASSERT_EQ(inPlace, image.Pixels());
            }
        }
    }
}

TEST(MorphologyValueReplacementTest, OnlyTheBlockFormsCopyToASeparateDestination) {
    Image source(16, 3, 5);
    source.At(2, 1) = 7;
    source.At(9, 1) = 7;
    source.At(9, 2) = 7;
    const Box2D<int> window = ColumnsRows(1, 1, 10, 1);

    Image plainDestination(16, 3, -1);
    ReplaceValueWithZero(source.Data(), plainDestination.Data(), 16, 3, 7, &window);
    Image sseDestination(16, 3, -1);
    ReplaceValueWithZeroSSE(source.Data(), sseDestination.Data(), 16, 3, 7, &window);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool zeroed = y == 1 && (x == 2 || x == 9);
            EXPECT_EQ(zeroed ? 0 : -1, plainDestination.At(x, y)) << "x " << x << " y " << y;
            EXPECT_EQ(zeroed ? 0 : (y == 1 ? 5 : -1), sseDestination.At(x, y)) << "x " << x << " y " << y;
        }
    }
}

TEST(MorphologyValueReplacementTest, BlockFormsWidenTheWindowToWholeBlocks) {
    Image image(24, 4, 3);
    for (int y = 0; y < 4; ++y) {
        image.At(0, y) = 3;
        image.At(20, y) = 0;
    }
    const Box2D<int> window = ColumnsRows(5, 1, 13, 2);
    Image zeroed = image;
    ReplaceValueWithZeroSSE(zeroed.Data(), zeroed.Data(), 24, 4, 3, &window);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 24; ++x) {
            const bool replaced = (y == 1 || y == 2) && x <= 15;
            EXPECT_EQ(replaced ? 0 : image.At(x, y), zeroed.At(x, y)) << "x " << x << " y " << y;
        }
    }

    // The exact form keeps to the window's columns.
    Image exact = image;
    ReplaceValueWithZero(exact.Data(), exact.Data(), 24, 4, 3, &window);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 24; ++x) {
            const bool replaced = (y == 1 || y == 2) && x >= 5 && x <= 13;
            EXPECT_EQ(replaced ? 0 : image.At(x, y), exact.At(x, y)) << "x " << x << " y " << y;
        }
    }

    Image filled = image;
    ReplaceZeroWithValueSSE(filled.Data(), filled.Data(), 24, 4, 32767, nullptr);
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(32767, filled.At(20, y));
        EXPECT_EQ(3, filled.At(0, y));
    }
}

TEST(MorphologyValueReplacementTest, WidthNotAMultipleOfEightStopsOnlyTheBlockForms) {
    Image image(20, 2, 7);
    for (const BlockForm& form : kBlockForms) {
        for (ReplaceFunction f : {form.sse, form.plain}) {
            Image inPlace(20, 2, form.zeroToValue ? 0 : 7);
            f(inPlace.Data(), inPlace.Data(), 20, 2, 7, nullptr);
            EXPECT_EQ(Image(20, 2, form.zeroToValue ? 0 : 7).Pixels(), inPlace.Pixels()) << form.name;
            Image destination(20, 2, -4);
            f(image.Data(), destination.Data(), 20, 2, 7, nullptr);
            EXPECT_EQ(Image(20, 2, -4).Pixels(), destination.Pixels()) << form.name;
        }
    }
    ReplaceValueWithZero(image.Data(), image.Data(), 20, 2, 7, nullptr);
    EXPECT_EQ(Image(20, 2, 0).Pixels(), image.Pixels());
}

TEST(MorphologyValueReplacementTest, ExactFormMatchesDefinitionOnRandomWindows) {
    std::mt19937 rng(55);
    for (int trial = 0; trial < 200; ++trial) {
        const int width = std::uniform_int_distribution<int>(1, 30)(rng);
        const int height = std::uniform_int_distribution<int>(1, 8)(rng);
        Image source(width, height);
        FillRandom(source, rng);
        Image before(width, height);
        FillRandom(before, rng);
        const short value = source.At(std::uniform_int_distribution<int>(0, width - 1)(rng), 0);
        const Box2D<int> window = RandomWindow(rng, source);
        const Box2D<int>* pWindow = trial % 4 == 0 ? nullptr : &window;
        const Area a = ClippedArea(source, pWindow);

        std::vector<short> expected = before.Pixels();
        for (int y = a.firstRow; y <= a.lastRow; ++y) {
            for (int x = a.firstColumn; x <= a.lastColumn; ++x) {
                if (source.At(x, y) == value) {
                    expected[y * width + x] = 0;
                }
            }
        }
        Image destination = before;
        ReplaceValueWithZero(source.Data(), destination.Data(), width, height, value, pWindow);
        ASSERT_EQ(expected, destination.Pixels()) << "trial " << trial;
    }
}

}  // namespace
