#pragma once

// A small stateful class with every kind of field a tracker snapshot holds,
// written and read by one ReadOrWrite routine, for the serialisation tests.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "QuorLibrary/Math/Frame3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/Serialization.h"

namespace serialization_test {

enum TrackingState { TRACKING_NONE = 0, TRACKING_CALIBRATING = 1, TRACKING_TRACKED = 2 };

// A time stamp of the tests' own: 8 raw bytes.
struct Stamp {
    int64_t nMicroseconds;
};

inline void ReadOrWriteString(IOStreamWrapper& stream, std::string& text) {
    if (stream.IsReading()) {
        ReadBinary(stream.GetInternalIStream(), text);
    } else {
        WriteBinary(stream.GetInternalOStream(), text);
    }
}

// An element of object arrays; counts its default constructions so that tests
// can see how many elements a read built.
class Candidate {
public:
    Candidate() : m_nId(-1), m_fScore(0.0f), m_fScoreSquared(0.0f) { ++s_nDefaultBuilt; }

    void ReadOrWrite(IOStreamWrapper& stream) {
        ReadOrWriteBinary(stream, m_nId);
        ReadOrWriteBinary(stream, m_fScore);
        ReadOrWriteBinary(stream, m_samples);
        if (stream.IsReading()) {
            m_fScoreSquared = m_fScore * m_fScore;
        }
    }

    int m_nId;
    float m_fScore;
    std::vector<float> m_samples;
    float m_fScoreSquared;  // derived, never stored

    static inline int s_nDefaultBuilt = 0;
};

class TrackerState {
public:
    TrackerState()
        : m_fConfidence(0.0f),
          m_fMissing(0.0f),
          m_bTracked(false),
          m_state(TRACKING_NONE),
          m_time{0},
          m_first{0},
          m_last{0} {
        for (float& c : m_confidences) {
            c = 0.0f;
        }
    }

    void ReadOrWrite(IOStreamWrapper& stream) {
        ReadOrWriteBinary(stream, m_fConfidence);
        ReadOrWriteBinary(stream, m_fMissing);
        ReadOrWriteBinary(stream, m_bTracked);
        ReadOrWriteBinary(stream, m_state);
        ReadOrWriteBinary(stream, m_time);
        ReadOrWriteBinary(stream, m_head);
        ReadOrWriteBinary(stream, m_torso);
        ReadOrWriteBinaryArray(stream, m_confidences, 11);
        ReadOrWriteBinary(stream, m_velocity, m_acceleration, m_first, m_last);
        ReadOrWriteBinary(stream, m_history);
        ReadOrWriteBinary(stream, m_backPointers);
        ReadOrWriteBinary(stream, m_transitions);
        ReadOrWriteString(stream, m_name);
        ReadOrWriteString(stream, m_longName);
        ReadOrWriteString(stream, m_longerName);
        ReadOrWriteBinaryObjArray(stream, m_candidates);
        ReadOrWriteBinaryObjArray(stream, m_pool);
        ReadOrWriteBinaryObjArray(stream, m_fixed, 3);
    }

    float m_fConfidence;
    float m_fMissing;
    bool m_bTracked;
    TrackingState m_state;
    Stamp m_time;
    Vector3D<float> m_head;
    Frame3D<float> m_torso;
    float m_confidences[11];
    Vector3D<float> m_velocity;
    Vector3D<float> m_acceleration;
    Stamp m_first;
    Stamp m_last;
    std::vector<float> m_history;
    std::vector<int> m_backPointers;
    Array2D<float> m_transitions;
    std::string m_name;
    std::string m_longName;    // 1023 bytes: the longest that once went through a static buffer
    std::string m_longerName;  // 1024 bytes and more
    std::vector<Candidate> m_candidates;
    Array<Candidate> m_pool;
    Candidate m_fixed[3];
};

// A state with every field set to something other than the defaults.
inline TrackerState FilledState() {
    TrackerState s;
    s.m_fConfidence = 0.75f;
    // A NaN with a payload: its exact bits must survive.
    uint32_t nanBits = 0x7FC01234u;
    std::memcpy(&s.m_fMissing, &nanBits, sizeof(nanBits));
    s.m_bTracked = true;
    s.m_state = TRACKING_TRACKED;
    s.m_time.nMicroseconds = 1234567890123LL;
    s.m_head = Vector3D<float>(10.5f, -20.25f, 2500.0f);
    s.m_torso.m_origin = Vector3D<float>(1.0f, 2.0f, 3.0f);
    for (int i = 0; i < 9; ++i) {
        s.m_torso.m_orientation[i] = 0.1f * static_cast<float>(i) - 0.3f;
    }
    for (int i = 0; i < 11; ++i) {
        s.m_confidences[i] = 1.0f / static_cast<float>(i + 1);
    }
    s.m_confidences[4] = -std::numeric_limits<float>::infinity();
    s.m_velocity = Vector3D<float>(-1.0f, 0.0f, 1.0f);
    s.m_acceleration = Vector3D<float>(4.0f, 5.0f, -0.0f);
    s.m_first.nMicroseconds = -5;
    s.m_last.nMicroseconds = INT64_MAX;
    s.m_history = {0.5f, std::numeric_limits<float>::quiet_NaN(), 3.25f};
    s.m_backPointers = {-1, 0, 7, 2};
    s.m_transitions.SetSize(2, 3, false);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            s.m_transitions(r, c) = static_cast<float>(r * 10 + c) + 0.5f;
        }
    }
    s.m_name = "tracker";
    s.m_longName.assign(1023, 'a');
    s.m_longerName.assign(1024, 'b');
    s.m_longerName += "tail";
    for (int i = 0; i < 3; ++i) {
        Candidate c;
        c.m_nId = 100 + i;
        c.m_fScore = 0.25f * static_cast<float>(i + 1);
        c.m_samples.assign(static_cast<size_t>(i), static_cast<float>(i));
        s.m_candidates.push_back(c);
    }
    s.m_pool.EnsureCapacity(2);
    for (int i = 0; i < 2; ++i) {
        Candidate& c = s.m_pool.Push();
        c.m_nId = 200 + i;
        c.m_fScore = -1.5f * static_cast<float>(i);
        c.m_samples = {static_cast<float>(i), 9.0f};
    }
    for (int i = 0; i < 3; ++i) {
        s.m_fixed[i].m_nId = 300 + i;
        s.m_fixed[i].m_fScore = 3.0f + static_cast<float>(i);
    }
    return s;
}

inline std::string Save(TrackerState& state) {
    std::ostringstream out(std::ios::out | std::ios::binary);
    OStreamWrapper wrapper(out);
    state.ReadOrWrite(wrapper);
    return out.str();
}

}  // namespace serialization_test
