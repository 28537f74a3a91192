#pragma once

// Brings a coarse label map (body parts, users) to the resolution of a finer
// depth map: every fine pixel is decided from its own depth and the depths at
// the corners of the coarse cell it falls in (NADepthBasedUpscalerHelper.h).

#include "NACommon/NADepthBasedUpscalerHelper.h"

class NADepthBasedUpscaler {
public:
    explicit NADepthBasedUpscaler(int depthMargin) : m_nDepthMargin(depthMargin) {}

    // Upscales the cells of box (inclusive, in label cells) into out by the
    // factor f = depth width / label width. fineBox is always set first, to
    // the box scaled by f. f < 1: "NADepthBasedUpscaler: Invalid data" on
    // standard error, out untouched. f = 1: out becomes a copy of the whole
    // label map. Otherwise, with clear, out is sized to the depth map and the
    // fine box filled with fill; without, out must have the depth map's size
    // already (else the same message). Each cell with four corners gives its
    // top-left pixel its own label; every other pixel follows the rule and
    // keeps its value where the rule gives none. Parts of the box beyond the
    // label map, or whose pixels would leave the depth map, are left out.
    template <typename T>
    void Run(const Array2D<T>& labels, const xn::DepthMetaData& depth, const Box2D<int>& box, bool clear, T fill,
             Array2D<T>& out, Box2D<int>& fineBox) const;

    template <typename T>
    static T GetClampedUpscaledValue(const Array2D<T>& labels, const xn::DepthMetaData& depth, const Vector2D<int>& p,
                                     int margin, T outside) {
        return NADepthBasedUpscalerHelper<T>::GetClampedUpscaledValue(labels, depth, p, margin, outside);
    }

    template <typename T>
    T GetClampedUpscaledValue(const Array2D<T>& labels, const xn::DepthMetaData& depth, const Vector2D<int>& p,
                              T outside) const {
        return NADepthBasedUpscalerHelper<T>::GetClampedUpscaledValue(labels, depth, p, m_nDepthMargin, outside);
    }

    int m_nDepthMargin;
};

extern template void NADepthBasedUpscaler::Run<short>(const Array2D<short>&, const xn::DepthMetaData&,
                                                      const Box2D<int>&, bool, short, Array2D<short>&,
                                                      Box2D<int>&) const;
extern template void NADepthBasedUpscaler::Run<unsigned short>(const Array2D<unsigned short>&,
                                                               const xn::DepthMetaData&, const Box2D<int>&, bool,
                                                               unsigned short, Array2D<unsigned short>&,
                                                               Box2D<int>&) const;
