#include "HandAnalysis/WaveGestureRecognizer.h"

#include <cmath>

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

bool WaveGestureRecognizer::DetectAtInterval(const FittedTrajectory& trajectory,
                                             const FittedTrajectory::ExtremaList& extrema, int /*first*/, int last,
                                             SensorTime& start, SensorTime& end, Vector3D<float>& position) const {
    if (last < 4 || last >= static_cast<int>(extrema.size())) {
        return false;
    }
    const FittedTrajectory::Extrema3DType* e[5];
    for (int i = 0; i < 5; ++i) {
        e[i] = &extrema[static_cast<size_t>(last - 4 + i)];
    }

    float swings[4];
    for (int i = 0; i < 4; ++i) {
        swings[i] = std::fabs(e[i]->X - e[i + 1]->X);
        if (OutOfRange(swings[i], MINIMAL_WAVE_AMPLITUDE_X, MAXIMAL_WAVE_AMPLITUDE_X)) {
            return false;
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
        return false;
    }

    const SensorTime periodEnds[5] = {e[0]->T1, Middle(*e[1]), Middle(*e[2]), Middle(*e[3]), e[4]->T0};
    float periods[4];
    float speeds[4];
    for (int i = 0; i < 4; ++i) {
        periods[i] = periodEnds[i + 1].SecondsSince(periodEnds[i]);
        if (periods[i] < MINIMAL_PERIOD[i]) {
            return false;
        }
        speeds[i] = swings[i] / periods[i];
        if (OutOfRange(speeds[i], MINIMAL_VELOCITY, MAXIMAL_VELOCITY)) {
            return false;
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
        return false;
    }
    if (speedSpread > MAXIMAL_VELOCITY_DEVIATION_RATIO * speedMean) {
        return false;
    }

    const float pauseMean = (pauses[0] + pauses[1] + pauses[2] + pauses[3]) / 4.0f;
    float pauseSquares = 0.0f;
    for (int i = 0; i < 4; ++i) {
        const float d = pauses[i] - pauseMean;
        pauseSquares += d * d;
    }
    if (std::sqrt(pauseSquares / 4.0f) > MAXIMAL_PAUSE_DEVIATION_RATIO * pauseMean) {
        return false;
    }

    Statistics3D<float> stats;
    if (!HasWaveShape(trajectory, Middle(*e[1]), e[4]->T0, stats)) {
        return false;
    }
    float outliers = 0.0f;
    float total = 0.0f;
    trajectory.CountOutliers(e[0]->T1, e[4]->T0, outliers, total);
    if (outliers / total > MAXIMAL_OUTLIER_RATIO) {
        return false;
    }

    start = e[0]->T1;
    end = e[4]->T0;
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
