#pragma once

// The OpenNI2 calls through which the adapter reads stream properties, waits
// for and reads frames, and counts frame references. Production code runs on
// OpenNI2's own functions; tests install replacements to present streams and
// frames without a device.

#include "OniCAPI.h"

namespace xn {

struct OniCalls {
    OniStatus (*streamGetProperty)(OniStreamHandle stream, int propertyId, void* data, int* pDataSize);
    OniStatus (*waitForAnyStream)(OniStreamHandle* pStreams, int numStreams, int* pStreamIndex, int timeout);
    OniStatus (*streamReadFrame)(OniStreamHandle stream, OniFrame** pFrame);
    void (*frameAddRef)(OniFrame* pFrame);
    void (*frameRelease)(OniFrame* pFrame);
};

// OpenNI2's own functions.
OniCalls DefaultOniCalls();
// The calls in use.
const OniCalls& GetOniCalls();
// Installs calls (every member set) and returns the ones they replace. Not
// synchronised: swap them only while no other thread uses the adapter.
OniCalls SetOniCalls(const OniCalls& calls);

// Reads a stream property through the installed calls; a null stream fails
// with ONI_STATUS_ERROR without a call.
OniStatus StreamGetProperty(OniStreamHandle stream, int propertyId, void* data, int* pDataSize);

// Reads a property of size bytes into data, which is zeroed first: OpenNI2's
// file player answers with fewer bytes than asked (and success) when it
// stored fewer, leaving the rest of the value as it was. *pAnswered (when
// given) receives the bytes actually answered, at most size.
OniStatus StreamGetPropertyZeroed(OniStreamHandle stream, int propertyId, void* data, int size, int* pAnswered);

// The stream's video mode; all zero when there is no stream or the read fails.
OniVideoMode ReadVideoMode(OniStreamHandle stream);

}  // namespace xn
