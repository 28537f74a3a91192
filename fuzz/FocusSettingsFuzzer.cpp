// The gesture candidates' settings: sections "FocusTracker" (the focus hand
// tracker) and "FocusRecognizer" (the gesture manager's own keys, read as
// at set-up and again as a later re-read, and the moving-candidate
// recognizer) of "HandAlgorithms.ini", then a candidate started on a hand
// (with the fitted path when the manager reads "UseRobust" on) and tracked
// over a few frames with the motion image, and the recognizer run on its
// path and on a full one. Input: the file's bytes. The cache is emptied
// before each input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "HandFuzzScene.h"
#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "HandAnalysis/DUZGestureRecognizerManager.h"
#include "HandAnalysis/DUZMovingHandCandidateGestureRecognizer.h"
#include "HandAnalysis/DUZTrackedObject.h"
#include "QuorLibrary/Utilities/INIFileCache.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vela_fuzz::HandFuzzScene scene;
    INIFileCache::GetInstance().ClearCache();
    const std::string path = vela_fuzz::WriteScratchFile("HandAlgorithms.ini", data, size);

    static DUZGestureRecognizerManager manager;
    manager.m_useRobust = true;
    manager.ReadParameters(path, 0, 1);
    manager.ReadParameters(path, 0, 0);
    if (manager.m_resolution != NAResolution::QQVGA) {
        __builtin_trap();
    }

    DUZTrackedObject object(&scene.container, 1, &scene.motion, manager.m_useRobust ? 1 : 0, 4500, 2047);
    if (object.Initialize(1, path, 0) == 0) {
        return 0;
    }
    DUZMultiResDepthMapContainer& frame = scene.container;
    const Vector3D<float> hand = frame.m_converter->WorldPt(Vector3D<float>(80, 40, 1200));
    frame.m_frameId = 1;
    frame.m_time = SensorTime(33333);
    object.StartTracking(frame, &frame, 1, hand + Vector3D<float>(20, -10, 10), 0, 1);
    DUZMovingHandCandidateGestureRecognizer recognizer;
    recognizer.Initialize(path, 0);
    for (int n = 2; n <= 4; ++n) {
        frame.m_frameId = static_cast<uint32_t>(n);
        frame.m_time = SensorTime(33333 * n);
        object.Update(frame, 0, nullptr, 0);
        Vector3D<float> position;
        recognizer.Run(object.m_trajectory, n, position, 1, 1);
    }
    object.m_trajectory.EstimateHandSize();

    DUZFocusGestureTrajectory full(false);
    for (int i = 1; i <= 90; ++i) {
        full.UpdateNewPosition(Vector3D<float>(i % 2 == 0 ? -100.0f : 100.0f, 0, 1800), static_cast<unsigned>(i),
                               SensorTime(33333 * i));
    }
    Vector3D<float> position;
    recognizer.Run(full, 90, position, 1, 1);
    return 0;
}
