#include "Api/DepthFrameReader.h"

#include "OSLayer/XnLog.h"
#include "OniCAPI.h"
#include "XnAdapter/XnOniCalls.h"

OniFrame* ReadDepthFrame(OniStreamHandle stream, const char* trackerName) {
    if (stream == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "%s: Couldn't read a depth frame: the tracker has no depth stream", trackerName);
        return nullptr;
    }
    OniFrame* frame = nullptr;
    if (xn::GetOniCalls().streamReadFrame(stream, &frame) != ONI_STATUS_OK || frame == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "%s: Couldn't read a depth frame: %s", trackerName, oniGetExtendedError());
        return nullptr;
    }
    return frame;
}
