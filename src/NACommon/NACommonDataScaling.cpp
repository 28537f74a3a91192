// The hub's reductions, enlargements and crops.

#include <algorithm>
#include <cstring>

#include "NACommon/NACommonData.h"
#include "QuorLibrary/Utilities/FatalError.h"

namespace {

// The pixels a map describes, for writing, when it holds count pixels of
// bytesPerPixel; null otherwise (a failed allocation left a smaller buffer).
void* WritableBytes(const xn::MapMetaData& map, int count, int bytesPerPixel) {
    const uint64_t bytes = static_cast<uint64_t>(std::max(count, 0)) * static_cast<uint64_t>(std::max(bytesPerPixel, 0));
    if (map.Data() == nullptr || static_cast<int64_t>(map.XRes()) * map.YRes() != count || map.DataSize() < bytes) {
        return nullptr;
    }
    return const_cast<void*>(map.Data());
}

template <typename T>
T* WritablePixels(const xn::MapMetaData& map, int count) {
    return static_cast<T*>(WritableBytes(map, count, static_cast<int>(sizeof(T))));
}

// The header of source (frame id, time stamp, sizes, crop, format) onto
// target, which is then given its own buffer of width x height.
void InitFromHeader(const xn::MapMetaData& source, xn::MapMetaData& target, int width, int height) {
    target.FrameID() = source.FrameID();
    target.Timestamp() = source.Timestamp();
    target.DataSize() = source.DataSize();
    target.XRes() = source.XRes();
    target.YRes() = source.YRes();
    target.FullXRes() = source.FullXRes();
    target.FullYRes() = source.FullYRes();
    target.XOffset() = source.XOffset();
    target.YOffset() = source.YOffset();
    target.PixelFormat() = source.PixelFormat();
    target.AllocateData(static_cast<XnUInt32>(std::max(width, 0)), static_cast<XnUInt32>(std::max(height, 0)));
}

bool HasDataOfSize(const xn::MapMetaData& map, int width, int height) {
    return map.Data() != nullptr && map.XRes() == width && map.YRes() == height;
}

// Image targets report what they hold: the source's format, except YUV422,
// for which pixels are not reduced or enlarged, and which becomes RGB24.
void PrepareImageTarget(const xn::ImageMetaData& source, xn::ImageMetaData& target, int width, int height) {
    if (HasDataOfSize(target, width, height)) {
        target.FrameID() = source.FrameID();
        target.Timestamp() = source.Timestamp();
        return;
    }
    InitFromHeader(source, target, 0, 0);
    if (source.PixelFormat() == xn::XN_PIXEL_FORMAT_YUV422 || source.BytesPerPixel() == 0) {
        target.PixelFormat() = xn::XN_PIXEL_FORMAT_RGB24;
    }
    target.AllocateData(static_cast<XnUInt32>(std::max(width, 0)), static_cast<XnUInt32>(std::max(height, 0)));
}

}  // namespace

void NACommonData::Downscale(const unsigned short* source, unsigned short* target, int width, int height,
                             int factor) const {
    const bool ssse3 = factor == 2 && m_bSupplementalSSE3 && width <= 0xFFFF && height <= 0xFFFF;
    switch (m_nDownscaleMode) {
        case 0:
            if (ssse3) {
                Downscale2x2SSE(source, target, static_cast<unsigned short>(width), static_cast<unsigned short>(height));
            } else {
                Downscale16bNoSSE(source, target, width, height, factor);
            }
            break;
        case 1:
            DownscaleMinNoSSE(source, target, width, height, factor);
            break;
        case 2:
            if (ssse3) {
                Downscale2x2SmoothSSE(source, target, static_cast<unsigned short>(width),
                                      static_cast<unsigned short>(height));
            } else {
                Downscale16bSmoothNoSSE(source, target, width, height, factor);
            }
            break;
        default:
            VELA_FATAL_ERROR("Unknown downscale mode");
    }
}

namespace {

// Calls block(sourceBlock, target pixel index) for every whole factor x
// factor block, row after row.
template <typename Block>
void ForEachBlock(int width, int height, int factor, Block block) {
    if (factor <= 0) {
        return;
    }
    const int targetWidth = width / factor;
    const int targetHeight = height / factor;
    for (int ty = 0; ty < targetHeight; ++ty) {
        for (int tx = 0; tx < targetWidth; ++tx) {
            block(static_cast<long>(ty) * factor * width + static_cast<long>(tx) * factor,
                  static_cast<long>(ty) * targetWidth + tx);
        }
    }
}

// Calls pixel(source index, target index) for every target pixel of a
// factor-times enlargement.
template <typename Pixel>
void ForEachEnlargedPixel(int width, int height, int factor, Pixel pixel) {
    if (factor <= 0) {
        return;
    }
    const int targetWidth = width * factor;
    for (int ty = 0; ty < height * factor; ++ty) {
        for (int tx = 0; tx < targetWidth; ++tx) {
            pixel(static_cast<long>(ty / factor) * width + tx / factor, static_cast<long>(ty) * targetWidth + tx);
        }
    }
}

}  // namespace

void NACommonData::Downscale16bNoSSE(const unsigned short* source, unsigned short* target, int width, int height,
                                     int factor) {
    ForEachBlock(width, height, factor, [&](long s, long t) { target[t] = source[s]; });
}

void NACommonData::Downscale24bNoSSE(const unsigned char* source, unsigned char* target, int width, int height,
                                     int factor) {
    ForEachBlock(width, height, factor, [&](long s, long t) { std::memcpy(target + 3 * t, source + 3 * s, 3); });
}

void NACommonData::DownscaleMinNoSSE(const unsigned short* source, unsigned short* target, int width, int height,
                                     int factor) {
    ForEachBlock(width, height, factor, [&](long s, long t) {
        unsigned short smallest = 9999;
        for (int y = 0; y < factor; ++y) {
            for (int x = 0; x < factor; ++x) {
                const unsigned short v = source[s + static_cast<long>(y) * width + x];
                if (v != 0 && v < smallest) {
                    smallest = v;
                }
            }
        }
        target[t] = smallest == 9999 ? 0 : smallest;
    });
}

void NACommonData::Downscale16bSmoothNoSSE(const unsigned short* source, unsigned short* target, int width,
                                           int height, int factor) {
    ForEachBlock(width, height, factor, [&](long s, long t) {
        uint32_t sum = 0;
        bool hole = false;
        for (int y = 0; y < factor; ++y) {
            for (int x = 0; x < factor; ++x) {
                const unsigned short v = source[s + static_cast<long>(y) * width + x];
                sum += v;
                hole = hole || v == 0;
            }
        }
        target[t] = hole ? 0 : static_cast<unsigned short>(sum / static_cast<uint32_t>(factor * factor));
    });
}

void NACommonData::Downscale4x4SSE(const unsigned short* source, unsigned short* target, unsigned short width,
                                   unsigned short height) {
    Downscale16bNoSSE(source, target, width, height, 4);
}

void NACommonData::Upscale16bNoSSE(const unsigned short* source, unsigned short* target, int width, int height,
                                   int factor) {
    ForEachEnlargedPixel(width, height, factor, [&](long s, long t) { target[t] = source[s]; });
}

void NACommonData::Upscale24bNoSSE(const unsigned char* source, unsigned char* target, int width, int height,
                                   int factor) {
    ForEachEnlargedPixel(width, height, factor, [&](long s, long t) { std::memcpy(target + 3 * t, source + 3 * s, 3); });
}

void NACommonData::InitOrUpdateMapMetaData(xn::DepthMetaData& target, const xn::DepthMetaData& source, int width,
                                           int height) {
    if (HasDataOfSize(target, width, height)) {
        target.FrameID() = source.FrameID();
        target.Timestamp() = source.Timestamp();
        target.ZRes() = source.ZRes();
        return;
    }
    InitFromHeader(source, target, width, height);
}

void NACommonData::InitOrUpdateMapMetaData(xn::SceneMetaData& target, const xn::SceneMetaData& source, int width,
                                           int height) {
    if (HasDataOfSize(target, width, height)) {
        target.FrameID() = source.FrameID();
        target.Timestamp() = source.Timestamp();
        return;
    }
    InitFromHeader(source, target, width, height);
}

namespace {

// Sizes a 16-bit target for a reduction (reduce) or an enlargement of source
// by factor, then runs work(source pixels, target pixels) when the target
// holds them.
template <typename Map, typename Work>
void ScaleMap(const Map& source, Map& target, int factor, bool reduce, Work work) {
    if (factor <= 0) {
        return;
    }
    const int width = reduce ? source.XRes() / factor : source.XRes() * factor;
    const int height = reduce ? source.YRes() / factor : source.YRes() * factor;
    NACommonData::InitOrUpdateMapMetaData(target, source, width, height);
    unsigned short* pixels = WritablePixels<unsigned short>(target, width * height);
    if (pixels != nullptr && source.Data() != nullptr) {
        work(source.Data(), pixels);
    }
}

}  // namespace

void NACommonData::Downscale(const xn::DepthMetaData& source, xn::DepthMetaData& target, int factor) const {
    ScaleMap(source, target, factor, true, [&](const unsigned short* in, unsigned short* out) {
        Downscale(in, out, source.XRes(), source.YRes(), factor);
    });
}

void NACommonData::Downscale(const xn::SceneMetaData& source, xn::SceneMetaData& target, int factor) const {
    ScaleMap(source, target, factor, true, [&](const unsigned short* in, unsigned short* out) {
        Downscale(in, out, source.XRes(), source.YRes(), factor);
    });
}

void NACommonData::Upscale(const xn::DepthMetaData& source, xn::DepthMetaData& target, int factor) {
    ScaleMap(source, target, factor, false, [&](const unsigned short* in, unsigned short* out) {
        Upscale16bNoSSE(in, out, source.XRes(), source.YRes(), factor);
    });
}

void NACommonData::Upscale(const xn::SceneMetaData& source, xn::SceneMetaData& target, int factor) {
    ScaleMap(source, target, factor, false, [&](const unsigned short* in, unsigned short* out) {
        Upscale16bNoSSE(in, out, source.XRes(), source.YRes(), factor);
    });
}

void NACommonData::Downscale(const xn::ImageMetaData& source, xn::ImageMetaData& target, int factor) const {
    if (factor <= 0 || source.Data() == nullptr) {
        return;
    }
    const int width = source.XRes() / factor;
    const int height = source.YRes() / factor;
    PrepareImageTarget(source, target, width, height);
    if (source.PixelFormat() == xn::XN_PIXEL_FORMAT_RGB24) {
        unsigned char* pixels = static_cast<unsigned char*>(WritableBytes(target, width * height, 3));
        if (pixels != nullptr) {
            Downscale24bNoSSE(source.Data(), pixels, source.XRes(), source.YRes(), factor);
        }
    } else if (source.PixelFormat() == xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT) {
        unsigned short* pixels = WritablePixels<unsigned short>(target, width * height);
        const unsigned short* in = static_cast<const unsigned short*>(static_cast<const void*>(source.Data()));
        if (pixels == nullptr) {
            return;
        }
        if (factor == 2 && m_bSupplementalSSE3 && source.XRes() <= 0xFFFF && source.YRes() <= 0xFFFF) {
            Downscale2x2SSE(in, pixels, static_cast<unsigned short>(source.XRes()),
                            static_cast<unsigned short>(source.YRes()));
        } else {
            Downscale16bNoSSE(in, pixels, source.XRes(), source.YRes(), factor);
        }
    }
}

void NACommonData::Upscale(const xn::ImageMetaData& source, xn::ImageMetaData& target, int factor) {
    if (factor <= 0 || source.Data() == nullptr) {
        return;
    }
    const int width = source.XRes() * factor;
    const int height = source.YRes() * factor;
    PrepareImageTarget(source, target, width, height);
    if (source.PixelFormat() == xn::XN_PIXEL_FORMAT_RGB24) {
        unsigned char* pixels = static_cast<unsigned char*>(WritableBytes(target, width * height, 3));
        if (pixels != nullptr) {
            Upscale24bNoSSE(source.Data(), pixels, source.XRes(), source.YRes(), factor);
        }
    } else if (source.PixelFormat() == xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT) {
        unsigned short* pixels = WritablePixels<unsigned short>(target, width * height);
        if (pixels != nullptr) {
            Upscale16bNoSSE(static_cast<const unsigned short*>(static_cast<const void*>(source.Data())), pixels,
                            source.XRes(), source.YRes(), factor);
        }
    }
}

namespace {

// The raw crop and copy-box on maps of any kind; the target is prepared by
// prepare(width, height) and written when it holds that many pixels.
template <typename Prepare>
void CropMap(const xn::MapMetaData& source, xn::MapMetaData& target, const Vector2D<int>& start,
             const Vector2D<int>& end, Prepare prepare) {
    const int width = end.x - start.x;
    const int height = end.y - start.y;
    const int bytes = static_cast<int>(source.BytesPerPixel());
    if (width <= 0 || height <= 0 || source.Data() == nullptr) {
        return;
    }
    prepare(width, height);
    char* pixels = static_cast<char*>(WritableBytes(target, width * height, bytes));
    if (pixels != nullptr) {
        NACommonData::Crop(static_cast<const char*>(source.Data()), pixels, source.XRes(), source.YRes(), width,
                           height, start.x, start.y, bytes);
    }
}

template <typename Prepare>
void CopyBoxMap(const xn::MapMetaData& source, xn::MapMetaData& target, const Vector2D<int>& offset,
                Resolution resolution, Prepare prepare) {
    if (!IsValidResolution(resolution) || source.Data() == nullptr) {
        return;
    }
    const int width = g_nXRes[resolution];
    const int height = g_nYRes[resolution];
    const int bytes = static_cast<int>(source.BytesPerPixel());
    prepare(width, height);
    char* pixels = static_cast<char*>(WritableBytes(target, width * height, bytes));
    if (pixels != nullptr) {
        NACommonData::CopyBox(static_cast<const char*>(source.Data()), pixels, source.XRes(), source.YRes(), width,
                              height, offset.x, offset.y, bytes);
    }
}

}  // namespace

void NACommonData::Crop(const xn::DepthMetaData& source, xn::DepthMetaData& target, const Vector2D<int>& start,
                        const Vector2D<int>& end) {
    CropMap(source, target, start, end, [&](int w, int h) { InitOrUpdateMapMetaData(target, source, w, h); });
}

void NACommonData::Crop(const xn::ImageMetaData& source, xn::ImageMetaData& target, const Vector2D<int>& start,
                        const Vector2D<int>& end) {
    CropMap(source, target, start, end, [&](int w, int h) { PrepareImageTarget(source, target, w, h); });
}

void NACommonData::CopyBox(const xn::DepthMetaData& source, xn::DepthMetaData& target, const Vector2D<int>& offset,
                           Resolution resolution) {
    CopyBoxMap(source, target, offset, resolution,
               [&](int w, int h) { InitOrUpdateMapMetaData(target, source, w, h); });
}

void NACommonData::CopyBox(const xn::ImageMetaData& source, xn::ImageMetaData& target, const Vector2D<int>& offset,
                           Resolution resolution) {
    CopyBoxMap(source, target, offset, resolution, [&](int w, int h) { PrepareImageTarget(source, target, w, h); });
}

void NACommonData::Scale(const xn::DepthMetaData& source, xn::DepthMetaData& target, int factor, bool reduce) const {
    if (reduce) {
        Downscale(source, target, factor);
    } else {
        Upscale(source, target, factor);
    }
}

void NACommonData::Scale(const xn::ImageMetaData& source, xn::ImageMetaData& target, int factor, bool reduce) const {
    if (reduce) {
        Downscale(source, target, factor);
    } else {
        Upscale(source, target, factor);
    }
}

void NACommonData::SetFullResAndOffset(xn::MapMetaData& map, Resolution resolution, const Vector2D<int>& offset) {
    if (IsValidResolution(resolution)) {
        map.FullXRes() = g_nXRes[resolution];
        map.FullYRes() = g_nYRes[resolution];
    }
    map.XOffset() = offset.x;
    map.YOffset() = offset.y;
}

void NACommonData::Crop(const char* source, char* target, int sourceWidth, int sourceHeight, int targetWidth,
                        int targetHeight, int offsetX, int offsetY, int bytesPerPixel) {
    const int top = std::max(offsetY, 0);
    const int bottom = std::min(sourceHeight, targetHeight + offsetY);
    const int left = std::max(offsetX, 0);
    const int right = std::min(sourceWidth, targetWidth + offsetX);
    if (right <= left) {
        return;
    }
    const size_t rowBytes = static_cast<size_t>(right - left) * bytesPerPixel;
    for (int y = top; y < bottom; ++y) {
        std::memcpy(target + (static_cast<size_t>(y - offsetY) * targetWidth + (left - offsetX)) * bytesPerPixel,
                    source + (static_cast<size_t>(y) * sourceWidth + left) * bytesPerPixel, rowBytes);
    }
}

void NACommonData::CopyBox(const char* source, char* target, int sourceWidth, int sourceHeight, int targetWidth,
                           int targetHeight, int offsetX, int offsetY, int bytesPerPixel) {
    const int top = std::max(offsetY, 0);
    const int bottom = std::min(targetHeight, sourceHeight + offsetY);
    const int left = std::max(offsetX, 0);
    const int right = std::min(targetWidth, sourceWidth + offsetX);
    const size_t b = static_cast<size_t>(bytesPerPixel);
    for (int y = 0; y < targetHeight; ++y) {
        char* row = target + static_cast<size_t>(y) * targetWidth * b;
        if (y < top || y >= bottom || right <= left) {
            std::memset(row, 0, targetWidth * b);
            continue;
        }
        std::memset(row, 0, left * b);
        std::memcpy(row + left * b, source + (static_cast<size_t>(y - offsetY) * sourceWidth + (left - offsetX)) * b,
                    (right - left) * b);
        std::memset(row + right * b, 0, (targetWidth - right) * b);
    }
}
