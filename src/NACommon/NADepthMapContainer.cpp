#include "NACommon/NADepthMapContainer.h"

NADepthMapContainer::NADepthMapContainer()
    : m_depth(nullptr),
      m_shift(nullptr),
      m_depthToShift(nullptr),
      m_shiftToDepth(nullptr),
      m_converter(nullptr),
      m_frameId(0),
      m_time(SensorTime::InvalidTime()) {}

NAResolution NADepthMapContainer::GetResolution() const {
    return m_depth != nullptr ? NAResolutionOfSize(m_depth->XRes(), m_depth->YRes()) : NAResolution::NoMatch;
}
