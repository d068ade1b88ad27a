// Landmarks: geographic points the map control marks with a symbol and an
// optional caption. The records, the symbol kinds with their display names,
// the events of the landmark list, and the drawing of one symbol or caption
// on any canvas (hosts draw symbols outside the map with them too). The list
// itself is part of TVozIza (view.h).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "qebgeolib/platform/base/classes.h"
#include "qebgeolib/platform/base/text.h"
#include "qebgeolib/platform/base/types.h"
#include "qebgeolib/platform/graphics/graphics.h"

namespace qeb {

class TCanvas;

// The symbol kinds. lmUserDef draws nothing of its own: a host that wants a
// symbol for it draws one in OnDrawLandmark.
enum TLandMarkElement : uint8_t {
  lmPlus,
  lmSquare,
  lmTriangle,
  lmCircle,
  lmArrowFrom,
  lmArrowTo,
  lmCrossBox,
  lmSpade,
  lmCross,
  lmUserDef,
};
inline constexpr int LandMarkElementCount = 10;

// Display names of the kinds, indexed by TLandMarkElement; the landmark and
// symbol files name kinds with them.
inline constexpr std::array<std::string_view, LandMarkElementCount> LMTypeNames = {
    "Plus",    "Square",   "Triangle", "Circle", "ArrowFrom",
    "ArrowTo", "CrossBox", "Spade",    "Cross",  "User-Defined"};

// The display name of a kind; a value outside the enumeration is named
// "Cross", what the readers make of a name they do not know.
constexpr std::string_view LMTypeName(TLandMarkElement Kind) {
  return LMTypeNames[Kind < LandMarkElementCount ? Kind : lmCross];
}

// The kind named Name in any letter case; Fallback for any other text.
TLandMarkElement LMTypeFromName(std::string_view Name, TLandMarkElement Fallback = lmCross);

enum TLandMarkAction : uint8_t { lmaAdd, lmaRemove };

using TLMIdentifier = TShortString<15>;
using TLMText = TShortString<80>;

// How a symbol looks. Size is the half-size in pixels; Direction is in
// degrees clockwise from screen up (triangle and arrows); Length the arrow
// shaft in pixels. Transparent: no fill and no halo.
struct TSymbolProperties {
  TLandMarkElement Kind = lmPlus;
  int32_t Size = 0;
  TColor FGColor = 0;
  TColor BGColor = 0;
  bool Transparent = false;
  int32_t Direction = 0;
  int32_t Length = 0;
  friend bool operator==(const TSymbolProperties&, const TSymbolProperties&) = default;
};

// Caption alignments to the anchor point.
enum TLMHAlignment : uint8_t { lmhLeft, lmhRight, lmhCenter };
enum TLMVAlignment : uint8_t { lmvTop, lmvCenter, lmvBottom };

// A landmark's caption. An empty Text means no caption. Size is in points,
// (dx, dy) the offset of the anchor from the landmark (y down), Direction
// the text angle in degrees counter-clockwise. Transparent: no box behind
// the text. HAlignment and VAlignment hold a TLMHAlignment and TLMVAlignment;
// other values draw no caption.
struct TLMTextProperties {
  TLMText Text;
  int32_t Size = 0;
  std::string FontName;
  TFontStyles FontStyles = 0;
  TColor FGColor = 0;
  TColor BGColor = 0;
  bool Transparent = false;
  int32_t dx = 0;
  int32_t dy = 0;
  int32_t Direction = 0;
  uint8_t HAlignment = lmhLeft;
  uint8_t VAlignment = lmvTop;
  friend bool operator==(const TLMTextProperties&, const TLMTextProperties&) = default;
};

// One landmark. Altitude is stored and filed, never interpreted. ClassFlag
// (0..255) selects visibility and the class filters; Tag is the host's.
struct TLandMark {
  double Latitude = 0;
  double Longitude = 0;
  double Altitude = 0;
  uint8_t ClassFlag = 0;
  int32_t Tag = 0;
  TSymbolProperties SymbolProps;
  TLMTextProperties Caption;
  TLMIdentifier Identifier;
  TDateTime Time = 0;
  friend bool operator==(const TLandMark&, const TLandMark&) = default;
};

// The template a new map control starts with (LandMarkDefault): a blue cross
// of size 7 on a white halo, arrow length 10; caption of 8 points in
// "MS Sans Serif", black, without box, centred 8 pixels below the landmark.
TLandMark DefaultLandMark();

// Asked before every single addition and removal; setting Allowed to false
// refuses it. The handler must not change the landmarks of the same control.
using TLandMarkActionEvent = std::function<void(
    TObject* Sender, bool& Allowed, TLandMarkAction Action, const TLandMark& LandMarkData)>;

// Called for each landmark the landmark pass draws, with its position in
// control pixels (also outside the control); Handled = true suppresses the
// built-in symbol and caption.
using TDrawLandMarkEvent = std::function<void(TObject* Sender, bool& Handled, TCanvas& Canvas,
                                              const TPoint& APoint, const TLandMark& LandMarkData)>;

// Draws one symbol centred on (X, Y). It leaves the canvas's pen colour,
// brush colour and brush style as it set them (the colour before the style,
// so a clear brush turns solid for the filled kinds). Sizes and lengths
// anywhere in the 32-bit range are safe and cost only the visible pixels;
// lines keep their slope beyond that range, while the box of a square or
// circle is clamped into it.
void DrawLandMarkSymbolOnCanvas(TCanvas& Canvas, int32_t X, int32_t Y, TLandMarkElement Kind,
                                TColor ColorFG, TColor ColorBG, int32_t Size, int32_t Direction,
                                int32_t Length, bool Transparent);

// Draws a caption for a landmark at (X, Y): font, colours and box from
// Caption, the anchor at (X + dx, Y + dy), aligned and turned as Caption
// says. Nothing for an empty text or an alignment outside the enumerations.
void DrawLandMarkCaption(TCanvas& Canvas, int32_t X, int32_t Y, const TLMTextProperties& Caption);

} // namespace qeb
