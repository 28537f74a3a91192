#pragma once

// Walks the (kind, order) pairs of a plane set, kinds 1 to 5 of order 0,
// then of order 1, and so on, ending after the last order (kind 6, order
// -1).

#include <cstdint>

class CPlaneUpdateIeratorBASE {
public:
    static constexpr int32_t kFirstKind = 1;
    static constexpr int32_t kLastKind = 5;

    CPlaneUpdateIeratorBASE() : m_maxNumOfPlanes(1), m_PlaneType(kFirstKind), m_PlaneOrder(0) {}
    explicit CPlaneUpdateIeratorBASE(int32_t orders)
        : m_maxNumOfPlanes(orders), m_PlaneType(kFirstKind), m_PlaneOrder(0) {}
    virtual ~CPlaneUpdateIeratorBASE() = default;

    void Reset() {
        m_PlaneType = kFirstKind;
        m_PlaneOrder = 0;
    }
    virtual CPlaneUpdateIeratorBASE& operator++() {
        if (m_PlaneOrder == -1) {
            return *this;
        }
        if (++m_PlaneType > kLastKind) {
            m_PlaneType = kFirstKind;
            if (++m_PlaneOrder >= m_maxNumOfPlanes) {
                m_PlaneType = kLastKind + 1;
                m_PlaneOrder = -1;
            }
        }
        return *this;
    }

    int32_t m_maxNumOfPlanes;
    int32_t m_PlaneType;
    int32_t m_PlaneOrder;
};
