#include "XnAdapter/XnNodes.h"

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
