#include "HandAnalysis/RANSACParabola3DTFit.h"

#include <algorithm>
#include <cmath>

#include "HandAnalysis/ParabolaSpaceTime.h"
#include "QuorLibrary/Math/Parabola.h"

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
