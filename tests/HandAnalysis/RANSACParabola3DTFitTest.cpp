#include "HandAnalysis/DUZFittedTrajectory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

Array2D<float> Points(const std::vector<std::vector<float> >& columns) {
    Array2D<float> points;
    points.SetSize(4, static_cast<int>(columns.size()), false);
    for (size_t j = 0; j < columns.size(); ++j) {
        for (int r = 0; r < 4; ++r) {
            points(r, static_cast<int>(j)) = columns[j][static_cast<size_t>(r)];
        }
    }
    return points;
}

// Records every sample it is given.
class RecordingFit : public RANSACParabola3DTFit<float> {
public:
    RecordingFit() : RANSACParabola3DTFit<float>(50, 100, false, 0.99f) {}
    bool FitModel(const VectorND<int>& sample, const Array2D<float>& points, VectorND<float>& model,
                  int64_t& evaluations) override {
        samples.push_back({sample[0], sample[1], sample[2]});
        return RANSACParabola3DTFit<float>::FitModel(sample, points, model, evaluations);
    }
    std::vector<std::vector<int> > samples;
};

TEST(RANSACParabola3DTFitTest, ThreeSamplesGiveOneParabolaPerCoordinate) {
    // x = 2 t^2 + 3 t + 1, y = -t + 4, z = 5 t^2 + 1500 at t = 0, 1, 2.
    const Array2D<float> points = Points({{0, 1, 4, 1500}, {1, 6, 3, 1505}, {2, 15, 2, 1520}, {3, 28, 1, 1580}});
    RANSACParabola3DTFit<float> fit(50, 100, false, 0.99f);
    VectorND<int> sample(3);
    sample[0] = 0;
    sample[1] = 1;
    sample[2] = 2;
    VectorND<float> model(9);
    int64_t evaluations = 0;
    EXPECT_TRUE(fit.FitModel(sample, points, model, evaluations));
    const float expected[9] = {2, 3, 1, 0, -1, 4, 5, 0, 1500};
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(expected[i], model[i], 1e-3f) << i;
    }
    EXPECT_EQ(0, evaluations);
    // The largest residual over the coordinates: z is 35 mm off at t = 3,
    // then x 10 mm.
    EXPECT_NEAR(35.0f, fit.Point2ModelDist(model, points, 3), 1e-2f);
    VectorND<float> point(4);
    point[0] = 3;
    point[1] = 38;
    point[2] = 1;
    point[3] = 1545;
    EXPECT_NEAR(10.0f, fit.Point2ModelDist(model, point), 1e-2f);

    // Repeated times: no parabola, the coefficients stay 0.
    const Array2D<float> repeated = Points({{1, 5, 5, 5}, {1, 6, 6, 6}, {2, 7, 7, 7}});
    EXPECT_TRUE(fit.FitModel(sample, repeated, model, evaluations));
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(0.0f, model[i]);
    }
}

TEST(RANSACParabola3DTFitTest, TheSeedReplacesTheWordStartingAt521288629) {
    std::vector<std::vector<float> > columns;
    for (int j = 0; j < 6; ++j) {
        columns.push_back({0.033f * j, 10.0f * j, 0.0f, 1500.0f});
    }
    const Array2D<float> points = Points(columns);
    auto draw = [&points](bool seeded, uint32_t seed) {
        RecordingFit fit;
        if (seeded) {
            fit.SetSamplerSeed(seed);
        }
        VectorND<float> model(9);
        float score = 0.0f;
        EXPECT_TRUE(fit.Apply(points, 15.0f, model, score));
        EXPECT_EQ(6.0f, score);
        EXPECT_EQ(49u, fit.samples.size());
        return fit.samples;
    };
    const auto defaults = draw(false, 0);
    EXPECT_EQ(defaults, draw(true, 521288629u));
    EXPECT_NE(defaults, draw(true, 7u));
}

}  // namespace
