// Fixtures of the map control tests: test images whose pixels tell their
// position, the pixels a control shows, and a corner calibration.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/voziza/view.h"

namespace qeb::test {

// A 24-bit image whose pixel (x, y) is PixelCode(x, y): red x, green y and
// blue their sum, each taken modulo 256, multiplied by 8 so that the colour
// survives the 15-bit work bitmaps of the control unchanged for x, y < 32.
// Larger positions repeat every 32 pixels.
inline TColor PixelCode(int32_t X, int32_t Y) {
  const uint32_t R = static_cast<uint32_t>(X % 32) * 8;
  const uint32_t G = static_cast<uint32_t>(Y % 32) * 8;
  const uint32_t B = static_cast<uint32_t>((X / 32 + Y / 32) % 32) * 8;
  return R | G << 8 | B << 16;
}

inline void FillCodedImage(TBitmap& Bmp, int32_t Width, int32_t Height) {
  Bmp.NewImage(Width, Height, pf24bit, false);
  for (int32_t Y = 0; Y < Height; ++Y) {
    uint8_t* Row = Bmp.ScanLine(Y);
    for (int32_t X = 0; X < Width; ++X) {
      const TColor C = PixelCode(X, Y);
      Row[3 * X] = static_cast<uint8_t>(C >> 16);
      Row[3 * X + 1] = static_cast<uint8_t>(C >> 8);
      Row[3 * X + 2] = static_cast<uint8_t>(C);
    }
  }
}

// Hands the control a coded image of W x H pixels.
inline void ShowCodedImage(TVozIza& View, int32_t Width, int32_t Height) {
  TBitmap B;
  FillCodedImage(B, Width, Height);
  View.SetMapBitMap(&B);
}

// The colour a 24-bit colour reads back as from a 15-bit bitmap.
inline TColor To15(TColor C) {
  auto Channel = [](uint32_t V) {
    V >>= 3;
    return V << 3 | V >> 2;
  };
  return Channel(C & 0xFF) | Channel(C >> 8 & 0xFF) << 8 | Channel(C >> 16 & 0xFF) << 16;
}

// The colour of a pixel the control shows.
inline TColor SurfacePx(const TControl& C, int32_t X, int32_t Y) {
  const TBitmap& S = C.GetSurface();
  uint32_t V = 0;
  std::memcpy(&V, S.ScanLine(Y) + 4 * X, 4);
  return S.PixelToColor(V);
}

inline TColor Px(const TBitmap& B, int32_t X, int32_t Y) {
  return const_cast<TBitmap&>(B).GetCanvas().GetPixels(X, Y);
}

// Calibrates the control's image under cmEquiRect from its four corners.
inline void CalibrateCorners(TVozIza& View, double LatTop, double LongLeft, double LatBottom,
                             double LongRight) {
  const int32_t W = View.GetMapImgWidth(), H = View.GetMapImgHeight();
  View.SetCalibModel(cmEquiRect);
  View.AddCalibPoint(LatTop, LongLeft, 0, 0);
  View.AddCalibPoint(LatBottom, LongLeft, 0, H);
  View.AddCalibPoint(LatBottom, LongRight, W, H);
  View.AddCalibPoint(LatTop, LongRight, W, 0);
}

inline std::string TempPath(const std::string& Name) {
  return std::string(QEB_TEST_TMPDIR) + "/" + Name;
}

} // namespace qeb::test
