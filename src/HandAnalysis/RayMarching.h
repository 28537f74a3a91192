#pragma once

// An iterator over the pixels of a 2-D straight line inside an inclusive
// pixel box: it steps one pixel at a time along the line's major axis and
// takes the other coordinate from the line equation, rounded to the nearest
// pixel. It knows how many steps keep the walk inside the box (the step
// count, -1 for an unbounded walk, -2 for one that cannot start inside),
// and moves forwards, backwards, by n steps or to the position nearest a
// point. Stepping itself does not consult the box.
//
// A line comes from two pixel positions (or a segment), from a start, a
// direction and a length, or from a world origin, direction and length
// projected into the image of one resolution.

#include "NACommon/NACommonData.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Segment2D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"

class RayMarching {
public:
    // The step count of a walk whose box is empty and whose line is this
    // long or longer: unbounded.
    static constexpr int kUnbounded = 1000000;

    RayMarching(const Segment2D<float>& segment, const Box2D<int>& bounds);
    RayMarching(const Vector2D<float>& start, const Vector2D<float>& end, const Box2D<int>& bounds);
    // direction is taken as given (not normalised).
    RayMarching(const Vector2D<float>& start, const Vector2D<float>& direction, float length,
                const Box2D<int>& bounds);
    // The world line from origin along direction for length mm, projected
    // with the hub's converter of resolution, inside that image.
    RayMarching(NACommonData* data, const Vector3D<float>& origin, const Vector3D<float>& direction, float length,
                Resolution resolution);

    void Initialize(const Vector2D<float>& start, const Vector2D<float>& end, const Box2D<int>& bounds);
    // Back to the start pixel, and the step count within the bounds.
    void Initialize();
    // Back to the start pixel.
    void Reset();
    void SynchronizeSecondaryVal();
    void SynchronizeSecondaryVal(Vector2D<int>& p) const;
    float CalcSecondaryVal(float major) const;
    // The unrounded line point at the current major coordinate.
    Vector2D<float> GetCurrentAccurateLoc() const;
    float GetCurrentPercentLoc() const;

    RayMarching& operator++();
    RayMarching operator++(int);
    RayMarching& operator--();
    RayMarching operator--(int);
    RayMarching& operator+=(int n);
    RayMarching& operator-=(int n);
    // n steps from the start.
    void Seek(int n);
    // The walk's position nearest point (the first on ties). An unbounded
    // walk searches its whole ray from the start.
    void Seek(const Vector2D<float>& point);

    // Steps from the current pixel that keep the walk inside the bounds; -2
    // when it cannot start inside them.
    int FindMaximalLengthFromBounds();

    const Vector2D<int>& Current() const { return m_current; }
    int StepCount() const { return m_stepCount; }

    Vector2D<float> m_start;
    Vector2D<float> m_delta;
    float m_length;
    Vector2D<float> m_direction;
    int m_openFlag;  // 1 for the direction forms
    Box2D<int> m_bounds;
    int m_majorAxis;  // 0 x, 1 y
    float m_slope;    // minor per major
    float m_stepLength;
    int m_step;       // +1 or -1 along the major axis
    int m_firstMajor;
    int m_stepCount;
    float m_pathLength;
    Vector2D<int> m_current;
    bool m_initialised;

private:
    void Clear();
    // Major axis, slope, step length and step from m_direction.
    void SetAxes();
    float StartMajor() const { return m_start[m_majorAxis]; }
    float StartMinor() const { return m_start[1 - m_majorAxis]; }
    int& CurrentMajor() { return m_current[m_majorAxis]; }
    int& CurrentMinor() { return m_current[1 - m_majorAxis]; }
    int CurrentMajor() const { return m_current[m_majorAxis]; }
    // Squared distance from point to the line at major coordinate a.
    float DistanceSquaredAt(int a, const Vector2D<float>& point) const;
};
