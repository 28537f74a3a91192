#pragma once

// Small double-precision vector, matrix and quaternion types for the scene
// tools. Coordinates follow the depth camera: x right, y up, z depth, and
// cross products are taken by the usual formula in those coordinates.

#include <cmath>

namespace vela::scene {

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;

    Vec3() = default;
    constexpr Vec3(double ax, double ay, double az) : x(ax), y(ay), z(az) {}

    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator-() const { return {-x, -y, -z}; }
    Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
    Vec3 operator/(double s) const { return {x / s, y / s, z / s}; }
    Vec3& operator+=(const Vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vec3& operator-=(const Vec3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vec3& operator*=(double s) { x *= s; y *= s; z *= s; return *this; }
    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

inline Vec3 operator*(double s, const Vec3& v) { return v * s; }
inline double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const Vec3& v) { return std::sqrt(Dot(v, v)); }
// Unit vector; `fallback` when v is too short to have a direction.
inline Vec3 Normalized(const Vec3& v, const Vec3& fallback = Vec3(1, 0, 0)) {
    const double len = Length(v);
    return len > 1e-12 ? v / len : fallback;
}
inline Vec3 Lerp(const Vec3& a, const Vec3& b, double w) { return a + (b - a) * w; }

// Row-major 3x3 matrix; columns are often read as the axes of a frame.
struct Mat3 {
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

    static Mat3 Identity() { return Mat3(); }
    static Mat3 FromColumns(const Vec3& c0, const Vec3& c1, const Vec3& c2) {
        Mat3 r;
        for (int i = 0; i < 3; ++i) {
            r.m[i][0] = c0[i];
            r.m[i][1] = c1[i];
            r.m[i][2] = c2[i];
        }
        return r;
    }
    static Mat3 Diagonal(double a, double b, double c) {
        Mat3 r;
        r.m[0][0] = a;
        r.m[1][1] = b;
        r.m[2][2] = c;
        return r;
    }
    Vec3 Column(int j) const { return {m[0][j], m[1][j], m[2][j]}; }
    Vec3 operator*(const Vec3& v) const {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
    Mat3 operator*(const Mat3& o) const {
        Mat3 r;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
            }
        }
        return r;
    }
    Mat3 Transposed() const {
        Mat3 r;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                r.m[i][j] = m[j][i];
            }
        }
        return r;
    }
    double Determinant() const {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    }
    Mat3 Inverse() const {
        const double det = Determinant();
        Mat3 r;
        r.m[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
        r.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
        r.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
        r.m[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
        r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
        r.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
        r.m[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
        r.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
        r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
        return r;
    }
};

// Rotations about the coordinate axes by an angle in radians.
inline Mat3 RotX(double a) {
    const double c = std::cos(a), s = std::sin(a);
    Mat3 r;
    r.m[1][1] = c; r.m[1][2] = -s;
    r.m[2][1] = s; r.m[2][2] = c;
    return r;
}
inline Mat3 RotY(double a) {
    const double c = std::cos(a), s = std::sin(a);
    Mat3 r;
    r.m[0][0] = c; r.m[0][2] = s;
    r.m[2][0] = -s; r.m[2][2] = c;
    return r;
}
inline Mat3 RotZ(double a) {
    const double c = std::cos(a), s = std::sin(a);
    Mat3 r;
    r.m[0][0] = c; r.m[0][1] = -s;
    r.m[1][0] = s; r.m[1][1] = c;
    return r;
}

constexpr double kPi = 3.14159265358979323846;
inline double Radians(double degrees) { return degrees * (kPi / 180.0); }
inline double Degrees(double radians) { return radians * (180.0 / kPi); }

struct Quat {
    double w = 1.0, x = 0.0, y = 0.0, z = 0.0;

    static Quat FromMatrix(const Mat3& r) {
        Quat q;
        const double trace = r.m[0][0] + r.m[1][1] + r.m[2][2];
        if (trace > 0.0) {
            const double s = std::sqrt(trace + 1.0) * 2.0;
            q.w = 0.25 * s;
            q.x = (r.m[2][1] - r.m[1][2]) / s;
            q.y = (r.m[0][2] - r.m[2][0]) / s;
            q.z = (r.m[1][0] - r.m[0][1]) / s;
        } else if (r.m[0][0] > r.m[1][1] && r.m[0][0] > r.m[2][2]) {
            const double s = std::sqrt(1.0 + r.m[0][0] - r.m[1][1] - r.m[2][2]) * 2.0;
            q.w = (r.m[2][1] - r.m[1][2]) / s;
            q.x = 0.25 * s;
            q.y = (r.m[0][1] + r.m[1][0]) / s;
            q.z = (r.m[0][2] + r.m[2][0]) / s;
        } else if (r.m[1][1] > r.m[2][2]) {
            const double s = std::sqrt(1.0 + r.m[1][1] - r.m[0][0] - r.m[2][2]) * 2.0;
            q.w = (r.m[0][2] - r.m[2][0]) / s;
            q.x = (r.m[0][1] + r.m[1][0]) / s;
            q.y = 0.25 * s;
            q.z = (r.m[1][2] + r.m[2][1]) / s;
        } else {
            const double s = std::sqrt(1.0 + r.m[2][2] - r.m[0][0] - r.m[1][1]) * 2.0;
            q.w = (r.m[1][0] - r.m[0][1]) / s;
            q.x = (r.m[0][2] + r.m[2][0]) / s;
            q.y = (r.m[1][2] + r.m[2][1]) / s;
            q.z = 0.25 * s;
        }
        return q.Normalized();
    }
    // Shortest rotation taking unit vector a onto unit vector b.
    static Quat FromTo(const Vec3& a, const Vec3& b) {
        const double d = Dot(a, b);
        if (d < -0.999999999) {
            Vec3 axis = Cross(Vec3(1, 0, 0), a);
            if (Length(axis) < 1e-6) axis = Cross(Vec3(0, 1, 0), a);
            axis = vela::scene::Normalized(axis);
            return {0.0, axis.x, axis.y, axis.z};
        }
        const Vec3 c = Cross(a, b);
        return Quat{1.0 + d, c.x, c.y, c.z}.Normalized();
    }
    Quat Normalized() const {
        const double n = std::sqrt(w * w + x * x + y * y + z * z);
        return n > 0.0 ? Quat{w / n, x / n, y / n, z / n} : Quat{};
    }
    Mat3 ToMatrix() const {
        Mat3 r;
        r.m[0][0] = 1 - 2 * (y * y + z * z);
        r.m[0][1] = 2 * (x * y - z * w);
        r.m[0][2] = 2 * (x * z + y * w);
        r.m[1][0] = 2 * (x * y + z * w);
        r.m[1][1] = 1 - 2 * (x * x + z * z);
        r.m[1][2] = 2 * (y * z - x * w);
        r.m[2][0] = 2 * (x * z - y * w);
        r.m[2][1] = 2 * (y * z + x * w);
        r.m[2][2] = 1 - 2 * (x * x + y * y);
        return r;
    }
};

// Spherical interpolation along the shorter arc.
inline Quat Slerp(Quat a, Quat b, double w) {
    double d = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    if (d < 0.0) {
        b = Quat{-b.w, -b.x, -b.y, -b.z};
        d = -d;
    }
    double wa = 1.0 - w, wb = w;
    if (d < 0.9995) {
        const double theta = std::acos(d);
        const double s = std::sin(theta);
        wa = std::sin((1.0 - w) * theta) / s;
        wb = std::sin(w * theta) / s;
    }
    return Quat{wa * a.w + wb * b.w, wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z}
        .Normalized();
}

// Smooth 0..1 ramp with zero slope at both ends.
inline double SmoothStep(double w) {
    if (w <= 0.0) return 0.0;
    if (w >= 1.0) return 1.0;
    return w * w * (3.0 - 2.0 * w);
}

}  // namespace vela::scene
