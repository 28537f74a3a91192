#include "XnAdapter/XnNodes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "XnAdapter/XnNodeRegistry.h"
#include "XnAdapter/XnOniCalls.h"

namespace xn {

NodeWrapper::NodeWrapper() : m_hStream(nullptr), m_pFrame(nullptr), m_bOwnsStream(false) { RegisterNode(*this); }

NodeWrapper::NodeWrapper(const NodeWrapper& other)
    : m_hStream(other.m_hStream), m_pFrame(other.m_pFrame), m_bOwnsStream(false) {
    if (m_pFrame != nullptr) {
        GetOniCalls().frameAddRef(m_pFrame);
    }
    RegisterNode(*this);
}

NodeWrapper::~NodeWrapper() {
    UnregisterNode(*this);
    UpdateFrame(nullptr);
    ReleaseStream();
}

void NodeWrapper::UpdateFrame(OniFrame* pFrame) {
    // Reference the new frame first: it may be the one held now.
    if (pFrame != nullptr) {
        GetOniCalls().frameAddRef(pFrame);
    }
    if (m_pFrame != nullptr) {
        GetOniCalls().frameRelease(m_pFrame);
    }
    m_pFrame = pFrame;
}

void NodeWrapper::UpdateFrameToAll(OniFrame* pFrame) { xn::UpdateFrameToAll(*this, pFrame); }

void NodeWrapper::SetStream(OniStreamHandle hStream) {
    // Other trackers' frame hand-outs read every registered node's stream.
    xnl::AutoCSLocker lock(g_nodeListLock);
    if (hStream == m_hStream) {
        return;
    }
    ReleaseStream();
    m_hStream = hStream;
}

void NodeWrapper::AdoptStream(OniStreamHandle hStream) {
    SetStream(hStream);
    m_bOwnsStream = hStream != nullptr;
}

XnUInt64 NodeWrapper::GetTimestamp() const { return m_pFrame != nullptr ? m_pFrame->timestamp : 0; }

XnInt32 NodeWrapper::GetFrameID() const { return m_pFrame != nullptr ? m_pFrame->frameIndex : 0; }

void NodeWrapper::ReleaseStream() {
    if (m_bOwnsStream && m_hStream != nullptr) {
        oniStreamStop(m_hStream);
        oniStreamDestroy(m_hStream);
    }
    m_hStream = nullptr;
    m_bOwnsStream = false;
}

const ProductionNode::TranslationPair ProductionNode::m_generalPropertyTranslation[] = {
    {"S2D", 0x10801010}, {"D2S", 0x10801011},  // first family
    {"S2D", 0x12002009}, {"D2S", 0x1200200A},  // second family
};

const ProductionNode::TranslationPair ProductionNode::m_realPropertyTranslation[] = {
    {"ZPPS", 0x1080100D}, {"LDDIS", 0x1080100E},  // first family
    {"ZPPS", 0x12002006}, {"LDDIS", 0x12002008},  // second family
};

const ProductionNode::TranslationPair ProductionNode::m_intPropertyTranslation[] = {
    // first family
    {"ZPD", 0x1080100C},
    {"MaxShift", 0x10801009},
    {"ConstShift", 0x10801007},
    {"ParamCoeff", 0x1080100A},
    {"ShiftScale", 0x1080100B},
    {"MinDepthValue", ONI_STREAM_PROPERTY_MIN_VALUE},
    {"MaxDepthValue", ONI_STREAM_PROPERTY_MAX_VALUE},
    // second family
    {"ZPD", 0x12002002},
    {"MaxShift", 0x12002001},
    {"ConstShift", 0x12002003},
    {"ParamCoeff", 0x12002004},
    {"ShiftScale", 0x12002005},
    {"MinDepthValue", ONI_STREAM_PROPERTY_MIN_VALUE},
    {"MaxDepthValue", ONI_STREAM_PROPERTY_MAX_VALUE},
};

ProductionNode::ProductionNode() : m_hDevice(nullptr), m_bFirstFamily(false), m_bSecondFamily(false) {}

ProductionNode::ProductionNode(const ProductionNode& other)
    : NodeWrapper(other), m_hDevice(nullptr), m_bFirstFamily(false), m_bSecondFamily(false) {
    SetDevice(other.m_hDevice);
}

void ProductionNode::SetDevice(OniDeviceHandle hDevice) {
    m_hDevice = hDevice;
    OniDeviceInfo info;
    if (hDevice != nullptr && oniDeviceGetInfo(hDevice, &info) == ONI_STATUS_OK) {
        info.name[sizeof(info.name) - 1] = '\0';
        SetDeviceFamilies(info.name);
    } else {
        SetDeviceFamilies("");
    }
}

void ProductionNode::SetDeviceFamilies(const char* deviceName) {
    const auto is = [deviceName](const char* name) { return deviceName != nullptr && std::strcmp(deviceName, name) == 0; };
    const bool recording = is("oni File");
    m_bFirstFamily = recording || is("KV4410") || is("Kinect");
    m_bSecondFamily = recording || is("Tarbus");
}

namespace {

// The generic stream properties, 32-bit ints in every family.
bool IsGenericIntProperty(XnInt32 id) { return id == ONI_STREAM_PROPERTY_MIN_VALUE || id == ONI_STREAM_PROPERTY_MAX_VALUE; }

// A 32-bit signed property, sign-extended.
OniStatus ReadInt32(OniStreamHandle stream, XnInt32 id, XnUInt64& value) {
    XnInt32 raw = 0;
    const OniStatus rc = StreamGetPropertyZeroed(stream, id, &raw, sizeof(raw), nullptr);
    value = rc == ONI_STATUS_OK ? static_cast<XnUInt64>(static_cast<XnInt64>(raw)) : 0;
    return rc;
}

}  // namespace

template <typename Read>
XnStatus ProductionNode::ReadTranslated(const TranslationPair* table, int perFamily, const XnChar* name,
                                        Read read) const {
    XnStatus status = ONI_STATUS_NOT_IMPLEMENTED;
    const bool families[2] = {m_bFirstFamily, m_bSecondFamily};
    for (int family = 0; family < 2; ++family) {
        const XnInt32 id = families[family] ? GetKey(table + family * perFamily, perFamily, name) : 0;
        if (id == 0) {
            continue;
        }
        status = GetStreamHandle() == nullptr ? static_cast<XnStatus>(ONI_STATUS_ERROR) : read(family, id);
        if (status == XN_STATUS_OK) {
            break;
        }
    }
    return status;
}

XnStatus ProductionNode::GetIntProperty(const XnChar* name, XnUInt64& value) const {
    value = 0;
    return ReadTranslated(m_intPropertyTranslation, m_intProperties, name, [&](int family, XnInt32 id) {
        if (family == 1 || IsGenericIntProperty(id)) {
            return static_cast<XnStatus>(ReadInt32(GetStreamHandle(), id, value));
        }
        // A shorter answer is the low part of the number: the rest stays zero.
        const OniStatus rc = StreamGetPropertyZeroed(GetStreamHandle(), id, &value, sizeof(value), nullptr);
        if (rc != ONI_STATUS_OK) {
            value = 0;
        }
        return static_cast<XnStatus>(rc);
    });
}

XnStatus ProductionNode::GetRealProperty(const XnChar* name, XnDouble& value) const {
    value = 0.0;
    return ReadTranslated(m_realPropertyTranslation, m_realProperties, name, [&](int, XnInt32 id) {
        int answered = 0;
        OniStatus rc = StreamGetPropertyZeroed(GetStreamHandle(), id, &value, sizeof(value), &answered);
        if (rc == ONI_STATUS_OK && answered == static_cast<int>(sizeof(XnFloat))) {
            XnFloat single = 0.0f;
            std::memcpy(&single, &value, sizeof(single));
            value = single;
        } else if (rc == ONI_STATUS_OK && answered != static_cast<int>(sizeof(value))) {
            // Neither a double nor a float: no number can be made of it.
            rc = ONI_STATUS_ERROR;
        }
        if (rc != ONI_STATUS_OK) {
            value = 0.0;
        }
        return static_cast<XnStatus>(rc);
    });
}

XnStatus ProductionNode::GetGeneralProperty(const XnChar* name, XnUInt32 size, void* buffer) const {
    if (buffer == nullptr || size > static_cast<XnUInt32>(INT32_MAX)) {
        return ONI_STATUS_BAD_PARAMETER;
    }
    std::memset(buffer, 0, size);
    return ReadTranslated(m_generalPropertyTranslation, m_generalProperties, name, [&](int, XnInt32 id) {
        return static_cast<XnStatus>(
            StreamGetPropertyZeroed(GetStreamHandle(), id, buffer, static_cast<int>(size), nullptr));
    });
}

XnStatus MapGenerator::GetMetaData(MapMetaData& metaData) const {
    const OniFrame* pFrame = GetFrame();
    if (pFrame != nullptr) {
        metaData.Timestamp() = pFrame->timestamp;
        metaData.FrameID() = static_cast<XnUInt32>(pFrame->frameIndex);
    }
    // The frame's own size decides how many pixels its buffer holds: a
    // stream shared with the application (a lent device) can be cropped or
    // switched to another mode behind this node's back.
    const XnUInt64 bytesPerPixel = metaData.BytesPerPixel();
    const bool holdsItsRows = pFrame != nullptr && pFrame->data != nullptr && pFrame->width >= 0 &&
                              pFrame->height >= 0 &&
                              (bytesPerPixel == 0 ||
                               (static_cast<XnUInt64>(pFrame->stride) == pFrame->width * bytesPerPixel &&
                                pFrame->dataSize >= 0 &&
                                static_cast<XnUInt64>(pFrame->dataSize) >=
                                    static_cast<XnUInt64>(pFrame->width) * pFrame->height * bytesPerPixel));
    // The stream's mode is read only where the frame cannot tell: a file
    // player replaces its stream properties when a recording starts over,
    // and a read every frame would meet that sooner or later.
    if (!holdsItsRows) {
        const OniVideoMode mode = ReadVideoMode(GetStreamHandle());
        return metaData.AllocateData(static_cast<XnUInt32>(std::max(mode.resolutionX, 0)),
                                     static_cast<XnUInt32>(std::max(mode.resolutionY, 0)));
    }
    const bool cropped = pFrame->croppingEnabled != 0;
    OniVideoMode mode{};
    if (cropped) {
        mode = ReadVideoMode(GetStreamHandle());
    }
    metaData.SetData(pFrame->data);
    metaData.XRes() = pFrame->width;
    metaData.YRes() = pFrame->height;
    metaData.FullXRes() = cropped ? mode.resolutionX : pFrame->width;
    metaData.FullYRes() = cropped ? mode.resolutionY : pFrame->height;
    metaData.XOffset() = cropped ? pFrame->cropOriginX : 0;
    metaData.YOffset() = cropped ? pFrame->cropOriginY : 0;
    metaData.DataSize() = static_cast<XnUInt32>(static_cast<XnUInt64>(pFrame->width) * pFrame->height * bytesPerPixel);
    return XN_STATUS_OK;
}

bool DepthGenerator::IsMirrored() const {
    OniBool mirrored = FALSE;
    return StreamGetPropertyZeroed(GetStreamHandle(), ONI_STREAM_PROPERTY_MIRRORING, &mirrored, sizeof(mirrored),
                                   nullptr) == ONI_STATUS_OK &&
           mirrored == TRUE;
}

XnInt32 ProductionNode::GetKey(const TranslationPair* pairs, int count, const char* name) {
    if (pairs == nullptr || name == nullptr) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(pairs[i].name, name) == 0) {
            return pairs[i].id;
        }
    }
    return 0;
}

}  // namespace xn
