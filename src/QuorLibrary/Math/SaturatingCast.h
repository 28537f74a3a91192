#pragma once

// Conversions to int for values that may lie beyond its range: pixel
// coordinates of points just in front of the camera, quotients of tiny cell
// sizes, 64-bit intermediates. They saturate instead of leaving the result
// undefined.

#include <climits>
#include <cstdint>

namespace vela_math {

// Truncation toward zero, saturated at the int range; 0 for NaN.
inline int SaturatingTruncate(double value) {
    if (!(value == value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return INT_MAX;
    }
    if (value <= -2147483648.0) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

inline int SaturateToInt(int64_t value) {
    return value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : static_cast<int>(value));
}

}  // namespace vela_math
