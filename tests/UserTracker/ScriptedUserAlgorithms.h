#pragma once

// Scripted stand-ins for the user tracker's algorithms, handed to the
// tracker through UserTrackerAlgorithms: a scene whose users, label maps and
// floor the test sets, and a skeleton driver whose per-user pipelines and
// events the test sets. Everything they are asked is recorded in the Script
// the test owns.

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "UserTracker/UserTrackerAlgorithms.h"
#include "XnAdapter/XnSceneMetaData.h"

namespace vela_test {

// A skeleton whose every query answers from the tables below.
class ScriptedSkeleton : public SkeletonInterface {
public:
    enum Part { HEAD, NECK, TORSO, SHOULDER, ELBOW, HAND, HIP, KNEE, FOOT, PARTS };

    // By part and side (single parts use side L).
    Vector3D<float> position[PARTS][2];
    float positionConfidence[PARTS][2] = {};
    Matrix3X3<float> orientation[PARTS][2];
    float orientationConfidence[PARTS][2] = {};

    ScriptedSkeleton() {
        for (auto& sides : orientation) {
            for (Matrix3X3<float>& m : sides) {
                m = Matrix3X3<float>(1, 0, 0, 0, 1, 0, 0, 0, 1);
            }
        }
    }

    Vector3D<float> GetHeadPosition(float& c) const override { return Position(HEAD, L, c); }
    Vector3D<float> GetNeckPosition(float& c) const override { return Position(NECK, L, c); }
    Vector3D<float> GetTorsoCenter(float& c) const override { return Position(TORSO, L, c); }
    Vector3D<float> GetShoulderPosition(Side s, float& c) const override { return Position(SHOULDER, s, c); }
    Vector3D<float> GetElbowPosition(Side s, float& c) const override { return Position(ELBOW, s, c); }
    Vector3D<float> GetHandPosition(Side s, float& c) const override { return Position(HAND, s, c); }
    Vector3D<float> GetHipPosition(Side s, float& c) const override { return Position(HIP, s, c); }
    Vector3D<float> GetKneePosition(Side s, float& c) const override { return Position(KNEE, s, c); }
    Vector3D<float> GetFootPosition(Side s, float& c) const override { return Position(FOOT, s, c); }
    Matrix3X3<float> GetHeadOrientation(float& c) const override { return Orientation(HEAD, L, c); }
    Matrix3X3<float> GetNeckOrientation(float& c) const override { return Orientation(NECK, L, c); }
    Matrix3X3<float> GetTorsoOrientation(float& c) const override { return Orientation(TORSO, L, c); }
    Matrix3X3<float> GetUpperArmOrientation(Side s, float& c) const override { return Orientation(SHOULDER, s, c); }
    Matrix3X3<float> GetLowerArmOrientation(Side s, float& c) const override { return Orientation(ELBOW, s, c); }
    Matrix3X3<float> GetUpperLegOrientation(Side s, float& c) const override { return Orientation(HIP, s, c); }
    Matrix3X3<float> GetLowerLegOrientation(Side s, float& c) const override { return Orientation(KNEE, s, c); }

private:
    Vector3D<float> Position(Part part, Side side, float& c) const {
        c = positionConfidence[part][side];
        return position[part][side];
    }
    Matrix3X3<float> Orientation(Part part, Side side, float& c) const {
        c = orientationConfidence[part][side];
        return orientation[part][side];
    }
};

// One user's pipeline: its state is whatever the test writes here.
class ScriptedSkeletonUser : public SkeletonUser {
public:
    explicit ScriptedSkeletonUser(int id) : info(id) {}

    FeatureExtractor::Mode GetMode() const override { return mode; }
    void SetMode(FeatureExtractor::Mode m) override { mode = m; }
    void StartTracking() override { mode = FeatureExtractor::MODE_TRACKING; }
    void StopTracking() override { mode = FeatureExtractor::MODE_STOPPED; }
    void StartPoseDetection(FeatureExtractor::DetectablePose) override { detectingPose = true; }
    void StopPoseDetection(FeatureExtractor::DetectablePose) override { detectingPose = false; }
    bool IsCalibrating() const override { return calibrating; }
    bool IsCalibrated() const override { return calibrated; }
    int32_t GetCalibrationStatus() const override { return calibrationStatus; }
    bool IsLBSEnabled() const override { return lbsEnabled; }
    bool IsLBSPass() const override { return lbsPass; }
    bool IsStartingHuman() const override { return startingHuman; }
    const UserInfo& GetUserInfo() const override { return info; }
    const SkeletonInterface* GetFixedSkeleton() const override { return &fixedSkeleton; }
    const SkeletonInterface* GetSmoothedPose() const override { return &smoothedPose; }
    const SkeletonInterface* GetOutputPose() const override { return &outputPose; }

    FeatureExtractor::Mode mode = FeatureExtractor::MODE_STOPPED;
    bool detectingPose = false;
    bool calibrating = false;
    bool calibrated = false;
    int32_t calibrationStatus = 0;
    bool lbsEnabled = false;
    bool lbsPass = false;
    bool startingHuman = false;
    UserInfo info;
    ScriptedSkeleton fixedSkeleton;
    ScriptedSkeleton smoothedPose;
    ScriptedSkeleton outputPose;
};

class ScriptedSkeletonDriver;

// What the test sets for the coming frames and reads back afterwards.
struct Script {
    // Scene.
    std::set<int> alive;
    bool floorKnown = false;
    Plane<float> floor;
    // Every label map pixel holds this value.
    short labelFill = 0;
    bool sceneInitializes = true;
    int scenesCreated = 0;
    int sceneUpdates = 0;
    SAConfiguration lastConfiguration;
    std::vector<Resolution> labelMapsAsked;

    // Skeleton driver.
    bool driverInitializes = true;
    bool lbsEnabled = false;
    bool lbsInitializes = false;
    Resolution driverResolution = INVALID;
    std::string iniPath;
    std::string configurationDir;
    int driverResets = 0;
    // Called inside every driver update, where the pipelines raise events.
    std::function<void(ScriptedSkeletonDriver&)> onUpdate;
    // Written whenever a pipeline is created.
    std::function<void(ScriptedSkeletonUser&)> onCreate;
    std::vector<int> created;
    std::vector<int> deleted;
    bool smoothingEnabled = true;
    float smoothingFactor = 0.5f;
};

class ScriptedScene : public SceneAnalysis {
public:
    explicit ScriptedScene(Script& script) : m_script(script) {}

    bool Initialize(NACommonData*, const xn::DepthGenerator&, const SAConfiguration& configuration) override {
        m_script.lastConfiguration = configuration;
        return m_script.sceneInitializes;
    }
    void Update() override { ++m_script.sceneUpdates; }
    bool IsUserAlive(int id) const override { return m_script.alive.count(id) != 0; }
    const xn::SceneMetaData& GetLabelMap(Resolution resolution) override {
        m_script.labelMapsAsked.push_back(resolution);
        xn::SceneMetaData& map = m_maps[resolution];
        map.AllocateData(g_nXRes[resolution], g_nYRes[resolution]);
        XnLabel* pixels = map.WritableData();
        for (int i = 0; i < g_nXRes[resolution] * g_nYRes[resolution]; ++i) {
            pixels[i] = static_cast<XnLabel>(m_script.labelFill + i % 3);
        }
        return map;
    }
    bool GetFloor(Plane<float>& floor) const override {
        floor = m_script.floor;
        return m_script.floorKnown;
    }
    const SceneAnalyzer* GetSceneAnalyzer() const override { return nullptr; }

private:
    Script& m_script;
    xn::SceneMetaData m_maps[7];
};

class ScriptedSkeletonDriver : public SkeletonDriver, public NAEventGenerator {
public:
    explicit ScriptedSkeletonDriver(Script& script) : m_script(script) {}

    bool Initialize(NACommonData*, const xn::DepthGenerator&, const xn::DepthMetaData&, Resolution resolution,
                    const SceneAnalyzer*, const std::string& iniPath, const std::string& configurationDir) override {
        m_script.driverResolution = resolution;
        m_script.iniPath = iniPath;
        m_script.configurationDir = configurationDir;
        return m_script.driverInitializes;
    }
    void ReadParameters() override {}
    NAEventGenerator& GetEventGenerator() override { return *this; }
    bool InitializeLBS(const xn::DepthGenerator&) override { return m_script.lbsInitializes; }
    bool IsLBSEnabled() const override { return m_script.lbsEnabled; }
    void Update(const xn::DepthGenerator&, const xn::DepthMetaData&, const xn::SceneMetaData&) override {
        if (m_script.onUpdate) {
            m_script.onUpdate(*this);
        }
    }
    SkeletonUser* GetFeatureExtractor(int id) override { return User(id); }
    SkeletonUser* CreateFeatureExtractor(int id) override {
        m_users[id] = std::make_unique<ScriptedSkeletonUser>(id);
        m_script.created.push_back(id);
        if (m_script.onCreate) {
            m_script.onCreate(*m_users[id]);
        }
        return m_users[id].get();
    }
    bool DeleteFeatureExtractor(int id) override {
        m_script.deleted.push_back(id);
        return m_users.erase(id) != 0;
    }
    void Reset() override {
        ++m_script.driverResets;
        m_users.clear();
    }
    void SetSceneAnalyzer(const SceneAnalyzer*) override {}
    void SetSmoothingEnabled(bool enabled) override { m_script.smoothingEnabled = enabled; }
    bool GetSmoothingEnabled() const override { return m_script.smoothingEnabled; }
    void SetSmoothingFactor(float factor) override { m_script.smoothingFactor = factor; }
    float GetSmoothingFactor() const override { return m_script.smoothingFactor; }

    // Null when the id has none.
    ScriptedSkeletonUser* User(int id) {
        auto found = m_users.find(id);
        return found == m_users.end() ? nullptr : found->second.get();
    }
    // A user or skeleton event of the pipeline, as it raises them.
    void Raise(int id, FeatureExtractorEvent::SpecificEventType type, int64_t timestamp) {
        NAEvent event(NAEvent::USER);
        event.user.userId = id;
        event.user.eventType = type;
        event.user.timestamp = timestamp;
        GenerateEvent(event);
    }

private:
    Script& m_script;
    std::map<int, std::unique_ptr<ScriptedSkeletonUser>> m_users;
};

// Scripted scene and driver; either can be the library's own instead.
class ScriptedUserAlgorithms : public UserTrackerAlgorithms {
public:
    explicit ScriptedUserAlgorithms(Script& script, bool scriptedScene = true, bool scriptedDriver = true)
        : m_script(script), m_scriptedScene(scriptedScene), m_scriptedDriver(scriptedDriver) {}

    std::unique_ptr<SceneAnalysis> CreateSceneAnalysis() override {
        ++m_script.scenesCreated;
        if (!m_scriptedScene) {
            return UserTrackerAlgorithms::CreateSceneAnalysis();
        }
        return std::make_unique<ScriptedScene>(m_script);
    }
    std::unique_ptr<SkeletonDriver> CreateSkeletonDriver() override {
        if (!m_scriptedDriver) {
            return UserTrackerAlgorithms::CreateSkeletonDriver();
        }
        auto driver = std::make_unique<ScriptedSkeletonDriver>(m_script);
        m_driver = driver.get();
        return driver;
    }

    // The scripted driver the tracker owns; null for the library's.
    ScriptedSkeletonDriver* Driver() const { return m_driver; }

private:
    Script& m_script;
    bool m_scriptedScene;
    bool m_scriptedDriver;
    ScriptedSkeletonDriver* m_driver = nullptr;
};

}  // namespace vela_test
