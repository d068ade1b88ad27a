// Dense matrix of doubles for design matrices and parameter tables, addressed
// (column, row) from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qeb {

// Elements are stored contiguously, row after row. GetVal and SetVal check
// their indexes only in builds without NDEBUG, where an index outside
// 1..NrOfColumns() or 1..NrOfRows() throws std::out_of_range; release builds
// trust the caller.
class TMatrix {
public:
  TMatrix() = default;
  TMatrix(int32_t Columns, int32_t Rows) { Resize(Columns, Rows); }

  // Cells present in both the old and the new shape keep their values, new
  // cells are 0. A negative count is taken as 0; a shape too large to
  // allocate throws std::bad_alloc or std::length_error and keeps the matrix.
  void Resize(int32_t Columns, int32_t Rows);
  void Fill(double V);
  // Makes this matrix an equal copy of Source (shape and values).
  void Clone(const TMatrix& Source);

  int32_t NrOfColumns() const { return FColumns; }
  int32_t NrOfRows() const { return FRows; }

  double GetVal(int32_t Column, int32_t Row) const { return FData[Offset(Column, Row)]; }
  void SetVal(int32_t Column, int32_t Row, double V) { FData[Offset(Column, Row)] = V; }

private:
  size_t Offset(int32_t Column, int32_t Row) const {
#ifndef NDEBUG
    if (Column < 1 || Column > FColumns || Row < 1 || Row > FRows) IndexError(Column, Row);
#endif
    return static_cast<size_t>(Row - 1) * static_cast<size_t>(FColumns) +
           static_cast<size_t>(Column - 1);
  }
  [[noreturn]] void IndexError(int32_t Column, int32_t Row) const;

  std::vector<double> FData;
  int32_t FColumns = 0;
  int32_t FRows = 0;
};

} // namespace qeb
