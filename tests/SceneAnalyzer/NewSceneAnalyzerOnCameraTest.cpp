// The alternative scene analyzer on rendered rooms with people walking,
// through the synthetic camera (320x240 stream, analysis at 160x120): the
// people become regions that keep their object ids from frame to frame,
// ids are conserved, both measurement paths agree, and a snapshot restores
// the state and refuses damaged copies.

#ifdef VELA_SCENE_ANALYZER_ON_CAMERA

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "HandCameraSession.h"
#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/NewSceneAnalyzer.h"

namespace {

const char* const kNewSARoom =
    "camera resolution=320x240 elevation=1000 tilt=10\n"
    "frames count=80 fps=30\n"
    "wall z=4500\n";

const char* const kOnePerson =
    "person height=1750\n"
    "  at 0 pos=-400,2600\n"
    "  at 2.5 pos=300,2400\n";

const char* const kSecondPerson =
    "person height=1650\n"
    "  at 0 pos=1100,3300\n"
    "  at 2.5 pos=900,2900\n";

// Frames before the floor is known and the people stand apart from it.
constexpr int kWarmUpFrames = 36;
constexpr int kTrackedFrames = 30;
// A person at about 2.5 m covers well over this many pixels at 160x120.
constexpr int kPersonPixels = 400;

class NewSceneAnalyzerOnCameraTest : public ::testing::Test {
protected:
    void Open(const std::string& scene) {
        ASSERT_TRUE(m_session.OpenScene(scene, 320, 240)) << m_session.Error();
        m_analyzer.reset(new NewSceneAnalyzer(&m_session.Hub()));
        ASSERT_TRUE(m_analyzer->Initialize(&m_session.Hub(), m_session.Node(), SAConfiguration(), nullptr));
    }
    bool Next() {
        if (!m_session.Next()) {
            return false;
        }
        m_analyzer->Update();
        return true;
    }
    // Regions of this frame large and near enough to be a person.
    std::vector<const NewConnectedComponent*> People() const {
        std::vector<const NewConnectedComponent*> people;
        const Array<NewConnectedComponent>& ccs = m_analyzer->CurrentCCs();
        for (int i = 1; i < ccs.Size(); ++i) {
            if (ccs[i].m_pixelCount >= kPersonPixels && ccs[i].m_zCenter < 3600) {
                people.push_back(&ccs[i]);
            }
        }
        return people;
    }
    // Every id is held by one region of this frame or lies on the stack.
    void ExpectIdsConserved() const {
        std::set<int> held;
        const Array<NewConnectedComponent>& ccs = m_analyzer->CurrentCCs();
        for (int i = 1; i < ccs.Size(); ++i) {
            const int id = ccs[i].m_objectId;
            ASSERT_GE(id, 1);
            ASSERT_LE(id, NewSceneAnalyzer::kMaxObjectIds);
            ASSERT_TRUE(held.insert(id).second) << "id " << id << " given twice";
        }
        for (uint16_t id : m_analyzer->m_freeObjectIds) {
            ASSERT_TRUE(held.insert(id).second) << "id " << id << " both free and held";
        }
        ASSERT_EQ(static_cast<size_t>(NewSceneAnalyzer::kMaxObjectIds), held.size());
    }

    hand_test_kit::CameraSession m_session;
    std::unique_ptr<NewSceneAnalyzer> m_analyzer;
};

// One and two walking people: each is one region from the floor's removal
// on, keeps its object id along mutual matches, is found again at its own
// centre, and paints its id into the object map; the floor and pixels
// without depth belong to no region.
TEST_F(NewSceneAnalyzerOnCameraTest, WalkingPeopleKeepTheirObjectIds) {
    for (int people = 1; people <= 2; ++people) {
        SCOPED_TRACE(people);
        Open(std::string(kNewSARoom) + kOnePerson + (people == 2 ? kSecondPerson : ""));
        for (int frame = 0; frame < kWarmUpFrames; ++frame) {
            ASSERT_TRUE(Next());
            ExpectIdsConserved();
        }
        ASSERT_TRUE(m_analyzer->m_planes.Floor().m_hasSAPlane);
        std::set<int> ids;
        for (const NewConnectedComponent* r : People()) {
            ids.insert(r->m_objectId);
        }
        ASSERT_EQ(static_cast<size_t>(people), ids.size());
        for (int frame = 0; frame < kTrackedFrames; ++frame) {
            ASSERT_TRUE(Next());
            ExpectIdsConserved();
            const std::vector<const NewConnectedComponent*> now = People();
            ASSERT_EQ(static_cast<size_t>(people), now.size()) << frame;
            const xn::SceneMetaData& labels = m_analyzer->CurrentLabelMap();
            const xn::SceneMetaData& objects = m_analyzer->CurrentObjectMap();
            for (size_t p = 0; p < now.size(); ++p) {
                const NewConnectedComponent& r = *now[p];
                ASSERT_NE(nullptr, r.m_pPrev) << frame;
                EXPECT_EQ(&r, r.m_pPrev->m_pNext);
                EXPECT_EQ(r.m_pPrev->m_objectId, r.m_objectId);
                // Labels follow the scan order, which the people may swap.
                EXPECT_EQ(1u, ids.count(r.m_objectId)) << frame;
                EXPECT_EQ(&r, m_analyzer->GetCCByPoint(r.m_RWCenter));
                EXPECT_EQ(&r, m_analyzer->GetCCByObjectId(r.m_objectId));
                const int at = r.m_yCenter * labels.XRes() + r.m_xCenter;
                if (labels.Data()[at] == r.m_id) {
                    EXPECT_EQ(r.m_objectId, objects.Data()[at]);
                }
            }
            // The oldest stored frame's predecessor left the ring: no links back.
            const Array<NewConnectedComponent>& oldest = m_analyzer->m_ccs.GetOldest();
            for (int i = 1; i < oldest.Size(); ++i) {
                ASSERT_EQ(nullptr, oldest[i].m_pPrev);
                ASSERT_EQ(-1, oldest[i].m_prevID);
            }
            // Floor pixels and pixels without depth are background.
            const XnLabel* planeIds = m_analyzer->m_planes.m_planeIdMap.Data();
            const unsigned short* input = m_analyzer->m_segmentationInput.Data();
            for (int i = 0; i < labels.XRes() * labels.YRes(); ++i) {
                if (planeIds[i] == 1 || input[i] == 0) {
                    ASSERT_EQ(0, labels.Data()[i]) << i;
                    ASSERT_EQ(0, objects.Data()[i]) << i;
                }
            }
        }
    }
}

// Points the converter's tables cannot index find nothing, nor do regions
// smaller than 200 mm square at the point's depth.
TEST_F(NewSceneAnalyzerOnCameraTest, PointQueriesRefuseDepthsOffTheTables) {
    Open(std::string(kNewSARoom) + kOnePerson);
    for (int frame = 0; frame < kWarmUpFrames; ++frame) {
        ASSERT_TRUE(Next());
    }
    const std::vector<const NewConnectedComponent*> people = People();
    ASSERT_EQ(1u, people.size());
    const Vector3D<float> centre = people[0]->m_RWCenter;
    EXPECT_EQ(people[0], m_analyzer->GetCCByPoint(centre));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float z : {-1.0f, -1e30f, 65536.0f, 1e30f, nan}) {
        EXPECT_EQ(nullptr, m_analyzer->GetCCByPoint(Vector3D<float>(centre.x, centre.y, z))) << z;
    }
    EXPECT_EQ(nullptr, m_analyzer->GetCCByPoint(Vector3D<float>(1e30f, centre.y, centre.z)));
    EXPECT_EQ(nullptr, m_analyzer->GetCCByObjectId(0));
    // A region far smaller than a 200 mm square is never returned.
    const Array<NewConnectedComponent>& ccs = m_analyzer->CurrentCCs();
    for (int i = 1; i < ccs.Size(); ++i) {
        if (ccs[i].m_pixelCount < 20) {
            EXPECT_NE(&ccs[i], m_analyzer->GetCCByPoint(ccs[i].m_RWCenter));
        }
    }
}

// The run lists and the label-map scan measure the same regions, so an
// analyzer with the vector path off tracks exactly alike.
TEST_F(NewSceneAnalyzerOnCameraTest, BothMeasurementPathsAgree) {
    Open(std::string(kNewSARoom) + kOnePerson + kSecondPerson);
    SAConfiguration plain;
    plain.m_SSE.on = 0;
    NewSceneAnalyzer other(&m_session.Hub());
    ASSERT_TRUE(other.Initialize(&m_session.Hub(), m_session.Node(), plain, nullptr));
    for (int frame = 0; frame < 40; ++frame) {
        ASSERT_TRUE(Next());
        other.Update();
        std::string message;
        ASSERT_TRUE(CheckSimilarity(m_analyzer->m_ccs, other.m_ccs, &message)) << frame << ": " << message;
        const xn::SceneMetaData& a = m_analyzer->CurrentObjectMap();
        const xn::SceneMetaData& b = other.CurrentObjectMap();
        ASSERT_EQ(0, std::memcmp(a.Data(), b.Data(), a.DataSize())) << frame;
        ASSERT_EQ(0, std::memcmp(m_analyzer->m_motionMask.Data(), other.m_motionMask.Data(),
                                 other.m_motionMask.Size() * sizeof(bool)));
    }
}

// A snapshot read back reproduces the state with its links between the
// stored frames and writes the same bytes again; damaged
// snapshots are refused.
TEST_F(NewSceneAnalyzerOnCameraTest, SnapshotsRestoreTheStateAndRefuseDamage) {
    Open(std::string(kNewSARoom) + kOnePerson + kSecondPerson);
    for (int frame = 0; frame < kWarmUpFrames; ++frame) {
        ASSERT_TRUE(Next());
    }
    std::ostringstream out(std::ios::binary);
    WriteBinary(out, *m_analyzer);
    const std::string bytes = out.str();

    NewSceneAnalyzer back(&m_session.Hub());
    std::istringstream in(bytes, std::ios::binary);
    ASSERT_TRUE(ReadBinary(in, back));
    std::string message;
    ASSERT_TRUE(CheckSimilarity(*m_analyzer, back, &message)) << message;
    EXPECT_EQ(m_analyzer->m_freeObjectIds, back.m_freeObjectIds);
    ASSERT_EQ(3, back.m_ccs.Count());
    for (int k = 0; k < 3; ++k) {
        const Array<NewConnectedComponent>& mine = m_analyzer->m_ccs.GetPrevious(k);
        const Array<NewConnectedComponent>& theirs = back.m_ccs.GetPrevious(k);
        for (int i = 0; i < mine.Size(); ++i) {
            // Links point at the same labels of the neighbouring frames.
            ASSERT_EQ(mine[i].m_pNext == nullptr, theirs[i].m_pNext == nullptr) << k << " " << i;
            ASSERT_EQ(mine[i].m_pPrev == nullptr, theirs[i].m_pPrev == nullptr) << k << " " << i;
            if (theirs[i].m_pNext != nullptr) {
                EXPECT_EQ(mine[i].m_pNext->m_id, theirs[i].m_pNext->m_id);
                EXPECT_EQ(&back.m_ccs.GetPrevious(k - 1)[theirs[i].m_pNext->m_id], theirs[i].m_pNext);
            }
            if (theirs[i].m_pPrev != nullptr) {
                EXPECT_EQ(&back.m_ccs.GetPrevious(k + 1)[theirs[i].m_pPrev->m_id], theirs[i].m_pPrev);
            }
        }
    }
    std::ostringstream again(std::ios::binary);
    WriteBinary(again, back);
    EXPECT_EQ(bytes, again.str());

    // Truncated anywhere: refused.
    for (size_t cut : {size_t{0}, size_t{30}, size_t{62}, size_t{70}, bytes.size() / 2, bytes.size() - 73,
                       bytes.size() - 1}) {
        NewSceneAnalyzer damaged(&m_session.Hub());
        std::istringstream shortIn(bytes.substr(0, cut), std::ios::binary);
        EXPECT_FALSE(ReadBinary(shortIn, damaged)) << cut;
        EXPECT_EQ(0, damaged.m_ccs.Count());
    }
    // Implausible counts: free ids, stored frames, regions of a frame.
    std::ostringstream planes(std::ios::binary);
    m_analyzer->m_planes.WriteBinary(planes);
    const size_t idsAt = 62 + 1 + 4;
    const size_t framesAt = idsAt + 4 + 2 * m_analyzer->m_freeObjectIds.size() + planes.str().size() + 4;
    const size_t regionsAt = framesAt + 4;
    int32_t frames = 0;
    std::memcpy(&frames, bytes.data() + framesAt, 4);
    ASSERT_EQ(3, frames);
    const struct {
        size_t at;
        int32_t value;
    } kDamage[] = {{idsAt, 101}, {idsAt, -1}, {framesAt, 4}, {framesAt, -1}, {regionsAt, 101}, {regionsAt, -5}};
    for (const auto& damage : kDamage) {
        std::string bad = bytes;
        std::memcpy(&bad[damage.at], &damage.value, 4);
        NewSceneAnalyzer damaged(&m_session.Hub());
        std::istringstream badIn(bad, std::ios::binary);
        EXPECT_FALSE(ReadBinary(badIn, damaged)) << damage.at << " " << damage.value;
    }

}


// The first frame seeds the motion background with the shift map and
// computes no mask; from the second on a pixel without shift is moving.
// Few regions keep the hybrid threshold at its floor of 30.
TEST_F(NewSceneAnalyzerOnCameraTest, MotionMaskAndThreshold) {
    Open(std::string(kNewSARoom) + kOnePerson);
    m_analyzer->m_motionMask.SetSize(g_nYRes[QQVGA], g_nXRes[QQVGA], false);
    std::fill(m_analyzer->m_motionMask.Data(), m_analyzer->m_motionMask.Data() + m_analyzer->m_motionMask.Size(),
              true);
    ASSERT_TRUE(Next());
    const Array2D<unsigned short>& shift = m_session.Hub().ShiftMap(QQVGA, 0);
    const int pixels = static_cast<int>(shift.Size());
    for (int i = 0; i < pixels; ++i) {
        ASSERT_EQ(static_cast<float>(shift.Data()[i]), m_analyzer->m_motionBackground.Data()[i]) << i;
        ASSERT_TRUE(m_analyzer->m_motionMask.Data()[i]) << i;
    }
    for (int frame = 2; frame <= 12; ++frame) {
        ASSERT_TRUE(Next());
        // The hub's history moves on: this frame's map is another slot.
        const Array2D<unsigned short>& now = m_session.Hub().ShiftMap(QQVGA, 0);
        int moving = 0;
        for (int i = 0; i < pixels; ++i) {
            if (now.Data()[i] == 0) {
                ASSERT_TRUE(m_analyzer->m_motionMask.Data()[i]) << i;
            }
            moving += m_analyzer->m_motionMask.Data()[i] ? 1 : 0;
        }
        EXPECT_LT(moving, pixels / 2);
        ASSERT_LT(m_analyzer->CurrentCCs().Size(), 50);
        EXPECT_EQ(NewSceneAnalyzer::kInitialHybridThreshold, m_analyzer->m_hybridThreshold);
    }
}

// A label the region array does not hold gets no object, not the id the
// reused slot held three frames before; a region without pixels is left
// unmeasured instead of dividing by zero.
TEST_F(NewSceneAnalyzerOnCameraTest, LabelsBeyondTheRegionsAndEmptyRegions) {
    Open(std::string(kNewSARoom) + kOnePerson);
    ASSERT_TRUE(Next());
    NewSceneAnalyzer& analyzer = *m_analyzer;
    const int width = g_nXRes[QQVGA];
    const int height = g_nYRes[QQVGA];
    for (int k = 0; k < NewSceneAnalyzer::kHistory; ++k) {
        xn::SceneMetaData& stale = analyzer.m_objectMaps.Push();
        stale.AllocateData(width, height);
        std::fill(stale.WritableData(), stale.WritableData() + width * height, 77);
    }
    xn::SceneMetaData& labels = analyzer.m_labelMaps.Push();
    labels.AllocateData(width, height);
    for (int i = 0; i < width * height; ++i) {
        labels.WritableData()[i] = static_cast<XnLabel>(i % 3 == 0 ? 150 : i % 3);
    }
    Array<NewConnectedComponent>& ccs = analyzer.m_ccs.Push();
    ccs.Clear();
    for (int i = 0; i < 3; ++i) {
        ccs.Push().Initialize(static_cast<unsigned short>(i), 5);
    }
    ccs[1].m_objectId = 4;
    ccs[2].m_objectId = 9;
    analyzer.UpdateObjectLabel();
    const XnLabel* objects = analyzer.CurrentObjectMap().Data();
    for (int i = 0; i < width * height; ++i) {
        ASSERT_EQ(i % 3 == 0 ? 0 : (i % 3 == 1 ? 4 : 9), objects[i]) << i;
    }
    // Region 1 has no pixels; region 2 has some.
    ccs[2].m_pixelCount = 4;
    ccs[2].m_xCenter = 40;
    ccs[2].m_yCenter = 80;
    analyzer.UpdateCCsInfo();
    EXPECT_EQ(0, ccs[1].m_xCenter);
    EXPECT_EQ(0.0f, ccs[1].m_RWCenter.x);
    EXPECT_EQ(10, ccs[2].m_xCenter);
    EXPECT_EQ(20, ccs[2].m_yCenter);
}

}  // namespace

#endif
