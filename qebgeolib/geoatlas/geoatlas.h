// The atlas control TGeoAtlas: a map control (TVozIza) under a command panel
// with a pointer button, a zoom button and a drop-down list of registered
// maps. With the zoom button down, a left click into the map switches to the
// next finer registered map that covers the clicked position, any other
// button to the next coarser one; the outlines of the other registered maps
// are drawn over the current one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "qebgeolib/platform/controls/controls.h"
#include "qebgeolib/platform/controls/cursors.h"
#include "qebgeolib/voziza/calibration.h"

namespace qeb {

class TComboBox;
class TPanel;
class TSpeedButton;
class TVozIza;

// One registered map.
struct TMapDefinition {
  std::string MapFName; // calibration file name as registered, in lower case
  std::string Caption;  // from the calibration file; may be empty
  double Resolution = 0;
  TCornerArray Corners = {}; // gcoTopLeft, gcoBottomLeft, gcoBottomRight, gcoTopRight
  friend bool operator==(const TMapDefinition&, const TMapDefinition&) = default;
};

// The most maps an atlas holds.
inline constexpr int32_t MaxRegMaps = 200;
// The screen cursors the atlas installs: the zoom cursor ("CURGEOZOOM"),
// shown over the atlas while the zoom button is down, and the hand
// ("CURGEOHAND").
inline constexpr TCursor crGeoZoom = 1000;
inline constexpr TCursor crGeoHand = 1001;

// Maps are registered by the names of their calibration files and indexed
// 1..NumRegMaps in the order of registration; the list shows them in that
// order under their captions (or lower-case file names). The current map is
// the one last selected through the atlas (CurrentMapIdx, 0 for none).
//
// Names are compared in lower case, so one file registered under two
// spellings keeps one entry; the file is always read under the name as it
// was last registered, letter case kept, because a lower-cased path does not
// name the same file on a case-sensitive file system.
//
// Nothing the atlas does itself raises: failures answer false and leave the
// atlas and the map shown as they were.
class TGeoAtlas : public TCustomControl {
public:
  // Builds the control tree: 480 x 320 at (100, 50); the panel (33 high,
  // aligned to the top) with the pointer button (down) and the zoom button
  // in one exclusive group and the list; the map control filling the rest.
  // Installs screen cursors crGeoZoom and crGeoHand.
  explicit TGeoAtlas(TComponent* AOwner);
  ~TGeoAtlas() override;

  std::string_view ClassName() const override { return "TGeoAtlas"; }

  // Reads the calibration file and adds its entry, or updates the entry of
  // the same lower-case name in place; the list is rebuilt with no item
  // selected and the map is not loaded. False, with nothing changed, for a
  // file that cannot be read or parsed, that holds a corner or resolution
  // that is not a finite number (or a negative resolution), or when 200
  // other maps are registered.
  bool RegisterMap(const std::string& MapFName);
  // Removes entry Index (nothing outside 1..NumRegMaps); the later entries
  // move down. Removing the map selected in the list selects the map that
  // moves into its place (nothing when it was the last); otherwise the list
  // keeps showing the current map at its new position.
  void UnregisterMap(int32_t Index);
  // Loads registered map Index into the map control and selects it in the
  // list. False for an index outside 1..NumRegMaps and for a calibration
  // file that no longer reads (or whose image does not load): the map shown,
  // the list and CurrentMapIdx then stay.
  bool SelectMap(int32_t Index);
  // Switches to the coarsest registered map that covers the position and is
  // finer than CurrentResolution by more than MinResDiff percent (ties: the
  // lowest index) and centres it there. False, with nothing changed, when
  // none qualifies or it does not load.
  bool ZoomIn(double CurrentLat, double CurrentLong, double CurrentResolution);
  // The same towards the finest covering map coarser than CurrentResolution.
  bool ZoomOut(double CurrentLat, double CurrentLong, double CurrentResolution);

  // A copy of entry Ix; an empty definition outside 1..NumRegMaps.
  TMapDefinition GetMapDef(int32_t Ix) const;
  TMapDefinition GetMaps(int32_t Ix) const { return GetMapDef(Ix); }
  int32_t GetNumRegMaps() const { return FNumRegMaps; }
  int32_t GetCurrentMapIdx() const { return FCurrentMapIdx; }

  // The embedded map control. Writing copies the state of another map
  // control into it (TVozIza::Assign), so the atlas keeps its own control
  // and its event wiring; null is ignored.
  TVozIza* GetCurrentMap() const { return FVozIza; }
  void SetCurrentMap(const TVozIza* Value);

  bool GetCmdPanelVisible() const;
  void SetCmdPanelVisible(bool Value);
  // Writers store the value and repaint the map control when it changed.
  TColor GetMapOutlineColor() const { return FMapOLColor; }
  void SetMapOutlineColor(TColor Value);
  bool GetMapOutlineVisible() const { return FMapOLVisible; }
  void SetMapOutlineVisible(bool Value);
  // Percent.
  double GetMinResDiff() const { return FMinResDiff; }
  void SetMinResDiff(double Value) { FMinResDiff = Value; }

  // The controls of the tree, for hosts that arrange or script them.
  TPanel* GetCmdPanel() const { return FCPanel; }
  TSpeedButton* GetPointerButton() const { return FSBPoint; }
  TSpeedButton* GetZoomButton() const { return FSBZoom; }
  TComboBox* GetMapsComboBox() const { return FCboxMaps; }

  const TNotifyEvent& GetOnZoomButClick() const { return FOnZoomButClick; }
  void SetOnZoomButClick(TNotifyEvent Value) { FOnZoomButClick = std::move(Value); }
  const TNotifyEvent& GetOnPointerButClick() const { return FOnPoiButClick; }
  void SetOnPointerButClick(TNotifyEvent Value) { FOnPoiButClick = std::move(Value); }
  const TNotifyEvent& GetOnCBoxMapsChange() const { return FOnCBxMapsChg; }
  void SetOnCBoxMapsChange(TNotifyEvent Value) { FOnCBxMapsChg = std::move(Value); }

protected:
  // Gives the map control the atlas's empty message.
  void CreateWnd() override;
  void Paint() override;

private:
  // The map control's events, taken by the atlas.
  void MapMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void DrawOutlines(TCanvas& Canvas);
  void RedirectImageRequest(std::string& FileName) const;
  // The common click of both buttons, then the button's own event.
  void ButtonClick(const TNotifyEvent& ButtonEvent);
  // The user's pick in the list.
  void MapsComboChange();

  // Loads entry Index into the map control; on failure everything stays.
  bool LoadEntry(int32_t Index);
  // The list from the entries, with no item selected; an entry is listed
  // under its caption, or its file name when the caption is empty.
  void RebuildList();
  const std::string& ListText(int32_t Index) const;
  // The entry ZoomIn (Finer) or ZoomOut picks, 0 for none.
  int32_t PickMap(double Lat, double Long, double CurrentResolution, bool Finer) const;

  TVozIza* FVozIza = nullptr;
  TPanel* FCPanel = nullptr;
  TSpeedButton* FSBZoom = nullptr;
  TSpeedButton* FSBPoint = nullptr;
  TComboBox* FCboxMaps = nullptr;
  TColor FMapOLColor = 0x00FF0000;
  bool FMapOLVisible = true;
  double FMinResDiff = 10.0;
  int32_t FNumRegMaps = 0;
  // Entry i is FRegMaps[i - 1]; FRegFiles holds its file name as given,
  // FNameHash the hash of its MapFName.
  std::array<TMapDefinition, MaxRegMaps> FRegMaps;
  std::array<std::string, MaxRegMaps> FRegFiles;
  std::array<std::size_t, MaxRegMaps> FNameHash{};
  TNotifyEvent FOnZoomButClick;
  TNotifyEvent FOnPoiButClick;
  TNotifyEvent FOnCBxMapsChg;
  int32_t FCurrentMapIdx = 0;
};

} // namespace qeb
