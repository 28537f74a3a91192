// The scene analyzer's background model on crafted frames of the fake
// sensor (depth = 5 x shift): filled shadows, the user questions of the
// component stage, the foreground map and the long-lived foreground, and
// its eight-pixel twins on random rooms with shadows, users and labels.

#include "SceneAnalyzer/Farfield.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "../NACommon/NAFarfieldTestSupport.h"

namespace {

using vela_test::FarfieldFeeder;
using vela_test::Map16;

constexpr int kWall = 3000;  // shift 600
constexpr int kNear = 2000;  // shift 400

class FarfieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_labels.AllocateData(160, 120);
        ClearLabels();
    }
    std::unique_ptr<Farfield> NewModel(int sse = 1) {
        std::unique_ptr<Farfield> model(new Farfield);
        EXPECT_TRUE(model->Initialize(&m_feeder.Hub(), QQVGA, sse, 0));
        return model;
    }
    // One frame as the scene analyzer runs it: the model's update with a
    // shadow map (none: all 0) and last frame's users (m_labels), then the
    // segmentation's feedback with the same users and the memory.
    void Feed(Farfield& model, const Map16& depth, const Map16* shadow = nullptr) {
        const Map16 none(static_cast<size_t>(m_feeder.Pixels()), 0);
        model.m_pShadowMap = (shadow != nullptr ? *shadow : none).data();
        model.m_pPrevLabels = &m_labels;
        m_feeder.Feed(model, depth);
        model.m_pShadowMap = nullptr;
        model.Feedback(m_labels);
        model.UpdateFarfieldWithMemory();
    }
    void Learn(Farfield& model, const Map16& scene, int frames = 5) {
        for (int i = 0; i < frames; ++i) {
            Feed(model, scene);
        }
    }
    void ClearLabels() { std::fill(m_labels.WritableData(), m_labels.WritableData() + 160 * 120, 0); }
    void Label(int left, int top, int right, int bottom, int id) {
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                m_labels.WritableData()[m_feeder.Index(x, y)] = static_cast<XnLabel>(id);
            }
        }
    }
    template <typename T>
    T At(const Array2D<T>& map, int x, int y) const {
        return map.Data()[m_feeder.Index(x, y)];
    }
    NAFarfieldCC& ComponentAt(Farfield& model, int x, int y) {
        const int label = model.m_ccLabels.Data()[m_feeder.Index(x, y)];
        EXPECT_GT(label, 0);
        return model.m_ccProperties[label];
    }

    FarfieldFeeder m_feeder;
    xn::SceneMetaData m_labels;
};

// A pixel inside a filled shadow never counts as without depth, so its
// background stays; a shadow filled more than 6 shift units beyond the
// background forgets it on the third frame without depth.
TEST_F(FarfieldTest, FilledShadowsCountAsDepth) {
    for (const int sse : {0, 1}) {
        SCOPED_TRACE(sse);
        std::unique_ptr<Farfield> model = NewModel(sse);
        const Map16 wall = m_feeder.Flat(kWall);
        Learn(*model, wall);
        Map16 frame = wall;
        m_feeder.Paint(frame, 10, 10, 29, 19, 0);
        Map16 shadow(static_cast<size_t>(m_feeder.Pixels()), 0);
        m_feeder.Paint(shadow, 10, 10, 19, 19, 600);
        m_feeder.Paint(shadow, 20, 10, 24, 19, 606);
        m_feeder.Paint(shadow, 25, 10, 29, 19, 607);
        for (int i = 1; i <= 15; ++i) {
            Feed(*model, frame, &shadow);
            EXPECT_EQ(0, At(model->m_noDepthCounter, 15, 15));
            EXPECT_EQ(i, At(model->m_shadowCounter, 15, 15));
            EXPECT_EQ(600, At(model->m_background, 15, 15));
            EXPECT_EQ(600, At(model->m_background, 22, 15));
            EXPECT_EQ(i < 3 ? 600 : 0, At(model->m_background, 27, 15)) << i;
        }
        // Without the shadow the pixels count frames without depth again.
        Feed(*model, frame);
        EXPECT_EQ(0, At(model->m_shadowCounter, 15, 15));
        EXPECT_EQ(1, At(model->m_noDepthCounter, 15, 15));
    }
}

// A 20 x 20 object at 2000 mm in front of the wall, and users placed
// around it: near in the image and in depth, or not.
TEST_F(FarfieldTest, ComponentsNearAUser) {
    std::unique_ptr<Farfield> model = NewModel();
    const Map16 wall = m_feeder.Flat(kWall);
    Learn(*model, wall);
    Map16 frame = wall;
    m_feeder.Paint(frame, 40, 40, 59, 59, kNear);
    Feed(*model, frame);
    NAFarfieldCC& cc = ComponentAt(*model, 50, 50);
    ASSERT_EQ(400, cc.area);

    // Without users and labels, no component is near or touches one.
    EXPECT_FALSE(model->isCCCloseToUser(cc));
    EXPECT_FALSE(model->isCCAdjacentToUser(cc));

    const WorldPointConverter<float>& converter = *m_feeder.Hub().m_pWorldPointConverters[QQVGA];
    const int gap = static_cast<int>(std::floor(100.0f / converter.PixelSizeAt(1900)));
    struct Case {
        const char* what;
        Box3D<int> user;
        bool occluding;
        bool close;
    };
    const auto box = [](int left, int top, int near, int right, int bottom, int far) {
        return Box3D<int>(Vector3D<int>(left, top, near), Vector3D<int>(right, bottom, far));
    };
    const Case cases[] = {
        {"an occluding user overlapping it, far behind", box(50, 0, 5000, 70, 119, 6000), true, true},
        {"the same user not occluding", box(50, 0, 5000, 70, 119, 6000), false, false},
        {"beside it within 100 mm", box(59 + gap, 40, 1900, 100, 59, 2100), false, true},
        {"one pixel farther", box(60 + gap, 40, 1900, 100, 59, 2100), false, false},
        {"above it within 100 mm", box(40, 0, 1900, 59, 40 - gap, 2100), false, true},
        {"1500 mm behind it", box(40, 40, 3500, 59, 59, 3600), false, true},
        {"1501 mm behind it", box(40, 40, 3501, 59, 59, 3600), false, false},
        {"800 mm in front of it", box(40, 40, 1000, 59, 59, 1200), false, true},
        {"801 mm in front of it", box(40, 40, 1000, 59, 59, 1199), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model->m_userBoxes.assign(1, c.user);
        model->m_userOccluding.assign(1, c.occluding);
        EXPECT_EQ(c.close, model->isCCCloseToUser(cc));
    }
    // The depth bounds are found once.
    EXPECT_EQ(kNear, cc.box.min.z);
    EXPECT_EQ(kNear, cc.box.max.z);
}

// A component touches a user when part of it rested under last frame's
// user (shift within 3), or when its border meets a labelled pixel whose
// background lies within the adjacency threshold of it.
TEST_F(FarfieldTest, ComponentsTouchingAUser) {
    Map16 room = m_feeder.Flat(kWall);
    m_feeder.Paint(room, 30, 40, 39, 59, m_feeder.Depth(402));
    struct Case {
        const char* what;
        int objectShift;
        bool labelObject;
        bool labelShelf;
        bool touching;
    };
    const Case cases[] = {
        {"resting under the user", 403, true, false, true},
        {"moved by 4 under the user", 404, true, false, false},
        {"beside the user's shelf", 404, false, true, true},
        {"beside an unlabelled shelf", 404, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<Farfield> model = NewModel();
        ClearLabels();
        Map16 before = room;
        m_feeder.Paint(before, 40, 40, 59, 59, m_feeder.Depth(400));
        Learn(*model, room);
        Feed(*model, before);
        Map16 frame = room;
        m_feeder.Paint(frame, 40, 40, 59, 59, m_feeder.Depth(c.objectShift));
        if (c.labelObject) {
            Label(40, 40, 59, 59, 3);
        }
        if (c.labelShelf) {
            Label(30, 40, 39, 59, 3);
        }
        model->m_pPrevLabels = &m_labels;
        m_feeder.Feed(*model, frame);
        EXPECT_EQ(c.touching, model->isCCAdjacentToUser(ComponentAt(*model, 50, 50)));
    }
}

// A pixel is foreground when more than 3 shift units nearer than the
// lowest background around it; where nothing around it is known, any depth
// nearer than shift 1997 is.
TEST_F(FarfieldTest, TheForegroundMap) {
    for (const int sse : {0, 1}) {
        SCOPED_TRACE(sse);
        std::unique_ptr<Farfield> model = NewModel(sse);
        Map16 room = m_feeder.Flat(kWall);
        m_feeder.Paint(room, 60, 60, 60, 60, m_feeder.Depth(590));
        Learn(*model, room);
        Map16 frame = room;
        m_feeder.Paint(frame, 15, 15, 15, 15, m_feeder.Depth(1996));
        m_feeder.Paint(frame, 17, 15, 17, 15, m_feeder.Depth(1997));
        m_feeder.Paint(frame, 40, 40, 40, 40, m_feeder.Depth(597));
        m_feeder.Paint(frame, 42, 40, 42, 40, m_feeder.Depth(596));
        m_feeder.Paint(frame, 61, 60, 61, 60, m_feeder.Depth(596));
        Feed(*model, frame);
        // The wall's background under the single pixels (the component
        // stage took them in: they blend in), and a patch of unknown
        // background: inside its 9 x 9 core nothing around a pixel is known.
        for (const int x : {40, 42}) {
            model->m_background.Data()[m_feeder.Index(x, 40)] = 600;
        }
        model->m_background.Data()[m_feeder.Index(61, 60)] = 600;
        for (int y = 10; y <= 20; ++y) {
            std::fill(model->m_background.Data() + m_feeder.Index(10, y), model->m_background.Data() + m_feeder.Index(21, y), 0);
        }
        if (sse != 0) {
            model->ImproveFg_SSE(0, 119);
        } else {
            model->ImproveFg();
        }
        const Array2D<uint16_t>& fg = model->GetForegroundImage();
        EXPECT_EQ(1, At(fg, 15, 15));
        EXPECT_EQ(0, At(fg, 17, 15));
        EXPECT_EQ(1, At(fg, 11, 11));
        EXPECT_EQ(0, At(fg, 10, 11));
        EXPECT_EQ(0, At(fg, 40, 40));
        EXPECT_EQ(1, At(fg, 42, 40));
        EXPECT_EQ(0, At(fg, 61, 60));
        EXPECT_EQ(Farfield::kUnknownBackground, At(model->m_bg1, 15, 15));
        EXPECT_EQ(Farfield::kUnknownBackground, At(model->m_bg2, 15, 15));
        EXPECT_EQ(590, At(model->m_bg2, 61, 61));
        int total = 0;
        for (int i = 0; i < fg.Size(); ++i) {
            total += fg.Data()[i];
        }
        EXPECT_EQ(9 * 9 - 1 + 1, total);
    }
}

// Foreground that no user covers becomes background on its 151st frame; a
// user's pixels never do.
TEST_F(FarfieldTest, ForegroundOutsideUsersSettlesAfter150Frames) {
    std::unique_ptr<Farfield> model = NewModel();
    const Map16 wall = m_feeder.Flat(kWall);
    Learn(*model, wall);
    Map16 frame = wall;
    m_feeder.Paint(frame, 40, 40, 54, 54, kNear);
    m_feeder.Paint(frame, 100, 40, 114, 54, kNear);
    Label(100, 40, 114, 54, 1);
    for (int i = 1; i <= 151; ++i) {
        Feed(*model, frame);
        ASSERT_EQ(1, At(model->m_foreground, 50, 50)) << i;
        ASSERT_EQ(i < 151 ? i : 0, At(model->m_fgAge, 50, 50));
        ASSERT_EQ(i < 151 ? 600 : 400, At(model->m_background, 50, 50));
    }
    Feed(*model, frame);
    EXPECT_EQ(0, At(model->m_foreground, 50, 50));
    EXPECT_EQ(1, At(model->m_foreground, 110, 50));
    EXPECT_EQ(600, At(model->m_background, 110, 50));
    EXPECT_EQ(0, At(model->m_fgAge, 110, 50));
}

// Both twins on random rooms with random shadows, last frame's users and
// user boxes, and time stamps that sometimes repeat or go back.
TEST_F(FarfieldTest, BothTwinsKeepTheSameModelOnRandomRooms) {
    std::unique_ptr<Farfield> sse = NewModel(1);
    std::unique_ptr<Farfield> plain = NewModel(0);
    vela_test::RandomRoom room(160, 120, 3);
    for (int frame = 0; frame < 80; ++frame) {
        SCOPED_TRACE(frame);
        const Map16 depth = room.Next();
        Map16 shadow(static_cast<size_t>(m_feeder.Pixels()), 0);
        ClearLabels();
        for (int k = 0; k < 3; ++k) {
            const int left = room.Uniform(0, 150);
            const int top = room.Uniform(0, 110);
            m_feeder.Paint(shadow, left, top, left + room.Uniform(0, 9), top + room.Uniform(0, 9), room.Uniform(1, 1800));
            Label(room.Uniform(0, 100), room.Uniform(0, 60), room.Uniform(100, 159), room.Uniform(60, 119), room.Uniform(1, 10));
        }
        for (int i = 0; i < m_feeder.Pixels(); ++i) {
            shadow[static_cast<size_t>(i)] = depth[static_cast<size_t>(i)] == 0 ? shadow[static_cast<size_t>(i)] : 0;
        }
        std::vector<Box3D<int> > users;
        std::vector<bool> occluding;
        for (int u = room.Uniform(0, 3); u > 0; --u) {
            const int left = room.Uniform(0, 150);
            const int top = room.Uniform(0, 110);
            const int near = room.Uniform(600, 4000);
            users.emplace_back(Vector3D<int>(left, top, near),
                               Vector3D<int>(left + room.Uniform(0, 40), top + room.Uniform(0, 60), near + room.Uniform(0, 800)));
            occluding.push_back(room.Chance(0.5));
        }
        const int64_t step = room.Chance(0.05) ? 0 : (room.Chance(0.03) ? -500000 : 33333);
        m_feeder.Push(depth);
        for (Farfield* model : {sse.get(), plain.get()}) {
            if (model == plain.get()) {
                // The same frame id and time stamp as the other twin's.
                m_feeder.m_frameId--;
                m_feeder.m_time -= step;
            }
            model->m_pShadowMap = shadow.data();
            model->m_pPrevLabels = &m_labels;
            model->m_userBoxes = users;
            model->m_userOccluding = occluding;
            m_feeder.Update(*model, m_feeder.Image(), step);
            model->Feedback(m_labels);
            model->UpdateFarfieldWithMemory();
        }
        vela_test::ExpectSameModel(*sse, *plain);
        EXPECT_TRUE(vela_test::SameMap(sse->m_shadowCounter, plain->m_shadowCounter, "shadow counter"));
        EXPECT_TRUE(vela_test::SameMap(sse->m_bg1, plain->m_bg1, "background copy"));
        EXPECT_TRUE(vela_test::SameMap(sse->m_bg2, plain->m_bg2, "eroded background"));
        EXPECT_TRUE(vela_test::SameMap(sse->m_fgAge, plain->m_fgAge, "foreground age"));
        if (HasFailure()) {
            break;
        }
    }
}

}  // namespace
