// The landmark list of the map control: additions and removals offered to
// OnLandMarkAction, the capacity rule, access, visibility and highlight; and
// the landmark pass of the rendering with the highlighted landmark.
#include <algorithm>
#include <bit>
#include <cmath>
#include <new>
#include <stdexcept>

#include "qebgeolib/voziza/view.h"

namespace qeb {

namespace {

constexpr int32_t kCapacityStep = 1000;

// Class arguments outside -1..255 mean every class.
int32_t NormalClass(int32_t ClassFlag) {
  return ClassFlag < -1 || ClassFlag > 255 ? -1 : ClassFlag;
}

bool ClassMatches(const TLandMark& LM, int32_t ClassFlag) {
  return ClassFlag == -1 || LM.ClassFlag == ClassFlag;
}

double SquaredDistance(const TLandMark& LM, double Lat, double Long) {
  const double DLat = LM.Latitude - Lat, DLong = LM.Longitude - Long;
  return DLat * DLat + DLong * DLong;
}

// A number in [0, 1) fixed by the landmark's position and identifier: the
// sampling of the pass compares it with the display probability, so a view
// always shows the same landmarks and a higher probability only adds some.
double SampleValue(const TLandMark& LM) {
  uint64_t H = std::bit_cast<uint64_t>(LM.Latitude) * 0x9E3779B97F4A7C15ull;
  H ^= std::rotl(std::bit_cast<uint64_t>(LM.Longitude), 29) + 0xD1B54A32D192ED03ull;
  for (char C : LM.Identifier.Bytes())
    H = (H ^ uint8_t(C)) * 0x100000001B3ull;
  // splitmix64 finaliser
  H ^= H >> 30;
  H *= 0xBF58476D1CE4E5B9ull;
  H ^= H >> 27;
  H *= 0x94D049BB133111EBull;
  H ^= H >> 31;
  return double(H >> 11) * 0x1.0p-53;
}

// Visits the set bits of Marks in ascending order.
template <class F> void ForEachMarked(std::span<const uint64_t> Marks, F&& Visit) {
  for (std::size_t W = 0; W < Marks.size(); ++W)
    for (uint64_t Bits = Marks[W]; Bits != 0; Bits &= Bits - 1)
      Visit(W * 64 + std::size_t(std::countr_zero(Bits)));
}

} // namespace

// ---- The list and its capacity.

void TVozIza::LandMarkMemoryError() const {
  CalibError(": insufficient memory");
}

void TVozIza::ResetLandMarkList() {
  std::vector<TLandMark> Fresh;
  try {
    Fresh.reserve(kCapacityStep);
  } catch (const std::bad_alloc&) {
    LandMarkMemoryError();
  }
  FLandMarks.swap(Fresh);
  FLMCapacity = kCapacityStep;
  LandMarksChanged();
}

// The list's capacity grows in steps of 1000, but its storage grows by half
// at a time where memory allows: a list of a million landmarks would
// otherwise be moved a thousand times while it is read.
void TVozIza::ReserveOneMoreLandMark() {
  const int64_t N = int64_t(FLandMarks.size()) + 1;
  if (N <= FLMCapacity) return;
  const int64_t Cap = ((N - 1) / kCapacityStep + 1) * kCapacityStep;
  if (Cap > INT32_MAX) LandMarkMemoryError();
  if (std::size_t(Cap) > FLandMarks.capacity()) {
    const std::size_t Ample =
        std::max<std::size_t>(std::size_t(Cap), FLandMarks.capacity() * 3 / 2);
    try {
      FLandMarks.reserve(Ample);
    } catch (const std::exception&) { // bad_alloc, length_error
      try {
        FLandMarks.reserve(std::size_t(Cap));
      } catch (const std::exception&) {
        LandMarkMemoryError();
      }
    }
  }
  FLMCapacity = int32_t(Cap);
}

void TVozIza::AppendLandMark(const TLandMark& LM) {
  ReserveOneMoreLandMark();
  FLandMarks.push_back(LM); // within the reserved storage: only the font name may allocate
  LandMarksChanged();
}

bool TVozIza::LandMarkActionAllowed(TLandMarkAction Action, const TLandMark& LM) {
  bool Allowed = true;
  if (FOnLMAction) FOnLMAction(this, Allowed, Action, LM);
  return Allowed;
}

// ---- Adding.

void TVozIza::AddLandMark(double Lat, double Long, double Altitude, TLandMarkElement Element,
                          uint8_t ClassFlag, std::string_view Identifier, TDateTime Time,
                          int32_t Tag, TColor ColorFG, TColor ColorBG, int32_t Size,
                          bool Transparent, int32_t Direction, int32_t Length) {
  TLandMark LM = FDefaultLM;
  LM.Latitude = Lat;
  LM.Longitude = Long;
  LM.Altitude = Altitude;
  LM.ClassFlag = ClassFlag;
  LM.Identifier = TLMIdentifier::FromString(Identifier);
  LM.Time = Time;
  LM.Tag = Tag;
  LM.SymbolProps = {Element, Size, ColorFG, ColorBG, Transparent, Direction, Length};
  if (!LandMarkActionAllowed(lmaAdd, LM)) return;
  AppendLandMark(LM);
  Paint();
}

namespace {

// The fields the shorter forms of AddLandMark take from their arguments.
struct TAddArgs {
  double Lat, Long, Altitude;
  const std::string_view* Identifier = nullptr;
  TDateTime Time = 0;
  const std::string_view* CaptionText = nullptr;
  int32_t CaptionSize = 0;
  TColor CaptionColor = 0;
};

TLandMark BuildLandMark(const TLandMark& Template, const TAddArgs& A) {
  TLandMark LM = Template;
  LM.Latitude = A.Lat;
  LM.Longitude = A.Long;
  LM.Altitude = A.Altitude;
  if (A.Identifier) {
    LM.Identifier = TLMIdentifier::FromString(*A.Identifier);
    LM.Time = A.Time;
  }
  if (A.CaptionText) {
    LM.Caption.Text = TLMText::FromString(*A.CaptionText);
    LM.Caption.Size = A.CaptionSize;
    LM.Caption.FGColor = A.CaptionColor;
  }
  return LM;
}

} // namespace

void TVozIza::AddLandMark(double Lat, double Long, double Altitude) {
  AddLandMark(BuildLandMark(FDefaultLM, {Lat, Long, Altitude}));
}

void TVozIza::AddLandMark(double Lat, double Long, double Altitude, std::string_view Identifier,
                          TDateTime Time) {
  AddLandMark(BuildLandMark(FDefaultLM, {Lat, Long, Altitude, &Identifier, Time}));
}

void TVozIza::AddLandMark(double Lat, double Long, double Altitude, std::string_view CaptionText,
                          int32_t CaptionSize, TColor CaptionColor) {
  AddLandMark(BuildLandMark(
      FDefaultLM, {Lat, Long, Altitude, nullptr, 0, &CaptionText, CaptionSize, CaptionColor}));
}

void TVozIza::AddLandMark(double Lat, double Long, double Altitude, std::string_view Identifier,
                          TDateTime Time, std::string_view CaptionText, int32_t CaptionSize,
                          TColor CaptionColor) {
  AddLandMark(BuildLandMark(FDefaultLM, {Lat, Long, Altitude, &Identifier, Time, &CaptionText,
                                         CaptionSize, CaptionColor}));
}

void TVozIza::AddLandMark(const TLandMark& LM) {
  if (!LandMarkActionAllowed(lmaAdd, LM)) return;
  AppendLandMark(LM);
  Paint();
}

// ---- Finding and removing.

int32_t TVozIza::FindLandMark(double Lat, double Long, int32_t ClassFlag) const {
  ClassFlag = NormalClass(ClassFlag);
  double Best = 1e10;
  int32_t Result = 0;
  for (std::size_t I = 0; I < FLandMarks.size(); ++I) {
    const TLandMark& LM = FLandMarks[I];
    if (!ClassMatches(LM, ClassFlag)) continue;
    const double D = SquaredDistance(LM, Lat, Long);
    if (D < Best) {
      Best = D;
      Result = int32_t(I + 1);
    }
  }
  return Result;
}

void TVozIza::RemoveLandMarkAt(int32_t Index) {
  const std::size_t K = std::size_t(Index - 1);
  if (K + 1 < FLandMarks.size()) FLandMarks[K] = std::move(FLandMarks.back());
  FLandMarks.pop_back();
  LandMarksChanged();
}

void TVozIza::EndRemoval() {
  if (FLandMarks.empty()) ResetLandMarkList();
  Paint();
}

int32_t TVozIza::RemoveLandMark(int32_t LmIndex) {
  if (FLandMarks.empty()) return 0;
  FHighLM = 0;
  int32_t Result = 0;
  if (LmIndex >= 1 && LmIndex <= GetNumLandMarks() &&
      LandMarkActionAllowed(lmaRemove, FLandMarks[std::size_t(LmIndex - 1)])) {
    RemoveLandMarkAt(LmIndex);
    Result = LmIndex;
  }
  EndRemoval();
  return Result;
}

int32_t TVozIza::RemoveLandMark(double Lat, double Long, int32_t ClassFlag) {
  if (FLandMarks.empty()) return 0;
  FHighLM = 0;
  const int32_t Found = FindLandMark(Lat, Long, ClassFlag);
  int32_t Result = 0;
  if (Found != 0 && LandMarkActionAllowed(lmaRemove, FLandMarks[std::size_t(Found - 1)])) {
    RemoveLandMarkAt(Found);
    Result = Found;
  }
  EndRemoval();
  return Result;
}

void TVozIza::RemoveLastLandMark() {
  if (FLandMarks.empty()) return;
  FHighLM = 0;
  if (LandMarkActionAllowed(lmaRemove, FLandMarks.back())) RemoveLandMarkAt(GetNumLandMarks());
  EndRemoval();
}

int32_t TVozIza::RemoveLandMarksWhere(int32_t ClassFlag,
                                      const std::function<bool(const TLandMark&)>& Inside) {
  if (FLandMarks.empty()) return 0;
  FHighLM = 0;
  // Every candidate is offered while the list is still as it was; the
  // removal itself follows in one compaction.
  const std::size_t N = FLandMarks.size();
  std::vector<bool> Marked(N, false);
  int32_t Removed = 0;
  for (std::size_t I = 0; I < N; ++I) {
    const TLandMark& LM = FLandMarks[I];
    if (ClassMatches(LM, ClassFlag) && Inside(LM) && LandMarkActionAllowed(lmaRemove, LM)) {
      Marked[I] = true;
      ++Removed;
    }
  }
  if (std::size_t(Removed) == N) {
    FLandMarks.clear();
  } else if (Removed > 0) {
    // The lowest marked slot takes the highest unmarked landmark, and so on
    // inwards: survivors below the first removal keep their places.
    std::size_t I = 0, J = N - 1;
    while (true) {
      while (I < N && !Marked[I])
        ++I;
      while (J > 0 && Marked[J])
        --J;
      if (I >= J) break;
      FLandMarks[I] = std::move(FLandMarks[J]);
      Marked[I] = false;
      Marked[J] = true;
    }
    FLandMarks.resize(N - std::size_t(Removed));
  }
  if (Removed > 0) LandMarksChanged();
  EndRemoval();
  return Removed;
}

int32_t TVozIza::RemoveLandMark(double Lat, double Long, int32_t ClassFlag, double Radius) {
  const double R2 = Radius * Radius;
  return RemoveLandMarksWhere(NormalClass(ClassFlag), [&](const TLandMark& LM) {
    return SquaredDistance(LM, Lat, Long) < R2;
  });
}

int32_t TVozIza::RemoveLandMark(const TRectDouble& Rect, int32_t ClassFlag) {
  return RemoveLandMarksWhere(NormalClass(ClassFlag), [&](const TLandMark& LM) {
    return LM.Longitude > Rect.Left && LM.Longitude < Rect.Right && LM.Latitude > Rect.Bottom &&
           LM.Latitude < Rect.Top;
  });
}

void TVozIza::RemoveAllLandMarks(uint8_t ClassFlag) {
  RemoveLandMarksWhere(ClassFlag, [](const TLandMark&) { return true; });
}

void TVozIza::RemoveAllLandMarks() {
  ResetLandMarkList();
  Paint();
}

// ---- Access.

const TLandMark& TVozIza::GetLandMarkData(int32_t Index) const {
  static const TLandMark None;
  return Index >= 1 && Index <= GetNumLandMarks() ? FLandMarks[std::size_t(Index - 1)] : None;
}

void TVozIza::SetLandMarkData(int32_t Index, const TLandMark& Value) {
  if (Index < 1 || Index > GetNumLandMarks()) return;
  FLandMarks[std::size_t(Index - 1)] = Value;
  LandMarksChanged();
  Paint();
}

void TVozIza::SetLMClassVisible(uint8_t ClassFlag, bool Value) {
  FLMClassVisible[ClassFlag] = Value;
  Paint();
}

void TVozIza::SetHighLightLandMark(int32_t Value) {
  if (Value < 0 || Value > GetNumLandMarks()) Value = 0;
  Store(FHighLM, Value);
}

void TVozIza::SetHighLightProperties(TColor ColorFG, TColor ColorBG, bool Transparent) {
  FHighLMColFG = ColorFG;
  FHighLMColBG = ColorBG;
  FHighLMTrans = Transparent;
  Paint();
}

void TVozIza::SetLMRandomDisplayThreshold(int32_t Value) {
  if (Value > 1000) Store(FLMRandSampleLimit, Value);
}

void TVozIza::AssignLandMarks(const TVozIza& Src) {
  std::vector<TLandMark> Copy;
  const int32_t N = Src.GetNumLandMarks();
  const int32_t Cap = N == 0 ? kCapacityStep : ((N - 1) / kCapacityStep + 1) * kCapacityStep;
  try {
    Copy.reserve(std::size_t(Cap));
    Copy = Src.FLandMarks; // keeps the reserved storage: it is large enough
  } catch (const std::bad_alloc&) {
    LandMarkMemoryError();
  }
  FLandMarks.swap(Copy);
  FLMCapacity = Cap;
  FDefaultLM = Src.FDefaultLM;
  FLMClassVisible = Src.FLMClassVisible;
  FLMRandSampleLimit = Src.FLMRandSampleLimit;
  LandMarksChanged();
}

// ---- The landmark pass.

bool TVozIza::LandMarkToView(const TLandMark& LM, TPoint& P) const {
  int32_t X = 0, Y = 0;
  if (!CalcPixelCoords(LM.Latitude, LM.Longitude, X, Y)) return false;
  P = MapImageToControl(TPoint{X, Y});
  return true;
}

TCoords TVozIza::ControlToLatLong(int32_t X, int32_t Y, bool& Valid) const {
  const TPoint I = ControlToMapImage(TPoint{X, Y});
  bool VLat = false, VLong = false;
  const TCoords C{CalcLatitude(I, VLat), CalcLongitude(I, VLong)};
  Valid = VLat && VLong && std::isfinite(C.Latit) && std::isfinite(C.Longit);
  return C;
}

double TVozIza::LandMarkDisplayProbability(const TViewPort& View) {
  if (FLMRandSampleLimit >= GetNumLandMarks()) return 1;
  const int32_t W = View.Width, H = View.Height;
  bool Valid = false;
  const TCornerArray Q = {ControlToLatLong(0, 0, Valid), ControlToLatLong(0, H, Valid),
                          ControlToLatLong(W, H, Valid), ControlToLatLong(W, 0, Valid)};
  double LatLo = INFINITY, LatHi = -INFINITY, LongLo = INFINITY, LongHi = -INFINITY;
  for (const TCoords& C : Q) {
    LatLo = std::fmin(LatLo, C.Latit);
    LatHi = std::fmax(LatHi, C.Latit);
    LongLo = std::fmin(LongLo, C.Longit);
    LongHi = std::fmax(LongHi, C.Longit);
  }
  // The quadrilateral lies in the box of its corners; the index hands out
  // the landmarks near that box, and the corner test decides.
  int64_t N = 0;
  ForEachMarked(FLMIndex.MarkBox(FLandMarks, LatLo, LatHi, LongLo, LongHi), [&](std::size_t I) {
    const TLandMark& LM = FLandMarks[I];
    if (FLMClassVisible[LM.ClassFlag] && PositionInMap(LM.Latitude, LM.Longitude, Q)) ++N;
  });
  return FLMRandSampleLimit < N ? double(FLMRandSampleLimit) / double(N) : 1.0;
}

std::span<const uint64_t> TVozIza::LandMarksNearView(const TViewPort& View) {
  // The positions that fall on the control lie inside the outline of the
  // control's border in degrees, so the box of border samples (widened for
  // the curvature between samples) holds them. Without a usable outline
  // every landmark is a candidate.
  constexpr int32_t kStep = 32;
  const int32_t W = View.Width, H = View.Height;
  double LatLo = INFINITY, LatHi = -INFINITY, LongLo = INFINITY, LongHi = -INFINITY;
  bool AllValid = true;
  auto Sample = [&](int32_t X, int32_t Y) {
    bool Valid = false;
    const TCoords C = ControlToLatLong(X, Y, Valid);
    AllValid = AllValid && Valid;
    LatLo = std::fmin(LatLo, C.Latit);
    LatHi = std::fmax(LatHi, C.Latit);
    LongLo = std::fmin(LongLo, C.Longit);
    LongHi = std::fmax(LongHi, C.Longit);
  };
  for (int32_t X = 0; AllValid; X = std::min(X + kStep, W)) {
    Sample(X, 0);
    Sample(X, H);
    if (X == W) break;
  }
  for (int32_t Y = 0; AllValid; Y = std::min(Y + kStep, H)) {
    Sample(0, Y);
    Sample(W, Y);
    if (Y == H) break;
  }
  if (!AllValid) return FLMIndex.MarkBox(FLandMarks, NAN, NAN, NAN, NAN);
  const double MLat = (LatHi - LatLo) / 8 + 1e-9, MLong = (LongHi - LongLo) / 8 + 1e-9;
  return FLMIndex.MarkBox(FLandMarks, LatLo - MLat, LatHi + MLat, LongLo - MLong, LongHi + MLong);
}

void TVozIza::DrawLandMarks(TCanvas& C, const TViewPort& View) {
  if (FLandMarks.empty()) return;
  const double P = LandMarkDisplayProbability(View);
  const int32_t W = View.Width, H = View.Height;
  auto DrawOne = [&](std::size_t I) {
    if (I >= FLandMarks.size()) return; // a handler emptied the list
    const TLandMark* LM = &FLandMarks[I];
    if (!FLMClassVisible[LM->ClassFlag]) return;
    if (P < 1 && !(SampleValue(*LM) < P)) return;
    TPoint Pt;
    if (!LandMarkToView(*LM, Pt)) return;
    TLandMark Copy;
    if (FOnDrawLandmark) {
      Copy = *LM; // the handler may change the list under LM
      LM = &Copy;
      bool Handled = false;
      FOnDrawLandmark(this, Handled, C, Pt, Copy);
      if (Handled) return;
    }
    if (Pt.X > 0 && Pt.X < W && Pt.Y > 0 && Pt.Y < H) DrawLandMarkShape(C, Pt, *LM);
  };
  if (FOnDrawLandmark) {
    // The handler hears of every landmark, in list order.
    for (std::size_t I = 0; I < FLandMarks.size(); ++I)
      DrawOne(I);
  } else {
    ForEachMarked(LandMarksNearView(View), DrawOne);
  }
}

void TVozIza::DrawLandMarkShape(TCanvas& C, const TPoint& Pt, const TLandMark& LM) {
  const TSymbolProperties& S = LM.SymbolProps;
  DrawLandMarkSymbolOnCanvas(C, Pt.X, Pt.Y, S.Kind, S.FGColor, S.BGColor, S.Size, S.Direction,
                             S.Length, S.Transparent);
  if (!LM.Caption.Text.Empty()) DrawLandMarkCaption(C, Pt.X, Pt.Y, LM.Caption);
}

void TVozIza::DrawHighLightLandMark(TCanvas& C, const TViewPort& View) {
  if (FHighLM < 1 || FHighLM > GetNumLandMarks()) return;
  const TLandMark LM = FLandMarks[std::size_t(FHighLM - 1)];
  if (!FLMClassVisible[LM.ClassFlag]) return;
  TPoint Pt;
  if (!LandMarkToView(LM, Pt)) return;
  bool Handled = false;
  if (FOnDrawLandmark) FOnDrawLandmark(this, Handled, C, Pt, LM);
  if (Handled || Pt.X <= 0 || Pt.X >= View.Width || Pt.Y <= 0 || Pt.Y >= View.Height) return;
  const TSymbolProperties& S = LM.SymbolProps;
  DrawLandMarkSymbolOnCanvas(C, Pt.X, Pt.Y, S.Kind, FHighLMColFG, FHighLMColBG, S.Size, S.Direction,
                             S.Length, FHighLMTrans);
}

} // namespace qeb
