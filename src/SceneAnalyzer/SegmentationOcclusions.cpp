// Occlusions: which user hides which, the image side or the pixels without
// depth that hide a user, the rows of a user hidden behind nearer pixels,
// and the tests and adjacency operations that redetection and detection
// share.

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iostream>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/Farfield.h"
#include "SceneAnalyzer/Segmentation.h"
#include "SceneAnalyzer/SegmentationBoxes.h"

using scene_analysis::Grow;
using scene_analysis::MeetX;
using scene_analysis::MeetY;
using scene_analysis::OverlapOrZero;

namespace {

// x-z area of a box; 0 when an extent is negative.
long long AreaXZ(const Box3D<int>& b) {
    return std::max(0LL, static_cast<long long>(b.max.x) - b.min.x) *
           std::max(0LL, static_cast<long long>(b.max.z) - b.min.z);
}

// x-z overlap of two boxes; 0 when either extent of the overlap is negative.
long long OverlapXZ(const Box3D<int>& a, const Box3D<int>& b) {
    return OverlapOrZero(a.min.x, a.max.x, b.min.x, b.max.x) * OverlapOrZero(a.min.z, a.max.z, b.min.z, b.max.z);
}

}  // namespace

bool Segmentation::IsMirrored() const { return m_mirrored; }

int Segmentation::ShadowWidth(const User& user) const {
    const unsigned capacity = m_commonData->m_nDepthTableCapacity;
    if (capacity == 0 || m_shiftPerPixel == 0) {
        return 0;
    }
    auto shiftOf = [&](int z) {
        const unsigned index = z < 0 ? 0u : std::min(static_cast<unsigned>(z), capacity - 1);
        return static_cast<int>(m_pDepthToShift[index]);
    };
    return (shiftOf(m_commonData->m_sensorParams.nDeviceMaxDepthValue) - shiftOf(user.box().min.z)) / m_shiftPerPixel;
}

Box3D<int> Segmentation::ComponentBounds(const User& user) const {
    Box3D<int> bounds;
    for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
        Grow(bounds, m_ccBox[*c]);
    }
    return bounds;
}

void Segmentation::checkOcclusions() {
    const int left = m_imageBox.min.x;
    const int right = m_imageBox.max.x;
    auto trace = [this](int id, const char* text, int column) {
        if (!m_verbose) {
            return;
        }
        std::cout << m_frameId << ": user #" << id << text;
        if (column != INT_MIN) {
            std::cout << column;
        }
        std::cout << std::endl;
    };
    if (m_farfield->OccludedScene() == 0) {
        for (int k = 1; k <= kMaxUsers; ++k) {
            User& user = m_users[k];
            if (!user.alive()) {
                continue;
            }
            const bool wasLeft = user.OccludedByLeft();
            const bool wasRight = user.OccludedByRight();
            bool byLeft = false;
            bool byRight = false;
            if (user.partiallyOrFullyOccluded()) {
                if (user.box().max.x < 0) {
                    continue;
                }
                byLeft = user.box().min.x == left;
                byRight = user.box().max.x == right;
                user.setOccludedBySide(byLeft, byRight, left, right);
            } else {
                user.setOccludedBySide(false, false, -1, -1);
            }
            if (byLeft && !wasLeft) {
                trace(k, " was defined as occluded by left side at x = ", left);
            }
            if (byRight && !wasRight) {
                trace(k, " was defined as occluded by right side at x = ", right);
            }
            if (!byLeft && wasLeft) {
                trace(k, " is no longer defined as occluded by left side", INT_MIN);
            }
            if (!byRight && wasRight) {
                trace(k, " is no longer defined defined as occluded by right side", INT_MIN);
            }
        }
    }
    for (int i = 1; i <= kMaxUsers; ++i) {
        User& front = m_users[i];
        if (!front.alive() || front.area() == 0) {
            continue;
        }
        const int s = ShadowWidth(front);
        const Box3D<int>& b = front.box();
        const int bandLeft = m_mirrored ? b.min.x : b.min.x - s;
        const int bandRight = m_mirrored ? b.max.x + s : b.max.x;
        const int zi = front.currentCenter().y;
        for (int j = 1; j <= kMaxUsers; ++j) {
            if (j == i) {
                continue;
            }
            const User& other = m_users[j];
            bool o = false;
            if (!other.alive()) {
                o = false;
            } else if (other.occluded()) {
                const Box3D<int>& sb = other.stableBox();
                o = other.occludedBy(i) || (bandLeft <= sb.max.x && bandRight >= sb.min.x && zi < sb.min.z);
            } else {
                o = other.partiallyOrFullyOccluded() && zi < other.currentCenter().y && bandLeft <= other.box().max.x &&
                    bandRight >= other.box().min.x;
            }
            front.setOccluding(j, o);
            m_users[j].setOccludedBy(i, o);
        }
        front.setIsOccluding();
        if (front.IsOccluding()) {
            front.setSidesWithShadow(bandLeft, bandRight);
        }
    }
    CheckNoDepthOcclusions();
}

void Segmentation::CheckNoDepthOcclusions() {
    const int left = m_imageBox.min.x;
    const int right = m_imageBox.max.x;
    const unsigned short* shift = m_shiftMap->Data();
    for (int k = 1; k <= kMaxUsers; ++k) {
        User& user = m_users[k];
        if (!user.alive()) {
            continue;
        }
        if (!user.occluded() || (user.OccludedByLeft() && user.OccludingLeftSideLoc() == left) ||
            (user.OccludedByRight() && user.OccludingRightSideLoc() == right)) {
            if (user.m_occludedByNoDepth && m_verbose) {
                std::cout << m_frameId << ": user #" << k << " is no longer occluded by no depth" << std::endl;
            }
            user.m_occludedByNoDepth = false;
            continue;
        }
        bool byUser = false;
        for (int j = 1; j <= kMaxUsers; ++j) {
            byUser = byUser || user.occludedBy(j);
        }
        if (byUser) {
            continue;
        }
        const Box3D<int>& sb = user.stableBox();
        const int x0 = std::max(sb.min.x, 0);
        const int x1 = std::min(sb.max.x, m_width - 1);
        const int y0 = std::max(sb.min.y, 0);
        const int y1 = std::min(sb.max.y, m_height - 1);
        // A stable box off the image (or never set) holds no pixel.
        if (x1 < x0 || y1 < y0) {
            continue;
        }
        long long count = 0;
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                count += shift[y * m_width + x] == 0 ? 1 : 0;
            }
        }
        const long long pixels = static_cast<long long>(x1 - x0 + 1) * (y1 - y0 + 1);
        if (100 * count > 60 * pixels && !user.m_occludedByNoDepth) {
            user.m_occludedByNoDepth = true;
            if (m_verbose) {
                std::cout << m_frameId << ": user #" << k << " was defined as occluded by no depth" << std::endl;
            }
        }
    }
}

int Segmentation::countOccludedPix(int id, const Box3D<int>& box) const {
    const XnLabel* labels = Labels().Data();
    const unsigned char* der = m_labelDer.Data();
    const XnDepthPixel* depth = m_depth->Data();
    const unsigned short* shift = m_shiftMap->Data();
    const unsigned short* shadow = m_shadowMap->Data();
    auto owner = [&](int label) { return label > 0 && label <= m_numCCs ? static_cast<int>(m_ccUserId[label]) : 0; };
    auto inFront = [&](int p, int q) {
        if (owner(labels[q]) == id) {
            return false;
        }
        const unsigned short near = static_cast<unsigned short>(depth[p] - 100);
        return depth[q] != 0 ? depth[q] < near : shadow[q] != 0 && shadow[q] < shift[p];
    };
    int rows = 0;
    for (int y = std::max(1, box.min.y); y <= std::min(m_height - 2, box.max.y); ++y) {
        for (int x = std::max(1, box.min.x); x <= std::min(m_width - 2, box.max.x); ++x) {
            const int p = y * m_width + x;
            if (der[p] != 0 && owner(labels[p]) == id && (inFront(p, p + 1) || inFront(p, p - 1))) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

bool Segmentation::checkOcclusion(int minZ, int maxZ, int maxX, int minX) const {
    for (int i = 1; i <= kMaxUsers; ++i) {
        const User& user = m_users[i];
        if (!user.alive() || user.IsEmpty()) {
            continue;
        }
        const Box3D<int> u = ComponentBounds(user);
        if (minZ < u.max.z && u.min.z < maxZ &&
            static_cast<long long>(maxX) - minX <
                2 * (static_cast<long long>(std::min(maxX, u.max.x)) - std::max(u.min.x, minX))) {
            return true;
        }
        if (!user.IsOccluding() || static_cast<long long>(u.max.z) + 99 >= minZ) {
            continue;
        }
        const int s = ShadowWidth(user);
        const long long x0 = m_mirrored ? u.min.x : static_cast<long long>(u.min.x) - s;
        const long long x1 = m_mirrored ? static_cast<long long>(u.max.x) + s : u.max.x;
        if (x0 > maxX || x1 < minX) {
            continue;
        }
        for (int j = 1; j <= kMaxUsers; ++j) {
            if (!user.occluding(j)) {
                continue;
            }
            const User& hidden = m_users[j];
            if (hidden.IsEmpty()) {
                return true;
            }
            const Box3D<int> h = ComponentBounds(hidden);
            if (h.max.x < h.min.x) {
                return true;
            }
            if (static_cast<long long>(minX) - 699 <= h.max.x && h.min.x <= static_cast<long long>(maxX) + 699 &&
                static_cast<long long>(minZ) - 699 <= h.max.z && h.min.z <= static_cast<long long>(maxZ) + 699) {
                return true;
            }
        }
    }
    return false;
}

bool Segmentation::trackedUserInBox(const Box3D<int>& box) const {
    Box3D<int> boxes[kMaxUsers + 1];
    bool valid[kMaxUsers + 1] = {};
    evaluateUsersBoxes(boxes, valid);
    const long long a = AreaXZ(box);
    long long s = 0;
    long long w = 0;
    for (int k = 1; k <= kMaxUsers; ++k) {
        if (!valid[k]) {
            continue;
        }
        const Box3D<int>& u = boxes[k];
        if (std::min(a, AreaXZ(u)) < 2 * OverlapXZ(box, u)) {
            return true;
        }
        const User& user = m_users[k];
        for (const int* p = user.ccBegin(); p != user.ccEnd(); ++p) {
            const int c = *p;
            const Box3D<int>& cb = m_ccBox[c];
            s += OverlapOrZero(cb.min.x, cb.max.x, box.min.x, box.max.x) *
                 OverlapOrZero(cb.min.y, cb.max.y, box.min.y, box.max.y);
            if (m_ccCenterX[c] > box.min.x && m_ccCenterX[c] < box.max.x && m_ccCenterY[c] > box.min.y &&
                m_ccCenterY[c] < box.max.y && m_ccCenterZ[c] > box.min.z && m_ccCenterZ[c] < box.max.z) {
                w += m_ccArea[c];
            }
        }
    }
    const long long boxXY = std::max(0LL, static_cast<long long>(box.max.x) - box.min.x) *
                            std::max(0LL, static_cast<long long>(box.max.y) - box.min.y);
    return boxXY < 2 * s || w > 100000;
}

void Segmentation::findAdjacentCandidates(int cc, const Box3D<int>& box, int& end) {
    for (int i = 1; i <= m_numCCs; ++i) {
        if (i == cc || m_ccIsFg[i] || !MeetX(m_ccBox[i], box) || !MeetY(m_ccBox[i], box)) {
            continue;
        }
        // A component may be listed again for each body part it meets; the
        // list holds no more than its slots.
        if (end >= kMaxCCs) {
            return;
        }
        m_fgCCs[end++] = i;
        m_ccAdjacentRows[i] = Box1D<int>();
    }
}

void Segmentation::updateCCsAdjacency(const Box3D<int>& box, int cc, bool stopAtFirst) {
    const NAConversions::SensorParameters& params = m_commonData->m_sensorParams;
    const unsigned short t = static_cast<unsigned short>(3 * (params.nParamCoeff / 4));
    const int margin = (4 * t) / 3;
    const XnLabel* labels = Labels().Data();
    const unsigned char* der = m_labelDer.Data();
    const unsigned short* shift = m_shiftMap->Data();
    const int steps[4] = {-1, 1, -m_width, m_width};
    for (int y = std::max(1, box.min.y); y <= std::min(m_height - 2, box.max.y); ++y) {
        for (int x = std::max(1, box.min.x); x <= std::min(m_width - 2, box.max.x); ++x) {
            const int p = y * m_width + x;
            if (der[p] == 0 || labels[p] != cc) {
                continue;
            }
            bool met = false;
            for (const int step : steps) {
                const int n = labels[p + step];
                if (n == cc || n >= kMaxCCs || n > m_numCCs || m_ccIsFg[n] ||
                    std::abs(static_cast<int>(shift[p + step]) - static_cast<int>(shift[p])) >= margin) {
                    continue;
                }
                Box1D<int>& rows = m_ccAdjacentRows[n];
                rows.min = std::min(rows.min, y);
                rows.max = std::max(rows.max, y);
                met = true;
            }
            if (met && stopAtFirst) {
                break;
            }
        }
    }
}

bool Segmentation::finalDecisionForGluingAdjacentCCs(int& minX, int& maxX, int& minY, int& maxY, int first, int& end,
                                                     int expectedHeight, bool checkHeight, bool secondKind) {
    int pos = first;
    while (pos < end) {
        const int c = m_fgCCs[pos];
        const Box1D<int>& a = m_ccAdjacentRows[c];
        const Box3D<int>& cb = m_ccBox[c];
        const long long h = static_cast<long long>(cb.max.y) - cb.min.y;
        const long long span = static_cast<long long>(a.max) - a.min;
        bool accept = false;
        if (a.max < 0) {
            accept = false;
        } else if (10 * span >= 8 * h) {
            accept = true;
        } else if (checkHeight) {
            if (3 * span <= expectedHeight) {
                const long long width = static_cast<long long>(cb.max.x) - cb.min.x;
                accept = 2 * scene_analysis::Overlap(cb.min.x, cb.max.x, minX, maxX) >=
                         std::min(width, static_cast<long long>(maxX) - minX);
            } else if (!secondKind) {
                return true;
            }
        }
        if (!accept || m_ccUserId[c] != 0) {
            m_fgCCs[pos] = m_fgCCs[end - 1];
            --end;
            continue;
        }
        minX = std::min(minX, cb.min.x);
        maxX = std::max(maxX, cb.max.x);
        minY = std::min(minY, cb.min.y);
        maxY = std::max(maxY, cb.max.y);
        ++pos;
    }
    return false;
}

User* Segmentation::findClosestUserToCC(const Box3D<int>* box, int count, User** candidates, int area, int depth,
                                        Vector2D<int> xzCenter, bool& redetected, bool skipSizeTest) {
    const Box3D<int>& b = *box;
    const int left = m_imageBox.min.x;
    const int right = m_imageBox.max.x;
    User* best = nullptr;
    long long bestD = 1000000000;
    for (int k = 0; k < count; ++k) {
        User& user = *candidates[k];
        const Box3D<int>& ub = user.box();
        if (!user.occluded() &&
            (static_cast<long long>(ub.max.x) + 700 < b.min.x || b.max.x < static_cast<long long>(ub.min.x) - 700 ||
             static_cast<long long>(ub.max.z) + 700 < b.min.z || b.max.z < static_cast<long long>(ub.min.z) - 700)) {
            continue;
        }
        bool qualifies = (b.min.x == left && user.OccludedByLeft() && user.OccludingLeftSideLoc() == left) ||
                         (b.max.x == right && user.OccludedByRight() && user.OccludingRightSideLoc() == right);
        for (int j = 1; j <= kMaxUsers && !qualifies; ++j) {
            const User& front = m_users[j];
            qualifies = front.alive() && front.occluding(user.id()) &&
                        static_cast<long long>(front.currentCenter().y) + 100 < xzCenter.y &&
                        b.max.x >= front.leftWithShadow() && front.rightWithShadow() >= b.min.x &&
                        MeetY(front.box(), b);
        }
        if (!qualifies && user.OccludedByNoDepth()) {
            qualifies = std::min(AreaXZ(b), AreaXZ(user.stableBox())) < 2 * OverlapXZ(b, user.stableBox());
        }
        if (!qualifies) {
            continue;
        }
        redetected = true;
        if (!skipSizeTest) {
            const int h = static_cast<int>(static_cast<float>(b.max.y - b.min.y) *
                                           scene_analysis::MmPerPixel(*m_converter, depth));
            const float hf = static_cast<float>(h);
            if (static_cast<float>(area) < hf * hf * m_minAreaToHeightSqr ||
                (h < 800 && (b.max.y != m_imageBox.max.y || b.min.y != m_imageBox.min.y))) {
                return best;
            }
        }
        const long long dx = static_cast<long long>(user.stableCenter()[0]) - xzCenter.x;
        const long long dz = static_cast<long long>(user.stableCenter()[1]) - xzCenter.y;
        const long long d2 = dx * dx + dz * dz;
        if (d2 < bestD) {
            best = &user;
            bestD = d2;
        }
    }
    return best;
}

void Segmentation::findAdjacentUser(int firstRow, int lastRow, int firstColumn, int lastColumn, int cc,
                                    unsigned short& userId) {
    firstRow = std::max(firstRow, 1);
    lastRow = std::min(lastRow, m_height - 2);
    firstColumn = std::max(firstColumn, 1);
    lastColumn = std::min(lastColumn, m_width - 2);
    const XnLabel* labels = Labels().Data();
    const unsigned char* der = m_labelDer.Data();
    const unsigned short* shift = m_shiftMap->Data();
    const int steps[4] = {-1, 1, -m_width, m_width};
    long long contacts = 0;
    long long userContacts = 0;
    int user = 0;
    Box3D<int> span;
    for (int y = firstRow; y <= lastRow; ++y) {
        for (int x = firstColumn; x <= lastColumn; ++x) {
            const int p = y * m_width + x;
            if (der[p] == 0 || labels[p] != cc) {
                continue;
            }
            for (const int step : steps) {
                const int n = labels[p + step];
                if (n == cc || std::abs(static_cast<int>(shift[p + step]) - static_cast<int>(shift[p])) > 3) {
                    continue;
                }
                ++contacts;
                const int owner = n > 0 && n <= m_numCCs ? m_ccUserId[n] : 0;
                if (owner != 0) {
                    if (user != 0 && owner != user) {
                        return;
                    }
                    user = owner;
                    ++userContacts;
                    scene_analysis::GrowX(span, x);
                    scene_analysis::GrowY(span, y);
                }
                break;
            }
        }
    }
    if (userContacts == 0 || 10 * userContacts <= 7 * contacts ||
        (static_cast<long long>(span.max.x) - span.min.x) * 10 < 7LL * (lastColumn - firstColumn) ||
        (static_cast<long long>(span.max.y) - span.min.y) * 10 < 7LL * (lastRow - firstRow) ||
        !m_users[user].addCC(cc)) {
        return;
    }
    userId = static_cast<unsigned short>(user);
    computeArea(cc);
    computePixCount(cc);
    computeCenter(cc);
    computeZBounds(cc);
}

bool Segmentation::IsBoxOccludedByUsers(const Box3D<int>& box) const {
    const long long middle = (static_cast<long long>(box.min.z) + box.max.z) / 2;
    for (int k = 1; k <= kMaxUsers; ++k) {
        const User& user = m_users[k];
        if (user.alive() && static_cast<long long>(user.currentCenter().y) + 200 < middle && MeetX(user.box(), box) &&
            MeetY(user.box(), box)) {
            return true;
        }
    }
    return false;
}
