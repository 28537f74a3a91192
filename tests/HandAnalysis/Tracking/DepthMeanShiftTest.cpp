// The older depth-only mean-shift engine on fixture frames: the far bound
// from the area seen from the near side, the weights of height and
// nearness, excluded boxes, and a stream whose tables end early.

#include <gtest/gtest.h>

#include <memory>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZDepthMeanShift.h"
#include "NACommon/NALinearMotionPredictor.h"

namespace {

using hand_test_kit::FixtureFrame;
using State = DUZHandTrackerBase::State;

const Box3D<float> kDepthOnlySearchBox(Vector3D<float>(-75, -75, -75), Vector3D<float>(75, 75, 75));
const Box3D<float> kDepthOnlyCapBox(Vector3D<float>(-200, -200, -200), Vector3D<float>(200, 200, 200));

struct Engine {
    explicit Engine(unsigned short maxDepth, float rowWeight = 1.0f, float depthWeight = 1.0f, bool adjust = true)
        : predictor(new NALinearMotionPredictor<float>),
          engine(predictor, adjust, kDepthOnlySearchBox, kDepthOnlyCapBox, 5, 10.0f, rowWeight, depthWeight, maxDepth) {}
    std::unique_ptr<NAMotionPredictor<float>> predictor;
    DUZDepthMeanShift engine;
};

TEST(DUZDepthMeanShift, TheFarBoundIsTheFirstBinPastTheArea) {
    FixtureFrame frame(320, 240);
    hand_test_kit::PaintPlane(frame.Depth(), 2000);
    // Bins of 8 mm; each pixel counts the area of one pixel at its bin's
    // first depth (int): 12 mm^2 at 1000 mm, 17 at 1200, 24 at 1400.
    const WorldPointConverterBase<float>& converter = frame.Converter();
    ASSERT_EQ(12, static_cast<int>(converter.m_pPixelAreaAtDepth[1000]));
    ASSERT_EQ(17, static_cast<int>(converter.m_pPixelAreaAtDepth[1200]));
    ASSERT_EQ(24, static_cast<int>(converter.m_pPixelAreaAtDepth[1400]));
    hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(0, 0, 99, 9), 1004);    // 1000 px: 12000
    hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(0, 10, 99, 11), 1207);  // 200 px: 15400
    hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(0, 12, 99, 15), 1400);  // 400 px: 25000
    Engine e(10000);
    Box1D<int> depthBounds(1, 3000);
    e.engine.UpdateDepthBoundsAccordingToHistogram(frame.Container(), Box2D<int>(0, 0, 319, 239), depthBounds,
                                                   e.engine.m_histogram);
    EXPECT_EQ(1, depthBounds.min);
    EXPECT_EQ(8 * (1400 / 8 + 1), depthBounds.max);
    EXPECT_EQ(400, e.engine.m_histogram.Data()[175]);

    // Less than the area anywhere: the interval's own end, at most the
    // engine's maximum depth.
    hand_test_kit::PaintPlane(frame.Depth(), 0);
    hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(0, 0, 9, 9), 1500);
    for (const int far : {2500, 9000}) {
        Engine limited(4000);
        depthBounds = Box1D<int>(1, far);
        limited.engine.UpdateDepthBoundsAccordingToHistogram(frame.Container(), Box2D<int>(0, 0, 319, 239),
                                                             depthBounds, limited.engine.m_histogram);
        EXPECT_EQ(std::min(far, 4000), depthBounds.max);
    }
}

TEST(DUZDepthMeanShift, TheWalkEndsWithTheAreaTable) {
    // A stream whose maximum is 3000 mm: its tables end at 3001, far below
    // the histogram's last bin (9992 mm).
    FixtureFrame frame(160, 120, 3000);
    ASSERT_EQ(3002, frame.Converter().m_nDepthTableSize);
    hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(0, 0, 4, 4), 2500);
    Engine e(3000);
    Box1D<int> depthBounds(1, 9000);
    e.engine.UpdateDepthBoundsAccordingToHistogram(frame.Container(), Box2D<int>(0, 0, 159, 119), depthBounds,
                                                   e.engine.m_histogram);
    EXPECT_EQ(3000, depthBounds.max);
}

TEST(DUZDepthMeanShift, UpperRowsAndNearerDepthsWeighMore) {
    FixtureFrame frame(320, 240);
    const Box2D<int> window(100, 100, 140, 140);
    const Box1D<int> depthBounds(1400, 1600);
    const WorldPointConverterBase<float>& converter = frame.Converter();
    Vector3D<float> position;
    int column = 0, row = 0;
    {
        SCOPED_TRACE("rows");
        hand_test_kit::PaintRect(frame.Depth(), window, 1500);
        Engine e(10000, 1.0f, 0.0f);
        ASSERT_EQ(1, e.engine.ComputeWeightedHandCenter(frame.Container(), position, window, depthBounds, nullptr, 0));
        frame.PixelOf(position, column, row);
        EXPECT_EQ(120, column);
        EXPECT_LT(row, 116);
        EXPECT_FLOAT_EQ(1500.0f, position.z);
    }
    {
        SCOPED_TRACE("depths");
        hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(100, 100, 119, 140), 1450);
        hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(120, 100, 140, 140), 1550);
        Engine e(10000, 0.0f, 1.0f);
        ASSERT_EQ(1, e.engine.ComputeWeightedHandCenter(frame.Container(), position, window, depthBounds, nullptr, 0));
        frame.PixelOf(position, column, row);
        EXPECT_LT(column, 116);
        EXPECT_NEAR(120, row, 1);
        EXPECT_LT(position.z, 1490.0f);
    }
    {
        SCOPED_TRACE("one row and one depth: no weight divides by zero");
        Engine e(10000);
        const Box2D<int> row120(100, 120, 140, 120);
        ASSERT_EQ(1, e.engine.ComputeWeightedHandCenter(frame.Container(), position, row120, Box1D<int>(1450, 1450),
                                                        nullptr, 0));
        const Vector3D<float> pixel = converter.ProjectivePt(position);
        EXPECT_NEAR(109.5f, pixel.x, 1e-3f);  // the 1450 mm half of the row
        EXPECT_NEAR(120.0f, pixel.y, 1e-3f);
        EXPECT_EQ(1450.0f, position.z);
    }
    {
        SCOPED_TRACE("an excluded box hides its pixels; nothing left fails");
        Engine e(10000);
        const Box3D<float> all(Vector3D<float>(-5000, -5000, 0), Vector3D<float>(5000, 5000, 5000));
        const Box3D<float> boxes[2] = {Box3D<float>(Vector3D<float>(-5000, -5000, 0), Vector3D<float>(5000, 5000, 10)),
                                       all};
        EXPECT_EQ(1, e.engine.ComputeWeightedHandCenter(frame.Container(), position, window, depthBounds, boxes, 1));
        EXPECT_EQ(0, e.engine.ComputeWeightedHandCenter(frame.Container(), position, window, depthBounds, boxes, 2));
        // Only the left half (x below the image centre's world x) excluded.
        const Box3D<float> left(Vector3D<float>(-5000, -5000, 1000), Vector3D<float>(converter.PixelSizeAt(1450) * -41.0f,
                                                                                      5000, 2000));
        ASSERT_EQ(1, e.engine.ComputeWeightedHandCenter(frame.Container(), position, window, depthBounds, &left, 1));
        frame.PixelOf(position, column, row);
        EXPECT_GT(column, 120);
        EXPECT_GT(position.z, 1540.0f);
    }
}

TEST(DUZDepthMeanShift, ClimbsToTheTopOfTheNearestBlob) {
    // A hand held up before a far wall; the start lies below it.
    FixtureFrame frame(320, 240);
    hand_test_kit::PaintPlane(frame.Depth(), 3000);
    hand_test_kit::HandFixture hand;
    hand.center = Vector3D<float>(0, 0, 1200);
    hand_test_kit::PaintHand(frame.Depth(), frame.Converter(), hand);
    Engine e(10000, 1.0f, 1.0f, false);
    Vector3D<float> position(0, -60, 1230);
    e.predictor->Reset(position, SensorTime(0));
    State state = State::eTracking;
    Box3D<float> searchBoundsRW;
    Box2D<int> searchBounds;
    Box1D<int> depthBounds;
    const int steps = e.engine.StepToConvergence(frame.Container(), position, searchBoundsRW, searchBounds,
                                                 depthBounds, state, Vector3D<float>(30, 30, 30), nullptr, 0);
    EXPECT_GE(steps, 2);
    EXPECT_LE(steps, 5);
    EXPECT_EQ(State::eTracking, state);
    // Above the hand's middle, and nearer than its rim.
    EXPECT_GT(position.y, 0.0f);
    EXPECT_LT(position.y, 45.0f);
    EXPECT_NEAR(0.0f, position.x, 3.0f);
    EXPECT_LT(position.z, 1215.0f);
    EXPECT_EQ(static_cast<float>(depthBounds.min), searchBoundsRW.min.z);

    e.engine.Rescale(0.5f);
    EXPECT_FLOAT_EQ(-37.5f, e.engine.m_searchBoundsSizeRW.min.x);
    EXPECT_FLOAT_EQ(100.0f, e.engine.m_maxSearchBoundsSizeRW.max.y);
    EXPECT_FLOAT_EQ(0.5f, e.engine.m_scale);

    // Off the image: lost in the first step.
    position = Vector3D<float>(0, 0, 12000);
    EXPECT_EQ(1, e.engine.StepToConvergence(frame.Container(), position, searchBoundsRW, searchBounds, depthBounds,
                                            state, Vector3D<float>(30, 30, 30), nullptr, 0));
    EXPECT_EQ(State::eLost, state);
}

}  // namespace
