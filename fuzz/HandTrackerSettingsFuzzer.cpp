// The hand trackers' settings: sections "HandTracker" and "HeadTracker" of
// "HandAlgorithms.ini" read by a per-hand tracker (its mean shift, its
// checks and the head tracker it measures heads with), then a start and a
// few frames tracked with them on a hand before a wall.
// Input: the file's bytes. The cache is emptied before each input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "HandAnalysis/DUZHandFilter.h"
#include "HandAnalysis/DUZHandPartition.h"
#include "HandAnalysis/DUZHandTracker.h"
#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "HandFuzzScene.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "QuorLibrary/Utilities/INIFileCache.h"
#include "XnAdapter/XnImageMetaData.h"

namespace {

constexpr unsigned short kMaxDepth = 4500;

// The background is never learnt, so the hand stands out.
struct Scene : vela_fuzz::HandFuzzScene {
    Scene() {
        background.Initialize(depth, "", 0);
        filter.Initialize("", kMaxDepth, 0);
        partition.Initialize(depth, "", 0);
    }

    DUZHandTrackerBackgroundModel background;
    DUZHandFilter filter;
    DUZHandPartition partition;
    xn::ImageMetaData image;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scene scene;
    INIFileCache::GetInstance().ClearCache();
    const std::string path = vela_fuzz::WriteScratchFile("HandAlgorithms.ini", data, size);

    DUZHandTracker tracker(&scene.partition, &scene.background, &scene.filter, false, kMaxDepth, 2047);
    if (tracker.Initialize(scene.node, scene.depth, path, 0) == 0) {
        return 0;
    }
    tracker.m_id = 1;
    DUZMultiResDepthMapContainer& frame = scene.container;
    const Vector3D<float> hand = frame.m_converter->WorldPt(Vector3D<float>(80, 40, 1200));
    frame.m_frameId = 1;
    frame.m_time = SensorTime(0);
    tracker.StartTracking(frame, hand + Vector3D<float>(30, -20, 10), Vector2D<float>(0, 0));
    for (int n = 2; n <= 4; ++n) {
        frame.m_frameId = static_cast<uint32_t>(n);
        frame.m_time = SensorTime(33333 * n);
        tracker.ClearFlags();
        tracker.ComputePredictionAndBounds(frame);
        tracker.Update(frame, scene.image);
        tracker.m_sharedData->UpdateTrackerInputDataHistory(frame);
    }
    // The head tracker on the hand as on a head.
    Vector3D<float> head = hand;
    tracker.m_extremePointTracker.SetHeadCandidate(head, 150.0f, frame);
    tracker.m_extremePointTracker.Update(frame);
    return 0;
}
