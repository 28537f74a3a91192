#include "QuorLibrary/Math/Ellipse2D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

// The conic of the ellipse with centre (cx, cy), semi-axes a along the
// direction at angle phi and b across it, scaled by s.
SymmetricMatrix3X3<float> ConicOf(double cx, double cy, double a, double b, double phi, double s) {
    const double c = std::cos(phi);
    const double n = std::sin(phi);
    // M = R diag(1/a^2, 1/b^2) R^T.
    const double mxx = c * c / (a * a) + n * n / (b * b);
    const double mxy = c * n / (a * a) - c * n / (b * b);
    const double myy = n * n / (a * a) + c * c / (b * b);
    const double xz = -(mxx * cx + mxy * cy);
    const double yz = -(mxy * cx + myy * cy);
    const double zz = mxx * cx * cx + 2 * mxy * cx * cy + myy * cy * cy - 1;
    return SymmetricMatrix3X3<float>(float(s * mxx), float(s * mxy), float(s * xz), float(s * myy), float(s * yz),
                                     float(s * zz));
}

TEST(EllipseTest, UnitCircle) {
    Ellipse2D<float> ellipse;
    ASSERT_TRUE(Ellipse2D<float>::FromHomogeneousRepresentation(SymmetricMatrix3X3<float>(1, 0, 0, 1, 0, -1), ellipse,
                                                                0.0f));
    EXPECT_EQ(0.0f, ellipse.m_center.x);
    EXPECT_EQ(0.0f, ellipse.m_center.y);
    EXPECT_NEAR(1.0f, ellipse.m_axisLengths.x, 1e-6f);
    EXPECT_NEAR(1.0f, ellipse.m_axisLengths.y, 1e-6f);
    EXPECT_NEAR(1.0f, ellipse.m_axes.Determinant(), 1e-6f);
}

TEST(EllipseTest, AxisAlignedEllipse) {
    // x'^2/16 + y'^2/4 = 1 around (3, -2): long axis along x.
    Ellipse2D<float> ellipse;
    ASSERT_TRUE(Ellipse2D<float>::FromHomogeneousRepresentation(ConicOf(3, -2, 4, 2, 0, 1), ellipse, 0.0f));
    EXPECT_NEAR(3.0f, ellipse.m_center.x, 1e-5f);
    EXPECT_NEAR(-2.0f, ellipse.m_center.y, 1e-5f);
    EXPECT_NEAR(4.0f, ellipse.m_axisLengths.x, 1e-4f);
    EXPECT_NEAR(2.0f, ellipse.m_axisLengths.y, 1e-4f);
    EXPECT_NEAR(1.0f, std::abs(ellipse.m_axes(0, 0)), 1e-6f);
    EXPECT_NEAR(0.0f, ellipse.m_axes(1, 0), 1e-6f);
    // The same ellipse with the long axis along y.
    ASSERT_TRUE(Ellipse2D<float>::FromHomogeneousRepresentation(ConicOf(3, -2, 2, 4, 0, 1), ellipse, 0.0f));
    EXPECT_NEAR(4.0f, ellipse.m_axisLengths.x, 1e-4f);
    EXPECT_NEAR(2.0f, ellipse.m_axisLengths.y, 1e-4f);
    EXPECT_NEAR(0.0f, ellipse.m_axes(0, 0), 1e-6f);
    EXPECT_NEAR(1.0f, std::abs(ellipse.m_axes(1, 0)), 1e-6f);
}

TEST(EllipseTest, RandomEllipsesAnyScaleOfTheConic) {
    std::mt19937 rng(41);
    // Conics held in float lose about |centre|^2 / b^2 float steps of their
    // constant term; these ranges keep that loss well below the tolerance.
    std::uniform_real_distribution<double> centre(-150.0, 150.0);
    std::uniform_real_distribution<double> axis(20.0, 200.0);
    std::uniform_real_distribution<double> angle(-3.1, 3.1);
    const double scales[] = {1.0, 1e4, -0.5};
    for (int i = 0; i < 200; ++i) {
        const double cx = centre(rng);
        const double cy = centre(rng);
        double a = axis(rng);
        double b = axis(rng);
        if (a < b) {
            std::swap(a, b);
        }
        if (a < 1.05 * b) {
            b = a / 1.5;  // keep the long axis direction well defined
        }
        const double phi = angle(rng);
        const double s = scales[i % 3];
        Ellipse2D<float> ellipse;
        ASSERT_TRUE(Ellipse2D<float>::FromHomogeneousRepresentation(ConicOf(cx, cy, a, b, phi, s), ellipse, 1e-6f));
        const double tolerance = 2e-3 * a;
        EXPECT_NEAR(cx, ellipse.m_center.x, tolerance);
        EXPECT_NEAR(cy, ellipse.m_center.y, tolerance);
        EXPECT_NEAR(a, ellipse.m_axisLengths.x, tolerance);
        EXPECT_NEAR(b, ellipse.m_axisLengths.y, tolerance);
        // Unit, right-handed axes, the first along the long axis.
        EXPECT_NEAR(1.0f, ellipse.m_axes.Determinant(), 1e-4f);
        const Vector2D<float> first = ellipse.m_axes.GetColumn(0);
        EXPECT_NEAR(1.0, std::abs(first.x * std::cos(phi) + first.y * std::sin(phi)), 1e-3);
    }
}

TEST(EllipseTest, ConicsThatAreNoEllipse) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        SymmetricMatrix3X3<float> conic;
    };
    const Case cases[] = {
        {"imaginary: x^2 + y^2 + 1 = 0", {1, 0, 0, 1, 0, 1}},
        {"hyperbola: x^2 - y^2 = 1", {1, 0, 0, -1, 0, -1}},
        {"hyperbola: x y = 1", {0, 0.5f, 0, 0, 0, -1}},
        {"parabola: y = x^2", {1, 0, 0, 0, -0.5f, 0}},
        {"line pair: x^2 = 1", {1, 0, 0, 0, 0, -1}},
        {"line pair: (x + y)^2 = 4", {1, 1, 0, 1, 0, -4}},
        {"point: x^2 + y^2 = 0", {1, 0, 0, 1, 0, 0}},
        {"zero", {0, 0, 0, 0, 0, 0}},
        {"NaN entry", {1, 0, 0, nan, 0, -1}},
    };
    for (const Case& c : cases) {
        Ellipse2D<float> ellipse;
        ellipse.m_axes = Matrix2X2<float>(9, 9, 9, 9);
        ellipse.m_axisLengths = Vector2D<float>(7, 7);
        EXPECT_FALSE(Ellipse2D<float>::FromHomogeneousRepresentation(c.conic, ellipse, 0.0f)) << c.name;
        // Axes and lengths are left as they were.
        EXPECT_EQ(9.0f, ellipse.m_axes(0, 0)) << c.name;
        EXPECT_EQ(Vector2D<float>(7, 7), ellipse.m_axisLengths) << c.name;
    }
    // The centre is written before the shape is known to fail.
    Ellipse2D<float> ellipse;
    ASSERT_FALSE(Ellipse2D<float>::FromHomogeneousRepresentation(SymmetricMatrix3X3<float>(1, 0, -2, 1, -3, 20), ellipse,
                                                                 0.0f));
    EXPECT_FLOAT_EQ(2.0f, ellipse.m_center.x);
    EXPECT_FLOAT_EQ(3.0f, ellipse.m_center.y);
}

}  // namespace
