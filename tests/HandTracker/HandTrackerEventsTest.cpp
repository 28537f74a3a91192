// The hand tracker's hands, gestures, smoothing and controls, with scripted
// gesture recognition and hand tracking on the synthetic camera.

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <vector>

#include "HandTrackerTestSupport.h"
#include "ScriptedHandAlgorithms.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

using vela_test::HandFrame;
using vela_test::HandScript;
using vela_test::ReadHandFrame;
using vela_test::ScriptedGestureRecognition;
using vela_test::ScriptedHandAlgorithms;
using vela_test::ScriptedHandTracking;

typedef std::vector<std::pair<int, int>> Activations;

class HandTrackerEventsTest : public vela_test::TrackerTest {
protected:
    void Start() {
        auto algorithms = std::make_unique<ScriptedHandAlgorithms>(m_script);
        m_algorithms = algorithms.get();
        m_tracker = std::make_unique<HandTracker>(std::move(algorithms));
        ASSERT_EQ(VELA_STATUS_OK, m_tracker->initialize()) << LogText();
    }
    void TearDown() override {
        m_tracker.reset();
        TrackerTest::TearDown();
    }

    ScriptedHandTracking& Hands() { return *m_algorithms->Hands(); }
    ScriptedGestureRecognition& Gestures() { return *m_algorithms->Gestures(); }
    // Hand events the next hand update raises.
    void HandEventsOnUpdate(std::vector<std::tuple<int, unsigned int, Vector3D<float>>> events) {
        m_script.onHandUpdate = [events](ScriptedHandTracking& hands) {
            for (const auto& e : events) {
                hands.Raise(std::get<0>(e), std::get<1>(e), std::get<2>(e));
            }
        };
    }
    // The reported states of the next frame's hands, in order, as (id, state).
    std::vector<std::pair<int, int>> NextHands() {
        HandFrame frame = ReadHandFrame(*m_tracker);
        std::vector<std::pair<int, int>> hands;
        for (int i = 0; i < frame->handCount; ++i) {
            hands.emplace_back(frame->hands[i].id, frame->hands[i].state);
        }
        EXPECT_EQ(hands.empty(), frame->hands == nullptr);
        return hands;
    }
    // The x of hand 1 in the next frame (it must be there).
    float NextX() {
        HandFrame frame = ReadHandFrame(*m_tracker);
        EXPECT_EQ(1, frame->handCount);
        return frame->handCount == 1 ? frame->hands[0].position.x : -1e9f;
    }

    HandScript m_script;
    ScriptedHandAlgorithms* m_algorithms = nullptr;
    std::unique_ptr<HandTracker> m_tracker;
};

TEST_F(HandTrackerEventsTest, InitialisationLeavesEveryGestureOffAndShutdownResets) {
    Start();
    EXPECT_EQ("./Vela2/HandAlgorithms.ini", m_script.gestureIniFile);
    EXPECT_EQ(-1, m_script.gestureMaxDepth);
    EXPECT_EQ((Activations{{GESTURE_WAVE, 0}, {GESTURE_CLICK, 0}}), m_script.activations);
    EXPECT_EQ(1, m_script.running);
    m_tracker->shutdown();
    EXPECT_EQ(1, m_script.resets);
    EXPECT_EQ(1, m_script.lastResetArgument);
    EXPECT_EQ(0, m_script.running);
}

TEST_F(HandTrackerEventsTest, AnAlgorithmThatFailsFailsTheCreation) {
    struct Case {
        int gestures;
        int hands;
        const char* message;
    };
    const Case cases[] = {
        {0, 1, "HandTracker: Failed to initialize Gesture Recognition module"},
        {1, 0, "HandTracker: Failed to initialize Hand Tracking module"},
    };
    for (const Case& c : cases) {
        m_writer.Clear();
        HandScript script;
        script.gestureInitializes = c.gestures;
        script.handInitializes = c.hands;
        HandTracker tracker(std::make_unique<ScriptedHandAlgorithms>(script));
        EXPECT_EQ(VELA_STATUS_ERROR, tracker.initialize());
        EXPECT_TRUE(Logged(c.message)) << LogText();
    }
}

TEST_F(HandTrackerEventsTest, HandsAreNewTrackedTouchingAndLost) {
    Start();
    EXPECT_TRUE(NextHands().empty());
    short id = 0;
    ASSERT_EQ(VELA_STATUS_OK, m_tracker->startHandTracking(VelaPoint3f{10, 20, 1500}, &id));
    EXPECT_EQ(1, id);
    ASSERT_EQ(1u, m_script.starts.size());
    EXPECT_EQ(1500.0f, m_script.starts[0].z);
    {
        // Reported in the next frame, with its start position.
        HandFrame frame = ReadHandFrame(*m_tracker);
        ASSERT_EQ(1, frame->handCount);
        EXPECT_EQ(VELA_HAND_STATE_NEW | VELA_HAND_STATE_TRACKED, frame->hands[0].state);
        EXPECT_EQ(20.0f, frame->hands[0].position.y);
    }
    m_script.nextHandId = 2;
    ASSERT_EQ(VELA_STATUS_OK, m_tracker->startHandTracking(VelaPoint3f{300, 20, 1500}, &id));
    EXPECT_EQ(2, id);
    typedef NAHandEvent H;
    const Vector3D<float> p(1, 2, 3);
    struct Step {
        const char* name;
        std::vector<std::tuple<int, unsigned int, Vector3D<float>>> events;
        std::vector<std::pair<int, int>> hands;
    };
    const Step steps[] = {
        {"hand 2 new; moved", {{H::MOVED, 1, p}}, {{2, 3}, {1, 2}}},
        {"moved and touching: one record", {{H::MOVED, 1, p}, {H::TOUCHING_FOV, 1, p}}, {{1, 6}}},
        {"one moved, the other only touching", {{H::MOVED, 1, p}, {H::TOUCHING_FOV, 2, p}}, {{1, 2}, {2, 6}}},
        {"an unknown event type", {{7, 1, p}}, {}},
        {"deleted by the hand tracking", {{H::DELETED, 2, Vector3D<float>()}}, {{2, 0}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        HandEventsOnUpdate(step.events);
        EXPECT_EQ(step.hands, NextHands());
    }
    m_script.onHandUpdate = nullptr;
    // Stopped between two reads: reported lost in the next frame, at 0, 0, 0.
    m_tracker->stopHandTracking(1);
    {
        HandFrame frame = ReadHandFrame(*m_tracker);
        ASSERT_EQ(1, frame->handCount);
        EXPECT_EQ(1, frame->hands[0].id);
        EXPECT_EQ(VELA_HAND_STATE_LOST, frame->hands[0].state);
        EXPECT_EQ(0.0f, frame->hands[0].position.x);
    }
    EXPECT_TRUE(NextHands().empty());
    // A refused start leaves the id alone.
    m_script.nextHandId = 0;
    id = 55;
    EXPECT_EQ(VELA_STATUS_ERROR, m_tracker->startHandTracking(VelaPoint3f{0, 0, 900}, &id));
    EXPECT_EQ(55, id);
}

TEST_F(HandTrackerEventsTest, CompletedGesturesAreReportedWithTheirPublicType) {
    Start();
    const Vector3D<float> at(5, 6, 7);
    m_script.onGestureUpdate = [at](ScriptedGestureRecognition& gestures) {
        gestures.Raise(GESTURE_CLICK, GESTURE_STATUS_COMPLETED, at);
        gestures.Raise(GESTURE_WAVE, GESTURE_STATUS_IN_PROGRESS, at);
        gestures.Raise(GESTURE_WAVE, GESTURE_STATUS_COMPLETED, at);
        gestures.Raise(GESTURE_RAISE_HAND, GESTURE_STATUS_COMPLETED, at);
        gestures.Raise(GESTURE_SWIPE_PLUS_X, GESTURE_STATUS_COMPLETED, at);
    };
    for (int frameNumber = 0; frameNumber < 2; ++frameNumber) {
        HandFrame frame = ReadHandFrame(*m_tracker);
        ASSERT_EQ(4, frame->gestureCount);
        const int expected[] = {VELA_GESTURE_CLICK, VELA_GESTURE_WAVE, VELA_GESTURE_HAND_RAISE, -1};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(expected[i], frame->gestures[i].type);
            EXPECT_EQ(VELA_GESTURE_STATE_COMPLETED, frame->gestures[i].state);
            // The hand's current position, not where the gesture was seen.
            EXPECT_EQ(7.0f, frame->gestures[i].currentPosition.z);
        }
    }
    // A gesture raised between two reads is dropped.
    m_script.onGestureUpdate = nullptr;
    Gestures().Raise(GESTURE_CLICK, GESTURE_STATUS_COMPLETED, at);
    EXPECT_EQ(0, ReadHandFrame(*m_tracker)->gestureCount);
}

TEST_F(HandTrackerEventsTest, GestureDetectionMapsPublicTypesToInternalOnes) {
    Start();
    m_script.activations.clear();
    EXPECT_EQ(VELA_STATUS_OK, m_tracker->startGestureDetection(VELA_GESTURE_WAVE));
    EXPECT_EQ(VELA_STATUS_OK, m_tracker->startGestureDetection(VELA_GESTURE_CLICK));
    EXPECT_EQ(VELA_STATUS_OK, m_tracker->startGestureDetection(VELA_GESTURE_HAND_RAISE));
    m_tracker->stopGestureDetection(VELA_GESTURE_CLICK);
    EXPECT_EQ((Activations{{GESTURE_WAVE, 1}, {GESTURE_CLICK, 1}, {GESTURE_RAISE_HAND, 1}, {GESTURE_CLICK, 0}}),
              m_script.activations);
    // Unknown public types change nothing.
    m_script.activations.clear();
    EXPECT_EQ(VELA_STATUS_ERROR, m_tracker->startGestureDetection(static_cast<VelaGestureType>(3)));
    m_tracker->stopGestureDetection(static_cast<VelaGestureType>(-2));
    EXPECT_TRUE(m_script.activations.empty());
    EXPECT_TRUE(Logged("Can't find gesture type 3")) << LogText();
    EXPECT_TRUE(Logged("Can't find gesture type -2")) << LogText();
    // Stopping all switches all three off.
    m_tracker->stopGestureDetection();
    EXPECT_EQ((Activations{{GESTURE_CLICK, 0}, {GESTURE_WAVE, 0}, {GESTURE_RAISE_HAND, 0}}), m_script.activations);
}

// With factor 0.1 a hand moving 5 mm a frame keeps its first position until
// the mean of its last three positions is more than 10 mm away, then trails
// that mean by 10 mm.
TEST_F(HandTrackerEventsTest, SmoothingTrailsTheMeanOfTheLastThreePositions) {
    Start();
    float factor = 0;
    m_tracker->getSmoothingFactor(factor);
    EXPECT_EQ(0.1f, factor);
    ASSERT_EQ(VELA_STATUS_OK, m_tracker->setSmoothingFactor(0.1f));
    float x = 100;
    m_script.onHandUpdate = [&x](ScriptedHandTracking& hands) {
        hands.Raise(NAHandEvent::MOVED, 1, Vector3D<float>(x, 0, 1000));
        x += 5;
    };
    // Means 100, 102.5, 105, 110, 115, 120.
    for (float expected : {100.0f, 100.0f, 100.0f, 100.0f, 105.0f, 110.0f}) {
        EXPECT_EQ(expected, NextX());
    }
    // Off keeps the factor and forgets the hand: on again, it starts from its
    // raw position.
    ASSERT_EQ(VELA_STATUS_OK, m_tracker->setSmoothingFactor(0));
    m_tracker->getSmoothingFactor(factor);
    EXPECT_EQ(0.1f, factor);
    EXPECT_EQ(130.0f, NextX());
    ASSERT_EQ(VELA_STATUS_OK, m_tracker->setSmoothingFactor(0.1f));
    EXPECT_EQ(135.0f, NextX());

    // A negative factor overshoots the mean by its distance whenever the
    // mean moves.
    ASSERT_EQ(VELA_STATUS_OK, m_tracker->setSmoothingFactor(-0.1f));
    EXPECT_EQ(137.5f + 10.0f, NextX());

    // Factors that are not finite numbers are refused; the setting stays.
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(VELA_STATUS_ERROR, m_tracker->setSmoothingFactor(bad));
        m_tracker->getSmoothingFactor(factor);
        EXPECT_EQ(-0.1f, factor);
    }
    EXPECT_TRUE(Logged("HandTracker: the smoothing factor must be a finite number")) << LogText();
    EXPECT_FALSE(std::isnan(NextX()));
}

TEST_F(HandTrackerEventsTest, AFrameIsFreedByItsLastRelease) {
    vela_test::CountingFrameCalls calls;
    Start();
    ExpectAFrameIsFreedByItsLastRelease<vela_test::HandFrames>(*m_tracker, calls, "HandTracker");
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
