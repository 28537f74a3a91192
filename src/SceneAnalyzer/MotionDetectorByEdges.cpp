#include "SceneAnalyzer/MotionDetectorByEdges.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "NACommon/NACommonData.h"
#include "OSLayer/XnOS.h"

MotionDetectorByEdges::MotionDetectorByEdges()
    : m_blocks(),
      m_nBlocks(0),
      m_pCommonData(nullptr),
      m_resolution(INVALID),
      m_nXRes(0),
      m_nYRes(0),
      m_nPixels(0),
      m_pDepthMap(nullptr),
      m_pShiftMap(nullptr),
      m_pShadowMap(nullptr),
      m_fPixelSize(0.0f),
      m_blockPool(new Block[kMaxBlocks]),
      m_nNextFreeBlock(0),
      m_closedBlocks(),
      m_nClosedBlocks(0),
      m_openBlocks(),
      m_nOpenBlocks(0),
      m_startDepths(),
      m_endDepths(),
      m_startX(),
      m_endX(),
      m_nNextSuspectId(0),
      m_bProfiling(0),
      m_bSSE(0),
      m_nMaxDepth(0),
      m_nNoDepthValue(0),
      m_bMirrored(false),
      m_nDroppedCouples(0),
      m_nDroppedBlocks(0) {
    m_blockSets.SetCapacity(kMaxBlocks);
}

MotionDetectorByEdges::~MotionDetectorByEdges() {
    if (m_profFile.is_open()) {
        m_profFile.close();
    }
}

void MotionDetectorByEdges::init(NACommonData* hub, Resolution res, int sse, int profiling,
                                 unsigned short maxSupportedDepth) {
    m_pCommonData = hub;
    m_resolution = res;
    m_bSSE = sse;
    m_bProfiling = profiling;
    m_nNextSuspectId = 0;
    m_suspects.clear();
    m_clusters.clear();
    m_nBlocks = 0;
    m_nNextFreeBlock = 0;
    m_nMaxDepth = maxSupportedDepth;
    if (hub == nullptr || !IsValidResolution(res)) {
        m_nXRes = m_nYRes = m_nPixels = 0;
        return;
    }
    m_nXRes = g_nXRes[res];
    m_nYRes = g_nYRes[res];
    m_nPixels = m_nXRes * m_nYRes;
    m_blockMap.AllocateData(static_cast<XnUInt32>(m_nXRes), static_cast<XnUInt32>(m_nYRes));
    m_der.SetSize(m_nYRes, m_nXRes, false);
    m_filledDepth.SetSize(m_nYRes, m_nXRes, false);
    const WorldPointConverter<float>* converter = hub->m_pWorldPointConverters[res];
    m_fPixelSize = converter != nullptr ? converter->m_fPixelSizeFactor : 0.0f;
    m_blockSets.SetCapacity(kMaxBlocks);
    m_nNoDepthValue = static_cast<uint16_t>(hub->m_sensorParams.nDeviceMaxDepthValue + 1);
}

void MotionDetectorByEdges::SetProfFile(const char* path) {
    m_profFile.open(path, std::ios::out | std::ios::trunc);
    m_profFile << "---,  ---,  Derivate,  CreateBlocks,  UpdateBlocks,  MergeBlocks,  UpdateClusters,  "
                  "UpdateSuspected,  EraseSuspected,  NewSuspects,  Total"
               << std::endl;
}

void MotionDetectorByEdges::update(const Array2D<unsigned short>& shadowMap) {
    if (m_pCommonData == nullptr || m_nPixels == 0 || m_fPixelSize <= 0.0f) {
        return;
    }
    // A stale or missing pyramid level ends the process inside the hub.
    if (!SetMaps(m_pCommonData->DepthMap(m_resolution, 0), m_pCommonData->ShiftMap(m_resolution, 0), shadowMap)) {
        return;
    }
    Detect();
}

void MotionDetectorByEdges::Detect() {
    XnUInt64 stamps[9] = {};
    xnOSGetHighResTimeStamp(&stamps[0]);
    if (m_bSSE != 0) {
        derivateImage_SSE();
    } else {
        derivateImage();
    }
    xnOSGetHighResTimeStamp(&stamps[1]);
    createBlocks();
    xnOSGetHighResTimeStamp(&stamps[2]);
    updateBlockParams();
    xnOSGetHighResTimeStamp(&stamps[3]);
    mergeBlocksIntoClusters();
    xnOSGetHighResTimeStamp(&stamps[4]);
    updateClusterParams();
    xnOSGetHighResTimeStamp(&stamps[5]);
    updateSuspectsByClusters();
    xnOSGetHighResTimeStamp(&stamps[6]);
    eraseSuspects();
    xnOSGetHighResTimeStamp(&stamps[7]);
    createNewSuspects();
    xnOSGetHighResTimeStamp(&stamps[8]);
    if (m_bProfiling != 0 && m_profFile.is_open()) {
        for (int i = 1; i < 9; ++i) {
            m_profFile << static_cast<double>(stamps[i] - stamps[i - 1]) * 1e-3 << ",  ";
        }
        m_profFile << static_cast<double>(stamps[8] - stamps[0]) * 1e-3 << std::endl;
    }
}

bool MotionDetectorByEdges::SetMaps(const xn::DepthMetaData& depth, const Array2D<unsigned short>& shift,
                                    const Array2D<unsigned short>& shadowMap) {
    if (static_cast<int>(depth.XRes()) != m_nXRes || static_cast<int>(depth.YRes()) != m_nYRes ||
        depth.Data() == nullptr || shift.Columns() != m_nXRes || shift.Rows() != m_nYRes ||
        shadowMap.Columns() != m_nXRes || shadowMap.Rows() != m_nYRes) {
        return false;
    }
    m_pDepthMap = &depth;
    m_pShiftMap = &shift;
    m_pShadowMap = &shadowMap;
    return true;
}

short MotionDetectorByEdges::EdgeCode(int a, int b, int shadowA, int shadowB, int shiftA, int shiftB, bool mirrored,
                                      int maxDepth) {
    const int step = a - b;
    if (step > kEdgeStep) {
        // A far side that is a filled shadow no deeper than the near side
        // is no edge.
        if (mirrored && shadowA != 0 && shiftB >= shadowA) {
            return 0;
        }
        return b <= maxDepth ? 1 : 0;
    }
    if (step < -kEdgeStep) {
        if (!mirrored && shadowB != 0 && shiftA >= shadowB) {
            return 0;
        }
        return a <= maxDepth ? -1 : 0;
    }
    return 0;
}

void MotionDetectorByEdges::FillDepth(int first) {
    const XnDepthPixel* depth = m_pDepthMap->Data();
    unsigned short* filled = m_filledDepth.Data();
    for (int i = first; i < m_nPixels; ++i) {
        filled[i] = depth[i] == 0 ? m_nNoDepthValue : depth[i];
    }
}

void MotionDetectorByEdges::FixBorderColumn() {
    short* der = m_der.Data();
    for (int y = 0; y < m_nYRes; ++y) {
        if (m_bMirrored) {
            der[y * m_nXRes + m_nXRes - 1] = -1;
        } else {
            der[y * m_nXRes] = 1;
        }
    }
}

void MotionDetectorByEdges::DerivatePixels(int first) {
    const unsigned short* filled = m_filledDepth.Data();
    const unsigned short* shadow = m_pShadowMap->Data();
    const unsigned short* shift = m_pShiftMap->Data();
    short* der = m_der.Data();
    // The image is one sequence of pixels; past its last one lies a pixel
    // without depth or shadow.
    for (int i = first; i < m_nPixels; ++i) {
        const bool last = i + 1 == m_nPixels;
        der[i] = EdgeCode(filled[i], last ? m_nNoDepthValue : filled[i + 1], shadow[i], last ? 0 : shadow[i + 1],
                          shift[i], last ? 0 : shift[i + 1], m_bMirrored, m_nMaxDepth);
    }
}

void MotionDetectorByEdges::derivateImage() {
    m_bMirrored = m_pCommonData->m_pDepthGenerator != nullptr && m_pCommonData->m_pDepthGenerator->IsMirrored();
    FillDepth(0);
    DerivatePixels(0);
    FixBorderColumn();
}

void MotionDetectorByEdges::AddCouple(const Couple& couple) {
    for (int k = 0; k < m_nOpenBlocks; ++k) {
        Block* block = m_openBlocks[k];
        const Couple& last = block->lastCouple();
        if (last.row >= couple.row) {
            continue;
        }
        const int overlap = std::min(couple.endCol, last.endCol) - std::max(couple.startCol, last.startCol);
        const int longer = std::max(last.endCol - last.startCol, couple.endCol - couple.startCol);
        if (overlap * 5 >= longer * 4 && std::abs(couple.endDepth - last.endDepth) <= 200 &&
            std::abs(couple.startDepth - last.startDepth) <= 200) {
            if (!block->pushCouple(couple)) {
                ++m_nDroppedCouples;
            }
            return;
        }
    }
    if (m_nNextFreeBlock >= kMaxBlocks) {
        ++m_nDroppedBlocks;
        return;
    }
    Block* block = &m_blockPool[m_nNextFreeBlock++];
    block->init();
    block->pushCouple(couple);
    m_openBlocks[m_nOpenBlocks++] = block;
}

void MotionDetectorByEdges::createBlocks() {
    m_nNextFreeBlock = 0;
    m_nBlocks = 0;
    m_nOpenBlocks = 0;
    m_nClosedBlocks = 0;
    m_nDroppedCouples = 0;
    m_nDroppedBlocks = 0;
    const int wMin = static_cast<int>(30.0f / m_fPixelSize);
    const int wMax = static_cast<int>(700.0f / m_fPixelSize);
    const int W = m_nXRes;
    // The fixed border column closes runs at the right border in a mirrored
    // layout; otherwise the last column's code belongs to the row wrap.
    const int lastColumn = m_bMirrored ? W - 1 : W - 2;
    for (int y = 0; y < m_nYRes; ++y) {
        const short* der = m_der.Data() + y * W;
        const unsigned short* filled = m_filledDepth.Data() + y * W;
        bool open = false;
        int startCol = 0;
        int startDepth = 0;
        for (int x = 0; x <= lastColumn; ++x) {
            if (der[x] == 1) {
                if (x + 1 < W) {
                    open = true;
                    startCol = x + 1;
                    startDepth = filled[x + 1];
                }
            } else if (der[x] == -1 && open) {
                const int c = filled[x];
                const int w = ((startDepth + c) * (x - startCol)) / 2;
                if (std::abs(c - startDepth) <= 700 && w >= wMin && w <= wMax) {
                    AddCouple({y, startCol, x, static_cast<uint16_t>(startDepth), static_cast<uint16_t>(c)});
                    open = false;
                }
            }
        }
        for (int k = 0; k < m_nOpenBlocks;) {
            if (m_openBlocks[k]->lastCouple().row < y) {
                m_closedBlocks[m_nClosedBlocks++] = m_openBlocks[k];
                m_openBlocks[k] = m_openBlocks[--m_nOpenBlocks];
            } else {
                ++k;
            }
        }
    }
    const int minCouples = static_cast<int>((static_cast<unsigned>(W) * 5u) / 320u);
    for (int k = 0; k < m_nOpenBlocks; ++k) {
        if (m_openBlocks[k]->count() >= minCouples) {
            m_blocks[m_nBlocks++] = m_openBlocks[k];
        }
    }
    for (int k = 0; k < m_nClosedBlocks; ++k) {
        if (m_closedBlocks[k]->count() >= minCouples) {
            m_blocks[m_nBlocks++] = m_closedBlocks[k];
        }
    }
}

template <typename T>
int MotionDetectorByEdges::Merge2SortedListsIntoFirst(T* first, T** firstEnd, const T* second, const T* secondEnd) {
    const int n1 = static_cast<int>(*firstEnd - first);
    const int n2 = static_cast<int>(secondEnd - second);
    int i = n1 - 1;
    int j = n2 - 1;
    for (int k = n1 + n2 - 1; j >= 0; --k) {
        if (i >= 0 && first[i] > second[j]) {
            first[k] = first[i--];
        } else {
            first[k] = second[j--];
        }
    }
    *firstEnd = first + n1 + n2;
    return n1 + n2;
}

template int MotionDetectorByEdges::Merge2SortedListsIntoFirst<uint16_t>(uint16_t*, uint16_t**, const uint16_t*,
                                                                         const uint16_t*);
template int MotionDetectorByEdges::Merge2SortedListsIntoFirst<int32_t>(int32_t*, int32_t**, const int32_t*,
                                                                        const int32_t*);

int MotionDetectorByEdges::power(int base, int exponent) {
    int result = 1;
    for (int i = 0; i < exponent; ++i) {
        result *= base;
    }
    return result;
}

void MotionDetectorByEdges::updateBlockParams() {
    const WorldPointConverter<float>& converter = *m_pCommonData->m_pWorldPointConverters[m_resolution];
    const int64_t centerX = converter.m_nCenterX;
    for (int b = 0; b < m_nBlocks; ++b) {
        Block& block = *m_blocks[b];
        const int n = block.count();
        int64_t sum = 0;
        int leftPixel = m_nXRes;
        int rightPixel = 0;
        int k = 0;
        for (const Couple* c = block.couples(); c != block.couplesEnd(); ++c, ++k) {
            m_startDepths[k] = c->startDepth;
            m_endDepths[k] = c->endDepth;
            m_startX[k] = static_cast<int32_t>((1024 + (c->startCol - centerX) * converter.LengthAt(c->startDepth)) >> 11);
            m_endX[k] = static_cast<int32_t>((1024 + (c->endCol - centerX) * converter.LengthAt(c->endDepth)) >> 11);
            sum += static_cast<int64_t>(m_endX[k] - m_startX[k]) * (c->startDepth + c->endDepth);
            leftPixel = std::min(leftPixel, c->startCol);
            rightPixel = std::max(rightPixel, c->endCol);
        }
        block.area = static_cast<int32_t>(m_fPixelSize * static_cast<float>(sum / 2));
        block.leftPixel = leftPixel;
        block.rightPixel = rightPixel;
        std::sort(m_startDepths, m_startDepths + n);
        std::sort(m_endDepths, m_endDepths + n);
        std::sort(m_startX, m_startX + n);
        std::sort(m_endX, m_endX + n);
        const int m = (n + 1) / 2 - 1;
        block.leftDepth = m_startDepths[m];
        block.rightDepth = m_endDepths[m];
        block.center[0] = (m_startDepths[m] + m_endDepths[m]) >> 1;
        block.center[1] = (m_startX[m] + m_endX[m]) / 2;
        uint16_t* depthEnd = m_startDepths + n;
        const int t = Merge2SortedListsIntoFirst(m_startDepths, &depthEnd, m_endDepths, m_endDepths + n);
        int32_t* xEnd = m_startX + n;
        Merge2SortedListsIntoFirst(m_startX, &xEnd, m_endX, m_endX + n);
        const int low = std::max((t + 5) / 10, 1) - 1;
        const int high = (9 * t + 5) / 10 - 1;
        block.front = m_startDepths[low];
        block.rear = m_startDepths[high];
        block.left = m_startX[low];
        block.right = m_startX[high];
        block.setXZArea();
    }
}

void MotionDetectorByEdges::mergeBlocksIntoClusters() {
    m_clusters.clear();
    XnUInt16* parent = m_blockSets.Parent();
    for (int i = 0; i < m_nBlocks; ++i) {
        parent[i] = static_cast<XnUInt16>(i);
    }
    m_blockSets.Count() = static_cast<XnUInt32>(m_nBlocks);
    const auto centreInside = [](const Block& c, const Block& box) {
        return box.front < c.center[0] && c.center[0] < box.rear && box.left < c.center[1] && c.center[1] < box.right;
    };
    for (int i = 0; i < m_nBlocks; ++i) {
        const Block& a = *m_blocks[i];
        for (int j = i + 1; j < m_nBlocks; ++j) {
            const Block& b = *m_blocks[j];
            const int64_t xo = std::min(a.right, b.right) - std::max(a.left, b.left);
            const int64_t zo = static_cast<int64_t>(std::min(a.rear, b.rear)) - std::max(a.front, b.front);
            const bool overlap =
                xo >= 0 && zo >= 0 && static_cast<double>(xo * zo) > 0.5 * static_cast<double>(std::min(a.xzArea, b.xzArea));
            if (overlap || centreInside(a, b) || centreInside(b, a)) {
                m_blockSets.Union(static_cast<XnUInt16>(i), static_cast<XnUInt16>(j));
            }
        }
    }
    const int sets = m_blockSets.Compact(static_cast<XnUInt16>(m_nBlocks), false);
    for (int s = 0; s < sets; ++s) {
        int64_t area = 0;
        for (int i = 0; i < m_nBlocks; ++i) {
            if (parent[i] == s) {
                area += m_blocks[i]->area;
            }
        }
        if (area < kMinClusterArea) {
            continue;
        }
        m_clusters.emplace_back();
        Cluster& cluster = m_clusters.back();
        cluster.area = static_cast<int32_t>(std::min<int64_t>(area, INT32_MAX));
        for (int i = 0; i < m_nBlocks; ++i) {
            if (parent[i] == s) {
                cluster.pushBlock(m_blocks[i]);
            }
        }
    }
}

void MotionDetectorByEdges::updateClusterParams() {
    for (Cluster& cluster : m_clusters) {
        cluster.updateParams(m_nXRes, m_nYRes);
    }
}

void MotionDetectorByEdges::updateSuspectsByClusters() {
    for (Suspect& suspect : m_suspects) {
        suspect.setCluster(nullptr);
        Cluster* largest = nullptr;
        const float* centre = suspect.currentCenter();
        const Box3D<int>& box = suspect.currentBox();
        for (Cluster& cluster : m_clusters) {
            const float dx = centre[0] - cluster.center[0];
            const float dz = centre[1] - cluster.center[1];
            if (std::sqrt(dx * dx + dz * dz) > 100.0f) {
                continue;
            }
            cluster.matched = true;
            const int overlap = std::min(box.max.y, cluster.topPixel) - std::max(box.min.y, cluster.bottomPixel);
            if (overlap * 2 < std::max(cluster.topPixel - cluster.bottomPixel, box.max.y - box.min.y)) {
                continue;
            }
            if (cluster.suspect == nullptr) {
                cluster.suspect = &suspect;
            } else if (cluster.suspect->area() < suspect.area()) {
                cluster.suspect->setCluster(nullptr);
                cluster.suspect = &suspect;
            }
            if (largest == nullptr || cluster.area > largest->area) {
                largest = &cluster;
            }
        }
        suspect.setCluster(largest);
    }
    for (Suspect& suspect : m_suspects) {
        if (suspect.cluster() != nullptr) {
            suspect.update(false);
        }
    }
}

void MotionDetectorByEdges::eraseSuspects() {
    m_suspects.remove_if([](const Suspect& s) { return s.cluster() == nullptr; });
}

void MotionDetectorByEdges::createNewSuspects() {
    for (const Cluster& cluster : m_clusters) {
        if (!cluster.matched) {
            m_suspects.emplace_back(m_pCommonData, m_nNextSuspectId++, cluster, m_resolution);
        }
    }
}

void MotionDetectorByEdges::GetDebugBoxes(std::vector<Box3D<int> >& boxes, std::vector<int>& ids,
                                          const std::string& type) const {
    boxes.clear();
    ids.clear();
    if (type == "suspects") {
        for (const Suspect& s : m_suspects) {
            boxes.push_back(s.currentBoxDepth());
        }
    } else if (type == "clusters") {
        for (const Cluster& c : m_clusters) {
            boxes.emplace_back(Vector3D<int>(c.leftPixel, c.bottomPixel, std::max(c.front - 100, 0)),
                               Vector3D<int>(c.rightPixel, c.topPixel, c.rear));
        }
    } else if (type == "blocks") {
        for (const Cluster& c : m_clusters) {
            for (const Block* b : c.blocks) {
                boxes.emplace_back(Vector3D<int>(b->leftPixel, b->firstRow(), b->front),
                                   Vector3D<int>(b->rightPixel, b->lastRow(), b->rear));
            }
        }
    } else {
        std::cerr << "MotionDetectorByEdges::GetDebugBoxes Error - Unknown boxes type" << std::endl;
    }
}

void MotionDetectorByEdges::debugBlocks() {
    XnLabel* map = m_blockMap.WritableData();
    if (map == nullptr) {
        return;
    }
    std::memset(map, 0, m_blockMap.DataSize());
    for (int k = 0; k < m_nBlocks; ++k) {
        for (const Couple* c = m_blocks[k]->couples(); c != m_blocks[k]->couplesEnd(); ++c) {
            for (int x = c->startCol; x <= c->endCol; ++x) {
                map[c->row * m_nXRes + x] = static_cast<XnLabel>(k + 1);
            }
        }
    }
}
