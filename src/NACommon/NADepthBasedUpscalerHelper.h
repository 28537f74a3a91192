#pragma once

// Depth-guided choice of a coarse label for one pixel of a finer depth map.
// The pixel's coarse cell and its right, lower and lower-right neighbours are
// the corners, each with its label and the depth at its top-left fine pixel;
// the pixel takes a corner's label only when its own depth fits.

#include "OSLayer/XnPlatform.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"

template <typename T>
class NADepthBasedUpscalerHelper {
public:
    // The label for fine pixel p, or outside when p lies off the depth map,
    // has no depth, falls beyond the label map, or fits no corner. With the
    // factor f = depth width / label width (a power of two):
    // - corners that agree give their label when min depth - margin < d <
    //   max depth + margin, both bounds in wrapping unsigned 16-bit
    //   arithmetic (a corner shallower than the margin thus labels nothing);
    // - corners that disagree give the label of the first corner, in the
    //   order top-left, top-right, bottom-left, bottom-right, whose depth is
    //   nearest and strictly closer than the margin.
    // Corners beyond the last label column or row, or whose depth pixel lies
    // off the depth map, are replaced by the ones before them.
    static T GetClampedUpscaledValue(const Array2D<T>& labels, const xn::DepthMetaData& depth, const Vector2D<int>& p,
                                     int margin, T outside) {
        if (p.x < 0 || p.y < 0 || p.x >= depth.XRes() || p.y >= depth.YRes() || depth.Data() == nullptr) {
            return outside;
        }
        const XnDepthPixel d = depth(p.x, p.y);
        const int nColumns = labels.Columns();
        const int nRows = labels.Rows();
        if (d == 0 || nColumns <= 0 || nRows <= 0) {
            return outside;
        }
        const int f = depth.XRes() / nColumns;
        int c = 0;
        for (int g = f; g >= 2; g >>= 1) {
            ++c;
        }
        const int bx = p.x >> c;
        const int by = p.y >> c;
        if (bx >= nColumns || by >= nRows) {
            return outside;
        }
        const int ox = bx << c;
        const int oy = by << c;
        const bool hasRight = bx + 1 < nColumns && ox + f < depth.XRes();
        const bool hasDown = by + 1 < nRows && oy + f < depth.YRes();

        T l[4];
        XnDepthPixel z[4];
        l[0] = labels(by, bx);
        z[0] = depth(ox, oy);
        l[1] = hasRight ? labels(by, bx + 1) : l[0];
        z[1] = hasRight ? depth(ox + f, oy) : z[0];
        l[2] = hasDown ? labels(by + 1, bx) : l[0];
        z[2] = hasDown ? depth(ox, oy + f) : z[0];
        if (hasRight && hasDown) {
            l[3] = labels(by + 1, bx + 1);
            z[3] = depth(ox + f, oy + f);
        } else {
            l[3] = hasRight ? l[1] : l[2];
            z[3] = hasRight ? z[1] : z[2];
        }

        if (l[0] == l[1] && l[0] == l[2] && l[0] == l[3]) {
            XnDepthPixel zMin = z[0];
            XnDepthPixel zMax = z[0];
            for (int i = 1; i < 4; ++i) {
                zMin = z[i] < zMin ? z[i] : zMin;
                zMax = z[i] > zMax ? z[i] : zMax;
            }
            const XnUInt16 lo = static_cast<XnUInt16>(static_cast<XnUInt32>(zMin) - static_cast<XnUInt32>(margin));
            const XnUInt16 hi = static_cast<XnUInt16>(static_cast<XnUInt32>(zMax) + static_cast<XnUInt32>(margin));
            return (lo < d && d < hi) ? l[0] : outside;
        }
        T result = outside;
        int best = margin;
        for (int i = 0; i < 4; ++i) {
            const int distance = d > z[i] ? d - z[i] : z[i] - d;
            if (distance < best) {
                best = distance;
                result = l[i];
            }
        }
        return result;
    }
};
