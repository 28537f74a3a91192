#pragma once

// Metadata of an infrared map: 16-bit intensities.

#include "XnAdapter/XnMapView.h"
#include "XnAdapter/XnMetaData.h"

typedef XnUInt16 XnIRPixel;

namespace xn {

class IRMetaData : public MapMetaData {
public:
    IRMetaData() : MapMetaData(XN_PIXEL_FORMAT_GRAYSCALE_16_BIT) {}

    const XnIRPixel* Data() const { return static_cast<const XnIRPixel*>(m_pData); }
    MapView<const XnIRPixel> IRMap() const { return MapView<const XnIRPixel>(Data(), m_nXRes, m_nYRes); }
};

}  // namespace xn
