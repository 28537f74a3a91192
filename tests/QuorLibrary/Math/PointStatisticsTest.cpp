#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "QuorLibrary/Math/Statistics3D.h"
#include "QuorLibrary/Math/Statistics3DFP.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"

namespace {

struct WeightedPoint {
    Vector3D<double> p;
    double w;
};

// Weighted mean and covariance computed directly in double.
struct Reference {
    explicit Reference(const std::vector<WeightedPoint>& points) {
        for (const WeightedPoint& q : points) {
            weight += q.w;
            mean += q.p * q.w;
        }
        mean = mean / weight;
        for (const WeightedPoint& q : points) {
            const Vector3D<double> d = q.p - mean;
            c[0][0] += q.w * d.x * d.x;
            c[0][1] += q.w * d.x * d.y;
            c[0][2] += q.w * d.x * d.z;
            c[1][1] += q.w * d.y * d.y;
            c[1][2] += q.w * d.y * d.z;
            c[2][2] += q.w * d.z * d.z;
        }
        for (int i = 0; i < 3; ++i) {
            for (int j = i; j < 3; ++j) {
                c[i][j] /= weight;
                c[j][i] = c[i][j];
            }
        }
    }
    SymmetricMatrix3X3<double> Covariance() const {
        return SymmetricMatrix3X3<double>(c[0][0], c[0][1], c[0][2], c[1][1], c[1][2], c[2][2]);
    }
    double weight = 0;
    Vector3D<double> mean;
    double c[3][3] = {};
};

void ExpectMatrixNear(const SymmetricMatrix3X3<double>& expected, const SymmetricMatrix3X3<float>& actual,
                      double tolerance) {
    EXPECT_NEAR(expected.xx, actual.xx, tolerance);
    EXPECT_NEAR(expected.xy, actual.xy, tolerance);
    EXPECT_NEAR(expected.xz, actual.xz, tolerance);
    EXPECT_NEAR(expected.yy, actual.yy, tolerance);
    EXPECT_NEAR(expected.yz, actual.yz, tolerance);
    EXPECT_NEAR(expected.zz, actual.zz, tolerance);
}

TEST(PointStatistics, EmptyStatisticsAnswerZeros) {
    // No points, and points of zero total weight, both count as empty.
    Statistics3D<float> none(Vector3D<float>(5, 6, 7));
    Statistics3D<float> zeroWeight(Vector3D<float>(5, 6, 7));
    zeroWeight.AddPoint(Vector3D<float>(1, 2, 3), 1.0f);
    zeroWeight.AddPoint(Vector3D<float>(4, 2, 3), -1.0f);
    for (const Statistics3D<float>* s : {&none, &zeroWeight}) {
        Vector3D<float> eigenvalues(9, 9, 9);
        const Line3D<float> line = s->GetBestFitLine(eigenvalues);
        EXPECT_EQ(Vector3D<float>(), line.m_origin);
        EXPECT_EQ(Vector3D<float>(), line.m_direction);
        EXPECT_EQ(Vector3D<float>(), eigenvalues);
        EXPECT_EQ(Vector3D<float>(), s->GetStandardDeviation());
        float along = 9;
        float rest = 9;
        s->GetDirectionalVariance(Vector3D<float>(1, 0, 0), along, rest);
        EXPECT_EQ(0.0f, along);
        EXPECT_EQ(0.0f, rest);
        EXPECT_EQ(SymmetricMatrix3X3<float>(), s->GetCovarianceRelativeToPoint(Vector3D<float>(1, 1, 1)));
        float largest = 9;
        const Line3D<float> through = s->GetBestFitLineThroughPoint(Vector3D<float>(1, 2, 3), &largest);
        EXPECT_EQ(Vector3D<float>(1, 2, 3), through.m_origin);
        EXPECT_EQ(Vector3D<float>(), through.m_direction);
        EXPECT_EQ(0.0f, largest);
    }
}

TEST(PointStatistics, ThreePointsOnTheXAxis) {
    Statistics3D<float> s(Vector3D<float>(0, 0, 0));
    s.AddPoint(Vector3D<float>(0, 0, 0));
    s.AddPoint(Vector3D<float>(10, 0, 0));
    s.AddPoint(Vector3D<float>(20, 0, 0));
    EXPECT_EQ(3, s.m_nCount);

    Vector3D<float> eigenvalues;
    const Line3D<float> line = s.GetBestFitLine(eigenvalues);
    EXPECT_NEAR(10.0f, line.m_origin.x, 1e-4f);
    EXPECT_NEAR(0.0f, line.m_origin.y, 1e-6f);
    EXPECT_NEAR(0.0f, line.m_origin.z, 1e-6f);
    EXPECT_NEAR(1.0f, std::fabs(line.m_direction.x), 1e-5f);
    EXPECT_NEAR(0.0f, line.m_direction.y, 1e-5f);
    EXPECT_NEAR(0.0f, line.m_direction.z, 1e-5f);
    EXPECT_NEAR(66.6667f, eigenvalues.x, 1e-3f);
    // Clamped: never below 0, even after rounding.
    EXPECT_EQ(0.0f, eigenvalues.y);
    EXPECT_EQ(0.0f, eigenvalues.z);

    float along = 0;
    float rest = 0;
    s.GetDirectionalVariance(Vector3D<float>(1, 0, 0), along, rest);
    EXPECT_NEAR(66.6667f, along, 1e-3f);
    EXPECT_NEAR(0.0f, rest, 1e-4f);
    s.GetDirectionalVariance(Vector3D<float>(0, 1, 0), along, rest);
    EXPECT_NEAR(0.0f, along, 1e-4f);
    EXPECT_NEAR(66.6667f, rest, 1e-3f);

    const Vector3D<float> deviation = s.GetStandardDeviation();
    EXPECT_NEAR(std::sqrt(66.6667f), deviation.x, 1e-3f);
    EXPECT_EQ(0.0f, deviation.y);
    EXPECT_EQ(0.0f, deviation.z);
}

TEST(PointStatistics, BestFitLineThroughPointUsesMomentsAboutThatPoint) {
    // Points along (0, 1, 0) through q; the moments about q (not the
    // covariance) decide the direction and the eigenvalue.
    const Vector3D<float> q(100, 50, 1000);
    Statistics3D<float> s(Vector3D<float>(90, 40, 990));
    double expectedLargest = 0;
    for (int i = 1; i <= 10; ++i) {
        s.AddPoint(q + Vector3D<float>(0, static_cast<float>(10 * i), 0));
        expectedLargest += 100.0 * i * i;
    }
    expectedLargest /= 10;
    float largest = 0;
    const Line3D<float> line = s.GetBestFitLineThroughPoint(q, &largest);
    EXPECT_EQ(q, line.m_origin);
    EXPECT_NEAR(1.0f, std::fabs(line.m_direction.y), 1e-5f);
    EXPECT_NEAR(expectedLargest, largest, expectedLargest * 1e-5);
    // The null pointer for the eigenvalue is allowed.
    EXPECT_NEAR(1.0f, std::fabs(s.GetBestFitLineThroughPoint(q, nullptr).m_direction.y), 1e-5f);
}

TEST(PointStatistics, RandomWeightedPointsMatchDirectComputation) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> centre(-2000.0f, 2000.0f);
    std::uniform_real_distribution<float> offset(-1.0f, 1.0f);
    std::uniform_real_distribution<float> weight(0.1f, 3.0f);
    std::uniform_int_distribution<int> count(2, 300);
    for (int trial = 0; trial < 200; ++trial) {
        // An elongated cloud: spread 200 along a random axis, 20 and 5 across.
        Vector3D<float> axis(offset(rng), offset(rng), offset(rng));
        axis.Normalize();
        const Vector3D<float> side = axis.OrthogonalVector().Normalized();
        const Vector3D<float> third = axis.Cross(side);
        const Vector3D<float> c(centre(rng), centre(rng), centre(rng) + 3000.0f);
        Statistics3D<float> s(c + Vector3D<float>(offset(rng), offset(rng), offset(rng)) * 50.0f);
        std::vector<WeightedPoint> points;
        const int n = count(rng);
        for (int i = 0; i < n; ++i) {
            const Vector3D<float> p =
                c + axis * (200.0f * offset(rng)) + side * (20.0f * offset(rng)) + third * (5.0f * offset(rng));
            const float w = weight(rng);
            s.AddPoint(p, w);
            points.push_back(WeightedPoint{Vector3D<double>(p), w});
        }
        const Reference ref(points);
        SCOPED_TRACE(trial);

        const Vector3D<float> mean = s.GetMean();
        EXPECT_NEAR(ref.mean.x, mean.x, 1e-2);
        EXPECT_NEAR(ref.mean.y, mean.y, 1e-2);
        EXPECT_NEAR(ref.mean.z, mean.z, 1e-2);
        ExpectMatrixNear(ref.Covariance(), s.GetCovariance(), 0.05);

        // Moments about a point q: the covariance plus (mean - q)(mean - q)^T.
        const Vector3D<float> q = c + Vector3D<float>(offset(rng), offset(rng), offset(rng)) * 300.0f;
        const Vector3D<double> d = ref.mean - Vector3D<double>(q);
        const SymmetricMatrix3X3<double> aboutQ =
            ref.Covariance() + SymmetricMatrix3X3<double>(d.x * d.x, d.x * d.y, d.x * d.z, d.y * d.y, d.y * d.z,
                                                          d.z * d.z);
        ExpectMatrixNear(aboutQ, s.GetCovarianceRelativeToPoint(q), 0.5);

        // The principal axis and the eigenvalues.
        Vector3D<double> values;
        Matrix3X3<double> vectors;
        ref.Covariance().SolveEigenproblem(values, vectors);
        Vector3D<float> eigenvalues;
        const Line3D<float> line = s.GetBestFitLine(eigenvalues);
        EXPECT_NEAR(ref.mean.x, line.m_origin.x, 1e-2);
        EXPECT_NEAR(ref.mean.y, line.m_origin.y, 1e-2);
        EXPECT_NEAR(ref.mean.z, line.m_origin.z, 1e-2);
        EXPECT_NEAR(1.0, std::fabs(Vector3D<double>(line.m_direction).Dot(vectors.GetColumn(0))), 1e-4);
        EXPECT_NEAR(values.x, eigenvalues.x, values.x * 1e-4);
        EXPECT_NEAR(values.y, eigenvalues.y, 0.05);
        EXPECT_NEAR(values.z, eigenvalues.z, 0.05);
        const Vector3D<float> deviation = s.GetStandardDeviation();
        EXPECT_NEAR(std::sqrt(values.x), deviation.x, 1e-3);
        EXPECT_NEAR(std::sqrt(values.y), deviation.y, 1e-2);

        float along = 0;
        float rest = 0;
        s.GetDirectionalVariance(axis, along, rest);
        const double expectedAlong = ref.Covariance().MatrixInnerProduct(Vector3D<double>(axis));
        EXPECT_NEAR(expectedAlong, along, expectedAlong * 1e-4);
        EXPECT_NEAR(ref.Covariance().Trace() - expectedAlong, rest, 0.1);
    }
}

TEST(PointStatisticsFP, ScalesProductsAndRoundsHalvesUp) {
    // S = 2, a = 1, b = 1: moments carry 2 (2 - 1) - 1 = 1 fraction bit.
    Statistics3DFP s(2, 1, 1);
    EXPECT_EQ(1, s.MomentShift());
    s.AddPoint(Vector3D<int>(4, 8, -4));
    // x x = 16: (16 + 2) >> 2 = 4, (4 + 1) >> 1 = 2. x y = 32 -> 8 -> 4.
    // x z = -16 -> -4 -> -2 (halves up: (-4 + 1) >> 1 = -2).
    EXPECT_EQ(SymmetricMatrix3X3<int>(2, 4, -2, 8, -4, 2), s.m_outerProduct);
    s.AddPoint(Vector3D<int>(3, 1, 2), 2);
    // 9 -> (9 + 2) >> 2 = 2 -> (2 + 1) >> 1 = 1; 3 -> 1 -> 1; 6 -> 2 -> 1;
    // 1 -> 0 -> 0; 2 -> 1 -> 1; 4 -> 1 -> 1.
    EXPECT_EQ(SymmetricMatrix3X3<int>(1, 1, 1, 0, 1, 1), s.m_outerProduct);
    EXPECT_EQ(SymmetricMatrix3X3<int>(4, 6, 0, 8, -2, 4), s.m_moments);
    EXPECT_EQ(Vector3D<int>(10, 10, 0), s.m_sum);
    EXPECT_EQ(2, s.m_nCount);
    EXPECT_EQ(3, s.m_nWeight);
}

TEST(PointStatisticsFP, UpdateFloatMirrorsTheIntegerSums) {
    Statistics3DFP s(4, 2, 3);
    s.m_floatStatistics.m_referencePoint = Vector3D<float>(7, 8, 9);
    EXPECT_FALSE(s.m_bFloatCurrent);
    s.AddPoint(Vector3D<int>(160, -32, 48), 3);
    s.UpdateFloat();
    EXPECT_TRUE(s.m_bFloatCurrent);
    const Statistics3D<float>& f = s.m_floatStatistics;
    EXPECT_EQ(1, f.m_nCount);
    EXPECT_EQ(3.0f, f.m_fWeight);
    EXPECT_EQ(Vector3D<float>(30.0f, -6.0f, 9.0f), f.m_sum);
    // Moment shift 2 (4 - 2) - 3 = 1; 160 * 160 = 25600 -> 1600 -> 200, times 3.
    EXPECT_EQ(300.0f, f.m_moments.xx);
    EXPECT_EQ(Vector3D<float>(7, 8, 9), f.m_referencePoint);
    // Every addition clears the flag again.
    s.AddPoint(Vector3D<int>(0, 0, 0));
    EXPECT_FALSE(s.m_bFloatCurrent);
}

TEST(PointStatisticsFP, RandomPointsAgreeWithFloatStatistics) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> coordinate(-1500, 1500);
    std::uniform_int_distribution<int> weight(1, 4);
    const int shifts[][3] = {{0, 0, 0}, {2, 1, 0}, {4, 2, 2}, {3, 0, 4}};
    for (const auto& shift : shifts) {
        Statistics3DFP fixed(shift[0], shift[1], shift[2]);
        Statistics3D<float> reference;
        const float scale = static_cast<float>(1 << shift[0]);
        for (int i = 0; i < 400; ++i) {
            const Vector3D<int> p(coordinate(rng), coordinate(rng) / 3, coordinate(rng) / 2);
            const int w = weight(rng);
            fixed.AddPoint(p, w);
            reference.AddPoint(Vector3D<float>(p) / scale, static_cast<float>(w));
        }
        fixed.UpdateFloat();
        SCOPED_TRACE(shift[0] * 100 + shift[1] * 10 + shift[2]);
        Vector3D<float> expectedValues;
        Vector3D<float> values;
        const Line3D<float> expected = reference.GetBestFitLine(expectedValues);
        const Line3D<float> line = fixed.m_floatStatistics.GetBestFitLine(values);
        EXPECT_NEAR(expected.m_origin.x, line.m_origin.x, 1e-2);
        EXPECT_NEAR(expected.m_origin.y, line.m_origin.y, 1e-2);
        EXPECT_NEAR(expected.m_origin.z, line.m_origin.z, 1e-2);
        EXPECT_NEAR(1.0f, std::fabs(expected.m_direction.Dot(line.m_direction)), 1e-3f);
        // The scaled products lose up to half a unit at the moment shift.
        EXPECT_NEAR(expectedValues.x, values.x, expectedValues.x * 2e-3);
    }
}

TEST(PointStatisticsFP, LargeCoordinatesDoNotOverflowTheProduct) {
    // 60000 * 60000 leaves 32 bits; scaled down by 2a + b = 20 bits it fits.
    Statistics3DFP s(8, 8, 4);
    s.AddPoint(Vector3D<int>(60000, -60000, 1));
    const int64_t product = int64_t{60000} * 60000;
    const int64_t once = (product + (int64_t{1} << 15)) >> 16;
    const int expected = static_cast<int>((once + 8) >> 4);
    EXPECT_EQ(expected, s.m_outerProduct.xx);
    EXPECT_EQ(-expected, s.m_outerProduct.xy);
    EXPECT_EQ(0, s.m_outerProduct.zz);
}

}  // namespace
