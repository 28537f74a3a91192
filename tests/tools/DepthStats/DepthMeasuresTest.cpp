#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "DepthStats/DepthMeasures.h"

namespace {

using namespace vela::depthstats;

constexpr double kPixelFactor = 0.002;  // 2.48 mm a pixel at 1240 mm
constexpr double kDepth = 1240.0;

// A drawn person: a round head, a neck and a straight torso down to the
// image's bottom, at one depth, with holes, fragments and a textured band.
struct DrawnPerson {
    static constexpr int kWidth = 200, kHeight = 320;
    std::vector<uint16_t> depth = std::vector<uint16_t>(kWidth * kHeight, 0);
    std::vector<uint8_t> mask = std::vector<uint8_t>(kWidth * kHeight, 0);

    void Set(int c, int r, double z, bool person = true) {
        depth[r * kWidth + c] = static_cast<uint16_t>(z);
        mask[r * kWidth + c] = person;
    }
    void Clear(int c, int r) { Set(c, r, 0, false); }
    void Box(int c0, int r0, int c1, int r1, double z, bool person = true) {
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c) Set(c, r, z, person);
        }
    }

    DrawnPerson() {
        for (int r = 10; r <= 70; ++r) {
            for (int c = 70; c <= 130; ++c) {
                if ((c - 100) * (c - 100) + (r - 40) * (r - 40) <= 30 * 30) Set(c, r, kDepth);
            }
        }
        Box(85, 66, 114, 80, kDepth);     // neck: 30 pixels
        Box(40, 81, 159, 319, kDepth);    // torso: 120 pixels, to the bottom
    }

    FrameMeasures Measure(const std::vector<uint16_t>* table = nullptr) const {
        FrameInput input;
        input.nWidth = kWidth;
        input.nHeight = kHeight;
        input.pDepth = depth.data();
        input.pMask = mask.data();
        input.dPixelFactor = kPixelFactor;
        input.pShiftToDepth = table;
        FrameMeasures measures;
        std::string error;
        EXPECT_TRUE(MeasureFrame(input, measures, error)) << error;
        return measures;
    }
};

TEST(DepthMeasures, ShapeOfADrawnPerson) {
    const DrawnPerson person;
    const FrameMeasures m = person.Measure();
    const double pixel = kPixelFactor * kDepth;
    EXPECT_NEAR(59 * pixel, m.dHeadWidth, 0.5 * pixel);  // a five-row median takes the round top off
    EXPECT_NEAR(120 * pixel, m.dTorsoWidth, 0.5 * pixel);
    EXPECT_EQ(kDepth, m.dMedianDepth);
    // A flat person: every neighbour alike, planes without residual, edges
    // straight but for the round of the chin.
    EXPECT_EQ(1.0, m.dEqualHorizontalShare);
    EXPECT_EQ(0.0, m.dUnlikeAllFourPercent);
    EXPECT_NEAR(0.0, m.dResidualSd, 1e-9);
    EXPECT_LT(m.dEdgeRoughness, 0.2);
    EXPECT_EQ(1, m.nDistinctDepths);
    EXPECT_EQ(0, m.nEnclosedHoles);
    EXPECT_EQ(0, m.nDetachedFragments);
}

TEST(DepthMeasures, HolesAndFragments) {
    DrawnPerson person;
    // Holes: two regions without depth inside the torso, one of them large;
    // not holes: a gap showing the background, a notch open to the image's
    // bottom.
    person.Clear(100, 290);
    person.Box(60, 280, 70, 290, 0, false);
    person.Box(120, 270, 130, 275, 3000, false);
    person.Box(90, 310, 95, 319, 0, false);
    // Fragments: a small bit beside the torso; not fragments: a bit of 144
    // pixels beside it and a small bit far away.
    person.Box(33, 200, 35, 202, kDepth);
    person.Box(24, 120, 35, 131, kDepth);
    person.Box(2, 250, 4, 252, kDepth);
    const FrameMeasures m = person.Measure();
    EXPECT_EQ(2, m.nEnclosedHoles);
    EXPECT_EQ(121, m.nLargestHole);
    EXPECT_EQ(1, m.nDetachedFragments);
}

TEST(DepthMeasures, Texture) {
    DrawnPerson person;
    // A slope of 1 mm a column with a checkerboard of +-1 mm over the torso:
    // planes leave exactly the checkerboard, and every interior pixel of it
    // differs from all four neighbours.
    for (int r = 81; r < DrawnPerson::kHeight; ++r) {
        for (int c = 40; c <= 159; ++c) person.Set(c, r, kDepth + (c - 100) + ((r + c) % 2 ? 1 : -1));
    }
    const FrameMeasures m = person.Measure();
    EXPECT_NEAR(1.0, m.dResidualSd, 1e-9);
    EXPECT_NEAR(1.0, m.dResidualSdAtReference, 0.05);  // the patches lie near 1240 mm
    EXPECT_LT(m.dEqualHorizontalShare, 0.3);  // only the head and the neck are flat
    EXPECT_GT(m.dUnlikeAllFourPercent, 80.0);
    EXPECT_EQ(1.0, m.dQuantisationStep);
    EXPECT_EQ(122, m.nDistinctDepths);  // 1240 - 61 ... 1240 + 60
}

TEST(DepthMeasures, NeighboursShareLevels) {
    // Rows alternate: a row of one depth, a row of pairs.
    const int w = 12, h = 8;
    std::vector<uint16_t> depth(w * h);
    std::vector<uint8_t> mask(w * h, 1);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) depth[r * w + c] = static_cast<uint16_t>(r % 2 ? 2000 : 2000 + 4 * (c / 2));
    }
    // One odd pixel inside a flat row: unlike its four neighbours.
    depth[3 * w + 5] = 2100;
    FrameInput input;
    input.nWidth = w;
    input.nHeight = h;
    input.pDepth = depth.data();
    input.pMask = mask.data();
    input.dPixelFactor = kPixelFactor;
    FrameMeasures m;
    std::string error;
    ASSERT_TRUE(MeasureFrame(input, m, error)) << error;
    // Even rows: 6 equal pairs of 11; odd rows: 11 of 11, less the two the
    // odd pixel breaks.
    EXPECT_NEAR((4 * 6 + 4 * 11 - 2) / 88.0, m.dEqualHorizontalShare, 1e-12);
    // Interior pixels: 10 x 6; in even rows the pixels unlike their row
    // neighbours still match their column; only the odd pixel counts.
    EXPECT_NEAR(100.0 / 60.0, m.dUnlikeAllFourPercent, 1e-9);
    // Too small for a head or a torso.
    EXPECT_TRUE(std::isnan(m.dTorsoWidth));
    // Levels 4 mm apart against a table whose entries lie 1 mm above them.
    std::vector<uint16_t> table = {0};
    for (int k = 0; k < 30; ++k) table.push_back(static_cast<uint16_t>(2001 + 4 * k));
    input.pShiftToDepth = &table;
    ASSERT_TRUE(MeasureFrame(input, m, error)) << error;
    EXPECT_EQ(-1.0, m.dLevelOffset);
    EXPECT_EQ(1.0, m.dLevelOffsetShare);
    EXPECT_EQ(4.0, m.dQuantisationStep);

    // Unusable input is refused; a frame without the person measures nothing.
    input.pMask = nullptr;
    EXPECT_FALSE(MeasureFrame(input, m, error));
    std::vector<uint8_t> empty(w * h, 0);
    input.pMask = empty.data();
    ASSERT_TRUE(MeasureFrame(input, m, error));
    EXPECT_EQ(0, m.nPersonPixels);
    EXPECT_TRUE(std::isnan(m.dMedianDepth));
}

}  // namespace
