#pragma once

// The blocking read of a tracker's next depth frame, through the adapter's
// OpenNI2 calls.

#include "OSLayer/XnLog.h"
#include "OniCTypes.h"
#include "Vela.h"
#include "XnAdapter/XnOniCalls.h"

// The frame, with one reference the caller releases; null, after logging
// "<trackerName>: Couldn't read a depth frame: <OpenNI2's reason>", when the
// tracker has no stream or OpenNI2 fails the read.
OniFrame* ReadDepthFrame(OniStreamHandle stream, const char* trackerName);

// A tracker's read-frame call: the next depth frame goes through process,
// which makes the output frame (taking its own references), and *out gets
// it. When no depth frame can be read, VELA_STATUS_ERROR with *out null.
template <class Frame, class Process>
int ReadTrackerFrame(OniStreamHandle stream, const char* trackerName, Frame** out, Process process) {
    if (out == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "%s: no place for the frame was given", trackerName);
        return VELA_STATUS_ERROR;
    }
    *out = nullptr;
    OniFrame* depthFrame = ReadDepthFrame(stream, trackerName);
    if (depthFrame == nullptr) {
        return VELA_STATUS_ERROR;
    }
    *out = process(depthFrame);
    xn::GetOniCalls().frameRelease(depthFrame);
    return VELA_STATUS_OK;
}
