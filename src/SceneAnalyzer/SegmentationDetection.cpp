// Detection of new users: from a tracked motion suspect, from a cluster of
// free foreground components, or from a seed point. Each gathers free
// components into a body, checks that it is large and tall enough and no
// user hidden behind another, and starts a user with them.

#include <algorithm>
#include <climits>
#include <iostream>

#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/MotionCandidate.h"
#include "SceneAnalyzer/MotionDetectorByEdges.h"
#include "SceneAnalyzer/Segmentation.h"

using scene_analysis::MmPerPixel;

void Segmentation::detectionBySuspects(const MotionDetectorByEdges& motion) {
    const std::list<Suspect>& suspects = motion.suspects();
    m_markedSuspects.assign(suspects.size(), 0);
    bool any = false;
    size_t index = 0;
    for (const Suspect& suspect : suspects) {
        if (suspect.tracked() && !trackedUserInBox(suspect.currentBoxDepth())) {
            m_markedSuspects[index] = 1;
            any = true;
        }
        ++index;
    }
    if (!any) {
        return;
    }
    computeCCPropertiesForDetection();
    index = 0;
    for (const Suspect& suspect : suspects) {
        if (m_markedSuspects[index++] == 0) {
            continue;
        }
        if (m_freeIds.empty()) {
            return;
        }
        const Box3D<int>& s = suspect.currentBoxDepth();
        const int u = static_cast<int>(1000.0f * scene_analysis::PixelsPerMm(*m_converter, s.max.z));
        const long long g = static_cast<long long>(static_cast<float>(s.max.x - s.min.x) *
                                                   scene_analysis::PixelAreaMm2(*m_converter, s.max.z) *
                                                   static_cast<float>(s.max.y - s.min.y) * 3.0f * 0.5f);
        m_numFgCCs = 0;
        long long taken = 0;
        for (int c = 1; c <= m_numCCs; ++c) {
            if (m_ccNoDepth[c] || m_ccUserId[c] != 0) {
                continue;
            }
            const Box3D<int>& b = m_ccBox[c];
            const bool centreInside = m_ccCenterX[c] > s.min.x && m_ccCenterX[c] < s.max.x &&
                                      m_ccCenterY[c] > s.min.y && m_ccCenterY[c] < s.max.y &&
                                      m_ccCenterZ[c] > s.min.z && m_ccCenterZ[c] < s.max.z;
            const bool boxInside = b.min.x >= static_cast<long long>(s.min.x) - u &&
                                   b.max.x <= static_cast<long long>(s.max.x) + u &&
                                   b.min.y >= static_cast<long long>(s.min.y) - u / 2 &&
                                   b.max.y <= static_cast<long long>(s.max.y) + u / 2 &&
                                   b.min.z >= static_cast<long long>(s.min.z) - 1000 &&
                                   b.max.z <= static_cast<long long>(s.max.z) + 500;
            if (centreInside && boxInside && taken + m_ccArea[c] < g) {
                m_fgCCs[m_numFgCCs++] = c;
                taken += m_ccArea[c];
            }
        }
        if (taken <= 99999) {
            continue;
        }
        const unsigned short id = TakeFreeId();
        Trace(id, " Created by suspects (regular)");
        User& user = m_users[id];
        user.init(m_commonData, suspect, id, m_resolution);
        m_glueAfterDetection = true;
        for (int i = 0; i < m_numFgCCs; ++i) {
            const int c = m_fgCCs[i];
            if (user.addCC(c)) {
                m_ccUserId[c] = id;
                computeZBounds(c);
            }
        }
    }
}

void Segmentation::detectionByFg() {
    clusterFgCCs(false, false);
    const int n = m_numFgCCs;
    const XnUInt16* cluster = m_disjointSet.Parent();
    for (int i = 0; i < m_numClusters; ++i) {
        if (m_clusterStatus[i] == 0) {
            continue;
        }
        if (m_freeIds.empty()) {
            return;
        }
        const bool kind2 = m_clusterStatus[i] == 2;
        int end = n;
        long long rows = 0;
        bool sawNoDepth = false;
        int minY = INT_MAX;
        int maxY = INT_MIN;
        int maxZ = INT_MIN;
        for (int p = 0; p < n; ++p) {
            if (cluster[p] != i) {
                continue;
            }
            const int c = m_fgCCs[p];
            if (isCCOnNoDepth(c)) {
                sawNoDepth = true;
                continue;
            }
            if (end >= kMaxCCs) {
                break;
            }
            m_fgCCs[end++] = c;
            const Box3D<int>& b = m_ccBox[c];
            rows += b.max.y - b.min.y + 1;
            minY = std::min(minY, b.min.y);
            maxY = std::max(maxY, b.max.y);
            maxZ = std::max(maxZ, b.max.z);
        }
        const int k = end;
        if (sawNoDepth) {
            if (k == n) {
                continue;
            }
            if (static_cast<int>(static_cast<float>(maxY - minY) * MmPerPixel(*m_converter, maxZ)) <= 799 && !kind2) {
                continue;
            }
        }
        const Box3D<int>& box = m_clusterBox[i];
        const long long boxHeight = static_cast<long long>(box.max.y) - box.min.y;
        const int h = static_cast<int>(n < 1 ? std::min(boxHeight, 0LL) : std::min(rows, boxHeight));
        for (int p = n; p < k; ++p) {
            const int c = m_fgCCs[p];
            findAdjacentCandidates(c, m_ccBox[c], end);
        }
        for (int p = n; p < k; ++p) {
            const int c = m_fgCCs[p];
            updateCCsAdjacency(m_ccBox[c], c, false);
        }
        int minX = box.min.x;
        int maxX = box.max.x;
        minY = box.min.y;
        maxY = box.max.y;
        if (finalDecisionForGluingAdjacentCCs(minX, maxX, minY, maxY, k, end, h, true, kind2) ||
            8LL * (maxY - minY) > 10LL * h) {
            continue;
        }
        int minZ = box.min.z;
        maxZ = box.max.z;
        for (int p = k; p < end; ++p) {
            const int c = m_fgCCs[p];
            RecomputeZBounds(c);
            minZ = std::min(minZ, m_ccBox[c].min.z);
            maxZ = std::max(maxZ, m_ccBox[c].max.z);
        }
        if (static_cast<float>(maxX - minX) * MmPerPixel(*m_converter, maxZ) > 800.0f ||
            static_cast<long long>(maxZ) - minZ > 800 || checkOcclusion(minZ, maxZ, maxX, minX)) {
            continue;
        }
        const unsigned short id = TakeFreeId();
        Trace(id, " Created by FG (regular)");
        User& user = m_users[id];
        user.init(m_commonData, Box3D<int>(Vector3D<int>(minX, minY, minZ), Vector3D<int>(maxX, maxY, maxZ)), id,
                  m_resolution);
        m_glueAfterDetection = true;
        for (int p = n; p < end; ++p) {
            const int c = m_fgCCs[p];
            if (m_ccUserId[c] != 0 || !user.addCC(c)) {
                continue;
            }
            m_ccUserId[c] = id;
            if (!m_ccIsPositive[c]) {
                computeArea(c);
                computePixCount(c);
                computeCenter(c);
                computeZBounds(c);
            }
        }
    }
}

void Segmentation::detectionByPoint(const std::vector<Vector2D<int>>* points) {
    if (points == nullptr) {
        return;
    }
    const XnDepthPixel* depth = m_depth->Data();
    const XnLabel* labels = Labels().Data();
    for (const Vector2D<int>& point : *points) {
        // Seeds come from files: a point off the image or on no component
        // seeds nothing.
        if (point.x < 0 || point.x >= m_width || point.y < 0 || point.y >= m_height) {
            continue;
        }
        const int i = point.y * m_width + point.x;
        if (depth[i] == 0) {
            continue;
        }
        const int c = labels[i];
        if (c == 0 || c > m_numCCs) {
            continue;
        }
        computeZBounds(c);
        const Box3D<int>& b = m_ccBox[c];
        const long long h = static_cast<int>(static_cast<float>(b.max.y - b.min.y) * MmPerPixel(*m_converter, b.max.z));
        if (h <= 799) {
            continue;
        }
        computeArea(c);
        if (m_ccArea[c] < h * h / 10) {
            continue;
        }
        const unsigned short id = TakeFreeId();
        if (id == 0) {
            return;
        }
        User& user = m_users[id];
        user.init(m_commonData, m_ccBox[c], id, m_resolution);
        if (user.addCC(c)) {
            m_ccUserId[c] = id;
            computePixCount(c);
            computeCenter(c);
            computeZBounds(c);
        }
    }
}
