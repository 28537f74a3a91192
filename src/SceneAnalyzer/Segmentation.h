#pragma once

// The segmentation of each depth frame into users 1 to 10: the user records,
// and a two-frame history of label pyramids whose current one holds, after
// update, the user id of every pixel (0 = no user) at the analysis
// resolution. At the end of each frame it feeds the user-labelled map back
// to the background model.
//
// Stand-in: the steps that find and follow users are not built yet. Each
// frame the current label pyramid is prepared as the labelling would leave
// it (level of the analysis resolution filled, all zeros), all ten users are
// dead, and the background model gets its Feedback and memory update as
// after a real frame.

#include <string>
#include <vector>

#include "NACommon/Pyramid.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/CyclicBuffer.h"
#include "SceneAnalyzer/User.h"
#include "XnAdapter/XnSceneMetaData.h"

class Farfield;
class MotionDetectorByEdges;
class NACommonData;
class SAPlanes;

class Segmentation {
public:
    static constexpr int kMaxUsers = 10;

    Segmentation();

    // Once per object.
    void init(NACommonData* hub, Resolution res, int sse, int profiling, unsigned short maxSupportedDepth);
    // One frame, after the background model, the motion detection and the
    // planes; points are detection seeds (may be null).
    void update(const Array2D<unsigned short>& shadowMap, const MotionDetectorByEdges& motion, const SAPlanes& planes,
                Farfield& farfield, const std::vector<Vector2D<int> >* points);

    // Users 1 to 10 (no range check).
    const User& GetUser(int id) const { return m_users[id]; }
    // The current label pyramid; before the frame's update, the previous
    // frame's users.
    LabelPyramid& CurrentLabels() { return m_labelHistory.GetCurrent(); }
    // Its level at the analysis resolution.
    const xn::SceneMetaData& CurrentLabelMap() { return m_labelHistory.GetCurrent()[m_resolution]; }

    // Empties both lists; "users", "stable boxes" and "foreground clusters"
    // add their boxes, any other type is reported on standard error.
    void GetDebugBoxes(std::vector<Box3D<int> >& boxes, std::vector<int>& ids, const std::string& type) const;
    void SetProfFile(const char* path);

    NACommonData* m_commonData;
    Resolution m_resolution;
    int m_SSE;
    int m_profiling;
    unsigned short m_maxSupportedDepth;
    // Union of the boxes of the users updated this frame.
    Box3D<int> m_usersBox;
    CyclicBuffer<LabelPyramid, 2> m_labelHistory;
    User m_users[kMaxUsers + 1];

private:
    // Makes the current pyramid hold this frame's labels: its flags cleared,
    // the analysis level zero-filled and marked filled.
    void PrepareCurrentLabels();
};
