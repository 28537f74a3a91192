#pragma once

// Scripted stand-ins for the hand tracker's two algorithms, handed to the
// tracker through HandTrackerAlgorithms: the test decides which hand starts
// succeed and which events each update raises, and reads back what the
// tracker asked of them in the HandScript it owns.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "HandTracker/HandTrackerAlgorithms.h"

namespace vela_test {

class ScriptedGestureRecognition;
class ScriptedHandTracking;

struct HandScript {
    // Gesture recognition.
    int gestureInitializes = 1;
    std::string gestureIniFile;
    int gestureMaxDepth = 0;
    int running = 0;
    int resets = 0;
    int lastResetArgument = -1;
    // (internal type, active), in call order.
    std::vector<std::pair<int, int>> activations;
    std::function<void(ScriptedGestureRecognition&)> onGestureUpdate;

    // Hand tracking.
    int handInitializes = 1;
    // The id the next start gives (0 refuses).
    unsigned int nextHandId = 1;
    std::vector<Vector3D<float>> starts;
    std::function<void(ScriptedHandTracking&)> onHandUpdate;
    int updates = 0;
};

// Both raise their events as the managers do: synchronously, to every
// listener in registration order.
class ScriptedGestureRecognition : public GestureRecognition, public NAEventGenerator {
public:
    explicit ScriptedGestureRecognition(HandScript& script) : m_script(script) {}

    int Initialize(NACommonData*, const xn::DepthGenerator&, const xn::DepthMetaData&, const std::string& iniFile,
                   int maxDepth, int) override {
        m_script.gestureIniFile = iniFile;
        m_script.gestureMaxDepth = maxDepth;
        return m_script.gestureInitializes;
    }
    void SetRunning(int running) override { m_script.running = running; }
    void Update(const xn::DepthGenerator&, const xn::DepthMetaData&) override {
        if (m_script.onGestureUpdate) {
            m_script.onGestureUpdate(*this);
        }
    }
    void ActivateGesture(GestureType type, int active, Box3D<float>*) override {
        m_script.activations.emplace_back(type, active);
    }
    void Reset(int resetBackground) override {
        ++m_script.resets;
        m_script.lastResetArgument = resetBackground;
    }
    NAEventGenerator& GetEventGenerator() override { return *this; }

    void Raise(int type, int status, const Vector3D<float>& current) {
        NAEvent event(NAEvent::GESTURE);
        event.gesture.gestureType = type;
        event.gesture.gestureStatus = status;
        event.gesture.currentPosition = current;
        // Where the recognizer saw it: never what the tracker reports.
        event.gesture.gesturePosition = Vector3D<float>(-1, -1, -1);
        GenerateEvent(event);
    }

private:
    HandScript& m_script;
};

class ScriptedHandTracking : public HandTracking, public NAEventGenerator {
public:
    explicit ScriptedHandTracking(HandScript& script) : m_script(script) {}

    int Initialize(NACommonData*, const xn::DepthGenerator&, const xn::DepthMetaData&, const std::string&, int,
                   int) override {
        return m_script.handInitializes;
    }
    void Update(const xn::DepthGenerator&, const xn::DepthMetaData&, const xn::ImageMetaData& image) override {
        ++m_script.updates;
        EXPECT_EQ(nullptr, image.Data());
        if (m_script.onHandUpdate) {
            m_script.onHandUpdate(*this);
        }
    }
    unsigned int StartTracking(const xn::DepthGenerator&, const xn::DepthMetaData&, const Vector3D<float>& point,
                               const Vector2D<float>&) override {
        m_script.starts.push_back(point);
        const unsigned int id = m_script.nextHandId;
        if (id != 0) {
            m_hands.push_back(id);
            Raise(NAHandEvent::ADDED, id, point);
        }
        return id;
    }
    int StopTracking(unsigned int id) override {
        for (auto it = m_hands.begin(); it != m_hands.end(); ++it) {
            if (*it == id) {
                m_hands.erase(it);
                Raise(NAHandEvent::DELETED, id, Vector3D<float>());
                return 1;
            }
        }
        return 0;
    }
    void StopTrackingAllHands() override {
        while (!m_hands.empty()) {
            StopTracking(m_hands.front());
        }
    }
    NAEventGenerator& GetEventGenerator() override { return *this; }

    void Raise(int type, unsigned int id, const Vector3D<float>& position, int border = NAHandEvent::NONE) {
        NAEvent event(NAEvent::HAND);
        event.hand.type = type;
        event.hand.handId = static_cast<int32_t>(id);
        event.hand.position = position;
        event.hand.border = border;
        GenerateEvent(event);
    }

private:
    HandScript& m_script;
    std::vector<unsigned int> m_hands;
};

class ScriptedHandAlgorithms : public HandTrackerAlgorithms {
public:
    explicit ScriptedHandAlgorithms(HandScript& script) : m_script(script) {}

    std::unique_ptr<GestureRecognition> CreateGestureRecognition() override {
        auto gestures = std::make_unique<ScriptedGestureRecognition>(m_script);
        m_gestures = gestures.get();
        return gestures;
    }
    std::unique_ptr<HandTracking> CreateHandTracking() override {
        auto hands = std::make_unique<ScriptedHandTracking>(m_script);
        m_hands = hands.get();
        return hands;
    }

    ScriptedGestureRecognition* Gestures() const { return m_gestures; }
    ScriptedHandTracking* Hands() const { return m_hands; }

private:
    HandScript& m_script;
    ScriptedGestureRecognition* m_gestures = nullptr;
    ScriptedHandTracking* m_hands = nullptr;
};

}  // namespace vela_test
