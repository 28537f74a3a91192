#pragma once

// The plane set's update schedule: the walk of the (kind, order) pairs that
// starts over at kind 1 of order 0 instead of ending.

#include "SceneAnalyzer/CPlaneUpdateIeratorBASE.h"

class CCyclicPlaneUpdateIerator : public CPlaneUpdateIeratorBASE {
public:
    CCyclicPlaneUpdateIerator() = default;
    explicit CCyclicPlaneUpdateIerator(int32_t orders) : CPlaneUpdateIeratorBASE(orders) {}

    CCyclicPlaneUpdateIerator& operator++() override {
        CPlaneUpdateIeratorBASE::operator++();
        if (m_PlaneOrder == -1) {
            Reset();
        }
        return *this;
    }
};
