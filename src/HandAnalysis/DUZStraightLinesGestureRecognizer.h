#pragma once

// The common base of the recognizers that look for straight strokes (click,
// swipes). It recognizes nothing itself; it answers four questions about a
// candidate's trajectory ring, looking back from a given slot: is there a
// straight segment along an expected direction covering a length, where did
// the movement along a line begin and how fast was it, is there a pause
// around a slot, and did the movement along a line start at a pause.
// Positions are world mm, velocities mm/s as the ring stores them.

#include <string>

#include "HandAnalysis/DUZGestureRecognizerBase.h"
#include "QuorLibrary/Math/Line3D.h"
#include "QuorLibrary/Math/Statistics3D.h"

class DUZStraightLinesGestureRecognizer : public DUZGestureRecognizerBase {
public:
    // Spaced samples (the newest included) a straight line needs.
    static constexpr int MIN_NUM_FRAMES_FOR_STRAIGHT_LINE = 5;

    DUZStraightLinesGestureRecognizer();

    int Initialize(const std::string& iniFile, int verbose) override;
    int ReadParameters(const std::string& iniFile, int verbose, int initial) override;

    // frame is a ring slot (taken mod 90). A positive length asks for
    // movement toward the target (or along direction), a negative one for
    // movement away from it. On success segmentSlot is the slot at which the
    // length was passed and line the fitted line (through the samples'
    // mean, pointing from the oldest to the newest sample); 0 leaves both.
    int AnalyzeStraightLineMovement(NATrajectory& trajectory, int frame, int useTarget, Vector3D<float> target,
                                    int useDirection, Vector3D<float> direction, int length, int& segmentSlot,
                                    Line3D<float>& line);
    // Walks back over the stored velocities from slot frame along the line:
    // the slot where the movement along it began, the speed there, the
    // largest parallel and perpendicular speeds seen, and whether the walk
    // ended on a deviation from the line (or a run of empty slots).
    void AnalyzeVelocityAlongLine(NATrajectory& trajectory, int frame, Line3D<float>& line,
                                  float& velocityAtFurthestPoint, float& dMaxParallelVelocity, float& dMaxPerpVelocity,
                                  int& bDeviationFromLine, int& iFurthestPointIndex);
    // A run of slow samples (speed over speedScale below the velocity
    // threshold, optionally measured along a direction) within 100 mm,
    // lasting more than 0.03 s, grown both ways from centerSlot. Samples
    // with equal time stamps make a speed a division by zero.
    int IdentifyPause(NATrajectory& trajectory, int centerSlot, float speedScale, int useForwardDirection,
                      Vector3D<float> forwardDirection, int useBackwardDirection, Vector3D<float> backwardDirection,
                      int& iStartOfPauseIndex, int& iEndOfPauseIndex);
    // The movement along line, walked back from frame, began at a pause.
    int IdentifyDirectionChange(NATrajectory& trajectory, int frame, Line3D<float> line, int useBackwardDirection,
                                Vector3D<float> backwardDirection, int& iStartOfPauseIndex, int& iEndOfPauseIndex);

    Statistics3D<float> m_lineStatistics;
    float m_maxAllowedAngleCos;
    float m_maxAllowedSTDForLine;
    int m_maxAllowedDeviationFromLine;
    int m_minDistForBackwardsMovement;
    float m_minThresholdOnVelocity;
    // Ring slots the scans look back.
    int m_lookBackFrames;
};
