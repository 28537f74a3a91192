#pragma once

// Streams and frames without a device: installs replacement OpenNI2 calls
// for the adapter while it lives. Stream handles are opaque tokens that are
// never passed to OpenNI2; properties are served from a table; frames are
// owned here and their references counted; waits deliver queued frames in
// order and fail once the queue is empty.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "XnAdapter/XnOniCalls.h"

namespace vela_test {

class FakeOniStreams {
public:
    struct PropertyRead {
        OniStreamHandle stream;
        int id;
        uint32_t input;  // the first 4 bytes the caller passed in
        int size;        // the bytes asked for
    };

    FakeOniStreams() {
        s_pInstance = this;
        m_previous = xn::SetOniCalls(xn::OniCalls{&GetProperty, &WaitForAnyStream, &ReadFrame, &AddRef, &Release});
    }
    ~FakeOniStreams() {
        xn::SetOniCalls(m_previous);
        s_pInstance = nullptr;
    }
    FakeOniStreams(const FakeOniStreams&) = delete;
    FakeOniStreams& operator=(const FakeOniStreams&) = delete;

    OniStreamHandle NewStream() {
        m_tokens.push_back(std::make_unique<char>());
        return reinterpret_cast<OniStreamHandle>(m_tokens.back().get());
    }

    // The property reads as value (exactly sizeof(V) bytes) with status.
    template <typename V>
    void SetProperty(OniStreamHandle stream, int id, const V& value, OniStatus status = ONI_STATUS_OK) {
        Property& p = m_properties[std::make_pair(stream, id)];
        p.bytes.assign(reinterpret_cast<const char*>(&value), reinterpret_cast<const char*>(&value) + sizeof(V));
        p.status = status;
        p.answersShort = false;
    }
    // As OpenNI2's file player stores it: a read of at least sizeof(V) bytes
    // gets the value's bytes alone, the rest of the caller's buffer untouched,
    // and success.
    template <typename V>
    void SetShortAnsweringProperty(OniStreamHandle stream, int id, const V& value) {
        SetProperty(stream, id, value);
        m_properties[std::make_pair(stream, id)].answersShort = true;
    }
    // The property reads as the size bytes at bytes (a table property).
    void SetBytes(OniStreamHandle stream, int id, const void* bytes, size_t size) {
        Property& p = m_properties[std::make_pair(stream, id)];
        p.bytes.assign(static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size);
        p.status = ONI_STATUS_OK;
        p.answersShort = false;
    }
    void FailProperty(OniStreamHandle stream, int id, OniStatus status = ONI_STATUS_NOT_SUPPORTED) {
        m_properties[std::make_pair(stream, id)] = Property{{}, status, false};
    }

    // A frame owned here, with no reference held by anyone.
    OniFrame* NewFrame(uint64_t timestamp, int frameIndex) {
        m_frames.push_back(std::make_unique<OniFrame>());
        OniFrame* pFrame = m_frames.back().get();
        std::memset(pFrame, 0, sizeof(OniFrame));
        pFrame->timestamp = timestamp;
        pFrame->frameIndex = frameIndex;
        m_refCounts[pFrame] = 0;
        return pFrame;
    }
    int RefCount(OniFrame* pFrame) const { return m_refCounts.at(pFrame); }
    // Every frame's references have been released.
    bool AllFramesReleased() const {
        for (const auto& entry : m_refCounts) {
            if (entry.second != 0) {
                return false;
            }
        }
        return true;
    }

    // The next wait reports stream ready and the read after it returns frame.
    void QueueFrame(OniStreamHandle stream, OniFrame* pFrame) { m_queue.emplace_back(stream, pFrame); }
    size_t QueuedFrames() const { return m_queue.size(); }
    // Streams passed to the last wait.
    const std::vector<OniStreamHandle>& LastWaitStreams() const { return m_lastWaitStreams; }
    const std::vector<PropertyRead>& PropertyReads() const { return m_reads; }

private:
    struct Property {
        std::vector<char> bytes;
        OniStatus status;
        bool answersShort;
    };

    static OniStatus GetProperty(OniStreamHandle stream, int id, void* data, int* pDataSize) {
        FakeOniStreams& self = *s_pInstance;
        uint32_t input = 0;
        std::memcpy(&input, data, std::min<size_t>(sizeof(input), static_cast<size_t>(*pDataSize)));
        self.m_reads.push_back(PropertyRead{stream, id, input, *pDataSize});
        const auto it = self.m_properties.find(std::make_pair(stream, id));
        if (it == self.m_properties.end()) {
            return ONI_STATUS_NOT_SUPPORTED;
        }
        if (it->second.status != ONI_STATUS_OK) {
            return it->second.status;
        }
        const size_t asked = static_cast<size_t>(*pDataSize);
        const size_t stored = it->second.bytes.size();
        if (asked < stored || (asked > stored && !it->second.answersShort)) {
            return ONI_STATUS_BAD_PARAMETER;
        }
        std::memcpy(data, it->second.bytes.data(), stored);
        *pDataSize = static_cast<int>(stored);
        return ONI_STATUS_OK;
    }

    static OniStatus WaitForAnyStream(OniStreamHandle* pStreams, int numStreams, int* pStreamIndex, int /*timeout*/) {
        FakeOniStreams& self = *s_pInstance;
        self.m_lastWaitStreams.assign(pStreams, pStreams + numStreams);
        if (self.m_queue.empty()) {
            return ONI_STATUS_TIME_OUT;
        }
        for (int i = 0; i < numStreams; ++i) {
            if (pStreams[i] == self.m_queue.front().first) {
                *pStreamIndex = i;
                return ONI_STATUS_OK;
            }
        }
        ADD_FAILURE() << "a queued frame's stream is not waited on";
        return ONI_STATUS_ERROR;
    }

    static OniStatus ReadFrame(OniStreamHandle stream, OniFrame** ppFrame) {
        FakeOniStreams& self = *s_pInstance;
        if (self.m_queue.empty() || self.m_queue.front().first != stream) {
            return ONI_STATUS_ERROR;
        }
        *ppFrame = self.m_queue.front().second;
        self.m_queue.pop_front();
        ++self.m_refCounts.at(*ppFrame);
        return ONI_STATUS_OK;
    }

    static void AddRef(OniFrame* pFrame) { ++s_pInstance->m_refCounts.at(pFrame); }
    static void Release(OniFrame* pFrame) {
        int& count = s_pInstance->m_refCounts.at(pFrame);
        EXPECT_GT(count, 0) << "a frame released more often than referenced";
        --count;
    }

    static inline FakeOniStreams* s_pInstance = nullptr;

    xn::OniCalls m_previous;
    std::vector<std::unique_ptr<char>> m_tokens;
    std::map<std::pair<OniStreamHandle, int>, Property> m_properties;
    std::vector<std::unique_ptr<OniFrame>> m_frames;
    std::map<OniFrame*, int> m_refCounts;
    std::deque<std::pair<OniStreamHandle, OniFrame*>> m_queue;
    std::vector<OniStreamHandle> m_lastWaitStreams;
    std::vector<PropertyRead> m_reads;
};

}  // namespace vela_test
