#include "QuorLibrary/Math/RansacLineFit1D.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "QuorLibrary/Math/Parabola.h"

namespace {

Array2D<float> Points(const std::vector<float>& xs, const std::vector<float>& ys) {
    Array2D<float> points;
    points.SetSize(2, static_cast<int>(xs.size()), false);
    for (size_t i = 0; i < xs.size(); ++i) {
        points(0, static_cast<int>(i)) = xs[i];
        points(1, static_cast<int>(i)) = ys[i];
    }
    return points;
}

VectorND<float> Values(std::initializer_list<float> values) {
    VectorND<float> v(static_cast<int>(values.size()));
    int i = 0;
    for (float value : values) {
        v[i++] = value;
    }
    return v;
}

VectorND<int> Pair(int a, int b) {
    VectorND<int> v(2);
    v[0] = a;
    v[1] = b;
    return v;
}

// y = 0.5 x + 20 with noise of +-0.3 on 70 points, and 30 outliers anywhere.
struct NoisyLine {
    Array2D<float> points;
    std::vector<int> inliers;
};

NoisyLine MakeNoisyLine(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> x(0.0f, 100.0f);
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
    std::uniform_real_distribution<float> anywhere(-100.0f, 200.0f);
    std::vector<float> xs, ys;
    NoisyLine line;
    for (int i = 0; i < 100; ++i) {
        const float xi = x(rng);
        xs.push_back(xi);
        if (i % 10 < 3) {
            ys.push_back(anywhere(rng));
        } else {
            ys.push_back(0.5f * xi + 20.0f + noise(rng));
            line.inliers.push_back(i);
        }
    }
    line.points = Points(xs, ys);
    return line;
}

void ExpectRecoversNoisyLine(RANSACLineraFit1D& fitter, const NoisyLine& line) {
    VectorND<float> model(2);
    float score = 0;
    ASSERT_TRUE(fitter.Apply(line.points, 1.0f, model, score));
    EXPECT_NEAR(0.5f, model[0], 0.01f);
    EXPECT_NEAR(20.0f, model[1], 0.5f);
    // Every true inlier, and at most a couple of outliers that happen to lie
    // within 1 of the line.
    const Array<int>& inliers = fitter.GetInliers();
    std::vector<int> found(inliers.Data(), inliers.Data() + inliers.Size());
    EXPECT_TRUE(std::includes(found.begin(), found.end(), line.inliers.begin(), line.inliers.end()));
    EXPECT_LE(found.size(), line.inliers.size() + 2);
    EXPECT_LT(score, 0.0f);
}

TEST(RansacLineFitTest, RecoversALineUnder30PercentOutliers) {
    for (unsigned seed : {1u, 2u, 3u}) {
        const NoisyLine line = MakeNoisyLine(seed);
        RANSACLineraFit1D unconstrained(50, 100, false, 0.99f);
        ExpectRecoversNoisyLine(unconstrained, line);

        RANSACLineraFit1D constrained(50, 100, false, 0.99f);
        constrained.SetConstraintModel(Segment2D<float>(Vector2D<float>(0, 21), Vector2D<float>(100, 70)), 5.0f, 0.1f);
        ExpectRecoversNoisyLine(constrained, line);
    }
}

TEST(RansacLineFitTest, PointsOnTheConstraintLineGiveThatLine) {
    std::vector<float> xs, ys;
    for (int i = 0; i < 10; ++i) {
        xs.push_back(float(i));
        ys.push_back(2.0f * i + 1.0f);
    }
    RANSACLineraFit1D fitter(50, 100, false, 0.99f);
    fitter.SetConstraintModel(Segment2D<float>(Vector2D<float>(0, 1), Vector2D<float>(1, 3)), 0.5f, 0.01f);
    EXPECT_EQ(2.0f, fitter.GetConstraintSlope());
    EXPECT_EQ(1.0f, fitter.GetConstraintIntercept());
    VectorND<float> model(2);
    float score = 0;
    ASSERT_TRUE(fitter.Apply(Points(xs, ys), 0.01f, model, score));
    EXPECT_NEAR(2.0f, model[0], 1e-5f);
    EXPECT_NEAR(1.0f, model[1], 1e-4f);
    EXPECT_EQ(10, fitter.GetInliers().Size());
}

TEST(RansacLineFitTest, ConstraintRejectsSamplesAndTheBudgetChargesEachAttempt) {
    RANSACLineraFit1D fitter(50, 100, false, 0.99f);
    // The constraint y = x; midpoints within 1, slopes within 0.2.
    fitter.SetConstraintModel(Segment2D<float>(Vector2D<float>(0, 0), Vector2D<float>(10, 10)), 1.0f, 0.2f);
    const Array2D<float> points = Points({0, 10, 4, 6, 0, 10}, {0, 10, 3, 9, 5, 15});
    VectorND<float> model(2);
    int64_t evaluations = 0;

    ASSERT_TRUE(fitter.FitModel(Pair(0, 1), points, model, evaluations));
    EXPECT_EQ(1.0f, model[0]);
    EXPECT_EQ(0.0f, model[1]);
    EXPECT_EQ(20, evaluations);

    // Midpoint (5, 6) is within the offset, the slope 3 is not.
    model[0] = -1;
    EXPECT_FALSE(fitter.FitModel(Pair(2, 3), points, model, evaluations));
    EXPECT_EQ(40, evaluations);
    EXPECT_EQ(-1.0f, model[0]);
    // Slope 1, but the midpoint lies 5 above the constraint line.
    EXPECT_FALSE(fitter.FitModel(Pair(4, 5), points, model, evaluations));
    EXPECT_EQ(60, evaluations);

    // Squared vertical residuals of y = x at (4, 3) and (6, 9).
    EXPECT_EQ(1.0f, fitter.Point2ModelDist(Values({1.0f, 0.0f}), points, 2));
    EXPECT_EQ(9.0f, fitter.Point2ModelDist(Values({1.0f, 0.0f}), Values({6.0f, 9.0f})));
}

TEST(RansacLineFitTest, FailedRefinementKeepsTheBestSampledModel) {
    // A threshold of 0 leaves no inliers to refine on: Apply is false, with
    // the first sampled line (points 8 and 7 of y = x^2) and its score.
    std::vector<float> xs, ys;
    for (int i = 0; i < 10; ++i) {
        xs.push_back(float(i));
        ys.push_back(float(i * i));
    }
    RANSACLineraFit1D fitter(50, 100, false, 0.99f);
    VectorND<float> model(2);
    float score = 1.0f;
    EXPECT_FALSE(fitter.Apply(Points(xs, ys), 0.0f, model, score));
    EXPECT_EQ(15.0f, model[0]);
    EXPECT_EQ(-56.0f, model[1]);
    EXPECT_EQ(0.0f, score);
    EXPECT_EQ(0, fitter.GetInliers().Size());
}

TEST(RansacLineFitDeathTest, WrongDimensionsEndTheProcessWithStatus1) {
    RANSACLineraFit1D fitter(50, 100, false, 0.99f);
    float score = 0;
    VectorND<float> three(3);
    EXPECT_EXIT(fitter.Apply(Points({0, 1, 2}, {0, 1, 2}), 1.0f, three, score), ::testing::ExitedWithCode(1),
                "Illegal Points dimension given to Ransac\\.");
    Array2D<float> xOnly;
    xOnly.SetSize(1, 5, false);
    VectorND<float> two(2);
    EXPECT_EXIT(fitter.Apply(xOnly, 1.0f, two, score), ::testing::ExitedWithCode(1),
                "Illegal Points dimension given to Ransac\\.");
}

TEST(ParabolaTest, LeastSquaresFit) {
    const VectorND<float> xs = Values({0.0f, 1.0f, 2.0f});
    const VectorND<float> ys = Values({1.0f, 3.0f, 9.0f});
    for (float scale : {1.0f, 0.25f, 10.0f}) {
        Parabola<float> p(0.0f, scale);
        ASSERT_TRUE(p.ConstructByLsqrFit(xs, ys)) << scale;
        EXPECT_NEAR(2.0f, p.m_a, 1e-4f) << scale;
        EXPECT_NEAR(0.0f, p.m_b, 1e-4f) << scale;
        EXPECT_NEAR(1.0f, p.m_c, 1e-4f) << scale;
        EXPECT_EQ(0.0f, p.m_x0);
        EXPECT_EQ(scale, p.m_scale);
    }
    // Over X = x - 1: 2 X^2 + 4 X + 3.
    Parabola<float> shifted(1.0f, 1.0f);
    ASSERT_TRUE(shifted.ConstructByLsqrFit(xs, ys));
    EXPECT_NEAR(2.0f, shifted.m_a, 1e-4f);
    EXPECT_NEAR(4.0f, shifted.m_b, 1e-4f);
    EXPECT_NEAR(3.0f, shifted.m_c, 1e-4f);

    // Time stamps far from 0, centred by x0 and scaled: y = -3 X^2 + X + 7.
    Parabola<float> timed(1000.0f, 0.1f);
    VectorND<float> ts(5), vs(5);
    for (int i = 0; i < 5; ++i) {
        const float X = 10.0f * i;
        ts[i] = 1000.0f + X;
        vs[i] = -3.0f * X * X + X + 7.0f;
    }
    ASSERT_TRUE(timed.ConstructByLsqrFit(ts, vs));
    EXPECT_NEAR(-3.0f, timed.m_a, 1e-3f);
    EXPECT_NEAR(1.0f, timed.m_b, 2e-2f);
    EXPECT_NEAR(7.0f, timed.m_c, 0.5f);
}

TEST(ParabolaTest, TooFewDistinctAbscissaeLeaveItUnchanged) {
    Parabola<float> p(0.0f, 1.0f);
    p.m_a = 5.0f;
    EXPECT_FALSE(p.ConstructByLsqrFit(Values({0.0f, 1.0f}), Values({1.0f, 3.0f})));
    EXPECT_FALSE(p.ConstructByLsqrFit(Values({2.0f, 2.0f, 2.0f}), Values({1.0f, 3.0f, 9.0f})));
    EXPECT_FALSE(p.ConstructByLsqrFit(VectorND<float>(), VectorND<float>()));
    EXPECT_FALSE(p.ConstructByLsqrFit(Values({0.0f, 1.0f, 2.0f}), Values({1.0f, 3.0f})));
    EXPECT_EQ(5.0f, p.m_a);
    EXPECT_EQ(0.0f, p.m_b);
}

}  // namespace
