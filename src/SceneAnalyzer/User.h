#pragma once

// The scene analyzer's record of one person: identity and life, a 100-frame
// history of the centre of mass, the boxes that say where the person is
// (this frame's, the stable box of a standing body of the user's height, the
// box at detection, the box in room coordinates), area and height, the
// occlusion state toward the other users and the image sides, the robust
// centre kept for bodies split in two, and the connected components that make
// up the person in the current frame.
//
// Units: x and y of image boxes are pixels of the analysis resolution, z of
// every box and centre is depth in mm; world x and y (centres, heights) are
// mm, x to the right and y up; areas are mm^2.
//
// The segmentation owns eleven records (slot k holds id k, slot 0 unused),
// initialises a slot when it finds a person, updates it once per frame and
// kills it. Every field is zero or empty from construction, so a slot's
// first life reads defined values also where Init leaves fields alone.

#include <ostream>
#include <vector>

#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"

class NACommonData;

class User {
public:
    static constexpr int kHistory = 100;
    static constexpr int kMaxComponents = 500;
    // Ids run from 1 to kMaxIds; tables by id have kMaxIds + 1 entries.
    static constexpr int kMaxIds = 10;

    User();

    unsigned short id() const { return m_id; }
    bool alive() const { return m_alive; }
    unsigned age() const { return m_age; }
    bool isNew() const { return m_isNew; }
    bool isFg() const { return m_isFg; }
    const Box3D<int>& firstBox() const { return m_firstBox; }
    const Box3D<int>& box() const { return m_box; }
    const Box3D<int>& BoxInRoom() const { return m_boxInRoom; }
    const Box3D<int>& stableBox() const { return m_stableBox; }
    const int* stableCenter() const { return m_stableCenter; }
    int area() const { return m_area; }
    int fgArea() const { return m_fgArea; }
    int height() const { return m_height; }
    bool occluded() const { return m_occluded; }
    bool partiallyOrFullyOccluded() const { return m_partiallyOccluded; }
    bool IsOccluding() const { return m_isOccluding; }
    bool occluding(int id) const { return m_occluding[id]; }
    bool occludedBy(int id) const { return m_occludedBy[id]; }
    bool OccludedByLeft() const { return m_occludedByLeft; }
    bool OccludedByRight() const { return m_occludedByRight; }
    int OccludingLeftSideLoc() const { return m_occludingLeftSideLoc; }
    int OccludingRightSideLoc() const { return m_occludingRightSideLoc; }
    bool OccludedByNoDepth() const { return m_occludedByNoDepth; }
    int leftWithShadow() const { return m_leftWithShadow; }
    int rightWithShadow() const { return m_rightWithShadow; }
    const int* ccBegin() const { return m_ccList; }
    const int* ccEnd() const { return m_ccList + m_ccCount; }
    // The current centre of mass (world x, y, depth).
    const Vector3D<int>& CenterOfMass() const { return m_centers[m_historyIndex]; }
    // x and depth of the current centre of mass.
    Vector2D<int> currentCenter() const;
    // The centre history, oldest first.
    std::vector<Vector3D<int>> centers() const;

    void setIsOccluding();
    void setSidesWithShadow(int left, int right);
    void setOccludedBy(int id, bool value) { m_occludedBy[id] = value; }
    void setOccluding(int id, bool value) { m_occluding[id] = value; }
    void setOccludedBySide(bool byLeft, bool byRight, int leftLoc, int rightLoc);

    // Life starts: the fields of a new life (id, converter, age, state
    // flags, robust data, splits, occlusion toward users); others keep what
    // the slot held.
    void Init(NACommonData* hub, unsigned short id, Resolution res);
    // Detection from a box (pixels and depths): its bottom row's height, the
    // body height it spans, the first box.
    void init(NACommonData* hub, const Box3D<int>& box, unsigned short id, Resolution res);
    // Detection from a motion suspect: the bottom heights of its depth-box
    // history (up to its current slot, or all 100 once full), the largest
    // height they span, and its previous box as the first box. Any suspect
    // type with currentIndex(), isFull() and boxesDepth() (100 boxes in
    // pixels and depths) serves; the centre history is not written.
    template <typename Suspect>
    void init(NACommonData* hub, const Suspect& suspect, unsigned short id, Resolution res);
    // Once per frame with the user's measures; a user without components
    // comes with a zero centre, empty boxes and area 0.
    void update(Vector3D<int> centre, const Box3D<int>& box, const Box3D<int>& boxInRoom, int area, int fgArea,
                int occludedRows);

    void SetRobustData(const Vector3D<int>& centre, int area, bool split);
    void ResetRobustData();
    // Middle of the last depth split, -1 when none; and that moved by the
    // robust velocity.
    int GetPartitioningInZ() const;
    int GetPredictedPartitionInZ() const;

    void turnOnFgState();
    void turnOffFgState();
    void redetection() { m_isRedetected = true; }
    void kill() { m_alive = false; }

    bool IsEmpty() const { return m_ccCount == 0; }
    // False, listing nothing, when the list holds kMaxComponents.
    bool addCC(int label);
    // Removes the first entry equal to label; the last entry takes its place.
    void eraseCC(int label);
    void resetCCs() { m_ccCount = 0; }
    // Removes, the same way, every entry whose user id in userIds is 0.
    void cleanCCs(const unsigned short* userIds);

    unsigned short m_id;
    bool m_alive;
    unsigned m_age;
    bool m_historyFull;
    bool m_isFg;
    bool m_neverFg;
    bool m_isNew;
    Vector3D<int> m_centers[kHistory];
    Vector3D<int> m_robustCenter;
    Vector3D<int> m_robustVelocity;
    Vector3D<int> m_predictedCenter;
    int m_robustArea;
    bool m_robustSplit;
    int m_splitColumn;
    int m_splitZFar;
    int m_splitZNear;
    int m_stableCenter[2];
    int m_bottomY[kHistory];
    int m_ccCapacity;
    int m_ccCount;
    int m_ccList[kMaxComponents];
    int m_historyIndex;
    int m_stableWidth;
    int m_height;
    int m_stableDepth;
    Box3D<int> m_firstBox;
    Box3D<int> m_box;
    Box3D<int> m_boxInRoom;
    Box3D<int> m_stableBox;
    int m_leftWithShadow;
    int m_rightWithShadow;
    int m_area;
    int m_fgArea;
    bool m_occluded;
    bool m_partiallyOccluded;
    bool m_occludedBy[kMaxIds + 1];
    bool m_occluding[kMaxIds + 1];
    bool m_isOccluding;
    bool m_isRedetected;
    bool m_occludedByLeft;
    bool m_occludedByRight;
    int m_occludingLeftSideLoc;
    int m_occludingRightSideLoc;
    bool m_occludedByNoDepth;
    int m_occlusionTime;
    bool m_isSwallowed;
    unsigned short m_swallowedId;
    const WorldPointConverter<float>* m_converter;

private:
    void FullUpdate(const Vector3D<int>& centre, const Box3D<int>& box);
};

template <typename Suspect>
void User::init(NACommonData* hub, const Suspect& suspect, unsigned short id, Resolution res) {
    Init(hub, id, res);
    const int cy = m_converter->m_nCenterY;
    const int current = suspect.currentIndex();
    const auto& boxes = suspect.boxesDepth();
    m_historyIndex = current;
    m_height = 0;
    const int last = suspect.isFull() ? kHistory - 1 : current;
    for (int k = 0; k <= last; ++k) {
        const Box3D<int>& box = boxes[k];
        m_bottomY[k] = m_converter->LengthAtDepthInt(box.max.z, cy - box.max.y);
        const int height = m_converter->LengthAtDepthInt(box.max.z, cy - box.min.y) - m_bottomY[k];
        m_height = height > m_height ? height : m_height;
    }
    m_firstBox = boxes[current == 0 ? kHistory - 1 : current - 1];
}

// One field per line: life and occlusion state, centre, area, height, boxes,
// stable, robust and predicted centres, then "ccs:" and the listed labels.
std::ostream& operator<<(std::ostream& out, const User& user);
