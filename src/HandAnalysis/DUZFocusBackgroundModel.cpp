#include "HandAnalysis/DUZFocusBackgroundModel.h"

#include <algorithm>
#include <cstdlib>

#include "NACommon/NACommonData.h"
#include "NACommon/NALogger.h"
#include "NACommon/NALoggerHelper.h"
#include "NACommon/NAUtilities.h"
#include "OSLayer/XnOS.h"

namespace {

const char* const kTimingMask = "DUZTiming";

template <typename T>
void FillMap(Array2D<T>& map, T value) {
    std::fill(map.Data(), map.Data() + map.Size(), value);
}

}  // namespace

DUZFocusBackgroundModel::DUZFocusBackgroundModel() : m_trackedBoxes(nullptr), m_numTrackedBoxes(0) {}

DUZFocusBackgroundModel::~DUZFocusBackgroundModel() = default;

int DUZFocusBackgroundModel::Initialize(NACommonData* commonData, const xn::DepthGenerator& generator,
                                        const std::string& /*iniFile*/, int /*verbose*/, int sseFlag,
                                        int profilingFlag) {
    m_pCommonData = commonData;
    if (commonData == nullptr || !commonData->Initialize(generator, INVALID, nullptr, nullptr)) {
        return 0;
    }
    if (!NAFarfield::Initialize(commonData, QQVGA, sseFlag, profilingFlag, 4)) {
        return 0;
    }
    m_accumulatedShift.SetSize(m_nYRes, m_nXRes, false);
    m_motionImage.SetSize(m_nYRes, m_nXRes, false);
    FillMap(m_accumulatedShift, static_cast<unsigned short>(0));
    FillMap(m_motionImage, static_cast<unsigned short>(1));
    return 1;
}

void DUZFocusBackgroundModel::Update(const xn::DepthMetaData** depths, const Array2D<unsigned short>** images,
                                     unsigned int frameId, SensorTime time, unsigned short* mask,
                                     Box2D<int>* trackedBoxes, int numTrackedBoxes) {
    const bool timing = NALogger::IsLogging(kTimingMask, XN_LOG_VERBOSE);
    const int width = depths[0]->XRes();
    const int height = depths[0]->YRes();
    m_trackedBoxes = trackedBoxes;
    m_numTrackedBoxes = trackedBoxes != nullptr ? std::max(numTrackedBoxes, 0) : 0;

    Box2D<int> border;
    NAFindImageBorders(width, height, depths[0]->Data(), border);
    NAFarfield::Update(depths, images, frameId, time, border);

    XnUInt64 start = 0;
    if (timing) {
        xnOSGetHighResTimeStamp(&start);
    }
    const Box2D<int> image(0, 0, width - 1, height - 1);
    if (m_bSSE != 0) {
        CalculateDiffFgImageSSE(width, images[0]->Data(), GetForegroundImage(), m_accumulatedShift, m_motionImage,
                                mask, image);
    } else {
        CalculateDiffFgImage(width, images[0]->Data(), GetForegroundImage(), m_accumulatedShift, m_motionImage, mask,
                             image);
    }
    if (timing) {
        XnUInt64 end = 0;
        xnOSGetHighResTimeStamp(&end);
        NALoggerHelper(NALogger::GetInstance(), kTimingMask, XN_LOG_VERBOSE)
            << "FocusBGModel" << " - DUZFocusBackgroundModel::CalculateDiffFgImage time: "
            << static_cast<double>(end - start) * 1e-6 * 1000.0 << std::endl;
    }
}

void DUZFocusBackgroundModel::Reset() {
    NAFarfield::Reset();
    FillMap(m_accumulatedShift, static_cast<unsigned short>(0));
    FillMap(m_motionImage, static_cast<unsigned short>(1));
}

const Array2D<uint16_t>& DUZFocusBackgroundModel::GetForegroundImage() const { return m_fgDepthHistory.GetCurrent(); }

bool DUZFocusBackgroundModel::isCCAdjacentToUser(const NAFarfieldCC& cc) {
    for (int i = 0; i < m_numTrackedBoxes; ++i) {
        const Box2D<int>& box = m_trackedBoxes[i];
        if (box.max.x >= cc.box.min.x && cc.box.max.x >= box.min.x && box.max.y >= cc.box.min.y &&
            cc.box.max.y >= box.min.y) {
            return true;
        }
    }
    return false;
}

bool DUZFocusBackgroundModel::MotionWindow(int width, const Array2D<unsigned short>& foreground,
                                           const Array2D<unsigned short>& accumulated,
                                           const Array2D<unsigned short>& motion, const Box2D<int>& box,
                                           Box2D<int>& window) {
    if (width <= 0 || width % 8 != 0 || box.min.y > box.max.y || foreground.Columns() != width ||
        accumulated.Columns() != width || motion.Columns() != width) {
        return false;
    }
    const int rows = std::min(std::min(foreground.Rows(), accumulated.Rows()), motion.Rows());
    window.min.x = std::max(box.min.x, 0) & ~7;
    window.max.x = std::min(box.max.x | 7, width - 1);
    window.min.y = std::max(box.min.y, 0);
    window.max.y = std::min(box.max.y, rows - 1);
    return window.min.x <= window.max.x && window.min.y <= window.max.y;
}

void DUZFocusBackgroundModel::CalculateDiffFgImage(int width, const unsigned short* current,
                                                   const Array2D<unsigned short>& foreground,
                                                   Array2D<unsigned short>& accumulated,
                                                   Array2D<unsigned short>& motion, const unsigned short* mask,
                                                   const Box2D<int>& box) {
    Box2D<int> window;
    if (!MotionWindow(width, foreground, accumulated, motion, box, window)) {
        return;
    }
    for (int y = window.min.y; y <= window.max.y; ++y) {
        for (int x = window.min.x; x <= window.max.x; ++x) {
            const int i = y * width + x;
            unsigned short& a = accumulated.Data()[i];
            unsigned short& c = motion.Data()[i];
            if (static_cast<int16_t>(foreground.Data()[i]) <= 0) {
                a = 0;
                c = 0;
                continue;
            }
            const int d = current[i];
            const int k = mask != nullptr ? mask[i] : 0;
            if (std::abs(d - a) > kMotionThreshold) {
                a = static_cast<unsigned short>(d);
                c = c != 0 ? c : 1;
            } else {
                a = static_cast<unsigned short>((d + a + 1) >> 1);
                if (c != 0) {
                    const int still = c + 1;
                    c = still > kMotionFrames * (k + 1) ? 0 : static_cast<unsigned short>(still);
                }
            }
        }
    }
}
