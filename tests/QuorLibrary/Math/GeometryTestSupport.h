#pragma once

// Comparisons and random inputs shared by the geometry tests.

#include <gtest/gtest.h>

#include <random>

#include "QuorLibrary/Math/Vector3D.h"

namespace geometry_test {

constexpr float kPi = 3.14159265358979f;

inline void ExpectNear3(const Vector3D<float>& expected, const Vector3D<float>& actual, float tolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// A point with each coordinate uniform in [-range, range], drawn x, y, z in
// that order.
inline Vector3D<float> RandomPoint(std::mt19937& rng, float range) {
    std::uniform_real_distribution<float> coordinate(-range, range);
    const float x = coordinate(rng);
    const float y = coordinate(rng);
    const float z = coordinate(rng);
    return Vector3D<float>(x, y, z);
}

}  // namespace geometry_test
