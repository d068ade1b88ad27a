// Bitmap storage: allocation, resizing, format conversion, assignment.
#include "qebgeolib/platform/graphics/bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/detail/pixelrows.h"

namespace qeb {

namespace {

// Bytes allocated beyond the last row, so vector code may load a few bytes
// past a row end without leaving the buffer.
constexpr int64_t BufferSlack = 32;

std::vector<TColor> MakeVgaPalette() {
  return {clBlack, clMaroon, clGreen, clOlive,  clNavy, clPurple,  clTeal, clSilver,
          clGray,  clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite};
}

std::vector<TColor> MakePalette256() {
  std::vector<TColor> P = MakeVgaPalette();
  for (int B = 0; B < 6; ++B)
    for (int G = 0; G < 6; ++G)
      for (int R = 0; R < 6; ++R)
        P.push_back(RGB(uint8_t(R * 51), uint8_t(G * 51), uint8_t(B * 51)));
  // 24 greys between the cube's steps: 8, 18, ..., 238.
  for (int i = 0; i < 24; ++i) {
    const auto V = uint8_t(8 + 10 * i);
    P.push_back(RGB(V, V, V));
  }
  return P;
}

std::string SizeText(int64_t Width, int64_t Height) {
  return IntToStr(Width) + " x " + IntToStr(Height);
}

} // namespace

int32_t BitsPerPixel(TPixelFormat Format) {
  switch (Format) {
  case pf4bit:
    return 4;
  case pf8bit:
    return 8;
  case pf15bit:
    return 16;
  case pf24bit:
    return 24;
  case pf32bit:
    return 32;
  }
  return 32;
}

int64_t ScanLineBytes(int32_t Width, TPixelFormat Format) {
  return (int64_t(Width) * BitsPerPixel(Format) + 31) / 32 * 4;
}

const std::vector<TColor>& DefaultPalette(TPixelFormat Format) {
  static const std::vector<TColor> Vga = MakeVgaPalette();
  static const std::vector<TColor> P256 = MakePalette256();
  static const std::vector<TColor> None;
  return Format == pf4bit ? Vga : Format == pf8bit ? P256 : None;
}

TBitmap::TBitmap() : FCanvas(std::make_unique<TCanvas>(this)) {
  Allocate(0, 0, pf24bit, fillWhite);
}

TBitmap::TBitmap(int32_t Width, int32_t Height, TPixelFormat Format) : TBitmap() {
  NewImage(Width, Height, Format);
}

TBitmap::~TBitmap() = default;

void TBitmap::TFree::operator()(uint8_t* P) const noexcept {
  std::free(P);
}

void TBitmap::Allocate(int32_t Width, int32_t Height, TPixelFormat Format, TFill Fill) {
  if (Width < 0 || Height < 0)
    throw EInvalidGraphicOperation("Invalid bitmap size " + SizeText(Width, Height));
  const int64_t Stride = ScanLineBytes(Width, Format);
  if (Height > 0 && Stride > MaxBitmapBytes / Height)
    throw EOutOfResources("Bitmap of " + SizeText(Width, Height) + " pixels exceeds " +
                          IntToStr(MaxBitmapBytes) + " bytes");
  const int64_t Bytes = Stride * Height;
  // calloc hands out fresh zero pages for large blocks without touching
  // them, so a zeroed image costs nothing until it is drawn on.
  const auto Total = std::size_t(Bytes + BufferSlack);
  std::unique_ptr<uint8_t[], TFree> Bits(
      static_cast<uint8_t*>(Fill == fillZero ? std::calloc(Total, 1) : std::malloc(Total)));
  if (!Bits)
    throw EOutOfResources("Out of memory for a bitmap of " + SizeText(Width, Height) + " pixels");
  // The slack is never part of the image; zero it so nothing uninitialised
  // is ever read, even by a vector load that ignores those lanes.
  std::memset(Bits.get() + Bytes, 0, BufferSlack);

  std::vector<TColor> Palette = DefaultPalette(Format);
  if (Fill == fillWhite && Bytes > 0) {
    // One white row, copied to every row.
    uint8_t* Row0 = Bits.get();
    switch (Format) {
    case pf4bit:
      std::memset(Row0, 0xFF, std::size_t(Stride)); // index 15 is white
      break;
    case pf8bit:
      std::memset(Row0, 15, std::size_t(Stride));
      break;
    case pf15bit:
      for (int32_t x = 0; x < Width; ++x)
        detail::Store16(Row0 + 2 * x, 0x7FFF);
      break;
    case pf24bit:
      std::memset(Row0, 0xFF, std::size_t(Stride));
      break;
    case pf32bit:
      for (int32_t x = 0; x < Width; ++x)
        detail::Store32(Row0 + 4 * int64_t(x), 0x00FFFFFF);
      break;
    }
    for (int32_t y = 1; y < Height; ++y)
      std::memcpy(Row0 + y * Stride, Row0, std::size_t(Stride));
  }

  FWidth = Width;
  FHeight = Height;
  FStride = int32_t(Stride);
  FFormat = Format;
  FBits = std::move(Bits);
  FPalette = std::move(Palette);
}

void TBitmap::NewImage(int32_t Width, int32_t Height, TPixelFormat Format, bool White) {
  Allocate(Width, Height, Format, White ? fillWhite : fillNone);
}

void TBitmap::SwapImage(TBitmap& Other) noexcept {
  std::swap(FWidth, Other.FWidth);
  std::swap(FHeight, Other.FHeight);
  std::swap(FStride, Other.FStride);
  std::swap(FFormat, Other.FFormat);
  std::swap(FBits, Other.FBits);
  std::swap(FPalette, Other.FPalette);
}

void TBitmap::SetSize(int32_t Width, int32_t Height) {
  if (Width == FWidth && Height == FHeight && FBits) return;
  TBitmap New;
  New.Allocate(Width, Height, FFormat, fillWhite);
  New.FPalette = FPalette;
  const int32_t W = std::min(Width, FWidth), H = std::min(Height, FHeight);
  if (W > 0 && H > 0) {
    // Whole bytes first; a pf4bit row of odd width ends in half a byte.
    const int64_t Bits = int64_t(W) * BitsPerPixel(FFormat);
    const auto Whole = std::size_t(Bits / 8);
    for (int32_t y = 0; y < H; ++y) {
      const uint8_t* S = FBits.get() + int64_t(y) * FStride;
      uint8_t* D = New.FBits.get() + int64_t(y) * New.FStride;
      std::memcpy(D, S, Whole);
      if (Bits % 8) D[Whole] = uint8_t((S[Whole] & 0xF0) | (D[Whole] & 0x0F));
    }
  }
  SwapImage(New);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == FFormat) return;
  TBitmap New;
  New.Allocate(FWidth, FHeight, Value, fillNone);
  std::unique_ptr<detail::TPaletteMatcher> Matcher;
  if (Value == pf4bit || Value == pf8bit)
    Matcher = std::make_unique<detail::TPaletteMatcher>(New.FPalette);
  std::vector<uint32_t> Row(std::size_t(FWidth) + 1);
  for (int32_t y = 0; y < FHeight; ++y) {
    detail::DecodeRow(*this, y, 0, FWidth, Row.data());
    detail::EncodeRow(New, y, 0, FWidth, Row.data(), Matcher.get());
  }
  SwapImage(New);
}

void TBitmap::Assign(const TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    Allocate(0, 0, FFormat, fillWhite);
    return;
  }
  if (const auto* B = dynamic_cast<const TBitmap*>(Source)) {
    TBitmap New;
    New.Allocate(B->FWidth, B->FHeight, B->FFormat, fillNone);
    std::memcpy(New.FBits.get(), B->FBits.get(), std::size_t(int64_t(B->FStride) * B->FHeight));
    New.FPalette = B->FPalette;
    SwapImage(New);
    return;
  }
  TPersistent::Assign(Source);
}

void TBitmap::SetPalette(const std::vector<TColor>& Palette) {
  const std::size_t Max = FFormat == pf4bit ? 16 : FFormat == pf8bit ? 256 : 0;
  if (Max == 0) throw EInvalidGraphicOperation("Bitmap has no palette in this pixel format");
  if (Palette.empty() || Palette.size() > Max)
    throw EInvalidGraphicOperation("Palette needs 1 to " + IntToStr(int64_t(Max)) + " entries");
  FPalette = Palette;
  for (TColor& C : FPalette)
    C = ColorToRGB(C);
}

uint8_t* TBitmap::ScanLine(int32_t Row) {
  if (Row < 0 || Row >= FHeight) throw EInvalidGraphicOperation("Scan line index out of range");
  return FBits.get() + int64_t(Row) * FStride;
}

const uint8_t* TBitmap::ScanLine(int32_t Row) const {
  return const_cast<TBitmap*>(this)->ScanLine(Row);
}

uint32_t TBitmap::ColorToPixel(TColor Color) const {
  const uint32_t Xrgb = detail::SwapRB(ColorToRGB(Color));
  switch (FFormat) {
  case pf4bit:
  case pf8bit:
    return detail::NearestPaletteIndex(FPalette, Xrgb);
  case pf15bit:
    return detail::XrgbTo15(Xrgb);
  default:
    return Xrgb;
  }
}

TColor TBitmap::PixelToColor(uint32_t Pixel) const {
  return detail::SwapRB(detail::ValueToXrgb(*this, Pixel));
}

} // namespace qeb
