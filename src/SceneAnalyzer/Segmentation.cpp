#include "SceneAnalyzer/Segmentation.h"

#include <iostream>

#include "SceneAnalyzer/Farfield.h"

Segmentation::Segmentation()
    : m_commonData(nullptr), m_resolution(INVALID), m_SSE(0), m_profiling(0), m_maxSupportedDepth(0) {
    for (int id = 0; id <= kMaxUsers; ++id) {
        m_users[id].SetId(static_cast<unsigned short>(id));
    }
}

void Segmentation::init(NACommonData* hub, Resolution res, int sse, int profiling, unsigned short maxSupportedDepth) {
    m_commonData = hub;
    m_resolution = res;
    m_SSE = sse;
    m_profiling = profiling;
    m_maxSupportedDepth = maxSupportedDepth;
    m_labelHistory.Clear();
    if (!IsValidResolution(res)) {
        return;
    }
    while (m_labelHistory.Count() < m_labelHistory.Capacity()) {
        LabelPyramid& pyramid = m_labelHistory.Push();
        pyramid.m_pOwner = hub;
        pyramid.m_inputResolution = res;
        PrepareCurrentLabels();
    }
}

void Segmentation::PrepareCurrentLabels() {
    LabelPyramid& pyramid = m_labelHistory.GetCurrent();
    pyramid.ResetMapExist();
    pyramid.InitializeInputLevel();
    pyramid.m_bFilled[m_resolution] = true;
}

void Segmentation::update(const Array2D<unsigned short>&, const MotionDetectorByEdges&, const SAPlanes&,
                          Farfield& farfield, const std::vector<Vector2D<int> >*) {
    if (m_labelHistory.Count() == 0) {
        return;
    }
    // The frame's labels go into the pyramid of two frames back; the other
    // one keeps the previous frame's users.
    m_labelHistory.Push();
    PrepareCurrentLabels();
    m_usersBox = Box3D<int>();
    farfield.Feedback(CurrentLabelMap());
    farfield.UpdateFarfieldWithMemory();
}

void Segmentation::GetDebugBoxes(std::vector<Box3D<int> >& boxes, std::vector<int>& ids,
                                 const std::string& type) const {
    boxes.clear();
    ids.clear();
    if (type != "users" && type != "stable boxes" && type != "foreground clusters") {
        std::cerr << "Segmentation::GetDebugBoxes Error - Unknown boxes type" << std::endl;
    }
}

// Stand-in: nothing is timed yet.
void Segmentation::SetProfFile(const char*) {}
