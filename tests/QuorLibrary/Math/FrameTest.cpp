#include "QuorLibrary/Math/Frame3D.h"
#include "GeometryTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

using geometry_test::ExpectNear3;

Frame3D<float> RandomFrame(std::mt19937& rng) {
    std::uniform_real_distribution<float> angle(-3.0f, 3.0f);
    std::uniform_real_distribution<float> coordinate(-2000.0f, 2000.0f);
    const float ax = angle(rng);
    const float ay = angle(rng);
    const float az = angle(rng);
    const float ox = coordinate(rng);
    const float oy = coordinate(rng);
    const float oz = coordinate(rng);
    return Frame3D<float>(Vector3D<float>(ox, oy, oz), Matrix3X3<float>::FixedXYZRotation(ax, ay, az));
}

TEST(FrameTest, DefaultIsTheWorldFrame) {
    const Frame3D<float> frame;
    EXPECT_EQ(Vector3D<float>(0, 0, 0), frame.m_origin);
    EXPECT_TRUE(frame.m_orientation == Matrix3X3<float>::Identity());
    EXPECT_EQ(Vector3D<float>(1, 2, 3), frame.FrameToWorld(Vector3D<float>(1, 2, 3)));
    // Snapshots store the origin then the nine rotation elements, 48 bytes.
    EXPECT_EQ(48u, sizeof(Frame3D<float>));
}

TEST(FrameTest, AxesAreTheOrientationColumns) {
    // A torso-like frame at (100, 200, 2000): its x axis points to -Z of the
    // world, its y axis up, its z axis to +X.
    const Matrix3X3<float> axes(Vector3D<float>(0, 0, -1), Vector3D<float>(0, 1, 0), Vector3D<float>(1, 0, 0));
    const Frame3D<float> frame(Vector3D<float>(100, 200, 2000), axes);
    EXPECT_EQ(Vector3D<float>(100, 200, 1990), frame.FrameToWorld(Vector3D<float>(10, 0, 0)));
    EXPECT_EQ(Vector3D<float>(100, 220, 2000), frame.FrameToWorld(Vector3D<float>(0, 20, 0)));
    EXPECT_EQ(Vector3D<float>(130, 200, 2000), frame.FrameToWorld(Vector3D<float>(0, 0, 30)));
    EXPECT_EQ(Vector3D<float>(10, 20, 30), frame.WorldToFrame(Vector3D<float>(130, 220, 1990)));
}

TEST(FrameTest, WorldToFrameInvertsFrameToWorld) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> coordinate(-1500.0f, 1500.0f);
    for (int i = 0; i < 200; ++i) {
        const Frame3D<float> frame = RandomFrame(rng);
        const float x = coordinate(rng);
        const float y = coordinate(rng);
        const float z = coordinate(rng);
        const Vector3D<float> p(x, y, z);
        ExpectNear3(p, frame.WorldToFrame(frame.FrameToWorld(p)), 2e-3f);
        ExpectNear3(p, frame.FrameToWorld(frame.WorldToFrame(p)), 2e-3f);
    }
}

TEST(FrameTest, CompositionAppliesTheRightFrameFirst) {
    std::mt19937 rng(12);
    for (int i = 0; i < 100; ++i) {
        const Frame3D<float> outer = RandomFrame(rng);
        const Frame3D<float> inner = RandomFrame(rng);
        const Vector3D<float> p(12.5f, -40.0f, 300.0f);
        Frame3D<float> composed = outer;
        composed *= inner;
        ExpectNear3(outer.FrameToWorld(inner.FrameToWorld(p)), composed.FrameToWorld(p), 2e-3f);
        ExpectNear3(inner.WorldToFrame(outer.WorldToFrame(p)), composed.WorldToFrame(p), 2e-3f);

        // Composing a frame with itself reads the operand before changing it.
        Frame3D<float> twice = outer;
        twice *= twice;
        ExpectNear3(outer.FrameToWorld(outer.FrameToWorld(p)), twice.FrameToWorld(p), 2e-3f);
    }
}

TEST(FrameTest, AssignmentCopiesAndSelfAssignmentKeeps) {
    std::mt19937 rng(13);
    const Frame3D<float> source = RandomFrame(rng);
    Frame3D<float> copy;
    copy = source;
    EXPECT_EQ(source.m_origin, copy.m_origin);
    EXPECT_TRUE(source.m_orientation == copy.m_orientation);
    Frame3D<float>& alias = copy;
    copy = alias;
    EXPECT_EQ(source.m_origin, copy.m_origin);
    EXPECT_TRUE(source.m_orientation == copy.m_orientation);
}

TEST(FrameTest, TextForm) {
    const Frame3D<float> frame(Vector3D<float>(1, -2, 3.5f), Matrix3X3<float>(1, 0, 0, 0, 0, -1, 0, 1, 0));
    std::ostringstream out;
    out << frame;
    EXPECT_EQ("origin = 1 -2 3.5\n"
              "orientation = \t1 \t0 \t0 \n"
              "\t0 \t0 \t-1 \n"
              "\t0 \t1 \t0 \n",
              out.str());
}

}  // namespace
