// Panel, speed button and combo box: state rules and their plain drawings.
#include "qebgeolib/platform/controls/stdctrls.h"

#include <algorithm>

namespace qeb {

namespace {

// Two-colour bevel one pixel wide just inside R: TopLeft on the top row and
// left column, BottomRight on the others.
void Bevel(TCanvas& C, const TRect& R, TColor TopLeft, TColor BottomRight) {
  if (R.IsEmpty()) return;
  const TCanvasStateSaver Saved(C);
  C.GetPen().SetMode(pmCopy);
  C.GetPen().SetStyle(psSolid);
  C.GetPen().SetWidth(1);
  C.GetPen().SetColor(BottomRight);
  C.MoveTo(R.Left, R.Bottom - 1);
  C.LineTo(R.Right - 1, R.Bottom - 1);
  C.LineTo(R.Right - 1, R.Top - 1);
  C.GetPen().SetColor(TopLeft);
  C.MoveTo(R.Left, R.Bottom - 2);
  C.LineTo(R.Left, R.Top);
  C.LineTo(R.Right - 1, R.Top);
}

TRect Inflate(const TRect& R, int32_t D) {
  return Rect(R.Left + D, R.Top + D, R.Right - D, R.Bottom - D);
}

void CentredText(TCanvas& C, const TRect& R, const std::string& Text) {
  if (Text.empty()) return;
  const TSize S = C.TextExtent(Text);
  C.GetBrush().SetStyle(bsClear);
  C.TextOut(R.Left + (R.Width() - S.cx) / 2, R.Top + (R.Height() - S.cy) / 2, Text);
}

} // namespace

// ---------------------------------------------------------------------------
// TPanel

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(GetControlStyle() | csAcceptsControls);
  SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TBevelCut Value) {
  if (Value == FBevelOuter) return;
  FBevelOuter = Value;
  Changed(ccContent);
  Invalidate();
}

void TPanel::Paint() {
  TCanvas& C = GetCanvas();
  if (FBevelOuter == bvRaised)
    Bevel(C, GetClientRect(), clBtnHighlight, clBtnShadow);
  else if (FBevelOuter == bvLowered)
    Bevel(C, GetClientRect(), clBtnShadow, clBtnHighlight);
  C.SetFont(GetFont());
  if (!IsEnabledInParents()) C.GetFont().SetColor(clGrayText);
  CentredText(C, GetClientRect(), GetCaption());
}

// ---------------------------------------------------------------------------
// TSpeedButton

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  // It makes its click itself, on release, after the down state is settled.
  SetControlStyle(csCaptureMouse | csDoubleClicks);
  SetBounds(0, 0, 23, 22);
}

void TSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  if (FDown && !FAllowAllUp) return;
  FDown = Value;
  if (Value) UpdateExclusive();
  Changed(ccContent);
  Invalidate();
}

void TSpeedButton::SetGroupIndex(int32_t Value) {
  if (Value == FGroupIndex) return;
  FGroupIndex = Value;
  if (Value == 0 && FDown) {
    FDown = false;
    Changed(ccContent);
    Invalidate();
  }
  UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool Value) {
  FAllowAllUp = Value;
  UpdateExclusive();
}

// Brings the other buttons of the group in line: only one down, one
// AllowAllUp for all.
void TSpeedButton::UpdateExclusive() {
  TWinControl* P = GetParent();
  if (!P || FGroupIndex == 0) return;
  for (int32_t i = 0; i < P->GetControlCount(); ++i) {
    auto* B = dynamic_cast<TSpeedButton*>(P->GetControls(i));
    if (!B || B == this || B->FGroupIndex != FGroupIndex) continue;
    B->FAllowAllUp = FAllowAllUp;
    if (FDown && B->FDown) {
      B->FDown = false;
      B->Changed(ccContent);
      B->Invalidate();
    }
  }
}

void TSpeedButton::SetFlat(bool Value) {
  if (Value == FFlat) return;
  FFlat = Value;
  Changed(ccContent);
  Invalidate();
}

void TSpeedButton::SetGlyph(const TBitmap& Value) {
  FGlyph.Assign(&Value);
  Changed(ccContent);
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int32_t Value) {
  if (Value < 1 || Value > 4 || Value == FNumGlyphs) return;
  FNumGlyphs = Value;
  Changed(ccContent);
  Invalidate();
}

void TSpeedButton::GetGlyphImage(int32_t Index, TBitmap& Dest) const {
  const int32_t W = FGlyph.GetWidth() / FNumGlyphs;
  const int32_t H = FGlyph.GetHeight();
  if (W <= 0 || H <= 0) {
    Dest.NewImage(0, 0, pf24bit);
    return;
  }
  if (Index < 0 || Index >= FNumGlyphs) Index = 0;
  Dest.NewImage(W, H, pf24bit);
  Dest.GetCanvas().SetCopyMode(cmSrcCopy);
  Dest.GetCanvas().CopyRect(Rect(0, 0, W, H), FGlyph.GetCanvas(),
                            Rect(Index * W, 0, Index * W + W, H));
}

void TSpeedButton::Click() {
  TGraphicControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (!Self || Button != mbLeft) return;
  FDragging = true;
  FPressed = true;
  Changed(ccContent);
  Invalidate();
}

void TSpeedButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!Self || !FDragging) return;
  const bool Inside = X >= 0 && Y >= 0 && X < GetWidth() && Y < GetHeight();
  if (Inside != FPressed) {
    FPressed = Inside;
    Changed(ccContent);
    Invalidate();
  }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const TControlRef Self(this);
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (!Self || !FDragging || Button != mbLeft) return;
  FDragging = false;
  FPressed = false;
  const bool DoClick = X >= 0 && Y >= 0 && X < GetWidth() && Y < GetHeight();
  if (DoClick && FGroupIndex != 0) SetDown(!FDown);
  Changed(ccContent);
  Invalidate();
  if (DoClick) Click();
}

void TSpeedButton::Paint() {
  TCanvas& C = GetCanvas();
  const TRect R = GetClientRect();
  const bool Sunken = FPressed || FDown;
  if (FDown && !FPressed) {
    // A button that stays down shows a lighter face.
    C.GetBrush().SetColor(clBtnHighlight);
    C.FillRect(Inflate(R, 1));
  }
  if (Sunken)
    Bevel(C, R, clBtnShadow, clBtnHighlight);
  else if (!FFlat)
    Bevel(C, R, clBtnHighlight, clBtnShadow);
  const bool Enabled = IsEnabledInParents();
  const int32_t Index = !Enabled ? 1 : FPressed ? 2 : FDown ? 3 : 0;
  TBitmap Image;
  GetGlyphImage(Index < FNumGlyphs ? Index : 0, Image);
  const int32_t Shift = Sunken ? 1 : 0;
  int32_t TextWidth = 0;
  C.SetFont(GetFont());
  if (!Enabled) C.GetFont().SetColor(clGrayText);
  if (!GetCaption().empty()) TextWidth = C.TextWidth(GetCaption());
  const int32_t Gap = Image.GetWidth() > 0 && TextWidth > 0 ? 4 : 0;
  int32_t X = (R.Width() - Image.GetWidth() - Gap - TextWidth) / 2 + Shift;
  if (!Image.Empty()) {
    TCanvas& G = Image.GetCanvas();
    const TColor Transparent = G.GetPixels(0, Image.GetHeight() - 1);
    const int32_t Y0 = (R.Height() - Image.GetHeight()) / 2 + Shift;
    for (int32_t y = 0; y < Image.GetHeight(); ++y)
      for (int32_t x = 0; x < Image.GetWidth(); ++x) {
        const TColor P = G.GetPixels(x, y);
        if (P != Transparent) C.SetPixels(X + x, Y0 + y, P);
      }
    X += Image.GetWidth() + Gap;
  }
  if (TextWidth > 0) {
    C.GetBrush().SetStyle(bsClear);
    C.TextOut(X, (R.Height() - C.TextHeight(GetCaption())) / 2 + Shift, GetCaption());
  }
}

// ---------------------------------------------------------------------------
// TComboBoxItems, TComboBox

const std::string& TComboBoxItems::Get(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw std::out_of_range("List index out of bounds (" + IntToStr(Index) + ")");
  return FItems[static_cast<std::size_t>(Index)];
}

void TComboBoxItems::Set(int32_t Index, const std::string& Value) {
  Get(Index);
  FItems[static_cast<std::size_t>(Index)] = Value;
  FOwner->ItemsChanged();
}

int32_t TComboBoxItems::Add(const std::string& Value) {
  FItems.push_back(Value);
  FOwner->ItemsChanged();
  return Count() - 1;
}

void TComboBoxItems::Insert(int32_t Index, const std::string& Value) {
  if (Index < 0 || Index > Count())
    throw std::out_of_range("List index out of bounds (" + IntToStr(Index) + ")");
  FItems.insert(FItems.begin() + Index, Value);
  if (FOwner->FItemIndex >= Index) ++FOwner->FItemIndex;
  FOwner->ItemsChanged();
}

void TComboBoxItems::Delete(int32_t Index) {
  Get(Index);
  FItems.erase(FItems.begin() + Index);
  int32_t& Sel = FOwner->FItemIndex;
  if (Sel == Index)
    Sel = -1;
  else if (Sel > Index)
    --Sel;
  FOwner->ItemsChanged();
}

void TComboBoxItems::Clear() {
  FItems.clear();
  FOwner->FItemIndex = -1;
  FOwner->ItemsChanged();
}

int32_t TComboBoxItems::IndexOf(const std::string& Value) const {
  const auto It = std::find(FItems.begin(), FItems.end(), Value);
  return It == FItems.end() ? -1 : static_cast<int32_t>(It - FItems.begin());
}

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetColor(clWindow);
  SetBounds(0, 0, 145, 21);
}

void TComboBox::ItemsChanged() {
  Changed(ccContent);
  Invalidate();
}

void TComboBox::SetItemIndex(int32_t Value) {
  if (Value < -1 || Value >= FItems.Count()) Value = -1;
  if (Value == FItemIndex) return;
  FItemIndex = Value;
  Changed(ccContent);
  Invalidate();
}

std::string TComboBox::GetText() const {
  return FItemIndex >= 0 ? FItems.Get(FItemIndex) : std::string();
}

void TComboBox::SetStyle(TComboBoxStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed(ccContent);
  Invalidate();
}

void TComboBox::Select(int32_t Index) {
  if (Index < 0 || Index >= FItems.Count()) return;
  SetItemIndex(Index);
  Change();
}

void TComboBox::Change() {
  if (TNotifyEvent F = FOnChange) F(this);
}

void TComboBox::Paint() {
  TCanvas& C = GetCanvas();
  const TRect R = GetClientRect();
  Bevel(C, R, clBtnShadow, clBtnHighlight);
  Bevel(C, Inflate(R, 1), cl3DDkShadow, cl3DLight);
  // The drop-down button at the right end.
  const int32_t BW = std::min(17, std::max(R.Width() - 4, 0));
  const TRect B = Rect(R.Right - 2 - BW, 2, R.Right - 2, R.Bottom - 2);
  C.GetBrush().SetColor(clBtnFace);
  C.FillRect(B);
  Bevel(C, B, clBtnHighlight, clBtnShadow);
  const bool Enabled = IsEnabledInParents();
  const TColor Arrow = Enabled ? clBtnText : clGrayText;
  const int32_t AX = B.Left + B.Width() / 2;
  const int32_t AY = B.Top + B.Height() / 2 - 1;
  for (int32_t i = 0; i < 4; ++i)
    for (int32_t x = AX - 3 + i; x <= AX + 3 - i; ++x)
      C.SetPixels(x, AY - 1 + i, Arrow);
  C.SetFont(GetFont());
  C.GetFont().SetColor(Enabled ? clWindowText : clGrayText);
  const std::string Text = GetText();
  if (!Text.empty()) {
    C.GetBrush().SetStyle(bsClear);
    C.TextOut(4, (R.Height() - C.TextHeight(Text)) / 2, Text);
  }
}

} // namespace qeb
