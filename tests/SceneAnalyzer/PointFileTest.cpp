// Point files: their lines as read, replay with resolution scaling, the
// seed and floor-outline queries, recording, and the files and lines that
// are refused.

#include "SceneAnalyzer/PointFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "NACommon/NACommonData.h"
#include "TempDir.h"

namespace {

using Points = std::vector<Vector2D<int> >;

Points P(std::initializer_list<std::pair<int, int> > list) {
    Points points;
    for (const auto& p : list) {
        points.emplace_back(p.first, p.second);
    }
    return points;
}

::testing::AssertionResult Same(const Points& expected, const Points& actual) {
    if (expected.size() != actual.size()) {
        return ::testing::AssertionFailure() << actual.size() << " points instead of " << expected.size();
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].x != actual[i].x || expected[i].y != actual[i].y) {
            return ::testing::AssertionFailure() << "point " << i << " is " << actual[i].x << "," << actual[i].y;
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(PointFileTest, LinesAsRead) {
    struct Case {
        const char* text;
        int frame;
        Points points;
    };
    const Case cases[] = {
        {"125 100 200 110 210 ", 125, P({{100, 200}, {110, 210}})},
        {"7 5 6", 7, P({{5, 6}})},
        {"7 5 6 ", 7, P({{5, 6}})},
        {"7 5 6 8 9", 7, P({{5, 6}, {8, 9}})},
        // An unpaired x: with a trailing blank it pairs with y 0.
        {"7 5 6 8 ", 7, P({{5, 6}, {8, 0}})},
        {"7 5 6 8", 7, P({{5, 6}})},
        {"7 5 ", 7, P({{5, 0}})},
        {"7 5", 7, Points()},
        {"7  5   6  ", 7, P({{5, 6}})},
        {"7 -5 +6 ", 7, P({{-5, 6}})},
        {"7 5px 6.9 ", 7, P({{5, 6}})},
        {"7 ab cd ", 7, P({{0, 0}})},
        {"x 5 6 ", 0, P({{5, 6}})},
        {" 5 6 ", 0, P({{5, 6}})},
        {"7", 7, Points()},
        {"7 ", 7, Points()},
        {"", 0, Points()},
        {"7 5 6 \r", 7, P({{5, 6}})},
        {"99999999999 5 6", 2147483647, P({{5, 6}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PointFile::LineInFile line;
        line.points = P({{1, 1}});
        PointFile::ParseLine(c.text, line);
        EXPECT_EQ(c.frame, line.frame);
        EXPECT_TRUE(Same(c.points, line.points));
    }
}

TEST(PointFileTest, ResolutionCodesOfAnalysisWidths) {
    EXPECT_EQ(PointFile::RES_320, PointFile::CodeOfWidth(320));
    EXPECT_EQ(PointFile::RES_160, PointFile::CodeOfWidth(160));
    EXPECT_EQ(PointFile::RES_80, PointFile::CodeOfWidth(80));
    EXPECT_EQ(PointFile::RES_40, PointFile::CodeOfWidth(40));
    EXPECT_EQ(PointFile::RES_640, PointFile::CodeOfWidth(640));
    EXPECT_EQ(PointFile::RES_640, PointFile::CodeOfWidth(1280));
}

class PointFileFixture : public ::testing::Test {
protected:
    void SetUp() override { m_hub.m_strRecordingPath = m_dir.File("take.oni"); }
    std::string PointPath() const { return m_dir.File("take.oni.point"); }
    // A point file of the recording with this text, read by an analyzer
    // of the code.
    void Open(const std::string& text, PointFile::Resolution code) {
        vela_test::WriteWholeFile(PointPath(), text);
        m_file.reset(new PointFile);
        m_file->Initialize(&m_hub, code);
    }
    const Points& Seed(int frame) {
        m_hub.m_nFrameID = frame;
        return m_file->GetPoints();
    }
    const Points& Outline(int frame) {
        m_hub.m_nFrameID = frame;
        return m_file->GetSAPlanePoints();
    }

    vela_test::TempDir m_dir;
    NACommonData m_hub;
    std::unique_ptr<PointFile> m_file;
};

TEST_F(PointFileFixture, CoordinatesScaleDownToTheAnalyzersResolution) {
    const std::string text = "1\n3 100 200 \n4 100 200 110 210 120 230 \n";
    Open(text, PointFile::RES_160);
    EXPECT_FALSE(m_file->IsRecording());
    EXPECT_TRUE(Same(P({{50, 100}}), Seed(3)));
    EXPECT_TRUE(Same(P({{50, 100}, {55, 105}, {60, 115}}), Outline(4)));
    Open(text, PointFile::RES_640);
    EXPECT_TRUE(Same(P({{100, 200}}), Seed(3)));
    Open("1\n3 101 203 \n", PointFile::RES_40);
    EXPECT_TRUE(Same(P({{12, 25}}), Seed(3)));
}

TEST_F(PointFileFixture, SeedsAndOutlinesOfAFrame) {
    Open("2\n"
         "5 10 10 20 10 20 20 \n"
         "7 5 6 \n"
         "7 30 31 \n"
         "7 1 2 3 4 5 6 \n"
         "9 40 41 \n"
         "12 7 7 8 8 9 9 \n",
         PointFile::RES_160);
    // The first seed line of the frame; none on a frame with only an
    // outline or nothing.
    EXPECT_TRUE(Same(P({{5, 6}}), Seed(7)));
    EXPECT_TRUE(Same(Points(), Seed(5)));
    EXPECT_TRUE(Same(Points(), Seed(8)));
    // Outlines: none before the first line; the frame's own; between two
    // outlines, the line just before the later one when it is earlier than
    // the frame (of whatever kind); after the last, the last outline.
    EXPECT_TRUE(Same(Points(), Outline(4)));
    EXPECT_TRUE(Same(P({{10, 10}, {20, 10}, {20, 20}}), Outline(5)));
    EXPECT_TRUE(Same(P({{1, 2}, {3, 4}, {5, 6}}), Outline(7)));
    EXPECT_TRUE(Same(P({{40, 41}}), Outline(10)));
    EXPECT_TRUE(Same(P({{7, 7}, {8, 8}, {9, 9}}), Outline(12)));
    EXPECT_TRUE(Same(P({{7, 7}, {8, 8}, {9, 9}}), Outline(400)));

    Open("2\n3 5 6 \n4 7 8 \n", PointFile::RES_160);
    EXPECT_TRUE(Same(Points(), Outline(3)));
    EXPECT_TRUE(Same(Points(), Outline(100)));
}

// Codes other than 0 to 4 refuse the whole file; a line with a point off
// the analyzer's image is dropped.
TEST_F(PointFileFixture, FilesAndLinesThatAreRefused) {
    for (const char* code : {"5", "-1", "9999"}) {
        SCOPED_TRACE(code);
        Open(std::string(code) + "\n3 1 1 \n4 1 1 2 2 3 3 \n", PointFile::RES_160);
        EXPECT_TRUE(m_file->Lines().empty());
        EXPECT_FALSE(m_file->IsRecording());
        EXPECT_TRUE(Same(Points(), Seed(3)));
    }
    Open("2\n3 159 119 \n4 160 0 \n5 0 120 \n6 -1 5 \n7 1 1 200 1 2 2 \n8 1 1 2 2 \n", PointFile::RES_160);
    ASSERT_EQ(2u, m_file->Lines().size());
    EXPECT_TRUE(Same(P({{159, 119}}), Seed(3)));
    EXPECT_TRUE(Same(Points(), Seed(4)));
    EXPECT_TRUE(Same(P({{1, 1}, {2, 2}}), Outline(8)));
    EXPECT_EQ(8, m_file->Lines().back().frame);
}

TEST_F(PointFileFixture, WithoutAFileThePointsGivenAreRecorded) {
    PointFile file;
    file.Initialize(&m_hub, PointFile::RES_160);
    EXPECT_TRUE(file.IsRecording());
    EXPECT_EQ(PointPath(), file.Path());
    // Nothing to record writes nothing, not even the first line.
    const Points none;
    m_hub.m_nFrameID = 3;
    file.Update(nullptr);
    file.Update(&none);
    EXPECT_FALSE(std::ifstream(PointPath()).good());

    const Points seed = P({{100, 90}});
    const Points outline = P({{1, 2}, {3, 4}, {5, 6}});
    m_hub.m_nFrameID = 125;
    file.Update(&seed);
    m_hub.m_nFrameID = 126;
    file.Update(&outline);
    EXPECT_EQ("2\n125 100 90 \n126 1 2 3 4 5 6 \n", vela_test::ReadWholeFile(PointPath()));
    // The points recorded are served at once, and to a later run.
    EXPECT_TRUE(Same(outline, file.GetSAPlanePoints()));
    m_file.reset(new PointFile);
    m_file->Initialize(&m_hub, PointFile::RES_160);
    EXPECT_FALSE(m_file->IsRecording());
    EXPECT_TRUE(Same(seed, Seed(125)));
    EXPECT_TRUE(Same(outline, Outline(126)));
}

// A file that cannot be opened for appending stops the recording; a live
// device (no recording path) has no point file at all.
TEST_F(PointFileFixture, NoPlaceToRecordMeansNoRecording) {
    m_hub.m_strRecordingPath = m_dir.File("missing/take.oni");
    PointFile file;
    file.Initialize(&m_hub, PointFile::RES_160);
    ASSERT_TRUE(file.IsRecording());
    const Points seed = P({{1, 2}});
    file.Update(&seed);
    EXPECT_FALSE(file.IsRecording());
    EXPECT_TRUE(file.Lines().empty());
    file.Update(&seed);

    vela_test::ScopedCwd cwd(m_dir.Path());
    m_hub.m_strRecordingPath.clear();
    PointFile live;
    live.Initialize(&m_hub, PointFile::RES_160);
    EXPECT_FALSE(live.IsRecording());
    EXPECT_EQ("", live.Path());
    live.Update(&seed);
    EXPECT_FALSE(std::ifstream(".point").good());
    EXPECT_TRUE(Same(Points(), live.GetPoints()));
    EXPECT_TRUE(Same(Points(), live.GetSAPlanePoints()));
}

TEST(PointFileStreamTest, AnEmptyStreamHoldsNoLines) {
    PointFile file;
    std::istringstream empty("");
    EXPECT_TRUE(file.Read(empty));
    EXPECT_TRUE(file.Lines().empty());
}

}  // namespace
