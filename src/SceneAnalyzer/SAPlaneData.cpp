#include "SceneAnalyzer/SAPlaneData.h"

#include <cstring>

#include "QuorLibrary/Utilities/Serialization.h"
#include "SceneAnalyzer/SAStateSimilarity.h"

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

void SAPlaneData::WriteBinary(std::ostream& out) const {
    using vela_serialization::WriteRaw;
    for (const float v : m_sol) {
        WriteRaw(out, v);
    }
    WriteRaw(out, m_plane.m_normal.x);
    WriteRaw(out, m_plane.m_normal.y);
    WriteRaw(out, m_plane.m_normal.z);
    WriteRaw(out, m_plane.m_point.x);
    WriteRaw(out, m_plane.m_point.y);
    WriteRaw(out, m_plane.m_point.z);
    WriteRaw(out, m_count_in);
    WriteRaw(out, m_count_below);
    WriteRaw(out, m_hasSAPlane);
    WriteRaw(out, m_quality);
    WriteRaw(out, m_bounds.minX);
    WriteRaw(out, m_bounds.minY);
    WriteRaw(out, m_bounds.maxX);
    WriteRaw(out, m_bounds.maxY);
    WriteRaw(out, static_cast<int32_t>(m_type));
}

bool SAPlaneData::ReadBinary(std::istream& in) {
    using vela_serialization::ReadRaw;
    SAPlaneData r = *this;
    int32_t type = 0;
    const bool read = ReadRaw(in, r.m_sol[0]) && ReadRaw(in, r.m_sol[1]) && ReadRaw(in, r.m_sol[2]) &&
                      ReadRaw(in, r.m_plane.m_normal.x) && ReadRaw(in, r.m_plane.m_normal.y) &&
                      ReadRaw(in, r.m_plane.m_normal.z) && ReadRaw(in, r.m_plane.m_point.x) &&
                      ReadRaw(in, r.m_plane.m_point.y) && ReadRaw(in, r.m_plane.m_point.z) &&
                      ReadRaw(in, r.m_count_in) && ReadRaw(in, r.m_count_below) && ReadRaw(in, r.m_hasSAPlane) &&
                      ReadRaw(in, r.m_quality) && ReadRaw(in, r.m_bounds.minX) && ReadRaw(in, r.m_bounds.minY) &&
                      ReadRaw(in, r.m_bounds.maxX) && ReadRaw(in, r.m_bounds.maxY) && ReadRaw(in, type);
    if (!read || type < PLANE_NONE || type >= kPlaneTypes) {
        vela_serialization::MarkFailed(in);
        return false;
    }
    r.m_type = static_cast<EPlaneType>(type);
    *this = r;
    return true;
}

bool SAPlaneData::CheckSimilarity(const SAPlaneData& a, const SAPlaneData& b, std::string* message) {
    using vela_sa_state::Differs;
    return !(Differs(std::memcmp(a.m_sol, b.m_sol, sizeof(a.m_sol)) != 0, "m_sol", message) ||
             Differs(std::memcmp(&a.m_plane, &b.m_plane, sizeof(a.m_plane)) != 0, "m_plane", message) ||
             Differs(a.m_count_in != b.m_count_in, "m_count_in", message) ||
             Differs(a.m_count_below != b.m_count_below, "m_count_below", message) ||
             Differs(a.m_hasSAPlane != b.m_hasSAPlane, "m_hasSAPlane", message) ||
             Differs(a.m_quality != b.m_quality, "m_quality", message) ||
             Differs(std::memcmp(&a.m_bounds, &b.m_bounds, sizeof(a.m_bounds)) != 0, "m_bounds", message) ||
             Differs(a.m_type != b.m_type, "m_type", message));
}
