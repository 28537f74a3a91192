// Gluing free foreground components to users: an arm that moved, a part cut
// off by a nearer object or behind pixels without depth. Candidates are the
// unowned foreground components plausible for some user; clusters taller
// than a body part are left to detection; each remaining candidate joins the
// user nearest by centre or, failing that, the one it meets best in depth at
// its border.

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/Farfield.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "SceneAnalyzer/Segmentation.h"
#include "SceneAnalyzer/SegmentationBoxes.h"

using scene_analysis::Grow;

namespace {

// Metric of a candidate toward a user it does not touch.
constexpr int kNoContact = 1000000;
// Metric of a candidate that meets the user through a nearer component.
constexpr int kThroughOccluder = 10000;

}  // namespace

void Segmentation::labelGluing() {
    Box3D<int> boxes[kMaxUsers + 1];
    Box3D<int> roomBoxes[kMaxUsers + 1];
    bool valid[kMaxUsers + 1] = {};
    int areas[kMaxUsers + 1] = {};
    evaluateUsersBoxes(boxes, valid);
    evaluateUsersBoxesInRoom(roomBoxes);
    evaluateUserArea(areas);
    if (!findCCsToGlue(boxes, roomBoxes, areas, valid)) {
        return;
    }
    clusterFgCCs(true, false);
    updateUserMetricOfCCs(boxes);
    Vector2D<int> centers[kMaxUsers + 1];
    evaluateUserXZCenters(centers, valid);
    finalGluingDecision(centers, valid, boxes);
}

void Segmentation::evaluateUsersBoxes(Box3D<int>* boxes, bool* valid) const {
    for (int u = 1; u <= kMaxUsers; ++u) {
        const User& user = m_users[u];
        if (!user.alive()) {
            continue;
        }
        for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
            Grow(boxes[u], m_ccBox[*c]);
            valid[u] = true;
        }
    }
}

void Segmentation::evaluateUsersBoxesInRoom(Box3D<int>* roomBoxes) const {
    for (int u = 1; u <= kMaxUsers; ++u) {
        const User& user = m_users[u];
        if (!user.alive()) {
            continue;
        }
        for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
            Grow(roomBoxes[u], m_ccBoxInRoom[*c]);
        }
    }
}

void Segmentation::evaluateUserArea(int* areas) const {
    for (int u = 1; u <= kMaxUsers; ++u) {
        const User& user = m_users[u];
        if (!user.alive()) {
            continue;
        }
        areas[u] = 0;
        for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
            areas[u] += m_ccArea[*c];
        }
    }
}

void Segmentation::evaluateUserXZCenters(Vector2D<int>* centers, bool* valid) const {
    const int cx = m_converter->m_nCenterX;
    for (int u = 1; u <= kMaxUsers; ++u) {
        if (!valid[u]) {
            continue;
        }
        const User& user = m_users[u];
        long long s = 0;
        long long sz = 0;
        long long sx = 0;
        for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
            s += m_ccArea[*c];
            sz += static_cast<long long>(m_ccArea[*c]) * m_ccCenterZ[*c];
            sx += static_cast<long long>(m_ccCenterX[*c]) * m_ccArea[*c];
        }
        // Components without area give no centre: the user takes no part in
        // the decisions by centre.
        if (s <= 0) {
            valid[u] = false;
            continue;
        }
        const int zc = static_cast<int>(sz / s);
        const int xc = static_cast<int>(sx / s);
        centers[u] = Vector2D<int>(m_converter->LengthAtDepthInt(zc, xc - cx), zc);
    }
}

bool Segmentation::findCCsToGlue(const Box3D<int>* boxes, const Box3D<int>* roomBoxes, const int* areas,
                                 const bool* valid) {
    m_numFgCCs = 0;
    bool result = false;
    for (int c = 1; c <= m_numCCs; ++c) {
        m_ccIsForGluing[c] = false;
        const Box3D<int>& box = m_ccBox[c];
        if (!m_ccIsFg[c] || m_ccUserId[c] != 0 || m_ccRedetected[c] || box.max.x == m_imageBox.max.x ||
            box.min.x == m_imageBox.min.x) {
            continue;
        }
        const long long a = m_ccArea[c];
        const int zc = m_ccCenterInRoom[c].z;
        const int z0 = m_ccBoxInRoom[c].min.z;
        const int z1 = m_ccBoxInRoom[c].max.z;
        int adjacent = -1;  // not evaluated yet
        int qualifying = 0;
        int first = 0;
        for (int u = 1; u <= kMaxUsers; ++u) {
            if (!valid[u]) {
                continue;
            }
            const Box3D<int>& ub = boxes[u];
            const Box3D<int>& rb = roomBoxes[u];
            if (a < 800 && zc < rb.min.z) {
                continue;
            }
            if (static_cast<long long>(box.max.x) < static_cast<long long>(ub.min.x) - 1 ||
                static_cast<long long>(box.min.x) > static_cast<long long>(ub.max.x) + 1) {
                continue;
            }
            if ((z0 > ub.max.z || z1 < ub.min.z) &&
                (m_ccIsTracked[c] || static_cast<long long>(z1) < static_cast<long long>(rb.min.z) - 1500)) {
                continue;
            }
            const long long t = static_cast<long long>(zc) - rb.max.z;
            if (t > 0) {
                const int p = m_users[u].GetPredictedPartitionInZ();
                const long long a3 = areas[u] / 3;
                if ((p != -1 && zc > p) || (t < 200 && a > a3) || a > a3 + (5000 - a3) * (t - 200) / 600 || t > 800) {
                    continue;
                }
            }
            if (adjacent < 0) {
                adjacent = isCCAdjacentToBg(c) ? 1 : 0;
            }
            if (adjacent != 0) {
                continue;
            }
            ++qualifying;
            if (!m_ccIsForGluing[c]) {
                m_ccIsForGluing[c] = true;
                std::fill(m_ccGlueMetric[c] + 1, m_ccGlueMetric[c] + kMaxUsers + 1, kNoContact);
                first = u;
                result = true;
            }
        }
        if (m_ccIsForGluing[c]) {
            m_ccGlueUser[c] = static_cast<unsigned short>(qualifying == 1 ? first : 0);
        }
    }
    return result;
}

bool Segmentation::isCCAdjacentToBg(int c) const {
    const NAConversions::SensorParameters& params = m_commonData->m_sensorParams;
    const int g = static_cast<unsigned short>((params.nParamCoeff / 4) * 3);
    const Box3D<int>& box = m_ccBox[c];
    const int x0 = std::max(box.min.x, 2);
    const int x1 = std::min(box.max.x, m_width - 3);
    const int y0 = std::max(box.min.y, 2);
    int y1 = std::min(box.max.y, m_height - 3);
    const SAPlane& floor = m_planes->Floor();
    if (floor.m_hasSAPlane && m_ccIsPositive[c]) {
        // Stop 100 mm above the floor below the component: its contact
        // with the floor is no contact with the background.
        const int cy = m_converter->m_nCenterY;
        const int z = box.max.z;
        const float y = static_cast<float>(m_converter->LengthAtDepthInt(z, cy - y1));
        const float x = static_cast<float>(m_ccXZCenter[c].x);
        const Vector3D<float>& pt = floor.m_plane.m_point;
        const Vector3D<float>& n = floor.m_plane.m_normal;
        const float d = (x - pt.x) * n.x + (y - pt.y) * n.y + (static_cast<float>(z) - pt.z) * n.z;
        const int height = static_cast<int>(y - d * n.y + 100.0f * n.y);
        const int depth = static_cast<int>(static_cast<float>(z) - d * n.z + 100.0f * n.z);
        y1 = std::min(cy - m_converter->PixelsAtDepthInt(depth, height), y1);
    }
    const XnLabel* labels = Labels().Data();
    const unsigned char* der = m_labelDer.Data();
    const unsigned short* fg = m_farfield->GetForegroundImage().Data();
    const unsigned short* background = m_farfield->m_background.Data();
    const unsigned short* shift = m_shiftMap->Data();
    const XnLabel* planeIds = m_planes->m_planeIdMap.Data();
    long long total = 0;
    long long adjacent = 0;
    const int steps[4] = {2, -2, 2 * m_width, -2 * m_width};
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const int i = y * m_width + x;
            if (der[i] == 0 || labels[i] != c || fg[i] == 0) {
                continue;
            }
            ++total;
            const int s = shift[i];
            for (const int step : steps) {
                const int q = i + step;
                const int n = labels[q];
                const int plane = planeIds != nullptr ? planeIds[q] : 0;
                const int owner = n <= m_numCCs ? m_ccUserId[n] : 0;
                if (n != c && (plane < 1 || plane > 5) && owner == 0 && std::abs(s - background[q]) <= g) {
                    ++adjacent;
                    break;
                }
            }
        }
    }
    return total < 20 * adjacent;
}

int Segmentation::clusterFgCCs(bool forGluing, bool includeOwned) {
    XnUInt16* parent = m_disjointSet.Parent();
    int nodes = 0;
    m_numFgCCs = 0;
    for (int c = 1; c <= m_numCCs; ++c) {
        if (m_ccIsFg[c] && m_ccPixCount[c] > 3 && (m_ccUserId[c] == 0 || includeOwned) && !m_ccRedetected[c]) {
            parent[nodes] = static_cast<XnUInt16>(nodes);
            ++nodes;
            m_fgCCs[m_numFgCCs++] = c;
        }
    }
    m_disjointSet.Count() = static_cast<XnUInt32>(nodes);
    for (int i = 0; i < nodes; ++i) {
        const Box3D<int>& a = m_ccBox[m_fgCCs[i]];
        for (int j = i + 1; j < nodes; ++j) {
            const Box3D<int>& b = m_ccBox[m_fgCCs[j]];
            const long long overlap = scene_analysis::Overlap(a.min.x, a.max.x, b.min.x, b.max.x);
            const long long narrower = std::min(static_cast<long long>(a.max.x) - a.min.x,
                                                static_cast<long long>(b.max.x) - b.min.x);
            if (2 * overlap >= narrower && b.max.z >= a.min.z && b.min.z <= a.max.z) {
                m_disjointSet.Union(static_cast<XnUInt16>(i), static_cast<XnUInt16>(j));
            }
        }
    }
    m_numClusters = nodes > 0 ? m_disjointSet.Compact(static_cast<XnUInt16>(nodes), false) : 0;
    for (int g = 0; g < m_numClusters; ++g) {
        m_clusterArea[g] = 0;
        m_clusterBox[g] = Box3D<int>();
    }
    for (int i = 0; i < nodes; ++i) {
        m_clusterArea[parent[i]] += m_ccArea[m_fgCCs[i]];
        Grow(m_clusterBox[parent[i]], m_ccBox[m_fgCCs[i]]);
    }
    auto height = [this](int g) {
        const Box3D<int>& b = m_clusterBox[g];
        return static_cast<int>(static_cast<float>(b.max.y - b.min.y) * scene_analysis::MmPerPixel(*m_converter, b.max.z));
    };
    if (forGluing) {
        for (int g = 0; g < m_numClusters; ++g) {
            m_clusterStatus[g] = height(g);
        }
        for (int i = 0; i < nodes; ++i) {
            if (m_clusterStatus[parent[i]] > 800) {
                m_ccIsForGluing[m_fgCCs[i]] = false;
            }
        }
        m_numFgCCs = 0;
        for (int c = 1; c <= m_numCCs; ++c) {
            if (m_ccIsForGluing[c]) {
                m_fgCCs[m_numFgCCs++] = c;
            }
        }
        return m_numClusters;
    }
    for (int g = 0; g < m_numClusters; ++g) {
        m_clusterStatus[g] = 0;
    }
    for (int i = 0; i < nodes; ++i) {
        if (m_ccCutInDepth[m_fgCCs[i]]) {
            m_clusterStatus[parent[i]] = 1;
        }
    }
    for (int g = 0; g < m_numClusters; ++g) {
        const int h = height(g);
        if (h >= 2500) {
            continue;
        }
        if (m_clusterStatus[g] != 0) {
            m_clusterStatus[g] = m_clusterArea[g] > m_maxClusterArea || h > 800 ? 2 : 0;
        } else {
            m_clusterStatus[g] = h > 800 ? 1 : 0;
        }
    }
    return m_numClusters;
}

void Segmentation::updateUserMetricOfCCs(const Box3D<int>* boxes) {
    for (int k = 0; k < m_numFgCCs; ++k) {
        const int c = m_fgCCs[k];
        bool listedInit = false;
        int count = m_numFgCCs;
        int* row = m_ccGlueMetric[c];
        const Box3D<int>& cb = m_ccBox[c];
        const int u0 = m_ccGlueUser[c];
        if (u0 != 0) {
            const bool found = updateOnlyIdMetric(cb, c, u0, listedInit, count, row);
            if (found || m_ccPixCount[c] < 4) {
                continue;
            }
            Box3D<int> w = boxes[u0];
            w.min.x -= 1;
            w.min.y -= 1;
            w.max.x += 1;
            w.max.y += 1;
            for (int i = m_numFgCCs; i < count; ++i) {
                const Box3D<int>& eb = m_ccBox[m_fgCCs[i]];
                if (!scene_analysis::MeetX(eb, w) || !scene_analysis::MeetY(eb, w)) {
                    continue;
                }
                const Box2D<int> cut(std::max(eb.min.x, w.min.x), std::max(eb.min.y, w.min.y),
                                     std::min(eb.max.x, w.max.x), std::min(eb.max.y, w.max.y));
                if (cut.max.x >= cb.min.x && cb.max.x >= cut.min.x && glueThroughOccludingCCs(cut, m_fgCCs[i], u0, row)) {
                    break;
                }
            }
            continue;
        }
        updateIdsMetric(cb, c, count, listedInit, row);
        if (m_ccPixCount[c] < 4) {
            continue;
        }
        for (int i = m_numFgCCs; i < count; ++i) {
            const Box3D<int>& eb = m_ccBox[m_fgCCs[i]];
            for (int v = 1; v <= kMaxUsers; ++v) {
                if (row[v] != kNoContact) {
                    continue;
                }
                const Box3D<int>& ub = boxes[v];
                if (!scene_analysis::MeetX(eb, ub) || !scene_analysis::MeetY(eb, ub)) {
                    continue;
                }
                const Box2D<int> cut(std::max(eb.min.x, ub.min.x), std::max(eb.min.y, ub.min.y),
                                     std::min(eb.max.x, ub.max.x), std::min(eb.max.y, ub.max.y));
                if (cut.max.x >= cb.min.x && cb.max.x >= cut.min.x) {
                    glueThroughOccludingCCs(cut, m_fgCCs[i], v, row);
                }
            }
        }
    }
}

template <typename F>
void Segmentation::ForEachCandidateNeighbour(const Box3D<int>& box, int c, F visit) const {
    const XnLabel* labels = Labels().Data();
    const unsigned char* der = m_labelDer.Data();
    const int steps[4] = {-2, 2, -2 * m_width, 2 * m_width};
    const int y0 = std::max(box.min.y, 2);
    const int y1 = std::min(box.max.y, m_height - 3);
    const int x0 = std::max(box.min.x, 2);
    const int x1 = std::min(box.max.x, m_width - 3);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const int i = y * m_width + x;
            if (der[i] == 0 || labels[i] != c) {
                continue;
            }
            for (int s = 0; s < 4; ++s) {
                const int q = i + steps[s];
                const int n = labels[q];
                if (n != c && n > 0 && n < kMaxCCs && n <= m_numCCs && !visit(i, q, n, s == 3)) {
                    return;
                }
            }
        }
    }
}

void Segmentation::AppendOccluder(int n, bool& listedInit, int& count) {
    if (!listedInit) {
        std::fill(m_ccListed, m_ccListed + m_numCCs + 1, false);
        listedInit = true;
    }
    // The list holds every label at most once beyond the candidates, but
    // candidates and occluders together can outgrow it.
    if (!m_ccListed[n] && count < kMaxCCs) {
        m_ccListed[n] = true;
        m_fgCCs[count++] = n;
    }
}

bool Segmentation::IsOccluderOf(int n, int q, int p) const {
    const XnDepthPixel* depth = m_depth->Data();
    return !m_ccNoDepth[n] && static_cast<int>(depth[q]) + 100 < static_cast<int>(depth[p]);
}

void Segmentation::updateIdsMetric(const Box3D<int>& box, int c, int& count, bool& listedInit, int* metric) {
    const XnDepthPixel* depth = m_depth->Data();
    ForEachCandidateNeighbour(box, c, [&](int p, int q, int n, bool) {
        const int v = m_ccUserId[n];
        if (v != 0) {
            metric[v] = std::min(metric[v], std::abs(static_cast<int>(depth[p]) - static_cast<int>(depth[q])));
        }
        if (IsOccluderOf(n, q, p)) {
            AppendOccluder(n, listedInit, count);
        }
        return true;
    });
}

bool Segmentation::updateOnlyIdMetric(const Box3D<int>& box, int c, int u, bool& listedInit, int& count,
                                      int* metric) {
    const XnDepthPixel* depth = m_depth->Data();
    bool found = false;
    ForEachCandidateNeighbour(box, c, [&](int p, int q, int n, bool down) {
        const int zp = depth[p];
        const int zq = depth[q];
        if (m_ccUserId[n] == u) {
            if (zq - 1499 <= zp && zp <= zq + 799) {
                metric[u] = std::abs(zp - zq);
                found = true;
                return false;
            }
            if (!down) {
                return true;
            }
        }
        if (IsOccluderOf(n, q, p)) {
            AppendOccluder(n, listedInit, count);
        }
        return true;
    });
    return found;
}

bool Segmentation::glueThroughOccludingCCs(const Box2D<int>& window, int occluder, int u, int* metric) const {
    const XnLabel* labels = Labels().Data();
    const unsigned char* der = m_labelDer.Data();
    const XnDepthPixel* depth = m_depth->Data();
    const int steps[4] = {-1, 1, -m_width, m_width};
    const int y0 = std::max(window.min.y, 1);
    const int y1 = std::min(window.max.y, m_height - 2);
    const int x0 = std::max(window.min.x, 1);
    const int x1 = std::min(window.max.x, m_width - 2);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const int i = y * m_width + x;
            if (der[i] == 0 || labels[i] != occluder) {
                continue;
            }
            for (const int step : steps) {
                const int n = labels[i + step];
                if (n != occluder && n > 0 && n <= m_numCCs && n < kMaxCCs && m_ccUserId[n] == u &&
                    static_cast<int>(depth[i]) + 100 < static_cast<int>(depth[i + step])) {
                    metric[u] = kThroughOccluder;
                    return true;
                }
            }
        }
    }
    return false;
}

void Segmentation::finalGluingDecision(const Vector2D<int>* centers, const bool* valid, const Box3D<int>* boxes) {
    for (int k = 0; k < m_numFgCCs; ++k) {
        const int c = m_fgCCs[k];
        const long long X = m_ccXZCenter[c].x;
        const long long Z = m_ccXZCenter[c].y;
        const Box3D<int>& cb = m_ccBox[c];
        const int only = m_ccGlueUser[c];
        const int from = only != 0 ? only : 1;
        const int to = only != 0 ? only : kMaxUsers;
        int best = 0;
        long long bestD = 2250000;
        int alt = 0;
        int altM = 1500;
        for (int v = from; v <= to; ++v) {
            const int m = m_ccGlueMetric[c][v];
            if (m == kNoContact) {
                continue;
            }
            const Box3D<int>& ub = boxes[v];
            if (scene_analysis::MeetX(ub, cb) && scene_analysis::MeetZ(ub, cb)) {
                // A user without a centre is not near by centre.
                if (!valid[v]) {
                    continue;
                }
                const long long dx = centers[v].x - X;
                const long long dz = centers[v].y - Z;
                const long long d2 = dx * dx + dz * dz;
                if ((d2 < 640000 || (Z < centers[v].y && d2 < 2250000)) && d2 < bestD) {
                    best = v;
                    bestD = d2;
                }
                continue;
            }
            if (m < altM && (m <= 799 || (m <= 1499 && centers[v].y > Z))) {
                alt = v;
                altM = m;
            }
        }
        const int chosen = best != 0 ? best : alt;
        if (chosen == 0) {
            continue;
        }
        User& user = m_users[chosen];
        if (Z > centers[chosen].y && user.IsOccluding()) {
            bool hidden = false;
            for (int w = 1; w <= kMaxUsers && !hidden; ++w) {
                if (!user.occluding(w)) {
                    continue;
                }
                const long long dx = centers[w].x - X;
                const long long dz = centers[w].y - Z;
                hidden = !valid[w] || (m_ccGlueMetric[c][w] > 1500 && dx * dx + dz * dz < 2250000);
            }
            if (hidden) {
                continue;
            }
        }
        const Box3D<int>& ub = user.box();
        const bool ccOnEdge = cb.min.x == m_imageBox.min.x || cb.max.x == m_imageBox.max.x;
        const bool userOnEdge = ub.min.x == m_imageBox.min.x || ub.max.x == m_imageBox.max.x;
        if ((best != 0 || !ccOnEdge || userOnEdge) && user.addCC(c)) {
            m_ccUserId[c] = static_cast<unsigned short>(chosen);
        }
    }
}
