#include "SceneAnalyzer/Cluster.h"

#include <algorithm>

void Cluster::updateParams(int width, int height) {
    float sumLeft = 0.0f;
    float sumRight = 0.0f;
    float sumLeftDepth = 0.0f;
    float sumRightDepth = 0.0f;
    float sumX = 0.0f;
    float sumDepth = 0.0f;
    front = 10000;
    rear = 0;
    leftPixel = width;
    rightPixel = 0;
    bottomPixel = height;
    topPixel = 0;
    for (const Block* b : blocks) {
        const float w = area > 0 ? static_cast<float>(b->area) / static_cast<float>(area) : 0.0f;
        sumLeft += w * static_cast<float>(b->left);
        sumRight += w * static_cast<float>(b->right);
        sumLeftDepth += w * static_cast<float>(b->leftDepth);
        sumRightDepth += w * static_cast<float>(b->rightDepth);
        sumX += w * static_cast<float>(b->center[1]);
        sumDepth += w * static_cast<float>(b->center[0]);
        front = std::min(front, b->front);
        rear = std::max(rear, b->rear);
        leftPixel = std::min(leftPixel, b->leftPixel);
        rightPixel = std::max(rightPixel, b->rightPixel);
        bottomPixel = std::min(bottomPixel, b->firstRow());
        topPixel = std::max(topPixel, b->lastRow());
    }
    left = sumLeft;
    right = sumRight;
    leftDepth = static_cast<uint16_t>(sumLeftDepth);
    rightDepth = static_cast<uint16_t>(sumRightDepth);
    center[0] = sumX;
    center[1] = sumDepth;
}

std::ostream& operator<<(std::ostream& out, const Cluster& cluster) {
    for (size_t i = 0; i < cluster.blocks.size(); ++i) {
        out << "BLOCK " << i << ": " << *cluster.blocks[i] << '\n';
    }
    return out;
}
