#pragma once

// The synthetic camera's default scene at 320x240 (a person walks into the
// room and stands), bound to a depth node, with a run of its frames held
// and replayed as a live camera delivers them: every replayed frame gets
// the next frame index and a time stamp 33,333 us after the previous one.

#include <OniCAPI.h>

#include <vector>

#include "XnAdapter/XnNodeRegistry.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnOniCalls.h"

namespace vela_bench {

// Frames of the person standing, after the walk into the room.
constexpr int kSkippedFrames = 120;
constexpr int kReplayedFrames = 30;

// The synthetic camera's default scene at 320x240, bound to a depth node,
// with a run of its frames held for replay.
class Camera {
public:
    Camera() {
        if (oniInitialize(ONI_API_VERSION) != ONI_STATUS_OK) {
            return;
        }
        m_initialized = true;
        if (oniDeviceOpen("synthetic://default?resolution=320x240", &m_device) != ONI_STATUS_OK ||
            oniDeviceCreateStream(m_device, ONI_SENSOR_DEPTH, &m_stream) != ONI_STATUS_OK ||
            oniStreamStart(m_stream) != ONI_STATUS_OK) {
            return;
        }
        m_node.SetDevice(m_device);
        m_node.SetStream(m_stream);
        for (int i = 0; i < kSkippedFrames + kReplayedFrames; ++i) {
            OniFrame* frame = nullptr;
            if (oniStreamReadFrame(m_stream, &frame) != ONI_STATUS_OK) {
                return;
            }
            (i < kSkippedFrames ? m_walk : m_frames).push_back(frame);
        }
    }
    ~Camera() {
        m_node.UpdateFrame(nullptr);
        m_node.SetStream(nullptr);
        for (OniFrame* frame : m_walk) {
            oniFrameRelease(frame);
        }
        for (OniFrame* frame : m_frames) {
            oniFrameRelease(frame);
        }
        if (m_stream != nullptr) {
            oniStreamStop(m_stream);
            oniStreamDestroy(m_stream);
        }
        if (m_device != nullptr) {
            oniDeviceClose(m_device);
        }
        if (m_initialized) {
            oniShutdown();
        }
    }
    bool Ready() const { return m_frames.size() == static_cast<size_t>(kReplayedFrames); }
    xn::DepthGenerator& Node() { return m_node; }
    // Hands the frames of the walk into the room to the node, as live
    // frames before the replayed ones.
    template <class Analyzer>
    void Walk(Analyzer& analyzer) {
        for (OniFrame* frame : m_walk) {
            Deliver(frame);
            analyzer.Update(nullptr, 1);
        }
    }
    // Hands the next replayed frame to the node as the next live frame.
    void Next() {
        OniFrame* frame = m_frames[m_next];
        m_next = (m_next + 1) % m_frames.size();
        Deliver(frame);
    }

private:
    void Deliver(OniFrame* frame) {
        // Indices and times go on from the first delivered frame, walk or
        // not.
        frame->frameIndex = ++m_index;
        frame->timestamp = static_cast<uint64_t>(m_index - 1) * 33333;
        xn::UpdateFrameToAll(m_node, frame);
    }

    bool m_initialized = false;
    OniDeviceHandle m_device = nullptr;
    OniStreamHandle m_stream = nullptr;
    xn::DepthGenerator m_node;
    std::vector<OniFrame*> m_walk;
    std::vector<OniFrame*> m_frames;
    size_t m_next = 0;
    int m_index = 0;
};

}  // namespace vela_bench
