#include "SceneAnalyzer/SAPlaneData.h"

SAPlaneData::SAPlaneData()
    : m_sol{0.0f, 0.0f, 0.0f},
      m_plane(Vector3D<float>(0.0f, 0.0f, 0.0f), Vector3D<float>(1.0f, 0.0f, 0.0f)),
      m_count_in(0),
      m_count_below(0),
      m_pMarks(nullptr),
      m_hasSAPlane(false),
      m_quality(0.0f),
      m_bounds{32767, 32767, -32768, -32768},
      m_type(PLANE_NONE) {}

float SAPlaneData::DirectionalComponent() const {
    const Vector3D<float>& n = m_plane.m_normal;
    switch (m_type) {
        case PLANE_FLOOR: return n.y;
        case PLANE_CEILING: return -n.y;
        case PLANE_WALL_NEG_X: return -n.x;
        case PLANE_WALL_POS_X: return n.x;
        case PLANE_WALL_FACING: return -n.z;
        default: return 0.0f;
    }
}

bool SAPlaneData::IsLegal() const {
    const float v = DirectionalComponent();
    return v > 0.0f && 2.0f * v * v > 1.0f;
}
