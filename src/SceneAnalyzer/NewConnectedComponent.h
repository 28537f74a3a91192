#pragma once

// One region of a frame of the alternative scene analyzer: a connected
// patch of similar hybrid depth, measured in pixels and world millimetres,
// and linked to its match in the previous and the next frame. The links are
// kept twice, as pointers for tracking and as labels for snapshots, which
// restore the pointers from the labels.

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Array.h"

class NewConnectedComponent {
public:
    // Bytes of one region's raw form.
    static constexpr int kBinarySize = 72;

    NewConnectedComponent();
    // A fresh region of label id in frame.
    void Initialize(unsigned short id, int frame);

    uint16_t m_id;
    uint16_t m_objectId;
    NewConnectedComponent* m_pPrev;
    NewConnectedComponent* m_pNext;
    int16_t m_prevID;
    int16_t m_nextID;
    int32_t m_pixelCount;
    // Columns, rows and depths (mm), inclusive.
    Box3D<int> m_bounds;
    // Sums while measuring, then means.
    int32_t m_xCenter;
    int32_t m_yCenter;
    int32_t m_zCenter;
    Vector3D<float> m_RWCenter;
    int32_t m_userId;
    int32_t m_remapLabel;
    int32_t m_frame;
};

// Raw form in native byte order; reading leaves both pointers null and
// fails the stream when it is short.
void WriteBinary(std::ostream& out, const NewConnectedComponent& region);
bool ReadBinary(std::istream& in, NewConnectedComponent& region);
// False at the first differing member, naming it in message when given.
bool CheckSimilarity(const NewConnectedComponent& a, const NewConnectedComponent& b, std::string* message);
bool CheckSimilarity(const Array<NewConnectedComponent>& a, const Array<NewConnectedComponent>& b,
                     std::string* message);
