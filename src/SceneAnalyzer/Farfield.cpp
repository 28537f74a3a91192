#include "SceneAnalyzer/Farfield.h"

#include <algorithm>
#include <cstdint>

#include "NACommon/NACommonData.h"
#include "QuorLibrary/SensorUtilities/Morphology.h"

namespace {

// Gaps and depth reach of a component that still counts as near a user.
constexpr float kMaxGapMm = 100.0f;
constexpr int kDepthReachInFront = 1500;
constexpr int kDepthReachBehind = 800;
// A pixel of last frame's user whose shift moved by at most this much is a
// resting part of that user.
constexpr int kRestingShiftChange = 3;

template <typename T>
void Prepare(Array2D<T>& map, int width, int height) {
    map.SetSize(height, width, false);
    std::fill(map.Data(), map.Data() + map.Size(), T(0));
}

}  // namespace

Farfield::Farfield() : m_pShadowMap(nullptr), m_pPrevLabels(nullptr) {}

Farfield::~Farfield() = default;

bool Farfield::Initialize(NACommonData* data, Resolution res, int sse, int profiling) {
    m_pShadowMap = nullptr;
    if (data == nullptr || !IsValidResolution(res) || res > SXGA || data->m_pShiftToDepth == nullptr) {
        return false;
    }
    // The size of the hub's depth map at res.
    const int width = g_nXRes[res];
    const int height = g_nYRes[res];
    Prepare(m_shadowCounter, width, height);
    Prepare(m_bg1, width, height);
    Prepare(m_bg2, width, height);
    Prepare(m_fgAge, width, height);
    return NAFarfield::Initialize(data, res, sse, profiling, 1);
}

void Farfield::Update(const xn::DepthMetaData** depths, const Array2D<uint16_t>** shifts, const uint16_t* shadowMap,
                      const xn::SceneMetaData& prevLabels, const std::vector<Box3D<int> >& userBoxes,
                      const std::vector<bool>& userOccluding) {
    if (!IsInitialized()) {
        return;
    }
    m_pShadowMap = shadowMap;
    m_pPrevLabels = &prevLabels;
    m_userBoxes = userBoxes;
    m_userOccluding = userOccluding;
    const xn::DepthGenerator* node = m_pCommonData->m_pDepthGenerator;
    const SensorTime time(node != nullptr ? static_cast<int64_t>(node->GetTimestamp()) : 0);
    NAFarfield::Update(depths, shifts, static_cast<unsigned>(m_pCommonData->m_nFrameID), time,
                       m_pCommonData->ImageBox(m_resolution));
}

bool Farfield::WasCameraMovementTriggered() { return false; }

void Farfield::initializeShadowCounter() {
    std::fill(m_shadowCounter.Data(), m_shadowCounter.Data() + m_shadowCounter.Size(), uint16_t(0));
}

void Farfield::UpdateFarfieldLineNoDepth(int16_t row, const uint16_t* shiftRow, uint16_t* counterRow,
                                         uint16_t* backgroundRow) {
    UpdateNoDepthPixels(row, 0, shiftRow, counterRow, backgroundRow);
}

void Farfield::UpdateNoDepthPixels(int16_t row, int begin, const uint16_t* shiftRow, uint16_t* counterRow,
                                   uint16_t* backgroundRow) {
    const int width = m_nXRes;
    uint16_t* shadowCounter = m_shadowCounter.Data() + row * width;
    const uint16_t* shadow = m_pShadowMap != nullptr ? m_pShadowMap + row * width : nullptr;
    for (int x = begin; x < width; ++x) {
        const int s = shiftRow[x];
        const int h = shadow != nullptr ? shadow[x] : 0;
        counterRow[x] = s != 0 || h != 0 ? 0 : static_cast<uint16_t>(counterRow[x] + 1);
        shadowCounter[x] = h != 0 ? static_cast<uint16_t>(shadowCounter[x] + 1) : 0;
        if (s == 0 && backgroundRow[x] + kShadowBeyondBackground < h && shadowCounter[x] > kLastingShadowFrames) {
            backgroundRow[x] = 0;
        }
    }
}

bool Farfield::GapsAreSmall(const NAFarfieldCC& cc, const Box3D<int>& user, int depth) const {
    const float length = m_pWorldConverter->PixelSizeAt(depth);
    const auto small = [length](int64_t gap) { return static_cast<float>(gap) * length <= kMaxGapMm; };
    if (cc.box.max.x < user.min.x && !small(static_cast<int64_t>(user.min.x) - cc.box.max.x)) {
        return false;
    }
    if (cc.box.min.x > user.max.x && !small(static_cast<int64_t>(cc.box.min.x) - user.max.x)) {
        return false;
    }
    if (cc.box.max.y < user.min.y && !small(static_cast<int64_t>(user.min.y) - cc.box.max.y)) {
        return false;
    }
    if (cc.box.min.y > user.max.y && !small(static_cast<int64_t>(cc.box.min.y) - user.max.y)) {
        return false;
    }
    return true;
}

void Farfield::computeZBounds(NAFarfieldCC& cc) {
    if (cc.box.max.z > 0) {
        return;
    }
    const int width = m_nXRes;
    const int label = LabelOf(cc);
    const XnLabel* labels = m_ccLabels.Data();
    const uint16_t* depth = m_pCurrentDepth->Data();
    for (int y = std::max(cc.box.min.y, 0); y <= std::min(cc.box.max.y, m_nYRes - 1); ++y) {
        for (int x = std::max(cc.box.min.x, 0); x <= std::min(cc.box.max.x, width - 1); ++x) {
            const int i = y * width + x;
            if (labels[i] == label) {
                cc.box.min.z = std::min<int>(cc.box.min.z, depth[i]);
                cc.box.max.z = std::max<int>(cc.box.max.z, depth[i]);
            }
        }
    }
}

bool Farfield::isCCCloseToUser(NAFarfieldCC& cc) {
    for (size_t u = 0; u < m_userBoxes.size(); ++u) {
        const Box3D<int>& user = m_userBoxes[u];
        const bool occluding = u < m_userOccluding.size() && m_userOccluding[u];
        if (occluding && cc.box.max.x >= user.min.x && cc.box.min.x <= user.max.x && user.min.y <= cc.box.max.y &&
            cc.box.min.y <= user.max.y) {
            return true;
        }
        const int64_t reachFront = static_cast<int64_t>(user.min.z) - kDepthReachInFront;
        if (!GapsAreSmall(cc, user, static_cast<int>(std::max<int64_t>(reachFront, 1)))) {
            continue;
        }
        computeZBounds(cc);
        if (cc.box.max.z < reachFront || cc.box.min.z > static_cast<int64_t>(user.max.z) + kDepthReachBehind) {
            continue;
        }
        if (GapsAreSmall(cc, user, std::min(cc.box.min.z, user.min.z))) {
            return true;
        }
    }
    return false;
}

const XnLabel* Farfield::PreviousLabels() const {
    if (m_pPrevLabels == nullptr || m_pPrevLabels->Data() == nullptr || m_pPrevLabels->XRes() != m_nXRes ||
        m_pPrevLabels->YRes() != m_nYRes) {
        return nullptr;
    }
    return m_pPrevLabels->Data();
}

bool Farfield::isCCAdjacentToUser(const NAFarfieldCC& cc) {
    const XnLabel* previous = PreviousLabels();
    if (previous == nullptr) {
        return false;
    }
    const int width = m_nXRes;
    const int label = LabelOf(cc);
    const XnLabel* labels = m_ccLabels.Data();
    const uint16_t* border = m_ccBorder.Data();
    const uint16_t* shift = m_pShift->Data();
    const uint16_t* shift1 = m_pShiftPrev->Data();
    const uint16_t* bg = m_background.Data();
    for (int y = std::max(cc.box.min.y, 1); y <= std::min(cc.box.max.y, m_nYRes - 2); ++y) {
        for (int x = std::max(cc.box.min.x, 1); x <= std::min(cc.box.max.x, width - 2); ++x) {
            const int i = y * width + x;
            if (labels[i] != label) {
                continue;
            }
            const int s = shift[i];
            const int change = s - shift1[i];
            if (change >= -kRestingShiftChange && change <= kRestingShiftChange && previous[i] != 0) {
                return true;
            }
            if (border[i] == 0) {
                continue;
            }
            for (const int n : {i - 1, i + 1, i - width, i + width}) {
                const int difference = bg[n] > s ? bg[n] - s : s - bg[n];
                if (difference < m_nBgAdjacencyThresh && previous[n] != 0) {
                    return true;
                }
            }
        }
    }
    return false;
}

void Farfield::UpdateBg1() {
    const uint16_t* bg = m_background.Data();
    int16_t* out = m_bg1.Data();
    for (int i = 0; i < m_nPixels; ++i) {
        out[i] = bg[i] != 0 ? static_cast<int16_t>(bg[i]) : kUnknownBackground;
    }
}

void Farfield::UpdateBg2() {
    const int width = m_nXRes;
    const int height = m_nYRes;
    if (m_bSSE != 0 && width % 8 == 0) {
        Morphology::ErodeSSE(m_bg1.Data(), m_bg2.Data(), width, height, 0, width - 1, 0, height - 1, 3, 3);
        return;
    }
    const int16_t* in = m_bg1.Data();
    int16_t* out = m_bg2.Data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int16_t lowest = INT16_MAX;
            for (int v = std::max(y - 1, 0); v <= std::min(y + 1, height - 1); ++v) {
                for (int u = std::max(x - 1, 0); u <= std::min(x + 1, width - 1); ++u) {
                    lowest = std::min(lowest, in[v * width + u]);
                }
            }
            out[y * width + x] = lowest;
        }
    }
}

void Farfield::UpdateFgRows(int firstRow, int lastRow) {
    const int width = m_nXRes;
    const uint16_t* shift = m_pShift->Data();
    const int16_t* bg2 = m_bg2.Data();
    uint16_t* fg = m_foreground.Data();
    for (int i = std::max(firstRow, 0) * width; i < (std::min(lastRow, m_nYRes - 1) + 1) * width; ++i) {
        fg[i] = shift[i] != 0 && shift[i] + kForegroundMargin < bg2[i] ? 1 : 0;
    }
}

void Farfield::UpdateFg() { UpdateFgRows(0, m_nYRes - 1); }

void Farfield::ImproveFg() {
    UpdateBg1();
    UpdateBg2();
    UpdateFg();
}

void Farfield::ImproveFg_SSE(int firstRow, int lastRow) {
    UpdateBg1_SSE(firstRow, lastRow);
    UpdateBg2();
    UpdateFg_SSE(firstRow, lastRow);
}

void Farfield::Feedback(const xn::SceneMetaData& labels) {
    if (!IsInitialized() || labels.Data() == nullptr || labels.XRes() != m_nXRes || labels.YRes() != m_nYRes) {
        return;
    }
    const XnLabel* users = labels.Data();
    const uint16_t* fg = m_foreground.Data();
    const uint16_t* shift = m_pShift != nullptr ? m_pShift->Data() : nullptr;
    uint16_t* bg = m_background.Data();
    int32_t* age = m_fgAge.Data();
    for (int i = 0; i < m_nPixels; ++i) {
        int32_t next = fg[i] != 0 && users[i] == 0 ? age[i] + 1 : 0;
        if (next > kMaxForegroundAge && shift != nullptr) {
            bg[i] = shift[i];
            next = 0;
        }
        age[i] = next;
    }
}
