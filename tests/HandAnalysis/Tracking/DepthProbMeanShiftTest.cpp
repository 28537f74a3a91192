// The probability mean-shift engine of the per-hand tracker: convergence on
// the true hand pixels of rendered frames, the forearm bias, failing steps,
// rescaling, and the depth-bounds adjustment on a hand in front of a torso.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZDepthMeanShift.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "HandCameraSession.h"
#include "NACommon/NALinearMotionPredictor.h"

namespace {

using hand_test_kit::CameraSession;
using hand_test_kit::FixtureFrame;
using hand_test_kit::ToVector;
using State = DUZHandTrackerBase::State;
using vela::scene::Joint;
using vela::scene::kRight;

// The combined map's scale, as the per-hand tracker's product of two
// probabilities of 0 to 1000.
constexpr int kFactor = 1000000;

// The per-hand tracker's boxes: +-45 mm around the hand, capped at +-120 mm.
const Box3D<float> kSearchBox(Vector3D<float>(-45, -45, -45), Vector3D<float>(45, 45, 45));
const Box3D<float> kCapBox(Vector3D<float>(-120, -120, -120), Vector3D<float>(120, 120, 120));

// Three people holding the right hand forward, the hands at about 1.2, 1.8
// and 2.5 m, none in front of another's.
const char* const kHandsScene =
    "camera elevation=1400\n"
    "wall z=4200\n"
    "person height=1750\n"
    "  at 0 pos=300,1650\n"
    "  pose 0 stand right_arm=20,60,0,90\n"
    "person height=1700 fabric=light\n"
    "  at 0 pos=-100,2250\n"
    "  pose 0 stand right_arm=20,60,0,90\n"
    "person height=1800\n"
    "  at 0 pos=-700,2950\n"
    "  pose 0 stand right_arm=20,60,0,90\n";

// One tracker frame of the engine as the per-hand tracker runs it: the
// prediction from a start at `start`, the bounds with the probability
// window, then the steps.
struct EngineRun {
    EngineRun(const NADepthMapContainer& frame, const Array2D<int>& map, const Vector3D<float>& start, int maxShift,
        int adjust = 0, int computeCenter = 1)
        : predictor(new NALinearMotionPredictor<float>),
          engine(predictor, kSearchBox, kCapBox, maxShift, 5, kConvergence, kMargin, computeCenter, adjust, nullptr,
                 nullptr),
          frame(frame),
          map(map) {
        predictor->Reset(start, frame.m_time);
        predictor->GetPrediction(frame.m_time, position, uncertainty);
        engine.UpdateSearchAndDepthBounds(frame, map, depthBounds, searchBounds, probabilityBounds, searchBox, state,
                                          1, uncertainty, position);
    }
    int Steps(const Vector3D<float>& direction) {
        return engine.StepToConvergence(frame, map, state, position, searchBoundsRW, depthBounds, searchBounds,
                                        probabilityBounds, searchBox, uncertainty, direction);
    }

    static constexpr float kConvergence = 10.0f;
    static constexpr float kMargin = 100.0f;
    std::unique_ptr<NAMotionPredictor<float>> predictor;
    DUZDepthProbMeanShift engine;
    const NADepthMapContainer& frame;
    const Array2D<int>& map;
    State state = State::eTracking;
    Vector3D<float> position, uncertainty;
    Box1D<int> depthBounds;
    Box2D<int> searchBounds, probabilityBounds;
    Box3D<float> searchBox, searchBoundsRW;
};

float Distance(const Vector3D<float>& a, const Vector3D<float>& b) { return (a - b).Magnitude(); }

TEST(DepthProbMeanShift, ConvergesOnTheVisibleHandOfRenderedFrames) {
    CameraSession session;
    ASSERT_TRUE(session.OpenScene(kHandsScene, 320, 240)) << session.Error();
    ASSERT_TRUE(session.Next());
    DUZMultiResDepthMapContainer container;
    ASSERT_TRUE(container.Initialize(session.Node(), session.Depth()));
    container.m_depthToShift = session.DepthToShift();
    container.m_shiftToDepth = session.ShiftToDepth();
    ASSERT_TRUE(container.Update(&session.Hub(), session.Node(), session.Depth(), session.FrameId(), session.Time()));

    const Vector3D<float> offsets[] = {Vector3D<float>(60, 0, 0), Vector3D<float>(0, -60, 0),
                                       Vector3D<float>(0, 0, 60), Vector3D<float>(-34.64f, 34.64f, -34.64f)};
    float nearest = 1e9f, farthest = 0.0f;
    for (int person = 0; person < 3; ++person) {
        const vela::scene::HandTruth& hand = session.Hand(person, kRight);
        ASSERT_GT(hand.nVisiblePixels, 50) << person;
        const Vector3D<float> centroid = ToVector(hand.centroid);
        nearest = std::min(nearest, centroid.z);
        farthest = std::max(farthest, centroid.z);
        Array2D<int> map;
        hand_test_kit::HandLabelMap(session.Rendered(), person, kRight, 1, kFactor, map);
        // Toward the fingers: along the forearm, from the elbow to the hand.
        const Vector3D<float> forearm =
            (ToVector(session.Joint(person, Joint::RightHand)) - ToVector(session.Joint(person, Joint::RightElbow)))
                .Normalized();
        for (const Vector3D<float>& offset : offsets) {
            SCOPED_TRACE(testing::Message() << "person " << person << " at " << centroid.z << " mm, start off by "
                                            << offset);
            EngineRun plain(container, map, centroid + offset, session.MaxShift());
            const int steps = plain.Steps(Vector3D<float>(0, 0, 0));
            EXPECT_GE(steps, 1);
            EXPECT_LE(steps, 5);
            EXPECT_EQ(State::eTracking, plain.state);
            EXPECT_LT(Distance(plain.position, centroid), 15.0f) << plain.position;

            // Along the forearm the pixels nearer the fingers weigh more.
            EngineRun biased(container, map, centroid + offset, session.MaxShift());
            EXPECT_GE(biased.Steps(forearm), 1);
            EXPECT_EQ(State::eTracking, biased.state);
            EXPECT_GT((biased.position - plain.position).Dot(forearm), 15.0f) << biased.position;
        }
    }
    EXPECT_LT(nearest, 1250.0f);
    EXPECT_GT(farthest, 2450.0f);
}

// A hand (disc at 1000 mm) before a torso (a box 100 mm behind), on a
// 320x240 fixture; the combined map covers both.
class DepthProbMeanShiftFixture : public ::testing::Test {
protected:
    DepthProbMeanShiftFixture() : m_frame(320, 240) {
        hand_test_kit::PaintPlane(m_frame.Depth(), 3000);
        hand_test_kit::PaintBox(m_frame.Depth(), m_frame.Converter(),
                                Box3D<float>(Vector3D<float>(-250, -400, 1100), Vector3D<float>(250, 200, 1400)));
        hand_test_kit::HandFixture hand;
        hand.center = m_hand;
        hand_test_kit::PaintHand(m_frame.Depth(), m_frame.Converter(), hand);
        m_frame.UpdateShift();
        m_frame.SetFrame(3, SensorTime(3 * 33333));
        m_map.SetSize(240, 320, false);
        for (int i = 0; i < m_map.Size(); ++i) m_map[i] = kFactor;
    }

    FixtureFrame m_frame;
    Array2D<int> m_map;
    const Vector3D<float> m_hand = Vector3D<float>(0, 0, 1000);
};

TEST_F(DepthProbMeanShiftFixture, FailingStepsAndAnEmptyIterationLimit) {
    const Box3D<float> untouched(Vector3D<float>(1, 2, 3), Vector3D<float>(4, 5, 6));
    {
        SCOPED_TRACE("computeCenter 0 fails the first step");
        EngineRun run(m_frame.Container(), m_map, m_hand, m_frame.MaxShift(), 0, 0);
        run.searchBoundsRW = untouched;
        EXPECT_EQ(-1, run.Steps(Vector3D<float>(0, 0, 0)));
        EXPECT_EQ(State::eLost, run.state);
        EXPECT_EQ(untouched.min, run.searchBoundsRW.min);
        EXPECT_EQ(untouched.max, run.searchBoundsRW.max);
        EXPECT_EQ(m_hand, run.position);
    }
    {
        SCOPED_TRACE("a window without probability fails");
        Array2D<int> empty;
        empty.SetSize(240, 320, false);
        EngineRun run(m_frame.Container(), empty, m_hand, m_frame.MaxShift());
        run.searchBoundsRW = untouched;
        EXPECT_EQ(-1, run.Steps(Vector3D<float>(0, 0, 0)));
        EXPECT_EQ(State::eLost, run.state);
        EXPECT_EQ(untouched.min, run.searchBoundsRW.min);
    }
    {
        SCOPED_TRACE("no step, and still the world box of the window");
        EngineRun run(m_frame.Container(), m_map, m_hand, m_frame.MaxShift());
        run.engine.m_maxIterations = 0;
        EXPECT_EQ(0, run.Steps(Vector3D<float>(0, 0, 0)));
        EXPECT_EQ(State::eTracking, run.state);
        EXPECT_EQ(static_cast<float>(run.depthBounds.min), run.searchBoundsRW.min.z);
        // +-(45 + 33.3) mm around the hand, at the near and the far depth.
        EXPECT_LT(run.searchBoundsRW.min.x, -70.0f);
        EXPECT_GT(run.searchBoundsRW.max.x, 78.0f);
    }
    {
        SCOPED_TRACE("bounds wholly behind the map's maximum make it lost");
        EngineRun run(m_frame.Container(), m_map, Vector3D<float>(0, 0, 10300), m_frame.MaxShift());
        EXPECT_EQ(State::eLost, run.state);
    }
}

TEST_F(DepthProbMeanShiftFixture, TheProbabilityWindowIsTheSearchWindowAndAMargin) {
    EngineRun run(m_frame.Container(), m_map, m_hand, m_frame.MaxShift());
    // 100 mm at 1000 mm are (int)(100 / (1000 k)) pixels.
    const int margin = static_cast<int>(100.0f / (1000.0f * m_frame.Converter().m_fPixelSizeFactor));
    EXPECT_EQ(run.searchBounds.min.x - margin, run.probabilityBounds.min.x);
    EXPECT_EQ(run.searchBounds.max.y + margin, run.probabilityBounds.max.y);
    // Near the image's corner the window stops at the image.
    EngineRun corner(m_frame.Container(), m_map, m_frame.WorldAt(2, 237, 1000.0f), m_frame.MaxShift());
    EXPECT_EQ(0, corner.probabilityBounds.min.x);
    EXPECT_EQ(239, corner.probabilityBounds.max.y);
}

TEST_F(DepthProbMeanShiftFixture, RescaleBackRestoresTheBoxes) {
    std::unique_ptr<NAMotionPredictor<float>> predictor;
    DUZDepthProbMeanShift engine(predictor, kSearchBox, kCapBox, 2047, 5, 10.0f, 100.0f, 1, 0, nullptr, nullptr);
    engine.Rescale(0.8f);
    EXPECT_FLOAT_EQ(-36.0f, engine.m_searchBoundsSizeRW.min.x);
    EXPECT_FLOAT_EQ(96.0f, engine.m_maxSearchBoundsSizeRW.max.z);
    EXPECT_FLOAT_EQ(0.8f, engine.m_scale);
    engine.Rescale(1.25f);
    for (int a = 0; a < 3; ++a) {
        EXPECT_FLOAT_EQ(kSearchBox.min[a], engine.m_searchBoundsSizeRW.min[a]);
        EXPECT_FLOAT_EQ(kSearchBox.max[a], engine.m_searchBoundsSizeRW.max[a]);
        EXPECT_FLOAT_EQ(kCapBox.min[a], engine.m_maxSearchBoundsSizeRW.min[a]);
        EXPECT_FLOAT_EQ(kCapBox.max[a], engine.m_maxSearchBoundsSizeRW.max[a]);
    }
    EXPECT_FLOAT_EQ(1.0f, engine.m_scale);
}

TEST_F(DepthProbMeanShiftFixture, TheHistogramPullsTheFarBoundInBetweenHandAndTorso) {
    // A lost hand's uncertainty: the depth window reaches the torso.
    for (const int adjust : {0, 1}) {
        SCOPED_TRACE(adjust);
        EngineRun run(m_frame.Container(), m_map, m_hand, m_frame.MaxShift(), adjust);
        run.uncertainty = Vector3D<float>(150, 150, 150);
        Box2D<int> window;
        run.engine.UpdateSearchAndDepthBounds(m_frame.Container(), m_map, run.depthBounds, window,
                                              run.probabilityBounds, run.searchBox, run.state, 0, run.uncertainty,
                                              run.position);
        ASSERT_EQ(State::eTracking, run.state);
        if (adjust == 0) {
            EXPECT_EQ(880, run.depthBounds.min);
            EXPECT_EQ(1120, run.depthBounds.max);
        } else {
            // Hand 980-1000 mm, torso 1100 mm.
            EXPECT_GT(run.depthBounds.max, 1010);
            EXPECT_LT(run.depthBounds.max, 1090);
            EXPECT_LE(run.depthBounds.min, 880);
            EXPECT_GT(run.depthBounds.min, 860);
        }
    }
}

}  // namespace
