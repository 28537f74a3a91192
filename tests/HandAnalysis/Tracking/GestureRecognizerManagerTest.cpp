// The gesture manager on painted 320x240 frames: when a frame fills the
// ring, updates the background and the candidates and searches; which
// candidates are taken; which of two candidates on one hand goes; which
// recognizer results become events; the gesture switches; the settings.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <functional>
#include <utility>
#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "DepthFixtureFrame.h"
#include "HandCameraSession.h"
#include "HandAnalysis/DUZClickGestureRecognizer.h"
#include "HandAnalysis/DUZGestureRecognizerManager.h"
#include "HandAnalysis/DUZMovingHandCandidateGestureRecognizer.h"
#include "HandAnalysis/DUZSwipeGestureRecognizer.h"
#include "HandAnalysis/DUZWaveGestureRecognizer.h"
#include "NACommon/NACommonData.h"
#include "NACommon/NALogger.h"
#include "QuorLibrary/Utilities/INIFileCache.h"
#include "TempDir.h"

namespace {

// Every gesture event.
class GestureEventLog : public NAEventListener {
public:
    void ProcessEvent(const NAEvent& event) override { events.push_back(event); }
    std::vector<NAEvent> events;
};

// Answers each run with status and position; with storeStatus it keeps the
// status in the trajectory as the recognizers that report once do.
class ScriptedRecognizer : public DUZGestureRecognizerBase {
public:
    ScriptedRecognizer(GestureType type, GestureStatus status, bool storeStatus)
        : type(type), status(status), storeStatus(storeStatus) {}
    GestureStatus Run(NATrajectory& trajectory, int, Vector3D<float>& out, int, int) override {
        ++runs;
        out = position;
        if (storeStatus) {
            static_cast<DUZFocusGestureTrajectory&>(trajectory).m_gestureStatus[type] = status;
        }
        return status;
    }
    GestureType GetType() const override { return type; }

    GestureType type;
    GestureStatus status;
    bool storeStatus;
    Vector3D<float> position{0, 0, 1000};
    int runs = 0;
};

// A person at 1.7 m waving the right hand in front of the shoulder from
// the first frame, read through the synthetic camera at 320x240 by a
// manager initialised and running on it.
const char* const kWavingPerson =
    "frames count=60 fps=30\n"
    "camera elevation=1200\n"
    "wall z=3200\n"
    "person height=1750 walk=off\n"
    "  at 0 pos=0,1700\n"
    "  pose 0 stand\n"
    "  wave 0..2 hand=right amplitude=150 period=0.8 blend=0\n";

class ManagerOnScene {
public:
    static constexpr float kHandDepth = 1000.0f;

    explicit ManagerOnScene(const std::string& ini = "") {
        EXPECT_TRUE(session.OpenScene(kWavingPerson, 320, 240)) << session.Error();
        EXPECT_TRUE(session.Next());
        EXPECT_EQ(1, manager.Initialize(&session.Hub(), session.Node(), session.Depth(), ini, -1, 0));
        manager.m_running = 1;
        manager.AddEventListener(&log);
    }
    ~ManagerOnScene() { manager.Reset(1); }

    // Reads frames up to frameId; the manager updates on the last.
    void Frame(uint32_t frameId) {
        while (session.FrameId() < frameId && session.Next()) {
        }
        ASSERT_EQ(frameId, session.FrameId());
        manager.Update(session.Node(), session.Depth());
    }
    Vector3D<float> TrueHand() const {
        return hand_test_kit::ToVector(session.Hand(0, vela::scene::kRight).centroid);
    }
    DUZTrackedObject& Object(int index) { return *manager.m_trackedObjects[static_cast<size_t>(index)]; }
    bool Busy(int index) { return Object(index).m_tracker.m_state != DUZHandTrackerBase::eInactive; }
    // Puts a scripted recognizer in the slot of its type, switched on over
    // the whole image; every other recognizer off.
    ScriptedRecognizer& Script(GestureType type, GestureStatus status, bool storeStatus) {
        for (int j = 0; j < DUZGestureRecognizerManager::kRecognizers; ++j) {
            manager.ActivateGesture(static_cast<GestureType>(j), 0, nullptr);
        }
        auto* scripted = new ScriptedRecognizer(type, status, storeStatus);
        manager.m_recognizers[type].reset(scripted);
        manager.ActivateGesture(type, 1, nullptr);
        return *scripted;
    }
    // Object 0 marked as tracking the hand (no real tracking).
    DUZTrackedObject& MarkTracking() {
        DUZTrackedObject& object = Object(0);
        object.m_tracker.m_state = DUZHandTrackerBase::eTracking;
        object.m_tracker.m_position = Vector3D<float>(0, 0, kHandDepth);
        return object;
    }
    int DetectTenTimes() {
        log.events.clear();
        for (int f = 100; f < 110; ++f) {
            Object(0).m_trajectory.m_latestFrameId = f;
            manager.DetectGestures(f);
        }
        return static_cast<int>(log.events.size());
    }
    // The world x at depth z that projects to column c.
    float WorldXOfColumn(float column, float z) const {
        const WorldPointConverterBase<float>& c = *manager.m_converter;
        return (column - c.m_fCenterX) / c.m_pInvPixelSizeAtDepth[static_cast<int>(z)];
    }

    hand_test_kit::CameraSession session;
    DUZGestureRecognizerManager manager;
    GestureEventLog log;
};

std::vector<uint32_t> RingIds(const DUZGestureRecognizerManager& m) {
    std::vector<uint32_t> ids;
    for (const NADepthMapContainer& slot : m.m_depthRing) {
        ids.push_back(slot.m_frameId);
    }
    return ids;
}

using Case = std::pair<const char*, std::function<void(ManagerOnScene&)>>;

const Case kManagerCases[] = {
    {"every gesture off or the switch at 0: nothing changes",
     [](ManagerOnScene& x) {
         for (uint32_t f = 1; f <= 4; ++f) {
             x.Frame(f);
         }
         Vector3D<float> hand = x.TrueHand();
         ASSERT_EQ(1, x.manager.AssignTracker(*x.manager.m_currentFrame, hand, 0));
         const std::vector<uint32_t> ring = RingIds(x.manager);
         const int32_t latest = x.Object(0).m_trajectory.m_latestFrameId;
         for (int j = 0; j < DUZGestureRecognizerManager::kRecognizers; ++j) {
             x.manager.ActivateGesture(static_cast<GestureType>(j), 0, nullptr);
         }
         x.Frame(5);
         x.Frame(6);
         x.manager.ActivateGesture(GESTURE_WAVE, 1, nullptr);
         x.manager.m_running = 0;
         x.Frame(7);
         EXPECT_EQ(ring, RingIds(x.manager));
         EXPECT_EQ(1u, x.manager.m_firstFrameId);
         EXPECT_EQ(latest, x.Object(0).m_trajectory.m_latestFrameId);
         EXPECT_TRUE(x.Busy(0));
         x.manager.m_running = 1;
         x.Frame(8);
         EXPECT_EQ(8u, x.manager.m_depthRing[0].m_frameId);
     }},
    {"after a reset three frames fill the ring, the fourth updates, the first multiple of 5 searches",
     [](ManagerOnScene& x) {
         for (uint32_t f = 1; f <= 5; ++f) {
             x.Frame(f);
         }
         x.manager.Reset(1);
         EXPECT_EQ(nullptr, x.manager.m_currentFrame);
         EXPECT_EQ(DUZGestureRecognizerManager::kNoFrame, x.manager.m_firstFrameId);
         const int32_t modelFrame = x.manager.m_focusBackgroundModel.m_nFrameId;
         for (uint32_t f = 10; f <= 12; ++f) {
             x.Frame(f);
             EXPECT_EQ(f, x.manager.m_currentFrame->m_frameId);
         }
         EXPECT_EQ(10u, x.manager.m_firstFrameId);
         EXPECT_EQ(modelFrame, x.manager.m_focusBackgroundModel.m_nFrameId);
         Vector3D<float> hand = x.TrueHand();
         ASSERT_EQ(1, x.manager.AssignTracker(*x.manager.m_currentFrame, hand, 0));
         x.manager.m_numTrackedBoxes = 0;
         x.manager.m_numHandCandidates = -7;
         x.Frame(13);
         EXPECT_EQ(13, x.manager.m_focusBackgroundModel.m_nFrameId);
         EXPECT_EQ(1, x.manager.m_numTrackedBoxes);
         x.Frame(14);
         EXPECT_EQ(-7, x.manager.m_numHandCandidates);
         x.Frame(15);
         EXPECT_NE(-7, x.manager.m_numHandCandidates);
     }},
    {"a candidate is taken unless a busy window less than 100 mm away in depth or a head holds it",
     [](ManagerOnScene& x) {
         DUZTrackedObject& object = x.MarkTracking();
         object.m_tracker.m_searchBounds = Box2D<int>(50, 40, 70, 60);
         const Box2D<int> meeting(70, 60, 90, 80);
         const Box2D<int> apart(71, 40, 90, 60);
         DUZTrackedObject* found = nullptr;
         EXPECT_EQ(1, x.manager.IsTracked(meeting, 1099.0f, -1, &found));
         EXPECT_EQ(&object, found);
         EXPECT_EQ(1, x.manager.IsTracked(meeting, 901.0f, -1, nullptr));
         EXPECT_EQ(0, x.manager.IsTracked(meeting, 1100.0f, -1, &found));
         EXPECT_EQ(nullptr, found);
         EXPECT_EQ(0, x.manager.IsTracked(meeting, 900.0f, -1, nullptr));
         EXPECT_EQ(0, x.manager.IsTracked(apart, 1000.0f, -1, nullptr));
         EXPECT_EQ(0, x.manager.IsTracked(meeting, 1000.0f, 0, nullptr));

         DUZExtremePointsReporter& reporter = DUZExtremePointsReporter::GetInstance();
         const short savedCount = reporter.m_candidateCount;
         const DUZExtremePointData saved = reporter.m_candidates[0];
         const Vector3D<float> candidate(0, 0, 1100);
         reporter.m_candidates[0].m_box = Box3D<float>(Vector3D<float>(-100, -100, 1000), Vector3D<float>(100, 100, 1100));
         reporter.m_candidateCount = 1;
         reporter.m_candidates[0].m_mode = DUZExtremePointsReporter::Heads;
         EXPECT_EQ(1, x.manager.IsCloseToTrackedHead(candidate));
         EXPECT_EQ(0, x.manager.IsCloseToTrackedHead(Vector3D<float>(0, 0, 1101)));
         reporter.m_candidates[0].m_mode = DUZExtremePointsReporter::BasicExtremes;
         EXPECT_EQ(0, x.manager.IsCloseToTrackedHead(candidate));
         reporter.m_candidates[0] = saved;
         reporter.m_candidateCount = savedCount;
     }},
    {"of two objects on one hand the later-started goes, on a tie the one visited second",
     [](ManagerOnScene& x) {
         for (uint32_t f = 1; f <= 6; ++f) {
             x.Frame(f);
         }
         struct Starts {
             int first, second, reset;
         };
         for (const Starts& s : {Starts{40, 45, 1}, Starts{45, 40, 0}, Starts{42, 42, 1}}) {
             SCOPED_TRACE(testing::Message() << s.first << ", " << s.second);
             x.manager.Reset(0);
             Vector3D<float> hand = x.TrueHand();
             x.manager.m_currentFrame = &x.manager.m_depthRing[6];
             ASSERT_EQ(1, x.manager.AssignTracker(*x.manager.m_currentFrame, hand, 0));
             Vector3D<float> again = hand;
             ASSERT_EQ(1, x.manager.AssignTracker(*x.manager.m_currentFrame, again, 0));
             ASSERT_TRUE(x.Busy(0) && x.Busy(1));
             x.Object(0).m_trajectory.m_startFrameId = s.first;
             x.Object(1).m_trajectory.m_startFrameId = s.second;
             // An object reset before its turn is not updated.
             const int updated = s.reset == 1 ? 1 : 2;
             EXPECT_EQ(updated, x.manager.UpdateTrackers(*x.manager.m_currentFrame, 0));
             EXPECT_EQ(s.reset == 0, !x.Busy(0));
             EXPECT_EQ(s.reset == 1, !x.Busy(1));
             EXPECT_EQ(updated, x.manager.m_numTrackedBoxes);
         }
     }},
    {"in progress is sent every frame, a stored completion once, raise hand every frame",
     [](ManagerOnScene& x) {
         x.MarkTracking();
         x.Script(GESTURE_CLICK, GESTURE_STATUS_IN_PROGRESS, true);
         EXPECT_EQ(10, x.DetectTenTimes());
         x.Script(GESTURE_WAVE, GESTURE_STATUS_COMPLETED, true);
         EXPECT_EQ(1, x.DetectTenTimes());
         ASSERT_EQ(1u, x.log.events.size());
         const NAEvent& event = x.log.events[0];
         EXPECT_EQ(NAEvent::GESTURE, event.kind);
         EXPECT_EQ(GESTURE_WAVE, event.gesture.gestureType);
         EXPECT_EQ(GESTURE_STATUS_COMPLETED, event.gesture.gestureStatus);
         EXPECT_EQ(static_cast<uint32_t>(x.Object(0).m_trajectory.m_trajectoryId), event.gesture.objectId);

         x.manager.ActivateGesture(GESTURE_WAVE, 0, nullptr);
         x.manager.ActivateGesture(GESTURE_RAISE_HAND, 1, nullptr);
         DUZTrackedObject& object = x.Object(0);
         object.m_hasForearm = 1;
         for (Vector3D<float>& p : object.m_trajectory.m_positions) {
             p = Vector3D<float>(0, 0, 1000);
         }
         EXPECT_EQ(10, x.DetectTenTimes());
         object.m_hasForearm = 0;
         EXPECT_EQ(0, x.DetectTenTimes());
     }},
    {"a position one column outside the bounds sends nothing",
     [](ManagerOnScene& x) {
         x.MarkTracking();
         ScriptedRecognizer& r = x.Script(GESTURE_CLICK, GESTURE_STATUS_IN_PROGRESS, false);
         r.position = Vector3D<float>(x.WorldXOfColumn(160.5f, 1000), 0, 1000);
         EXPECT_EQ(0, x.DetectTenTimes());
         EXPECT_EQ(10, r.runs);
         r.position = Vector3D<float>(x.WorldXOfColumn(158.5f, 1000), 0, 1000);
         EXPECT_EQ(10, x.DetectTenTimes());
         r.position = Vector3D<float>(0, 0, std::numeric_limits<float>::quiet_NaN());
         EXPECT_EQ(0, x.DetectTenTimes());
     }},
    {"hand sizes are held to 50..150 by 80..250 mm",
     [](ManagerOnScene& x) {
         DUZTrackedObject& object = x.MarkTracking();
         x.Script(GESTURE_CLICK, GESTURE_STATUS_IN_PROGRESS, false);
         object.m_trajectory.SetHandXYSize(100, Vector2D<float>(100, 300));
         ASSERT_EQ(10, x.DetectTenTimes());
         EXPECT_EQ(Vector2D<float>(150, 250), x.log.events[0].gesture.handSize);
         const float nan = std::numeric_limits<float>::quiet_NaN();
         struct Size {
             Vector2D<float> in, out;
         };
         for (const Size& s : {Size{{30, 300}, {50, 250}}, Size{{120, 100}, {120, 100}}, Size{{0, 0}, {50, 80}},
                               Size{{nan, nan}, {150, 250}}}) {
             EXPECT_EQ(s.out, DUZGestureRecognizerManager::ClampedHandSize(s.in)) << s.in.x << ' ' << s.in.y;
         }
     }},
    {"a frame that does not shrink to 160x120 by a whole factor is skipped",
     [](ManagerOnScene& x) {
         x.Frame(2);
         const std::vector<uint32_t> ring = RingIds(x.manager);
         for (const auto& size : {std::make_pair(200, 150), std::make_pair(320, 200), std::make_pair(80, 60)}) {
             xn::DepthMetaData odd;
             odd.AllocateData(size.first, size.second);
             std::fill(odd.WritableData(), odd.WritableData() + size.first * size.second, 1500);
             x.manager.Update(x.session.Node(), odd);
         }
         EXPECT_EQ(ring, RingIds(x.manager));
         x.Frame(3);
         EXPECT_EQ(3u, x.manager.m_depthRing[3].m_frameId);
     }},
    {"the forearm search follows the active recognizers",
     [](ManagerOnScene& x) {
         EXPECT_EQ(0, x.manager.m_forearmRequired);
         x.manager.ActivateGesture(GESTURE_RAISE_HAND, 1, nullptr);
         EXPECT_EQ(1, x.manager.m_forearmRequired);
         x.manager.ActivateGesture(GESTURE_RAISE_HAND, 0, nullptr);
         EXPECT_EQ(0, x.manager.m_forearmRequired);
         x.manager.ActivateGesture(GESTURE_MOVING_HAND_CANDIDATE, 1, nullptr);
         x.manager.ActivateGesture(GESTURE_RAISE_HAND, 1, nullptr);
         x.manager.ActivateGesture(GESTURE_RAISE_HAND, 0, nullptr);
         EXPECT_EQ(x.manager.m_recognizers[GESTURE_MOVING_HAND_CANDIDATE]->RequiresForearm(),
                   x.manager.m_forearmRequired);
     }},
};

TEST(GestureRecognizerManager, FrameStepsCandidatesAndEvents) {
    for (const Case& c : kManagerCases) {
        SCOPED_TRACE(c.first);
        ManagerOnScene x;
        c.second(x);
    }
}

TEST(GestureRecognizerManager, InitializeSwitchesClickAndWaveOnOverTheImage) {
    ManagerOnScene x;
    for (int j = 0; j < DUZGestureRecognizerManager::kRecognizers; ++j) {
        EXPECT_EQ(j <= GESTURE_WAVE ? 1 : 0, x.manager.m_recognizers[static_cast<size_t>(j)]->m_active) << j;
        EXPECT_EQ(static_cast<GestureType>(j), x.manager.m_recognizers[static_cast<size_t>(j)]->GetType());
    }
    const Box3D<float> all(Vector3D<float>(0, 0, 0), Vector3D<float>(159, 119, 9999));
    EXPECT_EQ(all.min, x.manager.GetActiveBounds().min);
    EXPECT_EQ(all.max, x.manager.GetActiveBounds().max);
    // A world box projects through the tables at its near and far depths;
    // the union of the active bounds always holds the origin.
    Box3D<float> world(Vector3D<float>(-100, -100, 1000), Vector3D<float>(100, 100, 2000));
    for (int j = 0; j < DUZGestureRecognizerManager::kRecognizers; ++j) {
        x.manager.ActivateGesture(static_cast<GestureType>(j), 0, nullptr);
    }
    x.manager.ActivateGesture(GESTURE_SWIPE_PLUS_X, 1, &world);
    const Box3D<float>& b = x.manager.m_recognizers[GESTURE_SWIPE_PLUS_X]->m_bounds;
    const WorldPointConverterBase<float>& c = *x.manager.m_converter;
    EXPECT_FLOAT_EQ(c.m_fCenterX - 100 * c.m_pInvPixelSizeAtDepth[1000], b.min.x);
    EXPECT_FLOAT_EQ(c.m_fCenterX + 100 * c.m_pInvPixelSizeAtDepth[2000], b.max.x);
    EXPECT_FLOAT_EQ(c.m_fCenterY - 100 * c.m_pInvPixelSizeAtDepth[2000], b.min.y);
    EXPECT_FLOAT_EQ(c.m_fCenterY + 100 * c.m_pInvPixelSizeAtDepth[1000], b.max.y);
    // A box whose depths cannot be looked up leaves the bounds as they were.
    const Box3D<float> before = b;
    Box3D<float> broken(Vector3D<float>(-100, -100, std::nanf("")), Vector3D<float>(100, 100, 1e30f));
    x.manager.ActivateGesture(GESTURE_SWIPE_PLUS_X, 1, &broken);
    EXPECT_EQ(before.min, b.min);
    EXPECT_EQ(before.max, b.max);
    EXPECT_EQ(0.0f, x.manager.GetActiveBounds().min.x);
    EXPECT_EQ(2000.0f, x.manager.GetActiveBounds().max.z);
    EXPECT_EQ(1, x.manager.GetHandTrackerEvent()->m_value);
    EXPECT_EQ(0, x.manager.GetHandTrackerEvent()->GetReportingModule());
}

TEST(GestureRecognizerManager, TheFocusResolutionStaysQQVGA) {
    vela_test::TempDir dir;
    struct Setting {
        const char* text;
        bool useRobust;
    };
    for (const Setting& s : {Setting{"Resolution=qqvga\nUseRobust=0\n", false},
                             Setting{"Resolution=QVGA\n", true}, Setting{"Resolution=VGA\nUseRobust=1\n", true},
                             Setting{"Resolution=SXGA\n", true}}) {
        SCOPED_TRACE(s.text);
        const std::string ini = dir.File(std::string("focus") + std::to_string(s.text[11]) + ".ini");
        std::ofstream(ini) << "[FocusRecognizer]\n" << s.text;
        ManagerOnScene x(ini);
        EXPECT_EQ(NAResolution::QQVGA, x.manager.m_resolution);
        EXPECT_EQ(s.useRobust, x.manager.m_useRobust);
        EXPECT_EQ(160, x.manager.m_depthRing[0].m_depth->XRes());
        EXPECT_EQ(120, x.manager.m_focusMask.Rows());
    }
}

// Every setting the gesture side reads from "FocusRecognizer", "FocusTracker"
// and "HandDetector", one line per reader: the manager, the recognizers in
// slot order, each tracked object's focus tracker, and the hand detector.
// The detector serves the whole process and keeps the first file it is
// given, so a detector of its own stands for it.
std::string GestureSideSettings(const DUZGestureRecognizerManager& m, const DUZHandDetector& detector) {
    std::ostringstream out;
    out << "manager " << static_cast<int>(m.m_resolution) << ' ' << m.m_useRobust << '\n';
    const auto lines = [&out](const DUZStraightLinesGestureRecognizer& r) {
        out << r.m_maxAllowedAngleCos << ' ' << r.m_maxAllowedSTDForLine << ' ' << r.m_maxAllowedDeviationFromLine
            << ' ' << r.m_minDistForBackwardsMovement << ' ' << r.m_minThresholdOnVelocity << ' '
            << r.m_lookBackFrames;
    };
    const auto& click = dynamic_cast<const DUZClickGestureRecognizer&>(*m.m_recognizers[GESTURE_CLICK]);
    out << "click ";
    lines(click);
    out << " | " << click.m_gesturePointingLocation << ' ' << click.m_movementLength << '\n';
    const auto& wave = dynamic_cast<const DUZWaveGestureRecognizer&>(*m.m_recognizers[GESTURE_WAVE]);
    out << "wave " << wave.m_waveMinNumberOfFlips << ' ' << wave.m_waveMinLength << ' '
        << wave.m_waveMaxDeviationFromMeanCycleLength << '\n';
    for (GestureType type : {GESTURE_SWIPE_PLUS_X, GESTURE_SWIPE_MINUS_X}) {
        const auto& swipe = dynamic_cast<const DUZSwipeGestureRecognizer&>(*m.m_recognizers[type]);
        out << "swipe ";
        lines(swipe);
        out << " | " << swipe.m_movementLength << ' ' << swipe.m_swipeDirection << '\n';
    }
    const auto& moving =
        dynamic_cast<const DUZMovingHandCandidateGestureRecognizer&>(*m.m_recognizers[GESTURE_MOVING_HAND_CANDIDATE]);
    out << "moving " << moving.m_minFrameForMotionGesture << ' ' << moving.m_maxFrameForMotionGesture << ' '
        << moving.m_stdThresholdMotionGesture << '\n';
    // Runs of objects with the same settings, each as a count and the line.
    std::vector<std::pair<int, std::string>> trackers;
    for (const std::unique_ptr<DUZTrackedObject>& object : m.m_trackedObjects) {
        const DUZFocusHandTracker& t = object->m_tracker;
        std::ostringstream line;
        line << t.m_maxIterations << ' ' << t.m_lostTrackingRecoveryTimeLimit << ' '
             << t.m_convergenceDistanceThreshold << ' ' << t.m_searchBoundsSizeRW << ' ' << t.m_minHandArea << ' '
             << t.m_useHistogramBasedHandCenter << ' ' << t.m_factorY << ' ' << t.m_factorZ;
        if (trackers.empty() || trackers.back().second != line.str()) {
            trackers.emplace_back(0, line.str());
        }
        ++trackers.back().first;
    }
    for (const auto& run : trackers) {
        out << run.first << " focus trackers " << run.second << '\n';
    }
    out << "detector " << detector.m_maxDistanceForCC << ' ' << detector.m_useDepthIsolationFilter << '\n';
    return out.str();
}

// The gesture side's settings with ini ("" for none).
std::string GestureSideSettingsOf(const std::string& ini) {
    ManagerOnScene x(ini);
    DUZHandDetector detector(0);
    EXPECT_EQ(1, detector.Initialize(ini, 0, NAResolution::QQVGA, DUZGestureRecognizerManager::kDefaultMaxDepth));
    return GestureSideSettings(x.manager, detector);
}

// An entry "key=value" of an INI text: where its value starts and ends.
struct IniEntry {
    std::string key;
    size_t valueStart;
    size_t valueEnd;
};

// The entries of the gesture sections of an INI text, in file order.
std::vector<IniEntry> GestureSectionEntries(const std::string& text) {
    std::vector<IniEntry> entries;
    bool inGestureSection = false;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        const size_t equals = line.find('=');
        if (!line.empty() && line[0] == '[') {
            inGestureSection = line == "[FocusRecognizer]" || line == "[FocusTracker]" || line == "[HandDetector]";
        } else if (inGestureSection && !line.empty() && line[0] != ';' && equals != std::string::npos) {
            entries.push_back({line.substr(0, equals), start + equals + 1, end});
        }
        start = end + 1;
    }
    return entries;
}

// The shipped "HandAlgorithms.ini" spells out the built-in gesture settings:
// read or not, every setting of the manager, its recognizers, its focus
// trackers and the hand detector is the same. And every key it ships there
// is one a reader takes: a changed value changes a setting (a misspelt key
// would be skipped without a word).
TEST(GestureRecognizerManager, TheShippedSettingsAreTheDefaults) {
    const std::string shipped = std::string(VELA_DATA_DIR) + "/Vela2/HandAlgorithms.ini";
    std::string text;
    ASSERT_TRUE(ReadStringFromINIInternal(shipped, "FocusRecognizer", "Resolution", text));
    EXPECT_EQ("QQVGA", text);
    const int enabled = NALogger::GetInstance().GetEnabled();

    const std::string builtIn = GestureSideSettingsOf("");
    EXPECT_EQ("manager 1 1\n"
              "click 0.85 17 50 0 0.5 25 | 0 0 0 160\n"
              "wave 4 50 50\n"
              "swipe 0.85 17 50 0 0.5 60 | 200 1 0 0\n"
              "swipe 0.85 17 50 0 0.5 60 | 200 -1 0 0\n"
              "moving 15 60 80\n"
              "50 focus trackers 5 0.1 10 -75 75 -75 75 -75 75 1500 1 1 0.5\n"
              "detector 50 0\n",
              builtIn);
    EXPECT_EQ(builtIn, GestureSideSettingsOf(shipped));
    EXPECT_EQ(enabled, NALogger::GetInstance().GetEnabled());

    std::ifstream file(shipped);
    const std::string shippedText((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto entries = GestureSectionEntries(shippedText);
    EXPECT_LE(20u, entries.size());
    vela_test::TempDir dir;
    int variant = 0;
    for (const IniEntry& entry : entries) {
        // "Resolution" takes one value only (read above), and "EnableLogging"
        // sets the process-wide logger.
        if (entry.key == "Resolution" || entry.key == "EnableLogging") {
            continue;
        }
        const std::string value = shippedText.substr(entry.valueStart, entry.valueEnd - entry.valueStart);
        SCOPED_TRACE(entry.key + "=" + value);
        // The first number changed: 1 becomes 0, any other grows by 1.
        std::istringstream values(value);
        double first = 0.0;
        ASSERT_TRUE(values >> first);
        std::string rest;
        std::getline(values, rest);
        std::ostringstream changed;
        changed << (first == 1.0 ? 0.0 : first + 1.0) << rest;
        std::string changedText = shippedText;
        changedText.replace(entry.valueStart, entry.valueEnd - entry.valueStart, changed.str());
        // The INI cache keeps the first text of each path: a path per variant.
        const std::string ini = dir.File("changed" + std::to_string(variant++) + ".ini");
        std::ofstream(ini) << changedText;
        EXPECT_NE(builtIn, GestureSideSettingsOf(ini));
    }
}

// Without MaxShift, or with a hub that cannot serve the background model
// (here a stream without the zero-plane properties), gestures cannot work:
// Initialize fails, and an update does nothing.
TEST(GestureRecognizerManager, InitializeFailsWithoutMaxShiftOrABackgroundModel) {
    hand_test_kit::FixtureFrame frame(320, 240);
    std::vector<uint16_t> pixels(320 * 240, 2000);
    xn::DepthMetaData metaData;
    frame.Deliver(pixels, 1, 33333, metaData);
    NACommonData hub;
    {
        DUZGestureRecognizerManager manager;
        EXPECT_EQ(0, manager.Initialize(&hub, frame.Node(), metaData, "", -1, 0));
        manager.m_running = 1;
        manager.Update(frame.Node(), metaData);
        EXPECT_EQ(DUZGestureRecognizerManager::kNoFrame, manager.m_firstFrameId);
    }
    DUZGestureRecognizerManager manager;
    xn::DepthGenerator unbound;
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, manager.Initialize(&hub, unbound, metaData, "", -1, 0));
    EXPECT_NE(std::string::npos,
              testing::internal::GetCapturedStderr().find("Couldn't get XN_STREAM_PROPERTY_MAX_SHIFT"));
}

}  // namespace
