#include "XnAdapter/XnSceneMetaData.h"

#include <cstdint>

namespace xn {

XnStatus SceneMetaData::ReAdjust(XnUInt32 xRes, XnUInt32 yRes, const XnLabel* pBuffer) {
    if (pBuffer == nullptr) {
        return AllocateData(xRes, yRes);
    }
    const uint64_t nBytes = static_cast<uint64_t>(xRes) * yRes * BytesPerPixel();
    if (xRes > static_cast<XnUInt32>(INT32_MAX) || yRes > static_cast<XnUInt32>(INT32_MAX) || nBytes > UINT32_MAX) {
        return XN_STATUS_ALLOC_FAILED;
    }
    m_nXRes = m_nFullXRes = static_cast<XnInt32>(xRes);
    m_nYRes = m_nFullYRes = static_cast<XnInt32>(yRes);
    m_nXOffset = m_nYOffset = 0;
    m_pData = pBuffer;
    m_nDataSize = static_cast<XnUInt32>(nBytes);
    return XN_STATUS_OK;
}

}  // namespace xn
