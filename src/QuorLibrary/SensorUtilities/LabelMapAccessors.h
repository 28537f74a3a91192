#pragma once

// Reading label maps at sub-pixel positions, and at positions of a finer
// depth map through the depth-guided choice among the coarse labels.

#include <climits>

#include "NACommon/NADepthBasedUpscalerHelper.h"
#include "OSLayer/XnPlatform.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnSceneMetaData.h"

// The labels a map describes, for writing. The one rule for every writer of
// label maps (RemapLabels, ClearLabel): a map's pixels are written wherever
// they lie, in its own buffer or in the caller's buffer that ReAdjust laid
// it over, which the caller lends for writing as well. Null without pixels.
inline XnLabel* WritableLabels(xn::SceneMetaData& labels) { return const_cast<XnLabel*>(labels.Data()); }

// The label at the position's coordinates truncated towards zero, or outside
// when that pixel lies off the map (NaN positions included).
template <typename T>
XnUInt16 GetClampedLabel(const xn::SceneMetaData& labels, const Vector2D<T>& position, XnUInt16 outside) {
    const double x = static_cast<double>(position.x);
    const double y = static_cast<double>(position.y);
    // Truncation gives 0 for (-1, 0), so the comparisons stay on the doubles.
    if (!(x > -1.0 && x < labels.XRes() && y > -1.0 && y < labels.YRes()) || labels.Data() == nullptr) {
        return outside;
    }
    return labels(static_cast<XnInt32>(x), static_cast<XnInt32>(y));
}

// The label for a position of the depth map: the plain label when both maps
// have the same width, otherwise the depth-guided choice among the coarse
// labels around it with a depth margin of 100 millimetres.
template <typename T>
XnUInt16 GetClampedUpscaledLabel(const xn::SceneMetaData& labels, const xn::DepthMetaData& depth,
                                 const Vector2D<T>& position, XnUInt16 outside) {
    if (labels.XRes() == depth.XRes()) {
        return GetClampedLabel(labels, position, outside);
    }
    const double x = static_cast<double>(position.x);
    const double y = static_cast<double>(position.y);
    if (!(x > INT_MIN && x < INT_MAX && y > INT_MIN && y < INT_MAX) || labels.Data() == nullptr) {
        return outside;
    }
    Array2D<unsigned short> view;
    view.Borrow(const_cast<unsigned short*>(labels.Data()), labels.YRes(), labels.XRes());
    return NADepthBasedUpscalerHelper<unsigned short>::GetClampedUpscaledValue(
        view, depth, Vector2D<int>(static_cast<int>(x), static_cast<int>(y)), 100, outside);
}
