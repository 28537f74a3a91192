#include "HandAnalysis/DUZHandTrackerManager.h"

DUZHandTrackerManager::DUZHandTrackerManager() : m_commonData(nullptr) {}

DUZHandTrackerManager::~DUZHandTrackerManager() = default;

int DUZHandTrackerManager::Initialize(NACommonData* commonData, const xn::DepthGenerator&, const xn::DepthMetaData&,
                                      const std::string&, int, int) {
    m_commonData = commonData;
    return 1;
}

void DUZHandTrackerManager::Update(const xn::DepthGenerator&, const xn::DepthMetaData&, const xn::ImageMetaData&) {}

unsigned int DUZHandTrackerManager::StartTracking(const xn::DepthGenerator&, const xn::DepthMetaData&,
                                                  const Vector3D<float>&, const Vector2D<float>&) {
    return 0;
}

int DUZHandTrackerManager::StopTracking(unsigned int) { return 0; }

void DUZHandTrackerManager::StopTrackingAllHands() {}
