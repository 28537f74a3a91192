#pragma once

// A plane in world millimetres: a point on it and its normal (a unit
// vector wherever the tracker builds one, the floor plane among them).

#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Plane {
public:
    Vector3D<T> m_point;
    Vector3D<T> m_normal;

    Plane() = default;
    Plane(const Vector3D<T>& point, const Vector3D<T>& normal) : m_point(point), m_normal(normal) {}
};
