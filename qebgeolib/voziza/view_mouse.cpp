// TVozIza: the conversions between control and image pixels, program zoom
// and pan, the zoom history, resampling of the map image, and the routing
// of the mouse to the gesture units (view_pan.cpp, view_zoombox.cpp,
// view_selectrect.cpp, view_rubberline.cpp, view_mousebox.cpp) with the XOR
// figures they draw on the control's surface.
#include "qebgeolib/voziza/view.h"

#include <algorithm>
#include <cmath>

#include "qebgeolib/voziza/detail/calibmodels.h"
#include "qebgeolib/voziza/detail/viewpixels.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

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

} // namespace

// ---- Conversions.

TPoint TVozIza::ControlToMapImage(const TPoint& APoint) const {
  const TViewPort View = ShownView();
  return {Saturate(int64_t{RoundPixel(APoint.X / View.Mag)} + View.TopLeft.X),
          Saturate(int64_t{RoundPixel(APoint.Y / View.Mag)} + View.TopLeft.Y)};
}

TPoint TVozIza::MapImageToControl(const TPoint& APoint) const {
  return ImageToView(ShownView(), APoint);
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

  FCache.Invalidate();
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

void TVozIza::TZoomRing::Clear() {
  FZoomStack.fill(TgmZoomStackEntry{});
  FZStackPoi = 1;
}

void TVozIza::TZoomRing::Push(const TgmZoomStackEntry& Entry) {
  if (FZStackPoi < 1 || FZStackPoi > ZoomStackSize) FZStackPoi = 1;
  FZoomStack[FZStackPoi] = Entry;
  FZStackPoi = FZStackPoi % ZoomStackSize + 1;
}

TgmZoomStackEntry TVozIza::TZoomRing::Get(int32_t StackIx) const {
  const int32_t Slot = ZoomSlot(FZStackPoi, StackIx);
  return Slot == 0 ? TgmZoomStackEntry{} : FZoomStack[Slot];
}

void TVozIza::ClearZoomHistory() {
  FZoomHistory.Clear();
  ZoomStateOnStack();
}

void TVozIza::ZoomStateOnStack() {
  if (ComponentState() & csLoading) return;
  FZoomHistory.Push(TgmZoomStackEntry{FTopLeft.X, FTopLeft.Y, FMagnify});
}

TgmZoomStackEntry TVozIza::GetZoomStackEntry(int32_t StackIx) const {
  return FZoomHistory.Get(StackIx);
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

void TVozIza::XorRectangle(const TPoint& A, const TPoint& B, bool Dotted) {
  TCanvas& C = GetCanvas();
  TPen& Pen = C.GetPen();
  Pen.SetMode(pmXor);
  Pen.SetColor(0x00FFFFFF);
  Pen.SetStyle(Dotted ? psDot : psSolid);
  C.GetBrush().SetStyle(bsClear);
  C.Rectangle(A.X, A.Y, B.X, B.Y);
  Pen.SetMode(pmCopy);
  Pen.SetStyle(psSolid);
  C.GetBrush().SetStyle(bsSolid);
}

void TVozIza::XorLine(const TPoint& A, const TPoint& B) {
  TCanvas& C = GetCanvas();
  TPen& Pen = C.GetPen();
  Pen.SetMode(pmXor);
  Pen.SetColor(0x00FFFFFF);
  Pen.SetStyle(psSolid);
  C.GetBrush().SetStyle(bsClear);
  C.MoveTo(A.X, A.Y);
  C.LineTo(B.X, B.Y);
  Pen.SetMode(pmCopy);
  C.GetBrush().SetStyle(bsSolid);
}

// ---- Mouse routing. Event handlers may destroy the control: after each
// step the handler checks Self and touches nothing more when it is gone.

TVozIza::TGesture* TVozIza::ActiveGesture() {
  switch (FMouseAction) {
  case maPanBoth:
  case maPanHoriz:
  case maPanVert:
    return &FPan;
  case maZoomDrag:
    return &FDragZoom;
  case maZoomBox:
    return &FZoomBox;
  case maSelectRect:
    return &FSelectRect;
  case maRubberLine:
    return &FRubberLine;
  default:
    return nullptr;
  }
}

bool TVozIza::RightButtonBusy() const {
  const TMouseBoxState Box = FMouseBox.FMouseBoxState;
  return Box == mbsArmed || Box == mbsDragging || FZoomBox.FZoomState == zsZoomBoxOpen ||
         FSelectRect.FSelectRectOn;
}

void TVozIza::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  if (Button == mbRight) FRightTaken = RightButtonBusy();
  const TPoint Click = ControlToMapImage({X, Y});
  FLastMClickPosX = Click.X;
  FLastMClickPosY = Click.Y;
  FMouseBox.Down(*this, Button, Shift, X, Y);
  if (TGesture* G = ActiveGesture()) {
    G->Down(*this, Button, Shift, X, Y);
    if (!Self) return;
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TVozIza::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  const TPoint Pos = ControlToMapImage({X, Y});
  FLastMMousePosX = Pos.X;
  FLastMMousePosY = Pos.Y;
  FMouseBox.Move(*this, Shift, X, Y);
  if (TGesture* G = ActiveGesture()) {
    G->Move(*this, Shift, X, Y);
    if (!Self) return;
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TVozIza::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  if (Button == mbRight) {
    FRightUsed = FRightTaken || RightButtonBusy();
    FRightTaken = false;
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (!Self) return;
  FMouseBox.Up(*this, Button, X, Y);
  if (TGesture* G = ActiveGesture()) G->Up(*this, Button, X, Y);
}

bool TVozIza::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, const TPoint& MousePos) {
  const TControlRef Self(this);
  if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  if (!Self) return false;
  if (ActiveGesture() == nullptr) return false;
  if (FMapImgWidth <= 0 || FMapImgHeight <= 0 || WheelDelta == 0) return false;
  // A repaint would wipe an XOR figure that the next move then "erases"
  // back onto the view: no wheel zoom while one is on screen.
  const TGesture* const Figures[] = {&FZoomBox, &FSelectRect, &FRubberLine, &FMouseBox};
  for (const TGesture* G : Figures)
    if (G->FigureShown()) return false;
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

} // namespace qeb
