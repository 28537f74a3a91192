// The hand detector's edge maps (depth differences, vertical distance below
// a top edge, distance from edges in hand and forearm mode) against a plain
// reference written here from their rules, on rendered frames and random
// maps at the four widths the detector takes, and the cases where the rules
// turn.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandDetector.h"
#include "SceneRenderer/SceneRenderer.h"
#include "DetectorTestDepth.h"

namespace {

using hand_test_kit::FixtureFrame;
using hand_test_kit::PaintPlane;
using hand_test_kit::PaintRect;

using detection_test::kMaxDepth;

NAResolution ResolutionOfWidth(int width) { return NAResolutionOfSize(width, width * 3 / 4); }

// The edge-map steps from their rules, pixel by pixel.
struct Reference {
    const xn::DepthMetaData& depth;
    const WorldPointConverterBase<float>& converter;
    int width;
    int height;

    int At(int x, int y) const { return depth(x, y); }
    int WithDepth(int x, int y) const { return At(x, y) == 0 ? 10000 : At(x, y); }
    int Span(int span, int d) const {
        return static_cast<int>(std::floor(static_cast<float>(span) * converter.m_pInvPixelSizeAtDepth[d] + 0.5f));
    }

    void Sobel(Box2D<int>& box, std::vector<short>& dx, std::vector<short>& dy) const {
        box.min.x = box.min.x - (((box.min.x % 8) + 8) % 8);
        box.max.x = box.max.x | 7;
        const int x0 = std::max(box.min.x, 0), x1 = std::min(box.max.x, width - 1);
        const int y0 = std::max(box.min.y, 0), y1 = std::min(box.max.y, height - 1);
        const int margin = width * 8 / 640;
        const int cleared = margin >= 1 && margin <= 6 ? margin + 1 : 0;
        for (int x = x0; x <= x1; ++x) {
            dx[y0 * width + x] = dy[y0 * width + x] = 0;
        }
        for (int y = y0 + 1; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                // The box's first column follows on from the previous row's last.
                const int left = x == x0 ? WithDepth(x1, y - 1) : WithDepth(x - 1, y);
                short h = static_cast<short>(WithDepth(x, y) - left);
                short v = static_cast<short>(WithDepth(x, y - 1) - WithDepth(x, y));
                if (x - x0 < cleared) {
                    h = v = 0;
                }
                dx[y * width + x] = h;
                dy[y * width + x] = v;
            }
        }
    }

    void Vertical(Box2D<int>& box, const std::vector<short>& dy, std::vector<unsigned short>& out) const {
        box.min.x = box.min.x - (((box.min.x % 8) + 8) % 8);
        box.max.x = box.max.x | 7;
        const int x0 = std::max(box.min.x, 0), x1 = std::min(box.max.x, width - 1);
        const int y0 = std::max(box.min.y, 0), y1 = std::min(box.max.y, height - 1);
        const int threshold = static_cast<int>(150.0f / (converter.m_fPixelSizeFactor * 16.0f));
        std::vector<int> edge(static_cast<size_t>(width), 10000);
        for (int x = x0; x <= x1; ++x) {
            out[y0 * width + x] = 50;
        }
        for (int y = y0 + 1; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                if (dy[y * width + x] > 150) {
                    out[y * width + x] = 0;
                    edge[x] = At(x, y);
                } else {
                    const unsigned short u = out[(y - 1) * width + x];
                    const short product = static_cast<short>((edge[x] >> 4) * u);
                    out[y * width + x] = product < threshold ? static_cast<unsigned short>(u + 1) : 50;
                }
            }
        }
    }

    void Distance(Box2D<int>& box, const std::vector<short>& dx, int jump, int span,
                  const std::vector<unsigned short>* vertical, std::vector<unsigned short>& out) const {
        box.min.x = std::max(box.min.x, width * 8 / 640);
        box.min.y = std::max(box.min.y, 0);
        box.max.x = std::min(box.max.x, width - 1);
        box.max.y = std::min(box.max.y, height - 1);
        std::vector<int> left(static_cast<size_t>(width)), right(static_cast<size_t>(width));
        for (int y = box.min.y; y <= box.max.y - 2; ++y) {
            auto far = [&](int x) { return vertical != nullptr && (*vertical)[y * width + x] > 49; };
            left[box.min.x] = 0;
            for (int x = box.min.x + 1; x <= box.max.x; ++x) {
                left[x] = far(x) ? 0 : dx[y * width + x] < -jump ? Span(span, At(x, y)) : std::max(left[x - 1] - 1, 0);
            }
            right[box.max.x] = 0;
            for (int x = box.max.x - 1; x >= box.min.x; --x) {
                right[x] = far(x) ? 0 : dx[y * width + x + 1] > jump ? Span(span, At(x, y)) : std::max(right[x + 1] - 1, 0);
                const int d = At(x, y);
                bool keep = d != 0 && d < kMaxDepth;
                if (keep) {
                    keep = vertical != nullptr ? left[x] != 0 && right[x] != 0 : left[x] + right[x] > Span(span, d);
                }
                out[y * width + x] = keep ? static_cast<unsigned short>(d) : 0;
            }
        }
    }
};

// A detector with its maps at a width, holding `fill` before each step.
struct Maps {
    explicit Maps(int width) : detector(0), width(width), height(width * 3 / 4) {
        detector.Initialize("", 0, ResolutionOfWidth(width), kMaxDepth);
        detector.SetArraySizes(ResolutionOfWidth(width));
    }
    template <typename T>
    static std::vector<T> Of(const Array2D<T>& map) {
        return std::vector<T>(map.Data(), map.Data() + map.Size());
    }
    template <typename T>
    static void Fill(Array2D<T>& map, std::mt19937& random) {
        for (int i = 0; i < map.Size(); ++i) map[i] = static_cast<T>(random());
    }
    void Scramble(std::mt19937& random) {
        Fill(detector.m_horizontalDifferences, random);
        Fill(detector.m_verticalDifferences, random);
        Fill(detector.m_verticalDistance, random);
        Fill(detector.m_edgeDistance, random);
        Fill(detector.m_narrowLines, random);
    }

    DUZHandDetector detector;
    int width;
    int height;
};

// Every step of the hand search on one frame and box, then the forearm
// mode on a second box, compared map for map with the reference (cells the
// steps leave alone included).
void CompareWithReference(FixtureFrame& frame, Maps& maps, const Box2D<int>& box, const Box2D<int>& forearmBox,
                          std::mt19937& random) {
    DUZHandDetector& d = maps.detector;
    const NADepthMapContainer& container = frame.Container();
    maps.Scramble(random);
    std::vector<short> dx = Maps::Of(d.m_horizontalDifferences), dy = Maps::Of(d.m_verticalDifferences);
    std::vector<unsigned short> vertical = Maps::Of(d.m_verticalDistance), edges = Maps::Of(d.m_edgeDistance),
                                narrow = Maps::Of(d.m_narrowLines);
    const Reference reference{frame.Depth(), frame.Converter(), maps.width, maps.height};

    Box2D<int> working = box, expected = box;
    d.ComputeSobel(&container, d.m_horizontalDifferences.Data(), d.m_verticalDifferences.Data(), working);
    reference.Sobel(expected, dx, dy);
    EXPECT_EQ(expected, working);
    EXPECT_EQ(dx, Maps::Of(d.m_horizontalDifferences));
    EXPECT_EQ(dy, Maps::Of(d.m_verticalDifferences));
    d.VerticalDistance(&container, d.m_verticalDifferences.Data(), d.m_verticalDistance.Data(), working);
    reference.Vertical(expected, dy, vertical);
    EXPECT_EQ(expected, working);
    EXPECT_EQ(vertical, Maps::Of(d.m_verticalDistance));
    d.DistanceFromEdges(&container, working, d.m_horizontalDifferences.Data(), 150, 150, d.m_verticalDistance.Data(), 1,
                        d.m_edgeDistance.Data());
    reference.Distance(expected, dx, 150, 150, &vertical, edges);
    EXPECT_EQ(expected, working);
    EXPECT_EQ(edges, Maps::Of(d.m_edgeDistance));

    working = expected = forearmBox;
    d.DistanceFromEdges(&container, working, d.m_horizontalDifferences.Data(), 80, 150, nullptr, 0,
                        d.m_narrowLines.Data());
    reference.Distance(expected, dx, 80, 150, nullptr, narrow);
    EXPECT_EQ(expected, working);
    EXPECT_EQ(narrow, Maps::Of(d.m_narrowLines));
}

TEST(HandDetectorEdgeMaps, AgreeWithThePlainRulesOnRenderedAndRandomMaps) {
    vela::scene::Scene scene;
    std::string error;
    ASSERT_TRUE(vela::scene::ParseScene("camera elevation=1400\nwall z=4200\n"
                                        "person height=1750\n  at 0 pos=-200,1900\n  pose 0 stand right_arm=10,10,0,120\n"
                                        "person height=1700\n  at 0 pos=600,3300\n  wave 0..1 hand=left\n",
                                        "", scene, error))
        << error;
    std::mt19937 random(25);
    for (int width : {80, 160, 320, 640}) {
        SCOPED_TRACE(width);
        const int height = width * 3 / 4;
        FixtureFrame frame(width, height);
        Maps maps(width);
        vela::scene::SceneRenderer renderer(scene);
        ASSERT_TRUE(renderer.SetResolution(width, height));
        renderer.RenderDepth(3, frame.Depth().WritableData());
        const std::vector<Box2D<int>> boxes = {
            Box2D<int>(0, 0, width - 1, height - 1),
            Box2D<int>(width / 8 + 3, height / 5, width / 2 + 1, height - 3),
            Box2D<int>(-20, -5, width + 9, height + 30),
        };
        const Box2D<int> forearmBox(width / 3 - 5, height / 4, width * 2 / 3 + 3, height / 2 + 7);
        for (const Box2D<int>& box : boxes) {
            CompareWithReference(frame, maps, box, forearmBox, random);
        }
        // Random depths: no depth, near, far and at or above the maximum.
        std::uniform_int_distribution<int> kind(0, 9);
        std::uniform_int_distribution<int> value(300, 6000);
        for (int i = 0; i < width * height; ++i) {
            const int k = kind(random);
            frame.Depth().WritableData()[i] = static_cast<XnDepthPixel>(k == 0 ? 0 : k == 1 ? kMaxDepth : value(random));
        }
        for (const Box2D<int>& box : boxes) {
            CompareWithReference(frame, maps, box, boxes[0], random);
        }
    }
}

TEST(HandDetectorEdgeMaps, MarginColumnsHaveNoDifferences) {
    // A depth jump in every one of the first eight columns: the lane masks
    // keep the differences of the first 2, 3 and 5 columns at 0.
    for (int width : {80, 160, 320, 640}) {
        SCOPED_TRACE(width);
        FixtureFrame frame(width, width * 3 / 4);
        Maps maps(width);
        for (int y = 0; y < frame.Depth().YRes(); ++y) {
            for (int x = 0; x < width; ++x) {
                frame.Depth().WritableData()[y * width + x] = static_cast<XnDepthPixel>(1000 + 400 * (x % 2) + 300 * (y % 2));
            }
        }
        Box2D<int> box(0, 0, width - 1, 20);
        DUZHandDetector& d = maps.detector;
        d.ComputeSobel(&frame.Container(), d.m_horizontalDifferences.Data(), d.m_verticalDifferences.Data(), box);
        const int cleared = width == 80 ? 2 : width == 160 ? 3 : width == 320 ? 5 : 0;
        for (int x = 0; x < 8; ++x) {
            SCOPED_TRACE(x);
            EXPECT_EQ(x < cleared, d.m_horizontalDifferences(10, x) == 0);
            EXPECT_EQ(x < cleared, d.m_verticalDifferences(10, x) == 0);
        }
    }
}

TEST(HandDetectorEdgeMaps, TopEdgesAndSpans) {
    FixtureFrame frame(160, 120);
    Maps maps(160);
    DUZHandDetector& d = maps.detector;
    const NADepthMapContainer& container = frame.Container();
    const float pixels = 150.0f * frame.Converter().m_pInvPixelSizeAtDepth[1500];  // 150 mm at 1.5 m
    const int span = static_cast<int>(std::floor(pixels + 0.5f));
    // A wall at 3 m; a bar at 1.5 m from row 30 down, columns 40 to 40 +
    // span - 1, below rows 20 to 29 without depth; a bar one pixel wider
    // from column 100; a bar at the maximum depth.
    PaintPlane(frame.Depth(), 3000);
    PaintRect(frame.Depth(), Box2D<int>(40, 20, 40 + span - 1, 29), 0);
    PaintRect(frame.Depth(), Box2D<int>(40, 30, 40 + span - 1, 119), 1500);
    PaintRect(frame.Depth(), Box2D<int>(100, 30, 100 + span, 119), 1500);
    PaintRect(frame.Depth(), Box2D<int>(8, 30, 12, 119), kMaxDepth);
    Box2D<int> box(0, 0, 159, 119);
    d.ComputeSobel(&container, d.m_horizontalDifferences.Data(), d.m_verticalDifferences.Data(), box);
    d.VerticalDistance(&container, d.m_verticalDifferences.Data(), d.m_verticalDistance.Data(), box);
    // On the top edge 0 (its upper neighbour has no depth), then counting.
    EXPECT_EQ(0, d.m_verticalDistance(30, 45));
    EXPECT_EQ(1, d.m_verticalDistance(31, 45));
    EXPECT_EQ(0, d.m_verticalDistance(30, 105));
    EXPECT_EQ(50, d.m_verticalDistance(0, 45));
    EXPECT_EQ(50, d.m_verticalDistance(110, 45));  // far below the edge
    EXPECT_EQ(50, d.m_verticalDistance(20, 70));   // the wall: no edge above
    d.DistanceFromEdges(&container, box, d.m_horizontalDifferences.Data(), 150, 150, d.m_verticalDistance.Data(), 1,
                        d.m_edgeDistance.Data());
    // A bar the span wide is kept whole; in one a pixel wider each end
    // lies the span from the other edge (its counter decayed to 0).
    EXPECT_EQ(1500, d.m_edgeDistance(32, 40));
    EXPECT_EQ(1500, d.m_edgeDistance(32, 40 + span - 1));
    EXPECT_EQ(0, d.m_edgeDistance(32, 100));
    EXPECT_EQ(1500, d.m_edgeDistance(32, 101));
    EXPECT_EQ(1500, d.m_edgeDistance(32, 100 + span - 1));
    EXPECT_EQ(0, d.m_edgeDistance(32, 100 + span));
    EXPECT_EQ(0, d.m_edgeDistance(110, 45));  // far below the edge
    for (int x = 8; x <= 12; ++x) EXPECT_EQ(0, d.m_edgeDistance(32, x));  // at the maximum depth
    EXPECT_EQ(0, d.m_edgeDistance(35, 20));   // the wall

    // Forearm mode keeps runs narrower than the span between jumps of 80 mm.
    PaintPlane(frame.Depth(), 3000);
    PaintRect(frame.Depth(), Box2D<int>(40, 0, 40 + span - 3, 119), 1500);
    PaintRect(frame.Depth(), Box2D<int>(100, 0, 100 + span + 2, 119), 1500);
    box = Box2D<int>(0, 0, 159, 119);
    d.ComputeSobel(&container, d.m_horizontalDifferences.Data(), d.m_verticalDifferences.Data(), box);
    box = Box2D<int>(0, 0, 159, 119);
    d.DistanceFromEdges(&container, box, d.m_horizontalDifferences.Data(), 80, 150, nullptr, 0, d.m_narrowLines.Data());
    EXPECT_EQ(1500, d.m_narrowLines(50, 41));
    EXPECT_EQ(0, d.m_narrowLines(50, 100 + span / 2));
    EXPECT_EQ(0, d.m_narrowLines(50, 20));
}

TEST(HandDetectorEdgeMaps, WidthsOutsideTheRowBuffersWriteNothing) {
    FixtureFrame frame(1280, 960);
    Maps maps(640);
    DUZHandDetector& d = maps.detector;
    PaintPlane(frame.Depth(), 2000);
    std::vector<short> before = Maps::Of(d.m_horizontalDifferences);
    Box2D<int> box(3, 0, 1270, 959);
    d.ComputeSobel(&frame.Container(), d.m_horizontalDifferences.Data(), d.m_verticalDifferences.Data(), box);
    EXPECT_EQ(Box2D<int>(0, 0, 1271, 959), box);
    EXPECT_EQ(before, Maps::Of(d.m_horizontalDifferences));
}

}  // namespace
