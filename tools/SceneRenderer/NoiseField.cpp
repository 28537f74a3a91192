#include "SceneRenderer/NoiseField.h"

#include <cmath>

#include "SceneRenderer/Random.h"

namespace vela::scene {

void NoiseField::BuildAxis(int size, double cell, std::vector<Axis>& axis) {
    axis.resize(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        const double position = (i + 0.5) / cell;
        const double node = std::floor(position);
        const double t = position - node;
        axis[i] = {static_cast<int>(node), t * t * (3.0 - 2.0 * t)};
    }
}

void NoiseField::Build(uint64_t seed, uint64_t stream, int width, int height, double cell, Values values) {
    BuildAxis(width, cell, m_columns);
    BuildAxis(height, cell, m_rows);
    m_nStride = static_cast<int>(std::ceil(width / cell)) + 2;
    const int rows = static_cast<int>(std::ceil(height / cell)) + 2;
    m_nodes.resize(static_cast<size_t>(m_nStride) * rows);
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        const uint64_t bits = HashKey(seed, stream, i);
        m_nodes[i] = values == Values::Normal ? NormalFromBits(bits) : UniformFromBits(bits);
    }
}

}  // namespace vela::scene
