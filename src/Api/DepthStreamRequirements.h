#pragma once

// What both trackers require of their depth stream beyond the base's size
// check: 1 mm depth pixels, a size of 160x120, 320x240 or 640x480, and no
// cropping (a cropping that cannot be read counts as none).

#include "OniCTypes.h"

// VELA_STATUS_OK, after logging "Initializing <trackerName> with resolution
// WxH" at verbose severity; or VELA_STATUS_ERROR after logging the reason,
// prefixed "<trackerName>: ", under mask "ALL".
int CheckTrackerDepthStream(OniStreamHandle stream, const char* trackerName);
