#include "Api/DepthStreamRequirements.h"

#include "OSLayer/XnLog.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "Vela.h"
#include "XnAdapter/XnOniCalls.h"

int CheckTrackerDepthStream(OniStreamHandle stream, const char* trackerName) {
    const OniVideoMode mode = xn::ReadVideoMode(stream);
    if (mode.pixelFormat != ONI_PIXEL_FORMAT_DEPTH_1_MM) {
        xnLogError(XN_LOG_MASK_ALL, "%s: requires depth to be in 1mm format", trackerName);
        return VELA_STATUS_ERROR;
    }
    bool supported = false;
    for (Resolution resolution : {QQVGA, QVGA, VGA}) {
        supported |= mode.resolutionX == g_nXRes[resolution] && mode.resolutionY == g_nYRes[resolution];
    }
    if (!supported) {
        xnLogError(XN_LOG_MASK_ALL,
                   "%s: requires depth to be either QQVGA (160x120), QVGA (320x240) or VGA (640x480). Got %dx%d",
                   trackerName, mode.resolutionX, mode.resolutionY);
        return VELA_STATUS_ERROR;
    }
    xnLogVerbose(XN_LOG_MASK_ALL, "Initializing %s with resolution %dx%d", trackerName, mode.resolutionX,
                 mode.resolutionY);
    OniCropping cropping = {};
    if (stream != nullptr &&
        xn::StreamGetPropertyZeroed(stream, ONI_STREAM_PROPERTY_CROPPING, &cropping, sizeof(cropping), nullptr) ==
            ONI_STATUS_OK &&
        cropping.enabled == 1) {
        xnLogError(XN_LOG_MASK_ALL, "%s: requires uncropped depth", trackerName);
        return VELA_STATUS_ERROR;
    }
    return VELA_STATUS_OK;
}
