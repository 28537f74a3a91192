#pragma once

// The library's skeleton driver: a MultiUserFeatureExtractor, run as the
// user tracker asks.

#include <map>

#include "FullBodySkeleton/FeatureExtractor/MultiUserFeatureExtractor.h"
#include "UserTracker/LibrarySkeletonUser.h"
#include "UserTracker/SkeletonDriver.h"

class LibrarySkeletonDriver final : public SkeletonDriver {
public:
    bool Initialize(NACommonData* commonData, const xn::DepthGenerator& depth, const xn::DepthMetaData& depthMD,
                    Resolution resolution, const SceneAnalyzer* sceneAnalyzer, const std::string& iniPath,
                    const std::string& configurationDir) override;
    void ReadParameters() override { m_driver.ReadParameters(); }
    NAEventGenerator& GetEventGenerator() override { return m_driver.GetSharedData(); }
    bool InitializeLBS(const xn::DepthGenerator& depth) override { return m_driver.InitializeLBS(depth); }
    bool IsLBSEnabled() const override { return m_driver.IsLBSEnabled(); }
    void Update(const xn::DepthGenerator& depth, const xn::DepthMetaData& depthMD,
                const xn::SceneMetaData& labels) override {
        m_driver.Update(depth, depthMD, labels);
    }
    SkeletonUser* GetFeatureExtractor(int id) override { return Wrap(id, m_driver.GetFeatureExtractor(id)); }
    SkeletonUser* CreateFeatureExtractor(int id) override { return Wrap(id, m_driver.CreateFeatureExtractor(id)); }
    bool DeleteFeatureExtractor(int id) override { return m_driver.DeleteFeatureExtractor(id); }
    void Reset() override { m_driver.Reset(); }
    void SetSceneAnalyzer(const SceneAnalyzer* sceneAnalyzer) override { m_driver.SetSceneAnalyzer(sceneAnalyzer); }
    void SetSmoothingEnabled(bool enabled) override { m_driver.SetSmoothingEnabled(enabled); }
    bool GetSmoothingEnabled() const override { return m_driver.GetSmoothingEnabled(); }
    void SetSmoothingFactor(float factor) override { m_driver.SetSmoothingFactor(factor); }
    float GetSmoothingFactor() const override { return m_driver.GetSmoothingFactor(); }

private:
    // The id's wrapper bound to featureExtractor; null for none.
    SkeletonUser* Wrap(int id, FeatureExtractor* featureExtractor);

    MultiUserFeatureExtractor m_driver;
    // One wrapper per id ever handed out.
    std::map<int, LibrarySkeletonUser> m_users;
};
