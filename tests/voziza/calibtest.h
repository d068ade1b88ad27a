// A calibration owned by a stand-in for the map control: a name for the
// messages, a map image of a given size, and the images files asked for.
#pragma once

#include <string>
#include <vector>

#include "qebgeolib/voziza/calibration.h"

namespace qeb::test {

class TTestCalib : public TVozIzaCalibration {
public:
  std::string Name = "Map1";
  int32_t Width = 1000, Height = 800;
  std::string ImgFile = "map.jpg";
  std::vector<std::string> LoadedImages;

protected:
  std::string CalibComponentName() const override { return Name; }
  int32_t GetMapImgWidth() const override { return Width; }
  int32_t GetMapImgHeight() const override { return Height; }
  std::string GetMapImgFile() const override { return ImgFile; }
  void SetMapImgName(const std::string& N) override { LoadedImages.push_back(N); }
  void ClearMapImage() override {
    ImgFile.clear();
    Width = Height = 0;
  }
  void CalibrationChanged() override {}
};

// A synthetic equirectangular map: latitude 48 at the top falling 1/1000 degree a pixel,
// longitude 8 at the left growing 1/1000 degree a pixel.
inline double EqLat(double Y) {
  return 48 - Y / 1000;
}
inline double EqLong(double X) {
  return 8 + X / 1000;
}

} // namespace qeb::test
