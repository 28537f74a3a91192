#pragma once

// Metadata of a colour image map. The hand tracker hands one, unfilled, to
// the hand algorithms; its pixels are 24-bit RGB unless the format says
// otherwise.

#include "XnAdapter/XnMapView.h"
#include "XnAdapter/XnMetaData.h"

struct XnRGB24Pixel {
    XnUInt8 nRed;
    XnUInt8 nGreen;
    XnUInt8 nBlue;
};
static_assert(sizeof(XnRGB24Pixel) == 3, "RGB24 pixels are packed");

namespace xn {

class ImageMetaData : public MapMetaData {
public:
    ImageMetaData() : MapMetaData(XN_PIXEL_FORMAT_RGB24) {}

    const XnUInt8* Data() const { return static_cast<const XnUInt8*>(m_pData); }
    const XnRGB24Pixel* RGB24Data() const { return static_cast<const XnRGB24Pixel*>(m_pData); }
    MapView<const XnRGB24Pixel> RGB24Map() const {
        return MapView<const XnRGB24Pixel>(RGB24Data(), m_nXRes, m_nYRes);
    }
};

}  // namespace xn
