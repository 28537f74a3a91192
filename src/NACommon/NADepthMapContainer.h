#pragma once

// One resolution level of the current depth frame as every hand algorithm
// reads it: depth map, shift map, both depth/shift tables, the world-point
// converter of that size, frame id and time. The container owns nothing;
// whoever fills it keeps the pointed-to objects alive.

#include <cstdint>

#include "NACommon/NAResolution.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "XnAdapter/XnDepthMetaData.h"

class NADepthMapContainer {
public:
    NADepthMapContainer();
    virtual ~NADepthMapContainer() = default;
    NADepthMapContainer(const NADepthMapContainer&) = default;
    NADepthMapContainer& operator=(const NADepthMapContainer&) = default;

    // The level of the depth map's size; NoMatch without a depth map or for
    // a size that is none of the levels.
    virtual NAResolution GetResolution() const;

    // 16-bit millimetres, 0 = no depth.
    const xn::DepthMetaData* m_depth;
    // The sensor shift of each pixel's depth, same size (0 = no depth).
    const xn::DepthMetaData* m_shift;
    // Depth (mm) to shift, one entry per depth up to the stream's maximum.
    const unsigned short* m_depthToShift;
    // Shift to depth (mm), one entry per shift up to MaxShift.
    const unsigned short* m_shiftToDepth;
    const WorldPointConverterBase<float>* m_converter;
    uint32_t m_frameId;
    // InvalidTime until a frame is set.
    SensorTime m_time;
};
