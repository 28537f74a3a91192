#include "XnAdapter/XnOniCalls.h"

#include <cstring>

namespace xn {

namespace {

// Constant-initialised, so nodes built during static initialisation of other
// units already see OpenNI2's functions.
OniCalls g_oniCalls = {&oniStreamGetProperty, &oniWaitForAnyStream, &oniStreamReadFrame, &oniFrameAddRef,
                       &oniFrameRelease};

}  // namespace

OniCalls DefaultOniCalls() {
    return OniCalls{&oniStreamGetProperty, &oniWaitForAnyStream, &oniStreamReadFrame, &oniFrameAddRef,
                    &oniFrameRelease};
}

const OniCalls& GetOniCalls() { return g_oniCalls; }

OniCalls SetOniCalls(const OniCalls& calls) {
    const OniCalls previous = g_oniCalls;
    g_oniCalls = calls;
    return previous;
}

OniStatus StreamGetProperty(OniStreamHandle stream, int propertyId, void* data, int* pDataSize) {
    if (stream == nullptr) {
        return ONI_STATUS_ERROR;
    }
    return g_oniCalls.streamGetProperty(stream, propertyId, data, pDataSize);
}

OniStatus StreamGetPropertyZeroed(OniStreamHandle stream, int propertyId, void* data, int size, int* pAnswered) {
    std::memset(data, 0, static_cast<size_t>(size));
    int answered = size;
    const OniStatus rc = StreamGetProperty(stream, propertyId, data, &answered);
    if (pAnswered != nullptr) {
        *pAnswered = (answered >= 0 && answered <= size) ? answered : size;
    }
    return rc;
}

OniVideoMode ReadVideoMode(OniStreamHandle stream) {
    OniVideoMode mode;
    if (StreamGetPropertyZeroed(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, &mode, sizeof(mode), nullptr) != ONI_STATUS_OK) {
        std::memset(&mode, 0, sizeof(mode));
    }
    return mode;
}

}  // namespace xn
