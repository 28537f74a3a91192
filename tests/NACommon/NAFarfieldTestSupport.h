#pragma once

// Frames for a background model without a camera: a depth hub holding the
// fake sensor's conversions (NAConversionsTestSupport.h: depth = 5 x shift
// up to 10000 mm), and the last three depth and shift maps of the model's
// size, fed to a model with a frame id, a time stamp and a valid box as its
// owner would. Maps are row-major vectors of the model's size.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "NACommon/NACommonData.h"
#include "NACommon/NAFarfield.h"
#include "NAConversionsTestSupport.h"

namespace vela_test {

using Map16 = std::vector<uint16_t>;

class FarfieldFeeder {
public:
    // Conversions up to native; the model's maps at resolution.
    explicit FarfieldFeeder(Resolution resolution = QQVGA, Resolution native = QVGA)
        : m_resolution(resolution), m_width(g_nXRes[resolution]), m_height(g_nYRes[resolution]) {
        EXPECT_TRUE(m_hub.InitConversions(m_sensor.m_node, native));
        for (Frame& frame : m_frames) {
            frame.depth.AllocateData(m_width, m_height);
            std::fill(frame.depth.WritableData(), frame.depth.WritableData() + Pixels(), 0);
            frame.shift.SetSize(m_height, m_width, false);
            std::fill(frame.shift.Data(), frame.shift.Data() + Pixels(), 0);
        }
    }

    NACommonData& Hub() { return m_hub; }
    FakeSensor& Sensor() { return m_sensor; }
    Resolution GetResolution() const { return m_resolution; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Pixels() const { return m_width * m_height; }
    Box2D<int> Image() const { return Box2D<int>(0, 0, m_width - 1, m_height - 1); }
    int Index(int x, int y) const { return y * m_width + x; }
    uint16_t Shift(int depth) const { return m_hub.m_pDepthToShift[depth]; }
    int Depth(int shift) const { return m_hub.m_pShiftToDepth[shift]; }

    // A map of one depth, and one with a rectangle (inclusive) painted in.
    Map16 Flat(int depth) const { return Map16(static_cast<size_t>(Pixels()), static_cast<uint16_t>(depth)); }
    void Paint(Map16& map, int left, int top, int right, int bottom, int value) const {
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                map[static_cast<size_t>(Index(x, y))] = static_cast<uint16_t>(value);
            }
        }
    }

    // Makes depth the current frame; the two before follow it.
    void Push(const Map16& depth) {
        m_current = (m_current + 1) % 3;
        Frame& frame = m_frames[m_current];
        std::copy(depth.begin(), depth.end(), frame.depth.WritableData());
        for (int i = 0; i < Pixels(); ++i) {
            frame.shift.Data()[i] = depth[static_cast<size_t>(i)] != 0 ? Shift(depth[static_cast<size_t>(i)]) : 0;
        }
        m_depths[0] = &frame.depth;
        m_depths[1] = &m_frames[(m_current + 2) % 3].depth;
        for (int k = 0; k < 3; ++k) {
            m_shifts[k] = &m_frames[(m_current + 3 - k) % 3].shift;
        }
    }
    // Push, then the model's update on the whole image as the valid box;
    // the clock advances by step microseconds (0: a repeated time stamp).
    void Feed(NAFarfield& model, const Map16& depth, int64_t step = 33333) { Feed(model, depth, Image(), step); }
    void Feed(NAFarfield& model, const Map16& depth, const Box2D<int>& valid, int64_t step = 33333) {
        Push(depth);
        Update(model, valid, step);
    }
    // The model's update on the frames as they are.
    void Update(NAFarfield& model, const Box2D<int>& valid, int64_t step = 33333) {
        m_time += step;
        model.NAFarfield::Update(m_depths, m_shifts, ++m_frameId, SensorTime(m_time), valid);
    }

    const xn::DepthMetaData** Depths() { return m_depths; }
    const Array2D<uint16_t>** Shifts() { return m_shifts; }
    const Array2D<uint16_t>& CurrentShift() const { return *m_shifts[0]; }

    unsigned m_frameId = 0;
    int64_t m_time = 0;

private:
    struct Frame {
        xn::DepthMetaData depth;
        Array2D<uint16_t> shift;
    };

    FakeSensor m_sensor;
    NACommonData m_hub;
    Resolution m_resolution;
    int m_width;
    int m_height;
    Frame m_frames[3];
    int m_current = 0;
    const xn::DepthMetaData* m_depths[2] = {&m_frames[0].depth, &m_frames[0].depth};
    const Array2D<uint16_t>* m_shifts[3] = {&m_frames[0].shift, &m_frames[0].shift, &m_frames[0].shift};
};

// A random depth sequence that keeps a room for a while: a wall and floor,
// boxes that come, move and go, holes, noise, sometimes a frame without
// depth or a jump of everything (as a moved camera). Depths stay within
// 500..9000 mm.
class RandomRoom {
public:
    RandomRoom(int width, int height, unsigned seed) : m_width(width), m_height(height), m_random(seed) {
        for (int i = 0; i < 4; ++i) {
            m_boxes.push_back(NewBox());
        }
    }

    Map16 Next() {
        Map16 depth(static_cast<size_t>(m_width) * m_height);
        const int jump = Chance(0.04) ? Uniform(-800, 800) : 0;
        m_wall = std::min(std::max(m_wall + jump, 2500), 7000);
        const bool blank = Chance(0.04);
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                int z = y > m_height * 2 / 3 ? m_wall - (y - m_height * 2 / 3) * 40 : m_wall + x * 2;
                for (const Box& box : m_boxes) {
                    if (x >= box.left && x <= box.right && y >= box.top && y <= box.bottom) {
                        z = std::min(z, box.depth + (x - box.left) * box.slope);
                    }
                }
                z += Uniform(-6, 6);
                if (blank || Chance(0.02)) {
                    z = 0;
                }
                depth[static_cast<size_t>(y * m_width + x)] = static_cast<uint16_t>(std::min(std::max(z, 0), 9000));
            }
        }
        for (Box& box : m_boxes) {
            if (Chance(0.1)) {
                box = NewBox();
            } else if (Chance(0.3)) {
                const int dx = Uniform(-3, 3);
                box.left = std::max(box.left + dx, 0);
                box.right = std::min(box.right + dx, m_width - 1);
                box.depth = std::max(box.depth + Uniform(-40, 40), 600);
            }
        }
        return depth;
    }

    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < p; }

private:
    struct Box {
        int left, top, right, bottom, depth, slope;
    };
    Box NewBox() {
        Box box;
        box.left = Uniform(0, m_width - 8);
        box.right = std::min(box.left + Uniform(3, m_width / 3), m_width - 1);
        box.top = Uniform(0, m_height - 8);
        box.bottom = std::min(box.top + Uniform(3, m_height / 2), m_height - 1);
        box.depth = Uniform(700, 2500);
        box.slope = Uniform(0, 3) == 0 ? Uniform(1, 8) : 0;
        return box;
    }

    int m_width;
    int m_height;
    std::mt19937 m_random;
    int m_wall = 4000;
    std::vector<Box> m_boxes;
};

// Whether two maps hold the same values; the first difference otherwise.
template <typename T>
::testing::AssertionResult SameValues(const T* a, const T* b, int count, const char* what) {
    for (int i = 0; i < count; ++i) {
        if (a[i] != b[i]) {
            return ::testing::AssertionFailure() << what << " differs at " << i << ": " << +a[i] << " vs " << +b[i];
        }
    }
    return ::testing::AssertionSuccess();
}
template <typename T>
::testing::AssertionResult SameMap(const Array2D<T>& a, const Array2D<T>& b, const char* what) {
    if (a.Rows() != b.Rows() || a.Columns() != b.Columns()) {
        return ::testing::AssertionFailure() << what << " sizes differ";
    }
    return SameValues(a.Data(), b.Data(), a.Size(), what);
}
template <typename T, int N>
::testing::AssertionResult SameRing(const CyclicBuffer<T, N>& a, const CyclicBuffer<T, N>& b, const char* what) {
    if (a.Count() != b.Count()) {
        return ::testing::AssertionFailure() << what << " counts differ";
    }
    for (int k = 0; k < a.Count(); ++k) {
        if (a.GetPrevious(k) != b.GetPrevious(k)) {
            return ::testing::AssertionFailure() << what << " differs " << k << " back";
        }
    }
    return ::testing::AssertionSuccess();
}

// Every map, ring, flag and component record of two models agree.
inline void ExpectSameModel(const NAFarfield& a, const NAFarfield& b) {
    EXPECT_TRUE(SameMap(a.m_background, b.m_background, "background"));
    EXPECT_TRUE(SameMap(a.m_backgroundMemory, b.m_backgroundMemory, "memory"));
    EXPECT_TRUE(SameMap(a.m_noDepthCounter, b.m_noDepthCounter, "no-depth counter"));
    EXPECT_TRUE(SameMap(a.m_ccBorder, b.m_ccBorder, "border map"));
    EXPECT_TRUE(SameMap(a.m_foreground, b.m_foreground, "foreground"));
    for (int k = 0; k < 2; ++k) {
        EXPECT_TRUE(SameMap(a.m_fgDepthHistory.GetPrevious(k), b.m_fgDepthHistory.GetPrevious(k), "foreground depth"));
        EXPECT_TRUE(SameMap(a.m_newFgHistory.GetPrevious(k), b.m_newFgHistory.GetPrevious(k), "new foreground"));
    }
    EXPECT_TRUE(SameValues(a.m_ccLabels.Data(), b.m_ccLabels.Data(), a.m_nPixels, "component labels"));
    EXPECT_TRUE(SameRing(a.m_transientBgArea, b.m_transientBgArea, "transient area"));
    EXPECT_TRUE(SameRing(a.m_bgChangeArea, b.m_bgChangeArea, "background change"));
    EXPECT_TRUE(SameRing(a.m_fgChangeArea, b.m_fgChangeArea, "foreground change"));
    EXPECT_TRUE(SameRing(a.m_timeStamps, b.m_timeStamps, "time stamps"));
    EXPECT_EQ(a.m_bReset, b.m_bReset);
    EXPECT_EQ(a.m_bOccludedScene, b.m_bOccludedScene);
    EXPECT_EQ(a.m_bCameraMotion, b.m_bCameraMotion);
    EXPECT_EQ(a.m_bCameraMotionAfterOcclusion, b.m_bCameraMotionAfterOcclusion);
    EXPECT_EQ(a.m_nFramesSinceReset, b.m_nFramesSinceReset);
    EXPECT_EQ(a.m_bMotionDetected, b.m_bMotionDetected);
    EXPECT_EQ(a.m_bMotionSuspected, b.m_bMotionSuspected);
    EXPECT_EQ(a.m_nMotionLevel, b.m_nMotionLevel);
    EXPECT_EQ(a.m_ccDetector.LabelCount(), b.m_ccDetector.LabelCount());
    const int n = std::min(a.m_ccDetector.LabelCount() - 1, NAFarfield::kMaxComponents - 1);
    for (int i = 1; i <= n; ++i) {
        const NAFarfieldCC& x = a.m_ccProperties[i];
        const NAFarfieldCC& y = b.m_ccProperties[i];
        EXPECT_TRUE(x.box.min == y.box.min && x.box.max == y.box.max && x.area == y.area &&
                    x.interior == y.interior && x.border == y.border && x.softBorder == y.softBorder &&
                    x.interiorOnBg == y.interiorOnBg && x.stable == y.stable && x.borderOnBg == y.borderOnBg)
            << "component " << i;
    }
}

}  // namespace vela_test
