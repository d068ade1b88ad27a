// Small calibrated maps on disk for the atlas's tests and benchmark: a
// one-colour BMP image and an equirectangular calibration file beside it.
#pragma once

#include <cstdint>
#include <string>

#include "qebgeolib/platform/base/textfile.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/voziza/calibration.h"

namespace qeb::test {

struct TMapBox {
  double LatTop, LongLeft, LatBottom, LongRight;
};

// Writes <Dir><Name>.xml and, with Image, <Dir><Name>.bmp of W x H pixels in
// Color. The calibration names the image with a Windows folder, which the
// atlas must strip, and states Resolution as given.
inline std::string WriteAtlasMap(const std::string& Dir, const std::string& Name,
                                 const std::string& Caption, const TMapBox& B, double Resolution,
                                 int32_t W = 40, int32_t H = 30, TColor Color = 0x0000C000,
                                 bool Image = true) {
  if (Image) {
    TBitmap Bmp(W, H);
    Bmp.GetCanvas().GetBrush().SetColor(Color);
    Bmp.GetCanvas().FillRect(Rect(0, 0, W, H));
    Bmp.SaveToFile(Dir + Name + ".bmp");
  }
  TCalibData D;
  D.MapFName = "C:\\maps\\" + Name + ".bmp";
  D.Caption = Caption;
  D.Resolution = Resolution;
  D.Corners = {TCoords{B.LatTop, B.LongLeft}, TCoords{B.LatBottom, B.LongLeft},
               TCoords{B.LatBottom, B.LongRight}, TCoords{B.LatTop, B.LongRight}};
  D.NumCalQuads = 3;
  D.CalQuads[1] = {B.LatTop, B.LongLeft, 0, 0};
  D.CalQuads[2] = {B.LatBottom, B.LongLeft, 0, H};
  D.CalQuads[3] = {B.LatBottom, B.LongRight, W, H};
  const std::string FileName = Dir + Name + ".xml";
  TTextFile F(FileName);
  F.Rewrite();
  WriteRawCalDataToOpenXMLFile(F, true, "", D, cmEquiRect);
  F.Close();
  return FileName;
}

} // namespace qeb::test
