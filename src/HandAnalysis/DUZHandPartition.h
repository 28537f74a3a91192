#pragma once

// Divides the foreground pixels near tracked hands that come close to each
// other among those hands, once per frame, so that each tracker follows
// only its own hand. Hands whose widened boxes overlap (directly or through
// other hands) form a group; in a group's box the foreground depth is cut
// into depth-connected components; each pixel goes to the hand whose
// hand-and-forearm segment is nearest in 3-D, within 150 mm; a component
// that one hand clearly owns goes to it whole when every hand of the group
// owns one; and hands whose pixels meet inside one large component are
// reported as touching.
//
// Readers (the hand tracker, the forearm and boundary detectors) look at
// m_valid, m_partitionBox and m_partitionMap directly; IsOtherHandPixel is
// the forearm and boundary detectors' question.
//
// The grouping and the touching test keep their scratch in function-local
// statics shared by the whole process: partitions must not run on two
// threads at once.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NAResolution.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Segment3DAccel.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnSceneMetaData.h"

class DUZHandPartition {
public:
    // One tracked hand, as the manager fills it.
    struct HandInfo {
        HandInfo() : m_id(0), m_box(), m_position(0, 0, 0), m_forearmDirection(0, 0, 0) {}
        int m_id;                            // the tracker's id, positive
        Box2D<int> m_box;                    // the tracker's box widened by 150 mm, inside the image
        Vector3D<float> m_position;          // world mm
        Vector3D<float> m_forearmDirection;  // unit, along the forearm toward the hand; zero: none
    };

    // Hands whose boxes overlap, in the order of the hand list.
    struct HandGroupInfo {
        Box2D<int> m_box;  // union of the hands' boxes
        std::vector<const HandInfo*> m_hands;
    };

    using HandPairs = std::vector<std::pair<unsigned int, unsigned int>>;

    // Label rows of the label-hand counts: a label from here up is never
    // given whole to a hand.
    static constexpr int kCountedLabels = 2000;
    // Hands a group is sized for at first; larger groups grow the tables.
    static constexpr int kHands = 5;

    DUZHandPartition();
    ~DUZHandPartition();
    DUZHandPartition(const DUZHandPartition&) = delete;
    DUZHandPartition& operator=(const DUZHandPartition&) = delete;

    // Sized for the metadata's resolution; the file name and verbosity are
    // not used; 1.
    int Initialize(const xn::DepthMetaData& depth, const std::string& iniFile, int verbose);
    // Sizes the map for the resolution; the last partition is gone with it.
    void UpdateResolution(NAResolution resolution);
    // No pixel is taken from any tracker until the next ComputePartition.
    void ClearPartition();

    // The groups of two or more hands. The groups point into hands, which
    // must outlive them.
    static void ComputeGroupsToPartition(const NADepthMapContainer& container, const std::vector<HandInfo>& hands,
                                         std::vector<HandGroupInfo>& groups);
    // Partitions all groups (none: no partition) with the foreground mask
    // (non-zero = foreground, the depth map's size); pairs receives the ids
    // of touching hands.
    void ComputePartition(const NADepthMapContainer& container, const std::vector<HandGroupInfo>& groups,
                          const Array2D<int>& foregroundMask, HandPairs& pairs);
    // Partitions one group, appending its touching pairs.
    void ComputePartition(const NADepthMapContainer& container, const HandGroupInfo& group,
                          const Array2D<int>& foregroundMask, HandPairs& pairs);
    void SeparateHandsUsingCC(const NADepthMapContainer& container, const HandGroupInfo& group);
    void ComputeTouchingHands(const NADepthMapContainer& container, const HandGroupInfo& group, HandPairs& pairs);

    // Whether pixel (x, y) belongs to a hand other than trackerId in a
    // valid partition.
    bool IsOtherHandPixel(int x, int y, unsigned int trackerId) const;

    int m_valid;
    Box2D<int> m_partitionBox;
    // Inside m_partitionBox: -1 in no group's box (only with two or more
    // groups), 0 owned by no hand, else the owner's id.
    Array2D<int> m_partitionMap;
    Array2D<unsigned short> m_maskedDepth;
    ConnectedComponentDetector m_ccDetector;
    xn::SceneMetaData m_labelMap;
    // Per label of the current group (label count entries).
    std::vector<int> m_labelPixelCounts;
    std::vector<int64_t> m_labelDepthSums;
    std::vector<int> m_labelIsLarge;   // area above 1000 mm^2
    std::map<int, int> m_handIndexById;
    // Per hand of the current group.
    std::vector<Segment3DAccel<float>> m_handSegments;  // the hand and 500 mm back along its forearm
    std::vector<float> m_handDepths;
    Array2D<int> m_labelHandCounts;                     // (label, hand), labels below kCountedLabels
    std::vector<int> m_labelAssignedCounts;
    std::vector<int> m_labelOwner;                      // hand id that owns the label whole, 0 = none
    std::vector<int> m_handLabel;
    int m_componentDepthThreshold;  // mm
    int m_separateByComponents;
    float m_minOwnComponentArea;    // mm^2

private:
    // Sizes the per-hand tables for n hands.
    void PrepareHands(int n);
};
