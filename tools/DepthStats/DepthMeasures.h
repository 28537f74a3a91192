#pragma once

// Measures of one depth frame of a person that tell rendered depth from
// recorded depth: body shape (head and torso width), sensor texture (how
// often neighbours share a level, plane residuals), silhouette edges, holes,
// fragments and the depth levels themselves. Computed from the depth and a
// person mask only, so that a recorded frame and a rendered one are
// measured alike. DepthMeasures.cpp documents each measure beside its code.
//
// Depth differences made in the sensor's shift space grow with the square
// of the distance; the measures in millimetres that depend on it are also
// given as they would be at 1240 mm, the distance of the reference frames,
// so that people at other distances compare with the same ranges.

#include <cstdint>
#include <string>
#include <vector>

namespace vela::depthstats {

// The distance the "_at_1240" measures are scaled to.
constexpr double kReferenceDepth = 1240.0;

struct FrameInput {
    int nWidth = 0;
    int nHeight = 0;
    const uint16_t* pDepth = nullptr;  // mm, 0 = no depth, row-major
    const uint8_t* pMask = nullptr;    // non-zero where the person is
    // Millimetres per pixel per millimetre of depth: 2 tan(hfov / 2) / width.
    double dPixelFactor = 0.0;
    // The sensor's shift-to-depth table ("S2D"), for the level convention;
    // may be null.
    const std::vector<uint16_t>* pShiftToDepth = nullptr;
};

// A measure that cannot be taken on a frame (the person too small, the
// head not found, ...) is NaN and written as null.
struct FrameMeasures {
    int nPersonPixels = 0;
    double dMedianDepth;                // mm
    double dTorsoWidth;                 // mm
    double dHeadWidth;                  // mm
    double dUnlikeAllFourPercent;       // % of interior person pixels
    double dEqualHorizontalShare;       // 0..1
    double dResidualSd;                 // mm
    double dResidualSdAtReference;      // mm
    double dEdgeRoughness;              // pixels
    int nEnclosedHoles = 0;
    int nLargestHole = 0;               // pixels
    int nDetachedFragments = 0;
    int nDistinctDepths = 0;
    double dDistinctDepthsAtReference;
    double dQuantisationStep;           // mm
    double dQuantisationStepAtReference;
    double dLevelOffset;                // mm from the nearest table entry
    double dLevelOffsetShare;           // share of levels at that offset

    FrameMeasures();
};

// False (and `error` set) when the input is unusable: no pixels, no mask,
// a bad pixel factor. A frame without person pixels gives NaN measures.
bool MeasureFrame(const FrameInput& input, FrameMeasures& measures, std::string& error);

// Name and value of each measure in output order, for the JSON writers.
struct NamedValue {
    const char* name;
    double value;
};
std::vector<NamedValue> MeasureList(const FrameMeasures& measures);

}  // namespace vela::depthstats
