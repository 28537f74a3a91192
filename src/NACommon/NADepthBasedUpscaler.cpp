#include "NACommon/NADepthBasedUpscaler.h"

#include <algorithm>
#include <cstdio>

namespace {

void ReportInvalidData() { std::fputs("NADepthBasedUpscaler: Invalid data\n", stderr); }

}  // namespace

template <typename T>
void NADepthBasedUpscaler::Run(const Array2D<T>& labels, const xn::DepthMetaData& depth, const Box2D<int>& box,
                               bool clear, T fill, Array2D<T>& out, Box2D<int>& fineBox) const {
    const int f = labels.Columns() > 0 ? depth.XRes() / labels.Columns() : 0;
    fineBox = Box2D<int>(box.min.x * f, box.min.y * f, (box.max.x + 1) * f - 1, (box.max.y + 1) * f - 1);
    if (f < 1) {
        ReportInvalidData();
        return;
    }
    if (f == 1) {
        out = labels;
        return;
    }
    if (clear) {
        out.SetSize(depth.YRes(), depth.XRes(), false);
        for (int y = std::max(fineBox.min.y, 0); y <= std::min(fineBox.max.y, out.Rows() - 1); ++y) {
            for (int x = std::max(fineBox.min.x, 0); x <= std::min(fineBox.max.x, out.Columns() - 1); ++x) {
                out(y, x) = fill;
            }
        }
    } else if (out.Rows() != depth.YRes() || out.Columns() != depth.XRes()) {
        ReportInvalidData();
        return;
    }
    const Box2D<int> cells(std::max(box.min.x, 0), std::max(box.min.y, 0),
                           std::min({box.max.x, labels.Columns() - 1, depth.XRes() / f - 1}),
                           std::min({box.max.y, labels.Rows() - 1, depth.YRes() / f - 1}));
    if (cells.max.x < cells.min.x || cells.max.y < cells.min.y || depth.Data() == nullptr) {
        return;
    }
    NADepthBasedUpscalerHelper<T>::UpscaleCells(labels.Data(), labels.Columns(), depth, out.Data(), f, cells,
                                                m_nDepthMargin, true);
}

template void NADepthBasedUpscaler::Run<short>(const Array2D<short>&, const xn::DepthMetaData&, const Box2D<int>&,
                                               bool, short, Array2D<short>&, Box2D<int>&) const;
template void NADepthBasedUpscaler::Run<unsigned short>(const Array2D<unsigned short>&, const xn::DepthMetaData&,
                                                        const Box2D<int>&, bool, unsigned short,
                                                        Array2D<unsigned short>&, Box2D<int>&) const;
