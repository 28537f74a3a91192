#include "HandAnalysis/DUZFocusGestureTrajectory.h"

#include <algorithm>

int DUZFocusGestureTrajectory::m_siNextId = 0;

DUZFocusGestureTrajectory::DUZFocusGestureTrajectory(bool useFittedTrajectory)
    : m_useFittedTrajectory(useFittedTrajectory ? 1 : 0),
      m_justLost(0),
      m_handSizes(new Vector2D<float>[kHandSizesCapacity]),
      m_numHandSizes(0),
      m_handSizesCapacity(kHandSizesCapacity),
      m_handSizesIndex(0),
      m_trajectoryId(m_siNextId++) {
    std::fill(m_handSizes.get(), m_handSizes.get() + kHandSizesCapacity, Vector2D<float>(0, 0));
    ClearGestureState();
}

DUZFocusGestureTrajectory::~DUZFocusGestureTrajectory() = default;

void DUZFocusGestureTrajectory::ClearGestureState() {
    std::fill(m_gestureStatus, m_gestureStatus + kGestureTypes, static_cast<int>(GESTURE_STATUS_NONE));
    std::fill(m_gestureTime, m_gestureTime + kGestureTypes, SensorTime(0));
    std::fill(m_gestureValue, m_gestureValue + kGestureTypes, 0);
    std::fill(m_gestureFlag, m_gestureFlag + kGestureTypes, 0);
    std::fill(m_handSizeAtSlot, m_handSizeAtSlot + kLength, Vector2D<float>(0, 0));
}

void DUZFocusGestureTrajectory::Reset() {
    NATrajectory::Reset();
    ClearGestureState();
    m_fittedTrajectory.Reset();
    m_justLost = 0;
    m_trajectoryId = m_siNextId++;
}

void DUZFocusGestureTrajectory::UpdateNewPosition(const Vector3D<float>& position, unsigned int frameId,
                                                  SensorTime time) {
    NATrajectory::UpdateNewPosition(position, frameId, time);
    if (m_useFittedTrajectory != 0) {
        m_fittedTrajectory.AddPointUpdate(time, position);
    }
}

void DUZFocusGestureTrajectory::SetHandXYSize(unsigned int frameId, const Vector2D<float>& size) {
    m_handSizeAtSlot[Slot(frameId)] = size;
    if (++m_handSizesIndex == m_handSizesCapacity) {
        m_handSizesIndex = 0;
    }
    if (m_numHandSizes != m_handSizesCapacity) {
        ++m_numHandSizes;
    }
    m_handSizes[m_handSizesIndex] = size;
}

Vector2D<float> DUZFocusGestureTrajectory::EstimateHandSize() const {
    const int n = m_numHandSizes;
    if (n <= 0) {
        return Vector2D<float>(0, 0);
    }
    float larger[kHandSizesCapacity];
    for (int k = 0; k < n; ++k) {
        int index = m_handSizesIndex - k;
        if (index < 0) {
            index += m_handSizesCapacity;
        }
        larger[k] = std::max(m_handSizes[index].x, m_handSizes[index].y);
    }
    std::sort(larger, larger + n);
    const float v = larger[static_cast<int>(static_cast<float>(n) * kHandSizeQuantile)];
    return Vector2D<float>(kHandWidthToHeight * v, v);
}
