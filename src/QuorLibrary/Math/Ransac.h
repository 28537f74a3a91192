#pragma once

// Robust model fitting: minimal samples drawn from a point set, a model
// fitted to each, every model scored against all points, the best kept, its
// inliers collected and handed to a final refinement. A fitter derives from
// RANSAC (score: inlier count) or MSAC (score: minus the residuals truncated
// at the threshold) and supplies the model-specific operations.
//
// Points are the columns of an Array2D: row d, column i is coordinate d of
// point i. A model is a VectorND of parameters, a sample a VectorND of
// column indices. The sampler is a multiply-with-carry generator seeded once
// per fitter and never reseeded, so a new fitter given the same calls draws
// the same samples.

#include <cstdint>
#include <iostream>
#include <limits>
#include <memory>

#include "OSLayer/XnOS.h"
#include "QuorLibrary/Math/VectorND.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/FatalError.h"
#include "QuorLibrary/Utilities/Pool.h"

template <typename T>
class RANSAC {
public:
    // Capacity of the sampling pool allocated up front; larger point sets
    // grow it once.
    static constexpr int kInitialIndexPoolCapacity = 70000;

    RANSAC(int iterations, int secondCount, bool adaptive, const float& confidence)
        : m_inliers(), m_nSecondCount(secondCount), m_nMaxIterations(iterations),
          m_pIndexPool(new Pool<int>(kInitialIndexPoolCapacity)), m_bAdaptive(adaptive), m_fConfidence(confidence),
          m_nRandomZ(521288629u), m_nRandomW(362436069u), m_nStatHypotheses(0), m_nStatScoredPoints(0),
          m_fStatMicroseconds(0.0), m_currentModel(), m_currentSample(), m_bStatistics(false),
          m_bRandomSampling(true), m_bUseGivenModel(false), m_bHasGivenModel(false) {}
    RANSAC(const RANSAC&) = delete;
    RANSAC& operator=(const RANSAC&) = delete;
    // Fitters are used as complete objects, never deleted through this base.
    ~RANSAC() = default;

    // The fitting loop. False when there are fewer points than a sample
    // needs or no model beats the initial score; otherwise the result of
    // Finalize. model must hold GetNumberOfModelParams() values; the best
    // model, its score and (through GetInliers) its inliers are left as
    // Finalize left them.
    virtual bool Apply(const Array2D<T>& points, T threshold, VectorND<T>& model, T& score);
    // Distance of one point, given as a vector, from the model.
    virtual T Point2ModelDist(const VectorND<T>& model, const VectorND<T>& point) = 0;
    virtual bool SetParamsFromGivenModel(VectorND<T>& /*model*/) { return false; }
    // Random sampling without replacement, or pair enumeration when random
    // sampling is off.
    virtual bool SamplePoints(VectorND<int>& sample, const Array2D<T>& points, int iteration);
    // Fits model to the sampled points; may add to the evaluation counter.
    virtual bool FitModel(const VectorND<int>& sample, const Array2D<T>& points, VectorND<T>& model,
                          int64_t& evaluations) = 0;
    // The inlier count as a score; inlierCount receives the count.
    virtual T ComputeScore(const VectorND<T>& model, const Array2D<T>& points, Array<int>& inliers, int& inlierCount,
                           T threshold, T bestScore);
    virtual bool Finalize(VectorND<T>& /*model*/, const Array2D<T>& /*points*/, Array<int>& /*inliers*/,
                          T& /*score*/, T /*threshold*/) {
        return true;
    }
    virtual int GetNumberOfModelParams() = 0;
    virtual int GetNumberOfSamplesPerModel() = 0;
    virtual T GetInitialScore() { return T(0); }
    // Distance of point i (column i) from the model.
    virtual T Point2ModelDist(const VectorND<T>& model, const Array2D<T>& points, int i) = 0;

    // Empties inliers and appends, in column order, every point closer to
    // the model than threshold (strictly).
    void CalculteInliers(Array<int>& inliers, const VectorND<T>& model, const Array2D<T>& points, T threshold);

    const Array<int>& GetInliers() const { return m_inliers; }
    int GetIndexPoolCapacity() const { return m_pIndexPool->Capacity(); }

protected:
    // Advances the generator and returns the next 32-bit value.
    uint32_t NextRandom() {
        m_nRandomW = 36969u * (m_nRandomW & 65535u) + (m_nRandomW >> 16);
        m_nRandomZ = 18000u * (m_nRandomZ & 65535u) + (m_nRandomZ >> 16);
        return (m_nRandomW << 16) + (m_nRandomZ & 65535u);
    }
    void EnsureIndexPoolCapacity(int count) {
        if (m_pIndexPool->Capacity() < count) {
            m_pIndexPool.reset(new Pool<int>(count));
        }
    }
    bool UsesGivenModel() const { return m_bUseGivenModel && m_bHasGivenModel; }

    Array<int> m_inliers;
    int m_nSecondCount;  // kept for the fitters; not read here
    int m_nMaxIterations;
    std::unique_ptr<Pool<int> > m_pIndexPool;
    bool m_bAdaptive;      // stored; changes no result
    float m_fConfidence;   // stored; changes no result
    uint32_t m_nRandomZ;
    uint32_t m_nRandomW;
    int64_t m_nStatHypotheses;
    int64_t m_nStatScoredPoints;
    double m_fStatMicroseconds;
    VectorND<T> m_currentModel;
    VectorND<int> m_currentSample;
    bool m_bStatistics;
    bool m_bRandomSampling;
    bool m_bUseGivenModel;
    bool m_bHasGivenModel;
};

// Scores a model by minus the sum of its residuals truncated at the
// threshold, so that the fit quality of the inliers counts too.
template <typename T>
class MSAC : public RANSAC<T> {
public:
    MSAC(int iterations, int secondCount, bool adaptive, const float& confidence)
        : RANSAC<T>(iterations, secondCount, adaptive, confidence) {}

    T ComputeScore(const VectorND<T>& model, const Array2D<T>& points, Array<int>& inliers, int& inlierCount,
                   T threshold, T bestScore) override;
    // Minus the largest float: the first model with a real score beats it.
    T GetInitialScore() override { return -std::numeric_limits<float>::max(); }
};

template <typename T>
bool RANSAC<T>::Apply(const Array2D<T>& points, T threshold, VectorND<T>& model, T& score) {
    if (model.Size() != GetNumberOfModelParams()) {
        std::cerr << "Illegal Points dimension given to Ransac." << std::endl;
        DebuggableExit(1);
    }
    const int n = points.Columns();
    if (n < GetNumberOfSamplesPerModel()) {
        return false;
    }
    XnUInt64 startTime = 0;
    if (m_bStatistics) {
        xnOSGetHighResTimeStamp(&startTime);
    }
    m_inliers.EnsureCapacity(n);
    m_inliers.Clear();
    EnsureIndexPoolCapacity(n);
    const T initialScore = GetInitialScore();
    T best = initialScore;
    score = best;

    // The iterations are numbered from 1, so a count of c gives c - 1 of them.
    int64_t count = 0;
    if (m_bRandomSampling) {
        count = static_cast<int64_t>(m_nMaxIterations) + (UsesGivenModel() ? 1 : 0);
    } else {
        count = static_cast<int64_t>(n) * n;
        if (count > std::numeric_limits<int>::max()) {
            count = std::numeric_limits<int>::max();
        }
    }
    const int64_t budget = static_cast<int64_t>(n) * m_nMaxIterations;
    int64_t evaluations = 0;

    for (int64_t i = 1; i < count; ++i) {
        bool ok = false;
        if (i == 1 && UsesGivenModel()) {
            ok = SetParamsFromGivenModel(m_currentModel);
        } else {
            if (!SamplePoints(m_currentSample, points, static_cast<int>(i))) {
                continue;
            }
            ok = FitModel(m_currentSample, points, m_currentModel, evaluations);
            if (m_bRandomSampling && evaluations >= budget) {
                break;
            }
        }
        if (ok) {
            int inlierCount = 0;
            const T s = ComputeScore(m_currentModel, points, m_inliers, inlierCount, threshold, best);
            if (m_bStatistics) {
                ++m_nStatHypotheses;
                m_nStatScoredPoints += n;
            }
            if (s > best) {
                best = s;
                score = s;
                model = m_currentModel;
            }
            evaluations += n;
            if (m_bRandomSampling && evaluations >= budget) {
                break;
            }
        }
    }

    if (m_bStatistics) {
        XnUInt64 endTime = 0;
        xnOSGetHighResTimeStamp(&endTime);
        m_fStatMicroseconds += static_cast<double>(endTime - startTime);
    }
    if (best == initialScore) {
        return false;
    }
    CalculteInliers(m_inliers, model, points, threshold);
    return Finalize(model, points, m_inliers, score, threshold);
}

template <typename T>
bool RANSAC<T>::SamplePoints(VectorND<int>& sample, const Array2D<T>& points, int iteration) {
    const int n = points.Columns();
    if (!m_bRandomSampling) {
        if (n <= 0) {
            return false;
        }
        const int a = iteration / n;
        const int b = iteration % n;
        if (a >= b) {
            return false;
        }
        sample.SetSize(2);
        sample[0] = a;
        sample[1] = b;
        return true;
    }
    const int k = GetNumberOfSamplesPerModel();
    if (k > n) {
        return false;
    }
    EnsureIndexPoolCapacity(n);
    Pool<int>& pool = *m_pIndexPool;
    pool.Clear();
    for (int i = 0; i < n; ++i) {
        pool.Push(i);
    }
    sample.SetSize(k);
    for (int s = 0; s < k; ++s) {
        const uint32_t j = NextRandom() % static_cast<uint32_t>(pool.Size());
        sample[s] = pool[static_cast<int>(j)];
        // The last entry fills the hole.
        pool.Delete(&pool[static_cast<int>(j)]);
    }
    return true;
}

template <typename T>
T RANSAC<T>::ComputeScore(const VectorND<T>& model, const Array2D<T>& points, Array<int>& /*inliers*/,
                          int& inlierCount, T threshold, T /*bestScore*/) {
    inlierCount = 0;
    const int n = points.Columns();
    for (int i = 0; i < n; ++i) {
        if (threshold > Point2ModelDist(model, points, i)) {
            ++inlierCount;
        }
    }
    return static_cast<T>(inlierCount);
}

template <typename T>
void RANSAC<T>::CalculteInliers(Array<int>& inliers, const VectorND<T>& model, const Array2D<T>& points,
                                T threshold) {
    inliers.Clear();
    const int n = points.Columns();
    for (int i = 0; i < n; ++i) {
        if (threshold > Point2ModelDist(model, points, i)) {
            inliers.Push(i);
        }
    }
}

template <typename T>
T MSAC<T>::ComputeScore(const VectorND<T>& model, const Array2D<T>& points, Array<int>& /*inliers*/,
                        int& inlierCount, T threshold, T /*bestScore*/) {
    inlierCount = 0;
    T score = T(0);
    const int n = points.Columns();
    for (int i = 0; i < n; ++i) {
        const T d = this->Point2ModelDist(model, points, i);
        if (threshold > d) {
            ++inlierCount;
            score -= d;
        } else {
            score -= threshold;
        }
    }
    return score;
}
