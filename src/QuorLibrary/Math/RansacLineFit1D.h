#pragma once

// A line y = m x + c fitted by MSAC to points (x in row 0, y in row 1)
// under a constraint line: samples whose midpoint lies too far from the
// constraint line, or whose slope differs too much from it, are rejected
// before scoring. The residual is the squared vertical distance, so the
// threshold is a squared distance too. Model: (m, c).

#include <cstdint>

#include "QuorLibrary/Math/Ransac.h"
#include "QuorLibrary/Math/Segment2D.h"
#include "QuorLibrary/Math/VectorND.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"

class RANSACLineraFit1D : public MSAC<float> {
public:
    RANSACLineraFit1D(int iterations, int secondCount, bool adaptive, const float& confidence);

    // The constraint line through the segment's end points, with the largest
    // offset of a sample's midpoint from it and the largest slope
    // difference. Until it is called every sample passes the constraint.
    void SetConstraintModel(const Segment2D<float>& segment, float maxOffset, float maxSlopeDifference);

    // A point set with fewer than two rows ends the process like a model of
    // the wrong size: the fit reads x and y from every column.
    bool Apply(const Array2D<float>& points, float threshold, VectorND<float>& model, float& score) override;

    float Point2ModelDist(const VectorND<float>& model, const VectorND<float>& point) override;
    bool FitModel(const VectorND<int>& sample, const Array2D<float>& points, VectorND<float>& model,
                  int64_t& evaluations) override;
    // Refines the model to the least-squares line through the inliers and
    // collects the inliers of the refined line; the score is not
    // recomputed. False with fewer than two inliers or inliers whose
    // abscissae (nearly) coincide.
    bool Finalize(VectorND<float>& model, const Array2D<float>& points, Array<int>& inliers, float& score,
                  float threshold) override;
    int GetNumberOfModelParams() override { return 2; }
    int GetNumberOfSamplesPerModel() override { return 2; }
    float Point2ModelDist(const VectorND<float>& model, const Array2D<float>& points, int i) override;

    float GetConstraintSlope() const { return m_fConstraintSlope; }
    float GetConstraintIntercept() const { return m_fConstraintIntercept; }

private:
    float m_fMinSeparation;  // of the two sampled abscissae
    Segment2D<float> m_constraintSegment;
    float m_fConstraintSlope;
    float m_fConstraintIntercept;
    float m_fMaxOffset;
    float m_fMaxSlopeDifference;
};
