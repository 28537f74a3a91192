#pragma once

// The scene analyzer's background model: NAFarfield for a scene with tracked
// users. Per frame it also takes the shadow map of the analyzer's shadow
// filling, the segmentation's label map of the previous frame and the boxes
// of the alive users, and with them
// - counts filled shadow pixels as pixels with depth, and forgets the
//   background under a lasting shadow that lies beyond it;
// - keeps foreground components near or touching a user out of the
//   background;
// - makes the foreground map from an eroded copy of the background: a pixel
//   is foreground when more than 3 shift units nearer than the nearest
//   background around it;
// - moves foreground that belongs to no user for more than 150 frames into
//   the background (Feedback, called by the segmentation).

#include <cstdint>
#include <vector>

#include "NACommon/NAFarfield.h"
#include "QuorLibrary/Math/Box3D.h"

class Farfield : public NAFarfield {
public:
    // Unknown background in the eroded copy.
    static constexpr int16_t kUnknownBackground = 2000;
    // Foreground outside users for more frames than this becomes background.
    static constexpr int32_t kMaxForegroundAge = 150;
    // A foreground pixel lies more than this nearer than the eroded
    // background (shift units).
    static constexpr int kForegroundMargin = 3;
    // A shadow lasting more frames than this, filled more than this beyond
    // the background, forgets the background where there is no depth.
    static constexpr int kLastingShadowFrames = 2;
    static constexpr int kShadowBeyondBackground = 6;

    Farfield();
    ~Farfield() override;

    using NAFarfield::Initialize;
    using NAFarfield::Update;

    void initializeShadowCounter() override;
    void UpdateFarfieldLineNoDepth(int16_t row, const uint16_t* shiftRow, uint16_t* counterRow,
                                   uint16_t* backgroundRow) override;
    void UpdateFarfieldLineNoDepth_SSE(int16_t row, const uint16_t* shiftRow, uint16_t* counterRow,
                                       uint16_t* backgroundRow) override;
    bool isCCCloseToUser(NAFarfieldCC& cc) override;
    bool isCCAdjacentToUser(const NAFarfieldCC& cc) override;
    void ImproveFg() override;
    void ImproveFg_SSE(int firstRow, int lastRow) override;

    // Sizes the four maps at the hub's depth map of res, then the base's
    // Initialize with one row band.
    virtual bool Initialize(NACommonData* data, Resolution res, int sse, int profiling);
    // Stores the extra inputs, then the base's Update with the hub's frame
    // id, the time stamp of its depth node's frame and its valid image box.
    // shadowMap and prevLabels have the model's size (others count as no
    // shadow and no users).
    virtual void Update(const xn::DepthMetaData** depths, const Array2D<uint16_t>** shifts, const uint16_t* shadowMap,
                        const xn::SceneMetaData& prevLabels, const std::vector<Box3D<int> >& userBoxes,
                        const std::vector<bool>& userOccluding);
    virtual bool WasCameraMovementTriggered();

    // Long-lived foreground outside the users of labels goes into the
    // background.
    void Feedback(const xn::SceneMetaData& labels);
    // The component's depth bounds from the current depth, once per frame.
    void computeZBounds(NAFarfieldCC& cc);
    void UpdateBg1();
    void UpdateBg1_SSE(int firstRow, int lastRow);
    void UpdateBg2();
    void UpdateFg();
    void UpdateFg_SSE(int firstRow, int lastRow);

    const uint16_t* m_pShadowMap;
    Array2D<uint16_t> m_shadowCounter;
    Array2D<int16_t> m_bg1;
    Array2D<int16_t> m_bg2;
    Array2D<int32_t> m_fgAge;
    const xn::SceneMetaData* m_pPrevLabels;
    std::vector<Box3D<int> > m_userBoxes;
    std::vector<bool> m_userOccluding;

private:
    // Whether every image gap between the component's box and a user's box,
    // at the pixel length of that depth, is at most 100 mm.
    bool GapsAreSmall(const NAFarfieldCC& cc, const Box3D<int>& user, int depth) const;
    // The previous frame's label at pixel i, 0 without a usable map.
    const XnLabel* PreviousLabels() const;
    void UpdateFgRows(int firstRow, int lastRow);
    // The no-depth and shadow counters of a row from column begin on.
    void UpdateNoDepthPixels(int16_t row, int begin, const uint16_t* shiftRow, uint16_t* counterRow,
                             uint16_t* backgroundRow);
};
