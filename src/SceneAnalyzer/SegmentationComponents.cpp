// The connected components of a frame: inputs, labelling images, label
// borders, depth changes, per-component measures and the first assignment
// of components to the previous frame's users by overlap.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/Farfield.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "SceneAnalyzer/Segmentation.h"
#include "SceneAnalyzer/SegmentationBoxes.h"

using scene_analysis::GrowX;
using scene_analysis::GrowY;
using scene_analysis::GrowZ;
using scene_analysis::PixelArea;

void Segmentation::updateFrame(const Array2D<unsigned short>& shadowMap) {
    NACommonData& hub = *m_commonData;
    m_frameId = hub.m_nFrameID;
    m_depth = &hub.DepthMap(m_resolution, 0);
    m_prevDepth = &hub.DepthMap(m_resolution, 1);
    m_shiftMap = &hub.ShiftMap(m_resolution, 0);
    m_shadowMap = &shadowMap;
    m_imageBox = hub.ImageBox(m_resolution);
    m_mirrored = hub.m_pDepthGenerator != nullptr && hub.m_pDepthGenerator->IsMirrored();
    m_labelHistory.Push();

    int c = 1024;
    int s = 0;
    const SAPlane& floor = m_planes->Floor();
    if (floor.m_hasSAPlane) {
        const float ny = floor.m_plane.m_normal.y;
        const float nz = floor.m_plane.m_normal.z;
        const float m = std::sqrt(ny * ny + nz * nz);
        // A normal along x has no tilt to take out.
        if (m > 0.0f) {
            s = static_cast<int>(std::floor(nz / m * 1024 + 0.5f));
            c = static_cast<int>(std::floor(ny / m * 1024 + 0.5f));
        }
    }
    m_floorRotation[0] = c;
    m_floorRotation[1] = s;
    m_floorRotation[2] = -s;
    m_floorRotation[3] = c;
    const XnDepthPixel* depth = m_depth->Data();
    unsigned short* floorDepth = m_floorDepth.Data();
    if (c == 1024 && s == 0) {
        std::copy(depth, depth + m_pixelCount, floorDepth);
        return;
    }
    const int cy = m_converter->m_nCenterY;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const int i = y * m_width + x;
            const int z = depth[i];
            floorDepth[i] = static_cast<unsigned short>((c * z - s * m_converter->LengthAtDepthInt(z, cy - y)) >> 10);
        }
    }
}

void Segmentation::DepthForCCPixel(int i, bool extreme) {
    const XnDepthPixel depth = m_depth->Data()[i];
    const unsigned short shift = m_shiftMap->Data()[i];
    const XnLabel plane = extreme ? m_planes->m_planeIdMap.Data()[i] : 0;
    if ((plane >= 1 && plane <= 5) || depth >= m_maxSupportedDepth) {
        m_ccDepth.Data()[i] = 0;
        m_ccDepth2.Data()[i] = 0;
        return;
    }
    // Background of no previous user that had depth last frame.
    const bool pushed = m_farfield->GetForegroundImage().Data()[i] == 0 && PreviousLabels().Data()[i] == 0 &&
                        m_prevDepth->Data()[i] != 0;
    m_ccDepth.Data()[i] = static_cast<unsigned short>(depth == 0 ? m_farDepth2 : (pushed ? depth + m_farDepth : depth));
    m_ccDepth2.Data()[i] =
        static_cast<unsigned short>(shift == 0 ? m_farShift2 : (pushed ? shift + m_farShift : shift));
}

void Segmentation::updateDepthForCC() {
    const bool extreme = m_planes->m_foundExtremePlane && m_planes->m_planeIdMap.Data() != nullptr;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const int i = y * m_width + x;
            if (x < m_imageBox.min.x || x > m_imageBox.max.x || y < m_imageBox.min.y || y > m_imageBox.max.y) {
                m_ccDepth.Data()[i] = 0;
                m_ccDepth2.Data()[i] = 0;
            } else {
                DepthForCCPixel(i, extreme);
            }
        }
    }
}

void Segmentation::labelComponents() {
    const unsigned coefficient = m_commonData->m_sensorParams.nParamCoeff;
    const unsigned short t = static_cast<unsigned short>((coefficient / 4) * 3);
    LabelPyramid& pyramid = m_labelHistory.GetCurrent();
    xn::SceneMetaData& labels = pyramid.m_levels[m_resolution];
    if (m_resolution == QQQVGA) {
        m_ccDetector.RunHybrid(m_ccDepth, m_ccDepth2, labels, 70, t);
    } else {
        m_ccDetector.RunHybrid(m_ccDepth, m_ccDepth2, labels, 50, t * 2 / 3);
    }
    pyramid.ResetMapExist();
    pyramid.m_bFilled[m_resolution] = true;
}

void Segmentation::initLabelDer() {
    unsigned char* der = m_labelDer.Data();
    if (m_width <= 0 || m_height <= 0) {
        return;
    }
    std::fill(der, der + m_width, 0);
    std::fill(der + (m_height - 1) * m_width, der + m_height * m_width, 0);
    for (int y = 0; y < m_height; ++y) {
        der[y * m_width] = 0;
        der[y * m_width + m_width - 1] = 0;
    }
}

unsigned char Segmentation::LabelBorder(const XnLabel* labels, int i) const {
    const XnLabel l = labels[i];
    return l != 0 && (labels[i - 1] != l || labels[i + 1] != l || labels[i - m_width] != l || labels[i + m_width] != l)
               ? 1
               : 0;
}

void Segmentation::derivateLabels() {
    const XnLabel* labels = Labels().Data();
    unsigned char* der = m_labelDer.Data();
    for (int y = 1; y < m_height - 1; ++y) {
        for (int x = 1; x < m_width - 1; ++x) {
            der[y * m_width + x] = LabelBorder(labels, y * m_width + x);
        }
    }
}

void Segmentation::computeImageDiff() {
    const XnDepthPixel* z = m_depth->Data();
    const XnDepthPixel* zp = m_prevDepth->Data();
    unsigned char* same = m_sameDepth.Data();
    unsigned char* near = m_nearDepth.Data();
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const int i = y * m_width + x;
            const int depth = z[i];
            const bool unchanged = std::abs(depth - zp[i]) < 100;
            same[i] = unchanged ? 1 : 0;
            bool close = unchanged;
            close = close || (x > 0 && std::abs(depth - zp[i - 1]) < 100);
            close = close || (x < m_width - 1 && std::abs(depth - zp[i + 1]) < 100);
            close = close || (y > 0 && std::abs(depth - zp[i - m_width]) < 100);
            close = close || (y < m_height - 1 && std::abs(depth - zp[i + m_width]) < 100);
            near[i] = close ? 1 : 0;
        }
    }
}

void Segmentation::computeCCProperties() {
    InitializeCCs();
    if (m_SSE != 0 && m_ccDetector.Get_SSE_Flag() != 0) {
        getCCsDataFromPixels_SSE();
    } else {
        getCCsDataFromPixels();
    }
    updateCCsInfo();
}

void Segmentation::InitializeCCs() {
    m_numCCs = std::max(0, std::min(static_cast<int>(m_ccDetector.LabelCount()) - 1, kMaxCCs - 1));
    for (int k = 0; k <= m_numCCs; ++k) {
        m_ccs[k].Clear();
        m_ccPixCount[k] = 0;
        m_ccArea[k] = 0;
        m_ccCenterX[k] = 0;
        m_ccCenterY[k] = 0;
        m_ccCenterZ[k] = 0;
        m_ccFgArea[k] = 0;
        m_ccTrackedArea[k] = 0;
        m_ccUserId[k] = 0;
        m_ccNode[k] = 0;
        std::fill(m_ccUserMetric[k], m_ccUserMetric[k] + kMaxUsers + 1, 0);
        std::fill(m_ccGlueMetric[k], m_ccGlueMetric[k] + kMaxUsers + 1, 0);
        m_ccToBackground[k] = false;
        m_ccRedetected[k] = false;
        m_ccCutInDepth[k] = false;
        m_ccNoDepth[k] = false;
        m_ccIsFg[k] = false;
        m_ccIsTracked[k] = false;
        m_ccIsForGluing[k] = false;
        m_ccIsPositive[k] = false;
        m_ccBox[k] = Box3D<int>();
        m_ccBoxInRoom[k] = Box3D<int>();
    }
}

template <typename F>
void Segmentation::ForEachRun(F visit) const {
    const XnLabel* labels = Labels().Data();
    for (int y = 0; y < m_height; ++y) {
        const XnLabel* row = labels + y * m_width;
        int x = 0;
        while (x < m_width) {
            const XnLabel label = row[x];
            if (label == 0) {
                ++x;
                continue;
            }
            const int x0 = x;
            while (x < m_width && row[x] == label) {
                ++x;
            }
            visit(label, y, x0, x - 1);
        }
    }
}

void Segmentation::getCCsDataFromPixels() {
    ForEachRun([this](int label, int y, int x0, int x1) { AddRun(label, y, x0, x1); });
}

long long Segmentation::RoomY(int y, int z) const {
    return static_cast<long long>(m_floorRotation[0]) * y + static_cast<long long>(m_floorRotation[1]) * z;
}

long long Segmentation::RoomZ(int y, int z) const {
    return static_cast<long long>(m_floorRotation[0]) * z - static_cast<long long>(m_floorRotation[1]) * y;
}

void Segmentation::GrowRoomBox(Box3D<int>& box, int x0, int x1, int y, int zmin, int zmax) const {
    const int cx = m_converter->m_nCenterX;
    const int cy = m_converter->m_nCenterY;
    for (const int z : {zmin, zmax}) {
        GrowX(box, m_converter->LengthAtDepthInt(z, x0 - cx));
        GrowX(box, m_converter->LengthAtDepthInt(z, x1 - cx));
        const int height = m_converter->LengthAtDepthInt(z, cy - y);
        GrowY(box, static_cast<int>(RoomY(height, z)));
        GrowZ(box, static_cast<int>(RoomZ(height, z)));
    }
}

Vector3D<int> Segmentation::RoomCenter(int x, int y, int z) const {
    const int cx = m_converter->m_nCenterX;
    const int cy = m_converter->m_nCenterY;
    const int height = m_converter->LengthAtDepthInt(z, cy - y);
    return Vector3D<int>(m_converter->LengthAtDepthInt(z, x - cx), static_cast<int>(RoomY(height, z) >> 10),
                         static_cast<int>(RoomZ(height, z) >> 10));
}

void Segmentation::AddRun(int label, int y, int x0, int x1) {
    if (label == 0 || label > m_numCCs) {
        return;
    }
    const int i0 = y * m_width + x0;
    const XnDepthPixel* depth = m_depth->Data();
    if (depth[i0] == 0) {
        m_ccNoDepth[label] = true;
        return;
    }
    if (m_ccDepth.Data()[i0] >= static_cast<unsigned short>(m_farDepth)) {
        GrowX(m_ccBox[label], x0);
        GrowX(m_ccBox[label], x1);
        GrowY(m_ccBox[label], y);
        return;
    }
    m_ccIsPositive[label] = true;
    ConnectedComponent& cc = m_ccs[label];
    GrowX(cc.bounds, x0);
    GrowX(cc.bounds, x1);
    GrowY(cc.bounds, y);
    const unsigned short* fg = m_farfield->GetForegroundImage().Data();
    const XnLabel* prevLabels = PreviousLabels().Data();
    const unsigned char* near = m_nearDepth.Data();
    const unsigned char* same = m_sameDepth.Data();
    int zmin = INT_MAX;
    int zmax = INT_MIN;
    for (int i = i0; i <= i0 + (x1 - x0); ++i) {
        const int z = depth[i];
        const int a = PixelArea(*m_converter, z);
        cc.zCenter += z;
        cc.area += a;
        if (fg[i] != 0) {
            cc.fgArea += a;
        }
        if (near[i] != 0) {
            cc.trackedArea += a;
        }
        if (same[i] != 0 && prevLabels[i] != 0 && prevLabels[i] <= kMaxUsers) {
            cc.userMetric[prevLabels[i]] += a;
        }
        zmin = std::min(zmin, z);
        zmax = std::max(zmax, z);
    }
    const int n = x1 - x0 + 1;
    cc.pixelCount += n;
    cc.yCenter += y * n;
    cc.xCenter += (x0 + x1) * n / 2;
    GrowZ(cc.bounds, zmin);
    GrowZ(cc.bounds, zmax);
    GrowRoomBox(cc.boundsInRoom, x0, x1, y, zmin, zmax);
}

void Segmentation::updateCCsInfo() {
    const int areaShift = AreaShift();
    int best[kMaxUsers + 1];
    int bestCC[kMaxUsers + 1];
    std::fill(best, best + kMaxUsers + 1, 10000);
    std::fill(bestCC, bestCC + kMaxUsers + 1, 0);
    for (int k = 1; k <= m_numCCs; ++k) {
        if (!m_ccIsPositive[k] || m_ccNoDepth[k]) {
            continue;
        }
        ConnectedComponent& cc = m_ccs[k];
        cc.xCenter /= cc.pixelCount;
        cc.yCenter /= cc.pixelCount;
        cc.zCenter /= cc.pixelCount;
        cc.centerInRoom = RoomCenter(cc.xCenter, cc.yCenter, cc.zCenter);
        cc.xzCenter = Vector2D<int>(cc.centerInRoom.x, cc.zCenter);
        cc.boundsInRoom.min.y >>= 10;
        cc.boundsInRoom.min.z >>= 10;
        cc.boundsInRoom.max.y >>= 10;
        cc.boundsInRoom.max.z >>= 10;
        cc.area >>= areaShift;
        cc.trackedArea >>= areaShift;
        cc.fgArea >>= areaShift;
        for (int j = 1; j <= kMaxUsers; ++j) {
            cc.userMetric[j] >>= areaShift;
        }
        cc.isTrakced = 10 * cc.trackedArea > 8 * cc.area;
        cc.isFg = 2 * cc.fgArea > cc.area;
        int owner = 0;
        long long overlap = 0;
        for (int j = 1; j <= kMaxUsers; ++j) {
            if (cc.userMetric[j] > overlap) {
                overlap = cc.userMetric[j];
                owner = j;
            }
        }
        if (cc.area < 3 * overlap && m_users[owner].addCC(k)) {
            cc.userId = static_cast<unsigned short>(owner);
        }
        if (owner != 0 && overlap > best[owner]) {
            best[owner] = static_cast<int>(overlap);
            bestCC[owner] = k;
        }
    }
    for (int j = 1; j <= kMaxUsers; ++j) {
        if (bestCC[j] != 0 && m_ccs[bestCC[j]].userId == 0 && m_users[j].addCC(bestCC[j])) {
            m_ccs[bestCC[j]].userId = static_cast<unsigned short>(j);
        }
    }
}

void Segmentation::copyCCStructs2Properties() {
    for (int k = 0; k <= m_numCCs; ++k) {
        if (!m_ccIsPositive[k] || m_ccNoDepth[k]) {
            continue;
        }
        const ConnectedComponent& cc = m_ccs[k];
        m_ccArea[k] = static_cast<int>(cc.area);
        m_ccFgArea[k] = static_cast<int>(cc.fgArea);
        m_ccPixCount[k] = cc.pixelCount;
        m_ccBox[k] = cc.bounds;
        m_ccBoxInRoom[k] = cc.boundsInRoom;
        m_ccCenterInRoom[k] = cc.centerInRoom;
        m_ccCenterX[k] = cc.xCenter;
        m_ccCenterY[k] = cc.yCenter;
        m_ccCenterZ[k] = cc.zCenter;
        m_ccXZCenter[k] = cc.xzCenter;
        m_ccTrackedArea[k] = static_cast<int>(cc.trackedArea);
        m_ccUserId[k] = cc.userId;
        m_ccNode[k] = cc.node;
        m_ccIsFg[k] = cc.isFg;
        m_ccIsTracked[k] = cc.isTrakced;
        m_ccIsForGluing[k] = cc.isForGluing;
        for (int j = 0; j <= kMaxUsers; ++j) {
            m_ccUserMetric[k][j] = static_cast<int>(cc.userMetric[j]);
        }
    }
}

// ---- background components and single components, on demand ----

void Segmentation::computeCCPropertiesForDetection() {
    getCCsDataFromPixelsForDetection();
    updateCCsInfoForDetection();
}

void Segmentation::getCCsDataFromPixelsForDetection() {
    const XnDepthPixel* depth = m_depth->Data();
    ForEachRun([&](int label, int y, int x0, int x1) {
        if (label > m_numCCs || m_ccIsPositive[label] || m_ccNoDepth[label]) {
            return;
        }
        int zmin = INT_MAX;
        int zmax = INT_MIN;
        for (int i = y * m_width + x0; i <= y * m_width + x1; ++i) {
            m_ccCenterZ[label] += depth[i];
            m_ccArea[label] += PixelArea(*m_converter, depth[i]);
            zmin = std::min(zmin, static_cast<int>(depth[i]));
            zmax = std::max(zmax, static_cast<int>(depth[i]));
        }
        const int n = x1 - x0 + 1;
        m_ccPixCount[label] += n;
        m_ccCenterX[label] += (x0 + x1) * n / 2;
        m_ccCenterY[label] += y * n;
        GrowZ(m_ccBox[label], zmin);
        GrowZ(m_ccBox[label], zmax);
        GrowRoomBox(m_ccBoxInRoom[label], x0, x1, y, zmin, zmax);
    });
}

void Segmentation::updateCCsInfoForDetection() {
    for (int k = 1; k <= m_numCCs; ++k) {
        if (m_ccIsPositive[k] || m_ccNoDepth[k] || m_ccPixCount[k] == 0) {
            continue;
        }
        m_ccCenterX[k] /= m_ccPixCount[k];
        m_ccCenterY[k] /= m_ccPixCount[k];
        m_ccCenterZ[k] /= m_ccPixCount[k];
        m_ccCenterInRoom[k] = RoomCenter(m_ccCenterX[k], m_ccCenterY[k], m_ccCenterZ[k]);
        m_ccXZCenter[k] = Vector2D<int>(m_ccCenterInRoom[k].x, m_ccCenterZ[k]);
        m_ccBoxInRoom[k].min.y >>= 10;
        m_ccBoxInRoom[k].min.z >>= 10;
        m_ccBoxInRoom[k].max.y >>= 10;
        m_ccBoxInRoom[k].max.z >>= 10;
        m_ccArea[k] >>= AreaShift();
    }
}

void Segmentation::computePixCount(int label) {
    if (m_ccPixCount[label] != 0) {
        return;
    }
    const XnLabel* labels = Labels().Data();
    const Box3D<int>& box = m_ccBox[label];
    int count = 0;
    for (int y = std::max(box.min.y, 0); y <= std::min(box.max.y, m_height - 1); ++y) {
        for (int x = std::max(box.min.x, 0); x <= std::min(box.max.x, m_width - 1); ++x) {
            count += labels[y * m_width + x] == label ? 1 : 0;
        }
    }
    m_ccPixCount[label] = count;
}

void Segmentation::computeZBounds(int label) {
    Box3D<int>& box = m_ccBox[label];
    if (box.max.z > 0) {
        return;
    }
    const XnLabel* labels = Labels().Data();
    const XnDepthPixel* depth = m_depth->Data();
    Box3D<int>& room = m_ccBoxInRoom[label];
    const int y0 = std::max(box.min.y, 0);
    const int y1 = std::min(box.max.y, m_height - 1);
    const int x0 = std::max(box.min.x, 0);
    const int x1 = std::min(box.max.x, m_width - 1);
    for (int y = y0; y <= y1; ++y) {
        int first = INT_MAX;
        int lastColumn = INT_MIN;
        int zmin = INT_MAX;
        int zmax = INT_MIN;
        for (int x = x0; x <= x1; ++x) {
            const int i = y * m_width + x;
            if (labels[i] == label) {
                first = std::min(first, x);
                lastColumn = std::max(lastColumn, x);
                zmin = std::min(zmin, static_cast<int>(depth[i]));
                zmax = std::max(zmax, static_cast<int>(depth[i]));
            }
        }
        // A row without a pixel of the component adds nothing.
        if (first > lastColumn) {
            continue;
        }
        GrowZ(box, zmin);
        GrowZ(box, zmax);
        GrowRoomBox(room, first, lastColumn, y, zmin, zmax);
    }
    room.min.y >>= 10;
    room.min.z >>= 10;
    room.max.y >>= 10;
    room.max.z >>= 10;
}

void Segmentation::computeArea(int label) {
    if (m_ccArea[label] != 0) {
        return;
    }
    const XnLabel* labels = Labels().Data();
    const XnDepthPixel* depth = m_depth->Data();
    const Box3D<int>& box = m_ccBox[label];
    long long area = 0;
    for (int y = std::max(box.min.y, 0); y <= std::min(box.max.y, m_height - 1); ++y) {
        for (int x = std::max(box.min.x, 0); x <= std::min(box.max.x, m_width - 1); ++x) {
            const int i = y * m_width + x;
            if (labels[i] == label) {
                area += PixelArea(*m_converter, depth[i]);
            }
        }
    }
    m_ccArea[label] = static_cast<int>(area >> AreaShift());
}

void Segmentation::computeCenter(int label) {
    if (m_ccCenterX[label] != 0 || m_ccCenterZ[label] != 0) {
        return;
    }
    const XnLabel* labels = Labels().Data();
    const XnDepthPixel* depth = m_depth->Data();
    const Box3D<int>& box = m_ccBox[label];
    long long sx = 0;
    long long sy = 0;
    long long sz = 0;
    for (int y = std::max(box.min.y, 0); y <= std::min(box.max.y, m_height - 1); ++y) {
        int x = std::max(box.min.x, 0);
        const int x1 = std::min(box.max.x, m_width - 1);
        while (x <= x1) {
            if (labels[y * m_width + x] != label) {
                ++x;
                continue;
            }
            const int first = x;
            while (x <= x1 && labels[y * m_width + x] == label) {
                sz += depth[y * m_width + x];
                ++x;
            }
            const int length = x - first;
            sx += static_cast<long long>(first + x - 1) * length / 2;
            sy += static_cast<long long>(y) * length;
        }
    }
    const int count = m_ccPixCount[label];
    if (count == 0) {
        return;
    }
    m_ccCenterX[label] = static_cast<int>(sx / count);
    m_ccCenterY[label] = static_cast<int>(sy / count);
    m_ccCenterZ[label] = static_cast<int>(sz / count);
    m_ccCenterInRoom[label] = RoomCenter(m_ccCenterX[label], m_ccCenterY[label], m_ccCenterZ[label]);
}

bool Segmentation::isCCOnNoDepth(int label) const {
    const XnLabel* labels = Labels().Data();
    const unsigned short* fg = m_farfield->GetForegroundImage().Data();
    const unsigned short* background = m_farfield->m_background.Data();
    const Box3D<int>& box = m_ccBox[label];
    for (int y = std::max(box.min.y, 0); y <= std::min(box.max.y, m_height - 1); ++y) {
        for (int x = std::max(box.min.x, 0); x <= std::min(box.max.x, m_width - 1); ++x) {
            const int i = y * m_width + x;
            if (labels[i] == label && fg[i] != 0 && background[i] != 0) {
                return false;
            }
        }
    }
    return true;
}

bool Segmentation::isCCInBox(int label, const Box3D<int>& box) const {
    const Box3D<int>& cc = m_ccBox[label];
    const int x0 = std::max(std::max(cc.min.x, box.min.x), 0);
    const int x1 = std::min(std::min(cc.max.x, box.max.x), m_width - 1);
    const int y0 = std::max(cc.min.y, 0);
    const int y1 = std::min(cc.max.y, m_height - 1);
    if (x1 < x0 || y1 < y0) {
        return false;
    }
    const long long pixels = m_ccPixCount[label];
    if (pixels > (2LL * (x1 - x0) + 2) * (y1 - y0 + 1)) {
        return false;
    }
    const XnLabel* labels = Labels().Data();
    const XnDepthPixel* depth = m_depth->Data();
    long long inside = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const int i = y * m_width + x;
            inside += labels[i] == label && depth[i] >= box.min.z && depth[i] <= box.max.z ? 1 : 0;
        }
        if (inside > pixels / 2) {
            return true;
        }
    }
    return false;
}
