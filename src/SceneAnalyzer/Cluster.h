#pragma once

// Blocks that overlap in the floor plane (x and depth), taken as one object,
// with their area-weighted measures. Lives for one frame.

#include <cstdint>
#include <ostream>
#include <vector>

#include "SceneAnalyzer/Block.h"

class Suspect;

class Cluster {
public:
    void pushBlock(Block* block) { blocks.push_back(block); }
    // Fills the measures from the blocks (weights: their areas); an image
    // of width x height pixels.
    void updateParams(int width, int height);

    // The suspect that claimed it this frame.
    Suspect* suspect = nullptr;
    // Some suspect's centre lies within 100 mm of its centre this frame.
    bool matched = false;
    std::vector<Block*> blocks;
    float left = 0.0f;
    float right = 0.0f;
    uint16_t leftDepth = 0;
    uint16_t rightDepth = 0;
    uint16_t front = 0;
    uint16_t rear = 0;
    int32_t area = 0;
    // World x (mm) and depth (mm).
    float center[2] = {0.0f, 0.0f};
    int32_t leftPixel = 0;
    int32_t rightPixel = 0;
    // Smallest first row and largest last row of its blocks.
    int32_t bottomPixel = 0;
    int32_t topPixel = 0;
};

std::ostream& operator<<(std::ostream& out, const Cluster& cluster);
