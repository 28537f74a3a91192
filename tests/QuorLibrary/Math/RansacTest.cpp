#include "QuorLibrary/Math/Ransac.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

using Sample = std::pair<int, int>;

Array2D<float> Row(const std::vector<float>& values) {
    Array2D<float> points;
    points.SetSize(1, static_cast<int>(values.size()), false);
    for (size_t i = 0; i < values.size(); ++i) {
        points(0, static_cast<int>(i)) = values[i];
    }
    return points;
}

// A one-value model (a level) fitted to the first point of each two-point
// sample; the distance of a point is its difference from the level. Every
// sample is recorded.
template <typename Base>
class LevelFitter : public Base {
public:
    explicit LevelFitter(int iterations) : Base(iterations, 100, false, 0.99f) {
        this->m_currentModel.SetSize(1);
        this->m_currentSample.SetSize(2);
    }
    void EnumeratePairs() { this->m_bRandomSampling = false; }

    float Point2ModelDist(const VectorND<float>& model, const VectorND<float>& point) override {
        return std::fabs(point[0] - model[0]);
    }
    float Point2ModelDist(const VectorND<float>& model, const Array2D<float>& points, int i) override {
        return std::fabs(points(0, i) - model[0]);
    }
    bool FitModel(const VectorND<int>& sample, const Array2D<float>& points, VectorND<float>& model,
                  int64_t& /*evaluations*/) override {
        samples.emplace_back(sample[0], sample[1]);
        model[0] = points(0, sample[0]);
        return true;
    }
    int GetNumberOfModelParams() override { return 1; }
    int GetNumberOfSamplesPerModel() override { return 2; }

    std::vector<Sample> samples;
};

using RansacLevel = LevelFitter<RANSAC<float> >;
using MsacLevel = LevelFitter<MSAC<float> >;

TEST(RansacTest, FreshFitterDrawsTheSameSamples) {
    const Array2D<float> points = Row(std::vector<float>(10, 1.0f));
    const std::vector<Sample> expected = {{8, 7}, {4, 5}, {2, 5}, {5, 2}, {0, 6}, {6, 7}};
    for (int run = 0; run < 2; ++run) {
        RansacLevel fitter(4);
        VectorND<float> model(1);
        float score = 0;
        ASSERT_TRUE(fitter.Apply(points, 0.5f, model, score));
        // The generator carries over from one call to the next.
        ASSERT_TRUE(fitter.Apply(points, 0.5f, model, score));
        EXPECT_EQ(expected, fitter.samples) << "run " << run;
    }
}

TEST(RansacTest, IterationCountGivesOneHypothesisFewer) {
    const Array2D<float> points = Row(std::vector<float>(10, 1.0f));
    struct Case {
        int iterations;
        size_t hypotheses;
        bool result;
    };
    for (const Case& c : {Case{50, 49, true}, Case{2, 1, true}, Case{1, 0, false}, Case{0, 0, false}}) {
        RansacLevel fitter(c.iterations);
        VectorND<float> model(1);
        float score = -7.0f;
        EXPECT_EQ(c.result, fitter.Apply(points, 0.5f, model, score)) << c.iterations;
        EXPECT_EQ(c.hypotheses, fitter.samples.size()) << c.iterations;
        if (!c.result) {
            EXPECT_EQ(0.0f, score);  // the initial score
            EXPECT_EQ(0, fitter.GetInliers().Size());
        }
    }
}

TEST(RansacTest, PairEnumerationVisitsEveryPairInOrder) {
    RansacLevel fitter(50);
    fitter.EnumeratePairs();
    VectorND<float> model(1);
    float score = 0;
    ASSERT_TRUE(fitter.Apply(Row({1.0f, 2.0f, 3.0f, 4.0f}), 0.5f, model, score));
    const std::vector<Sample> expected = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    EXPECT_EQ(expected, fitter.samples);
}

TEST(RansacTest, ScoresCountInliersOrSumTruncatedResiduals) {
    const Array2D<float> residuals = Row({1.0f, 5.0f, 2.0f});
    VectorND<float> zero(1);
    Array<int> unused;
    int inliers = -1;

    MsacLevel msac(50);
    EXPECT_EQ(-6.0f, msac.ComputeScore(zero, residuals, unused, inliers, 3.0f, 0.0f));
    EXPECT_EQ(2, inliers);
    EXPECT_EQ(-std::numeric_limits<float>::max(), msac.GetInitialScore());

    RansacLevel ransac(50);
    EXPECT_EQ(2.0f, ransac.ComputeScore(zero, residuals, unused, inliers, 3.0f, 0.0f));
    EXPECT_EQ(2, inliers);
    EXPECT_EQ(0.0f, ransac.GetInitialScore());

    // A residual equal to the threshold is not an inlier.
    const Array2D<float> onThreshold = Row({3.0f, 2.9f});
    EXPECT_FLOAT_EQ(-5.9f, msac.ComputeScore(zero, onThreshold, unused, inliers, 3.0f, 0.0f));
    EXPECT_EQ(1, inliers);
    ransac.CalculteInliers(unused, zero, onThreshold, 3.0f);
    ASSERT_EQ(1, unused.Size());
    EXPECT_EQ(1, unused[0]);
}

TEST(RansacTest, KeepsTheBestModelAndItsInliers) {
    // Seven points near 5, three outliers; the best level has 7 inliers.
    const Array2D<float> points = Row({5.0f, 40.0f, 5.1f, 4.9f, -20.0f, 5.05f, 5.0f, 4.95f, 90.0f, 5.02f});
    MsacLevel fitter(50);
    VectorND<float> model(1);
    float score = 0;
    ASSERT_TRUE(fitter.Apply(points, 0.5f, model, score));
    EXPECT_NEAR(5.0f, model[0], 0.1f);
    const Array<int>& inliers = fitter.GetInliers();
    const std::vector<int> expected = {0, 2, 3, 5, 6, 7, 9};
    ASSERT_EQ(static_cast<int>(expected.size()), inliers.Size());
    for (int i = 0; i < inliers.Size(); ++i) {
        EXPECT_EQ(expected[i], inliers[i]);
    }
    EXPECT_LT(score, 0.0f);
    EXPECT_GT(score, -3 * 0.5f - 1.0f);
}

TEST(RansacTest, EqualScoresKeepTheEarlierModel) {
    // Every level has exactly one inlier: the first sample's level stays.
    const Array2D<float> points = Row({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    RansacLevel fitter(20);
    VectorND<float> model(1);
    float score = 0;
    ASSERT_TRUE(fitter.Apply(points, 0.5f, model, score));
    EXPECT_EQ(8.0f, model[0]);
    EXPECT_EQ(1.0f, score);
}

TEST(RansacTest, TooFewPointsChangeNothing) {
    RansacLevel fitter(50);
    VectorND<float> model(1);
    model[0] = 42.0f;
    float score = -7.0f;
    EXPECT_FALSE(fitter.Apply(Row({1.0f}), 0.5f, model, score));
    EXPECT_EQ(42.0f, model[0]);
    EXPECT_EQ(-7.0f, score);
    EXPECT_TRUE(fitter.samples.empty());
}

TEST(RansacTest, PointSetsBeyondTheInitialPoolGrowIt) {
    const int n = 100000;
    RansacLevel fitter(30);
    EXPECT_EQ(70000, fitter.GetIndexPoolCapacity());
    const Array2D<float> points = Row(std::vector<float>(n, 1.0f));
    VectorND<float> model(1);
    float score = 0;
    ASSERT_TRUE(fitter.Apply(points, 0.5f, model, score));
    EXPECT_GE(fitter.GetIndexPoolCapacity(), n);
    ASSERT_EQ(29u, fitter.samples.size());
    // The same generator over the full index range, past the first 70000.
    EXPECT_EQ(Sample(36098, 44845), fitter.samples[0]);
    EXPECT_EQ(Sample(5984, 6323), fitter.samples[1]);
    EXPECT_EQ(Sample(88280, 64887), fitter.samples[4]);
    EXPECT_EQ(Sample(81136, 8619), fitter.samples[7]);
    for (const Sample& s : fitter.samples) {
        EXPECT_NE(s.first, s.second);
        EXPECT_LT(s.first, n);
        EXPECT_LT(s.second, n);
    }
    EXPECT_EQ(n, fitter.GetInliers().Size());
}

TEST(RansacDeathTest, ModelOfTheWrongSizeEndsTheProcessWithStatus1) {
    RansacLevel fitter(50);
    const Array2D<float> points = Row({1.0f, 2.0f, 3.0f});
    VectorND<float> model(3);
    float score = 0;
    EXPECT_EXIT(fitter.Apply(points, 0.5f, model, score), ::testing::ExitedWithCode(1),
                "Illegal Points dimension given to Ransac\\.");
}

}  // namespace
