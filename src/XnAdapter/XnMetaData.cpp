#include "XnAdapter/XnMetaData.h"

#include <cstdint>
#include <cstring>

#include "OSLayer/XnOS.h"

namespace xn {

XnUInt32 BytesPerPixel(XnInt32 pixelFormat) {
    switch (pixelFormat) {
        case XN_PIXEL_FORMAT_RGB24:
            return 3;
        case XN_PIXEL_FORMAT_YUV422:
            return 0;
        case XN_PIXEL_FORMAT_GRAYSCALE_8_BIT:
            return 1;
        case XN_PIXEL_FORMAT_GRAYSCALE_16_BIT:
        case XN_PIXEL_FORMAT_MJPEG:
            return 2;
        default:
            return 0;
    }
}

OutputMetaData::OutputMetaData()
    : m_nTimestamp(0), m_nFrameID(0), m_nDataSize(0), m_pData(nullptr), m_pOwnedBuffer(nullptr), m_nOwnedBufferSize(0) {}

OutputMetaData::~OutputMetaData() {
    if (m_pOwnedBuffer != nullptr) {
        xnOSFreeAligned(m_pOwnedBuffer);
    }
}

XnStatus OutputMetaData::EnsureOwnedBuffer(XnUInt32 nBytes) {
    if (nBytes <= m_nOwnedBufferSize) {
        return XN_STATUS_OK;
    }
    void* pNew = xnOSMallocAligned(nBytes, 16);
    if (pNew == nullptr) {
        return XN_STATUS_ALLOC_FAILED;
    }
    std::memset(pNew, 0, nBytes);
    if (m_pOwnedBuffer != nullptr) {
        xnOSFreeAligned(m_pOwnedBuffer);
    }
    m_pOwnedBuffer = pNew;
    m_nOwnedBufferSize = nBytes;
    return XN_STATUS_OK;
}

MapMetaData::MapMetaData(XnInt32 pixelFormat)
    : m_nXRes(0), m_nYRes(0), m_nFullXRes(0), m_nFullYRes(0), m_nXOffset(0), m_nYOffset(0), m_nPixelFormat(pixelFormat) {}

XnStatus MapMetaData::AllocateData(XnUInt32 xRes, XnUInt32 yRes) {
    // The sizes go into signed 32-bit fields and the byte count into a 32-bit
    // one; anything larger could only describe a buffer it does not have.
    const uint64_t nBytes = static_cast<uint64_t>(xRes) * yRes * BytesPerPixel();
    if (xRes > static_cast<XnUInt32>(INT32_MAX) || yRes > static_cast<XnUInt32>(INT32_MAX) || nBytes > UINT32_MAX) {
        return XN_STATUS_ALLOC_FAILED;
    }
    const XnStatus rc = EnsureOwnedBuffer(static_cast<XnUInt32>(nBytes));
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    m_nDataSize = static_cast<XnUInt32>(nBytes);
    m_pData = m_pOwnedBuffer;
    m_nXRes = m_nFullXRes = static_cast<XnInt32>(xRes);
    m_nYRes = m_nFullYRes = static_cast<XnInt32>(yRes);
    m_nXOffset = m_nYOffset = 0;
    return XN_STATUS_OK;
}

}  // namespace xn
