#pragma once

// The per-tracker hub of the current depth frame. Each tracker owns one;
// every algorithm of that tracker reads the frame from it, never from the
// stream: the depth map at any resolution, the shift map, both also one and
// two frames back, the hybrid map, frame id and time stamp, the box of valid
// pixels per resolution, the recording's names, and (through NAConversions)
// every depth/shift/world conversion.
//
// Life of a hub: construct; Initialize from the tracker and again from each
// component that uses it, each call only ever raising resolutions; per frame,
// after the adapter has handed the new frame to the registered nodes, Update
// (a second call for the same frame does nothing), SetImageBorders by whoever
// needs image boxes, then any number of reads. A read may make a pyramid
// level, so the hub is used from one thread at a time.
//
// Image and infrared nodes beside the depth node are served by the fitting
// and grey-image operations; no tracker has one.

#include <string>

#include "NACommon/NAConversions.h"
#include "NACommon/Pyramid.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Utilities/CyclicBuffer.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnIRMetaData.h"
#include "XnAdapter/XnImageMetaData.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData : public NAConversions {
public:
    // What a caller asks of the hub. A resolution is the finest level of its
    // pyramid; INVALID asks for none.
    struct Configuration {
        const xn::DepthGenerator* pDepthGenerator = nullptr;
        const xn::ImageGenerator* pImageGenerator = nullptr;
        const xn::IRGenerator* pIRGenerator = nullptr;
        Resolution depthResolution = INVALID;
        Resolution shiftResolution = INVALID;
        Resolution hybridResolution = INVALID;
    };

    NACommonData();
    ~NACommonData();

    // (Re)initialises for a configuration: a depth node of another stream
    // rebuilds everything; otherwise new image and infrared nodes are taken,
    // and resolutions only rise (a raised history restarts from zero maps).
    // False when the depth node's conversions cannot be built, also on every
    // later call until they can.
    bool Initialize(const Configuration& configuration);
    // Depth and shift maps at resolution, or one step coarser than the
    // node's native size when it is INVALID; the hybrid map at the native
    // size.
    bool Initialize(const xn::DepthGenerator& depth, Resolution resolution, const xn::ImageGenerator* image,
                    const xn::IRGenerator* ir);
    void incRef();
    // At 0 or below the hub drops its depth node copy and stops receiving
    // frames; the hub itself stays.
    void decRef();

    // Steps of Initialize.
    void SetDepthGenerator(const xn::DepthGenerator* depth);
    bool InitializeDepthGeneratorData();
    bool InitializeImageGeneratorData();
    const xn::MapGenerator* GetMainGenerator() const;

    // Per frame.
    void Update();
    void UpdateByDepth(xn::DepthMetaData& depth);
    void UpdateByExternalMetadata(xn::DepthMetaData* depth, xn::ImageMetaData* image, xn::IRMetaData* ir);
    void UpdateDepthMap();
    void UpdateShiftMap();
    void UpdateHybridMap();
    // Image boxes of every resolution up to the native one, computed at
    // resolution once per frame id; coarser boxes shrink inwards.
    void SetImageBorders(Resolution resolution);
    // Every image box the whole image.
    void SetImageBorders();
    void SetOverrideImageCrop(int fullWidth, int fullHeight, int xOffset, int yOffset);
    void HandleCroppedImage();

    // Reading. age 0 is the current frame, 1 and 2 the ones before (the
    // native map is always the current input). A resolution finer than the
    // configured one, other than the native one, ends the process.
    const xn::DepthMetaData& DepthMap(Resolution resolution, unsigned short age) const;
    const Array2D<unsigned short>& ShiftMap(Resolution resolution, unsigned short age) const;
    const Array2D<unsigned short>& HybridMap() const;
    const Box2D<int>& ImageBox(Resolution resolution) const;
    // World point (mm) of a depth pixel of the current frame; a pixel off
    // the map has no depth.
    Vector3D<float> WorldPt(Resolution resolution, const Vector2D<int>& pixel) const;

    // 16-bit reductions by the hub's mode (subsample, block minimum, block
    // average) and the pixel operations they use. Only whole factor x factor
    // blocks are read and written: the target is (width / factor) x
    // (height / factor).
    void Downscale(const unsigned short* source, unsigned short* target, int width, int height, int factor) const;
    static void Downscale16bNoSSE(const unsigned short* source, unsigned short* target, int width, int height,
                                  int factor);
    static void Downscale24bNoSSE(const unsigned char* source, unsigned char* target, int width, int height,
                                  int factor);
    static void DownscaleMinNoSSE(const unsigned short* source, unsigned short* target, int width, int height,
                                  int factor);
    static void Downscale16bSmoothNoSSE(const unsigned short* source, unsigned short* target, int width, int height,
                                        int factor);
    // Factor 2 with SSSE3 (only when m_bSupplementalSSE3): the subsample and
    // the average ((a + b) + (c + d)) >> 2 in wrapping 16-bit sums, 0 when
    // any of the four is 0. A width that is not a multiple of 8 writes
    // nothing. With a window (inclusive), its rows and its columns from the
    // window's min x rounded down to a multiple of 8 to its max x's group of
    // 8 are reduced, into the same place of the target.
    static void Downscale2x2SSE(const unsigned short* source, unsigned short* target, unsigned short width,
                                unsigned short height, const Box2D<int>* window = nullptr);
    static void Downscale2x2SmoothSSE(const unsigned short* source, unsigned short* target, unsigned short width,
                                      unsigned short height, const Box2D<int>* window = nullptr);
    // Their plain twins: the same results on any processor.
    static void Downscale2x2NoSSE(const unsigned short* source, unsigned short* target, unsigned short width,
                                  unsigned short height, const Box2D<int>* window = nullptr);
    static void Downscale2x2SmoothNoSSE(const unsigned short* source, unsigned short* target, unsigned short width,
                                        unsigned short height, const Box2D<int>* window = nullptr);
    // Subsampling by 4 (the plain subsample; there is no SSE form).
    static void Downscale4x4SSE(const unsigned short* source, unsigned short* target, unsigned short width,
                                unsigned short height);
    static void Upscale16bNoSSE(const unsigned short* source, unsigned short* target, int width, int height,
                                int factor);
    static void Upscale24bNoSSE(const unsigned char* source, unsigned char* target, int width, int height,
                                int factor);

    // Map operations; the target is sized as needed and takes the source's
    // frame id and time stamp.
    void Downscale(const xn::DepthMetaData& source, xn::DepthMetaData& target, int factor) const;
    void Downscale(const xn::SceneMetaData& source, xn::SceneMetaData& target, int factor) const;
    void Downscale(const xn::ImageMetaData& source, xn::ImageMetaData& target, int factor) const;
    static void Upscale(const xn::DepthMetaData& source, xn::DepthMetaData& target, int factor);
    static void Upscale(const xn::SceneMetaData& source, xn::SceneMetaData& target, int factor);
    static void Upscale(const xn::ImageMetaData& source, xn::ImageMetaData& target, int factor);
    // The window from start to end (exclusive).
    static void Crop(const xn::DepthMetaData& source, xn::DepthMetaData& target, const Vector2D<int>& start,
                     const Vector2D<int>& end);
    static void Crop(const xn::ImageMetaData& source, xn::ImageMetaData& target, const Vector2D<int>& start,
                     const Vector2D<int>& end);
    // The source placed at offset into a target of the resolution's size.
    static void CopyBox(const xn::DepthMetaData& source, xn::DepthMetaData& target, const Vector2D<int>& offset,
                        Resolution resolution);
    static void CopyBox(const xn::ImageMetaData& source, xn::ImageMetaData& target, const Vector2D<int>& offset,
                        Resolution resolution);
    void Scale(const xn::DepthMetaData& source, xn::DepthMetaData& target, int factor, bool reduce) const;
    void Scale(const xn::ImageMetaData& source, xn::ImageMetaData& target, int factor, bool reduce) const;
    // A target that has data of width x height only takes the source's frame
    // id and time stamp (a depth map also its z resolution); any other
    // becomes a copy of the source's description with its own buffer of
    // width x height.
    static void InitOrUpdateMapMetaData(xn::DepthMetaData& target, const xn::DepthMetaData& source, int width,
                                        int height);
    static void InitOrUpdateMapMetaData(xn::SceneMetaData& target, const xn::SceneMetaData& source, int width,
                                        int height);
    static void SetFullResAndOffset(xn::MapMetaData& map, Resolution resolution, const Vector2D<int>& offset);
    // Raw byte operations on maps of bytesPerPixel: the target's pixel (x, y)
    // is the source's (x + offsetX, y + offsetY). Crop writes the part of the
    // target window that lies on the source; CopyBox writes the whole target,
    // zero where the source does not reach.
    static void Crop(const char* source, char* target, int sourceWidth, int sourceHeight, int targetWidth,
                     int targetHeight, int offsetX, int offsetY, int bytesPerPixel);
    static void CopyBox(const char* source, char* target, int sourceWidth, int sourceHeight, int targetWidth,
                        int targetHeight, int offsetX, int offsetY, int bytesPerPixel);

    // Fits a map to another resolution, full-frame resolution and crop:
    // 0, 0x10001 for a pair that cannot be fitted (target left as it was),
    // 0x20001 when a copy's buffer cannot be allocated.
    XnStatus FitOtherRes(const xn::DepthMetaData& source, xn::DepthMetaData& target, Resolution resolution,
                         Resolution fullResolution, const Vector2D<int>& offset) const;
    XnStatus FitOtherRes(const xn::ImageMetaData& source, xn::ImageMetaData& target, Resolution resolution,
                         Resolution fullResolution, const Vector2D<int>& offset) const;
    void HandleMismatchingDepthImageResolutions();
    // target becomes a copy of source (description and pixels) in its own
    // buffer; 0x20001 when that cannot be allocated.
    static XnStatus CopyMap(const xn::MapMetaData& source, xn::MapMetaData& target);
    // An 8-bit grey version of an RGB24, YUV422 or 8-bit grey image.
    static void PrepareGrayImageMD(const xn::ImageMetaData& image, xn::ImageMetaData& gray);
    void PrepareGrayImageMD();

    // The hub's own copy of the depth node (registered, so it receives every
    // frame of the stream); null until a depth node is set.
    xn::DepthGenerator* m_pDepthGenerator;
    const xn::ImageGenerator* m_pImageGenerator;
    const xn::IRGenerator* m_pIRGenerator;
    Resolution m_depthResolution;
    Resolution m_shiftResolution;
    Resolution m_hybridResolution;
    // Whether the device delivers its own shift map ("ShiftsMap").
    bool m_bHasShiftsMap;
    int32_t m_nRefCount;
    int32_t m_nFrameID;
    uint64_t m_nTimestamp;
    // Whether the frames come from a recording, and its file name without
    // folder, its full path and its file name without extension; all empty
    // for a live device.
    bool m_bIsRecording;
    std::string m_strRecordingFileName;
    std::string m_strRecordingPath;
    std::string m_strRecordingName;
    xn::DepthMetaData m_depthMD;
    xn::ImageMetaData m_imageMD;
    xn::IRMetaData m_irMD;
    // Whose frame index drives the hub: 0 depth, 1 image, 2 infrared.
    int32_t m_mainGenerator;
    Resolution m_nativeDepthResolution;
    Resolution m_imageResolution;
    xn::ImageMetaData m_grayImageMD;
    int32_t m_nGrayImageFrameID;
    const xn::ImageMetaData* m_pGrayImageSource;
    xn::DepthMetaData m_depthInImageResMD;
    xn::ImageMetaData m_imageInDepthResMD;
    bool m_bResolutionsMatch;
    bool m_bOverrideImageCrop;
    int32_t m_nOverrideFullXRes;
    int32_t m_nOverrideFullYRes;
    int32_t m_nOverrideXOffset;
    int32_t m_nOverrideYOffset;
    // Histories of this frame and the two before; every slot's input level
    // is filled from Initialize on. Reads make levels, hence mutable.
    mutable CyclicBuffer<DepthPyramid, 3> m_depthPyramids;
    mutable CyclicBuffer<ShiftPyramid, 3> m_shiftPyramids;
    mutable ShiftPyramid m_hybridPyramid;
    // Per resolution 0..6, the inclusive box of the pixels with depth.
    Box2D<int> m_imageBoxes[7];
    int32_t m_nLastFrameID;
    // 0 subsample, 1 block minimum, 2 block average.
    int32_t m_nDownscaleMode;
    int32_t m_nLastBordersFrameID;
    // The processor has SSSE3 (CPUID leaf 1, ECX bit 9): the 2x2 reductions
    // use it.
    static bool m_bSupplementalSSE3;

private:
    // Prepares every slot of a history for a new input resolution.
    template <typename P>
    void PrepareHistory(CyclicBuffer<P, 3>& history, Resolution resolution);
    template <typename P>
    void PreparePyramid(P& pyramid, Resolution resolution);
    void ReleaseDepthGenerator();
    void RefreshImageMetaData();
    // The maps of the frame just taken in.
    void UpdateMaps();
    template <typename Map>
    XnStatus FitMap(const Map& source, Map& target, Resolution resolution, Resolution fullResolution,
                    const Vector2D<int>& offset) const;
};

// False when requested is null; true when current is null, has no stream or
// another stream than requested.
bool IsNewGenerator(const xn::MapGenerator* current, const xn::MapGenerator* requested);

// target[i] = hybrid value of source[i] through table, the hub's 10000-entry
// depth-to-hybrid table; a depth of 10000 mm or more is no depth.
void UpdateHybridMapLine(const unsigned short* source, short* target, int count, const unsigned short* table);
