// The GDAL binding next to GDAL's command-line tools doing the same work:
// opening a 20000 x 10000 GeoTIFF as a map reduced to the pixel limit against
// gdal_translate -outsize to the same size, and exporting a million towns to
// GeoPackage against ogr2ogr copying the same points from one GeoPackage to
// another. The tools run as child processes, so times are wall-clock times.
// The inputs are made once, in the system's temporary folder.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "bindings/gdal/gdalvector.h"

namespace {

using namespace qeb;
namespace fs = std::filesystem;

const std::string Dir = (fs::temp_directory_path() / "qeb_gdal_bench_").string();
const std::string Earth = "/usr/share/xplanet/images/earth.jpg";

void Run(const std::string& Cmd) {
  if (std::system((Cmd + " >/dev/null 2>&1").c_str()) != 0)
    throw std::runtime_error("failed: " + Cmd);
}

// The large raster: the NASA world image scaled up, tiled, uncompressed.
const std::string& BigRaster() {
  static const std::string File = [] {
    const std::string F = Dir + "big.tif";
    if (!fs::exists(F))
      Run("gdal_translate -q -outsize 20000 10000 -co TILED=YES -a_ullr -180 90 180 -90 "
          "-a_srs EPSG:4326 " +
          Earth + " " + F);
    return F;
  }();
  return File;
}

void BM_OpenReducedMap(benchmark::State& State) {
  const std::string& File = BigRaster();
  gdal::TGdalMap Map;
  for (auto _ : State) {
    gdal::ReadGdalMap(File, Map);
    benchmark::DoNotOptimize(Map.Image);
  }
  State.counters["width"] = Map.Info.ImageWidth;
  State.counters["height"] = Map.Info.ImageHeight;
}
BENCHMARK(BM_OpenReducedMap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_GdalTranslateOutsize(benchmark::State& State) {
  const std::string& File = BigRaster();
  gdal::TGdalMap Map;
  gdal::ReadGdalMap(File, Map); // the reduced size to produce
  const std::string Cmd = "gdal_translate -q -of MEM -outsize " +
                          std::to_string(Map.Info.ImageWidth) + " " +
                          std::to_string(Map.Info.ImageHeight) + " " + File + " " + Dir + "out";
  for (auto _ : State)
    Run(Cmd);
}
BENCHMARK(BM_GdalTranslateOutsize)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

constexpr int32_t kTowns = 1000000;

// A database of a million towns on a deterministic spread of positions.
TGeoDB& Towns() {
  static TGeoDB Db(nullptr);
  if (Db.GetGDBName().empty()) {
    for (const char* Ext :
         {".qebgi0", ".qebgi1", ".qebgi2", ".qebgi3", ".qebgi4", ".qebgds", ".qebgdd"})
      fs::remove(Dir + "towns" + Ext);
    Db.SetGDBName(Dir + "towns");
    Db.SetLazyWrite(true);
    uint64_t S = 88172645463325252ull;
    auto Next = [&S] {
      S ^= S << 13;
      S ^= S >> 7;
      S ^= S << 17;
      return double(S >> 11) / 9007199254740992.0;
    };
    for (int32_t I = 0; I < kTowns; ++I)
      Db.AddTown("Town " + std::to_string(I), 0, 0,
                 {float(-60 + 130 * Next()), float(-180 + 360 * Next())}, float(1000 * Next()),
                 uint8_t(I % 8), 0);
    Db.SetLazyWrite(false);
  }
  return Db;
}

void BM_ExportTownsToGeoPackage(benchmark::State& State) {
  TGeoDB& Db = Towns();
  for (auto _ : State)
    benchmark::DoNotOptimize(gdal::ExportGeoDB(Db, Dir + "export.gpkg").Features);
}
BENCHMARK(BM_ExportTownsToGeoPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Ogr2ogrGeoPackage(benchmark::State& State) {
  const std::string Src = Dir + "source.gpkg", Out = Dir + "copy.gpkg";
  if (!fs::exists(Src)) gdal::ExportGeoDB(Towns(), Src);
  for (auto _ : State) {
    fs::remove(Out);
    Run("ogr2ogr -f GPKG " + Out + " " + Src + " towns");
  }
}
BENCHMARK(BM_Ogr2ogrGeoPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
