// Base companion unit: the library-wide exception, the small enumerations and
// event types the components share, and the process-wide progress hooks of
// long computations.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "qebgeolib/platform/types.h"

namespace qeb {

class TObject;

// Base of every exception the library raises on its own account; module
// exceptions derive from it and carry only their message text.
class EQEBError : public std::runtime_error {
public:
  explicit EQEBError(const std::string& Msg) : std::runtime_error(Msg) {}
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
