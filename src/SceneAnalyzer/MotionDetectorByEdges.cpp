#include "SceneAnalyzer/MotionDetectorByEdges.h"

#include <iostream>

MotionDetectorByEdges::MotionDetectorByEdges()
    : m_pCommonData(nullptr), m_resolution(INVALID), m_SSE(0), m_profiling(0), m_maxSupportedDepth(0) {}

void MotionDetectorByEdges::init(NACommonData* hub, Resolution res, int sse, int profiling,
                                 unsigned short maxSupportedDepth) {
    m_pCommonData = hub;
    m_resolution = res;
    m_SSE = sse;
    m_profiling = profiling;
    m_maxSupportedDepth = maxSupportedDepth;
}

// Stand-in: no blocks, clusters or suspects.
void MotionDetectorByEdges::update(const Array2D<unsigned short>&) {}

void MotionDetectorByEdges::GetDebugBoxes(std::vector<Box3D<int> >& boxes, std::vector<int>& ids,
                                          const std::string& type) const {
    boxes.clear();
    ids.clear();
    if (type != "suspects" && type != "clusters" && type != "blocks") {
        std::cerr << "MotionDetectorByEdges::GetDebugBoxes Error - Unknown boxes type" << std::endl;
    }
}

// Stand-in: nothing is timed yet.
void MotionDetectorByEdges::SetProfFile(const char*) {}
