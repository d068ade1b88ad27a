// Benchmarks of the calibration: the conic grid search and the biquadratic
// least-squares fit with the full 200 quads, and 1,000,000 pixel -> latitude
// and longitude conversions under every model. Run with
// --benchmark_repetitions=N to get medians.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "qebgeolib/voziza/calibration.h"

namespace {

using namespace qeb;

class TBenchCalib : public TVozIzaCalibration {
protected:
  std::string CalibComponentName() const override { return "bench"; }
  int32_t GetMapImgWidth() const override { return 1000; }
  int32_t GetMapImgHeight() const override { return 1000; }
  std::string GetMapImgFile() const override { return "map.jpg"; }
  void SetMapImgName(const std::string&) override {}
  void ClearMapImage() override {}
  void CalibrationChanged() override {}
};

// A conic map (apex 20000 pixels above the image) slightly disturbed, so the
// fits have residuals to weigh: 200 quads on a 20 x 10 grid.
void AddConicQuads(TVozIzaCalibration& C) {
  for (int32_t I = 0; I < 200; ++I) {
    const int32_t X = (I % 20) * 50 + 7, Y = (I / 20) * 100 + 3;
    const double Jitter = std::sin(I * 12.9898) * 1e-4;
    const double Lat = 57 - 0.0005 * std::hypot(X - 500.0, Y + 20000.0) + Jitter;
    const double Long = 10 + 40 * std::atan((X - 500.0) / (Y + 20000.0)) - Jitter;
    C.AddCalibPoint(Lat, Long, X, Y);
  }
}

void BM_ConicFit200(benchmark::State& State) {
  TBenchCalib C;
  C.SetCalibModel(cmConicConformal);
  AddConicQuads(C);
  for (auto _ : State)
    C.CalcConicCalibration();
}
BENCHMARK(BM_ConicFit200)->Unit(benchmark::kMillisecond);

void BM_BiquadraticFit200(benchmark::State& State) {
  TBenchCalib C;
  C.SetCalibModel(cmBiquadraticPn);
  AddConicQuads(C);
  for (auto _ : State)
    C.CalcBiquadraticCalibration();
}
BENCHMARK(BM_BiquadraticFit200)->Unit(benchmark::kMicrosecond);

// 1,000,000 conversions of a pixel to latitude and longitude per iteration.
void BM_PixelToLatLong(benchmark::State& State) {
  const auto Model = static_cast<TCalibModel>(State.range(0));
  TBenchCalib C;
  C.SetCalibModel(Model);
  if (Model == cmParabolicIp) {
    // Five curved parallels and five curved meridians of five points each.
    for (int32_t K = 0; K < 5; ++K)
      for (int32_t I = 0; I < 5; ++I) {
        const int32_t T = I * 250;
        C.AddCalibPoint(gtlParallel, 48 - 0.2 * K, T, K * 250 + (T - 500) * (T - 500) / 2000);
        C.AddCalibPoint(gtlMeridian, 8 + 0.25 * K, K * 250 + (T - 500) * (T - 500) / 4000, T);
      }
  } else if (Model == cmUTM) {
    C.SetUTMZone(32);
    for (int32_t I = 0; I < 200; ++I) {
      const int32_t X = (I % 20) * 50 + 7, Y = (I / 20) * 100 + 3;
      C.AddCalibPoint(5300000.0 - 10 * Y, 450000.0 + 10 * X, 32, hemiNorth, X, Y);
    }
  } else {
    AddConicQuads(C);
  }
  for (auto _ : State) {
    double Sum = 0;
    bool V1 = false, V2 = false;
    for (int32_t Y = 0; Y < 1000; ++Y)
      for (int32_t X = 0; X < 1000; ++X)
        Sum += C.CalcLatitude(X, Y, V1) + C.CalcLongitude(X, Y, V2);
    benchmark::DoNotOptimize(Sum);
  }
  State.SetLabel(std::string(CalibModelNames[Model]));
  State.SetItemsProcessed(State.iterations() * 1000000);
}
BENCHMARK(BM_PixelToLatLong)->DenseRange(cmParabolicIp, cmUTM)->Unit(benchmark::kMillisecond);

} // namespace
