#include "qebgeolib/platform/controls/controls.h"

#include <gtest/gtest.h>

#include "qebgeolib/platform/controls/application.h"
#include "qebgeolib/platform/controls/stdctrls.h"

using namespace qeb;

namespace {

// Records what controls tell the host; installed for the life of a test.
struct TRecordingHost : THeadlessHost {
  TRecordingHost() { Application().SetHost(this); }
  ~TRecordingHost() override { Application().SetHost(nullptr); }
  void AreaChanged(TControl* Control, const TRect& Area) override {
    Areas.emplace_back(Control, Area);
    THeadlessHost::AreaChanged(Control, Area);
  }
  void CursorChanged(TControl* Control) override { Cursors.push_back(Control); }
  void ControlChanged(TControl* Control, TControlChange Change) override {
    Changes.emplace_back(Control, Change);
  }
  void ControlDestroyed(TControl* Control) override {
    Destroyed.push_back(Control);
    THeadlessHost::ControlDestroyed(Control);
  }
  std::vector<std::pair<TControl*, TRect>> Areas;
  std::vector<TControl*> Cursors;
  std::vector<std::pair<TControl*, TControlChange>> Changes;
  std::vector<TControl*> Destroyed;
};

struct TCounted : TCustomControl {
  TCounted(TComponent* AOwner, int* Deaths) : TCustomControl(AOwner), FDeaths(Deaths) {}
  ~TCounted() override { ++*FDeaths; }
  void CreateWnd() override { Log.push_back("CreateWnd " + GetName()); }
  void Paint() override {
    ++Paints;
    GetCanvas().GetPen().SetColor(clRed);
    GetCanvas().MoveTo(0, 0);
    GetCanvas().LineTo(GetWidth(), 0);
  }
  int* FDeaths;
  int Paints = 0;
  std::vector<std::string> Log;
};

} // namespace

TEST(Controls, OwnershipAndParentsSurviveAnyDeletionOrder) {
  int Deaths = 0;
  {
    auto* Owner = new TCounted(nullptr, &Deaths);
    auto* Panel = new TCounted(Owner, &Deaths);
    Panel->SetParent(Owner);
    auto* Leaf = new TCounted(Owner, &Deaths);
    Leaf->SetParent(Panel);
    // A child deleted first leaves its parent and its owner.
    auto* Early = new TCounted(Owner, &Deaths);
    Early->SetParent(Panel);
    delete Early;
    EXPECT_EQ(Deaths, 1);
    EXPECT_EQ(Panel->GetControlCount(), 1);
    EXPECT_EQ(Owner->ComponentCount(), 2);
    delete Owner; // owns Panel and Leaf, deletes each once
    EXPECT_EQ(Deaths, 4);
  }
  // A parent that does not own its child leaves it parentless.
  TCounted Child(nullptr, &Deaths);
  {
    TCounted Parent(nullptr, &Deaths);
    Child.SetParent(&Parent);
    EXPECT_TRUE(Parent.ContainsControl(&Child));
  }
  EXPECT_EQ(Child.GetParent(), nullptr);

  // Parent cycles are refused and change nothing.
  TWinControl A(nullptr), B(nullptr);
  B.SetParent(&A);
  try {
    A.SetParent(&B);
    FAIL() << "no error";
  } catch (const EInvalidOperation& E) {
    EXPECT_STREQ(E.what(), "A control cannot have itself as its parent");
  }
  EXPECT_THROW(A.SetParent(&A), EInvalidOperation);
  EXPECT_EQ(A.GetParent(), nullptr);
  EXPECT_THROW(A.GetControls(1), std::out_of_range);
}

TEST(Controls, AlignmentLaysOutChildrenAndFollowsChanges) {
  TWinControl Form(nullptr);
  Form.SetBounds(0, 0, 480, 320);
  auto* Top = new TPanel(&Form);
  Top->SetParent(&Form);
  Top->SetHeight(33);
  Top->SetAlign(alTop);
  auto* Client = new TCustomControl(&Form);
  Client->SetParent(&Form);
  Client->SetAlign(alClient);
  auto* Left = new TCustomControl(&Form);
  Left->SetParent(&Form);
  Left->SetWidth(50);
  Left->SetAlign(alLeft);
  auto* Bottom = new TCustomControl(&Form);
  Bottom->SetParent(&Form);
  Bottom->SetHeight(20);
  Bottom->SetAlign(alBottom);
  int Resizes = 0;
  Client->SetOnResize([&](TObject* Sender) {
    EXPECT_EQ(Sender, Client);
    ++Resizes;
  });

  EXPECT_EQ(Top->GetBoundsRect(), Rect(0, 0, 480, 33));
  EXPECT_EQ(Bottom->GetBoundsRect(), Rect(0, 300, 480, 320));
  EXPECT_EQ(Left->GetBoundsRect(), Rect(0, 33, 50, 300));
  EXPECT_EQ(Client->GetBoundsRect(), Rect(50, 33, 480, 300));

  Form.SetWidth(500);
  EXPECT_EQ(Client->GetBoundsRect(), Rect(50, 33, 500, 300));
  EXPECT_EQ(Resizes, 1);
  // An aligned control keeps its aligned height but not its position.
  Top->SetBounds(7, 9, 10, 40);
  EXPECT_EQ(Top->GetBoundsRect(), Rect(0, 0, 500, 40));
  EXPECT_EQ(Client->GetTop(), 40);
  Top->Hide();
  EXPECT_EQ(Client->GetBoundsRect(), Rect(50, 0, 500, 300));
  Top->Show();
  Form.DisableAlign();
  Form.SetHeight(100);
  EXPECT_EQ(Bottom->GetTop(), 300); // held back
  Form.EnableAlign();
  EXPECT_EQ(Bottom->GetBoundsRect(), Rect(0, 80, 500, 100));
  // Too little room: sizes end at zero, never below.
  Form.SetHeight(30);
  EXPECT_EQ(Client->GetHeight(), 0);
  EXPECT_EQ(Left->GetHeight(), 0);
  Left->SetParent(nullptr);
  EXPECT_EQ(Client->GetLeft(), 0);
  delete Left;
}

TEST(Controls, SurfaceFollowsTheSizeAndRefusesHostileSizes) {
  TCustomControl C(nullptr);
  C.SetBounds(3, 4, -10, -1);
  EXPECT_EQ(C.GetWidth(), 0);
  EXPECT_EQ(C.GetHeight(), 0);
  EXPECT_TRUE(C.GetSurface().Empty());
  C.GetCanvas().Rectangle(0, 0, 10, 10); // drawing on nothing is harmless
  C.Repaint();

  C.SetBounds(0, 0, 30, 20);
  EXPECT_EQ(C.GetSurface().GetWidth(), 30);
  EXPECT_EQ(C.GetSurface().GetHeight(), 20);
  EXPECT_EQ(C.GetSurface().GetPixelFormat(), pf32bit);
  // Too large for a surface: refused, nothing changed.
  EXPECT_THROW(C.SetBounds(0, 0, TControl::MaxControlExtent, TControl::MaxControlExtent),
               EOutOfResources);
  EXPECT_EQ(C.GetBoundsRect(), Rect(0, 0, 30, 20));
  C.SetWidth(1 << 30); // clamped; 32767 x 20 is a fine surface
  EXPECT_EQ(C.GetWidth(), TControl::MaxControlExtent);
  EXPECT_EQ(C.GetSurface().GetWidth(), TControl::MaxControlExtent);
}

TEST(Controls, PaintingReachesTheHostAndComposesTheTree) {
  TRecordingHost Host;
  int Deaths = 0;
  TCounted Root(nullptr, &Deaths);
  Root.SetName("Root");
  Root.SetBounds(0, 0, 40, 30);
  Root.SetColor(clBlue);
  auto* Child = new TCounted(&Root, &Deaths);
  Child->SetName("Child");
  Child->SetColor(clLime);
  Child->SetBounds(30, 10, 20, 10); // reaches past the parent's right edge
  Child->SetParent(&Root);

  // Nothing paints before the pump or an explicit update.
  EXPECT_EQ(Root.Paints, 0);
  Application().ProcessMessages();
  EXPECT_EQ(Root.Paints, 1);
  EXPECT_EQ(Child->Paints, 1);
  Application().ProcessMessages();
  EXPECT_EQ(Root.Paints, 1);

  TBitmap Shot;
  Root.PaintTo(Shot);
  EXPECT_EQ(Shot.GetWidth(), 40);
  TCanvas& S = Shot.GetCanvas();
  EXPECT_EQ(S.GetPixels(5, 0), clRed); // Paint's line
  EXPECT_EQ(S.GetPixels(5, 5), clBlue);
  EXPECT_EQ(S.GetPixels(35, 15), clLime);
  EXPECT_EQ(S.GetPixels(29, 15), clBlue);
  EXPECT_EQ(S.GetPixels(35, 10), clRed); // the child's own line, clipped at x = 40
  // Windows are made parents first, and a child parented later gets one.
  EXPECT_EQ(Root.Log, std::vector<std::string>{"CreateWnd Root"});
  EXPECT_EQ(Child->Log, std::vector<std::string>{"CreateWnd Child"});

  // Taking the canvas reports the surface once until the host shows it.
  Host.Areas.clear();
  Root.GetCanvas();
  Root.GetCanvas();
  ASSERT_EQ(Host.Areas.size(), 1u);
  EXPECT_EQ(Host.Areas[0].second, Rect(0, 0, 40, 30));
  Root.GetSurfaceForDisplay();
  Root.GetCanvas();
  EXPECT_EQ(Host.Areas.size(), 2u);

  Host.Changes.clear();
  Child->SetCaption("x");
  Child->SetEnabled(false);
  Child->SetBounds(0, 0, 5, 5);
  const std::vector<std::pair<TControl*, TControlChange>> Expected{
      {Child, ccContent}, {Child, ccEnabled}, {Child, ccBounds}};
  EXPECT_EQ(Host.Changes, Expected);
  Child->SetCursor(crHandPoint);
  EXPECT_EQ(Host.Cursors, std::vector<TControl*>{Child});
  delete Child;
  EXPECT_EQ(Host.Destroyed, std::vector<TControl*>{Child});
}

TEST(Controls, NameBecomesCaptionOnlyWhileTheCaptionFollowsIt) {
  TPanel P(nullptr);
  P.SetName("Panel1");
  EXPECT_EQ(P.GetCaption(), "Panel1");
  P.SetName("Panel2");
  EXPECT_EQ(P.GetCaption(), "Panel2");
  P.SetCaption("Tools");
  P.SetName("Panel3");
  EXPECT_EQ(P.GetCaption(), "Tools");
  TCustomControl Quiet(nullptr);
  Quiet.SetControlStyle(Quiet.GetControlStyle() & ~csSetCaption);
  Quiet.SetName("Atlas");
  EXPECT_EQ(Quiet.GetCaption(), "");
}

TEST(Controls, CanResizeAltersOrRefusesSizesBeforeTheyTakeEffect) {
  TCustomControl Parent(nullptr);
  Parent.SetBounds(0, 0, 200, 100);
  auto* C = new TCustomControl(&Parent);
  C->SetParent(&Parent);
  C->SetBounds(0, 0, 40, 30);
  int Resizes = 0;
  C->SetOnResize([&](TObject*) { ++Resizes; });
  // At most 50 wide; no height under 10; a hostile answer is clamped.
  C->SetOnCanResize([&](TObject*, int32_t& W, int32_t& H, bool& Resize) {
    if (W == 99) W = -5;
    W = std::min(W, 50);
    Resize = H >= 10;
  });
  struct TCase {
    TRect Asked;
    TRect Got;
  } Cases[] = {
      {Rect(0, 0, 80, 30), Rect(0, 0, 50, 30)}, // altered
      {Rect(5, 6, 25, 11), Rect(5, 6, 55, 36)}, // refused: only the move
      {Rect(5, 6, 25, 36), Rect(5, 6, 25, 36)}, // allowed
      {Rect(0, 0, 99, 30), Rect(0, 0, 0, 30)},  // clamped
  };
  for (const TCase& T : Cases) {
    C->SetBoundsRect(T.Asked);
    EXPECT_EQ(C->GetBoundsRect(), T.Got);
    EXPECT_EQ(C->GetSurface().GetWidth(), T.Got.Width());
  }
  EXPECT_EQ(Resizes, 3);
  // The parent's layout asks too.
  C->SetAlign(alClient);
  EXPECT_EQ(C->GetBoundsRect(), Rect(0, 0, 50, 100));
  // A handler that sets the size itself is not asked again from inside.
  int Asked = 0;
  C->SetOnCanResize([&](TObject*, int32_t&, int32_t&, bool& Resize) {
    ++Asked;
    C->SetHeight(20);
    Resize = false;
  });
  C->SetAlign(alNone);
  C->SetWidth(10);
  EXPECT_EQ(Asked, 1);
  EXPECT_EQ(C->GetWidth(), 50);
  EXPECT_EQ(C->GetHeight(), 20);
}

TEST(Controls, ShowHintFollowsTheParentUntilSet) {
  TCustomControl Root(nullptr), Other(nullptr);
  auto* Panel = new TPanel(&Root);
  Panel->SetParent(&Root);
  auto* C = new TCustomControl(&Root);
  C->SetParent(Panel);
  EXPECT_FALSE(C->GetShowHint());
  Root.SetShowHint(true); // through the panel
  EXPECT_TRUE(C->GetShowHint());
  Panel->SetShowHint(false);
  EXPECT_FALSE(C->GetShowHint());
  EXPECT_FALSE(Panel->GetParentShowHint());
  C->SetShowHint(true); // its own from now on
  Panel->SetParentShowHint(true);
  EXPECT_FALSE(C->GetParentShowHint());
  C->SetParentShowHint(true);
  EXPECT_TRUE(C->GetShowHint());
  C->SetParent(&Other); // a new parent: its value
  EXPECT_FALSE(C->GetShowHint());
  C->SetParent(nullptr);
}
