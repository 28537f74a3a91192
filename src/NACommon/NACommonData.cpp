// The hub's set-up, configuration and lifetime.

#include "NACommon/NACommonData.h"

#include <cpuid.h>

#include <cstring>

#include "QuorLibrary/Utilities/FatalError.h"
#include "XnAdapter/XnOniCalls.h"

bool NACommonData::m_bSupplementalSSE3 = false;

namespace {

const int32_t kNoFrame = -2147483647;

bool ProcessorHasSSSE3() {
    unsigned int eax = 0;
    unsigned int ebx = 0;
    unsigned int ecx = 0;
    unsigned int edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return false;
    }
    return (ecx & (1u << 9)) != 0;
}

// The path of the recording the device plays, when it is OpenNI2's file
// player: the URI it was opened with.
bool RecordingPath(const xn::ProductionNode& node, std::string& path) {
    OniDeviceInfo info;
    if (node.GetDeviceHandle() == nullptr || oniDeviceGetInfo(node.GetDeviceHandle(), &info) != ONI_STATUS_OK) {
        return false;
    }
    info.name[sizeof(info.name) - 1] = '\0';
    info.uri[sizeof(info.uri) - 1] = '\0';
    if (std::strcmp(info.name, "oni File") != 0) {
        return false;
    }
    path = info.uri;
    return true;
}

}  // namespace

NACommonData::NACommonData()
    : m_pDepthGenerator(nullptr),
      m_pImageGenerator(nullptr),
      m_pIRGenerator(nullptr),
      m_depthResolution(INVALID),
      m_shiftResolution(INVALID),
      m_hybridResolution(INVALID),
      m_bHasShiftsMap(false),
      m_nRefCount(0),
      m_nFrameID(0),
      m_nTimestamp(9223372036854775807ull),
      m_bIsRecording(false),
      m_mainGenerator(0),
      m_nativeDepthResolution(INVALID),
      m_imageResolution(INVALID),
      m_nGrayImageFrameID(kNoFrame),
      m_pGrayImageSource(nullptr),
      m_bResolutionsMatch(true),
      m_bOverrideImageCrop(false),
      m_nOverrideFullXRes(0),
      m_nOverrideFullYRes(0),
      m_nOverrideXOffset(0),
      m_nOverrideYOffset(0),
      m_nLastFrameID(kNoFrame),
      m_nDownscaleMode(0),
      m_nLastBordersFrameID(kNoFrame) {
    m_bSupplementalSSE3 = ProcessorHasSSSE3();
}

NACommonData::~NACommonData() { ReleaseDepthGenerator(); }

void NACommonData::ReleaseDepthGenerator() {
    // The node's destructor unregisters it and releases its frame.
    delete m_pDepthGenerator;
    m_pDepthGenerator = nullptr;
}

bool IsNewGenerator(const xn::MapGenerator* current, const xn::MapGenerator* requested) {
    if (requested == nullptr) {
        return false;
    }
    return current == nullptr || current->GetStreamHandle() == nullptr ||
           current->GetStreamHandle() != requested->GetStreamHandle();
}

template <typename P>
void NACommonData::PreparePyramid(P& pyramid, Resolution resolution) {
    pyramid.m_inputResolution = resolution;
    pyramid.m_pOwner = this;
    pyramid.ResetMapExist();
    pyramid.InitializeInputLevel();
    pyramid.m_bFilled[resolution] = true;
}

template <typename P>
void NACommonData::PrepareHistory(CyclicBuffer<P, 3>& history, Resolution resolution) {
    history.Clear();
    for (int i = 0; i < 3; ++i) {
        PreparePyramid(history.Push(), resolution);
    }
}

bool NACommonData::Initialize(const Configuration& configuration) {
    bool changed = false;
    // A depth copy whose conversions failed is taken again: without them no
    // map can be made.
    const bool conversionsMissing = m_pDepthGenerator != nullptr && m_pDepthToShift == nullptr;
    const bool newDepth = IsNewGenerator(m_pDepthGenerator, configuration.pDepthGenerator) ||
                          (configuration.pDepthGenerator != nullptr && conversionsMissing);
    const bool newImage = IsNewGenerator(m_pImageGenerator, configuration.pImageGenerator);
    const bool newIR = IsNewGenerator(m_pIRGenerator, configuration.pIRGenerator);
    if (newDepth || (m_pDepthGenerator == nullptr && (newImage || newIR))) {
        ReleaseDepthGenerator();
        m_depthResolution = INVALID;
        m_shiftResolution = INVALID;
        m_hybridResolution = INVALID;
        m_pImageGenerator = nullptr;
        m_pIRGenerator = nullptr;
        m_depthPyramids.Clear();
        m_shiftPyramids.Clear();
        SetDepthGenerator(configuration.pDepthGenerator);
        if (m_pDepthGenerator != nullptr && !InitializeDepthGeneratorData()) {
            return false;
        }
        m_pImageGenerator = configuration.pImageGenerator;
        if (m_pImageGenerator != nullptr && !InitializeImageGeneratorData()) {
            return false;
        }
        m_pIRGenerator = configuration.pIRGenerator;
        if (m_pIRGenerator != nullptr) {
            m_pIRGenerator->GetMetaData(m_irMD);
        }
        changed = true;
    } else if (m_pDepthGenerator != nullptr) {
        if (newImage) {
            m_pImageGenerator = configuration.pImageGenerator;
            if (!InitializeImageGeneratorData()) {
                return false;
            }
            changed = true;
        }
        if (newIR) {
            m_pIRGenerator = configuration.pIRGenerator;
            m_pIRGenerator->GetMetaData(m_irMD);
            changed = true;
        }
    }

    if (m_pDepthGenerator != nullptr && m_pDepthToShift != nullptr) {
        const auto raises = [](Resolution requested, Resolution current) {
            return IsValidResolution(requested) && (current == INVALID || requested > current);
        };
        if (raises(configuration.depthResolution, m_depthResolution)) {
            m_depthResolution = configuration.depthResolution;
            PrepareHistory(m_depthPyramids, m_depthResolution);
            changed = true;
        }
        if (raises(configuration.shiftResolution, m_shiftResolution)) {
            m_shiftResolution = configuration.shiftResolution;
            PrepareHistory(m_shiftPyramids, m_shiftResolution);
            changed = true;
        }
        if (raises(configuration.hybridResolution, m_hybridResolution)) {
            m_hybridResolution = configuration.hybridResolution;
            PreparePyramid(m_hybridPyramid, m_hybridResolution);
            changed = true;
        }
    }
    if (changed) {
        m_nLastFrameID = kNoFrame;
        m_nLastBordersFrameID = kNoFrame;
    }
    return true;
}

bool NACommonData::Initialize(const xn::DepthGenerator& depth, Resolution resolution, const xn::ImageGenerator* image,
                              const xn::IRGenerator* ir) {
    const Resolution native = GetResolution(depth);
    Configuration configuration;
    configuration.pDepthGenerator = &depth;
    configuration.pImageGenerator = image;
    configuration.pIRGenerator = ir;
    Resolution maps = resolution;
    if (maps == INVALID) {
        maps = native > QQQQVGA ? static_cast<Resolution>(native - 1) : INVALID;
    }
    configuration.depthResolution = maps;
    configuration.shiftResolution = maps;
    configuration.hybridResolution = native;
    return Initialize(configuration);
}

void NACommonData::incRef() { ++m_nRefCount; }

void NACommonData::decRef() {
    --m_nRefCount;
    if (m_nRefCount <= 0) {
        ReleaseDepthGenerator();
    }
}

void NACommonData::SetDepthGenerator(const xn::DepthGenerator* depth) {
    ReleaseDepthGenerator();
    if (depth == nullptr) {
        return;
    }
    m_pDepthGenerator = new xn::DepthGenerator(*depth);
    // True only when a device family knows the property and answers it;
    // neither family of this adapter has it.
    XnUInt64 address = 0;
    m_bHasShiftsMap = m_pDepthGenerator->GetGeneralProperty("ShiftsMap", sizeof(address), &address) == XN_STATUS_OK;
}

bool NACommonData::InitializeDepthGeneratorData() {
    m_pDepthGenerator->GetMetaData(m_depthMD);
    m_nativeDepthResolution = GetResolution(m_depthMD.XRes(), m_depthMD.YRes());
    if (!InitConversions(*m_pDepthGenerator, m_nativeDepthResolution)) {
        return false;
    }
    std::string path;
    m_bIsRecording = RecordingPath(*m_pDepthGenerator, path);
    m_strRecordingPath = path;
    const size_t slash = path.find_last_of("/\\");
    m_strRecordingFileName = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = m_strRecordingFileName.find_last_of('.');
    m_strRecordingName = dot == std::string::npos ? m_strRecordingFileName : m_strRecordingFileName.substr(0, dot);
    return true;
}

void NACommonData::RefreshImageMetaData() {
    if (m_pImageGenerator == nullptr) {
        return;
    }
    m_imageMD.PixelFormat() = xn::ReadVideoMode(m_pImageGenerator->GetStreamHandle()).pixelFormat - 199;
    m_pImageGenerator->GetMetaData(m_imageMD);
}

bool NACommonData::InitializeImageGeneratorData() {
    RefreshImageMetaData();
    m_imageResolution = GetResolution(m_imageMD.XRes(), m_imageMD.YRes());
    const Resolution r = m_imageResolution;
    if ((r == WXGA720c || r == SXGA) && m_pWorldPointConverters[r] == nullptr && m_pDepthGenerator != nullptr) {
        m_pWorldPointConverters[r] = new WorldPointConverter<float>(*m_pDepthGenerator, g_nXRes[r], g_nXRes[r] * 3 / 4);
    }
    return true;
}

const xn::MapGenerator* NACommonData::GetMainGenerator() const {
    switch (m_mainGenerator) {
        case 0:
            return m_pDepthGenerator;
        case 1:
            return m_pImageGenerator;
        case 2:
            return m_pIRGenerator;
        default:
            FatalError("NACommonData::GetMainGenerator", __FILE__, __LINE__, nullptr);
    }
}
