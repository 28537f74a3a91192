// The gesture candidates' settings: sections "FocusTracker" (the focus hand
// tracker) and "FocusRecognizer" (the gesture manager's own keys, read as
// at set-up and again as a later re-read, and the moving-candidate, click,
// swipe and wave recognizers) of "HandAlgorithms.ini", then a candidate
// started on a hand (with the fitted path when the manager reads "UseRobust"
// on) and tracked over a few frames with the motion image, the
// moving-candidate recognizer run on its path and on a full one, and the
// click, swipe and wave recognizers stepped along a push and a zig-zag.
// Input: the file's bytes. The cache is emptied before each input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "HandFuzzScene.h"
#include "HandAnalysis/DUZClickGestureRecognizer.h"
#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "HandAnalysis/DUZGestureRecognizerManager.h"
#include "HandAnalysis/DUZMovingHandCandidateGestureRecognizer.h"
#include "HandAnalysis/DUZSwipeGestureRecognizer.h"
#include "HandAnalysis/DUZWaveGestureRecognizer.h"
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

    // Each on rings of its own, which a detection resets: a push toward the
    // sensor, a pause and a pull back (click), and the zig-zag above with a
    // pause at its end (swipes, wave), stepped frame by frame.
    DUZClickGestureRecognizer click;
    DUZSwipeGestureRecognizer right(Vector3D<float>(1, 0, 0));
    DUZSwipeGestureRecognizer left(Vector3D<float>(-1, 0, 0));
    DUZWaveGestureRecognizer wave;
    DUZGestureRecognizerBase* recognizers[] = {&click, &right, &left, &wave};
    for (DUZGestureRecognizerBase* r : recognizers) {
        r->Initialize(path, 0);
        DUZFocusGestureTrajectory ring(false);
        for (int i = 1; i <= 40; ++i) {
            Vector3D<float> p(i % 8 < 4 ? -100.0f : 100.0f, 0, 1800);
            if (r == &click) {
                p = Vector3D<float>(0, 0, 1500.0f - 40.0f * static_cast<float>(std::min(i, 6) - std::max(0, i - 9)));
            } else if (i > 30) {
                p = Vector3D<float>(100.0f, 0, 1800);
            }
            ring.UpdateNewPosition(p, static_cast<unsigned>(i), SensorTime(33333 * i));
            ring.UpdateVelocity(static_cast<unsigned>(i));
            ring.SetHandXYSize(static_cast<unsigned>(i), Vector2D<float>(80, 100));
            r->Run(ring, i, position, 1, 0);
        }
    }
    return 0;
}
