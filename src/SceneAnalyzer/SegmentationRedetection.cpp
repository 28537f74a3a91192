// Redetection: occluded users get back the free components that reappear
// where they were hidden, users that never left their first place get back
// the components standing in their stable box, and components enclosed by a
// user's pixels join that user.

#include <algorithm>
#include <climits>
#include <iostream>

#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/Segmentation.h"
#include "SceneAnalyzer/SegmentationBoxes.h"

using scene_analysis::MeetX;
using scene_analysis::MeetY;
using scene_analysis::MeetZ;

void Segmentation::RecomputeZBounds(int label) {
    m_ccBox[label].min.z = INT_MAX;
    m_ccBox[label].max.z = INT_MIN;
    m_ccBoxInRoom[label] = Box3D<int>();
    computeZBounds(label);
}

void Segmentation::redetectOccludedUsersByFG() {
    User* candidates[kMaxUsers];
    int count = 0;
    for (int k = 1; k <= kMaxUsers; ++k) {
        if (m_users[k].alive() && m_users[k].partiallyOrFullyOccluded()) {
            candidates[count++] = &m_users[k];
        }
    }
    if (count == 0) {
        return;
    }
    for (int c = 1; c <= m_numCCs; ++c) {
        if (m_ccUserId[c] != 0 || (!m_ccIsFg[c] && !m_ccCutInDepth[c])) {
            continue;
        }
        User* user = findClosestUserToCC(&m_ccBox[c], count, candidates, m_ccArea[c], m_ccCenterZ[c], m_ccXZCenter[c],
                                         m_ccRedetected[c], m_ccCutInDepth[c]);
        if (user == nullptr) {
            continue;
        }
        const int id = user->id();
        if (m_verbose) {
            std::cout << m_frameId << ": Redetecting user " << id << std::endl;
        }
        if (!user->addCC(c)) {
            continue;
        }
        m_glueAfterRedetection = true;
        m_redetectFlags[id] = 1;
        m_ccUserId[c] = static_cast<unsigned short>(id);
        user->redetection();

        // The body grows by the background-coloured neighbours along most of
        // the component's height.
        const Box3D<int>& box = m_ccBox[c];
        m_numFgCCs = 0;
        findAdjacentCandidates(c, box, m_numFgCCs);
        if (m_numFgCCs == 0) {
            continue;
        }
        updateCCsAdjacency(box, c, true);
        int minX = box.min.x;
        int maxX = box.max.x;
        int minY = box.min.y;
        int maxY = box.max.y;
        finalDecisionForGluingAdjacentCCs(minX, maxX, minY, maxY, 0, m_numFgCCs, 0, false, false);
        if (m_numFgCCs == 0 || 10LL * (box.max.y - box.min.y) < 8LL * (maxY - minY)) {
            continue;
        }
        int minZ = box.min.z;
        int maxZ = box.max.z;
        for (int i = 0; i < m_numFgCCs; ++i) {
            const int e = m_fgCCs[i];
            RecomputeZBounds(e);
            minZ = std::min(minZ, m_ccBox[e].min.z);
            maxZ = std::max(maxZ, m_ccBox[e].max.z);
        }
        const float width = static_cast<float>(maxX - minX) * scene_analysis::MmPerPixel(*m_converter, maxZ);
        if (width > 800.0f || static_cast<long long>(maxZ) - minZ > 800) {
            continue;
        }
        for (int i = 0; i < m_numFgCCs; ++i) {
            const int e = m_fgCCs[i];
            if (m_ccUserId[e] != 0 || !user->addCC(e)) {
                continue;
            }
            m_ccUserId[e] = static_cast<unsigned short>(id);
            if (!m_ccIsPositive[e]) {
                computeArea(e);
                computePixCount(e);
                computeCenter(e);
            }
        }
    }
}

void Segmentation::redetectOccludedUsersInSamePlace() {
    for (int k = 1; k <= kMaxUsers; ++k) {
        User& user = m_users[k];
        if (!user.alive() || !user.m_neverFg) {
            continue;
        }
        const Box3D<int>& s = user.stableBox();
        m_numFgCCs = 0;
        int maxZ = INT_MIN;
        int minY = INT_MAX;
        int maxY = INT_MIN;
        for (int c = 1; c <= m_numCCs; ++c) {
            const Box3D<int>& b = m_ccBox[c];
            if (m_ccUserId[c] != 0 || m_ccNoDepth[c] || !MeetX(b, s) || !MeetY(b, s)) {
                continue;
            }
            if (m_ccIsPositive[c] && !MeetZ(b, s)) {
                continue;
            }
            if (user.isFg() && !m_ccIsFg[c]) {
                continue;
            }
            if (2 * scene_analysis::Overlap(b.min.x, b.max.x, s.min.x, s.max.x) < static_cast<long long>(b.max.x) - b.min.x) {
                continue;
            }
            if (m_ccIsFg[c]) {
                m_ccRedetected[c] = true;
            }
            if (!m_ccIsPositive[c]) {
                computeZBounds(c);
                if (!MeetZ(m_ccBox[c], s)) {
                    continue;
                }
            }
            if (m_numFgCCs >= kMaxCCs) {
                break;
            }
            m_fgCCs[m_numFgCCs++] = c;
            maxZ = std::max(maxZ, b.max.z);
            minY = std::min(minY, b.min.y);
            maxY = std::max(maxY, b.max.y);
        }
        if (m_numFgCCs == 0 ||
            static_cast<int>(static_cast<float>(maxY - minY) * scene_analysis::MmPerPixel(*m_converter, maxZ)) <= 799) {
            continue;
        }
        maxZ = INT_MIN;
        minY = INT_MAX;
        maxY = INT_MIN;
        long long total = 0;
        int i = 0;
        while (i < m_numFgCCs) {
            const int c = m_fgCCs[i];
            if (!m_ccIsPositive[c]) {
                computePixCount(c);
            }
            if (!isCCInBox(c, s)) {
                m_fgCCs[i] = m_fgCCs[--m_numFgCCs];
                continue;
            }
            if (!m_ccIsPositive[c]) {
                computeArea(c);
            }
            const Box3D<int>& b = m_ccBox[c];
            maxZ = std::max(maxZ, b.max.z);
            minY = std::min(minY, b.min.y);
            maxY = std::max(maxY, b.max.y);
            total += m_ccArea[c];
            ++i;
        }
        if (m_numFgCCs == 0) {
            continue;
        }
        const int h =
            static_cast<int>(static_cast<float>(maxY - minY) * scene_analysis::MmPerPixel(*m_converter, maxZ));
        const float hf = static_cast<float>(h);
        if (h <= 800 || static_cast<float>(total) <= hf * hf * m_minAreaToHeightSqr) {
            continue;
        }
        for (int j = 0; j < m_numFgCCs; ++j) {
            const int c = m_fgCCs[j];
            if (!user.addCC(c)) {
                continue;
            }
            m_glueAfterRedetection = true;
            m_redetectFlags[k] = 1;
            user.redetection();
            m_ccUserId[c] = static_cast<unsigned short>(k);
            if (!m_ccIsPositive[c]) {
                computeCenter(c);
                computeArea(c);
            }
        }
    }
}

void Segmentation::fillHoles() {
    Box3D<int> boxes[kMaxUsers + 1];
    bool valid[kMaxUsers + 1] = {};
    evaluateUsersBoxes(boxes, valid);
    for (int c = 1; c <= m_numCCs; ++c) {
        if (m_ccIsPositive[c] || m_ccNoDepth[c] || m_ccUserId[c] != 0) {
            continue;
        }
        const Box3D<int>& b = m_ccBox[c];
        for (int k = 1; k <= kMaxUsers; ++k) {
            const Box3D<int>& u = boxes[k];
            if (valid[k] && u.min.x <= b.min.x && b.max.x <= u.max.x &&
                scene_analysis::Overlap(b.min.y, b.max.y, u.min.y, u.max.y) >= -1) {
                findAdjacentUser(b.min.y, b.max.y, b.min.x, b.max.x, c, m_ccUserId[c]);
                break;
            }
        }
    }
}
