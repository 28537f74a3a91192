#pragma once

// The scene analyzer's planes: one slot per kind (floor, ceiling, two side
// walls, the wall facing the camera) and order, and the map of the pixels
// on or behind each present plane. Each frame one slot is updated on the
// background model's shift map, in turn (the floor also on every frame on
// which the background restarted), and every present plane is painted.
// The floor, kind 1 and order 0, is what the user tracker reports and the
// segmentation and the skeleton read.

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "QuorLibrary/Math/Plane.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "SceneAnalyzer/CCyclicPlaneUpdateIerator.h"
#include "SceneAnalyzer/CSAPlanesCommonData.h"
#include "SceneAnalyzer/SAPlane.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;

class SAPlanes {
public:
    SAPlanes();
    ~SAPlanes();
    SAPlanes(const SAPlanes&) = delete;
    SAPlanes& operator=(const SAPlanes&) = delete;

    // floorPoints outline the floor in pixels of the analysis resolution
    // (from the point file); fewer than 3 points count as none.
    void Initialize(NACommonData* hub, Resolution res, int sse, int profiling,
                    const std::vector<Vector2D<int> >& floorPoints, unsigned short maxSupportedDepth);
    // One frame on the background model's shift map; backgroundReset is set
    // on frames on which the background restarted.
    void Update(const Array2D<unsigned short>& background, int backgroundReset);
    // Labels the pixels of the frame's shift map on (or behind) one present
    // plane with its id.
    void SignSAPlane(const SAPlane& slot, SAPlaneData::EPlaneType kind, int order);

    // Raw state: the slots, flags, schedule, resolution and settings. Reading
    // (the hub must be set) rebuilds the slots and the shared data; a state
    // that is short or does not describe a plane set (6 kinds, its orders,
    // a resolution, at most kMaxStoredPoints floor points) is refused and
    // the set left as it was. The plane-id map is kept unless the state's
    // resolution needs another size.
    static constexpr int kMaxOrders = 64;
    static constexpr int kMaxStoredPoints = 1 << 16;
    void WriteBinary(std::ostream& out) const;
    bool ReadBinary(std::istream& in);
    static bool CheckSimilarity(const SAPlanes& a, const SAPlanes& b, std::string* message);

    // Plane ids: kind + 5 x order; 0 is no plane.
    static int PlaneTypeFromID(int id);
    static int PlaneOrderFromID(int id);
    static int PlaneIDFromPlaneTypeAndOrder(int kind, int order) { return kind + 5 * order; }

    // The slot of the floor (kind 1, order 0); an absent plane before
    // Initialize.
    const SAPlane& Floor() const;
    // The slot of a kind (1 to 5) and order.
    SAPlane& Slot(int kind, int order) { return m_a2Planes(kind, order); }
    const SAPlane& Slot(int kind, int order) const { return m_a2Planes(kind, order); }
    // The slot updated by the last Update (kind, order).
    const CCyclicPlaneUpdateIerator& UpdateIterator() const { return updateIter; }
    const CSAPlanesCommonData& Shared() const { return m_shared; }

    NACommonData* m_pCommonData;
    Resolution m_resolution;
    Array2D<SAPlane> m_a2Planes;
    xn::SceneMetaData m_planeIdMap;
    bool m_foundExtremePlane;
    bool m_foundAnyPlane;
    int32_t m_numParallelPlanes;
    CCyclicPlaneUpdateIerator updateIter;

private:
    void Paint(const SAPlane& slot, int kind, int order);

    CSAPlanesCommonData m_shared;
    unsigned short m_maxSupportedDepth;
    int32_t m_bSSE;
    std::vector<Vector2D<int> > m_floorPoints;
    SAPlane m_noFloor;
};
