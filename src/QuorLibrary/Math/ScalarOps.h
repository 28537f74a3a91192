#pragma once

// Scalar arithmetic used by the vector templates. The int instantiations hold
// millimetres and fixed-point values whose products may leave 32 bits; they
// wrap modulo 2^32 as the tracker's integer geometry expects, computed in
// unsigned arithmetic so that the wrap is defined behaviour.

#include <cstdint>

namespace vela_math {

template <typename T>
inline T Add(T a, T b) { return a + b; }
template <typename T>
inline T Sub(T a, T b) { return a - b; }
template <typename T>
inline T Mul(T a, T b) { return a * b; }
template <typename T>
inline T Neg(T a) { return -a; }

template <>
inline int32_t Add<int32_t>(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
template <>
inline int32_t Sub<int32_t>(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
template <>
inline int32_t Mul<int32_t>(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
template <>
inline int32_t Neg<int32_t>(int32_t a) {
    return static_cast<int32_t>(0u - static_cast<uint32_t>(a));
}

}  // namespace vela_math
