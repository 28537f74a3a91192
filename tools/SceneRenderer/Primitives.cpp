#include "SceneRenderer/Primitives.h"

#include <algorithm>

namespace vela::scene {

Shape TransformShape(const Shape& shape, const Mat3& linear, const Vec3& offset) {
    Shape out = shape;
    out.origin = linear * shape.origin + offset;
    out.axes = linear * shape.axes;
    return out;
}

namespace {

// Largest stretch of the map: the longest column when the columns are
// orthogonal (all the body's and scenery's maps), else a safe upper bound.
double Stretch(const Mat3& m) {
    const Vec3 c[3] = {m.Column(0), m.Column(1), m.Column(2)};
    double longest = 0.0, frobenius = 0.0;
    for (const Vec3& v : c) {
        longest = std::max(longest, Length(v));
        frobenius += Dot(v, v);
    }
    const double tolerance = 1e-9 * frobenius;
    if (std::fabs(Dot(c[0], c[1])) > tolerance || std::fabs(Dot(c[0], c[2])) > tolerance ||
        std::fabs(Dot(c[1], c[2])) > tolerance) {
        return std::sqrt(frobenius);
    }
    return longest;
}

}  // namespace

RenderPrimitive::RenderPrimitive(const Shape& shape, uint16_t user)
    : m_kind(shape.kind), m_nUser(user), m_nPart(shape.part), m_nMaterial(shape.material) {
    m_toLocal = shape.axes.Inverse();
    m_eye = m_toLocal * (-shape.origin);
    Vec3 localCentre;
    double localRadius = 1.0;
    switch (shape.kind) {
        case Shape::Kind::Ellipsoid:
            m_dSphereA = Dot(m_eye, m_eye) - 1.0;
            break;
        case Shape::Kind::Box:
            localRadius = std::sqrt(3.0);
            break;
        case Shape::Kind::RoundCone: {
            const double l = shape.length, ra = shape.ra, rb = shape.rb;
            m_dLength = l;
            m_dSphereA = Dot(m_eye, m_eye) - ra * ra;
            const Vec3 eyeB = m_eye - Vec3(0, l, 0);
            m_dSphereB = Dot(eyeB, eyeB) - rb * rb;
            // The tangent cone exists when neither sphere holds the other.
            if (l > std::fabs(ra - rb) + 1e-9) {
                const double sinA = (ra - rb) / l;
                const double cosA = std::sqrt(1.0 - sinA * sinA);
                m_bHasCone = true;
                m_dConeM = sinA / cosA;
                const double c0 = ra / cosA;
                m_dConeYLo = ra * sinA;
                m_dConeYHi = l + rb * sinA;
                m_dConeQ = c0 - m_dConeM * m_eye.y;
                m_dConeC = m_eye.x * m_eye.x + m_eye.z * m_eye.z - m_dConeQ * m_dConeQ;
            }
            localCentre = Vec3(0, 0.5 * l, 0);
            localRadius = 0.5 * l + std::max(ra, rb);
            if (!m_bHasCone) {
                // One sphere holds the other: bound the larger one.
                localCentre = ra >= rb ? Vec3(0, 0, 0) : Vec3(0, l, 0);
                localRadius = std::max(ra, rb);
            }
            m_dBoundMidY = localCentre.y;
            const Vec3 eyeMid = m_eye - localCentre;
            m_dBoundC = Dot(eyeMid, eyeMid) - localRadius * localRadius;
            break;
        }
    }
    m_boundCentre = shape.origin + shape.axes * localCentre;
    m_dBoundRadius = localRadius * Stretch(shape.axes);
}

}  // namespace vela::scene
