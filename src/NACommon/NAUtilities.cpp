#include "NACommon/NAUtilities.h"

#include <algorithm>
#include <cstdio>

#include "NACommon/NAConversions.h"
#include "OSLayer/XnOS.h"
#include "XnAdapter/XnOniCalls.h"

namespace vela_shift_tables {

int StreamMaxDepth(const xn::DepthGenerator& depth) {
    XnInt32 maximum = 0;
    if (xn::StreamGetPropertyZeroed(depth.GetStreamHandle(), ONI_STREAM_PROPERTY_MAX_VALUE, &maximum,
                                    sizeof(maximum), nullptr) != ONI_STATUS_OK) {
        return -1;
    }
    return static_cast<int>(static_cast<XnUInt32>(maximum) & 0xFFFFu);
}

int DepthTableCapacity(int entries) { return std::max(entries, NAConversions::kMinDepthTableEntries); }

void ClearShiftsAboveMaximum(unsigned short* depthToShift, int count, unsigned int maxShift) {
    for (int i = 0; i < count; ++i) {
        if (depthToShift[i] > maxShift) {
            depthToShift[i] = 0;
        }
    }
}

}  // namespace vela_shift_tables

bool CopyShiftLookupTables(const xn::DepthGenerator& depth, unsigned short*& depthToShift,
                           unsigned short*& shiftToDepth) {
    XnUInt64 maxShift = 0;
    if (depth.GetIntProperty("MaxShift", maxShift) != XN_STATUS_OK) {
        std::fputs("Couldn't get max shift value\n", stderr);
        return false;
    }
    // Shifts are 16-bit values: a larger table could only hold garbage.
    if (maxShift > 0xFFFF) {
        std::fprintf(stderr, "Invalid max shift value %llu\n", static_cast<unsigned long long>(maxShift));
        return false;
    }
    const int maxDepth = vela_shift_tables::StreamMaxDepth(depth);
    const int depthEntries = maxDepth < 0 ? 1 : maxDepth + 1;
    if (depthToShift == nullptr) {
        depthToShift = static_cast<unsigned short*>(xnOSCallocAligned(
            static_cast<XnUInt32>(vela_shift_tables::DepthTableCapacity(depthEntries)), sizeof(unsigned short), 16));
        if (depthToShift == nullptr) {
            std::fputs("Couldn't load depthToShift buffer.\n", stderr);
            return false;
        }
    }
    if (depth.GetGeneralProperty("D2S", static_cast<XnUInt32>(depthEntries) * 2u, depthToShift) != XN_STATUS_OK) {
        std::fprintf(stderr, "%sCouldn't load depthToShift buffer.\n", xnGetStatusString(0x10001));
        return false;
    }
    vela_shift_tables::ClearShiftsAboveMaximum(depthToShift, depthEntries, static_cast<unsigned int>(maxShift));
    const XnUInt32 shiftEntries = static_cast<XnUInt32>(maxShift) + 1u;
    if (shiftToDepth == nullptr) {
        shiftToDepth = static_cast<unsigned short*>(xnOSCallocAligned(shiftEntries, sizeof(unsigned short), 16));
        if (shiftToDepth == nullptr) {
            std::fputs("Couldn't load shiftToDepth buffer.\n", stderr);
            return false;
        }
    }
    if (depth.GetGeneralProperty("S2D", shiftEntries * 2u, shiftToDepth) != XN_STATUS_OK) {
        std::fputs("Couldn't load shiftToDepth buffer.\n", stderr);
        return false;
    }
    return true;
}

void NAFindImageBorders(int width, int height, const unsigned short* pixels, Box2D<int>& box) {
    int minX = width - 1;
    int maxX = 0;
    for (int y = 0; y < height; ++y) {
        const unsigned short* row = pixels + static_cast<long>(y) * width;
        for (int x = 0; x < minX; ++x) {
            if (row[x] != 0) {
                minX = x;
                break;
            }
        }
        for (int x = width - 1; x > maxX; --x) {
            if (row[x] != 0) {
                maxX = x;
                break;
            }
        }
    }
    const auto rowHasPixel = [&](int y) {
        const unsigned short* row = pixels + static_cast<long>(y) * width;
        return std::any_of(row, row + width, [](unsigned short v) { return v != 0; });
    };
    int minY = 0;
    while (minY < height && !rowHasPixel(minY)) {
        ++minY;
    }
    int maxY = height - 1;
    while (maxY > minY && !rowHasPixel(maxY)) {
        --maxY;
    }
    if (maxX < minX || minY >= height || maxY < minY) {
        box = Box2D<int>(0, 0, 0, 0);
        return;
    }
    box = Box2D<int>(minX, minY, maxX, maxY);
}
