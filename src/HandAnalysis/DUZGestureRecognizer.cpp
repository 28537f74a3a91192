#include <algorithm>
#include <cmath>

#include "HandAnalysis/DUZGestureRecognizer.h"
#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"

namespace {

// The complete-wave test weighs its four swings, half periods and speeds:
// the oldest counts least, the newest half.
constexpr float kWeights[4] = {0.2f, 1.0f, 1.0f, 0.5f};
constexpr float kWeightSum = 2.7f;

void WeightedMeanAndSpread(const float (&values)[4], float& mean, float& spread) {
    float sum = 0.0f;
    for (int i = 0; i < 4; ++i) {
        sum += kWeights[i] * values[i];
    }
    mean = sum / kWeightSum;
    float squares = 0.0f;
    for (int i = 0; i < 4; ++i) {
        const float d = values[i] - mean;
        squares += kWeights[i] * d * d;
    }
    spread = std::sqrt(squares / kWeightSum);
}

}  // namespace

bool WaveGestureRecognizer::Apply(const FittedTrajectory& trajectory, SensorTime& start, SensorTime& end,
                                  Vector3D<float>& position) const {
    const FittedTrajectory::ExtremaList& extrema = trajectory.GetExtremaAlongAxis(eXAxis);
    const int n = static_cast<int>(extrema.size());
    if (n <= 5) {
        return false;
    }
    return DetectAtInterval(trajectory, extrema, 0, n - 1, start, end, position) ||
           DetectAtInterval(trajectory, extrema, 0, n - 2, start, end, position);
}

WaveGestureRecognizer::TimingResult WaveGestureRecognizer::CheckTiming(const FittedTrajectory::ExtremaList& extrema,
                                                                      int last) {
    if (last < 4 || last >= static_cast<int>(extrema.size())) {
        return eNoFiveExtrema;
    }
    const FittedTrajectory::Extrema3DType* e[5];
    for (int i = 0; i < 5; ++i) {
        e[i] = &extrema[static_cast<size_t>(last - 4 + i)];
    }
    float swings[4];
    for (int i = 0; i < 4; ++i) {
        swings[i] = std::fabs(e[i]->X - e[i + 1]->X);
        if (OutOfRange(swings[i], MINIMAL_WAVE_AMPLITUDE_X, MAXIMAL_WAVE_AMPLITUDE_X)) {
            return eSwingOutOfRange;
        }
    }
    float swingMean = 0.0f;
    float swingSpread = 0.0f;
    WeightedMeanAndSpread(swings, swingMean, swingSpread);

    // One pause out of range is forgiven.
    float pauses[4];
    int pausesOutside = 0;
    for (int i = 0; i < 4; ++i) {
        pauses[i] = Pause(*e[i + 1]);
        if (OutOfRange(pauses[i], MINIMUM_PAUSE_TIME, MAXIMUM_PAUSE_TIME)) {
            ++pausesOutside;
        }
    }
    if (pausesOutside > 1) {
        return ePausesOutOfRange;
    }

    const SensorTime periodEnds[5] = {e[0]->T1, Middle(*e[1]), Middle(*e[2]), Middle(*e[3]), e[4]->T0};
    float periods[4];
    float speeds[4];
    for (int i = 0; i < 4; ++i) {
        periods[i] = periodEnds[i + 1].SecondsSince(periodEnds[i]);
        if (periods[i] < MINIMAL_PERIOD[i]) {
            return eHalfPeriodTooShort;
        }
        speeds[i] = swings[i] / periods[i];
        if (OutOfRange(speeds[i], MINIMAL_VELOCITY, MAXIMAL_VELOCITY)) {
            return eSpeedOutOfRange;
        }
    }
    float periodMean = 0.0f;
    float periodSpread = 0.0f;
    WeightedMeanAndSpread(periods, periodMean, periodSpread);
    float speedMean = 0.0f;
    float speedSpread = 0.0f;
    WeightedMeanAndSpread(speeds, speedMean, speedSpread);
    // A regular rhythm or a regular amplitude is enough.
    if (periodSpread > MAXIMAL_PERIOD_DEVIATION_RATIO * periodMean &&
        swingSpread > MAXIMAL_AMPLITUDE_DEVIATION_RATIO_X * swingMean) {
        return eIrregularRhythm;
    }
    if (speedSpread > MAXIMAL_VELOCITY_DEVIATION_RATIO * speedMean) {
        return eIrregularSpeed;
    }

    const float pauseMean = (pauses[0] + pauses[1] + pauses[2] + pauses[3]) / 4.0f;
    float pauseSquares = 0.0f;
    for (int i = 0; i < 4; ++i) {
        const float d = pauses[i] - pauseMean;
        pauseSquares += d * d;
    }
    if (std::sqrt(pauseSquares / 4.0f) > MAXIMAL_PAUSE_DEVIATION_RATIO * pauseMean) {
        return eIrregularPauses;
    }
    return eRegularTiming;
}

bool WaveGestureRecognizer::DetectAtInterval(const FittedTrajectory& trajectory,
                                             const FittedTrajectory::ExtremaList& extrema, int /*first*/, int last,
                                             SensorTime& start, SensorTime& end, Vector3D<float>& position) const {
    if (CheckTiming(extrema, last) != eRegularTiming) {
        return false;
    }
    const FittedTrajectory::Extrema3DType& e0 = extrema[static_cast<size_t>(last - 4)];
    const FittedTrajectory::Extrema3DType& e1 = extrema[static_cast<size_t>(last - 3)];
    const FittedTrajectory::Extrema3DType& e4 = extrema[static_cast<size_t>(last)];

    Statistics3D<float> stats;
    if (!HasWaveShape(trajectory, Middle(e1), e4.T0, stats)) {
        return false;
    }
    float outliers = 0.0f;
    float total = 0.0f;
    trajectory.CountOutliers(e0.T1, e4.T0, outliers, total);
    if (outliers / total > MAXIMAL_OUTLIER_RATIO) {
        return false;
    }

    start = e0.T1;
    end = e4.T0;
    position = stats.IsEmpty() ? Vector3D<float>() : stats.m_sum / stats.m_fWeight;
    return true;
}

bool WaveGestureRecognizer::ApplyStart(const FittedTrajectory& trajectory, Vector3D<float>& position) const {
    const FittedTrajectory::ExtremaList& extrema = trajectory.GetExtremaAlongAxis(eXAxis);
    const size_t n = extrema.size();
    if (n < 4) {
        return false;
    }
    const FittedTrajectory::Extrema3DType* e[4];
    for (size_t i = 0; i < 4; ++i) {
        e[i] = &extrema[n - 4 + i];
    }
    float swings[3];
    for (int i = 0; i < 3; ++i) {
        swings[i] = std::fabs(e[i]->X - e[i + 1]->X);
        if (OutOfRange(swings[i], MINIMAL_WAVE_AMPLITUDE_X, MAXIMAL_WAVE_AMPLITUDE_X)) {
            return false;
        }
    }
    if (OutOfRange(Pause(*e[2]), MINIMUM_PAUSE_TIME, MAXIMUM_PAUSE_TIME)) {
        return false;
    }
    const SensorTime periodEnds[4] = {Middle(*e[0]), Middle(*e[1]), Middle(*e[2]), e[3]->T0};
    for (int i = 0; i < 3; ++i) {
        const float period = periodEnds[i + 1].SecondsSince(periodEnds[i]);
        if (period < MINIMAL_PERIOD[i] ||
            OutOfRange(swings[i] / period, MINIMAL_VELOCITY, MAXIMAL_VELOCITY)) {
            return false;
        }
    }
    Statistics3D<float> stats;
    if (!HasWaveShape(trajectory, Middle(*e[1]), e[3]->T0, stats)) {
        return false;
    }
    position = e[3]->Position();
    return true;
}

bool WaveGestureRecognizer::ValidateRecentWave(const FittedTrajectory& trajectory) const {
    const FittedTrajectory::ExtremaList& extrema = trajectory.GetExtremaAlongAxis(eXAxis);
    const size_t n = extrema.size();
    if (n < 3) {
        return false;
    }
    const FittedTrajectory::Extrema3DType& a = extrema[n - 3];
    const FittedTrajectory::Extrema3DType& b = extrema[n - 2];
    const FittedTrajectory::Extrema3DType& c = extrema[n - 1];
    const float swing = std::fabs(a.X - b.X);
    const float halfPeriod = Middle(b).SecondsSince(a.T1);
    return !OutOfRange(swing, MINIMAL_WAVE_AMPLITUDE_X, MAXIMAL_WAVE_AMPLITUDE_X) &&
           std::fabs(b.X - c.X) <= MAXIMAL_WAVE_AMPLITUDE_X && halfPeriod >= MINIMAL_PERIOD[0] &&
           !OutOfRange(swing / halfPeriod, MINIMAL_VELOCITY, MAXIMAL_VELOCITY);
}

bool WaveGestureRecognizer::IsReadyForNextStage(const FittedTrajectory& trajectory) const {
    const FittedTrajectory::ExtremaList& extrema = trajectory.GetExtremaAlongAxis(eXAxis);
    const size_t n = extrema.size();
    if (n < 2) {
        return false;
    }
    const Vector3D<float> latest = trajectory.GetLatestPosition();
    if (latest == Vector3D<float>()) {
        return false;  // no point yet
    }
    const float distance = std::fabs(latest.x - extrema[n - 2].X);
    return MINIMAL_WAVE_AMPLITUDE_X < distance && distance < MAXIMAL_WAVE_AMPLITUDE_X;
}

bool WaveGestureRecognizer::HasWaveShape(const FittedTrajectory& trajectory, const SensorTime& from,
                                         const SensorTime& to, Statistics3D<float>& stats) {
    stats.Reset(Vector3D<float>());
    trajectory.GetStatistics3D(from, to, stats);
    if (!stats.IsEmpty()) {
        Vector3D<float> values;
        Matrix3X3<float> vectors;
        stats.GetCovariance().SolveEigenproblem(values, vectors, 1e-8f);
        if (std::fabs(vectors.GetColumn(0).x) < DIRECTION_X_COS_THRESHOLD) {
            return false;
        }
    }
    // Spreads largest first; a ratio of 0 over 0 fails neither test.
    const Vector3D<float> spread = stats.GetStandardDeviation();
    return !(spread.x / spread.y < MINIMUM_MAJOR_TO_MID_DIRECTION_RATIO ||
             spread.x / spread.z < MINIMUM_MAJOR_TO_MINOR_DIRECTION_RATIO);
}

namespace {

// Near range: the loosest cosine, with the line crossing near the sensor.
constexpr float kNearDirectionCos = 0.7f;
// Share of the push that the pull back must travel, clamped to [90, 140] mm.
constexpr float kPullBackShare = 0.6f;
constexpr float kPullBackShareMin = 90.0f;
constexpr float kPullBackShareMax = 140.0f;
// Depth span before the tip over which the push's direction is judged, mm.
constexpr float kDirectionSpan = 210.0f;
// Push time and shortest pause of a push that has just ended, s.
constexpr float kStartPushTimeMin = 0.15f;
constexpr float kStartPushTimeMax = 1.5f;
constexpr float kStartPauseMin = 0.06f;

}  // namespace

float PushGestureRecognizer::DirectionCosine(const Statistics3D<float>& stats, Vector3D<float>& axis,
                                             Vector3D<float>& mean) {
    Vector3D<float> values;
    stats.GetCovariance().SolveSingleEigenproblem(0, values, axis, 1e-8f);
    mean = stats.IsEmpty() ? Vector3D<float>() : stats.m_sum / stats.m_fWeight + stats.m_referencePoint;
    return std::fabs(axis.Dot(mean.Normalized()));
}

bool PushGestureRecognizer::HasLineShape(const Statistics3D<float>& stats) {
    // Spreads largest first; a ratio of 0 over 0 does not reject.
    const Vector3D<float> spread = stats.GetStandardDeviation();
    return !(spread.y > MAXIMUM_DEVIATION_FROM_LINE || spread.x / spread.y < MINIMUM_MAJOR_TO_MID_DIRECTION_RATIO ||
             spread.x / spread.z < MINIMUM_MAJOR_TO_MINOR_DIRECTION_RATIO);
}

bool PushGestureRecognizer::Apply(const FittedTrajectory& trajectory, SensorTime& start, SensorTime& end,
                                  Vector3D<float>& position) const {
    const FittedTrajectory::ExtremaList& extrema = trajectory.GetExtremaAlongAxis(eZAxis);
    const int n = static_cast<int>(extrema.size());
    if (n <= 2) {
        return false;
    }
    for (int k = n - 1; k >= 2; --k) {
        if (DetectAtInterval(trajectory, extrema, 0, k, start, end)) {
            position = trajectory.FittedPosAtTime(end);
            return true;
        }
    }
    return false;
}

bool PushGestureRecognizer::DetectAtInterval(const FittedTrajectory& trajectory,
                                             const FittedTrajectory::ExtremaList& extrema, int /*first*/, int last,
                                             SensorTime& start, SensorTime& end) const {
    if (last < 2 || last >= static_cast<int>(extrema.size())) {
        return false;
    }
    const FittedTrajectory::Extrema3DType& A = extrema[static_cast<size_t>(last - 2)];  // before the push
    const FittedTrajectory::Extrema3DType& B = extrema[static_cast<size_t>(last - 1)];  // the tip
    const FittedTrajectory::Extrema3DType& C = extrema[static_cast<size_t>(last)];      // after the pull back

    if (OutOfRange(C.T0.SecondsSince(A.T1), MINIMAL_PUSH_TIME, MAXIMAL_PUSH_TIME) ||
        OutOfRange(Pause(B), MINIMAL_PAUSE_TIME, MAXIMUM_PAUSE_TIME)) {
        return false;
    }
    const float push = B.Z - A.Z;
    const float pullBack = C.Z - B.Z;
    if (OutOfRange(push, -MAXIMAL_FORWARD_PUSH_DISTANCE, -MINIMAL_FORWARD_PUSH_DISTANCE) ||
        OutOfRange(pullBack, MINIMAL_BACKWARD_PUSH_DISTANCE, MAXIMAL_BACKWARD_PUSH_DISTANCE)) {
        return false;
    }
    const float backSpeed = pullBack / C.T0.SecondsSince(B.T1);
    const float forwardSpeed = -push / B.T0.SecondsSince(A.T1);
    if (backSpeed / forwardSpeed > BACK2FORWARD_VELOCITY_RATIO ||
        forwardSpeed / backSpeed > FORWARD2BACK_VELOCITY_RATIO) {
        return false;
    }
    if (pullBack < std::min(std::max(kPullBackShare * -push, kPullBackShareMin), kPullBackShareMax)) {
        return false;
    }

    // Only the last stretch of a long push enters the direction and shape.
    SensorTime fitStart = A.T1;
    if (push < -kDirectionSpan) {
        fitStart = trajectory.ZCrossingBackSearch(A.T1, B.T0, B.Z + kDirectionSpan);
    }
    Statistics3D<float> stats;
    trajectory.GetStatistics3D(fitStart, C.T0, stats);
    Vector3D<float> axis;
    Vector3D<float> mean;
    const float cosine = DirectionCosine(stats, axis, mean);
    bool crosses = false;
    float crossingDistance = 0.0f;
    if (std::fabs(axis.z) > 1e-8f) {
        const float t = -mean.z / axis.z;
        if (t != 0.0f) {
            crosses = true;
            crossingDistance = (mean + axis * t).Magnitude();
        }
    }
    if (crosses && B.Z < CLOSE_DISTANCE) {
        if (cosine < kNearDirectionCos || crossingDistance > PUSH_RAY_INTERSECTION_MAX_DISTANCE) {
            return false;
        }
    } else if (cosine < DIRECTION_Z_COS_THRESHOLD) {
        return false;
    }
    if (!HasLineShape(stats)) {
        return false;
    }

    start = A.T1;
    end = C.T0;
    float outliers = 0.0f;
    float total = 0.0f;
    trajectory.CountOutliers(A.T1, B.T0, outliers, total);
    if (outliers / total > MAXIMAL_OUTLIER_RATIO_FORWARD) {
        return false;
    }
    trajectory.CountOutliers(B.T1, C.T0, outliers, total);
    if (outliers / total > MAXIMAL_OUTLIER_RATIO_BACKWARD) {
        return false;
    }
    trajectory.CountOutliers(A.T1, C.T0, outliers, total);
    if (total - outliers < MINIMAL_VALID_POINTS_NUM) {
        return false;
    }
    return !(trajectory.MonotonicityScore(A.T1, B.T0, -1.0f) < MINIMAL_MONOTONCITY ||
             trajectory.MonotonicityScore(B.T1, C.T0, 1.0f) < MINIMAL_MONOTONCITY);
}

bool PushGestureRecognizer::ApplyStart(const FittedTrajectory& trajectory, Vector3D<float>& position) const {
    const FittedTrajectory::ExtremaList& extrema = trajectory.GetExtremaAlongAxis(eZAxis);
    const size_t n = extrema.size();
    if (n <= 1) {
        return false;
    }
    const FittedTrajectory::Extrema3DType& B = extrema[n - 1];  // the tip
    const FittedTrajectory::Extrema3DType& A = extrema[n - 2];
    if (OutOfRange(B.T0.SecondsSince(A.T1), kStartPushTimeMin, kStartPushTimeMax) ||
        OutOfRange(Pause(B), kStartPauseMin, MAXIMUM_PAUSE_TIME) ||
        OutOfRange(B.Z - A.Z, -MAXIMAL_FORWARD_PUSH_DISTANCE, -MINIMAL_FORWARD_PUSH_DISTANCE)) {
        return false;
    }
    Statistics3D<float> stats;
    trajectory.GetStatistics3D(A.T1, B.T0, stats);
    Vector3D<float> axis;
    Vector3D<float> mean;
    if (DirectionCosine(stats, axis, mean) < DIRECTION_Z_COS_THRESHOLD_START || !HasLineShape(stats) ||
        trajectory.MonotonicityScore(A.T1, B.T0, -1.0f) < MINIMAL_MONOTONCITY) {
        return false;
    }
    position = B.Position();
    return true;
}

int PushGestureRecognizer::CheckDistance(const FittedTrajectory& trajectory, int notStarted,
                                         const float& referenceDepth, int& reached) const {
    reached = 0;
    const FittedTrajectory::ExtremaList& extrema = trajectory.GetExtremaAlongAxis(eZAxis);
    const size_t n = extrema.size();
    if (n < (notStarted != 0 ? 2u : 3u)) {
        return 0;
    }
    // Toward the sensor before the start, away from it after.
    const float sign = notStarted != 0 ? -1.0f : 1.0f;
    const size_t k = notStarted != 0 ? n - 2 : n - 3;
    const Vector3D<float> latest = trajectory.GetLatestPosition();
    const SensorTime latestTime = trajectory.GetLatestTime();

    const float travelled = (latest.z - extrema[n - 2].Z) * sign;
    bool near = travelled >= DISTANCE_FOR_NOTIFICATION_ALONG_PUSH;
    if (notStarted != 0 && travelled > MINIMAL_FORWARD_PUSH_DISTANCE) {
        reached = 1;
    }
    if (referenceDepth != 0.0f) {
        near = near && (latest.z - referenceDepth) * sign >= DISTANCE_FOR_NOTIFICATION_ALONG_PUSH;
    }
    Statistics3D<float> stats;
    trajectory.GetStatistics3D(extrema[k].T1, latestTime, stats);
    if (stats.m_nCount <= 1) {
        reached = 0;
        return 0;
    }
    Vector3D<float> axis;
    Vector3D<float> mean;
    const bool ok = !(DirectionCosine(stats, axis, mean) < DIRECTION_Z_COS_THRESHOLD_START) && HasLineShape(stats);
    if (notStarted != 0) {
        if (trajectory.MonotonicityScore(extrema[k].T1, latestTime, -1.0f) < MINIMAL_MONOTONCITY) {
            reached = 0;
            return 0;
        }
    } else if (trajectory.MonotonicityScore(extrema[k].T1, extrema[k + 1].T0, -1.0f) < MINIMAL_MONOTONCITY ||
               trajectory.MonotonicityScore(extrema[k + 1].T1, latestTime, 1.0f) < MINIMAL_MONOTONCITY) {
        return 0;
    }
    if (!ok) {
        reached = 0;
    }
    return near && ok ? 1 : 0;
}
