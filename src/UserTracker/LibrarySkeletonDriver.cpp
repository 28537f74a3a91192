#include "UserTracker/LibrarySkeletonDriver.h"

bool LibrarySkeletonDriver::Initialize(NACommonData* commonData, const xn::DepthGenerator& depth,
                                       const xn::DepthMetaData& depthMD, Resolution resolution,
                                       const SceneAnalyzer* sceneAnalyzer, const std::string& iniPath,
                                       const std::string& configurationDir) {
    return m_driver.Initialize(commonData, depth, depthMD, resolution, sceneAnalyzer, iniPath, configurationDir);
}

SkeletonUser* LibrarySkeletonDriver::Wrap(int id, FeatureExtractor* featureExtractor) {
    if (featureExtractor == nullptr) {
        return nullptr;
    }
    LibrarySkeletonUser& user = m_users[id];
    user.Bind(featureExtractor);
    return &user;
}
