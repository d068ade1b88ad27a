// Colour helpers, drawing tools and the image base class.
#include "qebgeolib/platform/graphics/graphics.h"

#include <algorithm>
#include <array>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/fonts.h"

namespace qeb {

namespace {

// The classic Windows colour scheme, indexed by the system colour number.
constexpr std::array<TColor, 25> SystemColors = {
    0xC0C0C0, // scroll bar
    0x808000, // desktop
    0x800000, // active caption
    0x808080, // inactive caption
    0xC0C0C0, // menu
    0xFFFFFF, // window
    0x000000, // window frame
    0x000000, // menu text
    0x000000, // window text
    0xFFFFFF, // caption text
    0xC0C0C0, // active border
    0xC0C0C0, // inactive border
    0x808080, // application work space
    0x800000, // highlight
    0xFFFFFF, // highlight text
    0xC0C0C0, // button face
    0x808080, // button shadow
    0x808080, // grey text
    0x000000, // button text
    0xC0C0C0, // inactive caption text
    0xFFFFFF, // button highlight
    0x000000, // 3-D dark shadow
    0xC0C0C0, // 3-D light
    0x000000, // tooltip text
    0xE1FFFF, // tooltip background
};

// a * b / c rounded half away from zero.
int64_t MulDiv(int64_t A, int64_t B, int64_t C) {
  const int64_t P = A * B;
  return (P >= 0 ? P + C / 2 : P - C / 2) / C;
}

int32_t Clamp32(int64_t V) {
  return static_cast<int32_t>(std::clamp<int64_t>(V, INT32_MIN, INT32_MAX));
}

// The first 31 characters of a UTF-8 text (continuation bytes follow their
// lead byte).
std::string CutFaceName(const std::string& Name) {
  std::size_t Chars = 0;
  for (std::size_t i = 0; i < Name.size(); ++i) {
    if ((static_cast<uint8_t>(Name[i]) & 0xC0) != 0x80 && ++Chars > 31) return Name.substr(0, i);
  }
  return Name;
}

} // namespace

TColor ColorToRGB(TColor Color) {
  if (Color & 0x80000000u) {
    const uint32_t Index = Color & 0xFF;
    return Index < SystemColors.size() ? SystemColors[Index] : clBlack;
  }
  if (Color == clNone || Color == clDefault) return clBlack;
  return Color & 0x00FFFFFF;
}

void TPen::Assign(const TPersistent* Source) {
  if (const auto* P = dynamic_cast<const TPen*>(Source)) {
    FColor = P->FColor;
    FStyle = P->FStyle;
    FMode = P->FMode;
    FWidth = P->FWidth;
  } else {
    TPersistent::Assign(Source);
  }
}

void TBrush::Assign(const TPersistent* Source) {
  if (const auto* B = dynamic_cast<const TBrush*>(Source)) {
    FColor = B->FColor;
    FStyle = B->FStyle;
  } else {
    TPersistent::Assign(Source);
  }
}

TFont::TFont() {
  FLog.lfHeight = -11; // 8 points
  FLog.lfWeight = FW_NORMAL;
  FLog.lfCharSet = DEFAULT_CHARSET;
  FLog.lfFaceName = "Tahoma";
}

TFont::~TFont() = default;

TFont::TFont(const TFont& Other)
    : TPersistent(Other), FLog(Other.FLog), FColor(Other.FColor), FFace(Other.FFace) {}

TFont& TFont::operator=(const TFont& Other) {
  FLog = Other.FLog;
  FColor = Other.FColor;
  FFace = Other.FFace;
  return *this;
}

void TFont::Assign(const TPersistent* Source) {
  if (const auto* F = dynamic_cast<const TFont*>(Source))
    *this = *F;
  else
    TPersistent::Assign(Source);
}

void TFont::SetName(const std::string& Value) {
  std::string Name = CutFaceName(Value);
  if (Name == FLog.lfFaceName) return;
  FLog.lfFaceName = std::move(Name);
  Changed();
}

int32_t TFont::GetSize() const {
  return Clamp32(-MulDiv(FLog.lfHeight, 72, PixelsPerInch));
}

void TFont::SetSize(int32_t Value) {
  SetHeight(Clamp32(-MulDiv(Value, PixelsPerInch, 72)));
}

void TFont::SetHeight(int32_t Value) {
  if (Value == FLog.lfHeight) return;
  FLog.lfHeight = Value;
  Changed();
}

TFontStyles TFont::GetStyle() const {
  TFontStyles S = 0;
  if (FLog.lfWeight >= 550) S |= fsBold;
  if (FLog.lfItalic) S |= fsItalic;
  if (FLog.lfUnderline) S |= fsUnderline;
  if (FLog.lfStrikeOut) S |= fsStrikeOut;
  return S;
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == GetStyle()) return;
  FLog.lfWeight = (Value & fsBold) ? FW_BOLD : FW_NORMAL;
  FLog.lfItalic = (Value & fsItalic) ? 1 : 0;
  FLog.lfUnderline = (Value & fsUnderline) ? 1 : 0;
  FLog.lfStrikeOut = (Value & fsStrikeOut) ? 1 : 0;
  Changed();
}

void TFont::SetOrientation(int32_t Value) {
  if (Value == FLog.lfEscapement && Value == FLog.lfOrientation) return;
  FLog.lfEscapement = Value;
  FLog.lfOrientation = Value;
  Changed();
}

TFontPitch TFont::GetPitch() const {
  switch (FLog.lfPitchAndFamily & 3) {
  case 1:
    return fpFixed;
  case 2:
    return fpVariable;
  default:
    return fpDefault;
  }
}

void TFont::SetPitch(TFontPitch Value) {
  const uint8_t Bits = Value == fpFixed ? 1 : Value == fpVariable ? 2 : 0;
  FLog.lfPitchAndFamily = static_cast<uint8_t>((FLog.lfPitchAndFamily & ~3) | Bits);
  Changed();
}

void TFont::SetLogFont(const TLogFont& Value) {
  TLogFont New = Value;
  New.lfFaceName = CutFaceName(Value.lfFaceName);
  if (New == FLog) return;
  FLog = std::move(New);
  Changed();
}

std::shared_ptr<TFontFace> TFont::GetFace() const {
  if (!FFace) FFace = TFontFace::Get(FLog);
  return FFace;
}

void TGraphic::LoadFromFile(const std::string& FileName) {
  TFileStream F(FileName, fmOpenRead);
  ReadStream(F, FileName);
}

void TGraphic::SaveToFile(const std::string& FileName) {
  TFileStream F(FileName, fmCreate);
  SaveToStream(F);
}

void TGraphic::Progress(TProgressStage Stage, uint8_t Percent) const {
  // Reading an image into another object reports progress too; events hand
  // their sender out as a plain TObject*, as everywhere in the framework.
  if (FOnProgress)
    FOnProgress(const_cast<TGraphic*>(this), Stage, Percent, false, TRect{}, std::string());
}

std::string ImageErrorText(const char* Kind, const std::string& FileName,
                           const std::string& Fault) {
  if (FileName.empty()) return std::string("Invalid ") + Kind + " image: " + Fault;
  return std::string("Invalid ") + Kind + " file \"" + FileName + "\": " + Fault;
}

} // namespace qeb
