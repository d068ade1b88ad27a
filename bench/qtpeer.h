// Shared pieces of the benchmarks measured against Qt's raster engine: the
// registration of a millisecond benchmark (wall and process CPU time,
// repeated), a cheap deterministic random generator for test images, and a
// main that runs the benchmarks inside a Qt GUI application.
#pragma once

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

namespace qeb::bench {

inline constexpr int Reps = 9;

// xorshift32: the same images on every run.
inline uint32_t Rand(uint32_t& S) {
  S ^= S << 13;
  S ^= S >> 17;
  S ^= S << 5;
  return S;
}

// Qt's painter and text need a GUI application; the offscreen platform
// needs no display.
inline int RunWithQt(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

} // namespace qeb::bench

#define QEB_BENCH(Fn)                                                                              \
  BENCHMARK(Fn)                                                                                    \
      ->Unit(benchmark::kMillisecond)                                                              \
      ->MeasureProcessCPUTime()                                                                    \
      ->UseRealTime()                                                                              \
      ->Repetitions(qeb::bench::Reps)                                                              \
      ->ReportAggregatesOnly(true)
