#pragma once

// The base of the gesture manager's recognizers. Once per frame the manager
// asks each active recognizer, for one tracked candidate, whether the
// candidate's recent path shows its gesture; the answer is a GestureStatus
// and a position. Anything a recognizer must remember between frames lives
// in the candidate's trajectory, never in the recognizer. The manager sets
// the active flag and the bounds (image column, image row, depth in mm at
// the focus resolution) inside which results are reported.

#include <string>

#include "HandAnalysis/GestureType.h"
#include "NACommon/NALogger.h"
#include "NACommon/NATrajectory.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"

class DUZGestureRecognizerBase {
public:
    DUZGestureRecognizerBase();
    virtual ~DUZGestureRecognizerBase();
    DUZGestureRecognizerBase(const DUZGestureRecognizerBase&) = delete;
    DUZGestureRecognizerBase& operator=(const DUZGestureRecognizerBase&) = delete;

    // ReadParameters with initial 1.
    virtual int Initialize(const std::string& iniFile, int verbose);
    // trajectory is the candidate's focus trajectory, frameId the current
    // frame; position receives the gesture's position (world mm) when there
    // is one.
    virtual GestureStatus Run(NATrajectory& trajectory, int frameId, Vector3D<float>& position, int hasForearm,
                              int useRobust) = 0;
    virtual GestureType GetType() const = 0;
    // Non-zero: the manager runs the forearm test on the candidates.
    virtual int RequiresForearm() const;
    // initial is 1 from Initialize and 0 on a later re-read. Reads nothing
    // here; 1.
    virtual int ReadParameters(const std::string& iniFile, int verbose, int initial);

    int m_active;
    Box3D<float> m_bounds;
    NALogger* m_logger;
};
