#pragma once

// Metadata of a depth map: unsigned 16-bit millimetres, 0 meaning no depth.
// The pixels are read through the data pointer (a frame, a caller's buffer,
// the owned buffer or the pixel copy InitFrom makes); writes go to the owned
// buffer that AllocateData sizes.

#include "XnAdapter/XnMapView.h"
#include "XnAdapter/XnMetaData.h"

typedef XnUInt16 XnDepthPixel;

namespace xn {

class DepthMetaData : public MapMetaData {
public:
    // The largest depth a device reports, plus one.
    static constexpr XnUInt16 kDefaultZRes = 10001;

    DepthMetaData()
        : MapMetaData(XN_PIXEL_FORMAT_GRAYSCALE_16_BIT), m_nZRes(kDefaultZRes), m_pPixelCopy(nullptr), m_nPixelCopyCount(0) {}
    ~DepthMetaData() override;

    XnUInt16 ZRes() const { return m_nZRes; }
    XnUInt16& ZRes() { return m_nZRes; }

    const XnDepthPixel* Data() const { return static_cast<const XnDepthPixel*>(m_pData); }
    XnDepthPixel* WritableData() { return static_cast<XnDepthPixel*>(m_pOwnedBuffer); }

    MapView<const XnDepthPixel> DepthMap() const { return MapView<const XnDepthPixel>(Data(), m_nXRes, m_nYRes); }
    MapView<XnDepthPixel> WritableDepthMap() { return MapView<XnDepthPixel>(WritableData(), m_nXRes, m_nYRes); }

    // Depth at column x, row y.
    XnDepthPixel operator()(XnInt32 x, XnInt32 y) const { return Data()[y * m_nXRes + x]; }

    // Becomes a copy of other that outlives other's pixels: frame id, time
    // stamp, sizes, full sizes, offsets and pixel format, and its XRes x YRes
    // pixels in this map's own pixel copy (grown as needed), which the map
    // then points at; the data size is other's, at most the copy's. The z
    // resolution stays. Pixels beyond other's data size are zero. XN_STATUS_ALLOC_FAILED leaves the map unchanged.
    XnStatus InitFrom(const DepthMetaData& other);

private:
    XnUInt16 m_nZRes;
    // The pixel copy InitFrom makes and its capacity in pixels.
    XnDepthPixel* m_pPixelCopy;
    XnUInt32 m_nPixelCopyCount;
};

}  // namespace xn
