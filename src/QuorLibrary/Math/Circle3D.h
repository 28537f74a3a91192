#pragma once

// A circle lying in a plane in 3D: centre, unit normal, radius, and the
// reference vector from the centre to the point at angle 0. Angles are in
// radians about the normal by the right-hand rule, from the reference.

#include <cmath>

#include "QuorLibrary/Math/Plane.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

class Circle3D {
public:
    Vector3D<float> m_center;
    Vector3D<float> m_normal;
    float m_radius;
    Vector3D<float> m_reference;

    Circle3D() : m_center(), m_normal(), m_radius(0.0f), m_reference() {}

    // Centre and normal from the plane, then Initialize().
    void Set(const Plane<float>& plane, float radius);
    // Normalises the normal (a null one becomes (1, 0, 0)) and derives the
    // reference: the auxiliary axis crossed with the normal, at radius
    // length. The auxiliary axis is x for a normal near the z axis, else z.
    void Initialize();
    // Makes angle 0 point at point, as given: neither projected nor rescaled.
    void SetPtOnCircle(const Vector3D<float>& point) { m_reference = point - m_center; }

    // Within 0.001 of the plane and of the radius.
    bool IsPointOnCircle(const Vector3D<float>& p) const;
    // Unit vector from the centre towards p's projection onto the plane;
    // (1, 0, 0) when the projection is the centre.
    Vector3D<float> GetClosestDir(const Vector3D<float>& p) const;
    Vector3D<float> GetClosestPoint(const Vector3D<float>& p) const;
    // (distance from the plane)^2 + (distance of the projection from the
    // centre - radius)^2.
    float GetDistanceSqr(const Vector3D<float>& p) const;
    // Signed angle of GetClosestDir(p) from the reference, in [-pi, pi]; the
    // reference direction itself gives -0.
    float GetClosestPointAngle(const Vector3D<float>& p) const;
    // The centre plus the reference turned by angle about the normal.
    Vector3D<float> GetPoint(float angle) const;
    // The angles of the two circle points at distance from p: the angle of
    // the closest point plus and minus the half opening. False when no circle point lies at that distance (within
    // 0.001), or when p projects onto the centre, where every circle point
    // is equally far and no pair is singled out.
    bool GetPointAnglesInDistFromPt(const Vector3D<float>& p, float distance, Vector2D<float>& angles) const;
    // The two points themselves; unchanged on false.
    bool GetPointsInDistFromPt(const Vector3D<float>& p, float distance, Vector3D<float> points[2]) const;
};

// The circle where the sphere of radius r0 about p0 meets the sphere of
// radius r1 about p1. False when they do not meet, or when the centres
// coincide (no single circle).
bool FindCircle(const Vector3D<float>& p0, const Vector3D<float>& p1, float r0, float r1, Circle3D& circle);
// The circle through three points. False when they are (nearly) collinear:
// the cross product of their differences is shorter than epsilon, or null.
bool FindCircumscribedCircle(const Vector3D<float>& a, const Vector3D<float>& b, const Vector3D<float>& c,
                             Circle3D& circle, float epsilon);

// The angle between u and v: acos of u.v over both lengths, clamped to
// [-1, 1]. A set flag lets that vector count as unit length.
template <typename T>
T GetAngle(const Vector3D<T>& u, const Vector3D<T>& v, bool uIsUnit, bool vIsUnit) {
    T q = u.Dot(v);
    if (!uIsUnit) {
        q /= std::sqrt(u.MagnitudeSquared());
    }
    if (!vIsUnit) {
        q /= std::sqrt(v.MagnitudeSquared());
    }
    if (q > T(1)) {
        q = T(1);
    } else if (q < T(-1)) {
        q = T(-1);
    }
    return std::acos(q);
}
