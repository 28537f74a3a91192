#pragma once

// The library's gesture recognition: a DUZGestureRecognizerManager, run as
// the hand tracker asks.

#include "HandAnalysis/DUZGestureRecognizerManager.h"
#include "HandTracker/GestureRecognition.h"

class LibraryGestureRecognition final : public GestureRecognition {
public:
    int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD,
                   const std::string& iniFile, int maxDepth, int verbose) override {
        return m_manager.Initialize(commonData, generator, depthMD, iniFile, maxDepth, verbose);
    }
    void SetRunning(int running) override { m_manager.m_running = running; }
    void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD) override {
        m_manager.Update(generator, depthMD);
    }
    void ActivateGesture(GestureType type, int active, Box3D<float>* worldBounds) override {
        m_manager.ActivateGesture(type, active, worldBounds);
    }
    void Reset(int resetBackground) override { m_manager.Reset(resetBackground); }
    NAEventGenerator& GetEventGenerator() override { return m_manager; }

private:
    DUZGestureRecognizerManager m_manager;
};
