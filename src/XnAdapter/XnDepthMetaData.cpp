#include "XnAdapter/XnDepthMetaData.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "OSLayer/XnOS.h"

namespace xn {

DepthMetaData::~DepthMetaData() {
    if (m_pPixelCopy != nullptr) {
        xnOSFreeAligned(m_pPixelCopy);
    }
}

XnStatus DepthMetaData::InitFrom(const DepthMetaData& other) {
    if (&other == this) {
        return XN_STATUS_OK;
    }
    const uint64_t nPixels = static_cast<uint64_t>(std::max(other.m_nXRes, 0)) * std::max(other.m_nYRes, 0);
    if (nPixels * sizeof(XnDepthPixel) > UINT32_MAX) {
        return XN_STATUS_ALLOC_FAILED;
    }
    if (nPixels > m_nPixelCopyCount) {
        void* pNew = xnOSMallocAligned(static_cast<XnSizeT>(nPixels * sizeof(XnDepthPixel)), 16);
        if (pNew == nullptr) {
            return XN_STATUS_ALLOC_FAILED;
        }
        if (m_pPixelCopy != nullptr) {
            xnOSFreeAligned(m_pPixelCopy);
        }
        m_pPixelCopy = static_cast<XnDepthPixel*>(pNew);
        m_nPixelCopyCount = static_cast<XnUInt32>(nPixels);
    }
    // A map that describes more pixels than its data holds gives only what
    // is there.
    const size_t nBytes = static_cast<size_t>(nPixels * sizeof(XnDepthPixel));
    const size_t nCopied = other.m_pData != nullptr ? std::min<size_t>(nBytes, other.m_nDataSize) : 0;
    if (nCopied > 0) {
        std::memcpy(m_pPixelCopy, other.m_pData, nCopied);
    }
    if (nBytes > nCopied) {
        std::memset(reinterpret_cast<char*>(m_pPixelCopy) + nCopied, 0, nBytes - nCopied);
    }
    m_nFrameID = other.m_nFrameID;
    m_nTimestamp = other.m_nTimestamp;
    m_nDataSize = static_cast<XnUInt32>(std::min<size_t>(other.m_nDataSize, nBytes));
    m_nXRes = other.m_nXRes;
    m_nYRes = other.m_nYRes;
    m_nFullXRes = other.m_nFullXRes;
    m_nFullYRes = other.m_nFullYRes;
    m_nXOffset = other.m_nXOffset;
    m_nYOffset = other.m_nYOffset;
    m_nPixelFormat = other.m_nPixelFormat;
    m_pData = m_pPixelCopy;
    return XN_STATUS_OK;
}

}  // namespace xn
