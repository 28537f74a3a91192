#pragma once

// RANSAC fit of a space-time parabola: each coordinate a parabola of time,
// from three sampled points. Points are columns of four rows: the time in
// seconds from the window's first point, then x, y and z. The model holds
// nine coefficients (ax, bx, cx, ay, by, cy, az, bz, cz) of parabolas with no
// offset; the distance of a point is its largest residual over the three
// coordinates, in millimetres.

#include <cstdint>

#include "QuorLibrary/Math/Ransac.h"
#include "QuorLibrary/Math/VectorND.h"
#include "QuorLibrary/Utilities/Array2D.h"

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
