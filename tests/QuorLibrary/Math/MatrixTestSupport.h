#pragma once

// Comparisons and random inputs shared by the matrix tests.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "QuorLibrary/Math/Matrix2X2.h"
#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/Vector3D.h"

namespace matrix_test {

// Elements 0 .. n-1 of two matrices within tolerance of each other.
template <typename TMatrix>
::testing::AssertionResult ElementsNear(const TMatrix& expected, const TMatrix& actual, int n, double tolerance) {
    for (int i = 0; i < n; ++i) {
        if (!(std::abs(static_cast<double>(expected[i]) - static_cast<double>(actual[i])) <= tolerance)) {
            return ::testing::AssertionFailure()
                   << "element " << i << ": expected " << expected[i] << ", got " << actual[i] << " (tolerance "
                   << tolerance << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

template <typename T>
::testing::AssertionResult MatricesNear(const Matrix3X3<T>& expected, const Matrix3X3<T>& actual, double tolerance) {
    return ElementsNear(expected, actual, 9, tolerance);
}

template <typename T>
::testing::AssertionResult MatricesNear(const Matrix2X2<T>& expected, const Matrix2X2<T>& actual, double tolerance) {
    return ElementsNear(expected, actual, 4, tolerance);
}

template <typename T>
::testing::AssertionResult VectorsNear(const Vector3D<T>& expected, const Vector3D<T>& actual, double tolerance) {
    for (int i = 0; i < 3; ++i) {
        if (!(std::abs(static_cast<double>(expected[i]) - static_cast<double>(actual[i])) <= tolerance)) {
            return ::testing::AssertionFailure() << "expected (" << expected << "), got (" << actual << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// Columns orthonormal within tolerance and determinant +1.
template <typename T>
::testing::AssertionResult IsRotation(const Matrix3X3<T>& m, double tolerance) {
    const Matrix3X3<T> product = m.Transposed() * m;
    if (!MatricesNear(Matrix3X3<T>::Identity(), product, tolerance)) {
        return ::testing::AssertionFailure() << "columns not orthonormal: " << MatricesNear(Matrix3X3<T>::Identity(),
                                                                                             product, tolerance)
                                                                                    .message();
    }
    if (!(std::abs(static_cast<double>(m.Determinant()) - 1.0) <= tolerance)) {
        return ::testing::AssertionFailure() << "determinant " << m.Determinant();
    }
    return ::testing::AssertionSuccess();
}

template <typename T>
Vector3D<T> RandomUnitVector(std::mt19937& rng) {
    std::normal_distribution<double> normal(0.0, 1.0);
    Vector3D<double> v;
    do {
        v = Vector3D<double>(normal(rng), normal(rng), normal(rng));
    } while (v.MagnitudeSquared() < 1e-6);
    v = v / std::sqrt(v.MagnitudeSquared());
    return Vector3D<T>(static_cast<T>(v.x), static_cast<T>(v.y), static_cast<T>(v.z));
}

// A uniformly spread rotation, built in double and rounded to T.
template <typename T>
Matrix3X3<T> RandomRotation(std::mt19937& rng) {
    std::uniform_real_distribution<double> angle(-3.14159, 3.14159);
    const Matrix3X3<double> r = Matrix3X3<double>::AxialRotation(RandomUnitVector<double>(rng), angle(rng));
    Matrix3X3<T> out;
    for (int i = 0; i < 9; ++i) {
        out[i] = static_cast<T>(r[i]);
    }
    return out;
}

}  // namespace matrix_test
