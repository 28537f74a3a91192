#pragma once

// Ray casting of the analytic solids in the camera frame. Rays start at the
// camera centre with direction (x, y, 1), so the ray parameter of a hit is
// its depth; an affine map keeps that parameter, which lets every solid be
// intersected as its unit shape in local coordinates.

#include <cmath>
#include <cstdint>

#include "SceneRenderer/BodyModel.h"
#include "SceneRenderer/SceneMath.h"

namespace vela::scene {

// The shape moved by the affine map p -> linear p + offset.
Shape TransformShape(const Shape& shape, const Mat3& linear, const Vec3& offset);

class RenderPrimitive {
public:
    // `shape` in camera coordinates; `user` 0 for scenery.
    RenderPrimitive(const Shape& shape, uint16_t user);

    uint16_t User() const { return m_nUser; }
    uint8_t Part() const { return m_nPart; }
    uint8_t Material() const { return m_nMaterial; }
    // Camera-space bounding sphere.
    const Vec3& BoundCentre() const { return m_boundCentre; }
    double BoundRadius() const { return m_dBoundRadius; }
    const Mat3& ToLocal() const { return m_toLocal; }

    // Depth of the first surface along the camera ray whose direction in
    // local coordinates is `d`; false when the ray misses or starts inside.
    bool Intersect(const Vec3& d, double& depth) const;

private:
    bool IntersectRoundCone(const Vec3& d, double& depth) const;
    bool IntersectEllipsoid(const Vec3& d, double& depth) const;
    bool IntersectBox(const Vec3& d, double& depth) const;

    Shape::Kind m_kind;
    uint16_t m_nUser;
    uint8_t m_nPart;
    uint8_t m_nMaterial;
    Mat3 m_toLocal;
    Vec3 m_eye;             // camera centre in local coordinates
    Vec3 m_boundCentre;
    double m_dBoundRadius = 0.0;

    // Round cone: spheres at A (origin) and B (0, L, 0), the tangent cone
    // x^2 + z^2 = (c0 - m y)^2 between yLo and yHi, and a bounding sphere.
    double m_dLength = 0.0;
    double m_dSphereA = 0.0;   // |eye - A|^2 - ra^2
    double m_dSphereB = 0.0;   // |eye - B|^2 - rb^2
    bool m_bHasCone = false;
    double m_dConeM = 0.0, m_dConeYLo = 0.0, m_dConeYHi = 0.0;
    double m_dConeQ = 0.0;     // c0 - m eye.y
    double m_dConeC = 0.0;     // eye.x^2 + eye.z^2 - q^2
    double m_dBoundMidY = 0.0;
    double m_dBoundC = 0.0;    // |eye - mid|^2 - R^2
};

inline bool RenderPrimitive::Intersect(const Vec3& d, double& depth) const {
    switch (m_kind) {
        case Shape::Kind::RoundCone: return IntersectRoundCone(d, depth);
        case Shape::Kind::Ellipsoid: return IntersectEllipsoid(d, depth);
        case Shape::Kind::Box: return IntersectBox(d, depth);
    }
    return false;
}

inline bool RenderPrimitive::IntersectEllipsoid(const Vec3& d, double& depth) const {
    const double a = Dot(d, d);
    const double b = Dot(m_eye, d);
    const double disc = b * b - a * m_dSphereA;
    if (disc < 0.0) return false;
    const double t = (-b - std::sqrt(disc)) / a;
    if (!(t > 0.0)) return false;
    depth = t;
    return true;
}

inline bool RenderPrimitive::IntersectRoundCone(const Vec3& d, double& depth) const {
    const double a = Dot(d, d);
    const double bA = Dot(m_eye, d);
    {
        const double bMid = bA - m_dBoundMidY * d.y;
        if (bMid * bMid - a * m_dBoundC < 0.0) return false;
    }
    double best = INFINITY;
    const double discA = bA * bA - a * m_dSphereA;
    if (discA >= 0.0) {
        const double t = (-bA - std::sqrt(discA)) / a;
        if (t > 0.0) best = t;
    }
    const double bB = bA - m_dLength * d.y;
    const double discB = bB * bB - a * m_dSphereB;
    if (discB >= 0.0) {
        const double t = (-bB - std::sqrt(discB)) / a;
        if (t > 0.0 && t < best) best = t;
    }
    if (m_bHasCone) {
        const double qa = d.x * d.x + d.z * d.z - m_dConeM * m_dConeM * d.y * d.y;
        const double qb = m_eye.x * d.x + m_eye.z * d.z + m_dConeQ * m_dConeM * d.y;
        const double disc = qb * qb - qa * m_dConeC;
        if (disc >= 0.0) {
            double t0, t1;
            if (std::fabs(qa) > 1e-12) {
                const double root = std::sqrt(disc);
                t0 = (-qb - root) / qa;
                t1 = (-qb + root) / qa;
                if (t0 > t1) std::swap(t0, t1);
            } else if (qb != 0.0) {
                t0 = t1 = -m_dConeC / (2.0 * qb);
            } else {
                t0 = t1 = -1.0;
            }
            for (const double t : {t0, t1}) {
                if (t > 0.0 && t < best) {
                    const double y = m_eye.y + t * d.y;
                    if (y >= m_dConeYLo && y <= m_dConeYHi) {
                        best = t;
                        break;
                    }
                }
            }
        }
    }
    if (best == INFINITY) return false;
    depth = best;
    return true;
}

inline bool RenderPrimitive::IntersectBox(const Vec3& d, double& depth) const {
    double tNear = -INFINITY, tFar = INFINITY;
    const double o[3] = {m_eye.x, m_eye.y, m_eye.z};
    const double v[3] = {d.x, d.y, d.z};
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(v[i]) < 1e-15) {
            if (o[i] < -1.0 || o[i] > 1.0) return false;
            continue;
        }
        double t1 = (-1.0 - o[i]) / v[i];
        double t2 = (1.0 - o[i]) / v[i];
        if (t1 > t2) std::swap(t1, t2);
        if (t1 > tNear) tNear = t1;
        if (t2 < tFar) tFar = t2;
    }
    if (tNear > tFar || !(tNear > 0.0)) return false;
    depth = tNear;
    return true;
}

}  // namespace vela::scene
