#pragma once

// The library's hand tracking: a DUZHandTrackerManager, run as the hand
// tracker asks.

#include "HandAnalysis/DUZHandTrackerManager.h"
#include "HandTracker/HandTracking.h"

class LibraryHandTracking final : public HandTracking {
public:
    int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                   const std::string& iniFile, int maxDepth, int verbose) override {
        return m_manager.Initialize(commonData, generator, depth, iniFile, maxDepth, verbose);
    }
    void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                const xn::ImageMetaData& image) override {
        m_manager.Update(generator, depth, image);
    }
    unsigned int StartTracking(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                               const Vector3D<float>& point, const Vector2D<float>& handSize) override {
        return m_manager.StartTracking(generator, depth, point, handSize);
    }
    int StopTracking(unsigned int id) override { return m_manager.StopTracking(id); }
    void StopTrackingAllHands() override { m_manager.StopTrackingAllHands(); }
    NAEventGenerator& GetEventGenerator() override { return m_manager; }

private:
    DUZHandTrackerManager m_manager;
};
