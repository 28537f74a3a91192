#pragma once

// Two users whose pixels have merged: the first holds all of them, the
// second is held alive, and the label map is split back between them along
// a column that follows the pair.

#include "QuorLibrary/Math/Vector2D.h"

class TouchingEvent {
public:
    TouchingEvent(unsigned short firstId, unsigned short secondId, int rightId, int splitOffset, int splitCol,
                  const Vector2D<int>& center, int firstHeight, int secondHeight, int maxArea);

    // The smallest area a pair of these users can cover.
    int MinimumArea() const;

    bool m_valid;
    unsigned short m_firstId;
    unsigned short m_secondId;
    // The user whose box centre lay further right when the event was made.
    int m_rightId;
    // World x of the split line minus that of the pair's centre, mm.
    int m_splitOffset;
    int m_splitCol;
    // World x and depth of the pair's combined centre, mm.
    Vector2D<int> m_center;
    // Columns the combined centre moved since the previous frame.
    int m_columnShift;
    int m_createdFirstId;
    int m_createdSecondId;
    int m_firstHeight;
    int m_secondHeight;
    int m_maxArea;
};
