#include "SceneAnalyzer/MotionCandidate.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iostream>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/Cluster.h"

namespace {

// Distance (mm) between two side points (world x, depth).
float SideDistance(int32_t x1, uint16_t depth1, int32_t x2, uint16_t depth2) {
    const float dx = static_cast<float>(x1) - static_cast<float>(x2);
    const float dz = static_cast<float>(depth1) - static_cast<float>(depth2);
    return std::sqrt(dx * dx + dz * dz);
}

}  // namespace

Suspect::Suspect(NACommonData* data, int id, const Cluster& cluster, Resolution res)
    : m_pCluster(nullptr),
      m_id(id),
      m_bDetected(false),
      m_bTracked(false),
      m_nArea(cluster.area),
      m_nIndex(0),
      m_bFull(false),
      m_bMoving(false),
      m_pDepthToShift(data->m_pDepthToShift),
      m_nDepthTableCapacity(data->m_nDepthTableCapacity),
      m_pConverter(data->m_pWorldPointConverters[res]) {
    const Box3D<int> empty(Vector3D<int>(INT_MAX, INT_MAX, INT_MAX), Vector3D<int>(INT_MIN, INT_MIN, INT_MIN));
    for (int i = 0; i < kHistory; ++i) {
        m_centers[i][0] = m_centers[i][1] = 0.0f;
        m_boxes[i] = empty;
        m_boxesDepth[i] = empty;
        m_leftX[i] = m_rightX[i] = 0;
        m_leftDepth[i] = m_rightDepth[i] = 0;
        m_front[i] = m_rear[i] = 0;
    }
    FillSlot(cluster);
}

void Suspect::FillSlot(const Cluster& c) {
    const int i = m_nIndex;
    const auto shiftOf = [this](int depth) -> int {
        if (m_nDepthTableCapacity == 0) {
            return 0;
        }
        return m_pDepthToShift[std::min<uint32_t>(static_cast<uint32_t>(std::max(depth, 0)),
                                                  m_nDepthTableCapacity - 1)];
    };
    m_centers[i][0] = c.center[0];
    m_centers[i][1] = c.center[1];
    m_leftX[i] = static_cast<int32_t>(c.left);
    m_rightX[i] = static_cast<int32_t>(c.right);
    m_leftDepth[i] = c.leftDepth;
    m_rightDepth[i] = c.rightDepth;
    m_front[i] = c.front;
    m_rear[i] = c.rear;
    const int frontShift = shiftOf(c.front);
    const int nearShift = std::min(frontShift == 0 ? 0 : frontShift - 1, shiftOf(std::max(c.front - 100, 0)));
    m_boxes[i] = Box3D<int>(Vector3D<int>(c.leftPixel, c.bottomPixel, nearShift),
                            Vector3D<int>(c.rightPixel, c.topPixel, shiftOf(c.rear)));
    m_boxesDepth[i] = Box3D<int>(Vector3D<int>(c.leftPixel, c.bottomPixel, c.front < 100 ? 0 : c.front - 100),
                                 Vector3D<int>(c.rightPixel, c.topPixel, c.rear));
    m_nArea = c.area;
}

void Suspect::update(bool debug) {
    if (m_pCluster == nullptr) {
        return;
    }
    if (m_nIndex == kHistory - 1) {
        m_nIndex = 0;
        m_bFull = true;
    } else {
        ++m_nIndex;
    }
    FillSlot(*m_pCluster);
    const int i = m_nIndex;
    if (debug) {
        for (int j = i; j >= 0; --j) {
            const float dl = SideDistance(m_leftX[i], m_leftDepth[i], m_leftX[j], m_leftDepth[j]);
            const float dr = SideDistance(m_rightX[i], m_rightDepth[i], m_rightX[j], m_rightDepth[j]);
            std::cerr << j << ' ' << m_leftX[j] << ' ' << m_leftDepth[j] << ' ' << m_rightX[j] << ' '
                      << m_rightDepth[j] << ' ' << dl << ' ' << dr << ' ' << std::min(dl, dr) << '\n';
        }
    }
    m_bDetected = false;
    const float depth = m_centers[i][1];
    const float pixel = m_pConverter != nullptr ? m_pConverter->PixelSizeAt(static_cast<int>(depth)) : 0.0f;
    const float height = static_cast<float>(m_boxes[i].max.y - m_boxes[i].min.y) * pixel;
    if (height < kMinHeight) {
        m_bTracked = false;
        return;
    }
    if (m_bTracked) {
        return;
    }
    if (evaluateMotion()) {
        m_bDetected = true;
        m_bTracked = true;
    }
}

bool Suspect::evaluateMotion() {
    m_bMoving = false;
    const int i = m_nIndex;
    const auto movedFrom = [this, i](int j) {
        return std::min(SideDistance(m_leftX[i], m_leftDepth[i], m_leftX[j], m_leftDepth[j]),
                        SideDistance(m_rightX[i], m_rightDepth[i], m_rightX[j], m_rightDepth[j])) > kMinMotion;
    };
    for (int j = i - 1; j >= 0; --j) {
        if (movedFrom(j)) {
            m_bMoving = true;
            return true;
        }
    }
    if (m_bFull) {
        for (int j = kHistory - 1; j > i; --j) {
            if (movedFrom(j)) {
                m_bMoving = true;
                return true;
            }
        }
    }
    return false;
}
