// The users' label statistics at the skeleton resolution and their copy into
// each feature extractor's UserInfo, from which the user tracker takes the
// public centre of mass and box.

#include <algorithm>
#include <cmath>

#include "FullBodySkeleton/FeatureExtractor/MultiUserFeatureExtractor.h"

namespace {

bool IsEmpty(const Box2D<int>& box) { return box.max.x < box.min.x || box.max.y < box.min.y; }

}  // namespace

void MultiUserFeatureExtractor::ComputeUserLabelInfo() {
    const MultiResDepthMapContainer& containers = multiResContainer;
    const Resolution top = containers.labelLevel;
    for (const auto& entry : m_featureExtractors) {
        if (entry.first < 0 || entry.first >= kMaxLabels) {
            continue;
        }
        UserLabelInfo& info = m_labelInfo[entry.first];
        info.pixelCount = 0;
        info.sumX = info.sumY = info.sumZ = 0;
        info.boundsPix[top] = Box2D<int>();
        info.depthBounds = Box1D<int>();
        info.boundsInt = Box3D<int>();
    }

    const DepthMapContainer& level = containers[top];
    if (level.labelMap != nullptr && level.converter != nullptr && level.depthMap != nullptr &&
        level.depthMap->XRes() == level.labelMap->XRes() && level.depthMap->YRes() == level.labelMap->YRes()) {
        const WorldPointConverter<float>& converter = *level.converter;
        // The fixed-point projection of the converter's tables: no division.
        const int cx = static_cast<int>(std::floor(converter.m_fCenterX + 0.5f));
        const int cy = static_cast<int>(converter.m_fCenterY);
        const int shift = converter.m_nLengthShift;
        const int64_t half = int64_t{1} << (shift - 1);
        const int width = level.labelMap->XRes();
        const int height = level.labelMap->YRes();
        const XnLabel* labels = level.labelMap->Data();
        const XnDepthPixel* depths = level.depthMap->Data();
        const bool* existing = m_existingLabels.Data();
        for (int r = 0; r < height; ++r) {
            const XnLabel* labelRow = labels + static_cast<size_t>(r) * width;
            const XnDepthPixel* depthRow = depths + static_cast<size_t>(r) * width;
            for (int c = 0; c < width; ++c) {
                const int label = labelRow[c];
                if (label >= kMaxLabels || !existing[label]) {
                    continue;
                }
                const int d = depthRow[c];
                const int64_t s = converter.LengthAt(d);
                const int x = static_cast<int>(((c - cx) * s + half) >> shift);
                const int y = static_cast<int>(((cy - r) * s + half) >> shift);
                UserLabelInfo& info = m_labelInfo[label];
                ++info.pixelCount;
                info.sumX += x;
                info.sumY += y;
                info.sumZ += d;
                Box2D<int>& box = info.boundsPix[top];
                box.min.x = std::min(box.min.x, c);
                box.min.y = std::min(box.min.y, r);
                box.max.x = std::max(box.max.x, c);
                box.max.y = std::max(box.max.y, r);
                info.depthBounds.min = std::min(info.depthBounds.min, d);
                info.depthBounds.max = std::max(info.depthBounds.max, d);
                Box3D<int>& world = info.boundsInt;
                world.min = Vector3D<int>(std::min(world.min.x, x), std::min(world.min.y, y), std::min(world.min.z, d));
                world.max = Vector3D<int>(std::max(world.max.x, x), std::max(world.max.y, y), std::max(world.max.z, d));
            }
        }
    }

    for (const auto& entry : m_featureExtractors) {
        if (entry.first < 0 || entry.first >= kMaxLabels) {
            continue;
        }
        UserLabelInfo& info = m_labelInfo[entry.first];
        const Box3D<int>& world = info.boundsInt;
        info.boundsRW.min = Vector3D<float>(static_cast<float>(world.min.x), static_cast<float>(world.min.y),
                                            static_cast<float>(world.min.z));
        info.boundsRW.max = Vector3D<float>(static_cast<float>(world.max.x), static_cast<float>(world.max.y),
                                            static_cast<float>(world.max.z));
        info.com = Vector3D<float>(static_cast<float>(info.sumX), static_cast<float>(info.sumY),
                                   static_cast<float>(info.sumZ));
        if (info.pixelCount != 0) {
            const float count = static_cast<float>(info.pixelCount);
            info.com = Vector3D<float>(info.com.x / count, info.com.y / count, info.com.z / count);
        }
        for (int j = top + 1; j <= containers.nativeLevel; ++j) {
            const Box2D<int>& coarser = info.boundsPix[j - 1];
            info.boundsPix[j] = IsEmpty(coarser)
                                    ? Box2D<int>()
                                    : Box2D<int>(std::max(0, 2 * coarser.min.x), std::max(0, 2 * coarser.min.y),
                                                 std::min(2 * coarser.max.x + 1, g_nXRes[j] - 1),
                                                 std::min(2 * coarser.max.y + 1, g_nYRes[j] - 1));
        }
        for (int j = top - 1; j >= containers.lowestLevel; --j) {
            const Box2D<int>& finer = info.boundsPix[j + 1];
            info.boundsPix[j] = IsEmpty(finer) ? Box2D<int>()
                                               : Box2D<int>(std::max(0, finer.min.x / 2), std::max(0, finer.min.y / 2),
                                                            std::min((finer.max.x + 1) / 2, g_nXRes[j] - 1),
                                                            std::min((finer.max.y + 1) / 2, g_nYRes[j] - 1));
        }
        // A label without pixels has no lowest point: its empty box's
        // minimum (2^31) would replace the start value.
        if (info.pixelCount != 0) {
            m_state.lowestHeight = std::min(m_state.lowestHeight, info.boundsRW.min.y);
        }
    }
}

void MultiUserFeatureExtractor::CopyUserLabelInfo() {
    for (auto& entry : m_featureExtractors) {
        if (entry.first < 0 || entry.first >= kMaxLabels) {
            continue;
        }
        const UserLabelInfo& label = m_labelInfo[entry.first];
        UserInfo& info = entry.second->GetUserInfo();
        info.com = label.com;
        std::copy(label.boundsPix, label.boundsPix + 7, info.boundsPix);
        info.depthBounds = label.depthBounds;
        info.boundsRW = label.boundsRW;
    }
}
