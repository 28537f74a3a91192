#pragma once

// The fitted space-time trajectory of one gesture candidate. It keeps every
// time-stamped position it is given, fits overlapping windows of the newest
// points with a RANSAC space-time parabola (x, y and z each a parabola in
// time), joins consecutive models at the instant where they agree best,
// trims the history after a long overlap, and keeps the turning points of
// the fitted motion along X and along Z. The robust recognizers read the
// turning points and the summaries of the fitted motion over a span instead
// of the noisy samples.
//
// Times are SensorTime microseconds; spans enter formulas as seconds in
// single precision. Positions are world millimetres.

#include <cstdint>
#include <deque>
#include <list>
#include <ostream>
#include <utility>

#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Parabola.h"
#include "QuorLibrary/Math/Ransac.h"
#include "QuorLibrary/Math/Statistics3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Math/VectorND.h"
#include "QuorLibrary/Utilities/Array2D.h"

// One coordinate of a fitted motion as a parabola over time: the value at
// time t is a u^2 + b u + c with u the seconds from the base time, less the
// parabola's offset. Spans are taken in single precision and times computed
// from seconds are truncated to whole microseconds, as everywhere on the
// gesture side.

class ParabolaSpaceTime {
public:
    // Scale of the abscissa in the least-squares construction: it only
    // conditions the normal equations.
    static constexpr float kFitScale = 30.0f;

    SensorTime m_baseTime;
    Parabola<float> m_parabola;

    ParabolaSpaceTime() : m_baseTime(0), m_parabola(0.0f, kFitScale) {}
    ParabolaSpaceTime(const SensorTime& baseTime, float a, float b, float c)
        : m_baseTime(baseTime), m_parabola(0.0f, kFitScale) {
        m_parabola.m_a = a;
        m_parabola.m_b = b;
        m_parabola.m_c = c;
    }

    // Seconds from the base time, less the offset.
    float Abscissa(const SensorTime& t) const { return t.SecondsSince(m_baseTime) - m_parabola.m_x0; }

    float Evaluate(const SensorTime& t) const {
        const float u = Abscissa(t);
        return m_parabola.m_a * u * u + u * m_parabola.m_b + m_parabola.m_c;
    }

    // The integral over [from, to] in closed form, value x seconds.
    float Integrate(const SensorTime& from, const SensorTime& to) const {
        const float us = Abscissa(from);
        const float ue = Abscissa(to);
        return m_parabola.m_a * 0.33333334f * (ue * ue * ue - us * us * us) +
               m_parabola.m_b * 0.5f * (ue * ue - us * us) + m_parabola.m_c * (ue - us);
    }

    bool HasVertex() const { return m_parabola.m_a != 0.0f; }
    // The vertex in seconds from the base time (offset included); only
    // meaningful when HasVertex().
    float VertexSeconds() const { return -m_parabola.m_b / (2.0f * m_parabola.m_a) + m_parabola.m_x0; }
    SensorTime VertexTime() const { return m_baseTime.PlusSeconds(VertexSeconds()); }
    // A vertex lies in [t0, t1], compared in seconds from the base time.
    bool HasVertexWithin(const SensorTime& t0, const SensorTime& t1) const {
        if (!HasVertex()) {
            return false;
        }
        const float vertex = VertexSeconds();
        return vertex >= t0.SecondsSince(m_baseTime) && vertex <= t1.SecondsSince(m_baseTime);
    }
    float VertexValue() const {
        return m_parabola.m_c - m_parabola.m_b * m_parabola.m_b / (4.0f * m_parabola.m_a);
    }

    // The times at which the parabola takes `value`, earlier first. Returns
    // the number of roots (0, 1 or 2), or -1 when the parabola is that
    // constant; only the outputs of roots found are written.
    int FindRoots(SensorTime& first, SensorTime& second, const float& value) const;
};

// RANSAC fit of a space-time parabola: each coordinate a parabola of time,
// from three sampled points. Points are columns of four rows: the time in
// seconds from the window's first point, then x, y and z. The model holds
// nine coefficients (ax, bx, cx, ay, by, cy, az, bz, cz) of parabolas with no
// offset; the distance of a point is its largest residual over the three
// coordinates, in millimetres.

template <typename T>
class RANSACParabola3DTFit : public RANSAC<T> {
public:
    static constexpr int kModelParams = 9;
    static constexpr int kSamplesPerModel = 3;

    RANSACParabola3DTFit(int iterations, int secondCount, bool adaptive, const float& confidence);

    // Replaces the sampler word that starts at 521288629 (the one stepped
    // with 18000), so that a candidate draws its own sample sequence.
    void SetSamplerSeed(uint32_t seed) { this->m_nRandomZ = seed; }

    // The largest residual of the point (t, x, y, z) over the three
    // coordinates.
    static T Distance(const VectorND<T>& model, T t, T x, T y, T z);

    T Point2ModelDist(const VectorND<T>& model, const VectorND<T>& point) override;
    // One least-squares parabola per coordinate through the three samples; a
    // coordinate whose construction fails (repeated times) keeps zero
    // coefficients. Always true.
    bool FitModel(const VectorND<int>& sample, const Array2D<T>& points, VectorND<T>& model,
                  int64_t& evaluations) override;
    int GetNumberOfModelParams() override { return kModelParams; }
    int GetNumberOfSamplesPerModel() override { return kSamplesPerModel; }
    T Point2ModelDist(const VectorND<T>& model, const Array2D<T>& points, int i) override;
};

extern template class RANSACParabola3DTFit<float>;

class FittedTrajectory {
public:
    enum eAxisType { eXAxis = 0, eYAxis = 1, eZAxis = 2 };

    typedef std::pair<SensorTime, Vector3D<float> > TimedPoint;
    typedef std::deque<TimedPoint> PointList;
    typedef PointList::const_iterator PointIterator;

    // One fitted model: where it holds, its three parabolas and the samples
    // of its window (flag 1 for an inlier).
    struct ModelFitType {
        SensorTime T0;     // first inlier, later moved by extrapolation, fusion and trimming
        SensorTime T1;     // last inlier, later moved by extrapolation and fusion
        SensorTime TBase;  // first point of the fitted window; base time of the parabolas
        int m_firstInlierIndex;  // positions in the point list when fitted; -1 before a fit
        int m_lastInlierIndex;
        ParabolaSpaceTime X;
        ParabolaSpaceTime Y;
        ParabolaSpaceTime Z;
        std::deque<std::pair<SensorTime, int> > m_samples;

        ModelFitType();
        // X gets params 0-2, Y 3-5, Z 6-8, each based at TBase.
        ModelFitType(const SensorTime& t0, const SensorTime& t1, int firstInlierIndex, int lastInlierIndex,
                     const VectorND<float>& params, const SensorTime& tBase);

        bool IsDegenerate() const { return T1 <= T0; }
        const ParabolaSpaceTime& Axis(eAxisType axis) const { return axis == eXAxis ? X : (axis == eYAxis ? Y : Z); }
        Vector3D<float> PositionAt(const SensorTime& t) const {
            return Vector3D<float>(X.Evaluate(t), Y.Evaluate(t), Z.Evaluate(t));
        }
        // The nine coefficients in the fitter's order.
        VectorND<float> Coefficients() const;
        // The integral of the fitted position over [from, to], mm x s.
        Vector3D<float> Integrate(const SensorTime& from, const SensorTime& to) const {
            return Vector3D<float>(X.Integrate(from, to), Y.Integrate(from, to), Z.Integrate(from, to));
        }
    };
    typedef std::list<ModelFitType> ModelList;
    typedef ModelList::const_iterator ModelIterator;

    // A turning point: the interval [T0, T1] around it, its position and how
    // the list reached it (0 an end point or not labelled yet, 1 by a fall, a
    // minimum, 2 by a rise, a maximum).
    struct Extrema3DType {
        SensorTime T0;
        SensorTime T1;
        float X = 0.0f;
        float Y = 0.0f;
        float Z = 0.0f;
        int ExtremaType = 0;

        float Along(eAxisType axis) const { return axis == eXAxis ? X : (axis == eYAxis ? Y : Z); }
        Vector3D<float> Position() const { return Vector3D<float>(X, Y, Z); }
        void SetPosition(const Vector3D<float>& p) {
            X = p.x;
            Y = p.y;
            Z = p.z;
        }
    };
    typedef std::deque<Extrema3DType> ExtremaList;

    struct Extrema1DType {
        SensorTime T0;
        SensorTime T1;
        float value = 0.0f;
    };

    FittedTrajectory();

    // Forgets points, models and extrema; the constants and the seed stay.
    void Reset();
    // Seed of the RANSAC sampler; 0 keeps the sampler's own.
    void SetRandomSeed(unsigned int seed) { m_randomSeed = seed; }

    // Inserts a point in time order; a repeated time replaces the position.
    void AddPoint(const SensorTime& t, const Vector3D<float>& p);
    // The per-frame entry: inserts the point and, when a window of the
    // newest points is complete, fits it, joins the new model to the
    // previous ones and updates the extrema.
    void AddPointUpdate(const SensorTime& t, const Vector3D<float>& p);
    // Extends the model's interval to the point when it is an inlier outside
    // it.
    void ExtrapolateInlier(const SensorTime& t, const Vector3D<float>& p, ModelFitType& model) const;
    // Fits the count points from `first` (position startIndex); false, with
    // `out` unchanged, when the fit is rejected.
    bool FitModel(PointIterator first, PointIterator last, int startIndex, int count, ModelFitType& out) const;
    // Fits windows of ten points over the whole history, without joining.
    void FitModel();
    // Joins two overlapping models at the candidate instant where they agree
    // best (m1 becomes the earlier); false when they do not overlap.
    bool FuseModels(ModelFitType& m1, ModelFitType& m2) const;
    // The fusion pass from `cur` to the end of `models`, dropping degenerate
    // models and models without an inlier in their interval.
    void FuseModels(ModelList::iterator& cur, ModelList& models) const;
    void FuseModels();
    // Drops the points and the models before T, clips the first remaining
    // model to start at T and trims the extrema lists.
    void Trim(const SensorTime& T);
    // Fits the newest window now, whatever the schedule; the next per-frame
    // updates refit from the oldest point on.
    void ForcedUpdate();

    // Inliers among the model's samples inside [T0, T1]; total gets the
    // samples counted.
    int CountInliers(const ModelFitType& model, int& total) const;
    // The fitted position of the first model holding t; (0, 0, 0) when none.
    Vector3D<float> FittedPosAtTime(const SensorTime& t) const;
    // The point at exactly time t, searched from the newest; count gets the
    // newer points passed. Not found: the end, count = number of points.
    PointIterator FindPointAtTime(const SensorTime& t, int& count) const;
    SensorTime GetLatestTime() const;
    Vector3D<float> GetLatestPosition() const;
    void PopFrontPoint();

    const PointList& GetPoints() const { return m_points; }
    const ModelList& GetModels() const { return m_models; }
    SensorTime GetLastFitTime() const { return m_lastFitTime; }

    // Extrema along X for any axis but Z.
    const ExtremaList& GetExtremaAlongAxis(eAxisType axis) const { return axis == eZAxis ? m_extremaZ : m_extremaX; }
    // Rebuilds the newest part of `list` from the models [from, to).
    void UpdateExtremaAlongAxis(eAxisType axis, ModelIterator from, ModelIterator to, const float& threshold,
                                ExtremaList& list) const;
    // Widens the instant t of the model into the interval where the model
    // stays within a quarter of the threshold of its value at t, with the
    // mean position over it (the exact peak on the axis when inside).
    void ExpandPoint(eAxisType axis, const ModelFitType& model, const SensorTime& t, const float& threshold,
                     SensorTime& T0, SensorTime& T1, Vector3D<float>& position) const;
    // Drops entries inside monotonic runs of steps above the threshold.
    void RemoveNonExtrema(eAxisType axis, const float& threshold, const unsigned long& first,
                          const unsigned long& last, ExtremaList& list) const;
    // Merges entries closer than the threshold along the axis.
    void RemoveSmallExtrema(eAxisType axis, const float& threshold, const unsigned long& first,
                            const unsigned long& last, ExtremaList& list) const;
    void TrimExtremaList(const SensorTime& T, ExtremaList& list, const ModelFitType& model,
                         const float& threshold) const;
    // One-dimensional extrema of the whole model list, appended to `list`.
    void ComputeExtremaAlongAxis(eAxisType axis, const float& threshold, std::deque<Extrema1DType>& list) const;

    // The time integral of the fitted position over [t0, t1], mm x s.
    Vector3D<float> IntegrateTrajectory(const SensorTime& t0, const SensorTime& t1) const;
    // The fitted positions sampled every frame period from t0 (each model's
    // samples run to its own end); the reference point is kept.
    void GetStatistics3D(const SensorTime& t0, const SensorTime& t1, Statistics3D<float>& stats) const;
    void CountOutliers(const SensorTime& t0, const SensorTime& t1, float& outliers, float& total) const;
    // Share of the steps between inlier samples in which the fitted Z moves
    // along `direction` or less than 5 mm against it.
    float MonotonicityScore(const SensorTime& t0, const SensorTime& t1, float direction) const;
    // The first sampled time from t0 on at which the fitted Z is below
    // `level`; t0 when there is none.
    SensorTime ZCrossingBackSearch(const SensorTime& t0, const SensorTime& t1, const float& level) const;

    friend std::ostream& operator<<(std::ostream& out, const FittedTrajectory& trajectory);

protected:
    // The interval's mean fitted position; the position at t0 for an
    // interval of no length.
    Vector3D<float> MeanPosition(const SensorTime& t0, const SensorTime& t1) const;
    // Joins the newest model to the ones before it (the fusion pass from the
    // second-newest) and, when more than one model remains, updates the X
    // and Z extrema from the model before the newest. Needs two models.
    void JoinNewestModel();
    // True when none of the model's samples inside its interval is an
    // inlier.
    bool IsPoor(const ModelFitType& model) const;
    // Calls visit(model, time) for the fitted motion sampled every frame
    // period from t0, each model from where the previous one's samples
    // stopped to its own end, until a model starts after t1 or visit returns
    // true (then returns true).
    template <typename Visit>
    bool SampleFittedMotion(const SensorTime& t0, const SensorTime& t1, Visit visit) const;
    // Calls visit(model, sample) for each model's samples from t0 and from
    // the model's start up to t1 and the model's end.
    template <typename Visit>
    void WalkSamples(const SensorTime& t0, const SensorTime& t1, Visit visit) const;

    PointList m_points;
    ModelList m_models;
    ExtremaList m_extremaX;
    ExtremaList m_extremaZ;
    float m_extremaThresholdX;
    float m_extremaThresholdZ;
    SensorTime m_lastFitTime;  // 0: none
    float m_framePeriod;
    float m_trimOverlap;
    int m_overlapPoints;
    uint64_t m_windowSize;
    uint64_t m_minWindowSize;
    float m_minInlierShare;
    unsigned int m_randomSeed;
    float m_inlierThreshold;
};

// Development text of a model, an extremum and a whole trajectory.
std::ostream& operator<<(std::ostream& out, const FittedTrajectory::ModelFitType& model);
std::ostream& operator<<(std::ostream& out, const FittedTrajectory::Extrema3DType& extremum);
