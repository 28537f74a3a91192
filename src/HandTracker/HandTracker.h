#pragma once

// The tracker of hands and gestures. Each read takes the next depth frame,
// runs the gesture recognition and then the hand tracking on it, and returns
// a new reference-counted frame with the completed gestures and the hand
// records that the two raised as events since the previous read (the hands
// optionally smoothed). Hands start from positions the application gives;
// every gesture is off until the application starts it. Unlike the user
// tracker it takes no tracker lock: reads and controls of one tracker come
// from one thread at a time.
//
// The algorithms come from HandTrackerAlgorithms (the library's own by
// default). Until the hand and gesture subsystems are built, the library's
// own refuse every hand start and recognize no gesture, so frames carry no
// hands and no gestures.

#include <cstdint>
#include <memory>
#include <string>

#include "Api/FrameReferenceTable.h"
#include "Api/TrackerBase.h"
#include "HandAnalysis/GestureType.h"
#include "HandTracker/GestureRecognition.h"
#include "HandTracker/HandTracking.h"
#include "HandTracker/HandTrackerAlgorithms.h"
#include "NACommon/NACommonData.h"
#include "NACommon/NAEventListener.h"
#include "OSLayer/XnHash.h"
#include "OSLayer/XnList.h"
#include "Vela.h"

class HandTracker : public TrackerBase, public NAEventListener {
public:
    // The smoothing state of one hand: the last three raw positions and the
    // position reported.
    struct SmoothingData {
        VelaPoint3f ring[3];
        // Raw positions received so far.
        int32_t count;
        // The slot of the next raw position.
        int32_t ringIndex;
        VelaPoint3f smoothed;
    };

    HandTracker();
    explicit HandTracker(std::unique_ptr<HandTrackerAlgorithms> algorithms);
    // Shuts down, releasing frames the application still holds.
    ~HandTracker() override;

    int initializeTracker() override;
    void shutdownTracker() override;
    // Hand and gesture events of the two managers, queued for the next frame.
    void ProcessEvent(const NAEvent& event) override;

    int registerHandTrackerCallbacks(VelaHandTrackerCallbacks* callbacks, void* cookie);
    void unregisterHandTrackerCallbacks(VelaHandTrackerCallbacks* callbacks);

    // The next frame, holding one reference, in *out: VELA_STATUS_OK; or,
    // when no depth frame can be read, VELA_STATUS_ERROR with *out null.
    int getNextFrame(VelaHandTrackerFrame** out);
    // Frames this tracker did not make are ignored with a warning.
    int handTrackerFrameAddRef(VelaHandTrackerFrame* frame);
    // The last release frees the frame.
    int handTrackerFrameRelease(VelaHandTrackerFrame* frame);

    // VELA_STATUS_OK and the new hand's id, reported new in the next frame;
    // VELA_STATUS_ERROR, *id untouched, when the hand tracking refuses.
    int startHandTracking(const VelaPoint3f& position, short* id);
    // The hand is reported lost in the next frame; 0 when no hand has the id.
    int stopHandTracking(short id);
    // Every hand.
    void stopHandTracking();

    // A non-zero factor turns hand smoothing on with it; 0 turns it off and
    // forgets every hand's smoothing state, keeping the factor. A factor that
    // is not a finite number is refused and changes nothing.
    int setSmoothingFactor(float factor);
    // The factor, also while smoothing is off.
    int getSmoothingFactor(float& factor);

    // VELA_STATUS_ERROR for a type other than wave, click and hand raise.
    int startGestureDetection(VelaGestureType type);
    void stopGestureDetection(VelaGestureType type);
    // Every gesture.
    void stopGestureDetection();

    // The public type of an internal one: click 1, wave 0, raise hand 2; -1
    // for the others.
    static int TranslateGestureType(GestureType type);
    // Replaces a hand's position by its smoothed value.
    void denoisePoint(short id, VelaPoint3f& position);
    // Free the pending records.
    void clearHands();
    void clearGestures();

protected:
    // getNextFrame from step 2 on, for a depth frame already read (the
    // caller keeps its own reference).
    VelaHandTrackerFrame* processFrame(OniFrame* depthFrame);

private:
    static void freeFrame(VelaHandTrackerFrame* frame);
    void releaseAllFrames();
    void clearSmoothingData();
    // Switches one public gesture type; false when there is no such type.
    bool activateGesture(VelaGestureType type, int active);

    std::unique_ptr<HandTrackerAlgorithms> m_algorithms;
    std::unique_ptr<GestureRecognition> m_gestureManager;
    std::unique_ptr<HandTracking> m_handTrackerManager;
    bool m_smoothingEnabled;
    float m_smoothingFactor;
    xnl::Hash<short, SmoothingData*> m_smoothingData;
    FrameReferenceTable<VelaHandTrackerFrame> m_frameRefs;
    bool m_initialized;
    bool m_listening;
    // Pending records, in arrival order.
    xnl::List<VelaGestureData*> m_gestures;
    xnl::List<VelaHandData*> m_hands;
    NACommonData m_commonData;
    std::string m_iniPath;
};
