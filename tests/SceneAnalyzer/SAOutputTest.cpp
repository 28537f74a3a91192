#include "SceneAnalyzer/SAOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ByteBuilder.h"
#include "TempDir.h"

namespace {

using vela_test::Append;
using vela_test::AppendString;
using vela_test::ReadWholeFile;
using vela_test::TempDir;
using vela_test::WriteWholeFile;

typedef std::vector<std::pair<int32_t, uint16_t> > Runs;

std::unique_ptr<xn::SceneMetaData> MakeLabels(int width, int height, const std::vector<uint16_t>& values) {
    std::unique_ptr<xn::SceneMetaData> labels(new xn::SceneMetaData);
    labels->AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height));
    std::copy(values.begin(), values.end(), labels->WritableData());
    return labels;
}

std::vector<uint16_t> LabelsOf(const xn::SceneMetaData& labels) {
    return std::vector<uint16_t>(labels.Data(), labels.Data() + labels.XRes() * labels.YRes());
}

Box3D<int> UsersBox(int x0, int y0, int z0, int x1, int y1, int z1) {
    return Box3D<int>(Vector3D<int>(x0, y0, z0), Vector3D<int>(x1, y1, z1));
}

// The container's header of an "sa" file and the two sizes.
std::string SAHeader(int32_t width, int32_t height, const std::string& recording = "rec/clip.oni") {
    std::string bytes;
    AppendString(bytes, "070211");
    AppendString(bytes, "120611");
    AppendString(bytes, recording);
    Append(bytes, int32_t(8));
    Append(bytes, width);
    Append(bytes, height);
    return bytes;
}

void AppendRuns(std::string& bytes, const Runs& runs) {
    for (const auto& run : runs) {
        Append(bytes, run.first);
        Append(bytes, run.second);
    }
}

void AppendBox(std::string& bytes, const Box3D<int>& box) {
    for (int v : {box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z}) {
        Append(bytes, int32_t(v));
    }
}

// A frame's payload as the writer lays it out.
std::string Payload(const Vector3D<double>& floor, const Runs& runs, const Box3D<int>& box) {
    std::string bytes;
    Append(bytes, floor.x);
    Append(bytes, floor.y);
    Append(bytes, floor.z);
    AppendRuns(bytes, runs);
    AppendBox(bytes, box);
    return bytes;
}

void AppendFrame(std::string& bytes, int32_t id, const std::string& payload) {
    Append(bytes, id);
    Append(bytes, static_cast<int32_t>(payload.size()));
    bytes += payload;
}

class SAOutputTest : public ::testing::Test {
protected:
    // Where the writer puts the record of rec/clip.oni with version name v1.
    std::string RecordPath() const { return m_dir.File("clip.oni.v1.sa"); }

    void WriteFrames(int width, int height,
                     const std::vector<std::tuple<int, xn::SceneMetaData*, Vector3D<double>, Box3D<int> > >& frames) {
        SAOutput writer(AlgoOutput::MODE_WRITE);
        ASSERT_TRUE(writer.WriteHeader(m_dir.File("clip.oni"), "v1", width, height));
        EXPECT_TRUE(writer.IsWriting());
        for (const auto& frame : frames) {
            writer.Write(std::get<0>(frame), *std::get<1>(frame), std::get<2>(frame), std::get<3>(frame));
        }
    }

    TempDir m_dir;
};

// Runs cover the map row by row with rows joined; a run ends where the
// label changes, and a map without pixels is the single run {0, 0}. Each
// frame reads back as written and compares equal to its file.
TEST_F(SAOutputTest, LabelRunsRoundTrip) {
    struct Case {
        const char* name;
        int width;
        int height;
        std::vector<uint16_t> labels;
        Runs runs;
    };
    const std::vector<Case> cases = {
        {"no pixels", 0, 0, {}, {{0, 0}}},
        {"all zeros", 160, 120, std::vector<uint16_t>(19200, 0), {{19200, 0}}},
        {"one row", 6, 1, {0, 0, 3, 3, 3, 0}, {{2, 0}, {3, 3}, {1, 0}}},
        {"rows join", 3, 2, {1, 1, 1, 1, 10, 10}, {{4, 1}, {2, 10}}},
        {"every pixel its own run", 2, 2, {0, 65535, 0, 7}, {{1, 0}, {1, 65535}, {1, 0}, {1, 7}}},
        {"one label", 4, 3, std::vector<uint16_t>(12, 2), {{12, 2}}},
    };
    const Vector3D<double> floor(0.015625, -2.5, 412.75);
    const Box3D<int> box = UsersBox(10, 20, 1500, 40, 100, 2600);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto labels = MakeLabels(c.width, c.height, c.labels);
        WriteFrames(c.width, c.height, {std::make_tuple(7, labels.get(), floor, box)});

        std::string expected = SAHeader(c.width, c.height, m_dir.File("clip.oni"));
        AppendFrame(expected, 7, Payload(floor, c.runs, box));
        EXPECT_EQ(expected, ReadWholeFile(RecordPath()));

        SAOutput reader(AlgoOutput::MODE_READ);
        ASSERT_TRUE(reader.InitializeReading(RecordPath()));
        ASSERT_TRUE(reader.HeaderValid());
        EXPECT_EQ(c.width, reader.Width());
        EXPECT_EQ(c.height, reader.Height());
        ASSERT_TRUE(reader.Read(7));
        EXPECT_EQ(c.labels, LabelsOf(reader.m_labels));
        EXPECT_EQ(floor, reader.m_floor);
        EXPECT_EQ(box.min, reader.m_usersBox.min);
        EXPECT_EQ(box.max, reader.m_usersBox.max);
        std::string message = "untouched";
        EXPECT_TRUE(reader.CompareStateToFile(7, &message));
        EXPECT_EQ("", message);
    }
}

// Frames without a floor carry 0, 0, 0 and without users the empty box;
// both come back as they were, frame by frame, and a reader compares its
// data with any frame of the file.
TEST_F(SAOutputTest, FloorAndUsersBoxPerFrame) {
    const auto first = MakeLabels(3, 2, {0, 0, 1, 1, 0, 0});
    const auto second = MakeLabels(3, 2, {0, 2, 2, 2, 2, 0});
    const Vector3D<double> noFloor(0.0, 0.0, 0.0);
    const Vector3D<double> floor(0.01, 2.5, 400.0);
    const Box3D<int> noUsers;
    const Box3D<int> users = UsersBox(-300, 0, 1800, 420, 1750, 2300);
    WriteFrames(3, 2, {std::make_tuple(1, first.get(), noFloor, noUsers), std::make_tuple(2, second.get(), floor, users)});

    SAOutput reader(AlgoOutput::MODE_READ);
    ASSERT_TRUE(reader.InitializeReading(RecordPath()));
    ASSERT_TRUE(reader.Read(1));
    EXPECT_EQ(noFloor, reader.m_floor);
    EXPECT_EQ(Box3D<int>::EmptyBox().min, reader.m_usersBox.min);
    EXPECT_EQ(Box3D<int>::EmptyBox().max, reader.m_usersBox.max);
    EXPECT_EQ(2, reader.GetNextFrame());
    std::string message;
    EXPECT_FALSE(reader.CompareStateToFile(2, &message));
    EXPECT_EQ("In m_floor: ", message);
    // Coefficients compare by their bytes: a zero of the other sign differs.
    reader.m_floor.y = -0.0;
    EXPECT_FALSE(reader.CompareStateToFile(1, &message));
    EXPECT_EQ("In m_floor: ", message);
    ASSERT_TRUE(reader.Read(2));
    EXPECT_EQ(floor, reader.m_floor);
    EXPECT_EQ(users.min, reader.m_usersBox.min);
    EXPECT_EQ(users.max, reader.m_usersBox.max);
    EXPECT_EQ(LabelsOf(*second), LabelsOf(reader.m_labels));
    EXPECT_EQ(-1, reader.GetNextFrame());
    EXPECT_FALSE(reader.Read(3));
}

// A frame whose floor is not a number still equals itself.
TEST_F(SAOutputTest, AFloorThatIsNotANumberComparesEqualToItself) {
    const auto labels = MakeLabels(1, 1, {3});
    const Vector3D<double> floor(std::nan(""), 1.0, 2.0);
    WriteFrames(1, 1, {std::make_tuple(1, labels.get(), floor, Box3D<int>())});
    SAOutput reader(AlgoOutput::MODE_READ);
    ASSERT_TRUE(reader.InitializeReading(RecordPath()));
    ASSERT_TRUE(reader.Read(1));
    EXPECT_TRUE(std::isnan(reader.m_floor.x));
    std::string message;
    EXPECT_TRUE(reader.CompareStateToFile(1, &message)) << message;
}

// Comparing names the first member that differs: the floor, then the label
// map (with the first differing pixel), then the users box.
TEST_F(SAOutputTest, ComparisonNamesTheFirstDifference) {
    const auto labels = MakeLabels(3, 2, {0, 4, 4, 4, 0, 0});
    const Box3D<int> box = UsersBox(1, 0, 900, 3, 1, 1200);
    WriteFrames(3, 2, {std::make_tuple(5, labels.get(), Vector3D<double>(0.5, 1.0, 2.0), box)});
    struct Case {
        const char* name;
        void (*change)(SAOutput&);
        const char* message;
    };
    const Case cases[] = {
        {"floor", [](SAOutput& r) { r.m_floor.z = 2.0000001; }, "In m_floor: "},
        {"label", [](SAOutput& r) { r.m_labels.WritableData()[4] = 4; }, "In m_labels: pixel 4"},
        {"size", [](SAOutput& r) { r.m_labels.AllocateData(2, 3); }, "In m_labels: size"},
        {"box", [](SAOutput& r) { r.m_usersBox.max.y = 2; }, "In m_usersBox: "},
        {"floor before box", [](SAOutput& r) { r.m_usersBox.max.y = 2; r.m_floor.x = 0.0; }, "In m_floor: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SAOutput reader(AlgoOutput::MODE_READ);
        ASSERT_TRUE(reader.InitializeReading(RecordPath()));
        ASSERT_TRUE(reader.Read(5));
        c.change(reader);
        std::string message;
        EXPECT_FALSE(reader.CompareStateToFile(5, &message));
        EXPECT_EQ(c.message, message);
        // Nothing of the reader's data is replaced by comparing.
        EXPECT_FALSE(reader.CompareStateToFile(5, nullptr));
    }
}

// A frame read from outside whose runs are not a map of the header's size
// is refused, and the map is left empty: runs that end early, a run past
// the map's end or below zero, and frames that end early.
TEST_F(SAOutputTest, FramesThatAreNotAMapAreRefused) {
    const Vector3D<double> floor(1.0, 2.0, 3.0);
    const Box3D<int> box = UsersBox(0, 0, 500, 2, 1, 900);
    const std::string whole = Payload(floor, {{6, 1}}, box);
    struct Case {
        const char* name;
        std::string payload;
    };
    const std::vector<Case> cases = {
        {"runs end early", Payload(floor, {{2, 1}, {0, 0}, {4, 1}}, box)},
        {"run past the map", Payload(floor, {{5, 1}, {2, 1}}, box)},
        {"one run longer than the map", Payload(floor, {{7, 1}}, box)},
        {"negative run", Payload(floor, {{-1, 1}, {7, 1}}, box)},
        {"run overflowing the count", Payload(floor, {{3, 1}, {INT32_MAX, 1}}, box)},
        {"cut in the floor", whole.substr(0, 20)},
        {"cut in a run", whole.substr(0, 27)},
        {"cut in the box", whole.substr(0, whole.size() - 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = SAHeader(3, 2);
        AppendFrame(bytes, 1, c.payload);
        const std::string path = m_dir.File("bad.sa");
        WriteWholeFile(path, bytes);
        SAOutput reader(AlgoOutput::MODE_READ);
        ASSERT_TRUE(reader.InitializeReading(path));
        ASSERT_TRUE(reader.HeaderValid());
        EXPECT_FALSE(reader.Read(1));
        EXPECT_EQ(std::vector<uint16_t>(6, 0), LabelsOf(reader.m_labels));
        std::string message;
        EXPECT_FALSE(reader.CompareStateToFile(1, &message));
        EXPECT_EQ("In frame: not readable", message);
    }
    // The same frame whole reads.
    std::string bytes = SAHeader(3, 2);
    AppendFrame(bytes, 1, whole);
    WriteWholeFile(m_dir.File("good.sa"), bytes);
    SAOutput reader(AlgoOutput::MODE_READ);
    ASSERT_TRUE(reader.InitializeReading(m_dir.File("good.sa")));
    EXPECT_TRUE(reader.Read(1));
    EXPECT_EQ(std::vector<uint16_t>(6, 1), LabelsOf(reader.m_labels));
}

// A header whose sizes are negative, larger than any label map or missing
// makes no map and no frame of the file reads; nothing of the claimed size
// is allocated.
TEST_F(SAOutputTest, HeadersThatAreNoMapAreRefused) {
    struct Case {
        const char* name;
        int32_t width;
        int32_t height;
        bool valid;
    };
    const Case cases[] = {
        {"negative width", -1, 2, false},
        {"negative height", 2, -1, false},
        {"both negative", -2, -2, false},
        {"side too long", SAOutput::kMaxSide + 1, 1, false},
        {"too many pixels", SAOutput::kMaxSide, SAOutput::kMaxSide, false},
        {"product past 32 bits", 65536, 65536, false},
        {"largest map", SAOutput::kMaxSide, SAOutput::kMaxPixels / SAOutput::kMaxSide, true},
        {"no pixels", 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = SAHeader(c.width, c.height);
        AppendFrame(bytes, 1, Payload(Vector3D<double>(0.0, 0.0, 0.0), {{0, 0}}, Box3D<int>()));
        const std::string path = m_dir.File("header.sa");
        WriteWholeFile(path, bytes);
        SAOutput reader(AlgoOutput::MODE_READ);
        ASSERT_TRUE(reader.InitializeReading(path));
        EXPECT_EQ(c.valid, reader.HeaderValid());
        EXPECT_EQ(c.valid ? c.width : 0, reader.m_labels.XRes());
        // A map of pixels ends its runs early at {0, 0}.
        EXPECT_EQ(c.valid && c.width == 0, reader.Read(1));
    }
    // A header payload of only the width.
    std::string bytes;
    AppendString(bytes, "070211");
    AppendString(bytes, "120611");
    AppendString(bytes, "");
    Append(bytes, int32_t(4));
    Append(bytes, int32_t(3));
    WriteWholeFile(m_dir.File("short.sa"), bytes);
    SAOutput reader(AlgoOutput::MODE_READ);
    ASSERT_TRUE(reader.InitializeReading(m_dir.File("short.sa")));
    EXPECT_FALSE(reader.HeaderValid());
}

// Files of the container's older layout carry no floor: the frame is the
// runs and the box, and the floor reads as 0, 0, 0.
TEST_F(SAOutputTest, OlderLayoutHasNoFloor) {
    std::string bytes;
    Append(bytes, AlgoOutput::LEGACY_MARKER);
    Append(bytes, int32_t(2));
    Append(bytes, int32_t(2));
    std::string payload;
    AppendRuns(payload, {{3, 5}, {1, 0}});
    AppendBox(payload, UsersBox(0, 0, 700, 1, 1, 800));
    AppendFrame(bytes, 3, payload);
    WriteWholeFile(m_dir.File("old.sa"), bytes);

    SAOutput reader(AlgoOutput::MODE_READ);
    ASSERT_TRUE(reader.InitializeReading(m_dir.File("old.sa")));
    reader.m_floor = Vector3D<double>(9.0, 9.0, 9.0);
    ASSERT_TRUE(reader.Read(3));
    EXPECT_EQ(Vector3D<double>(0.0, 0.0, 0.0), reader.m_floor);
    EXPECT_EQ((std::vector<uint16_t>{5, 5, 5, 0}), LabelsOf(reader.m_labels));
    EXPECT_EQ(800, reader.m_usersBox.max.z);
}

// Clearing gives a map laid over another's pixels a buffer of its own
// before zeroing it: the other's pixels are left alone.
TEST_F(SAOutputTest, ClearingKeepsOthersPixels) {
    SAOutput record(AlgoOutput::MODE_READ);
    const XnLabel others[4] = {1, 2, 3, 4};
    ASSERT_EQ(XN_STATUS_OK, record.m_labels.ReAdjust(2, 2, others));
    record.ClearData();
    EXPECT_EQ(1, others[0]);
    EXPECT_EQ(4, others[3]);
    ASSERT_EQ(2, record.m_labels.XRes());
    EXPECT_EQ(std::vector<uint16_t>(4, 0), LabelsOf(record.m_labels));
}

// A record that cannot be opened is refused and writes nothing; the writer
// is then not writing.
TEST_F(SAOutputTest, UnopenableRecordIsRefused) {
    // A folder where the file should go.
    ASSERT_TRUE(std::filesystem::create_directory(RecordPath()));
    SAOutput writer(AlgoOutput::MODE_WRITE);
    EXPECT_FALSE(writer.WriteHeader(m_dir.File("clip.oni"), "v1", 3, 2));
    EXPECT_FALSE(writer.IsWriting());
}

}  // namespace
