#include "HandAnalysis/DUZHandFilter.h"

#include <algorithm>

#include "HandAnalysis/DUZHandImageHelpers.h"
#include "OSLayer/XnLog.h"

namespace {

// What lies behind a pixel's neighbour: missing depth and the image's
// outside count as farther than anything.
constexpr unsigned short kFar = 65535;

unsigned short MedianOfThree(unsigned short a, unsigned short b, unsigned short c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

}  // namespace

DUZHandFilter::DUZHandFilter() : m_maxDepth(0), m_handRadius(150.0f), m_jumpStart(40), m_jumpEnd(150) {}

int DUZHandFilter::Initialize(const std::string& /*iniFile*/, int maxDepth, int /*verbose*/) {
    m_maxDepth = maxDepth;
    m_handRadius = 150.0f;
    m_jumpStart = 40;
    m_jumpEnd = 150;
    return 1;
}

int DUZHandFilter::ReadParameters(const std::string& /*iniFile*/, int /*verbose*/) { return 1; }

bool DUZHandFilter::ComputeProbabilityMap(const NADepthMapContainer& container,
                                          const DUZHandTrackerBackgroundModel& background, const Box2D<int>& box,
                                          Array2D<unsigned short>& output) const {
    if (container.m_depth == nullptr || container.m_converter == nullptr || container.m_shiftToDepth == nullptr) {
        xnLogError("HandTracker", "DUZHandFilter: the container lacks its depth map, converter or shift table");
        return false;
    }
    const xn::DepthMetaData& depth = *container.m_depth;
    const int width = static_cast<int>(depth.XRes());
    const int height = static_cast<int>(depth.YRes());
    if (background.Width() != width || background.Height() != height) {
        xnLogError("HandTracker", "DUZHandFilter: a %dx%d background model for a %dx%d depth map",
                   background.Width(), background.Height(), width, height);
        return false;
    }
    if (output.Columns() != width || output.Rows() != height) {
        output.SetSize(height, width, false);
    }
    const WorldPointConverterBase<float>& converter = *container.m_converter;
    const unsigned short* pixels = depth.Data();
    const unsigned short* means = background.m_meanDepthArray.Data();
    const unsigned short* counters = background.m_staticCounterArray.Data();
    const unsigned short* shiftToDepth = container.m_shiftToDepth;
    const unsigned short trusted = background.m_minStaticCount;

    auto neighbour = [&](int x, int y) -> unsigned short {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return kFar;
        }
        const int i = y * width + x;
        if (counters[i] >= trusted && means[i] != DUZHandTrackerBackgroundModel::MAX_STATIC_VALUE) {
            const unsigned short behind = shiftToDepth[means[i]];
            if (behind != 0) {
                return behind;
            }
        }
        return pixels[i] != 0 ? pixels[i] : kFar;
    };

    const Box2D<int> b = duz_image::ClippedToImage(box, width, height);
    const float scale = 1000.0f / static_cast<float>(m_jumpEnd - m_jumpStart);
    for (int y = b.min.y; y <= b.max.y; ++y) {
        for (int x = b.min.x; x <= b.max.x; ++x) {
            const int d = pixels[y * width + x];
            unsigned short probability = 0;
            if (d != 0 && d <= m_maxDepth) {
                const float pixelsPerMm = d < converter.m_nDepthTableSize ? converter.m_pInvPixelSizeAtDepth[d]
                                                                          : 1.0f / converter.PixelSizeAt(d);
                // d >= 1: finite and far inside the int range.
                const int r = static_cast<int>(m_handRadius * pixelsPerMm);
                const unsigned short up = neighbour(x, y - r);
                const unsigned short median = MedianOfThree(neighbour(x - r, y), neighbour(x + r, y), neighbour(x, y + r));
                const int jump = static_cast<int>(std::min(up, median)) - d;
                if (jump > m_jumpEnd) {
                    probability = static_cast<unsigned short>(HAND_FILTER_PROB_SCALE);
                } else if (jump >= m_jumpStart) {
                    probability = static_cast<unsigned short>(static_cast<float>(jump - m_jumpStart) * scale);
                }
            }
            output(y, x) = probability;
        }
    }
    return true;
}
