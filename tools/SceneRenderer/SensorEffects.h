#pragma once

// What a structured-light sensor does to depth beyond quantisation and
// white noise, each seeded per frame and switchable:
//
//  * correlated shift noise: a smooth field plus small blocks, so that
//    neighbours mostly share a depth level and isolated odd pixels are rare;
//  * ragged silhouettes: at a depth jump the nearer surface gains or loses a
//    few pixels, by a jitter correlated along the edge;
//  * fragments: small bits of the nearer surface detached from it beside a
//    depth jump;
//  * holes: materials that reflect little light (hair, dark fabric, to a
//    lesser degree skin) lose depth in clusters, more so farther away.
//
// Sizes are given for 640x480 and scaled with the image width, as a
// smaller image of the same sensor is a subsampled one.

#include <cstdint>
#include <utility>
#include <vector>

#include "SceneRenderer/NoiseField.h"
#include "SceneRenderer/SensorModel.h"

namespace vela::scene {

struct EffectSwitches {
    double dField = 0.0;   // standard deviation of the smooth noise field, shift units
    double dBlocks = 0.0;  // standard deviation of the block noise, shift units
    bool bEdges = false;
    bool bFragments = false;
    bool bHoles = false;
};

// The renderer's working image before the sensor reads it: true depth
// (infinite where nothing is hit) and what each pixel shows.
struct SurfaceImage {
    int nWidth = 0;
    int nHeight = 0;
    int nColumnOffset = 0;  // image column = index column - offset (the shadow margin)
    std::vector<double>* pDepth = nullptr;
    std::vector<uint16_t>* pUser = nullptr;
    std::vector<uint8_t>* pPart = nullptr;
    std::vector<uint8_t>* pMaterial = nullptr;
    std::vector<uint8_t>* pDropped = nullptr;  // 1: the sensor delivers no depth
    const std::vector<uint8_t>* pShadow = nullptr;  // 1: the projector does not light it
};

class SensorEffects {
public:
    // Prepares the frame's fields for an output image of width x height.
    void BeginFrame(uint64_t seed, int frame, int width, int height, const EffectSwitches& switches);

    bool HasShiftNoise() const { return m_switches.dField > 0.0 || m_switches.dBlocks > 0.0; }
    // Takes the output image's surface depth (NaN where nothing is seen)
    // for ShiftNoise; it must stay unchanged meanwhile.
    void PrepareShiftNoise(const std::vector<double>& depth, const SensorModel& sensor);
    // Correlated noise of output pixel (column, row), shift units. With
    // blocks on, a block's pixels on one surface also share its shift: the
    // difference to the block's mean shift is part of the noise.
    double ShiftNoise(int column, int row) const;

    // Sets holes[i] to 1 where a material loses its depth: clusters on hair,
    // dark fabric and skin, more of them farther away, most small and some
    // large. `material` and `depth` describe the output image (NaN: nothing
    // seen); `holes` is resized to it and cleared first.
    void MarkHoles(const std::vector<uint8_t>& material, const std::vector<double>& depth, std::vector<uint8_t>& holes);

    // Moves silhouettes and sets fragments off them, on the working image.
    void ReshapeEdges(SurfaceImage& image);

private:
    void JitterEdges(SurfaceImage& image, const std::vector<int>& edges);
    void DetachFragments(SurfaceImage& image, const std::vector<int>& edges);
    double Jitter(int column, int row) const;

    uint64_t m_nSeed = 0;
    uint64_t m_nFrameKey = 0;
    double m_dScale = 1.0;  // image width / 640
    int m_nBlock = 1;
    int m_nWidth = 0;
    int m_nHeight = 0;
    EffectSwitches m_switches;
    NoiseField m_field, m_jitter;
    std::vector<int> m_sites;
    std::vector<std::pair<uint64_t, int>> m_frontier;  // a heap
    std::vector<uint8_t> m_touched;
    std::vector<double> m_original;
    // Per block: its noise, and the mean shift of its pixels when they all
    // lie on one surface (NaN otherwise).
    struct Block {
        double noise;
        double meanShift;
    };
    std::vector<Block> m_blocks;
    int m_nBlockColumns = 0;
    const std::vector<double>* m_pDepth = nullptr;
    const SensorModel* m_pSensor = nullptr;
    std::vector<std::pair<uint64_t, int>> m_order;
};

}  // namespace vela::scene
