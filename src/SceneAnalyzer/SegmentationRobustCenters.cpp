// Robust centres: a user whose pixels show a run of thin columns (an x
// split) or an empty stretch in depth (a depth split) is measured by the
// part nearer to its predicted centre; otherwise by its centre of mass in
// the floor-aligned frame.

#include <algorithm>
#include <climits>
#include <cstdint>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/Segmentation.h"

using scene_analysis::PixelArea;

namespace {

long long SquaredDistance(const Vector3D<int>& a, const Vector3D<int>& b) {
    const long long dx = static_cast<long long>(a.x) - b.x;
    const long long dy = static_cast<long long>(a.y) - b.y;
    const long long dz = static_cast<long long>(a.z) - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// Whether the first candidate is nearer to the prediction; without one the
// larger part. Ties go to the second.
bool ChooseFirst(const Vector3D<int>& predicted, const Vector3D<int>& first, long long firstArea,
                 const Vector3D<int>& second, long long secondArea) {
    if (predicted == Vector3D<int>()) {
        return secondArea < firstArea;
    }
    return SquaredDistance(first, predicted) < SquaredDistance(second, predicted);
}

}  // namespace

void Segmentation::ComputeRobustCenters() {
    NACommonData& hub = *m_commonData;
    for (int k = 1; k <= kMaxUsers; ++k) {
        User& user = m_users[k];
        if (!user.alive()) {
            continue;
        }
        user.m_splitColumn = -1;
        user.m_splitZNear = -1;
        user.m_splitZFar = -1;
        if (user.area() == 0 || user.m_isSwallowed || user.m_swallowedId != 0) {
            user.ResetRobustData();
            continue;
        }
        const Vector3D<int>& com = user.CenterOfMass();
        // Bins as wide as the depth step of one shift at the user's depth,
        // at least 8 mm.
        int step = 0;
        if (com.z >= 0 && static_cast<unsigned>(com.z) < hub.m_nDepthTableCapacity) {
            const unsigned h = m_pDepthToShift[com.z];
            if (h + 1 < hub.m_nShiftTableSize) {
                step = static_cast<int>(m_pShiftToDepth[h + 1]) - static_cast<int>(m_pShiftToDepth[h]);
            }
        }
        int binShift = 3;
        while ((1 << binShift) < step) {
            ++binShift;
        }
        // The histograms have kHistColumns columns and kHistBins bins;
        // pixels beyond them are not counted.
        Box3D<int> box = user.box();
        box.min.x = std::max(box.min.x, 0);
        box.max.x = std::min(box.max.x, std::min(m_width, kHistColumns) - 1);
        box.min.y = std::max(box.min.y, 0);
        box.max.y = std::min(box.max.y, m_height - 1);
        box.min.z = std::max(user.BoxInRoom().min.z >> binShift, 0);
        box.max.z = std::min(user.BoxInRoom().max.z >> binShift, kHistBins - 1);
        ComputeHists(k, box, m_histAreaByX, m_histLengthByX, m_histAreaByShift, binShift);
        long long total = 0;
        for (int x = box.min.x; x <= box.max.x; ++x) {
            total += m_histAreaByX[x];
        }
        const int g = static_cast<int>(total);

        // The x split.
        if (box.max.x - box.min.x >= 2) {
            long long running = 0;
            int start = -1;
            int end = -1;
            for (int x = box.min.x; x <= box.max.x; ++x) {
                running += m_histAreaByX[x];
                if (start < 0 && running > g / 5) {
                    start = x;
                } else if (running > 4LL * g / 5) {
                    end = x;
                    break;
                }
            }
            if (start >= 0 && end >= 0) {
                int first = -1;
                int last = -1;
                for (int x = start; x < end; ++x) {
                    const bool thin = m_histLengthByX[x] > 0 && m_histLengthByX[x] <= 99;
                    if (thin) {
                        first = first < 0 ? x : first;
                        last = x;
                    } else if (first >= 0) {
                        break;
                    }
                }
                if (first >= 0) {
                    long long runArea = 0;
                    for (int x = first; x <= last; ++x) {
                        runArea += m_histAreaByX[x];
                    }
                    if (runArea < g / 5) {
                        const int column = (first + last) / 2;
                        FindRobustCenterForXSplit(user, m_histAreaByX, column);
                        user.m_splitColumn = column;
                        continue;
                    }
                }
            }
        }

        // The depth split.
        const int* hist = m_histAreaByShift;
        int gapStart = -1;
        int gapEnd = -1;
        const bool split = FindDepthGap(user, hist, box.min.z, box.max.z, binShift, g, gapStart, gapEnd);
        if (split) {
            user.m_splitZFar = gapStart << binShift;
            user.m_splitZNear = gapEnd << binShift;
            FindRobustCenterForZSplit(user, box, hist, (user.m_splitZFar + user.m_splitZNear) / 2, binShift);
            continue;
        }
        const int* r = m_floorRotation;
        const int q = m_floorRotationShift;
        user.SetRobustData(Vector3D<int>(com.x, (r[0] * com.y + r[1] * com.z) >> q, (r[2] * com.y + r[3] * com.z) >> q),
                           g, false);
    }
}

bool Segmentation::FindDepthGap(const User& user, const int* hist, int zlo, int zhi, int binShift, int g, int& gapStart,
                                int& gapEnd) const {
    const NACommonData& hub = *m_commonData;
    const Vector3D<int>& com = user.CenterOfMass();
    bool split = false;
    gapStart = -1;
    gapEnd = -1;
    if (zlo <= zhi) {
        int far = -1;
        int m = hist[zhi];
        for (int b = zhi - 1; b >= zlo; --b) {
            if (hist[b] == 0) {
                continue;
            }
            if (hist[b] < m) {
                far = b;
                break;
            }
            m = hist[b];
        }
        int near = -1;
        m = hist[zlo];
        for (int b = zlo + 1; b <= zhi; ++b) {
            if (hist[b] == 0) {
                continue;
            }
            if (hist[b] < m) {
                near = b;
                break;
            }
            m = hist[b];
        }
        if (near >= 0 && far >= 0 && far - near > 1) {
            const int rows = user.box().max.y - user.box().min.y;
            const long long h = std::max(800, m_converter->LengthAtDepthInt(com.z, rows));
            const long long limit = std::min(h * h / 5, static_cast<long long>(g / 2));
            long long sum = 0;
            int c = -1;
            for (int b = zlo; b <= zhi; ++b) {
                sum += hist[b];
                if (sum > limit) {
                    c = b;
                    break;
                }
            }
            near = std::max(near, c);
        }
        if (near >= 0 && far >= 0 && far - near > 1) {
            long long farArea = 0;
            for (int b = far + 1; b <= zhi; ++b) {
                farArea += hist[b];
            }
            long long running = farArea;
            long long gapArea = 0;
            bool stopped = false;
            for (int b = far; b >= near && !split && !stopped; --b) {
                running += hist[b];
                const int depth = b << binShift;
                const unsigned short fixedStep = static_cast<unsigned short>(depth - 50);
                // The depth one shift nearer; a depth without a shift
                // has none and takes the fixed step.
                unsigned short shiftStep = fixedStep;
                if (depth >= 0 && static_cast<unsigned>(depth) < hub.m_nDepthTableCapacity &&
                    m_pDepthToShift[depth] > 0) {
                    shiftStep = m_pShiftToDepth[m_pDepthToShift[depth] - 1];
                }
                const int kBin = std::min(fixedStep, shiftStep) >> binShift;
                bool dense = kBin < near;
                if (!dense && kBin <= b) {
                    long long window = 0;
                    for (int j = kBin; j <= b; ++j) {
                        window += hist[j];
                    }
                    dense = window > 6999;
                }
                if (!dense) {
                    gapArea += hist[b];
                    gapEnd = kBin;
                    gapStart = gapStart < 0 ? b : gapStart;
                    continue;
                }
                if (gapStart < 0) {
                    farArea += hist[b];
                    stopped = kBin < near;
                    continue;
                }
                const long long nearRest = g - running;
                const long long r = user.m_robustArea != 0 ? user.m_robustArea : user.area();
                long long between = gapArea;
                for (int j = gapEnd; j <= b - 1; ++j) {
                    between += hist[j];
                }
                const long long o = (g - farArea) / 3;
                const long long p = static_cast<long long>(gapStart - gapEnd) << binShift;
                const bool deep = (farArea > o && p <= 199) ||
                                  static_cast<int>(o + (p - 200) * (5000 - o) / 600) < farArea || p > 800;
                if (r >= 0 && nearRest > r / 5 && between < g / 5 && farArea > 0 && deep) {
                    split = true;
                    break;
                }
                gapArea = 0;
                farArea = running;
                gapStart = -1;
                gapEnd = -1;
                stopped = kBin < near;
            }
            // A gap still open past the near drop is taken as it is.
            if (!split && !stopped && gapStart >= 0) {
                split = true;
            }
        }
    }
    return split;
}

void Segmentation::ComputeHists(int id, const Box3D<int>& box, int* areaByX, int* lengthByX, int* areaByShift,
                                int binShift) {
    if (box.min.x <= box.max.x) {
        std::fill(areaByX + box.min.x, areaByX + box.max.x + 1, 0);
        std::fill(lengthByX + box.min.x, lengthByX + box.max.x + 1, 0);
    }
    if (box.min.z <= box.max.z) {
        std::fill(areaByShift + box.min.z, areaByShift + box.max.z + 1, 0);
    }
    const XnLabel* labels = Labels().Data();
    const unsigned short* floorDepth = m_floorDepth.Data();
    for (int y = box.min.y; y <= box.max.y; ++y) {
        for (int x = box.min.x; x <= box.max.x; ++x) {
            const int i = y * m_width + x;
            if (labels[i] != id) {
                continue;
            }
            const int d = floorDepth[i];
            const int a = PixelArea(*m_converter, d);
            areaByX[x] += a;
            lengthByX[x] += m_converter->LengthAt(d);
            const int bin = d >> binShift;
            if (bin >= box.min.z && bin <= box.max.z) {
                areaByShift[bin] += a;
            }
        }
    }
    for (int x = box.min.x; x <= box.max.x; ++x) {
        areaByX[x] >>= m_converter->m_nAreaShift;
        lengthByX[x] >>= m_converter->m_nLengthShift;
    }
    for (int b = box.min.z; b <= box.max.z; ++b) {
        areaByShift[b] >>= m_converter->m_nAreaShift;
    }
}

void Segmentation::FindRobustCenterForXSplit(User& user, const int* areaByX, int splitColumn) {
    const XnLabel* labels = Labels().Data();
    const unsigned short* floorDepth = m_floorDepth.Data();
    const int id = user.id();
    const int x0 = std::max(user.box().min.x, 0);
    const int x1 = std::min(user.box().max.x, std::min(m_width, kHistColumns) - 1);
    long long sums[2] = {0, 0};
    for (int y = std::max(user.box().min.y, 0); y <= std::min(user.box().max.y, m_height - 1); ++y) {
        for (int x = x0; x <= x1; ++x) {
            const int i = y * m_width + x;
            if (labels[i] == id) {
                const int d = floorDepth[i];
                // 64 bits: beyond 6.8 m the product passes 32 bits.
                sums[x < splitColumn ? 0 : 1] += static_cast<long long>(d) * PixelArea(*m_converter, d);
            }
        }
    }
    long long area[2] = {0, 0};
    long long weighted[2] = {0, 0};
    for (int x = x0; x <= x1; ++x) {
        const int side = x < splitColumn ? 0 : 1;
        area[side] += areaByX[x];
        weighted[side] += static_cast<long long>(x) * areaByX[x];
    }
    const int cx = m_converter->m_nCenterX;
    const int y = user.CenterOfMass().y;
    Vector3D<int> candidate[2];
    for (int side = 0; side < 2; ++side) {
        if (area[side] > 0) {
            const int z = static_cast<int>((sums[side] >> m_converter->m_nAreaShift) / area[side]);
            const int column = static_cast<int>(weighted[side] / area[side]);
            candidate[side] = Vector3D<int>(m_converter->LengthAtDepthInt(z, column - cx), y, z);
        }
    }
    // A side without area is never chosen.
    const bool left = area[1] == 0 || (area[0] > 0 && ChooseFirst(user.m_predictedCenter, candidate[0], area[0],
                                                                  candidate[1], area[1]));
    user.SetRobustData(candidate[left ? 0 : 1], static_cast<int>(area[left ? 0 : 1]), true);
}

void Segmentation::FindRobustCenterForZSplit(User& user, const Box3D<int>& box, const int* areaByShift, int midDepth,
                                             int binShift) {
    const XnLabel* labels = Labels().Data();
    const unsigned short* floorDepth = m_floorDepth.Data();
    const int id = user.id();
    long long sx[2] = {0, 0};
    long long w[2] = {0, 0};
    long long ysum[2] = {0, 0};
    Box1D<int> span[2];
    for (int y = box.min.y; y <= box.max.y; ++y) {
        int count[2] = {0, 0};
        Box1D<int> row[2];
        for (int x = box.min.x; x <= box.max.x; ++x) {
            const int i = y * m_width + x;
            if (labels[i] != id) {
                continue;
            }
            const int d = floorDepth[i];
            const int part = d < midDepth ? 0 : 1;
            sx[part] += static_cast<long long>(PixelArea(*m_converter, d)) * x;
            ++count[part];
            row[part].min = std::min(row[part].min, x);
            row[part].max = std::max(row[part].max, x);
            // Weighted toward rows with many pixels of the part.
            for (int p = 0; p < 2; ++p) {
                w[p] += count[p];
                ysum[p] += static_cast<long long>(count[p]) * y;
            }
        }
        for (int p = 0; p < 2; ++p) {
            span[p].min = std::min(span[p].min, row[p].min);
            span[p].max = std::max(span[p].max, row[p].max);
        }
    }
    const int midBin = midDepth >> binShift;
    long long area[2] = {0, 0};
    long long bins[2] = {0, 0};
    for (int b = box.min.z; b <= box.max.z; ++b) {
        const int part = b <= midBin ? 0 : 1;
        area[part] += areaByShift[b];
        bins[part] += static_cast<long long>(b) * areaByShift[b];
    }
    const Vector3D<int>& com = user.CenterOfMass();
    const int* r = m_floorRotation;
    const int q = m_floorRotationShift;
    const Vector3D<int> rotated(com.x, (r[0] * com.y + r[1] * com.z) >> q, (r[2] * com.y + r[3] * com.z) >> q);
    // A part without area in the histogram gives no centre: no split.
    if (area[0] == 0 || area[1] == 0) {
        user.SetRobustData(rotated, static_cast<int>(area[0] + area[1]), false);
        user.m_splitColumn = user.m_splitZFar = user.m_splitZNear = -1;
        return;
    }
    long long column[2];
    for (int p = 0; p < 2; ++p) {
        column[p] = (sx[p] >> m_converter->m_nAreaShift) / area[p];
    }
    const bool stacked = span[1].min < column[0] && column[0] < span[1].max && span[0].min < column[1] &&
                         column[1] < span[0].max && w[0] > 0 && w[1] > 0 && ysum[0] / w[0] < ysum[1] / w[1];
    if (stacked) {
        user.SetRobustData(rotated, static_cast<int>(area[0] + area[1]), false);
        user.m_splitColumn = user.m_splitZFar = user.m_splitZNear = -1;
        return;
    }
    const int cx = m_converter->m_nCenterX;
    Vector3D<int> candidate[2];
    for (int p = 0; p < 2; ++p) {
        const int z = static_cast<int>((bins[p] / area[p]) << binShift);
        candidate[p] = Vector3D<int>(m_converter->LengthAtDepthInt(z, static_cast<int>(column[p]) - cx), com.y, z);
    }
    const bool near = ChooseFirst(user.m_predictedCenter, candidate[0], area[0], candidate[1], area[1]);
    user.SetRobustData(candidate[near ? 0 : 1], static_cast<int>(area[near ? 0 : 1]), true);
}
