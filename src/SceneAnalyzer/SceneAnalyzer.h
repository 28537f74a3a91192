#pragma once

// Turns each depth frame of the user tracker into users: after Update the
// label map (user ids 0 to 10 per pixel, at any resolution), the users that
// are alive and the floor are final for the frame.
//
// The analysis components (shadow filling, background model, motion
// detection, plane search, segmentation) are not part of this build: the
// analyzer keeps the hub current and reports an empty scene, with no user
// and no floor.

#include <vector>

#include "NACommon/Pyramid.h"
#include "QuorLibrary/Math/Plane.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "SceneAnalyzer/SAConfiguration.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;

class SceneAnalyzer {
public:
    // The highest user id; ids run from 1.
    static constexpr int kMaxUsers = 10;

    SceneAnalyzer();
    ~SceneAnalyzer();
    SceneAnalyzer(const SceneAnalyzer&) = delete;
    SceneAnalyzer& operator=(const SceneAnalyzer&) = delete;

    // Keeps the hub (the user tracker's, not owned) and the configuration and
    // initialises the hub at the analysis resolution; false when the hub
    // cannot be initialised, and then nothing else is.
    bool Initialize(NACommonData* commonData, const xn::DepthGenerator& depth, const SAConfiguration& configuration,
                    const xn::ImageGenerator* image);
    // One frame. points are detection seeds at the analysis resolution; with
    // a non-zero flag or no points the seeds come from the recording's point
    // file instead.
    void Update(const std::vector<Vector2D<int> >* points, int flag);

    // Whether user id (1 to 10) is alive this frame.
    bool IsUserAlive(int id) const;
    // This frame's label map at a resolution, made from the analysis
    // resolution on first request. An analyzer whose initialisation failed
    // gives an empty map of the resolution's size.
    const xn::SceneMetaData& GetLabelMap(Resolution resolution);
    // The floor: the plane as last found, written whether or not it is known
    // this frame; true when it is.
    bool GetFloor(Plane<float>& floor) const;

    const SAConfiguration& GetConfiguration() const { return m_configuration; }

private:
    NACommonData* m_pCommonData;
    SAConfiguration m_configuration;
    bool m_initialized;
    LabelPyramid m_labels;
    Plane<float> m_floor;
    bool m_floorKnown;
    // Given out while the analyzer is not initialised.
    xn::SceneMetaData m_emptyLabels;
};
