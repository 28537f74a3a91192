// The run-based path: its own results where it differs from the per-pixel
// path, its run lists, tables that grow with the image, and the SSE2 link
// maps against their plain twin.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ConnectedComponentTestSupport.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"

namespace {

using cc_test::Labels;
using cc_test::Read;
using Line = ConnectedComponentDetector::line;
using RunList = std::vector<std::pair<int, int>>;

class ConnectedComponentRunPathTest : public ::testing::Test {
protected:
    ConnectedComponentRunPathTest() : m_detector(false) {
        m_detector.Set_SSE_Flag(1);
        EXPECT_TRUE(m_detector.Create_Objects_Allocate());
    }

    Labels Label(const std::vector<uint16_t>& image, int width, int height, int threshold) {
        EXPECT_TRUE(m_detector.Run(image.data(), nullptr, nullptr, width, height, m_map, threshold));
        return Read(m_map);
    }

    // First and last column of each run of row y.
    RunList RowRuns(int y) const {
        RunList runs;
        const Line* list = m_detector.GetRowRuns(y);
        for (int k = 0; list[k].m_nLabel != -1; ++k) {
            runs.emplace_back(list[k].m_nFirst, list[k].m_nLast);
        }
        EXPECT_EQ(static_cast<int>(runs.size()), m_detector.GetRowRunCount(y));
        return runs;
    }

    ConnectedComponentDetector m_detector;
    xn::SceneMetaData m_map;
};

TEST_F(ConnectedComponentRunPathTest, ARunEndsOnTheFirstPixelWithoutARightLink) {
    // 100 100 0 100: the zero is too far from 100 to end a run.
    std::vector<uint16_t> image(8 * 2, 0);
    image[0] = image[1] = image[3] = 100;
    const Labels labels = Label(image, 8, 2, 10);
    EXPECT_EQ((Labels{1, 1, 0, 2, 0, 0, 0, 0}), Labels(labels.begin(), labels.begin() + 8));
    EXPECT_EQ((RunList{{0, 1}, {3, 3}}), RowRuns(0));
    EXPECT_EQ(RunList{}, RowRuns(1));
    EXPECT_EQ(3, m_detector.LabelCount());

    // 5 0 100: the zero after the 5 is within the threshold of it and ends
    // its run, so it takes the 5's number; the per-pixel path leaves it 0.
    const std::vector<uint16_t> second = {5, 0, 100, 0, 0, 0, 0, 0};
    EXPECT_EQ((Labels{1, 1, 2, 0, 0, 0, 0, 0}), Label(second, 8, 1, 10));
    EXPECT_EQ((RunList{{0, 1}, {2, 2}}), RowRuns(0));
    ConnectedComponentDetector plain;
    xn::SceneMetaData map;
    ASSERT_TRUE(plain.Run(second.data(), nullptr, nullptr, 8, 1, map, 10));
    EXPECT_EQ((Labels{1, 0, 2, 0, 0, 0, 0, 0}), Read(map));
}

TEST_F(ConnectedComponentRunPathTest, ValuesOf32768AndMoreAreNegativeLanes) {
    // No run continues past 40000, but a run may end on it.
    EXPECT_EQ((Labels{1, 2, 3}), Label({40000, 40000, 40000}, 3, 1, 0));
    EXPECT_EQ((Labels{1, 1, 2}), Label({100, 40000, 100}, 3, 1, 30000));
    EXPECT_EQ((RunList{{0, 1}, {2, 2}}), RowRuns(0));
}

TEST_F(ConnectedComponentRunPathTest, HybridRunsCoverAZeroWhoseSecondValueIsClose) {
    Array2D<unsigned short> first;
    Array2D<unsigned short> second;
    first.SetSize(1, 8, false);
    second.SetSize(1, 8, false);
    std::fill(first.Data(), first.Data() + 8, 0);
    std::fill(second.Data(), second.Data() + 8, 0);
    first(0, 0) = 205;
    second(0, 0) = second(0, 1) = 110;
    ASSERT_TRUE(m_detector.RunHybrid(first, second, m_map, 0, 0));
    EXPECT_EQ((Labels{1, 1, 0, 0, 0, 0, 0, 0}), Read(m_map));

    ConnectedComponentDetector plain;
    ASSERT_TRUE(plain.RunHybrid(first, second, m_map, 0, 0));
    EXPECT_EQ((Labels{1, 0, 0, 0, 0, 0, 0, 0}), Read(m_map));
}

TEST_F(ConnectedComponentRunPathTest, UShapesAreJoinedWhereverTheirArmsMeet) {
    const std::vector<uint16_t> image = {
        9, 0, 9, 0, 9, 0, 5, 5,  //
        9, 0, 9, 0, 9, 0, 0, 0,  //
        9, 9, 9, 0, 9, 0, 7, 0,  //
        0, 0, 0, 0, 9, 0, 7, 0,  //
        9, 9, 9, 9, 9, 9, 9, 0,  //
    };
    // Each U gets the number of its first arm; the arms of the second meet
    // only in the last row. Mode and masks do not change the run path.
    const Labels expected = {
        1, 0, 1, 0, 2, 0, 3, 3,  //
        1, 0, 1, 0, 2, 0, 0, 0,  //
        1, 1, 1, 0, 2, 0, 2, 0,  //
        0, 0, 0, 0, 2, 0, 2, 0,  //
        2, 2, 2, 2, 2, 2, 2, 0,  //
    };
    m_detector.Mode() = 1;
    bool masks[40] = {};
    ASSERT_TRUE(m_detector.Run(image.data(), masks, masks, 8, 5, m_map, 2));
    EXPECT_EQ(expected, Read(m_map));
    EXPECT_EQ(4, m_detector.LabelCount());
}

TEST_F(ConnectedComponentRunPathTest, AWindowClearsEverythingOutsideIt) {
    const std::vector<uint16_t> image(12 * 6, 300);
    Label(image, 12, 6, 0);
    ASSERT_TRUE(m_detector.Run(image.data(), nullptr, nullptr, 12, 6, Box2D<int>(3, 2, 7, 3), m_map, 0));
    Labels expected(image.size(), 0);
    for (int y = 2; y <= 3; ++y) {
        for (int x = 3; x <= 7; ++x) {
            expected[y * 12 + x] = 1;
        }
    }
    EXPECT_EQ(expected, Read(m_map));
    EXPECT_EQ(2, m_detector.LabelCount());
    for (int y = 0; y < 6; ++y) {
        EXPECT_EQ((y == 2 || y == 3) ? 1 : 0, m_detector.GetRowRunCount(y)) << y;
        EXPECT_EQ(-1, m_detector.GetRowRuns(y)[m_detector.GetRowRunCount(y)].m_nLabel);
    }
    // The run stops at the window's last column though its links go on.
    EXPECT_EQ((RunList{{3, 7}}), RowRuns(2));
    EXPECT_EQ(nullptr, m_detector.GetRowRuns(6));
    EXPECT_EQ(0, m_detector.GetRowRunCount(-1));
}

// Each run list matches the painted map: runs in column order, inside the
// area, one label per run, and every labelled pixel of a row in a run.
TEST_F(ConnectedComponentRunPathTest, RunListsDescribeThePaintedMap) {
    const int width = 53;
    const int height = 41;
    const std::vector<uint16_t> image = cc_test::MakeWildImage(width, height, 11);
    ASSERT_TRUE(m_detector.Run(image.data(), nullptr, nullptr, width, height, Box2D<int>(4, 3, 47, 38), m_map, 5));
    const Labels labels = Read(m_map);
    for (int y = 0; y < height; ++y) {
        const Line* list = m_detector.GetRowRuns(y);
        const int count = m_detector.GetRowRunCount(y);
        ASSERT_EQ(-1, list[count].m_nLabel);
        std::vector<bool> covered(width, false);
        int previousLast = -1;
        for (int k = 0; k < count; ++k) {
            const Line& run = list[k];
            ASSERT_EQ(y, run.m_nRow);
            ASSERT_GT(run.m_nFirst, previousLast);
            ASSERT_LE(run.m_nFirst, run.m_nLast);
            ASSERT_GE(run.m_nFirst, 4);
            ASSERT_LE(run.m_nLast, 47);
            ASSERT_GT(run.m_nLabel, 0);
            ASSERT_NE(0, image[y * width + run.m_nFirst]);
            for (int x = run.m_nFirst; x <= run.m_nLast; ++x) {
                ASSERT_EQ(labels[y * width + run.m_nFirst], labels[y * width + x]);
                covered[x] = true;
            }
            previousLast = run.m_nLast;
        }
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(covered[x], labels[y * width + x] != 0) << x << "," << y;
        }
    }
}

// Flags of the last pixels of each row come from plain code, not from an
// earlier, wider image.
TEST_F(ConnectedComponentRunPathTest, TheTailOfEveryRowGetsFreshFlags) {
    Label(std::vector<uint16_t>(16 * 4, 500), 16, 4, 0);
    const std::vector<uint16_t> image = {
        500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 700, 500,  //
        500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 700, 700,  //
        500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 900,  //
    };
    const Labels expected = {
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 3,  //
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2,  //
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 4,  //
    };
    EXPECT_EQ(expected, Label(image, 13, 3, 0));
}

// Heights 241 to 319, hundreds of runs in a row and tens of thousands in an
// image all fit the tables, which grow with the image.
TEST_F(ConnectedComponentRunPathTest, TablesGrowForTallImagesAndManyRuns) {
    for (const auto& size : {std::pair<int, int>{8, 319}, {700, 3}, {320, 240}, {640, 200}}) {
        const int width = size.first;
        const int height = size.second;
        // Every second pixel set, offset by one on odd rows: isolated pixels.
        std::vector<uint16_t> board(static_cast<size_t>(width) * height, 0);
        for (int y = 0; y < height; ++y) {
            for (int x = y & 1; x < width; x += 2) {
                board[y * width + x] = 1000;
            }
        }
        const int regions = width * height / 2;
        Labels expected(board.size(), 0);
        int next = 0;
        for (size_t i = 0; i < board.size(); ++i) {
            if (board[i] != 0) {
                expected[i] = static_cast<uint16_t>(++next);
            }
        }
        EXPECT_EQ(expected, Label(board, width, height, 10)) << width << "x" << height;
        EXPECT_EQ(regions + 1, m_detector.LabelCount());
        EXPECT_EQ(width / 2, m_detector.GetRowRunCount(height - 1));
    }
}

TEST_F(ConnectedComponentRunPathTest, MoreRegionsThan16BitLabelsHoldFail) {
    // 65534 isolated pixels fit; 81918 do not.
    for (const int height : {4, 5}) {
        const int width = 32767;
        std::vector<uint16_t> board(static_cast<size_t>(width) * height, 0);
        int regions = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = y & 1; x < width; x += 2) {
                board[static_cast<size_t>(y) * width + x] = 1000;
                ++regions;
            }
        }
        const bool fits = regions <= 65535;
        EXPECT_EQ(fits, m_detector.Run(board.data(), nullptr, nullptr, width, height, m_map, 10)) << height;
        EXPECT_EQ(fits ? regions + 1 : 0, m_detector.LabelCount());
        const Labels labels = Read(m_map);
        EXPECT_EQ(fits ? regions : 0, *std::max_element(labels.begin(), labels.end()));
    }
    // Run columns are 16-bit: wider images are refused.
    const std::vector<uint16_t> wide(32768, 5);
    EXPECT_FALSE(m_detector.Run(wide.data(), nullptr, nullptr, 32768, 1, m_map, 0));
    EXPECT_EQ(0, m_detector.LabelCount());
}

TEST(ConnectedComponentRunsTest, BuffersAreAllocatedOnceAndNeededForTheRunPath) {
    ConnectedComponentDetector detector(true);
    EXPECT_FALSE(detector.BuffersAllocated());
    const std::vector<uint16_t> image(16, 40);
    xn::SceneMetaData map;
    EXPECT_FALSE(detector.Run(image.data(), nullptr, nullptr, 4, 4, map, 0));
    EXPECT_EQ(0, detector.LabelCount());

    EXPECT_TRUE(detector.Create_Objects_Allocate());
    EXPECT_FALSE(detector.Create_Objects_Allocate());
    EXPECT_TRUE(detector.Run(image.data(), nullptr, nullptr, 4, 4, map, 0));
    EXPECT_EQ(2, detector.LabelCount());
    detector.Create_Objects_Free();
    EXPECT_FALSE(detector.BuffersAllocated());
    EXPECT_EQ(nullptr, detector.GetRowRuns(0));
    EXPECT_TRUE(detector.Create_Objects_Allocate());
    EXPECT_TRUE(detector.Run(image.data(), nullptr, nullptr, 4, 4, map, 0));
}

using ConnectedComponentRunsDeathTest = ::testing::Test;

TEST_F(ConnectedComponentRunsDeathTest, HeightsOutsideOneTo319EndTheProcess) {
    auto run = [](int height, bool window) {
        ConnectedComponentDetector detector(true);
        detector.Create_Objects_Allocate();
        const std::vector<uint16_t> image(static_cast<size_t>(8) * 320, 7);
        xn::SceneMetaData map;
        if (window) {
            detector.Run(image.data(), nullptr, nullptr, 8, height, Box2D<int>(0, 0, 7, 10), map, 0);
        } else {
            detector.Run(image.data(), nullptr, nullptr, 8, height, map, 0);
        }
    };
    const char* const message = "FATAL ERROR: ConnectedComponentDetector doesn't support the required resolution";
    EXPECT_EXIT(run(320, false), ::testing::ExitedWithCode(1), message);
    EXPECT_EXIT(run(0, false), ::testing::ExitedWithCode(1), message);
    EXPECT_EXIT(run(320, true), ::testing::ExitedWithCode(1), message);
}

// The SSE2 link maps and their plain twin agree flag for flag on any
// values, widths and thresholds, over the rows of the stretch.
TEST(ConnectedComponentRunsTest, SseLinkMapsAgreeWithThePlainTwin) {
    cc_test::Rng rng(99);
    for (int trial = 0; trial < 400; ++trial) {
        const int width = rng.Uniform(1, 70);
        const int height = rng.Uniform(1, 9);
        const int firstRow = rng.Uniform(0, height - 1);
        const int endRow = rng.Uniform(firstRow, height);
        const std::vector<uint16_t> a = cc_test::MakeWildImage(width, height, trial);
        std::vector<uint16_t> b = cc_test::MakeWildImage(width, height, trial + 1000);
        for (uint16_t& v : b) {
            if (rng.Chance(10)) {
                v = static_cast<uint16_t>(rng.Uniform(0, 65535));
            }
        }
        const int thresholds[] = {0, 3, 12, 200, 32766, 32767, 65535, -1, -40000, rng.Uniform(-70000, 70000)};
        const int t1 = thresholds[rng.Uniform(0, 9)];
        const int t2 = thresholds[rng.Uniform(0, 9)];
        const size_t n = a.size();
        std::vector<uint16_t> right(n, 0x1234), down(n, 0x1234), rightSse(n, 0x5678), downSse(n, 0x5678);
        const bool two = trial % 2 == 1;
        if (two) {
            ConnectedComponentDetector::Is_Touch(a.data(), b.data(), width, height, t1, t2, right.data(), down.data(),
                                                 firstRow, endRow);
            ConnectedComponentDetector::Is_Touch_SSE(a.data(), b.data(), width, height, t1, t2, rightSse.data(),
                                                     downSse.data(), firstRow, endRow);
        } else {
            ConnectedComponentDetector::Is_Touch(a.data(), width, height, t1, right.data(), down.data(), firstRow,
                                                 endRow);
            ConnectedComponentDetector::Is_Touch_SSE(a.data(), width, height, t1, rightSse.data(), downSse.data(),
                                                     firstRow, endRow);
        }
        for (int y = firstRow; y < endRow; ++y) {
            for (int x = 0; x < width; ++x) {
                const size_t p = static_cast<size_t>(y) * width + x;
                ASSERT_EQ(right[p], rightSse[p]) << "trial " << trial << " at " << x << "," << y;
                ASSERT_EQ(down[p], downSse[p]) << "trial " << trial << " at " << x << "," << y;
                ASSERT_TRUE(right[p] == 0 || right[p] == 0xFFFF);
            }
        }
    }
}

// The plain twin spelled out on hand-picked lanes.
TEST(ConnectedComponentRunsTest, LinksUseSigned16BitDistances) {
    const std::vector<uint16_t> image = {
        10, 20, 0, 40000, 32767, 32768, 5, 5,  //
        10, 31, 0, 40000, 32767, 32768, 0, 9,  //
    };
    std::vector<uint16_t> right(16), down(16);
    ConnectedComponentDetector::Is_Touch(image.data(), 8, 2, 10, right.data(), down.data(), 0, 2);
    const uint16_t S = 0xFFFF;
    // 32767 and 32768 are 65535 apart, which wraps to -1: "small".
    EXPECT_EQ((std::vector<uint16_t>{S, 0, 0, 0, S, 0, S, 0, 0, 0, 0, 0, S, 0, 0, 0}), right);
    EXPECT_EQ((std::vector<uint16_t>{S, 0, S, S, S, S, S, S, 0, 0, 0, 0, 0, 0, 0, 0}), down);
    // A threshold of 32767 makes threshold + 1 negative: nothing is small.
    ConnectedComponentDetector::Is_Touch(image.data(), 8, 2, 32767, right.data(), down.data(), 0, 2);
    EXPECT_EQ(std::vector<uint16_t>(16, 0), right);
}

}  // namespace
