#include "SceneAnalyzer/TouchingEvent.h"

#include <algorithm>

TouchingEvent::TouchingEvent(unsigned short firstId, unsigned short secondId, int rightId, int splitOffset,
                             int splitCol, const Vector2D<int>& center, int firstHeight, int secondHeight, int maxArea)
    : m_valid(true),
      m_firstId(firstId),
      m_secondId(secondId),
      m_rightId(rightId),
      m_splitOffset(splitOffset),
      m_splitCol(splitCol),
      m_center(center),
      m_columnShift(0),
      m_createdFirstId(firstId),
      m_createdSecondId(secondId),
      m_firstHeight(firstHeight),
      m_secondHeight(secondHeight),
      m_maxArea(maxArea) {}

int TouchingEvent::MinimumArea() const {
    const double h1 = m_firstHeight;
    const double h2 = m_secondHeight;
    const int tallest = static_cast<int>(0.25 * std::max(h1 * h1, h2 * h2));
    const int both = static_cast<int>(0.15 * (h1 * h1 + h2 * h2));
    return std::max(m_maxArea, std::max(tallest, both));
}
