// Generated maps: a blank image for a latitude/longitude box with frame and
// labelled graticule, the host's drawing, and a calibration tying the image
// to the box, either written to files and loaded or handed over in memory.
#include <charconv>
#include <cmath>
#include <utility>

#include "qebgeolib/companion/corelib/filesys.h"
#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/voziza/detail/calibmodels.h"
#include "qebgeolib/voziza/view.h"

namespace qeb {

namespace {

constexpr int32_t Margin = EmptyMapMargin;
// The most lines a direction; a finer spacing is refused, so neither the
// drawing nor the stepping (which a spacing below the resolution of the
// bounds would stall) can run away.
constexpr double MaxLines = 4096;
constexpr char DataID[] = "QEB_voziza_caldata";

struct TMapBox {
  double LatLow, LongLow, LatHigh, LongHigh, dLat, dLong;
  int32_t W, H;
};

std::string Num(double V) {
  char Buf[32];
  return std::string(Buf, std::to_chars(Buf, Buf + sizeof Buf, V).ptr);
}

// The first line of a direction: the multiple of the spacing next to the
// low bound toward zero.
double FirstLine(double Low, double Spacing) {
  return std::trunc(Low / Spacing) * Spacing;
}

// The box normalised; Refusal is the text of the error when it cannot be
// drawn, else empty.
TMapBox NormalisedBox(TMapBox B, std::string& Refusal) {
  std::string Given;
  for (const auto& [Name, V] : {std::pair{"LatLow=", B.LatLow},
                                {" LongLow=", B.LongLow},
                                {" LatHigh=", B.LatHigh},
                                {" LongHigh=", B.LongHigh},
                                {" dLat=", B.dLat},
                                {" dLong=", B.dLong}})
    Given.append(Name).append(Num(V));
  Given += ')';
  for (double V : {B.LatLow, B.LongLow, B.LatHigh, B.LongHigh, B.dLat, B.dLong})
    if (!std::isfinite(V)) {
      Refusal = ": cannot generate a map from values that are not finite numbers (" + Given;
      return B;
    }
  if (B.LatHigh < B.LatLow) ExChange(B.LatLow, B.LatHigh);
  if (B.LongHigh < B.LongLow) ExChange(B.LongLow, B.LongHigh);
  if (B.dLat <= 0) B.dLat = 1;
  if (B.dLong <= 0) B.dLong = 1;
  B.W = std::max(B.W, 100);
  B.H = std::max(B.H, 100);
  const double LatSpan = B.LatHigh - B.LatLow, LongSpan = B.LongHigh - B.LongLow;
  if (!(LatSpan > 0 && LongSpan > 0 && std::isfinite(LatSpan) && std::isfinite(LongSpan)))
    Refusal =
        ": cannot generate a map of a box with equal or unbounded low and high bounds (" + Given;
  else if (!((B.LatHigh - FirstLine(B.LatLow, B.dLat)) / B.dLat <= MaxLines &&
             (B.LongHigh - FirstLine(B.LongLow, B.dLong)) / B.dLong <= MaxLines))
    Refusal = ": cannot generate a map with more than 4096 graticule lines a direction (" + Given;
  return B;
}

// Label formats by spacing: whole degrees, minutes for fractions, seconds
// from 0.06 degrees down.
TDegreeFormat LabelFormat(double Spacing) {
  if (Spacing <= 0.06) return dfDegMinSec;
  return Spacing != std::trunc(Spacing) ? dfDegMin : dfDeg;
}

// A line that stepping from a negative start brings within rounding error
// of zero is labelled as zero's hemisphere, not as " S " or " W ".
std::string Label(double Value, double Spacing, TDegreeFormat Format, const char* Pos,
                  const char* Neg) {
  const bool Negative = Value < 0 && std::fabs(Value) > Spacing * 1e-9;
  std::string S = " ";
  S.append(DegreeToStr(std::fabs(Value), Format, 0)).append(Negative ? Neg : Pos);
  return S;
}

void DrawGrid(TCanvas& C, const TMapBox& B) {
  const int32_t W = B.W, H = B.H;
  auto Frame = [&C, W, H](int32_t M) {
    C.MoveTo(M, M);
    C.LineTo(W - M, M);
    C.LineTo(W - M, H - M);
    C.LineTo(M, H - M);
    C.LineTo(M, M);
  };
  Frame(Margin);
  C.GetPen().SetStyle(psDot);
  Frame(Margin - 4);
  C.GetPen().SetStyle(psDash);
  C.GetPen().SetColor(0x00C0C0C0);

  TDegreeFormat Format = LabelFormat(B.dLat);
  double Lat = FirstLine(B.LatLow, B.dLat);
  for (int32_t N = 0; Lat < B.LatHigh && N <= MaxLines; ++N, Lat += B.dLat) {
    const int64_t Y = int64_t{H} - Margin -
                      detail::RoundPixel((Lat - B.LatLow) / (B.LatHigh - B.LatLow) * (H - 60));
    if (Y <= Margin || Y >= H - Margin) continue;
    const auto y = static_cast<int32_t>(Y);
    C.MoveTo(Margin, y);
    C.LineTo(W - Margin, y);
    const std::string Text = Label(Lat, B.dLat, Format, " N ", " S ");
    const int32_t w = C.TextWidth(Text), h = C.TextHeight(Text);
    C.TextOut(36, y - h / 2, Text);
    C.TextOut(W - w - 36, y - h / 2, Text);
  }
  Format = LabelFormat(B.dLong);
  double Long = FirstLine(B.LongLow, B.dLong);
  for (int32_t N = 0; Long < B.LongHigh && N <= MaxLines; ++N, Long += B.dLong) {
    const int64_t X =
        Margin +
        int64_t{detail::RoundPixel((Long - B.LongLow) / (B.LongHigh - B.LongLow) * (W - 60))};
    if (X <= Margin || X >= W - Margin) continue;
    const auto x = static_cast<int32_t>(X);
    C.MoveTo(x, Margin);
    C.LineTo(x, H - Margin);
    const std::string Text = Label(Long, B.dLong, Format, " E ", " W ");
    const int32_t w = C.TextWidth(Text), h = C.TextHeight(Text);
    C.TextOut(x - w / 2, 24 - h, Text);
    C.TextOut(x - w / 2, H - 24, Text);
  }
}

// A new white bitmap of the box's size with the grid and the host's drawing.
void PaintMap(TBitmap& Bmp, TPixelFormat Format, const TMapBox& B, bool Grid, TObject* Sender,
              const TVozIza::TOnDrawMapDataEvent& OnDrawMapData) {
  Bmp.NewImage(B.W, B.H, Format);
  if (Grid) DrawGrid(Bmp.GetCanvas(), B);
  if (OnDrawMapData)
    OnDrawMapData(Sender, Bmp.GetCanvas(), B.LatLow, B.LongLow, B.LatHigh, B.LongHigh, B.W, B.H);
}

// The calibration of a generated map: corners of the box, and nine points at
// the corners, edge midpoints and centre of the drawing area, point 1 at its
// bottom left.
TCalibData GeneratedCalibData(const TMapBox& B, bool Grid, const std::string& MapFName) {
  TCalibData D;
  D.MapFName = MapFName;
  D.Caption = "Map generated by TVozIza";
  D.Corners[gcoTopLeft] = {B.LatHigh, B.LongLow};
  D.Corners[gcoBottomLeft] = {B.LatLow, B.LongLow};
  D.Corners[gcoBottomRight] = {B.LatLow, B.LongHigh};
  D.Corners[gcoTopRight] = {B.LatHigh, B.LongHigh};
  D.NumCalQuads = 9;
  const double M = Grid ? Margin : 0;
  for (int32_t i = 0; i <= 2; ++i)
    for (int32_t j = 0; j <= 2; ++j) {
      TCalQuad& Q = D.CalQuads[3 * i + j + 1];
      Q.Latitude = B.LatLow + i * (B.LatHigh - B.LatLow) / 2;
      Q.Longitude = B.LongLow + j * (B.LongHigh - B.LongLow) / 2;
      Q.MapX = detail::RoundPixel(j * (B.W - 2 * M) / 2 + M);
      Q.MapY = detail::RoundPixel(B.H - M - i * (B.H - 2 * M) / 2);
    }
  D.UTMZone = 0;
  D.UTMSouth = false;
  D.Ellipsoid = gelWGS84;
  return D;
}

} // namespace

void TVozIza::CreateAndLoadEmptyMap(const std::string& FName, double LatLow, double LongLow,
                                    double LatHigh, double LongHigh, double dLat, double dLong,
                                    int32_t Wid, int32_t Hgt,
                                    const TOnDrawMapDataEvent& OnDrawMapData) {
  std::string Refusal;
  const TMapBox B =
      NormalisedBox({LatLow, LongLow, LatHigh, LongHigh, dLat, dLong, Wid, Hgt}, Refusal);
  if (!Refusal.empty()) CalibError(Refusal);
  CheckPixelLimit(B.W, B.H);
  const std::string CalName = StripExtension(FName) + ".xml";
  const std::string ImgName = StripExtension(CalName) + ".bmp";

  {
    TBitmap Bmp;
    PaintMap(Bmp, pf4bit, B, true, this, OnDrawMapData);
    TMemoryStream S;
    Bmp.SaveToStream(S);
    ReplaceFileAtomically(ImgName, S.Memory(), S.GetSize());
  }

  // The calibration goes to a file beside its target, renamed over it once
  // it is complete and on the disk.
  const std::string Temp = CalName + ".tmp";
  try {
    TTextFile F(Temp);
    F.Rewrite();
    WriteRawCalDataToOpenXMLFile(F, true, DataID, GeneratedCalibData(B, true, ImgName),
                                 cmBiquadraticPn);
    F.Close();
    RenameFileReplacing(Temp, CalName);
  } catch (...) {
    DeleteFile(Temp);
    throw;
  }

  LoadCalDataFromXML(CalName, DataID);
  // The calibration file names its image in lower case; in a folder whose
  // name has capitals (or characters Windows-1252 lacks) that name finds
  // nothing, so the image is then loaded by the name it was written under.
  if (FMapImgWidth == 0) {
    FCalibData.MapFName = ImgName;
    SetMapImgName(ImgName);
  }
  Paint();
}

void TVozIza::CreateEmptyMapInMemory(double LatLow, double LongLow, double LatHigh, double LongHigh,
                                     double dLat, double dLong, int32_t Wid, int32_t Hgt,
                                     bool ShowGrid, const TOnDrawMapDataEvent& OnDrawMapData) {
  std::string Refusal;
  const TMapBox B =
      NormalisedBox({LatLow, LongLow, LatHigh, LongHigh, dLat, dLong, Wid, Hgt}, Refusal);
  if (!Refusal.empty()) CalibError(Refusal);
  CheckPixelLimit(B.W, B.H);

  TBitmap Bmp;
  PaintMap(Bmp, pf24bit, B, ShowGrid, this, OnDrawMapData);
  SetMapBitMap(&Bmp);
  ClearCalibData();
  FCalibModel = cmEquiRect;
  SetCalibData(GeneratedCalibData(B, ShowGrid, "$unknown$"));
  RecalcCalibration();
}

} // namespace qeb
