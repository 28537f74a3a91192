#include "XnAdapter/XnOniCalls.h"

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

}  // namespace xn
