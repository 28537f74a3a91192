// The multi-user driver's label statistics: pixel counts, centres of mass,
// pixel boxes at every level, depth ranges and world boxes of the labels
// that have a feature extractor, their copy into each extractor's UserInfo,
// users without pixels and the lowest height of all users.

#ifdef VELA_SKELETON_ON_CAMERA

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>

#include "SkeletonDriverFixture.h"

namespace {

// Left half of the 320x240 image at 2 m, right half at 3 m.
std::vector<uint16_t> TwoWalls() {
    std::vector<uint16_t> depth = skeleton_test::Flat(320, 240, 2000);
    for (int y = 0; y < 240; ++y) {
        std::fill(depth.begin() + y * 320 + 160, depth.begin() + (y + 1) * 320, 3000);
    }
    return depth;
}

const float kEmptyMin = 2147483648.0f;
const float kEmptyMax = -2147483648.0f;

class UserLabelInfoTest : public skeleton_test::SkeletonDriverFixture {
protected:
    // The mean world point of the label's pixels at QQVGA, in floating
    // point from the converter's pixel size.
    Vector3D<float> FloatCentre(XnLabel label) const {
        const DepthMapContainer& level = Containers()[QQVGA];
        const WorldPointConverter<float>& converter = *level.converter;
        double sum[3] = {};
        int count = 0;
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 160; ++x) {
                if (m_labels(x, y) == label) {
                    const Vector3D<float> p = converter.WorldPt(*level.depthMap, Vector2D<int>(x, y));
                    sum[0] += p.x;
                    sum[1] += p.y;
                    sum[2] += p.z;
                    ++count;
                }
            }
        }
        return Vector3D<float>(static_cast<float>(sum[0] / count), static_cast<float>(sum[1] / count),
                               static_cast<float>(sum[2] / count));
    }
};

// Users as blocks of the QQVGA label map: counts, boxes at QQQVGA, QQVGA
// and QVGA (a box at the bottom-right corner ends on the finer level's last
// pixel), depth ranges across the two walls and centres of mass within a
// millimetre of the floating-point mean. A label without an extractor is
// not counted; the extractor's mode does not matter.
TEST_F(UserLabelInfoTest, EveryUserWithAnExtractorHasItsPixelsCounted) {
    ASSERT_NO_FATAL_FAILURE(Open({TwoWalls()}, 320, 240, QQVGA));
    struct Case {
        XnLabel label;
        Box2D<int> block;
        int count;
        Box1D<int> depths;
        Box2D<int> qqqvga;
        Box2D<int> qvga;
    };
    const Case cases[] = {
        {1, Box2D<int>(20, 30, 39, 89), 1200, Box1D<int>(2000, 2000), Box2D<int>(10, 15, 20, 45),
         Box2D<int>(40, 60, 79, 179)},
        {2, Box2D<int>(70, 50, 89, 59), 200, Box1D<int>(2000, 3000), Box2D<int>(35, 25, 45, 30),
         Box2D<int>(140, 100, 179, 119)},
        {3, Box2D<int>(159, 119, 159, 119), 1, Box1D<int>(3000, 3000), Box2D<int>(79, 59, 79, 59),
         Box2D<int>(318, 238, 319, 239)},
        {7, Box2D<int>(0, 1, 1, 2), 4, Box1D<int>(2000, 2000), Box2D<int>(0, 0, 1, 1), Box2D<int>(0, 2, 3, 5)},
    };
    Users({1, 2, 3, 7});
    m_driver.GetFeatureExtractor(2)->SetMode(FeatureExtractor::MODE_TRACKING);
    for (const Case& c : cases) {
        Paint(c.block.min.x, c.block.min.y, c.block.max.x, c.block.max.y, c.label);
    }
    Paint(100, 100, 109, 109, 5);
    Frame();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const UserLabelInfo& info = m_driver.GetUserLabelInfo(c.label);
        EXPECT_EQ(c.count, info.pixelCount);
        EXPECT_EQ(c.block, info.boundsPix[QQVGA]);
        EXPECT_EQ(c.qqqvga, info.boundsPix[QQQVGA]);
        EXPECT_EQ(c.qvga, info.boundsPix[QVGA]);
        EXPECT_EQ(Box2D<int>(), info.boundsPix[QQQQVGA]);
        EXPECT_EQ(Box2D<int>(), info.boundsPix[VGA]);
        EXPECT_EQ(c.depths, info.depthBounds);
        const Vector3D<float> centre = FloatCentre(c.label);
        EXPECT_NEAR(centre.x, info.com.x, 1.0f);
        EXPECT_NEAR(centre.y, info.com.y, 1.0f);
        EXPECT_FLOAT_EQ(centre.z, info.com.z);
        EXPECT_EQ(static_cast<float>(c.depths.min), info.boundsRW.min.z);
        EXPECT_EQ(static_cast<float>(c.depths.max), info.boundsRW.max.z);
        EXPECT_LE(info.boundsRW.min.x, info.com.x);
        EXPECT_GE(info.boundsRW.max.x, info.com.x);
        EXPECT_LE(info.boundsRW.min.y, info.com.y);
        EXPECT_GE(info.boundsRW.max.y, info.com.y);
        // The extractor gets all of it but the count and integer box.
        const UserInfo& user = m_driver.GetFeatureExtractor(c.label)->GetUserInfo();
        EXPECT_EQ(info.com, user.com);
        for (int j = 0; j < 7; ++j) {
            EXPECT_EQ(info.boundsPix[j], user.boundsPix[j]) << j;
        }
        EXPECT_EQ(info.depthBounds, user.depthBounds);
        EXPECT_EQ(info.boundsRW.min, user.boundsRW.min);
        EXPECT_EQ(info.boundsRW.max, user.boundsRW.max);
    }
    EXPECT_EQ(0, m_driver.GetUserLabelInfo(5).pixelCount);
    // The bottom-right user is the lowest: its row at 3 m.
    EXPECT_EQ(m_driver.GetUserLabelInfo(3).boundsRW.min.y, m_driver.GetLowestHeight());
    EXPECT_NEAR(FloatCentre(3).y, m_driver.GetLowestHeight(), 1.0f);
}

// A user whose label has no pixels: count 0, centre (0, 0, 0), every box
// empty, the world box the float copy of the empty integer box; the lowest
// height is left alone, before and after other users had pixels.
TEST_F(UserLabelInfoTest, AUserWithoutPixelsIsEmptyAndLeavesTheLowestHeight) {
    ASSERT_NO_FATAL_FAILURE(Open({TwoWalls()}, 320, 240, QQVGA));
    Users({4});
    Frame();
    EXPECT_EQ(FLT_MAX, m_driver.GetLowestHeight());
    Users({1});
    Paint(20, 30, 39, 89, 1);
    Frame();
    const float lowest = m_driver.GetUserLabelInfo(1).boundsRW.min.y;
    EXPECT_EQ(lowest, m_driver.GetLowestHeight());
    // The user leaves the map: the lowest height stays until a reset.
    ClearLabels();
    Frame();
    EXPECT_EQ(lowest, m_driver.GetLowestHeight());
    for (int id : {1, 4}) {
        SCOPED_TRACE(id);
        const UserLabelInfo& info = m_driver.GetUserLabelInfo(id);
        EXPECT_EQ(0, info.pixelCount);
        const UserInfo& user = m_driver.GetFeatureExtractor(id)->GetUserInfo();
        EXPECT_EQ(Vector3D<float>(0, 0, 0), user.com);
        for (int j = 0; j < 7; ++j) {
            EXPECT_EQ(Box2D<int>(INT_MAX, INT_MAX, INT_MIN, INT_MIN), user.boundsPix[j]) << j;
        }
        EXPECT_EQ(Box1D<int>(INT_MAX, INT_MIN), user.depthBounds);
        EXPECT_EQ(Vector3D<float>(kEmptyMin, kEmptyMin, kEmptyMin), user.boundsRW.min);
        EXPECT_EQ(Vector3D<float>(kEmptyMax, kEmptyMax, kEmptyMax), user.boundsRW.max);
    }
    m_driver.Reset();
    EXPECT_EQ(FLT_MAX, m_driver.GetLowestHeight());
}

// A VGA label map covered by one user at 9 m: the depth sum passes the int
// range, the centre stays the depth.
TEST_F(UserLabelInfoTest, AUserFillingAVgaLabelMapFarAwayHasItsDepthAsCentre) {
    ASSERT_NO_FATAL_FAILURE(Open({skeleton_test::Flat(640, 480, 9000)}, 640, 480, VGA));
    Users({1});
    Paint(0, 0, 639, 479, 1);
    Frame();
    const UserLabelInfo& info = m_driver.GetUserLabelInfo(1);
    EXPECT_EQ(640 * 480, info.pixelCount);
    EXPECT_EQ(9000.0f, info.com.z);
    EXPECT_NEAR(0.0f, info.com.x, 10.0f);
    EXPECT_NEAR(0.0f, info.com.y, 10.0f);
    EXPECT_EQ(Box2D<int>(0, 0, 639, 479), info.boundsPix[VGA]);
    EXPECT_EQ(Box2D<int>(0, 0, 79, 59), info.boundsPix[QQQVGA]);
}

}  // namespace

#endif
