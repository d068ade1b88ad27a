// qebgeo gdal: georeferenced rasters through the GDAL binding.
#include <cmath>
#include <iostream>
#include <string>

#include "bindings/gdal/gdalmap.h"
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
  } else {
    throw EUsage("unknown subcommand \"" + std::string(Sub) + "\"");
  }
}

} // namespace

void AddGdalCommands(std::vector<TCommand>& List) {
  List.push_back({"gdal", "gdal map-info FILE | map-open FILE OUT",
                  "a georeferenced raster: what its calibration would be; opened as a map and "
                  "written as OUT.xml and OUT.jpg",
                  CmdGdal});
}

} // namespace qeb::cli
