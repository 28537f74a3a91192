// Motion detection by depth edges: a slab the size of a person sliding
// sideways before a wall through the synthetic camera (couples, blocks,
// clusters and one suspect that becomes tracked once), crafted rows for
// the couple rules, the suspects' motion test as a table, and the
// eight-pixel edge image against the plain one on random frames.

#ifdef VELA_SCENE_ANALYZER_ON_CAMERA

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "HandCameraSession.h"
#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/MotionDetectorByEdges.h"
#include "SceneAnalyzer/SceneAnalyzer.h"

namespace {

// Clean depth (no noise or ragged edges; the projector shadow stays), no
// floor, a wall at 4 m; camera 1 m high looking straight ahead.
const char* const kSlabRoom =
    "camera resolution=320x240 elevation=1000 tilt=0\n"
    "sensor levels=table field=0 blocks=0 edges=off fragments=off holes=off noise=0\n"
    "frames count=20 fps=30\n"
    "floor off\nwall z=4000\n";

// A slab 0.4 m wide and 1.7 m tall at 2.5 m: still for 3 frames, then
// sliding 75 mm a frame for 4 frames (300 mm), then still again.
std::string SlidingSlab() {
    std::ostringstream scene;
    scene << kSlabRoom;
    for (int frame = 0; frame < 20; ++frame) {
        const int x = -150 + 75 * std::min(std::max(frame - 2, 0), 4);
        scene << "box center=" << x << ",850,2500 size=400,1700,100 from=" << std::max(frame - 0.5, 0.0) / 30.0
              << " until=" << (frame + 0.5) / 30.0 << "\n";
    }
    return scene.str();
}

// Crafted maps of 160x120: depth, its shift through the device's table,
// and no shadow.
struct SlabMaps {
    explicit SlabMaps(NACommonData& hub) : toShift(hub.m_pDepthToShift) {
        EXPECT_EQ(XN_STATUS_OK, depth.AllocateData(160, 120));
        shift.SetSize(120, 160, false);
        shadow.SetSize(120, 160, false);
        std::fill(shadow.Data(), shadow.Data() + shadow.Size(), 0);
    }
    void Set(int x, int y, int value) {
        depth.WritableData()[y * 160 + x] = static_cast<XnDepthPixel>(value);
        shift(y, x) = toShift[value];
    }

    const unsigned short* toShift;
    xn::DepthMetaData depth;
    Array2D<unsigned short> shift;
    Array2D<unsigned short> shadow;
};

class MotionDetectorByEdgesTest : public ::testing::Test {
protected:
    void Open(const std::string& scene, int sse = 1) {
        ASSERT_TRUE(m_session.OpenScene(scene, 320, 240)) << m_session.Error();
        m_detector.init(&m_session.Hub(), QQVGA, sse, 0, 8000);
    }
    bool Next() {
        if (!m_session.Next()) {
            return false;
        }
        SceneAnalyzer::ShadowAlgo(&m_session.Hub(), QQVGA, m_shadow);
        m_detector.update(m_shadow);
        return true;
    }

    hand_test_kit::CameraSession m_session;
    MotionDetectorByEdges m_detector;
    Array2D<unsigned short> m_shadow;
};

// Every frame: one couple (on its front face) on each of the slab's rows and nowhere else, one
// block, one cluster of at least 100,000 mm^2. One suspect follows it from
// the first frame with the same id, becomes tracked once both sides have
// moved more than 200 mm, and is detected in that frame only.
TEST_F(MotionDetectorByEdgesTest, ASlidingSlabIsOneTrackedSuspect) {
    Open(SlidingSlab());
    int detections = 0;
    int trackedFrom = -1;
    for (int frame = 1; frame <= 12; ++frame) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(Next());
        ASSERT_EQ(0, m_detector.droppedCouples() + m_detector.droppedBlocks());
        ASSERT_EQ(1, m_detector.blockCount());
        const Block& block = *m_detector.blocks()[0];
        std::set<int> rows;
        for (const Couple* c = block.couples(); c != block.couplesEnd(); ++c) {
            ASSERT_TRUE(rows.insert(c->row).second) << "two couples in row " << c->row;
            ASSERT_NEAR(2450, c->startDepth, 30);
            ASSERT_NEAR(2450, c->endDepth, 30);
        }
        // 1.7 m at 2.5 m is about 97 rows of 17.5 mm.
        EXPECT_NEAR(97, block.count(), 3);
        EXPECT_EQ(block.lastRow() - block.firstRow() + 1, block.count());
        EXPECT_NEAR(400, block.right - block.left, 40);
        ASSERT_EQ(1u, m_detector.clusters().size());
        EXPECT_GE(m_detector.clusters().front().area, 100000);
        EXPECT_NEAR(680000, m_detector.clusters().front().area, 70000);
        ASSERT_EQ(1u, m_detector.suspects().size());
        const Suspect& suspect = m_detector.suspects().front();
        EXPECT_EQ(0, suspect.id());
        detections += suspect.detected() ? 1 : 0;
        if (suspect.tracked() && trackedFrom < 0) {
            trackedFrom = frame;
        }
    }
    EXPECT_EQ(1, detections);
    // Frames 3 to 7 move it: 225 mm after the third step.
    EXPECT_EQ(6, trackedFrom);
    std::vector<Box3D<int> > boxes;
    std::vector<int> ids;
    m_detector.GetDebugBoxes(boxes, ids, "suspects");
    ASSERT_EQ(1u, boxes.size());
    EXPECT_TRUE(ids.empty());
    // It reaches 100 mm before the front face.
    EXPECT_NEAR(2350, boxes[0].min.z, 30);
}

// Couple rules on crafted rows: a run too narrow for its falling step
// leaves the rising step open for the next one; a run too deep for it too;
// runs of successive rows that overlap by less than 80 % start another
// block; a block of fewer than 2 rows (at 160 pixels) is dropped.
TEST_F(MotionDetectorByEdgesTest, CoupleAndBlockRules) {
    Open(kSlabRoom);
    ASSERT_TRUE(m_session.Next());
    SlabMaps maps(m_session.Hub());
    std::vector<int> d(160 * 120, 3200);
    // Rows 10-19: a one-pixel run at 2000 mm, then 2500 mm up to column
    // 30: the couple spans 10..30. Rows 40-49: a run sloping from 2000 mm
    // to 2800 mm in small steps (its ends 800 mm apart): no couple.
    for (int y = 10; y < 20; ++y) {
        d[y * 160 + 10] = 2000;
        std::fill(d.begin() + y * 160 + 11, d.begin() + y * 160 + 31, 2500);
    }
    for (int y = 40; y < 50; ++y) {
        for (int x = 50; x <= 66; ++x) {
            d[y * 160 + x] = 2000 + 50 * (x - 50);
        }
    }
    // Rows 70-79 shifted by 4 columns from row 75 on (a run of 11 columns
    // overlapping by 7: less than 80 %), and one lone row 100.
    for (int y = 70; y < 80; ++y) {
        const int start = y < 75 ? 100 : 104;
        std::fill(d.begin() + y * 160 + start, d.begin() + y * 160 + start + 11, 2000);
    }
    std::fill(d.begin() + 100 * 160 + 20, d.begin() + 100 * 160 + 40, 2000);
    for (int i = 0; i < 160 * 120; ++i) {
        maps.Set(i % 160, i / 160, d[i]);
    }
    ASSERT_TRUE(m_detector.SetMaps(maps.depth, maps.shift, maps.shadow));
    m_detector.derivateImage();
    m_detector.createBlocks();
    struct Expected {
        int firstRow;
        int count;
        int startCol;
        int endCol;
    };
    const Expected expected[] = {{10, 10, 10, 30}, {70, 5, 100, 110}, {75, 5, 104, 114}};
    ASSERT_EQ(3, m_detector.blockCount());
    std::vector<const Block*> blocks(m_detector.blocks(), m_detector.blocks() + m_detector.blockCount());
    std::sort(blocks.begin(), blocks.end(), [](const Block* a, const Block* b) { return a->firstRow() < b->firstRow(); });
    for (size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].firstRow, blocks[i]->firstRow());
        EXPECT_EQ(expected[i].count, blocks[i]->count());
        EXPECT_EQ(expected[i].startCol, blocks[i]->couples()[0].startCol);
        EXPECT_EQ(expected[i].endCol, blocks[i]->couples()[0].endCol);
    }
}

// A frame of more blocks than the pool holds keeps the first 2000 and
// counts the couples that found no block; a block keeps at most 500
// couples.
TEST_F(MotionDetectorByEdgesTest, BlocksAndCouplesBeyondTheirLimitsAreDropped) {
    Open(kSlabRoom);
    ASSERT_TRUE(m_session.Next());
    SlabMaps maps(m_session.Hub());
    // Runs of two columns at 5 m with one column at 6 m between them, every
    // other row one column to the right: no run continues another.
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            maps.Set(x, y, (x + y % 2) % 3 == 2 ? 6000 : 5000);
        }
    }
    ASSERT_TRUE(m_detector.SetMaps(maps.depth, maps.shift, maps.shadow));
    m_detector.derivateImage();
    m_detector.createBlocks();
    int couples = 0;
    for (int y = 0; y < 120; ++y) {
        bool open = false;
        for (int x = 0; x < 160; ++x) {
            const short code = m_detector.der()(y, x);
            if (code == 1) {
                open = true;
            } else if (code == -1 && open) {
                ++couples;
                open = false;
            }
        }
    }
    ASSERT_GT(couples, MotionDetectorByEdges::kMaxBlocks);
    // (Runs cut short by the row's end fail the width test.)
    EXPECT_GT(m_detector.droppedBlocks(), couples - MotionDetectorByEdges::kMaxBlocks - 120);
    EXPECT_LE(m_detector.droppedBlocks(), couples - MotionDetectorByEdges::kMaxBlocks);
    // Every block holds one couple: none is long enough to stay.
    EXPECT_EQ(0, m_detector.blockCount());

    Block block;
    const Couple couple = {0, 1, 5, 2000, 2000};
    for (int i = 0; i < Block::kMaxCouples; ++i) {
        ASSERT_TRUE(block.pushCouple(couple));
    }
    EXPECT_FALSE(block.pushCouple(couple));
    EXPECT_EQ(Block::kMaxCouples, block.count());
}

// The motion test: both sides must lie more than 200 mm from where they
// were in some earlier frame; one side alone does not count, a short
// suspect is never tracked and a tracked one that shrinks stops being so.
TEST_F(MotionDetectorByEdgesTest, SuspectMotionTable) {
    Open(kSlabRoom);
    ASSERT_TRUE(m_session.Next());
    // Side positions per frame (world x of left and right side, mm), rows.
    struct Step {
        int left;
        int right;
        int rows;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        bool tracked;
        int detections;
    };
    const Case cases[] = {
        {"still", {{0, 400, 60}, {10, 410, 60}, {0, 400, 60}, {-10, 390, 60}}, false, 0},
        {"both sides 201 mm", {{0, 400, 60}, {100, 500, 60}, {201, 601, 60}, {201, 601, 60}}, true, 1},
        {"both sides 200 mm", {{0, 400, 60}, {100, 500, 60}, {200, 600, 60}}, false, 0},
        {"one side far", {{0, 400, 60}, {0, 800, 60}, {0, 1200, 60}}, false, 0},
        {"short", {{0, 400, 40}, {300, 700, 40}, {600, 1000, 40}}, false, 0},
        {"tracked then shrinking", {{0, 400, 60}, {300, 700, 60}, {300, 700, 40}}, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Cluster> clusters(c.steps.size());
        for (size_t i = 0; i < c.steps.size(); ++i) {
            Cluster& cluster = clusters[i];
            cluster.left = static_cast<float>(c.steps[i].left);
            cluster.right = static_cast<float>(c.steps[i].right);
            cluster.leftDepth = cluster.rightDepth = 2500;
            cluster.front = 2450;
            cluster.rear = 2550;
            cluster.center[0] = 0.5f * (cluster.left + cluster.right);
            cluster.center[1] = 2500.0f;
            cluster.leftPixel = 60;
            cluster.rightPixel = 90;
            cluster.bottomPixel = 20;
            cluster.topPixel = 20 + c.steps[i].rows;
            cluster.area = 500000;
        }
        Suspect suspect(&m_session.Hub(), 7, clusters[0], QQVGA);
        int detections = 0;
        for (size_t i = 1; i < clusters.size(); ++i) {
            suspect.setCluster(&clusters[i]);
            suspect.update(false);
            detections += suspect.detected() ? 1 : 0;
        }
        EXPECT_EQ(c.tracked, suspect.tracked());
        EXPECT_EQ(c.detections, detections);
    }
}

// After 100 updates the history wraps and stays full; without a cluster an
// update changes nothing.
TEST_F(MotionDetectorByEdgesTest, SuspectHistoryWraps) {
    Open(kSlabRoom);
    ASSERT_TRUE(m_session.Next());
    Cluster cluster;
    cluster.left = 0.0f;
    cluster.right = 400.0f;
    cluster.leftDepth = cluster.rightDepth = 2500;
    cluster.center[1] = 2500.0f;
    cluster.topPixel = 60;
    Suspect suspect(&m_session.Hub(), 0, cluster, QQVGA);
    suspect.update(false);
    EXPECT_EQ(0, suspect.currentIndex());
    suspect.setCluster(&cluster);
    for (int i = 1; i < 100; ++i) {
        suspect.update(false);
    }
    EXPECT_EQ(99, suspect.currentIndex());
    EXPECT_FALSE(suspect.isFull());
    suspect.update(false);
    suspect.update(false);
    EXPECT_EQ(1, suspect.currentIndex());
    EXPECT_TRUE(suspect.isFull());
}

// The eight-pixel edge image equals the plain one on random frames with
// shadows, in both layouts.
TEST(MotionDetectorByEdgesTwinTest, EightPixelEdgesEqualPlainOnes) {
    for (const bool mirrored : {true, false}) {
        SCOPED_TRACE(mirrored ? "mirrored" : "not mirrored");
        hand_test_kit::CameraSession session;
        ASSERT_TRUE(session.OpenScene(std::string(kSlabRoom) + (mirrored ? "" : "camera mirror=off\n"), 320, 240))
            << session.Error();
        ASSERT_TRUE(session.Next());
        MotionDetectorByEdges plain;
        MotionDetectorByEdges eight;
        plain.init(&session.Hub(), QQVGA, 0, 0, 8000);
        eight.init(&session.Hub(), QQVGA, 1, 0, 8000);
        std::mt19937 random(mirrored ? 5 : 6);
        xn::DepthMetaData depth;
        ASSERT_EQ(XN_STATUS_OK, depth.AllocateData(160, 120));
        Array2D<unsigned short> shift;
        shift.SetSize(120, 160, false);
        Array2D<unsigned short> shadow;
        shadow.SetSize(120, 160, false);
        for (int trial = 0; trial < 20; ++trial) {
            std::uniform_int_distribution<int> level(0, 9);
            for (int i = 0; i < 160 * 120; ++i) {
                // Runs of a few depths, holes, far values past the maximum.
                const int l = level(random);
                depth.WritableData()[i] = static_cast<XnDepthPixel>(l == 0 ? 0 : l == 9 ? 65000 : 500 * l + random() % 150);
                shift.Data()[i] = static_cast<unsigned short>(random() % 1100);
                shadow.Data()[i] = random() % 4 == 0 ? static_cast<unsigned short>(random() % 1100) : 0;
            }
            ASSERT_TRUE(plain.SetMaps(depth, shift, shadow));
            ASSERT_TRUE(eight.SetMaps(depth, shift, shadow));
            plain.derivateImage();
            eight.derivateImage_SSE();
            ASSERT_EQ(mirrored, plain.mirrored());
            ASSERT_TRUE(std::equal(plain.der().Data(), plain.der().Data() + plain.der().Size(), eight.der().Data()));
            ASSERT_TRUE(std::equal(plain.filledDepth().Data(), plain.filledDepth().Data() + 160 * 120,
                                   eight.filledDepth().Data()));
        }
    }
}

}  // namespace

#endif  // VELA_SCENE_ANALYZER_ON_CAMERA
