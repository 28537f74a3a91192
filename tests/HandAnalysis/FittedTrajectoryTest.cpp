#include "HandAnalysis/DUZFittedTrajectory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "SyntheticPaths.h"
#include "TrajectoryTestSupport.h"

namespace {

using namespace trajectory_test;
using Model3 = FittedTrajectory::ModelFitType;

constexpr int64_t k30Fps = 33333;
constexpr int64_t k15Fps = 66667;
constexpr int64_t k10Fps = 100000;

// One space-time parabola in every coordinate, u seconds from its start.
Vector3D<float> OnParabola(double u) {
    return Vector3D<float>(static_cast<float>(100.0 + 200.0 * u - 300.0 * u * u),
                           static_cast<float>(-50.0 + 30.0 * u),
                           static_cast<float>(1500.0 - 100.0 * u + 400.0 * u * u));
}

SensorTime Frame(int i, int64_t period = k30Fps) { return SensorTime(static_cast<int64_t>(i) * period); }

// Points 0 .. count - 1 on the parabola, the first at frame `first`.
void AddOnParabola(FittedTrajectory& trajectory, int first, int count, int64_t period, bool update) {
    for (int i = 0; i < count; ++i) {
        const SensorTime t = Frame(first + i, period);
        const Vector3D<float> p = OnParabola(static_cast<double>(i * period) * 1e-6);
        if (update) {
            trajectory.AddPointUpdate(t, p);
        } else {
            trajectory.AddPoint(t, p);
        }
    }
}

std::vector<SensorTime> ModelBases(const FittedTrajectory& trajectory) {
    std::vector<SensorTime> bases;
    for (const Model3& model : trajectory.GetModels()) {
        bases.push_back(model.TBase);
    }
    return bases;
}

void ExpectSameModels(const FittedTrajectory& a, const FittedTrajectory& b, const char* what) {
    ASSERT_EQ(a.GetModels().size(), b.GetModels().size()) << what;
    auto ib = b.GetModels().begin();
    for (const Model3& ma : a.GetModels()) {
        const Model3& mb = *ib++;
        EXPECT_EQ(ma.T0, mb.T0) << what;
        EXPECT_EQ(ma.T1, mb.T1) << what;
        EXPECT_EQ(ma.TBase, mb.TBase) << what;
        const VectorND<float> ca = ma.Coefficients();
        const VectorND<float> cb = mb.Coefficients();
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(ca[i], cb[i]) << what << " coefficient " << i;
        }
    }
}

TEST(FittedTrajectoryTest, InsertsPointsInTimeOrder) {
    FittedTrajectory trajectory;
    const Vector3D<float> a(1, 0, 0), b(2, 0, 0), c(3, 0, 0), d(4, 0, 0), e(5, 0, 0), f(6, 0, 0);
    trajectory.AddPoint(Seconds(2.0), a);  // first
    trajectory.AddPoint(Seconds(3.0), b);  // later: appended
    trajectory.AddPoint(Seconds(3.0), c);  // the newest time: replaces
    trajectory.AddPoint(Seconds(1.0), d);  // earlier than all: prepended
    trajectory.AddPoint(Seconds(2.5), e);  // between: inserted
    trajectory.AddPoint(Seconds(2.0), f);  // a time held inside: replaces, times stay distinct
    const std::vector<std::pair<double, float> > expected = {{1.0, 4}, {2.0, 6}, {2.5, 5}, {3.0, 3}};
    ASSERT_EQ(expected.size(), trajectory.GetPoints().size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Seconds(expected[i].first), trajectory.GetPoints()[i].first) << i;
        EXPECT_EQ(expected[i].second, trajectory.GetPoints()[i].second.x) << i;
    }
    EXPECT_EQ(Seconds(3.0), trajectory.GetLatestTime());
    EXPECT_EQ(c, trajectory.GetLatestPosition());

    int newer = -1;
    EXPECT_EQ(trajectory.GetPoints().begin() + 1, trajectory.FindPointAtTime(Seconds(2.0), newer));
    EXPECT_EQ(2, newer);
    EXPECT_EQ(trajectory.GetPoints().end(), trajectory.FindPointAtTime(Seconds(2.2), newer));
    EXPECT_EQ(4, newer);

    FittedTrajectory empty;
    EXPECT_EQ(SensorTime(0), empty.GetLatestTime());
    EXPECT_EQ(Vector3D<float>(), empty.GetLatestPosition());
}

TEST(FittedTrajectoryTest, FitsWindowsAtTheFourthSeventhTenthAndThirteenthPoint) {
    // Whether or not the fits succeed: at 10 frames per second none does.
    for (const int64_t period : {k30Fps, k10Fps}) {
        FittedTrajectory trajectory;
        std::vector<SensorTime> lastFit;
        for (int i = 0; i < 14; ++i) {
            trajectory.AddPointUpdate(Frame(i + 1, period), OnParabola(static_cast<double>(i * period) * 1e-6));
            lastFit.push_back(trajectory.GetLastFitTime());
        }
        // After point k the last fit time is the last point of the newest window.
        const std::vector<int> lastFittedPoint = {0, 0, 0, 3, 3, 3, 6, 6, 6, 9, 9, 9, 12, 12};
        for (size_t k = 0; k < lastFit.size(); ++k) {
            EXPECT_EQ(Frame(lastFittedPoint[k] + 1, period), lastFit[k]) << "period " << period << " point " << k;
        }
        if (period == k30Fps) {
            // Windows 0-3, 1-6, 4-9, 7-12.
            const std::vector<SensorTime> bases = {Frame(1), Frame(2), Frame(5), Frame(8)};
            EXPECT_EQ(bases, ModelBases(trajectory));
        } else {
            EXPECT_TRUE(trajectory.GetModels().empty());
            EXPECT_TRUE(trajectory.GetExtremaAlongAxis(FittedTrajectory::eXAxis).empty());
        }
    }
}

TEST(FittedTrajectoryTest, AWindowNeedsThreeFifthsOfItsExpectedPointsAsInliers) {
    // No four of these lie within 15 mm of one space-time parabola, but any
    // three do.
    const Vector3D<float> scattered[6] = {{0, 0, 1500},     {400, -300, 1900}, {-300, 250, 1200},
                                          {500, -400, 1800}, {-200, 100, 1300}, {350, 300, 2000}};
    struct Case {
        int64_t period;
        int onParabola;  // the first points are on the parabola, the rest scattered
        bool fits;
        int inliers;
    };
    const Case cases[] = {
        {k30Fps, 0, true, 3},   // 5 expected: 3 needed
        {k15Fps, 0, false, 0},  // 10 expected: all 6 needed
        {k15Fps, 5, false, 0},
        {k15Fps, 6, true, 6},
        {k10Fps, 6, false, 0},  // 15 expected: never
    };
    for (const Case& c : cases) {
        FittedTrajectory trajectory;
        for (int i = 0; i < 6; ++i) {
            const double u = static_cast<double>(i * c.period) * 1e-6;
            trajectory.AddPoint(Frame(i + 3, c.period), i < c.onParabola ? OnParabola(u) : scattered[i]);
        }
        Model3 model;
        const bool fitted =
            trajectory.FitModel(trajectory.GetPoints().begin(), trajectory.GetPoints().end(), 0, 6, model);
        EXPECT_EQ(c.fits, fitted) << c.period << " " << c.onParabola;
        if (!fitted) {
            EXPECT_EQ(SensorTime::InvalidTime(), model.T0);  // left as it was
            continue;
        }
        int inliers = 0;
        for (const auto& sample : model.m_samples) {
            inliers += sample.second;
        }
        EXPECT_EQ(c.inliers, inliers);
        EXPECT_EQ(6u, model.m_samples.size());
    }
}

TEST(FittedTrajectoryTest, PointsOnOneParabolaGiveOneModelOverTheWholeWindow) {
    FittedTrajectory trajectory;
    AddOnParabola(trajectory, 10, 8, k30Fps, false);
    const auto first = trajectory.GetPoints().begin() + 2;
    Model3 model;
    ASSERT_TRUE(trajectory.FitModel(first, first + 6, 2, 6, model));
    EXPECT_EQ(Frame(12), model.T0);
    EXPECT_EQ(Frame(17), model.T1);
    EXPECT_EQ(Frame(12), model.TBase);
    EXPECT_EQ(2, model.m_firstInlierIndex);
    EXPECT_EQ(7, model.m_lastInlierIndex);
    ASSERT_EQ(6u, model.m_samples.size());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Frame(12 + i), model.m_samples[i].first);
        EXPECT_EQ(1, model.m_samples[i].second);
        const Vector3D<float> expected = OnParabola(static_cast<double>((i + 2) * k30Fps) * 1e-6);
        const Vector3D<float> fitted = model.PositionAt(Frame(12 + i));
        EXPECT_NEAR(expected.x, fitted.x, 0.01f);
        EXPECT_NEAR(expected.y, fitted.y, 0.01f);
        EXPECT_NEAR(expected.z, fitted.z, 0.01f);
    }
}

TEST(FittedTrajectoryTest, TheFirstModelReachesBackToAnOldestInlier) {
    // A first stamp of 0 counts as no fit yet, so the first window starts at
    // the second point and the walk back offers the first.
    for (const bool oldestOnParabola : {true, false}) {
        FittedTrajectory trajectory;
        for (int i = 0; i < 7; ++i) {
            Vector3D<float> p = OnParabola(static_cast<double>(i * k30Fps) * 1e-6);
            if (i == 0 && !oldestOnParabola) {
                p.x += 40.0f;
            }
            trajectory.AddPointUpdate(Frame(i), p);
        }
        ASSERT_EQ(1u, trajectory.GetModels().size());
        const Model3& model = trajectory.GetModels().front();
        EXPECT_EQ(Frame(1), model.TBase);
        EXPECT_EQ(oldestOnParabola ? Frame(0) : Frame(1), model.T0);
        EXPECT_EQ(oldestOnParabola ? 7u : 6u, model.m_samples.size());
        EXPECT_EQ(oldestOnParabola ? Frame(0) : Frame(1), model.m_samples.front().first);
    }
}

TEST(FittedTrajectoryTest, ARepeatedNewestStampIsTestedAgainstTheNewestModel) {
    struct Case {
        int offParabola;     // the newest points that arrive a metre off the parabola
        float repeatOffset;  // of the repeated newest point
        int expectedEnd;     // frame of the newest model's T1 afterwards
    };
    const Case cases[] = {
        {1, 0.0f, 7},   // an inlier one frame after the model's end extends it
        {1, 1000.0f, 6},  // an outlier changes nothing
        {2, 0.0f, 5},   // two frames after the end is beyond 1.2 frame periods
    };
    for (const Case& c : cases) {
        FittedTrajectory trajectory;
        for (int i = 0; i < 7; ++i) {
            Vector3D<float> p = OnParabola(static_cast<double>(i * k30Fps) * 1e-6);
            // Alternating sides, so that no parabola through them holds more
            // points than the true one.
            if (i >= 7 - c.offParabola) {
                p.x += i % 2 == 0 ? 1000.0f : -1000.0f;
            }
            trajectory.AddPointUpdate(Frame(i + 1), p);
        }
        ASSERT_EQ(Frame(7), trajectory.GetLastFitTime());
        ASSERT_EQ(Frame(7 - c.offParabola), trajectory.GetModels().back().T1);
        Vector3D<float> repeated = OnParabola(static_cast<double>(6 * k30Fps) * 1e-6);
        repeated.x += c.repeatOffset;
        trajectory.AddPointUpdate(Frame(7), repeated);
        EXPECT_EQ(7u, trajectory.GetPoints().size());
        EXPECT_EQ(repeated, trajectory.GetLatestPosition());
        const Model3& newest = trajectory.GetModels().back();
        EXPECT_EQ(Frame(c.expectedEnd), newest.T1) << c.offParabola << " " << c.repeatOffset;
        if (c.expectedEnd == 7) {
            EXPECT_EQ(Frame(7), newest.m_samples.back().first);
            EXPECT_EQ(1, newest.m_samples.back().second);
        }
    }
}

Model3 WithSamples(Model3 model, std::initializer_list<std::pair<double, int> > samples) {
    for (const auto& s : samples) {
        model.m_samples.emplace_back(Seconds(s.first), s.second);
    }
    return model;
}

TEST(FittedTrajectoryTest, ModelsJoinAtTheCandidateInstantWhereTheyAgreeBest) {
    const FittedTrajectory trajectory;
    // x = 100 mm/s x t against x = 60: equal at 0.6 s. Candidates run every
    // 30 ms from the later model's start; 0.59 s is the closest.
    Model3 rising = Model(0.0, 1.0, 0.0, {0, 100, 0, 0, 0, 0, 0, 0, 0});
    Model3 level = Model(0.5, 1.5, 0.0, {0, 0, 60, 0, 0, 0, 0, 0, 0});
    // Passed later model first: they exchange places.
    EXPECT_TRUE(trajectory.FuseModels(level, rising));
    EXPECT_EQ(Seconds(0.0), level.T0);
    EXPECT_EQ(Seconds(0.59), level.T1);
    EXPECT_EQ(Seconds(0.59), rising.T0);
    EXPECT_EQ(Seconds(1.5), rising.T1);

    Model3 early = Model(0.0, 0.4, 0.0, {0, 100, 0, 0, 0, 0, 0, 0, 0});
    Model3 late = Model(0.5, 1.5, 0.0, {0, 0, 60, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(trajectory.FuseModels(early, late));
    EXPECT_EQ(Seconds(0.4), early.T1);
    EXPECT_EQ(Seconds(0.5), late.T0);

    // Identical models keep the first candidate, the later one's start: the
    // earlier one becomes degenerate and the pass removes it.
    const Model3 same = WithSamples(Model(1.0, 2.0, 1.0, {3, 2, 1, 0, 0, 5, 0, 1, 1500}), {{1.0, 1}, {2.0, 1}});
    Model3 a = same;
    Model3 b = same;
    EXPECT_TRUE(trajectory.FuseModels(a, b));
    EXPECT_EQ(Seconds(1.0), a.T1);
    EXPECT_TRUE(a.IsDegenerate());
    FittedTrajectory::ModelList models = {same, same};
    FittedTrajectory::ModelList::iterator cur = models.begin();
    trajectory.FuseModels(cur, models);
    ASSERT_EQ(1u, models.size());
    EXPECT_EQ(Seconds(1.0), models.front().T0);
    EXPECT_EQ(Seconds(2.0), models.front().T1);
}

TEST(FittedTrajectoryTest, TheFusionPassDropsAModelWithoutAnInlierInItsInterval) {
    const FittedTrajectory trajectory;
    const Model3 rising = Model(0.0, 1.0, 0.0, {0, 100, 0, 0, 0, 0, 0, 0, 0});
    const Model3 level = Model(0.5, 1.5, 0.0, {0, 0, 60, 0, 0, 0, 0, 0, 0});
    struct Case {
        std::initializer_list<std::pair<double, int> > risingSamples;
        std::initializer_list<std::pair<double, int> > levelSamples;
        std::vector<double> expectedStarts;
    };
    const Case cases[] = {
        // Both hold an inlier: both stay, joined at 0.59 s.
        {{{0.1, 1}, {0.5, 0}}, {{0.6, 1}, {1.4, 0}}, {0.0, 0.59}},
        // The earlier one's samples inside [0, 0.59] are all outliers.
        {{{0.1, 0}, {0.5, 0}, {0.9, 1}}, {{0.6, 1}}, {0.59}},
        // The later one's samples inside [0.59, 1.5] are all outliers.
        {{{0.1, 1}}, {{0.55, 1}, {0.6, 0}, {1.4, 0}}, {0.0}},
        // No sample inside its interval is not poor.
        {{{0.7, 0}}, {{0.6, 1}}, {0.0, 0.59}},
    };
    for (const Case& c : cases) {
        FittedTrajectory::ModelList models = {WithSamples(rising, c.risingSamples),
                                              WithSamples(level, c.levelSamples)};
        FittedTrajectory::ModelList::iterator cur = models.begin();
        trajectory.FuseModels(cur, models);
        std::vector<double> starts;
        for (const Model3& m : models) {
            starts.push_back(static_cast<double>(static_cast<int64_t>(m.T0)) * 1e-6);
        }
        ASSERT_EQ(c.expectedStarts.size(), starts.size());
        for (size_t i = 0; i < starts.size(); ++i) {
            EXPECT_NEAR(c.expectedStarts[i], starts[i], 1e-9);
        }
    }
}

TEST(FittedTrajectoryTest, FittedPositionAtAJointComesFromTheEarlierModel) {
    TestTrajectory trajectory;
    trajectory.m_models = {Model(0.0, 0.59, 0.0, {0, 100, 0, 0, 0, 7, 0, 0, 1500}),
                           Model(0.59, 1.5, 0.0, {0, 0, 60, 0, 0, 8, 0, 0, 1400})};
    const Vector3D<float> joint = trajectory.FittedPosAtTime(Seconds(0.59));
    EXPECT_FLOAT_EQ(59.0f, joint.x);
    EXPECT_EQ(1500.0f, joint.z);
    EXPECT_EQ(Vector3D<float>(60.0f, 8.0f, 1400.0f), trajectory.FittedPosAtTime(Seconds(1.0)));
    EXPECT_EQ(Vector3D<float>(), trajectory.FittedPosAtTime(Seconds(1.6)));
    EXPECT_EQ(Vector3D<float>(), trajectory.FittedPosAtTime(Seconds(-0.1)));
}

TEST(FittedTrajectoryTest, TheSeedChoosesTheSampleSequenceReproducibly) {
    // A noisy wave with every fifth point 30 mm off: which three points a
    // hypothesis draws matters.
    synthetic_paths::Path path = synthetic_paths::Sampled(
        [](double t) { return Vector3D<double>(150.0 * std::sin(7.85 * t), 600.0, 1600.0); }, 1, 60, 4.0, 3);
    for (size_t i = 0; i < path.size(); i += 5) {
        path[i].position.z += 30.0f;
    }
    auto run = [&path](unsigned int seed) {
        FittedTrajectory trajectory;
        trajectory.SetRandomSeed(seed);
        synthetic_paths::Feed(trajectory, path);
        return trajectory;
    };
    const FittedTrajectory defaults = run(0);
    ASSERT_GT(defaults.GetModels().size(), 5u);
    ExpectSameModels(defaults, run(0), "same input, seed 0");
    // Seed 0 keeps the sampler's own word, 521288629.
    ExpectSameModels(defaults, run(521288629u), "the default word");
    const FittedTrajectory seeded = run(12345u);
    ExpectSameModels(seeded, run(12345u), "same seed");
    bool differs = seeded.GetModels().size() != defaults.GetModels().size();
    for (auto a = seeded.GetModels().begin(), b = defaults.GetModels().begin();
         !differs && a != seeded.GetModels().end(); ++a, ++b) {
        differs = a->T0 != b->T0 || a->T1 != b->T1 || a->X.m_parabola.m_a != b->X.m_parabola.m_a;
    }
    EXPECT_TRUE(differs);
}

TEST(FittedTrajectoryTest, TrimDropsWhatIsOlderThanItsTime) {
    TestTrajectory trajectory;
    for (int i = 1; i <= 10; ++i) {
        trajectory.AddPoint(Seconds(0.1 * i), Vector3D<float>(static_cast<float>(i), 0, 0));
    }
    trajectory.m_models = {Model(0.1, 0.4, 0.1, {0, 0, 1, 0, 0, 0, 0, 0, 0}),
                           Model(0.4, 0.7, 0.4, {0, 100, 5, 0, 0, 0, 0, 0, 1500}),
                           Model(0.7, 1.0, 0.7, {0, 0, 3, 0, 0, 0, 0, 0, 0})};
    trajectory.m_extremaX = {Extremum(0.1, 0.15, 1), Extremum(0.45, 0.55, 60), Extremum(0.8, 0.85, 3)};
    trajectory.m_extremaZ = {Extremum(0.1, 0.15, 0, 0, 1400), Extremum(0.8, 0.85, 0, 0, 1450)};

    trajectory.Trim(Seconds(0.5));
    EXPECT_EQ(Seconds(0.5), trajectory.GetPoints().front().first);
    EXPECT_EQ(6u, trajectory.GetPoints().size());
    ASSERT_EQ(2u, trajectory.GetModels().size());
    EXPECT_EQ(Seconds(0.5), trajectory.GetModels().front().T0);
    EXPECT_EQ(Seconds(0.7), trajectory.GetModels().front().T1);
    // X: the entry ending before 0.5 goes, the next starts at 0.5.
    ASSERT_EQ(2u, trajectory.m_extremaX.size());
    EXPECT_EQ(Seconds(0.5), trajectory.m_extremaX.front().T0);
    EXPECT_EQ(60.0f, trajectory.m_extremaX.front().X);
    // Z: the first remaining entry starts after 0.5, so the model's position
    // at 0.5 is put before it (more than 20 mm apart, so it stays).
    ASSERT_EQ(2u, trajectory.m_extremaZ.size());
    EXPECT_EQ(Seconds(0.5), trajectory.m_extremaZ.front().T0);
    EXPECT_EQ(Seconds(0.5), trajectory.m_extremaZ.front().T1);
    EXPECT_EQ(1500.0f, trajectory.m_extremaZ.front().Z);
    EXPECT_EQ(15.0f, trajectory.m_extremaZ.front().X);

    // No model reaches the time: the points go, every model stays.
    trajectory.Trim(Seconds(5.0));
    EXPECT_TRUE(trajectory.GetPoints().empty());
    EXPECT_EQ(2u, trajectory.GetModels().size());
    EXPECT_EQ(2u, trajectory.m_extremaX.size());
}

TEST(FittedTrajectoryTest, AFittedPointThatIsGoneRestartsTheWindowsAtTheOldest) {
    FittedTrajectory trajectory;
    AddOnParabola(trajectory, 1, 6, k30Fps, true);  // fits frames 1-4
    ASSERT_EQ(Frame(4), trajectory.GetLastFitTime());
    for (int i = 0; i < 4; ++i) {
        trajectory.PopFrontPoint();
    }
    for (int i = 7; i <= 8; ++i) {
        trajectory.AddPointUpdate(Frame(i), OnParabola(static_cast<double>((i - 1) * k30Fps) * 1e-6));
    }
    // The next window is the four points held, from the oldest.
    EXPECT_EQ(Frame(8), trajectory.GetLastFitTime());
    EXPECT_EQ(Frame(5), trajectory.GetModels().back().TBase);
    for (int i = 9; i <= 11; ++i) {
        trajectory.AddPointUpdate(Frame(i), OnParabola(static_cast<double>((i - 1) * k30Fps) * 1e-6));
    }
    EXPECT_EQ(Frame(11), trajectory.GetLastFitTime());
}

TEST(FittedTrajectoryTest, AForcedFitTakesTheNewestWindowAndRestartsFromTheOldest) {
    FittedTrajectory few;
    AddOnParabola(few, 1, 5, k30Fps, true);
    few.ForcedUpdate();
    EXPECT_EQ(Frame(4), few.GetLastFitTime());
    EXPECT_EQ(1u, few.GetModels().size());

    FittedTrajectory trajectory;
    AddOnParabola(trajectory, 1, 8, k30Fps, true);
    ASSERT_EQ(Frame(7), trajectory.GetLastFitTime());
    trajectory.ForcedUpdate();
    EXPECT_EQ(Frame(1), trajectory.GetLastFitTime());
    const std::vector<SensorTime> bases = {Frame(1), Frame(2), Frame(3)};
    EXPECT_EQ(bases, ModelBases(trajectory));
}

TEST(FittedTrajectoryTest, TheWholeSequenceFitUsesWindowsOfTenEveryFivePoints) {
    struct Case {
        int points;
        std::vector<int> starts;
    };
    const Case cases[] = {{9, {}}, {10, {0}}, {12, {0, 2}}, {20, {0, 5, 10}}, {22, {0, 5, 10, 12}}};
    for (const Case& c : cases) {
        FittedTrajectory trajectory;
        AddOnParabola(trajectory, 1, c.points, k30Fps, false);
        trajectory.FitModel();
        std::vector<SensorTime> expected;
        for (int s : c.starts) {
            expected.push_back(Frame(s + 1));
        }
        EXPECT_EQ(expected, ModelBases(trajectory)) << c.points;
    }
}

TEST(FittedTrajectoryTest, TheDumpWritesModelsWithTenDecimals) {
    const Model3 model = Model(1.5, 2.0, 1.5, {1.25f, -3.0f, 100.0f, 0.0f, 0.5f, -7.0f, 2.0f, 0.0f, 1500.0f});
    std::ostringstream line;
    line << model;
    EXPECT_EQ(" TBase: 1.5000000000 T0: 1.5000000000 T1: 2.0000000000 X: 1.2500000000 -3.0000000000 "
              "100.0000000000 Y: 0.0000000000 0.5000000000 -7.0000000000 Z: 2.0000000000 0.0000000000 "
              "1500.0000000000 \n",
              line.str());

    std::ostringstream extremum;
    extremum << Extremum(1.5, 1.533333, 10.5f, -2.25f, 1600.0f, 2);
    EXPECT_EQ(" T0: 1.5 T1: 1.53333 X: 10.5000000000 Y: -2.2500000000 Z: 1600.0000000000 ExtremaType: 2",
              extremum.str());

    TestTrajectory trajectory;
    trajectory.AddPoint(Seconds(0.5), Vector3D<float>(1.5f, 2, 3));
    trajectory.m_models = {model};
    trajectory.m_extremaZ = {Extremum(1.5, 1.6, 0, 0, 1500, 0)};
    std::ostringstream dump;
    dump << trajectory;
    EXPECT_EQ("TrajectoryPoints :\n0.5 1.5 2 3\n\nFittedTrajectory :\n" + line.str() +
                  "\nZ Extrema: \n T0: 1.5 T1: 1.6 X: 0.0000000000 Y: 0.0000000000 Z: 1500.0000000000 "
                  "ExtremaType: 0\n",
              dump.str());
}

}  // namespace
