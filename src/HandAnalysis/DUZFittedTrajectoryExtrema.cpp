// The turning points of the fitted motion along X and Z, kept up to date
// from the newest models, and the summaries of the fitted motion over a span.

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <vector>

#include "HandAnalysis/DUZFittedTrajectory.h"

namespace {

int Sign(float v) { return v > 0.0f ? 1 : (v < 0.0f ? -1 : 0); }

// How the list reached an entry from its predecessor.
int DirectionLabel(float step) { return step > 0.0f ? 2 : 1; }

}  // namespace

void FittedTrajectory::ExpandPoint(eAxisType axis, const ModelFitType& model, const SensorTime& t,
                                   const float& threshold, SensorTime& T0, SensorTime& T1,
                                   Vector3D<float>& position) const {
    const ParabolaSpaceTime& parabola = model.Axis(axis);
    const float a = parabola.m_parabola.m_a;
    const float b = parabola.m_parabola.m_b;
    const float c = parabola.m_parabola.m_c;
    const float v = parabola.Evaluate(t);
    if (a == 0.0f && b == 0.0f) {
        if (threshold > std::fabs(c - v)) {
            T0 = model.T0;
            T1 = model.T1;
        } else {
            T0 = t;
            T1 = t;
        }
        position = model.PositionAt(T0);
        return;
    }

    SensorTime roots[4];
    int found = 0;
    for (const float level : {v - 0.25f * threshold, v + 0.25f * threshold}) {
        SensorTime first;
        SensorTime second;
        const int count = parabola.FindRoots(first, second, level);
        if (count >= 1) {
            roots[found++] = first;
        }
        if (count == 2) {
            roots[found++] = second;
        }
    }
    SensorTime lo = t;
    SensorTime hi = t;
    if (found > 0) {
        auto distance = [&](int i) { return std::fabs(roots[i].SecondsSince(t)); };
        int nearest = 0;
        for (int i = 1; i < found; ++i) {
            if (distance(i) < distance(nearest)) {
                nearest = i;
            }
        }
        int other = -1;
        for (int i = 0; i < found; ++i) {
            if (i != nearest && (other < 0 || distance(i) < distance(other))) {
                other = i;
            }
        }
        const SensorTime r0 = roots[nearest];
        const SensorTime r1 = other < 0 ? r0 : roots[other];
        lo = std::min(r0, r1);
        hi = std::max(r0, r1);
    }
    T0 = std::max(model.T0, lo);
    T1 = std::min(model.T1, hi);

    const float span = T1.SecondsSince(T0);
    if (std::fabs(span) > FLT_EPSILON) {
        position = model.Integrate(T0, T1) / span;
    } else {
        // No stretch to average over: the model's own position at the instant,
        // not the origin.
        position = model.PositionAt(t);
    }
    if (a != 0.0f) {
        const SensorTime vertex = parabola.VertexTime();
        if (T0 <= vertex && vertex <= T1) {
            position[axis] = parabola.VertexValue();
        }
    }
}

void FittedTrajectory::UpdateExtremaAlongAxis(eAxisType axis, ModelIterator from, ModelIterator to,
                                              const float& threshold, ExtremaList& list) const {
    if (from == to) {
        return;
    }
    if (list.size() >= 2 && list.back().T0 >= from->T0) {
        list.pop_back();
    }
    const size_t n = list.size();
    const SensorTime bound = list.empty() ? SensorTime(0) : list.back().T0;

    auto append = [&](const ModelFitType& model, const SensorTime& t, int type) {
        Extrema3DType entry;
        Vector3D<float> position;
        ExpandPoint(axis, model, t, threshold, entry.T0, entry.T1, position);
        entry.SetPosition(position);
        entry.ExtremaType = type;
        list.push_back(entry);
    };
    for (ModelIterator model = from; model != to; ++model) {
        if (model->T0 >= bound) {
            append(*model, model->T0, 0);
        }
        const ParabolaSpaceTime& parabola = model->Axis(axis);
        if (parabola.HasVertexWithin(model->T0, model->T1)) {
            const SensorTime vertexTime = parabola.VertexTime();
            if (vertexTime >= bound) {
                append(*model, vertexTime, parabola.m_parabola.m_a < 0.0f ? 2 : 1);
            }
        }
        if (model->T1 >= bound) {
            append(*model, model->T1, 0);
        }
    }

    // Entries of one instant merge; an entry inside its predecessor goes.
    const size_t first = n >= 2 ? n - 2 : 0;
    size_t o = first;
    size_t i = o + 1;
    while (i < list.size()) {
        if (list[i].T0 == list[o].T0) {
            list[o].X = (list[o].X + list[i].X) * 0.5f;
            list[o].Y = (list[o].Y + list[i].Y) * 0.5f;
            list[o].Z = (list[o].Z + list[i].Z) * 0.5f;
            list[o].T1 = list[i].T1;
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        } else if (list[o].T0 < list[i].T0 && list[o].T1 >= list[i].T1) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++o;
            ++i;
        }
    }

    for (;;) {
        const size_t before = list.size();
        RemoveNonExtrema(axis, threshold, first, before, list);
        RemoveSmallExtrema(axis, threshold, first, list.size(), list);
        if (list.size() >= before) {
            break;
        }
    }
}

void FittedTrajectory::RemoveNonExtrema(eAxisType axis, const float& threshold, const unsigned long& first,
                                        const unsigned long& last, ExtremaList& list) const {
    size_t end = std::min<size_t>(last, list.size());
    size_t i = first + 2;
    while (i < end) {
        const float d1 = list[i - 1].Along(axis) - list[i - 2].Along(axis);
        const float d2 = list[i].Along(axis) - list[i - 1].Along(axis);
        if (Sign(d1) == Sign(d2) && std::fabs(d1) > threshold && std::fabs(d2) > threshold) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i - 1));
            --end;
        } else {
            list[i - 1].ExtremaType = DirectionLabel(d1);
            ++i;
        }
    }
}

void FittedTrajectory::RemoveSmallExtrema(eAxisType axis, const float& threshold, const unsigned long& first,
                                          const unsigned long& last, ExtremaList& list) const {
    size_t end = std::min<size_t>(last, list.size());
    size_t a = first;
    size_t j = first + 1;
    while (j < end) {
        const float d = list[j].Along(axis) - list[a].Along(axis);
        if (threshold > std::fabs(d)) {
            list[a].SetPosition(MeanPosition(list[a].T0, list[j].T1));
            list[a].T1 = list[j].T1;
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(j));
            --end;
        } else {
            list[j].ExtremaType = DirectionLabel(d);
            ++a;
            ++j;
        }
    }
}

void FittedTrajectory::TrimExtremaList(const SensorTime& T, ExtremaList& list, const ModelFitType& model,
                                       const float& threshold) const {
    size_t drop = 0;
    while (drop < list.size() && list[drop].T1 < T) {
        ++drop;
    }
    if (drop == 0) {
        return;
    }
    list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(drop));
    if (list.empty()) {
        return;
    }
    if (list.front().T0 < T) {
        list.front().T0 = T;
    }
    if (model.T0 <= T && T <= model.T1 && model.T0 < list.front().T0) {
        Extrema3DType start;
        start.T0 = T;
        start.T1 = T;
        start.SetPosition(model.PositionAt(T));
        start.ExtremaType = 0;
        list.push_front(start);
        RemoveSmallExtrema(&list == &m_extremaZ ? eZAxis : eXAxis, threshold, 0, 2, list);
    }
}

void FittedTrajectory::ComputeExtremaAlongAxis(eAxisType axis, const float& threshold,
                                               std::deque<Extrema1DType>& list) const {
    if (m_models.empty()) {
        return;
    }
    auto append = [&list](const SensorTime& t, float value) {
        Extrema1DType entry;
        entry.T0 = t;
        entry.T1 = t;
        entry.value = value;
        list.push_back(entry);
    };
    const ModelFitType& firstModel = m_models.front();
    append(firstModel.T0, firstModel.Axis(axis).Evaluate(firstModel.T0));
    for (ModelIterator model = m_models.cbegin(); model != m_models.cend(); ++model) {
        const ParabolaSpaceTime& parabola = model->Axis(axis);
        if (parabola.HasVertexWithin(model->T0, model->T1)) {
            const SensorTime vertexTime = parabola.VertexTime();
            append(vertexTime, parabola.Evaluate(vertexTime));
        }
        float end = parabola.Evaluate(model->T1);
        const ModelIterator next = std::next(model);
        if (next != m_models.cend()) {
            end = (end + next->Axis(axis).Evaluate(next->T0)) * 0.5f;
        }
        append(model->T1, end);
    }
    if (list.size() <= 2) {
        return;
    }
    size_t i = 1;
    while (i + 1 < list.size()) {
        Extrema1DType& p = list[i - 1];
        Extrema1DType& m = list[i];
        Extrema1DType& q = list[i + 1];
        const float d1 = m.value - p.value;
        const float d2 = q.value - m.value;
        if (threshold <= std::fabs(d2)) {
            if (Sign(d1) == Sign(d2)) {
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        } else if (threshold <= std::fabs(d1)) {
            q.value = (m.value + q.value) * 0.5f;
            q.T0 = m.T0;
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            p.value = (p.value + m.value + q.value) / 3.0f;
            p.T1 = q.T0;
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i + 1));
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

Vector3D<float> FittedTrajectory::IntegrateTrajectory(const SensorTime& t0, const SensorTime& t1) const {
    Vector3D<float> sum;
    SensorTime s = t0;
    for (const ModelFitType& model : m_models) {
        if (model.T0 > t1) {
            break;
        }
        if (model.T1 < s) {
            continue;
        }
        // From s, not from the model's start: a gap before the model is
        // covered by its parabolas.
        const SensorTime e = std::min(t1, model.T1);
        sum += model.Integrate(s, e);
        s = e;
    }
    return sum;
}

Vector3D<float> FittedTrajectory::MeanPosition(const SensorTime& t0, const SensorTime& t1) const {
    const float span = t1.SecondsSince(t0);
    if (std::fabs(span) > FLT_EPSILON) {
        return IntegrateTrajectory(t0, t1) / span;
    }
    return FittedPosAtTime(t0);
}

template <typename Visit>
bool FittedTrajectory::SampleFittedMotion(const SensorTime& t0, const SensorTime& t1, Visit visit) const {
    const int64_t step = SensorTime(0).PlusSeconds(m_framePeriod);
    if (step <= 0) {
        return false;
    }
    SensorTime s = t0;
    for (const ModelFitType& model : m_models) {
        SensorTime start;
        if (model.T0 <= s) {
            if (model.T1 < s) {
                continue;
            }
            start = s;
        } else {
            start = model.T0;
        }
        if (start > t1) {
            break;
        }
        // Within a model the samples run to its end, even beyond t1.
        SensorTime t = start;
        for (; t <= model.T1; t = SensorTime(t + step)) {
            if (visit(model, t)) {
                return true;
            }
        }
        s = t;
    }
    return false;
}

template <typename Visit>
void FittedTrajectory::WalkSamples(const SensorTime& t0, const SensorTime& t1, Visit visit) const {
    SensorTime s = t0;
    for (const ModelFitType& model : m_models) {
        if (model.T0 > s) {
            s = model.T0;
        } else if (model.T1 < s) {
            continue;
        }
        if (s > t1) {
            break;
        }
        // Models that were joined share their joint instant, whose sample
        // then counts once per model.
        for (const auto& sample : model.m_samples) {
            if (sample.first > t1 || sample.first > model.T1) {
                break;
            }
            if (sample.first >= t0 && sample.first >= model.T0) {
                visit(model, sample);
            }
        }
    }
}

void FittedTrajectory::GetStatistics3D(const SensorTime& t0, const SensorTime& t1,
                                       Statistics3D<float>& stats) const {
    stats.m_nCount = 0;
    stats.m_fWeight = 0.0f;
    stats.m_sum = Vector3D<float>();
    stats.m_moments.SetZero();
    SampleFittedMotion(t0, t1, [&stats](const ModelFitType& model, const SensorTime& t) {
        stats.AddPoint(model.PositionAt(t), 1.0f);
        return false;
    });
}

void FittedTrajectory::CountOutliers(const SensorTime& t0, const SensorTime& t1, float& outliers,
                                     float& total) const {
    outliers = 0.0f;
    total = 0.0f;
    WalkSamples(t0, t1, [&](const ModelFitType&, const std::pair<SensorTime, int>& sample) {
        total += 1.0f;
        if (sample.second == 0) {
            outliers += 1.0f;
        }
    });
}

float FittedTrajectory::MonotonicityScore(const SensorTime& t0, const SensorTime& t1, float direction) const {
    std::vector<float> depths;
    std::vector<SensorTime> times;
    WalkSamples(t0, t1, [&](const ModelFitType& model, const std::pair<SensorTime, int>& sample) {
        if (sample.second != 0) {
            depths.push_back(model.Z.Evaluate(sample.first));
            times.push_back(sample.first);
        }
    });
    if (depths.size() < 2) {
        return 0.0f;
    }
    int counted = 0;
    int good = 0;
    for (size_t i = 1; i < depths.size(); ++i) {
        if (times[i].SecondsSince(times[i - 1]) >= 0.5f * m_framePeriod) {
            ++counted;
            if ((depths[i] - depths[i - 1]) * direction > -5.0f) {
                ++good;
            }
        }
    }
    return counted == 0 ? 0.0f : static_cast<float>(good) / static_cast<float>(counted);
}

SensorTime FittedTrajectory::ZCrossingBackSearch(const SensorTime& t0, const SensorTime& t1,
                                                 const float& level) const {
    SensorTime crossing = t0;
    SampleFittedMotion(t0, t1, [&](const ModelFitType& model, const SensorTime& t) {
        if (level > model.Z.Evaluate(t)) {
            crossing = t;
            return true;
        }
        return false;
    });
    return crossing;
}
