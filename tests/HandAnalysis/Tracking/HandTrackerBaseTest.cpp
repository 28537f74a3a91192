// The hand-tracker base on fixture frames 33,333 us apart, with a small
// derived tracker whose centre moves as the test says: states and their
// transitions, prediction and bounds, convergence, taking over another
// tracker's state, the hand size and the histograms.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../OSLayer/XnLogTestWriter.h"
#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandTrackerBase.h"
#include "NACommon/NALinearMotionPredictor.h"
#include "TempDir.h"

namespace {

using hand_test_kit::FixtureFrame;
using State = DUZHandTrackerBase::State;

constexpr int64_t kFrame = 33333;  // us
constexpr int kMaxShift = 2047;

// Its centre moves by m_move per step, or fails; it counts the calls of
// each hook.
class ScriptedTracker : public DUZHandTrackerBase {
public:
    explicit ScriptedTracker(uint32_t id = 7) : DUZHandTrackerBase(kMaxShift) {
        m_id = id;
        EXPECT_EQ(1, Initialize("", 0));
    }

    void PrepareForSteps(const NADepthMapContainer&) override { ++m_prepared; }
    void Validate(const NADepthMapContainer&) override { ++m_validated; }
    int ComputeWeightedHandCenter(const NADepthMapContainer&, Vector3D<float>& center) override {
        ++m_centres;
        if (!m_found) return 0;
        center = center + m_move;
        return 1;
    }

    bool m_found = true;
    Vector3D<float> m_move = Vector3D<float>(0, 0, 0);
    int m_prepared = 0;
    int m_validated = 0;
    int m_centres = 0;
};

// A plane 2 m away, time of frame n = n frames.
class HandTrackerBaseTest : public ::testing::Test {
protected:
    HandTrackerBaseTest() : m_frame(320, 240) {
        hand_test_kit::PaintPlane(m_frame.Depth(), 2000);
        m_frame.UpdateShift();
        Frame(0);
    }
    const NADepthMapContainer& Frame(uint32_t n) {
        m_frame.SetFrame(n, SensorTime(kFrame * n));
        return m_frame.Container();
    }
    // One frame as the owner runs it.
    void Run(DUZHandTrackerBase& tracker, uint32_t n) {
        const NADepthMapContainer& frame = Frame(n);
        tracker.ComputePredictionAndBounds(frame);
        tracker.Update(frame);
    }

    FixtureFrame m_frame;
};

char Letter(State state) { return state == State::eTracking ? 'T' : (state == State::eLost ? 'L' : 'I'); }

TEST_F(HandTrackerBaseTest, StateTransitions) {
    struct Case {
        const char* name;
        bool start;                // started at frame 0
        Vector3D<float> position;  // start point
        std::string centres;       // per frame from frame 1: 'm' the centre is found, 'f' it is not
        std::string states;        // m_state after each of those frames
        const char* message;       // the last "HandTracker" line, when logged
    };
    const Vector3D<float> hand(50, 100, 1500);
    const std::string thirtyFailures(30, 'f');
    const std::vector<Case> cases = {
        {"a found centre keeps tracking", true, hand, "mmm", "TTT", nullptr},
        {"a failed centre makes it lost, a found one tracking again", true, hand, "fm", "LT",
         "HandTracker (0): Tracker ID 7 failed to compute hand center, changed to state 'lost'\n"},
        {"lost 30 frames (0.99999 s) after its last sample it stays lost, at 31 it is inactive", true, hand,
         thirtyFailures + "f", std::string(30, 'L') + "I", "HandTracker (0): Tracker ID 7 changed to state 'inactive'\n"},
        {"a search window wholly off the image", true, Vector3D<float>(5000, 0, 1500), "m", "L",
         "HandTracker (0): Tracker ID 7 empty bounds, changed to state 'lost'\n"},
        {"a depth interval beyond the map's maximum", true, Vector3D<float>(0, 0, 10400), "m", "L",
         "HandTracker (0): Tracker ID 7 empty bounds, changed to state 'lost'\n"},
        {"an inactive tracker ignores both frame calls", false, hand, "mm", "II", nullptr},
    };
    vela_test::CapturingLogWriter writer;
    ASSERT_EQ(XN_STATUS_OK, writer.Register());
    xnLogSetMaskMinSeverity("HandTracker", XN_LOG_VERBOSE);
    NALogger::GetInstance().SetEnabled(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writer.Clear();
        ScriptedTracker tracker;
        const Vector3D<float> before = tracker.m_position;
        if (c.start) {
            ASSERT_EQ(1, tracker.StartTracking(Frame(0), c.position));
            EXPECT_EQ(State::eTracking, tracker.m_state);
            EXPECT_EQ(State::eTracking, tracker.m_newState);
        }
        std::string states;
        for (size_t i = 0; i < c.centres.size(); ++i) {
            tracker.m_found = c.centres[i] == 'm';
            Run(tracker, static_cast<uint32_t>(i + 1));
            states += Letter(tracker.m_state);
            EXPECT_EQ(tracker.m_state, tracker.m_newState);
        }
        EXPECT_EQ(c.states, states);
        if (c.message != nullptr) {
            ASSERT_FALSE(writer.m_texts.empty());
            EXPECT_EQ(c.message, writer.m_texts.back());
        } else {
            EXPECT_TRUE(writer.m_texts.empty()) << writer.m_texts.front();
        }
        if (!c.start) {
            EXPECT_EQ(before, tracker.m_position);
            EXPECT_EQ(0, tracker.m_prepared + tracker.m_centres + tracker.m_validated);
        }
        // A lost or inactive tracker sits at its last sample.
        if (states.back() != 'T' && c.start) {
            EXPECT_EQ(c.position, tracker.m_position);
        }
    }
    writer.Unregister();
    xnLogSetMaskMinSeverity("HandTracker", XN_LOG_SEVERITY_NONE);
    NALogger::GetInstance().SetEnabled(0);
}

TEST_F(HandTrackerBaseTest, AStartPredictsTheStartPointWithAFramesUncertainty) {
    ScriptedTracker tracker;
    const Vector3D<float> start(-30, 40, 1800);
    ASSERT_EQ(1, tracker.StartTracking(Frame(3), start));
    struct Case {
        uint32_t frame;
        float uncertainty;
    };
    // max(dt, 1/30 s) x 1000 mm/s.
    for (const Case& c : {Case{3, 1000.0f / 30.0f}, Case{4, 1000.0f / 30.0f}, Case{6, 3 * kFrame * 1e-3f}}) {
        SCOPED_TRACE(c.frame);
        tracker.ComputePredictionAndBounds(Frame(c.frame));
        EXPECT_EQ(State::eTracking, tracker.m_newState);
        EXPECT_EQ(start, tracker.m_position);
        EXPECT_FLOAT_EQ(c.uncertainty, tracker.m_uncertainty.x);
        EXPECT_FLOAT_EQ(c.uncertainty, tracker.m_uncertainty.z);
        // The search box around the start: +-(75 + uncertainty), below the cap.
        EXPECT_FLOAT_EQ(-75.0f - c.uncertainty, tracker.m_searchBox.min.x);
        EXPECT_FLOAT_EQ(75.0f + c.uncertainty, tracker.m_searchBox.max.y);
        EXPECT_EQ(static_cast<int>(start.z - 75.0f - c.uncertainty), tracker.m_depthBounds.min);
    }
    // A larger uncertainty is capped at 200 mm.
    tracker.ComputePredictionAndBounds(Frame(12));
    EXPECT_EQ(-200.0f, tracker.m_searchBox.min.x);
    EXPECT_EQ(200.0f, tracker.m_searchBox.max.z);
}

TEST_F(HandTrackerBaseTest, ConvergenceAndTheWorldSearchBox) {
    struct Case {
        const char* name;
        int maxIterations;
        Vector3D<float> move;
        int steps;
    };
    for (const Case& c : {Case{"a move of exactly the convergence distance stops", 5, Vector3D<float>(10, 0, 0), 1},
                          Case{"a longer move goes on to the limit", 5, Vector3D<float>(0, 6, 8.5f), 5},
                          Case{"no step at all with a limit of 0", 0, Vector3D<float>(50, 0, 0), 0}}) {
        SCOPED_TRACE(c.name);
        ScriptedTracker tracker;
        tracker.m_maxIterations = c.maxIterations;
        tracker.m_move = c.move;
        ASSERT_EQ(1, tracker.StartTracking(Frame(0), Vector3D<float>(0, 0, 1500)));
        Run(tracker, 1);
        EXPECT_EQ(c.steps, tracker.m_iterations);
        EXPECT_EQ(c.steps, tracker.m_centres);
        EXPECT_EQ(State::eTracking, tracker.m_state);
        EXPECT_EQ(Vector3D<float>(0, 0, 1500) + c.move * static_cast<float>(c.steps), tracker.m_position);
        // The world box of the last window: from the near depth's pixel size
        // at its near corner to the far depth's.
        const Box3D<float>& box = tracker.m_searchBoundsRW;
        const WorldPointConverterBase<float>& converter = m_frame.Converter();
        EXPECT_EQ(static_cast<float>(tracker.m_depthBounds.min), box.min.z);
        EXPECT_EQ(static_cast<float>(tracker.m_depthBounds.max), box.max.z);
        EXPECT_FLOAT_EQ((tracker.m_searchBounds.min.x - 160.0f) * converter.PixelSizeAt(tracker.m_depthBounds.min),
                        box.min.x);
        EXPECT_FLOAT_EQ((120.0f - tracker.m_searchBounds.min.y) * converter.PixelSizeAt(tracker.m_depthBounds.max),
                        box.max.y);
        EXPECT_LT(box.min.x, tracker.m_position.x);
        EXPECT_GT(box.max.x, tracker.m_position.x);
    }
}

TEST_F(HandTrackerBaseTest, CopyStateTakesExactlyTheListedMembers) {
    ScriptedTracker source(1);
    ScriptedTracker target(2);
    ASSERT_EQ(1, source.StartTracking(Frame(0), Vector3D<float>(10, 20, 1500)));
    source.m_found = false;
    Run(source, 4);  // lost, with bounds, uncertainty and a world box
    source.m_prevPosition = Vector3D<float>(1, 2, 3);
    source.m_searchBoundsSizeRW = Box3D<float>(Vector3D<float>(-1, -2, -3), Vector3D<float>(4, 5, 6));
    source.m_shiftBounds = Box1D<int>(5, 6);
    source.m_maxIterations = 9;

    ASSERT_EQ(1, target.StartTracking(Frame(0), Vector3D<float>(-300, 0, 900)));
    target.m_predictor->Update(Vector3D<float>(-290, 0, 900), SensorTime(kFrame));
    const Box3D<float> searchBox = target.m_searchBox;
    const Box1D<int> shiftBounds = target.m_shiftBounds;
    target.CopyState(source);

    EXPECT_EQ(State::eLost, target.m_state);
    EXPECT_EQ(State::eLost, target.m_newState);
    EXPECT_EQ(source.m_uncertainty, target.m_uncertainty);
    EXPECT_EQ(source.m_searchBounds, target.m_searchBounds);
    EXPECT_EQ(source.m_searchBoundsRW.min, target.m_searchBoundsRW.min);
    EXPECT_EQ(source.m_searchBoundsRW.max, target.m_searchBoundsRW.max);
    EXPECT_EQ(source.m_searchBoundsSizeRW.min, target.m_searchBoundsSizeRW.min);
    EXPECT_EQ(source.m_searchBoundsSizeRW.max, target.m_searchBoundsSizeRW.max);
    EXPECT_EQ(source.m_depthBounds, target.m_depthBounds);
    EXPECT_EQ(source.m_position, target.m_position);
    EXPECT_EQ(source.m_prevPosition, target.m_prevPosition);
    EXPECT_EQ(source.m_predictor->m_position, target.m_predictor->m_position);
    EXPECT_EQ(source.m_predictor->m_time, target.m_predictor->m_time);
    // Not copied: the id, the relative box, the shift bounds, the settings
    // and this predictor's previous sample.
    EXPECT_EQ(2u, target.GetID());
    EXPECT_EQ(searchBox.min, target.m_searchBox.min);
    EXPECT_EQ(shiftBounds, target.m_shiftBounds);
    EXPECT_EQ(5, target.m_maxIterations);
    const auto& linear = dynamic_cast<const NALinearMotionPredictor<float>&>(*target.m_predictor);
    EXPECT_EQ(Vector3D<float>(-300, 0, 900), linear.m_prevPosition);
    EXPECT_EQ(SensorTime(0), linear.m_prevTime);
}

TEST_F(HandTrackerBaseTest, ResetAndAnUninitialisedTracker) {
    ScriptedTracker tracker;
    ASSERT_EQ(1, tracker.StartTracking(Frame(0), Vector3D<float>(0, 0, 1500)));
    tracker.Reset();
    EXPECT_EQ(State::eInactive, tracker.m_state);
    EXPECT_EQ(State::eInactive, tracker.m_newState);
    EXPECT_EQ(Vector3D<float>(0, 0, 0), tracker.m_predictor->m_position);
    EXPECT_EQ(SensorTime(0), tracker.m_predictor->m_time);
    // Without a predictor (never initialised) there is nothing to track with.
    tracker.m_predictor.reset();
    EXPECT_EQ(0, tracker.StartTracking(Frame(0), Vector3D<float>(0, 0, 1500)));
    EXPECT_EQ(State::eInactive, tracker.m_state);
    tracker.Reset();
}

TEST(DUZHandTrackerBaseSettings, ReadFromTheTrackersOwnSection) {
    class HandSectionTracker : public DUZHandTrackerBase {
    public:
        HandSectionTracker() : DUZHandTrackerBase(kMaxShift) {}
        const char* GetINISectionName() const override { return "HandTracker"; }
    };
    vela_test::TempDir dir;
    const std::string ini = dir.File("HandAlgorithms.ini");
    vela_test::WriteWholeFile(ini,
                              "[BaseTracker]\nMaxIterations=2\n"
                              "[HandTracker]\nMaxIterations=7\nLostTrackingRecoveryTimeLimit=0.5\n"
                              "SearchBoundsSizeRW=-10 20 -30 40 -50 60\n"
                              "[Stalling]\nMaxIterations=5000000\nConvergenceDistanceThreshold=4\n");
    HandSectionTracker tracker;
    EXPECT_EQ(nullptr, tracker.m_predictor);
    ASSERT_EQ(1, tracker.Initialize(ini, 0));
    ASSERT_NE(nullptr, dynamic_cast<NALinearMotionPredictor<float>*>(tracker.m_predictor.get()));
    EXPECT_EQ(7, tracker.m_maxIterations);
    EXPECT_EQ(0.5f, tracker.m_lostTrackingRecoveryTimeLimit);
    EXPECT_EQ(10.0f, tracker.m_convergenceDistanceThreshold);  // missing: the default
    EXPECT_EQ(Vector3D<float>(-10, -30, -50), tracker.m_searchBoundsSizeRW.min);
    EXPECT_EQ(Vector3D<float>(20, 40, 60), tracker.m_searchBoundsSizeRW.max);
    EXPECT_EQ(Vector3D<float>(200, 200, 200), tracker.m_maxSearchBoundsSizeRW.max);

    // A count of steps that would stall every frame keeps the current one.
    class StallingTracker : public DUZHandTrackerBase {
    public:
        StallingTracker() : DUZHandTrackerBase(kMaxShift) {}
        const char* GetINISectionName() const override { return "Stalling"; }
    } stalling;
    ASSERT_EQ(1, stalling.Initialize(ini, 0));
    EXPECT_EQ(5, stalling.m_maxIterations);
    EXPECT_EQ(4.0f, stalling.m_convergenceDistanceThreshold);
}

TEST(CalculateHandSize, RunsAlongTheRowAndColumnOfTheHand) {
    FixtureFrame frame(320, 240);
    hand_test_kit::PaintPlane(frame.Depth(), 2000);
    const WorldPointConverterBase<float>& converter = frame.Converter();
    const float size = converter.PixelSizeAt(1000);
    const float cy = converter.m_fCenterY;
    const Box2D<int> all(0, 0, 319, 239);
    struct Case {
        const char* name;
        Box2D<int> hand;  // pixels at 1000 mm
        int holeColumn;   // a pixel without depth in the hand's row (-1 none)
        Box2D<int> box;   // where the walks may go
        float width;      // in pixels
        int top, bottom;
    };
    for (const Case& c : {Case{"on the box's left edge nothing to its left counts", Box2D<int>(90, 100, 120, 110), -1,
                               Box2D<int>(100, 0, 319, 239), 21, 100, 110},
                          Case{"a pixel without depth ends the run", Box2D<int>(90, 100, 120, 110), 110, all, 20, 100,
                               110},
                          Case{"an isolated pixel", Box2D<int>(100, 105, 100, 105), -1, all, 1, 105, 105}}) {
        SCOPED_TRACE(c.name);
        hand_test_kit::PaintPlane(frame.Depth(), 2000);
        hand_test_kit::PaintRect(frame.Depth(), c.hand, 1000);
        if (c.holeColumn >= 0) hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(c.holeColumn, 105, c.holeColumn, 105), 0);
        const Vector3D<float> position = frame.WorldAt(100, 105, 1000.0f);
        int column = 0, row = 0;
        frame.PixelOf(position, column, row);
        ASSERT_EQ(100, column);
        ASSERT_EQ(105, row);
        const Vector2D<float> measured = CalculateHandSize(frame.Container(), position, c.box);
        EXPECT_FLOAT_EQ(c.width * size, measured.x);
        EXPECT_FLOAT_EQ((cy - c.top) * size - (cy - c.bottom) * size, measured.y);
    }
    // A position off the map measures nothing.
    EXPECT_EQ(Vector2D<float>(0, 0), CalculateHandSize(frame.Container(), Vector3D<float>(9000, 0, 1000), all));
}

TEST(DUZHandTrackerBaseHistograms, DepthsPastTheLastBinAndTheLargestShift) {
    // A stream of the first family reports up to 10000 mm; here its largest
    // shift is that of 10000 mm.
    FixtureFrame frame(64, 48, 10000);
    hand_test_kit::PaintPlane(frame.Depth(), 10000);
    hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(0, 0, 63, 3), 9999);
    hand_test_kit::PaintRect(frame.Depth(), Box2D<int>(0, 4, 9, 4), 1500);
    frame.UpdateShift();
    const int maxShift = frame.DepthToShift()[10000];
    class Tracker : public DUZHandTrackerBase {
    public:
        explicit Tracker(int maxShift) : DUZHandTrackerBase(maxShift) {}
    } tracker(maxShift);
    tracker.m_depthBounds = Box1D<int>(1, 10001);
    const Box2D<int> all(0, 0, 63, 47);
    tracker.CalculateHistogram(frame.Container(), all);
    EXPECT_EQ(256, tracker.m_depthHistogram[1249]);
    EXPECT_EQ(10, tracker.m_depthHistogram[1500 / 8]);
    int total = 0;
    for (int bin : tracker.m_depthHistogram) total += bin;
    EXPECT_EQ(266, total);

    Array2D<int> mask;
    mask.SetSize(48, 64, false);
    for (int i = 0; i < mask.Size(); ++i) mask[i] = 1;
    mask[5 * 64] = 0;  // one 10000 mm pixel masked out
    Box1D<unsigned short> range(65535, 0);
    tracker.CalculateHistogramUsingMask(frame.Container(), all, mask, range);
    EXPECT_EQ(256, tracker.m_depthHistogram[1249]);
    EXPECT_EQ(Box1D<unsigned short>(1500, 9999), range);

    range = Box1D<unsigned short>(65535, 0);
    tracker.m_depthBounds = Box1D<int>(1, 10000);
    tracker.CalculateShiftHistogramUsingMask(frame.Container(), all, mask, range);
    EXPECT_EQ(Box1D<int>(frame.DepthToShift()[1], maxShift), tracker.m_shiftBounds);
    // 9999 mm and 10000 mm share that shift.
    ASSERT_EQ(maxShift, frame.DepthToShift()[9999]);
    EXPECT_EQ(64 * 48 - 10 - 1, tracker.m_shiftHistogram[maxShift]);
    EXPECT_EQ(10, tracker.m_shiftHistogram[frame.DepthToShift()[1500]]);
    EXPECT_EQ(Box1D<unsigned short>(frame.DepthToShift()[1500], maxShift), range);
}

}  // namespace
