// The hub's per-frame update, map access and image boxes.

#include <algorithm>
#include <cstring>

#include "NACommon/NACommonData.h"
#include "NACommon/NAUtilities.h"
#include "QuorLibrary/Utilities/FatalError.h"

namespace {

[[noreturn]] void UnsupportedResolution() { VELA_FATAL_ERROR("Unsupported resolution requested"); }

}  // namespace

void UpdateHybridMapLine(const unsigned short* source, short* target, int count, const unsigned short* table) {
    for (int i = 0; i < count; ++i) {
        const unsigned short depth = source[i] < NAConversions::kDepthToHybridSize ? source[i] : 0;
        target[i] = static_cast<short>(table[depth]);
    }
}

void NACommonData::Update() {
    const xn::MapGenerator* pMain = GetMainGenerator();
    if (pMain == nullptr) {
        return;
    }
    const int32_t frameID = pMain->GetFrameID();
    if (frameID == m_nLastFrameID) {
        return;
    }
    m_nLastFrameID = frameID;
    if (m_pDepthGenerator != nullptr) {
        m_pDepthGenerator->GetMetaData(m_depthMD);
    }
    RefreshImageMetaData();
    if (m_pIRGenerator != nullptr) {
        m_pIRGenerator->GetMetaData(m_irMD);
    }
    m_nFrameID = frameID;
    m_nTimestamp = pMain->GetTimestamp();
    UpdateMaps();
}

void NACommonData::UpdateByDepth(xn::DepthMetaData& depth) {
    const int32_t frameID = static_cast<int32_t>(depth.FrameID());
    if (frameID == m_nLastFrameID) {
        return;
    }
    m_nLastFrameID = frameID;
    m_depthMD.InitFrom(depth);
    m_nFrameID = frameID;
    m_nTimestamp = depth.Timestamp();
    UpdateMaps();
}

void NACommonData::UpdateByExternalMetadata(xn::DepthMetaData* depth, xn::ImageMetaData* image, xn::IRMetaData* ir) {
    const xn::MapMetaData* pMain = depth != nullptr ? static_cast<const xn::MapMetaData*>(depth)
                                                    : (image != nullptr ? static_cast<const xn::MapMetaData*>(image) : ir);
    if (pMain == nullptr) {
        return;
    }
    const int32_t frameID = static_cast<int32_t>(pMain->FrameID());
    if (frameID == m_nLastFrameID) {
        return;
    }
    m_nLastFrameID = frameID;
    if (depth != nullptr) {
        m_depthMD.InitFrom(*depth);
    }
    if (image != nullptr) {
        CopyMap(*image, m_imageMD);
    }
    if (ir != nullptr) {
        CopyMap(*ir, m_irMD);
    }
    m_nFrameID = frameID;
    m_nTimestamp = pMain->Timestamp();
    UpdateMaps();
}

void NACommonData::UpdateMaps() {
    UpdateDepthMap();
    if (m_shiftResolution != INVALID) {
        UpdateShiftMap();
    }
    if (m_hybridResolution != INVALID) {
        UpdateHybridMap();
    }
    HandleCroppedImage();
}

void NACommonData::UpdateDepthMap() {
    if (m_depthResolution == INVALID) {
        return;
    }
    DepthPyramid& slot = m_depthPyramids.Push();
    const Resolution level = slot.m_inputResolution;
    const int width = g_nXRes[level];
    const int inputWidth = m_depthMD.XRes();
    if (inputWidth <= 0 || m_depthMD.Data() == nullptr) {
        // No map at all reads as a frame without depth.
        slot.InitializeInputLevel();
    } else if (inputWidth == width) {
        slot.m_levels[level].InitFrom(m_depthMD);
    } else if (inputWidth > width) {
        Downscale(m_depthMD, slot.m_levels[level], inputWidth / width);
    } else {
        Upscale(m_depthMD, slot.m_levels[level], width / inputWidth);
    }
    slot.ResetMapExist();
    slot.m_bFilled[level] = true;
}

void NACommonData::UpdateShiftMap() {
    ShiftPyramid& slot = m_shiftPyramids.Push();
    const Resolution level = slot.m_inputResolution;
    DepthPyramid& depthSlot = m_depthPyramids.GetCurrent();
    // The access rule stops the process on an unfilled depth slot or a
    // level finer than its input.
    const xn::DepthMetaData& depth = depthSlot[level];
    Array2D<unsigned short>& shift = slot.m_levels[level];
    XnUInt64 address = 0;
    if (m_bHasShiftsMap && m_pDepthGenerator->GetGeneralProperty("ShiftsMap", sizeof(address), &address) == XN_STATUS_OK &&
        address != 0) {
        // The device's own shift map of the current frame, at the input size.
        const unsigned short* pShifts = reinterpret_cast<const unsigned short*>(address);
        const int inputWidth = m_depthMD.XRes();
        const int inputHeight = m_depthMD.YRes();
        if (inputWidth == g_nXRes[depthSlot.m_inputResolution]) {
            shift.SetSize(inputHeight, inputWidth, false);
            std::memcpy(shift.Data(), pShifts, static_cast<size_t>(shift.Size()) * sizeof(unsigned short));
        } else {
            shift.SetSize(g_nYRes[level], g_nXRes[level], false);
            Downscale(pShifts, shift.Data(), inputWidth, inputHeight,
                      g_nXRes[m_nativeDepthResolution] / g_nXRes[level]);
        }
    } else {
        shift.SetSize(depth.YRes(), depth.XRes(), false);
        const unsigned short* pDepth = depth.Data();
        unsigned short* pShift = shift.Data();
        const int count = shift.Size();
        for (int i = 0; i < count; ++i) {
            pShift[i] = pDepth[i] < m_nDepthTableSize ? m_pDepthToShift[pDepth[i]] : 0;
        }
    }
    slot.ResetMapExist();
    slot.m_bFilled[level] = true;
}

void NACommonData::UpdateHybridMap() {
    const Resolution level = m_hybridResolution;
    const xn::DepthMetaData& depth = DepthMap(level, 0);
    Array2D<unsigned short>& hybrid = m_hybridPyramid.m_levels[level];
    const int width = depth.XRes();
    const int height = depth.YRes();
    hybrid.SetSize(height, width, false);
    if (width > 0 && depth.Data() != nullptr) {
        for (int y = 0; y < height; ++y) {
            UpdateHybridMapLine(depth.Data() + y * width, reinterpret_cast<short*>(hybrid.Data() + y * width), width,
                                m_depthToHybrid);
        }
    }
    m_hybridPyramid.ResetMapExist();
    m_hybridPyramid.m_bFilled[level] = true;
}

const xn::DepthMetaData& NACommonData::DepthMap(Resolution resolution, unsigned short age) const {
    if (resolution == m_nativeDepthResolution && IsValidResolution(resolution)) {
        return m_depthMD;
    }
    const Resolution input = m_depthPyramids.GetCurrent().m_inputResolution;
    if (!IsValidResolution(resolution) || (IsValidResolution(input) && resolution > input)) {
        UnsupportedResolution();
    }
    return m_depthPyramids.GetPrevious(age)[resolution];
}

const Array2D<unsigned short>& NACommonData::ShiftMap(Resolution resolution, unsigned short age) const {
    return m_shiftPyramids.GetPrevious(age)[resolution];
}

const Array2D<unsigned short>& NACommonData::HybridMap() const { return m_hybridPyramid[m_hybridResolution]; }

void NACommonData::SetImageBorders(Resolution resolution) {
    if (m_nFrameID == m_nLastBordersFrameID) {
        return;
    }
    m_nLastBordersFrameID = m_nFrameID;
    const xn::DepthMetaData& depth = DepthMap(resolution, 0);
    NAFindImageBorders(depth.XRes(), depth.YRes(), depth.Data(), m_imageBoxes[resolution]);
    for (int r = resolution - 1; r >= 0; --r) {
        const Box2D<int>& finer = m_imageBoxes[r + 1];
        m_imageBoxes[r] = Box2D<int>((finer.min.x + (finer.min.x & 1)) >> 1, (finer.min.y + (finer.min.y & 1)) >> 1,
                                     (finer.max.x - (finer.max.x & 1)) >> 1, (finer.max.y - (finer.max.y & 1)) >> 1);
    }
    const int last = IsValidResolution(m_nativeDepthResolution) ? m_nativeDepthResolution : SXGA;
    for (int r = resolution + 1; r <= last; ++r) {
        const Box2D<int>& coarser = m_imageBoxes[r - 1];
        m_imageBoxes[r] = Box2D<int>(2 * coarser.min.x, 2 * coarser.min.y, 2 * coarser.max.x, 2 * coarser.max.y);
    }
}

void NACommonData::SetImageBorders() {
    for (int r = 0; r < 7; ++r) {
        m_imageBoxes[r] = Box2D<int>(0, 0, g_nXRes[r] - 1, g_nYRes[r] - 1);
    }
}

const Box2D<int>& NACommonData::ImageBox(Resolution resolution) const {
    if (!IsValidResolution(resolution) ||
        (IsValidResolution(m_nativeDepthResolution) && resolution > m_nativeDepthResolution)) {
        UnsupportedResolution();
    }
    return m_imageBoxes[resolution];
}

Vector3D<float> NACommonData::WorldPt(Resolution resolution, const Vector2D<int>& pixel) const {
    const xn::DepthMetaData& depth = DepthMap(resolution, 0);
    const bool onMap = pixel.x >= 0 && pixel.y >= 0 && pixel.x < depth.XRes() && pixel.y < depth.YRes();
    const float z = onMap ? static_cast<float>(depth(pixel.x, pixel.y)) : 0.0f;
    const WorldPointConverter<float>& c = Converter(resolution);
    const float k = c.m_fPixelSizeFactor;
    return Vector3D<float>((static_cast<float>(pixel.x) - c.m_fCenterX) * k * z,
                           (c.m_fCenterY - static_cast<float>(pixel.y)) * k * z, z);
}

void NACommonData::SetOverrideImageCrop(int fullWidth, int fullHeight, int xOffset, int yOffset) {
    m_nOverrideFullXRes = fullWidth;
    m_nOverrideFullYRes = fullHeight;
    m_nOverrideXOffset = xOffset;
    m_nOverrideYOffset = yOffset;
    m_bOverrideImageCrop = true;
}

void NACommonData::HandleCroppedImage() {
    if (m_pImageGenerator == nullptr || !m_bOverrideImageCrop) {
        return;
    }
    m_imageMD.FullXRes() = m_nOverrideFullXRes;
    m_imageMD.FullYRes() = m_nOverrideFullYRes;
    m_imageMD.XOffset() = m_nOverrideXOffset;
    m_imageMD.YOffset() = m_nOverrideYOffset;
}
