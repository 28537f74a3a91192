#include "QuorLibrary/SensorUtilities/Morphology.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "MorphologyTestSupport.h"

namespace {

using vela_morphology_test::FillRandom;
using vela_morphology_test::TestImage;
using Image = TestImage<short>;

using FilterFunction = void (*)(const short*, short*, int, int, int, int, int, int, int, int);

struct Filter {
    const char* name;
    FilterFunction function;
    bool dilate;
};

const Filter kFilters[] = {
    {"DilateSSE", &Morphology::DilateSSE, true},
    {"DilatePlain", &Morphology::DilatePlain, true},
    {"ErodeSSE", &Morphology::ErodeSSE, false},
    {"ErodePlain", &Morphology::ErodePlain, false},
};

struct Kernel {
    int width;
    int height;
    int dxMin;
    int dxMax;
    int dyMin;
    int dyMax;
};

const Kernel kKernels[] = {
    {3, 3, -1, 1, -1, 1}, {4, 3, -2, 1, -1, 1}, {3, 5, -1, 1, -2, 2},
    {4, 5, -2, 1, -2, 2}, {5, 5, -2, 2, -2, 2}, {6, 5, -3, 2, -2, 2},
};

struct Window {
    int firstColumn;
    int lastColumn;
    int firstRow;
    int lastRow;
};

Window WholeImage(const Image& image) { return {0, image.Width() - 1, 0, image.Height() - 1}; }

// The filter as defined, for a window inside the image: rows outside the
// window are left out, columns outside it count as the neutral value, and
// whole 8-pixel blocks are written with 0 outside the window's columns.
std::vector<short> Reference(bool dilate, const Image& source, std::vector<short> destination, const Window& w,
                             const Kernel& k) {
    if (source.Width() % 8 != 0 || w.lastRow < w.firstRow) {
        return destination;
    }
    const int neutral = dilate ? 0 : 32767;
    for (int y = w.firstRow; y <= w.lastRow; ++y) {
        for (int x = w.firstColumn / 8 * 8; x <= (w.lastColumn | 7); ++x) {
            short& out = destination[y * source.Width() + x];
            if (x < w.firstColumn || x > w.lastColumn) {
                out = 0;
                continue;
            }
            int best = dilate ? INT_MIN : INT_MAX;
            for (int dy = k.dyMin; dy <= k.dyMax; ++dy) {
                const int yy = y + dy;
                if (yy < w.firstRow || yy > w.lastRow) {
                    continue;
                }
                for (int dx = k.dxMin; dx <= k.dxMax; ++dx) {
                    const int xx = x + dx;
                    const int v = (xx < w.firstColumn || xx > w.lastColumn) ? neutral : source.At(xx, yy);
                    best = dilate ? std::max(best, v) : std::min(best, v);
                }
            }
            out = static_cast<short>(best);
        }
    }
    return destination;
}

void Apply(const Filter& f, const Image& source, Image& destination, const Window& w, int kernelWidth,
         int kernelHeight) {
    f.function(source.Data(), destination.Data(), source.Width(), source.Height(), w.firstColumn, w.lastColumn,
               w.firstRow, w.lastRow, kernelWidth, kernelHeight);
}

// A window inside the image whose widened span covers the given number of
// blocks (capped by the image).
Window RandomWindow(std::mt19937& rng, const Image& image, int nBlocks) {
    auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int imageBlocks = image.Width() / 8;
    nBlocks = std::min(nBlocks, imageBlocks);
    const int firstBlock = uniform(0, imageBlocks - nBlocks);
    const int lastBlock = firstBlock + nBlocks - 1;
    Window w;
    w.firstColumn = firstBlock * 8 + uniform(0, 7);
    w.lastColumn = lastBlock * 8 + uniform(nBlocks == 1 ? w.firstColumn % 8 : 0, 7);
    w.firstRow = uniform(0, image.Height() - 1);
    w.lastRow = uniform(w.firstRow, image.Height() - 1);
    return w;
}

TEST(MorphologyTest, SinglePeakSpreadsOverTheKernel) {
    struct Case {
        int kernelWidth;
        int kernelHeight;
        int firstColumn;
        int lastColumn;
        int firstRow;
        int lastRow;
    };
    const Case cases[] = {
        {3, 3, 9, 11, 2, 4}, {4, 3, 9, 12, 2, 4}, {3, 5, 9, 11, 1, 5},
        {4, 5, 9, 12, 1, 5}, {5, 5, 8, 12, 1, 5}, {6, 5, 8, 13, 1, 5},
    };
    Image source(24, 8, 0);
    source.At(10, 3) = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kernelWidth) + "x" + std::to_string(c.kernelHeight));
        Image destination(24, 8, -1);
        Apply(kFilters[0], source, destination, WholeImage(source), c.kernelWidth, c.kernelHeight);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 24; ++x) {
                const bool inside = x >= c.firstColumn && x <= c.lastColumn && y >= c.firstRow && y <= c.lastRow;
                ASSERT_EQ(inside ? 100 : 0, destination.At(x, y)) << "x " << x << " y " << y;
            }
        }
    }
}

TEST(MorphologyTest, UnsupportedKernelOrWidthLeavesDestinationUnchanged) {
    struct Case {
        int width;
        int kernelWidth;
        int kernelHeight;
    };
    const Case cases[] = {
        {24, 5, 3}, {24, 6, 3}, {24, 2, 3}, {24, 7, 5}, {24, 3, 4}, {24, 3, 1},
        {24, 0, 0}, {24, 5, 4}, {20, 3, 3}, {20, 5, 5}, {12, 3, 3}, {4, 3, 3},
    };
    for (const Filter& f : kFilters) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(f.name) + " width " + std::to_string(c.width) + " kernel " +
                         std::to_string(c.kernelWidth) + "x" + std::to_string(c.kernelHeight));
            Image source(c.width, 6, 77);
            Image destination(c.width, 6, -3);
            Apply(f, source, destination, WholeImage(source), c.kernelWidth, c.kernelHeight);
            EXPECT_EQ(Image(c.width, 6, -3).Pixels(), destination.Pixels());
        }
    }
}

TEST(MorphologyTest, WindowWritesWholeBlocksAndIgnoresPixelsOutsideIt) {
    Image source(24, 8, 0);
    source.At(10, 4) = 50;
    Image withOutsiders = source;
    withOutsiders.At(2, 4) = 900;   // column left of the window
    withOutsiders.At(10, 1) = 900;  // row above the window
    withOutsiders.At(21, 6) = 900;  // column right of the window
    const Window window = {3, 20, 2, 6};
    for (const Filter& f : kFilters) {
        SCOPED_TRACE(f.name);
        Image plain(24, 8, 11);
        Image disturbed(24, 8, 11);
        Apply(f, source, plain, window, 3, 3);
        Apply(f, withOutsiders, disturbed, window, 3, 3);
        EXPECT_EQ(plain.Pixels(), disturbed.Pixels());
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 24; ++x) {
                if (y < 2 || y > 6) {
                    EXPECT_EQ(11, plain.At(x, y)) << "x " << x << " y " << y;
                } else if (x < 3 || x > 20) {
                    EXPECT_EQ(0, plain.At(x, y)) << "x " << x << " y " << y;
                }
            }
        }
        if (f.dilate) {
            EXPECT_EQ(50, plain.At(9, 3));
            EXPECT_EQ(50, plain.At(11, 5));
            EXPECT_EQ(0, plain.At(12, 4));
        }
    }
}

TEST(MorphologyTest, KernelReachingPastTheWindowSideSeesTheNeutralValue) {
    Image negative(32, 4, -5);
    Image dilated(32, 4, 9);
    Apply(kFilters[0], negative, dilated, {3, 28, 0, 3}, 3, 3);
    Image dilatedPlain(32, 4, 9);
    Apply(kFilters[1], negative, dilatedPlain, {3, 28, 0, 3}, 3, 3);
    EXPECT_EQ(dilated.Pixels(), dilatedPlain.Pixels());
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int expected = (x <= 3 || x >= 28) ? 0 : -5;
            EXPECT_EQ(expected, dilated.At(x, y)) << "x " << x << " y " << y;
        }
    }

    // 40000 reads as a negative signed value, so the neutral 32767 never wins.
    Image large(32, 4, static_cast<short>(40000));
    for (int f : {2, 3}) {
        Image eroded(32, 4, 9);
        Apply(kFilters[f], large, eroded, {0, 31, 0, 3}, 5, 5);
        EXPECT_EQ(Image(32, 4, static_cast<short>(40000)).Pixels(), eroded.Pixels()) << kFilters[f].name;
    }
}

TEST(MorphologyTest, LastColumnAtTheEndOfABlockIsClippedLikeTheOthers) {
    // Window columns 0..15: column 16 is outside and must not reach column 15.
    Image source(32, 3, 10);
    for (int y = 0; y < 3; ++y) {
        source.At(14, y) = 20;
        source.At(16, y) = 500;
        source.At(17, y) = -500;
    }
    const Window window = {0, 15, 0, 2};
    for (const Filter& f : kFilters) {
        SCOPED_TRACE(f.name);
        Image destination(32, 3, 7);
        Apply(f, source, destination, window, 3, 3);
        EXPECT_EQ(f.dilate ? 20 : 10, destination.At(15, 1));
        EXPECT_EQ(f.dilate ? 20 : 10, destination.At(13, 1));
        EXPECT_EQ(7, destination.At(16, 1));
        Apply(f, source, destination, window, 6, 5);
        EXPECT_EQ(f.dilate ? 20 : 10, destination.At(15, 1));
        EXPECT_EQ(f.dilate ? 20 : 10, destination.At(12, 1));
        EXPECT_EQ(10, destination.At(11, 1));
        EXPECT_EQ(7, destination.At(16, 1));
    }
}

TEST(MorphologyTest, MatchesDefinitionOnRandomImagesAndWindows) {
    std::mt19937 rng(1234);
    const int widths[] = {8, 16, 24, 32, 48, 64, 160};
    for (int trial = 0; trial < 400; ++trial) {
        const int width = widths[trial % 7];
        const int height = std::uniform_int_distribution<int>(1, width == 160 ? 30 : 12)(rng);
        Image source(width, height);
        FillRandom(source, rng);
        Image before(width, height);
        FillRandom(before, rng);
        // Spans of 1, 2, 3 and more blocks, the short ones most often.
        const int nBlocks = 1 + trial % 5;
        const Window w = trial % 11 == 0 ? WholeImage(source) : RandomWindow(rng, source, nBlocks);
        for (const Kernel& k : kKernels) {
            const std::vector<short> expectedDilate = Reference(true, source, before.Pixels(), w, k);
            const std::vector<short> expectedErode = Reference(false, source, before.Pixels(), w, k);
            std::vector<short> sseResult;
            for (const Filter& f : kFilters) {
                Image destination = before;
                Apply(f, source, destination, w, k.width, k.height);
                const bool sse = std::string(f.name).find("SSE") != std::string::npos;
                if (sse) {
                    sseResult = destination.Pixels();
                    ASSERT_EQ(f.dilate ? expectedDilate : expectedErode, sseResult)
                        << f.name << " trial " << trial << " kernel " << k.width << "x" << k.height << " window "
                        << w.firstColumn << ".." << w.lastColumn << " x " << w.firstRow << ".." << w.lastRow
                        << " image " << width << "x" << height;
                } else {
                    // Plain twins follow their SSE form (listed just before).
                    ASSERT_EQ(sseResult, destination.Pixels()) << f.name << " trial " << trial;
                }
            }
        }
    }
}

TEST(MorphologyTest, WindowBeyondTheImageIsClippedToIt) {
    std::mt19937 rng(99);
    const int width = 32;
    const int height = 6;
    // Guard rows above and below catch writes past the image's ends.
    TestImage<short> sourceBuffer(width, height + 4);
    FillRandom(sourceBuffer, rng);
    for (const Filter& f : kFilters) {
        SCOPED_TRACE(f.name);
        TestImage<short> buffer(width, height + 4, 1234);
        short* pImage = buffer.Data() + 2 * width;
        const short* pSource = sourceBuffer.Data() + 2 * width;
        f.function(pSource, pImage, width, height, -9, width + 20, -4, height + 7, 5, 5);

        Image source(width, height);
        std::copy(pSource, pSource + width * height, source.Data());
        Image expected(width, height, 1234);
        Apply(f, source, expected, WholeImage(source), 5, 5);
        EXPECT_TRUE(std::equal(pImage, pImage + width * height, expected.Data()));
        for (int i = 0; i < 2 * width; ++i) {
            ASSERT_EQ(1234, buffer.Data()[i]);
            ASSERT_EQ(1234, pImage[width * height + i]);
        }

        // Entirely outside: nothing written.
        Image destination(width, height, 3);
        Apply(f, source, destination, {-20, -1, 0, height - 1}, 3, 3);
        Apply(f, source, destination, {width, width + 8, 0, height - 1}, 3, 3);
        Apply(f, source, destination, {0, width - 1, height, height + 3}, 3, 3);
        Apply(f, source, destination, {0, width - 1, 4, 3}, 3, 3);
        EXPECT_EQ(Image(width, height, 3).Pixels(), destination.Pixels());
    }
}

TEST(MorphologyTest, OverlappingDestinationIsLeftUnchanged) {
    std::mt19937 rng(5);
    for (const Filter& f : kFilters) {
        SCOPED_TRACE(f.name);
        TestImage<short> image(16, 9);
        FillRandom(image, rng);
        const std::vector<short> before = image.Pixels();
        f.function(image.Data(), image.Data(), 16, 8, 0, 15, 0, 7, 3, 3);
        f.function(image.Data(), image.Data() + 16, 16, 8, 0, 15, 0, 7, 3, 3);
        EXPECT_EQ(before, image.Pixels());
    }
}

TEST(MorphologyTest, UnalignedImagesGiveTheSameResult) {
    std::mt19937 rng(77);
    const int width = 40;
    const int height = 7;
    Image source(width, height);
    FillRandom(source, rng);
    std::vector<short> sourceStorage(width * height + 3);
    std::vector<short> destinationStorage(width * height + 3, 0);
    short* pSource = sourceStorage.data() + 1;
    short* pDestination = destinationStorage.data() + 3;
    std::copy(source.Data(), source.Data() + width * height, pSource);
    for (const Filter& f : kFilters) {
        Image expected(width, height);
        Apply(f, source, expected, {5, 33, 1, 5}, 4, 5);
        f.function(pSource, pDestination, width, height, 5, 33, 1, 5, 4, 5);
        EXPECT_TRUE(std::equal(pDestination, pDestination + width * height, expected.Data())) << f.name;
    }
}

TEST(MorphologyTest, PrepareVectorMaskShiftsLanes) {
    const short lanes[8] = {11, -22, 33, -44, 55, 32767, -32768, 88};
    for (bool higher : {true, false}) {
        for (int n = -2; n <= 9; ++n) {
            __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes));
            Morphology::PrepareVectorMask(&mask, n, higher);
            short out[8];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), mask);
            for (int i = 0; i < 8; ++i) {
                short expected = lanes[i];
                if (n >= 1 && n <= 7) {
                    const int from = higher ? i - n : i + n;
                    expected = (from >= 0 && from < 8) ? lanes[from] : 0;
                }
                EXPECT_EQ(expected, out[i]) << "n " << n << " higher " << higher << " lane " << i;
            }
        }
    }
}

}  // namespace
