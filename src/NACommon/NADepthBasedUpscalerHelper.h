#pragma once

// Depth-guided choice of a coarse label for pixels of a finer depth map. A
// coarse cell covers f x f fine pixels; its corners are the cell itself and
// its right, lower and lower-right neighbours, always in that order, each
// with its label and the depth at its own top-left fine pixel. A pixel takes
// a corner's label only when its own depth fits:
// - corners that agree give their label when min depth - margin < d <
//   max depth + margin, both bounds in wrapping unsigned 16-bit arithmetic
//   (a corner shallower than the margin thus labels nothing);
// - corners that disagree give the label of the first corner, in corner
//   order, whose depth is nearest and strictly closer than the margin; a
//   pixel without depth gets none.

#include "OSLayer/XnPlatform.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"

template <typename T>
class NADepthBasedUpscalerHelper {
public:
    // The rule of one cell, prepared once for all its pixels from its first
    // `count` corners (1 to 4).
    class CellRule {
    public:
        CellRule(const T* labels, const XnDepthPixel* depths, int count, int margin) : m_nCount(count), m_nMargin(margin) {
            m_bAgree = true;
            XnDepthPixel zMin = depths[0];
            XnDepthPixel zMax = depths[0];
            for (int i = 0; i < count; ++i) {
                m_labels[i] = labels[i];
                m_depths[i] = depths[i];
                m_bAgree = m_bAgree && labels[i] == labels[0];
                zMin = depths[i] < zMin ? depths[i] : zMin;
                zMax = depths[i] > zMax ? depths[i] : zMax;
            }
            m_nLow = static_cast<XnUInt16>(static_cast<XnUInt32>(zMin) - static_cast<XnUInt32>(margin));
            m_nHigh = static_cast<XnUInt16>(static_cast<XnUInt32>(zMax) + static_cast<XnUInt32>(margin));
        }

        // True, with the label, when the rule labels a pixel of depth d.
        bool Decide(XnDepthPixel d, T& label) const {
            if (m_bAgree) {
                if (m_nLow < d && d < m_nHigh) {
                    label = m_labels[0];
                    return true;
                }
                return false;
            }
            if (d == 0) {
                return false;
            }
            int best = m_nMargin;
            bool found = false;
            for (int i = 0; i < m_nCount; ++i) {
                const int distance = d > m_depths[i] ? d - m_depths[i] : m_depths[i] - d;
                if (distance < best) {
                    best = distance;
                    label = m_labels[i];
                    found = true;
                }
            }
            return found;
        }

    private:
        T m_labels[4];
        XnDepthPixel m_depths[4];
        int m_nCount;
        int m_nMargin;
        bool m_bAgree;
        XnUInt16 m_nLow;
        XnUInt16 m_nHigh;
    };

    // The label for fine pixel p, or outside when p lies off the depth map,
    // has no depth, falls beyond the label map, or fits no corner. The factor
    // f = depth width / label width is a power of two. Corners beyond the
    // last label column or row, or whose depth pixel lies off the depth map,
    // are replaced by the ones before them.
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
        T label = outside;
        return CellRule(l, z, 4, margin).Decide(d, label) ? label : outside;
    }

    // Upscales the cells of the inclusive box (in label cells, inside the
    // label map, (box max + 1) x f inside the depth map) from labels (rows of
    // labelStride) into out (rows as long as the depth map's), writing only
    // the pixels the rule labels. Corners never leave the box: cells of its
    // last column use the top-left and bottom-left corners, cells of its last
    // row the top-left and top-right, its last cell its own. With
    // originTakesOwnLabel, the top-left pixel of a cell with four corners
    // takes the cell's label whatever its depth.
    static void UpscaleCells(const T* labels, int labelStride, const xn::DepthMetaData& depth, T* out, int f,
                             const Box2D<int>& box, int margin, bool originTakesOwnLabel) {
        const int width = depth.XRes();
        const XnDepthPixel* pDepth = depth.Data();
        for (int by = box.min.y; by <= box.max.y; ++by) {
            for (int bx = box.min.x; bx <= box.max.x; ++bx) {
                const bool right = bx < box.max.x;
                const bool down = by < box.max.y;
                const int ox = bx * f;
                const int oy = by * f;
                T l[4];
                XnDepthPixel z[4];
                int n = 0;
                const auto corner = [&](int cx, int cy) {
                    l[n] = labels[cy * labelStride + cx];
                    z[n] = pDepth[cy * f * width + cx * f];
                    ++n;
                };
                corner(bx, by);
                if (right) {
                    corner(bx + 1, by);
                }
                if (down) {
                    corner(bx, by + 1);
                }
                if (right && down) {
                    corner(bx + 1, by + 1);
                }
                const CellRule rule(l, z, n, margin);
                for (int y = oy; y < oy + f; ++y) {
                    for (int x = ox; x < ox + f; ++x) {
                        rule.Decide(pDepth[y * width + x], out[y * width + x]);
                    }
                }
                if (originTakesOwnLabel && right && down) {
                    out[oy * width + ox] = l[0];
                }
            }
        }
    }
};
