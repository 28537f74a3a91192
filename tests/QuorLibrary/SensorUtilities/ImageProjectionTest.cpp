#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "../../XnAdapter/XnNodesTestSupport.h"
#include "QuorLibrary/Math/GeometryProjector.h"
#include "QuorLibrary/Math/Quaternion.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"

namespace {

using Projector = GeometryProjector<float>;

// A VGA converter on a fake stream: field of view 1.0226 rad, k = 0.0017533336.
class ImageProjectionTest : public ::testing::Test {
protected:
    ImageProjectionTest() {
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, 1.0226f);
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_VERTICAL_FOV, 0.7966f);
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_MAX_VALUE, 10000);
        m_depth.SetStream(m_stream);
        m_converter.reset(new WorldPointConverterBase<float>(m_depth, 640, 480));
    }

    // Pixel of a world point with Z > 0, as the corner projection computes it.
    Vector2D<float> Pixel(const Vector3D<float>& p) const {
        const float kz = m_converter->m_fPixelSizeFactor * p.z;
        return Vector2D<float>(p.x / kz + m_converter->m_fCenterX, m_converter->m_fCenterY - p.y / kz);
    }

    // The pixel lies in the box, allowing slack pixels for rounding.
    static ::testing::AssertionResult Contains(const Box2D<int>& box, const Vector2D<float>& pixel, int slack) {
        const int x = static_cast<int>(std::floor(pixel.x));
        const int y = static_cast<int>(std::floor(pixel.y));
        if (x >= box.min.x - slack && x <= box.max.x + slack && y >= box.min.y - slack && y <= box.max.y + slack) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "pixel " << pixel << " outside " << box;
    }

    bool InImage(const Vector2D<float>& pixel) const {
        return pixel.x >= 0 && pixel.y >= 0 && pixel.x < 640 && pixel.y < 480;
    }

    vela_test::FakeOniStreams m_oni;
    OniStreamHandle m_stream = m_oni.NewStream();
    xn::DepthGenerator m_depth;
    std::unique_ptr<WorldPointConverterBase<float>> m_converter;
};

TEST_F(ImageProjectionTest, SegmentBoundsOnTheOpticalAxis) {
    const WorldPointConverterBase<float>& c = *m_converter;
    const Segment3D<float> segment(Vector3D<float>(0, 0, 1000), Vector3D<float>(0, 0, 2000));
    const Box2D<float> unclamped = Projector::GetApproximateProjectedBoundsUnclamped(c, segment, 50.0f);
    // The nearer end point's radius is the larger: 50 / (k 1000).
    const float r = 50.0f * (1.0f / (c.m_fPixelSizeFactor * 1000.0f));
    EXPECT_EQ(Box2D<float>(320 - r, 240 - r, 320 + r, 240 + r), unclamped);
    const Box2D<int> bounds = Projector::GetApproximateProjectedBounds(c, segment, 50.0f);
    EXPECT_EQ(Box2D<int>(static_cast<int>(320 - r), static_cast<int>(240 - r), static_cast<int>(320 + r),
                         static_cast<int>(240 + r)),
              bounds);
}

TEST_F(ImageProjectionTest, SegmentBoundsWithAnEndBehindTheCamera) {
    const WorldPointConverterBase<float>& c = *m_converter;
    // An end point at or behind the camera counts as the pixel (0, 0).
    const Segment3D<float> segment(Vector3D<float>(0, 0, 1000), Vector3D<float>(100, 100, -10));
    EXPECT_EQ(Box2D<float>(0, 0, 320, 240), Projector::GetApproximateProjectedBoundsUnclamped(c, segment, 0.0f));
    EXPECT_EQ(Box2D<int>(0, 0, 320, 240), Projector::GetApproximateProjectedBounds(c, segment, 0.0f));

    // An end point just in front of the camera projects far beyond any
    // int: the bounds saturate and are clamped to the image.
    const Segment3D<float> near(Vector3D<float>(-1000, -1000, 1e-30f), Vector3D<float>(0, 0, 1000));
    const float r = 10.0f * (1.0f / (c.m_fPixelSizeFactor * 1000.0f));
    EXPECT_EQ(Box2D<int>(0, static_cast<int>(240 - r), static_cast<int>(320 + r), 479),
              Projector::GetApproximateProjectedBounds(c, near, 10.0f));
}

TEST_F(ImageProjectionTest, SegmentBoundsHoldTheThickSegment) {
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> x(-1500.0f, 1500.0f);
    std::uniform_real_distribution<float> z(400.0f, 5000.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> side(-1.0f, 1.0f);
    for (int trial = 0; trial < 300; ++trial) {
        const Segment3D<float> segment(Vector3D<float>(x(rng), x(rng), z(rng)),
                                       Vector3D<float>(x(rng), x(rng), z(rng)));
        const float radius = 200.0f * unit(rng);
        const Box2D<int> bounds = Projector::GetApproximateProjectedBounds(*m_converter, segment, radius);
        const Box2D<float> unclamped =
            Projector::GetApproximateProjectedBoundsUnclamped(*m_converter, segment, radius);
        EXPECT_EQ(std::max(0, static_cast<int>(unclamped.min.x)), bounds.min.x);
        EXPECT_EQ(std::min(479, static_cast<int>(unclamped.max.y)), bounds.max.y);
        for (int i = 0; i < 50; ++i) {
            // A point of the segment moved by up to the radius across the
            // viewing direction.
            const Vector3D<float> p = segment.GetStart() + (segment.GetEnd() - segment.GetStart()) * unit(rng) +
                                      Vector3D<float>(side(rng), side(rng), 0) * radius;
            const Vector2D<float> pixel = Pixel(p);
            if (InImage(pixel)) {
                ASSERT_TRUE(Contains(bounds, pixel, 1)) << trial;
            }
        }
    }
}

TEST_F(ImageProjectionTest, ProjectedLinePassesThroughProjectedPoints) {
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> x(-1500.0f, 1500.0f);
    std::uniform_real_distribution<float> z(500.0f, 5000.0f);
    std::uniform_real_distribution<float> t(-300.0f, 300.0f);
    for (int trial = 0; trial < 300; ++trial) {
        const Line3D<float> line(Vector3D<float>(x(rng), x(rng), z(rng)),
                                 Vector3D<float>(x(rng), x(rng), x(rng)), true);
        const Line2D<float> image = Projector::Project(*m_converter, line);
        EXPECT_NEAR(1.0f, image.m_direction.MagnitudeSquared(), 1e-5f);
        const Vector3D<float> origin = m_converter->ProjectivePt(line.m_origin);
        EXPECT_EQ(Vector2D<float>(origin.x, origin.y), image.m_origin);
        for (int i = 0; i < 20; ++i) {
            const Vector3D<float> p = line.GetPoint(t(rng));
            if (p.z <= 100.0f) {
                continue;
            }
            const Vector3D<float> q = m_converter->ProjectivePt(p);
            const Vector2D<float> d = Vector2D<float>(q.x, q.y) - image.m_origin;
            // Distance of the projected point from the image line.
            ASSERT_NEAR(0.0f, d.Cross(image.m_direction), 1e-3f * (1.0f + std::sqrt(d.MagnitudeSquared())))
                << trial;
        }
    }
}

TEST_F(ImageProjectionTest, ProjectedLineSpecialCases) {
    struct Case {
        Vector3D<float> origin;
        Vector3D<float> direction;
    };
    // Directions along the viewing ray through the origin project to one
    // pixel: the image direction falls back to (1, 0).
    const Case alongRay[] = {{{0, 0, 1000}, {0, 0, 1}}, {{200, 100, 1000}, {200, 100, 1000}}};
    for (const Case& c : alongRay) {
        const Line2D<float> image = Projector::Project(*m_converter, Line3D<float>(c.origin, c.direction));
        EXPECT_EQ(Vector2D<float>(1, 0), image.m_direction) << c.origin;
    }
    // An origin behind the camera projects to (0, 0).
    const Line2D<float> behind =
        Projector::Project(*m_converter, Line3D<float>(Vector3D<float>(0, 0, -50), Vector3D<float>(0, 0, 1050)));
    EXPECT_EQ(Vector2D<float>(0, 0), behind.m_origin);
    const float s = 320.0f / std::sqrt(320.0f * 320.0f + 240.0f * 240.0f);
    EXPECT_NEAR(s, behind.m_direction.x, 1e-5f);
    // A horizontal world line stays horizontal in the image.
    const Line2D<float> horizontal =
        Projector::Project(*m_converter, Line3D<float>(Vector3D<float>(10, 20, 2000), Vector3D<float>(1, 0, 0)));
    EXPECT_NEAR(1.0f, horizontal.m_direction.x, 1e-5f);
    EXPECT_EQ(0.0f, horizontal.m_direction.y);
}

TEST_F(ImageProjectionTest, FrameBoxBoundsHoldTheBox) {
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> x(-1000.0f, 1000.0f);
    std::uniform_real_distribution<float> z(1500.0f, 4000.0f);
    std::uniform_real_distribution<float> size(10.0f, 400.0f);
    std::uniform_real_distribution<float> angle(-3.1f, 3.1f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int trial = 0; trial < 300; ++trial) {
        const Quaternion<float> q(angle(rng), Vector3D<float>(x(rng), x(rng), x(rng)));
        const Frame3D<float> frame(Vector3D<float>(x(rng), x(rng), z(rng)), q.ToMatrix());
        const Vector3D<float> lo(-size(rng), -size(rng), -size(rng));
        const Box3D<float> box(lo, lo + Vector3D<float>(size(rng), size(rng), size(rng)));
        const Box2D<int> bounds = Projector::GetProjectedBounds(*m_converter, frame, box);
        for (int i = 0; i < 50; ++i) {
            const Vector3D<float> local(box.min.x + (box.max.x - box.min.x) * unit(rng),
                                        box.min.y + (box.max.y - box.min.y) * unit(rng),
                                        box.min.z + (box.max.z - box.min.z) * unit(rng));
            const Vector2D<float> pixel = Pixel(frame.FrameToWorld(local));
            if (InImage(pixel)) {
                ASSERT_TRUE(Contains(bounds, pixel, 1)) << trial;
            }
        }
        // With the identity frame the box is axis-aligned: both forms agree
        // up to their rounding (truncation of corners, floor of sides).
        const Box3D<float> world(frame.m_origin + box.min, frame.m_origin + box.max);
        const Box2D<int> aligned = Projector::GetProjectedBounds(*m_converter, Frame3D<float>(), world);
        const Box2D<int> direct = Projector::GetProjectedBounds(*m_converter, world);
        if (aligned.min.x > 639 || aligned.min.y > 479 || aligned.max.x < 0 || aligned.max.y < 0) {
            continue;  // off the image, where the two forms clamp differently
        }
        EXPECT_NEAR(aligned.min.x, direct.min.x, 1) << trial;
        EXPECT_NEAR(aligned.min.y, direct.min.y, 1) << trial;
        EXPECT_NEAR(aligned.max.x, direct.max.x, 1) << trial;
        EXPECT_NEAR(aligned.max.y, direct.max.y, 1) << trial;
    }
}

TEST_F(ImageProjectionTest, FrameBoxCornersBehindTheCameraCountAsOrigin) {
    // A box straddling the camera plane: its corners behind count as (0, 0).
    const Box3D<float> box(Vector3D<float>(100, -200, -100), Vector3D<float>(200, -100, 1000));
    const Box2D<int> bounds = Projector::GetProjectedBounds(*m_converter, Frame3D<float>(), box);
    EXPECT_EQ(0, bounds.min.x);
    EXPECT_EQ(0, bounds.min.y);
    // The far corners: x from 200 at depth 1000, y from -200 at 1000.
    const float k = m_converter->m_fPixelSizeFactor;
    EXPECT_EQ(static_cast<int>(200.0f / (k * 1000.0f) + 320.0f), bounds.max.x);
    EXPECT_EQ(static_cast<int>(240.0f - -200.0f / (k * 1000.0f)), bounds.max.y);
}

TEST_F(ImageProjectionTest, AxisAlignedBoxBounds) {
    const float k = m_converter->m_fPixelSizeFactor;
    struct Case {
        Box3D<float> box;
        float nearZ;
        float farZ;
    };
    const Case cases[] = {
        // In front, straddling the optical axis.
        {Box3D<float>(Vector3D<float>(-100, -50, 1000), Vector3D<float>(150, 80, 1500)), 1000, 1500},
        // Behind the camera: depth 1 for both sides.
        {Box3D<float>(Vector3D<float>(-0.1f, -0.05f, -100), Vector3D<float>(0.08f, 0.1f, -50)), 1, 1},
        // Straddling the camera plane: the near side at depth 1.
        {Box3D<float>(Vector3D<float>(0.2f, 0.1f, -10), Vector3D<float>(0.3f, 0.2f, 2000)), 1, 2000},
    };
    for (const Case& c : cases) {
        const float inear = 1.0f / (k * c.nearZ);
        const float ifar = 1.0f / (k * c.farZ);
        const Box3D<float>& b = c.box;
        // Each side at the depth that puts it farthest from the centre.
        const Box2D<int> expected(
            static_cast<int>(std::floor(b.min.x * (b.min.x < 0 ? inear : ifar) + 320.0f)),
            static_cast<int>(std::floor(240.0f - b.max.y * (b.max.y < 0 ? ifar : inear))),
            static_cast<int>(std::floor(b.max.x * (b.max.x < 0 ? ifar : inear) + 320.0f)),
            static_cast<int>(std::floor(240.0f - b.min.y * (b.min.y < 0 ? inear : ifar))));
        EXPECT_EQ(expected, Projector::GetProjectedBounds(*m_converter, b)) << b;
    }
    // Sides beyond the image are clamped, each on the side it can leave.
    const Box3D<float> wide(Vector3D<float>(-5000, -5000, 500), Vector3D<float>(5000, 5000, 600));
    EXPECT_EQ(Box2D<int>(0, 0, 639, 479), Projector::GetProjectedBounds(*m_converter, wide));
    // Sides so near the camera that their pixels leave int saturate first.
    const Box3D<float> huge(Vector3D<float>(-3e38f, -3e38f, 0), Vector3D<float>(3e38f, 3e38f, 1));
    EXPECT_EQ(Box2D<int>(0, 0, 639, 479), Projector::GetProjectedBounds(*m_converter, huge));
}

TEST_F(ImageProjectionTest, AxisAlignedBoundsHoldSampledPoints) {
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> x(-2500.0f, 2500.0f);
    std::uniform_real_distribution<float> z(300.0f, 5000.0f);
    std::uniform_real_distribution<float> size(1.0f, 800.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int trial = 0; trial < 300; ++trial) {
        const Vector3D<float> lo(x(rng), x(rng), z(rng));
        const Box3D<float> box(lo, lo + Vector3D<float>(size(rng), size(rng), size(rng)));
        const Box2D<int> bounds = Projector::GetProjectedBounds(*m_converter, box);
        for (int i = 0; i < 50; ++i) {
            const Vector3D<float> p(box.min.x + (box.max.x - box.min.x) * unit(rng),
                                    box.min.y + (box.max.y - box.min.y) * unit(rng),
                                    box.min.z + (box.max.z - box.min.z) * unit(rng));
            const Vector2D<float> pixel = Pixel(p);
            if (InImage(pixel)) {
                ASSERT_TRUE(Contains(bounds, pixel, 1)) << trial;
            }
        }
    }
}

}  // namespace
