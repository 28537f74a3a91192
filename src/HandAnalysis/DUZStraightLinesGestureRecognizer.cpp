#include "HandAnalysis/DUZStraightLinesGestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "HandAnalysis/DUZGestureLog.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

using duz_gesture_log::Back;
using duz_gesture_log::Forward;
using duz_gesture_log::LogRing;
using duz_gesture_log::SlotOf;

namespace {

// A spacing of less than this (mm) between line samples is not a step.
constexpr float kMinSampleSpacing = 30.0f;
// A pause spans at most this (mm) and lasts more than kMinPauseSeconds.
constexpr float kMaxPauseExtent = 100.0f;
constexpr double kMinPauseSeconds = 0.03;

double SecondsBetween(const NATrajectory& trajectory, int from, int to) {
    return static_cast<double>(static_cast<int64_t>(trajectory.m_times[to]) -
                               static_cast<int64_t>(trajectory.m_times[from])) *
           1e-6;
}

// Both view cosines between the fitted and the expected direction: top
// (x, z) and side (y, z), each pair normalised on its own.
float ViewCosine(float a1, float a2, float b1, float b2) {
    return Vector2D<float>(a1, a2).Normalized().Dot(Vector2D<float>(b1, b2).Normalized());
}

}  // namespace

DUZStraightLinesGestureRecognizer::DUZStraightLinesGestureRecognizer()
    : m_lineStatistics(Vector3D<float>(0, 0, 0)),
      m_maxAllowedAngleCos(0.85f),
      m_maxAllowedSTDForLine(17.0f),
      m_maxAllowedDeviationFromLine(50),
      m_minDistForBackwardsMovement(0),
      m_minThresholdOnVelocity(0.5f),
      m_lookBackFrames(25) {}

int DUZStraightLinesGestureRecognizer::Initialize(const std::string& iniFile, int verbose) {
    return ReadParameters(iniFile, verbose, 1);
}

int DUZStraightLinesGestureRecognizer::ReadParameters(const std::string& iniFile, int verbose, int initial) {
    if (initial == 0) {
        return 1;
    }
    const std::string section = "FocusRecognizer";
    const bool echo = verbose != 0;
    ReadFromINI(iniFile, section, "MaxAllowedSTDForLine", m_maxAllowedSTDForLine, echo);
    ReadFromINI(iniFile, section, "MaxAllowedDeviationFromLine", m_maxAllowedDeviationFromLine, echo);
    ReadFromINI(iniFile, section, "MaxAllowedAngleCos", m_maxAllowedAngleCos, echo);
    ReadFromINI(iniFile, section, "MinDistForBackwardsMovement", m_minDistForBackwardsMovement, echo);
    ReadFromINI(iniFile, section, "MinThresholdOnVelocity", m_minThresholdOnVelocity, echo);
    return 1;
}

int DUZStraightLinesGestureRecognizer::AnalyzeStraightLineMovement(NATrajectory& trajectory, int frame,
                                                                   int useTarget, Vector3D<float> target,
                                                                   int useDirection, Vector3D<float> direction,
                                                                   int length, int& segmentSlot,
                                                                   Line3D<float>& line) {
    const int s = SlotOf(frame);
    if (trajectory.m_frameIds[s] == 0) {
        return 0;
    }
    const Vector3D<float>* p = trajectory.m_positions;
    const uint32_t* ids = trajectory.m_frameIds;
    m_lineStatistics.Reset(Vector3D<float>(0, 0, 0));
    m_lineStatistics.AddPoint(p[s]);
    Vector3D<float> start = p[s];
    Vector3D<float> last = p[s];
    const float sign = length > 0 ? 1.0f : -1.0f;
    const bool directed = useTarget != 0 || useDirection != 0;
    Vector3D<float> expected(0, 0, 0);
    if (useTarget != 0) {
        expected = ((target - start) * sign).Normalized();
    } else if (useDirection != 0) {
        expected = direction;
    }
    if (m_lookBackFrames <= 1) {
        DUZ_GESTURE_LOG(*m_logger) << "No MIN_NUM_FRAMES_FOR_STRAIGHT_LINE frames along line\n";
        LogRing(*m_logger, trajectory);
        return 0;
    }

    int accepted = 1;
    int turning = s;
    int previous = s;
    for (int i = 1; i < m_lookBackFrames && accepted < MIN_NUM_FRAMES_FOR_STRAIGHT_LINE; ++i) {
        const int j = Back(s, i);
        if (ids[j] == 0) {
            continue;
        }
        if (ids[j] > ids[previous]) {
            DUZ_GESTURE_LOG(*m_logger)
                << "Reached end of trajectory, no MIN_NUM_FRAMES_FOR_STRAIGHT_LINE frames along line\n";
            return 0;
        }
        bool accept = false;
        if (directed) {
            const float advance = (last - p[j]).Dot(expected);
            if (advance >= kMinSampleSpacing || std::isnan(advance)) {
                accept = true;
            } else if (-advance > static_cast<float>(m_minDistForBackwardsMovement)) {
                turning = j;
                if (accepted == 1) {
                    // The movement turned here: the line starts over.
                    m_lineStatistics.Reset(Vector3D<float>(0, 0, 0));
                    m_lineStatistics.AddPoint(p[j]);
                    start = last = p[j];
                    if (useTarget != 0) {
                        expected = ((target - start) * sign).Normalized();
                    }
                }
            }
        } else {
            const float step = (last - p[j]).Magnitude();
            accept = step >= kMinSampleSpacing || std::isnan(step);
        }
        if (accept) {
            m_lineStatistics.AddPoint(p[j]);
            ++accepted;
            last = p[j];
        }
        previous = j;
    }
    if (accepted < MIN_NUM_FRAMES_FOR_STRAIGHT_LINE) {
        DUZ_GESTURE_LOG(*m_logger) << "No MIN_NUM_FRAMES_FOR_STRAIGHT_LINE frames along line\n";
        LogRing(*m_logger, trajectory);
        return 0;
    }

    const Vector3D<float> mean = m_lineStatistics.GetMean();
    Vector3D<float> eigenvalues;
    Vector3D<float> along;
    m_lineStatistics.GetCovariance().SolveSingleEigenproblem(0, eigenvalues, along, 1e-8f);
    eigenvalues = Vector3D<float>(std::max(eigenvalues.x, 0.0f), std::max(eigenvalues.y, 0.0f),
                                  std::max(eigenvalues.z, 0.0f));
    if ((start - last).Dot(along) < 0) {
        along = -along;
    }

    float cosTop = 0.0f;
    float cosSide = 0.0f;
    if (directed) {
        if (useTarget != 0) {
            expected = ((target - mean) * sign).Normalized();
        }
        cosTop = ViewCosine(along.x, along.z, expected.x, expected.z);
        cosSide = ViewCosine(along.y, along.z, expected.y, expected.z);
        if (cosTop < m_maxAllowedAngleCos || cosSide < m_maxAllowedAngleCos) {
            LogRing(*m_logger, trajectory);
            DUZ_GESTURE_LOG(*m_logger) << "Direction too far than expected. Cos alpha top: " << cosTop
                                       << "Cos alpha side: " << cosSide << " tCurrentDirection: " << along
                                       << " tExpectedDirection: " << expected;
            Vector3D<float> crossing(0, 0, 0);
            if (std::fabs(along.z) > 1e-8f) {
                const float t = -mean.z / along.z;
                if (t != 0.0f) {
                    crossing = mean + along * t;
                }
            }
            DUZ_GESTURE_LOG(*m_logger) << "Point intersection with sensor plane at: " << crossing;
            return 0;
        }
    }

    const double spread = std::sqrt(static_cast<double>(eigenvalues.y + eigenvalues.z));
    if (spread > static_cast<double>(m_maxAllowedSTDForLine)) {
        LogRing(*m_logger, trajectory);
        DUZ_GESTURE_LOG(*m_logger) << "Straight line STD too large: " << eigenvalues;
        return 0;
    }

    const Line3D<float> fitted(mean, along);
    const float q0 = (start - mean).Dot(expected);
    // In float: the lowest int ("MovementLength" is read from a file) has no
    // int magnitude.
    const float required = std::fabs(static_cast<float>(length));
    int lastAccepted = turning;
    float q = q0;
    int outliers = 0;
    int inverse = 0;
    for (int i = 0; i < m_lookBackFrames; ++i) {
        const int j = Back(turning, i);
        if (ids[j] == 0) {
            continue;
        }
        if (ids[j] > ids[lastAccepted]) {
            LogRing(*m_logger, trajectory);
            DUZ_GESTURE_LOG(*m_logger) << "Reached end of trajectory\n";
            return 0;
        }
        const float r = fitted.GetDistance(p[j]);
        const float e = (p[j] - mean).Dot(expected);
        const auto details = [&](NALoggerHelper& out, bool withOutliers) {
            const Vector3D<float>& v = trajectory.m_velocities[j];
            out << " Point=" << p[j] << " Line direction=" << along << "InverseMovementCounter: " << inverse
                << " Start index: " << frame << " Start frame: " << ids[s] << " Current index: " << j
                << " Current frame: " << ids[j] << " Current velocity along line: " << v.Dot(along)
                << " Dist along line: " << (q0 - e) << " STD: " << spread << " fCosAngleTopView: " << cosTop
                << " fCosAngleSideView: " << cosSide;
            if (withOutliers) {
                out << " Num outliers: " << outliers;
            }
        };
        if (r > static_cast<float>(m_maxAllowedDeviationFromLine)) {
            ++outliers;
            LogRing(*m_logger, trajectory);
            if (duz_gesture_log::IsOn(*m_logger)) {
                NALoggerHelper out(*m_logger, duz_gesture_log::kMask, XN_LOG_VERBOSE);
                out << (outliers > 2 ? "No straight line: too far from line. Distance= "
                                     : "Too far from straight line. Distance= ")
                    << r;
                details(out, true);
            }
            if (outliers > 2) {
                return 0;
            }
            continue;
        }
        if (e - q > static_cast<float>(m_minDistForBackwardsMovement)) {
            ++inverse;
            if (inverse > 2) {
                LogRing(*m_logger, trajectory);
                if (duz_gesture_log::IsOn(*m_logger)) {
                    NALoggerHelper out(*m_logger, duz_gesture_log::kMask, XN_LOG_VERBOSE);
                    out << "Too many inverse movements. Distance= " << (e - q);
                    details(out, false);
                }
                return 0;
            }
        }
        if (q0 - e > required) {
            LogRing(*m_logger, trajectory);
            if (duz_gesture_log::IsOn(*m_logger)) {
                NALoggerHelper out(*m_logger, duz_gesture_log::kMask, XN_LOG_VERBOSE);
                out << "Reached required distance along straight line. Distance= " << (q0 - e);
                details(out, false);
            }
            segmentSlot = j;
            line = fitted;
            return 1;
        }
        lastAccepted = j;
        q = e;
        outliers = 0;
    }
    return 0;
}

void DUZStraightLinesGestureRecognizer::AnalyzeVelocityAlongLine(NATrajectory& trajectory, int frame,
                                                                 Line3D<float>& line, float& velocityAtFurthestPoint,
                                                                 float& dMaxParallelVelocity, float& dMaxPerpVelocity,
                                                                 int& bDeviationFromLine, int& iFurthestPointIndex) {
    const int s = SlotOf(frame);
    velocityAtFurthestPoint = 0.0f;
    dMaxParallelVelocity = 0.0f;
    dMaxPerpVelocity = 0.0f;
    bDeviationFromLine = 0;
    iFurthestPointIndex = s;
    const Vector3D<float> along = line.m_direction;
    const uint32_t* ids = trajectory.m_frameIds;
    int good = s;
    int empty = 0;
    int bad = 0;
    int j = Back(s);
    bool endedOnBadSamples = false;
    for (int pass = 0; pass < m_lookBackFrames; ++pass) {
        if (ids[j] == 0) {
            ++empty;
            j = Back(j);
            continue;
        }
        if (ids[j] > ids[good]) {
            DUZ_GESTURE_LOG(*m_logger) << "Reached end of trajectory\n";
            break;
        }
        const Vector3D<float>& v = trajectory.m_velocities[j];
        if (!NATrajectory::IsSetVelocity(v)) {
            empty = 0;
            j = Back(j);
            continue;
        }
        const float parallel = v.Dot(along);
        const float perpendicular = v.Magnitude() - parallel;
        const bool against = parallel < 0;
        // 0 over 0 is not above the bound: a still sample is a good one.
        const bool sideways = !against && std::fabs(perpendicular / parallel) > m_minThresholdOnVelocity;
        if (against || sideways) {
            ++bad;
            empty = 0;
            if (duz_gesture_log::IsOn(*m_logger)) {
                NALoggerHelper(*m_logger, duz_gesture_log::kMask, XN_LOG_VERBOSE)
                    << (against ? "Parallel velocity at opposite direction. V_parallel = "
                                : "Perp. velocity too high. V_parallel = ")
                    << parallel << " V_perp = " << perpendicular << " Point: " << trajectory.m_positions[j]
                    << " Line direction: " << along << " Start index: " << frame << " Start frame: " << ids[s]
                    << " current index: " << j << " Current frame: " << ids[j]
                    << " dMaxParallelVelocity: " << dMaxParallelVelocity << " dMaxPerpVelocity: " << dMaxPerpVelocity;
            }
            if (bad == 1) {
                iFurthestPointIndex = j;
                velocityAtFurthestPoint = parallel;
            }
            if (bad >= 3) {
                bDeviationFromLine = 1;
                endedOnBadSamples = true;
                break;
            }
            // A sample against the line is looked at again; a sideways one
            // lets the walk go on.
            if (sideways) {
                j = Back(j);
            }
            continue;
        }
        dMaxParallelVelocity = std::max(dMaxParallelVelocity, parallel);
        dMaxPerpVelocity = std::max(dMaxPerpVelocity, perpendicular);
        good = j;
        bad = 0;
        empty = 0;
        j = Back(j);
    }
    if (!endedOnBadSamples && empty > 5) {
        bDeviationFromLine = 1;
    }
    DUZ_GESTURE_LOG(*m_logger) << "Pause: Reached furthermost point. Line direction: " << along
                               << " Start index: " << frame << " Start frame: " << ids[s]
                               << " bDeviationFromLine: " << bDeviationFromLine
                               << " iFurthestPointIndex: " << iFurthestPointIndex
                               << " Furthest point frame: " << ids[iFurthestPointIndex]
                               << " Velocity ratio: " << velocityAtFurthestPoint / dMaxParallelVelocity;
}

int DUZStraightLinesGestureRecognizer::IdentifyPause(NATrajectory& trajectory, int centerSlot, float speedScale,
                                                     int useForwardDirection, Vector3D<float> forwardDirection,
                                                     int useBackwardDirection, Vector3D<float> backwardDirection,
                                                     int& iStartOfPauseIndex, int& iEndOfPauseIndex) {
    const int c = SlotOf(centerSlot);
    const Vector3D<float>* p = trajectory.m_positions;
    const uint32_t* ids = trajectory.m_frameIds;
    int start = c;
    int end = c;
    int backward = c;
    int forward = c;
    bool backwardActive = true;
    bool forwardActive = true;
    const auto slow = [&](const Vector3D<float>& step, double seconds, int useDirection,
                          const Vector3D<float>& direction) {
        const Vector3D<float> u = step / static_cast<float>(seconds);
        const float measure = (useDirection != 0 ? std::fabs(u.Dot(direction)) : u.Magnitude()) / speedScale;
        return measure < m_minThresholdOnVelocity;
    };
    while (backwardActive || forwardActive) {
        if (backwardActive) {
            backward = Back(backward);
            if (ids[backward] >= ids[c]) {
                backwardActive = false;
            } else if (ids[backward] != 0) {
                if ((p[backward] - p[end]).Magnitude() > kMaxPauseExtent) {
                    backwardActive = false;
                } else if (slow(p[backward] - p[start], SecondsBetween(trajectory, start, backward),
                                useBackwardDirection, backwardDirection)) {
                    start = backward;
                } else {
                    backwardActive = false;
                }
            }
        }
        if (forwardActive) {
            forward = Forward(forward);
            if (ids[forward] <= ids[c]) {
                forwardActive = false;
            } else if ((p[start] - p[forward]).Magnitude() > kMaxPauseExtent) {
                forwardActive = false;
            } else if (slow(p[forward] - p[end], SecondsBetween(trajectory, end, forward), useForwardDirection,
                            forwardDirection)) {
                end = forward;
            } else {
                forwardActive = false;
            }
        }
    }
    const double seconds = SecondsBetween(trajectory, start, end);
    const float extent = (p[end] - p[start]).Magnitude();
    const auto tail = [&](NALoggerHelper& out) {
        out << " iStartOfPauseIndex = " << start << " iEndOfPauseIndex= " << end
            << " Line direction: " << forwardDirection;
    };
    if (seconds <= kMinPauseSeconds) {
        if (duz_gesture_log::IsOn(*m_logger)) {
            NALoggerHelper out(*m_logger, duz_gesture_log::kMask, XN_LOG_VERBOSE);
            out << "Pause not detected. Time too short between start and end. Delta T = " << seconds;
            tail(out);
        }
        LogRing(*m_logger, trajectory);
        return 0;
    }
    if (extent > kMaxPauseExtent) {
        if (duz_gesture_log::IsOn(*m_logger)) {
            NALoggerHelper out(*m_logger, duz_gesture_log::kMask, XN_LOG_VERBOSE);
            out << "Pause not detected. Dist too long between start and end. Dist = " << extent;
            tail(out);
        }
        LogRing(*m_logger, trajectory);
        return 0;
    }
    if (duz_gesture_log::IsOn(*m_logger)) {
        NALoggerHelper out(*m_logger, duz_gesture_log::kMask, XN_LOG_VERBOSE);
        out << "Pause detected. Dist = " << extent;
        tail(out);
    }
    iStartOfPauseIndex = start;
    iEndOfPauseIndex = end;
    return 1;
}

int DUZStraightLinesGestureRecognizer::IdentifyDirectionChange(NATrajectory& trajectory, int frame,
                                                               Line3D<float> line, int useBackwardDirection,
                                                               Vector3D<float> backwardDirection,
                                                               int& iStartOfPauseIndex, int& iEndOfPauseIndex) {
    float velocityAtFurthest = 0.0f;
    float maxParallel = 0.0f;
    float maxPerpendicular = 0.0f;
    int deviation = 0;
    int furthest = 0;
    AnalyzeVelocityAlongLine(trajectory, frame, line, velocityAtFurthest, maxParallel, maxPerpendicular, deviation,
                             furthest);
    if (deviation == 0 || !(m_minThresholdOnVelocity > velocityAtFurthest / maxParallel)) {
        return 0;
    }
    return IdentifyPause(trajectory, furthest, maxParallel, 1, line.m_direction, useBackwardDirection,
                         backwardDirection, iStartOfPauseIndex, iEndOfPauseIndex);
}
