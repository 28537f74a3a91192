#include "QuorLibrary/Math/Box1D.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace {

TEST(Box3DTest, DefaultBoxIsEmptyAndInverted) {
    const Box3D<float> box;
    EXPECT_EQ(Vector3D<float>(3.4028235e38f, 3.4028235e38f, 3.4028235e38f), box.min);
    EXPECT_EQ(Vector3D<float>(-3.4028235e38f, -3.4028235e38f, -3.4028235e38f), box.max);
    EXPECT_FALSE(box.Intersects(Vector3D<float>(0, 0, 0)));
    EXPECT_FALSE(box.Intersects(box.min));
    EXPECT_FALSE(box.Intersects(box.max));

    const Box3D<int>& empty = Box3D<int>::EmptyBox();
    EXPECT_EQ(Vector3D<int>(2147483647, 2147483647, 2147483647), empty.min);
    EXPECT_EQ(Vector3D<int>(-2147483647 - 1, -2147483647 - 1, -2147483647 - 1), empty.max);
    EXPECT_EQ(&empty, &Box3D<int>::EmptyBox());

    const Box1D<unsigned short> range;
    EXPECT_EQ(65535, range.min);
    EXPECT_EQ(0, range.max);
    const Box2D<int> image;
    EXPECT_EQ(Vector2D<int>(2147483647, 2147483647), image.min);
    EXPECT_EQ(Vector2D<int>(-2147483647 - 1, -2147483647 - 1), image.max);
}

TEST(Box3DTest, IntersectsIncludesBothFaces) {
    const Box3D<float> box(Vector3D<float>(0, 0, 0), Vector3D<float>(1, 2, 3));
    struct Case {
        Vector3D<float> point;
        bool inside;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {{0, 0, 0}, true},   {{1, 2, 3}, true},    {{0.5f, 2, 1}, true},  {{1.001f, 1, 1}, false},
        {{0.5f, -0.1f, 1}, false}, {{0.5f, 1, 3.5f}, false}, {{nan, 1, 1}, false}, {{0.5f, 1, nan}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.inside, box.Intersects(c.point)) << c.point;
    }
    // Through the abstract shape as well.
    const Geometry3D<float>& shape = box;
    EXPECT_TRUE(shape.Intersects(Vector3D<float>(1, 2, 3)));

    const Box3D<int> intBox(Vector3D<int>(-5, -5, 100), Vector3D<int>(5, 5, 200));
    EXPECT_TRUE(intBox.Intersects(Vector3D<int>(5, -5, 200)));
    EXPECT_FALSE(intBox.Intersects(Vector3D<int>(5, -5, 201)));
}

// The INI reader and the debug writers use the per-axis form: minimum then
// maximum for x, then y, then z; never the two corners one after the other.
TEST(BoxTextTest, WritesAndReadsPerAxisMinThenMax) {
    const Box3D<float> box(Vector3D<float>(1, 2, 3), Vector3D<float>(4, 5, 6.5f));
    std::ostringstream out;
    out << box;
    EXPECT_EQ("1 4 2 5 3 6.5", out.str());

    Box3D<float> read;
    std::istringstream in(out.str());
    in >> read;
    EXPECT_EQ(box.min, read.min);
    EXPECT_EQ(box.max, read.max);

    std::ostringstream out2;
    out2 << Box3D<int>(Vector3D<int>(-1, -2, -3), Vector3D<int>(1, 2, 3)) << '|'
         << Box2D<int>(Vector2D<int>(10, 20), Vector2D<int>(30, 40)) << '|' << Box1D<float>(0.5f, 2.0f);
    EXPECT_EQ("-1 1 -2 2 -3 3|10 30 20 40|0.5 2", out2.str());

    Box2D<int> image;
    std::istringstream in2("10 30 20 40");
    in2 >> image;
    EXPECT_EQ(Box2D<int>(10, 20, 30, 40), image);
}

TEST(BoxTextTest, ReadLeavesComponentsAfterAFailureUnchanged) {
    Box3D<float> box(Vector3D<float>(9, 9, 9), Vector3D<float>(9, 9, 9));
    std::istringstream in("1 2 3");
    in >> box;
    EXPECT_EQ(Vector3D<float>(1, 3, 9), box.min);
    EXPECT_EQ(Vector3D<float>(2, 9, 9), box.max);
}

}  // namespace
