// The hand trackers' settings: section "HandTracker" of "HandAlgorithms.ini"
// read by a tracker, then a start and a few frames tracked with them as the
// per-hand tracker tracks (probability mean shift on a hand before a wall).
// Input: the file's bytes. The cache is emptied before each input.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "HandFuzzScene.h"
#include "HandAnalysis/DUZDepthMeanShift.h"
#include "HandAnalysis/DUZHandTrackerBase.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "QuorLibrary/Utilities/INIFileCache.h"

namespace {

class Tracker : public DUZHandTrackerBase {
public:
    Tracker() : DUZHandTrackerBase(2047) {
        m_searchBoundsSizeRW = Box3D<float>(Vector3D<float>(-45, -45, -45), Vector3D<float>(45, 45, 45));
        m_maxSearchBoundsSizeRW = Box3D<float>(Vector3D<float>(-120, -120, -120), Vector3D<float>(120, 120, 120));
    }
    const char* GetINISectionName() const override { return "HandTracker"; }

    // The per-hand tracker's engine on its settings.
    void MakeEngine(const Array2D<int>& map) {
        m_map = &map;
        const float margin = 100.0f;
        m_engine.reset(new DUZDepthProbMeanShift(m_predictor, m_searchBoundsSizeRW, m_maxSearchBoundsSizeRW,
                                                 m_maxShift, m_maxIterations, m_convergenceDistanceThreshold, margin,
                                                 1, 1, nullptr, nullptr));
    }
    void UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, int flag) override {
        m_engine->UpdateSearchAndDepthBounds(frame, *m_map, m_depthBounds, m_searchBounds, m_probabilityBounds,
                                             m_searchBox, m_newState, flag, m_uncertainty, m_position);
    }
    int StepToConvergence(const NADepthMapContainer& frame) override {
        return m_engine->StepToConvergence(frame, *m_map, m_newState, m_position, m_searchBoundsRW, m_depthBounds,
                                           m_searchBounds, m_probabilityBounds, m_searchBox, m_uncertainty,
                                           Vector3D<float>(0, 0.6f, -0.8f));
    }

private:
    std::unique_ptr<DUZDepthProbMeanShift> m_engine;
    const Array2D<int>* m_map = nullptr;
    Box2D<int> m_probabilityBounds;
};

using Scene = vela_fuzz::HandFuzzScene;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scene scene;
    INIFileCache::GetInstance().ClearCache();
    const std::string path = vela_fuzz::WriteScratchFile("HandAlgorithms.ini", data, size);

    Tracker tracker;
    if (tracker.Initialize(path, 0) == 0) {
        return 0;
    }
    tracker.MakeEngine(scene.map);
    DUZMultiResDepthMapContainer& frame = scene.container;
    const Vector3D<float> hand = frame.m_converter->WorldPt(Vector3D<float>(80, 40, 1200));
    frame.m_time = SensorTime(0);
    tracker.StartTracking(frame, hand + Vector3D<float>(30, -20, 10));
    for (int n = 1; n <= 3; ++n) {
        frame.m_frameId = static_cast<uint32_t>(n);
        frame.m_time = SensorTime(33333 * n);
        tracker.ComputePredictionAndBounds(frame);
        tracker.Update(frame);
    }
    return 0;
}
