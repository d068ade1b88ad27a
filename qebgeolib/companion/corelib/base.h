// Base companion unit: the library-wide exception, the small enumerations and
// event types the components share, and the process-wide progress hooks of
// long computations.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "qebgeolib/platform/base/exception.h"
#include "qebgeolib/platform/base/types.h"

namespace qeb {

class TObject;
class TCanvas;

// Base of every exception the library raises on its own account; module
// exceptions derive from it and carry only their message text.
class EQEBError : public Exception {
public:
  explicit EQEBError(const std::string& Msg) : Exception(Msg) {}
};

// Frame drawn around controls; ordinal 1 is a control's default.
enum TFrameStyle : uint8_t {
  frsNone,
  frsSingle,
  frsLowered,
  frsRaised,
  frsEmbossed,
  frsEngraved,
};

// Draws a frame of Style just inside the rectangle Left..Right, Top..Bottom
// (both corners included) with five colours: C1 highlight, C2 light face,
// C3 shadow, C4 dark shadow, C5 the line of frsSingle. The 3-D styles are
// two one-pixel rings, the outer on the rectangle's edge:
//   frsLowered   outer: top-left C3, bottom-right C1; inner: C4 and C2
//   frsRaised    outer: top-left C2, bottom-right C4; inner: C1 and C3
//   frsEmbossed  outer: top-left C1, bottom-right C3; inner: C3 and C1
//   frsEngraved  outer: top-left C3, bottom-right C1; inner: C1 and C3
// A ring's top-left colour covers its top row and left column except the
// bottom-left and top-right corners, which take the bottom-right colour.
// Nothing is drawn for frsNone, unknown styles or an inverted rectangle.
// The canvas's brush is left as it was.
void DrawFrame(TCanvas& Canvas, TFrameStyle Style, int32_t Left, int32_t Top, int32_t Right,
               int32_t Bottom, TColor C1, TColor C2, TColor C3, TColor C4, TColor C5);

// Angle formats in increasing detail; see DegreeToStr.
enum TDegreeFormat : uint8_t {
  dfDeg,       // 47.50°
  dfDegMin,    // 47°30.0'
  dfDegMinSec, // 47°30'00"
};

// Language of month and day names in date texts.
enum TLanguage : uint8_t { lgEnglish, lgGerman };

// What a mouse drag does on a map control. The gaps in the ordinals are kept
// free: every unnamed ordinal behaves like maNone.
enum TMouseActMode : uint8_t {
  maNone = 0,
  maPanBoth = 1,
  maPanHoriz = 2,
  maPanVert = 3,
  maRubberLine = 5,
  maZoomBox = 7,
  maZoomDrag = 9,
  maSelectRect = 16,
};

enum TZoomState : uint8_t { zsIdle, zsZoomBoxOpen };

enum TMouseBoxState : uint8_t { mbsIdle, mbsArmed, mbsDragging, mbsDone };

enum TVerticalAlignment : uint8_t { vaTop, vaCenter, vaBottom };

struct TRectDouble {
  double Left = 0;
  double Top = 0;
  double Right = 0;
  double Bottom = 0;
};

using TOnPercentDoneEvent = std::function<void(TObject* Sender, int32_t Percent)>;
using TZoomPanEvent = std::function<void(TObject* Sender)>;
using TSelectRectEvent =
    std::function<void(TObject* Sender, int32_t Kind, double A, double B, double C, double D)>;
using TOnRubberBandActionEvent = std::function<void(TObject* Sender, TPoint& Point)>;

// Process-wide progress of long computations (the least-squares solver):
// the solver increments ProcStat, calls MathFeedBackProc with it when one is
// assigned, and stops as soon as AbortMathProc is set. GUI thread only.
extern double ProcStat;
extern std::function<void(double)> MathFeedBackProc;
extern bool AbortMathProc;

} // namespace qeb
