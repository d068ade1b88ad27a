// A custom control in a Qt window: a sketch pad written against the
// framework's TCustomControl, with a tool bar of stock controls, shown by the
// Qt binding. Drag with the left button to draw, pick the pen colour in the
// list, clear with the button; the right button copies the drawing to the
// clipboard.
#include <QApplication>
#include <QWidget>
#include <memory>
#include <vector>

#include "bindings/qt/qthost.h"
#include "qebgeolib/platform/controls/clipboard.h"
#include "qebgeolib/platform/controls/stdctrls.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"

using namespace qeb;

namespace {

// Keeps its strokes and paints them; while the button is held it draws
// straight onto its canvas.
class TSketchPad : public TCustomControl {
public:
  explicit TSketchPad(TComponent* AOwner) : TCustomControl(AOwner) {
    SetColor(clWhite);
    SetCursor(crCross);
  }
  TColor PenColor = clNavy;
  void Clear() {
    FStrokes.clear();
    Repaint();
  }

protected:
  void Paint() override {
    TCanvas& C = GetCanvas();
    for (const auto& S : FStrokes) {
      C.GetPen().SetColor(S.Color);
      C.GetPen().SetWidth(2);
      C.Polyline(S.Points);
    }
  }
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override {
    if (Button == mbLeft) FStrokes.push_back({PenColor, {Point(X, Y)}});
    if (Button == mbRight) {
      TBitmap Copy;
      PaintTo(Copy);
      Clipboard().Assign(&Copy);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
  }
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override {
    if ((Shift & ssLeft) && !FStrokes.empty()) {
      TCanvas& C = GetCanvas();
      const TPoint Last = FStrokes.back().Points.back();
      C.GetPen().SetColor(FStrokes.back().Color);
      C.GetPen().SetWidth(2);
      C.MoveTo(Last.X, Last.Y);
      C.LineTo(X, Y);
      FStrokes.back().Points.push_back(Point(X, Y));
    }
    TCustomControl::MouseMove(Shift, X, Y);
  }

private:
  struct TStroke {
    TColor Color;
    std::vector<TPoint> Points;
  };
  std::vector<TStroke> FStrokes;
};

} // namespace

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  qt::Host Host;

  TCustomControl Window(nullptr);
  Window.SetBounds(0, 0, 480, 320);
  Window.SetCaption("qebgeolib: a custom control in a Qt window");
  auto* Bar = new TPanel(&Window);
  Bar->SetParent(&Window);
  Bar->SetHeight(33);
  Bar->SetAlign(alTop);
  auto* Pad = new TSketchPad(&Window);
  Pad->SetParent(&Window);
  Pad->SetAlign(alClient);
  auto* ClearButton = new TSpeedButton(&Window);
  ClearButton->SetParent(Bar);
  ClearButton->SetBounds(3, 3, 60, 26);
  ClearButton->SetCaption("Clear");
  ClearButton->SetOnClick([Pad](TObject*) { Pad->Clear(); });
  auto* Colours = new TComboBox(&Window);
  Colours->SetParent(Bar);
  Colours->SetBounds(70, 5, 120, 21);
  Colours->SetStyle(csDropDownList);
  const std::vector<std::pair<const char*, TColor>> Choices{
      {"Navy", clNavy}, {"Red", clRed}, {"Green", clGreen}};
  for (const auto& [Name, Color] : Choices)
    Colours->GetItems().Add(Name);
  Colours->SetItemIndex(0);
  Colours->SetOnChange([Pad, Colours, Choices](TObject*) {
    Pad->PenColor = Choices[std::size_t(Colours->GetItemIndex())].second;
  });

  std::unique_ptr<QWidget> Shown(Host.Embed(&Window));
  Shown->show();
  return App.exec();
}
