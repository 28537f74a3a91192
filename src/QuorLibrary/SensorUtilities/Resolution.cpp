#include "QuorLibrary/SensorUtilities/Resolution.h"

#include "XnAdapter/XnNodes.h"

Resolution GetResolution(int xRes, int yRes) {
    for (int r = QQQQVGA; r <= SXGA; ++r) {
        if (g_nXRes[r] == xRes && g_nYRes[r] == yRes) {
            return static_cast<Resolution>(r);
        }
    }
    return INVALID;
}

Resolution GetResolution(const xn::DepthGenerator& depth) {
    xn::DepthMetaData metaData;
    depth.GetMetaData(metaData);
    return GetResolution(metaData.XRes(), metaData.YRes());
}

std::string ToString(Resolution resolution) {
    static const char* const kNames[8] = {"QQQQVGA", "QQQVGA", "QQVGA", "QVGA", "VGA", "WXGA720c", "SXGA", "INVALID"};
    const int32_t value = static_cast<int32_t>(resolution);
    if (value < 0 || value > 7) {
        return "INVALID_ENUM";
    }
    return kNames[value];
}
