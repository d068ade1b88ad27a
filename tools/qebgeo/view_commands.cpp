// qebgeo subcommands of the map control: render a calibrated map to a PNG
// file; and the map part of the demo, which calibrates a world map, writes
// and reads its calibration file and renders it.
#include <cmath>
#include <filesystem>
#include <iostream>
#include <tuple>
#include <utility>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/textfile.h"
#include "qebgeolib/platform/graphics/jpegimage.h"
#include "qebgeolib/platform/graphics/pngimage.h"
#include "qebgeolib/voziza/view.h"
#include "tools/qebgeo/cli.h"

namespace qeb::cli {

namespace {

namespace fs = std::filesystem;

// The image a calibration file names: as given, or relative to the
// calibration file's folder.
std::string ImageBeside(const fs::path& Folder, const std::string& Name) {
  if (!Name.empty() && !fs::path(Name).is_absolute() && !FileExists(Name))
    return (Folder / Name).string();
  return Name;
}

// A map control whose calibration files name their image relative to the
// calibration file's folder.
class TCliMap : public TVozIza {
public:
  explicit TCliMap(const std::string& CalFile) : TVozIza(nullptr) {
    SetName("qebgeo");
    const fs::path Folder = fs::path(CalFile).parent_path();
    SetOnMapImageRequest(
        [Folder](TObject*, std::string& Name) { Name = ImageBeside(Folder, Name); });
  }
};

// The map image of calibration Id in CalFile, found as the map control finds
// it; raises with the reason when there is none the control could show.
std::string MapImageOf(const std::string& CalFile, const std::string& Id) {
  CheckReadable(CalFile);
  TCalibData D;
  TCalibModel M = cmUndefined;
  if (!ParseCalibData(CalFile, Id, D, M))
    throw std::runtime_error("no calibration" + (Id.empty() ? "" : " \"" + Id + "\"") + " in \"" +
                             CalFile + "\"");
  if (D.MapFName.empty())
    throw std::runtime_error("the calibration in \"" + CalFile + "\" names no map image");
  const std::string Image =
      FindFileIgnoringCase(ImageBeside(fs::path(CalFile).parent_path(), D.MapFName));
  std::error_code Ec;
  if (fs::is_directory(Image, Ec))
    throw std::runtime_error("the map image \"" + Image + "\" is a directory");
  if (!FileExists(Image))
    throw std::runtime_error("the map image \"" + D.MapFName + "\" of \"" + CalFile +
                             "\" cannot be found");
  const std::string Ext = LowerCase(ExtractFileExt(Image));
  if (Ext != ".jpg" && Ext != ".jpeg" && Ext != ".bmp")
    throw std::runtime_error("the map image \"" + Image + "\" is not a JPEG or BMP file");
  CheckReadable(Image);
  return Image;
}

TShowGrat ParseGrat(std::string_view Text) {
  static constexpr std::string_view Names[] = {"none",         "points", "lines",
                                               "points+lines", "utm",    "points+utm"};
  for (int K = 0; K < 6; ++K)
    if (Text == Names[K]) return static_cast<TShowGrat>(K);
  throw EUsage("unknown graticule mode \"" + std::string(Text) + "\"");
}

// render CALFILE OUT.png [options]
void CmdRender(TArgs A) {
  if (A.size() < 2) throw EUsage("CALFILE and OUT.png are needed");
  const std::string CalFile(A[0]), Out(A[1]);
  std::string Id;
  double Mag = 1;
  TPoint At{0, 0};
  int32_t W = 800, H = 600;
  TShowGrat Grat = sgLines;
  double Dist = 0;
  bool AntiAlias = true, Fit = false;
  std::string LmFile, LmId;
  int32_t Highlight = 0;
  for (std::size_t K = 2; K < A.size(); ++K) {
    auto Value = [&](const char* What) {
      if (++K >= A.size()) throw EUsage(std::string(What) + " needs a value");
      return A[K];
    };
    if (A[K] == "--id")
      Id = std::string(Value("--id"));
    else if (A[K] == "--mag")
      Mag = InRange(ParseDouble(Value("--mag"), "magnification"), 1.0 / 1024, 1024,
                    "the magnification");
    else if (A[K] == "--fit")
      Fit = true;
    else if (A[K] == "--at") {
      At.X = ParseInt(Value("--at"), "left");
      At.Y = ParseInt(Value("--at"), "top");
    } else if (A[K] == "--size") {
      W = ParseInt(Value("--size"), "width");
      H = ParseInt(Value("--size"), "height");
      if (W < 1 || H < 1 || W > 8192 || H > 8192)
        throw EUsage("the size must lie between 1 and 8192 pixels");
    } else if (A[K] == "--grat")
      Grat = ParseGrat(Value("--grat"));
    else if (A[K] == "--dist")
      // 0 lets the control choose; it draws lines at most 60 degrees apart.
      Dist = InRange(ParseDouble(Value("--dist"), "graticule distance"), 0, 60,
                     "the graticule distance");
    else if (A[K] == "--landmarks")
      LmFile = std::string(Value("--landmarks"));
    else if (A[K] == "--lmid")
      LmId = std::string(Value("--lmid"));
    else if (A[K] == "--highlight")
      Highlight = ParseInt(Value("--highlight"), "highlighted landmark");
    else if (A[K] == "--noaa")
      AntiAlias = false;
    else
      throw EUsage("unknown option \"" + std::string(A[K]) + "\"");
  }
  const std::string Image = MapImageOf(CalFile, Id);
  RefuseOutputOnInput(Out, {CalFile, Image});
  TCliMap V(CalFile);
  V.SetSuppressPaint(true);
  V.SetBounds(0, 0, W, H);
  V.LoadCalDataFromXML(CalFile, Id);
  if (V.GetMapImgWidth() == 0)
    throw std::runtime_error("the map image \"" + Image + "\" holds no picture");
  if (Fit)
    V.ZoomFitPage();
  else {
    V.SetMagnification(Mag);
    V.SetTopLeft(At);
  }
  V.SetShowGrat(Grat);
  V.SetGratLineDist(Dist);
  V.SetAntiAlias(AntiAlias);
  if (!LmFile.empty()) {
    RefuseOutputOnInput(Out, {LmFile});
    LoadLandMarkSet(V, LmFile, LmId);
    if (Highlight < 0 || Highlight > V.GetNumLandMarks())
      throw EUsage("the highlighted landmark must lie in 0.." +
                   std::to_string(V.GetNumLandMarks()));
    V.SetHighLightLandMark(Highlight);
  } else if (Highlight != 0 || !LmId.empty()) {
    throw EUsage("--highlight and --lmid go with --landmarks");
  }
  V.SetSuppressPaint(false);
  SavePng(V, Out);
  std::cout << Out << ": " << W << " x " << H << " pixels, map " << V.GetMapImgWidth() << " x "
            << V.GetMapImgHeight() << " at " << Fixed(V.GetMagnification(), 4) << " from ("
            << V.GetTopLeft().X << ", " << V.GetTopLeft().Y << ")\n";
}

} // namespace

void SavePng(TVozIza& V, const std::string& FileName) {
  TBitmap Shot;
  V.PaintTo(Shot);
  TPNGImage Png;
  Png.Assign(&Shot);
  Png.SaveToFile(FileName);
}

// A stand-in for the world map where the image package is missing: sea,
// land-coloured bands and darker lines every 30 degrees.
std::string MakeWorldImage(const std::filesystem::path& Folder) {
  TBitmap Bmp(2048, 1024);
  TCanvas& C = Bmp.GetCanvas();
  for (int32_t Y = 0; Y < 1024; Y += 8) {
    const double Lat = 90 - (Y + 4) * 180.0 / 1024;
    const int Shade = static_cast<int>(120 + 100 * std::cos(Lat * 3.14159265 / 90));
    C.GetBrush().SetColor(static_cast<TColor>(Shade / 3 | (Shade / 2) << 8 | Shade << 16));
    C.FillRect(Rect(0, Y, 2048, Y + 8));
  }
  C.GetPen().SetColor(0x00305030);
  for (int32_t K = 0; K <= 12; ++K) {
    C.MoveTo(K * 2048 / 12, 0);
    C.LineTo(K * 2048 / 12, 1024);
  }
  TJPEGImage Jpeg;
  Jpeg.Assign(&Bmp);
  const std::string Name = (Folder / "world-generated.jpg").string();
  Jpeg.SaveToFile(Name);
  return Name;
}

// Image pixel of a position on the 2048 x 1024 equirectangular world map.
TPoint WorldPixel(double Lat, double Long) {
  return {static_cast<int32_t>(std::lround((Long + 180) / 360 * 2048)),
          static_cast<int32_t>(std::lround((90 - Lat) / 180 * 1024))};
}

void CalibrateWorldByCorners(TVozIza& V, const std::string& Caption) {
  V.SetCalibModel(cmEquiRect);
  V.SetMapCaption(Caption);
  for (auto [Lat, Long] :
       {std::pair{90.0, -180.0}, {-90.0, -180.0}, {-90.0, 180.0}, {90.0, 180.0}}) {
    const TPoint P = WorldPixel(Lat, Long);
    V.AddCalibPoint(Lat, Long, P.X, P.Y);
  }
}

void LoadCalibratedMap(TVozIza& V, const std::string& CalFile, const std::string& Id) {
  const std::string Image = MapImageOf(CalFile, Id);
  const fs::path Folder = fs::path(CalFile).parent_path();
  V.SetOnMapImageRequest(
      [Folder](TObject*, std::string& Name) { Name = ImageBeside(Folder, Name); });
  V.LoadCalDataFromXML(CalFile, Id);
  if (V.GetMapImgWidth() == 0)
    throw std::runtime_error("the map image \"" + Image + "\" holds no picture");
}

void AddViewCommands(std::vector<TCommand>& List) {
  List.push_back(
      {"render",
       "render CALFILE OUT.png [--id ID] [--mag M | --fit] [--at X Y] [--size W H] "
       "[--grat MODE] [--dist DEG] [--noaa] [--landmarks FILE [--lmid ID] [--highlight N]]",
       "render a calibrated map to a PNG file (MODE none, points, lines, points+lines, "
       "utm, points+utm), with the landmarks of a landmark file",
       CmdRender});
}

void DemoView() {
  Heading("Map control: a calibrated world map, rendered");
  const fs::path Folder = fs::absolute("qebgeo-demo-maps");
  fs::create_directories(Folder);
  std::string Image = "/usr/share/xplanet/images/earth.jpg";
  if (!FileExists(Image)) {
    std::cout << "(" << Image << " is missing; a generated map stands in)\n";
    Image = MakeWorldImage(Folder);
  }
  const std::string CalFile = (Folder / "earth.xml").string();
  {
    TCliMap V(CalFile);
    V.SetMapImgName(Image);
    std::cout << "map image " << Image << ": " << V.GetMapImgWidth() << " x " << V.GetMapImgHeight()
              << " pixels\n";
    TTextFile F(CalFile);
    F.Rewrite();
    // First calibration: the four corners, equirectangular.
    CalibrateWorldByCorners(V, "World, corners");
    V.WriteCalDataToOpenXMLFile(F, true, "corners");
    // Second: graticule lines, each a parabola through its points.
    V.ClearCalibData();
    V.SetCalibModel(cmParabolicIp);
    V.SetMapCaption("World, graticule");
    for (double Lat = -60; Lat <= 60; Lat += 30)
      for (double Long = -150; Long <= 150; Long += 100)
        V.AddCalibPoint(gtlParallel, Lat, WorldPixel(Lat, Long).X, WorldPixel(Lat, Long).Y);
    for (double Long = -120; Long <= 120; Long += 60)
      for (double Lat = -70; Lat <= 70; Lat += 70)
        V.AddCalibPoint(gtlMeridian, Long, WorldPixel(Lat, Long).X, WorldPixel(Lat, Long).Y);
    V.WriteCalDataToOpenXMLFile(F, false, "graticule");
    F.Close();
  }
  std::cout << "calibration file " << CalFile << " (calibrations \"corners\" and \"graticule\")\n";

  const std::string Whole = (Folder / "world-m0.5.png").string();
  const std::string Europe = (Folder / "europe-m2.png").string();
  const std::string Grat = (Folder / "world-graticule-m0.4.png").string();
  Show("render", {CalFile, Whole, "--id", "corners", "--mag", "0.5", "--size", "1024", "512",
                  "--grat", "points+lines", "--dist", "30"});
  // Europe: 35..70 N, 15 W..45 E at magnification 2.
  const TPoint EuropeTL = WorldPixel(70, -15);
  const std::string EX = std::to_string(EuropeTL.X), EY = std::to_string(EuropeTL.Y);
  Show("render", {CalFile, Europe, "--id", "corners", "--mag", "2", "--at", EX, EY, "--size", "683",
                  "398", "--grat", "lines", "--dist", "5"});
  Show("render", {CalFile, Grat, "--id", "graticule", "--fit", "--size", "820", "410", "--grat",
                  "points+lines"});

  // Where places are on the map, and back.
  TCliMap V(CalFile);
  V.LoadCalDataFromXML(CalFile, "corners");
  for (auto [Name, Lat, Long] : {std::tuple{"Paris", 48.8566, 2.3522},
                                 {"Sydney", -33.8688, 151.2093},
                                 {"Quito", -0.1807, -78.4678}}) {
    int32_t X = 0, Y = 0;
    bool Valid = V.CalcPixelCoords(Lat, Long, X, Y);
    bool VLat = false, VLong = false;
    const double BackLat = V.CalcLatitude(X, Y, VLat), BackLong = V.CalcLongitude(X, Y, VLong);
    std::cout << "  " << Name << ": pixel (" << X << ", " << Y << ")" << (Valid ? "" : " invalid")
              << ", back " << Fixed(BackLat, 3) << " " << Fixed(BackLong, 3) << '\n';
  }
}

} // namespace qeb::cli
