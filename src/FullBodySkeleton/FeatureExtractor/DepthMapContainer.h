#pragma once

// What the skeleton components read about one resolution level of the
// current frame: depth, the box of valid pixels, the world-point converter,
// the user label map, the mask of pixels whose user has an active feature
// extractor and, on the one level each where the multi-user driver makes
// them, the dilated depth map and the exterior-distance map.
//
// A container owns nothing: MultiResDepthMapContainer and the driver own
// what it points at. Levels finer than the skeleton resolution have neither
// label map nor user mask.

#include <cstdint>

#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnSceneMetaData.h"

class DepthMapContainer {
public:
    // Level INVALID with nothing set; the image box empty.
    DepthMapContainer()
        : resolution(INVALID),
          depthMap(nullptr),
          converter(nullptr),
          labelMap(nullptr),
          userMask(nullptr),
          dilatedDepthMap(nullptr),
          exteriorDistanceMap(nullptr) {}

    Resolution resolution;
    // The current frame at this level.
    const xn::DepthMetaData* depthMap;
    // Inclusive; never starts above row 1.
    Box2D<int> imageBox;
    const WorldPointConverter<float>* converter;
    // 16-bit user ids, 0 = no user.
    const xn::SceneMetaData* labelMap;
    // 255 where the pixel's user has an active feature extractor, else 0;
    // rows = the level's height, columns = its width.
    Array2D<uint8_t>* userMask;
    // For every pixel within two pixels of an active user's pixel, the
    // smallest user depth in its 5 x 5 neighbourhood; 0 elsewhere.
    const xn::DepthMetaData* dilatedDepthMap;
    const Array2D<int>* exteriorDistanceMap;
};
