#pragma once

// The fixed set of image sizes every depth, label and mask map has.

#include <cstdint>
#include <string>

namespace xn {
class DepthGenerator;
}

enum Resolution : int32_t {
    QQQQVGA = 0,   // 40x30
    QQQVGA = 1,    // 80x60
    QQVGA = 2,     // 160x120
    QVGA = 3,      // 320x240
    VGA = 4,       // 640x480
    WXGA720c = 5,  // 1280x720
    SXGA = 6,      // 1280x1024
    INVALID = 7,   // no size: not an index into the tables below
};

// Widths and heights of the valid resolutions 0 to 6, one copy per source unit.
static const int g_nXRes[7] = {40, 80, 160, 320, 640, 1280, 1280};
static const int g_nYRes[7] = {30, 60, 120, 240, 480, 720, 1024};

// Names of the 4:3 chain and SXGA (not read anywhere).
static const char* const g_ResolutionName[5] = {"QQQVGA", "QQVGA", "QVGA", "VGA", "SXGA"};

// True for the values 0 to 6, the ones that index g_nXRes and g_nYRes.
inline bool IsValidResolution(Resolution resolution) {
    return resolution >= QQQQVGA && resolution <= SXGA;
}

// The first resolution of exactly that width and height; INVALID when none.
Resolution GetResolution(int xRes, int yRes);
// The resolution of the depth node's map as its metadata describes it now.
Resolution GetResolution(const xn::DepthGenerator& depth);

// "QQQQVGA" ... "SXGA", "INVALID" for 7, "INVALID_ENUM" for anything else.
std::string ToString(Resolution resolution);
