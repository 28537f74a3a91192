// The skeleton's depth-map containers as the multi-user driver keeps them:
// which levels exist and what each holds, the label maps and user masks
// below the skeleton resolution, frames without labels, stopped users and
// label maps the containers cannot use.

#ifdef VELA_SKELETON_ON_CAMERA

#include <gtest/gtest.h>

#include <climits>

#include "SkeletonDriverFixture.h"

namespace {

using skeleton_test::Flat;

class MultiResDepthMapContainerTest : public skeleton_test::SkeletonDriverFixture {
protected:
    int MaskAt(Resolution level, int x, int y) const { return (*Containers()[level].userMask)(y, x); }
    int LabelAt(Resolution level, int x, int y) const { return (*Containers()[level].labelMap)(x, y); }
    int MaskCount(Resolution level) const {
        const Array2D<uint8_t>& mask = *Containers()[level].userMask;
        return static_cast<int>(std::count(mask.Data(), mask.Data() + mask.Rows() * mask.Columns(), 255));
    }
};

// Each level from the stream's size down to QQQVGA has its depth and
// converter; label maps and masks exist from the label level down: the
// label level's map is the one given, each coarser one a map of its own
// holding every second label, each coarser mask every second mask pixel.
class ContainerLevelsTest : public MultiResDepthMapContainerTest, public ::testing::WithParamInterface<Resolution> {};

TEST_P(ContainerLevelsTest, LevelsFromTheStreamDownToQqqvgaWithLabelsFromTheLabelLevelDown) {
    const Resolution labelLevel = GetParam();
    ASSERT_NO_FATAL_FAILURE(Open({Flat(320, 240, 2000)}, 320, 240, labelLevel));
    const MultiResDepthMapContainer& levels = Containers();
    EXPECT_EQ(QVGA, levels.nativeLevel);
    EXPECT_EQ(QQQVGA, levels.lowestLevel);
    EXPECT_EQ(labelLevel, levels.labelLevel);
    Users({1, 2});
    m_driver.GetFeatureExtractor(1)->SetMode(FeatureExtractor::MODE_TRACKING);
    const int w = g_nXRes[labelLevel];
    // An odd-sized block: the sampled pixels decide the coarser ones.
    Paint(w / 4, 11, w / 4 + 6, 30, 1);
    Paint(w / 2 + 1, 11, w / 2 + 1, 11, 2);
    Frame();
    EXPECT_EQ(nullptr, levels[QQQQVGA].depthMap);
    EXPECT_EQ(nullptr, levels[QQQQVGA].userMask);
    for (int j = QQQVGA; j <= QVGA; ++j) {
        const Resolution level = static_cast<Resolution>(j);
        SCOPED_TRACE(j);
        const DepthMapContainer& container = levels[level];
        EXPECT_EQ(level, container.resolution);
        ASSERT_NE(nullptr, container.depthMap);
        EXPECT_EQ(g_nXRes[j], container.depthMap->XRes());
        EXPECT_EQ(&m_session.Hub().DepthMap(level, 0), container.depthMap);
        EXPECT_EQ(m_session.Hub().m_pWorldPointConverters[j], container.converter);
        EXPECT_GE(container.imageBox.min.y, 1);
        if (j > labelLevel) {
            EXPECT_EQ(nullptr, container.labelMap);
            EXPECT_EQ(nullptr, container.userMask);
            continue;
        }
        ASSERT_NE(nullptr, container.labelMap);
        ASSERT_NE(nullptr, container.userMask);
        EXPECT_EQ(g_nXRes[j], container.userMask->Columns());
        EXPECT_EQ(g_nYRes[j], container.userMask->Rows());
        if (j == labelLevel) {
            EXPECT_EQ(&m_labels, container.labelMap);
        }
        // Only the tracked user is in the mask; both are in the labels.
        const int step = 1 << (labelLevel - j);
        int users[3] = {};
        for (int y = 0; y < g_nYRes[j]; ++y) {
            for (int x = 0; x < g_nXRes[j]; ++x) {
                const int label = m_labels(x * step, y * step);
                ASSERT_EQ(label, LabelAt(level, x, y)) << x << "," << y;
                ASSERT_EQ(label == 1 ? 255 : 0, MaskAt(level, x, y)) << x << "," << y;
                ++users[label];
            }
        }
        EXPECT_GT(users[1], 0);
        EXPECT_EQ(j == labelLevel ? 1 : 0, users[2]);
    }
    // The stream's own level has the whole image but its first row.
    EXPECT_EQ(Box2D<int>(0, 1, 319, 239), levels[QVGA].imageBox);
}

INSTANTIATE_TEST_SUITE_P(LabelLevels, ContainerLevelsTest, ::testing::Values(QQVGA, QVGA));

// A frame without labels: no map at the label level and empty masks
// everywhere, while the coarser label maps keep the last frame's labels.
// Label maps that do not fit the label level, or labels beyond the active
// table, are no users rather than reads off the end.
TEST_F(MultiResDepthMapContainerTest, FramesWithoutUsableLabelsHaveNoUsersInTheMasks) {
    ASSERT_NO_FATAL_FAILURE(Open({Flat(320, 240, 2000)}, 320, 240, QQVGA));
    Users({1});
    m_driver.GetFeatureExtractor(1)->SetMode(FeatureExtractor::MODE_TRACKING);
    Paint(40, 40, 79, 79, 1);
    Frame();
    ASSERT_EQ(40 * 40, MaskCount(QQVGA));
    ASSERT_EQ(20 * 20, MaskCount(QQQVGA));

    MultiResDepthMapContainer& levels = const_cast<MultiResDepthMapContainer&>(Containers());
    ASSERT_TRUE(m_session.Next());
    levels.Update(m_session.Node(), nullptr, nullptr);
    EXPECT_EQ(nullptr, levels[QQVGA].labelMap);
    EXPECT_EQ(0, MaskCount(QQVGA));
    EXPECT_EQ(0, MaskCount(QQQVGA));
    EXPECT_EQ(1, LabelAt(QQQVGA, 25, 25));

    xn::SceneMetaData wrongSize;
    wrongSize.AllocateData(80, 60);
    std::fill(wrongSize.WritableData(), wrongSize.WritableData() + 80 * 60, 1);
    xn::SceneMetaData noPixels;
    Array<bool> active;
    for (int i = 0; i < 100; ++i) {
        active.Push(i != 0);
    }
    for (const xn::SceneMetaData* labels : {&wrongSize, &noPixels}) {
        levels.Update(m_session.Node(), labels, &active);
        EXPECT_EQ(nullptr, levels[QQVGA].labelMap);
        EXPECT_EQ(0, MaskCount(QQVGA));
    }
    // Labels 100 and 65535 lie beyond the driver's 100-entry table.
    ClearLabels();
    Paint(0, 0, 9, 9, 100);
    Paint(10, 0, 19, 9, 65535);
    Paint(20, 0, 29, 9, 99);
    levels.Update(m_session.Node(), &m_labels, &active);
    EXPECT_EQ(&m_labels, levels[QQVGA].labelMap);
    EXPECT_EQ(100, MaskCount(QQVGA));
    EXPECT_EQ(255, MaskAt(QQVGA, 25, 5));
}

// Streams and label levels the containers cannot serve fail their set-up
// and leave every level empty; updates then do nothing.
TEST_F(MultiResDepthMapContainerTest, ALabelLevelAboveTheStreamIsRefused) {
    ASSERT_NO_FATAL_FAILURE(Open({Flat(320, 240, 2000)}, 320, 240, QQVGA));
    for (Resolution labels : {VGA, QQQQVGA, INVALID}) {
        SCOPED_TRACE(ToString(labels));
        MultiResDepthMapContainer containers;
        EXPECT_FALSE(containers.Initialize(&m_session.Hub(), m_session.Node(), labels));
        EXPECT_FALSE(containers.IsInitialized());
        containers.Update(m_session.Node(), &m_labels, nullptr);
        for (const DepthMapContainer& level : containers.levels) {
            EXPECT_EQ(nullptr, level.depthMap);
            EXPECT_EQ(nullptr, level.labelMap);
        }
    }
    MultiUserFeatureExtractor driver;
    EXPECT_FALSE(driver.Initialize(&m_session.Hub(), m_session.Node(), m_session.Depth(), VGA, nullptr, m_iniPath,
                                   m_dir.Path()));
}

}  // namespace

#endif
