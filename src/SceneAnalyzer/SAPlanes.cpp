#include "SceneAnalyzer/SAPlanes.h"

#include <cstring>

#include "QuorLibrary/SensorUtilities/Resolution.h"

SAPlanes::SAPlanes() : m_pCommonData(nullptr), m_resolution(INVALID), m_foundExtremePlane(false) {}

void SAPlanes::Initialize(NACommonData* hub, Resolution res, int, int, const std::vector<Vector2D<int> >& floorPoints,
                          unsigned short) {
    m_pCommonData = hub;
    m_resolution = res;
    m_floorPoints = floorPoints;
    if (IsValidResolution(res) &&
        m_planeIdMap.AllocateData(static_cast<XnUInt32>(g_nXRes[res]), static_cast<XnUInt32>(g_nYRes[res])) ==
            XN_STATUS_OK) {
        std::memset(m_planeIdMap.WritableData(), 0, m_planeIdMap.DataSize());
    }
}

// Stand-in: no plane is searched, the floor stays absent.
void SAPlanes::Update(const Array2D<unsigned short>&, int) {}
