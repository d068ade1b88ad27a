// Per-point cost of the geodetic conversions next to PROJ and GeographicLib: UTM forward and
// inverse, and a seven-parameter datum shift between geographic coordinates.
//
// Every benchmark converts one point per iteration, cycling through the same fixed set of
// realistic points, and keeps its outputs alive with DoNotOptimize.
#include <benchmark/benchmark.h>
#include <proj.h>

#include <GeographicLib/UTMUPS.hpp>
#include <array>
#include <cstdio>
#include <numbers>
#include <stdexcept>
#include <string>

#include "qebgeolib/geobasics/geobasics.h"

namespace {

constexpr double D2R = std::numbers::pi / 180;
constexpr int PointCount = 1024; // a power of two, cycled with a mask

struct TGeoPoint {
  double Lat, Long, H;
};
struct TGridPoint {
  double X, Y;
};

// Deterministic pseudo-random positions in a box (no <random>, so the set is the same everywhere).
std::array<TGeoPoint, PointCount> MakePoints(double Lat0, double Lat1, double Long0, double Long1) {
  std::array<TGeoPoint, PointCount> P{};
  uint64_t S = 0x9E3779B97F4A7C15ull;
  auto Next = [&S] {
    S ^= S << 13;
    S ^= S >> 7;
    S ^= S << 17;
    return static_cast<double>(S >> 11) / 9007199254740992.0;
  };
  for (TGeoPoint& Pt : P) {
    Pt.Lat = Lat0 + (Lat1 - Lat0) * Next();
    Pt.Long = Long0 + (Long1 - Long0) * Next();
    Pt.H = 500 * Next();
  }
  return P;
}

// Central Europe inside UTM zone 33 (12°..18° E), where all three libraries agree on the zone.
const std::array<TGeoPoint, PointCount>& UTMPoints() {
  static const auto P = MakePoints(40, 60, 12.05, 17.95);
  return P;
}

const std::array<TGridPoint, PointCount>& UTMGridPoints() {
  static const auto G = [] {
    std::array<TGridPoint, PointCount> G{};
    for (int i = 0; i < PointCount; ++i) {
      int32_t Zone;
      qeb::LatLongToUTM(UTMPoints()[i].Lat, UTMPoints()[i].Long, qeb::gelWGS84, Zone, G[i].X,
                        G[i].Y);
    }
    return G;
  }();
  return G;
}

// Great Britain, for the OSGB 1936 -> WGS 1984 shift.
const std::array<TGeoPoint, PointCount>& GBPoints() {
  static const auto P = MakePoints(50, 58.5, -6, 1.5);
  return P;
}

class TProj {
public:
  explicit TProj(const std::string& Def)
      : Ctx(proj_context_create()), P(proj_create(Ctx, Def.c_str())) {
    if (!P) throw std::runtime_error("PROJ rejected " + Def);
  }
  ~TProj() {
    proj_destroy(P);
    proj_context_destroy(Ctx);
  }
  PJ* Get() const { return P; }

private:
  PJ_CONTEXT* Ctx;
  PJ* P;
};

std::string Num(double V) {
  char B[40];
  std::snprintf(B, sizeof B, "%.17g", V);
  return B;
}

// ---- UTM forward

void BM_UTMForward_Qeb(benchmark::State& State) {
  const auto& Pts = UTMPoints();
  unsigned i = 0;
  for (auto _ : State) {
    const TGeoPoint& P = Pts[i++ & (PointCount - 1)];
    int32_t Zone;
    double X, Y;
    qeb::LatLongToUTM(P.Lat, P.Long, qeb::gelWGS84, Zone, X, Y);
    benchmark::DoNotOptimize(Zone);
    benchmark::DoNotOptimize(X);
    benchmark::DoNotOptimize(Y);
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_UTMForward_PROJ(benchmark::State& State) {
  const auto& Pts = UTMPoints();
  TProj P("+proj=utm +zone=33 +ellps=WGS84");
  unsigned i = 0;
  for (auto _ : State) {
    const TGeoPoint& Pt = Pts[i++ & (PointCount - 1)];
    PJ_COORD C = proj_trans(P.Get(), PJ_FWD, proj_coord(Pt.Long * D2R, Pt.Lat * D2R, 0, 0));
    benchmark::DoNotOptimize(C);
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_UTMForward_GeographicLib(benchmark::State& State) {
  const auto& Pts = UTMPoints();
  unsigned i = 0;
  for (auto _ : State) {
    const TGeoPoint& P = Pts[i++ & (PointCount - 1)];
    int Zone;
    bool North;
    double X, Y;
    GeographicLib::UTMUPS::Forward(P.Lat, P.Long, Zone, North, X, Y);
    benchmark::DoNotOptimize(Zone);
    benchmark::DoNotOptimize(X);
    benchmark::DoNotOptimize(Y);
  }
  State.SetItemsProcessed(State.iterations());
}

// ---- UTM inverse

void BM_UTMInverse_Qeb(benchmark::State& State) {
  const auto& Grid = UTMGridPoints();
  unsigned i = 0;
  for (auto _ : State) {
    const TGridPoint& G = Grid[i++ & (PointCount - 1)];
    double Lat, Long;
    qeb::UTMToLatLong(G.X, G.Y, 33, false, qeb::gelWGS84, Lat, Long);
    benchmark::DoNotOptimize(Lat);
    benchmark::DoNotOptimize(Long);
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_UTMInverse_PROJ(benchmark::State& State) {
  const auto& Grid = UTMGridPoints();
  TProj P("+proj=utm +zone=33 +ellps=WGS84");
  unsigned i = 0;
  for (auto _ : State) {
    const TGridPoint& G = Grid[i++ & (PointCount - 1)];
    PJ_COORD C = proj_trans(P.Get(), PJ_INV, proj_coord(G.X, G.Y, 0, 0));
    benchmark::DoNotOptimize(C);
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_UTMInverse_GeographicLib(benchmark::State& State) {
  const auto& Grid = UTMGridPoints();
  unsigned i = 0;
  for (auto _ : State) {
    const TGridPoint& G = Grid[i++ & (PointCount - 1)];
    double Lat, Long;
    GeographicLib::UTMUPS::Reverse(33, true, G.X, G.Y, Lat, Long);
    benchmark::DoNotOptimize(Lat);
    benchmark::DoNotOptimize(Long);
  }
  State.SetItemsProcessed(State.iterations());
}

// ---- Helmert: OSGB 1936 (datum 183) to WGS 1984 (datum 269), geographic in and out

void BM_Helmert_Qeb(benchmark::State& State) {
  const auto& Pts = GBPoints();
  unsigned i = 0;
  for (auto _ : State) {
    const TGeoPoint& P = Pts[i++ & (PointCount - 1)];
    double Lat, Long, H;
    int32_t Status = qeb::HelmertTransform(183, P.Lat, P.Long, P.H, 269, Lat, Long, H);
    benchmark::DoNotOptimize(Status);
    benchmark::DoNotOptimize(Lat);
    benchmark::DoNotOptimize(Long);
    benchmark::DoNotOptimize(H);
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_Helmert_PROJ(benchmark::State& State) {
  const qeb::TGeoDatum& D = *qeb::GeoDatumRecord(183);
  const qeb::TEllipsoidAxes& Airy = qeb::GeoEllipsoidData[D.Ellipsoid];
  TProj P("+proj=pipeline +step +proj=cart +a=" + Num(Airy.SemiMajor) +
          " +b=" + Num(Airy.SemiMinor) + " +step +proj=helmert +x=" + Num(D.dX) +
          " +y=" + Num(D.dY) + " +z=" + Num(D.dZ) + " +rx=" + Num(D.rX) + " +ry=" + Num(D.rY) +
          " +rz=" + Num(D.rZ) + " +s=" + Num(D.Scale) +
          " +convention=position_vector +step +inv +proj=cart +ellps=WGS84");
  const auto& Pts = GBPoints();
  unsigned i = 0;
  for (auto _ : State) {
    const TGeoPoint& Pt = Pts[i++ & (PointCount - 1)];
    PJ_COORD C = proj_trans(P.Get(), PJ_FWD, proj_coord(Pt.Long * D2R, Pt.Lat * D2R, Pt.H, 0));
    benchmark::DoNotOptimize(C);
  }
  State.SetItemsProcessed(State.iterations());
}

} // namespace

BENCHMARK(BM_UTMForward_Qeb);
BENCHMARK(BM_UTMForward_PROJ);
BENCHMARK(BM_UTMForward_GeographicLib);
BENCHMARK(BM_UTMInverse_Qeb);
BENCHMARK(BM_UTMInverse_PROJ);
BENCHMARK(BM_UTMInverse_GeographicLib);
BENCHMARK(BM_Helmert_Qeb);
BENCHMARK(BM_Helmert_PROJ);
