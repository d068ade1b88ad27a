// The atlas next to its peers in the same run:
// - registering 200 calibration files (a new atlas each time) against
//   ParseCalibData of the same files alone (target: at most 10% more);
// - a repaint of the atlas's map control over a world map with 199 other
//   registered maps' outlines in view against the same repaint with the
//   outlines switched off (target: at most 1.2 times).
//
// Repeated, so that medians are reported.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "qebgeolib/geoatlas/geoatlas.h"
#include "qebgeolib/voziza/view.h"
#include "tests/geoatlas/atlasmaps.h"

namespace {

using namespace qeb;

constexpr int32_t NumMaps = 200;

// The world 60N..30N, 0E..40E on a 960 x 720 image as entry 1; 199 regional
// maps of 2 x 1.5 degrees spread over it (their outlines are 48 x 36 pixels
// at magnification 1).
const std::vector<std::string>& MapFiles() {
  static const std::vector<std::string> Files = [] {
    const std::string Dir =
        (std::filesystem::temp_directory_path() / "qeb_atlas_bench").string() + "/";
    std::filesystem::remove_all(Dir);
    std::filesystem::create_directories(Dir);
    std::vector<std::string> F;
    F.push_back(
        test::WriteAtlasMap(Dir, "world", "World", {60, 0, 30, 40}, 4600, 960, 720, 0x00C0E0C0));
    for (int32_t I = 1; I < NumMaps; ++I) {
      const double Lat = 58 - (I % 14) * 2, Long = 1 + (I / 14) * 2.6;
      F.push_back(test::WriteAtlasMap(Dir, "region" + std::to_string(I),
                                      "Region " + std::to_string(I),
                                      {Lat, Long, Lat - 1.5, Long + 2}, 100 + I, 40, 30, 0, false));
    }
    return F;
  }();
  return Files;
}

void BM_ParseCalibData_200(benchmark::State& State) {
  const std::vector<std::string>& Files = MapFiles();
  for (auto _ : State)
    for (const std::string& F : Files) {
      TCalibData D;
      TCalibModel M = cmUndefined;
      benchmark::DoNotOptimize(ParseCalibData(F, "", D, M));
    }
}

void BM_RegisterMap_200(benchmark::State& State) {
  const std::vector<std::string>& Files = MapFiles();
  for (auto _ : State) {
    State.PauseTiming();
    auto A = std::make_unique<TGeoAtlas>(nullptr);
    State.ResumeTiming();
    for (const std::string& F : Files)
      benchmark::DoNotOptimize(A->RegisterMap(F));
    State.PauseTiming();
    A.reset();
    State.ResumeTiming();
  }
}

void Repaint(benchmark::State& State, bool Outlines) {
  TGeoAtlas A(nullptr);
  A.SetBounds(0, 0, 1024, 800);
  for (const std::string& F : MapFiles())
    A.RegisterMap(F);
  if (!A.SelectMap(1)) State.SkipWithError("the world map does not load");
  A.SetMapOutlineVisible(Outlines);
  TVozIza& V = *A.GetCurrentMap();
  for (auto _ : State)
    V.Repaint();
}

void BM_Repaint_200Outlines(benchmark::State& State) {
  Repaint(State, true);
}
void BM_Repaint_NoOutlines(benchmark::State& State) {
  Repaint(State, false);
}

} // namespace

#define QEB_ATLAS_BENCH(Fn)                                                                        \
  BENCHMARK(Fn)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true)

QEB_ATLAS_BENCH(BM_ParseCalibData_200);
QEB_ATLAS_BENCH(BM_RegisterMap_200);
QEB_ATLAS_BENCH(BM_Repaint_200Outlines);
QEB_ATLAS_BENCH(BM_Repaint_NoOutlines);

BENCHMARK_MAIN();
