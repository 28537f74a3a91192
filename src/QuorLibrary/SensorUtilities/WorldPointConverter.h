#pragma once

// Conversion between depth pixels and world millimetres. The camera is a
// pinhole centred on the image whose only parameter is the depth stream's
// horizontal field of view: one pixel at depth z covers k*z millimetres in
// both directions, k = 2*tan(FOVX/2) / W. World X grows to the right, world
// Y upward (image rows grow downward), world Z is the depth.
//
// The converter sits in the per-pixel loops of most of the tracker, which
// read its factors and per-depth tables directly; the tables replace every
// division and depth-dependent product with one lookup, and the fixed-point
// forms keep whole loops in integers with the shifts 7 (areas), 11 (lengths)
// and 14 (pixels, projections).
//
// Callers that read a table index it with depths 0 to m_nDepthTableSize - 1.
// The converter's own operations accept any depth: one beyond the tables
// (a stream whose maximum depth cannot be read has 2-entry tables) is
// computed from the factor exactly as its table entry would be, and a
// negative one counts as no depth. Their integer intermediates are 64-bit
// and the results saturate at the int range, so near points, whose inverse
// pixel sizes are large, do not overflow.

#include <climits>
#include <cstdint>

#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"

template <typename T>
class WorldPointConverterBase {
public:
    // Reads the stream's maximum depth and, through GetDepthFOVX, its
    // horizontal field of view (an invalid one ends the process there). A
    // positive field of view below 1e-10 is replaced by 30 degrees with a
    // message on standard error. xRes and yRes, the image size served, must
    // be positive.
    WorldPointConverterBase(const xn::DepthGenerator& depth, int xRes, int yRes);
    virtual ~WorldPointConverterBase();
    WorldPointConverterBase(const WorldPointConverterBase&) = delete;
    WorldPointConverterBase& operator=(const WorldPointConverterBase&) = delete;

    // World point of the depth map's pixel at p, its coordinates truncated
    // toward zero (the truncated ones enter X and Y). The pixel must lie on
    // the map: it is read without a bounds check.
    template <typename S>
    Vector3D<T> WorldPt(const xn::DepthMetaData& depthMap, const Vector2D<S>& p) const {
        const int xi = static_cast<int>(p.x);
        const int yi = static_cast<int>(p.y);
        const int z = depthMap.Data()[yi * depthMap.XRes() + xi];
        const T size = PixelSizeAt(z);
        return Vector3D<T>((static_cast<T>(xi) - m_fCenterX) * size, (m_fCenterY - static_cast<T>(yi)) * size,
                           static_cast<T>(z));
    }

    // World point of the projective point (x, y, depth).
    Vector3D<T> WorldPt(const Vector3D<T>& p) const {
        return Vector3D<T>((p.x - m_fCenterX) * m_fPixelSizeFactor * p.z, (m_fCenterY - p.y) * m_fPixelSizeFactor * p.z,
                           p.z);
    }

    // Projective point of a world point with Z > 0 (callers handle Z <= 0).
    Vector3D<T> ProjectivePt(const Vector3D<T>& p) const {
        const T s = static_cast<T>(1) / (m_fPixelSizeFactor * p.z);
        return Vector3D<T>(s * p.x + m_fCenterX, m_fCenterY - s * p.y, p.z);
    }

    // World length in mm of n pixels at depth z, rounded.
    int LengthAtDepthInt(int z, int n) const { return Saturate(LengthAtDepth64(z, n)); }

    // Pixels that a world length of l mm spans at depth z, rounded; 0 at z 0.
    int PixelsAtDepthInt(int z, int l) const { return Saturate(PixelsAtDepth64(z, l)); }

    // Integer world point of pixel (x, y) at depth z.
    Vector3D<int> WorldPtInt(int x, int y, int z) const {
        return Vector3D<int>(Saturate(LengthAtDepth64(z, static_cast<int64_t>(x) - m_nCenterX)),
                             Saturate(LengthAtDepth64(z, static_cast<int64_t>(m_nCenterY) - y)), z);
    }
    Vector3D<int> WorldPtIntFP(int x, int y, int z) const { return WorldPtInt(x, y, z); }

    // x and y with xyShift fractional bits, z with zShift fractional bits:
    // world X and Y in mm with xyShift fractional bits (divided, truncating
    // toward zero), and z unchanged.
    Vector3D<int> WorldPtIntFP(const int& x, const int& y, const int& z, const int& xyShift, const int& zShift) const {
        const int zi = zShift > 0 ? static_cast<int>((static_cast<int64_t>(z) + (int64_t{1} << (zShift - 1))) >> zShift)
                                  : z;
        const int64_t length = LengthAt(zi);
        const int64_t centerX = static_cast<int64_t>(m_nCenterX) * (int64_t{1} << xyShift);
        const int64_t centerY = static_cast<int64_t>(m_nCenterY) * (int64_t{1} << xyShift);
        return Vector3D<int>(Saturate(((x - centerX) * length) / kLengthScale),
                             Saturate(((centerY - y) * length) / kLengthScale), z);
    }

    // Pixel column of world X at depth z.
    int ProjectivePtXInt(int x, int z) const { return Saturate(PixelsAtDepth64(z, x) + m_nCenterX); }

    // Pixel of an integer world point, not clamped to the image; (0, 0, 0)
    // for Z <= 0.
    Vector3D<int> ProjectivePtUnboundedInt(const Vector3D<int>& p) const {
        if (p.z <= 0) {
            return Vector3D<int>(0, 0, 0);
        }
        const int64_t q = m_nInvPixelSizeFactorFP / p.z;
        const int64_t half = int64_t{1} << (kProjectiveShift - 1);
        const int64_t x =
            ((kProjectiveBias + static_cast<int64_t>(m_nCenterXFP) + q * p.x + half) >> kProjectiveShift) -
            kProjectiveBiasPixels;
        const int64_t y =
            ((kProjectiveBias + static_cast<int64_t>(m_nCenterYFP) - q * p.y + half) >> kProjectiveShift) -
            kProjectiveBiasPixels;
        return Vector3D<int>(Saturate(x), Saturate(y), p.z);
    }
    Vector2D<int> ProjectivePtUnbounded2DInt(const Vector3D<int>& p) const {
        const Vector3D<int> q = ProjectivePtUnboundedInt(p);
        return Vector2D<int>(q.x, q.y);
    }
    Vector2D<int> ProjectivePtUnbounded2DIntFP(const Vector3D<int>& p) const { return ProjectivePtUnbounded2DInt(p); }

    // World vector at scale 2^11 from pixel (x - d, y) at depth z1 to pixel
    // (x + d, y) at depth z2.
    void WorldPtDiffXIntFP(int x, int y, int z1, int z2, int d, Vector3D<int>& out) const {
        const int64_t l1 = LengthAt(z1);
        const int64_t l2 = LengthAt(z2);
        out = Vector3D<int>(
            Saturate((static_cast<int64_t>(x) - d - m_nCenterX) * (l2 - l1) + 2 * static_cast<int64_t>(d) * l2),
            Saturate((static_cast<int64_t>(m_nCenterY) - y) * (l2 - l1)),
            Saturate((static_cast<int64_t>(z2) - z1) * kLengthScale));
    }

    // World vector at scale 2^11 from pixel (x, y - d) at depth z1 to pixel
    // (x, y + d) at depth z2.
    void WorldPtDiffYIntFP(int x, int y, int z1, int z2, int d, Vector3D<int>& out) const {
        const int64_t l1 = LengthAt(z1);
        const int64_t l2 = LengthAt(z2);
        out = Vector3D<int>(
            Saturate((static_cast<int64_t>(x) - m_nCenterX) * (l2 - l1)),
            Saturate((static_cast<int64_t>(m_nCenterY) - y + d) * (l2 - l1) - 2 * static_cast<int64_t>(d) * l2),
            Saturate((static_cast<int64_t>(z2) - z1) * kLengthScale));
    }

    // Table entries of any depth: the table's when it has one, otherwise
    // computed as the table would hold it; negative depths count as 0.
    T PixelSizeAt(int z) const {
        return static_cast<unsigned>(z) < static_cast<unsigned>(m_nDepthTableSize) ? m_pPixelSizeAtDepth[z]
                                                                                  : PixelSizeEntry(z);
    }
    int LengthAt(int z) const {
        return static_cast<unsigned>(z) < static_cast<unsigned>(m_nDepthTableSize) ? m_pLengthAtDepthInt[z]
                                                                                  : LengthEntry(z);
    }
    int PixelsAt(int z) const {
        return static_cast<unsigned>(z) < static_cast<unsigned>(m_nDepthTableSize) ? m_pPixelsAtDepthInt[z]
                                                                                  : PixelsEntry(z);
    }

    int m_nXRes;
    int m_nYRes;
    // Entries of every per-depth table: depths 0 to the stream's maximum + 1
    // (at most 65536), or 2 when the maximum cannot be read.
    int m_nDepthTableSize;
    // Maps (x, y, 1) to (X/Z, Y/Z, 1).
    Matrix3X3<T> m_pixelToRay;
    T* m_pInvPixelSizeAtDepth;
    T* m_pPixelAreaAtDepth;
    T m_fInvPixelSizeFactor;
    T m_fPixelSizeFactor;
    int m_nPixelSizeFactorQ13;
    int m_nPixelAreaFactorQ26;
    int m_nLengthFactor;
    T* m_pPixelSizeAtDepth;
    int* m_pAreaAtDepthInt;
    int* m_pLengthAtDepthInt;
    int* m_pPixelsAtDepthInt;
    // The largest pixel count any length entry can multiply within 32 bits.
    // Like the next, taken over every depth a frame may hold: the tables'
    // depths, or all 16-bit depths when the tables have 2 entries because
    // the maximum could not be read.
    int m_nMaxLengthMultiplier;
    // The smallest (INT_MAX / pixels[z]) / z over those depths.
    int m_nMaxPixelsRatio;
    int m_nAreaShift;
    int m_nLengthShift;
    int m_nPixelsShift;
    int m_nLengthScaleSubPixel;
    int m_nSubPixelScale;
    int m_nProjectiveShift;
    int m_nLengthScale;
    int m_nInvPixelSizeFactorFP;
    int m_nProjectiveBiasShift;
    int m_nProjectiveBias;
    int m_nProjectiveBiasPixels;
    T m_fCenterX;
    T m_fCenterY;
    int m_nCenterX;
    int m_nCenterY;
    int m_nCenterXFP;
    int m_nCenterYFP;

private:
    // The fixed shifts, the same for every converter; the members above
    // publish them to callers.
    static constexpr int kAreaShift = 7;
    static constexpr int kLengthShift = 11;
    static constexpr int kPixelsShift = 14;
    static constexpr int kProjectiveShift = 14;
    static constexpr int kLengthScale = 1 << kLengthShift;
    static constexpr int kProjectiveBiasShift = 24;
    static constexpr int kProjectiveBias = 1 << kProjectiveBiasShift;
    static constexpr int kProjectiveBiasPixels = kProjectiveBias >> kProjectiveShift;

    static int Saturate(int64_t value) { return vela_math::SaturateToInt(value); }
    // Extreme fields of view give entries beyond the int range.
    static int SaturatingTruncate(T value) { return vela_math::SaturatingTruncate(static_cast<double>(value)); }

    int64_t LengthAtDepth64(int z, int64_t n) const {
        return (n * LengthAt(z) + (int64_t{1} << (kLengthShift - 1))) >> kLengthShift;
    }
    int64_t PixelsAtDepth64(int z, int64_t l) const {
        return (l * PixelsAt(z) + (int64_t{1} << (kPixelsShift - 1))) >> kPixelsShift;
    }

    // The table formulas, shared by construction and by depths beyond the
    // tables so that both give the same values.
    T PixelSizeEntry(int z) const { return z > 0 ? m_fPixelSizeFactor * static_cast<T>(z) : static_cast<T>(0); }
    int LengthEntry(int z) const {
        return SaturatingTruncate(static_cast<T>(kLengthScale) * PixelSizeEntry(z) + static_cast<T>(0.5));
    }
    T InvPixelSizeEntry(int z) const { return z > 0 ? static_cast<T>(1) / PixelSizeEntry(z) : static_cast<T>(0); }
    int PixelsEntry(int z) const {
        return z > 0 ? SaturatingTruncate(static_cast<T>(1 << kPixelsShift) * InvPixelSizeEntry(z) + static_cast<T>(0.5)) : 0;
    }
};

// Adds the world point of every pixel of the latest depth frame, refreshed
// at most once per frame id.
template <typename T>
class WorldPointConverter : public WorldPointConverterBase<T> {
public:
    WorldPointConverter(const xn::DepthGenerator& depth, int xRes, int yRes);
    ~WorldPointConverter() override;

    // Makes m_worldMap hold the world points of depthMap, unless it already
    // holds those of a map of the same frame id and size. The converter's
    // size should equal the map's.
    void UpdateWorldPoints(const xn::DepthMetaData& depthMap);

    // Frame id of the map m_worldMap holds; -1 before the first update.
    int m_nWorldMapFrameId;
    // One world point per pixel, rows = the depth map's height.
    Array2D<Vector3D<T>> m_worldMap;
};

extern template class WorldPointConverterBase<float>;
extern template class WorldPointConverterBase<double>;
extern template class WorldPointConverter<float>;
extern template class WorldPointConverter<double>;
