#pragma once

// A rigid coordinate frame in world millimetres: its origin and its axes,
// the columns of the orientation. A point p given in the frame lies at
// origin + R p in the world.

#include <ostream>

#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/MatrixVectorFunctions.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Frame3D {
public:
    Vector3D<T> m_origin;
    Matrix3X3<T> m_orientation;

    // The world frame itself: origin 0, identity orientation.
    Frame3D() : m_origin(), m_orientation(Matrix3X3<T>::Identity()) {}
    Frame3D(const Vector3D<T>& origin, const Matrix3X3<T>& orientation) : m_origin(origin), m_orientation(orientation) {}

    // R^T (p - origin): exact inverse of FrameToWorld for an orthonormal R.
    Vector3D<T> WorldToFrame(const Vector3D<T>& p) const { return m_orientation.TransposeTimes(p - m_origin); }
    // origin + R p.
    Vector3D<T> FrameToWorld(const Vector3D<T>& p) const { return Algb_upAv(m_origin, m_orientation, p); }

    // Appends f: afterwards FrameToWorld(p) is the old FrameToWorld(f.FrameToWorld(p)).
    Frame3D& operator*=(const Frame3D& f) {
        m_origin = m_origin + m_orientation * f.m_origin;
        m_orientation *= f.m_orientation;
        return *this;
    }
};

// "origin = x y z", then "orientation = " and the rotation one row per line,
// each element as a tab, the value and a space; each row flushes.
template <typename T>
std::ostream& operator<<(std::ostream& out, const Frame3D<T>& frame) {
    out << "origin = " << frame.m_origin << '\n' << "orientation = ";
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            out << '\t' << frame.m_orientation(r, c) << ' ';
        }
        out << std::endl;
    }
    return out;
}
