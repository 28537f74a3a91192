// The floor and wall planes: the floor of a rendered room found by the
// update schedule, its world plane against the renderer's truth, the
// plane-id map, the schedule itself, a search again after a background
// reset, the exhaustive search's failures and mode choice, the marking
// rules, and the eight-pixel marking and refit against the plain ones.

#ifdef VELA_SCENE_ANALYZER_ON_CAMERA

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "HandCameraSession.h"
#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "SceneAnalyzer/SceneAnalyzer.h"

namespace {

// The camera 1 m high and tilted 10 degrees down; floor and a back wall
// at 3.5 m, and sensor effects on.
const char* const kPlanesRoom =
    "camera resolution=320x240 elevation=1000 tilt=10\n"
    "frames count=40 fps=30\n"
    "wall z=3500\n";

class SAPlanesTest : public ::testing::Test {
protected:
    void Open(const std::string& scene = kPlanesRoom) {
        ASSERT_TRUE(m_session.OpenScene(scene, 320, 240)) << m_session.Error();
        ASSERT_TRUE(m_session.Next());
    }
    // A slot of its own shared data on the session's hub (160x120).
    void MakeSlot(SAPlaneData::EPlaneType kind, int order = 0, int sse = 0) {
        m_shared.reset(new CSAPlanesCommonData);
        m_shared->Init(&m_session.Hub(), 100, sse, QQVGA, 2, 4, nullptr, 8000);
        ASSERT_TRUE(m_shared->IsValid());
        m_slot.reset(new SAPlane);
        m_slot->init(&m_session.Hub(), order, kind, 0, m_shared.get());
    }
    // The current frame's shift map, as a background.
    Array2D<unsigned short> Background() { return m_session.Hub().ShiftMap(QQVGA, 0); }

    hand_test_kit::CameraSession m_session;
    std::unique_ptr<CSAPlanesCommonData> m_shared;
    std::unique_ptr<SAPlane> m_slot;
};

float AngleDegrees(const Vector3D<float>& a, const vela::scene::Vec3& b) {
    const double dot = a.x * b.x + a.y * b.y + a.z * b.z;
    const double la = std::sqrt(static_cast<double>(a.x * a.x + a.y * a.y + a.z * a.z));
    const double lb = std::sqrt(b.x * b.x + b.y * b.y + b.z * b.z);
    return static_cast<float>(std::acos(std::min(1.0, dot / (la * lb))) * 180.0 / M_PI);
}

// The analyzer's first frames restart the background and search the floor
// at once; the schedule then walks the other kinds and comes back to the
// floor, whose second search finds it within 16 frames: its normal within
// 1 degree of the truth and its height within 20 mm. From then on it is
// painted as id 1 every frame (the floor's rows, none of the wall's, never
// the last row or column; the wall facing the camera, once found, as id 5),
// while the kinds take their turn 1, 2, 3, 4, 5.
TEST_F(SAPlanesTest, TheFloorOfARenderedRoomIsFoundAndPainted) {
    ASSERT_TRUE(m_session.OpenScene(kPlanesRoom, 320, 240)) << m_session.Error();
    SceneAnalyzer analyzer;
    ASSERT_TRUE(analyzer.Initialize(&m_session.Hub(), m_session.Node(), SAConfiguration(), nullptr));
    const SAPlanes& planes = analyzer.GetPlanes();
    int floorSearches = 0;
    int frame = 0;
    while (!planes.Floor().m_hasSAPlane && frame < 16) {
        ASSERT_TRUE(m_session.Next());
        analyzer.Update(nullptr, 1);
        ++frame;
        if (planes.UpdateIterator().m_PlaneType == SAPlaneData::PLANE_FLOOR) {
            ++floorSearches;
        }
    }
    ASSERT_TRUE(planes.Floor().m_hasSAPlane) << "no floor by frame " << frame;
    EXPECT_EQ(2, floorSearches);
    Plane<float> floor;
    ASSERT_TRUE(analyzer.GetFloor(floor));
    const vela::scene::FrameTruth& truth = m_session.Truth();
    EXPECT_LT(AngleDegrees(floor.m_normal, truth.floorNormal), 1.0f);
    const float height = -(floor.m_normal.x * floor.m_point.x + floor.m_normal.y * floor.m_point.y +
                           floor.m_normal.z * floor.m_point.z);
    const float trueHeight = static_cast<float>(
        -(truth.floorNormal.x * truth.floorPoint.x + truth.floorNormal.y * truth.floorPoint.y +
          truth.floorNormal.z * truth.floorPoint.z));
    EXPECT_NEAR(trueHeight, height, 20.0f);
    EXPECT_NEAR(1000.0f, height, 20.0f);

    int kind = planes.UpdateIterator().m_PlaneType;
    for (int more = 0; more < 7; ++more) {
        ASSERT_TRUE(m_session.Next());
        analyzer.Update(nullptr, 1);
        kind = kind % 5 + 1;
        ASSERT_EQ(kind, planes.UpdateIterator().m_PlaneType);
        ASSERT_EQ(0, planes.UpdateIterator().m_PlaneOrder);
        ASSERT_TRUE(planes.Floor().m_hasSAPlane);
        EXPECT_TRUE(planes.m_foundExtremePlane);
        EXPECT_TRUE(planes.m_foundAnyPlane);
        const XnLabel* ids = planes.m_planeIdMap.Data();
        int bottom = 0;
        int top = 0;
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 160; ++x) {
                const XnLabel id = ids[y * 160 + x];
                ASSERT_TRUE(id == 0 || id == 1 || id == 5) << id;
                if (x == 159 || y == 119) {
                    ASSERT_EQ(0, id);
                }
                (y >= 100 ? bottom : top) += (y < 30 || y >= 100) && id == 1 ? 1 : 0;
            }
        }
        // The floor fills the bottom rows; the wall fills the top ones.
        EXPECT_GT(bottom, 19 * 159 * 9 / 10);
        EXPECT_EQ(0, top);
    }
}

// A background reset brings the floor's turn at once. A floor that lost
// its support on such a frame (the whole scene 20 shift units farther, a
// plane again) is searched again in the same update and found where the new
// background has it.
TEST_F(SAPlanesTest, AResetSearchesTheFloorAgain) {
    Open();
    Array2D<unsigned short> background = Background();
    SAPlanes planes;
    planes.Initialize(&m_session.Hub(), QQVGA, 1, 0, {}, 8000);
    planes.Update(background, 1);
    ASSERT_EQ(SAPlaneData::PLANE_FLOOR, planes.UpdateIterator().m_PlaneType);
    ASSERT_TRUE(planes.Floor().m_hasSAPlane);
    const float c = planes.Floor().m_sol[2];
    planes.Update(background, 0);
    EXPECT_EQ(2, planes.UpdateIterator().m_PlaneType);

    Array2D<unsigned short> farther = background;
    for (int i = 0; i < farther.Size(); ++i) {
        if (farther.Data()[i] != 0) {
            farther.Data()[i] = static_cast<unsigned short>(farther.Data()[i] + 20);
        }
    }
    planes.Update(farther, 1);
    EXPECT_EQ(SAPlaneData::PLANE_FLOOR, planes.UpdateIterator().m_PlaneType);
    ASSERT_TRUE(planes.Floor().m_hasSAPlane);
    EXPECT_NEAR(c + 20.0f, planes.Floor().m_sol[2], 1.5f);
    planes.Update(farther, 0);
    EXPECT_EQ(2, planes.UpdateIterator().m_PlaneType);
}

// The search fails without touching the slot when the background has no
// pixel in the shift range, and when the histogram holds no mode of 50,000
// mm^2; the floor looks only at the lowest third of the image.
TEST_F(SAPlanesTest, TheExhaustiveSearchFailsWithoutCandidatesOrAMode) {
    Open();
    MakeSlot(SAPlaneData::PLANE_FLOOR);
    Array2D<unsigned short> empty = Background();
    std::memset(empty.Data(), 0, sizeof(unsigned short) * static_cast<size_t>(empty.Size()));
    m_slot->m_pBackground = &empty;
    m_slot->m_sol[0] = 7.0f;
    EXPECT_FALSE(m_slot->ExhaustiveFloor());
    EXPECT_EQ(0, m_shared->m_candidates.Size());
    EXPECT_EQ(7.0f, m_slot->m_sol[0]);

    // The whole room, but the floor's candidates only from its lower third.
    Array2D<unsigned short> room = Background();
    m_slot->m_pBackground = &room;
    ASSERT_TRUE(m_slot->FindSAPlanePixelCandidates());
    ASSERT_GT(m_shared->m_candidates.Size(), 100);
    for (int i = 0; i < m_shared->m_candidates.Size(); ++i) {
        ASSERT_GE(m_shared->m_candidates[i].y, 2 * ((2 * 60) / 3));
    }

    // Mass spread thin: many peaks, none with its neighbours reaching the
    // threshold, though the total is large.
    const int64_t unit = int64_t{1} << CSAPlanesCommonData::kAreaPrecision;
    for (int b = 0; b < 100; ++b) {
        m_shared->m_histogram[b] = (b % 2 == 0 ? 9000 : 1000) * unit;
    }
    int low = -1;
    int high = -1;
    EXPECT_FALSE(m_slot->findRelevantModeInHist(low, high));
    EXPECT_EQ(-1, low);
}

// The mode: a later one wins when more than 4 bins beyond the chosen one,
// else the heavier; its range gives the distances (left x 15, right x 16).
TEST_F(SAPlanesTest, TheRelevantModeOfTheHistogram) {
    Open();
    MakeSlot(SAPlaneData::PLANE_FLOOR);
    const int64_t unit = int64_t{1} << CSAPlanesCommonData::kAreaPrecision;
    struct Peak {
        int bin;
        int mass;  // mm^2 in the peak bin; each neighbour holds a tenth
    };
    struct Case {
        const char* what;
        std::vector<Peak> peaks;
        int low;
        int high;
    };
    const Case cases[] = {
        {"one mode in bins 10 to 12", {{11, 60000}}, 150, 192},
        {"a lighter later mode 6 bins out wins", {{11, 90000}, {17, 60000}}, 16 * 15, 18 * 16},
        {"a lighter later mode 4 bins out loses", {{11, 90000}, {15, 60000}}, 150, 192},
        {"a heavier later mode 4 bins out wins", {{11, 60000}, {15, 90000}}, 14 * 15, 16 * 16},
        {"a light mode alone is no mode", {{40, 30000}}, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int b = 0; b < 100; ++b) {
            m_shared->m_histogram[b] = 0;
        }
        for (const Peak& p : c.peaks) {
            m_shared->m_histogram[p.bin] = p.mass * unit;
            m_shared->m_histogram[p.bin - 1] = p.mass / 10 * unit;
            m_shared->m_histogram[p.bin + 1] = p.mass / 10 * unit;
        }
        int low = -1;
        int high = -1;
        EXPECT_EQ(c.low >= 0, m_slot->findRelevantModeInHist(low, high));
        EXPECT_EQ(c.low, low);
        EXPECT_EQ(c.high, high);
    }
}

// Marking rules: a plane whose b rounds to 0 marks nothing; one in range in
// a single row marks nothing; 0.5 % of the image on the plane is presence
// for order 0 only with at most a fifth as many pixels behind it.
TEST_F(SAPlanesTest, MarkingAndPresence) {
    Open();
    MakeSlot(SAPlaneData::PLANE_FLOOR);
    Array2D<unsigned short> background;
    background.SetSize(120, 160, false);
    std::fill(background.Data(), background.Data() + background.Size(), 0);
    m_slot->m_pBackground = &background;
    const auto mark = [this](float a, float b, float c) {
        m_slot->m_sol[0] = a;
        m_slot->m_sol[1] = b;
        m_slot->m_sol[2] = c;
        m_slot->MarkFloor(m_slot.get());
    };
    // 96 pixels (0.5 % of 19200) on s = 800, from row 100.
    for (int x = 0; x < 96; ++x) {
        background(100, x) = 800;
    }
    mark(0.0f, 0.0004f, 800.0f);  // b x 1024 rounds to 0
    EXPECT_FALSE(m_slot->m_hasSAPlane);
    EXPECT_EQ(0u, m_slot->m_count_in);
    mark(0.0f, 5000.0f, 800.0f - 5000.0f * 100.0f);  // in range in row 100 only
    EXPECT_EQ(0u, m_slot->m_count_in);
    mark(0.0f, 0.01f, 800.0f - 1.0f);
    EXPECT_EQ(96u, m_slot->m_count_in);
    EXPECT_TRUE(m_slot->m_hasSAPlane);
    // 19 pixels behind it: within a fifth of 96, and 20 are not.
    for (int x = 0; x < 20; ++x) {
        background(101, x) = x < 19 ? 900 : 0;
    }
    mark(0.0f, 0.01f, 800.0f - 1.0f);
    EXPECT_EQ(19u, m_slot->m_count_below);
    EXPECT_TRUE(m_slot->m_hasSAPlane);
    background(101, 19) = 900;
    mark(0.0f, 0.01f, 800.0f - 1.0f);
    EXPECT_FALSE(m_slot->m_hasSAPlane);
    m_slot->m_planeOrder = 1;
    mark(0.0f, 0.01f, 800.0f - 1.0f);
    EXPECT_TRUE(m_slot->m_hasSAPlane);
    // Pixels at or beyond the maximal shift are never on the plane.
    const unsigned short deepest = m_shared->m_nMaxShift;
    for (int x = 0; x < 160; ++x) {
        background(100, x) = deepest;
        background(101, x) = 0;
    }
    mark(0.0f, 0.01f, static_cast<float>(deepest) - 1.0f);
    EXPECT_EQ(0u, m_slot->m_count_in);
}

// The eight-pixel marking and refit give the plain results (marks, counts,
// bounds, the refitted plane bit for bit) on random backgrounds around
// random planes of every kind, inside their 16-bit ranges.
TEST_F(SAPlanesTest, EightPixelMarkingAndRefitEqualThePlainOnes) {
    Open();
    std::mt19937 random(19);
    for (int kind = 1; kind <= 5; ++kind) {
        MakeSlot(static_cast<SAPlaneData::EPlaneType>(kind));
        Array2D<unsigned short> background;
        background.SetSize(120, 160, false);
        m_slot->m_pBackground = &background;
        for (int trial = 0; trial < 40; ++trial) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " trial " << trial);
            std::uniform_real_distribution<float> slope(-8.0f, 8.0f);
            const float a = trial % 4 == 0 ? 0.0f : slope(random);
            const float b = slope(random);
            const float c = std::uniform_real_distribution<float>(-500.0f, 1500.0f)(random);
            std::uniform_int_distribution<int> noise(-6, 6);
            std::uniform_int_distribution<int> any(0, 2047);
            for (int y = 0; y < 120; ++y) {
                for (int x = 0; x < 160; ++x) {
                    const int onPlane = static_cast<int>(a * x + b * y + c) + noise(random);
                    const int value = random() % 5 == 0 ? any(random) : onPlane;
                    background(y, x) = static_cast<unsigned short>(std::min(std::max(value, 0), 2047));
                }
            }
            SAPlaneData plain;
            SAPlaneData eight;
            plain.m_type = eight.m_type = static_cast<SAPlaneData::EPlaneType>(kind);
            plain.m_pMarks = &m_shared->m_marks[1];
            eight.m_pMarks = &m_shared->m_marks[2];
            for (SAPlaneData* data : {&plain, &eight}) {
                data->m_sol[0] = a;
                data->m_sol[1] = b;
                data->m_sol[2] = c;
            }
            m_shared->m_bSSE = 0;
            m_slot->MarkFloor(&plain);
            m_shared->m_bSSE = 1;
            m_slot->MarkFloor(&eight);
            ASSERT_EQ(plain.m_count_in, eight.m_count_in);
            ASSERT_EQ(plain.m_count_below, eight.m_count_below);
            ASSERT_EQ(plain.m_hasSAPlane, eight.m_hasSAPlane);
            ASSERT_EQ(0, std::memcmp(&plain.m_bounds, &eight.m_bounds, sizeof(plain.m_bounds)));
            ASSERT_EQ(0, std::memcmp(plain.m_pMarks->Data(), eight.m_pMarks->Data(),
                                     sizeof(unsigned short) * static_cast<size_t>(plain.m_pMarks->Size())));
            SAPlaneData plainFit;
            SAPlaneData eightFit;
            plainFit.m_type = eightFit.m_type = plain.m_type;
            m_slot->calc_floor(&plain, &plainFit);
            m_slot->calc_floor_SSE(&eight, &eightFit);
            ASSERT_EQ(0, std::memcmp(plainFit.m_sol, eightFit.m_sol, sizeof(plainFit.m_sol)));
            ASSERT_EQ(0, std::memcmp(&plainFit.m_plane, &eightFit.m_plane, sizeof(plainFit.m_plane)));
        }
    }
}

// The exhaustive fit's chunk length and the coefficient tables belong to
// each initialisation: a plane set at 320x240 after one at 160x120 gets
// chunks short enough for its own sums, and the tables cover every shift
// of the device.
TEST_F(SAPlanesTest, ChunkingAndCoefficientsFollowEachInitialisation) {
    Open();
    uint32_t chunks[2] = {0, 0};
    int index = 0;
    for (const Resolution res : {QQVGA, QVGA}) {
        CSAPlanesCommonData shared;
        shared.Init(&m_session.Hub(), 100, 1, res, 2, 4, nullptr, 8000);
        ASSERT_TRUE(shared.IsValid());
        const uint64_t largest = std::max(g_nXRes[res], g_nYRes[res]);
        const uint64_t deepest = m_session.Hub().m_pDepthToShift[m_session.Hub().m_sensorParams.nDeviceMaxDepthValue];
        EXPECT_EQ(largest * std::max(largest, deepest), shared.m_nMaxValue);
        EXPECT_LE(static_cast<uint64_t>(shared.m_nMaxValue) * shared.m_nPointsPerThread, 4294967295u);
        EXPECT_EQ(static_cast<int>(m_session.Hub().m_nShiftTableSize), shared.m_nCoeffCount);
        EXPECT_EQ(static_cast<int>(std::floor(m_session.Hub().S2DNormCoeff31(1000.0f) * 16384.0 + 0.5)),
                  shared.m_pCoeff31[1000]);
        chunks[index++] = shared.m_nPointsPerThread;
    }
    EXPECT_LT(chunks[1], chunks[0]);
}

// The set's state survives a round trip and the loaded set goes on
// tracking; CheckSimilarity names the first differing member; a short or
// malformed state is refused and leaves the set as it was.
TEST_F(SAPlanesTest, TheStateRoundTrips) {
    Open();
    Array2D<unsigned short> background = Background();
    SAPlanes planes;
    planes.Initialize(&m_session.Hub(), QQVGA, 1, 0, {}, 8000);
    planes.Update(background, 1);
    planes.Update(background, 0);
    ASSERT_TRUE(planes.Floor().m_hasSAPlane);
    std::ostringstream out(std::ios::binary);
    planes.WriteBinary(out);
    const std::string state = out.str();

    SAPlanes loaded;
    loaded.m_pCommonData = &m_session.Hub();
    std::istringstream in(state, std::ios::binary);
    ASSERT_TRUE(loaded.ReadBinary(in));
    std::string message;
    EXPECT_TRUE(SAPlanes::CheckSimilarity(planes, loaded, &message)) << message;
    for (int frame = 0; frame < 5; ++frame) {
        planes.Update(background, 0);
        loaded.Update(background, 0);
    }
    EXPECT_TRUE(SAPlanes::CheckSimilarity(planes, loaded, &message)) << message;
    EXPECT_TRUE(loaded.Floor().m_hasSAPlane);
    EXPECT_EQ(0, std::memcmp(planes.m_planeIdMap.Data(), loaded.m_planeIdMap.Data(), planes.m_planeIdMap.DataSize()));

    loaded.Slot(1, 0).m_quality += 1.0f;
    EXPECT_FALSE(SAPlanes::CheckSimilarity(planes, loaded, &message));
    EXPECT_EQ("In m_a2Planes: In item 1: In m_quality: ", message);

    // Cut short, and with a slot of a kind that does not exist.
    for (const size_t cut : {size_t{7}, state.size() / 2, state.size() - 1}) {
        SAPlanes refused;
        refused.m_pCommonData = &m_session.Hub();
        std::istringstream shortIn(state.substr(0, cut), std::ios::binary);
        EXPECT_FALSE(refused.ReadBinary(shortIn)) << cut;
        EXPECT_EQ(0, refused.m_a2Planes.Size());
    }
    std::string badKind = state;
    // The kind of slot (1, 0): after the counts, slot (0, 0) and the slot's
    // fields up to its kind.
    const size_t slotBytes = (state.size() - 8 - 1 - 1 - 4 * 4 - 4 - 2 - 4 - 4) / 6;
    const int32_t seven = 7;
    std::memcpy(&badKind[8 + slotBytes + slotBytes - 12 - 4], &seven, 4);
    std::istringstream badIn(badKind, std::ios::binary);
    EXPECT_FALSE(loaded.ReadBinary(badIn));
    EXPECT_TRUE(loaded.Floor().m_hasSAPlane);
}

// Plane ids and the update walk.
TEST(SAPlaneIdsTest, IdsAndTheUpdateWalk) {
    const struct {
        int id;
        int kind;
        int order;
    } ids[] = {{0, 0, 0}, {1, 1, 0}, {5, 5, 0}, {6, 1, 1}, {10, 5, 1}, {12, 2, 2}};
    for (const auto& c : ids) {
        EXPECT_EQ(c.kind, SAPlanes::PlaneTypeFromID(c.id)) << c.id;
        EXPECT_EQ(c.order, SAPlanes::PlaneOrderFromID(c.id)) << c.id;
        if (c.id != 0) {
            EXPECT_EQ(c.id, SAPlanes::PlaneIDFromPlaneTypeAndOrder(c.kind, c.order));
        }
    }
    CPlaneUpdateIeratorBASE walk(2);
    CCyclicPlaneUpdateIerator cycle(2);
    for (int step = 1; step < 10; ++step) {
        ++walk;
        ++cycle;
        EXPECT_EQ(step % 5 + 1, walk.m_PlaneType);
        EXPECT_EQ(step / 5, walk.m_PlaneOrder);
        EXPECT_EQ(walk.m_PlaneType, cycle.m_PlaneType);
    }
    ++walk;
    ++cycle;
    EXPECT_EQ(6, walk.m_PlaneType);
    EXPECT_EQ(-1, walk.m_PlaneOrder);
    ++walk;
    EXPECT_EQ(-1, walk.m_PlaneOrder);
    EXPECT_EQ(1, cycle.m_PlaneType);
    EXPECT_EQ(0, cycle.m_PlaneOrder);
}

}  // namespace

#endif  // VELA_SCENE_ANALYZER_ON_CAMERA
