#pragma once

// The handles of the exported functions: a small heap record holding the
// tracker. Only the creation functions make one and only the shut-down
// functions free it.

#include <new>

#include "OSLayer/XnLog.h"
#include "Vela.h"

namespace vela_api {

// Creates a tracker, initialises it on the lent device (or, with
// byDevice false, on the default device) and writes a new handle record for
// it; a failed creation deletes the tracker and leaves *handle unchanged.
template <class Tracker, class Record>
VelaStatus CreateTrackerHandle(openni::Device* device, bool byDevice, Record** handle) {
    if (handle == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "Vela: no place for the tracker handle was given");
        return VELA_STATUS_ERROR;
    }
    Tracker* tracker = new (std::nothrow) Tracker;
    Record* record = new (std::nothrow) Record{tracker};
    if (tracker == nullptr || record == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "Vela: out of memory");
        delete record;
        delete tracker;
        return VELA_STATUS_ERROR;
    }
    const int rc = byDevice ? tracker->initialize(device) : tracker->initialize();
    if (rc != VELA_STATUS_OK) {
        delete record;
        delete tracker;
        return VELA_STATUS_ERROR;
    }
    *handle = record;
    return VELA_STATUS_OK;
}

// Deletes the tracker (its destructor shuts it down) and the record; a null
// handle or a record without tracker is fine.
template <class Record>
VelaStatus DestroyTrackerHandle(Record* handle) {
    if (handle != nullptr) {
        delete handle->pTracker;
        delete handle;
    }
    return VELA_STATUS_OK;
}

// The tracker of a handle; null, after logging, for a null handle or a record
// without tracker, which every other function refuses.
template <class Record>
auto TrackerOf(Record* handle) -> decltype(handle->pTracker) {
    if (handle == nullptr || handle->pTracker == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "Vela: the tracker handle is null");
        return nullptr;
    }
    return handle->pTracker;
}

}  // namespace vela_api
