#pragma once

// The segmentation of each depth frame into users 1 to 10. Each frame it
// labels the depth map at the analysis resolution into connected components
// (at most 1999), measures them, gives them to the users of the previous
// frame by overlap, revises the users' component lists (background pieces,
// parts across a user's last split, groups not connected to the body),
// handles touching users, updates and kills users, writes the user id of
// every pixel into the current label pyramid, computes robust centres and
// feeds the user-labelled map back to the background model.
//
// Per-frame data lives in fixed structure-of-arrays tables indexed by the
// component label (label 0 is never a component), so a frame allocates
// nothing once the sizes are set by init. The per-pixel steps have an
// eight-pixel twin chosen by m_SSE that gives the same result for depths and
// shifts below 32768 and widths that are a multiple of 8.
//
// Ids are handed out last-in-first-out from m_freeIds, filled with 10 down
// to 1: the first user gets id 1 and a freed id is the next one given out.
//
// Once the background model has settled, free components are glued to the
// users they belong to, occluded users get their components back, and new
// users are detected from motion suspects, foreground clusters and seed
// points. Tests can also start a user from a box (InjectUser).
//
// Single-threaded: everything runs inside update; readers of the users and
// the label map run after it on the same thread.

#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "NACommon/Pyramid.h"
#include "QuorLibrary/Math/Box1D.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"
#include "QuorLibrary/SensorUtilities/DisjointSet.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/CyclicBuffer.h"
#include "SceneAnalyzer/ConnectedComponent.h"
#include "SceneAnalyzer/TouchingEvent.h"
#include "SceneAnalyzer/User.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnSceneMetaData.h"

class Farfield;
class MotionDetectorByEdges;
class NACommonData;
class SAPlanes;

class Segmentation {
public:
    static constexpr int kMaxUsers = User::kMaxIds;
    // Component slots; labels 1 .. kMaxCCs - 1 are components.
    static constexpr int kMaxCCs = 2000;
    // Entries of the robust-centre histograms: image columns and depth bins.
    static constexpr int kHistColumns = 640;
    static constexpr int kHistBins = 600;

    Segmentation();
    ~Segmentation();
    Segmentation(const Segmentation&) = delete;
    Segmentation& operator=(const Segmentation&) = delete;

    // Once per object: binds the hub (not owned), sizes every map for res
    // and fills the free ids.
    void init(NACommonData* hub, Resolution res, int sse, int profiling, unsigned short maxSupportedDepth);
    // One frame, after the background model, the motion detection and the
    // planes; points are detection seeds (may be null).
    void update(const Array2D<unsigned short>& shadowMap, const MotionDetectorByEdges& motion, const SAPlanes& planes,
                Farfield& farfield, const std::vector<Vector2D<int>>* points);

    // Users 1 to 10 (no range check).
    const User& GetUser(int id) const { return m_users[id]; }
    // Ends a user: its id goes back to the free ids, its components lose it.
    void killUser(unsigned short id);
    // The next update starts a user from box (columns and rows of the
    // analysis resolution, depths in mm), as detection does from a body it
    // found: a free id, the user initialised from the box, and every free
    // component with more than half its pixels inside the box's columns and
    // depths. Nothing when no id is free then.
    void InjectUser(const Box3D<int>& box) { m_injections.push_back(box); }

    // The current label pyramid; before the frame's update, the previous
    // frame's users.
    LabelPyramid& CurrentLabels() { return m_labelHistory.GetCurrent(); }
    const xn::SceneMetaData& CurrentLabelMap() const { return m_labelHistory.GetCurrent().m_levels[m_resolution]; }
    // This frame's component labels before they became user ids.
    const xn::SceneMetaData& labelDebug() const { return m_labelDebug; }

    // Empties both lists; "users" and "stable boxes" add the alive users'
    // boxes and ids, "foreground clusters" the clusters' boxes; any other
    // type is reported on standard error.
    void GetDebugBoxes(std::vector<Box3D<int>>& boxes, std::vector<int>& ids, const std::string& type);
    // Opens the profiling file (replacing one) and writes its header line.
    void SetProfFile(const char* path);
    // Every component that has a user has area, depth and pixels.
    bool CcsSanityCheck() const;
    void updateLabeledFarfield() {}

    // ---- steps of update, in order ----
    // Frame inputs, label history, floor-corrected depth.
    void updateFrame(const Array2D<unsigned short>& shadowMap);
    // The labelling images: background pixels of no previous user pushed
    // far back, pixels without depth one shared far value.
    void updateDepthForCC();
    void updateDepthForCC_SSE();
    void labelComponents();
    // 1 at labelled pixels whose four neighbours do not all share the label.
    void derivateLabels();
    void derivateLabels_SSE();
    void initLabelDer();
    // Pixels whose depth changed by less than 100 mm, at the pixel and near.
    void computeImageDiff();
    void computeCCProperties();
    void InitializeCCs();
    void getCCsDataFromPixels();
    void getCCsDataFromPixels_SSE();
    void updateCCsInfo();
    void copyCCStructs2Properties();
    // Touching users.
    void findTouching();
    void firstTreatmentForTouching();
    void checkTouchings(int* area, long long* sumX, long long* sumZ, Box3D<int>* boxes, Box3D<int>* roomBoxes);
    void remapTouching();
    void UserSwallowingUser(User& taker, User& taken);
    TouchingEvent* ExistingTouching(int a, int b);
    // Camera motion of the background model.
    void handleReset();
    // Revision of the users' components.
    void excludeBgCCs();
    void ReassignWeaklyRelatedUserParts();
    int calcUpperWidth(int c);
    void ReassignUserId(int c, bool toBackground, bool cutInDepth);
    void labelPartitioning2();
    void connectCCsThroughImage(const Box3D<int>& box, int u);
    void connectCCsThroughNoDepth(const Box3D<int>& box, int u);
    void mergeResetCCsIntoBG();
    // Gluing free components to users.
    void labelGluing();
    void evaluateUsersBoxes(Box3D<int>* boxes, bool* valid) const;
    void evaluateUsersBoxesInRoom(Box3D<int>* roomBoxes) const;
    void evaluateUserArea(int* areas) const;
    // A valid user whose components sum to no area keeps the zero centre.
    void evaluateUserXZCenters(Vector2D<int>* centers, bool* valid) const;
    bool findCCsToGlue(const Box3D<int>* boxes, const Box3D<int>* roomBoxes, const int* areas, const bool* valid);
    bool isCCAdjacentToBg(int c) const;
    // Groups the free foreground components overlapping in columns and
    // depth; returns the number of clusters.
    int clusterFgCCs(bool forGluing, bool includeOwned);
    void updateUserMetricOfCCs(const Box3D<int>* boxes);
    bool updateOnlyIdMetric(const Box3D<int>& box, int c, int u, bool& listedInit, int& count, int* metric);
    void updateIdsMetric(const Box3D<int>& box, int c, int& count, bool& listedInit, int* metric);
    bool glueThroughOccludingCCs(const Box2D<int>& window, int occluder, int u, int* metric) const;
    void finalGluingDecision(const Vector2D<int>* centers, const bool* valid, const Box3D<int>* boxes);
    // Occlusions and redetection.
    void redetectOccludedUsersByFG();
    void redetectOccludedUsersInSamePlace();
    void fillHoles();
    // Rows of user id's box holding a border pixel with a nearer other owner
    // beside it.
    int countOccludedPix(int id, const Box3D<int>& box) const;
    void checkOcclusions();
    void CheckNoDepthOcclusions();
    bool checkOcclusion(int minZ, int maxZ, int maxX, int minX) const;
    bool trackedUserInBox(const Box3D<int>& box) const;
    void findAdjacentCandidates(int cc, const Box3D<int>& box, int& end);
    void updateCCsAdjacency(const Box3D<int>& box, int cc, bool stopAtFirst);
    bool finalDecisionForGluingAdjacentCCs(int& minX, int& maxX, int& minY, int& maxY, int first, int& end,
                                           int expectedHeight, bool checkHeight, bool secondKind);
    User* findClosestUserToCC(const Box3D<int>* box, int count, User** candidates, int area, int depth,
                              Vector2D<int> xzCenter, bool& redetected, bool skipSizeTest);
    void findAdjacentUser(int firstRow, int lastRow, int firstColumn, int lastColumn, int cc,
                          unsigned short& userId);
    bool IsBoxOccludedByUsers(const Box3D<int>& box) const;
    // Columns of shadow a user casts: the shift step from its nearest depth
    // to the farthest measurable one, in pixels.
    int ShadowWidth(const User& user) const;
    // The depth stream is mirrored (the shadow of a body lies to its right).
    bool IsMirrored() const;
    // Detection of new users.
    void detectionBySuspects(const MotionDetectorByEdges& motion);
    void detectionByFg();
    void detectionByPoint(const std::vector<Vector2D<int>>* points);
    void injectUsers();
    void updateUsers();
    void remapLabels();
    void updateUserFgState();
    // Robust centres.
    void ComputeRobustCenters();
    // The gap of a depth split in the depth bins zlo..zhi of a user's
    // histogram (g its area): far and near bound as bins; false when none.
    bool FindDepthGap(const User& user, const int* hist, int zlo, int zhi, int binShift, int g, int& gapStart,
                      int& gapEnd) const;
    void ComputeHists(int id, const Box3D<int>& box, int* areaByX, int* lengthByX, int* areaByShift, int binShift);
    void FindRobustCenterForXSplit(User& user, const int* areaByX, int splitColumn);
    void FindRobustCenterForZSplit(User& user, const Box3D<int>& box, const int* areaByShift, int midDepth,
                                   int binShift);

    // ---- measures of one component on demand ----
    void computeCCPropertiesForDetection();
    void getCCsDataFromPixelsForDetection();
    void updateCCsInfoForDetection();
    void computePixCount(int label);
    void computeZBounds(int label);
    void computeArea(int label);
    void computeCenter(int label);
    bool isCCOnNoDepth(int label) const;
    bool isCCInBox(int label, const Box3D<int>& box) const;

    // ---- frame maps ----
    xn::SceneMetaData& Labels() { return m_labelHistory.GetCurrent().m_levels[m_resolution]; }
    const xn::SceneMetaData& Labels() const { return m_labelHistory.GetCurrent().m_levels[m_resolution]; }
    const xn::SceneMetaData& PreviousLabels() const { return m_labelHistory.GetPrevious(1).m_levels[m_resolution]; }

    bool m_verbose;
    NACommonData* m_commonData;
    int m_frameId;
    const xn::DepthMetaData* m_depth;
    const xn::DepthMetaData* m_prevDepth;
    const Array2D<unsigned short>* m_shiftMap;
    const Array2D<unsigned short>* m_shadowMap;
    Resolution m_resolution;
    int m_width;
    int m_height;
    int m_pixelCount;
    int m_width8;
    Box2D<int> m_imageBox;
    Box3D<int> m_usersBox;
    Farfield* m_farfield;
    const SAPlanes* m_planes;
    Array2D<unsigned short> m_floorDepth;
    int m_floorRotation[4];
    int m_floorRotationShift;
    Array2D<unsigned short> m_ccDepth;
    Array2D<unsigned short> m_ccDepth2;
    Array2D<unsigned char> m_sameDepth;
    Array2D<unsigned char> m_nearDepth;
    CyclicBuffer<LabelPyramid, 2> m_labelHistory;
    xn::SceneMetaData m_labelDebug;
    Array2D<unsigned char> m_labelDer;
    ConnectedComponentDetector m_ccDetector;
    ConnectedComponent m_ccs[kMaxCCs];
    int m_ccPixCount[kMaxCCs];
    int m_ccArea[kMaxCCs];
    Box3D<int> m_ccBox[kMaxCCs];
    Box3D<int> m_ccBoxInRoom[kMaxCCs];
    int m_ccCenterX[kMaxCCs];
    int m_ccCenterY[kMaxCCs];
    int m_ccCenterZ[kMaxCCs];
    Vector2D<int> m_ccXZCenter[kMaxCCs];
    Vector3D<int> m_ccCenterInRoom[kMaxCCs];
    int m_ccFgArea[kMaxCCs];
    int m_ccTrackedArea[kMaxCCs];
    int m_ccUserMetric[kMaxCCs][kMaxUsers + 1];
    int m_ccGlueMetric[kMaxCCs][kMaxUsers + 1];
    unsigned short m_ccUserId[kMaxCCs];
    bool m_ccToBackground[kMaxCCs];
    bool m_ccRedetected[kMaxCCs];
    bool m_ccCutInDepth[kMaxCCs];
    bool m_ccNoDepth[kMaxCCs];
    bool m_ccIsFg[kMaxCCs];
    bool m_ccIsTracked[kMaxCCs];
    bool m_ccIsForGluing[kMaxCCs];
    bool m_ccIsPositive[kMaxCCs];
    int m_ccNode[kMaxCCs];
    Box1D<int> m_ccAdjacentRows[kMaxCCs];
    bool m_ccListed[kMaxCCs];
    unsigned short m_ccGlueUser[kMaxCCs];
    int m_fgCCs[kMaxCCs];
    int m_numFgCCs;
    Box3D<int> m_clusterBox[kMaxCCs];
    int m_clusterStatus[kMaxCCs];
    int m_clusterArea[kMaxCCs];
    int m_numClusters;
    DisjointSet m_disjointSet;
    int m_numCCs;
    bool m_firstFrame;
    const WorldPointConverter<float>* m_converter;
    const unsigned short* m_pShiftToDepth;
    const unsigned short* m_pDepthToShift;
    int m_shiftPerPixel;
    std::vector<TouchingEvent> m_touchings;
    // By user ids i, j: the area of i's current components that carried j
    // in the previous frame's label map.
    int m_touchTable[kMaxUsers + 1][kMaxUsers + 1];
    bool m_glueAfterDetection;
    bool m_glueAfterRedetection;
    int m_redetectFlags[kMaxUsers + 1];
    User m_users[kMaxUsers + 1];
    std::deque<unsigned short> m_freeIds;
    int m_profiling;
    std::ofstream m_profFile;
    int m_SSE;
    float m_minAreaToHeightSqr;
    int m_maxClusterArea;
    unsigned short m_maxSupportedDepth;
    short m_farDepth;
    short m_farDepth2;
    short m_farShift;
    short m_farShift2;
    // Scratch of the robust centres, one set per object so that trackers on
    // different threads do not share it.
    int m_histAreaByX[kHistColumns];
    int m_histLengthByX[kHistColumns];
    int m_histAreaByShift[kHistBins];
    // Boxes InjectUser asked for, taken by the next update.
    std::vector<Box3D<int>> m_injections;
    // The depth stream is mirrored; read with each frame.
    bool m_mirrored;
    // Marks of the motion suspects that may start a user, reused per frame.
    std::vector<char> m_markedSuspects;

private:
    // Area-weighted sums of the users' components in updateUsers, by id.
    struct UserSums {
        int area[kMaxUsers + 1];
        int fgArea[kMaxUsers + 1];
        long long sumX[kMaxUsers + 1];
        long long sumY[kMaxUsers + 1];
        long long sumZ[kMaxUsers + 1];
        Box3D<int> box[kMaxUsers + 1];
        Box3D<int> roomBox[kMaxUsers + 1];
    };

    void Trace(int id, const char* text) const;
    // Takes the next free id (last freed first); 0 when none is free.
    unsigned short TakeFreeId();
    // visit(pixel, neighbour pixel, neighbour label, neighbour is below) for
    // the neighbours two pixels away (left, right, up, down) carrying another
    // component of each label-border pixel of component c inside box, clipped
    // two pixels from the image's edges; stops when visit returns false.
    template <typename F>
    void ForEachCandidateNeighbour(const Box3D<int>& box, int c, F visit) const;
    // Lists label n once among the occluders of the current candidate.
    void AppendOccluder(int n, bool& listedInit, int& count);
    // Component n at pixel q lies more than 100 mm in front of pixel p.
    bool IsOccluderOf(int n, int q, int p) const;
    // The bounds of the boxes of the components a user lists (empty when
    // none).
    Box3D<int> ComponentBounds(const User& user) const;
    // Recomputes the depth range (and room box) of a component.
    void RecomputeZBounds(int label);
    // Profiling: the time since last, and last moved on.
    void ProfileStep(unsigned long long& last);
    // Room height and distance (at 1024 scale) of world height y at depth z.
    long long RoomY(int y, int z) const;
    long long RoomZ(int y, int z) const;
    // Grows a component's room box by a run from column x0 to x1 in row y
    // with depths zmin..zmax (y and z unshifted).
    void GrowRoomBox(Box3D<int>& box, int x0, int x1, int y, int zmin, int zmax) const;
    // Mean pixel to room centre.
    Vector3D<int> RoomCenter(int x, int y, int z) const;
    int AreaShift() const { return m_converter->m_nAreaShift; }
    // One run of the label map (columns x0..x1 of row y) into its record.
    void AddRun(int label, int y, int x0, int x1);
    // visit(label, row, first column, last column) for each maximal stretch
    // of one non-zero label in a row of the label map.
    template <typename F>
    void ForEachRun(F visit) const;
    // visit(pixel index, label) for each label-border pixel of a component
    // of user u inside box, clipped to the image without its outer frame.
    template <typename F>
    void ForEachBorderPixel(const Box3D<int>& box, int u, F visit) const;
    // 1 when pixel i is labelled and a neighbour carries another label.
    unsigned char LabelBorder(const XnLabel* labels, int i) const;
    // The labelling images of pixel i by the plain rules.
    void DepthForCCPixel(int i, bool extreme);

    UserSums m_sums;
};
