#include "HandAnalysis/DUZWaveGestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "HandAnalysis/DUZGestureLog.h"
#include "HandAnalysis/DUZGestureRecognizer.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

using duz_gesture_log::Back;
using duz_gesture_log::Forward;
using duz_gesture_log::LogRing;
using duz_gesture_log::SlotOf;

namespace {

constexpr const char* kEndOfTrajectory =
    "Reached end of trajectory, less than MIN_NUM_FRAMES_FOR_WAVE_GESTURE frames\n";

}  // namespace

DUZWaveGestureRecognizer::DUZWaveGestureRecognizer()
    : m_waveMinNumberOfFlips(4), m_waveMinLength(50), m_waveMaxDeviationFromMeanCycleLength(50) {}

int DUZWaveGestureRecognizer::Initialize(const std::string& iniFile, int verbose) {
    return ReadParameters(iniFile, verbose, 1);
}

int DUZWaveGestureRecognizer::ReadParameters(const std::string& iniFile, int verbose, int /*initial*/) {
    const std::string section = "FocusRecognizer";
    const bool echo = verbose != 0;
    ReadFromINI(iniFile, section, "WaveMinNumberOfFlips", m_waveMinNumberOfFlips, echo);
    ReadFromINI(iniFile, section, "WaveMinLength", m_waveMinLength, echo);
    ReadFromINI(iniFile, section, "WaveMaxDeviationFromMeanCycleLength", m_waveMaxDeviationFromMeanCycleLength,
                echo);
    return 1;
}

void DUZWaveGestureRecognizer::ClearStatus(NATrajectory& trajectory) {
    DUZFocusGestureTrajectory* focus = dynamic_cast<DUZFocusGestureTrajectory*>(&trajectory);
    if (focus != nullptr) {
        focus->m_gestureStatus[GESTURE_WAVE] = GESTURE_STATUS_NONE;
    }
}

int DUZWaveGestureRecognizer::CalculateMeanWavePosition(NATrajectory& trajectory, Vector3D<float>& mean) {
    const int c = SlotOf(trajectory.m_latestFrameId);
    Vector3D<float> sum(0, 0, 0);
    int count = 0;
    int previous = c;
    for (int i = 0; i < kMeanSlots; ++i) {
        const int j = Back(c, i);
        if (trajectory.m_frameIds[j] == 0) {
            continue;
        }
        if (trajectory.m_frameIds[j] > trajectory.m_frameIds[previous]) {
            DUZ_GESTURE_LOG(*m_logger) << kEndOfTrajectory;
            ClearStatus(trajectory);
            return 0;
        }
        sum += trajectory.m_positions[j];
        ++count;
        previous = j;
    }
    if (count > 0) {
        mean = sum / static_cast<float>(count);
    }
    return 1;
}

int DUZWaveGestureRecognizer::CountVelocityFlips(NATrajectory& trajectory, Vector3D<float>& mean, int& flipCount,
                                                 int* flipSlots) {
    std::fill(flipSlots, flipSlots + kMaxFlips, 0);
    mean = Vector3D<float>(0, 0, 0);
    flipCount = 0;
    const int c = SlotOf(trajectory.m_latestFrameId);
    const Vector3D<float>* v = trajectory.m_velocities;
    Vector3D<float> sum(0, 0, 0);
    int count = 0;
    int b = c;
    int a = c;
    bool armed = true;
    bool fast = false;
    for (int i = 0; i < kFlipSlots; ++i) {
        const int j = Back(c, i);
        if (trajectory.m_frameIds[j] == 0) {
            continue;
        }
        if (trajectory.m_frameIds[j] > trajectory.m_frameIds[b]) {
            DUZ_GESTURE_LOG(*m_logger) << kEndOfTrajectory;
            ClearStatus(trajectory);
            return 0;
        }
        if (armed && v[j].Magnitude() > kFastSpeed) {
            fast = true;
        }
        if (v[a].x * v[j].x > 0) {
            armed = true;
        } else if (fast) {
            flipSlots[flipCount++] = b;
            if (flipCount >= kMaxFlips) {
                LogRing(*m_logger, trajectory);
                DUZ_GESTURE_LOG(*m_logger) << "Wave detector failre: Too many velocity changes\n";
                ClearStatus(trajectory);
                return 0;
            }
            if (flipCount >= m_waveMinNumberOfFlips) {
                mean = sum / static_cast<float>(count);
                return 1;
            }
            armed = false;
            fast = false;
        }
        sum += trajectory.m_positions[j];
        ++count;
        a = b;
        b = j;
    }
    if (count > 0) {
        mean = sum / static_cast<float>(count);
    }
    return 1;
}

void DUZWaveGestureRecognizer::ParabolaFit(NATrajectory& trajectory, int firstSlot, int lastSlot,
                                           Vector3D<float>& coefficients) {
    float s[5] = {0, 0, 0, 0, 0};
    float t[3] = {0, 0, 0};
    const int last = SlotOf(lastSlot);
    for (int j = SlotOf(firstSlot);; j = Forward(j)) {
        const double x = trajectory.m_positions[j].x;
        const float y = trajectory.m_positions[j].y;
        double power = 1.0;
        for (int k = 0; k < 5; ++k) {
            s[k] += static_cast<float>(power);
            if (k < 3) {
                t[k] += static_cast<float>(power * y);
            }
            power *= x;
        }
        if (j == last) {
            break;
        }
    }
    // The normal equations [S4 S3 S2; S3 S2 S1; S2 S1 S0] (A B C) = (T2 T1
    // T0), solved by the adjugate; the sums run to 1e13 and more, so the
    // solve is in double.
    const double m00 = s[4], m01 = s[3], m02 = s[2], m11 = s[2], m12 = s[1], m22 = s[0];
    const double c00 = m11 * m22 - m12 * m12;
    const double c01 = m02 * m12 - m01 * m22;
    const double c02 = m01 * m12 - m02 * m11;
    const double c11 = m00 * m22 - m02 * m02;
    const double c12 = m01 * m02 - m00 * m12;
    const double c22 = m00 * m11 - m01 * m01;
    const double determinant = m00 * c00 + m01 * c01 + m02 * c02;
    if (std::fabs(determinant) <= 1e-8) {
        coefficients = Vector3D<float>(0, 0, 0);
        return;
    }
    const double r0 = t[2], r1 = t[1], r2 = t[0];
    coefficients = Vector3D<float>(static_cast<float>((c00 * r0 + c01 * r1 + c02 * r2) / determinant),
                                   static_cast<float>((c01 * r0 + c11 * r1 + c12 * r2) / determinant),
                                   static_cast<float>((c02 * r0 + c12 * r1 + c22 * r2) / determinant));
}

GestureStatus DUZWaveGestureRecognizer::Run(NATrajectory& trajectory, int frameId, Vector3D<float>& position,
                                            int /*hasForearm*/, int useRobust) {
    DUZ_GESTURE_LOG(*m_logger) << "DUZWaveGestureRecognizer::Run, Frame ID " << frameId << "\n";
    DUZFocusGestureTrajectory* focus = dynamic_cast<DUZFocusGestureTrajectory*>(&trajectory);
    if (focus == nullptr) {
        return GESTURE_STATUS_NONE;
    }
    return useRobust != 0 ? RunRobust(*focus, frameId, position) : RunPlain(*focus, position);
}

GestureStatus DUZWaveGestureRecognizer::RunPlain(DUZFocusGestureTrajectory& trajectory, Vector3D<float>& position) {
    int& status = trajectory.m_gestureStatus[GESTURE_WAVE];
    Vector3D<float> mean(0, 0, 0);
    if (CalculateMeanWavePosition(trajectory, mean) == 0) {
        return GESTURE_STATUS_NONE;
    }
    int flips[kMaxFlips];
    int n = 0;
    if (CountVelocityFlips(trajectory, mean, n, flips) == 0) {
        return GESTURE_STATUS_NONE;
    }
    position = mean;
    if (n <= m_waveMinNumberOfFlips / 2) {
        status = GESTURE_STATUS_NONE;
        return GESTURE_STATUS_NONE;
    }

    const int c = SlotOf(trajectory.m_latestFrameId);
    const int oldest = flips[n - 1];
    Vector3D<float> abc;
    ParabolaFit(trajectory, oldest, c, abc);
    int slots = 0;
    float residualSum = 0.0f;
    float largestResidual = 0.0f;
    float fastest = 0.0f;
    for (int j = oldest;; j = Forward(j)) {
        const Vector3D<float>& p = trajectory.m_positions[j];
        const float residual = std::fabs(abc.x * p.x * p.x + abc.y * p.x + abc.z - p.y);
        residualSum += residual;
        largestResidual = std::max(largestResidual, residual);
        if (NATrajectory::IsSetVelocity(trajectory.m_velocities[j])) {
            fastest = std::max(fastest, trajectory.m_velocities[j].Magnitude());
        }
        ++slots;
        if (j == c) {
            break;
        }
    }
    const float fitError = (residualSum - largestResidual) / static_cast<float>(slots);
    if (fitError > kMaxParabolaError) {
        LogRing(*m_logger, trajectory);
        DUZ_GESTURE_LOG(*m_logger) << "Fit to parabola not good enough, fSumAbsDiffs=" << fitError;
        status = GESTURE_STATUS_NONE;
        return GESTURE_STATUS_NONE;
    }

    const int pairs = n - 1;
    float meanTime = 0.0f;
    float meanLength = 0.0f;
    float durations[kMaxFlips];
    Vector3D<float> swings[kMaxFlips];
    for (int i = 1; i < n; ++i) {
        durations[i] = static_cast<float>(static_cast<double>(static_cast<int64_t>(trajectory.m_times[flips[i - 1]]) -
                                                              static_cast<int64_t>(trajectory.m_times[flips[i]])) *
                                          1e-6);
        swings[i] = trajectory.m_positions[flips[i - 1]] - trajectory.m_positions[flips[i]];
        meanTime += durations[i];
        meanLength += swings[i].Magnitude();
    }
    if (pairs > 0) {
        meanTime /= static_cast<float>(pairs);
        meanLength /= static_cast<float>(pairs);
    }
    const float allowedDeviation = static_cast<float>(
        std::max(static_cast<int>(0.5f * meanLength), m_waveMaxDeviationFromMeanCycleLength));
    int shortSwings = 0;
    for (int i = 1; i < n; ++i) {
        const Vector3D<float>& d = swings[i];
        const float length = d.Magnitude();
        bool failed = true;
        if (std::fabs(meanTime - durations[i]) > kMaxPeriodDeviation) {
            LogRing(*m_logger, trajectory);
            DUZ_GESTURE_LOG(*m_logger) << "Found " << n
                                       << " velocity flips, but they do not have a constant frequency\n";
        } else if (std::fabs(d.y / d.x) > 1.0f || std::fabs(d.z / d.x) > 1.0f) {
            LogRing(*m_logger, trajectory);
            DUZ_GESTURE_LOG(*m_logger) << "Movement is not mainly in X, vCurrentCycle=" << d.x << " " << d.y << " "
                                       << d.z << "\n";
        } else if (std::fabs(meanLength - length) > allowedDeviation) {
            LogRing(*m_logger, trajectory);
            DUZ_GESTURE_LOG(*m_logger) << "Found " << n << " velocity flips, but they deviate from mean cycle length\n";
        } else if (length < static_cast<float>(m_waveMinLength) &&
                   static_cast<float>(++shortSwings) / static_cast<float>(n) > kMaxShortSwingShare) {
            LogRing(*m_logger, trajectory);
            DUZ_GESTURE_LOG(*m_logger) << "Found " << n
                                       << " velocity flips, but the min cycle length was not reached\n";
        } else {
            failed = false;
        }
        if (failed) {
            status = GESTURE_STATUS_NONE;
            return GESTURE_STATUS_NONE;
        }
    }

    LogRing(*m_logger, trajectory);
    if (n < m_waveMinNumberOfFlips) {
        if (status == GESTURE_STATUS_IN_PROGRESS) {
            return GESTURE_STATUS_NONE;
        }
        status = GESTURE_STATUS_IN_PROGRESS;
        return GESTURE_STATUS_IN_PROGRESS;
    }
    DUZ_GESTURE_LOG(*m_logger) << "Gesture detected. Mean AbsDiff from parabola="
                               << (residualSum - largestResidual) / static_cast<float>(SlotOf(c - oldest))
                               << ", Mean cycle length = " << meanLength << ", Mean cycle time = " << meanTime
                               << ", fMaxVelocity = " << fastest;
    DUZ_GESTURE_LOG(*m_logger) << "Reseting candidate\n";
    trajectory.Reset();
    status = GESTURE_STATUS_COMPLETED;
    return GESTURE_STATUS_COMPLETED;
}

GestureStatus DUZWaveGestureRecognizer::RunRobust(DUZFocusGestureTrajectory& trajectory, int frameId,
                                                  Vector3D<float>& position) {
    int& status = trajectory.m_gestureStatus[GESTURE_WAVE];
    SensorTime& time = trajectory.m_gestureTime[GESTURE_WAVE];
    int& value = trajectory.m_gestureValue[GESTURE_WAVE];
    int& flag = trajectory.m_gestureFlag[GESTURE_WAVE];
    FittedTrajectory& fitted = trajectory.m_fittedTrajectory;
    const WaveGestureRecognizer wave;
    const int entry = status;
    GestureStatus result = static_cast<GestureStatus>(entry);

    const FittedTrajectory::ExtremaList& extrema = fitted.GetExtremaAlongAxis(FittedTrajectory::eXAxis);
    const int n = static_cast<int>(extrema.size());
    if (n > 2 && value < n) {
        if (wave.ValidateRecentWave(fitted)) {
            const FittedTrajectory::Extrema3DType& newest = extrema[static_cast<size_t>(n - 1)];
            status = GESTURE_STATUS_IN_PROGRESS;
            time = fitted.GetLatestTime();
            flag = 0;
            position = Vector3D<float>(newest.X, newest.Y, newest.Z);
            result = GESTURE_STATUS_IN_PROGRESS;
        } else {
            status = GESTURE_STATUS_NONE;
            time = SensorTime(0);
            flag = 0;
            result = GESTURE_STATUS_NONE;
        }
    } else if (wave.IsReadyForNextStage(fitted) && flag == 0 &&
               (entry == GESTURE_STATUS_STARTED || entry == GESTURE_STATUS_IN_PROGRESS)) {
        status = GESTURE_STATUS_FURTHER_STAGE;
        time = fitted.GetLatestTime();
        flag = 1;
        position = fitted.GetLatestPosition();
        result = GESTURE_STATUS_FURTHER_STAGE;
    }
    value = n;
    if (status == GESTURE_STATUS_STARTED) {
        if (fitted.GetLatestTime().SecondsSince(time) > kStartTimeout) {
            status = GESTURE_STATUS_NONE;
            time = SensorTime(0);
            position = fitted.GetLatestPosition();
            result = GESTURE_STATUS_NONE;
            flag = 0;
        }
    } else if (wave.ApplyStart(fitted, position)) {
        status = GESTURE_STATUS_STARTED;
        time = fitted.GetLatestTime();
        result = GESTURE_STATUS_STARTED;
        flag = 0;
    }
    const int count = static_cast<int>(extrema.size());
    if (count <= 5) {
        return result;
    }
    for (int k = count - 1; k >= count - 2; --k) {
        SensorTime start;
        SensorTime end;
        if (wave.DetectAtInterval(fitted, extrema, 0, k, start, end, position)) {
            if (duz_gesture_log::IsOn(*m_logger)) {
                NALoggerHelper(*m_logger, duz_gesture_log::kMask, XN_LOG_VERBOSE)
                    << "DUZWaveGestureRecognizer::Run, Frame ID " << frameId << "\n"
                    << "FittedTrajectory " << fitted;
            }
            trajectory.Reset();
            status = GESTURE_STATUS_COMPLETED;
            time = fitted.GetLatestTime();
            return GESTURE_STATUS_COMPLETED;
        }
    }
    return result;
}
