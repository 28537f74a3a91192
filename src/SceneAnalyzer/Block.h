#pragma once

// A vertical stack of couples of consecutive rows, one per row, and its
// measures in world coordinates: the sides (x), the depth range, the
// frontal area and the centre.

#include <cstdint>
#include <ostream>

#include "SceneAnalyzer/Couple.h"

class Block {
public:
    static constexpr int kMaxCouples = 500;

    Block() { init(); }

    Couple* couples() { return m_couples; }
    const Couple* couples() const { return m_couples; }
    Couple* couplesEnd() { return m_couples + m_nCouples; }
    const Couple* couplesEnd() const { return m_couples + m_nCouples; }
    int count() const { return m_nCouples; }
    void init() { m_nCouples = 0; }
    // False, with nothing stored, when the block is full.
    bool pushCouple(const Couple& c) {
        if (m_nCouples >= kMaxCouples) {
            return false;
        }
        m_couples[m_nCouples++] = c;
        return true;
    }
    void setEnd(int n) { m_nCouples = n; }
    const Couple& lastCouple() const { return m_couples[m_nCouples - 1]; }
    int firstRow() const { return m_couples[0].row; }
    int lastRow() const { return m_couples[m_nCouples - 1].row; }
    void setXZArea() { xzArea = (right - left) * (rear - front); }

    bool operator<(const Block& other) const { return area < other.area; }

    int32_t left = 0;
    int32_t right = 0;
    uint16_t leftDepth = 0;
    uint16_t rightDepth = 0;
    int32_t leftPixel = 0;
    int32_t rightPixel = 0;
    uint16_t front = 0;
    uint16_t rear = 0;
    int32_t area = 0;
    int32_t xzArea = 0;
    // Depth (mm) and world x (mm) of the median couple.
    int32_t center[2] = {0, 0};

private:
    Couple m_couples[kMaxCouples];
    int m_nCouples;
};

bool compareBlockPointers(const Block* a, const Block* b);
std::ostream& operator<<(std::ostream& out, const Block& block);
