#pragma once

// The corners of an axis-aligned box. The default box is empty and inverted
// (min at the scalar's largest value, max at its lowest) so that growing it
// by comparisons starts from any first point.

#include <limits>

#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename VectorType, typename ScalarType>
class BoxBase {
public:
    VectorType min;
    VectorType max;

    BoxBase()
        : min(Filled(std::numeric_limits<ScalarType>::max(), static_cast<VectorType*>(nullptr))),
          max(Filled(std::numeric_limits<ScalarType>::lowest(), static_cast<VectorType*>(nullptr))) {}
    BoxBase(const VectorType& minCorner, const VectorType& maxCorner) : min(minCorner), max(maxCorner) {}

private:
    static Vector2D<ScalarType> Filled(ScalarType value, Vector2D<ScalarType>*) {
        return Vector2D<ScalarType>(value, value);
    }
    static Vector3D<ScalarType> Filled(ScalarType value, Vector3D<ScalarType>*) {
        return Vector3D<ScalarType>(value, value, value);
    }
};
