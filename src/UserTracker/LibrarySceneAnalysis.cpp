#include "UserTracker/LibrarySceneAnalysis.h"

bool LibrarySceneAnalysis::Initialize(NACommonData* commonData, const xn::DepthGenerator& depth,
                                      const SAConfiguration& configuration) {
    return m_analyzer.Initialize(commonData, depth, configuration, nullptr);
}

// Seeds from the point file.
void LibrarySceneAnalysis::Update() { m_analyzer.Update(nullptr, 1); }

bool LibrarySceneAnalysis::IsUserAlive(int id) const { return m_analyzer.IsUserAlive(id); }

const xn::SceneMetaData& LibrarySceneAnalysis::GetLabelMap(Resolution resolution) {
    return m_analyzer.GetLabelMap(resolution);
}

bool LibrarySceneAnalysis::GetFloor(Plane<float>& floor) const { return m_analyzer.GetFloor(floor); }
