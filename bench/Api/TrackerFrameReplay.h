#pragma once

// One tracker frame of the synthetic camera at 320x240, without the camera:
// the benchmark reads a run of depth frames of the default scene once (a
// person standing in the room), then hands them to the tracker's frame
// pipeline again and again, as a live camera would: every replayed frame
// gets the next frame index and a time stamp 33,333 us after the previous
// one, so no replay looks like a recording that starts over.

#include <benchmark/benchmark.h>

#include <OpenNI.h>

#include <cstdint>
#include <vector>

#include "Api/DepthFrameReader.h"
#include "Vela.h"
#include "XnAdapter/XnOniCalls.h"

namespace vela_bench {

// Frames of the person standing, after the walk into the room.
constexpr int kSkippedFrames = 60;
constexpr int kReplayedFrames = 30;

// Tracker offers ReadDepth (the next frame of its stream) and Process (its
// frame pipeline on a frame already read); prepare sets the tracker up once
// it runs, release frees an output frame.
template <class Tracker, class Prepare, class Release>
void ReplayTrackerFrames(benchmark::State& state, Prepare prepare, Release release) {
    if (openni::OpenNI::initialize() != openni::STATUS_OK) {
        state.SkipWithError("OpenNI2 does not start");
        return;
    }
    velaInitialize();
    {
        openni::Device device;
        Tracker tracker;
        if (device.open("synthetic://default?resolution=320x240") != openni::STATUS_OK ||
            tracker.initialize(&device) != VELA_STATUS_OK) {
            state.SkipWithError("no tracker on the synthetic camera");
        } else {
            std::vector<OniFrame*> frames;
            for (int i = 0; i < kSkippedFrames + kReplayedFrames; ++i) {
                OniFrame* frame = tracker.ReadDepth();
                if (i >= kSkippedFrames && frame != nullptr) {
                    frames.push_back(frame);
                } else if (frame != nullptr) {
                    xn::GetOniCalls().frameRelease(frame);
                }
            }
            if (frames.empty()) {
                state.SkipWithError("no frames");
            }
            prepare(tracker);
            uint64_t timestamp = frames.empty() ? 0 : frames.back()->timestamp;
            int index = frames.empty() ? 0 : frames.back()->frameIndex;
            size_t next = 0;
            for (auto _ : state) {
                OniFrame* frame = frames[next];
                next = (next + 1) % frames.size();
                timestamp += 33333;
                frame->timestamp = timestamp;
                frame->frameIndex = ++index;
                auto* out = tracker.Process(frame);
                benchmark::DoNotOptimize(out);
                release(tracker, out);
            }
            for (OniFrame* frame : frames) {
                xn::GetOniCalls().frameRelease(frame);
            }
        }
    }
    velaShutdown();
    openni::OpenNI::shutdown();
}

}  // namespace vela_bench
