#pragma once

// Metadata of a depth map: unsigned 16-bit millimetres, 0 meaning no depth.
// The pixels are read through the data pointer (a frame, a caller's buffer or
// the owned buffer); writes go to the owned buffer that AllocateData sizes.

#include "XnAdapter/XnMapView.h"
#include "XnAdapter/XnMetaData.h"

typedef XnUInt16 XnDepthPixel;

namespace xn {

class DepthMetaData : public MapMetaData {
public:
    // The largest depth a device reports, plus one.
    static constexpr XnUInt16 kDefaultZRes = 10001;

    DepthMetaData() : MapMetaData(XN_PIXEL_FORMAT_GRAYSCALE_16_BIT), m_nZRes(kDefaultZRes) {}

    XnUInt16 ZRes() const { return m_nZRes; }
    XnUInt16& ZRes() { return m_nZRes; }

    const XnDepthPixel* Data() const { return static_cast<const XnDepthPixel*>(m_pData); }
    XnDepthPixel* WritableData() { return static_cast<XnDepthPixel*>(m_pOwnedBuffer); }

    MapView<const XnDepthPixel> DepthMap() const { return MapView<const XnDepthPixel>(Data(), m_nXRes, m_nYRes); }
    MapView<XnDepthPixel> WritableDepthMap() { return MapView<XnDepthPixel>(WritableData(), m_nXRes, m_nYRes); }

    // Depth at column x, row y.
    XnDepthPixel operator()(XnInt32 x, XnInt32 y) const { return Data()[y * m_nXRes + x]; }

private:
    XnUInt16 m_nZRes;
};

}  // namespace xn
