// TVozIza: the conversions between control and image pixels, program zoom
// and pan, the zoom history, resampling of the map image, and the mouse:
// panning, drag zoom, zoom box, rubber band line, selection rectangle and the
// nested mouse box loop, with their XOR figures on the control's surface.
#include "qebgeolib/voziza/view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "qebgeolib/platform/controls/application.h"
#include "qebgeolib/voziza/detail/calibmodels.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

int32_t Saturate(int64_t V) {
  return static_cast<int32_t>(std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Also for Lo > Hi (a control of size 0), without the undefined behaviour of
// std::clamp: the result is then Lo or Hi, never outside both.
int32_t Limit(int32_t V, int32_t Lo, int32_t Hi) {
  return V < Lo ? Lo : V > Hi ? Hi : V;
}

bool Inside(int32_t X, int32_t Y, int32_t W, int32_t H) {
  return X >= 0 && X <= W && Y >= 0 && Y <= H;
}

bool IsPanMode(TMouseActMode Mode) {
  return Mode == maPanBoth || Mode == maPanHoriz || Mode == maPanVert;
}

// The zoom history slot of StackIx (-15..0) when the next slot to write is
// Poi; 0 for an index outside that range.
int32_t ZoomSlot(int32_t Poi, int32_t StackIx) {
  if (StackIx < 1 - ZoomStackSize || StackIx > 0) return 0;
  if (Poi < 1 || Poi > ZoomStackSize) Poi = 1;
  int32_t Slot = Poi + StackIx - 1;
  if (Slot < 1) Slot += ZoomStackSize;
  return Slot;
}

// One notch of the mouse wheel zooms by this factor.
constexpr double WheelZoomStep = 1.25;

// Ends a mouse box however its loop is left (a script step may throw):
// state idle and the mouse action back, unless the control is gone.
struct TMouseBoxScope {
  const TControlRef& Self;
  TMouseBoxState& State;
  TMouseActMode& Action;
  TMouseActMode Saved;
  ~TMouseBoxScope() {
    if (!Self) return;
    State = mbsIdle;
    Action = Saved;
  }
};

} // namespace

// ---- Conversions.

TPoint TVozIza::ControlToMapImage(const TPoint& APoint) const {
  return {Saturate(int64_t{RoundPixel(APoint.X / FMagnify)} + FTopLeft.X),
          Saturate(int64_t{RoundPixel(APoint.Y / FMagnify)} + FTopLeft.Y)};
}

TPoint TVozIza::MapImageToControl(const TPoint& APoint) const {
  return ImageToView(CurrentViewPort(), APoint);
}

// ---- View.

double TVozIza::ClampMagnification(double Value) {
  if (std::isnan(Value)) return 1.0;
  return std::clamp(Value, MinMagnification, MaxMagnification);
}

void TVozIza::SetMagnification(double Value) {
  if (!std::isfinite(Value) || Value < MinMagnification || Value > MaxMagnification)
    CalibError(": magnification must lie between 1/1024 and 1024");
  Store(FMagnify, Value);
}

void TVozIza::SetTopLeft(const TPoint& Value) {
  Store(FTopLeft, Value);
}

void TVozIza::ZoomFitPage() {
  if (FMapImgWidth <= 0 || FMapImgHeight <= 0) return;
  FMagnify = ClampMagnification(std::min(static_cast<double>(GetHeight()) / FMapImgHeight,
                                         static_cast<double>(GetWidth()) / FMapImgWidth));
  FTopLeft = TPoint{0, 0};
  Paint();
}

void TVozIza::PanMapToFillWindow() {
  const double MaxX = FMapImgWidth - GetWidth() / FMagnify;
  const double MaxY = FMapImgHeight - GetHeight() / FMagnify;
  if (FTopLeft.X > MaxX) FTopLeft.X = RoundPixel(MaxX);
  if (FTopLeft.Y > MaxY) FTopLeft.Y = RoundPixel(MaxY);
  if (FTopLeft.X < 0) FTopLeft.X = 0;
  if (FTopLeft.Y < 0) FTopLeft.Y = 0;
}

void TVozIza::SetConfinePan(bool Value) {
  FConfinePan = Value;
  if (Value) PanMapToFillWindow();
}

void TVozIza::BringMapPixelToCenter(const TPoint& APoint) {
  FTopLeft.X = Saturate(int64_t{APoint.X} - RoundPixel(GetWidth() / FMagnify / 2));
  FTopLeft.Y = Saturate(int64_t{APoint.Y} - RoundPixel(GetHeight() / FMagnify / 2));
  PanMapToFillWindow();
  Paint();
}

void TVozIza::BringLocationToCenter(double Latitude, double Longitude) {
  int32_t X = 0, Y = 0;
  if (!CalcPixelCoords(Latitude, Longitude, X, Y)) return;
  const int64_t HX = RoundPixel(GetWidth() / FMagnify / 2);
  const int64_t HY = RoundPixel(GetHeight() / FMagnify / 2);
  const int64_t CX = std::min(X - HX, GrafBmp.GetWidth() - 2 * HX);
  const int64_t CY = std::min(Y - HY, GrafBmp.GetHeight() - 2 * HY);
  FTopLeft = TPoint{Saturate(std::max<int64_t>(CX, 0)), Saturate(std::max<int64_t>(CY, 0))};
  Paint();
}

void TVozIza::ResizeMap(double Magnification) {
  const int32_t W = GrafBmp.GetWidth(), H = GrafBmp.GetHeight();
  if (FMapImgWidth <= 0 || FMapImgHeight <= 0 || W <= 0 || H <= 0) return;
  if (!std::isfinite(Magnification) || Magnification <= 0) return;
  const int32_t NW = RoundPixel(W * Magnification), NH = RoundPixel(H * Magnification);
  if (NW < 1 || NH < 1) return;
  // Palette images are resampled in full colour: averaging makes colours no
  // palette holds.
  TPixelFormat Format = GrafBmp.GetPixelFormat();
  if (Format == pf4bit || Format == pf8bit) Format = pf24bit;
  // The work bitmap (2 bytes a pixel) needs no more than the new image.
  if (ScanLineBytes(NW, Format) > MaxBitmapBytes / NH) return;

  TBitmap New(NW, NH, Format);
  New.GetCanvas().SetStretchBltMode(FAntiAlias ? sbmHalftone : sbmColorOnColor);
  New.GetCanvas().StretchBlt(0, 0, NW, NH, GrafBmp.GetCanvas(), 0, 0, W, H, cmSrcCopy);
  // The work bitmap is sized before anything is committed, so that a
  // failure there leaves image and calibration as they were.
  AuxBmp.SetHeight(NH);
  AuxBmp.SetWidth(NW);

  FCacheMag = 0;
  GrafBmp.SwapImage(New);
  for (int32_t L = 1; L <= FCalibData.NumCalLines; ++L) {
    TCalibLine& Line = FCalibData.CalLines[L];
    for (int32_t P = 1; P <= Line.NumPoints; ++P) {
      TPoint& Pt = Line.CalPoints[P];
      Pt = TPoint{RoundPixel(Pt.X * Magnification), RoundPixel(Pt.Y * Magnification)};
    }
  }
  for (int32_t Q = 1; Q <= FCalibData.NumCalQuads; ++Q) {
    TCalQuad& Quad = FCalibData.CalQuads[Q];
    Quad.MapX = RoundPixel(Quad.MapX * Magnification);
    Quad.MapY = RoundPixel(Quad.MapY * Magnification);
  }
  // The new size is in place before the calibration is refitted: the corners
  // and the resolution are taken at the edges of the image.
  FMapImgWidth = NW;
  FMapImgHeight = NH;
  FTopLeft = TPoint{0, 0};
  RecalcCalibration(); // repaints
}

void TVozIza::ResizeMap(int32_t LongerEdgeLength) {
  const int32_t Longer = std::max(FMapImgWidth, FMapImgHeight);
  if (Longer <= 0) return;
  ResizeMap(static_cast<double>(LongerEdgeLength) / Longer);
}

// ---- Zoom history.

void TVozIza::ClearZoomHistory() {
  FZoomStack.fill(TgmZoomStackEntry{});
  FZStackPoi = 1;
  ZoomStateOnStack();
}

void TVozIza::ZoomStateOnStack() {
  if (ComponentState() & csLoading) return;
  if (FZStackPoi < 1 || FZStackPoi > ZoomStackSize) FZStackPoi = 1;
  FZoomStack[FZStackPoi] = TgmZoomStackEntry{FTopLeft.X, FTopLeft.Y, FMagnify};
  FZStackPoi = FZStackPoi % ZoomStackSize + 1;
}

TgmZoomStackEntry TVozIza::GetZoomStackEntry(int32_t StackIx) const {
  const int32_t Slot = ZoomSlot(FZStackPoi, StackIx);
  return Slot == 0 ? TgmZoomStackEntry{} : FZoomStack[Slot];
}

void TVozIza::ZoomHistory(int32_t Index) {
  const TgmZoomStackEntry E = GetZoomStackEntry(Index);
  if (E.Empty()) return;
  FTopLeft = TPoint{E.Left, E.Top};
  FMagnify = ClampMagnification(E.MagF);
  Paint();
}

// ---- Events and last positions.

double TVozIza::GetLastMClickLatitude() const {
  bool Valid = false;
  const double V = CalcLatitude(FLastMClickPosX, FLastMClickPosY, Valid);
  return Valid ? V : 0.0;
}

double TVozIza::GetLastMClickLongitude() const {
  bool Valid = false;
  const double V = CalcLongitude(FLastMClickPosX, FLastMClickPosY, Valid);
  return Valid ? V : 0.0;
}

// Handlers are copied before the call, so that one may replace itself.
void TVozIza::DoZoomPanEvent() {
  if (TZoomPanEvent F = FOnZoomPan) F(this);
}

void TVozIza::DoSelectRectEvent(int32_t Kind, double a, double b, double c, double d) {
  if (TSelectRectEvent F = FOnSelectRect) F(this, Kind, a, b, c, d);
}

// ---- XOR figures. Drawing one twice restores the surface.

void TVozIza::XorRectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool Dotted) {
  TCanvas& C = GetCanvas();
  TPen& Pen = C.GetPen();
  Pen.SetMode(pmXor);
  Pen.SetColor(0x00FFFFFF);
  Pen.SetStyle(Dotted ? psDot : psSolid);
  C.GetBrush().SetStyle(bsClear);
  C.Rectangle(X1, Y1, X2, Y2);
  Pen.SetMode(pmCopy);
  Pen.SetStyle(psSolid);
  C.GetBrush().SetStyle(bsSolid);
}

void TVozIza::XorLine(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  TCanvas& C = GetCanvas();
  TPen& Pen = C.GetPen();
  Pen.SetMode(pmXor);
  Pen.SetColor(0x00FFFFFF);
  Pen.SetStyle(psSolid);
  C.GetBrush().SetStyle(bsClear);
  C.MoveTo(X1, Y1);
  C.LineTo(X2, Y2);
  Pen.SetMode(pmCopy);
  C.GetBrush().SetStyle(bsSolid);
}

// ---- Mouse. Event handlers may destroy the control: after each event the
// handler checks Self and touches nothing more when it is gone.

void TVozIza::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  const TPoint Click = ControlToMapImage({X, Y});
  FLastMClickPosX = Click.X;
  FLastMClickPosY = Click.Y;

  if (FMouseBoxState == mbsArmed) {
    if (Button == mbRight) {
      FMouseBoxState = mbsIdle;
    } else {
      FMouseBoxX1 = FMouseBoxX2 = X;
      FMouseBoxY1 = FMouseBoxY2 = Y;
      FMouseBoxState = mbsDragging;
    }
  }

  switch (FMouseAction) {
  case maZoomBox:
    if (FZoomState == zsIdle && Button == mbLeft && Inside(X, Y, GetWidth(), GetHeight())) {
      FZoomState = zsZoomBoxOpen;
      FWindAnchorX = FWindOldCornerX = X;
      FWindAnchorY = FWindOldCornerY = Y;
    }
    break;
  case maSelectRect:
    if (Button == mbLeft) {
      FWindAnchorX = FWindOldCornerX = X;
      FWindAnchorY = FWindOldCornerY = Y;
      FSelectRectOn = true;
      TPoint P = Click;
      if (TOnRubberBandActionEvent F = FOnBeginRubberBand) F(this, P);
      if (!Self) return;
    }
    break;
  case maRubberLine:
    if (Button == mbLeft) {
      TPoint P = Click;
      if ((Shift & ssCtrl) && FRubberBandOn) {
        if (TOnRubberBandActionEvent F = FOnContinueRubberBand) F(this, P);
        if (!Self) return;
        // The segment drawn so far stays. The end point moves along with
        // the anchor, so that the next move does not "erase" a line that
        // was never drawn when the click is not where the last move was.
        FRubberBAnchorX = FRubberBandOldX = X;
        FRubberBAnchorY = FRubberBandOldY = Y;
      } else if (FRubberBandOn) {
        XorLine(FRubberBAnchorX, FRubberBAnchorY, FRubberBandOldX, FRubberBandOldY);
        FRubberBandOn = false;
        if (TOnRubberBandActionEvent F = FOnEndRubberBand) F(this, P);
        if (!Self) return;
      } else {
        if (TOnRubberBandActionEvent F = FOnBeginRubberBand) F(this, P);
        if (!Self) return;
        FRubberBandOn = true;
        FRubberBAnchorX = FRubberBandOldX = X;
        FRubberBAnchorY = FRubberBandOldY = Y;
      }
    }
    break;
  default:
    break;
  }

  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TVozIza::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  const int32_t W = GetWidth(), H = GetHeight();
  const TPoint Pos = ControlToMapImage({X, Y});
  FLastMMousePosX = Pos.X;
  FLastMMousePosY = Pos.Y;

  if (FMouseBoxState == mbsDragging) {
    X = Limit(X, 1, W);
    Y = Limit(Y, 1, H);
    XorRectangle(FMouseBoxX1, FMouseBoxY1, FMouseBoxX2, FMouseBoxY2, false);
    XorRectangle(FMouseBoxX1, FMouseBoxY1, X, Y, false);
    FMouseBoxX2 = X;
    FMouseBoxY2 = Y;
  }

  const bool Left = (Shift & ssLeft) != 0;
  switch (FMouseAction) {
  case maPanBoth:
  case maPanHoriz:
  case maPanVert:
  case maZoomDrag:
    if (!Left) {
      FLButtonWasDown = false;
    } else if (!FLButtonWasDown) {
      // The first move of a drag only fixes where it started.
      FLButtonWasDown = true;
      MouseAnchorX = X;
      MouseAnchorY = Y;
      FTopLeftXAnchor = FTopLeft.X;
      FTopLeftYAnchor = FTopLeft.Y;
    } else if (Inside(X, Y, W, H)) {
      if (FMouseAction == maZoomDrag) {
        if (W <= 0 || H <= 0) break;
        const int64_t CX = int64_t{RoundPixel(W / FMagnify / 2)} + FTopLeft.X;
        const int64_t CY = int64_t{RoundPixel(H / FMagnify / 2)} + FTopLeft.Y;
        // The factor of the whole displacement from the anchor, applied
        // again by every move: dragging up zooms in, down zooms out.
        const double Factor = 1 - 0.05 * (MouseAnchorX - X) / static_cast<double>(W) +
                              (MouseAnchorY - Y) / static_cast<double>(H);
        FMagnify = ClampMagnification(FMagnify * Factor);
        FTopLeft.X = Saturate(CX - RoundPixel(W / FMagnify / 2));
        FTopLeft.Y = Saturate(CY - RoundPixel(H / FMagnify / 2));
      } else {
        if (FMouseAction != maPanVert)
          FTopLeft.X =
              Saturate(int64_t{RoundPixel((MouseAnchorX - X) / FMagnify)} + FTopLeftXAnchor);
        if (FMouseAction != maPanHoriz)
          FTopLeft.Y =
              Saturate(int64_t{RoundPixel((MouseAnchorY - Y) / FMagnify)} + FTopLeftYAnchor);
        if (FConfinePan) PanMapToFillWindow();
      }
      Paint();
      DoZoomPanEvent();
      if (!Self) return;
    }
    break;
  case maRubberLine:
    if (FRubberBandOn) {
      XorLine(FRubberBAnchorX, FRubberBAnchorY, FRubberBandOldX, FRubberBandOldY);
      XorLine(FRubberBAnchorX, FRubberBAnchorY, X, Y);
      FRubberBandOldX = X;
      FRubberBandOldY = Y;
    }
    break;
  case maZoomBox:
    if (FZoomState == zsZoomBoxOpen) {
      X = Limit(X, 0, W);
      Y = Limit(Y, 0, H);
      XorRectangle(FWindAnchorX, FWindAnchorY, FWindOldCornerX, FWindOldCornerY, false);
      XorRectangle(FWindAnchorX, FWindAnchorY, X, Y, false);
      FWindOldCornerX = X;
      FWindOldCornerY = Y;
    }
    break;
  case maSelectRect:
    if (FSelectRectOn && Left) {
      X = Limit(X, 0, W);
      Y = Limit(Y, 0, H);
      XorRectangle(FWindAnchorX, FWindAnchorY, FWindOldCornerX, FWindOldCornerY, true);
      XorRectangle(FWindAnchorX, FWindAnchorY, X, Y, true);
      FWindOldCornerX = X;
      FWindOldCornerY = Y;
    }
    break;
  default:
    break;
  }

  TCustomControl::MouseMove(Shift, X, Y);
}

void TVozIza::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (!Self) return;

  if (FMouseBoxState == mbsDragging) {
    // Erased before corner 2 takes the release point: the figure on screen
    // ends at the last (clamped) move.
    XorRectangle(FMouseBoxX1, FMouseBoxY1, FMouseBoxX2, FMouseBoxY2, false);
    if (Button == mbRight) {
      FMouseBoxState = mbsIdle;
    } else {
      FMouseBoxX2 = X;
      FMouseBoxY2 = Y;
      FMouseBoxState = mbsDone;
    }
  }

  // A release without the press that opened the selection (the mode changed
  // meanwhile) has no rectangle on screen and nothing to report.
  if (FMouseAction == maSelectRect && Button == mbLeft && FSelectRectOn) {
    FSelectRectOn = false;
    XorRectangle(FWindAnchorX, FWindAnchorY, FWindOldCornerX, FWindOldCornerY, true);
    const TPoint P1 = ControlToMapImage({FWindAnchorX, FWindAnchorY});
    const TPoint P2 = ControlToMapImage({X, Y});
    bool Valid = false;
    const double Lon1 = CalcLongitude(P1, Valid);
    double Lat1 = 0, Lon2 = 0, Lat2 = 0;
    if (Valid) Lat1 = CalcLatitude(P1, Valid);
    if (Valid) Lon2 = CalcLongitude(P2, Valid);
    if (Valid) Lat2 = CalcLatitude(P2, Valid);
    if (Valid)
      DoSelectRectEvent(1, Lon1, Lat1, Lon2, Lat2);
    else
      DoSelectRectEvent(0, P1.X, P1.Y, P2.X, P2.Y);
    if (!Self) return;
  }

  if (FMouseAction == maZoomBox && FZoomState == zsZoomBoxOpen) {
    if (Button == mbRight) {
      FZoomState = zsIdle;
      XorRectangle(FWindAnchorX, FWindAnchorY, FWindOldCornerX, FWindOldCornerY, false);
    } else if (Button == mbLeft) {
      FZoomState = zsIdle;
      bool Zoomed = false;
      if (FWindAnchorX != FWindOldCornerX && FWindAnchorY != FWindOldCornerY) {
        int32_t AX = FWindAnchorX, AY = FWindAnchorY, BX = X, BY = Y;
        if (BX < AX) std::swap(AX, BX);
        if (BY < AY) std::swap(AY, BY);
        const TPoint P1 = ControlToMapImage({AX, AY});
        const TPoint P2 = ControlToMapImage({BX, BY});
        if (P1.X != P2.X && P1.Y != P2.Y) {
          const double DX = std::abs(static_cast<double>(P2.X) - P1.X),
                       DY = std::abs(static_cast<double>(P2.Y) - P1.Y);
          const double W = GetWidth(), H = GetHeight();
          FMagnify = ClampMagnification(DY < DX ? W / DX : H / DY);
          FTopLeft.X = Saturate(int64_t{P1.X} + RoundPixel((DX - W / FMagnify) / 2));
          FTopLeft.Y = Saturate(int64_t{P1.Y} + RoundPixel((DY - H / FMagnify) / 2));
          Zoomed = true;
        }
      }
      if (Zoomed) {
        Paint();
        DoZoomPanEvent();
        if (!Self) return;
      } else {
        // Without a zoom no repaint replaces the view: the figure goes here.
        XorRectangle(FWindAnchorX, FWindAnchorY, FWindOldCornerX, FWindOldCornerY, false);
      }
    }
  }

  if (IsPanMode(FMouseAction) || FMouseAction == maZoomDrag) {
    // The drag ends here; the next one anchors afresh even when no move
    // without the button came in between (touch input).
    if (Button == mbLeft) FLButtonWasDown = false;
    ZoomStateOnStack();
  }
}

bool TVozIza::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, const TPoint& MousePos) {
  const TControlRef Self(this);
  if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  if (!Self) return false;
  switch (FMouseAction) {
  case maPanBoth:
  case maPanHoriz:
  case maPanVert:
  case maRubberLine:
  case maZoomBox:
  case maZoomDrag:
  case maSelectRect:
    break;
  default:
    return false;
  }
  if (FMapImgWidth <= 0 || FMapImgHeight <= 0 || WheelDelta == 0) return false;
  // A repaint would wipe an XOR figure that the next move then "erases"
  // back onto the view: no wheel zoom while one is on screen.
  if (FZoomState == zsZoomBoxOpen || FSelectRectOn || FRubberBandOn ||
      FMouseBoxState == mbsDragging)
    return false;
  // The image pixel under the cursor stays under it.
  const TPoint Fixed = ControlToMapImage(MousePos);
  FMagnify = ClampMagnification(FMagnify * std::pow(WheelZoomStep, WheelDelta / 120.0));
  FTopLeft.X = Saturate(int64_t{Fixed.X} - RoundPixel(MousePos.X / FMagnify));
  FTopLeft.Y = Saturate(int64_t{Fixed.Y} - RoundPixel(MousePos.Y / FMagnify));
  ZoomStateOnStack();
  Paint();
  DoZoomPanEvent();
  return true;
}

// ---- Mouse box.

bool TVozIza::MouseBox(int32_t& xLo, int32_t& yLo, int32_t& xHi, int32_t& yHi) {
  const TControlRef Self(this);
  TApplication& App = Application();
  TMouseBoxScope Scope{Self, FMouseBoxState, FMouseAction, FMouseAction};
  FMouseAction = maNone;
  FMouseBoxState = mbsArmed;
  App.ProcessMessages();
  if (!Self) return false;
  while (FMouseBoxState == mbsArmed || FMouseBoxState == mbsDragging) {
    // Nothing more can finish the box: give up rather than wait forever.
    if (App.GetTerminated() || !GetShowing() || !App.WaitMessage()) {
      if (!Self) return false;
      if (FMouseBoxState == mbsDragging)
        XorRectangle(FMouseBoxX1, FMouseBoxY1, FMouseBoxX2, FMouseBoxY2, false);
      return false;
    }
    if (!Self) return false;
    App.ProcessMessages();
    if (!Self) return false;
  }
  if (FMouseBoxState != mbsDone) return false;
  xLo = FMouseBoxX1;
  yLo = FMouseBoxY1;
  xHi = FMouseBoxX2;
  yHi = FMouseBoxY2;
  if (xHi < xLo) std::swap(xLo, xHi);
  if (yHi < yLo) std::swap(yLo, yHi);
  return true;
}

void TVozIza::MouseBoxAbort() {
  // A box being dragged is on screen; nothing will erase it later.
  if (FMouseBoxState == mbsDragging)
    XorRectangle(FMouseBoxX1, FMouseBoxY1, FMouseBoxX2, FMouseBoxY2, false);
  FMouseBoxState = mbsIdle;
}

} // namespace qeb
