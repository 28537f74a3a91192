#pragma once

// The scene analyzer's record of one person, as the analyzer and the user
// tracker read it: whether the slot is alive, its id, its box (columns and
// rows of the analysis resolution, depths in mm), whether it occludes
// another user and its left and right edges widened by its shadow.
//
// Stand-in: the segmentation that brings users to life is not built yet, so
// every record stays dead with an empty box.

#include "QuorLibrary/Math/Box3D.h"

class User {
public:
    User() : m_id(0), m_alive(false), m_isOccluding(false), m_leftWithShadow(0), m_rightWithShadow(0) {}

    unsigned short id() const { return m_id; }
    bool alive() const { return m_alive; }
    const Box3D<int>& box() const { return m_box; }
    bool IsOccluding() const { return m_isOccluding; }
    int leftWithShadow() const { return m_leftWithShadow; }
    int rightWithShadow() const { return m_rightWithShadow; }

    void SetId(unsigned short id) { m_id = id; }

private:
    unsigned short m_id;
    bool m_alive;
    Box3D<int> m_box;
    bool m_isOccluding;
    int m_leftWithShadow;
    int m_rightWithShadow;
};
