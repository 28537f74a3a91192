#include "FullBodySkeleton/FeatureExtractor/MultiResDepthMapContainer.h"

#include <cstring>

#include "NACommon/NACommonData.h"
#include "OSLayer/XnLog.h"

MultiResDepthMapContainer::MultiResDepthMapContainer()
    : nativeLevel(INVALID),
      lowestLevel(INVALID),
      labelLevel(INVALID),
      dilatedRes(INVALID),
      distanceTransformRes(INVALID),
      m_commonData(nullptr) {}

bool MultiResDepthMapContainer::Initialize(NACommonData* commonData, const xn::DepthGenerator& depth,
                                           Resolution labels) {
    const Resolution native = GetResolution(depth);
    // 40x30 has no coarser level to keep, 1280x720 is not a step of the 4:3
    // chain the label downscaling halves through.
    if (commonData == nullptr || native < QQQVGA || native > VGA || labels < QQQVGA || labels > native) {
        xnLogError(XN_LOG_MASK_ALL, "MultiResDepthMapContainer: cannot serve a %s stream with labels at %s",
                   ToString(native).c_str(), ToString(labels).c_str());
        return false;
    }
    nativeLevel = native;
    lowestLevel = QQQVGA;
    labelLevel = labels;
    m_commonData = commonData;
    for (int j = nativeLevel; j >= lowestLevel; --j) {
        DepthMapContainer& level = levels[j];
        level.resolution = static_cast<Resolution>(j);
        level.depthMap = &commonData->DepthMap(level.resolution, 0);
        if (j > labelLevel) {
            continue;
        }
        m_userMasks[j].SetSize(g_nYRes[j], g_nXRes[j], false);
        std::memset(m_userMasks[j].Data(), 0, static_cast<size_t>(g_nXRes[j]) * g_nYRes[j]);
        level.userMask = &m_userMasks[j];
        if (j < labelLevel) {
            // A failed allocation leaves the map without pixels: it is then
            // never downscaled into.
            if (m_labelMaps[j].AllocateData(g_nXRes[j], g_nYRes[j]) == XN_STATUS_OK) {
                std::memset(m_labelMaps[j].WritableData(), 0, static_cast<size_t>(g_nXRes[j]) * g_nYRes[j] * 2);
                level.labelMap = &m_labelMaps[j];
            }
        }
    }
    Update(depth, nullptr, nullptr);
    return true;
}

void MultiResDepthMapContainer::Update(const xn::DepthGenerator&, const xn::SceneMetaData* labels,
                                       const Array<bool>* activeLabels) {
    if (!IsInitialized()) {
        return;
    }
    for (int j = nativeLevel; j >= lowestLevel; --j) {
        DepthMapContainer& level = levels[j];
        level.converter = m_commonData->m_pWorldPointConverters[j];
        level.depthMap = &m_commonData->DepthMap(level.resolution, 0);
    }
    DepthMapContainer& top = levels[labelLevel];
    Array2D<uint8_t>& mask = *top.userMask;
    const int count = mask.Rows() * mask.Columns();
    const bool usable = labels != nullptr && labels->Data() != nullptr && labels->XRes() == mask.Columns() &&
                        labels->YRes() == mask.Rows();
    if (!usable) {
        top.labelMap = nullptr;
        std::memset(mask.Data(), 0, static_cast<size_t>(count));
    } else {
        top.labelMap = labels;
        const XnLabel* label = labels->Data();
        uint8_t* out = mask.Data();
        const int tableSize = activeLabels != nullptr ? activeLabels->Size() : 0;
        for (int i = 0; i < count; ++i) {
            const int l = label[i];
            out[i] = l < tableSize && (*activeLabels)[l] ? 255 : 0;
        }
    }
    UpdateDownscaledMaps();
}

void MultiResDepthMapContainer::UpdateDownscaledMaps() {
    if (!IsInitialized()) {
        return;
    }
    // The first row is never part of an image box.
    const xn::DepthMetaData& native = *levels[nativeLevel].depthMap;
    levels[nativeLevel].imageBox = Box2D<int>(0, 1, native.XRes() - 1, native.YRes() - 1);
    for (int j = nativeLevel - 1; j >= lowestLevel; --j) {
        Box2D<int> box = m_commonData->ImageBox(static_cast<Resolution>(j));
        if (box.min.y <= 0) {
            box.min.y = 1;
        }
        levels[j].imageBox = box;
    }
    for (int j = labelLevel - 1; j >= lowestLevel; --j) {
        const DepthMapContainer& finer = levels[j + 1];
        DepthMapContainer& level = levels[j];
        if (finer.labelMap != nullptr && level.labelMap != nullptr) {
            m_commonData->Downscale(*finer.labelMap, m_labelMaps[j], 2);
        }
        // Sampled, not combined: the top-left pixel of each 2 x 2 block.
        const Array2D<uint8_t>& from = *finer.userMask;
        Array2D<uint8_t>& to = *level.userMask;
        for (int y = 0; y < to.Rows(); ++y) {
            const uint8_t* in = from.Data() + static_cast<size_t>(2 * y) * from.Columns();
            uint8_t* out = to.Data() + static_cast<size_t>(y) * to.Columns();
            for (int x = 0; x < to.Columns(); ++x) {
                out[x] = in[2 * x];
            }
        }
    }
}
