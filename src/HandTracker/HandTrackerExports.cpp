// The hand-tracker family of the exported functions: each forwards to one
// operation of the tracker its handle holds.

#include "Api/CoordinateConversion.h"
#include "Api/TrackerHandle.h"
#include "HandTracker/HandTracker.h"

struct VelaHandTracker {
    HandTracker* pTracker;
};

using vela_api::TrackerOf;

extern "C" {

VelaStatus velaInitializeHandTracker(VelaHandTrackerHandle* handle) {
    return vela_api::CreateTrackerHandle<HandTracker>(nullptr, false, handle);
}

VelaStatus velaInitializeHandTrackerByDevice(openni::Device* device, VelaHandTrackerHandle* handle) {
    return vela_api::CreateTrackerHandle<HandTracker>(device, true, handle);
}

VelaStatus velaShutdownHandTracker(VelaHandTrackerHandle handle) { return vela_api::DestroyTrackerHandle(handle); }

VelaStatus velaStartHandTracking(VelaHandTrackerHandle handle, const VelaPoint3f* position, int16_t* handId) {
    HandTracker* tracker = TrackerOf(handle);
    if (tracker == nullptr) {
        return VELA_STATUS_ERROR;
    }
    if (position == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "HandTracker: no hand position was given");
        return VELA_STATUS_ERROR;
    }
    return static_cast<VelaStatus>(tracker->startHandTracking(*position, handId));
}

void velaStopHandTracking(VelaHandTrackerHandle handle, int16_t handId) {
    if (HandTracker* tracker = TrackerOf(handle)) {
        tracker->stopHandTracking(handId);
    }
}

void velaStopAllHandTracking(VelaHandTrackerHandle handle) {
    if (HandTracker* tracker = TrackerOf(handle)) {
        tracker->stopHandTracking();
    }
}

VelaStatus velaSetHandSmoothingFactor(VelaHandTrackerHandle handle, float factor) {
    HandTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->setSmoothingFactor(factor)) : VELA_STATUS_ERROR;
}

VelaStatus velaGetHandSmoothingFactor(VelaHandTrackerHandle handle, float* factor) {
    HandTracker* tracker = TrackerOf(handle);
    if (tracker == nullptr) {
        return VELA_STATUS_ERROR;
    }
    if (factor == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "HandTracker: no place for the smoothing factor was given");
        return VELA_STATUS_ERROR;
    }
    return static_cast<VelaStatus>(tracker->getSmoothingFactor(*factor));
}

VelaStatus velaRegisterHandTrackerCallbacks(VelaHandTrackerHandle handle, VelaHandTrackerCallbacks* callbacks,
                                            void* cookie) {
    HandTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->registerHandTrackerCallbacks(callbacks, cookie))
                              : VELA_STATUS_ERROR;
}

void velaUnregisterHandTrackerCallbacks(VelaHandTrackerHandle handle, VelaHandTrackerCallbacks* callbacks) {
    if (HandTracker* tracker = TrackerOf(handle)) {
        tracker->unregisterHandTrackerCallbacks(callbacks);
    }
}

VelaStatus velaReadHandTrackerFrame(VelaHandTrackerHandle handle, VelaHandTrackerFrame** frame) {
    HandTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->getNextFrame(frame)) : VELA_STATUS_ERROR;
}

VelaStatus velaHandTrackerFrameAddRef(VelaHandTrackerHandle handle, VelaHandTrackerFrame* frame) {
    HandTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->handTrackerFrameAddRef(frame)) : VELA_STATUS_ERROR;
}

VelaStatus velaHandTrackerFrameRelease(VelaHandTrackerHandle handle, VelaHandTrackerFrame* frame) {
    HandTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->handTrackerFrameRelease(frame)) : VELA_STATUS_ERROR;
}

VelaStatus velaStartGestureDetection(VelaHandTrackerHandle handle, VelaGestureType type) {
    HandTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->startGestureDetection(type)) : VELA_STATUS_ERROR;
}

void velaStopGestureDetection(VelaHandTrackerHandle handle, VelaGestureType type) {
    if (HandTracker* tracker = TrackerOf(handle)) {
        tracker->stopGestureDetection(type);
    }
}

void velaStopAllGestureDetection(VelaHandTrackerHandle handle) {
    if (HandTracker* tracker = TrackerOf(handle)) {
        tracker->stopGestureDetection();
    }
}

VelaStatus velaConvertHandCoordinatesToDepth(VelaHandTrackerHandle handle, float x, float y, float z, float* outX,
                                             float* outY) {
    HandTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? ConvertWorldToDepth(*tracker, x, y, z, outX, outY) : VELA_STATUS_ERROR;
}

VelaStatus velaConvertDepthCoordinatesToHand(VelaHandTrackerHandle handle, int32_t x, int32_t y, uint16_t depth,
                                             float* outX, float* outY) {
    HandTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? ConvertDepthToWorld(*tracker, x, y, depth, outX, outY) : VELA_STATUS_ERROR;
}

}  // extern "C"
