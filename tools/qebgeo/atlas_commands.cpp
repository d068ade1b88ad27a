// qebgeo subcommand of the atlas: `qebgeo atlas-maps FOLDER` writes an atlas
// of real and generated maps (the world map and finer generated maps of a
// few regions with the capitals drawn in). Its part of the demo registers
// them in a TGeoAtlas, selects the world map and zooms in at a capital by
// the atlas's own rule, rendering each step.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>

#include "qebgeolib/geoatlas/geoatlas.h"
#include "qebgeolib/geobasics/countries.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/voziza/landmarks.h"
#include "qebgeolib/voziza/view.h"
#include "tools/qebgeo/cli.h"

namespace qeb::cli {

namespace {

namespace fs = std::filesystem;

// The generated maps: file name, caption, box, grid spacing and size. The
// drawing areas have 20 (Europe, East Asia), 14 (South America) and 60
// (Central Europe) pixels a degree; the world map has 5.7.
struct TRegion {
  const char* Name;
  const char* Caption;
  double LatLo, LongLo, LatHi, LongHi, dDeg;
  int32_t W, H;
};
constexpr TRegion Regions[] = {
    {"europe", "Europe", 35, -15, 70, 45, 5, 1260, 760},
    {"central-europe", "Central Europe", 44, 0, 56, 24, 2, 1500, 780},
    {"east-asia", "East Asia", 15, 95, 50, 150, 5, 1160, 760},
    {"south-america", "South America", -56, -82, 13, -34, 5, 732, 1026},
};

// Draws the capitals of the country table that lie in the map's box: red
// squares with their names.
void DrawCapitals(TObject*, TCanvas& C, double LatLo, double LongLo, double LatHi, double LongHi,
                  int32_t W, int32_t H) {
  C.GetPen().SetStyle(psSolid);
  C.GetPen().SetWidth(1);
  TLMTextProperties Caption = DefaultLandMark().Caption;
  Caption.Size = 7;
  Caption.FGColor = 0x00000080;
  Caption.Transparent = true;
  Caption.dx = 6;
  Caption.dy = 0;
  Caption.HAlignment = lmhLeft;
  Caption.VAlignment = lmvCenter;
  for (const TCountryData& Country : CountryData) {
    if (Country.Capital.Length() == 0 || Country.CapLat < LatLo || Country.CapLat > LatHi ||
        Country.CapLong < LongLo || Country.CapLong > LongHi)
      continue;
    const auto [X, Y] =
        GeneratedMapPixel(LatLo, LongLo, LatHi, LongHi, W, H, Country.CapLat, Country.CapLong);
    DrawLandMarkSymbolOnCanvas(C, X, Y, lmSquare, 0x000000C0, 0x00FFFFFF, 3, 0, 0, false);
    Caption.Text = TLMText::FromString(Country.Capital.ToString());
    DrawLandMarkCaption(C, X, Y, Caption);
  }
}

// The world map: its image copied beside the calibration (an atlas looks
// for images there), calibrated by its corners.
void WriteWorldMap(const fs::path& Folder) {
  std::string Image = "/usr/share/xplanet/images/earth.jpg";
  if (FileExists(Image)) {
    fs::copy_file(Image, Folder / "earth.jpg", fs::copy_options::overwrite_existing);
    Image = (Folder / "earth.jpg").string();
  } else {
    std::cout << "(" << Image << " is missing; a generated map stands in)\n";
    Image = MakeWorldImage(Folder);
  }
  TVozIza V(nullptr);
  V.SetName("qebgeo");
  V.SetSuppressPaint(true);
  V.SetMapImgName(Image);
  CalibrateWorldByCorners(V, "World");
  V.SaveCalDataAsXML((Folder / "world.xml").string(), "world");
}

// atlas-maps FOLDER
void CmdAtlasMaps(TArgs A) {
  Need(A, 1, 1);
  const fs::path Folder = fs::absolute(fs::path(A[0]));
  fs::create_directories(Folder);
  WriteWorldMap(Folder);
  std::cout << "wrote " << (Folder / "world.xml").string() << '\n';
  for (const TRegion& R : Regions) {
    TVozIza V(nullptr);
    V.SetName("qebgeo");
    V.SetSuppressPaint(true);
    const std::string Base = (Folder / R.Name).string();
    V.CreateAndLoadEmptyMap(Base, R.LatLo, R.LongLo, R.LatHi, R.LongHi, R.dDeg, R.dDeg, R.W, R.H,
                            DrawCapitals);
    // The generated calibration has no caption; the atlas lists it by this.
    V.SetMapCaption(R.Caption);
    V.SaveCalDataAsXML(Base + ".xml", "QEB_voziza_caldata");
    std::cout << "wrote " << Base << ".xml: " << R.Caption << ", " << V.GetMapImgWidth() << " x "
              << V.GetMapImgHeight() << " pixels, " << Fixed(V.GetCalibData().Resolution / 1000, 2)
              << " km a pixel\n";
  }
}

// One step of the demo: the map control's view as a PNG file.
void ShowStep(TGeoAtlas& Atlas, const fs::path& File, std::string_view What) {
  TVozIza& V = *Atlas.GetCurrentMap();
  SavePng(V, File.string());
  std::cout << "  " << What << ": map " << Atlas.GetCurrentMapIdx() << " \""
            << Atlas.GetMaps(Atlas.GetCurrentMapIdx()).Caption << "\", "
            << Fixed(V.GetCalibData().Resolution / 1000, 2) << " km a pixel -> "
            << File.filename().string() << '\n';
}

} // namespace

void AddAtlasCommands(std::vector<TCommand>& List) {
  List.push_back({"atlas-maps", "atlas-maps FOLDER",
                  "write an atlas: the world map and generated maps of Europe, Central Europe, "
                  "East Asia and South America with the capitals, each a calibration file with "
                  "its image",
                  CmdAtlasMaps});
}

void DemoAtlas() {
  Heading("Atlas: a world map and finer generated maps, zoomed in at a capital");
  const fs::path Folder = fs::absolute("qebgeo-demo-maps") / "atlas";
  Show("atlas-maps", {Folder.string()});
  TGeoAtlas Atlas(nullptr);
  Atlas.SetName("atlas");
  Atlas.SetBounds(0, 0, 900, 633);
  // Every calibration file of the folder, in name order so the run repeats.
  std::vector<std::string> Files;
  for (const fs::directory_entry& E : fs::directory_iterator(Folder))
    if (E.path().extension() == ".xml") Files.push_back(E.path().string());
  std::sort(Files.begin(), Files.end());
  int32_t World = 0;
  for (const std::string& F : Files) {
    if (!Atlas.RegisterMap(F)) throw std::runtime_error("the atlas refused \"" + F + "\"");
    if (fs::path(F).filename() == "world.xml") World = Atlas.GetNumRegMaps();
  }
  std::cout << Atlas.GetNumRegMaps() << " maps registered\n";
  if (World == 0 || !Atlas.SelectMap(World))
    throw std::runtime_error("the world map does not load");
  Atlas.GetCurrentMap()->ZoomFitPage();
  ShowStep(Atlas, Folder / "step-0-world.png", "selected");
  // Zooms in at Paris as a click with the zoom button would: each step the
  // coarsest map finer by more than MinResDiff percent that covers it.
  const double Lat = 48.8566, Long = 2.3522;
  for (int Step = 1;; ++Step) {
    const double Resolution = Atlas.GetCurrentMap()->GetCalibData().Resolution;
    if (!Atlas.ZoomIn(Lat, Long, Resolution)) {
      std::cout << "  no finer map covers Paris\n";
      break;
    }
    // The atlas keeps the magnification; each finer map is shown 1:1.
    Atlas.GetCurrentMap()->SetMagnification(1);
    Atlas.GetCurrentMap()->BringLocationToCenter(Lat, Long);
    std::string Name = LowerCase(Atlas.GetMaps(Atlas.GetCurrentMapIdx()).Caption);
    std::replace(Name.begin(), Name.end(), ' ', '-');
    Name = "step-" + std::to_string(Step) + "-" + Name + ".png";
    ShowStep(Atlas, Folder / Name, "zoomed in at Paris");
  }
  std::cout << "the viewer shows this atlas: qebgeo-viewer --open " << Folder.string() << '\n';
}

} // namespace qeb::cli
