#include "qebgeolib/geoatlas/geoatlas.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/controls/resources.h"
#include "qebgeolib/platform/controls/stdctrls.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/resources/georesources.h"
#include "qebgeolib/voziza/view.h"

namespace qeb {

namespace {

// Handlers are copied before the call, so that one may replace itself.
template <class TEvent, class... TArgs> void Fire(const TEvent& Event, TArgs&&... Args) {
  if (!Event) return;
  const TEvent Handler = Event;
  Handler(std::forward<TArgs>(Args)...);
}

// Reads what the atlas keeps of a calibration file. Damaged files raise in
// the parser; values that are not finite would poison the zoom choice and
// the outlines.
bool ReadMapDefinition(const std::string& FileName, TMapDefinition& Def) {
  TCalibData Data;
  TCalibModel Model = cmUndefined;
  try {
    if (!ParseCalibData(FileName, "", Data, Model)) return false;
  } catch (const Exception&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!std::isfinite(Data.Resolution) || Data.Resolution < 0) return false;
  for (const TCoords& C : Data.Corners)
    if (!std::isfinite(C.Latit) || !std::isfinite(C.Longit)) return false;
  Def.Caption = Data.Caption;
  Def.Resolution = Data.Resolution;
  Def.Corners = Data.Corners;
  return true;
}

void SetGlyph(TSpeedButton& Button, std::string_view Resource) {
  TBitmap Glyph;
  LoadBitmapResource(Glyph, GeoLibResources(), Resource);
  Button.SetGlyph(Glyph);
  Button.SetNumGlyphs(2);
}

} // namespace

TGeoAtlas::TGeoAtlas(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle((GetControlStyle() & ~(csAcceptsControls | csSetCaption)) | csFramed | csOpaque);
  SetBounds(100, 50, 480, 320);

  FCPanel = new TPanel(this);
  FCPanel->SetParent(this);
  FCPanel->SetHeight(33);
  FCPanel->SetAlign(alTop);

  FSBPoint = new TSpeedButton(this);
  FSBPoint->SetParent(FCPanel);
  FSBPoint->SetBounds(3, 3, 26, 26);
  FSBPoint->SetFlat(true);
  FSBPoint->SetGroupIndex(999);
  SetGlyph(*FSBPoint, "POINTR");
  FSBPoint->SetDown(true);
  FSBPoint->SetOnClick([this](TObject*) { ButtonClick(FOnPoiButClick); });

  FSBZoom = new TSpeedButton(this);
  FSBZoom->SetParent(FCPanel);
  FSBZoom->SetBounds(FSBPoint->GetLeft() + FSBPoint->GetWidth() + 3, 3, 26, 26);
  FSBZoom->SetFlat(true);
  FSBZoom->SetGroupIndex(999);
  SetGlyph(*FSBZoom, "ZOOMIN");
  FSBZoom->SetOnClick([this](TObject*) { ButtonClick(FOnZoomButClick); });

  FCboxMaps = new TComboBox(this);
  FCboxMaps->SetParent(FCPanel);
  FCboxMaps->SetBounds(FSBZoom->GetLeft() + FSBZoom->GetWidth() + 10, 5, 300,
                       FCboxMaps->GetHeight());
  FCboxMaps->SetStyle(csDropDownList);
  FCboxMaps->SetOnChange([this](TObject*) { MapsComboChange(); });

  FVozIza = new TVozIza(this);
  FVozIza->SetParent(this);
  FVozIza->SetAlign(alClient);
  FVozIza->SetOnMouseDown([this](TObject*, TMouseButton B, TShiftState S, int32_t X, int32_t Y) {
    MapMouseDown(B, S, X, Y);
  });
  FVozIza->SetOnMouseUp([this](TObject*, TMouseButton B, TShiftState S, int32_t X, int32_t Y) {
    Fire(GetOnMouseUp(), this, B, S, X, Y);
  });
  FVozIza->SetOnMouseMove([this](TObject*, TShiftState S, int32_t X, int32_t Y) {
    Fire(GetOnMouseMove(), this, S, X, Y);
  });
  FVozIza->SetOnClick([this](TObject*) { Click(); });
  FVozIza->SetOnDblClick([this](TObject*) { DblClick(); });
  FVozIza->SetOnDataRendered([this](TObject*, TCanvas& C) { DrawOutlines(C); });
  FVozIza->SetOnMapImageRequest([this](TObject*, std::string& F) { RedirectImageRequest(F); });

  Screen().SetCursors(crGeoZoom, LoadCursor(GeoLibResources(), "CURGEOZOOM"));
  Screen().SetCursors(crGeoHand, LoadCursor(GeoLibResources(), "CURGEOHAND"));
}

// The map control, the zoom button, the list and the panel go first, in this
// order; the pointer button goes with the atlas, its owner.
TGeoAtlas::~TGeoAtlas() {
  FVozIza->SetOnDataRendered(nullptr);
  FVozIza->SetOnMapImageRequest(nullptr);
  delete FVozIza;
  delete FSBZoom;
  delete FCboxMaps;
  delete FCPanel;
}

void TGeoAtlas::CreateWnd() {
  TCustomControl::CreateWnd();
  FVozIza->SetEmptyMsg("TGeoAtlas: Empty");
}

// Only uncovered while the panel is hidden and the map control is empty.
void TGeoAtlas::Paint() {
  TCanvas& C = GetCanvas();
  C.GetBrush().SetColor(GetColor());
  C.FillRect(GetClientRect());
}

// ---- Maps.

bool TGeoAtlas::RegisterMap(const std::string& MapFName) {
  TMapDefinition Def;
  if (!ReadMapDefinition(MapFName, Def)) return false;
  Def.MapFName = LowerCase(MapFName);
  // Paths share long folder prefixes: hashes first keep the search short.
  const std::size_t Hash = std::hash<std::string>()(Def.MapFName);
  int32_t Ix = 1;
  while (Ix <= FNumRegMaps &&
         (FNameHash[Ix - 1] != Hash || FRegMaps[Ix - 1].MapFName != Def.MapFName))
    ++Ix;
  if (Ix > MaxRegMaps) return false;
  const bool Added = Ix > FNumRegMaps;
  FNumRegMaps = std::max(FNumRegMaps, Ix);
  FRegMaps[Ix - 1] = std::move(Def);
  FRegFiles[Ix - 1] = MapFName;
  FNameHash[Ix - 1] = Hash;
  // The list as a rebuild leaves it, by one change where it still matches
  // the entries, so that registering many maps stays linear.
  TComboBoxItems& Items = FCboxMaps->GetItems();
  if (Items.Count() == FNumRegMaps - (Added ? 1 : 0)) {
    FCboxMaps->SetItemIndex(-1);
    if (Added)
      Items.Add(ListText(Ix));
    else
      Items.Set(Ix - 1, ListText(Ix));
  } else {
    RebuildList();
  }
  // The new outline shows with the next paint.
  FVozIza->Invalidate();
  return true;
}

void TGeoAtlas::UnregisterMap(int32_t Index) {
  if (Index < 1 || Index > FNumRegMaps) return;
  for (int32_t I = Index; I < FNumRegMaps; ++I) {
    FRegMaps[I - 1] = std::move(FRegMaps[I]);
    FRegFiles[I - 1] = std::move(FRegFiles[I]);
    FNameHash[I - 1] = FNameHash[I];
  }
  FRegMaps[FNumRegMaps - 1] = TMapDefinition();
  FRegFiles[FNumRegMaps - 1].clear();
  --FNumRegMaps;
  const int32_t Selected = FCboxMaps->GetItemIndex();
  RebuildList();
  if (Index == Selected + 1) {
    // The map shown is no longer registered; the one that moved into its
    // place, if any, replaces it.
    FCurrentMapIdx = 0;
    SelectMap(Index);
    return;
  }
  // The current map stays; it may have moved down, or it was the one
  // removed while the list showed no selection.
  if (FCurrentMapIdx == Index)
    FCurrentMapIdx = 0;
  else if (FCurrentMapIdx > Index)
    --FCurrentMapIdx;
  if (Selected >= 0) FCboxMaps->SetItemIndex(FCurrentMapIdx - 1);
  FVozIza->Repaint();
}

// One repaint at the end, when the list shows the new map, so that the
// outlines leave out the right one.
bool TGeoAtlas::SelectMap(int32_t Index) {
  if (Index < 1 || Index > FNumRegMaps) return false;
  const bool Suppressed = FVozIza->GetSuppressPaint();
  FVozIza->SetSuppressPaint(true);
  const bool Loaded = LoadEntry(Index);
  if (Loaded) FCboxMaps->SetItemIndex(Index - 1);
  FVozIza->SetSuppressPaint(Suppressed);
  return Loaded;
}

// The map control's own load answers whether the file gave a graticule, so
// it is false for every quad calibration; success here is the file parsing
// and loading without error. The file is parsed first, so that one that
// vanished or was damaged since its registration leaves the map shown as
// it is; should the load fail after all (the image too large or unreadable,
// the file changed in between), the calibration shown before is restored.
bool TGeoAtlas::LoadEntry(int32_t Index) {
  TMapDefinition Check;
  if (!ReadMapDefinition(FRegFiles[Index - 1], Check)) return false;
  const int32_t PrevIdx = FCurrentMapIdx;
  const TCalibData PrevData = FVozIza->GetCalibData();
  const TCalibModel PrevModel = FVozIza->GetCalibModel();
  // The image request looks up the folder of this entry.
  FCurrentMapIdx = Index;
  try {
    FVozIza->LoadCalDataFromXML(FRegFiles[Index - 1], "");
    return true;
  } catch (const Exception&) {
  } catch (const std::bad_alloc&) {
  }
  FCurrentMapIdx = PrevIdx;
  try {
    FVozIza->SetCalibData(PrevData);
    FVozIza->SetCalibModel(PrevModel);
  } catch (const Exception&) {
  }
  return false;
}

const std::string& TGeoAtlas::ListText(int32_t Index) const {
  const TMapDefinition& M = FRegMaps[Index - 1];
  return M.Caption.empty() ? M.MapFName : M.Caption;
}

void TGeoAtlas::RebuildList() {
  TComboBoxItems& Items = FCboxMaps->GetItems();
  Items.Clear();
  for (int32_t I = 1; I <= FNumRegMaps; ++I)
    Items.Add(ListText(I));
}

void TGeoAtlas::MapsComboChange() {
  const TControlRef Self(this);
  const int32_t Picked = FCboxMaps->GetItemIndex() + 1;
  // A pick that does not load leaves the list on the map still shown.
  if (Picked < 1 || Picked > FNumRegMaps || !LoadEntry(Picked))
    FCboxMaps->SetItemIndex(FCurrentMapIdx - 1);
  if (!Self) return;
  Fire(FOnCBxMapsChg, this);
}

TMapDefinition TGeoAtlas::GetMapDef(int32_t Ix) const {
  if (Ix < 1 || Ix > FNumRegMaps) return {};
  return FRegMaps[Ix - 1];
}

// ---- Zoom.

int32_t TGeoAtlas::PickMap(double Lat, double Long, double CurrentResolution, bool Finer) const {
  double Best = Finer ? 0.0 : 1e10;
  int32_t Chosen = 0;
  for (int32_t I = 1; I <= FNumRegMaps; ++I) {
    const TMapDefinition& M = FRegMaps[I - 1];
    if (!PositionInMap(Lat, Long, M.Corners)) continue;
    const bool Qualifies =
        Finer ? (CurrentResolution - M.Resolution) / CurrentResolution > FMinResDiff / 100 &&
                    M.Resolution > Best
              : M.Resolution > CurrentResolution && M.Resolution < Best;
    if (Qualifies) {
      Chosen = I;
      Best = M.Resolution;
    }
  }
  return Chosen;
}

bool TGeoAtlas::ZoomIn(double CurrentLat, double CurrentLong, double CurrentResolution) {
  const int32_t I = PickMap(CurrentLat, CurrentLong, CurrentResolution, true);
  if (I == 0 || !SelectMap(I)) return false;
  FVozIza->BringLocationToCenter(CurrentLat, CurrentLong);
  return true;
}

bool TGeoAtlas::ZoomOut(double CurrentLat, double CurrentLong, double CurrentResolution) {
  const int32_t I = PickMap(CurrentLat, CurrentLong, CurrentResolution, false);
  if (I == 0 || !SelectMap(I)) return false;
  FVozIza->BringLocationToCenter(CurrentLat, CurrentLong);
  return true;
}

// ---- Properties.

void TGeoAtlas::SetCurrentMap(const TVozIza* Value) {
  if (Value == nullptr || Value == FVozIza) return;
  FVozIza->Assign(Value);
  FVozIza->Repaint();
}

bool TGeoAtlas::GetCmdPanelVisible() const {
  return FCPanel->GetVisible();
}

void TGeoAtlas::SetCmdPanelVisible(bool Value) {
  FCPanel->SetVisible(Value);
}

void TGeoAtlas::SetMapOutlineColor(TColor Value) {
  if (Value == FMapOLColor) return;
  FMapOLColor = Value;
  FVozIza->Repaint();
}

void TGeoAtlas::SetMapOutlineVisible(bool Value) {
  if (Value == FMapOLVisible) return;
  FMapOLVisible = Value;
  FVozIza->Repaint();
}

// ---- Events of the controls.

void TGeoAtlas::ButtonClick(const TNotifyEvent& ButtonEvent) {
  const TControlRef Self(this);
  const bool Zoom = FSBZoom->GetDown();
  SetCursor(Zoom ? crGeoZoom : crHandPoint);
  FVozIza->SetAllowPan(!Zoom);
  Click();
  if (!Self) return;
  Fire(ButtonEvent, this);
}

// The atlas's own mouse-down first; then, with the zoom button down, the
// zoom at the clicked position. A click the calibration cannot place does
// not zoom (it would otherwise zoom at latitude 0, longitude 0).
void TGeoAtlas::MapMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  Fire(GetOnMouseDown(), this, Button, Shift, X, Y);
  if (!Self || !FSBZoom->GetDown()) return;
  bool ValidLat = false, ValidLong = false;
  const TPoint Click{FVozIza->GetLastClickPosX(), FVozIza->GetLastClickPosY()};
  const double Lat = FVozIza->CalcLatitude(Click, ValidLat);
  const double Long = FVozIza->CalcLongitude(Click, ValidLong);
  if (!ValidLat || !ValidLong) return;
  const double Resolution = FVozIza->GetCalibData().Resolution;
  if (Button == mbLeft)
    ZoomIn(Lat, Long, Resolution);
  else
    ZoomOut(Lat, Long, Resolution);
}

// A corner that does not convert is left out of the path; should the
// starting corner be one, the path starts at the first corner that
// converts, rather than from wherever the pen was left.
void TGeoAtlas::DrawOutlines(TCanvas& Canvas) {
  if (!FMapOLVisible) return;
  const TCanvasStateSaver Saver(Canvas);
  TPen& Pen = Canvas.GetPen();
  Pen.SetColor(FMapOLColor);
  Pen.SetStyle(psSolid);
  Pen.SetWidth(1);
  Pen.SetMode(pmCopy);
  const int32_t Selected = FCboxMaps->GetItemIndex() + 1;
  static constexpr TCorners Path[] = {gcoTopRight, gcoTopLeft, gcoBottomLeft, gcoBottomRight,
                                      gcoTopRight};
  for (int32_t I = 1; I <= FNumRegMaps; ++I) {
    if (I == Selected) continue;
    const TCornerArray& Corners = FRegMaps[I - 1].Corners;
    bool Started = false;
    for (const TCorners K : Path) {
      int32_t X = 0, Y = 0;
      if (!FVozIza->CalcPixelCoords(Corners[K].Latit, Corners[K].Longit, X, Y)) continue;
      const TPoint P = FVozIza->MapImageToControl({X, Y});
      if (Started)
        Canvas.LineTo(P.X, P.Y);
      else
        Canvas.MoveTo(P.X, P.Y);
      Started = true;
    }
  }
}

// The image named by a calibration file is looked for beside that file.
// Only the name part of the request is kept, so a name with folders (or a
// Windows path) in the file cannot lead elsewhere.
void TGeoAtlas::RedirectImageRequest(std::string& FileName) const {
  if (FCurrentMapIdx < 1 || FCurrentMapIdx > FNumRegMaps) return;
  FileName = ExtractFilePath(FRegFiles[FCurrentMapIdx - 1]) + ExtractFileName(FileName);
}

} // namespace qeb
