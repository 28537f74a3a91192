#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/NewSceneAnalyzer.h"

namespace {

// Regions of this many pixels or fewer are too noisy to match.
constexpr int kMinMatchedPixels = 9;
// Start of the nearest-centre searches, in squared millimetres.
constexpr float kFarthest = 1e8f;
// Side of the smallest region GetCCByPoint returns, in millimetres.
constexpr int kPointRegionSide = 200;

float SquaredDistance(const Vector3D<float>& a, const Vector3D<float>& b) {
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    const float dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// Adds the run [a, b] of row y with its depths to region r.
void AddRun(NewConnectedComponent& r, int64_t& depthSum, int a, int b, int y, const XnDepthPixel* depths) {
    const int count = b - a + 1;
    r.m_pixelCount += count;
    r.m_xCenter += (a + b) * count / 2;
    r.m_yCenter += y * count;
    int minDepth = r.m_bounds.min.z;
    int maxDepth = r.m_bounds.max.z;
    int64_t sum = 0;
    for (int x = a; x <= b; ++x) {
        const int d = depths[x];
        sum += d;
        minDepth = std::min(minDepth, d);
        maxDepth = std::max(maxDepth, d);
    }
    depthSum += sum;
    r.m_bounds.min.z = minDepth;
    r.m_bounds.max.z = maxDepth;
    r.m_bounds.min.x = std::min(r.m_bounds.min.x, a);
    r.m_bounds.max.x = std::max(r.m_bounds.max.x, b);
    r.m_bounds.min.y = std::min(r.m_bounds.min.y, y);
    r.m_bounds.max.y = std::max(r.m_bounds.max.y, y);
}

}  // namespace

void NewSceneAnalyzer::ComputeCCProperties() {
    InitializeCCs();
    if (m_configuration.m_SSE.on != 0) {
        GetCCsDataFromPixels_SSE();
    } else {
        GetCCsDataFromPixels();
    }
    UpdateCCsInfo();
}

void NewSceneAnalyzer::InitializeCCs() {
    Array<NewConnectedComponent>& ccs = m_ccs.Push();
    const int n = std::min(std::max(m_ccDetector.LabelCount(), 0), kMaxRegions);
    if (ccs.Capacity() < n) {
        ccs.Deallocate();
        ccs.EnsureCapacity(n, false);
    }
    ccs.Clear();
    for (int i = 0; i < n; ++i) {
        ccs.Push().Initialize(static_cast<unsigned short>(i), m_nFrameId);
        m_depthSums[i] = 0;
    }
    if (m_ccs.Count() == kHistory) {
        // The oldest frame kept lost its predecessor to the slot just reused.
        Array<NewConnectedComponent>& oldest = m_ccs.GetOldest();
        for (int i = 1; i < oldest.Size(); ++i) {
            oldest[i].m_pPrev = nullptr;
            oldest[i].m_prevID = -1;
        }
    }
}

void NewSceneAnalyzer::GetCCsDataFromPixels() { MeasureRegions(false); }

void NewSceneAnalyzer::GetCCsDataFromPixels_SSE() { MeasureRegions(true); }

void NewSceneAnalyzer::MeasureRegions(bool fromRuns) {
    const xn::SceneMetaData& labels = m_labelMaps.GetCurrent();
    const xn::DepthMetaData& depth = m_pCommonData->DepthMap(m_configuration.m_resolution, 0);
    Array<NewConnectedComponent>& ccs = m_ccs.GetCurrent();
    const int regions = ccs.Size();
    const int width = labels.XRes();
    const int height = labels.YRes();
    for (int y = 0; y < height; ++y) {
        const XnLabel* row = labels.Data() + y * width;
        const XnDepthPixel* depths = depth.Data() + y * width;
        if (fromRuns) {
            const ConnectedComponentDetector::line* runs = m_ccDetector.GetRowRuns(y);
            for (; runs != nullptr && runs->m_nLabel != -1; ++runs) {
                const int a = runs->m_nFirst;
                const int b = runs->m_nLast;
                const XnLabel label = row[a];
                if (label != 0 && label < regions) {
                    AddRun(ccs[label], m_depthSums[label], a, b, y, depths);
                }
            }
            continue;
        }
        int a = 0;
        while (a < width) {
            const XnLabel label = row[a];
            int b = a;
            while (b + 1 < width && row[b + 1] == label) {
                ++b;
            }
            if (label != 0 && label < regions) {
                AddRun(ccs[label], m_depthSums[label], a, b, y, depths);
            }
            a = b + 1;
        }
    }
}

void NewSceneAnalyzer::UpdateCCsInfo() {
    const WorldPointConverter<float>& converter = *m_pCommonData->m_pWorldPointConverters[m_configuration.m_resolution];
    Array<NewConnectedComponent>& ccs = m_ccs.GetCurrent();
    for (int i = 1; i < ccs.Size(); ++i) {
        NewConnectedComponent& r = ccs[i];
        // A label the labeller skipped has no pixels to average.
        if (r.m_pixelCount <= 0) {
            continue;
        }
        r.m_xCenter /= r.m_pixelCount;
        r.m_yCenter /= r.m_pixelCount;
        r.m_zCenter = static_cast<int32_t>(m_depthSums[i] / r.m_pixelCount);
        const int z = r.m_zCenter;
        const float length = converter.PixelSizeAt(z);
        r.m_RWCenter = Vector3D<float>((static_cast<float>(r.m_xCenter) - converter.m_fCenterX) * length,
                                       (converter.m_fCenterY - static_cast<float>(r.m_yCenter)) * length,
                                       static_cast<float>(z));
    }
}

uint16_t NewSceneAnalyzer::PopObjectId() {
    if (m_freeObjectIds.empty()) {
        return 0;
    }
    const uint16_t id = m_freeObjectIds.back();
    m_freeObjectIds.pop_back();
    return id;
}

void NewSceneAnalyzer::MatchForward(Array<NewConnectedComponent>& from, Array<NewConnectedComponent>& to,
                                    bool forward) {
    for (int i = 1; i < from.Size(); ++i) {
        NewConnectedComponent& r = from[i];
        if (r.m_pixelCount <= kMinMatchedPixels) {
            continue;
        }
        const int tolerance = r.m_pixelCount / 3;
        NewConnectedComponent* best = nullptr;
        float bestDistance = kFarthest;
        for (int j = 1; j < to.Size(); ++j) {
            NewConnectedComponent& s = to[j];
            if (std::abs(s.m_pixelCount - r.m_pixelCount) >= tolerance) {
                continue;
            }
            const float distance = SquaredDistance(r.m_RWCenter, s.m_RWCenter);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = &s;
            }
        }
        if (best == nullptr) {
            continue;
        }
        if (forward) {
            r.m_pNext = best;
            r.m_nextID = static_cast<int16_t>(best->m_id);
        } else {
            r.m_pPrev = best;
            r.m_prevID = static_cast<int16_t>(best->m_id);
        }
    }
}

void NewSceneAnalyzer::TrackCcs() {
    if (m_ccs.Count() == 0) {
        return;
    }
    Array<NewConnectedComponent>& current = m_ccs.GetCurrent();
    if (m_ccs.Count() == 1) {
        for (int i = 1; i < current.Size(); ++i) {
            current[i].m_objectId = PopObjectId();
        }
        return;
    }
    Array<NewConnectedComponent>& previous = m_ccs.GetPrevious(1);
    MatchForward(previous, current, true);
    MatchForward(current, previous, false);
    for (int i = 1; i < previous.Size(); ++i) {
        NewConnectedComponent& r = previous[i];
        if (r.m_pNext != nullptr && r.m_pNext->m_pPrev != &r) {
            r.m_pNext = nullptr;
            r.m_nextID = -1;
        }
    }
    for (int i = 1; i < current.Size(); ++i) {
        NewConnectedComponent& r = current[i];
        // The previous frame's side was settled first, so a mutual link
        // still points back.
        if (r.m_pPrev != nullptr && r.m_pPrev->m_pNext != &r) {
            r.m_pPrev = nullptr;
            r.m_prevID = -1;
        }
    }
    for (int i = 1; i < previous.Size(); ++i) {
        // Id 0 stands for no object and is never handed out.
        if (previous[i].m_pNext == nullptr && previous[i].m_objectId != 0) {
            m_freeObjectIds.push_back(previous[i].m_objectId);
        }
    }
    for (int i = 1; i < current.Size(); ++i) {
        NewConnectedComponent& r = current[i];
        r.m_objectId = r.m_pPrev != nullptr ? r.m_pPrev->m_objectId : PopObjectId();
    }
}

const NewConnectedComponent* NewSceneAnalyzer::GetCCByPoint(const Vector3D<float>& p) const {
    if (m_pCommonData == nullptr || m_ccs.Count() == 0 || !std::isfinite(p.x) || !std::isfinite(p.y) ||
        !std::isfinite(p.z) || m_pCommonData->m_pWorldPointConverters[m_configuration.m_resolution] == nullptr) {
        return nullptr;
    }
    const WorldPointConverter<float>& converter = *m_pCommonData->m_pWorldPointConverters[m_configuration.m_resolution];
    // The point's depth indexes the converter's tables.
    const float rounded = p.z + 0.5f;
    if (!(p.z >= 0.0f) || !(rounded < static_cast<float>(converter.m_nDepthTableSize))) {
        return nullptr;
    }
    const int depthIndex = static_cast<int>(rounded);
    const float f = converter.m_pInvPixelSizeAtDepth[depthIndex];
    const float column = f * p.x + converter.m_fCenterX + 0.5f;
    const float row = converter.m_fCenterY - f * p.y + 0.5f;
    // Far off the image: inside no region's bounds.
    constexpr float kLimit = 1e9f;
    if (std::fabs(column) > kLimit || std::fabs(row) > kLimit) {
        return nullptr;
    }
    const int u = static_cast<int>(column);
    const int v = static_cast<int>(row);
    const int d = static_cast<int>(std::round(p.z));
    const int64_t side = converter.PixelsAtDepthInt(static_cast<int>(p.z), kPointRegionSide);
    const int64_t minPixels = side * side;
    const Array<NewConnectedComponent>& ccs = m_ccs.GetCurrent();
    const NewConnectedComponent* best = nullptr;
    float bestDistance = kFarthest;
    for (int i = 1; i < ccs.Size(); ++i) {
        const NewConnectedComponent& r = ccs[i];
        if (r.m_pixelCount < minPixels || u < r.m_bounds.min.x || u > r.m_bounds.max.x || v < r.m_bounds.min.y ||
            v > r.m_bounds.max.y || d < r.m_bounds.min.z || d > r.m_bounds.max.z) {
            continue;
        }
        const float distance = SquaredDistance(r.m_RWCenter, p);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = &r;
        }
    }
    return best;
}

const NewConnectedComponent* NewSceneAnalyzer::GetCCByObjectId(int id) const {
    if (m_ccs.Count() == 0) {
        return nullptr;
    }
    const Array<NewConnectedComponent>& ccs = m_ccs.GetCurrent();
    for (int i = 1; i < ccs.Size(); ++i) {
        if (ccs[i].m_objectId == id) {
            return &ccs[i];
        }
    }
    return nullptr;
}

void NewSceneAnalyzer::ResetCCs() {
    m_ccs.Clear();
    for (int k = 0; k < kHistory; ++k) {
        Array<NewConnectedComponent>& slot = m_ccs.GetPrevious(k);
        if (slot.Capacity() < kMaxRegions) {
            slot.Deallocate();
            slot.EnsureCapacity(kMaxRegions, false);
        }
        slot.Clear();
    }
}

void NewSceneAnalyzer::ResetCCsPointers() {
    const int frames = m_ccs.Count();
    // Frame k is the one stored k frames before the newest.
    for (int k = frames - 1; k >= 0; --k) {
        std::map<uint16_t, NewConnectedComponent*>& map = m_ccMaps.GetPrevious(k);
        map.clear();
        Array<NewConnectedComponent>& ccs = m_ccs.GetPrevious(k);
        for (int i = 0; i < ccs.Size(); ++i) {
            map[ccs[i].m_id] = &ccs[i];
        }
    }
    const auto find = [this](int k, int label) -> NewConnectedComponent* {
        if (label < 0) {
            return nullptr;
        }
        const std::map<uint16_t, NewConnectedComponent*>& map = m_ccMaps.GetPrevious(k);
        const auto it = map.find(static_cast<uint16_t>(label));
        return it == map.end() ? nullptr : it->second;
    };
    for (int k = frames - 1; k >= 0; --k) {
        Array<NewConnectedComponent>& ccs = m_ccs.GetPrevious(k);
        for (int i = 0; i < ccs.Size(); ++i) {
            ccs[i].m_pNext = k > 0 ? find(k - 1, ccs[i].m_nextID) : nullptr;
            ccs[i].m_pPrev = k < frames - 1 ? find(k + 1, ccs[i].m_prevID) : nullptr;
        }
    }
}
