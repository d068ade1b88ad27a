// qebgeo gdal: georeferenced rasters through the GDAL binding.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bindings/gdal/gdalmap.h"
#include "bindings/gdal/gdalvector.h"
#include "qebgeolib/companion/corelib/filesys.h"
#include "qebgeolib/geodb/geodb.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "tools/qebgeo/cli.h"

namespace qeb::cli {

namespace {

void PrintInfo(const std::string& File, const gdal::TGdalMapInfo& I) {
  std::cout << File << ": " << I.Driver << ", " << I.RasterWidth << " x " << I.RasterHeight
            << " pixels, " << I.CoordSystem << '\n'
            << "picture " << I.ImageWidth << " x " << I.ImageHeight << " (reduced "
            << Fixed(I.Reduction, 3) << "x)\n"
            << "model " << CalibModelNames[I.Model] << ", largest residual "
            << Fixed(I.MaxResidual, 3) << " pixels\n";
  for (const gdal::TModelFit& F : I.Fits)
    std::cout << "  tried " << CalibModelNames[F.Model] << ": "
              << (std::isfinite(F.MaxResidual) ? Fixed(F.MaxResidual, 3) : "no fit") << '\n';
}

void CmdGdal(TArgs A) {
  if (A.empty()) throw EUsage("missing subcommand");
  const std::string_view Sub = A[0];
  if (Sub == "map-info") {
    Need(A, 2, 2);
    const std::string File(A[1]);
    gdal::TGdalMap Map;
    gdal::ReadGdalMap(File, Map);
    PrintInfo(File, Map.Info);
  } else if (Sub == "map-open") {
    Need(A, 3, 3);
    const std::string File(A[1]), Out(A[2]);
    RefuseOutputOnInput(Out, {File});
    TVozIza V(nullptr);
    V.SetSuppressPaint(true);
    PrintInfo(File, gdal::OpenGdalMap(V, File));
    V.SaveMap(Out, "QEB_gdal");
    std::cout << "wrote " << ChangeFileExt(Out, ".xml") << " and " << ChangeFileExt(Out, ".jpg")
              << '\n';
  } else if (Sub == "map-export") {
    Need(A, 3, 4);
    const std::string Cal(A[1]), Out(A[2]);
    TVozIza V(nullptr);
    V.SetSuppressPaint(true);
    LoadCalibratedMap(V, Cal, A.size() > 3 ? std::string(A[3]) : std::string());
    RefuseOutputOnInput(Out, {Cal, V.GetMapImgFile()});
    gdal::ExportGdalMap(V, Out);
    std::cout << "wrote " << Out << " (" << CalibModelNames[V.GetCalibModel()] << ", "
              << V.GetMapImgWidth() << " x " << V.GetMapImgHeight() << " pixels)\n";
  } else if (Sub == "db-export") {
    Need(A, 3, 3);
    const std::string Out(A[2]);
    TGeoDB Db(nullptr);
    OpenExistingDb(Db, A[1]);
    RefuseOutputOnInput(Out, DbFiles(Db));
    const gdal::TDBExportReport R = gdal::ExportGeoDB(Db, Out);
    std::cout << "wrote " << R.Features << " features to " << Out;
    if (R.SkippedBlobs) std::cout << " (" << R.SkippedBlobs << " BLOBs left out)";
    std::cout << '\n';
  } else if (Sub == "db-import") {
    Need(A, 3, 3);
    const std::string Src(A[1]);
    TGeoDB Db(nullptr);
    const bool Existed = FileExists(StripExtension(A[2]) + ".qebgds");
    Db.SetGDBName(std::string(A[2]));
    gdal::TDBImportReport R;
    try {
      RefuseOutputOnInput(Src, DbFiles(Db));
      R = gdal::ImportGeoDB(Db, Src);
    } catch (...) {
      if (!Existed) { // a refused import leaves no empty database behind
        const std::vector<std::string> Files = DbFiles(Db);
        Db.SetGDBName("");
        for (const std::string& F : Files)
          std::remove(F.c_str());
      }
      throw;
    }
    std::cout << "added " << R.Added << " items to " << Db.GetGDBName() << ", now "
              << Db.GetNumEntries() << " entries";
    if (R.SkippedFeatures) std::cout << "; " << R.SkippedFeatures << " features without geometry";
    if (R.DroppedHoles) std::cout << "; " << R.DroppedHoles << " polygon holes dropped";
    std::cout << '\n';
  } else if (Sub == "landmarks-import") {
    Need(A, 3, 4);
    const std::string Src(A[1]), Out(A[2]);
    if (A.size() > 3 && A[3] != "--caption")
      throw EUsage("unknown option \"" + std::string(A[3]) + "\"");
    RefuseOutputOnInput(Out, {Src});
    TVozIza V(nullptr);
    V.SetSuppressPaint(true);
    const int32_t N = gdal::ImportGdalLandmarks(V, Src, A.size() > 3);
    V.SaveLandmarks(Out, "");
    std::cout << "wrote " << N << " landmarks to " << Out << '\n';
  } else if (Sub == "landmarks-export") {
    Need(A, 3, 4);
    const std::string In(A[1]), Out(A[2]);
    RefuseOutputOnInput(Out, {In});
    TVozIza V(nullptr);
    V.SetSuppressPaint(true);
    LoadLandMarkSet(V, In, A.size() > 3 ? std::string(A[3]) : std::string());
    std::cout << "wrote " << gdal::ExportGdalLandmarks(V, Out) << " landmarks to " << Out << '\n';
  } else {
    throw EUsage("unknown subcommand \"" + std::string(Sub) + "\"");
  }
}

} // namespace

void DemoGdal() {
  Heading("GDAL: the calibrated world map as GeoTIFF, the capitals as GeoPackage");
  namespace fs = std::filesystem;
  // The map and calibration file the map control's part of the demo wrote.
  const fs::path Folder = fs::absolute("qebgeo-demo-maps");
  const std::string CalFile = (Folder / "earth.xml").string();
  const std::string Tif = (Folder / "earth.tif").string();
  const std::string Gpkg = (Folder / "capitals.gpkg").string();
  const std::string Marks = (Folder / "capitals-landmarks.xml").string();
  Show("gdal", {"map-export", CalFile, Tif, "corners"});
  Show("gdal", {"map-info", Tif});
  // Capitals already in a database of an earlier run are not added again.
  const std::string Db = (Folder / "capitals").string();
  Show("db", {"create", Db, "Capitals of the world"});
  Show("db", {"add-capitals", Db});
  Show("gdal", {"db-export", Db, Gpkg});
  Show("gdal", {"landmarks-import", Gpkg, Marks});
}

void AddGdalCommands(std::vector<TCommand>& List) {
  List.push_back({"gdal",
                  "gdal map-info FILE | map-open FILE OUT | map-export CAL.xml OUT [ID] | "
                  "db-export DB OUT | db-import SRC DB | landmarks-import SRC OUT.xml [--caption] "
                  "| landmarks-export IN.xml OUT [ID]",
                  "through GDAL: a georeferenced raster's calibration, or the raster opened as a "
                  "map (OUT.xml, OUT.jpg); a calibrated map as GeoTIFF or image with world file; "
                  "a database to or from an OGR vector format (.gpkg, .geojson, .kml, .csv, .shp "
                  "or a folder of Shapefiles), created when missing; landmarks from the points of "
                  "an OGR source (names as identifiers or captions) or out to one (also .gpx)",
                  CmdGdal});
}

} // namespace qeb::cli
