#pragma once

// A tracker-like state with every kind of field the snapshots hold, for the
// serialisation harness and its seeds.

#include <string>
#include <vector>

#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Frame3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/Serialization.h"

namespace vela_fuzz {

enum class SnapshotMode : int32_t { Idle = 0, Tracking = 1 };

struct SnapshotElement {
    int m_nId = -1;
    float m_fScore = 0.0f;
    std::vector<float> m_samples;
    void ReadOrWrite(IOStreamWrapper& stream) {
        ReadOrWriteBinary(stream, m_nId, m_fScore);
        ReadOrWriteBinary(stream, m_samples);
    }
};

struct Snapshot {
    int32_t m_nVersion = 0;
    float m_fScore = 0.0f;
    bool m_bTracked = false;
    SnapshotMode m_mode = SnapshotMode::Idle;
    SensorTime m_time;
    Vector3D<float> m_position;
    Frame3D<float> m_frame;
    float m_confidences[11] = {};
    std::vector<float> m_history;
    std::string m_name;
    Array2D<float> m_transitions;
    std::vector<SnapshotElement> m_candidates;
    Array<SnapshotElement> m_pool;
    SnapshotElement m_fixed[2];
    Vector3D<double> m_read3;

    void ReadOrWrite(IOStreamWrapper& stream) {
        ReadOrWriteBinary(stream, m_nVersion, m_fScore, m_bTracked, m_mode, m_time);
        ReadOrWriteBinary(stream, m_position);
        ReadOrWriteBinary(stream, m_frame);
        ReadOrWriteBinaryArray(stream, m_confidences, 11);
        ReadOrWriteBinary(stream, m_history);
        if (stream.IsReading()) {
            ReadBinary(stream.GetInternalIStream(), m_name);
            ReadBinary(stream.GetInternalIStream(), m_read3.x, m_read3.y, m_read3.z);
        } else {
            WriteBinary(stream.GetInternalOStream(), m_name);
            WriteBinary(stream.GetInternalOStream(), m_read3.x, m_read3.y, m_read3.z);
        }
        ReadOrWriteBinary(stream, m_transitions);
        ReadOrWriteBinaryObjArray(stream, m_candidates);
        ReadOrWriteBinaryObjArray(stream, m_pool);
        ReadOrWriteBinaryObjArray(stream, m_fixed, 2);
    }
};

}  // namespace vela_fuzz
