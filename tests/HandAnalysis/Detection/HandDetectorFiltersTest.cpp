// The hand detector's filters of one candidate each, at the bounds where
// they turn: size, free space above, depth isolation and motion.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandDetector.h"
#include "LogCapture.h"
#include "DetectorTestDepth.h"

namespace {

using hand_test_kit::FixtureFrame;
using hand_test_kit::PaintPlane;
using hand_test_kit::PaintRect;

using detection_test::kMaxDepth;

bool Cleared(const ConnectedComponentProperties<float>& record, int label) {
    return record.m_pixelCount[label] == 0 && record.m_centerOfMass[label] == Vector3D<float>(0, 0, 0);
}

// Label 1 of a record: the centre, the pixel count and the image box.
ConnectedComponentProperties<float> OneCandidate(const Vector3D<float>& centre, int pixels, const Box2D<int>& box) {
    ConnectedComponentProperties<float> record;
    record.m_centerOfMass[1] = centre;
    record.m_pixelCount[1] = pixels;
    record.m_imageBounds[1] = box;
    record.m_area[1] = 5000.0f;
    return record;
}

TEST(HandDetectorFilters, SizeNeedsAreaPixelsAndExtent) {
    struct Case {
        float area;
        int pixels;
        float sizeX;
        float sizeY;
        int pass;
    };
    const Case cases[] = {
        {1500.0f, 5, 35.0f, 35.0f, 1}, {1499.9f, 5, 35.0f, 35.0f, 0}, {1500.0f, 4, 35.0f, 35.0f, 0},
        {1500.0f, 5, 34.9f, 35.0f, 0}, {1500.0f, 5, 35.0f, 34.9f, 0}, {9000.0f, 80, 120.0f, 150.0f, 1},
    };
    DUZHandDetector detector(0);
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << test.area << " " << test.pixels << " " << test.sizeX << " " << test.sizeY);
        ConnectedComponentProperties<float> record = OneCandidate(Vector3D<float>(10, 20, 1500), test.pixels,
                                                                  Box2D<int>(5, 5, 9, 9));
        record.m_area[1] = test.area;
        // Sizes are taken whichever corner is larger.
        record.m_bbox[1] = Box3D<float>(Vector3D<float>(100, -20, 1490), Vector3D<float>(100 - test.sizeX, -20 + test.sizeY, 1510));
        EXPECT_EQ(test.pass, detector.FilterBySize(record, 1));
        EXPECT_EQ(test.pass == 0, Cleared(record, 1));
    }
    // A label rejected before is cleared again and rejected.
    ConnectedComponentProperties<float> record = OneCandidate(Vector3D<float>(0, 0, 0), 50, Box2D<int>(5, 5, 9, 9));
    EXPECT_EQ(0, detector.FilterBySize(record, 1));
    EXPECT_EQ(0, record.m_pixelCount[1]);
}

TEST(HandDetectorFilters, EmptyBoxAboveCountsNearPixels) {
    // A candidate at 4 m, image rows 40 to 50, columns 70 to 80; above it a
    // wall at 5 m and some painted pixels. At 4 m one pixel covers about
    // 790 mm^2: five of them are more than 2500 mm^2 and still pass.
    FixtureFrame frame(160, 120);
    DUZHandDetector detector(0);
    detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth);
    struct Case {
        int pixels;
        unsigned short depth;
        int top;  // the candidate's top row
        int pass;
    };
    const Case cases[] = {
        {5, 4000, 40, 1}, {6, 4000, 40, 0}, {6, 3000, 40, 0}, {6, 4074, 40, 0},
        {6, 4075, 40, 1}, {40, 0, 40, 1},   {40, 4000, 0, 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << test.pixels << " at " << test.depth << ", top " << test.top);
        PaintPlane(frame.Depth(), 5000);
        // The box above: 150 mm (5 columns) either side, 500 mm (17 rows) up.
        PaintRect(frame.Depth(), Box2D<int>(66, 22, 65 + test.pixels, 22), test.depth);
        ConnectedComponentProperties<float> record =
            OneCandidate(Vector3D<float>(0, 0, 4000), 100, Box2D<int>(70, test.top, 80, 50));
        EXPECT_EQ(test.pass, detector.FilterEmptyBoxAbove(&frame.Container(), record, 1));
        EXPECT_EQ(test.pass == 0, Cleared(record, 1));
    }
    // The box's last column (right + 5) and the rows above its top are not in it.
    PaintPlane(frame.Depth(), 5000);
    PaintRect(frame.Depth(), Box2D<int>(85, 22, 85, 39), 4000);
    PaintRect(frame.Depth(), Box2D<int>(66, 21, 84, 21), 4000);
    ConnectedComponentProperties<float> record = OneCandidate(Vector3D<float>(0, 0, 4000), 100, Box2D<int>(70, 40, 80, 50));
    EXPECT_EQ(1, detector.FilterEmptyBoxAbove(&frame.Container(), record, 1));
}

// A component of pixels at 2 m in row 60 before a wall at 3 m, labelled 1
// in a label map; those listed in `near` have a surface 50 mm behind them
// 150 mm above (not isolated).
struct IsolationScene {
    IsolationScene() : frame(160, 120) {
        labels.AllocateData(160, 120);
        std::fill(labels.WritableData(), labels.WritableData() + 160 * 120, 0);
    }
    void Paint(int first, int last, const std::vector<int>& near, unsigned short wall = 3000) {
        PaintPlane(frame.Depth(), wall);
        std::fill(labels.WritableData(), labels.WritableData() + 160 * 120, 0);
        const int up = static_cast<int>(std::floor(150.0f * frame.Converter().m_pInvPixelSizeAtDepth[2000]));
        for (int x = first; x <= last; ++x) {
            frame.Depth().WritableData()[60 * 160 + x] = 2000;
            labels.WritableData()[60 * 160 + x] = 1;
        }
        for (int x : near) {
            frame.Depth().WritableData()[(60 - up) * 160 + x] = 2050;
        }
    }
    FixtureFrame frame;
    xn::SceneMetaData labels;
};

TEST(HandDetectorFilters, DepthIsolationAtItsBounds) {
    IsolationScene scene;
    DUZHandDetector detector(0);
    detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth);
    // One pixel at 2 m covers 100 mm^2 here, so four isolated pixels make
    // exactly 400 mm^2.
    float& area = scene.frame.Converter().m_pPixelAreaAtDepth[2000];
    const float realArea = area;
    area = 100.0f;
    struct Case {
        int first, last;
        std::vector<int> near;
        int pixelCount;  // the record's
        int pass;
    };
    const Case cases[] = {
        {50, 53, {}, 4, 1},                      // 400 mm^2, all isolated
        {50, 53, {53}, 4, 0},                    // 300 mm^2
        {50, 59, {56, 57, 58, 59}, 10, 1},       // 600 mm^2, ratio 0.6
        {50, 59, {56, 57, 58, 59}, 11, 0},       // ratio 6/11
        {0, 3, {}, 4, 0},                        // neighbours clamped onto the component
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << test.first << ".." << test.last << " count " << test.pixelCount);
        scene.Paint(test.first, test.last, test.near);
        ConnectedComponentProperties<float> record =
            OneCandidate(Vector3D<float>(0, 0, 2000.5f), test.pixelCount, Box2D<int>(test.first, 60, test.last, 60));
        EXPECT_EQ(test.pass, detector.FilterByDepthIsolation(&scene.frame.Container(), record, &scene.labels, 1));
        EXPECT_EQ(test.pass == 0, Cleared(record, 1));
    }
    area = realArea;
    // Missing depth around the component counts as the maximum depth.
    scene.Paint(50, 59, {}, 0);
    ConnectedComponentProperties<float> record = OneCandidate(Vector3D<float>(0, 0, 2000), 10, Box2D<int>(50, 60, 59, 60));
    EXPECT_EQ(1, detector.FilterByDepthIsolation(&scene.frame.Container(), record, &scene.labels, 1));
    DUZHandDetector shallow(0);
    shallow.Initialize("", 0, NAResolution::QQVGA, 100);
    EXPECT_EQ(0, shallow.FilterByDepthIsolation(&scene.frame.Container(), record, &scene.labels, 1));
}

class HandDetectorFilterLog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_log.Registered()); }
    detection_test::LogCapture m_log{"HandDetector", XN_LOG_VERBOSE};
};

TEST_F(HandDetectorFilterLog, MotionNeedsFourHundredSquareMillimetresAndHalfThePixels) {
    FixtureFrame frame(160, 120);
    DUZHandDetector detector(0);
    detector.Initialize("", 0, NAResolution::QQVGA, kMaxDepth);
    // A centre depth at which one pixel covers exactly 100 mm^2.
    const float k = frame.Converter().m_fPixelSizeFactor;
    float z = 10.0f / k;
    for (int i = 0; i < 1000 && z * k != 10.0f; ++i) {
        z = std::nextafter(z, z * k < 10.0f ? 1e9f : 0.0f);
    }
    ASSERT_EQ(10.0f, z * k);
    xn::SceneMetaData labels;
    labels.AllocateData(160, 120);
    std::fill(labels.WritableData(), labels.WritableData() + 160 * 120, 0);
    Array2D<unsigned short> mask;
    mask.SetSize(120, 160, false);
    std::fill(mask.Data(), mask.Data() + mask.Size(), 0);
    for (int x = 20; x < 30; ++x) {
        labels.WritableData()[40 * 160 + x] = 1;
        mask(40, x) = static_cast<unsigned short>(x < 24 ? 3 : (x < 26 ? 1 : 0));
    }
    mask(40, 31) = 9;  // moving, but another component's
    struct Case {
        unsigned short threshold;
        int pixelCount;
        int pass;
    };
    // Threshold 2: four moving pixels (400 mm^2); threshold 1: six; 4: none.
    const Case cases[] = {{2, 8, 1}, {2, 9, 0}, {1, 12, 1}, {1, 13, 0}, {4, 1, 0}};
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << "threshold " << test.threshold << " count " << test.pixelCount);
        ConnectedComponentProperties<float> record =
            OneCandidate(Vector3D<float>(0, 0, z), test.pixelCount, Box2D<int>(20, 40, 31, 40));
        EXPECT_EQ(test.pass, detector.FilterByBGModel(&frame.Container(), record, mask.Data(), test.threshold, &labels, 1));
        EXPECT_EQ(test.pass == 0, Cleared(record, 1));
    }
    // Three moving pixels fall short of the area.
    mask(40, 23) = 0;
    ConnectedComponentProperties<float> record = OneCandidate(Vector3D<float>(0, 0, z), 6, Box2D<int>(20, 40, 31, 40));
    m_log.Clear();
    EXPECT_EQ(0, detector.FilterByBGModel(&frame.Container(), record, mask.Data(), 2, &labels, 1));
    ASSERT_EQ(1u, m_log.Texts().size());
    EXPECT_NE(std::string::npos, m_log.Texts()[0].find("HandsMovementFilter (small moving area): Label=1"));
    EXPECT_EQ(std::string::npos, m_log.Texts()[0].find("Moving perc"));
    // A label cleared before passes, and nothing is written.
    m_log.Clear();
    EXPECT_EQ(1, detector.FilterByBGModel(&frame.Container(), record, mask.Data(), 2, &labels, 1));
    EXPECT_TRUE(m_log.Texts().empty());
}

}  // namespace
