// Mouse cursors: the cursor indexes of controls, the framework's standard
// cursors, cursor images read from .cur data or resources, and the screen's
// cursor table (Screen().GetCursors(Index)).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "qebgeolib/platform/base/types.h"

namespace qeb {

struct TResourceModule;

// An index into the screen's cursor table. The standard cursors have the
// indexes 0 down to -22; applications add their own at positive indexes.
using TCursor = int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crMultiDrag = -16;
inline constexpr TCursor crSQLWait = -17;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

// A cursor: either one of the standard shapes, which hosts draw with their
// own native cursors (Image empty), or an image with a hot spot. Image
// pixels follow the classic mask rule: the screen pixel s becomes
// (s AND mask) XOR colour, so mask 0 shows Colors[i], mask 1 with colour 0
// is transparent and mask 1 with a colour inverts the screen.
struct TCursorImage {
  TCursor StandardShape = crDefault; // the shape of a standard cursor; crDefault for images
  int32_t Width = 0;
  int32_t Height = 0;
  TPoint HotSpot;
  std::vector<uint8_t> Mask;  // Width * Height values 0 or 1, rows top-down
  std::vector<TColor> Colors; // Width * Height, 0x00BBGGRR
  bool IsStandard() const { return Width == 0; }
  // The screen colour Screen seen through the cursor pixel (X, Y).
  TColor Blend(int32_t X, int32_t Y, TColor Screen) const;
};

// The framework's cursor handle; null is no cursor.
using HCURSOR = std::shared_ptr<const TCursorImage>;

// Reads a .cur file held in memory: the first image of the directory, with
// 1, 4, 8, 24 or 32 bits a pixel (32-bit images use their alpha channel as
// the mask when it is not all zero), at most 256 x 256 pixels. Anything else
// raises EInvalidGraphic ("Cursor: " and the fault).
HCURSOR ReadCursorData(std::span<const uint8_t> Data);

// The cursor resource Name of Module; null when there is none or its data
// is not a readable cursor, as the classic LoadCursor call answers.
HCURSOR LoadCursor(const TResourceModule& Module, std::string_view Name);

// The standard cursor of a shape in 0..-22 (null for other values).
HCURSOR StandardCursor(TCursor Shape);

// The screen: the process-wide table of cursors. It starts with the
// standard cursors at their indexes; an index without an entry reads as the
// default cursor. GUI thread only.
class TScreen {
public:
  TScreen();
  HCURSOR GetCursors(TCursor Index) const;
  // A null cursor removes the entry (a standard index returns to its
  // standard cursor).
  void SetCursors(TCursor Index, HCURSOR Cursor);

private:
  std::map<TCursor, HCURSOR> FCursors;
};

TScreen& Screen();

} // namespace qeb
