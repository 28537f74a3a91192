#pragma once

// Shortest distance between two 3D segments.

#include <cmath>

#include "QuorLibrary/Math/Segment3D.h"
#include "QuorLibrary/Math/Vector3D.h"

// Squared distance between s1 and s2. For crossing directions t1 and t2
// receive the parameters (in millimetres along each unit direction) of the
// nearest points of the two infinite lines and parallel is false. Segments
// whose directions are parallel within 1e-4 rad (or of length 0) set
// parallel and leave t1 and t2 unwritten.
template <typename T>
T ShortestDistanceSquare(const Segment3D<T>& s1, const Segment3D<T>& s2, T& t1, T& t2, bool& parallel) {
    s1.UpdateLengthAndDirectionIfNeeded();
    s2.UpdateLengthAndDirectionIfNeeded();
    const Vector3D<T>& a1 = s1.GetStart();
    const Vector3D<T>& a2 = s2.GetStart();
    const Vector3D<T>& d1 = s1.GetUnitDirection();
    const Vector3D<T>& d2 = s2.GetUnitDirection();
    const T length1 = s1.GetLength();
    const T length2 = s2.GetLength();
    const Vector3D<T> w = a1 - a2;
    const Vector3D<T> n = d2.Cross(d1);
    const T nn = n.MagnitudeSquared();

    if (nn < T(1e-8)) {
        parallel = true;
        if (!(length2 > 0)) {
            // s2 is a point and has no axis to project on.
            return s1.GetDistanceSquared(a2);
        }
        const T startAlong = w.Dot(d2);
        const T endAlong = (s1.GetEnd() - a2).Dot(d2);
        const bool sameWay = d1.Dot(d2) >= 0;
        const T lo = sameWay ? startAlong : endAlong;
        const T hi = sameWay ? endAlong : startAlong;
        T gap = 0;
        if (lo > length2) {
            gap = lo - length2;
        } else if (hi < 0) {
            gap = -hi;
        }
        return gap * gap + d2.Cross(w).MagnitudeSquared();
    }

    parallel = false;
    t1 = -(d2.Cross(w).Dot(n)) / nn;
    t2 = -(d1.Cross(w).Dot(n)) / nn;
    if (0 < t1 && t1 < length1 && 0 < t2 && t2 < length2) {
        return ((a1 + d1 * t1) - (a2 + d2 * t2)).MagnitudeSquared();
    }
    // The nearest pair lies on the side of the parameter square facing the
    // line optimum; a parameter of exactly 0 belongs to the start.
    const T toS1End = s2.GetDistanceSquared(t1 <= 0 ? a1 : s1.GetEnd());
    const T toS2End = s1.GetDistanceSquared(t2 <= 0 ? a2 : s2.GetEnd());
    return toS1End < toS2End ? toS1End : toS2End;
}

template <typename T>
T ShortestDistance(const Segment3D<T>& s1, const Segment3D<T>& s2) {
    T t1 = 0;
    T t2 = 0;
    bool parallel = false;
    return sqrtf(ShortestDistanceSquare(s1, s2, t1, t2, parallel));
}
