#pragma once

// A segmentation at 160x120 on the fake sensor's conversions (depth = 5 x
// shift), without a camera: its own background model and plane set, and
// crafted depth, previous depth and shift maps, a foreground map and label
// maps. Steps run one by one as update runs them; components and users can
// also be written straight into the segmentation's tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

#include "../NACommon/NAFarfieldTestSupport.h"
#include "SceneAnalyzer/Farfield.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "SceneAnalyzer/Segmentation.h"

namespace vela_test {

class SegmentationFixture : public ::testing::Test {
protected:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

    void SetUp() override { Build(1); }
    // A fresh segmentation with the eight-pixel steps on or off.
    void Build(int sse) {
        m_seg.reset(new Segmentation);
        m_seg->init(&m_feeder.Hub(), QQVGA, sse, 0, 8000);
        ASSERT_TRUE(m_farfield.Initialize(&m_feeder.Hub(), QQVGA, sse, 0));
        m_planes.Initialize(&m_feeder.Hub(), QQVGA, sse, 0, std::vector<Vector2D<int> >(), 8000);
        for (xn::DepthMetaData* map : {&m_depth, &m_prevDepth}) {
            map->AllocateData(kWidth, kHeight);
            std::fill(map->WritableData(), map->WritableData() + kWidth * kHeight, 0);
        }
        for (Array2D<unsigned short>* map : {&m_shift, &m_shadow}) {
            map->SetSize(kHeight, kWidth, false);
            std::fill(map->Data(), map->Data() + map->Size(), 0);
        }
        std::fill(m_farfield.m_foreground.Data(), m_farfield.m_foreground.Data() + m_farfield.m_foreground.Size(), 0);
        Segmentation& s = *m_seg;
        s.m_farfield = &m_farfield;
        s.m_planes = &m_planes;
        s.m_depth = &m_depth;
        s.m_prevDepth = &m_prevDepth;
        s.m_shiftMap = &m_shift;
        s.m_shadowMap = &m_shadow;
        s.m_imageBox = Box2D<int>(0, 0, kWidth - 1, kHeight - 1);
    }
    Segmentation& Seg() { return *m_seg; }
    const WorldPointConverter<float>& Converter() const { return *m_seg->m_converter; }

    // Maps: depth (shift from it), previous depth, foreground (non-zero
    // everywhere the value is), labels of this and the previous frame.
    void Depth(const Map16& depth) {
        std::copy(depth.begin(), depth.end(), m_depth.WritableData());
        for (int i = 0; i < kWidth * kHeight; ++i) {
            m_shift.Data()[i] = m_feeder.Shift(depth[static_cast<size_t>(i)]);
        }
        std::copy(depth.begin(), depth.end(), m_seg->m_floorDepth.Data());
    }
    void PrevDepth(const Map16& depth) { std::copy(depth.begin(), depth.end(), m_prevDepth.WritableData()); }
    void Foreground(const Map16& fg) { std::copy(fg.begin(), fg.end(), m_farfield.m_foreground.Data()); }
    XnLabel* Labels() { return m_seg->Labels().WritableData(); }
    XnLabel* PrevLabels() { return const_cast<XnLabel*>(m_seg->PreviousLabels().Data()); }
    Map16 Flat(int value) const { return Map16(kWidth * kHeight, static_cast<uint16_t>(value)); }
    static void Paint(Map16& map, int left, int top, int right, int bottom, int value) {
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                map[static_cast<size_t>(y * kWidth + x)] = static_cast<uint16_t>(value);
            }
        }
    }
    static void Paint(XnLabel* map, int left, int top, int right, int bottom, int value) {
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                map[y * kWidth + x] = static_cast<XnLabel>(value);
            }
        }
    }

    // The component steps of one frame on the maps as they are: the label
    // history advances (the labels become the previous frame's), then the
    // labelling images, labels, borders, depth changes and measures.
    void Components() {
        Segmentation& s = *m_seg;
        s.m_labelHistory.Push();
        if (s.m_SSE != 0) {
            s.updateDepthForCC_SSE();
        } else {
            s.updateDepthForCC();
        }
        s.labelComponents();
        if (s.m_SSE != 0) {
            s.derivateLabels_SSE();
        } else {
            s.derivateLabels();
        }
        s.computeImageDiff();
        s.computeCCProperties();
        s.copyCCStructs2Properties();
    }

    // Component label on columns left..right and rows top..bottom at depth z
    // (label map, depth painted over m_bodyDepth, and box; area, pixels and
    // depths left to measure).
    void Body(int label, int left, int top, int right, int bottom, int z) {
        Paint(m_bodyDepth, left, top, right, bottom, z);
        Depth(m_bodyDepth);
        Label(label, left, top, right, bottom);
    }
    // Only the label map and the box's columns and rows.
    void Label(int label, int left, int top, int right, int bottom) {
        Segmentation& s = Seg();
        s.m_numCCs = std::max(s.m_numCCs, label);
        Paint(Labels(), left, top, right, bottom, label);
        s.m_ccBox[label] = Box3D<int>(Vector3D<int>(left, top, INT_MAX), Vector3D<int>(right, bottom, INT_MIN));
    }
    // Users alive.
    int AliveCount() const {
        int alive = 0;
        for (int id = 1; id <= Segmentation::kMaxUsers; ++id) {
            alive += m_seg->GetUser(id).alive() ? 1 : 0;
        }
        return alive;
    }
    // A user slot alive from a box, without components.
    User& Alive(int id, const Box3D<int>& box = Box3D<int>(Vector3D<int>(70, 10, 2400), Vector3D<int>(90, 100, 2500))) {
        Segmentation& s = *m_seg;
        s.m_freeIds.erase(std::find(s.m_freeIds.begin(), s.m_freeIds.end(), id));
        s.m_users[id].init(&m_feeder.Hub(), box, static_cast<unsigned short>(id), QQVGA);
        return s.m_users[id];
    }
    // Component c of user id with an area and a box; centre in the box.
    void Give(int c, int id, int area, const Box3D<int>& box) {
        Segmentation& s = *m_seg;
        s.m_numCCs = std::max(s.m_numCCs, c);
        s.m_ccArea[c] = area;
        s.m_ccFgArea[c] = area;
        s.m_ccPixCount[c] = 100;
        s.m_ccBox[c] = box;
        s.m_ccBoxInRoom[c] = box;
        s.m_ccCenterX[c] = (box.min.x + box.max.x) / 2;
        s.m_ccCenterY[c] = (box.min.y + box.max.y) / 2;
        s.m_ccCenterZ[c] = (box.min.z + box.max.z) / 2;
        s.m_ccIsPositive[c] = true;
        s.m_ccUserId[c] = static_cast<unsigned short>(id);
        if (id != 0) {
            s.m_users[id].addCC(c);
        }
    }

    FarfieldFeeder m_feeder;
    Farfield m_farfield;
    SAPlanes m_planes;
    std::unique_ptr<Segmentation> m_seg;
    xn::DepthMetaData m_depth;
    xn::DepthMetaData m_prevDepth;
    Array2D<unsigned short> m_shift;
    Array2D<unsigned short> m_shadow;
    Map16 m_bodyDepth = Map16(kWidth * kHeight, 0);
};

}  // namespace vela_test
