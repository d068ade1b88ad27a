// The map control TVozIza: one calibrated raster map image shown at a
// magnification and view position, with graticule, UTM grid and calibration
// markers drawn over it, zoomed and panned by program calls and the mouse,
// copied to the clipboard, bitmaps and printer pages.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/platform/controls/controls.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/graphics.h"
#include "qebgeolib/voziza/calibration.h"
#include "qebgeolib/voziza/detail/imagecache.h"
#include "qebgeolib/voziza/detail/landmarkindex.h"
#include "qebgeolib/voziza/landmarks.h"

namespace qeb {

class TPrinter;
class TTextFile;

// One view of the zoom history: TopLeft and magnification. All three zero
// marks an empty slot.
struct TgmZoomStackEntry {
  int32_t Left = 0;
  int32_t Top = 0;
  double MagF = 0;
  bool Empty() const { return Left == 0 && Top == 0 && MagF == 0; }
  friend bool operator==(const TgmZoomStackEntry&, const TgmZoomStackEntry&) = default;
};

// What the graticule pass draws. The two UTM modes draw only under cmUTM.
enum TShowGrat : uint8_t {
  sgNone,
  sgPoints,           // calibration point markers
  sgLines,            // meridians and parallels
  sgPointsAndLines,   // lines, then markers
  sgUTMGrid,          // UTM grid lines
  sgPointsAndUTMGrid, // UTM grid and markers
};

using TRenderEvent = std::function<void(TObject* Sender, TCanvas& Canvas)>;
// The handler may replace FileName with the file actually to be read.
using TMapImgRequestEvent = std::function<void(TObject* Sender, std::string& FileName)>;

// The largest map image the control accepts, in pixels.
inline constexpr int64_t MaxMapImgPixels = 3000000;
// The margin around the drawing area of a generated map with its grid, in
// pixels; the drawing area maps the box linearly.
inline constexpr int32_t EmptyMapMargin = 30;
// The magnifications the control accepts (control pixels per image pixel).
inline constexpr double MinMagnification = 1.0 / 1024;
inline constexpr double MaxMagnification = 1024;
// The default and largest CacheMagLimit: the double 0x3FE5555555555555.
inline constexpr double DefaultCacheMagLimit = 2.0 / 3.0;
// The zoom history's ring of views.
inline constexpr int32_t ZoomStackSize = 16;

// Coordinates: image pixels are positions in the full-resolution map image
// (origin top left, y down); control pixels are positions on the control.
// The view is TopLeft (the image pixel at control pixel (0, 0)) and the
// magnification m (control pixels per image pixel):
//   control = Round((image - TopLeft) * m), image = Round(control / m) + TopLeft,
// rounding halves to even.
//
// Every change of a visible setting repaints at once: the view is composed
// off screen in AuxBmp (15-bit pixels) and copied to the control's surface in
// one block. Property writers repaint only when the value they store differs
// from the one held (after clamping); loading or taking over an image always
// repaints. Below CacheMagLimit the whole image is kept pre-scaled (FCache),
// so panning only copies a window of it.
//
// Image loading and its failures:
// - a file that does not exist empties the control (name "", size 0 x 0);
// - a JPEG or BMP file that cannot be read or decoded raises the decoder's
//   error (EInOutError, EInvalidGraphic) and leaves picture, name, size and
//   view as they were; only the scaled cache is dropped and rebuilt;
// - an image above MaxMapImgPixels raises EQEBVozIzaError
//   Component "<Name>": Cannot use map image, maximum of 3000000 pixels
//   exceeded (size of map is <w> x <h>) and keeps the previous picture,
//   name and size.
//
// The control is used from the GUI thread only.
class TVozIza : public TCustomControl, public TVozIzaCalibration {
public:
  // 500 x 400 pixels, no image, magnification 1, TopLeft (0, 0), the
  // default colours, frame and empty message; the zoom history holds the
  // initial view unless the owner is loading.
  explicit TVozIza(TComponent* AOwner);
  ~TVozIza() override;

  std::string_view ClassName() const override { return "TVozIza"; }

  // From another TVozIza: its whole state (images, calibration, view, zoom
  // history, colours, settings, mouse states; the landmarks with their
  // template, class visibility and display threshold, but not the highlight)
  // but not its event handlers or bounds; nothing is repainted. Other
  // sources: EConvertError.
  void Assign(const TPersistent* Source) override;

  // Empties calibration, model, map file name, caption, image name and size,
  // and repaints. Picture, view and zoom history stay.
  void Clear();

  // ---- Map image.

  std::string GetMapImgFile() const override { return FMapImgName; }
  std::string GetMapImgName() const { return FMapImgName; }
  // Loads a .jpg/.jpeg or .bmp file (extension in any letter case) through
  // OnMapImageRequest, sets TopLeft (0, 0) and repaints; see the class
  // comment for the failures. An existing file with another extension keeps
  // the picture under the new name.
  void SetMapImgName(const std::string& Name) override;
  void SetMapImgFile(const std::string& Name) { SetMapImgName(Name); }
  TBitmap& GetMapBitmap() { return GrafBmp; }
  const TBitmap& GetMapBitmap() const { return GrafBmp; }
  TBitmap& GetMapBitMap() { return GrafBmp; }
  const TBitmap& GetMapBitMap() const { return GrafBmp; }
  // Takes a copy of Value as map image named "$unknown$"; TopLeft (0, 0);
  // repaints. Null empties the picture.
  void SetMapBitMap(TBitmap* Value);
  void SetMapBitmap(TBitmap* Value) { SetMapBitMap(Value); }
  int32_t GetMapImgWidth() const override { return FMapImgWidth; }
  int32_t GetMapImgHeight() const override { return FMapImgHeight; }
  // Writes the picture as <dir>/<base>.jpg and the calibration as
  // <dir>/<base>.xml with DataID; MapImgFile becomes "<base>.jpg".
  void SaveMap(const std::string& FileName, const std::string& DataID);
  // Renames the image file to Name (reduced to 8.3 characters, keeping the
  // folder and extension of the current name). False when there is no
  // image file or Name reduces to nothing.
  bool RenameMapImg(const std::string& Name);

  // ---- Generated maps: a blank image of Wid x Hgt pixels for a latitude
  // and longitude box, calibrated to it, into which the host draws through
  // OnDrawMapData (any callable; none is fine). Low and high bounds may come
  // in either order, spacings of 0 or less become 1 degree, sizes below 100
  // become 100; the callback gets the box and size so normalised. The grid:
  // the drawing area inside an EmptyMapMargin framed solid, a dotted frame
  // 4 pixels outside it, dashed silver parallels and meridians every dLat
  // and dLong degrees (from the multiple of the spacing next to the low
  // bound toward zero), each labelled at both ends. Refused with
  // EQEBVozIzaError before anything is drawn, written or changed: bounds or
  // spacings that are not finite, equal low and high bounds, a spacing that
  // gives more than 4096 lines, and a size above MaxMapImgPixels.
  using TOnDrawMapDataEvent =
      std::function<void(TObject* Sender, TCanvas& MapCanvas, double LatLow, double LongLow,
                         double LatHigh, double LongHigh, int32_t Wid, int32_t Hgt)>;
  // Writes the 4-bit image with its grid as <FName without extension>.bmp
  // and its calibration (biquadratic, nine points on the drawing area, data
  // identifier "QEB_voziza_caldata") as <...>.xml, each replacing an
  // existing file only when complete, then loads the map from them. File
  // errors raise EInOutError and leave the control as it was.
  void CreateAndLoadEmptyMap(const std::string& FName, double LatLow, double LongLow,
                             double LatHigh, double LongHigh, double dLat, double dLong,
                             int32_t Wid, int32_t Hgt,
                             const TOnDrawMapDataEvent& OnDrawMapData = nullptr);
  // The same as a 24-bit picture named "$unknown$" with an equirectangular
  // calibration, the grid only when ShowGrid; without it the whole image is
  // the drawing area.
  void CreateEmptyMapInMemory(double LatLow, double LongLow, double LatHigh, double LongHigh,
                              double dLat, double dLong, int32_t Wid, int32_t Hgt, bool ShowGrid,
                              const TOnDrawMapDataEvent& OnDrawMapData = nullptr);

  // ---- Appearance. Writers store the value and repaint when it changed.
  // Where reader and writer are spelled differently (ColorBackGnd with
  // SetColorBakGnd, ShowGraticule with SetShowGrat, ...), both spellings
  // exist for both.

  bool GetAntiAlias() const { return FAntiAlias; }
  void SetAntiAlias(bool Value);
  double GetCacheMagLimit() const { return FCacheMagLimit; }
  // Clamped to 0..2/3; repaints only while Magnification is below 2/3.
  void SetCacheMagLimit(double Value);
  TColor GetColorBackGnd() const { return FColorBakGnd; }
  TColor GetColorBakGnd() const { return FColorBakGnd; }
  void SetColorBakGnd(TColor Value);
  void SetColorBackGnd(TColor Value) { SetColorBakGnd(Value); }
  TColor GetColorGraticule() const { return FColorGratLine; }
  TColor GetColorGratLine() const { return FColorGratLine; }
  void SetColorGratLine(TColor Value);
  void SetColorGraticule(TColor Value) { SetColorGratLine(Value); }
  TColor GetColorCalibPoints() const { return FColorGratPoints; }
  TColor GetColorGratPoints() const { return FColorGratPoints; }
  void SetColorGratPoints(TColor Value);
  void SetColorCalibPoints(TColor Value) { SetColorGratPoints(Value); }
  // Colours the empty message only; the frame has its own shading colours.
  TColor GetColorFrame() const { return FFrameColor; }
  void SetColorFrame(TColor Value);
  const std::string& GetEmptyMsg() const { return FEmptyMsg; }
  void SetEmptyMsg(const std::string& Value);
  TFrameStyle GetFrameStyle() const { return FFrameStyle; }
  void SetFrameStyle(TFrameStyle Value);
  // Degrees between graticule lines, clamped to 0..60; 0 picks a spacing
  // from the map's extent.
  double GetGratLineDist() const { return FGratLineDist; }
  void SetGratLineDist(double Value);
  // Metres between UTM grid lines, clamped to 0..10,000,000; 0 picks one.
  int32_t GetUTMGridDist() const { return FUTMGridDist; }
  void SetUTMGridDist(int32_t Value);
  TShowGrat GetShowGraticule() const { return FShowGrat; }
  TShowGrat GetShowGrat() const { return FShowGrat; }
  // An ordinal beyond the enumeration is taken as sgNone.
  void SetShowGrat(TShowGrat Value);
  void SetShowGraticule(TShowGrat Value) { SetShowGrat(Value); }
  bool GetSuppressPaint() const { return FSuppressPaint; }
  // While true, nothing is drawn; switching it off repaints once.
  void SetSuppressPaint(bool Value);

  // ---- View. While an output operation composes a view of its own
  // (CopyToBMP, printing), TopLeft, Magnification and the conversions
  // answer for that view, so that handlers of the render events place
  // their drawing with them.

  TPoint GetTopLeft() const { return ShownView().TopLeft; }
  // Stores and repaints; no clamping, no OnZoomPan.
  void SetTopLeft(const TPoint& Value);
  double GetMagnification() const { return ShownView().Mag; }
  // Stores and repaints, TopLeft unchanged. A value outside
  // MinMagnification..MaxMagnification or not finite raises EQEBVozIzaError
  // Component "<Name>": magnification must lie between 1/1024 and 1024.
  void SetMagnification(double Value);
  TPoint ControlToMapImage(const TPoint& APoint) const;
  TPoint MapImageToControl(const TPoint& APoint) const;
  // The whole image in the control, TopLeft (0, 0); nothing without an image.
  void ZoomFitPage();
  // Moves TopLeft so that the image fills the window where it can; an
  // image smaller than the window shows from its top-left corner. No repaint.
  void PanMapToFillWindow();
  bool GetConfinePanToMapImage() const { return FConfinePan; }
  bool GetConfinePan() const { return FConfinePan; }
  void SetConfinePan(bool Value);
  void SetConfinePanToMapImage(bool Value) { SetConfinePan(Value); }
  void BringMapPixelToCenter(const TPoint& APoint);
  // Nothing when the calibration cannot place the position.
  void BringLocationToCenter(double Latitude, double Longitude);
  // Resamples the image permanently by Magnification (scaling every
  // calibration point with it) or to LongerEdgeLength pixels on its longer
  // edge; nothing without an image or for a factor that is not positive
  // and finite or would leave an empty or oversized bitmap.
  void ResizeMap(double Magnification);
  void ResizeMap(int32_t LongerEdgeLength);

  // ---- Zoom history: a ring of 16 views.

  void ClearZoomHistory();
  // Records the current view (not while the owner is loading).
  void ZoomStateOnStack();
  // Index -15..0: 0 the view recorded last, -1 the one before. Other
  // indexes give an empty entry.
  TgmZoomStackEntry GetZoomStackEntry(int32_t StackIx) const;
  // Goes back to a recorded view; nothing for an empty slot or an index
  // outside -15..0. No OnZoomPan.
  void ZoomHistory(int32_t Index);

  // ---- Mouse.

  TMouseActMode GetMouseAction() const { return FMouseAction; }
  void SetMouseAction(TMouseActMode Value) { FMouseAction = Value; }
  bool GetAllowPan() const { return FMouseAction == maPanBoth; }
  void SetAllowPan(bool Value) { FMouseAction = Value ? maPanBoth : maNone; }
  TZoomState GetZoomState() const { return FZoomBox.FZoomState; }
  // Lets the user drag a box (any button but the right one; the right one
  // cancels) in a nested message loop and returns its corners in control
  // pixels, xLo <= xHi and yLo <= yHi. False when cancelled, aborted
  // (MouseBoxAbort), when the application terminates, the control stops
  // showing, or the host can deliver no more input.
  bool MouseBox(int32_t& xLo, int32_t& yLo, int32_t& xHi, int32_t& yHi);
  void MouseBoxAbort();
  int32_t GetLastClickPosX() const { return FLastMClickPosX; }
  int32_t GetLastClickPosY() const { return FLastMClickPosY; }
  int32_t GetLastMousePosX() const { return FLastMMousePosX; }
  int32_t GetLastMousePosY() const { return FLastMMousePosY; }
  // The position of the last mouse-down; 0 when the calibration cannot
  // convert it.
  double GetLastMClickLatitude() const;
  double GetLastMClickLongitude() const;
  void DoZoomPanEvent();
  void DoSelectRectEvent(int32_t Kind, double a, double b, double c, double d);

  // ---- Clipboard, bitmaps and printing.

  // The view last composed, inside a one-pixel black outline, as a bitmap
  // of the control's size on the clipboard.
  void CopyToClipboard();
  // The whole map image with graticule and markers at magnification 1.
  void CopyEntireMapToClipboard();
  // Composes the view of Width x Height control pixels that starts at image
  // pixel TopLeft at magnification MagFact (graticule, markers and events
  // included, without frame) and draws it into DestBmp at (PosHoriz,
  // PosVert), clipped to DestBmp. The control's own view and cache stay.
  // Refused with EQEBVozIzaError: a null DestBmp, a magnification outside
  // MinMagnification..MaxMagnification, a size outside 1..2^20 and a
  // TopLeft farther than 2^28 from the origin.
  void CopyToBMP(TBitmap* DestBmp, const TPoint& TopLeft, double MagFact, int32_t PosHoriz,
                 int32_t PosVert, int32_t Width, int32_t Height);
  // The size in printer pixels of MapWindow (image pixels) printed at a map
  // scale of 1:Scale on the printer in use (see SetPrinter); corners in any
  // order. 0 x 0 when the map's resolution is unknown or Scale is not
  // positive.
  void CalcExtentsOfPrint(const TRect& MapWindow, int32_t Scale, int32_t& Width, int32_t& Height);
  // Prints the current view enlarged by ScaleF (printer pixels per control
  // pixel) at the top left of a page of its own (a document of one page).
  void PrintIt(double ScaleF);
  // Draws onto the page of an open printer: the current view enlarged by
  // ScaleF with its top left at (x, y), which then move to the bottom right
  // of the drawing; MapWindow at 1:Scale with its top left at (PosHoriz,
  // PosVert) printer pixels; or Width x Height image pixels from TopLeft.
  // Outside a document the printer raises EPrinter; the map-scale forms
  // need the map's resolution.
  void CopyToOpenPrinter(int32_t& x, int32_t& y, double ScaleF);
  void CopyToOpenPrinter(const TRect& MapWindow, int32_t Scale, int32_t PosHoriz, int32_t PosVert);
  void CopyToOpenPrinter(const TPoint& TopLeft, int32_t Scale, int32_t PosHoriz, int32_t PosVert,
                         int32_t Width, int32_t Height);
  // The printer the print operations use; null (the default) means the
  // process-wide Printer(). Not owned.
  TPrinter* GetPrinter() const { return FPrinter; }
  void SetPrinter(TPrinter* Value) { FPrinter = Value; }

  // ---- Landmarks (view_landmarks.cpp, files in landmarkfile.cpp). Indexes
  // are 1-based. Every single addition and removal is first offered to
  // OnLandMarkAction, which may refuse it; loading a file replaces the list
  // without asking. Operations that change what is shown repaint. A class
  // argument of -1 means every class; values below -1 or above 255 are taken
  // as -1. Positions are compared by the squared difference in degrees,
  // (lat - Lat)^2 + (long - Long)^2, without scaling or wrapping the longitude.
  //
  // The list's array grows in steps of LandMarkCapacityStep: the 1001st
  // landmark grows it to 2000, the 2001st to 3000; emptying it sets it back to
  // 1000. When the array cannot grow, EQEBVozIzaError
  // Component "<Name>": insufficient memory
  // is raised and the list stays as it was.

  // The new landmark takes the position from the arguments and every other
  // field from LandMarkDefault, except the fields an overload names.
  // Identifiers are cut to 15 and caption texts to 80 single-byte
  // characters. Nothing is added, and nothing repainted, when refused.
  void AddLandMark(double Lat, double Long, double Altitude);
  void AddLandMark(double Lat, double Long, double Altitude, std::string_view Identifier,
                   TDateTime Time);
  void AddLandMark(double Lat, double Long, double Altitude, std::string_view CaptionText,
                   int32_t CaptionSize, TColor CaptionColor);
  void AddLandMark(double Lat, double Long, double Altitude, std::string_view Identifier,
                   TDateTime Time, std::string_view CaptionText, int32_t CaptionSize,
                   TColor CaptionColor);
  // The only form that sets ClassFlag, Tag and the symbol; the caption comes
  // from LandMarkDefault.
  void AddLandMark(double Lat, double Long, double Altitude, TLandMarkElement Element,
                   uint8_t ClassFlag, std::string_view Identifier, TDateTime Time, int32_t Tag,
                   TColor ColorFG, TColor ColorBG, int32_t Size, bool Transparent,
                   int32_t Direction, int32_t Length);
  // The nearest landmark of the class (ties: the lower index); 0 for none.
  int32_t FindLandMark(double Lat, double Long, int32_t ClassFlag) const;
  // Removals reset the highlight to none. A single removal moves the last
  // landmark into the hole, so the order of the others is not kept.
  // By index: the index, or 0 when nothing was removed (repaints all the same).
  int32_t RemoveLandMark(int32_t LmIndex);
  // The nearest landmark of the class: its index, or 0.
  int32_t RemoveLandMark(double Lat, double Long, int32_t ClassFlag);
  // Every landmark of the class strictly within Radius degrees: the number
  // removed.
  int32_t RemoveLandMark(double Lat, double Long, int32_t ClassFlag, double Radius);
  // Every landmark of the class strictly inside Rect (Left west, Top north,
  // Right east, Bottom south; landmarks on the border stay): the number removed.
  int32_t RemoveLandMark(const TRectDouble& Rect, int32_t ClassFlag);
  void RemoveLastLandMark();
  // Every landmark of the class, each offered to OnLandMarkAction.
  void RemoveAllLandMarks(uint8_t ClassFlag);
  // Empties the list without events and without touching the highlight.
  void RemoveAllLandMarks();
  int32_t GetNumLandMarks() const { return int32_t(FLandMarks.size()); }
  // The array's capacity in landmarks (1000 steps, see above).
  int32_t GetLandMarkCapacity() const { return FLMCapacity; }
  // Index in 1..NumLandMarks; reading elsewhere gives an all-zero landmark
  // and a write elsewhere is ignored. No event fires.
  const TLandMark& GetLandMarkData(int32_t Index) const;
  void SetLandMarkData(int32_t Index, const TLandMark& Value);
  bool GetLMClassVisible(uint8_t ClassFlag) const { return FLMClassVisible[ClassFlag]; }
  void SetLMClassVisible(uint8_t ClassFlag, bool Value);
  // 0 = none; values outside 0..NumLandMarks become 0.
  int32_t GetHighLightLandMark() const { return FHighLM; }
  void SetHighLightLandMark(int32_t Value);
  void SetHighLightProperties(TColor ColorFG, TColor ColorBG, bool Transparent);
  TColor GetHighLightColorFG() const { return FHighLMColFG; }
  TColor GetHighLightColorBG() const { return FHighLMColBG; }
  bool GetHighLightTransparent() const { return FHighLMTrans; }
  // About this many landmarks are drawn at most (see DrawLandMarks); only
  // values above 1000 are taken.
  int32_t GetLMRandomDisplayThreshold() const { return FLMRandSampleLimit; }
  void SetLMRandomDisplayThreshold(int32_t Value);
  const TLandMark& GetLandMarkDefault() const { return FDefaultLM; }
  void SetLandMarkDefault(const TLandMark& Value) { FDefaultLM = Value; }

  // Landmark files: sets of landmarks in the XML-like map files, each under
  // a header with a data identifier. Loading reads the first set whose
  // identifier equals DataID (letter case ignored; any set when DataID is
  // empty) into the list, replacing it, and repaints; false when the file
  // cannot be opened or holds no such set (the list stays).
  bool LoadLandMarks(const std::string& FName, const std::string& DataID);
  // The reader proper, from the file's current line.
  bool ReadLandMarksFromOpenXMLFile(TTextFile& F, const std::string& DataID);
  // Writes the list as one set that reads back into the same landmarks (see
  // landmarkfile.cpp for what the file cannot hold); Header adds the XML
  // declaration and a comment line first. A landmark whose position is not
  // finite refuses the whole set with EQEBVozIzaError before anything is
  // written.
  void WriteLandMarksToOpenXMLFile(TTextFile& F, bool Header, const std::string& DataID);
  // Creates or replaces FileName with one set, with header.
  void SaveLandmarks(const std::string& FileName, const std::string& DataID);

  // ---- Events.

  const TRenderEvent& GetOnBeforeRenderData() const { return FOnBeforeRenderData; }
  void SetOnBeforeRenderData(TRenderEvent Value) { FOnBeforeRenderData = std::move(Value); }
  const TRenderEvent& GetOnDataRendered() const { return FOnDataRendered; }
  void SetOnDataRendered(TRenderEvent Value) { FOnDataRendered = std::move(Value); }
  const TMapImgRequestEvent& GetOnMapImageRequest() const { return FOnMapImageRequest; }
  void SetOnMapImageRequest(TMapImgRequestEvent Value) { FOnMapImageRequest = std::move(Value); }
  const TProgressEvent& GetOnDataLoading() const { return FOnDataLoading; }
  void SetOnDataLoading(TProgressEvent Value) { FOnDataLoading = std::move(Value); }
  const TZoomPanEvent& GetOnZoomPan() const { return FOnZoomPan; }
  void SetOnZoomPan(TZoomPanEvent Value) { FOnZoomPan = std::move(Value); }
  const TSelectRectEvent& GetOnSelectRect() const { return FOnSelectRect; }
  void SetOnSelectRect(TSelectRectEvent Value) { FOnSelectRect = std::move(Value); }
  const TOnRubberBandActionEvent& GetOnBeginRubberBand() const { return FOnBeginRubberBand; }
  const TOnRubberBandActionEvent& GetOnContinueRubberBand() const { return FOnContinueRubberBand; }
  const TOnRubberBandActionEvent& GetOnEndRubberBand() const { return FOnEndRubberBand; }
  void SetOnBeginRubberBand(TOnRubberBandActionEvent Value) {
    FOnBeginRubberBand = std::move(Value);
  }
  void SetOnContinueRubberBand(TOnRubberBandActionEvent Value) {
    FOnContinueRubberBand = std::move(Value);
  }
  void SetOnEndRubberBand(TOnRubberBandActionEvent Value) { FOnEndRubberBand = std::move(Value); }

  const TLandMarkActionEvent& GetOnLandMarkAction() const { return FOnLMAction; }
  void SetOnLandMarkAction(TLandMarkActionEvent Value) { FOnLMAction = std::move(Value); }
  const TDrawLandMarkEvent& GetOnDrawLandmark() const { return FOnDrawLandmark; }
  void SetOnDrawLandmark(TDrawLandMarkEvent Value) { FOnDrawLandmark = std::move(Value); }

  // The composed view (read-only: the next repaint replaces it).
  const TBitmap& GetAuxBmp() const { return AuxBmp; }

protected:
  // The geometry of one composition: the image pixel at the top left, the
  // magnification and the size in control pixels.
  struct TViewPort {
    TPoint TopLeft;
    double Mag = 1;
    int32_t Width = 0;
    int32_t Height = 0;
  };
  TViewPort CurrentViewPort() const { return {FTopLeft, FMagnify, GetWidth(), GetHeight()}; }
  // The view being composed, else the control's own.
  TViewPort ShownView() const { return FComposing ? *FComposing : CurrentViewPort(); }
  static TPoint ImageToView(const TViewPort& View, const TPoint& APoint);

  void AssignTo(TPersistent* Dest) const override;
  // Composes the view in AuxBmp and copies it to the control's surface;
  // nothing while SuppressPaint is set.
  void Paint() override;
  // Composes the current view in AuxBmp.
  void ConstructInternalMapImg();
  // Composes View into Dest (grown to the view's size when smaller): the
  // background or empty message, the image (through the cache when UseCache
  // and the magnification is below CacheMagLimit), OnBeforeRenderData, the
  // graticule, the landmark pass, OnDataRendered, the highlight, and the
  // frame when Frame is set. While it runs, the control's view properties
  // and conversions answer for View (see ShownView).
  void ComposeView(TBitmap& Dest, const TViewPort& View, bool UseCache, bool Frame);
  // The landmark pass: every landmark of a visible class is drawn with
  // probability p = 1, or threshold / n when more than LMRandomDisplayThreshold
  // visible landmarks (n) lie inside the view's quadrilateral of corners. The
  // decision for a landmark comes from a hash of its position and identifier,
  // so the same landmarks show on every repaint of a view and zooming in only
  // adds landmarks. OnDrawLandmark is called for each landmark drawn, inside
  // the control or not; its symbol and caption are drawn when not handled and
  // strictly inside the control.
  virtual void DrawLandMarks(TCanvas& Canvas, const TViewPort& View);
  // The highlighted landmark in the highlight colours, without caption and
  // without sampling.
  virtual void DrawHighLightLandMark(TCanvas& Canvas, const TViewPort& View);

  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  // Zooms by 1.25 a notch about the cursor unless a handler took the wheel,
  // MouseAction is maNone or an XOR figure (zoom box, selection, rubber band,
  // mouse box) is on screen.
  bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, const TPoint& MousePos) override;
  // The right button belongs to the mouse box, an open zoom box and a
  // selection being dragged: its release then shows no popup menu.
  bool RightButtonUsed() const override { return FRightUsed; }

  // ---- Calibration hooks.
  std::string CalibComponentName() const override { return GetName(); }
  void ClearMapImage() override;
  void CalibrationChanged() override { Paint(); }

  // ---- Mouse gestures: one unit a mode, with its own state and its own
  // press, move and release. The control hands the mouse to the mouse box
  // while MouseBox runs, then to the unit of MouseAction (view_mouse.cpp).
  // Events a unit fires may destroy the control: after each one the unit
  // touches nothing more when the control is gone.
  class TGesture {
  public:
    virtual void Down(TVozIza&, TMouseButton, TShiftState, int32_t, int32_t) {}
    // May clamp X and Y; OnMouseMove reports them clamped.
    virtual void Move(TVozIza&, TShiftState, int32_t&, int32_t&) {}
    virtual void Up(TVozIza&, TMouseButton, int32_t, int32_t) {}
    // An XOR figure of the gesture is on the surface, which a repaint
    // would wipe out from under it.
    virtual bool FigureShown() const { return false; }

  protected:
    ~TGesture() = default;
  };

  // Panning (maPanBoth, maPanHoriz, maPanVert): the first move with the left
  // button anchors, later moves inside the control set TopLeft from the
  // displacement since the anchor; every release records the view.
  class TPanGesture : public TGesture {
  public:
    void Move(TVozIza& V, TShiftState Shift, int32_t& X, int32_t& Y) override;
    void Up(TVozIza& V, TMouseButton Button, int32_t X, int32_t Y) override;
    bool FLButtonWasDown = false;
    TPoint MouseAnchor;    // MouseAnchorX, MouseAnchorY (control pixels)
    TPoint FTopLeftAnchor; // FTopLeftXAnchor, FTopLeftYAnchor: TopLeft at the anchor

  protected:
    // The anchoring rule of both drags: true when this move is to act.
    bool Follows(TVozIza& V, TShiftState Shift, int32_t X, int32_t Y);
  };

  // Drag zoom (maZoomDrag): anchored like a pan; every later move scales the
  // magnification by the factor of the whole displacement about the view's
  // centre.
  class TDragZoomGesture : public TPanGesture {
  public:
    void Move(TVozIza& V, TShiftState Shift, int32_t& X, int32_t& Y) override;
  };

  // Zoom box (maZoomBox): a left press opens a rectangle, the left release
  // zooms to it, a right release cancels.
  class TZoomBoxGesture : public TGesture {
  public:
    void Down(TVozIza& V, TMouseButton Button, TShiftState, int32_t X, int32_t Y) override;
    void Move(TVozIza& V, TShiftState, int32_t& X, int32_t& Y) override;
    void Up(TVozIza& V, TMouseButton Button, int32_t X, int32_t Y) override;
    bool FigureShown() const override { return FZoomState == zsZoomBoxOpen; }
    TZoomState FZoomState = zsIdle;
    TPoint FWindAnchor;    // FWindAnchorX, FWindAnchorY
    TPoint FWindOldCorner; // FWindOldCornerX, FWindOldCornerY
  };

  // Selection rectangle (maSelectRect): dotted, from a left press to the
  // left release, which reports it through OnSelectRect.
  class TSelectRectGesture : public TGesture {
  public:
    void Down(TVozIza& V, TMouseButton Button, TShiftState, int32_t X, int32_t Y) override;
    void Move(TVozIza& V, TShiftState Shift, int32_t& X, int32_t& Y) override;
    void Up(TVozIza& V, TMouseButton Button, int32_t X, int32_t Y) override;
    bool FigureShown() const override { return FSelectRectOn; }
    bool FSelectRectOn = false;
    TPoint FWindAnchor;    // FWindAnchorX, FWindAnchorY
    TPoint FWindOldCorner; // FWindOldCornerX, FWindOldCornerY
  };

  // Rubber band line (maRubberLine): a left click switches it on or off,
  // Ctrl+left click starts a new segment; the line follows every move.
  class TRubberLineGesture : public TGesture {
  public:
    void Down(TVozIza& V, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
    void Move(TVozIza& V, TShiftState, int32_t& X, int32_t& Y) override;
    bool FigureShown() const override { return FRubberBandOn; }
    bool FRubberBandOn = false;
    TPoint FRubberBAnchor; // FRubberBAnchorX, FRubberBAnchorY
    TPoint FRubberBandOld; // FRubberBandOldX, FRubberBandOldY: the end drawn last
  };

  // The box of MouseBox: armed by it, dragged with any button but the
  // right one, which cancels.
  class TMouseBoxGesture : public TGesture {
  public:
    void Down(TVozIza& V, TMouseButton Button, TShiftState, int32_t X, int32_t Y) override;
    void Move(TVozIza& V, TShiftState, int32_t& X, int32_t& Y) override;
    void Up(TVozIza& V, TMouseButton Button, int32_t X, int32_t Y) override;
    bool FigureShown() const override { return FMouseBoxState == mbsDragging; }
    // Idle, erasing the box when it is on screen.
    void Abort(TVozIza& V);
    TMouseBoxState FMouseBoxState = mbsIdle;
    TPoint FMouseBox1; // FMouseBoxX1, FMouseBoxY1: the corner pressed
    TPoint FMouseBox2; // FMouseBoxX2, FMouseBoxY2: the moving, at last the released corner
  };

  // The zoom history: a ring of ZoomStackSize views in FZoomStack[1..16]
  // ([0] unused); FZStackPoi is the slot written next.
  class TZoomRing {
  public:
    void Clear();
    void Push(const TgmZoomStackEntry& Entry);
    // StackIx -15..0, 0 the entry pushed last; empty for other indexes.
    TgmZoomStackEntry Get(int32_t StackIx) const;
    std::array<TgmZoomStackEntry, ZoomStackSize + 1> FZoomStack{};
    int32_t FZStackPoi = 1;
  };

  // ---- State. Bitmaps: GrafBmp the image at full resolution, AuxBmp the
  // composed view, FCache the image scaled for small magnifications.
  TBitmap GrafBmp;
  TBitmap AuxBmp;
  detail::TImageCache FCache;
  double FCacheMagLimit = DefaultCacheMagLimit;

  TColor FColorBakGnd = 0x00C0C0C0;
  TFrameStyle FFrameStyle = frsSingle;
  TColor FFrameColor = 0x00000000;
  TColor FColorGratLine = 0x00FF0000;
  TColor FColorGratPoints = 0x000000FF;
  TColor FColBlackLine = 0x00000000;
  TColor FColGrayLine = 0x00808080;
  TColor FColWhiteLine = 0x00FFFFFF;
  std::string FEmptyMsg = "VozIza: empty";
  std::string FMapImgName;
  int32_t FMapImgWidth = 0;
  int32_t FMapImgHeight = 0;
  double FMagnify = 1.0;
  TShowGrat FShowGrat = sgNone;
  TPoint FTopLeft;
  bool FSuppressPaint = false;
  bool FConfinePan = true;
  TMouseActMode FMouseAction = maPanBoth;
  bool FAntiAlias = true;
  double FGratLineDist = 0;
  int32_t FUTMGridDist = 0;
  TZoomRing FZoomHistory;
  TPanGesture FPan;
  TDragZoomGesture FDragZoom;
  TZoomBoxGesture FZoomBox;
  TSelectRectGesture FSelectRect;
  TRubberLineGesture FRubberLine;
  TMouseBoxGesture FMouseBox;
  int32_t FLastMClickPosX = 0, FLastMClickPosY = 0;
  int32_t FLastMMousePosX = 0, FLastMMousePosY = 0;
  // The last right press, and then its release, went to a gesture.
  bool FRightTaken = false;
  bool FRightUsed = false;
  TPrinter* FPrinter = nullptr;
  // The view an output operation is composing; null otherwise.
  const TViewPort* FComposing = nullptr;

  // The landmark list: slots 1..NumLandMarks are FLandMarks[0..] (so
  // FNumLandMarks is its size); FLMCapacity is the list's capacity by the
  // 1000-step rule, which the storage always holds.
  std::vector<TLandMark> FLandMarks;
  int32_t FLMCapacity = 0;
  TLandMark FDefaultLM = DefaultLandMark();
  std::array<bool, 256> FLMClassVisible;
  int32_t FLMRandSampleLimit = 20000;
  int32_t FHighLM = 0;
  TColor FHighLMColFG = 0x00FF0000;
  TColor FHighLMColBG = 0x0000FFFF;
  bool FHighLMTrans = false;
  // The positions of the landmarks, for the pass; rebuilt after changes.
  detail::TLandMarkIndex FLMIndex;

  TLandMarkActionEvent FOnLMAction;
  TDrawLandMarkEvent FOnDrawLandmark;
  TRenderEvent FOnBeforeRenderData;
  TRenderEvent FOnDataRendered;
  TMapImgRequestEvent FOnMapImageRequest;
  TProgressEvent FOnDataLoading;
  TZoomPanEvent FOnZoomPan;
  TSelectRectEvent FOnSelectRect;
  TOnRubberBandActionEvent FOnBeginRubberBand;
  TOnRubberBandActionEvent FOnContinueRubberBand;
  TOnRubberBandActionEvent FOnEndRubberBand;

private:
  // ---- Image and properties (view.cpp).
  // Raises the pixel-limit error for an image of W x H pixels above the limit.
  void CheckPixelLimit(int64_t W, int64_t H) const;
  // Name, size and AuxBmp from GrafBmp after a new picture; TopLeft (0, 0).
  void TakeNewPicture(const std::string& Name);
  // The one rule of the repainting writers: store Value and repaint when it
  // differs from Field.
  template <class T> void Store(T& Field, const T& Value) {
    if (Field == Value) return;
    Field = Value;
    Paint();
  }

  // ---- Rendering internals (view_render.cpp).
  // The image part of a composition: background where the image does not
  // cover the view, then the image through the cache or scaled directly.
  void DrawMapImage(TCanvas& Canvas, const TViewPort& View, bool UseCache);
  // The graticule pass: the curves of the parabolic model, or the meridians
  // and parallels between the corners, the UTM grid and the markers of the
  // corner-based models.
  void DrawGraticule(TCanvas& Canvas, const TViewPort& View);
  void DrawParabolicGraticule(TCanvas& Canvas, const TViewPort& View, bool Lines, bool Points);
  void DrawCornerGraticule(TCanvas& Canvas, const TViewPort& View);
  void DrawUTMGrid(TCanvas& Canvas, const TViewPort& View);
  void DrawCalibMarker(TCanvas& Canvas, int32_t X, int32_t Y);

  // ---- Landmark internals (view_landmarks.cpp).
  // Raises the "insufficient memory" error of the landmark list.
  [[noreturn]] void LandMarkMemoryError() const;
  // Makes room for one more landmark by the growth rule.
  void ReserveOneMoreLandMark();
  // Appends without asking OnLandMarkAction and without repaint (file reader).
  void AppendLandMark(const TLandMark& LM);
  // Offers LM to OnLandMarkAction; true when allowed.
  bool LandMarkActionAllowed(TLandMarkAction Action, const TLandMark& LM);
  // The count 0 and the array back to 1000 entries, nothing else.
  void ResetLandMarkList();
  // The list changed: the position index is stale.
  void LandMarksChanged() { FLMIndex.Invalidate(); }
  // Removes every landmark of the class (-1 all) for which Inside holds, each
  // offered to OnLandMarkAction, keeping the survivors below the first
  // removed index in place; the number removed.
  int32_t RemoveLandMarksWhere(int32_t ClassFlag,
                               const std::function<bool(const TLandMark&)>& Inside);
  // Appends after asking OnLandMarkAction, and repaints.
  void AddLandMark(const TLandMark& LM);
  // The hole-filling removal of one landmark (the last moves into its slot).
  void RemoveLandMarkAt(int32_t Index);
  // The end of every removal: the array back to 1000 entries when empty, repaint.
  void EndRemoval();
  void AssignLandMarks(const TVozIza& Src);
  // Raises when a landmark has a position the file cannot hold.
  void CheckLandMarksWritable() const;
  // The landmark's position in control pixels of the view shown; false when
  // the calibration cannot place it.
  bool LandMarkToView(const TLandMark& LM, TPoint& P) const;
  // The position at control pixel (X, Y) of the view shown.
  TCoords ControlToLatLong(int32_t X, int32_t Y, bool& Valid) const;
  // The probability p of the pass.
  double LandMarkDisplayProbability(const TViewPort& View);
  // Marks of the landmarks that may fall on the control.
  std::span<const uint64_t> LandMarksNearView(const TViewPort& View);
  void DrawLandMarkShape(TCanvas& C, const TPoint& Pt, const TLandMark& LM);

  // ---- Mouse internals (view_mouse.cpp).
  // A magnification inside the accepted range (NaN gives 1).
  static double ClampMagnification(double Value);
  // The unit the mouse goes to in the current MouseAction; null for none.
  TGesture* ActiveGesture();
  // A gesture that the right button cancels or would disturb is under way.
  bool RightButtonBusy() const;
  // The XOR figures drawn straight on the control's surface.
  void XorRectangle(const TPoint& A, const TPoint& B, bool Dotted);
  void XorLine(const TPoint& A, const TPoint& B);

  // ---- Output internals (view_output.cpp).
  // Composes View and draws the part of it that falls on Target with its top
  // left at (PosX, PosY), in tiles of bounded size.
  void RenderViewTo(TCanvas& Target, const TViewPort& View, int64_t PosX, int64_t PosY);
  // Raises for a view the output routines cannot compose.
  void CheckOutputView(const TViewPort& View) const;
  // The current view enlarged by ScaleF, checked.
  TViewPort ScaledViewPort(double ScaleF) const;
  // Width x Height image pixels from TopLeft at 1:Scale on the open printer.
  void PrintMapWindow(const TPoint& TopLeft, int64_t Width, int64_t Height, int32_t Scale,
                      int32_t PosHoriz, int32_t PosVert);
  TPrinter& OutputPrinter() const;
};

} // namespace qeb
