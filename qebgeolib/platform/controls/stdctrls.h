// Stock controls: the panel, the speed button with glyphs and exclusive
// groups, and the combo box. Each draws a plain look of itself on its
// surface; hosts with native widgets keep them in step through
// ControlChanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qebgeolib/platform/controls/controls.h"

namespace qeb {

enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised };

// A raised rectangle with a centred caption that holds other controls.
class TPanel : public TCustomControl {
public:
  explicit TPanel(TComponent* AOwner);
  std::string_view ClassName() const override { return "TPanel"; }

  TBevelCut GetBevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut Value);

protected:
  void Paint() override;

private:
  TBevelCut FBevelOuter = bvRaised;
};

// A tool button. GroupIndex 0 makes a push button that is down only while
// pressed. Buttons of one parent with the same nonzero GroupIndex form a
// group in which at most one is Down: a click puts the clicked one down and
// the others up; clicking the one that is down puts it up only with
// AllowAllUp. The glyph bitmap holds NumGlyphs images side by side: normal,
// disabled, pressed, down (missing ones fall back to the normal one); the
// colour of a glyph's bottom-left pixel is transparent.
class TSpeedButton : public TGraphicControl {
public:
  explicit TSpeedButton(TComponent* AOwner);
  std::string_view ClassName() const override { return "TSpeedButton"; }

  bool GetDown() const { return FDown; }
  // Without a group the button cannot stay down; in a group putting one
  // down puts the others up, and the one down stays down unless AllowAllUp.
  void SetDown(bool Value);
  int32_t GetGroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int32_t Value);
  bool GetAllowAllUp() const { return FAllowAllUp; }
  // Applies to the whole group.
  void SetAllowAllUp(bool Value);
  bool GetFlat() const { return FFlat; }
  void SetFlat(bool Value);
  const TBitmap& GetGlyph() const { return FGlyph; }
  void SetGlyph(const TBitmap& Value);
  int32_t GetNumGlyphs() const { return FNumGlyphs; }
  // 1..4; other values are ignored.
  void SetNumGlyphs(int32_t Value);
  // True while the left button that pressed it is held.
  bool GetPressed() const { return FPressed; }

  // The image of glyph Index (0 normal, 1 disabled, 2 pressed, 3 down), or
  // the normal one when the bitmap holds fewer; empty without a glyph.
  void GetGlyphImage(int32_t Index, TBitmap& Dest) const;

  // Fires OnClick (it does not change Down; a user's click does).
  void Click() override;

protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void Paint() override;

private:
  void UpdateExclusive();

  bool FDown = false;
  bool FPressed = false;
  bool FDragging = false;
  bool FFlat = false;
  bool FAllowAllUp = false;
  int32_t FGroupIndex = 0;
  int32_t FNumGlyphs = 1;
  // Mutable: reading pixels goes through the bitmap's canvas.
  mutable TBitmap FGlyph;
};

class TComboBox;

// The items of a combo box. Changes keep the selection on the same item
// where it survives and tell the host.
class TComboBoxItems {
public:
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // std::out_of_range for a bad index.
  const std::string& Get(int32_t Index) const;
  void Set(int32_t Index, const std::string& Value);
  int32_t Add(const std::string& Value);
  void Insert(int32_t Index, const std::string& Value);
  void Delete(int32_t Index);
  void Clear();
  int32_t IndexOf(const std::string& Value) const;
  const std::vector<std::string>& Strings() const { return FItems; }

private:
  friend class TComboBox;
  explicit TComboBoxItems(TComboBox* Owner) : FOwner(Owner) {}
  TComboBox* FOwner;
  std::vector<std::string> FItems;
};

enum TComboBoxStyle : uint8_t {
  csDropDown,
  csSimple,
  csDropDownList,
  csOwnerDrawFixed,
  csOwnerDrawVariable
};

// A drop-down list. ItemIndex -1 is no selection. OnChange fires for a
// user's pick only (Select), never for changes made by the program.
class TComboBox : public TWinControl {
public:
  explicit TComboBox(TComponent* AOwner);
  std::string_view ClassName() const override { return "TComboBox"; }

  TComboBoxItems& GetItems() { return FItems; }
  const TComboBoxItems& GetItems() const { return FItems; }
  int32_t GetItemIndex() const { return FItemIndex; }
  // Values outside -1..Count-1 select nothing.
  void SetItemIndex(int32_t Value);
  // The text of the selected item (empty without selection).
  std::string GetText() const;
  TComboBoxStyle GetStyle() const { return FStyle; }
  void SetStyle(TComboBoxStyle Value);
  int32_t GetDropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int32_t Value) { FDropDownCount = Value < 1 ? 1 : Value; }

  const TNotifyEvent& GetOnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }

  // What a user's pick of item Index does (hosts and scripts call it): the
  // item becomes selected and OnChange fires, also when it was selected
  // already. An index out of range is ignored.
  void Select(int32_t Index);

protected:
  void Paint() override;
  virtual void Change();

private:
  friend class TComboBoxItems;
  void ItemsChanged();

  TComboBoxItems FItems{this};
  int32_t FItemIndex = -1;
  TComboBoxStyle FStyle = csDropDown;
  int32_t FDropDownCount = 8;
  TNotifyEvent FOnChange;
};

} // namespace qeb
