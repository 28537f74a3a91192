#include "QuorLibrary/Utilities/DataTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "TempDir.h"

namespace {

using vela_test::Append;
using vela_test::AppendString;

using vela_test::ReadWholeFile;
using vela_test::TempDir;
using vela_test::WriteWholeFile;

template <typename T>
void AddRowValues(DataTable<T>& table, const std::vector<T>& values) {
    const int r = table.AddRow(false);
    for (size_t c = 0; c < values.size(); ++c) {
        table(r, static_cast<int>(c)) = values[c];
    }
}

TEST(DataTableFileTest, TextUsesSixSignificantDigits) {
    TempDir dir;
    DataTable<double> table(2);
    table.SetColumns({"A", "B"});
    AddRowValues(table, {0.1, 1234567.0});
    AddRowValues(table, {1.5, -2.0});
    AddRowValues(table, {1e-7, 100.0});
    const std::string path = dir.File("t.txt");
    table.Write(path, false);
    EXPECT_EQ(ReadWholeFile(path), "A\tB\n0.1\t1.23457e+06\n1.5\t-2\n1e-07\t100\n");

    DataTable<double> back(0);
    bool wasBinary = true;
    ASSERT_TRUE(back.Read(path, &wasBinary));
    EXPECT_FALSE(wasBinary);
    ASSERT_EQ(back.GetNumRows(), 3);
    EXPECT_EQ(back.GetColumn("B"), 1);
    EXPECT_EQ(back(0, 1), 1234570.0);  // what six digits keep
    EXPECT_EQ(back(2, 0), 1e-7);
}

TEST(DataTableFileTest, TextWithFewerColumnsKeepsTheHeaderSeparator) {
    DataTable<float> table(3);
    table.SetColumns({"A", "B", "C"});
    AddRowValues(table, {1.0f, 2.0f, 3.0f});
    std::ostringstream out;
    table.WriteText(out, ",", 2);
    EXPECT_EQ(out.str(), "A,B,\n1,2\n");
}

TEST(DataTableFileTest, TextReaderTakesWholeRowsAndStopsAtNan) {
    DataTable<double> table(1);
    std::istringstream five("A B\n1 2\n3\n4 5\n");
    ASSERT_TRUE(table.ReadText(five));
    ASSERT_EQ(table.GetNumRows(), 2);
    EXPECT_EQ(table(1, 0), 3.0);
    EXPECT_EQ(table(1, 1), 4.0);

    TempDir dir;
    DataTable<double> withNan(2);
    AddRowValues(withNan, {1.0, 2.0});
    AddRowValues(withNan, {std::numeric_limits<double>::quiet_NaN(), 4.0});
    AddRowValues(withNan, {5.0, 6.0});
    const std::string path = dir.File("nan.txt");
    withNan.Write(path, false);
    EXPECT_NE(ReadWholeFile(path).find("nan"), std::string::npos);
    ASSERT_TRUE(table.Read(path, nullptr));
    EXPECT_EQ(table.GetNumRows(), 1);

    std::istringstream empty("");
    EXPECT_FALSE(table.ReadText(empty));
    std::istringstream blank(" \t\nrest");
    EXPECT_FALSE(table.ReadText(blank));
    EXPECT_EQ(table.GetNumColumns(), 0);
}

TEST(DataTableFileTest, BinaryLayoutOfASmallTable) {
    TempDir dir;
    DataTable<double> table(2);
    table.SetColumns({"A", "BC"});
    AddRowValues(table, {1.0, 2.0});
    AddRowValues(table, {-3.5, 4.0});
    const std::string path = dir.File("t.bin");
    table.Write(path, true);

    std::string expected;
    Append(expected, int32_t(2));
    AppendString(expected, "A");
    AppendString(expected, "BC");
    for (double v : {1.0, 2.0, -3.5, 4.0}) {
        Append(expected, v);
    }
    const std::string bytes = ReadWholeFile(path);
    EXPECT_EQ(bytes.size(), 47u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x02\x00\x00\x00", 4));
    EXPECT_EQ(bytes, expected);

    DataTable<double> back(5);
    bool wasBinary = false;
    ASSERT_TRUE(back.Read(path, &wasBinary));
    EXPECT_TRUE(wasBinary);
    EXPECT_EQ(back.GetColumnName(1), "BC");
    ASSERT_EQ(back.GetNumRows(), 2);
    EXPECT_EQ(back(1, 0), -3.5);
}

TEST(DataTableFileTest, BinaryFloatTableAndCutLastRow) {
    TempDir dir;
    DataTable<float> table(2);
    table.SetColumns({"X", "Y"});
    for (int i = 0; i < 2500; ++i) {  // more than one read chunk
        AddRowValues(table, {static_cast<float>(i), std::numeric_limits<float>::quiet_NaN()});
    }
    const std::string path = dir.File("f.bin");
    table.Write(path, true);
    std::string bytes = ReadWholeFile(path);
    EXPECT_EQ(bytes.size(), 4u + 5u + 5u + 2500u * 2u * 4u);

    WriteWholeFile(path, bytes.substr(0, bytes.size() - 3));
    DataTable<float> back(0);
    ASSERT_TRUE(back.Read(path, nullptr));
    ASSERT_EQ(back.GetNumRows(), 2499);
    EXPECT_EQ(back(2498, 0), 2498.0f);
    EXPECT_TRUE(back(2498, 1) != back(2498, 1));

    // Cut inside the names: the read fails and leaves the table cleared.
    WriteWholeFile(path, bytes.substr(0, 10));
    EXPECT_FALSE(back.Read(path, nullptr));
    EXPECT_EQ(back.GetNumColumns(), 0);
    EXPECT_EQ(back.GetNumRows(), 0);
}

// Wide tables go through both forms unchanged, and a reader takes storage by
// the rows that arrive: a header of a few KB over a short file must not cost
// megabytes. 525 doubles a row is where the writers' reserve reaches its cap;
// a row of 2100 doubles is longer than the first binary read.
TEST(DataTableFileTest, WideTablesReadBackExactlyWithStorageForTheRowsRead) {
    TempDir dir;
    struct Case {
        int columns;
        int rows;
    };
    const Case cases[] = {{525, 2}, {525, 40}, {2100, 7}};
    for (const Case& c : cases) {
        // Halves and signs within the six significant digits text keeps.
        const auto value = [](int r, int col) {
            return (col % 2 == 0 ? 0.5 : -0.5) * ((r * 7919 + col * 13) % 100000);
        };
        DataTable<double> table(c.columns);
        std::vector<std::string> names;
        for (int col = 0; col < c.columns; ++col) {
            names.push_back("Column" + std::to_string(col));
        }
        table.SetColumns(names);
        for (int r = 0; r < c.rows; ++r) {
            const int row = table.AddRow(false);
            for (int col = 0; col < c.columns; ++col) {
                table(row, col) = value(r, col);
            }
        }
        for (bool binary : {false, true}) {
            SCOPED_TRACE(std::to_string(c.rows) + " rows of " + std::to_string(c.columns) +
                         (binary ? " binary" : " text"));
            const std::string path = dir.File(binary ? "wide.bin" : "wide.txt");
            table.Write(path, binary);

            DataTable<double> back(0);
            bool wasBinary = !binary;
            ASSERT_TRUE(back.Read(path, &wasBinary));
            EXPECT_EQ(binary, wasBinary);
            ASSERT_EQ(c.columns, back.GetNumColumns());
            ASSERT_EQ(c.rows, back.GetNumRows());
            EXPECT_EQ(c.columns - 1, back.GetColumn("Column" + std::to_string(c.columns - 1)));
            int wrong = 0;
            for (int r = 0; r < c.rows; ++r) {
                for (int col = 0; col < c.columns; ++col) {
                    wrong += back(r, col) == value(r, col) ? 0 : 1;
                }
            }
            EXPECT_EQ(0, wrong);
            EXPECT_LE(back.GetRowCapacity(), 4 * (c.rows + 1));
        }
    }
}

TEST(DataTableFileTest, BinaryHeadersThatCannotBeTrustedAreRejected) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::vector<Case> cases;
    for (int32_t columns : {0, -1, INT32_MIN}) {
        std::string bytes;
        Append(bytes, columns);
        bytes += std::string(64, '\0');
        cases.push_back({"zero or negative columns", bytes});
    }
    {
        std::string bytes;
        Append(bytes, int32_t(60000));  // far more names than the data holds
        for (int i = 0; i < 10; ++i) {
            AppendString(bytes, "N");
        }
        cases.push_back({"huge column count", bytes});
    }
    for (int32_t length : {-5, INT32_MAX}) {
        std::string bytes;
        Append(bytes, int32_t(1));
        Append(bytes, length);
        bytes += "abc";
        cases.push_back({"bad name length", bytes});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataTable<double> table(3);
        table.AddRow(true);
        std::istringstream in(c.bytes, std::ios::in | std::ios::binary);
        EXPECT_FALSE(table.ReadBinary(in));
        EXPECT_EQ(table.GetNumColumns(), 0);
        EXPECT_EQ(table.GetNumRows(), 0);
    }

    // Through a file too: recognised as binary, then refused.
    TempDir dir;
    const std::string path = dir.File("zero.bin");
    WriteWholeFile(path, cases[0].bytes);
    DataTable<double> table(1);
    bool wasBinary = false;
    EXPECT_FALSE(table.Read(path, &wasBinary));
    EXPECT_TRUE(wasBinary);
}

TEST(DataTableFileTest, RecognisingBinaryFiles) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string content;
        bool binary;
    };
    std::string at65535;
    Append(at65535, int32_t(65535));
    std::string at65534;
    Append(at65534, int32_t(65534));
    const Case cases[] = {
        {"text header", "Frame\tUserID\n1\t2\n", false},
        {"first int32 is 65535", at65535, false},
        {"first int32 below 65535", at65534, true},
        {"short file fills the low bytes", "A\n", true},
        {"empty file", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("f");
        WriteWholeFile(path, c.content);
        EXPECT_EQ(DataTable<double>::IsBinaryFile(path), c.binary);
    }

    const std::string missing = dir.File("missing");
    EXPECT_TRUE(DataTable<double>::IsBinaryFile(missing));
    DataTable<double> table(2);
    table.AddRow(true);
    bool wasBinary = false;
    EXPECT_FALSE(table.Read(missing, &wasBinary));
    EXPECT_TRUE(wasBinary);
    EXPECT_EQ(table.GetNumColumns(), 2);
    EXPECT_EQ(table.GetNumRows(), 1);
}

TEST(DataTableFileTest, ProgressiveWritersAppendOnlyNewRows) {
    // One cursor serves every writer, so each kind is tried on its own table.
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        DataTable<double> table(2);
        table.SetColumns({"A", "B"});
        std::ostringstream out;
        const auto update = [&](int maxColumns) {
            if (binary) {
                table.UpdateProgressiveWriteBinary(out, maxColumns);
            } else {
                table.UpdateProgressiveWriteText(out, "\t", maxColumns);
            }
        };
        if (binary) {
            table.StartProgressiveWriteBinary(out, INT_MAX);
        } else {
            table.StartProgressiveWriteText(out, "\t", INT_MAX);
        }
        AddRowValues(table, {0.0, 1.0});
        AddRowValues(table, {10.0, 11.0});
        update(INT_MAX);
        const std::string afterTwoRows = out.str();

        // After ClearRows nothing is written until the rows pass the cursor,
        // and then only the rows from the cursor on.
        table.ClearRows();
        AddRowValues(table, {7.0, 8.0});
        update(INT_MAX);
        EXPECT_EQ(out.str(), afterTwoRows);
        AddRowValues(table, {20.0, 21.0});
        AddRowValues(table, {30.0, 31.0});
        update(1);

        std::string expected;
        if (binary) {
            Append(expected, int32_t(2));
            AppendString(expected, "A");
            AppendString(expected, "B");
            for (double v : {0.0, 1.0, 10.0, 11.0, 30.0}) {
                Append(expected, v);
            }
        } else {
            expected = "A\tB\n0\t1\n10\t11\n30\n";
        }
        EXPECT_EQ(out.str(), expected);
    }
}

TEST(DataTableFileTest, SummaryText) {
    DataTable<double> table(4);
    table.SetColumns({"U", "F", "A", "B"});
    AddRowValues(table, {1.0, 0.0, 1.0, 10.0});
    AddRowValues(table, {1.0, 1.0, 3.0, 20.0});

    std::ostringstream out;
    table.StartProgressiveWriteSummaryText(out, ",", INT_MAX);
    EXPECT_EQ(table.UpdateProgressiveWriteSummaryText(out, "clip", ",", INT_MAX), 2);
    EXPECT_EQ(table.UpdateProgressiveWriteSummaryText(out, "clip", ",", INT_MAX), 2);
    AddRowValues(table, {1.0, 2.0, 5.0, 30.0});
    EXPECT_EQ(table.UpdateProgressiveWriteSummaryText(out, "clip", ",", INT_MAX), 3);
    EXPECT_EQ(out.str(),
              "ClipName,A,,,B,,\n"
              ",Average,Max,Min,Average,Max,Min\n"
              "clip,2,3,1,15,20,10\n"
              "clip,5,5,5,30,30,30\n");

    std::ostringstream limited;
    EXPECT_EQ(table.WriteSummaryText(limited, "c", true, ",", 3), 3);
    EXPECT_EQ(limited.str(), "ClipName,A,,,\n,Average,Max,Min,\nc,3,5,1\n");
    std::ostringstream noHeader;
    EXPECT_EQ(table.WriteSummaryText(noHeader, "c", false, ",", 3), 3);
    EXPECT_EQ(noHeader.str(), "c,3,5,1\n");
}

}  // namespace
