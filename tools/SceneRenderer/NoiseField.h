#pragma once

// A smooth random field over an image: seeded values on a coarse grid of
// cells, blended between the four nearest with smoothstep weights, so that
// neighbouring pixels get nearly the same value and the field varies over
// a few cells. Values at the grid nodes are standard normal (Normal) or
// uniform in [0, 1) (Uniform); a pure function of the key and the position.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vela::scene {

class NoiseField {
public:
    enum class Values { Normal, Uniform };

    // A field over width x height pixels with cells of `cell` pixels, its
    // node values drawn from (seed, stream, node).
    void Build(uint64_t seed, uint64_t stream, int width, int height, double cell, Values values);

    double At(int column, int row) const {
        const Axis& x = m_columns[column];
        const Axis& y = m_rows[row];
        const double* top = m_nodes.data() + static_cast<size_t>(y.node) * m_nStride + x.node;
        const double* bottom = top + m_nStride;
        const double upper = top[0] + (top[1] - top[0]) * x.weight;
        const double lower = bottom[0] + (bottom[1] - bottom[0]) * x.weight;
        return upper + (lower - upper) * y.weight;
    }

private:
    struct Axis {
        int node;
        double weight;  // smoothstep of the position inside the cell
    };
    static void BuildAxis(int size, double cell, std::vector<Axis>& axis);

    std::vector<Axis> m_columns, m_rows;
    std::vector<double> m_nodes;
    int m_nStride = 0;
};

}  // namespace vela::scene
