// The gesture candidates' settings: sections "FocusTracker" (the focus hand
// tracker) and "FocusRecognizer" (the moving-candidate recognizer) of
// "HandAlgorithms.ini", then a candidate started on a hand and tracked over
// a few frames with the motion image, and the recognizer run on its path
// and on a full one. Input: the file's bytes. The cache is emptied before
// each input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "HandAnalysis/DUZMovingHandCandidateGestureRecognizer.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "HandAnalysis/DUZTrackedObject.h"
#include "QuorLibrary/Utilities/INIFileCache.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// A hand (a disc of 7 pixels radius with a forearm strip below it) at
// 1.2 m before a wall at 3 m, every pixel moving.
struct Scene {
    Scene() : depthToShift(10100, 0), shiftToDepth(2048, 0) {
        for (int d = 400; d <= 10000; ++d) depthToShift[d] = static_cast<unsigned short>(1090 - 325000 / d);
        for (int s = 277; s < 1058; ++s) shiftToDepth[s] = static_cast<unsigned short>(325000 / (1090 - s));
        depth.AllocateData(kWidth, kHeight);
        motion.SetSize(kHeight, kWidth, false);
        for (int r = 0; r < kHeight; ++r) {
            for (int c = 0; c < kWidth; ++c) {
                const bool hand = (c - 80) * (c - 80) + (r - 40) * (r - 40) <= 49 || (c >= 77 && c <= 83 && r > 40);
                depth.WritableData()[r * kWidth + c] = hand ? 1200 : 3000;
                motion(r, c) = hand ? 2 : 0;
            }
        }
        container.Initialize(node, depth);
        container.m_depthToShift = depthToShift.data();
        container.m_shiftToDepth = shiftToDepth.data();
        container.Update(nullptr, node, depth, 1, SensorTime(0));
    }

    xn::DepthGenerator node;
    std::vector<unsigned short> depthToShift;
    std::vector<unsigned short> shiftToDepth;
    xn::DepthMetaData depth;
    Array2D<unsigned short> motion;
    DUZMultiResDepthMapContainer container;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scene scene;
    INIFileCache::GetInstance().ClearCache();
    const std::string path = vela_fuzz::WriteScratchFile("HandAlgorithms.ini", data, size);

    DUZTrackedObject object(&scene.container, 1, &scene.motion, 0, 4500, 2047);
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
