#pragma once

// Per-depth factors of the world-point converter as the segmentation reads
// them: any depth is accepted, a depth beyond the tables is computed as its
// entry would be and a negative one counts as no depth.

#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"

namespace scene_analysis {

// Pixels per millimetre at depth z.
inline float PixelsPerMm(const WorldPointConverterBase<float>& c, int z) {
    if (static_cast<unsigned>(z) < static_cast<unsigned>(c.m_nDepthTableSize)) {
        return c.m_pInvPixelSizeAtDepth[z];
    }
    const float size = c.PixelSizeAt(z);
    return size > 0.0f ? 1.0f / size : 0.0f;
}

// Millimetres per pixel at depth z.
inline float MmPerPixel(const WorldPointConverterBase<float>& c, int z) { return c.PixelSizeAt(z); }

// The area of one pixel at depth z in mm^2.
inline float PixelAreaMm2(const WorldPointConverterBase<float>& c, int z) {
    if (static_cast<unsigned>(z) < static_cast<unsigned>(c.m_nDepthTableSize)) {
        return c.m_pPixelAreaAtDepth[z];
    }
    const float size = c.PixelSizeAt(z);
    return size * size;
}

// The area of one pixel at depth z, fixed point with the area shift.
inline int PixelArea(const WorldPointConverterBase<float>& c, int z) {
    if (static_cast<unsigned>(z) < static_cast<unsigned>(c.m_nDepthTableSize)) {
        return c.m_pAreaAtDepthInt[z];
    }
    const float size = c.PixelSizeAt(z);
    const double area = static_cast<double>(size) * size * (1 << c.m_nAreaShift) + 0.5;
    return area < 2147483647.0 ? static_cast<int>(area) : 2147483647;
}

}  // namespace scene_analysis
