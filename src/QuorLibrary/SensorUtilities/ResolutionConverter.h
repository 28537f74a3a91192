#pragma once

// Maps pixel coordinates and boxes from an image at one resolution, possibly
// cropped out of a larger full image, to an image at another. SXGA full
// images carry a centred 1280x960 band of the 4:3 chain; the rows outside it
// are the shifts. A plain value: fill the members directly or through Set,
// then Init.

#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "XnAdapter/XnMetaData.h"

class ResolutionConverterBase {
public:
    // Which of the m_nRatio destination pixels an upscaled integer coordinate
    // lands on.
    enum eUpscaleType {
        eUpscaleFirst = 0,
        eUpscaleCenter = 1,
        eUpscaleLast = 2,
    };

    Resolution m_srcResolution;
    Resolution m_dstResolution;
    Resolution m_srcFullResolution;
    Resolution m_dstFullResolution;
    Vector2D<int> m_srcOffset;
    Vector2D<int> m_dstOffset;
    Vector2D<int> m_srcShift;
    Vector2D<int> m_dstShift;
    bool m_bDownscale;
    int m_nRatio;

    // All resolutions INVALID: maps by the identity until set.
    ResolutionConverterBase();

    void Set(Resolution src, Resolution dst, Resolution srcFull, Resolution dstFull, const Vector2D<int>& srcOffset,
             const Vector2D<int>& dstOffset);
    // Uncropped images.
    void Set(Resolution src, Resolution dst);
    // Sizes, full sizes and offsets taken from the two maps.
    void Set(const xn::MapMetaData& srcMap, const xn::MapMetaData& dstMap);

    // Derives direction, ratio and shifts from the full resolutions. With an
    // INVALID full resolution on either side there is no size to compare:
    // ratio 1, downscaling, no shift.
    void Init();

    // One integer column or row; an unknown type ends the process.
    int X(int x, eUpscaleType type) const;
    int Y(int y, eUpscaleType type) const;
    // One fractional column or row.
    float X(float x) const;
    float Y(float y) const;

    Vector2D<float> operator()(const Vector2D<float>& p) const { return Vector2D<float>(X(p.x), Y(p.y)); }
    Vector2D<int> operator()(const Vector2D<int>& p) const {
        return Vector2D<int>(X(p.x, eUpscaleCenter), Y(p.y, eUpscaleCenter));
    }
    // The upscaled box covers every destination pixel of its source pixels.
    Box2D<int> operator()(const Box2D<int>& box) const;
    // x and y of both corners as integer points (centre); z copied.
    Box3D<int> operator()(const Box3D<int>& box) const;

    // True when the map has the source's (destination's) offsets, full size
    // and size; never for an INVALID resolution on that side.
    bool IsSimilarToSrc(const xn::MapMetaData& map) const;
    bool IsSimilarToDst(const xn::MapMetaData& map) const;

private:
    int Map(int a, int srcOffset, int srcShift, int dstShift, int dstOffset, eUpscaleType type, const char* function,
            unsigned line) const;
    float Map(float a, int srcOffset, int srcShift, int dstShift, int dstOffset) const;
};
