#include "HandAnalysis/DUZMultiResDepthMapContainer.h"

#include <algorithm>

#include "XnAdapter/XnOniCalls.h"

namespace {

// A record of level's size in its own zeroed buffer, with the input's frame
// id, time stamp and pixel format.
void PrepareLevelRecord(const xn::DepthMetaData& input, NAResolution level, xn::DepthMetaData& record) {
    record.FrameID() = input.FrameID();
    record.Timestamp() = input.Timestamp();
    record.PixelFormat() = input.PixelFormat();
    record.ZRes() = input.ZRes();
    record.AllocateData(static_cast<XnUInt32>(NAResolutionWidth(level)),
                        static_cast<XnUInt32>(NAResolutionHeight(level)));
}

bool IsOfLevelSize(const xn::MapMetaData& map, NAResolution level) {
    return map.XRes() == NAResolutionWidth(level) && map.YRes() == NAResolutionHeight(level);
}

}  // namespace

DUZMultiResDepthMapContainer::DUZMultiResDepthMapContainer()
    : m_inputResolution(NAResolution::NoMatch), m_resolution(NAResolution::NoMatch), m_levelDepth() {}

DUZMultiResDepthMapContainer::~DUZMultiResDepthMapContainer() = default;

void DUZMultiResDepthMapContainer::Clear() {
    for (int i = 0; i < kNAResolutionLevels; ++i) {
        m_levelDepth[i] = nullptr;
        m_ownedLevelDepth[i].reset();
        m_levelConverter[i].reset();
    }
    m_inputResolution = NAResolution::NoMatch;
    m_resolution = NAResolution::NoMatch;
    m_depth = nullptr;
    m_shift = nullptr;
    m_converter = nullptr;
}

bool DUZMultiResDepthMapContainer::Initialize(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth) {
    Clear();
    const NAResolution input = NAResolutionOfSize(depth.XRes(), depth.YRes());
    if (!IsSizedNAResolution(input)) {
        return false;
    }
    const int n = NAResolutionIndex(input);
    for (int j = 0; j < n; ++j) {
        m_ownedLevelDepth[j].reset(new xn::DepthMetaData);
        PrepareLevelRecord(depth, NAResolutionOfIndex(j), *m_ownedLevelDepth[j]);
        m_levelDepth[j] = m_ownedLevelDepth[j].get();
    }
    m_levelDepth[n] = &depth;
    for (int i = 0; i <= n; ++i) {
        const NAResolution level = NAResolutionOfIndex(i);
        PrepareLevelRecord(depth, level, m_levelShift[i]);
        m_levelConverter[i].reset(
            new WorldPointConverterBase<float>(generator, NAResolutionWidth(level), NAResolutionHeight(level)));
    }
    m_inputResolution = input;
    SetLevel(input);
    return true;
}

bool DUZMultiResDepthMapContainer::SetLevel(NAResolution level) {
    if (!IsSizedNAResolution(level) || !IsSizedNAResolution(m_inputResolution) || level > m_inputResolution) {
        return false;
    }
    const int i = NAResolutionIndex(level);
    m_resolution = level;
    m_depth = m_levelDepth[i];
    m_shift = &m_levelShift[i];
    m_converter = m_levelConverter[i].get();
    return true;
}

bool DUZMultiResDepthMapContainer::RefreshLevelDepth(const NACommonData& commonData, NAResolution level) {
    if (!IsSizedNAResolution(level) || !IsSizedNAResolution(m_inputResolution) || level >= m_inputResolution) {
        return false;
    }
    const xn::DepthMetaData* input = m_levelDepth[NAResolutionIndex(m_inputResolution)];
    const int factor = NAResolutionWidth(m_inputResolution) / NAResolutionWidth(level);
    if (input == nullptr || factor <= 1) {
        return false;
    }
    commonData.Downscale(*input, *m_ownedLevelDepth[NAResolutionIndex(level)], factor);
    return true;
}

bool DUZMultiResDepthMapContainer::Update(const NACommonData* commonData, const xn::DepthGenerator& generator,
                                          const xn::DepthMetaData& depth, uint32_t frameId, SensorTime time) {
    if (!IsSizedNAResolution(m_inputResolution) || !IsOfLevelSize(depth, m_inputResolution)) {
        return false;
    }
    m_frameId = frameId;
    m_time = time;
    const OniVideoMode mode = xn::ReadVideoMode(generator.GetStreamHandle());
    const int current = NAResolutionIndex(m_resolution);
    m_levelDepth[NAResolutionIndex(m_inputResolution)] = &depth;
    int factor = 1;
    if (m_resolution == m_inputResolution) {
        m_depth = &depth;
    } else {
        factor = NAResolutionWidth(m_inputResolution) / NAResolutionWidth(m_resolution);
        if (commonData != nullptr) {
            RefreshLevelDepth(*commonData, m_resolution);
        }
        m_depth = m_levelDepth[current];
    }

    xn::DepthMetaData& shift = m_levelShift[current];
    if (shift.Data() == nullptr || shift.Data() != shift.OwnedBuffer() || !IsOfLevelSize(shift, m_resolution)) {
        PrepareLevelRecord(depth, m_resolution, shift);
    }
    shift.FrameID() = depth.FrameID();
    shift.Timestamp() = depth.Timestamp();
    m_shift = &shift;
    if (m_depthToShift == nullptr || m_depth->Data() == nullptr || shift.WritableData() == nullptr) {
        return true;
    }

    // The video mode's extent at this level; every map involved has at least
    // the level's size, so the fill never leaves them.
    int rows = m_depth->YRes();
    int columns = m_depth->XRes();
    if (mode.resolutionX > 0 && mode.resolutionY > 0) {
        rows = std::min(rows, (mode.resolutionY - 1) / factor + 1);
        columns = std::min(columns, (mode.resolutionX - 1) / factor + 1);
    }
    rows = std::min(rows, shift.YRes());
    columns = std::min(columns, shift.XRes());
    const int stride = m_depth->XRes();
    const XnDepthPixel* in = m_depth->Data();
    XnDepthPixel* out = shift.WritableData();
    const unsigned short* table = m_depthToShift;
    for (int r = 0; r < rows; ++r) {
        const int row = r * stride;
        for (int c = 0; c < columns; ++c) {
            out[row + c] = table[in[row + c]];
        }
    }
    return true;
}
