#pragma once

// A numeric table with named columns and a growing number of rows, kept in
// one row-major block: the container of the development outputs (joint
// tables, ground truth, per-frame calibration results). It writes and reads
// tab-separated text and a raw binary form, tells the two apart, and writes a
// summary of running averages, maxima and minima.
//
// Binary file: int32 column count n, n names (int32 length and bytes), then
// the values row by row; no row count and no element type, so a file is read
// back by a table of the same value width.

#include <cstdint>
#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Array.h"

namespace vela_datatable {

// An Array whose element count the table sets itself: the values in use are
// rows x columns, which growing copies.
template <typename T>
class Storage : public Array<T> {
public:
    void SetSize(int size) { this->m_nSize = size; }
};

}  // namespace vela_datatable

template <typename T>
class DataTable {
public:
    explicit DataTable(int columns);
    ~DataTable();

    // Layout. A column count equal to the current one changes nothing (rows,
    // names and values stay); any other count names the columns COL0, COL1...
    // and drops the rows.
    void Initialize(int columns);
    void Clear();
    void ClearRows();
    void SetColumns(const std::vector<std::string>& names);
    void SetColumnName(int column, const std::string& name);
    // Inserts count columns named NEWCOL0, NEWCOL1... before column at.
    void InsertColumns(int at, int count, bool zeroFill);
    void AddColumns(int count, bool zeroFill);
    void InsertColumn(int at, const std::string& name, bool zeroFill);
    void AddColumn(const std::string& name, bool zeroFill);
    // Rebuilds the name-to-index map; a repeated name keeps its first column.
    void ColumnNamesChanged();

    // Rows. New rows are not cleared unless zeroFill is set.
    void SetNumRows(int rows);
    void AddRows(int count, bool zeroFill);
    int AddRow(bool zeroFill);
    void EnsureRowCapacity(int rows);
    // Whole rows the storage holds before it must grow.
    int GetRowCapacity() const { return GetNumColumns() > 0 ? m_values.Capacity() / GetNumColumns() : 0; }
    int GetNumRows() const { return m_nRows; }
    int GetNumColumns() const { return m_columnNames.Size(); }
    const std::string& GetColumnName(int column) const { return m_columnNames[column]; }
    T* GetRowData(int row) { return m_values.Data() + static_cast<int64_t>(row) * m_nStride; }
    const T* GetRowData(int row) const { return m_values.Data() + static_cast<int64_t>(row) * m_nStride; }
    // Copies as many values as the source has columns.
    static void CopyRow(const DataTable& source, int sourceRow, DataTable& target, int targetRow);

    // Cells. Name-based access requires an existing name: a missing one ends
    // the process with a message rather than touching a wrong cell.
    T& operator()(int row, int column) { return GetRowData(row)[column]; }
    const T& operator()(int row, int column) const { return GetRowData(row)[column]; }
    T& operator()(int row, const std::string& name) { return (*this)(row, GetColumnNoCheck(name)); }
    const T& operator()(int row, const std::string& name) const { return (*this)(row, GetColumnNoCheck(name)); }
    void SetValue(int row, int column, T value) { (*this)(row, column) = value; }
    void SetValue(int row, int column, const Vector2D<T>& value);
    void SetValue(int row, int column, const Vector3D<T>& value);
    void SetValue(int row, const std::string& name, T value) { SetValue(row, GetColumnNoCheck(name), value); }
    void SetValue(int row, const std::string& name, const Vector2D<T>& value) {
        SetValue(row, GetColumnNoCheck(name), value);
    }
    void SetValue(int row, const std::string& name, const Vector3D<T>& value) {
        SetValue(row, GetColumnNoCheck(name), value);
    }
    // out = whether the value differs from 0 (NaN does); always true.
    bool GetValue(int row, int column, bool& out) const;
    // -1 when no column has the name.
    int GetColumn(const std::string& name) const;
    int GetColumnNoCheck(const std::string& name) const;
    void ScaleColumn(int column, T factor);
    void ScaleColumn(const std::string& name, T factor);

    // Files. maxColumns limits output to the first min(maxColumns, columns)
    // columns. Writers report nothing; an unopenable file writes nothing.
    static bool IsBinaryFile(const std::string& path);
    void Write(const std::string& path, bool binary) const;
    // False when the file cannot be opened (table unchanged) or cannot be
    // read (table cleared).
    bool Read(const std::string& path, bool* wasBinary);
    bool ReadText(std::istream& in);
    bool ReadBinary(std::istream& in);

    // Progressive writers: a start writes the header and resets the cursor;
    // each update appends the rows added since.
    void StartProgressiveWriteText(std::ostream& out, const std::string& separator, int maxColumns) const;
    void UpdateProgressiveWriteText(std::ostream& out, const std::string& separator, int maxColumns) const;
    void WriteText(std::ostream& out, const std::string& separator, int maxColumns) const;
    void StartProgressiveWriteBinary(std::ostream& out, int maxColumns) const;
    void UpdateProgressiveWriteBinary(std::ostream& out, int maxColumns) const;
    void WriteBinary(std::ostream& out, int maxColumns) const;
    // Summary of columns 2 onward (0 and 1 hold the user id and the frame).
    void StartProgressiveWriteSummaryText(std::ostream& out, const std::string& separator, int maxColumns) const;
    int UpdateProgressiveWriteSummaryText(std::ostream& out, const std::string& clipName, const std::string& separator,
                                          int maxColumns) const;
    int WriteSummaryText(std::ostream& out, const std::string& clipName, bool writeHeader,
                         const std::string& separator, int maxColumns) const;

private:
    // reserveRows false: without the writers' initial row reserve.
    void Initialize(int columns, bool reserveRows);
    void SetColumns(const std::vector<std::string>& names, bool reserveRows);
    int WrittenColumns(int maxColumns) const;
    void WriteTextRow(std::ostream& out, int row, const std::string& separator, int columns) const;

    vela_datatable::Storage<std::string> m_columnNames;
    std::map<std::string, int> m_columnMap;
    vela_datatable::Storage<T> m_values;
    int m_nRows;
    int m_nStride;
    mutable int m_nWrittenRows;
};

extern template class DataTable<double>;
extern template class DataTable<float>;
