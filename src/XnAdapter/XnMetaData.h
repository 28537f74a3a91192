#pragma once

// Metadata of the maps the algorithms read: sizes, crop, pixel format, frame
// id and time stamp, and a pointer to the pixels. The pixels live in a frame
// buffer, in a caller's buffer or in the metadata's own 16-byte aligned
// buffer, which only grows. The depth, label and image maps derive from
// MapMetaData and add their typed pixel views.

#include "OSLayer/XnPlatform.h"
#include "OSLayer/XnStatus.h"

namespace xn {

// Pixel format codes: the OpenNI2 image format code minus 199.
enum XnPixelFormat : XnInt32 {
    XN_PIXEL_FORMAT_RGB24 = 1,
    XN_PIXEL_FORMAT_YUV422 = 2,
    XN_PIXEL_FORMAT_GRAYSCALE_8_BIT = 3,
    XN_PIXEL_FORMAT_GRAYSCALE_16_BIT = 4,  // depth and labels
    XN_PIXEL_FORMAT_MJPEG = 5,
};

// 3, 0, 1, 2, 2 for the formats 1 to 5; 0 for any other code.
XnUInt32 BytesPerPixel(XnInt32 pixelFormat);

class OutputMetaData {
public:
    OutputMetaData();
    virtual ~OutputMetaData();
    // The owned buffer has one owner; maps are copied with the derived
    // classes' explicit copy operations.
    OutputMetaData(const OutputMetaData&) = delete;
    OutputMetaData& operator=(const OutputMetaData&) = delete;

    XnUInt64 Timestamp() const { return m_nTimestamp; }
    XnUInt64& Timestamp() { return m_nTimestamp; }
    XnUInt32 FrameID() const { return m_nFrameID; }
    XnUInt32& FrameID() { return m_nFrameID; }
    // Bytes of pixel data described.
    XnUInt32 DataSize() const { return m_nDataSize; }
    XnUInt32& DataSize() { return m_nDataSize; }

    // Where the current pixels are.
    const void* Data() const { return m_pData; }
    // Points the metadata at pixels it does not own (a frame or a caller's buffer).
    void SetData(const void* pData) { m_pData = pData; }

    // The metadata's own buffer and its allocated size in bytes.
    void* OwnedBuffer() { return m_pOwnedBuffer; }
    const void* OwnedBuffer() const { return m_pOwnedBuffer; }
    XnUInt32 OwnedBufferSize() const { return m_nOwnedBufferSize; }

protected:
    // Makes the owned buffer at least nBytes: a smaller one is replaced by a
    // zero-filled aligned buffer of exactly nBytes, a large enough one is kept
    // with its content. XN_STATUS_ALLOC_FAILED leaves everything unchanged.
    XnStatus EnsureOwnedBuffer(XnUInt32 nBytes);

    XnUInt64 m_nTimestamp;
    XnUInt32 m_nFrameID;
    XnUInt32 m_nDataSize;
    const void* m_pData;
    void* m_pOwnedBuffer;
    XnUInt32 m_nOwnedBufferSize;
};

class MapMetaData : public OutputMetaData {
public:
    MapMetaData() : MapMetaData(0) {}
    explicit MapMetaData(XnInt32 pixelFormat);

    // Size of the map described, in pixels; rows are XRes pixels long.
    XnInt32 XRes() const { return m_nXRes; }
    XnInt32& XRes() { return m_nXRes; }
    XnInt32 YRes() const { return m_nYRes; }
    XnInt32& YRes() { return m_nYRes; }
    // Size of the uncropped image the map was cut from.
    XnInt32 FullXRes() const { return m_nFullXRes; }
    XnInt32& FullXRes() { return m_nFullXRes; }
    XnInt32 FullYRes() const { return m_nFullYRes; }
    XnInt32& FullYRes() { return m_nFullYRes; }
    // Origin of the map inside the full image.
    XnInt32 XOffset() const { return m_nXOffset; }
    XnInt32& XOffset() { return m_nXOffset; }
    XnInt32 YOffset() const { return m_nYOffset; }
    XnInt32& YOffset() { return m_nYOffset; }
    XnInt32 PixelFormat() const { return m_nPixelFormat; }
    XnInt32& PixelFormat() { return m_nPixelFormat; }
    XnUInt32 BytesPerPixel() const { return xn::BytesPerPixel(m_nPixelFormat); }

    // Sizes the map to xRes x yRes pixels of its format in its own buffer
    // (see EnsureOwnedBuffer): data size, sizes and full sizes set, offsets 0,
    // pixels pointed at the owned buffer. A size beyond what the 32-bit fields
    // hold fails like an allocation, with nothing changed.
    XnStatus AllocateData(XnUInt32 xRes, XnUInt32 yRes);

protected:
    XnInt32 m_nXRes;
    XnInt32 m_nYRes;
    XnInt32 m_nFullXRes;
    XnInt32 m_nFullYRes;
    XnInt32 m_nXOffset;
    XnInt32 m_nYOffset;
    XnInt32 m_nPixelFormat;
};

}  // namespace xn
