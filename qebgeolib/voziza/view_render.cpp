// Composing the map view of TVozIza off screen: background or empty message,
// the scaled map image (through the cache of the whole scaled image at small
// magnifications), the host's drawing, graticule, UTM grid, calibration
// markers, landmarks and frame; and the copy of the result to the control.
#include "qebgeolib/voziza/view.h"

#include <algorithm>
#include <cmath>

#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/companion/mathlib/math2.h"
#include "qebgeolib/companion/mathlib/sline.h"
#include "qebgeolib/geobasics/projections.h"
#include "qebgeolib/voziza/detail/calibmodels.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

// A spacing that would give more graticule or grid lines than this in one
// direction (a tiny GratLineDist or UTMGridDist over a large map, or a
// degenerate calibration) draws none of them: they would fill the view solid
// and cost millions of conversions.
constexpr double MaxLinesPerDirection = 4096;

// Segments of one meridian or parallel under the quad models.
struct TSegments {
  int32_t Parallels;
  int32_t Meridians;
};

TSegments SegmentsOf(TCalibModel Model) {
  switch (Model) {
  case cmConicConformal:
    return {100, 1};
  case cmEquiRect:
  case cmUTM:
    return {10, 10};
  default: // cmBiquadraticPn, cmMillerCylindrical
    return {100, 100};
  }
}

// The magnification a composition works with: the control keeps its own
// within MinMagnification..MaxMagnification, and views handed in from
// elsewhere are held to the same range so that every loop over image pixels
// stays bounded (NaN counts as 1).
double RenderMag(double M) {
  if (std::isnan(M)) return 1;
  return std::clamp(M, MinMagnification, MaxMagnification);
}

// Control coordinate of image coordinate V on an axis whose view starts at
// image coordinate T.
int32_t ToView(double V, int32_t T, double M) {
  return RoundPixel((V - T) * M);
}

// Lines per unit along one axis of the graticule: 1 / Dist when a distance is
// set, else the decade that puts between one and ten lines on the span. False
// when no sensible spacing exists (a span of zero, NaN or infinity).
bool LinesPerDegree(double Dist, double Low, double High, double& F) {
  if (Dist > 0) {
    F = 1 / Dist;
    return std::isfinite(F);
  }
  double Span = std::fabs(High - Low);
  if (!(Span > 0) || !std::isfinite(Span)) return false;
  F = 1;
  // At most about 330 rounds: the smallest positive double reaches 1 then.
  while (Span < 1) {
    F *= 10;
    Span *= 10;
  }
  return std::isfinite(F);
}

// Walks First, First + 1/F, ... while the value is below Limit, provided
// the number of values stays within MaxLinesPerDirection. Each value is the
// previous one plus 1/F (not First + k/F), which decides whether a line that
// falls on Limit itself is drawn.
template <class Fn> void ForEachLine(double First, double Limit, double F, Fn&& Draw) {
  const double Count = (Limit - First) * F;
  if (!(Count <= MaxLinesPerDirection)) return; // also NaN
  const double Step = 1 / F;
  int32_t Guard = 0;
  for (double V = First; V < Limit && Guard <= MaxLinesPerDirection + 1; V += Step, ++Guard)
    Draw(V);
}

// The destination pixels [A, B) of one axis that a block copy of D pixels
// from source pixels S0 .. S0 + SLen of a bitmap SrcLimit pixels long surely
// writes: those whose nearest source pixel, floor((i + 0.5) * SLen / D),
// lies inside, less one pixel at each end, where the area average may judge
// a pixel on the image's edge differently.
void CoveredSpan(int32_t D, int64_t S0, int64_t SLen, int64_t SrcLimit, int32_t& A, int32_t& B) {
  A = B = 0;
  if (D <= 0 || SLen <= 0) return;
  // The first i whose source pixel is at least K: (2i + 1) SLen >= 2 D (K - S0).
  auto First = [&](int64_t K) {
    const int64_t Num = 2 * int64_t(D) * (K - S0) - SLen, Den = 2 * SLen;
    const int64_t I = Num >= 0 ? (Num + Den - 1) / Den : -(-Num / Den);
    return int32_t(std::clamp<int64_t>(I, 0, D));
  };
  A = First(0) + 1;
  B = First(SrcLimit) - 1;
  if (B < A) A = B = 0;
}

} // namespace

TPoint TVozIza::ImageToView(const TViewPort& View, const TPoint& APoint) {
  return TPoint{ToView(APoint.X, View.TopLeft.X, View.Mag),
                ToView(APoint.Y, View.TopLeft.Y, View.Mag)};
}

void TVozIza::Paint() {
  if (FSuppressPaint) return;
  ConstructInternalMapImg();
  const int32_t W = GetWidth(), H = GetHeight();
  GetCanvas().StretchBlt(0, 0, W, H, AuxBmp.GetCanvas(), 0, 0, W, H, cmSrcCopy);
}

void TVozIza::ConstructInternalMapImg() {
  ComposeView(AuxBmp, CurrentViewPort(), true, true);
}

void TVozIza::ComposeView(TBitmap& Dest, const TViewPort& View, bool UseCache, bool Frame) {
  const int32_t W = std::max(View.Width, 0), H = std::max(View.Height, 0);
  if (Dest.GetHeight() < H || Dest.GetWidth() < W)
    Dest.SetSize(std::max(Dest.GetWidth(), W), std::max(Dest.GetHeight(), H));
  TCanvas& C = Dest.GetCanvas();
  C.GetPen().SetStyle(psSolid);
  C.GetPen().SetMode(pmCopy);

  if ((ComponentState() & csDesigning) != 0 || FMapImgName.empty()) {
    C.GetBrush().SetColor(FColorBakGnd);
    C.GetPen().SetColor(FColorBakGnd);
    C.Rectangle(0, 0, W, H);
    C.GetFont().SetColor(FFrameColor);
    C.TextOut(10, 10, FEmptyMsg);
  } else if (GetVisible()) {
    const TViewPort V{View.TopLeft, RenderMag(View.Mag), W, H};
    DrawMapImage(C, V, UseCache);

    // Handlers place their drawing with the control's conversions, which
    // answer for this view while it is composed; a handler may compose
    // another view (CopyToBMP) meanwhile.
    struct TComposingScope {
      const TViewPort*& Slot;
      const TViewPort* Saved;
      ~TComposingScope() { Slot = Saved; }
    } Scope{FComposing, FComposing};
    FComposing = &V;

    if (FOnBeforeRenderData) FOnBeforeRenderData(this, C);
    if (FShowGrat != sgNone) DrawGraticule(C, V);
    C.GetPen().SetColor(0x0000FF00);
    DrawLandMarks(C, V);
    if (FOnDataRendered) FOnDataRendered(this, C);
    DrawHighLightLandMark(C, V);
  }

  if (Frame)
    DrawFrame(C, FFrameStyle, 0, 0, W - 1, H - 1, FColWhiteLine, 0x00C0C0C0, FColGrayLine,
              FColBlackLine, 0x00000000);
}

void TVozIza::DrawMapImage(TCanvas& C, const TViewPort& View, bool UseCache) {
  const double M = View.Mag;
  const int32_t W = View.Width, H = View.Height, Tx = View.TopLeft.X, Ty = View.TopLeft.Y;

  // The image: from the cache 1:1 while it fits, else the visible window of
  // the map image stretched.
  TBitmap* Src = UseCache ? FCache.For(GrafBmp, M, FAntiAlias, FCacheMagLimit) : nullptr;
  int32_t SX = 0, SY = 0, SW = 0, SH = 0;
  TStretchBltMode Mode = sbmColorOnColor;
  if (Src) {
    SX = RoundPixel(M * Tx);
    SY = RoundPixel(M * Ty);
    SW = W;
    SH = H;
  } else {
    const int64_t DW = int64_t(RoundPixel(W / M + Tx)) - Tx;
    const int64_t DH = int64_t(RoundPixel(H / M + Ty)) - Ty;
    if (DW >= 0 && DH >= 0 && DW <= INT32_MAX && DH <= INT32_MAX) {
      Src = &GrafBmp;
      SX = Tx;
      SY = Ty;
      SW = int32_t(DW);
      SH = int32_t(DH);
      Mode = FAntiAlias ? sbmHalftone : sbmColorOnColor;
    }
  }

  // The background, drawn only where the image will not cover it: the same
  // pixels as a full Rectangle(0, 0, W, H) under the image, without
  // writing the whole view twice.
  C.GetBrush().SetColor(FColorBakGnd);
  C.GetPen().SetColor(FColorBakGnd);
  TRect In;
  if (Src) {
    CoveredSpan(W, SX, SW, Src->GetWidth(), In.Left, In.Right);
    CoveredSpan(H, SY, SH, Src->GetHeight(), In.Top, In.Bottom);
  }
  if (In.Left >= In.Right || In.Top >= In.Bottom) {
    C.Rectangle(0, 0, W, H);
  } else {
    C.FillRect(TRect{0, 0, W, In.Top});
    C.FillRect(TRect{0, In.Bottom, W, H});
    C.FillRect(TRect{0, In.Top, In.Left, In.Bottom});
    C.FillRect(TRect{In.Right, In.Top, W, In.Bottom});
  }
  if (Src) {
    C.SetStretchBltMode(Mode);
    C.StretchBlt(0, 0, W, H, Src->GetCanvas(), SX, SY, SW, SH, cmSrcCopy);
  }
}

void TVozIza::DrawGraticule(TCanvas& Canvas, const TViewPort& View) {
  const bool Lines = FShowGrat == sgLines || FShowGrat == sgPointsAndLines;
  const bool Points = FShowGrat == sgPoints || FShowGrat == sgPointsAndLines;
  if (FCalibModel == cmParabolicIp) {
    DrawParabolicGraticule(Canvas, View, Lines, Points);
    return;
  }
  if (FCalibModel > cmUTM) return; // cmUndefined

  const int32_t NumQuads = std::clamp(FCalibData.NumCalQuads, 0, MaxCalQuads);
  if (Lines && NumQuads >= (FCalibModel == cmBiquadraticPn ? 6 : 3))
    DrawCornerGraticule(Canvas, View);
  const bool UTMGrid = FShowGrat == sgUTMGrid || FShowGrat == sgPointsAndUTMGrid;
  if (FCalibModel == cmUTM && NumQuads >= 3 && UTMGrid) DrawUTMGrid(Canvas, View);
  if (Points || (FCalibModel == cmUTM && FShowGrat == sgPointsAndUTMGrid))
    for (int32_t Q = 1; Q <= NumQuads; ++Q) {
      const TCalQuad& Quad = FCalibData.CalQuads[Q];
      const TPoint C = ImageToView(View, TPoint{Quad.MapX, Quad.MapY});
      DrawCalibMarker(Canvas, C.X, C.Y);
    }
}

// Each calibration line's parabola through its points, stepped one image
// pixel at a time across the view, and the points' markers.
void TVozIza::DrawParabolicGraticule(TCanvas& Canvas, const TViewPort& View, bool Lines,
                                     bool Points) {
  const double M = View.Mag;
  TCurveFit Fit;
  const int32_t NumLines = std::clamp(FCalibData.NumCalLines, 0, MaxCalLines);
  for (int32_t L = 1; L <= NumLines; ++L) {
    const TCalibLine& Line = FCalibData.CalLines[L];
    const int32_t NumPoints = std::clamp(Line.NumPoints, 0, MaxCalLinePoints);
    if (Lines) {
      Canvas.GetPen().SetColor(FColorGratLine);
      Fit.Init();
      // A parallel is y over x, a meridian x over y; "Along" is the axis
      // stepped one image pixel at a time across the view.
      const bool Parallel = Line.LineType == gtlParallel;
      for (int32_t P = 1; P <= NumPoints; ++P) {
        const TPoint& Pt = Line.CalPoints[P];
        if (Parallel)
          Fit.EnterStatValue(Pt.X, Pt.Y);
        else
          Fit.EnterStatValue(Pt.Y, Pt.X);
      }
      double K0 = 0, K1 = 0, K2 = 0, Quality = 0;
      Fit.CalcParabolFit(K0, K1, K2, Quality);
      const int32_t TAlong = Parallel ? View.TopLeft.X : View.TopLeft.Y;
      const int32_t TAcross = Parallel ? View.TopLeft.Y : View.TopLeft.X;
      const double End = TAlong + (Parallel ? View.Width : View.Height) / M;
      auto At = [&](int64_t S) {
        const double D = double(S);
        const int32_t Along = ToView(D, TAlong, M);
        const int32_t Across = ToView(RoundPixel(K0 + K1 * D + K2 * D * D), TAcross, M);
        return Parallel ? TPoint{Along, Across} : TPoint{Across, Along};
      };
      // At most Width / MinMagnification + 1 steps. Below magnification 1
      // many steps land on the same control pixel; a LineTo there would
      // draw nothing, so it is left out.
      int64_t S = TAlong;
      TPoint P = At(S);
      Canvas.MoveTo(P.X, P.Y);
      while (S < End) {
        P = At(++S);
        if (P != Canvas.GetPenPos()) Canvas.LineTo(P.X, P.Y);
      }
    }
    if (Points)
      for (int32_t P = 1; P <= NumPoints; ++P) {
        const TPoint C = ImageToView(View, Line.CalPoints[P]);
        DrawCalibMarker(Canvas, C.X, C.Y);
      }
  }
}

// Parallels and meridians at round values between the corners, each a
// polyline of a few segments through the calibration.
void TVozIza::DrawCornerGraticule(TCanvas& Canvas, const TViewPort& View) {
  const TCornerArray& K = FCalibData.Corners;
  const double LatLow = std::min(K[gcoBottomLeft].Latit, K[gcoBottomRight].Latit);
  const double LatHigh = std::max(K[gcoTopLeft].Latit, K[gcoTopRight].Latit);
  const double LongLow = std::min(K[gcoTopLeft].Longit, K[gcoBottomLeft].Longit);
  const double LongHigh = std::max(K[gcoTopRight].Longit, K[gcoBottomRight].Longit);
  const TSegments Seg = SegmentsOf(FCalibModel);
  Canvas.GetPen().SetColor(FColorGratLine);
  // A line of N segments between two positions, each point through the
  // calibration (drawn even where it reports the position invalid).
  auto GeoLine = [&](double Lat0, double Long0, double Lat1, double Long1, int32_t N) {
    for (int32_t i = 0; i <= N; ++i) {
      int32_t X = 0, Y = 0;
      CalcPixelCoords(Lat0 + (Lat1 - Lat0) * i / N, Long0 + (Long1 - Long0) * i / N, X, Y);
      const TPoint C = ImageToView(View, TPoint{X, Y});
      if (i == 0)
        Canvas.MoveTo(C.X, C.Y);
      else
        Canvas.LineTo(C.X, C.Y);
    }
  };
  double F = 1;
  if (LinesPerDegree(FGratLineDist, LatLow, LatHigh, F))
    ForEachLine(std::trunc(LatLow * F) / F, LatHigh, F,
                [&](double Lat) { GeoLine(Lat, LongLow, Lat, LongHigh, Seg.Parallels); });
  if (LinesPerDegree(FGratLineDist, LongLow, LongHigh, F))
    ForEachLine(std::trunc(LongLow * F) / F, LongHigh, F,
                [&](double Long) { GeoLine(LatLow, Long, LatHigh, Long, Seg.Meridians); });
}

// Lines of round northing and easting across the map image, kept on the
// image wherever the view has been panned to.
void TVozIza::DrawUTMGrid(TCanvas& Canvas, const TViewPort& View) {
  const double M = View.Mag;
  Canvas.GetPen().SetColor(FColorGratLine);
  const TCornerArray& K = FCalibData.Corners;
  const TGeoEllipsoid Ell = FCalibData.Ellipsoid;
  int32_t Zone = 0;
  double EBL = 0, NBL = 0, EBR = 0, NBR = 0, ETL = 0, NTL = 0, ETR = 0, NTR = 0;
  LatLongToUTM(K[gcoBottomLeft].Latit, K[gcoBottomLeft].Longit, Ell, Zone, EBL, NBL);
  LatLongToUTM(K[gcoBottomRight].Latit, K[gcoBottomRight].Longit, Ell, Zone, EBR, NBR);
  LatLongToUTM(K[gcoTopLeft].Latit, K[gcoTopLeft].Longit, Ell, Zone, ETL, NTL);
  LatLongToUTM(K[gcoTopRight].Latit, K[gcoTopRight].Longit, Ell, Zone, ETR, NTR);
  double F = 1;
  if (FUTMGridDist >= 1) {
    F = 1.0 / FUTMGridDist;
  } else {
    F = 1 / Round125(std::fabs(NTL - NBL) / 10);
    if (F > 1) F = 1; // grid lines at least a metre apart
  }
  const int32_t MW = FMapImgWidth, MH = FMapImgHeight;
  // The map image's area in control pixels.
  const double BoxX0 = -double(View.TopLeft.X) * M, BoxY0 = -double(View.TopLeft.Y) * M;
  const double BoxX1 = BoxX0 + MW * M, BoxY1 = BoxY0 + MH * M;
  TSLine Line;
  auto Clipped = [&](const TPoint& A, const TPoint& B) {
    Line.LineFrom2Points(A.X, A.Y, B.X, B.Y);
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    if (!Line.ClipBox(BoxX0, BoxY0, BoxX1, BoxY1, X1, Y1, X2, Y2)) return;
    Canvas.MoveTo(RoundPixel(X1), RoundPixel(Y1));
    Canvas.LineTo(RoundPixel(X2), RoundPixel(Y2));
  };
  ForEachLine(std::trunc(NBL * F) / F, NTL + 1 / F, F, [&](double N) {
    Clipped(ImageToView(View, TPoint{0, CalcUTMyFromNorthingX(N, 0)}),
            ImageToView(View, TPoint{MW, CalcUTMyFromNorthingX(N, MW)}));
  });
  ForEachLine(std::trunc(EBL * F) / F, EBR, F, [&](double E) {
    Clipped(ImageToView(View, TPoint{CalcUTMxFromEastingY(E, 0), 0}),
            ImageToView(View, TPoint{CalcUTMxFromEastingY(E, MH), MH}));
  });
}

void TVozIza::DrawCalibMarker(TCanvas& Canvas, int32_t X, int32_t Y) {
  Canvas.GetPen().SetColor(FColorGratPoints);
  // The marker reaches 10 pixels from its centre; one that cannot touch the
  // bitmap is skipped, which also keeps the arithmetic below in range.
  const TRect Clip = Canvas.GetClipRect();
  if (X < Clip.Left - 10 || X > Clip.Right + 10 || Y < Clip.Top - 10 || Y > Clip.Bottom + 10)
    return;
  Canvas.MoveTo(X - 8, Y);
  Canvas.LineTo(X + 8, Y);
  Canvas.MoveTo(X, Y - 8);
  Canvas.LineTo(X, Y + 8);
  auto Diamond = [&](int32_t R) {
    Canvas.MoveTo(X - R, Y);
    Canvas.LineTo(X, Y - R);
    Canvas.LineTo(X + R, Y);
    Canvas.LineTo(X, Y + R);
    Canvas.LineTo(X - R, Y);
  };
  Diamond(8);
  Canvas.GetPen().SetColor(0x00FFFFFF);
  Diamond(9);
  Canvas.GetPen().SetColor(FColorGratPoints);
  Diamond(10);
}

} // namespace qeb
