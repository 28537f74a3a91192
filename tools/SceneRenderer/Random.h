#pragma once

// Counter-based random numbers: every value is a pure function of (seed,
// stream, index), so a frame and each of its pixels draw the same numbers on
// every platform and in any order. The standard library's distributions are
// avoided on purpose: their output differs between implementations.

#include <cstdint>

namespace vela::scene {

// SplitMix64 finaliser: a strong 64-bit mix.
inline uint64_t Mix64(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline uint64_t HashKey(uint64_t seed, uint64_t stream, uint64_t index) {
    return Mix64(Mix64(Mix64(seed) ^ stream) ^ index);
}

// Uniform in [0, 1) from the top 53 bits.
inline double UniformFromBits(uint64_t bits) {
    return static_cast<double>(bits >> 11) * (1.0 / 9007199254740992.0);
}

// Approximately standard normal: the sum of four 16-bit uniforms, centred and
// scaled to unit variance (bounded by +-3.46, which suits sensor noise).
inline double NormalFromBits(uint64_t bits) {
    const uint32_t a = static_cast<uint32_t>(bits & 0xFFFFu);
    const uint32_t b = static_cast<uint32_t>((bits >> 16) & 0xFFFFu);
    const uint32_t c = static_cast<uint32_t>((bits >> 32) & 0xFFFFu);
    const uint32_t d = static_cast<uint32_t>((bits >> 48) & 0xFFFFu);
    const double sum = (static_cast<double>(a + b + c + d) + 2.0) * (1.0 / 65536.0);
    return (sum - 2.0) * 1.7320508075688772;
}

// Sequential generator for the few places that draw a series of values.
class SeededRandom {
public:
    explicit SeededRandom(uint64_t seed, uint64_t stream = 0) : m_nSeed(seed), m_nStream(stream) {}
    uint64_t NextBits() { return HashKey(m_nSeed, m_nStream, m_nCounter++); }
    double NextUniform() { return UniformFromBits(NextBits()); }
    double NextNormal() { return NormalFromBits(NextBits()); }

private:
    uint64_t m_nSeed;
    uint64_t m_nStream;
    uint64_t m_nCounter = 0;
};

}  // namespace vela::scene
