#pragma once

// The rounded integer division and the rounded integer square root that
// every fixed-point computation of the library uses, with one set of edge
// rules for the whole tree.

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "QuorLibrary/Math/Vector3D.h"

namespace vela_math {

// numerator / divisor rounded to the nearest integer, halves away from zero
// for either sign of the divisor: (n + |d|/2) / d for n > 0, (n - |d|/2) / d
// otherwise, with truncating division and |d|/2 truncated. The addition
// wraps like the 32-bit original. A zero divisor gives 0 and the most
// negative value divided by -1 wraps to itself, where plain division would
// end the process. For int32_t and int64_t.
template <typename I>
inline I RoundedDivide(I numerator, I divisor) {
    static_assert(std::is_integral<I>::value && std::is_signed<I>::value, "a signed integer type");
    using U = typename std::make_unsigned<I>::type;
    if (divisor == 0) {
        return 0;
    }
    const U half = (divisor < 0 ? U(0) - static_cast<U>(divisor) : static_cast<U>(divisor)) / 2;
    const U bits = static_cast<U>(numerator);
    const I biased = static_cast<I>(numerator > 0 ? bits + half : bits - half);
    if (divisor == -1) {
        return static_cast<I>(U(0) - static_cast<U>(biased));
    }
    return biased / divisor;
}

inline Vector3D<int32_t> RoundedDivide(const Vector3D<int32_t>& v, int32_t divisor) {
    return Vector3D<int32_t>(RoundedDivide(v.x, divisor), RoundedDivide(v.y, divisor), RoundedDivide(v.z, divisor));
}

// sqrt(n) rounded to the nearest integer the way every integer length of the
// tracker is taken: n converted to float, the root in double, plus 0.5,
// truncated. At most 65536, so always an int.
inline int RoundedSqrt(uint32_t n) {
    return static_cast<int>(std::sqrt(static_cast<double>(static_cast<float>(n))) + 0.5);
}

}  // namespace vela_math
