#pragma once

// The frame sizes of the hand side. They are numbered apart from the
// system's Resolution (here QQVGA is 1, there 2), so the type is a scoped
// enumeration of its own: neither converts to the other.

#include <cstdint>

enum class NAResolution : int32_t {
    QQQVGA = 0,  // 80 x 60
    QQVGA = 1,   // 160 x 120
    QVGA = 2,    // 320 x 240
    VGA = 3,     // 640 x 480
    SXGA = 4,    // 1280 x 1024
    NoMatch = 6  // a size that is none of the five; 5 is never used
};

// The sized levels: values 0 to 4.
constexpr int kNAResolutionLevels = 5;

// Sizes of the levels, indexed by the values 0 to 4 only. Their names are
// g_ResolutionName of QuorLibrary/SensorUtilities/Resolution.h.
extern const int g_ResolutionImageSizeX[kNAResolutionLevels];
extern const int g_ResolutionImageSizeY[kNAResolutionLevels];

inline int NAResolutionIndex(NAResolution resolution) { return static_cast<int>(resolution); }
inline bool IsSizedNAResolution(NAResolution resolution) {
    return resolution >= NAResolution::QQQVGA && resolution <= NAResolution::SXGA;
}
// The level of index 0 to 4; NoMatch for any other.
NAResolution NAResolutionOfIndex(int index);

// The first level whose width and height both equal the given ones;
// NoMatch when none does.
NAResolution NAResolutionOfSize(int width, int height);

// Width, height and name of a sized level. Asking them of NoMatch (or of a
// value outside the enumeration) is a programming error that ends the
// process.
int NAResolutionWidth(NAResolution resolution);
int NAResolutionHeight(NAResolution resolution);
const char* NAResolutionName(NAResolution resolution);
