// The dilated depth map: the nearest active-user depth within two pixels.

#include <algorithm>

#include "FullBodySkeleton/FeatureExtractor/MultiUserFeatureExtractor.h"
#include "QuorLibrary/SensorUtilities/Morphology.h"
#include "QuorLibrary/SensorUtilities/ValueReplacement.h"

namespace {

// Marks pixels without an active user for the minimum filter; no depth
// reaches it.
constexpr short kNoUser = 0x7FFF;

}  // namespace

void MultiUserFeatureExtractor::ComputeDilatedDepthMap() {
    DepthMapContainer& level = multiResContainer[multiResContainer.dilatedRes];
    if (level.depthMap == nullptr || level.userMask == nullptr) {
        return;
    }
    const xn::DepthMetaData& depth = *level.depthMap;
    const int width = depth.XRes();
    const int height = depth.YRes();
    const Array2D<uint8_t>& mask = *level.userMask;
    if (mask.Columns() != width || mask.Rows() != height || depth.Data() == nullptr) {
        return;
    }
    m_dilationWork.SetSize(height, width, false);
    if (m_dilatedDepth.WritableData() == nullptr || m_dilatedDepth.XRes() != width ||
        m_dilatedDepth.YRes() != height) {
        m_dilatedDepth.AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height));
        if (m_dilatedDepth.WritableData() == nullptr) {
            return;
        }
    }
    m_dilatedDepth.FrameID() = depth.FrameID();
    m_dilatedDepth.Timestamp() = depth.Timestamp();
    m_dilatedDepth.ZRes() = depth.ZRes();

    const int count = width * height;
    const XnDepthPixel* in = depth.Data();
    const uint8_t* active = mask.Data();
    short* work = m_dilationWork.Data();
    for (int i = 0; i < count; ++i) {
        // Depths beyond the signed range would wrap below every real one.
        work[i] = active[i] != 0 ? static_cast<short>(std::min<int>(in[i], kNoUser)) : kNoUser;
    }
    short* out = reinterpret_cast<short*>(m_dilatedDepth.WritableData());
    if (m_bSSE) {
        Morphology::ErodeSSE(work, out, width, height, 0, width - 1, 0, height - 1, 5, 5);
        ReplaceValueWithZeroSSE(out, out, width, height, kNoUser, nullptr);
    } else {
        Morphology::ErodePlain(work, out, width, height, 0, width - 1, 0, height - 1, 5, 5);
        ReplaceValueWithZero(out, out, width, height, kNoUser, nullptr);
    }
    level.dilatedDepthMap = &m_dilatedDepth;
}
