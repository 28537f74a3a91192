#pragma once

// The hand tracker's frames against the rendered truth. Each reported hand
// id belongs to one true hand: the hand the evaluation started it on, or
// else the true hand nearest to where it first appeared (within 200 mm). A
// true hand is followed from the frame after its first start (or its first
// tracked report); from then on it counts the frames it is visible and
// those it is reported tracked, the position errors against its visible
// centroid and against its hand joint, the frames from each disappearance
// to the lost report of its id, its ids, and the touching state against
// the truth: some of its pixels within 2 pixels of the image border at the
// working resolution. The working resolution follows the nearest reported
// hand with the shipped thresholds: nearer than 2500 mm 160x120, nearer
// than 4000 mm 320x240, else 640x480, never above the input's; the input's
// with no hand. Reports more than 200 mm from every true hand are counted
// as far. Gesture detections are matched against the scripted gestures'
// windows (GestureWindows.h).

#include <array>
#include <cstdint>
#include <vector>

#include "Evaluate/GestureWindows.h"
#include "Evaluate/IdentityHistory.h"
#include "Evaluate/JsonWriter.h"
#include "SceneRenderer/SceneRenderer.h"

namespace vela::evaluate {

constexpr double kNearHandMm = 200.0;

struct ReportedHand {
    int id = 0;
    int state = 0;  // the public bits: 0 lost, 1 new, 2 tracked, 4 touching the border
    scene::Vec3 position;
};

struct ReportedGesture {
    int type = 0;  // 0 wave, 1 click, 2 hand raise
    scene::Vec3 position;
};

// Whether a box of pixels (inclusive) of a width x height image lies within
// 2 pixels of its border once reduced by `factor` (working = input / factor).
bool TouchesBorder(int left, int top, int right, int bottom, int width, int height, int factor);

// The factor from the input to the working resolution for the nearest hand
// at depth z (0: no hand).
int WorkingFactor(int width, double nearestZ);

class HandEvaluation {
public:
    explicit HandEvaluation(double fps) : m_dFps(fps) {}

    // One frame (numbered by the truth's frame): its truth and rendered labels (users and body parts, of
    // width x height pixels) with the tracker's hands and gestures.
    void AddFrame(const scene::FrameTruth& truth, const std::vector<uint16_t>& users,
                  const std::vector<uint8_t>& parts, int width, int height, const std::vector<ReportedHand>& hands,
                  const std::vector<ReportedGesture>& gestures);
    // The evaluation started hand `id` on a person's hand after the last frame.
    void NoteStart(int person, int side, int id);
    // The same for a hand started at a position (a gesture's): it belongs to
    // the true hand nearest to it in the last frame, within 200 mm.
    void NoteStartAt(const scene::Vec3& position, int id);

    struct Loss {
        int disappeared = 0;  // frame of the first invisible frame
        int frames = -1;      // to the lost report; -1: none before it was seen again or the end
    };
    struct Hand {
        int person = 0, side = 0;
        int followedFrom = -1;
        int visibleFrames = 0, trackedFrames = 0, trackedHidden = 0;
        std::vector<double> centroidErrors, jointErrors;
        IdentityHistory identity;
        std::vector<Loss> losses;
        int touchingBoth = 0, touchingReportedOnly = 0, touchingTruthOnly = 0;
        bool wasVisible = false;
        int pendingLoss = -1;  // index into losses awaiting the lost report
    };
    struct GestureResult {
        GestureWindow window;
        int count = 0;
        int firstFrame = -1;
        double distance = -1.0;  // mm, of the first detection from the true hand
    };
    const std::vector<Hand>& Hands() const { return m_hands; }
    std::vector<GestureResult> Gestures() const;
    const std::array<int, kGestureTypes>& FalseGestures() const { return m_falseGestures; }
    int FarReports() const { return m_nFarReports; }

    void Write(JsonWriter& json) const;

private:
    struct TrueHand {
        bool visible = false;
        scene::Vec3 centroid, joint;
        int left = 0, top = 0, right = -1, bottom = -1;
        // The centroid where the hand is seen, else the joint.
        const scene::Vec3& Where() const { return visible ? centroid : joint; }
    };
    Hand& HandOf(int person, int side);
    void LookAtTruth(const scene::FrameTruth& truth, const std::vector<uint16_t>& users,
                     const std::vector<uint8_t>& parts, int width);
    int Nearest(const scene::Vec3& p, double& distance) const;  // index into m_truth, -1 for none

    double m_dFps;
    int m_nFrames = 0;
    int m_nLastFrame = -1;
    std::vector<Hand> m_hands;              // parallel to m_truth once seen
    std::vector<TrueHand> m_truth;          // person-major, two sides each
    std::vector<std::pair<int, int>> m_owner;  // hand id -> index into m_hands
    GestureWindows m_windows;
    std::vector<GestureResult> m_results;
    std::array<int, kGestureTypes> m_falseGestures{};
    int m_nFarReports = 0;
};

}  // namespace vela::evaluate
