#include "qebgeolib/companion/mathlib/matrix.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace qeb {

void TMatrix::Resize(int32_t Columns, int32_t Rows) {
  Columns = std::max(Columns, 0);
  Rows = std::max(Rows, 0);
  if (Columns == FColumns && Rows == FRows) return;
  // Computed in 64 bits: on 32-bit hosts the product can exceed size_t.
  const uint64_t Count = static_cast<uint64_t>(Columns) * static_cast<uint64_t>(Rows);
  if (Count > FData.max_size()) throw std::length_error("TMatrix: matrix too large");
  std::vector<double> Data(static_cast<size_t>(Count), 0.0);
  const int32_t KeepC = std::min(Columns, FColumns);
  const int32_t KeepR = std::min(Rows, FRows);
  for (int32_t R = 0; R < KeepR; ++R)
    std::copy_n(FData.begin() + static_cast<ptrdiff_t>(R) * FColumns, KeepC,
                Data.begin() + static_cast<ptrdiff_t>(R) * Columns);
  FData = std::move(Data);
  FColumns = Columns;
  FRows = Rows;
}

void TMatrix::Fill(double V) {
  std::fill(FData.begin(), FData.end(), V);
}

void TMatrix::Clone(const TMatrix& Source) {
  if (this != &Source) *this = Source;
}

void TMatrix::IndexError(int32_t Column, int32_t Row) const {
  throw std::out_of_range("TMatrix: element (" + std::to_string(Column) + ", " +
                          std::to_string(Row) + ") outside " + std::to_string(FColumns) +
                          " columns x " + std::to_string(FRows) + " rows");
}

} // namespace qeb
