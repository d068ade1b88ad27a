#include "qebgeolib/voziza/detail/landmarkindex.h"

#include <algorithm>
#include <cmath>

#include "qebgeolib/voziza/landmarks.h"

namespace qeb::detail {

namespace {

// About two landmarks a cell keeps both the grid and the visits small; the
// side limit bounds the grid for lists spread thinly over a huge extent.
constexpr double kPerCell = 2;
constexpr int32_t kMaxSide = 4096;

bool Finite(const TLandMark& LM) {
  return std::isfinite(LM.Latitude) && std::isfinite(LM.Longitude);
}

void SetBit(std::vector<uint64_t>& Marks, std::size_t I) {
  Marks[I >> 6] |= uint64_t(1) << (I & 63);
}

} // namespace

int32_t TLandMarkIndex::CellOf(double V, double Lo, double Scale, int32_t Count) const {
  const double C = (V - Lo) * Scale;
  if (!(C >= 0)) return 0; // also NaN
  if (C >= double(Count - 1)) return Count - 1;
  return int32_t(C);
}

void TLandMarkIndex::Build(std::span<const TLandMark> List) {
  FOdd.clear();
  double LatLo = INFINITY, LatHi = -INFINITY, LongLo = INFINITY, LongHi = -INFINITY;
  std::size_t NumFinite = 0;
  for (std::size_t I = 0; I < List.size(); ++I) {
    const TLandMark& LM = List[I];
    if (!Finite(LM)) {
      FOdd.push_back(uint32_t(I));
      continue;
    }
    ++NumFinite;
    LatLo = std::min(LatLo, LM.Latitude);
    LatHi = std::max(LatHi, LM.Latitude);
    LongLo = std::min(LongLo, LM.Longitude);
    LongHi = std::max(LongHi, LM.Longitude);
  }
  FRows = FCols = 1;
  FLatLo = NumFinite ? LatLo : 0;
  FLongLo = NumFinite ? LongLo : 0;
  const double LatSpan = NumFinite ? LatHi - LatLo : 0, LongSpan = NumFinite ? LongHi - LongLo : 0;
  const double Cells = std::max(1.0, double(NumFinite) / kPerCell);
  // Square cells in degrees where both spans allow it; a span that is zero
  // (or overflows) gets one cell across.
  if (LatSpan > 0 && LongSpan > 0 && std::isfinite(LatSpan) && std::isfinite(LongSpan)) {
    const double Side = std::sqrt(LatSpan * LongSpan / Cells);
    FRows = int32_t(std::clamp(std::ceil(LatSpan / Side), 1.0, double(kMaxSide)));
    FCols = int32_t(std::clamp(std::ceil(LongSpan / Side), 1.0, double(kMaxSide)));
  } else if (LatSpan > 0 && std::isfinite(LatSpan)) {
    FRows = int32_t(std::clamp(Cells, 1.0, double(kMaxSide)));
  } else if (LongSpan > 0 && std::isfinite(LongSpan)) {
    FCols = int32_t(std::clamp(Cells, 1.0, double(kMaxSide)));
  }
  FLatScale = FRows > 1 ? FRows / LatSpan : 0;
  FLongScale = FCols > 1 ? FCols / LongSpan : 0;

  const std::size_t NumCells = std::size_t(FRows) * std::size_t(FCols);
  FStart.assign(NumCells + 1, 0);
  auto Cell = [&](const TLandMark& LM) {
    return std::size_t(CellOf(LM.Latitude, FLatLo, FLatScale, FRows)) * std::size_t(FCols) +
           std::size_t(CellOf(LM.Longitude, FLongLo, FLongScale, FCols));
  };
  for (const TLandMark& LM : List)
    if (Finite(LM)) ++FStart[Cell(LM) + 1];
  for (std::size_t C = 0; C < NumCells; ++C)
    FStart[C + 1] += FStart[C];
  FItems.resize(NumFinite);
  std::vector<uint32_t> Fill(FStart.begin(), FStart.end() - 1);
  for (std::size_t I = 0; I < List.size(); ++I)
    if (Finite(List[I])) FItems[Fill[Cell(List[I])]++] = uint32_t(I);
  FBuiltFor = List.size();
  FValid = true;
}

std::span<const uint64_t> TLandMarkIndex::MarkBox(std::span<const TLandMark> List, double LatLo,
                                                  double LatHi, double LongLo, double LongHi) {
  if (!FValid || FBuiltFor != List.size()) Build(List);
  std::vector<uint64_t>& Marks = FMarks;
  Marks.assign((List.size() + 63) / 64, 0);
  if (std::isnan(LatLo) || std::isnan(LatHi) || std::isnan(LongLo) || std::isnan(LongHi)) {
    // No box to speak of: everything is a candidate.
    for (std::size_t I = 0; I < List.size(); ++I)
      SetBit(Marks, I);
    return Marks;
  }
  for (uint32_t I : FOdd)
    SetBit(Marks, I);
  if (LatLo > LatHi || LongLo > LongHi) return Marks;
  const int32_t R0 = CellOf(LatLo, FLatLo, FLatScale, FRows),
                R1 = CellOf(LatHi, FLatLo, FLatScale, FRows);
  const int32_t C0 = CellOf(LongLo, FLongLo, FLongScale, FCols),
                C1 = CellOf(LongHi, FLongLo, FLongScale, FCols);
  for (int32_t R = R0; R <= R1; ++R) {
    const std::size_t Row = std::size_t(R) * std::size_t(FCols);
    for (uint32_t K = FStart[Row + std::size_t(C0)]; K < FStart[Row + std::size_t(C1) + 1]; ++K) {
      const uint32_t I = FItems[K];
      const TLandMark& LM = List[I];
      if (LM.Latitude >= LatLo && LM.Latitude <= LatHi && LM.Longitude >= LongLo &&
          LM.Longitude <= LongHi)
        SetBit(Marks, I);
    }
  }
  return Marks;
}

} // namespace qeb::detail
