#include "NACommon/Pyramid.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "NACommon/NACommonData.h"
#include "NACommon/NADepthBasedUpscalerHelper.h"
#include "QuorLibrary/Utilities/FatalError.h"

namespace {

// The pyramids' internal invariants are broken: nothing sensible can be read.
[[noreturn]] void Stop(const char* message) {
    std::fprintf(stderr, "%s\n", message);
    std::fflush(stderr);
    DebuggableExit(1);
}

// Depth margin of the label enlargement, in millimetres.
const int kLabelDepthMargin = 100;

// A metadata level of its resolution's size in its own buffer, zero-filled.
void ZeroLevel(xn::MapMetaData& level, Resolution resolution) {
    if (level.AllocateData(g_nXRes[resolution], g_nYRes[resolution]) == XN_STATUS_OK) {
        std::memset(const_cast<void*>(level.Data()), 0, level.DataSize());
    }
}

}  // namespace

template <typename T>
T& Pyramid<T>::operator[](Resolution r) {
    if (!IsValidResolution(r)) {
        VELA_FATAL_ERROR("Unsupported resolution requested");
    }
    if (!IsValidResolution(m_inputResolution) || !m_bFilled[m_inputResolution]) {
        Stop("Pyramid is not up to date.");
    }
    if (r > m_inputResolution && !m_bUpscalingAllowed) {
        Stop("Can't give upscaled resolution");
    }
    if (m_bFilled[r]) {
        return m_levels[r];
    }
    for (int finer = r + 1; finer <= SXGA; ++finer) {
        if (m_bFilled[finer]) {
            Downscale(static_cast<Resolution>(finer), r);
            m_bFilled[r] = true;
            return m_levels[r];
        }
    }
    int coarser = r - 1;
    while (coarser >= 0 && !m_bFilled[coarser]) {
        --coarser;
    }
    Upscale(static_cast<Resolution>(coarser >= 0 ? coarser : r), r);
    m_bFilled[r] = true;
    return m_levels[r];
}

template class Pyramid<xn::DepthMetaData>;
template class Pyramid<Array2D<unsigned short> >;
template class Pyramid<xn::SceneMetaData>;

void DepthPyramid::InitializeInputLevel() { ZeroLevel(m_levels[m_inputResolution], m_inputResolution); }

void DepthPyramid::Downscale(Resolution source, Resolution target, int width, int) {
    m_pOwner->Downscale(m_levels[source], m_levels[target], m_levels[source].XRes() / width);
}

void ShiftPyramid::InitializeInputLevel() {
    Array2D<unsigned short>& level = m_levels[m_inputResolution];
    level.SetSize(g_nYRes[m_inputResolution], g_nXRes[m_inputResolution], false);
    std::fill(level.Data(), level.Data() + level.Size(), static_cast<unsigned short>(0));
}

void ShiftPyramid::Downscale(Resolution source, Resolution target, int width, int) {
    const Array2D<unsigned short>& from = m_levels[source];
    Array2D<unsigned short>& to = m_levels[target];
    const int factor = from.Columns() / width;
    to.SetSize(g_nYRes[target], g_nXRes[target], false);
    if (factor <= 0 || from.Columns() / factor != to.Columns() || from.Rows() / factor != to.Rows()) {
        // A source that is not of its resolution's size gives no level.
        std::fill(to.Data(), to.Data() + to.Size(), static_cast<unsigned short>(0));
        return;
    }
    m_pOwner->Downscale(from.Data(), to.Data(), from.Columns(), from.Rows(), factor);
}

void LabelPyramid::InitializeInputLevel() { ZeroLevel(m_levels[m_inputResolution], m_inputResolution); }

void LabelPyramid::Downscale(Resolution source, Resolution target, int width, int) {
    m_pOwner->Downscale(m_levels[source], m_levels[target], m_levels[source].XRes() / width);
}

void LabelPyramid::Upscale(Resolution source, Resolution target, int width, int height) {
    xn::SceneMetaData& fine = m_levels[target];
    fine.AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height));
    upscaleLabel(m_pOwner->DepthMap(target, 0), m_levels[source], fine);
}

void LabelPyramid::upscaleLabel(const xn::DepthMetaData& depth, const xn::SceneMetaData& coarse,
                                xn::SceneMetaData& fine) {
    const int n = coarse.XRes() > 0 ? fine.XRes() / coarse.XRes() : 0;
    if (n <= 0 || coarse.YRes() <= 0 || fine.XRes() != depth.XRes() || fine.YRes() != depth.YRes() ||
        n != fine.YRes() / coarse.YRes() || coarse.Data() == nullptr || depth.Data() == nullptr) {
        std::fputs("invalid data in upscaleLabel\n", stderr);
        return;
    }
    if (fine.Data() != fine.OwnedBuffer() &&
        fine.AllocateData(static_cast<XnUInt32>(fine.XRes()), static_cast<XnUInt32>(fine.YRes())) != XN_STATUS_OK) {
        return;
    }
    XnLabel* out = fine.WritableData();
    std::fill(out, out + static_cast<long>(fine.XRes()) * fine.YRes(), static_cast<XnLabel>(0));
    const Box2D<int> cells(0, 0, coarse.XRes() - 1, coarse.YRes() - 1);
    NADepthBasedUpscalerHelper<XnLabel>::UpscaleCells(coarse.Data(), coarse.XRes(), depth, out, n, cells,
                                                      kLabelDepthMargin, false);
}
