// Revision of the users' component lists after the first assignment by
// overlap: background pieces are dropped, parts across a user's last split
// and groups not connected to the body go to another user or are freed, and
// freed background pieces are handed to the background model.

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/Farfield.h"
#include "SceneAnalyzer/Segmentation.h"
#include "SceneAnalyzer/SegmentationBoxes.h"

using scene_analysis::Grow;

namespace {

// The depth ranges of two component boxes come within 1499 mm.
bool NearInDepth(const Box3D<int>& a, const Box3D<int>& b) {
    return static_cast<long long>(a.max.z) >= static_cast<long long>(b.min.z) - 1499 &&
           static_cast<long long>(a.min.z) <= static_cast<long long>(b.max.z) + 1499;
}

}  // namespace

void Segmentation::excludeBgCCs() {
    long long area[kMaxUsers + 1] = {};
    long long fg[kMaxUsers + 1] = {};
    bool anyBackground = false;
    for (int u = 1; u <= kMaxUsers; ++u) {
        const User& user = m_users[u];
        for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
            area[u] += m_ccArea[*c];
            fg[u] += m_ccFgArea[*c];
            anyBackground = anyBackground || m_ccArea[*c] > 10LL * m_ccFgArea[*c];
        }
    }
    if (!anyBackground) {
        return;
    }
    for (const TouchingEvent& event : m_touchings) {
        const int p = event.m_firstId;
        const int q = event.m_secondId;
        area[p] = area[q] = std::max(area[p], area[q]);
        fg[p] = fg[q] = std::max(fg[p], fg[q]);
    }
    for (int u = 1; u <= kMaxUsers; ++u) {
        User& user = m_users[u];
        const bool strict = user.m_isSwallowed || user.m_swallowedId != 0 ? true : 4 * fg[u] < area[u];
        const long long height = user.height();
        const long long h = std::min(height * height / 3, area[u]);
        int i = 0;
        while (i < user.m_ccCount) {
            const int c = user.m_ccList[i];
            const long long a = m_ccArea[c];
            const long long f = m_ccFgArea[c];
            bool keep = (a > 5000 && strict) || a <= 10 * f || f >= h / 4;
            if (!keep) {
                keep = 10 * f < fg[u] ? fg[u] <= 50000 : !user.isFg();
            }
            if (keep) {
                ++i;
                continue;
            }
            m_ccToBackground[c] = true;
            m_ccUserId[c] = 0;
            // The last entry takes this place and is looked at next.
            user.eraseCC(c);
        }
    }
}

void Segmentation::ReassignUserId(int c, bool toBackground, bool cutInDepth) {
    const int u = m_ccUserId[c];
    int best = 0;
    for (int e = 1; e <= kMaxUsers; ++e) {
        if (e != u && m_ccUserMetric[c][e] > 0 && (best == 0 || m_ccUserMetric[c][e] > m_ccUserMetric[c][best])) {
            best = e;
        }
    }
    if (best != 0) {
        m_touchTable[u][best] -= m_ccUserMetric[c][best];
        if (m_users[best].addCC(c)) {
            m_ccUserId[c] = static_cast<unsigned short>(best);
        }
        return;
    }
    m_ccCutInDepth[c] = cutInDepth;
    m_ccToBackground[c] = toBackground;
    m_ccUserId[c] = 0;
}

int Segmentation::calcUpperWidth(int c) {
    const Box3D<int>& box = m_ccBox[c];
    const int z = m_ccCenterZ[c];
    const int top = std::max(box.min.y, 0);
    const int bottom =
        std::min(std::min(box.max.y, box.min.y + static_cast<int>(50 * scene_analysis::PixelsPerMm(*m_converter, z))),
                 m_height - 1);
    const XnLabel* labels = Labels().Data();
    int widest = 0;
    for (int y = top; y <= bottom; ++y) {
        int run = 0;
        for (int x = std::max(box.min.x, 0); x <= std::min(box.max.x, m_width - 1); ++x) {
            run = labels[y * m_width + x] == c ? run + 1 : 0;
            widest = std::max(widest, run);
        }
    }
    return static_cast<int>(static_cast<float>(widest) * scene_analysis::MmPerPixel(*m_converter, z));
}

void Segmentation::ReassignWeaklyRelatedUserParts() {
    const int cx = m_converter->m_nCenterX;
    for (int u = 1; u <= kMaxUsers; ++u) {
        User& user = m_users[u];
        if (!user.alive() || user.IsEmpty()) {
            continue;
        }
        bool depthMode = false;
        int split = 0;
        int ref = 0;
        if (user.m_splitColumn != -1) {
            split = user.m_splitColumn;
            ref = m_converter->PixelsAtDepthInt(user.m_predictedCenter.z, user.m_predictedCenter.x) + cx;
        } else if (user.GetPartitioningInZ() != -1) {
            depthMode = true;
            split = user.GetPartitioningInZ();
            ref = user.m_predictedCenter.z;
        } else {
            continue;
        }
        const int side = split < ref ? 1 : -1;
        long long marked = 0;
        int largest = 0;
        for (int i = 0; i < user.m_ccCount; ++i) {
            const int c = user.m_ccList[i];
            bool mark;
            if (!depthMode) {
                mark = (ref < m_ccBox[c].min.x || ref > m_ccBox[c].max.x) &&
                       static_cast<long long>(m_ccCenterX[c] - split) * side < 0;
            } else {
                mark = (ref < m_ccBoxInRoom[c].min.z || ref > m_ccBoxInRoom[c].max.z) && side == -1 &&
                       m_ccCenterInRoom[c].z > split;
            }
            m_clusterStatus[i] = mark ? 1 : 0;
            if (mark) {
                marked += m_ccArea[c];
                if (largest == 0 || m_ccArea[c] > m_ccArea[largest]) {
                    largest = c;
                }
            }
        }
        if (marked <= 0 ||
            !(static_cast<long long>(user.m_splitZFar) - user.m_splitZNear > 149 || calcUpperWidth(largest) > 99)) {
            continue;
        }
        for (int i = 0; i < user.m_ccCount; ++i) {
            if (m_clusterStatus[i] != 0) {
                ReassignUserId(user.m_ccList[i], false, depthMode);
            }
        }
        user.cleanCCs(m_ccUserId);
    }
}

template <typename F>
void Segmentation::ForEachBorderPixel(const Box3D<int>& box, int u, F visit) const {
    const XnLabel* labels = Labels().Data();
    const unsigned char* der = m_labelDer.Data();
    for (int y = std::max(box.min.y, 1); y <= std::min(box.max.y, m_height - 2); ++y) {
        for (int x = std::max(box.min.x, 1); x <= std::min(box.max.x, m_width - 2); ++x) {
            const int i = y * m_width + x;
            const int k = labels[i];
            if (der[i] != 0 && k != 0 && k < kMaxCCs && k <= m_numCCs && m_ccUserId[k] == u) {
                visit(i, k);
            }
        }
    }
}

void Segmentation::connectCCsThroughImage(const Box3D<int>& box, int u) {
    const XnLabel* labels = Labels().Data();
    const XnDepthPixel* depth = m_depth->Data();
    // A nearer component N met next to k across a depth step connects k
    // with the first component of u met next to N before.
    auto occluder = [&](int k, int n) {
        int& first = m_ccGlueMetric[n][u];
        if (first == 0) {
            first = k;
        } else if (first != k && NearInDepth(m_ccBox[first], m_ccBox[k])) {
            m_disjointSet.Union(static_cast<XnUInt16>(m_ccNode[k]), static_cast<XnUInt16>(m_ccNode[first]));
        }
    };
    ForEachBorderPixel(box, u, [&](int i, int k) {
        const int z = depth[i];
        for (const int j : {i - 1, i - m_width}) {
            const int n = labels[j];
            if (n == 0 || n == k || n >= kMaxCCs || n > m_numCCs) {
                continue;
            }
            const int zn = depth[j];
            if (m_ccUserId[n] == u) {
                if (std::abs(z - zn) <= 1499) {
                    m_disjointSet.Union(static_cast<XnUInt16>(m_ccNode[k]), static_cast<XnUInt16>(m_ccNode[n]));
                }
            } else if (zn != 0 && zn < z - 100) {
                occluder(k, n);
            }
        }
        for (const int j : {i + 1, i + m_width}) {
            const int n = labels[j];
            if (n == 0 || n == k || n >= kMaxCCs || n > m_numCCs) {
                continue;
            }
            const int zn = depth[j];
            if (zn != 0 && zn < z - 100) {
                occluder(k, n);
            }
        }
    });
}

void Segmentation::connectCCsThroughNoDepth(const Box3D<int>& box, int u) {
    const int zc = m_users[u].CenterOfMass().z;
    if (zc == 0) {
        return;
    }
    const long long m = m_converter->PixelsAtDepthInt(zc, 100);
    const XnLabel* labels = Labels().Data();
    const XnDepthPixel* depth = m_depth->Data();
    ForEachBorderPixel(box, u, [&](int i, int k) {
        for (const int j : {i - 1, i - m_width, i + 1, i + m_width}) {
            const int n = labels[j];
            if (depth[j] != 0 || n < 1 || n >= kMaxCCs || n > m_numCCs) {
                continue;
            }
            int& first = m_ccGlueMetric[n][u];
            if (first == 0) {
                first = k;
                continue;
            }
            if (first == k || !NearInDepth(m_ccBox[first], m_ccBox[k])) {
                continue;
            }
            const Box3D<int>& a = m_ccBox[first];
            const Box3D<int>& b = m_ccBox[k];
            const bool close = m == 0 || (a.min.x < b.max.x + m && b.min.x - m < a.max.x && a.min.y < b.max.y + m &&
                                          b.min.y - m < a.max.y);
            if (close) {
                m_disjointSet.Union(static_cast<XnUInt16>(m_ccNode[k]), static_cast<XnUInt16>(m_ccNode[first]));
            }
        }
    });
}

void Segmentation::labelPartitioning2() {
    for (int u = 1; u <= kMaxUsers; ++u) {
        User& user = m_users[u];
        if (!user.alive() || user.m_ccCount < 2) {
            continue;
        }
        const int count = user.m_ccCount;
        XnUInt16* parent = m_disjointSet.Parent();
        for (int c = 0; c <= m_numCCs; ++c) {
            std::fill(m_ccGlueMetric[c], m_ccGlueMetric[c] + kMaxUsers + 1, 0);
        }
        Box3D<int> box;
        for (int i = 0; i < count; ++i) {
            const int c = user.m_ccList[i];
            parent[i] = static_cast<XnUInt16>(i);
            m_ccNode[c] = i;
            Grow(box, m_ccBox[c]);
        }
        m_disjointSet.Count() = static_cast<XnUInt32>(count);
        connectCCsThroughImage(box, u);
        for (int i = 0; i < count; ++i) {
            const Box3D<int>& a = m_ccBox[user.m_ccList[i]];
            for (int j = i + 1; j < count; ++j) {
                if (parent[i] == parent[j]) {
                    continue;
                }
                const Box3D<int>& b = m_ccBox[user.m_ccList[j]];
                if (b.min.x <= a.max.x && a.min.x <= b.max.x && b.min.z <= a.max.z && a.min.z <= b.max.z) {
                    m_disjointSet.Union(static_cast<XnUInt16>(i), static_cast<XnUInt16>(j));
                }
            }
        }
        const int groups = m_disjointSet.Compact(static_cast<XnUInt16>(count), true);
        if (groups < 0) {
            continue;
        }
        for (int g = 0; g < groups; ++g) {
            m_clusterArea[g] = 0;
            m_clusterBox[g] = Box3D<int>();
        }
        for (int i = 0; i < count; ++i) {
            const int c = user.m_ccList[i];
            m_clusterArea[parent[i]] += m_ccArea[c];
            Grow(m_clusterBox[parent[i]], m_ccBox[c]);
        }
        int main = -1;
        for (int g = 0; g < groups; ++g) {
            if (m_clusterArea[g] > 0 && (main < 0 || m_clusterArea[g] > m_clusterArea[main])) {
                main = g;
            }
        }
        int markedGroups = 0;
        for (int g = 0; g < groups; ++g) {
            m_clusterStatus[g] = 0;
            if (g == main) {
                continue;
            }
            const Box3D<int>& b = m_clusterBox[g];
            const float h = static_cast<float>(m_converter->LengthAtDepthInt(b.max.z, b.max.y - b.min.y));
            if (h > 800.0f && h * h * m_minAreaToHeightSqr < static_cast<float>(m_clusterArea[g])) {
                m_clusterStatus[g] = 1;
                ++markedGroups;
            }
        }
        if (markedGroups > 0) {
            for (int i = 0; i < count; ++i) {
                if (m_clusterStatus[parent[i]] != 0) {
                    ReassignUserId(user.m_ccList[i], false, false);
                }
            }
        }
        if (groups - markedGroups != 1) {
            for (int c = 0; c <= m_numCCs; ++c) {
                std::fill(m_ccGlueMetric[c], m_ccGlueMetric[c] + kMaxUsers + 1, 0);
            }
            Box3D<int> listed;
            for (int i = 0; i < count; ++i) {
                Grow(listed, m_ccBox[user.m_ccList[i]]);
            }
            m_disjointSet.UnCompact();
            connectCCsThroughNoDepth(listed, u);
            m_disjointSet.Compact(static_cast<XnUInt16>(count), false);
            for (int g = 0; g < groups; ++g) {
                m_clusterArea[g] = 0;
            }
            for (int i = 0; i < count; ++i) {
                m_clusterArea[parent[i]] += m_ccArea[user.m_ccList[i]];
            }
            int main2 = -1;
            for (int g = 0; g < groups; ++g) {
                if (m_clusterArea[g] > 0 && (main2 < 0 || m_clusterArea[g] > m_clusterArea[main2])) {
                    main2 = g;
                }
            }
            for (int i = 0; i < count; ++i) {
                const int g = parent[i];
                if (g != main2 && m_clusterStatus[g] == 0) {
                    ReassignUserId(user.m_ccList[i], true, false);
                }
            }
        }
        user.cleanCCs(m_ccUserId);
    }
}

void Segmentation::mergeResetCCsIntoBG() {
    const xn::SceneMetaData& labels = Labels();
    for (int c = 1; c <= m_numCCs; ++c) {
        if (m_ccToBackground[c] && m_ccUserId[c] == 0) {
            m_ccIsFg[c] = false;
            const Box3D<int>& box = m_ccBox[c];
            m_farfield->ImportExternalShift(*m_shiftMap, labels, c, box.min.x, box.max.x, box.min.y, box.max.y,
                                            m_ccArea[c]);
        }
    }
}
