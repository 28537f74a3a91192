#pragma once

// The converter's per-depth float tables read at any depth. The loops of the
// head and hand detectors index them with pixel depths, which the frame's
// own converter always covers; a depth beyond the tables (a map paired with
// another stream's converter) gets the tables' formula instead of a read
// past their end, and a depth of 0 or less gives 0.

#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"

// P[d]: pixels per mm at depth d.
inline float InvPixelSizeAt(const WorldPointConverterBase<float>& converter, int depth) {
    if (depth >= 0 && depth < converter.m_nDepthTableSize) {
        return converter.m_pInvPixelSizeAtDepth[depth];
    }
    return depth > 0 ? 1.0f / converter.PixelSizeAt(depth) : 0.0f;
}

// A[d]: the world area of one pixel at depth d, mm^2.
inline float PixelAreaAt(const WorldPointConverterBase<float>& converter, int depth) {
    if (depth >= 0 && depth < converter.m_nDepthTableSize) {
        return converter.m_pPixelAreaAtDepth[depth];
    }
    const float size = converter.PixelSizeAt(depth);
    return size * size;
}
