#pragma once

// A typed window onto the pixels of a map: pixel (x, y) is at row y, column
// x, rows XRes pixels long. Views are cheap to copy and never own pixels.

#include "OSLayer/XnPlatform.h"

namespace xn {

template <typename PixelType>
class MapView {
public:
    MapView() : m_pData(nullptr), m_nXRes(0), m_nYRes(0) {}
    MapView(PixelType* pData, XnInt32 xRes, XnInt32 yRes) : m_pData(pData), m_nXRes(xRes), m_nYRes(yRes) {}

    XnInt32 XRes() const { return m_nXRes; }
    XnInt32 YRes() const { return m_nYRes; }
    PixelType* Data() const { return m_pData; }

    PixelType& operator()(XnInt32 x, XnInt32 y) const { return m_pData[y * m_nXRes + x]; }
    PixelType& operator[](XnInt32 i) const { return m_pData[i]; }

private:
    PixelType* m_pData;
    XnInt32 m_nXRes;
    XnInt32 m_nYRes;
};

}  // namespace xn
