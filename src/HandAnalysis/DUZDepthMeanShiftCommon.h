#pragma once

// Small pieces both mean-shift engines use.

#include <algorithm>
#include <cstdint>
#include <memory>

#include "NACommon/NAMotionPredictor.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"

namespace duz_mean_shift {

inline int Truncate(float value) { return vela_math::SaturatingTruncate(static_cast<double>(value)); }

inline void ScaleBox(Box3D<float>& box, float factor) {
    box.min *= factor;
    box.max *= factor;
}

// The last sample of the owner's predictor; position without one.
inline Vector3D<float> LastSample(const std::unique_ptr<NAMotionPredictor<float>>& predictor,
                                  const Vector3D<float>& position) {
    return predictor ? predictor->m_position : position;
}

// The box widened by margin pixels on every side, inside a width x height
// image.
inline Box2D<int> Widened(const Box2D<int>& box, int margin, int width, int height) {
    using vela_math::SaturateToInt;
    return Box2D<int>(std::max(0, SaturateToInt(int64_t{box.min.x} - margin)),
                      std::max(0, SaturateToInt(int64_t{box.min.y} - margin)),
                      std::min(width - 1, SaturateToInt(int64_t{box.max.x} + margin)),
                      std::min(height - 1, SaturateToInt(int64_t{box.max.y} + margin)));
}

// The box inside two maps at once.
inline Box2D<int> ClippedToMaps(const Box2D<int>& box, int width1, int height1, int width2, int height2) {
    return Box2D<int>(std::max(box.min.x, 0), std::max(box.min.y, 0), std::min(box.max.x, std::min(width1, width2) - 1),
                      std::min(box.max.y, std::min(height1, height2) - 1));
}

// The world area of one pixel at depth (mm^2), from the table where it has
// an entry.
inline float AreaAt(const WorldPointConverterBase<float>& converter, int depth) {
    if (depth >= 0 && depth < converter.m_nDepthTableSize) {
        return converter.m_pPixelAreaAtDepth[depth];
    }
    const float size = converter.PixelSizeAt(depth);
    return size * size;
}

// The weighted mean of pixel columns, rows and depths, and the world point
// at that mean.
class WeightedPixelMean {
public:
    void Add(float weight, int column, int row, int depth) {
        m_weight += weight;
        m_column += static_cast<double>(weight) * column;
        m_row += static_cast<double>(weight) * row;
        m_depth += static_cast<double>(weight) * depth;
    }
    // Nothing weighed.
    bool IsEmpty() const { return m_weight == 0.0; }
    // ((C - cx) k D, (cy - R) k D, D) at the mean column C, row R and depth D.
    Vector3D<float> WorldPoint(const WorldPointConverterBase<float>& converter) const {
        return converter.WorldPt(Vector3D<float>(static_cast<float>(m_column / m_weight),
                                                 static_cast<float>(m_row / m_weight),
                                                 static_cast<float>(m_depth / m_weight)));
    }

private:
    double m_weight = 0.0;
    double m_column = 0.0;
    double m_row = 0.0;
    double m_depth = 0.0;
};

}  // namespace duz_mean_shift
