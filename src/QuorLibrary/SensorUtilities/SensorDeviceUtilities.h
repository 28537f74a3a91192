#pragma once

// Free functions around the depth node and its maps: the stream's fields of
// view (every world-point converter is built from the horizontal one), pixel
// access to depth maps, telling a recording from a live device, and
// development helpers that synchronise two nodes, read and write sensor
// registers and look nodes up. Several of the development helpers cannot
// succeed with this adapter (its node lookup serves depth nodes only) and
// report failure as their callers expect.

#include <cstdio>
#include <string>

#include "OSLayer/XnPlatform.h"
#include "OSLayer/XnStatus.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/FatalError.h"
#include "XnAdapter/XnContext.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnMetaData.h"
#include "XnAdapter/XnNodes.h"

#ifndef XN_STATUS_NO_MATCH
// No node of the asked type and index.
#define XN_STATUS_NO_MATCH ((XnStatus)0x1000A)
#endif

// Fields of view read when the stream reports neither.
constexpr double kDefaultDepthFOVX = 1.0226;
constexpr double kDefaultDepthFOVY = 0.796616;

// Horizontal field of view of the depth stream in radians: 1.0226 when
// neither field of view can be read (or both are 0). A horizontal value that
// is 0 or below, NaN or infinite ends the process with "Depth generator
// returned invalid horizontal FOV (%.2f)".
double GetDepthFOVX(const xn::DepthGenerator& depth);
// The same for the vertical field of view: 0.796616 by default, "Depth
// generator returned invalid vertical FOV (%.2f)" when invalid.
double GetDepthFOVY(const xn::DepthGenerator& depth);

// Depth at p, its coordinates truncated toward zero (so -0.5 reads column
// 0); 0 for a pixel off the map.
template <typename S>
XnUInt16 GetDepth(const xn::DepthMetaData& depthMap, const Vector2D<S>& p) {
    const int width = depthMap.XRes();
    const int height = depthMap.YRes();
    // Range checks before the conversion: a float beyond int, or NaN, has
    // no integer to truncate to.
    if (!(p.x > static_cast<S>(-1)) || !(p.x < static_cast<S>(width)) || !(p.y > static_cast<S>(-1)) ||
        !(p.y < static_cast<S>(height))) {
        return 0;
    }
    const int x = static_cast<int>(p.x);
    const int y = static_cast<int>(p.y);
    return depthMap.Data()[y * width + x];
}

// An Array2D over a map's pixels without copying or owning them: rows =
// height, columns = width.
template <typename T>
class MapMetaDataArray2DWrapper : public Array2D<T> {
public:
    explicit MapMetaDataArray2DWrapper(const xn::MapMetaData& map) {
        this->Borrow(static_cast<T*>(const_cast<void*>(map.Data())), map.YRes(), map.XRes());
    }
    // A borrowed block is left alone; storage the array grew into is freed.
    ~MapMetaDataArray2DWrapper() { this->Deallocate(); }
    MapMetaDataArray2DWrapper(const MapMetaDataArray2DWrapper&) = delete;
    MapMetaDataArray2DWrapper& operator=(const MapMetaDataArray2DWrapper&) = delete;
};

// Binds node to a new, started stream of the index-th node of that type on
// the context's device ("Bla" as name takes the first candidate); only depth
// nodes are found. The node's stream is cleared first. XN_STATUS_NO_MATCH
// when there is no such node (always for other types, and for a context
// without a device); XN_STATUS_ERROR when the stream cannot be created or
// started.
XnStatus GetProductionNode(xn::Context& context, xn::NodeWrapper& node, XnProductionNodeType type, int index,
                           const char* name);

// Whether the depth comes from a recording, with its file name stored in
// *name when given. The lookup never finds a playback node, so this answers
// false and leaves *name unchanged.
bool IsFileDevice(xn::Context& context, std::string* name = nullptr);
// The recording's file name, empty when IsFileDevice is false.
std::string GetFileDeviceConnectionString(xn::Context& context);

// Development helpers. Time stamps (microseconds) and frame indices are those
// of each node's current frame, 0 without one.

// The two time stamps differ by at most 4999.
bool InSync(const xn::MapGenerator& a, const xn::MapGenerator& b);
// 1 when a's stamp is more than 4999 after b's, -1 when 5000 or more
// before, else 0.
int CompareSync(const xn::MapGenerator& a, const xn::MapGenerator& b);
// "Name       f=<index> t=<seconds>", with " [SKEW]" (coloured when colour is
// set) when other is given and out of sync with node.
std::string GetGeneratorStatus(const xn::MapGenerator& node, const xn::MapGenerator* other, bool colour);
// Writes the status lines of a and of b against a on standard output.
void PrintSyncDebug(const xn::MapGenerator& a, const xn::MapGenerator& b);
// Waits for the next frame of a, then of b when given, and with sync keeps
// reading the one behind until both are within 4999 microseconds. *wrapped
// (when given) tells whether a's frame index went down (a recording started
// over), which ends the call at once. False when a is null or a wait fails.
bool ReadSynchronized(xn::MapGenerator* a, xn::MapGenerator* b, bool sync, bool* wrapped);

// Reads the device's integer property of that driver name with the register
// number in the low 16 bits of the value passed and returns the high 16 bits
// of the value read. When the device's families do not know the name or the
// read fails, writes "Failed to read register <n>" on standard output and
// returns 0.
XnUInt16 ReadI2CRegister(xn::Device& device, const char* property, XnUInt16 reg);
// Writes the depth exposure, image exposure and image gain registers on
// standard output, read through a device node of no family (so each read
// reports its failure and gives 0).
void PrintCMOSStatus(xn::Context& context);
// Parses "I2C WRITE <cmos> <register> <value>" (keywords in any case, numbers
// decimal or 0x-hexadecimal) and reports on standard output; no command
// reaches the device, so the result is false.
bool SendDeviceCommand(xn::Device& device, const std::string& command, bool verbose);
// SendDeviceCommand of "I2c write 1 0x9 <exposure>"; false.
bool SetDepthCMOSExposure(xn::Context& context, int exposure, bool verbose);
// Whether a playback node is found (never with this adapter); sets nothing.
bool SetFastestPlaybackSpeed(xn::Context& context);
// Frame counts of a recording are not known here: 0.
int GetNumberOfFrames(xn::Context& context);
int GetNumberOfFrames(const xn::DepthGenerator& depth);
// Writes "Press any key to continue..." and returns the next character read
// from standard input.
int PressAnyKeyToContinue();

namespace vela_sensor_detail {

template <typename T>
struct NodeKind;
template <>
struct NodeKind<xn::DepthGenerator> {
    static constexpr XnProductionNodeType kType = XN_NODE_TYPE_DEPTH;
    static constexpr const char* kName = "DepthGenerator";
};
template <>
struct NodeKind<xn::ImageGenerator> {
    static constexpr XnProductionNodeType kType = XN_NODE_TYPE_IMAGE;
    static constexpr const char* kName = "ImageGenerator";
};
template <>
struct NodeKind<xn::IRGenerator> {
    static constexpr XnProductionNodeType kType = XN_NODE_TYPE_IR;
    static constexpr const char* kName = "IRGenerator";
};
template <>
struct NodeKind<xn::MapGenerator> {
    static constexpr XnProductionNodeType kType = XN_NODE_TYPE_MAP;
    static constexpr const char* kName = "";
};

}  // namespace vela_sensor_detail

// Creates a node of T in node and looks it up with GetProductionNode. On
// failure the node is deleted and node set to null; then, with
// exitOnFailure, "Error: Did not find <kind> node" goes to standard output
// and the process ends with status 1, otherwise the status is returned.
// Indices of 2 or more are not looked up: 0, with node untouched.
template <typename T>
XnStatus InitializeContextCommon(xn::Context& context, T*& node, bool exitOnFailure, int index, const char* name) {
    using Kind = vela_sensor_detail::NodeKind<T>;
    if (index >= 2) {
        return XN_STATUS_OK;
    }
    node = new T;
    const XnStatus rc = GetProductionNode(context, *node, Kind::kType, index, name);
    if (rc == XN_STATUS_OK) {
        return XN_STATUS_OK;
    }
    // Destruction unregisters the node and releases its frame.
    delete node;
    node = nullptr;
    if (exitOnFailure) {
        std::printf("Error: Did not find %s node\n", Kind::kName);
        std::fflush(stdout);
        DebuggableExit(1);
    }
    return rc;
}
