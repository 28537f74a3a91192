#include "QuorLibrary/Math/RigidTransformationSolver.h"
#include "QuorLibrary/Math/RigidTransformationSolver2D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "MatrixTestSupport.h"

namespace {

using matrix_test::IsRotation;
using matrix_test::MatricesNear;
using matrix_test::VectorsNear;
using V3 = Vector3D<float>;
using V2 = Vector2D<float>;

const Matrix3X3<float> kRotation = Matrix3X3<float>::FixedXYZRotation(0.4f, -0.25f, 1.3f);
const V3 kTranslation(120.0f, -35.0f, 880.0f);

std::vector<V3> SourcePoints() {
    return {{0, 0, 0},       {100, 0, 0},   {0, 150, 20},   {-80, 40, 60}, {30, -90, -40},
            {200, 100, -10}, {-50, -50, 90}, {10, 250, -70}, {140, -30, 35}, {-120, 80, -60}};
}

TEST(RigidTransformationSolver, RecoversAKnownMotionFromNoisyWeightedPairs) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> coordinate(-400.0f, 400.0f);
    std::uniform_real_distribution<float> weight(0.5f, 2.0f);
    std::normal_distribution<float> noise(0.0f, 0.5f);
    RigidTransformationSolver<float> solver;
    for (int i = 0; i < 20; ++i) {
        const V3 source(coordinate(rng), coordinate(rng), coordinate(rng));
        const V3 target = kRotation * source + kTranslation + V3(noise(rng), noise(rng), noise(rng));
        solver.Add(source, target, weight(rng));
    }
    ASSERT_TRUE(solver.Solve());
    EXPECT_TRUE(IsRotation(solver.m_rotation, 1e-5));
    EXPECT_TRUE(MatricesNear(kRotation, solver.GetRotationMatrix(), 3e-3));
    EXPECT_TRUE(VectorsNear(kTranslation, solver.m_translation, 1.0));
    EXPECT_GT(solver.m_singularValues.z, 0.0f);
}

TEST(RigidTransformationSolver, ExactPairsGiveTheMotionAndStoreIt) {
    RigidTransformationSolver<float> solver;
    const std::vector<V3> points = SourcePoints();
    for (size_t i = 0; i < 3; ++i) {
        solver.Add(points[i], kRotation * points[i] + kTranslation, 1.0f);
    }
    Matrix3X3<float> R;
    V3 t;
    ASSERT_TRUE(solver.Solve(R, t));
    EXPECT_TRUE(MatricesNear(kRotation, R, 1e-5));
    EXPECT_TRUE(VectorsNear(kTranslation, t, 1e-3));
    EXPECT_EQ(Matrix3X3<float>(), solver.m_rotation);  // the explicit form stores nothing
    ASSERT_TRUE(solver.Solve());
    EXPECT_EQ(R, solver.m_rotation);
    EXPECT_EQ(t, solver.m_translation);
    // target ~ R s + t for every pair.
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(VectorsNear(kRotation * points[i] + kTranslation, R * points[i] + t, 1e-3));
    }
}

TEST(RigidTransformationSolver, MirroredPointsStillGiveAProperRotation) {
    RigidTransformationSolver<float> solver;
    for (const V3& p : SourcePoints()) {
        solver.Add(p, V3(p.x, p.y, -p.z) + V3(5, 6, 7), 1.0f);  // mirrored in z = 0
    }
    Matrix3X3<float> R;
    V3 t;
    ASSERT_TRUE(solver.Solve(R, t));
    EXPECT_TRUE(IsRotation(R, 1e-5));
    // Reached by negating the last right singular vector.
    EXPECT_NEAR(-1.0f, solver.m_V.Determinant(), 1e-5f);
}

TEST(RigidTransformationSolver, DegenerateWeightsAndSinglePairs) {
    RigidTransformationSolver<float> one;
    one.Add(V3(1, 2, 3), V3(-4, 0, 10), 1.0f);
    Matrix3X3<float> R;
    V3 t;
    ASSERT_TRUE(one.Solve(R, t));
    EXPECT_TRUE(MatricesNear(Matrix3X3<float>::Identity(), R, 1e-6));
    EXPECT_TRUE(VectorsNear(V3(-5, -2, 7), t, 1e-5));
    EXPECT_TRUE(VectorsNear(V3(-5, -2, 7), one.GetCentroidOffset(), 1e-6));

    RigidTransformationSolver<float> light;
    light.Add(V3(1, 0, 0), V3(0, 1, 0), 5e-9f);
    const Matrix3X3<float> marker(9, 9, 9, 9, 9, 9, 9, 9, 9);
    R = marker;
    t = V3(9, 9, 9);
    EXPECT_FALSE(light.Solve(R, t));
    EXPECT_FALSE(light.SolveRotationOnly(R));
    EXPECT_EQ(marker, R);
    EXPECT_EQ(V3(9, 9, 9), t);

    // A negative total weight of larger magnitude is solved like any other
    // (a proper rotation, though of the negated objective).
    RigidTransformationSolver<float> negative;
    for (const V3& p : SourcePoints()) {
        negative.Add(p, kRotation * p + kTranslation, -0.1f);
    }
    EXPECT_NEAR(-1.0f, negative.m_totalWeight, 1e-6f);
    ASSERT_TRUE(negative.Solve(R, t));
    EXPECT_TRUE(IsRotation(R, 1e-5));
    EXPECT_TRUE(negative.SolveRotationOnly(R));
}

TEST(RigidTransformationSolver, ResetKeepsTheLastResultUntilTheNextSolve) {
    RigidTransformationSolver<float> solver;
    for (const V3& p : SourcePoints()) {
        solver.Add(p, kRotation * p, 2.0f);
    }
    Matrix3X3<float> R;
    ASSERT_TRUE(solver.SolveRotationOnly(R));
    EXPECT_TRUE(MatricesNear(kRotation, R, 1e-5));
    ASSERT_TRUE(solver.Solve());
    const Matrix3X3<float> first = solver.m_rotation;
    solver.Reset();
    EXPECT_EQ(0.0f, solver.m_totalWeight);
    EXPECT_EQ(V3(), solver.m_sourceSum);
    EXPECT_EQ(Matrix3X3<float>(), solver.m_crossCovariance);
    EXPECT_EQ(first, solver.m_rotation);
    EXPECT_FALSE(solver.Solve());
    for (const V3& p : SourcePoints()) {
        solver.Add(p, p, 1.0f);
    }
    ASSERT_TRUE(solver.Solve());
    EXPECT_TRUE(MatricesNear(Matrix3X3<float>::Identity(), solver.m_rotation, 1e-5));
    EXPECT_TRUE(VectorsNear(V3(), solver.m_translation, 1e-3));
}

TEST(RigidTransformationSolver, NotANumberIsReportedAsFailure) {
    RigidTransformationSolver<float> solver;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Matrix3X3<float> H = Matrix3X3<float>::Identity();
    H(1, 2) = nan;
    Matrix3X3<float> R;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(solver.ComputeRotationUsingSVD(H, R));
    EXPECT_EQ("ComputeRotationUsingSVD: NaN Detected\n", ::testing::internal::GetCapturedStderr());

    solver.Add(V3(nan, 0, 0), V3(1, 2, 3), 1.0f);
    solver.Add(V3(4, 5, 6), V3(1, 2, 3), 1.0f);
    V3 t(7, 7, 7);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(solver.Solve(R, t));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(V3(7, 7, 7), t);
}

TEST(RigidTransformationSolver, FixedPointSumsRenormaliseToWeight100) {
    RigidTransformationSolver<int> fixed;
    fixed.m_totalWeight = 50;
    fixed.m_sourceSum = Vector3D<int>(100, 0, -50);
    RigidTransformationSolver<float> converted;
    converted.m_rotation = Matrix3X3<float>::Identity();
    FixedPointToFloatingPoint(fixed, converted);
    EXPECT_EQ(100.0f, converted.m_totalWeight);
    EXPECT_EQ(V3(200, 0, -100), converted.m_sourceSum);
    EXPECT_EQ(V3(), converted.m_targetSum);
    EXPECT_EQ(Matrix3X3<float>(), converted.m_crossCovariance);
    EXPECT_EQ(Matrix3X3<float>::Identity(), converted.m_rotation);  // results untouched

    for (int weight : {0, -3}) {
        fixed.m_totalWeight = weight;
        fixed.m_crossCovariance = Matrix3X3<int>::Diagonal(7);
        FixedPointToFloatingPoint(fixed, converted);
        EXPECT_EQ(0.0f, converted.m_totalWeight);
        EXPECT_EQ(V3(), converted.m_sourceSum);
        EXPECT_EQ(Matrix3X3<float>(), converted.m_crossCovariance);
        EXPECT_FALSE(converted.Solve());
    }
}

// The torso fit accumulates integer pairs (millimetres, integer weights) and
// solves the renormalised float copy: the same motion as the float form.
TEST(RigidTransformationSolver, IntegerAccumulatorAgreesWithTheFloatForm) {
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> coordinate(-300, 300);
    std::uniform_int_distribution<int> weight(1, 8);
    const Matrix3X3<float> rotation = Matrix3X3<float>::AxialRotation(V3(0.6f, 0.0f, 0.8f), 0.3f);
    RigidTransformationSolver<int> fixed;
    RigidTransformationSolver<float> direct;
    for (int i = 0; i < 40; ++i) {
        const Vector3D<int> source(coordinate(rng), coordinate(rng), coordinate(rng));
        const Vector3D<int> target = (rotation * V3(source) + V3(15, -40, 22)).Round();
        const int w = weight(rng);
        fixed.Add(source, target, w);
        direct.Add(V3(source), V3(target), static_cast<float>(w));
    }
    RigidTransformationSolver<float> converted;
    FixedPointToFloatingPoint(fixed, converted);
    EXPECT_EQ(100.0f, converted.m_totalWeight);
    Matrix3X3<float> fromFixed;
    Matrix3X3<float> fromFloat;
    V3 tFixed;
    V3 tFloat;
    ASSERT_TRUE(converted.Solve(fromFixed, tFixed));
    ASSERT_TRUE(direct.Solve(fromFloat, tFloat));
    EXPECT_TRUE(MatricesNear(fromFloat, fromFixed, 1e-5));
    EXPECT_TRUE(VectorsNear(tFloat, tFixed, 1e-2));
    EXPECT_TRUE(MatricesNear(rotation, fromFloat, 5e-3));
}

TEST(RigidTransformationSolver2D, QuarterTurnAndShift) {
    RigidTransformationSolver2D<float> solver;
    for (const V2& p : {V2(1, 0), V2(0, 1), V2(-1, 0)}) {
        solver.Add(p, V2(-p.y, p.x) + V2(5, 7));
    }
    Matrix2X2<float> R;
    V2 t;
    ASSERT_TRUE(solver.Solve(R, t));
    EXPECT_TRUE(MatricesNear(Matrix2X2<float>(0, -1, 1, 0), R, 1e-6));
    EXPECT_NEAR(5.0f, t.x, 1e-5f);
    EXPECT_NEAR(7.0f, t.y, 1e-5f);
    ASSERT_TRUE(solver.ComputeRotationUsingSVD(solver.m_crossCovariance, R));
}

TEST(RigidTransformationSolver2D, DegenerateAndMirroredInput) {
    RigidTransformationSolver2D<float> light;
    light.Add(V2(1, 0), V2(0, 1), 5e-9f);
    Matrix2X2<float> R(9, 9, 9, 9);
    V2 t(9, 9);
    EXPECT_FALSE(light.Solve(R, t));
    EXPECT_FALSE(light.SolveRotationOnly(R));
    EXPECT_EQ(9.0f, R.m00);
    EXPECT_EQ(9.0f, t.x);

    RigidTransformationSolver2D<float> mirrored;
    for (const V2& p : {V2(1, 2), V2(-3, 1), V2(4, -2), V2(0, 5)}) {
        mirrored.Add(p, V2(p.x, -p.y), 1.0f);
    }
    ASSERT_TRUE(mirrored.Solve(R, t));
    EXPECT_NEAR(1.0f, R.Determinant(), 1e-5f);
    EXPECT_NEAR(1.0f, R.m00 * R.m00 + R.m10 * R.m10, 1e-5f);
}

// Planar pairs solved in 2D and in 3D (z = 0, rotation about z) agree.
TEST(RigidTransformationSolver2D, AgreesWithTheThreeDimensionalForm) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> coordinate(-200.0f, 200.0f);
    std::uniform_real_distribution<float> weight(0.5f, 3.0f);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    const Matrix2X2<float> rotation = Matrix2X2<float>::Rotation(-0.8f);
    RigidTransformationSolver2D<float> planar;
    RigidTransformationSolver<float> spatial;
    for (int i = 0; i < 20; ++i) {
        const V2 source(coordinate(rng), coordinate(rng));
        const V2 target = rotation * source + V2(30, -12) + V2(noise(rng), noise(rng));
        const float w = weight(rng);
        planar.Add(source, target, w);
        spatial.Add(V3(source.x, source.y, 0), V3(target.x, target.y, 0), w);
    }
    Matrix2X2<float> R2;
    V2 t2;
    ASSERT_TRUE(planar.Solve(R2, t2));
    ASSERT_TRUE(spatial.Solve());
    const Matrix3X3<float>& R3 = spatial.m_rotation;
    EXPECT_TRUE(MatricesNear(Matrix2X2<float>(R3.m00, R3.m01, R3.m10, R3.m11), R2, 1e-5));
    EXPECT_NEAR(spatial.m_translation.x, t2.x, 1e-3f);
    EXPECT_NEAR(spatial.m_translation.y, t2.y, 1e-3f);
    EXPECT_TRUE(MatricesNear(rotation, R2, 5e-3));

    Matrix2X2<float> about;
    RigidTransformationSolver2D<float> centred;
    for (const V2& p : {V2(10, 0), V2(0, 20), V2(-5, -5)}) {
        centred.Add(p, rotation * p);
    }
    ASSERT_TRUE(centred.SolveRotationOnly(about));
    EXPECT_TRUE(MatricesNear(rotation, about, 1e-5));
    EXPECT_NEAR(5.0f / 3.0f, centred.GetSourceCentroid().x, 1e-6f);
}

}  // namespace
