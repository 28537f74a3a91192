#pragma once

// The hand harnesses' frame: 160x120, a hand (a disc of 6 pixels radius
// with a forearm strip below it) at 1.2 m before a wall at 3 m, with the
// container the trackers read, a perfect combined probability map and a
// motion image in which every hand pixel moves. Shifts 1090 - 325000 /
// depth, from 400 to 10000 mm.

#include <vector>

#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "QuorLibrary/Utilities/Array2D.h"

namespace vela_fuzz {

struct HandFuzzScene {
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

    HandFuzzScene() : depthToShift(10100, 0), shiftToDepth(2048, 0) {
        for (int d = 400; d <= 10000; ++d) depthToShift[d] = static_cast<unsigned short>(1090 - 325000 / d);
        for (int s = 277; s < 1058; ++s) shiftToDepth[s] = static_cast<unsigned short>(325000 / (1090 - s));
        depth.AllocateData(kWidth, kHeight);
        map.SetSize(kHeight, kWidth, false);
        motion.SetSize(kHeight, kWidth, false);
        for (int r = 0; r < kHeight; ++r) {
            for (int c = 0; c < kWidth; ++c) {
                const bool hand = (c - 80) * (c - 80) + (r - 40) * (r - 40) <= 36 || (c >= 77 && c <= 83 && r > 40);
                depth.WritableData()[r * kWidth + c] = hand ? 1200 : 3000;
                map(r, c) = hand ? 1000000 : 0;
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
    Array2D<int> map;
    Array2D<unsigned short> motion;
    DUZMultiResDepthMapContainer container;
};

}  // namespace vela_fuzz
