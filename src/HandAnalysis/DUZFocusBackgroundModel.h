#pragma once

// The gesture side's background model: the common background model run at
// the focus resolution (160x120), plus a motion image. For every pixel the
// model sees as foreground it keeps a smoothed copy of the pixel's map value
// (the shift of its depth) and a counter. The counter starts when the value
// changes by more than 2, grows with every later frame in which the pixel
// holds still and drops back to 0 on the 15th still frame after the
// movement began (the 30th inside a tracked candidate's search window);
// frames in which the pixel keeps moving neither count nor restart it. A
// non-zero counter marks a recently moving foreground pixel: the hand
// detector takes candidates only there and the focus hand trackers validate
// against it. Foreground that touches a tracked candidate's window is never
// fed back into the background.

#include <cstdint>
#include <string>

#include "NACommon/NAFarfield.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"

class NACommonData;

class DUZFocusBackgroundModel : public NAFarfield {
public:
    // A pixel moves when its value changes by more than this.
    static constexpr int kMotionThreshold = 2;
    // Still frames a movement is remembered for, per mask value + 1.
    static constexpr int kMotionFrames = 15;

    DUZFocusBackgroundModel();
    ~DUZFocusBackgroundModel() override;

    // Binds the hub, asks it for depth and shift one level below the
    // stream's native size, initialises the base at 160x120 with four row
    // bands and sizes the images (accumulated 0, motion 1 everywhere).
    // iniFile and verbose are not used. 0 when the hub or the base cannot
    // serve the model.
    int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator, const std::string& iniFile,
                   int verbose, int sseFlag, int profilingFlag);
    using NAFarfield::Initialize;

    // One frame: depths and images hold the current frame's and the two
    // previous frames' depth and 16-bit shift maps (current first, equal
    // sizes); mask is 1 inside the tracked windows and 0 elsewhere, of the
    // depth maps' size (null: 0 everywhere); trackedBoxes (not owned, kept
    // until the next update) are those windows.
    void Update(const xn::DepthMetaData** depths, const Array2D<unsigned short>** images, unsigned int frameId,
                SensorTime time, unsigned short* mask, Box2D<int>* trackedBoxes, int numTrackedBoxes);
    using NAFarfield::Update;

    // The base's restart; every pixel moving (1), no accumulated values.
    // Copes with images not sized yet (the base's Initialize calls it).
    void Reset() override;
    // The newest foreground depth image of the base.
    const Array2D<uint16_t>& GetForegroundImage() const override;
    // Whether the component's image box overlaps a tracked window
    // (inclusive on both axes).
    bool isCCAdjacentToUser(const NAFarfieldCC& cc) override;

    // The motion update over the box's rows and its columns widened to whole
    // groups of 8, all images row-major with a stride of width pixels.
    // Nothing when width is not a multiple of 8 or the box has no rows; the
    // rows and columns are kept within what the three images hold. mask may
    // be null (0 everywhere). The eight-pixel form and its plain twin give
    // the same images for counters below 32767 and masks of 0 and 1.
    static void CalculateDiffFgImageSSE(int width, const unsigned short* current,
                                        const Array2D<unsigned short>& foreground,
                                        Array2D<unsigned short>& accumulated, Array2D<unsigned short>& motion,
                                        const unsigned short* mask, const Box2D<int>& box);
    static void CalculateDiffFgImage(int width, const unsigned short* current,
                                     const Array2D<unsigned short>& foreground, Array2D<unsigned short>& accumulated,
                                     Array2D<unsigned short>& motion, const unsigned short* mask,
                                     const Box2D<int>& box);

    // Per pixel the smoothed shift of a foreground pixel, 0 elsewhere.
    Array2D<unsigned short> m_accumulatedShift;
    // Per pixel 0 (still) or 1 + the still frames since the movement began.
    Array2D<unsigned short> m_motionImage;
    const Box2D<int>* m_trackedBoxes;
    int m_numTrackedBoxes;

private:
    // The part of the box that all images cover, columns widened to groups
    // of 8; false when nothing is left.
    static bool MotionWindow(int width, const Array2D<unsigned short>& foreground,
                             const Array2D<unsigned short>& accumulated, const Array2D<unsigned short>& motion,
                             const Box2D<int>& box, Box2D<int>& window);
};
