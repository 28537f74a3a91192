#include "QuorLibrary/Math/Circle3D.h"

#include <cmath>

#include "QuorLibrary/Math/Matrix3X3.h"

namespace {

constexpr double kOnCircleBound = 0.001;

float Clamp(float x) {
    if (x > 1.0f) {
        return 1.0f;
    }
    if (x < -1.0f) {
        return -1.0f;
    }
    return x;
}

}  // namespace

void Circle3D::Set(const Plane<float>& plane, float radius) {
    m_center = plane.m_point;
    m_normal = plane.m_normal;
    m_radius = radius;
    Initialize();
}

void Circle3D::Initialize() {
    m_normal.Normalize();
    const Vector3D<float> auxiliary = std::fabs(m_normal.x) + std::fabs(m_normal.y) < 0.1f
                                          ? Vector3D<float>(1.0f, 0.0f, 0.0f)
                                          : Vector3D<float>(0.0f, 0.0f, 1.0f);
    const Vector3D<float> reference = auxiliary.Cross(m_normal);
    m_reference = reference / sqrtf(reference.MagnitudeSquared()) * m_radius;
}

bool Circle3D::IsPointOnCircle(const Vector3D<float>& p) const {
    const Vector3D<float> d = p - m_center;
    return std::fabs(m_normal.Dot(d)) < kOnCircleBound &&
           std::fabs(sqrtf(d.MagnitudeSquared()) - m_radius) < kOnCircleBound;
}

Vector3D<float> Circle3D::GetClosestDir(const Vector3D<float>& p) const {
    const Vector3D<float> d = p - m_center;
    return (d - m_normal * m_normal.Dot(d)).Normalized();
}

Vector3D<float> Circle3D::GetClosestPoint(const Vector3D<float>& p) const {
    return m_center + GetClosestDir(p) * m_radius;
}

float Circle3D::GetDistanceSqr(const Vector3D<float>& p) const {
    const Vector3D<float> d = p - m_center;
    const float height = m_normal.Dot(d);
    const float inPlane = sqrtf((d - m_normal * height).MagnitudeSquared()) - m_radius;
    return height * height + inPlane * inPlane;
}

float Circle3D::GetClosestPointAngle(const Vector3D<float>& p) const {
    const Vector3D<float> d = GetClosestDir(p);
    const float sine = Clamp(m_reference.Cross(d).Dot(m_normal) / m_radius);
    const float cosine =
        Clamp(m_reference.Dot(d) / (sqrtf(d.MagnitudeSquared()) * sqrtf(m_reference.MagnitudeSquared())));
    return std::asin(sine) > 0.0f ? std::acos(cosine) : -std::acos(cosine);
}

Vector3D<float> Circle3D::GetPoint(float angle) const {
    return m_center + Matrix3X3<float>::AxialRotation(m_normal, angle) * m_reference;
}

bool Circle3D::GetPointAnglesInDistFromPt(const Vector3D<float>& p, float distance, Vector2D<float>& angles) const {
    const Vector3D<float> q = p - m_normal * m_normal.Dot(p - m_center);
    const float height = sqrtf((p - q).MagnitudeSquared());
    if (distance < height - kOnCircleBound) {
        return false;
    }
    // Within the bound below the height the sphere about p only touches the
    // plane: the cut has radius 0.
    const float cutSquared = distance * distance - height * height;
    const float l = cutSquared > 0.0f ? sqrtf(cutSquared) : 0.0f;
    const float t = sqrtf((q - m_center).MagnitudeSquared());
    if (std::fabs(t - l) > m_radius) {
        return false;
    }
    // The cut circle inside the circle without touching it.
    if (m_radius - t > l + kOnCircleBound) {
        return false;
    }
    const float denominator = 2.0f * t * m_radius;
    if (!(denominator > 0.0f)) {
        return false;
    }
    const float half = std::acos(Clamp((t * t + m_radius * m_radius - l * l) / denominator));
    const float base = GetClosestPointAngle(p);
    angles = Vector2D<float>(base + half, base - half);
    return true;
}

bool Circle3D::GetPointsInDistFromPt(const Vector3D<float>& p, float distance, Vector3D<float> points[2]) const {
    Vector2D<float> angles;
    if (!GetPointAnglesInDistFromPt(p, distance, angles)) {
        return false;
    }
    points[0] = GetPoint(angles.x);
    points[1] = GetPoint(angles.y);
    return true;
}

bool FindCircle(const Vector3D<float>& p0, const Vector3D<float>& p1, float r0, float r1, Circle3D& circle) {
    const Vector3D<float> offset = p1 - p0;
    const float d = sqrtf(offset.MagnitudeSquared());
    if (d > r0 + r1 || r0 > r1 + d || r1 > r0 + d) {
        return false;
    }
    const float denominator = 2.0f * r0 * d;
    if (!(denominator > 0.0f)) {
        // Coincident centres (equal radii) meet everywhere or nowhere.
        return false;
    }
    const float cosine = (r0 * r0 + d * d - r1 * r1) / denominator;
    const float sineSquared = 1.0f - cosine * cosine;
    const float sine = sineSquared > 0.0f ? sqrtf(sineSquared) : 0.0f;
    const Vector3D<float> u = offset / d;
    circle.Set(Plane<float>(p0 + u * (r0 * cosine), u), r0 * sine);
    return true;
}

bool FindCircumscribedCircle(const Vector3D<float>& a, const Vector3D<float>& b, const Vector3D<float>& c,
                             Circle3D& circle, float epsilon) {
    const Vector3D<float> u = a - c;
    const Vector3D<float> v = b - c;
    const Vector3D<float> w = u.Cross(v);
    const float wLength = sqrtf(w.MagnitudeSquared());
    if (epsilon > wLength || !(wLength > 0.0f)) {
        return false;
    }
    const float ww = w.MagnitudeSquared();
    const Vector3D<float> center = c + (v * u.MagnitudeSquared() - u * v.MagnitudeSquared()).Cross(w) / (2.0f * ww);
    const Vector3D<float> normal = w / wLength;
    const float radius =
        sqrtf(u.MagnitudeSquared()) * sqrtf(v.MagnitudeSquared()) * sqrtf((u - v).MagnitudeSquared()) / (2.0f * wLength);
    circle.Set(Plane<float>(center, normal), radius);
    return true;
}
