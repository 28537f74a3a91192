#include "QuorLibrary/Math/RansacLineFit1D.h"

#include <cmath>
#include <iostream>
#include <limits>

#include "QuorLibrary/Utilities/FatalError.h"

RANSACLineraFit1D::RANSACLineraFit1D(int iterations, int secondCount, bool adaptive, const float& confidence)
    : MSAC<float>(iterations, secondCount, adaptive, confidence), m_fMinSeparation(0.0f), m_constraintSegment(),
      m_fConstraintSlope(0.0f), m_fConstraintIntercept(0.0f),
      m_fMaxOffset(std::numeric_limits<float>::max()), m_fMaxSlopeDifference(std::numeric_limits<float>::max()) {
    m_currentModel.SetSize(2);
    m_currentSample.SetSize(2);
}

void RANSACLineraFit1D::SetConstraintModel(const Segment2D<float>& segment, float maxOffset,
                                           float maxSlopeDifference) {
    m_constraintSegment = segment;
    const Vector2D<float>& p0 = segment.GetStart();
    const Vector2D<float>& p1 = segment.GetEnd();
    m_fConstraintSlope = (p1.y - p0.y) / (p1.x - p0.x);
    m_fConstraintIntercept = p0.y - m_fConstraintSlope * p0.x;
    m_fMaxOffset = maxOffset;
    m_fMaxSlopeDifference = maxSlopeDifference;
}

bool RANSACLineraFit1D::Apply(const Array2D<float>& points, float threshold, VectorND<float>& model, float& score) {
    if (points.Rows() < 2) {
        std::cerr << "Illegal Points dimension given to Ransac." << std::endl;
        DebuggableExit(1);
    }
    return MSAC<float>::Apply(points, threshold, model, score);
}

float RANSACLineraFit1D::Point2ModelDist(const VectorND<float>& model, const VectorND<float>& point) {
    const float r = model[0] * point[0] + model[1] - point[1];
    return r * r;
}

float RANSACLineraFit1D::Point2ModelDist(const VectorND<float>& model, const Array2D<float>& points, int i) {
    const float r = model[0] * points(0, i) + model[1] - points(1, i);
    return r * r;
}

bool RANSACLineraFit1D::FitModel(const VectorND<int>& sample, const Array2D<float>& points, VectorND<float>& model,
                                 int64_t& evaluations) {
    evaluations += m_bStatistics ? 1 : 20;
    const float x0 = points(0, sample[0]);
    const float y0 = points(1, sample[0]);
    const float x1 = points(0, sample[1]);
    const float y1 = points(1, sample[1]);
    if (m_fMinSeparation > std::fabs(x0 - x1)) {
        return false;
    }
    const float midpointOffset = (y0 + y1) / 2.0f - (m_fConstraintSlope * ((x0 + x1) / 2.0f) + m_fConstraintIntercept);
    if (std::fabs(midpointOffset) > m_fMaxOffset) {
        return false;
    }
    const float m = (y1 - y0) / (x1 - x0);
    if (std::fabs(m - m_fConstraintSlope) > m_fMaxSlopeDifference) {
        return false;
    }
    model.SetSize(2);
    model[0] = m;
    model[1] = y0 - x0 * m;
    return true;
}

bool RANSACLineraFit1D::Finalize(VectorND<float>& model, const Array2D<float>& points, Array<int>& inliers,
                                 float& /*score*/, float threshold) {
    const int count = inliers.Size();
    if (count <= 1) {
        return false;
    }
    float sx = 0.0f;
    float sy = 0.0f;
    float sxx = 0.0f;
    float sxy = 0.0f;
    for (int k = 0; k < count; ++k) {
        const float x = points(0, inliers[k]);
        const float y = points(1, inliers[k]);
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const float n = static_cast<float>(count);
    const float centredSxx = sxx - sx * (sx / n);
    if (std::fabs(n * centredSxx) <= 1e-4) {
        return false;
    }
    const float m = (sxy - sy * sx / n) / centredSxx;
    const float c = sy / n - (sx / n) * m;
    model.SetSize(2);
    model[0] = m;
    model[1] = c;
    CalculteInliers(inliers, model, points, threshold);
    return true;
}
