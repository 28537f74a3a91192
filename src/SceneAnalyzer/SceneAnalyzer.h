#pragma once

// Turns each depth frame of the user tracker into users. It owns the
// scene-analysis components and runs them once per frame in a fixed order:
// shadow filling, the background model, motion detection, the floor and
// wall planes and the segmentation into users 1 to 10. After Update the
// label map (user ids 0 to 10 per pixel, at any resolution), the users that
// are alive and the floor are final for the frame.
//
// The analyzer is large (its components hold fixed-capacity arrays): the
// user tracker keeps it on the heap, builds it at initialisation and builds
// a new one whenever a recording starts over. It reads no configuration
// file; its settings come as one SAConfiguration.
//
// An analyzer whose Initialize failed analyses nothing: its Update logs one
// error the first time, and it reports no user, no floor and an empty label
// map of the size asked for.

#include <fstream>
#include <string>
#include <vector>

#include "OSLayer/XnPlatform.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Plane.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "SceneAnalyzer/Farfield.h"
#include "SceneAnalyzer/MotionDetectorByEdges.h"
#include "SceneAnalyzer/PointFile.h"
#include "SceneAnalyzer/SAConfiguration.h"
#include "SceneAnalyzer/SAOutput.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "SceneAnalyzer/Segmentation.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;

class SceneAnalyzer {
public:
    // The highest user id; ids run from 1.
    static constexpr int kMaxUsers = Segmentation::kMaxUsers;
    // The overall profiling file, in the working directory; the line of the
    // first frame past this frame id is the last one written.
    static constexpr const char* kProfilingFile = "SAoverallProf.csv";
    static constexpr int kLastProfiledFrame = 3456;

    SceneAnalyzer();
    virtual ~SceneAnalyzer();
    SceneAnalyzer(const SceneAnalyzer&) = delete;
    SceneAnalyzer& operator=(const SceneAnalyzer&) = delete;

    // Keeps the hub (the user tracker's, not owned) and the configuration,
    // initialises the hub at the analysis resolution and then every
    // component; false when the resolution is not one or the hub cannot be
    // initialised, and then nothing else is.
    bool Initialize(NACommonData* commonData, const xn::DepthGenerator& depth, const SAConfiguration& configuration,
                    const xn::ImageGenerator* image);
    // One frame. points are detection seeds at the analysis resolution; with
    // a non-zero flag or no points the seeds come from the recording's point
    // file instead.
    void Update(const std::vector<Vector2D<int> >* points, int flag);

    // The background model's foreground map.
    virtual const Array2D<unsigned short>& GetForegroundImage() const;

    // Whether user id (1 to 10) is alive this frame.
    bool IsUserAlive(int id) const;
    // This frame's label map at a resolution, made from the analysis
    // resolution on first request. An analyzer whose initialisation failed
    // gives an empty map of the resolution's size.
    const xn::SceneMetaData& GetLabelMap(Resolution resolution);
    // The floor: the plane as last found, written whether or not it is known
    // this frame; true when it is.
    bool GetFloor(Plane<float>& floor) const;

    // Debug boxes of a kind: "users", "stable boxes" and "foreground
    // clusters" from the segmentation, "suspects", "clusters" and "blocks"
    // from the motion detector; any other kind is reported on standard error
    // and gives none.
    void GetDebugBoxes(std::vector<Box3D<int> >& boxes, std::vector<int>& ids, const std::string& type);
    // Gives the background model, the segmentation and the motion detector
    // their profiling files in folder.
    void SetProfFolder(const char* folder);

    // Fills shadowMap (res's size) with the shift of the object edge beside
    // each band without depth that a near object leaves on the side away
    // from the projector, as wide as the depth difference to the farthest
    // possible background allows; 0 elsewhere.
    static void ShadowAlgo(NACommonData* hub, Resolution res, Array2D<unsigned short>& shadowMap);
    // One row of it, scanned from the left or from the right, with the
    // budget step and base of ShadowAlgo: the k-th pixel of a run without
    // depth after an object pixel of shift s gets s when
    // base - s - k x step >= 0. Pixels before the first one with depth stay.
    static void ShadowRow(const unsigned short* shift, unsigned short* shadow, int width, bool leftToRight, int step,
                          int base);
    // Feeds the background model this frame's maps, the shadow map, the
    // previous frame's users and the boxes of the alive users.
    void FarfieldUpdate();
    // Development outputs: the "sa" record's header (named after the
    // recording, "SENSOR.oni" for a live device) and one frame of it, and
    // one frame of the bit-exact dump, opened in the working directory at
    // the first frame dumped. A record file that cannot be opened is not
    // written; a dump that cannot be opened is skipped.
    void InitializeOutput();
    void WriteOutputFrame();
    void WriteBitExact();
    // The bit-exact dump's lines of one component of the segmentation.
    static void printCC(std::ostream& out, const Segmentation& segmentation, int label);
    // qsort order of int32 values from largest to smallest.
    static int Compare_Qsort(const void* a, const void* b);

    const SAConfiguration& GetConfiguration() const { return m_configuration; }
    bool IsInitialized() const { return m_initialized; }
    const Farfield& GetFarfield() const { return m_farfield; }
    Segmentation& GetSegmentation() { return m_segmentation; }
    const SAPlanes& GetPlanes() const { return m_planes; }
    const PointFile& GetPointFile() const { return m_pointFile; }
    const Array2D<unsigned short>& GetShadowMap() const { return m_shadowMap; }
    // The seeds the last Update handed to the segmentation (may be null).
    const std::vector<Vector2D<int> >* GetSeeds() const { return m_pSeeds; }
    const std::string& GetBitExactFileName() const { return m_bitExactFileName; }

private:
    // One profiling value: seconds since the last stamp.
    void ProfileStage(XnUInt64& last);

    std::string m_bitExactFileName;
    NACommonData* m_pCommonData;
    Array2D<unsigned short> m_shadowMap;
    MotionDetectorByEdges m_motionDetector;
    Farfield m_farfield;
    SAPlanes m_planes;
    Segmentation m_segmentation;
    std::ofstream m_profilingFile;
    std::ofstream m_bitExactFile;
    SAOutput m_outputWriter;
    SAConfiguration m_configuration;
    PointFile m_pointFile;

    bool m_initialized;
    bool m_reportedUninitialized;
    const std::vector<Vector2D<int> >* m_pSeeds;
    // The background model's inputs, kept to spare allocations.
    std::vector<Box3D<int> > m_userBoxes;
    std::vector<bool> m_userOccluding;
    // Given out while the analyzer is not initialised.
    xn::SceneMetaData m_emptyLabels;
    Plane<float> m_noFloor;
};
