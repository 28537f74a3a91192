#pragma once

// Metadata of a label map: unsigned 16-bit labels, 0 meaning no label. The
// labelling writes it through AllocateData and the owned buffer; ReAdjust
// lays it over labels a caller already holds.

#include "XnAdapter/XnMapView.h"
#include "XnAdapter/XnMetaData.h"

typedef XnUInt16 XnLabel;

namespace xn {

class SceneMetaData : public MapMetaData {
public:
    SceneMetaData() : MapMetaData(XN_PIXEL_FORMAT_GRAYSCALE_16_BIT) {}

    const XnLabel* Data() const { return static_cast<const XnLabel*>(m_pData); }
    XnLabel* WritableData() { return static_cast<XnLabel*>(m_pOwnedBuffer); }

    MapView<const XnLabel> LabelMap() const { return MapView<const XnLabel>(Data(), m_nXRes, m_nYRes); }
    MapView<XnLabel> WritableLabelMap() { return MapView<XnLabel>(WritableData(), m_nXRes, m_nYRes); }

    // Label at column x, row y.
    XnLabel operator()(XnInt32 x, XnInt32 y) const { return Data()[y * m_nXRes + x]; }

    // Without a buffer: AllocateData(xRes, yRes). With one: describes
    // xRes x yRes labels at the caller's buffer, which the map does not own
    // (its own buffer stays for later use). Sizes beyond the 32-bit fields
    // fail with XN_STATUS_ALLOC_FAILED and change nothing.
    XnStatus ReAdjust(XnUInt32 xRes, XnUInt32 yRes, const XnLabel* pBuffer);
};

}  // namespace xn
