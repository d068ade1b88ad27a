// Popup menus: TPopupMenu with its tree of TMenuItem, shown by the host when
// the right button is released over a control that has the menu as its
// PopupMenu (or by Popup).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qebgeolib/platform/controls/controls.h"

namespace qeb {

// A menu tree used in a way the framework refuses.
class EMenuError : public Exception {
public:
  explicit EMenuError(const std::string& Message) : Exception(Message) {}
};

// An entry of a menu: a command, a separator (caption "-") or, with items
// of its own, a submenu. An item belongs to at most one parent item, which
// deletes its items when it goes; an item deleted first leaves its parent.
class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  std::string_view ClassName() const override { return "TMenuItem"; }

  // '&' marks the next letter as the item's access key ("&&" is an '&').
  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& Value) { FCaption = Value; }
  bool IsLine() const { return FCaption == "-"; }
  bool GetChecked() const { return FChecked; }
  void SetChecked(bool Value) { FChecked = Value; }
  // A click on an item with AutoCheck toggles Checked before OnClick.
  bool GetAutoCheck() const { return FAutoCheck; }
  void SetAutoCheck(bool Value) { FAutoCheck = Value; }
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value) { FVisible = Value; }
  const TNotifyEvent& GetOnClick() const { return FOnClick; }
  void SetOnClick(TNotifyEvent Value) { FOnClick = std::move(Value); }

  TMenuItem* GetParent() const { return FParent; }
  int32_t GetCount() const { return static_cast<int32_t>(FItems.size()); }
  // 0-based; std::out_of_range for a bad index.
  TMenuItem* GetItems(int32_t Index) const;
  int32_t IndexOf(const TMenuItem* Item) const;
  // Index may be GetCount(). An item that has a parent already, or that
  // holds this item, raises EMenuError.
  void Insert(int32_t Index, TMenuItem* Item);
  void Add(TMenuItem* Item) { Insert(GetCount(), Item); }
  // Takes Item out without deleting it.
  void Remove(TMenuItem* Item);
  // Deletes all items.
  void Clear();
  // Item is this item or lies below it; Item is only compared, never
  // dereferenced.
  bool Contains(const TMenuItem* Item) const;

  // A user's choice: with Enabled, AutoCheck toggles Checked and OnClick
  // fires. The handler may delete the item.
  virtual void Click();

private:
  std::string FCaption;
  bool FChecked = false;
  bool FAutoCheck = false;
  bool FEnabled = true;
  bool FVisible = true;
  TNotifyEvent FOnClick;
  TMenuItem* FParent = nullptr;
  std::vector<TMenuItem*> FItems;
};

// A menu that pops up over a control. Its items hang below GetItems().
class TPopupMenu : public TComponent {
public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  std::string_view ClassName() const override { return "TPopupMenu"; }

  TMenuItem* GetItems() { return &FItems; }
  const TMenuItem* GetItems() const { return &FItems; }
  // Whether the right button shows the menu; Popup works either way.
  bool GetAutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool Value) { FAutoPopup = Value; }
  // The control the menu was last shown for.
  TControl* GetPopupComponent() const { return FPopupComponent.Get(); }
  // Fires before the menu is shown, so a handler may fill or adjust it.
  const TNotifyEvent& GetOnPopup() const { return FOnPopup; }
  void SetOnPopup(TNotifyEvent Value) { FOnPopup = std::move(Value); }

  // Shows the menu at (X, Y) in Control's client coordinates: OnPopup, then
  // the host shows it when some item is visible. The host returns at once;
  // a pick later runs the item's Click.
  void Popup(TControl* Control, int32_t X, int32_t Y);

  // A reference that expires when the menu is destroyed.
  std::weak_ptr<TPopupMenu*> WeakRef() const { return FSelf; }
  // Item lies in this menu, is a command (no line, no submenu), and it and
  // every item above it are visible and enabled: a user could pick it. Item
  // may be a pointer to an item destroyed meanwhile.
  bool CanPick(const TMenuItem* Item) const;

private:
  std::shared_ptr<TPopupMenu*> FSelf;
  TMenuItem FItems{nullptr};
  bool FAutoPopup = true;
  TControlRef FPopupComponent;
  TNotifyEvent FOnPopup;
};

} // namespace qeb
