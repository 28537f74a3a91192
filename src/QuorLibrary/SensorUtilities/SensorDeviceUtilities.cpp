#include "QuorLibrary/SensorUtilities/SensorDeviceUtilities.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "QuorLibrary/Utilities/StringUtils.h"
#include "XnAdapter/XnNodeRegistry.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

// With the fixed line numbers passed below (230, 239): part of the stop
// messages' text (see FatalError.h).
const char kSourceFile[] = "QuorLibrary/SensorUtilities/SensorDeviceUtilities";

// Time stamps this close (microseconds) belong to the same moment.
const int64_t kMaxSyncDifference = 4999;

// A float stream property, 0 when the node has no stream or the read fails.
float ReadFloatProperty(const xn::DepthGenerator& depth, int propertyId) {
    float value = 0.0f;
    int size = static_cast<int>(sizeof(value));
    if (xn::StreamGetProperty(depth.GetStreamHandle(), propertyId, &value, &size) != ONI_STATUS_OK) {
        return 0.0f;
    }
    return value;
}

// Both fields of view, the vertical one read first.
void ReadFieldsOfView(const xn::DepthGenerator& depth, float& horizontal, float& vertical) {
    vertical = ReadFloatProperty(depth, ONI_STREAM_PROPERTY_VERTICAL_FOV);
    horizontal = ReadFloatProperty(depth, ONI_STREAM_PROPERTY_HORIZONTAL_FOV);
}

// Angles the world-point tables can be built from: NaN and infinity would
// pass a plain "> 0" test and poison every table entry.
bool IsValidFieldOfView(float fov) { return std::isfinite(fov) && fov > 0.0f; }

// Time stamp of a minus time stamp of b.
int64_t StampDifference(const xn::MapGenerator& a, const xn::MapGenerator& b) {
    return static_cast<int64_t>(a.GetTimestamp() - b.GetTimestamp());
}

// "0x" followed by hexadecimal digits, or decimal digits; the value wraps
// in 32 bits. An empty text and a bare "0x" give 0. Anything else fails and
// leaves *out alone.
bool atoi2(const char* text, int* out) {
    uint32_t value = 0;
    if (text[0] == '0' && text[1] == 'x') {
        for (const char* p = text + 2; *p != '\0'; ++p) {
            uint32_t digit = 0;
            if (*p >= '0' && *p <= '9') {
                digit = static_cast<uint32_t>(*p - '0');
            } else if (*p >= 'a' && *p <= 'f') {
                digit = static_cast<uint32_t>(*p - 'a' + 10);
            } else if (*p >= 'A' && *p <= 'F') {
                digit = static_cast<uint32_t>(*p - 'A' + 10);
            } else {
                return false;
            }
            value = value * 16u + digit;
        }
    } else {
        for (const char* p = text; *p != '\0'; ++p) {
            if (*p < '0' || *p > '9') {
                return false;
            }
            value = value * 10u + static_cast<uint32_t>(*p - '0');
        }
    }
    *out = static_cast<int>(value);
    return true;
}

// A whole word holding a decimal int; false for anything else.
bool ParseInt(const std::string& word, int& value) {
    if (word.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || parsed < INT32_MIN || parsed > INT32_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

double GetDepthFOVX(const xn::DepthGenerator& depth) {
    float horizontal = 0.0f;
    float vertical = 0.0f;
    ReadFieldsOfView(depth, horizontal, vertical);
    if (horizontal == 0.0f && vertical == 0.0f) {
        return kDefaultDepthFOVX;
    }
    if (!IsValidFieldOfView(horizontal)) {
        FatalError("GetDepthFOVX", kSourceFile, 230,
                   StringSprintf("Depth generator returned invalid horizontal FOV (%.2f)", horizontal).c_str());
    }
    return horizontal;
}

double GetDepthFOVY(const xn::DepthGenerator& depth) {
    float horizontal = 0.0f;
    float vertical = 0.0f;
    ReadFieldsOfView(depth, horizontal, vertical);
    if (horizontal == 0.0f && vertical == 0.0f) {
        return kDefaultDepthFOVY;
    }
    if (!IsValidFieldOfView(vertical)) {
        FatalError("GetDepthFOVY", kSourceFile, 239,
                   StringSprintf("Depth generator returned invalid vertical FOV (%.2f)", vertical).c_str());
    }
    return vertical;
}

namespace {

// The depth sensor among the context's sensor descriptions, asking the
// device for it when an empty slot comes first; null when there is none.
const OniSensorInfo* FindDepthSensor(xn::Context& context) {
    if (context.GetDevice() == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < xn::Context::kSensorInfoSlots; ++i) {
        const OniSensorInfo*& slot = context.SensorInfo(i);
        if (slot == nullptr) {
            slot = oniDeviceGetSensorInfo(context.GetDevice(), ONI_SENSOR_DEPTH);
            if (slot == nullptr) {
                return nullptr;
            }
        }
        if (slot->sensorType == ONI_SENSOR_DEPTH) {
            return slot;
        }
    }
    return nullptr;
}

}  // namespace

XnStatus GetProductionNode(xn::Context& context, xn::NodeWrapper& node, XnProductionNodeType type, int index,
                           const char* name) {
    node.SetStream(nullptr);
    // At most one candidate: the device's depth sensor.
    const OniSensorInfo* pCandidate = type == XN_NODE_TYPE_DEPTH ? FindDepthSensor(context) : nullptr;
    const bool byName = name != nullptr && std::strcmp(name, "Bla") == 0;
    if (pCandidate == nullptr || (!byName && index != 0)) {
        return XN_STATUS_NO_MATCH;
    }
    OniStreamHandle hStream = nullptr;
    if (oniDeviceCreateStream(context.GetDevice(), ONI_SENSOR_DEPTH, &hStream) != ONI_STATUS_OK ||
        hStream == nullptr) {
        return XN_STATUS_ERROR;
    }
    if (context.GetPlaybackDevice() != nullptr) {
        const float speed = -1.0f;
        oniDeviceSetProperty(context.GetPlaybackDevice(), ONI_DEVICE_PROPERTY_PLAYBACK_SPEED, &speed,
                             static_cast<int>(sizeof(speed)));
    }
    if (oniStreamStart(hStream) != ONI_STATUS_OK) {
        oniStreamDestroy(hStream);
        return XN_STATUS_ERROR;
    }
    // The node is registered for as long as it exists; registering it again
    // would leave an entry behind when it goes away.
    node.AdoptStream(hStream);
    return XN_STATUS_OK;
}

bool IsFileDevice(xn::Context& context, std::string* name) {
    xn::Player player;
    if (GetProductionNode(context, player, XN_NODE_TYPE_PLAYER, 0, nullptr) != XN_STATUS_OK) {
        return false;
    }
    if (name != nullptr) {
        *name = player.GetFileName();
    }
    return true;
}

std::string GetFileDeviceConnectionString(xn::Context& context) {
    std::string name;
    if (!IsFileDevice(context, &name)) {
        return std::string();
    }
    return name;
}

bool InSync(const xn::MapGenerator& a, const xn::MapGenerator& b) {
    const int64_t d = StampDifference(a, b);
    return d <= kMaxSyncDifference && d >= -kMaxSyncDifference;
}

int CompareSync(const xn::MapGenerator& a, const xn::MapGenerator& b) {
    const int64_t d = StampDifference(a, b);
    if (d > kMaxSyncDifference) {
        return 1;
    }
    if (d <= -(kMaxSyncDifference + 1)) {
        return -1;
    }
    return 0;
}

std::string GetGeneratorStatus(const xn::MapGenerator& node, const xn::MapGenerator* other, bool colour) {
    std::string status = StringSprintf("%-10s f=%d t=%.3f", "Name", node.GetFrameID(),
                                       static_cast<double>(node.GetTimestamp()) * 1e-6);
    if (other != nullptr && !InSync(node, *other)) {
        status += colour ? " <pushc red>[SKEW]<popc>" : " [SKEW]";
    }
    return status;
}

void PrintSyncDebug(const xn::MapGenerator& a, const xn::MapGenerator& b) {
    std::printf("%s\n", GetGeneratorStatus(a, nullptr, false).c_str());
    std::printf("%s\n", GetGeneratorStatus(b, &a, false).c_str());
}

bool ReadSynchronized(xn::MapGenerator* a, xn::MapGenerator* b, bool sync, bool* wrapped) {
    if (a == nullptr) {
        return false;
    }
    // A failed wait reads no frame: reporting success would hand the caller
    // stale frames, and the synchronising loop would never end.
    const XnInt32 previousFrame = a->GetFrameID();
    if (xn::UpdateUntil(*a) != XN_STATUS_OK) {
        return false;
    }
    if (b != nullptr && xn::UpdateUntil(*b) != XN_STATUS_OK) {
        return false;
    }
    if (a->GetFrameID() < previousFrame) {
        if (wrapped != nullptr) {
            *wrapped = true;
        }
        return true;
    }
    if (sync && b != nullptr) {
        while (!InSync(*a, *b)) {
            xn::MapGenerator* pBehind = CompareSync(*a, *b) < 0 ? a : b;
            if (xn::UpdateUntil(*pBehind) != XN_STATUS_OK) {
                return false;
            }
        }
    }
    if (wrapped != nullptr) {
        *wrapped = false;
    }
    return true;
}

XnUInt16 ReadI2CRegister(xn::Device& device, const char* property, XnUInt16 reg) {
    const int count = xn::ProductionNode::m_intProperties;
    const bool families[2] = {device.IsFirstFamily(), device.IsSecondFamily()};
    for (int family = 0; family < 2; ++family) {
        if (!families[family]) {
            continue;
        }
        const XnInt32 id =
            xn::ProductionNode::GetKey(xn::ProductionNode::m_intPropertyTranslation + family * count, count, property);
        if (id == 0) {
            continue;
        }
        XnUInt32 value = reg;
        int size = static_cast<int>(sizeof(value));
        if (xn::StreamGetProperty(device.GetStreamHandle(), id, &value, &size) == ONI_STATUS_OK) {
            return static_cast<XnUInt16>(value >> 16);
        }
    }
    std::printf("Failed to read register %u\n", static_cast<unsigned>(reg));
    return 0;
}

void PrintCMOSStatus(xn::Context& /*context*/) {
    // A device node made here is bound to no device, so it belongs to no
    // family and every read fails.
    xn::Device device;
    const XnUInt16 depthExposure = ReadI2CRegister(device, "DepthControl", 9);
    std::printf("Depth Exposure = %u\n", static_cast<unsigned>(depthExposure));
    const XnUInt16 imageExposure = ReadI2CRegister(device, "ImageControl", 9);
    std::printf("Image Exposure = %u\n", static_cast<unsigned>(imageExposure));
    const XnUInt16 imageGain = ReadI2CRegister(device, "ImageControl", 47);
    std::printf("Image Gain = %u\n", static_cast<unsigned>(imageGain));
}

bool SendDeviceCommand(xn::Device& /*device*/, const std::string& command, bool verbose) {
    std::istringstream words(command);
    std::string keyword;
    std::string action;
    words >> keyword >> action;
    if (Uppercase(keyword) != "I2C" || Uppercase(action) != "WRITE") {
        return false;
    }
    std::string cmosText;
    std::string registerText;
    std::string valueText;
    words >> cmosText >> registerText >> valueText;
    int cmos = -1;
    if (!ParseInt(cmosText, cmos) || (cmos != 0 && cmos != 1)) {
        std::printf("cmos must be 0/1\n");
        return false;
    }
    int reg = 0;
    int value = 0;
    if (!atoi2(registerText.c_str(), &reg) || !atoi2(valueText.c_str(), &value)) {
        std::printf("Parsing error\n");
        return false;
    }
    if (verbose) {
        std::printf("Sending command %s (reg=%u, val=%u)\n", command.c_str(),
                    static_cast<unsigned>(static_cast<XnUInt16>(reg)), static_cast<unsigned>(static_cast<XnUInt16>(value)));
    }
    std::printf("Failed to set property '%s'\n", command.c_str());
    return false;
}

bool SetDepthCMOSExposure(xn::Context& /*context*/, int exposure, bool verbose) {
    xn::Device device;
    return SendDeviceCommand(device, StringSprintf("I2c write 1 0x9 %d", exposure), verbose);
}

bool SetFastestPlaybackSpeed(xn::Context& context) {
    xn::Player player;
    return GetProductionNode(context, player, XN_NODE_TYPE_PLAYER, 0, nullptr) == XN_STATUS_OK;
}

int GetNumberOfFrames(xn::Context& context) {
    xn::Player player;
    if (GetProductionNode(context, player, XN_NODE_TYPE_PLAYER, 0, nullptr) == XN_STATUS_OK) {
        xn::DepthGenerator depth;
        GetProductionNode(context, depth, XN_NODE_TYPE_DEPTH, 0, nullptr);
    }
    return 0;
}

int GetNumberOfFrames(const xn::DepthGenerator& /*depth*/) {
    xn::Context context;
    xn::Player player;
    GetProductionNode(context, player, XN_NODE_TYPE_PLAYER, 0, nullptr);
    return 0;
}

int PressAnyKeyToContinue() {
    std::printf("Press any key to continue...");
    std::fflush(stdout);
    return std::getchar();
}
