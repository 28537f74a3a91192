#include "QuorLibrary/SensorUtilities/ResolutionConverter.h"

#include <algorithm>
#include <cstdint>

#include "QuorLibrary/Utilities/FatalError.h"

namespace {

// With the fixed line numbers of X and Y (94, 110): part of the stop
// messages' text (see FatalError.h).
const char* const kConverterFile = "QuorLibrary/SensorUtilities/ResolutionConverter";

// The full images of the 4:3 chain, which an SXGA image holds as its band.
bool IsFourByThree(Resolution r) { return r >= QQQQVGA && r <= VGA; }

bool IsSimilar(const xn::MapMetaData& map, const Vector2D<int>& offset, Resolution full, Resolution size) {
    if (!IsValidResolution(full) || !IsValidResolution(size)) {
        return false;
    }
    return map.XOffset() == offset.x && map.YOffset() == offset.y && map.FullXRes() == g_nXRes[full] &&
           map.FullYRes() == g_nYRes[full] && map.XRes() == g_nXRes[size] && map.YRes() == g_nYRes[size];
}

}  // namespace

ResolutionConverterBase::ResolutionConverterBase()
    : m_srcResolution(INVALID),
      m_dstResolution(INVALID),
      m_srcFullResolution(INVALID),
      m_dstFullResolution(INVALID),
      m_bDownscale(true),
      m_nRatio(1) {}

void ResolutionConverterBase::Set(Resolution src, Resolution dst, Resolution srcFull, Resolution dstFull,
                                  const Vector2D<int>& srcOffset, const Vector2D<int>& dstOffset) {
    m_srcResolution = src;
    m_dstResolution = dst;
    m_srcFullResolution = srcFull;
    m_dstFullResolution = dstFull;
    m_srcOffset = srcOffset;
    m_dstOffset = dstOffset;
    Init();
}

void ResolutionConverterBase::Set(Resolution src, Resolution dst) {
    Set(src, dst, src, dst, Vector2D<int>(0, 0), Vector2D<int>(0, 0));
}

void ResolutionConverterBase::Set(const xn::MapMetaData& srcMap, const xn::MapMetaData& dstMap) {
    Set(GetResolution(srcMap.XRes(), srcMap.YRes()), GetResolution(dstMap.XRes(), dstMap.YRes()),
        GetResolution(srcMap.FullXRes(), srcMap.FullYRes()), GetResolution(dstMap.FullXRes(), dstMap.FullYRes()),
        Vector2D<int>(srcMap.XOffset(), srcMap.YOffset()), Vector2D<int>(dstMap.XOffset(), dstMap.YOffset()));
}

void ResolutionConverterBase::Init() {
    m_srcShift = Vector2D<int>(0, 0);
    m_dstShift = Vector2D<int>(0, 0);
    if (!IsValidResolution(m_srcFullResolution) || !IsValidResolution(m_dstFullResolution)) {
        m_bDownscale = true;
        m_nRatio = 1;
        return;
    }
    const int ws = g_nXRes[m_srcFullResolution];
    const int wd = g_nXRes[m_dstFullResolution];
    m_bDownscale = ws >= wd;
    m_nRatio = m_bDownscale ? ws / wd : wd / ws;
    if (m_srcFullResolution == SXGA && IsFourByThree(m_dstFullResolution)) {
        m_srcShift.y = (g_nYRes[SXGA] - 3 * (ws / 4)) / 2;
    } else if (IsFourByThree(m_srcFullResolution) && m_dstFullResolution == SXGA) {
        m_dstShift.y = (g_nYRes[SXGA] - 3 * (wd / 4)) / 2;
    }
}

int ResolutionConverterBase::Map(int a, int srcOffset, int srcShift, int dstShift, int dstOffset, eUpscaleType type,
                                 const char* function, unsigned line) const {
    int subPixel = 0;
    switch (type) {
        case eUpscaleFirst:
            subPixel = 0;
            break;
        case eUpscaleCenter:
            subPixel = m_nRatio / 2;
            break;
        case eUpscaleLast:
            subPixel = m_nRatio - 1;
            break;
        default:
            FatalError(function, kConverterFile, line, nullptr);
    }
    // In 64 bits, saturated: an empty box (corners at the int limits) stays
    // empty instead of overflowing.
    const int64_t full = static_cast<int64_t>(a) + srcOffset - srcShift;
    const int64_t r = m_bDownscale ? full / m_nRatio : static_cast<int64_t>(m_nRatio) * full + subPixel;
    const int64_t result = r + dstShift - dstOffset;
    return static_cast<int>(std::min<int64_t>(std::max<int64_t>(result, INT32_MIN), INT32_MAX));
}

float ResolutionConverterBase::Map(float a, int srcOffset, int srcShift, int dstShift, int dstOffset) const {
    const float full = (static_cast<float>(srcOffset) + a) - static_cast<float>(srcShift);
    const float r = m_bDownscale ? full / static_cast<float>(m_nRatio)
                                 : static_cast<float>(m_nRatio) * full + static_cast<float>(m_nRatio / 2);
    return (r + static_cast<float>(dstShift)) - static_cast<float>(dstOffset);
}

int ResolutionConverterBase::X(int x, eUpscaleType type) const {
    return Map(x, m_srcOffset.x, m_srcShift.x, m_dstShift.x, m_dstOffset.x, type, "X", 94);
}

int ResolutionConverterBase::Y(int y, eUpscaleType type) const {
    return Map(y, m_srcOffset.y, m_srcShift.y, m_dstShift.y, m_dstOffset.y, type, "Y", 110);
}

float ResolutionConverterBase::X(float x) const {
    return Map(x, m_srcOffset.x, m_srcShift.x, m_dstShift.x, m_dstOffset.x);
}

float ResolutionConverterBase::Y(float y) const {
    return Map(y, m_srcOffset.y, m_srcShift.y, m_dstShift.y, m_dstOffset.y);
}

Box2D<int> ResolutionConverterBase::operator()(const Box2D<int>& box) const {
    return Box2D<int>(X(box.min.x, eUpscaleFirst), Y(box.min.y, eUpscaleFirst), X(box.max.x, eUpscaleLast),
                      Y(box.max.y, eUpscaleLast));
}

Box3D<int> ResolutionConverterBase::operator()(const Box3D<int>& box) const {
    Box3D<int> result;
    result.min = Vector3D<int>(X(box.min.x, eUpscaleCenter), Y(box.min.y, eUpscaleCenter), box.min.z);
    result.max = Vector3D<int>(X(box.max.x, eUpscaleCenter), Y(box.max.y, eUpscaleCenter), box.max.z);
    return result;
}

bool ResolutionConverterBase::IsSimilarToSrc(const xn::MapMetaData& map) const {
    return IsSimilar(map, m_srcOffset, m_srcFullResolution, m_srcResolution);
}

bool ResolutionConverterBase::IsSimilarToDst(const xn::MapMetaData& map) const {
    return IsSimilar(map, m_dstOffset, m_dstFullResolution, m_dstResolution);
}
