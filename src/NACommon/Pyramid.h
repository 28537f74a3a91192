#pragma once

// One frame's map at every resolution from 0 (40x30) to 6 (1280x1024). Only
// the input level is filled when the frame arrives; any other level is made
// the first time it is read, by reducing the nearest finer filled level or,
// where allowed, by enlarging the nearest coarser one, and is then kept for
// the rest of the frame. The reductions are the owning hub's operations.
//
// Each frame, whoever fills the input level clears the filled flags
// (ResetMapExist) and then marks the input level filled.

#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;

template <typename T>
class Pyramid {
public:
    Pyramid() : m_pOwner(nullptr), m_inputResolution(INVALID), m_levels(), m_bUpscalingAllowed(false) {
        ResetMapExist();
    }
    Pyramid(const Pyramid&) = delete;
    Pyramid& operator=(const Pyramid&) = delete;

    // The level at r, made on demand. Reading a pyramid whose input level is
    // not filled, or a level finer than the input of a pyramid that does not
    // enlarge, breaks the hub's invariants: the process ends with status 1
    // after "Pyramid is not up to date." or "Can't give upscaled resolution".
    T& operator[](Resolution r);

    void ResetMapExist() {
        for (bool& filled : m_bFilled) {
            filled = false;
        }
    }

    // Sizes the input level to its resolution and zero-fills it.
    virtual void InitializeInputLevel() = 0;
    // Makes level target (width x height) from the finer (coarser) level source.
    virtual void Downscale(Resolution source, Resolution target, int width, int height) = 0;
    virtual void Upscale(Resolution source, Resolution target, int width, int height) = 0;
    // The same at the target resolution's size.
    virtual void Downscale(Resolution source, Resolution target) {
        Downscale(source, target, g_nXRes[target], g_nYRes[target]);
    }
    virtual void Upscale(Resolution source, Resolution target) {
        Upscale(source, target, g_nXRes[target], g_nYRes[target]);
    }

    // The hub whose operations and depth maps the pyramid uses; not owned.
    NACommonData* m_pOwner;
    Resolution m_inputResolution;
    T m_levels[7];
    bool m_bFilled[7];
    bool m_bUpscalingAllowed;

protected:
    // Pyramids are never deleted through this base.
    ~Pyramid() = default;
};

// 16-bit depth maps; never enlarged.
class DepthPyramid final : public Pyramid<xn::DepthMetaData> {
public:
    using Pyramid::Downscale;
    using Pyramid::Upscale;
    void InitializeInputLevel() override;
    void Downscale(Resolution source, Resolution target, int width, int height) override;
    // Never called: the pyramid does not enlarge.
    void Upscale(Resolution, Resolution, int, int) override {}
};

// 16-bit shift maps, and the hybrid map; never enlarged.
class ShiftPyramid final : public Pyramid<Array2D<unsigned short> > {
public:
    using Pyramid::Downscale;
    using Pyramid::Upscale;
    void InitializeInputLevel() override;
    void Downscale(Resolution source, Resolution target, int width, int height) override;
    // Never called: the pyramid does not enlarge.
    void Upscale(Resolution, Resolution, int, int) override {}
};

// 16-bit user label maps; finer levels are enlarged with the help of the
// owner's depth map at their resolution.
class LabelPyramid final : public Pyramid<xn::SceneMetaData> {
public:
    LabelPyramid() { m_bUpscalingAllowed = true; }
    using Pyramid::Downscale;
    using Pyramid::Upscale;
    void InitializeInputLevel() override;
    void Downscale(Resolution source, Resolution target, int width, int height) override;
    void Upscale(Resolution source, Resolution target, int width, int height) override;

    // Enlarges coarse into fine, whose size must be the depth map's and a
    // whole multiple n of the coarse map's in both directions (otherwise
    // "invalid data in upscaleLabel" on standard error, fine untouched).
    // Every fine pixel starts at 0; each coarse pixel's n x n block is
    // decided from its own corner and the next ones right and below (within
    // the map), each with the depth at its block's top-left pixel, with a
    // depth margin of 100 mm. Pixels without depth stay 0.
    static void upscaleLabel(const xn::DepthMetaData& depth, const xn::SceneMetaData& coarse,
                             xn::SceneMetaData& fine);
};

extern template class Pyramid<xn::DepthMetaData>;
extern template class Pyramid<Array2D<unsigned short> >;
extern template class Pyramid<xn::SceneMetaData>;
