#include "NACommon/NAResolution.h"

#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/FatalError.h"

const int g_ResolutionImageSizeX[kNAResolutionLevels] = {80, 160, 320, 640, 1280};
const int g_ResolutionImageSizeY[kNAResolutionLevels] = {60, 120, 240, 480, 1024};

namespace {

int CheckedIndex(NAResolution resolution) {
    if (!IsSizedNAResolution(resolution)) {
        VELA_FATAL_ERROR("a hand-side resolution without a size was used as a level");
    }
    return NAResolutionIndex(resolution);
}

}  // namespace

NAResolution NAResolutionOfIndex(int index) {
    return index >= 0 && index < kNAResolutionLevels ? static_cast<NAResolution>(index) : NAResolution::NoMatch;
}

NAResolution NAResolutionOfSize(int width, int height) {
    for (int i = 0; i < kNAResolutionLevels; ++i) {
        if (g_ResolutionImageSizeX[i] == width && g_ResolutionImageSizeY[i] == height) {
            return static_cast<NAResolution>(i);
        }
    }
    return NAResolution::NoMatch;
}

int NAResolutionWidth(NAResolution resolution) { return g_ResolutionImageSizeX[CheckedIndex(resolution)]; }

int NAResolutionHeight(NAResolution resolution) { return g_ResolutionImageSizeY[CheckedIndex(resolution)]; }

const char* NAResolutionName(NAResolution resolution) { return g_ResolutionName[CheckedIndex(resolution)]; }
