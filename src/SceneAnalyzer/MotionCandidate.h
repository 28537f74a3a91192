#pragma once

// A candidate person: a cluster of depth-edge blocks followed from frame to
// frame, with a 100-frame history of its sides and boxes. It becomes
// tracked when it is at least 800 mm tall and both its sides have moved
// more than 200 mm against some earlier frame; the segmentation then looks
// for a user in its current box.

#include <cstdint>

#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"

class Cluster;
class NACommonData;

class Suspect {
public:
    static constexpr int kHistory = 100;
    // Height (mm) a suspect needs to be tracked.
    static constexpr float kMinHeight = 800.0f;
    // Distance (mm) both sides must have moved.
    static constexpr float kMinMotion = 200.0f;

    Suspect(NACommonData* data, int id, const Cluster& cluster, Resolution res);

    // One frame with the cluster matched (nothing without one); debug writes
    // the side distances to every earlier slot on standard error.
    void update(bool debug);
    // Whether both sides of the current slot lie more than 200 mm from
    // those of some earlier slot.
    bool evaluateMotion();

    int id() const { return m_id; }
    bool detected() const { return m_bDetected; }
    bool tracked() const { return m_bTracked; }
    // Per slot: columns, rows and shifts; and columns, rows and depths (mm).
    const Box3D<int>* boxes() const { return m_boxes; }
    const Box3D<int>& currentBox() const { return m_boxes[m_nIndex]; }
    const Box3D<int>* boxesDepth() const { return m_boxesDepth; }
    const Box3D<int>& currentBoxDepth() const { return m_boxesDepth[m_nIndex]; }
    // World x and depth (mm) of the cluster centre.
    const float* currentCenter() const { return m_centers[m_nIndex]; }
    int area() const { return m_nArea; }
    int currentIndex() const { return m_nIndex; }
    bool isFull() const { return m_bFull; }
    bool isMoving() const { return m_bMoving; }
    Cluster* cluster() const { return m_pCluster; }
    void setCluster(Cluster* cluster) { m_pCluster = cluster; }

private:
    void FillSlot(const Cluster& cluster);

    Cluster* m_pCluster;
    int32_t m_id;
    bool m_bDetected;
    bool m_bTracked;
    float m_centers[kHistory][2];
    Box3D<int> m_boxes[kHistory];
    Box3D<int> m_boxesDepth[kHistory];
    int32_t m_leftX[kHistory];
    int32_t m_rightX[kHistory];
    uint16_t m_leftDepth[kHistory];
    uint16_t m_rightDepth[kHistory];
    int32_t m_front[kHistory];
    int32_t m_rear[kHistory];
    int32_t m_nArea;
    uint8_t m_nIndex;
    bool m_bFull;
    bool m_bMoving;
    const uint16_t* m_pDepthToShift;
    uint32_t m_nDepthTableCapacity;
    const WorldPointConverter<float>* m_pConverter;
};
