#pragma once

// Images and value generators shared by the morphology tests.

#include <cstdint>
#include <random>
#include <vector>

#include "QuorLibrary/Utilities/Array2D.h"

namespace vela_morphology_test {

// A width x height row-major image of T on 16-byte aligned storage (as the
// SSE code expects); x counts columns, y rows.
template <typename T>
class TestImage {
public:
    TestImage(int width, int height, T fill = 0) : m_nWidth(width), m_nHeight(height) {
        m_pixels.SetSize(height, width, false);
        Fill(fill);
    }

    void Fill(T value) {
        for (int i = 0; i < m_pixels.Size(); ++i) {
            m_pixels.Data()[i] = value;
        }
    }

    T* Data() { return m_pixels.Data(); }
    const T* Data() const { return m_pixels.Data(); }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    T& At(int x, int y) { return m_pixels(y, x); }
    T At(int x, int y) const { return m_pixels(y, x); }
    std::vector<T> Pixels() const { return std::vector<T>(m_pixels.Data(), m_pixels.Data() + m_pixels.Size()); }
    void SetPixels(const std::vector<T>& pixels) {
        for (int i = 0; i < m_pixels.Size(); ++i) {
            m_pixels.Data()[i] = pixels[i];
        }
    }
    Array2D<T>& Grid() { return m_pixels; }
    const Array2D<T>& Grid() const { return m_pixels; }

private:
    int m_nWidth;
    int m_nHeight;
    Array2D<T> m_pixels;
};

// Signed 16-bit values from one of several mixes, so that ties, negatives,
// the extremes and values above 32767 read as unsigned all occur.
inline short RandomValue(std::mt19937& rng, int mix) {
    switch (mix % 4) {
        case 0:
            return static_cast<short>(std::uniform_int_distribution<int>(-32768, 32767)(rng));
        case 1:
            return static_cast<short>(std::uniform_int_distribution<int>(-5, 5)(rng));
        case 2: {
            static const int kExtremes[] = {-32768, -32767, -1, 0, 1, 32766, 32767};
            return static_cast<short>(kExtremes[std::uniform_int_distribution<int>(0, 6)(rng)]);
        }
        default:
            // Depth-like: millimetres with holes.
            return static_cast<short>(std::uniform_int_distribution<int>(0, 3)(rng) == 0
                                          ? 0
                                          : std::uniform_int_distribution<int>(400, 10000)(rng));
    }
}

inline void FillRandom(TestImage<short>& image, std::mt19937& rng) {
    const int mix = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            image.At(x, y) = RandomValue(rng, mix);
        }
    }
}

}  // namespace vela_morphology_test
