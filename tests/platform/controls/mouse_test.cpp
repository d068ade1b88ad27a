#include <gtest/gtest.h>

#include "qebgeolib/platform/controls/application.h"
#include "qebgeolib/platform/controls/controls.h"
#include "tests/platform/controls/mouselog.h"

using namespace qeb;

namespace {

using test::Mouse;

// Logs its handlers; MouseDown with ssCtrl runs a nested loop until a
// release, as a drag-a-box operation does.
struct TProbe : TCustomControl {
  explicit TProbe(TComponent* AOwner, std::vector<std::string>* ALog)
      : TCustomControl(AOwner), Log(ALog) {
    SetOnClick([this](TObject*) { Log->push_back(GetName() + " click"); });
    SetOnDblClick([this](TObject*) { Log->push_back(GetName() + " dblclick"); });
  }
  void MouseDown(TMouseButton B, TShiftState S, int32_t X, int32_t Y) override {
    Log->push_back(GetName() + " " + Mouse(B == mbLeft ? "down" : "down2", S, X, Y));
    TCustomControl::MouseDown(B, S, X, Y);
    if (S & ssCtrl) {
      Waiting = true;
      while (Waiting)
        Application().ProcessMessages();
      Log->push_back(GetName() + " loop done");
    }
  }
  void MouseMove(TShiftState S, int32_t X, int32_t Y) override {
    Log->push_back(GetName() + " " + Mouse("move", S, X, Y));
  }
  void MouseUp(TMouseButton B, TShiftState S, int32_t X, int32_t Y) override {
    Log->push_back(GetName() + " " + Mouse("up", S, X, Y));
    Waiting = false;
    TCustomControl::MouseUp(B, S, X, Y);
  }
  std::vector<std::string>* Log;
  bool Waiting = false;
};

struct TFixture : ::testing::Test {
  THeadlessHost& H = Application().GetHeadlessHost();
  std::vector<std::string> Log;
  TProbe* Root = new TProbe(nullptr, &Log);
  TProbe* Child = new TProbe(Root, &Log);
  TFixture() {
    Root->SetName("root");
    Root->SetBounds(0, 0, 100, 80);
    Child->SetName("child");
    Child->SetBounds(50, 40, 30, 20);
    Child->SetParent(Root);
  }
  ~TFixture() override {
    delete Root;
    H.ClearInput();
    H.SetOnIdle(nullptr);
  }
};

} // namespace

TEST_F(TFixture, PressesGoToTheControlUnderTheMouseWhichKeepsItUntilRelease) {
  H.PostMouseMove(Root, ssShift | ssLeft, 10, 10); // button bits come from the host
  H.PostMouseDown(Root, mbLeft, ssAlt, 55, 45);
  H.PostMouseMove(Root, 0, 10, 5);
  H.PostMouseUp(Root, mbLeft, 0, 10, 5); // released outside: no click
  H.PostClick(Root, mbLeft, 0, 60, 50);
  H.PostMouseDown(Root, mbRight, 0, 5, 5);
  H.PostMouseUp(Root, mbRight, 0, 5, 5);
  H.PostMouseDown(Root, mbLeft, 0, 500, 5); // outside the window: dropped
  H.PostMouseUp(Root, mbLeft, 0, 500, 5);
  EXPECT_EQ(H.PendingCount(), 10u);
  Application().ProcessMessages();
  EXPECT_EQ(H.PendingCount(), 0u);
  const std::vector<std::string> Expected{
      "root move S 10,10", "child down Al 5,5",  "child move l -40,-35",
      "child up  -40,-35", "child down l 10,10", "child click",
      "child up  10,10",   "root down2 r 5,5",   "root up  5,5"};
  EXPECT_EQ(Log, Expected);
}

TEST_F(TFixture, DoubleClicksWheelsAndDisabledControls) {
  H.PostClick(Root, mbLeft, 0, 5, 5);
  H.PostDblClick(Root, mbLeft, 0, 5, 5);
  H.PostMouseUp(Root, mbLeft, 0, 5, 5);
  Application().ProcessMessages();
  const std::vector<std::string> Expected{"root down l 5,5", "root click",       "root up  5,5",
                                          "root dblclick",   "root down ld 5,5", "root up  5,5"};
  EXPECT_EQ(Log, Expected);

  // The wheel goes up the parents until a handler takes it.
  std::vector<std::string> Wheel;
  Child->SetOnMouseWheelDown([&](TObject*, TShiftState, const TPoint& P, bool& Handled) {
    Wheel.push_back("child down " + std::to_string(P.X));
    Handled = false;
  });
  Root->SetOnMouseWheel(
      [&](TObject*, TShiftState S, int32_t Delta, const TPoint& P, bool& Handled) {
        Wheel.push_back("root " + std::to_string(Delta) + " " + std::to_string(P.X) + "," +
                        std::to_string(P.Y) + ((S & ssShift) ? " S" : ""));
        Handled = true;
      });
  H.PostMouseWheel(Root, ssShift, -120, 60, 45);
  Application().ProcessMessages();
  EXPECT_EQ(Wheel, (std::vector<std::string>{"child down 10", "root -120 60,45 S"}));
  EXPECT_TRUE(Child->InputMouseWheel(0, 120, 0, 0));

  // A disabled control swallows the press; its parent does not see it.
  Log.clear();
  Child->SetEnabled(false);
  H.PostClick(Root, mbLeft, 0, 55, 45);
  Root->SetEnabled(false);
  H.PostClick(Root, mbLeft, 0, 5, 5);
  Application().ProcessMessages();
  EXPECT_TRUE(Log.empty());
}

TEST_F(TFixture, EventsForDestroyedControlsAreDropped) {
  H.PostClick(Child, mbLeft, 0, 1, 1);
  H.PostProc([&] { Log.push_back("script"); });
  delete Child;
  Child = nullptr;
  Application().ProcessMessages();
  EXPECT_EQ(Log, std::vector<std::string>{"script"});

  // A control that deletes itself in its click handler is not touched again,
  // and the rest of the queue goes on.
  auto* Victim = new TProbe(Root, &Log);
  Victim->SetName("victim");
  Victim->SetBounds(0, 0, 10, 10);
  Victim->SetParent(Root);
  Victim->SetOnClick([&, Victim](TObject*) {
    Log.push_back("bye");
    delete Victim;
  });
  Log.clear();
  H.PostClick(Root, mbLeft, 0, 2, 2);
  H.PostMouseMove(Root, 0, 3, 3);
  H.PostClick(Root, mbLeft, 0, 20, 20);
  Application().ProcessMessages();
  const std::vector<std::string> Expected{"victim down l 2,2", "bye",        "root move  3,3",
                                          "root down l 20,20", "root click", "root up  20,20"};
  EXPECT_EQ(Log, Expected);
  // A handler may clear its own event while it runs.
  int Calls = 0;
  Root->SetOnClick([&](TObject*) {
    ++Calls;
    Root->SetOnClick(nullptr);
  });
  H.PostClick(Root, mbLeft, 0, 20, 20);
  H.PostClick(Root, mbLeft, 0, 20, 20);
  Application().ProcessMessages();
  EXPECT_EQ(Calls, 1);
}

TEST_F(TFixture, NestedLoopsTakeTheFollowingEvents) {
  H.PostMouseDown(Root, mbLeft, ssCtrl, 10, 10);
  H.PostMouseMove(Root, ssCtrl, 20, 12);
  H.PostMouseUp(Root, mbLeft, 0, 30, 14);
  H.PostMouseMove(Root, 0, 1, 1);
  Application().ProcessMessages();
  // The nested loop delivers everything queued, the last move included.
  const std::vector<std::string> Expected{"root down Cl 10,10", "root move Cl 20,12",
                                          "root click",         "root up  30,14",
                                          "root move  1,1",     "root loop done"};
  EXPECT_EQ(Log, Expected);

  // A loop with nothing to do asks the idle handler, which may end it.
  Log.clear();
  int Idle = 0;
  H.SetOnIdle([&] {
    if (++Idle == 3) Root->Waiting = false;
  });
  Root->InputMouseDown(mbLeft, ssCtrl, 1, 1);
  EXPECT_EQ(Idle, 3);
  EXPECT_EQ(Log.back(), "root loop done");
}

TEST_F(TFixture, WaitMessageSaysWhetherInputCanStillCome) {
  H.SetOnIdle(nullptr);
  EXPECT_FALSE(Application().WaitMessage()); // nothing queued, nothing to ask
  H.PostMouseMove(Root, 0, 1, 1);
  EXPECT_TRUE(Application().WaitMessage());
  Application().ProcessMessages();
  int Idle = 0;
  H.SetOnIdle([&] { ++Idle; });
  EXPECT_FALSE(Application().WaitMessage()); // asked, but it queued nothing
  H.SetOnIdle([&] {
    ++Idle;
    H.PostProc([] {});
  });
  EXPECT_TRUE(Application().WaitMessage());
  EXPECT_TRUE(Application().WaitMessage()); // still queued: not asked again
  EXPECT_EQ(Idle, 2);
  H.SetOnIdle(nullptr);
  Application().ProcessMessages();

  // A host that cannot wait gives nested loops no hope.
  struct TNoWait : TControlHost {
    void AreaChanged(TControl*, const TRect&) override {}
    void CursorChanged(TControl*) override {}
    void ProcessMessages() override {}
  } NoWait;
  TControlHost* Old = Application().SetHost(&NoWait);
  EXPECT_FALSE(Application().WaitMessage());
  Application().SetHost(Old);
}

TEST_F(TFixture, DragAndDropBetweenTheControlsOfAWindow) {
  // Root accepts drops left of x = 40; the child is the source.
  // "<What> <name of O or none> <X>,<Y>"
  const auto Entry = [](std::string What, TObject* O, int32_t X, int32_t Y) {
    What.append(" ").append(O ? static_cast<TComponent*>(O)->GetName() : "none");
    return What.append(" ").append(std::to_string(X)).append(",").append(std::to_string(Y));
  };
  const char* States[] = {"enter", "leave", "move"};
  Root->SetOnDragOver(
      [&](TObject*, TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) {
        Log.push_back(Entry(std::string("over ").append(States[State]), Source, X, Y));
        Accept = X < 40;
      });
  Root->SetOnDragDrop([&](TObject*, TObject* Source, int32_t X, int32_t Y) {
    Log.push_back(Entry("drop", Source, X, Y));
  });
  Child->SetOnStartDrag([&](TObject*, TObject*&) { Log.push_back("start"); });
  Child->SetOnEndDrag([&](TObject*, TObject* Target, int32_t X, int32_t Y) {
    Log.push_back(Entry("end", Target, X, Y));
  });
  std::vector<TCursor> Cursors;
  H.SetOnIdle(nullptr);
  const auto Cursor = [&] { H.PostProc([&] { Cursors.push_back(H.GetDragCursor()); }); };

  // Automatic: the press begins at once and never reaches MouseDown; the
  // child itself has no OnDragOver and refuses.
  Child->SetDragMode(dmAutomatic);
  H.PostMouseDown(Root, mbLeft, 0, 55, 45);
  Cursor();
  H.PostMouseMove(Root, 0, 20, 10);
  Cursor();
  H.PostMouseMove(Root, 0, 60, 10);
  Cursor();
  H.PostMouseUp(Root, mbLeft, 0, 30, 10);
  Cursor();
  Application().ProcessMessages();
  EXPECT_EQ(Log,
            (std::vector<std::string>{"start", "over enter child 20,10", "over move child 60,10",
                                      "over move child 30,10", "over leave child 30,10",
                                      "drop child 30,10", "end root 30,10"}));
  EXPECT_EQ(Cursors, (std::vector<TCursor>{crNoDrop, crDrag, crNoDrop, crDefault}));
  EXPECT_FALSE(Child->Dragging());

  // Manual, with a threshold: a release before it is an ordinary click; a
  // refused drop, a cancel and a replaced drag object end with no target.
  Log.clear();
  Child->SetDragMode(dmManual);
  Child->SetDragCursor(crHandPoint);
  Child->SetOnMouseDown([&](TObject*, TMouseButton, TShiftState, int32_t, int32_t) {
    Child->BeginDrag(false);
    Log.push_back(Child->Dragging() ? "begun" : "not begun");
  });
  H.PostMouseDown(Root, mbLeft, 0, 55, 45);
  H.PostMouseMove(Root, 0, 59, 41); // 4 pixels: below the threshold
  H.PostMouseUp(Root, mbLeft, 0, 59, 41);
  H.PostMouseDown(Root, mbLeft, 0, 55, 45);
  H.PostMouseMove(Root, 0, 30, 45);
  Cursor();
  H.PostMouseUp(Root, mbLeft, 0, 70, 45);
  H.PostMouseDown(Root, mbLeft, 0, 55, 45);
  H.PostMouseMove(Root, 0, 10, 10);
  H.PostProc([&] { Child->EndDrag(false); });
  Application().ProcessMessages();
  EXPECT_EQ(Log, (std::vector<std::string>{
                     "child down l 5,5", "begun", "child click", "child up  9,1",
                     "child down l 5,5", "begun", "start", "over enter child 30,45",
                     "over leave child 70,45", "end none 0,0", "child down l 5,5", "begun", "start",
                     "over enter child 10,10", "over leave child 10,10", "end none 0,0"}));
  EXPECT_EQ(Cursors.back(), crHandPoint);
  EXPECT_EQ(H.GetDragCursor(), crDefault);
  // Targets see the object OnStartDrag names; a source destroyed by a
  // target's handler ends the drag silently, and the mouse is free again.
  H.PostMouseUp(Root, mbLeft, 0, 12, 12);
  H.PostMouseMove(Root, 0, 12, 12);
  Application().ProcessMessages();
  Log.clear();
  Child->SetOnMouseDown(nullptr);
  Child->SetOnStartDrag([&](TObject*, TObject*& DragObject) { DragObject = Root; });
  Root->SetOnDragOver([&](TObject*, TObject* Source, int32_t X, int32_t Y, TDragState, bool&) {
    Log.push_back(Entry("over", Source, X, Y));
    delete Child;
    Child = nullptr;
  });
  Child->BeginDrag(true); // where the mouse was last seen
  H.PostMouseMove(Root, 0, 10, 10);
  Application().ProcessMessages();
  EXPECT_EQ(Log, (std::vector<std::string>{"over root 12,12", "root move  10,10"}));
  EXPECT_EQ(H.GetDragCursor(), crDefault);
}
