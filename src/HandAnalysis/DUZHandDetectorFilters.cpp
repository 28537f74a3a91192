// The filters that decide about one candidate each: large enough, free
// space above it, standing out in depth from its surroundings, and moving.

#include <algorithm>
#include <cmath>
#include <ostream>

#include "HandAnalysis/DUZHandDetector.h"
#include "NACommon/NAConverterTables.h"
#include "NACommon/NALoggerHelper.h"

namespace {

const char* const kLogMask = "HandDetector";

bool IsZero(const Vector3D<float>& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// The record holds an entry for the label.
bool HasEntry(const ConnectedComponentProperties<float>& candidates, int label) {
    return label >= 0 && label < DUZHandDetector::kMaxLabels && label < candidates.m_centerOfMass.Size() &&
           label < candidates.m_imageBounds.Size() && label < candidates.m_pixelCount.Size();
}

bool HasFrame(const NADepthMapContainer* container) {
    return container != nullptr && container->m_depth != nullptr && container->m_depth->Data() != nullptr &&
           container->m_converter != nullptr;
}

// The label's image box inside the map.
Box2D<int> ClippedImageBox(const ConnectedComponentProperties<float>& candidates, int label, int width, int height) {
    const Box2D<int>& box = candidates.m_imageBounds[label];
    return Box2D<int>(std::max(box.min.x, 0), std::max(box.min.y, 0), std::min(box.max.x, width - 1),
                      std::min(box.max.y, height - 1));
}

// Calls f(x, y, i) for the pixels of the box (inclusive) whose label is
// label; i indexes the width-wide maps.
template <typename F>
void ForLabelPixels(const XnLabel* labels, int width, const Box2D<int>& box, int label, F f) {
    for (int y = box.min.y; y <= box.max.y; ++y) {
        for (int x = box.min.x; x <= box.max.x; ++x) {
            const int i = y * width + x;
            if (labels[i] == label) {
                f(x, y, i);
            }
        }
    }
}

// part / whole, 0 without a whole.
float ShareOf(int part, int whole) { return whole > 0 ? static_cast<float>(part) / static_cast<float>(whole) : 0.0f; }

// The part every rejection entry shares after its text and the label.
void Describe(std::ostream& out, const ConnectedComponentProperties<float>& candidates, int label,
              const char* areaText) {
    const Box3D<float>& world = candidates.m_bbox[label];
    out << " CoM=" << candidates.m_centerOfMass[label] << areaText << candidates.m_area[label]
        << " Pixel count=" << candidates.m_pixelCount[label] << " Size X=" << std::fabs(world.max.x - world.min.x)
        << " Size Y=" << std::fabs(world.max.y - world.min.y);
}

}  // namespace

int DUZHandDetector::FilterBySize(ConnectedComponentProperties<float>& candidates, unsigned short label) {
    if (!HasEntry(candidates, label)) {
        return 0;
    }
    if (IsZero(candidates.m_centerOfMass[label])) {
        candidates.ClearCC(label);
        return 0;
    }
    const Box3D<float>& world = candidates.m_bbox[label];
    if (candidates.m_area[label] >= 1500.0f && candidates.m_pixelCount[label] > 4 &&
        std::fabs(world.max.x - world.min.x) >= 35.0f && std::fabs(world.max.y - world.min.y) >= 35.0f) {
        return 1;
    }
    if (IsLogging()) {
        NALoggerHelper entry(*m_logger, kLogMask, XN_LOG_VERBOSE);
        entry << "HandsFilter1 (too small): Label=" << label;
        Describe(entry, candidates, label, " Area=");
        entry << std::endl;
    }
    candidates.ClearCC(label);
    return 0;
}

int DUZHandDetector::FilterEmptyBoxAbove(const NADepthMapContainer* container,
                                         ConnectedComponentProperties<float>& candidates, short label) {
    if (!HasEntry(candidates, label) || IsZero(candidates.m_centerOfMass[label]) || !HasFrame(container)) {
        return 1;
    }
    const xn::DepthMetaData& depth = *container->m_depth;
    const WorldPointConverterBase<float>& converter = *container->m_converter;
    const int width = depth.XRes();
    const Vector3D<float>& centre = candidates.m_centerOfMass[label];
    const Box2D<int>& image = candidates.m_imageBounds[label];
    const int zc = static_cast<int>(centre.z);
    const float pixelsPerMm = InvPixelSizeAt(converter, zc);
    const int side = static_cast<int>(std::floor(150.0f * pixelsPerMm));
    const int height = static_cast<int>(std::floor(500.0f * pixelsPerMm));
    // Up to 500 mm above the candidate, 150 mm wider on each side.
    const int startRow = image.min.y - 1;
    const int endRow = std::max(image.min.y - 1 - height, 0);
    const int startColumn = std::max(image.min.x - side, 0);
    const int endColumn = std::min(image.max.x + side, width - 1);
    if (startRow < endRow) {
        return 1;
    }
    int near = 0;
    for (int y = endRow; y <= std::min(startRow, depth.YRes() - 1); ++y) {
        const XnDepthPixel* row = depth.Data() + y * width;
        for (int x = startColumn; x < endColumn; ++x) {
            if (row[x] != 0 && row[x] <= zc + 74) {
                ++near;
            }
        }
    }
    if (near <= 5) {
        return 1;
    }
    const float size = converter.PixelSizeAt(zc);
    const float pixelArea = size * size;
    const float total = pixelArea * static_cast<float>(near);
    if (total <= 2500.0f) {
        return 1;
    }
    if (IsLogging()) {
        NALoggerHelper(*m_logger, kLogMask, XN_LOG_VERBOSE)
            << "HandsFilter3 - too much area above: label=" << label << " (" << centre.x << ", " << centre.y << ", "
            << centre.z << "), iCounter (pixels) " << near << " pixelArea " << pixelArea << " Total area " << total
            << " Box height in pixels " << height << std::endl;
        NALoggerHelper(*m_logger, kLogMask, XN_LOG_VERBOSE)
            << "iStartPointY " << startRow << " iEndPointY" << endRow << "iStartPointX " << startColumn
            << " iEndPointX" << endColumn << std::endl;
        NALoggerHelper(*m_logger, kLogMask, XN_LOG_VERBOSE) << "Image bounds " << image << std::endl;
    }
    candidates.ClearCC(static_cast<unsigned short>(label));
    return 0;
}

int DUZHandDetector::FilterByDepthIsolation(const NADepthMapContainer* container,
                                            ConnectedComponentProperties<float>& candidates,
                                            const xn::SceneMetaData* labels, short label) {
    if (!HasEntry(candidates, label) || IsZero(candidates.m_centerOfMass[label]) || !HasFrame(container)) {
        return 1;
    }
    if (labels == nullptr) {
        labels = &m_labelMap;
    }
    const xn::DepthMetaData& depthMap = *container->m_depth;
    const WorldPointConverterBase<float>& converter = *container->m_converter;
    const int width = depthMap.XRes();
    const int height = depthMap.YRes();
    if (labels->Data() == nullptr || labels->XRes() != width || labels->YRes() != height) {
        return 1;
    }
    const Vector3D<float>& centre = candidates.m_centerOfMass[label];
    const int zc = static_cast<int>(centre.z);
    const int u = static_cast<int>(std::floor(150.0f * InvPixelSizeAt(converter, zc)));
    const XnDepthPixel* depth = depthMap.Data();
    const XnLabel* labelMap = labels->Data();
    const int missing = m_maxDepth;
    // The smallest of the jumps to the neighbours 150 mm to the left, to the
    // right and above (a neighbour without depth counts as the maximum depth).
    auto smallestJump = [&](int x, int y) {
        const int g = depth[y * width + x];
        auto jump = [&](int n) { return n != 0 ? n - g : missing; };
        const int left = jump(depth[y * width + (x - u < 0 ? 0 : x - u)]);
        const int right = jump(depth[y * width + (x + u >= width ? width - 1 : x + u)]);
        const int above = jump(depth[(y - u < 0 ? 0 : y - u) * width + x]);
        return std::min(left, std::min(right, above));
    };
    const Box2D<int> box = ClippedImageBox(candidates, label, width, height);
    int isolated = 0;
    ForLabelPixels(labelMap, width, box, label, [&](int x, int y, int) { isolated += smallestJump(x, y) > 100; });
    const float isolatedArea = static_cast<float>(isolated) * PixelAreaAt(converter, zc);
    const float ratio = ShareOf(isolated, candidates.m_pixelCount[label]);
    const bool smallArea = isolatedArea < 400.0f;
    if (!smallArea && !(ratio < 0.6f)) {
        return 1;
    }
    if (IsLogging()) {
        {
            NALoggerHelper entry(*m_logger, kLogMask, XN_LOG_VERBOSE);
            if (smallArea) {
                entry << "HandsConstJumpFilter (small const jump area): Label=" << label;
                Describe(entry, candidates, label, " Area= ");
                entry << " Const jump pixels=" << isolated << " Const jump area=" << isolatedArea << std::endl;
            } else {
                entry << "HandsConstJumpFilter (small const jump ratio): Label=" << label;
                Describe(entry, candidates, label, " Area=");
                entry << " Const jump pixels=" << isolated << " Const jump area=" << isolatedArea
                      << " Const jump perc=" << ratio << " Image BBox=" << candidates.m_imageBounds[label]
                      << std::endl;
            }
        }
        for (int y = box.min.y; y <= box.max.y; ++y) {
            for (int x = box.min.x; x <= box.max.x; ++x) {
                NALoggerHelper entry(*m_logger, kLogMask, XN_LOG_VERBOSE);
                if (labelMap[y * width + x] == label) {
                    entry << std::max(smallestJump(x, y), 0) << '\t';
                } else {
                    entry << "0\t";
                }
            }
            NALoggerHelper(*m_logger, kLogMask, XN_LOG_VERBOSE) << std::endl;
        }
    }
    candidates.ClearCC(static_cast<unsigned short>(label));
    return 0;
}

int DUZHandDetector::FilterByBGModel(const NADepthMapContainer* container,
                                     ConnectedComponentProperties<float>& candidates, const unsigned short* mask,
                                     unsigned short maskThreshold, const xn::SceneMetaData* labels,
                                     unsigned short label) {
    if (!HasEntry(candidates, label) || IsZero(candidates.m_centerOfMass[label]) || !HasFrame(container) ||
        mask == nullptr) {
        return 1;
    }
    if (labels == nullptr) {
        labels = &m_labelMap;
    }
    const int width = container->m_depth->XRes();
    const int height = container->m_depth->YRes();
    if (labels->Data() == nullptr || labels->XRes() != width || labels->YRes() != height) {
        return 1;
    }
    const XnLabel* labelMap = labels->Data();
    const Box2D<int> box = ClippedImageBox(candidates, label, width, height);
    int moving = 0;
    ForLabelPixels(labelMap, width, box, label, [&](int, int, int i) { moving += mask[i] >= maskThreshold; });
    const Vector3D<float>& centre = candidates.m_centerOfMass[label];
    const float size = centre.z * container->m_converter->m_fPixelSizeFactor;
    const float movingArea = size * size * static_cast<float>(moving);
    const float ratio = ShareOf(moving, candidates.m_pixelCount[label]);
    const bool smallArea = movingArea < 400.0f;
    if (!smallArea && !(ratio < 0.5f)) {
        return 1;
    }
    if (IsLogging()) {
        NALoggerHelper entry(*m_logger, kLogMask, XN_LOG_VERBOSE);
        entry << "HandsMovementFilter (small moving area): Label=" << label;
        Describe(entry, candidates, label, " Area= ");
        entry << " Moving pixels=" << moving << " Moving area=" << movingArea;
        if (!smallArea) {
            entry << " Moving perc: " << ratio;
        }
        entry << std::endl;
    }
    candidates.ClearCC(label);
    return 0;
}
