// Fuzz target of the map control's repaint and mouse paths: any calibration
// file, image size, control size, view position, magnification, graticule
// setting and mouse script must compose the view without a crash, undefined
// behaviour or a runaway loop (libFuzzer's timeout catches those).
//
// Input: an 80-byte header (settings and eight mouse events), then a
// calibration file in its memory-stream form.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/voziza/view.h"

namespace {

using namespace qeb;

constexpr std::size_t HeaderSize = 80;

template <class T> T Take(const uint8_t* Data, std::size_t At) {
  T V;
  std::memcpy(&V, Data + At, sizeof V);
  return V;
}

constexpr TMouseActMode Actions[] = {maNone,       maPanBoth, maPanHoriz, maPanVert,
                                     maRubberLine, maZoomBox, maZoomDrag, maSelectRect};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  if (Size < HeaderSize) return 0;
  TVozIza V(nullptr);
  V.SetName("fuzz");
  V.SetSuppressPaint(true);
  V.SetBounds(0, 0, 1 + Take<uint16_t>(Data, 0) % 600, 1 + Take<uint16_t>(Data, 2) % 600);
  TBitmap Img(1 + Take<uint16_t>(Data, 4) % 400, 1 + Take<uint16_t>(Data, 6) % 400);
  Img.GetCanvas().GetPen().SetColor(0x336699);
  Img.GetCanvas().MoveTo(0, 0);
  Img.GetCanvas().LineTo(Img.GetWidth(), Img.GetHeight());
  V.SetMapBitMap(&Img);

  TMemoryStream Cal;
  Cal.WriteBuffer(Data + HeaderSize, static_cast<int64_t>(Size - HeaderSize));
  Cal.SetPosition(0);
  try {
    V.LoadCalDataFromXML(Cal, "");
  } catch (const EQEBVozIzaError&) {
  }

  try {
    V.SetMagnification(Take<double>(Data, 8));
  } catch (const EQEBVozIzaError&) {
  }
  V.SetTopLeft({Take<int32_t>(Data, 16), Take<int32_t>(Data, 20)});
  V.SetGratLineDist(Take<float>(Data, 24));
  V.SetUTMGridDist(Take<int32_t>(Data, 28));
  V.SetShowGrat(static_cast<TShowGrat>(Data[32] % 6));
  V.SetAntiAlias(Data[33] & 1);
  V.SetConfinePan(Data[33] & 2);
  V.SetCacheMagLimit(Data[34] / 255.0);
  V.SetMouseAction(Actions[Data[35] % 8]);
  V.SetSuppressPaint(false);

  // Eight mouse events: kind, then x and y as 16-bit values (outside the
  // control too).
  for (std::size_t E = 0; E < 8; ++E) {
    const uint8_t* P = Data + 40 + 5 * E;
    const int32_t X = Take<int16_t>(P, 1), Y = Take<int16_t>(P, 3);
    const TShiftState Ctrl = P[0] & 0x80 ? ssCtrl : 0;
    const TMouseButton B = static_cast<TMouseButton>((P[0] >> 4 & 3) % 3);
    switch (P[0] & 3) {
    case 0:
      V.InputMouseDown(B, Ctrl, X, Y);
      break;
    case 1:
      V.InputMouseMove(Ctrl, X, Y);
      break;
    case 2:
      V.InputMouseUp(B, Ctrl, X, Y);
      break;
    case 3:
      V.InputMouseWheel(Ctrl, P[0] & 0x40 ? 120 : -120, X, Y);
      break;
    }
  }
  V.ZoomFitPage();
  V.ResizeMap(0.5 + (Data[36] % 4) * 0.25);
  return 0;
}
