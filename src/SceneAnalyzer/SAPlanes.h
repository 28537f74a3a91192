#pragma once

// The scene analyzer's planes (floor, ceiling, walls) and the map of the
// pixels on or behind each. The floor is what the user tracker reports and
// the skeleton reads.
//
// Stand-in: the plane search is not built yet; no plane is ever present, so
// the floor is absent and the plane-id map all zeros.

#include <vector>

#include "QuorLibrary/Math/Plane.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;

// One plane slot: whether it holds a plane this frame, and the plane (a
// point in mm and a unit normal).
struct SAPlane {
    bool m_hasSAPlane = false;
    Plane<float> m_plane;
};

class SAPlanes {
public:
    SAPlanes();

    // floorPoints outline the floor in pixels of the analysis resolution
    // (from the point file); fewer than 3 points count as none.
    void Initialize(NACommonData* hub, Resolution res, int sse, int profiling,
                    const std::vector<Vector2D<int> >& floorPoints, unsigned short maxSupportedDepth);
    // One frame on the background model's shift map; backgroundReset is set
    // on frames on which the background restarted.
    void Update(const Array2D<unsigned short>& background, int backgroundReset);

    // The slot of the floor (kind 1, order 0).
    const SAPlane& Floor() const { return m_floor; }

    NACommonData* m_pCommonData;
    Resolution m_resolution;
    xn::SceneMetaData m_planeIdMap;
    // A plane of order 0 was painted into the map in the last update
    // (stand-in: never).
    bool m_foundExtremePlane;

private:
    SAPlane m_floor;
    std::vector<Vector2D<int> > m_floorPoints;
};
