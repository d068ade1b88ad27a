// Menu items and popup menus.
#include "qebgeolib/platform/controls/menus.h"

#include <algorithm>
#include <stdexcept>

#include "qebgeolib/platform/controls/application.h"

namespace qeb {

// ---------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  if (FParent) FParent->Remove(this);
  const std::vector<TMenuItem*> Items = std::move(FItems);
  FItems.clear();
  for (TMenuItem* Item : Items) {
    Item->FParent = nullptr;
    delete Item;
  }
}

TMenuItem* TMenuItem::GetItems(int32_t Index) const {
  if (Index < 0 || Index >= GetCount())
    throw std::out_of_range("List index out of bounds (" + IntToStr(Index) + ")");
  return FItems[static_cast<std::size_t>(Index)];
}

int32_t TMenuItem::IndexOf(const TMenuItem* Item) const {
  const auto It = std::find(FItems.begin(), FItems.end(), Item);
  return It == FItems.end() ? -1 : static_cast<int32_t>(It - FItems.begin());
}

void TMenuItem::Insert(int32_t Index, TMenuItem* Item) {
  if (!Item) return;
  if (Item->FParent) throw EMenuError("Menu inserted twice");
  if (Item->Contains(this)) throw EMenuError("A menu item cannot hold itself");
  if (Index < 0 || Index > GetCount())
    throw std::out_of_range("List index out of bounds (" + IntToStr(Index) + ")");
  FItems.insert(FItems.begin() + Index, Item);
  Item->FParent = this;
}

void TMenuItem::Remove(TMenuItem* Item) {
  const auto It = std::find(FItems.begin(), FItems.end(), Item);
  if (It == FItems.end()) return;
  FItems.erase(It);
  Item->FParent = nullptr;
}

void TMenuItem::Clear() {
  while (!FItems.empty())
    delete FItems.back();
}

bool TMenuItem::Contains(const TMenuItem* Item) const {
  // Searched downwards, so that Item may be a dangling pointer (a pick in a
  // menu whose item was deleted meanwhile).
  if (Item == this) return true;
  for (const TMenuItem* Sub : FItems)
    if (Sub->Contains(Item)) return true;
  return false;
}

void TMenuItem::Click() {
  if (!FEnabled) return;
  if (FAutoCheck) FChecked = !FChecked;
  if (TNotifyEvent F = FOnClick) F(this);
}

// ---------------------------------------------------------------------------
// TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner)
    : TComponent(AOwner), FSelf(std::make_shared<TPopupMenu*>(this)) {}

TPopupMenu::~TPopupMenu() {
  // Controls and hosts that still name the menu see it gone from here on.
  FSelf.reset();
}

bool TPopupMenu::CanPick(const TMenuItem* Item) const {
  if (!Item || Item == &FItems || !FItems.Contains(Item)) return false;
  if (Item->IsLine() || Item->GetCount() > 0) return false;
  for (const TMenuItem* I = Item; I != &FItems; I = I->GetParent())
    if (!I->GetVisible() || !I->GetEnabled()) return false;
  return true;
}

void TPopupMenu::Popup(TControl* Control, int32_t X, int32_t Y) {
  if (!Control) return;
  FPopupComponent = TControlRef(Control);
  const std::weak_ptr<TPopupMenu*> Self = FSelf;
  const TControlRef Target(Control);
  if (TNotifyEvent F = FOnPopup) F(this);
  if (Self.expired() || !Target) return;
  for (int32_t i = 0; i < FItems.GetCount(); ++i)
    if (FItems.GetItems(i)->GetVisible()) {
      Application().GetHost().ShowPopupMenu(this, Control, Point(X, Y));
      return;
    }
}

} // namespace qeb
