#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

#include "HandAnalysis/DUZFittedTrajectory.h"
#include "QuorLibrary/Math/Parabola.h"
#include "QuorLibrary/Math/QuadraticEquation.h"
#include "QuorLibrary/Utilities/Array2D.h"

namespace {

// The fitter's set-up: 50 iterations, so 49 hypotheses per window.
constexpr int kRansacIterations = 50;
constexpr int kRansacSecondCount = 100;
constexpr float kRansacConfidence = 0.99f;
// Share of the expected point count (from the window's span and the frame
// period) that must be inliers for a window's model to be kept.
constexpr float kExpectedInlierShare = 0.6f;
// A repeated newest stamp is tested against the newest model only this many
// frame periods after that model's end.
constexpr float kExtrapolationReach = 1.2f;
// Spacing of the candidate joint instants of two models.
constexpr float kFusionStepSeconds = 0.03f;

}  // namespace

FittedTrajectory::ModelFitType::ModelFitType()
    : T0(SensorTime::InvalidTime()), T1(SensorTime::InvalidTime()), TBase(SensorTime::InvalidTime()),
      m_firstInlierIndex(-1), m_lastInlierIndex(-1), X(), Y(), Z(), m_samples() {}

FittedTrajectory::ModelFitType::ModelFitType(const SensorTime& t0, const SensorTime& t1, int firstInlierIndex,
                                             int lastInlierIndex, const VectorND<float>& params,
                                             const SensorTime& tBase)
    : T0(t0), T1(t1), TBase(tBase), m_firstInlierIndex(firstInlierIndex), m_lastInlierIndex(lastInlierIndex),
      X(tBase, params[0], params[1], params[2]), Y(tBase, params[3], params[4], params[5]),
      Z(tBase, params[6], params[7], params[8]), m_samples() {}

VectorND<float> FittedTrajectory::ModelFitType::Coefficients() const {
    VectorND<float> params(RANSACParabola3DTFit<float>::kModelParams);
    const ParabolaSpaceTime* axes[3] = {&X, &Y, &Z};
    for (int i = 0; i < 3; ++i) {
        params[3 * i] = axes[i]->m_parabola.m_a;
        params[3 * i + 1] = axes[i]->m_parabola.m_b;
        params[3 * i + 2] = axes[i]->m_parabola.m_c;
    }
    return params;
}

FittedTrajectory::FittedTrajectory()
    : m_points(), m_models(), m_extremaX(), m_extremaZ(), m_extremaThresholdX(25.0f), m_extremaThresholdZ(20.0f),
      m_lastFitTime(0), m_framePeriod(0.033f), m_trimOverlap(0.5f), m_overlapPoints(2), m_windowSize(6),
      m_minWindowSize(4), m_minInlierShare(0.6f), m_randomSeed(0), m_inlierThreshold(15.0f) {}

void FittedTrajectory::Reset() {
    m_points.clear();
    m_models.clear();
    m_extremaX.clear();
    m_extremaZ.clear();
    m_lastFitTime = 0;
}

void FittedTrajectory::AddPoint(const SensorTime& t, const Vector3D<float>& p) {
    if (m_points.empty() || t > m_points.back().first) {
        m_points.emplace_back(t, p);
    } else if (t == m_points.back().first) {
        m_points.back().second = p;
    } else if (t < m_points.front().first) {
        m_points.emplace_front(t, p);
    } else {
        const auto later = std::upper_bound(m_points.begin(), m_points.end(), t,
                                            [](const SensorTime& time, const TimedPoint& point) {
                                                return time < point.first;
                                            });
        // A time already held replaces that point's position.
        if (later != m_points.begin() && std::prev(later)->first == t) {
            std::prev(later)->second = p;
        } else {
            m_points.insert(later, TimedPoint(t, p));
        }
    }
}

void FittedTrajectory::AddPointUpdate(const SensorTime& t, const Vector3D<float>& p) {
    AddPoint(t, p);
    if (m_lastFitTime == 0 || m_lastFitTime > t) {
        m_lastFitTime = t;
    }
    if (m_points.front().first == t) {
        return;
    }
    const uint64_t held = m_points.size();
    const uint64_t n = held > m_minWindowSize ? m_windowSize : m_minWindowSize;
    if (held < n) {
        return;
    }
    int newer = 0;
    PointIterator lastFitted = FindPointAtTime(m_lastFitTime, newer);
    if (lastFitted == m_points.end()) {
        // The last fitted point is gone (popped): refit from the oldest one,
        // or the schedule would never move again.
        m_lastFitTime = m_points.front().first;
        lastFitted = FindPointAtTime(m_lastFitTime, newer);
    }
    if (newer < m_overlapPoints - 1 && !m_models.empty()) {
        ModelFitType& newest = m_models.back();
        if (t.SecondsSince(newest.T1) <= kExtrapolationReach * m_framePeriod) {
            ExtrapolateInlier(t, p, newest);
        }
        return;
    }
    const int64_t L = static_cast<int64_t>(std::distance(m_points.cbegin(), lastFitted));
    const int64_t back = std::min<int64_t>(std::max<int64_t>(0, L - m_overlapPoints + 1), m_overlapPoints);
    const int64_t s = L - back;
    if (static_cast<uint64_t>(s) + n > held) {
        return;
    }
    const PointIterator first = m_points.cbegin() + s;
    const PointIterator last = first + static_cast<int64_t>(n);
    ModelFitType model;
    const bool fitted = FitModel(first, last, static_cast<int>(s), static_cast<int>(n), model);
    m_lastFitTime = std::prev(last)->first;
    if (!fitted) {
        return;
    }
    m_models.push_back(model);
    if (m_models.size() > 1) {
        const SensorTime newestStart = m_models.back().T0;
        if (std::prev(m_models.end(), 2)->T1.SecondsSince(newestStart) > m_trimOverlap) {
            Trim(newestStart);
        }
        JoinNewestModel();
    } else {
        // The first model reaches back to the oldest points it explains; the
        // walk ends at the first inlier, which moves T0 to it.
        ModelFitType& only = m_models.front();
        for (PointIterator it = m_points.cbegin(); it != m_points.cend() && it->first < only.T0; ++it) {
            ExtrapolateInlier(it->first, it->second, only);
        }
    }
}

void FittedTrajectory::ExtrapolateInlier(const SensorTime& t, const Vector3D<float>& p, ModelFitType& model) const {
    const float distance =
        RANSACParabola3DTFit<float>::Distance(model.Coefficients(), t.SecondsSince(model.TBase), p.x, p.y, p.z);
    if (!(distance < m_inlierThreshold)) {
        return;
    }
    if (t > model.T1) {
        model.T1 = t;
        model.m_samples.emplace_back(t, 1);
    } else if (t < model.T0) {
        model.T0 = t;
        model.m_samples.emplace_front(t, 1);
    }
}

bool FittedTrajectory::FitModel(PointIterator first, PointIterator last, int startIndex, int count,
                                ModelFitType& out) const {
    if (count < 1) {
        return false;
    }
    Array2D<float> points;
    points.SetSize(4, count, false);
    std::vector<SensorTime> times(static_cast<size_t>(count), SensorTime::InvalidTime());
    const SensorTime base = first->first;
    int filled = 0;
    for (PointIterator it = first; it != last && filled < count; ++it, ++filled) {
        points(0, filled) = it->first.SecondsSince(base);
        points(1, filled) = it->second.x;
        points(2, filled) = it->second.y;
        points(3, filled) = it->second.z;
        times[static_cast<size_t>(filled)] = it->first;
    }
    if (filled < count) {
        return false;
    }

    RANSACParabola3DTFit<float> fitter(kRansacIterations, kRansacSecondCount, false, kRansacConfidence);
    if (m_randomSeed != 0) {
        fitter.SetSamplerSeed(m_randomSeed);
    }
    VectorND<float> model(RANSACParabola3DTFit<float>::kModelParams);
    float score = 0.0f;
    const bool applied = fitter.Apply(points, m_inlierThreshold, model, score);
    const int expected = static_cast<int>(floorf((points(0, count - 1) - points(0, 0)) / m_framePeriod));
    if (!applied || score < kExpectedInlierShare * static_cast<float>(expected)) {
        return false;
    }

    std::vector<int> flags(static_cast<size_t>(count), 0);
    int firstInlier = -1;
    int lastInlier = -1;
    for (int j = 0; j < count; ++j) {
        if (fitter.Point2ModelDist(model, points, j) < m_inlierThreshold) {
            flags[static_cast<size_t>(j)] = 1;
            if (firstInlier < 0) {
                firstInlier = j;
            }
            lastInlier = j;
        }
    }
    if (firstInlier < 0) {
        return false;
    }
    out = ModelFitType(times[static_cast<size_t>(firstInlier)], times[static_cast<size_t>(lastInlier)],
                       startIndex + firstInlier, startIndex + lastInlier, model, base);
    for (int j = 0; j < count; ++j) {
        out.m_samples.emplace_back(times[static_cast<size_t>(j)], flags[static_cast<size_t>(j)]);
    }
    return true;
}

void FittedTrajectory::FitModel() {
    constexpr int kWindow = 10;
    constexpr int kStride = 5;
    const int count = static_cast<int>(m_points.size());
    if (count <= kWindow - 1) {
        return;
    }
    int s = 0;
    for (; s < count - (kWindow - 1); s += kStride) {
        ModelFitType model;
        if (FitModel(m_points.cbegin() + s, m_points.cbegin() + s + kWindow, s, kWindow, model)) {
            m_models.push_back(model);
        }
    }
    if (s + kStride < count) {
        const int start = count - kWindow;
        ModelFitType model;
        if (FitModel(m_points.cbegin() + start, m_points.cend(), start, kWindow, model)) {
            m_models.push_back(model);
        }
    }
}

bool FittedTrajectory::FuseModels(ModelFitType& m1, ModelFitType& m2) const {
    if (m1.T0 >= m2.T0 && m1.T1 >= m2.T1) {
        std::swap(m1, m2);
    }
    if (m1.T1 < m2.T0) {
        return false;
    }
    // Candidates run to one step past the end of the earlier model.
    const SensorTime limit = m1.T1.PlusSeconds(kFusionStepSeconds);
    SensorTime best = m2.T0;
    float smallest = std::numeric_limits<float>::max();
    float u = 0.0f;
    for (SensorTime s = m2.T0; s < limit;) {
        const Vector3D<float> a = m1.PositionAt(s);
        const Vector3D<float> b = m2.PositionAt(s);
        const float disagreement =
            std::max(std::max(std::fabs(a.x - b.x), std::fabs(a.y - b.y)), std::fabs(a.z - b.z));
        if (disagreement < smallest) {
            smallest = disagreement;
            best = s;
        }
        const float next = u + kFusionStepSeconds;
        if (next == u) {
            break;  // the step no longer adds anything in single precision
        }
        u = next;
        s = m2.T0.PlusSeconds(u);
    }
    m1.T1 = best;
    m2.T0 = best;
    return true;
}

bool FittedTrajectory::IsPoor(const ModelFitType& model) const {
    int total = 0;
    const int inliers = CountInliers(model, total);
    // Rounded up, so a model is poor only when none of its samples inside
    // its interval is an inlier; with no sample there, 0/0 is not poor.
    return ceilf(static_cast<float>(inliers) / static_cast<float>(total)) < m_minInlierShare;
}

void FittedTrajectory::FuseModels(ModelList::iterator& cur, ModelList& models) const {
    if (models.size() <= 1 || cur == models.end() || std::next(cur) == models.end()) {
        return;
    }
    ModelList::iterator next = std::next(cur);
    while (next != models.end()) {
        if (cur == next) {
            ++next;
            continue;
        }
        if (!FuseModels(*cur, *next)) {
            ++cur;
            ++next;
            continue;
        }
        const bool nextDegenerate = next->IsDegenerate();
        bool removeCur = false;
        bool removeNext = false;
        if (!cur->IsDegenerate()) {
            const bool curPoor = IsPoor(*cur);
            const bool nextPoor = !nextDegenerate && IsPoor(*next);
            if (curPoor) {
                removeCur = true;
            } else if (nextDegenerate || nextPoor) {
                removeNext = true;
            } else {
                ++cur;
                ++next;
            }
        } else {
            removeCur = true;
        }
        if (removeCur) {
            if (cur == models.begin()) {
                models.erase(cur);
                cur = next;
                ++next;
            } else {
                // The predecessor is joined with the same next model.
                cur = std::prev(models.erase(cur));
            }
        } else if (removeNext) {
            next = models.erase(next);
        }
    }
}

void FittedTrajectory::FuseModels() {
    ModelList::iterator cur = m_models.begin();
    FuseModels(cur, m_models);
}

void FittedTrajectory::Trim(const SensorTime& T) {
    const size_t before = m_points.size();
    while (!m_points.empty() && m_points.front().first < T) {
        m_points.pop_front();
    }
    if (m_points.size() == before) {
        return;
    }
    if (m_models.empty() || m_models.front().T1 >= T) {
        return;
    }
    ModelList::iterator keep = m_models.begin();
    while (keep != m_models.end() && keep->T1 < T) {
        ++keep;
    }
    if (keep == m_models.end()) {
        return;  // no model reaches T: keep them all rather than lose every one
    }
    m_models.erase(m_models.begin(), keep);
    ModelFitType& first = m_models.front();
    first.T0 = T;
    TrimExtremaList(T, m_extremaX, first, m_extremaThresholdX);
    TrimExtremaList(T, m_extremaZ, first, m_extremaThresholdZ);
}

void FittedTrajectory::ForcedUpdate() {
    const uint64_t count = m_points.size();
    const uint64_t n = m_windowSize;
    if (count < n || count == 0) {
        return;
    }
    const int start = static_cast<int>(count - n);
    ModelFitType model;
    if (FitModel(m_points.cbegin() + start, m_points.cend(), start, static_cast<int>(n), model)) {
        m_models.push_back(model);
        if (m_models.size() > 1) {
            JoinNewestModel();
        }
    }
    m_lastFitTime = m_points.front().first;
}

void FittedTrajectory::JoinNewestModel() {
    ModelList::iterator cur = std::prev(m_models.end(), 2);
    FuseModels(cur, m_models);
    if (m_models.size() > 1) {
        const ModelIterator from = std::prev(m_models.cend(), 2);
        UpdateExtremaAlongAxis(eXAxis, from, m_models.cend(), m_extremaThresholdX, m_extremaX);
        UpdateExtremaAlongAxis(eZAxis, from, m_models.cend(), m_extremaThresholdZ, m_extremaZ);
    }
}

int FittedTrajectory::CountInliers(const ModelFitType& model, int& total) const {
    total = 0;
    int inliers = 0;
    for (const auto& sample : model.m_samples) {
        if (sample.first < model.T0) {
            continue;
        }
        if (sample.first > model.T1) {
            break;
        }
        ++total;
        if (sample.second != 0) {
            ++inliers;
        }
    }
    return inliers;
}

Vector3D<float> FittedTrajectory::FittedPosAtTime(const SensorTime& t) const {
    for (const ModelFitType& model : m_models) {
        if (model.T0 <= t && t <= model.T1) {
            return model.PositionAt(t);
        }
    }
    return Vector3D<float>();
}

FittedTrajectory::PointIterator FittedTrajectory::FindPointAtTime(const SensorTime& t, int& count) const {
    count = 0;
    for (auto it = m_points.crbegin(); it != m_points.crend(); ++it, ++count) {
        if (it->first == t) {
            return std::prev(it.base());
        }
    }
    return m_points.cend();
}

SensorTime FittedTrajectory::GetLatestTime() const {
    return m_points.empty() ? SensorTime(0) : m_points.back().first;
}

Vector3D<float> FittedTrajectory::GetLatestPosition() const {
    return m_points.empty() ? Vector3D<float>() : m_points.back().second;
}

void FittedTrajectory::PopFrontPoint() {
    if (!m_points.empty()) {
        m_points.pop_front();
    }
}

int ParabolaSpaceTime::FindRoots(SensorTime& first, SensorTime& second, const float& value) const {
    const QuadraticEquation<float> equation(m_parabola.m_a, m_parabola.m_b, m_parabola.m_c - value);
    float u1 = 0.0f;
    float u2 = 0.0f;
    const int count = equation.FindRoots(u1, u2);
    if (count >= 1) {
        first = m_baseTime.PlusSeconds(u1 + m_parabola.m_x0);
    }
    if (count == 2) {
        second = m_baseTime.PlusSeconds(u2 + m_parabola.m_x0);
    }
    return count;
}

template <typename T>
RANSACParabola3DTFit<T>::RANSACParabola3DTFit(int iterations, int secondCount, bool adaptive,
                                              const float& confidence)
    : RANSAC<T>(iterations, secondCount, adaptive, confidence) {
    this->m_currentModel.SetSize(kModelParams);
    this->m_currentSample.SetSize(kSamplesPerModel);
}

template <typename T>
T RANSACParabola3DTFit<T>::Distance(const VectorND<T>& model, T t, T x, T y, T z) {
    const T dx = std::fabs(model[0] * t * t + model[1] * t + model[2] - x);
    const T dy = std::fabs(model[3] * t * t + model[4] * t + model[5] - y);
    const T dz = std::fabs(model[6] * t * t + model[7] * t + model[8] - z);
    return std::max(std::max(dx, dy), dz);
}

template <typename T>
T RANSACParabola3DTFit<T>::Point2ModelDist(const VectorND<T>& model, const VectorND<T>& point) {
    return Distance(model, point[0], point[1], point[2], point[3]);
}

template <typename T>
T RANSACParabola3DTFit<T>::Point2ModelDist(const VectorND<T>& model, const Array2D<T>& points, int i) {
    return Distance(model, points(0, i), points(1, i), points(2, i), points(3, i));
}

template <typename T>
bool RANSACParabola3DTFit<T>::FitModel(const VectorND<int>& sample, const Array2D<T>& points, VectorND<T>& model,
                                       int64_t& /*evaluations*/) {
    VectorND<T> times(kSamplesPerModel);
    VectorND<T> values(kSamplesPerModel);
    for (int s = 0; s < kSamplesPerModel; ++s) {
        times[s] = points(0, sample[s]);
    }
    for (int axis = 0; axis < 3; ++axis) {
        for (int s = 0; s < kSamplesPerModel; ++s) {
            values[s] = points(axis + 1, sample[s]);
        }
        Parabola<T> parabola(T(0), T(ParabolaSpaceTime::kFitScale));
        parabola.ConstructByLsqrFit(times, values);
        model[3 * axis] = parabola.m_a;
        model[3 * axis + 1] = parabola.m_b;
        model[3 * axis + 2] = parabola.m_c;
    }
    return true;
}

template class RANSACParabola3DTFit<float>;
