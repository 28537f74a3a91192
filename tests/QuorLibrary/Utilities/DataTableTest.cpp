#include "QuorLibrary/Utilities/DataTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const DataTable<double>& table) {
    std::vector<std::string> names;
    for (int c = 0; c < table.GetNumColumns(); ++c) {
        names.push_back(table.GetColumnName(c));
    }
    return names;
}

// Rows r hold r * 10 + c in column c.
void FillRows(DataTable<double>& table, int rows) {
    for (int i = 0; i < rows; ++i) {
        const int r = table.AddRow(false);
        for (int c = 0; c < table.GetNumColumns(); ++c) {
            table(r, c) = r * 10 + c;
        }
    }
}

TEST(DataTableTest, NewTableAndUnchangedInitialize) {
    DataTable<double> table(3);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"COL0", "COL1", "COL2"}));
    EXPECT_EQ(table.GetNumRows(), 0);

    table.SetColumnName(1, "Y");
    FillRows(table, 4);
    table.Initialize(3);
    EXPECT_EQ(table.GetNumRows(), 4);
    EXPECT_EQ(table.GetColumnName(1), "Y");
    EXPECT_EQ(table(3, 2), 32.0);

    table.Initialize(2);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"COL0", "COL1"}));
    EXPECT_EQ(table.GetNumRows(), 0);

    table.Clear();
    EXPECT_EQ(table.GetNumColumns(), 0);
    EXPECT_EQ(table.GetNumRows(), 0);
}

TEST(DataTableTest, AddRowReturnsIndicesAndZeroFillClearsReusedStorage) {
    DataTable<float> table(2);
    for (int i = 0; i < 3; ++i) {
        const int r = table.AddRow(false);
        table(r, 0) = 5.0f;
        table(r, 1) = std::numeric_limits<float>::quiet_NaN();
    }
    table.ClearRows();
    // The storage still holds the old values; zero fill must clear them.
    for (int expected = 0; expected < 3; ++expected) {
        EXPECT_EQ(table.AddRow(true), expected);
        EXPECT_EQ(table(expected, 0), 0.0f);
        EXPECT_EQ(table(expected, 1), 0.0f);
    }
}

TEST(DataTableTest, ColumnLookupKeepsTheFirstOfRepeatedNames) {
    DataTable<double> table(3);
    table.SetColumns({"X", "Y", "X"});
    EXPECT_EQ(table.GetColumn("X"), 0);
    EXPECT_EQ(table.GetColumn("Y"), 1);
    EXPECT_EQ(table.GetColumn("Z"), -1);

    // Same count: renamed, rows kept.
    FillRows(table, 2);
    table.SetColumns({"A", "B", "C"});
    EXPECT_EQ(table.GetNumRows(), 2);
    EXPECT_EQ(table.GetColumn("C"), 2);
    EXPECT_EQ(table.GetColumn("X"), -1);
    EXPECT_EQ(table(1, "B"), 11.0);
}

TEST(DataTableTest, InsertColumnsMovesValues) {
    DataTable<double> table(3);
    FillRows(table, 3);
    table.InsertColumn(1, "Q", true);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"COL0", "Q", "COL1", "COL2"}));
    EXPECT_EQ(table.GetColumn("Q"), 1);
    EXPECT_EQ(table.GetColumn("COL2"), 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(table(r, 0), r * 10 + 0);
        EXPECT_EQ(table(r, 1), 0.0);
        EXPECT_EQ(table(r, 2), r * 10 + 1);
        EXPECT_EQ(table(r, 3), r * 10 + 2);
    }

    table.InsertColumns(0, 2, true);
    table.AddColumn("Last", true);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"NEWCOL0", "NEWCOL1", "COL0", "Q", "COL1", "COL2", "Last"}));
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(table(r, 2), r * 10 + 0);
        EXPECT_EQ(table(r, 5), r * 10 + 2);
        EXPECT_EQ(table(r, 6), 0.0);
    }

    // Rows added afterwards use the new layout.
    const int r = table.AddRow(true);
    table.SetValue(r, "Last", 7.0);
    EXPECT_EQ(table.GetRowData(r)[6], 7.0);
}

TEST(DataTableTest, RowsSurviveGrowthPastTheReserve) {
    DataTable<double> table(2);
    FillRows(table, 9000);
    table.EnsureRowCapacity(20000);
    FillRows(table, 100);
    ASSERT_EQ(table.GetNumRows(), 9100);
    for (int r : {0, 7999, 8000, 8999, 9099}) {
        EXPECT_EQ(table(r, 1), r * 10 + 1);
    }
}

TEST(DataTableTest, CellOperations) {
    DataTable<double> table(5);
    table.SetColumns({"Frame", "P", "P", "P", "S"});
    const int r = table.AddRow(true);
    table.SetValue(r, "S", std::numeric_limits<double>::quiet_NaN());
    table.SetValue(r, "P", Vector3D<double>(1.0, 2.0, 3.0));
    table.SetValue(r, 3, Vector2D<double>(-3.0, 4.0));
    EXPECT_EQ(table(r, 1), 1.0);
    EXPECT_EQ(table(r, 2), 2.0);
    EXPECT_EQ(table(r, 3), -3.0);
    EXPECT_EQ(table(r, 4), 4.0);

    bool nonZero = true;
    EXPECT_TRUE(table.GetValue(r, 0, nonZero));
    EXPECT_FALSE(nonZero);
    table.SetValue(r, 0, 0.0);
    table.SetValue(r, "Frame", 0.5);
    EXPECT_TRUE(table.GetValue(r, 0, nonZero));
    EXPECT_TRUE(nonZero);

    table.ScaleColumn("P", 2.0);
    table.ScaleColumn("Missing", 100.0);
    EXPECT_EQ(table(r, 1), 2.0);
    EXPECT_EQ(table(r, 2), 2.0);

    DataTable<double> target(6);
    target.AddRow(true);
    target.AddRow(true);
    DataTable<double>::CopyRow(table, r, target, 1);
    EXPECT_EQ(target(1, 3), -3.0);
    EXPECT_EQ(target(1, 5), 0.0);
    EXPECT_EQ(target(0, 1), 0.0);
}

TEST(DataTableDeathTest, MissingColumnNameEndsTheProcess) {
    DataTable<double> table(2);
    table.AddRow(true);
    EXPECT_EXIT(table.SetValue(0, "Nope", 1.0), testing::ExitedWithCode(1),
                "FATAL ERROR: DataTable: no column named 'Nope'");
}

}  // namespace
