#pragma once

// OpenNI1-style production nodes over OpenNI2. A node reads one OpenNI2
// stream and holds a reference to that stream's current frame; every node is
// in the process-wide registry (XnNodeRegistry.h) from construction to
// destruction, so a frame read once can be handed to every node of its
// stream. Production nodes also know their device and which of the two
// supported device families' driver property names it understands.

#include <string>

#include "OSLayer/XnPlatform.h"
#include "OSLayer/XnStatus.h"
#include "OniCAPI.h"
#include "XnAdapter/XnDepthMetaData.h"

// Node types as the node lookup names them.
enum XnProductionNodeType : XnInt32 {
    XN_NODE_TYPE_DEPTH = 0,
    XN_NODE_TYPE_IMAGE = 1,
    XN_NODE_TYPE_IR = 2,
    XN_NODE_TYPE_MAP = 3,
    XN_NODE_TYPE_PLAYER = 4,
};

namespace xn {

class NodeWrapper {
public:
    NodeWrapper();
    // Shares the source's stream (without owning it) and adds a reference to
    // its current frame; the copy is registered on its own.
    NodeWrapper(const NodeWrapper& other);
    NodeWrapper& operator=(const NodeWrapper&) = delete;
    virtual ~NodeWrapper();

    // Releases the current frame and takes a reference to pFrame instead
    // (none for null).
    virtual void UpdateFrame(OniFrame* pFrame);
    // Hands pFrame to every registered node of this node's stream.
    virtual void UpdateFrameToAll(OniFrame* pFrame);

    // The stream the node reads; null when it has none.
    OniStreamHandle GetStreamHandle() const { return m_hStream; }
    // Binds a stream whose lifetime the caller manages (null unbinds). A
    // stream the node owned is stopped and destroyed first.
    void SetStream(OniStreamHandle hStream);
    // Binds a stream the node stops and destroys when it is unbound or the
    // node goes away.
    void AdoptStream(OniStreamHandle hStream);

    // The current frame, null when the node holds none.
    OniFrame* GetFrame() const { return m_pFrame; }
    // Time stamp (microseconds) and index of the current frame; 0 without one.
    XnUInt64 GetTimestamp() const;
    XnInt32 GetFrameID() const;

private:
    void ReleaseStream();

    OniStreamHandle m_hStream;
    OniFrame* m_pFrame;
    bool m_bOwnsStream;
};

class ProductionNode : public NodeWrapper {
public:
    struct TranslationPair {
        const char* name;
        XnInt32 id;
    };

    ProductionNode();
    // Copies the device and sets the family flags again from its name.
    ProductionNode(const ProductionNode& other);

    OniDeviceHandle GetDeviceHandle() const { return m_hDevice; }
    // Binds the device (not owned) and sets the family flags from the name
    // OpenNI2 reports for it; a null device belongs to neither family.
    void SetDevice(OniDeviceHandle hDevice);
    // "KV4410" and "Kinect": first family; "oni File" (a recording): both;
    // "Tarbus": second family; any other name: neither.
    void SetDeviceFamilies(const char* deviceName);
    bool IsFirstFamily() const { return m_bFirstFamily; }
    bool IsSecondFamily() const { return m_bSecondFamily; }

    // The id of the first of count pairs whose name equals name exactly; 0
    // when none does.
    static XnInt32 GetKey(const TranslationPair* pairs, int count, const char* name);

    // Driver properties by their OpenNI1-era names, read from the node's
    // stream under the id of the first family that knows the name and
    // answers, then of the second. The result is an OpenNI2 status: 0, 1 when
    // the node has no stream (or the driver's failure), 2 when no family of
    // the device knows the name; the value is 0 unless a read succeeded.
    // Integers: the first family's are 64-bit unsigned, the second's 32-bit
    // signed and sign-extended; the generic minimum and maximum depth are
    // 32-bit in both.
    XnStatus GetIntProperty(const XnChar* name, XnUInt64& value) const;
    // 64-bit floating point; a driver that answers 4 bytes gave a float.
    XnStatus GetRealProperty(const XnChar* name, XnDouble& value) const;
    // size bytes into buffer; whatever the driver does not answer is zero.
    XnStatus GetGeneralProperty(const XnChar* name, XnUInt32 size, void* buffer) const;

    // Driver property names and their OpenNI2 ids: each table holds the
    // first family's entries followed by the second family's, this many per
    // family.
    static const int m_generalProperties = 2;
    static const int m_realProperties = 2;
    static const int m_intProperties = 7;
    static const TranslationPair m_generalPropertyTranslation[2 * m_generalProperties];
    static const TranslationPair m_realPropertyTranslation[2 * m_realProperties];
    static const TranslationPair m_intPropertyTranslation[2 * m_intProperties];

private:
    // Runs read(id) for each family of the device that knows name in table
    // (perFamily entries each), until one succeeds.
    template <typename Read>
    XnStatus ReadTranslated(const TranslationPair* table, int perFamily, const XnChar* name, Read read) const;

    OniDeviceHandle m_hDevice;
    bool m_bFirstFamily;
    bool m_bSecondFamily;
};

class Generator : public ProductionNode {};

class MapGenerator : public Generator {
public:
    // Describes the current frame in metaData: its time stamp and index, and
    // pixels pointing into the frame's buffer (nothing is copied) with the
    // frame's size, the video mode's size as the full size and the crop
    // origin as offsets (0 uncropped). Without a frame, or with one whose
    // buffer does not hold its rows, the map gets its own zeroed buffer of
    // the video mode's size (AllocateData, whose status is returned). The
    // pixel format of the metadata is kept, so depth, image and infrared
    // maps are described alike.
    XnStatus GetMetaData(MapMetaData& metaData) const;
};

class DepthGenerator : public MapGenerator {
public:
    // True when the stream reads as mirrored; false when it does not, cannot
    // be read, or the node has no stream.
    bool IsMirrored() const;
};

class ImageGenerator : public MapGenerator {};

class IRGenerator : public MapGenerator {};

class Device : public ProductionNode {};

// A recording's playback node. The node lookup serves depth nodes only, so
// no playback node is ever bound to a recording by it.
class Player : public ProductionNode {
public:
    const std::string& GetFileName() const { return m_strFileName; }
    void SetFileName(const std::string& fileName) { m_strFileName = fileName; }

private:
    std::string m_strFileName;
};

}  // namespace xn
