#pragma once

// A regular grid of cells over an axis-aligned box, for volumes indexed by
// world position (joint-limit tables, the torso's distance volume, sample
// grids; an Array3D over a grid has dimensions (nx, ny, nz)). Cell (i, j, k)
// covers [min.x + i sx, min.x + (i + 1) sx) and so on; the last cell of an
// axis also takes the maximum face. The grid keeps inverse cell sizes, and in
// the integer grid multiplier-and-shift pairs, so that the float and the
// fixed-point lookups need no division. Lookups return the bad cell (-1, -1, -1) for points they reject.

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Grid3D {
    static_assert(std::is_same<T, float>::value || std::is_same<T, int>::value, "Grid3D is for float and int");

public:
    // The region covered.
    Box3D<T> m_box;
    // Cells per axis (nx, ny, nz).
    Vector3D<int> m_cellCount;
    Vector3D<T> m_cellSize;
    // 1 / cell size (the integer quotient in the integer grid); 0 for a
    // cell size of 0.
    Vector3D<T> m_invCellSize;
    // Cells per 1024 units, rounded.
    Vector3D<int> m_invCellSizeShift10;
    // Fixed-point lookups of the integer grid: cell = (offset m) >> k.
    Vector3D<int> m_multiplier;
    Vector3D<int> m_shift;

    // One cell over the unit box; no multipliers yet (0, which maps every
    // point to cell 0 until SetMAndM).
    Grid3D() { Initialize(1, 1, 1, Box3D<T>(Vector3D<T>(0, 0, 0), Vector3D<T>(1, 1, 1))); }
    Grid3D(int nx, int ny, int nz, const Box3D<T>& box) { Initialize(nx, ny, nz, box); }

    // The rejected-point result of the lookups.
    static const Vector3D<int>& BadCell() {
        static const Vector3D<int> s_badCell(-1, -1, -1);
        return s_badCell;
    }

    // Sets the counts and the box and derives sizes and inverses; the
    // multipliers and shifts are kept.
    void Initialize(int nx, int ny, int nz, const Box3D<T>& box) {
        m_box = box;
        m_cellCount = Vector3D<int>(nx, ny, nz);
        for (int axis = 0; axis < 3; ++axis) {
            const int n = m_cellCount[axis];
            DeriveAxis(n, m_box.min[axis], m_box.max[axis], m_cellSize[axis], m_invCellSize[axis],
                       m_invCellSizeShift10[axis]);
        }
    }

    // Integer grid: per axis m = floorf(0.5 + 2^shift / s) and k = shift.
    // False, nothing changed, when all three cell sizes are 0 or the shift
    // is outside 0 to 30. An axis whose cell size is 0 (or negative, an
    // inverted box) gets m = 0: all its points lie in its first cell.
    bool SetMAndM(int shift) {
        static_assert(std::is_same<T, int>::value, "SetMAndM is for the integer grid");
        if (m_cellSize.x == 0 && m_cellSize.y == 0 && m_cellSize.z == 0) {
            return false;
        }
        if (shift < 0 || shift > 30) {
            return false;
        }
        const float scale = std::ldexp(1.0f, shift);
        for (int axis = 0; axis < 3; ++axis) {
            const int s = m_cellSize[axis];
            m_multiplier[axis] =
                s > 0 ? vela_math::SaturatingTruncate(floorf(0.5f + scale / static_cast<float>(s))) : 0;
            m_shift[axis] = shift;
        }
        return true;
    }

    // The cell holding p, or the bad cell when p lies outside the box (a NaN
    // coordinate counts as outside) or the grid has no cells.
    Vector3D<int> GetCellIfIntersects(const Vector3D<T>& p) const {
        if (p.x > m_box.max.x || p.y > m_box.max.y || p.z > m_box.max.z || !HasCells()) {
            return BadCell();
        }
        Vector3D<int> cell;
        for (int axis = 0; axis < 3; ++axis) {
            if (!CellOnAxis(p[axis], axis, cell[axis])) {
                return BadCell();
            }
        }
        return cell;
    }

    // Integer grid, fixed point: per axis ((p - min) m) >> k clamped to the
    // grid; points outside the box land in its border cells. The bad cell
    // only for a grid without cells.
    Vector3D<int> GetCellInt(const Vector3D<int>& p) const {
        static_assert(std::is_same<T, int>::value, "GetCellInt is for the integer grid");
        if (!HasCells()) {
            return BadCell();
        }
        Vector3D<int> cell;
        for (int axis = 0; axis < 3; ++axis) {
            const int64_t c = ScaledOffset(p, axis);
            const int last = m_cellCount[axis] - 1;
            cell[axis] = c < 0 ? 0 : (c > last ? last : static_cast<int>(c));
        }
        return cell;
    }

    // Integer grid, fixed point: the bad cell for points outside the box,
    // otherwise per axis min(n - 1, ((p - min) m) >> k).
    Vector3D<int> GetCellIfIntersectsInt(const Vector3D<int>& p) const {
        static_assert(std::is_same<T, int>::value, "GetCellIfIntersectsInt is for the integer grid");
        if (p.x > m_box.max.x || p.y > m_box.max.y || p.z > m_box.max.z || p.x < m_box.min.x ||
            p.y < m_box.min.y || p.z < m_box.min.z || !HasCells()) {
            return BadCell();
        }
        Vector3D<int> cell;
        for (int axis = 0; axis < 3; ++axis) {
            const int64_t c = ScaledOffset(p, axis);
            const int last = m_cellCount[axis] - 1;
            cell[axis] = c > last ? last : static_cast<int>(c);
        }
        return cell;
    }

private:
    bool HasCells() const { return m_cellCount.x > 0 && m_cellCount.y > 0 && m_cellCount.z > 0; }

    // Float axis: s = e / n, 1 / s, and floor(1024 / s + 0.5) with the sum
    // formed in float and floored in double.
    static void DeriveAxis(int n, float lo, float hi, float& size, float& inverse, int& shift10) {
        const float extent = hi - lo;
        size = n > 0 ? extent / static_cast<float>(n) : 0.0f;
        inverse = size > 0 ? 1.0f / size : 0.0f;
        shift10 = size > 0 ? vela_math::SaturatingTruncate(std::floor(static_cast<double>(1024.0f / size + 0.5f))) : 0;
    }
    // Integer axis: truncating divisions throughout; the extent is taken in
    // 64 bits so that a box spanning the int range does not overflow.
    static void DeriveAxis(int n, int lo, int hi, int& size, int& inverse, int& shift10) {
        const int64_t extent = static_cast<int64_t>(hi) - lo;
        size = n > 0 ? vela_math::SaturateToInt(extent / n) : 0;
        inverse = size > 0 ? 1 / size : 0;
        shift10 = size > 0 ? 1024 / size : 0;
    }

    // The cell of coordinate v on an axis, for v <= max; false when v lies
    // below min.
    bool CellOnAxis(float v, int axis, int& cell) const {
        const float d = v - m_box.min[axis];
        if (!(d >= 0.0f)) {
            return false;
        }
        const int last = m_cellCount[axis] - 1;
        // d = 0 is kept out of the product: 0 times an infinite inverse
        // (a denormal cell size) is not a number.
        const float scaled = d > 0.0f ? d * m_invCellSize[axis] : 0.0f;
        cell = scaled >= static_cast<float>(last) ? last : static_cast<int>(scaled);
        return true;
    }
    bool CellOnAxis(int v, int axis, int& cell) const {
        const int64_t d = static_cast<int64_t>(v) - m_box.min[axis];
        if (d < 0) {
            return false;
        }
        const int size = m_cellSize[axis];
        const int last = m_cellCount[axis] - 1;
        const int64_t c = size != 0 ? d / size : 0;
        cell = c > last ? last : static_cast<int>(c);
        return true;
    }

    // ((p - min) m) >> k in 64 bits: the 32-bit product overflows for
    // offsets of a few metres at shift 15.
    int64_t ScaledOffset(const Vector3D<int>& p, int axis) const {
        const int64_t offset = static_cast<int64_t>(p[axis]) - m_box.min[axis];
        const int k = m_shift[axis];
        const int64_t product = offset * m_multiplier[axis];
        return k >= 0 && k < 63 ? product >> k : product;
    }
};
