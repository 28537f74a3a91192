#pragma once

// A 2D ellipse: its centre, the unit directions of its two axes (the columns
// of a 2x2 matrix, the long axis first) and the semi-axis lengths along them.

#include <cmath>

#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/Matrix2X2.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"
#include "QuorLibrary/Math/Vector2D.h"

template <typename T>
class Ellipse2D {
public:
    Vector2D<T> m_center;
    Matrix2X2<T> m_axes;
    Vector2D<T> m_axisLengths;

    // The ellipse of the conic (x y 1) S (x y 1)^T = 0, S holding xx, xy, xz,
    // yy, yz, zz. Returns false when the conic is no real ellipse
    // (hyperbola, parabola, line pair, imaginary or degenerate); the centre
    // may be written even then, the axes and lengths are not. The threshold
    // is not used.
    static bool FromHomogeneousRepresentation(const SymmetricMatrix3X3<T>& S, Ellipse2D& ellipse, T /*threshold*/) {
        const T det = S.yy * S.xx - S.xy * S.xy;
        // A singular quadratic part leaves the centre at the origin.
        T cx = 0;
        T cy = 0;
        if (det != 0) {
            cx = (S.xy * S.yz - S.yy * S.xz) / det;
            cy = (S.xy * S.xz - S.xx * S.yz) / det;
        }
        ellipse.m_center = Vector2D<T>(cx, cy);

        // Scaled so that (p - centre)^T M (p - centre) = 1 on the ellipse.
        const T k = 1 / (-(cx * S.xz + cy * S.yz) - S.zz);
        const SymmetricMatrix2X2<T> M(k * S.xx, k * S.xy, k * S.yy);
        if (M.xx + M.yy < 0) {
            return false;
        }
        Vector2D<T> values;
        Matrix2X2<T> vectors;
        M.SolveEigenproblem(values, vectors);
        // The smaller eigenvalue belongs to the longer axis.
        const Vector2D<T> lengths(FloatOneOverSqrt(values.y), FloatOneOverSqrt(values.x));
        // Only a positive definite M is an ellipse; a zero eigenvalue would
        // give an infinite axis, a negative one none at all.
        if (det == 0 || !(values.y > 0) || !std::isfinite(lengths.x) || !std::isfinite(lengths.y)) {
            return false;
        }
        // A quarter turn of each eigenvector: column 0 then lies along the
        // long axis, perpendicular to the largest eigenvalue's vector.
        vectors.Rotate90();
        ellipse.m_axes = vectors;
        ellipse.m_axisLengths = lengths;
        return true;
    }
};
