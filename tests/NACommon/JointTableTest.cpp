#include "NACommon/BaseOutputDump.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "TempDir.h"

namespace {

using vela_test::TempDir;

// A skeleton dump of the tests' own: the standard leading columns, a head
// with confidence and occlusion, and knees with confidence only.
class TestDump : public BaseOutputDump {
public:
    TestDump() : m_nJointLookupCalls(0) {}

    void AddColumns(std::vector<std::string>& names) const override {
        names.push_back(COL_USERID);
        names.push_back(COL_FRAME);
        names.push_back(COL_TIME);
        AddVectorColumn(names, COL_BOUNDS_MIN, 3);
        AddVectorColumn(names, COL_BOUNDS_MAX, 3);
        AddJointColumn(names, "Head", true, true);
        AddSymmetricJointColumn(names, "Knee", true, false);
    }

    void InitializeJointsLookups() override {
        ++m_nJointLookupCalls;
        InitializeJointLookup(m_head, "Head");
        InitializeJointLookup(m_leftKnee, "LKnee");
    }

    int AddUserRow(double user, double frame) {
        const int row = AddRow(true);
        SetValue(row, COL_USERID, user);
        SetValue(row, COL_FRAME, frame);
        return row;
    }

    // The user's rows of the frames 0 to the highest indexed, empty when the
    // user has none.
    std::vector<int> Index(int user) const {
        std::vector<int> rows;
        const UserData* data = GetUserData(user);
        for (int frame = 0; data != nullptr && frame <= data->GetLastFrame(); ++frame) {
            rows.push_back(data->GetRow(frame));
        }
        return rows;
    }

    JointLookup m_head;
    JointLookup m_leftKnee;
    int m_nJointLookupCalls;
};

std::vector<std::string> Names(const BaseOutputDump& dump) {
    std::vector<std::string> names;
    for (int c = 0; c < dump.GetNumColumns(); ++c) {
        names.push_back(dump.GetColumnName(c));
    }
    return names;
}

TEST(JointTableTest, ColumnNamesAndJointLookups) {
    std::vector<std::string> knee;
    BaseOutputDump::AddSymmetricJointColumn(knee, "Knee", true, false);
    EXPECT_EQ(knee, (std::vector<std::string>{"LKnee.Pos", "LKnee.Pos", "LKnee.Pos", "LKnee.Confidence", "RKnee.Pos",
                                              "RKnee.Pos", "RKnee.Pos", "RKnee.Confidence"}));

    TestDump dump;
    dump.Initialize();
    const std::vector<std::string> names = Names(dump);
    ASSERT_EQ(names.size(), 22u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 9),
              (std::vector<std::string>{"UserID", "Frame", "Time", "Bounds.Min", "Bounds.Min", "Bounds.Min",
                                        "Bounds.Max", "Bounds.Max", "Bounds.Max"}));
    EXPECT_EQ(names[9], "Head.Pos");
    EXPECT_EQ(names[12], "Head.Confidence");
    EXPECT_EQ(names[13], "Head.Occluded");
    EXPECT_EQ(dump.GetColumn("Bounds.Max"), 6);
    EXPECT_EQ(dump.GetColumn("RKnee.Pos"), 18);

    dump.InitializeJointsLookups();
    EXPECT_TRUE(dump.m_head.bValid);
    EXPECT_EQ(dump.m_head.nPositionColumn, 9);
    EXPECT_EQ(dump.m_head.nOccludedColumn, 13);
    EXPECT_TRUE(dump.m_leftKnee.bValid);
    EXPECT_EQ(dump.m_leftKnee.nOccludedColumn, -1);

    // Position columns without a confidence column: not a valid lookup.
    BaseOutputDump bare;
    std::vector<std::string> footOnly;
    BaseOutputDump::AddJointColumn(footOnly, "Foot", false, true);
    bare.SetColumns(footOnly);
    BaseOutputDump::JointLookup foot;
    bare.InitializeJointLookup(foot, "Foot");
    EXPECT_EQ(foot.nPositionColumn, 0);
    EXPECT_EQ(foot.nConfidenceColumn, -1);
    EXPECT_EQ(foot.nOccludedColumn, 3);
    EXPECT_FALSE(foot.bValid);
}

TEST(JointTableTest, SetJointDataFillsTheJointsColumns) {
    TestDump dump;
    dump.Initialize();
    const int row = dump.AddUserRow(1, 0);
    dump.SetJointData(row, "Head", Vector3D<double>(1.0, 2.0, 3.0), 0.5, 1.0);
    EXPECT_EQ(dump(row, 9), 1.0);
    EXPECT_EQ(dump(row, 10), 2.0);
    EXPECT_EQ(dump(row, 11), 3.0);
    EXPECT_EQ(dump(row, "Head.Confidence"), 0.5);
    EXPECT_EQ(dump(row, "Head.Occluded"), 1.0);
}

TEST(JointTableTest, FrameToRowIndex) {
    TestDump dump;
    dump.Initialize();
    dump.AddUserRow(3, 1);    // row 0
    dump.AddUserRow(3, 2);    // row 1
    dump.AddUserRow(7, 0.9);  // row 2: another user, frame truncated to 0
    dump.AddUserRow(3, 5);    // row 3
    dump.AddUserRow(3, 2);    // row 4: same frame again, the first row stays
    dump.AddUserRow(3, 4);    // row 5: below the highest frame, not indexed
    dump.AddUserRow(3, -1);   // row 6: negative frames are never indexed
    dump.InitializeLookups();

    EXPECT_EQ(dump.Index(3), (std::vector<int>{-1, 0, 1, -1, -1, 3}));
    EXPECT_EQ(dump.Index(7), (std::vector<int>{2}));
    EXPECT_EQ(dump.GetUserData(4), nullptr);
    EXPECT_EQ(dump.GetUsers().size(), 2u);
    EXPECT_EQ(dump.m_nJointLookupCalls, 1);

    // Rows added later are indexed only when the index is rebuilt.
    dump.AddUserRow(4, 0);
    EXPECT_EQ(dump.GetUserData(4), nullptr);
    dump.InitializeLookups();
    EXPECT_EQ(dump.Index(4), (std::vector<int>{7}));
    EXPECT_EQ(dump.Index(3).size(), 6u);
}

TEST(JointTableTest, FrameJumpsAndHugeFrameNumbers) {
    TestDump dump;
    dump.Initialize();
    for (int frame = 0; frame <= 10; ++frame) {
        dump.AddUserRow(1, frame);
    }
    const int jumpRow = dump.AddUserRow(1, 2500);
    testing::internal::CaptureStderr();
    dump.InitializeLookups();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::vector<int> index = dump.Index(1);
    ASSERT_EQ(index.size(), 2501u);
    for (int frame = 0; frame <= 10; ++frame) {
        EXPECT_EQ(index[frame], frame);
    }
    EXPECT_EQ(index[11], -1);
    EXPECT_EQ(index[2500], jumpRow);

    // Only the frames present take room: frame numbers far beyond any
    // recording, for many users, are indexed without a dense range each.
    const int farRow = dump.AddUserRow(1, 1 << 28);
    for (int user = 10; user < 400; ++user) {
        dump.AddUserRow(user, (1 << 20) - 1);
        dump.AddUserRow(user, INT32_MAX);
    }
    // Frames that have no int are reported and not indexed.
    dump.AddUserRow(1, 1e12);
    dump.AddUserRow(1, std::numeric_limits<double>::quiet_NaN());
    dump.AddUserRow(2, 1e300);
    dump.AddUserRow(1e12, 3);
    testing::internal::CaptureStderr();
    dump.InitializeLookups();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning: Found row(s) with a frame number or user id out of range.  Not indexed.\n");
    const BaseOutputDump::UserData* first = dump.GetUserData(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetFrameCount(), 13);
    EXPECT_EQ(first->GetLastFrame(), 1 << 28);
    EXPECT_EQ(first->GetRow(1 << 28), farRow);
    EXPECT_EQ(first->GetRow((1 << 28) - 1), -1);
    const BaseOutputDump::UserData* last = dump.GetUserData(399);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->GetFrameCount(), 2);
    EXPECT_EQ(last->GetRow(INT32_MAX), farRow + 2 * (399 - 10) + 2);
    EXPECT_EQ(dump.GetUserData(2)->GetFrameCount(), 0);

    BaseOutputDump::UserData user(5);
    EXPECT_TRUE(user.SetRowForFrame(7, 0));
    EXPECT_FALSE(user.SetRowForFrame(7, 1));
    EXPECT_FALSE(user.SetRowForFrame(-3, 2));
    EXPECT_EQ(user.GetRow(7), 0);
    EXPECT_EQ(user.GetRow(-3), -1);
}

TEST(JointTableTest, RowsWithoutAUserId) {
    TempDir dir;
    TestDump dump;
    dump.Initialize();
    dump.AddRow(true);  // all zero: ignored silently
    dump.AddUserRow(1, 0);
    testing::internal::CaptureStderr();
    dump.InitializeLookups();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    const int row = dump.AddRow(true);
    dump.SetValue(row, COL_TIME, 12.0);
    testing::internal::CaptureStderr();
    dump.InitializeLookups();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning: Found row(s) with UserID==0.  Ignored because we assume ID>0.\n");

    // Read from a file, the warning names the file.
    const std::string path = dir.File("dump.txt");
    dump.Write(path, false);
    TestDump read;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(read.ReadFromFile(path, nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning: Found row(s) with UserID==0.  Ignored because we assume ID>0.\n-------: In file " + path +
                  "\n");
    EXPECT_EQ(read.Index(1), (std::vector<int>{1}));
}

TEST(JointTableTest, ReadingFiles) {
    TempDir dir;
    TestDump dump;
    dump.Initialize();
    dump.AddUserRow(2, 3);
    dump.AddUserRow(2, 4);
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        const std::string path = dir.File(binary ? "dump.bin" : "dump.txt");
        dump.Write(path, binary);
        TestDump read;
        bool wasBinary = !binary;
        ASSERT_TRUE(read.ReadFromFile(path, &wasBinary));
        EXPECT_EQ(wasBinary, binary);
        EXPECT_EQ(read.GetNumColumns(), 22);
        EXPECT_EQ(read.Index(2), (std::vector<int>{-1, -1, -1, 0, 1}));
        EXPECT_EQ(read.m_nJointLookupCalls, 1);
        EXPECT_TRUE(read.m_head.bValid);

        // A missing file leaves an empty dump.
        EXPECT_FALSE(read.ReadFromFile(dir.File("missing"), nullptr));
        EXPECT_EQ(read.GetNumColumns(), 0);
        EXPECT_EQ(read.GetNumRows(), 0);
        EXPECT_TRUE(read.GetUsers().empty());
    }

    // Without a UserID column: read, but no index and no joint lookups.
    DataTable<double> plain(2);
    plain.SetColumns({"Frame", "Head.Pos"});
    plain.AddRow(true);
    plain.Write(dir.File("plain.txt"), false);
    TestDump read;
    ASSERT_TRUE(read.ReadFromFile(dir.File("plain.txt"), nullptr));
    EXPECT_EQ(read.GetNumRows(), 1);
    EXPECT_TRUE(read.GetUsers().empty());
    EXPECT_EQ(read.m_nJointLookupCalls, 0);
}

}  // namespace
