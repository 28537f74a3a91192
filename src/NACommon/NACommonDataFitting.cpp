// Fitting maps to another resolution and crop, and the grey image: for an
// image or infrared node beside the depth node.

#include <algorithm>
#include <cstring>

#include "NACommon/NACommonData.h"
#include "QuorLibrary/SensorUtilities/ResolutionConverter.h"

namespace {

const XnStatus kCannotFit = 0x10001;

// A point of a converter that enlarges lands on the centre of its block;
// moved back onto the block's top-left pixel.
Vector2D<int> Corner(const ResolutionConverterBase& converter, int x, int y) {
    Vector2D<int> p = converter(Vector2D<int>(x, y));
    if (!converter.m_bDownscale) {
        p.x -= converter.m_nRatio / 2;
        p.y -= converter.m_nRatio / 2;
    }
    return p;
}

}  // namespace

XnStatus NACommonData::CopyMap(const xn::MapMetaData& source, xn::MapMetaData& target) {
    if (&source == &target) {
        return XN_STATUS_OK;
    }
    const uint64_t bytes = static_cast<uint64_t>(std::max(source.XRes(), 0)) * std::max(source.YRes(), 0) *
                           source.BytesPerPixel();
    target.PixelFormat() = source.PixelFormat();
    const XnStatus status = target.AllocateData(static_cast<XnUInt32>(std::max(source.XRes(), 0)),
                                                static_cast<XnUInt32>(std::max(source.YRes(), 0)));
    if (status != XN_STATUS_OK) {
        return status;
    }
    if (source.Data() != nullptr && bytes > 0) {
        std::memcpy(const_cast<void*>(target.Data()), source.Data(), std::min<uint64_t>(bytes, source.DataSize()));
    }
    target.FrameID() = source.FrameID();
    target.Timestamp() = source.Timestamp();
    target.FullXRes() = source.FullXRes();
    target.FullYRes() = source.FullYRes();
    target.XOffset() = source.XOffset();
    target.YOffset() = source.YOffset();
    return XN_STATUS_OK;
}

namespace {

XnStatus DeepCopy(const xn::DepthMetaData& source, xn::DepthMetaData& target) { return target.InitFrom(source); }

XnStatus DeepCopy(const xn::ImageMetaData& source, xn::ImageMetaData& target) {
    return NACommonData::CopyMap(source, target);
}

}  // namespace

template <typename Map>
XnStatus NACommonData::FitMap(const Map& source, Map& target, Resolution resolution, Resolution fullResolution,
                              const Vector2D<int>& offset) const {
    if (!IsValidResolution(resolution) || !IsValidResolution(fullResolution)) {
        return kCannotFit;
    }
    const Resolution r = GetResolution(source.XRes(), source.YRes());
    const Resolution f = GetResolution(source.FullXRes(), source.FullYRes());
    const Vector2D<int> sourceOffset(source.XOffset(), source.YOffset());
    const bool sourceCropped = sourceOffset.x != 0 || sourceOffset.y != 0 || r != f;
    const bool targetCropped = offset.x != 0 || offset.y != 0 || resolution != fullResolution;
    ResolutionConverterBase forward;
    forward.Set(r, resolution, f, fullResolution, sourceOffset, offset);
    forward.Init();
    ResolutionConverterBase backward;
    backward.Set(resolution, r, fullResolution, f, offset, sourceOffset);
    backward.Init();
    const int k = std::max(forward.m_nRatio, 1);
    const bool reduce = forward.m_bDownscale;
    const int width = g_nXRes[resolution];
    const int height = g_nYRes[resolution];

    if (fullResolution == f && resolution == r) {
        return DeepCopy(source, target);
    }
    Map scaled;
    if (sourceCropped) {
        Scale(source, scaled, k, reduce);
        CopyBox(scaled, target, Corner(forward, 0, 0), resolution);
    } else if (targetCropped) {
        Map window;
        Crop(source, window, Corner(backward, 0, 0), Corner(backward, width, height));
        Scale(window, target, k, reduce);
        SetFullResAndOffset(target, fullResolution, offset);
    } else if (r <= VGA && resolution <= VGA) {
        Scale(source, target, k, reduce);
    } else if (r <= VGA && resolution == SXGA) {
        Scale(source, scaled, k, reduce);
        CopyBox(scaled, target, Corner(forward, 0, 0), resolution);
    } else if (r == SXGA && resolution == SXGA) {
        Scale(source, target, k, reduce);
    } else if (r == SXGA && resolution <= VGA) {
        Map window;
        Crop(source, window, Corner(backward, 0, 0), Corner(backward, width, height));
        Scale(window, target, k, reduce);
    } else {
        return kCannotFit;
    }
    return XN_STATUS_OK;
}

XnStatus NACommonData::FitOtherRes(const xn::DepthMetaData& source, xn::DepthMetaData& target, Resolution resolution,
                                   Resolution fullResolution, const Vector2D<int>& offset) const {
    return FitMap(source, target, resolution, fullResolution, offset);
}

XnStatus NACommonData::FitOtherRes(const xn::ImageMetaData& source, xn::ImageMetaData& target, Resolution resolution,
                                   Resolution fullResolution, const Vector2D<int>& offset) const {
    return FitMap(source, target, resolution, fullResolution, offset);
}

void NACommonData::HandleMismatchingDepthImageResolutions() {
    const xn::MapMetaData& image = m_imageMD;
    const xn::MapMetaData& depth = m_depthMD;
    m_bResolutionsMatch = m_pImageGenerator == nullptr ||
                          (image.XRes() == depth.XRes() && image.YRes() == depth.YRes() &&
                           image.FullXRes() == depth.FullXRes() && image.FullYRes() == depth.FullYRes() &&
                           image.XOffset() == depth.XOffset() && image.YOffset() == depth.YOffset());
    if (m_bResolutionsMatch) {
        return;
    }
    FitOtherRes(m_depthMD, m_depthInImageResMD, GetResolution(image.XRes(), image.YRes()),
                GetResolution(image.FullXRes(), image.FullYRes()), Vector2D<int>(image.XOffset(), image.YOffset()));
    FitOtherRes(m_imageMD, m_imageInDepthResMD, GetResolution(depth.XRes(), depth.YRes()),
                GetResolution(depth.FullXRes(), depth.FullYRes()), Vector2D<int>(depth.XOffset(), depth.YOffset()));
}

void NACommonData::PrepareGrayImageMD(const xn::ImageMetaData& image, xn::ImageMetaData& gray) {
    const int format = image.PixelFormat();
    const XnUInt8* pixels = image.Data();
    if ((format == xn::XN_PIXEL_FORMAT_YUV422 || format == xn::XN_PIXEL_FORMAT_RGB24) && pixels != nullptr) {
        const int width = image.XRes();
        const int height = image.YRes();
        gray.PixelFormat() = xn::XN_PIXEL_FORMAT_GRAYSCALE_8_BIT;
        if (gray.AllocateData(static_cast<XnUInt32>(std::max(width, 0)), static_cast<XnUInt32>(std::max(height, 0))) ==
            XN_STATUS_OK) {
            // Rows of width pixels: 2 bytes each in YUV422 (luminance second),
            // 3 in RGB24.
            const int bytes = format == xn::XN_PIXEL_FORMAT_RGB24 ? 3 : 2;
            XnUInt8* out = const_cast<XnUInt8*>(gray.Data());
            for (long i = 0; i < static_cast<long>(width) * height; ++i) {
                const XnUInt8* p = pixels + i * bytes;
                out[i] = format == xn::XN_PIXEL_FORMAT_RGB24
                             ? static_cast<XnUInt8>(0.2989 * p[0] + 0.587 * p[1] + 0.114 * p[2])
                             : p[1];
            }
        }
    } else if (format == xn::XN_PIXEL_FORMAT_GRAYSCALE_8_BIT && pixels != nullptr) {
        // A fixed 1280x1024 image holding the picture from row 32 on.
        gray.PixelFormat() = xn::XN_PIXEL_FORMAT_GRAYSCALE_8_BIT;
        if (gray.AllocateData(1280, 1024) == XN_STATUS_OK) {
            XnUInt8* out = const_cast<XnUInt8*>(gray.Data());
            const int columns = std::min(image.XRes(), 1280);
            for (int y = 0; y < image.YRes() && y + 32 < 1024; ++y) {
                std::memcpy(out + static_cast<size_t>(y + 32) * 1280, pixels + static_cast<size_t>(y) * image.XRes(),
                            std::max(columns, 0));
            }
        }
    }
    gray.FrameID() = image.FrameID();
    gray.Timestamp() = image.Timestamp();
}

void NACommonData::PrepareGrayImageMD() {
    if (m_nGrayImageFrameID == static_cast<int32_t>(m_imageMD.FrameID()) && m_pGrayImageSource == &m_imageMD) {
        return;
    }
    PrepareGrayImageMD(m_imageMD, m_grayImageMD);
    m_nGrayImageFrameID = static_cast<int32_t>(m_imageMD.FrameID());
    m_pGrayImageSource = &m_imageMD;
}
