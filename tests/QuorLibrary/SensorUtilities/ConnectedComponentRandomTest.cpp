// Seeded random depth images: the per-pixel path against a flood fill, the
// run-based path against the per-pixel path where both must agree, and the
// run-based path against its own rules everywhere else.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ConnectedComponentTestSupport.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"

namespace {

using cc_test::Area;
using cc_test::Rng;
using cc_test::Labels;
using cc_test::Read;

struct Size {
    int width;
    int height;
};

const Size kSizes[] = {{40, 30}, {160, 120}, {320, 240}, {640, 480}};

// Exact equality splits the noisy blobs of the larger images into more
// regions than 16-bit provisional labels can number.
int SmallestThreshold(const Size& size) {
    return size.width * size.height <= 19200 ? 0 : 3;
}

std::string Describe(const Size& size, int seed, const std::string& what) {
    return std::to_string(size.width) + "x" + std::to_string(size.height) + " seed " + std::to_string(seed) + " " +
           what;
}

// A window that may stick out of the image on any side but overlaps it.
Box2D<int> RandomWindow(Rng& rng, const Size& size) {
    const int x0 = rng.Uniform(-10, size.width - 1);
    const int y0 = rng.Uniform(-10, size.height - 1);
    return Box2D<int>(x0, y0, rng.Uniform(std::max(x0, 0), size.width + 10),
                      rng.Uniform(std::max(y0, 0), size.height + 10));
}

Area Clamp(const Box2D<int>& window, const Size& size) {
    return Area{std::max(window.min.x, 0), std::min(window.max.x, size.width - 1) + 1, std::max(window.min.y, 0),
                std::min(window.max.y, size.height - 1) + 1};
}

Array2D<unsigned short> ToArray(const std::vector<uint16_t>& image, const Size& size) {
    Array2D<unsigned short> array;
    array.SetSize(size.height, size.width, false);
    std::copy(image.begin(), image.end(), array.Data());
    return array;
}

auto Within(const std::vector<uint16_t>& image, int threshold) {
    return [&image, threshold](int p, int q) { return std::abs(image[p] - image[q]) <= threshold; };
}

TEST(ConnectedComponentRandomTest, PerPixelPathMatchesAFloodFill) {
    for (const Size& size : kSizes) {
        const int seeds = size.width * size.height > 100000 ? 1 : 2;
        for (int seed = 1; seed <= seeds; ++seed) {
            const std::vector<uint16_t> image = cc_test::MakeBlobImage(size.width, size.height, seed);
            const Area whole{0, size.width, 0, size.height};
            auto nonZero = [&image](int p) { return image[p] != 0; };
            Rng rng(seed * 100 + size.width);
            ConnectedComponentDetector detector;
            xn::SceneMetaData map;

            for (int mode : {0, 1}) {
                for (int threshold : {SmallestThreshold(size), 6, 30}) {
                    detector.Mode() = mode;
                    int regions = 0;
                    const Labels expected = cc_test::FloodFill(size.width, size.height, whole, nonZero,
                                                               Within(image, threshold), mode == 1, nullptr,
                                                               nullptr, {}, &regions);
                    ASSERT_TRUE(detector.Run(image.data(), nullptr, nullptr, size.width, size.height, map, threshold));
                    ASSERT_EQ(expected, Read(map))
                        << Describe(size, seed, "mode " + std::to_string(mode) + " t " + std::to_string(threshold));
                    ASSERT_EQ(regions + 1, detector.LabelCount());
                }
            }
            detector.Mode() = 0;

            // Windows leave the labels outside them as they were.
            for (int trial = 0; trial < 3; ++trial) {
                const Box2D<int> window = RandomWindow(rng, size);
                const int threshold = rng.Uniform(SmallestThreshold(size), 20);
                const Labels before = Read(map);
                int regions = 0;
                const Labels expected = cc_test::FloodFill(size.width, size.height, Clamp(window, size), nonZero,
                                                           Within(image, threshold), false, nullptr, nullptr, before,
                                                           &regions);
                ASSERT_TRUE(detector.Run(image.data(), nullptr, nullptr, size.width, size.height, window, map,
                                         threshold));
                ASSERT_EQ(expected, Read(map)) << Describe(size, seed, "window");
                ASSERT_EQ(regions + 1, detector.LabelCount());
            }

            // Value ranges inside windows.
            for (int trial = 0; trial < 3; ++trial) {
                const Box2D<int> w = RandomWindow(rng, size);
                const int lo = rng.Uniform(0, 6000);
                const int hi = rng.Uniform(lo, 9000);
                const Box3D<int> window(Vector3D<int>(w.min.x, w.min.y, lo), Vector3D<int>(w.max.x, w.max.y, hi));
                const int threshold = rng.Uniform(SmallestThreshold(size), 20);
                const Labels before = Read(map);
                auto inRange = [&image, lo, hi](int p) { return image[p] != 0 && image[p] >= lo && image[p] <= hi; };
                int regions = 0;
                const Labels expected = cc_test::FloodFill(size.width, size.height, Clamp(w, size), inRange,
                                                           Within(image, threshold), false, nullptr, nullptr, before,
                                                           &regions);
                ASSERT_TRUE(detector.Run(image.data(), nullptr, nullptr, size.width, size.height, window, map,
                                         threshold));
                ASSERT_EQ(expected, Read(map)) << Describe(size, seed, "value range");
                ASSERT_EQ(regions + 1, detector.LabelCount());
            }

            // Masks: the mode is ignored, and so is a lone mask.
            std::unique_ptr<bool[]> joinLeft(new bool[image.size()]);
            std::unique_ptr<bool[]> joinUp(new bool[image.size()]);
            for (size_t i = 0; i < image.size(); ++i) {
                joinLeft[i] = rng.Chance(80);
                joinUp[i] = rng.Chance(80);
            }
            detector.Mode() = 1;
            int regions = 0;
            Labels expected = cc_test::FloodFill(size.width, size.height, whole, nonZero, Within(image, 8), false,
                                                 joinLeft.get(), joinUp.get(), {}, &regions);
            ASSERT_TRUE(detector.Run(image.data(), joinLeft.get(), joinUp.get(), size.width, size.height, map, 8));
            ASSERT_EQ(expected, Read(map)) << Describe(size, seed, "masks");
            ASSERT_EQ(regions + 1, detector.LabelCount());
            expected = cc_test::FloodFill(size.width, size.height, whole, nonZero, Within(image, 8), true, nullptr,
                                          nullptr, {}, &regions);
            ASSERT_TRUE(detector.Run(image.data(), nullptr, joinUp.get(), size.width, size.height, map, 8));
            ASSERT_EQ(expected, Read(map)) << Describe(size, seed, "one mask");

            // The hybrid form: close in either image.
            const std::vector<uint16_t> second = cc_test::MakeBlobImage(size.width, size.height, seed + 50);
            const Array2D<unsigned short> a = ToArray(image, size);
            const Array2D<unsigned short> b = ToArray(second, size);
            for (int mode : {0, 1}) {
                detector.Mode() = mode;
                auto either = [&](int p, int q) {
                    return std::abs(image[p] - image[q]) <= 3 || std::abs(second[p] - second[q]) <= 5;
                };
                expected = cc_test::FloodFill(size.width, size.height, whole, nonZero, either, mode == 1, nullptr,
                                              nullptr, {}, &regions);
                ASSERT_TRUE(detector.RunHybrid(a, b, map, 3, 5));
                ASSERT_EQ(expected, Read(map)) << Describe(size, seed, "hybrid mode " + std::to_string(mode));
                ASSERT_EQ(regions + 1, detector.LabelCount());
            }
        }
    }
}

// With 4-connectivity, no masks and every non-zero value above the
// threshold, no run can end on a zero pixel, so both paths must agree.
TEST(ConnectedComponentRandomTest, RunPathNumbersLikeThePerPixelPath) {
    const Size sizes[] = {{40, 30}, {160, 120}, {320, 240}, {640, 319}, {100, 250}};
    for (const Size& size : sizes) {
        for (int seed = 3; seed <= 4; ++seed) {
            const std::vector<uint16_t> image = cc_test::MakeBlobImage(size.width, size.height, seed);
            // The second image is 0 exactly where the first is.
            std::vector<uint16_t> second = cc_test::MakeBlobImage(size.width, size.height, seed + 9);
            for (size_t i = 0; i < image.size(); ++i) {
                second[i] = image[i] == 0 ? 0 : std::max<uint16_t>(second[i], 400);
            }
            ConnectedComponentDetector plain;
            ConnectedComponentDetector runs;
            runs.Set_SSE_Flag(1);
            ASSERT_TRUE(runs.Create_Objects_Allocate());
            xn::SceneMetaData expected;
            xn::SceneMetaData actual;
            Rng rng(seed * 7 + size.height);

            for (int threshold : {SmallestThreshold(size), 6, 30, 399}) {
                ASSERT_TRUE(plain.Run(image.data(), nullptr, nullptr, size.width, size.height, expected, threshold));
                ASSERT_TRUE(runs.Run(image.data(), nullptr, nullptr, size.width, size.height, actual, threshold));
                ASSERT_EQ(Read(expected), Read(actual)) << Describe(size, seed, "t " + std::to_string(threshold));
                ASSERT_EQ(plain.LabelCount(), runs.LabelCount());
            }
            for (int trial = 0; trial < 4; ++trial) {
                const Box2D<int> window = RandomWindow(rng, size);
                const int threshold = rng.Uniform(SmallestThreshold(size), 50);
                // The run path clears everything outside the window.
                const Labels zeros(image.size(), 0);
                std::copy(zeros.begin(), zeros.end(), expected.WritableData());
                ASSERT_TRUE(plain.Run(image.data(), nullptr, nullptr, size.width, size.height, window, expected,
                                      threshold));
                ASSERT_TRUE(runs.Run(image.data(), nullptr, nullptr, size.width, size.height, window, actual,
                                     threshold));
                ASSERT_EQ(Read(expected), Read(actual)) << Describe(size, seed, "window");
                ASSERT_EQ(plain.LabelCount(), runs.LabelCount());
            }
            const Array2D<unsigned short> a = ToArray(image, size);
            const Array2D<unsigned short> b = ToArray(second, size);
            const int t1 = SmallestThreshold(size) + 2;
            for (int t2 : {0, 6, 40}) {
                ASSERT_TRUE(plain.RunHybrid(a, b, expected, t1, t2));
                ASSERT_TRUE(runs.RunHybrid(a, b, actual, t1, t2));
                ASSERT_EQ(Read(expected), Read(actual)) << Describe(size, seed, "hybrid t2 " + std::to_string(t2));
                ASSERT_EQ(plain.LabelCount(), runs.LabelCount());
            }
        }
    }
}

// Zeros next to small values, values of 32768 and more, odd widths and
// windows: the run path follows its own rules.
TEST(ConnectedComponentRandomTest, RunPathFollowsItsOwnRulesOnAnyImage) {
    const Size sizes[] = {{40, 30}, {160, 120}, {320, 240}, {37, 29}, {13, 319}, {1, 5}, {9, 1}};
    for (const Size& size : sizes) {
        for (int seed = 5; seed <= 6; ++seed) {
            const std::vector<uint16_t> image = cc_test::MakeWildImage(size.width, size.height, seed);
            const std::vector<uint16_t> second = cc_test::MakeWildImage(size.width, size.height, seed + 20);
            ConnectedComponentDetector detector;
            detector.Set_SSE_Flag(1);
            ASSERT_TRUE(detector.Create_Objects_Allocate());
            xn::SceneMetaData map;
            Rng rng(seed + size.width);
            for (int trial = 0; trial < 6; ++trial) {
                const int threshold = rng.Uniform(0, 12);
                const int secondThreshold = rng.Uniform(0, 12);
                const bool whole = trial < 2;
                const bool hybrid = trial == 1;
                const Box2D<int> window = whole ? Box2D<int>(0, 0, size.width - 1, size.height - 1)
                                                : RandomWindow(rng, size);
                const Area area = Clamp(window, size);
                int regions = 0;
                const Labels expected = cc_test::RunReference(image, hybrid ? &second : nullptr, size.width,
                                                              size.height, threshold, secondThreshold, area, &regions);
                if (hybrid) {
                    ASSERT_TRUE(detector.RunHybrid(ToArray(image, size), ToArray(second, size), map, threshold,
                                                   secondThreshold));
                } else {
                    ASSERT_TRUE(detector.Run(image.data(), nullptr, nullptr, size.width, size.height, window, map,
                                             threshold));
                }
                ASSERT_EQ(expected, Read(map)) << Describe(size, seed, "trial " + std::to_string(trial));
                ASSERT_EQ(regions + 1, detector.LabelCount());
            }
        }
    }
}

}  // namespace
