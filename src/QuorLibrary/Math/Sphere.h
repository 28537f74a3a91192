#pragma once

// A sphere in world millimetres and its intersection with a line.

#include "QuorLibrary/Math/LineBase.h"
#include "QuorLibrary/Math/QuadraticEquation.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Sphere {
public:
    Vector3D<T> m_center;
    T m_radius;

    Sphere() : m_center(), m_radius(0) {}
    Sphere(const Vector3D<T>& center, T radius) : m_center(center), m_radius(radius) {}

    // Parameters of the line's points on the sphere; returns the root count
    // of QuadraticEquation::FindRoots (t1 <= t2 with two roots).
    int Intersect(const LineBase<Vector3D<T> >& line, T& t1, T& t2) const {
        return Equation(line).FindRoots(t1, t2);
    }
    // The same, as points: p1 with one or two roots, p2 with two.
    int Intersect(const LineBase<Vector3D<T> >& line, Vector3D<T>& p1, Vector3D<T>& p2) const {
        T t1 = 0;
        T t2 = 0;
        const int count = Equation(line).FindRoots(t1, t2);
        if (count >= 1) {
            p1 = line.GetPoint(t1);
        }
        if (count == 2) {
            p2 = line.GetPoint(t2);
        }
        return count;
    }

private:
    // |origin + t direction - centre|^2 = radius^2.
    QuadraticEquation<T> Equation(const LineBase<Vector3D<T> >& line) const {
        const Vector3D<T> offset = line.m_origin - m_center;
        return QuadraticEquation<T>(line.m_direction.MagnitudeSquared(), 2 * line.m_direction.Dot(offset),
                                    offset.MagnitudeSquared() - m_radius * m_radius);
    }
};
