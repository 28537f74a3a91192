#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "SceneRenderer/Primitives.h"
#include "SceneRenderer/Random.h"
#include "SceneRenderer/SceneRenderer.h"
#include "RendererTestSupport.h"

namespace {

using namespace vela::scene;

// Exact depths: no noise, no quantisation, no shadow.
RenderSettings ExactSettings(int width, int height) {
    RenderSettings s;
    s.nWidth = width;
    s.nHeight = height;
    s.bQuantise = false;
    s.bShadow = false;
    s.dNoise = 0.0;
    scene_test::SwitchEffectsOff(s);
    return s;
}

TEST(Primitives, PlanesAtKnownDistanceAndTilt) {
    struct Case {
        double tilt;
        bool floor;
    };
    for (const Case c : {Case{0.0, false}, Case{20.0, false}, Case{-10.0, false}, Case{15.0, true}}) {
        Scene scene;
        scene.camera.dTilt = c.tilt;
        scene.camera.dElevation = 1200.0;
        scene.bFloor = c.floor;
        if (!c.floor) scene.walls.push_back(WallDef{'z', 3000.0});
        SceneRenderer renderer(scene);
        ASSERT_TRUE(renderer.SetSettings(ExactSettings(160, 120)));
        RenderedFrame frame;
        renderer.Render(0, frame);
        const double tilt = Radians(c.tilt);
        int checked = 0;
        for (int r = 0; r < 120; ++r) {
            for (int col = 0; col < 160; ++col) {
                const Vec3 ray = renderer.Camera().RayDirection(col, r);
                // Room: camera at height e, axis (0, -sin, cos), up (0, cos, sin).
                double expected;
                if (c.floor) {
                    const double down = ray.y * std::cos(tilt) - std::sin(tilt);
                    expected = down < 0.0 ? -1200.0 / down : 0.0;
                } else {
                    expected = 3000.0 / (ray.y * std::sin(tilt) + std::cos(tilt));
                }
                const double rounded = std::floor(expected + 0.5);
                if (rounded > 10000.0 || rounded < renderer.Sensor().MinDepth()) expected = 0.0;
                const uint16_t got = frame.depth[r * 160 + col];
                if (expected == 0.0) {
                    EXPECT_EQ(0, got) << r << "," << col;
                } else {
                    EXPECT_NEAR(expected, got, 0.5 + 1e-6) << r << "," << col;
                    ++checked;
                }
            }
        }
        EXPECT_GT(checked, 5000);
    }
}

TEST(Primitives, SphereDepthIsTheAnalyticFirstHit) {
    const Vec3 centre(120.0, -80.0, 2000.0);
    const double radius = 250.0;
    Shape sphere;
    sphere.kind = Shape::Kind::Ellipsoid;
    sphere.origin = centre;
    sphere.axes = Mat3::Diagonal(radius, radius, radius);
    const RenderPrimitive p(sphere, 1);
    const DepthCamera camera(320, 240);
    int hits = 0;
    for (int r = 0; r < 240; r += 2) {
        for (int c = 0; c < 320; c += 2) {
            const Vec3 d = camera.RayDirection(c, r);
            // Distance of the ray (through the origin) from the centre.
            const Vec3 unit = d / Length(d);
            const double along = Dot(centre, unit);
            const double miss = Length(centre - unit * along);
            double depth = 0.0;
            const bool hit = p.Intersect(p.ToLocal() * d, depth);
            if (miss > radius + 1e-6) {
                EXPECT_FALSE(hit);
                continue;
            }
            if (miss > radius - 1e-6) continue;  // grazing
            ASSERT_TRUE(hit) << r << "," << c;
            const double expected = (along - std::sqrt(radius * radius - miss * miss)) * unit.z;
            EXPECT_NEAR(expected, depth, 1e-6);
            ++hits;
        }
    }
    EXPECT_GT(hits, 200);
}

// Inside test of a round cone in its local frame: the distance to the axis
// segment against the radius there is convex, so a ternary search finds it.
bool InsideRoundCone(const Vec3& q, double length, double ra, double rb) {
    auto excess = [&](double h) {
        const double r = ra + (rb - ra) * h / length;
        return Length(q - Vec3(0, h, 0)) - r;
    };
    double lo = 0.0, hi = length;
    for (int i = 0; i < 60; ++i) {
        const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
        if (excess(m1) < excess(m2)) hi = m2;
        else lo = m1;
    }
    return std::min({excess(0.0), excess(length), excess(0.5 * (lo + hi))}) <= 0.0;
}

TEST(Primitives, RoundConeAgreesWithBruteForceMarching) {
    SeededRandom random(7);
    int hits = 0;
    for (int trial = 0; trial < 20; ++trial) {
        const Vec3 a(random.NextUniform() * 400 - 200, random.NextUniform() * 400 - 200, 1500 + random.NextUniform() * 500);
        const Vec3 b = a + Vec3(random.NextUniform() * 600 - 300, random.NextUniform() * 600 - 300,
                                random.NextUniform() * 600 - 300);
        const double ra = 30 + random.NextUniform() * 80, rb = 20 + random.NextUniform() * 80;
        const double ratio = 0.4 + random.NextUniform();
        const Shape shape = MakeRoundCone(a, b, ra, rb, Vec3(random.NextUniform(), 1, 0.3), ratio, kPartTorso);
        const RenderPrimitive p(shape, 1);
        const Mat3 toLocal = shape.axes.Inverse();
        for (int ray = 0; ray < 40; ++ray) {
            // Rays aimed near the solid's bounding sphere.
            const Vec3 target = p.BoundCentre() + Vec3(random.NextUniform() - 0.5, random.NextUniform() - 0.5,
                                                       random.NextUniform() - 0.5) * (2.0 * p.BoundRadius());
            const Vec3 d = target / target.z;
            double depth = 0.0;
            const bool hit = p.Intersect(toLocal * d, depth);
            // March from the camera in 1 mm steps, then bisect.
            double found = -1.0;
            const double step = 1.0;
            for (double t = std::max(1.0, p.BoundCentre().z - p.BoundRadius() - 1); t < p.BoundCentre().z + p.BoundRadius() + 1; t += step) {
                if (InsideRoundCone(toLocal * (d * t - a), shape.length, ra, rb)) {
                    double lo = t - step, hi = t;
                    for (int i = 0; i < 50; ++i) {
                        const double m = 0.5 * (lo + hi);
                        if (InsideRoundCone(toLocal * (d * m - a), shape.length, ra, rb)) hi = m;
                        else lo = m;
                    }
                    found = hi;
                    break;
                }
            }
            if (found < 0.0) {
                // Marching can step over a sliver a grazing ray clips.
                if (hit) {
                    EXPECT_TRUE(InsideRoundCone(toLocal * (d * (depth + 0.01) - a), shape.length, ra, rb) ||
                                InsideRoundCone(toLocal * (d * (depth + 0.3) - a), shape.length, ra, rb));
                }
                continue;
            }
            ASSERT_TRUE(hit) << "trial " << trial << " ray " << ray;
            EXPECT_NEAR(found, depth, 1e-3) << "trial " << trial << " ray " << ray;
            ++hits;
        }
    }
    EXPECT_GT(hits, 100);
}

TEST(Primitives, BoxFrontFaceAndMisses) {
    Shape box;
    box.kind = Shape::Kind::Box;
    box.origin = Vec3(0, 0, 2000);
    box.axes = Mat3::Diagonal(100, 200, 50);
    const RenderPrimitive p(box, 0);
    double depth = 0;
    ASSERT_TRUE(p.Intersect(p.ToLocal() * Vec3(0.01, -0.02, 1), depth));
    EXPECT_NEAR(1950.0, depth, 1e-9);
    EXPECT_FALSE(p.Intersect(p.ToLocal() * Vec3(0.2, 0, 1), depth));
    EXPECT_FALSE(p.Intersect(p.ToLocal() * Vec3(0, 0, -1), depth));
}

}  // namespace
