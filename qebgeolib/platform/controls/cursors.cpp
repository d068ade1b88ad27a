// Cursor images from .cur data, the standard cursors and the screen's
// cursor table.
#include "qebgeolib/platform/controls/cursors.h"

#include <array>
#include <string>

#include "qebgeolib/platform/controls/resources.h"
#include "qebgeolib/platform/graphics/graphics.h"

namespace qeb {

namespace {

[[noreturn]] void Fail(const std::string& Fault) {
  throw EInvalidGraphic("Cursor: " + Fault);
}

uint16_t U16(std::span<const uint8_t> D, std::size_t At) {
  return static_cast<uint16_t>(D[At] | D[At + 1] << 8);
}

uint32_t U32(std::span<const uint8_t> D, std::size_t At) {
  return uint32_t(D[At]) | uint32_t(D[At + 1]) << 8 | uint32_t(D[At + 2]) << 16 |
         uint32_t(D[At + 3]) << 24;
}

constexpr int32_t MaxCursorSide = 256;

} // namespace

TColor TCursorImage::Blend(int32_t X, int32_t Y, TColor Screen) const {
  if (X < 0 || Y < 0 || X >= Width || Y >= Height) return Screen;
  const std::size_t i = std::size_t(Y) * std::size_t(Width) + std::size_t(X);
  return ((Mask[i] ? Screen : 0) ^ Colors[i]) & 0x00FFFFFF;
}

HCURSOR ReadCursorData(std::span<const uint8_t> Data) {
  // Directory: reserved 0, type 2 (cursor), count; 16-byte entries with the
  // hot spot where an icon has planes and bit count.
  if (Data.size() < 6) Fail("file too short");
  if (U16(Data, 0) != 0 || U16(Data, 2) != 2) Fail("not a cursor file");
  const uint16_t Count = U16(Data, 4);
  if (Count == 0) Fail("no image");
  if (Data.size() < 6 + 16 * std::size_t(Count)) Fail("directory truncated");
  const std::size_t Entry = 6;
  const TPoint Hot{U16(Data, Entry + 4), U16(Data, Entry + 6)};
  const uint64_t Size = U32(Data, Entry + 8);
  const uint64_t Offset = U32(Data, Entry + 12);
  if (Offset + Size > Data.size() || Size < 40) Fail("image outside the file");
  const std::span<const uint8_t> Img = Data.subspan(std::size_t(Offset), std::size_t(Size));
  if (Img[0] == 0x89 && Img[1] == 'P') Fail("PNG images are not supported");

  // A DIB of twice the height: the colour image above, the mask below.
  const uint32_t HeaderSize = U32(Img, 0);
  const auto Width = static_cast<int32_t>(U32(Img, 4));
  const auto Height2 = static_cast<int32_t>(U32(Img, 8));
  const uint16_t Bits = U16(Img, 14);
  const uint32_t Compression = U32(Img, 16);
  uint32_t ClrUsed = U32(Img, 32);
  if (HeaderSize < 40 || HeaderSize > Size) Fail("bad header");
  if (Width <= 0 || Width > MaxCursorSide || Height2 <= 0 || Height2 % 2 != 0 ||
      Height2 / 2 > MaxCursorSide)
    Fail("bad size");
  if (Compression != 0) Fail("compressed images are not supported");
  if (Bits != 1 && Bits != 4 && Bits != 8 && Bits != 24 && Bits != 32)
    Fail("unsupported bit count " + std::to_string(Bits));
  const int32_t Height = Height2 / 2;
  const uint32_t MaxColors = Bits <= 8 ? 1u << Bits : 0;
  if (ClrUsed == 0 || ClrUsed > MaxColors) ClrUsed = MaxColors;
  const std::size_t PaletteAt = HeaderSize;
  const std::size_t ColorAt = PaletteAt + 4 * std::size_t(ClrUsed);
  const std::size_t ColorStride = (std::size_t(Width) * Bits + 31) / 32 * 4;
  const std::size_t MaskStride = (std::size_t(Width) + 31) / 32 * 4;
  const std::size_t MaskAt = ColorAt + ColorStride * std::size_t(Height);
  if (MaskAt + MaskStride * std::size_t(Height) > Img.size()) Fail("image data truncated");

  const auto PaletteColor = [&](uint32_t Index) -> TColor {
    if (Index >= ClrUsed) return clBlack;
    const std::size_t At = PaletteAt + 4 * std::size_t(Index);
    return RGB(Img[At + 2], Img[At + 1], Img[At]);
  };
  auto C = std::make_shared<TCursorImage>();
  C->Width = Width;
  C->Height = Height;
  C->HotSpot = Hot;
  C->Mask.resize(std::size_t(Width) * std::size_t(Height));
  C->Colors.resize(C->Mask.size());
  bool HasAlpha = false;
  for (int32_t y = 0; y < Height; ++y) {
    // Rows are stored bottom-up.
    const std::size_t Row = ColorAt + ColorStride * std::size_t(Height - 1 - y);
    const std::size_t MRow = MaskAt + MaskStride * std::size_t(Height - 1 - y);
    for (int32_t x = 0; x < Width; ++x) {
      const std::size_t i = std::size_t(y) * std::size_t(Width) + std::size_t(x);
      TColor Color = 0;
      switch (Bits) {
      case 1:
        Color = PaletteColor(Img[Row + std::size_t(x) / 8] >> (7 - x % 8) & 1);
        break;
      case 4:
        Color = PaletteColor(Img[Row + std::size_t(x) / 2] >> (x % 2 ? 0 : 4) & 0x0F);
        break;
      case 8:
        Color = PaletteColor(Img[Row + std::size_t(x)]);
        break;
      case 24: {
        const std::size_t At = Row + 3 * std::size_t(x);
        Color = RGB(Img[At + 2], Img[At + 1], Img[At]);
        break;
      }
      default: {
        const std::size_t At = Row + 4 * std::size_t(x);
        Color = RGB(Img[At + 2], Img[At + 1], Img[At]);
        if (Img[At + 3] != 0) HasAlpha = true;
        break;
      }
      }
      C->Colors[i] = Color;
      C->Mask[i] = Img[MRow + std::size_t(x) / 8] >> (7 - x % 8) & 1;
    }
  }
  if (HasAlpha) {
    // Alpha images ignore the mask: opaque where alpha is at least half.
    for (int32_t y = 0; y < Height; ++y) {
      const std::size_t Row = ColorAt + ColorStride * std::size_t(Height - 1 - y);
      for (int32_t x = 0; x < Width; ++x) {
        const std::size_t i = std::size_t(y) * std::size_t(Width) + std::size_t(x);
        const bool Opaque = Img[Row + 4 * std::size_t(x) + 3] >= 128;
        C->Mask[i] = Opaque ? 0 : 1;
        if (!Opaque) C->Colors[i] = 0;
      }
    }
  }
  return C;
}

HCURSOR LoadCursor(const TResourceModule& Module, std::string_view Name) {
  const TResourceEntry* E = FindResource(Module, Name, RT_CURSOR);
  if (!E) return nullptr;
  try {
    return ReadCursorData(E->Data);
  } catch (const EInvalidGraphic&) {
    return nullptr;
  }
}

HCURSOR StandardCursor(TCursor Shape) {
  static const std::array<HCURSOR, 23> Standard = [] {
    std::array<HCURSOR, 23> A;
    for (int i = 0; i < 23; ++i) {
      auto C = std::make_shared<TCursorImage>();
      C->StandardShape = static_cast<TCursor>(-i);
      A[std::size_t(i)] = C;
    }
    return A;
  }();
  if (Shape > 0 || Shape < -22) return nullptr;
  return Standard[std::size_t(-Shape)];
}

TScreen::TScreen() {
  for (TCursor i = 0; i >= -22; --i)
    FCursors[i] = StandardCursor(i);
}

HCURSOR TScreen::GetCursors(TCursor Index) const {
  const auto It = FCursors.find(Index);
  return It != FCursors.end() ? It->second : FCursors.at(crDefault);
}

void TScreen::SetCursors(TCursor Index, HCURSOR Cursor) {
  if (!Cursor) Cursor = StandardCursor(Index);
  if (Cursor)
    FCursors[Index] = std::move(Cursor);
  else
    FCursors.erase(Index);
}

TScreen& Screen() {
  // Never destroyed, like the application.
  static TScreen& S = *new TScreen;
  return S;
}

} // namespace qeb
