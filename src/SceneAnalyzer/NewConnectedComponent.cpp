#include "SceneAnalyzer/NewConnectedComponent.h"

#include <cmath>
#include <cstdio>

#include "QuorLibrary/Utilities/Serialization.h"
#include "SceneAnalyzer/SAStateSimilarity.h"

NewConnectedComponent::NewConnectedComponent()
    : m_id(0),
      m_objectId(0),
      m_pPrev(nullptr),
      m_pNext(nullptr),
      m_prevID(-1),
      m_nextID(-1),
      m_pixelCount(-1),
      m_bounds(),
      m_xCenter(0),
      m_yCenter(0),
      m_zCenter(0),
      m_RWCenter(0.0f, 0.0f, 0.0f),
      m_userId(-1),
      m_remapLabel(0),
      m_frame(-1) {}

void NewConnectedComponent::Initialize(unsigned short id, int frame) {
    m_id = id;
    m_objectId = 0;
    m_pPrev = nullptr;
    m_pNext = nullptr;
    m_prevID = -1;
    m_nextID = -1;
    m_pixelCount = 0;
    m_bounds = Box3D<int>::EmptyBox();
    m_xCenter = 0;
    m_yCenter = 0;
    m_zCenter = 0;
    m_RWCenter = Vector3D<float>(0.0f, 0.0f, 0.0f);
    m_userId = 0;
    m_remapLabel = 0;
    m_frame = frame;
}

namespace {

template <typename T>
bool Get(std::istream& in, T& value) {
    return vela_serialization::ReadRaw(in, value);
}

}  // namespace

void WriteBinary(std::ostream& out, const NewConnectedComponent& r) {
    vela_serialization::WriteRaw(out, r.m_id);
    vela_serialization::WriteRaw(out, r.m_objectId);
    vela_serialization::WriteRaw(out, r.m_prevID);
    vela_serialization::WriteRaw(out, r.m_nextID);
    vela_serialization::WriteRaw(out, r.m_pixelCount);
    vela_serialization::WriteRaw(out, r.m_xCenter);
    vela_serialization::WriteRaw(out, r.m_yCenter);
    vela_serialization::WriteRaw(out, r.m_zCenter);
    vela_serialization::WriteRaw(out, r.m_userId);
    vela_serialization::WriteRaw(out, r.m_remapLabel);
    vela_serialization::WriteRaw(out, r.m_bounds.min.x);
    vela_serialization::WriteRaw(out, r.m_bounds.min.y);
    vela_serialization::WriteRaw(out, r.m_bounds.min.z);
    vela_serialization::WriteRaw(out, r.m_bounds.max.x);
    vela_serialization::WriteRaw(out, r.m_bounds.max.y);
    vela_serialization::WriteRaw(out, r.m_bounds.max.z);
    vela_serialization::WriteRaw(out, r.m_RWCenter.x);
    vela_serialization::WriteRaw(out, r.m_RWCenter.y);
    vela_serialization::WriteRaw(out, r.m_RWCenter.z);
    vela_serialization::WriteRaw(out, r.m_frame);
}

bool ReadBinary(std::istream& in, NewConnectedComponent& r) {
    r.m_pPrev = nullptr;
    r.m_pNext = nullptr;
    return Get(in, r.m_id) && Get(in, r.m_objectId) && Get(in, r.m_prevID) && Get(in, r.m_nextID) &&
           Get(in, r.m_pixelCount) && Get(in, r.m_xCenter) && Get(in, r.m_yCenter) && Get(in, r.m_zCenter) &&
           Get(in, r.m_userId) && Get(in, r.m_remapLabel) && Get(in, r.m_bounds.min.x) &&
           Get(in, r.m_bounds.min.y) && Get(in, r.m_bounds.min.z) && Get(in, r.m_bounds.max.x) &&
           Get(in, r.m_bounds.max.y) && Get(in, r.m_bounds.max.z) && Get(in, r.m_RWCenter.x) &&
           Get(in, r.m_RWCenter.y) && Get(in, r.m_RWCenter.z) && Get(in, r.m_frame);
}

namespace {

// Exact equality; NaN never equals.
bool SameFloats(const Vector3D<float>& a, const Vector3D<float>& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

}  // namespace

bool CheckSimilarity(const NewConnectedComponent& a, const NewConnectedComponent& b, std::string* message) {
    using vela_sa_state::Differs;
    const bool sameBounds = a.m_bounds.min.x == b.m_bounds.min.x && a.m_bounds.min.y == b.m_bounds.min.y &&
                            a.m_bounds.min.z == b.m_bounds.min.z && a.m_bounds.max.x == b.m_bounds.max.x &&
                            a.m_bounds.max.y == b.m_bounds.max.y && a.m_bounds.max.z == b.m_bounds.max.z;
    return !(Differs(a.m_id != b.m_id, "m_id", message) ||
             Differs(a.m_objectId != b.m_objectId, "m_objectId", message) ||
             Differs(a.m_prevID != b.m_prevID, "m_prevID", message) ||
             Differs(a.m_nextID != b.m_nextID, "m_nextID", message) ||
             Differs(a.m_pixelCount != b.m_pixelCount, "m_pixelCount", message) ||
             Differs(a.m_xCenter != b.m_xCenter, "m_xCenter", message) ||
             Differs(a.m_yCenter != b.m_yCenter, "m_yCenter", message) ||
             Differs(a.m_zCenter != b.m_zCenter, "m_zCenter", message) ||
             Differs(a.m_userId != b.m_userId, "m_userId", message) ||
             Differs(a.m_remapLabel != b.m_remapLabel, "m_remapLabel", message) ||
             Differs(!sameBounds, "m_bounds", message) ||
             Differs(!SameFloats(a.m_RWCenter, b.m_RWCenter), "m_RWCenter", message) ||
             Differs(a.m_frame != b.m_frame, "m_frame", message));
}

bool CheckSimilarity(const Array<NewConnectedComponent>& a, const Array<NewConnectedComponent>& b,
                     std::string* message) {
    if (a.Size() != b.Size()) {
        if (message != nullptr) {
            *message = "m_size is different\n";
        }
        return false;
    }
    std::string inner;
    for (int i = 0; i < a.Size(); ++i) {
        if (!CheckSimilarity(a[i], b[i], &inner)) {
            if (message != nullptr) {
                char head[32];
                std::snprintf(head, sizeof(head), "In item %d: ", i);
                *message = head + inner;
            }
            return false;
        }
    }
    return true;
}
