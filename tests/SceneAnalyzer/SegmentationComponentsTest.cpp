// The connected components of a frame: the labelling images and label
// borders with their eight-pixel twins, the measures of each component,
// its first owner by overlap with the previous frame's users, and the
// record's text form.

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "SceneAnalyzer/ConverterLookups.h"
#include "SegmentationTestSupport.h"

namespace {

using vela_test::Map16;

class SegmentationComponentsTest : public vela_test::SegmentationFixture {
protected:
    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    // Random maps within the documented range (values below 32768).
    void RandomFrame() {
        Map16 depth = Flat(0);
        Map16 prev = Flat(0);
        Map16 fg = Flat(0);
        for (size_t i = 0; i < depth.size(); ++i) {
            const int kind = Uniform(0, 9);
            depth[i] = static_cast<uint16_t>(kind == 0 ? 0 : (kind == 1 ? Uniform(7990, 9999) : Uniform(400, 7999)));
            prev[i] = static_cast<uint16_t>(Uniform(0, 3) == 0 ? 0 : Uniform(400, 9999));
            fg[i] = static_cast<uint16_t>(Uniform(0, 1));
        }
        Depth(depth);
        PrevDepth(prev);
        Foreground(fg);
        XnLabel* previous = PrevLabels();
        XnLabel* planes = m_planes.m_planeIdMap.WritableData();
        for (int i = 0; i < kWidth * kHeight; ++i) {
            previous[i] = static_cast<XnLabel>(Uniform(0, 2) == 0 ? Uniform(1, 10) : 0);
            planes[i] = static_cast<XnLabel>(Uniform(0, 7));
        }
        m_planes.m_foundExtremePlane = Uniform(0, 1) == 1;
        const int left = Uniform(0, 20);
        const int top = Uniform(0, 20);
        Seg().m_imageBox = Box2D<int>(left, top, Uniform(left, kWidth - 1), Uniform(top, kHeight - 1));
    }

    std::mt19937 m_random{20};
};

TEST_F(SegmentationComponentsTest, LabellingImagesTwins) {
    Segmentation& s = Seg();
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        RandomFrame();
        s.updateDepthForCC();
        const Array2D<unsigned short> depth = s.m_ccDepth;
        const Array2D<unsigned short> shift = s.m_ccDepth2;
        s.updateDepthForCC_SSE();
        ASSERT_TRUE(vela_test::SameMap(depth, s.m_ccDepth, "depth side"));
        // Outside the image box only the depth side is defined.
        const Box2D<int>& box = s.m_imageBox;
        for (int y = box.min.y; y <= box.max.y; ++y) {
            for (int x = box.min.x; x <= box.max.x; ++x) {
                ASSERT_EQ(shift.Data()[y * kWidth + x], s.m_ccDepth2.Data()[y * kWidth + x]) << x << "," << y;
            }
        }
    }
}

TEST_F(SegmentationComponentsTest, LabelBorderTwins) {
    Segmentation& s = Seg();
    for (int round = 0; round < 20; ++round) {
        XnLabel* labels = Labels();
        std::fill(labels, labels + kWidth * kHeight, 0);
        for (int blob = 0; blob < 30; ++blob) {
            const int left = Uniform(0, kWidth - 1);
            const int top = Uniform(0, kHeight - 1);
            Paint(labels, left, top, std::min(left + Uniform(0, 40), kWidth - 1),
                  std::min(top + Uniform(0, 40), kHeight - 1), Uniform(0, 2000));
        }
        s.derivateLabels();
        const Array2D<unsigned char> plain = s.m_labelDer;
        std::fill(s.m_labelDer.Data(), s.m_labelDer.Data() + s.m_labelDer.Size(), 7);
        s.initLabelDer();
        s.derivateLabels_SSE();
        ASSERT_TRUE(vela_test::SameMap(plain, s.m_labelDer, "borders")) << round;
    }
}

// Background that was nobody's is pushed back, pixels without depth share
// one far value, pixels at the supported depth or on a plane are left out.
TEST_F(SegmentationComponentsTest, LabellingImages) {
    Segmentation& s = Seg();
    Map16 depth = Flat(3000);
    depth[0] = 0;
    depth[1] = 8000;
    depth[2] = 7999;
    Depth(depth);
    Map16 prev = Flat(3000);
    prev[3] = 0;
    PrevDepth(prev);
    Map16 fg = Flat(0);
    fg[4] = 1;
    Foreground(fg);
    PrevLabels()[5] = 2;
    m_planes.m_planeIdMap.WritableData()[6] = 1;
    m_planes.m_planeIdMap.WritableData()[7] = 6;
    for (const bool extreme : {false, true}) {
        m_planes.m_foundExtremePlane = extreme;
        s.updateDepthForCC();
        const unsigned short* d = s.m_ccDepth.Data();
        EXPECT_EQ(17600, d[0]);
        EXPECT_EQ(0, d[1]);
        EXPECT_EQ(7999 + 8800, d[2]);
        EXPECT_EQ(3000, d[3]);
        EXPECT_EQ(3000, d[4]);
        EXPECT_EQ(3000, d[5]);
        EXPECT_EQ(extreme ? 0 : 11800, d[6]);
        EXPECT_EQ(11800, d[7]);
        EXPECT_EQ(600 + s.m_farShift, s.m_ccDepth2.Data()[8]);
        EXPECT_EQ(2 * s.m_farShift, s.m_ccDepth2.Data()[0]);
    }
    s.m_imageBox = Box2D<int>(1, 0, kWidth - 1, kHeight - 1);
    s.updateDepthForCC();
    EXPECT_EQ(0, s.m_ccDepth.Data()[kWidth]);
}

// A frame of a person-sized box that was user 1 and kept its depth, a box
// that appeared half in the foreground, background and a hole: each component is measured, and the
// one that kept a user's pixels goes to that user.
TEST_F(SegmentationComponentsTest, ComponentsAreMeasuredAndGivenToTheirPreviousUser) {
    Segmentation& s = Seg();
    User& user = Alive(1);
    Map16 depth = Flat(3000);
    Paint(depth, 40, 20, 59, 99, 2000);
    Paint(depth, 100, 30, 109, 39, 1500);
    Paint(depth, 5, 5, 9, 9, 0);
    Depth(depth);
    Map16 prev = Flat(3000);
    Paint(prev, 40, 20, 59, 99, 2050);
    // Half the new box had no depth before, so it is not pushed back.
    Paint(prev, 100, 35, 109, 39, 0);
    PrevDepth(prev);
    Map16 fg = Flat(0);
    Paint(fg, 40, 20, 59, 99, 1);
    Paint(fg, 100, 30, 109, 34, 1);
    Foreground(fg);
    XnLabel* previous = Labels();
    std::fill(previous, previous + kWidth * kHeight, 0);
    Paint(previous, 40, 20, 59, 99, 1);
    Components();
    ASSERT_EQ(4, s.m_numCCs);
    const xn::SceneMetaData& labels = s.Labels();
    const int body = labels(45, 50);
    const int box = labels(105, 35);
    const int background = labels(0, 0);
    const int hole = labels(6, 6);
    const int area = scene_analysis::PixelArea(Converter(), 2000) * 1600 >> Converter().m_nAreaShift;
    EXPECT_EQ(area, s.m_ccArea[body]);
    EXPECT_EQ(area, s.m_ccFgArea[body]);
    EXPECT_EQ(area, s.m_ccUserMetric[body][1]);
    EXPECT_EQ(0, s.m_ccUserMetric[box][1]);
    EXPECT_EQ(1600, s.m_ccPixCount[body]);
    EXPECT_EQ(Box3D<int>(Vector3D<int>(40, 20, 2000), Vector3D<int>(59, 99, 2000)).min, s.m_ccBox[body].min);
    EXPECT_EQ(Vector3D<int>(59, 99, 2000), s.m_ccBox[body].max);
    EXPECT_EQ(49, s.m_ccCenterX[body]);
    EXPECT_EQ(59, s.m_ccCenterY[body]);
    EXPECT_EQ(2000, s.m_ccCenterZ[body]);
    EXPECT_TRUE(s.m_ccIsFg[body]);
    EXPECT_TRUE(s.m_ccIsTracked[body]);
    // No floor: the room frame is the camera's.
    EXPECT_EQ(Vector3D<int>(Converter().LengthAtDepthInt(2000, 49 - Converter().m_nCenterX),
                            Converter().LengthAtDepthInt(2000, Converter().m_nCenterY - 59), 2000),
              s.m_ccCenterInRoom[body]);
    EXPECT_EQ(1, s.m_ccUserId[body]);
    ASSERT_EQ(1, user.ccEnd() - user.ccBegin());
    EXPECT_EQ(body, *user.ccBegin());
    // Half foreground is not foreground; it changed depth.
    EXPECT_FALSE(s.m_ccIsFg[box]);
    EXPECT_FALSE(s.m_ccIsTracked[box]);
    EXPECT_EQ(0, s.m_ccUserId[box]);
    EXPECT_TRUE(s.m_ccIsPositive[box]);
    // Background: pushed back, boxed in the image only.
    EXPECT_FALSE(s.m_ccIsPositive[background]);
    EXPECT_EQ(0, s.m_ccArea[background]);
    EXPECT_EQ(0, s.m_ccBox[background].min.x);
    EXPECT_EQ(INT_MIN, s.m_ccBox[background].max.z);
    EXPECT_TRUE(s.m_ccNoDepth[hole]);
    EXPECT_FALSE(s.m_ccIsPositive[hole]);
    EXPECT_TRUE(s.CcsSanityCheck());
    // The background's measures on demand.
    s.computeCCPropertiesForDetection();
    EXPECT_GT(s.m_ccArea[background], 0);
    EXPECT_EQ(3000, s.m_ccBox[background].max.z);
    EXPECT_EQ(3000, s.m_ccCenterZ[background]);
    EXPECT_EQ(kWidth * kHeight - 1600 - 100 - 25, s.m_ccPixCount[background]);
}

// A component goes to the user it shares most unchanged area with when
// that is more than a third of it; each user also takes its best
// component when that shares more than 10000 mm^2. Ties go to the lower id.
TEST_F(SegmentationComponentsTest, OwnersByOverlap) {
    struct Case {
        int columnsOfUser2;  // of the component's 30 columns, previously user 2
        int columnsOfUser3;
        int owner;
    };
    // Each column of 10 pixels at 2000 mm.
    const Case cases[] = {{10, 0, 2}, {11, 0, 2}, {15, 15, 2}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.columnsOfUser2);
        Build(1);
        Alive(2);
        Alive(3);
        Map16 depth = Flat(0);
        Paint(depth, 50, 50, 79, 59, 2000);
        Depth(depth);
        PrevDepth(depth);
        Foreground(Flat(1));
        XnLabel* previous = Labels();
        std::fill(previous, previous + kWidth * kHeight, 0);
        if (c.columnsOfUser2 > 0) {
            Paint(previous, 50, 50, 49 + c.columnsOfUser2, 59, 2);
        }
        if (c.columnsOfUser3 > 0) {
            Paint(previous, 79 - c.columnsOfUser3 + 1, 50, 79, 59, 3);
        }
        Components();
        const int label = Seg().Labels()(60, 55);
        const int perColumn = scene_analysis::PixelArea(Converter(), 2000) * 10 >> Converter().m_nAreaShift;
        // A third exactly: not by the first rule, but as the user's best
        // component when that passes 10000.
        const int expected = c.columnsOfUser2 == 10 && perColumn * 10 <= 10000 ? 0 : c.owner;
        EXPECT_EQ(expected, Seg().m_ccUserId[label]) << perColumn;
    }
}

// Measures from the labeller's run lists equal those of a scan of the label
// map, on boxes at distinct depths with noise, some background and holes.
TEST_F(SegmentationComponentsTest, MeasuresFromRunListsTwins) {
    Segmentation& s = Seg();
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        Map16 depth = Flat(4000);
        Map16 fg = Flat(0);
        for (int box = 0; box < 12; ++box) {
            const int left = Uniform(0, kWidth - 2);
            const int top = Uniform(0, kHeight - 2);
            const int right = std::min(left + Uniform(1, 30), kWidth - 1);
            const int bottom = std::min(top + Uniform(1, 40), kHeight - 1);
            const int z = Uniform(0, 10) == 0 ? 0 : 800 + 200 * box;
            Paint(depth, left, top, right, bottom, z);
            Paint(fg, left, top, right, bottom, Uniform(0, 3) == 0 ? 0 : 1);
        }
        for (uint16_t& z : depth) {
            z = static_cast<uint16_t>(z == 0 ? 0 : z + Uniform(-5, 5));
        }
        Depth(depth);
        PrevDepth(Flat(4000));
        Foreground(fg);
        Components();
        std::vector<ConnectedComponent> runs(s.m_ccs, s.m_ccs + s.m_numCCs + 1);
        s.InitializeCCs();
        s.getCCsDataFromPixels();
        s.updateCCsInfo();
        for (int c = 1; c <= s.m_numCCs; ++c) {
            std::ostringstream a;
            std::ostringstream b;
            a << runs[static_cast<size_t>(c)] << runs[static_cast<size_t>(c)].boundsInRoom;
            b << s.m_ccs[c] << s.m_ccs[c].boundsInRoom;
            ASSERT_EQ(a.str(), b.str()) << c;
        }
    }
}

// A far component over the whole frame sums more than 32 bits of
// fixed-point area before its sums become square millimetres.
TEST_F(SegmentationComponentsTest, AFarComponentOverTheFrameKeepsItsArea) {
    Depth(Flat(7900));
    PrevDepth(Flat(0));
    Foreground(Flat(1));
    Components();
    ASSERT_EQ(1, Seg().m_numCCs);
    const long long pixelArea = scene_analysis::PixelArea(Converter(), 7900);
    ASSERT_GT(pixelArea * kWidth * kHeight, 2147483647LL);
    EXPECT_EQ(pixelArea * kWidth * kHeight >> Converter().m_nAreaShift, Seg().m_ccArea[1]);
    EXPECT_EQ(Seg().m_ccArea[1], Seg().m_ccFgArea[1]);
}

TEST_F(SegmentationComponentsTest, AComponentTooDenseForTheOverlapIsNotInTheBox) {
    Segmentation& s = Seg();
    Give(1, 0, 1000, Box3D<int>(Vector3D<int>(0, 0, 0), Vector3D<int>(9, 9, 3000)));
    s.m_ccPixCount[1] = 100;
    XnLabel* labels = Labels();
    Paint(labels, 0, 0, 9, 9, 1);
    Depth(Flat(2000));
    // Columns 0..3: room for (2 x 3 + 2) x 10 = 80 pixels, fewer than 100.
    EXPECT_FALSE(s.isCCInBox(1, Box3D<int>(Vector3D<int>(-5, 0, 0), Vector3D<int>(3, 0, 9000))));
    // Columns 0..4 hold half, not more.
    EXPECT_FALSE(s.isCCInBox(1, Box3D<int>(Vector3D<int>(0, 50, 0), Vector3D<int>(4, 50, 9000))));
    EXPECT_TRUE(s.isCCInBox(1, Box3D<int>(Vector3D<int>(0, 50, 0), Vector3D<int>(5, 50, 9000))));
    // Depths outside the box do not count.
    EXPECT_FALSE(s.isCCInBox(1, Box3D<int>(Vector3D<int>(0, 0, 0), Vector3D<int>(9, 9, 1999))));
}

TEST_F(SegmentationComponentsTest, TheRecordsTextForm) {
    ConnectedComponent cc;
    cc.pixelCount = 3;
    cc.area = 40;
    cc.bounds = Box3D<int>(Vector3D<int>(1, 2, 3), Vector3D<int>(4, 5, 6));
    cc.fgArea = 7;
    cc.userId = 2;
    cc.isFg = true;
    cc.userMetric[1] = 9;
    std::ostringstream text;
    text << cc;
    EXPECT_EQ(
        "pixelCount=3\narea=40\nbounds=1 4 2 5 3 6\nxCenter=0\nyCenter=0\nzCenter=0\nfgCount=7\nuserId=2\n"
        "noDepth=0\nisPositive=0\nisFg=1\nfgArea=7\nisTrakced=0\ntrackedArea=0\nisForGluing=0\n"
        "userMetric=9 0 0 0 0 0 0 0 0 0 \n",
        text.str());
}

}  // namespace
