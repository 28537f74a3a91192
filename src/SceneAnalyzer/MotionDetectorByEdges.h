#pragma once

// Motion detection from horizontal depth steps: people-sized upright objects
// that move, which the segmentation starts users from.
//
// Stand-in: the detection is not built yet; it keeps its settings, finds
// nothing and answers every debug-box question with no boxes.

#include <string>
#include <vector>

#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/Array2D.h"

class NACommonData;

class MotionDetectorByEdges {
public:
    MotionDetectorByEdges();

    void init(NACommonData* hub, Resolution res, int sse, int profiling, unsigned short maxSupportedDepth);
    // One frame, after the background model, on the analyzer's shadow map.
    void update(const Array2D<unsigned short>& shadowMap);
    // Empties both lists; "suspects", "clusters" and "blocks" add their
    // boxes, any other type is reported on standard error.
    void GetDebugBoxes(std::vector<Box3D<int> >& boxes, std::vector<int>& ids, const std::string& type) const;
    void SetProfFile(const char* path);

private:
    NACommonData* m_pCommonData;
    Resolution m_resolution;
    int m_SSE;
    int m_profiling;
    unsigned short m_maxSupportedDepth;
};
