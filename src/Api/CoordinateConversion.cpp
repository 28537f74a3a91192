#include "Api/CoordinateConversion.h"

#include "OSLayer/XnLog.h"
#include "OniCAPI.h"

namespace {

bool HaveOutputs(const float* outX, const float* outY) {
    if (outX == nullptr || outY == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "Vela: a coordinate conversion needs both outputs");
        return false;
    }
    return true;
}

}  // namespace

VelaStatus ConvertWorldToDepth(const TrackerBase& tracker, float x, float y, float z, float* outX, float* outY) {
    if (!HaveOutputs(outX, outY)) {
        return VELA_STATUS_ERROR;
    }
    float depthZ = 0;
    const OniStatus rc =
        oniCoordinateConverterWorldToDepth(tracker.GetDepthStream()._getHandle(), x, y, z, outX, outY, &depthZ);
    return rc == ONI_STATUS_OK ? VELA_STATUS_OK : VELA_STATUS_ERROR;
}

VelaStatus ConvertDepthToWorld(const TrackerBase& tracker, int32_t x, int32_t y, uint16_t depth, float* outX,
                               float* outY) {
    if (!HaveOutputs(outX, outY)) {
        return VELA_STATUS_ERROR;
    }
    float worldZ = 0;
    const OniStatus rc =
        oniCoordinateConverterDepthToWorld(tracker.GetDepthStream()._getHandle(), static_cast<float>(x),
                                           static_cast<float>(y), static_cast<float>(depth), outX, outY, &worldZ);
    return rc == ONI_STATUS_OK ? VELA_STATUS_OK : VELA_STATUS_ERROR;
}
