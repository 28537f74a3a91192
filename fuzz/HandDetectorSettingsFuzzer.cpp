// The hand detector's settings: section "HandDetector" of
// "HandAlgorithms.ini" read by a detector's set-up, then a frame searched
// with them as the clients search it (hand candidates with a motion mask
// and the forearm test, head candidates) on a drawn 160x120 scene: a wall,
// a torso with a head, and a raised hand with its forearm.
// Input: the file's bytes. The cache is emptied before each input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "HandAnalysis/DUZHandDetector.h"
#include "QuorLibrary/Utilities/INIFileCache.h"
#include "XnAdapter/XnNodes.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

struct Scene {
    Scene() : converter(node, kWidth, kHeight) {
        depth.AllocateData(kWidth, kHeight);
        mask.SetSize(kHeight, kWidth, false);
        for (int r = 0; r < kHeight; ++r) {
            for (int c = 0; c < kWidth; ++c) {
                const bool head = (c - 80) * (c - 80) + (r - 25) * (r - 25) <= 49;
                const bool torso = r >= 33 && c >= 66 && c <= 94;
                const bool hand = (c - 110) * (c - 110) + (r - 40) * (r - 40) <= 9 || (c >= 108 && c <= 112 && r > 40);
                depth.WritableData()[r * kWidth + c] = hand ? 1500 : (head || torso ? 2000 : 3500);
                mask(r, c) = hand ? 1 : 0;
            }
        }
        container.m_depth = &depth;
        container.m_converter = &converter;
    }

    xn::DepthGenerator node;
    WorldPointConverterBase<float> converter;
    xn::DepthMetaData depth;
    Array2D<unsigned short> mask;
    NADepthMapContainer container;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scene scene;
    INIFileCache::GetInstance().ClearCache();
    const std::string path = vela_fuzz::WriteScratchFile("HandAlgorithms.ini", data, size);

    DUZHandDetector detector(1);
    if (detector.Initialize(path, 0, NAResolution::QQVGA, 4500) == 0) {
        return 0;
    }
    ConnectedComponentProperties<float> candidates;
    short count = 0;
    Box2D<int> box(0, 0, kWidth - 1, kHeight - 1);
    for (uint32_t frame = 1; frame <= 2; ++frame) {
        scene.container.m_frameId = frame;
        detector.FindHandCandidates(&scene.container, box, &scene.mask, 1, 1, nullptr, candidates, count);
        unsigned int unused = 0;
        NAResolution resolution = NAResolution::NoMatch;
        detector.FindHeadCandidates(&scene.container, box, 0, candidates, count, unused, resolution);
    }
    return 0;
}
