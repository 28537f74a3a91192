#pragma once

// The library's scene analysis: a SceneAnalyzer, run as the user tracker
// asks.

#include "SceneAnalyzer/SceneAnalyzer.h"
#include "UserTracker/SceneAnalysis.h"

class LibrarySceneAnalysis final : public SceneAnalysis {
public:
    bool Initialize(NACommonData* commonData, const xn::DepthGenerator& depth,
                    const SAConfiguration& configuration) override;
    void Update() override;
    bool IsUserAlive(int id) const override;
    const xn::SceneMetaData& GetLabelMap(Resolution resolution) override;
    bool GetFloor(Plane<float>& floor) const override;
    const SceneAnalyzer* GetSceneAnalyzer() const override { return &m_analyzer; }

private:
    SceneAnalyzer m_analyzer;
};
