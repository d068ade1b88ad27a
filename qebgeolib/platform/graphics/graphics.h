// Drawing tools and shared graphics types: colour constants and helpers, the
// exceptions of the image code, progress events, pens, brushes, fonts with
// their description record, and TGraphic, the base of every image class.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "qebgeolib/platform/base/classes.h"
#include "qebgeolib/platform/base/types.h"

namespace qeb {

class TStream;

// ---------------------------------------------------------------------------
// Errors

// Image data that cannot be read: a corrupt or hostile file, an unsupported
// variant. The message names the file (when there is one) and the fault.
class EInvalidGraphic : public Exception {
public:
  explicit EInvalidGraphic(const std::string& Message) : Exception(Message) {}
};

// A graphics operation used wrongly: a bad size, a scan line out of range,
// an empty image saved.
class EInvalidGraphicOperation : public Exception {
public:
  explicit EInvalidGraphicOperation(const std::string& Message) : Exception(Message) {}
};

// A bitmap larger than MaxBitmapBytes, or memory that cannot be had.
class EOutOfResources : public Exception {
public:
  explicit EOutOfResources(const std::string& Message) : Exception(Message) {}
};

// No bitmap's pixel buffer may exceed this; image readers refuse files that
// declare more before they allocate anything.
inline constexpr int64_t MaxBitmapBytes = int64_t{256} << 20;

// ---------------------------------------------------------------------------
// Colours (TColor is 0x00BBGGRR)

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// System colours: 0x80000000 plus the classic Windows colour index. They are
// resolved by ColorToRGB to the classic Windows scheme, so drawings look the
// same on every machine.
inline constexpr TColor clScrollBar = 0x80000000;
inline constexpr TColor clBackground = 0x80000001;
inline constexpr TColor clActiveCaption = 0x80000002;
inline constexpr TColor clInactiveCaption = 0x80000003;
inline constexpr TColor clMenu = 0x80000004;
inline constexpr TColor clWindow = 0x80000005;
inline constexpr TColor clWindowFrame = 0x80000006;
inline constexpr TColor clMenuText = 0x80000007;
inline constexpr TColor clWindowText = 0x80000008;
inline constexpr TColor clCaptionText = 0x80000009;
inline constexpr TColor clActiveBorder = 0x8000000A;
inline constexpr TColor clInactiveBorder = 0x8000000B;
inline constexpr TColor clAppWorkSpace = 0x8000000C;
inline constexpr TColor clHighlight = 0x8000000D;
inline constexpr TColor clHighlightText = 0x8000000E;
inline constexpr TColor clBtnFace = 0x8000000F;
inline constexpr TColor clBtnShadow = 0x80000010;
inline constexpr TColor clGrayText = 0x80000011;
inline constexpr TColor clBtnText = 0x80000012;
inline constexpr TColor clInactiveCaptionText = 0x80000013;
inline constexpr TColor clBtnHighlight = 0x80000014;
inline constexpr TColor cl3DDkShadow = 0x80000015;
inline constexpr TColor cl3DLight = 0x80000016;
inline constexpr TColor clInfoText = 0x80000017;
inline constexpr TColor clInfoBk = 0x80000018;

constexpr TColor RGB(uint8_t R, uint8_t G, uint8_t B) {
  return TColor(R) | TColor(G) << 8 | TColor(B) << 16;
}
constexpr uint8_t GetRValue(TColor C) {
  return uint8_t(C);
}
constexpr uint8_t GetGValue(TColor C) {
  return uint8_t(C >> 8);
}
constexpr uint8_t GetBValue(TColor C) {
  return uint8_t(C >> 16);
}

// The plain 0x00BBGGRR value of a colour: system colours become their RGB
// value, clNone and clDefault become black, and the palette-index and
// palette-relative forms of the top byte are dropped.
TColor ColorToRGB(TColor Color);

// ---------------------------------------------------------------------------
// Progress of long image operations (loading, saving, decoding)

enum TProgressStage : uint8_t { psStarting, psRunning, psEnding };

// PercentDone is 0..100; R is the part of the image that is ready when
// RedrawNow is true (the readers here never ask for a redraw, so R is empty).
using TProgressEvent =
    std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                       const TRect& R, const std::string& Msg)>;

// ---------------------------------------------------------------------------
// Pens, brushes, fonts

// Dash patterns of 1-pixel pens (pixels on, off, ...): dash 18/6, dot 3/3,
// dash-dot 9/6/3/6, dash-dot-dot 9/3/3/3/3/3. Wider pens draw solid.
// psInsideFrame draws solid and keeps the outline of Rectangle and Ellipse
// inside the given rectangle.
enum TPenStyle : uint8_t {
  psSolid,
  psDash,
  psDot,
  psDashDot,
  psDashDotDot,
  psClear,
  psInsideFrame,
};

// How pen and brush pixels combine with the pixels already there (the
// sixteen binary raster operations). They work on the stored pixel values,
// palette indexes included, so pmXor twice restores any bitmap.
enum TPenMode : uint8_t {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor,
};

enum TBrushStyle : uint8_t { bsSolid, bsClear };

// Font styles are bit masks.
using TFontStyles = uint8_t;
enum TFontStyle : uint8_t {
  fsBold = 0x01,
  fsItalic = 0x02,
  fsUnderline = 0x04,
  fsStrikeOut = 0x08,
};

enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

// Values of TLogFont fields.
inline constexpr int32_t FW_NORMAL = 400;
inline constexpr int32_t FW_BOLD = 700;
inline constexpr uint8_t ANSI_CHARSET = 0;
inline constexpr uint8_t DEFAULT_CHARSET = 1;
inline constexpr uint8_t DEFAULT_QUALITY = 0;
inline constexpr uint8_t NONANTIALIASED_QUALITY = 3;
inline constexpr uint8_t ANTIALIASED_QUALITY = 4;

// The description record of a font (the framework's font handle): read it
// with TFont::GetLogFont, change fields, and make a font of it with
// TFont::SetLogFont. This is how rotated text is made: lfEscapement (tenths
// of a degree, counter-clockwise) turns the baseline and the glyphs alike;
// lfOrientation is kept but the escapement rules, as in the classic
// compatible graphics mode.
//   lfHeight < 0: character height in pixels (the em size); > 0: cell height
//   (ascent plus descent); 0: a default height.
//   lfWidth: average character width in pixels; 0 keeps the design's aspect.
//   lfWeight: 0 or 400 normal, 700 bold (550 and above draw bold).
//   lfQuality: NONANTIALIASED_QUALITY draws hard-edged glyphs, every other
//   value antialiased ones.
//   lfCharSet, lfOutPrecision, lfClipPrecision, lfPitchAndFamily: kept and
//   returned; the font lookup goes by the face name and the style.
struct TLogFont {
  int32_t lfHeight = 0;
  int32_t lfWidth = 0;
  int32_t lfEscapement = 0;
  int32_t lfOrientation = 0;
  int32_t lfWeight = 0;
  uint8_t lfItalic = 0;
  uint8_t lfUnderline = 0;
  uint8_t lfStrikeOut = 0;
  uint8_t lfCharSet = 0;
  uint8_t lfOutPrecision = 0;
  uint8_t lfClipPrecision = 0;
  uint8_t lfQuality = 0;
  uint8_t lfPitchAndFamily = 0;
  std::string lfFaceName; // UTF-8, at most 31 characters
  friend bool operator==(const TLogFont&, const TLogFont&) = default;
};

class TPen : public TPersistent {
public:
  std::string_view ClassName() const override { return "TPen"; }
  void Assign(const TPersistent* Source) override;

  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  TPenStyle GetStyle() const { return FStyle; }
  void SetStyle(TPenStyle Value) { FStyle = Value; }
  TPenMode GetMode() const { return FMode; }
  void SetMode(TPenMode Value) { FMode = Value; }
  // Widths below 1 draw as 1.
  int32_t GetWidth() const { return FWidth; }
  void SetWidth(int32_t Value) { FWidth = Value < 1 ? 1 : Value; }

private:
  TColor FColor = clBlack;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
  int32_t FWidth = 1;
};

// Setting the colour makes a clear brush solid again; code that wants a
// clear brush sets the colour first and the style after it.
class TBrush : public TPersistent {
public:
  std::string_view ClassName() const override { return "TBrush"; }
  void Assign(const TPersistent* Source) override;

  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value) {
    FColor = Value;
    FStyle = bsSolid;
  }
  TBrushStyle GetStyle() const { return FStyle; }
  void SetStyle(TBrushStyle Value) { FStyle = Value; }

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

class TFontFace; // fonts.h: a resolved face at one size and angle

// Sizes are in points at 96 dots per inch: Size 8 is Height -11 pixels.
// A name that no installed font carries falls back to the installed sans
// font, the same one every time.
class TFont : public TPersistent {
public:
  TFont();
  ~TFont() override;
  TFont(const TFont& Other);
  TFont& operator=(const TFont& Other);

  std::string_view ClassName() const override { return "TFont"; }
  void Assign(const TPersistent* Source) override;

  static constexpr int32_t PixelsPerInch = 96;

  const std::string& GetName() const { return FLog.lfFaceName; }
  void SetName(const std::string& Value);
  // Points; a positive Height (cell height) gives a negative Size.
  int32_t GetSize() const;
  void SetSize(int32_t Value);
  int32_t GetHeight() const { return FLog.lfHeight; }
  void SetHeight(int32_t Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  TFontStyles GetStyle() const;
  void SetStyle(TFontStyles Value);
  // Tenths of a degree counter-clockwise (the escapement).
  int32_t GetOrientation() const { return FLog.lfEscapement; }
  void SetOrientation(int32_t Value);
  TFontPitch GetPitch() const;
  void SetPitch(TFontPitch Value);

  // The description record; SetLogFont takes every field (the face name cut
  // to 31 characters). The colour is not part of it.
  TLogFont GetLogFont() const { return FLog; }
  void SetLogFont(const TLogFont& Value);

  // The face this font draws with, resolved on first use and kept until a
  // setting changes. Never null.
  std::shared_ptr<TFontFace> GetFace() const;

private:
  void Changed() { FFace.reset(); }

  TLogFont FLog;
  TColor FColor = clWindowText;
  mutable std::shared_ptr<TFontFace> FFace;
};

// ---------------------------------------------------------------------------
// Images

// The common interface of the image classes (TBitmap, TJPEGImage,
// TPNGImage): size, loading and saving, progress. File errors raise
// EInOutError; bad image data raises EInvalidGraphic naming the file.
class TGraphic : public TPersistent {
public:
  std::string_view ClassName() const override { return "TGraphic"; }

  virtual int32_t GetWidth() const = 0;
  virtual int32_t GetHeight() const = 0;
  bool Empty() const { return GetWidth() == 0 || GetHeight() == 0; }

  virtual void LoadFromFile(const std::string& FileName);
  virtual void SaveToFile(const std::string& FileName);
  void LoadFromStream(TStream& Stream) { ReadStream(Stream, std::string()); }
  virtual void SaveToStream(TStream& Stream) = 0;

  const TProgressEvent& GetOnProgress() const { return FOnProgress; }
  void SetOnProgress(TProgressEvent Value) { FOnProgress = std::move(Value); }

protected:
  // Reads the image from Stream's position; FileName (possibly empty) only
  // goes into error messages.
  virtual void ReadStream(TStream& Stream, const std::string& FileName) = 0;
  // Calls OnProgress when assigned.
  void Progress(TProgressStage Stage, uint8_t Percent) const;

private:
  TProgressEvent FOnProgress;
};

// The message of an EInvalidGraphic: Kind is "BMP", "PNG" or "JPEG".
std::string ImageErrorText(const char* Kind, const std::string& FileName, const std::string& Fault);

} // namespace qeb
