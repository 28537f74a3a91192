#pragma once

// The current depth frame at every hand resolution from the input's down to
// 80x60: a depth map, a shift map and a world-point converter per level.
// The container's own (base) members describe one level, the current one,
// which the hand-tracker manager lowers when every hand is near. Only the
// current level's maps are brought to each new frame.
//
// Ownership: levels below the input level own their depth records; the
// input level's entry is the caller's input record of the last Initialize
// or Update. The shift records and the converters of levels 0 to the input
// level are owned. Levels above the input level stay empty. The two
// depth/shift tables are the owner's to assign.

#include <cstdint>
#include <memory>

#include "NACommon/NACommonData.h"
#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NAResolution.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"

class DUZMultiResDepthMapContainer : public NADepthMapContainer {
public:
    DUZMultiResDepthMapContainer();
    ~DUZMultiResDepthMapContainer() override;
    DUZMultiResDepthMapContainer(const DUZMultiResDepthMapContainer&) = delete;
    DUZMultiResDepthMapContainer& operator=(const DUZMultiResDepthMapContainer&) = delete;

    // The current level.
    NAResolution GetResolution() const override { return m_resolution; }

    // Sets the levels up for input maps of depth's size, the current level
    // being the input level; the maps of the lower levels and the shift maps
    // are zero until the first Update. False, with the container empty,
    // when that size is none of the levels.
    bool Initialize(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth);

    // Brings the current level to a new input frame: its depth map (the
    // input itself at the input level, else the hub's reduction of it) and
    // its shift map, over the stream's video mode (the map's own size when
    // the mode cannot be read). False, with nothing changed, before
    // Initialize or for an input of another size than the one initialised.
    bool Update(const NACommonData* commonData, const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                uint32_t frameId, SensorTime time);

    // Makes level the current one (depth, shift and converter of that
    // level); its maps hold the frame of its last refresh until the next
    // Update. False, with nothing changed, for a level above the input
    // level or without a size.
    bool SetLevel(NAResolution level);

    // Refreshes a level below the input level from the latest input map by
    // the hub's reduction. False for any other level.
    bool RefreshLevelDepth(const NACommonData& commonData, NAResolution level);

    NAResolution m_inputResolution;  // NoMatch before Initialize
    NAResolution m_resolution;       // the current level; NoMatch before Initialize
    const xn::DepthMetaData* m_levelDepth[kNAResolutionLevels];
    xn::DepthMetaData m_levelShift[kNAResolutionLevels];
    std::unique_ptr<WorldPointConverterBase<float>> m_levelConverter[kNAResolutionLevels];

private:
    void Clear();

    // The depth records of the levels below the input level.
    std::unique_ptr<xn::DepthMetaData> m_ownedLevelDepth[kNAResolutionLevels];
};
