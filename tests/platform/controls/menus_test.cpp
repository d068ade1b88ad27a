#include "qebgeolib/platform/controls/menus.h"

#include <gtest/gtest.h>

#include "qebgeolib/platform/controls/application.h"
#include "tests/errortext.h"

using namespace qeb;
using qeb::test::ErrorOf;

namespace {

TMenuItem* Item(TMenuItem* Parent, const std::string& Caption, std::vector<std::string>* Log) {
  auto* I = new TMenuItem(nullptr);
  I->SetCaption(Caption);
  if (Log) I->SetOnClick([Log, I](TObject*) { Log->push_back(I->GetCaption()); });
  Parent->Add(I);
  return I;
}

} // namespace

TEST(Menus, RightReleaseShowsTheNearestMenuAndTestsPickItsItems) {
  THeadlessHost& H = Application().GetHeadlessHost();
  std::vector<std::string> Log;
  TCustomControl Root(nullptr);
  Root.SetBounds(0, 0, 100, 80);
  auto* Child = new TCustomControl(&Root);
  Child->SetParent(&Root);
  Child->SetBounds(50, 40, 30, 20);
  auto* Menu = new TPopupMenu(&Root);
  TMenuItem* Zoom = Item(Menu->GetItems(), "&Zoom", &Log);
  Zoom->SetAutoCheck(true);
  Item(Menu->GetItems(), "-", &Log);
  TMenuItem* Off = Item(Menu->GetItems(), "Off", &Log);
  Off->SetEnabled(false);
  TMenuItem* More = Item(Menu->GetItems(), "More", nullptr);
  TMenuItem* Deep = Item(More, "Deep", &Log);
  Menu->SetOnPopup([&](TObject*) { Log.push_back("popup"); });
  Root.SetPopupMenu(Menu);
  EXPECT_EQ(Child->GetPopupMenu(), nullptr);

  // The child has none: its parent's menu shows, at the parent's point, on
  // the release (not the press, not other buttons, not outside).
  H.PostMouseDown(&Root, mbRight, 0, 60, 45);
  H.PostProc([&] { Log.push_back(H.GetShownPopupMenu() ? "shown" : "none"); });
  H.PostMouseUp(&Root, mbRight, 0, 60, 45);
  Application().ProcessMessages();
  EXPECT_EQ(Log, (std::vector<std::string>{"none", "popup"}));
  EXPECT_EQ(H.GetShownPopupMenu(), Menu);
  EXPECT_EQ(H.GetShownPopupPos(), Point(60, 45));
  EXPECT_EQ(Menu->GetPopupComponent(), &Root);

  // What a user could not pick is refused and the menu stays.
  for (TMenuItem* Bad : {Off, More, Menu->GetItems()->GetItems(1), Menu->GetItems(),
                         static_cast<TMenuItem*>(nullptr)})
    EXPECT_FALSE(H.PickPopupItem(Bad));
  More->SetEnabled(false);
  EXPECT_FALSE(H.PickPopupItem(Deep));
  More->SetEnabled(true);
  EXPECT_TRUE(H.PickPopupItem(Deep));
  EXPECT_EQ(H.GetShownPopupMenu(), nullptr);
  EXPECT_FALSE(H.PickPopupItem(Zoom)); // closed

  H.PostMouseDown(&Root, mbRight, 0, 10, 10);
  H.PostMouseUp(&Root, mbRight, 0, 500, 10);
  Application().ProcessMessages();
  EXPECT_EQ(H.GetShownPopupMenu(), nullptr);
  H.PostClick(&Root, mbRight, 0, 10, 10);
  Application().ProcessMessages();
  EXPECT_TRUE(H.PickPopupItem(Zoom));
  EXPECT_TRUE(Zoom->GetChecked());
  EXPECT_EQ(Log, (std::vector<std::string>{"none", "popup", "Deep", "popup", "&Zoom"}));

  // A menu deleted while shown, or an item deleted in its own handler.
  Zoom->SetOnClick([&](TObject*) { delete Zoom; });
  H.PostClick(Child, mbRight, 0, 5, 5);
  Application().ProcessMessages();
  EXPECT_TRUE(H.PickPopupItem(Zoom));
  EXPECT_EQ(Menu->GetItems()->GetCount(), 3);
  Menu->SetAutoPopup(false);
  H.PostClick(Child, mbRight, 0, 5, 5);
  Application().ProcessMessages();
  EXPECT_EQ(H.GetShownPopupMenu(), nullptr);
  Menu->Popup(Child, 1, 2);
  delete Menu;
  EXPECT_EQ(H.GetShownPopupMenu(), nullptr);
  EXPECT_EQ(Root.GetPopupMenu(), nullptr);
  H.PostClick(&Root, mbRight, 0, 5, 5);
  Application().ProcessMessages();
}

TEST(Menus, ItemTreesRefuseDoubleParentsAndCycles) {
  TMenuItem Top(nullptr);
  TMenuItem* A = Item(&Top, "a", nullptr);
  TMenuItem* B = Item(A, "b", nullptr);
  EXPECT_EQ(ErrorOf([&] { Top.Add(B); }), "Menu inserted twice");
  EXPECT_EQ(ErrorOf([&] { A->Add(&Top); }), "A menu item cannot hold itself");
  delete B;
  EXPECT_EQ(A->GetCount(), 0);
}
