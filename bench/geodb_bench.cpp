// TGeoDB next to SQLite's R*Tree module: bulk loads of towns and polygon items, box queries of
// about 0.1% of the area over a million items, and the index searches.
//
// The data are deterministic pseudo-random positions between 60° S and 70° N. Bulk loads run once
// per iteration (use --benchmark_repetitions for medians); the query benchmarks share one
// million-town database and one in-memory R*Tree of the same boxes, built once.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "qebgeolib/geodb/geodb.h"

namespace {

using namespace qeb;
namespace fs = std::filesystem;

constexpr int32_t kTowns = 1000000;
constexpr int32_t kPolygons = 100000;
constexpr int32_t kPolygonPoints = 20;
constexpr double kLat0 = -60, kLat1 = 70, kLong0 = -180, kLong1 = 180;

class TRandom {
public:
  double Next() {
    FState ^= FState << 13;
    FState ^= FState >> 7;
    FState ^= FState << 17;
    return static_cast<double>(FState >> 11) / 9007199254740992.0;
  }

private:
  uint64_t FState = 0x9E3779B97F4A7C15ull;
};

const std::vector<TSCoords>& Towns() {
  static const std::vector<TSCoords> T = [] {
    TRandom R;
    std::vector<TSCoords> V(kTowns);
    for (TSCoords& C : V)
      C = {static_cast<float>(kLat0 + (kLat1 - kLat0) * R.Next()),
           static_cast<float>(kLong0 + (kLong1 - kLong0) * R.Next())};
    return V;
  }();
  return T;
}

// A wiggly line of 20 points within about half a degree of its start.
TgdbPolygon PolygonNo(int32_t i) {
  const TSCoords S = Towns()[static_cast<std::size_t>(i)];
  TgdbPolygon P(kPolygonPoints);
  for (int32_t k = 0; k < kPolygonPoints; ++k)
    P[static_cast<std::size_t>(k)] = {S.Latit + 0.025f * static_cast<float>(k % 7),
                                      S.Longit + 0.03f * static_cast<float>(k)};
  return P;
}

// Windows of 0.1% of the area: about 1,000 of the million towns each.
struct TWindow {
  double LatLo, LatHi, LongLo, LongHi;
};
const std::vector<TWindow>& Windows() {
  static const std::vector<TWindow> W = [] {
    TRandom R;
    for (int i = 0; i < 1000; ++i)
      R.Next(); // not the towns' sequence
    const double H = (kLat1 - kLat0) * 0.0316228, Wd = (kLong1 - kLong0) * 0.0316228;
    std::vector<TWindow> V(1024);
    for (TWindow& X : V) {
      const double Lat = kLat0 + (kLat1 - kLat0 - H) * R.Next();
      const double Long = kLong0 + (kLong1 - kLong0 - Wd) * R.Next();
      X = {Lat, Lat + H, Long, Long + Wd};
    }
    return V;
  }();
  return W;
}

// A scratch folder for the benchmark's files, removed at exit.
const std::string& Scratch() {
  static const struct TDir {
    std::string Path;
    TDir() {
      std::string T = (fs::temp_directory_path() / "qebgeo-bench-XXXXXX").string();
      if (mkdtemp(T.data()) == nullptr) throw std::runtime_error("cannot create " + T);
      Path = T;
    }
    ~TDir() {
      std::error_code E;
      fs::remove_all(Path, E);
    }
  } Dir;
  return Dir.Path;
}

void RemoveSet(const std::string& B) {
  for (const char* Ext :
       {".qebgi0", ".qebgi1", ".qebgi2", ".qebgi3", ".qebgi4", ".qebgds", ".qebgdd", ".sqlite"})
    fs::remove(B + Ext);
}

// ---- SQLite ----

void Exec(sqlite3* Db, const char* Sql) {
  char* Err = nullptr;
  if (sqlite3_exec(Db, Sql, nullptr, nullptr, &Err) != SQLITE_OK) {
    std::string M = Err != nullptr ? Err : "?";
    sqlite3_free(Err);
    throw std::runtime_error(std::string(Sql) + ": " + M);
  }
}

struct TSqlite {
  sqlite3* Db = nullptr;
  explicit TSqlite(const std::string& Name) {
    if (sqlite3_open(Name.c_str(), &Db) != SQLITE_OK) throw std::runtime_error("sqlite3_open");
  }
  ~TSqlite() { sqlite3_close(Db); }
  TSqlite(const TSqlite&) = delete;
  TSqlite& operator=(const TSqlite&) = delete;
};

struct TStmt {
  sqlite3_stmt* S = nullptr;
  TStmt(sqlite3* Db, const char* Sql) {
    if (sqlite3_prepare_v2(Db, Sql, -1, &S, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(Db));
  }
  ~TStmt() { sqlite3_finalize(S); }
  TStmt(const TStmt&) = delete;
  TStmt& operator=(const TStmt&) = delete;
};

// The R*Tree module is optional in SQLite builds; the peers need it at run time.
bool HaveRTree(benchmark::State& State) {
  TSqlite Db(":memory:");
  char* Err = nullptr;
  const int Rc = sqlite3_exec(Db.Db, "CREATE VIRTUAL TABLE t USING rtree(id, a, b, c, d)", nullptr,
                              nullptr, &Err);
  sqlite3_free(Err);
  if (Rc != SQLITE_OK) State.SkipWithError("SQLite has no R*Tree module");
  return Rc == SQLITE_OK;
}

// Loads the first Count boxes (towns, or polygons with their points as a BLOB) in one transaction.
void SqliteLoad(sqlite3* Db, int32_t Count, bool Polygons) {
  Exec(Db, "CREATE VIRTUAL TABLE boxes USING rtree(id, latlo, lathi, longlo, longhi)");
  if (Polygons) Exec(Db, "CREATE TABLE points(id INTEGER PRIMARY KEY, pts BLOB)");
  Exec(Db, "BEGIN");
  TStmt Box(Db, "INSERT INTO boxes VALUES(?, ?, ?, ?, ?)");
  std::unique_ptr<TStmt> Pts;
  if (Polygons) Pts = std::make_unique<TStmt>(Db, "INSERT INTO points VALUES(?, ?)");
  for (int32_t i = 0; i < Count; ++i) {
    double A, B, C, D;
    TgdbPolygon P;
    if (Polygons) {
      P = PolygonNo(i);
      A = C = 1e9;
      B = D = -1e9;
      for (const TSCoords& X : P) {
        A = std::min<double>(A, X.Latit);
        B = std::max<double>(B, X.Latit);
        C = std::min<double>(C, X.Longit);
        D = std::max<double>(D, X.Longit);
      }
    } else {
      const TSCoords T = Towns()[static_cast<std::size_t>(i)];
      A = B = T.Latit;
      C = D = T.Longit;
    }
    sqlite3_bind_int(Box.S, 1, i + 1);
    sqlite3_bind_double(Box.S, 2, A);
    sqlite3_bind_double(Box.S, 3, B);
    sqlite3_bind_double(Box.S, 4, C);
    sqlite3_bind_double(Box.S, 5, D);
    if (sqlite3_step(Box.S) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(Db));
    sqlite3_reset(Box.S);
    if (Polygons) {
      sqlite3_bind_int(Pts->S, 1, i + 1);
      sqlite3_bind_blob(Pts->S, 2, P.data(), static_cast<int>(P.size() * 8), SQLITE_STATIC);
      if (sqlite3_step(Pts->S) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(Db));
      sqlite3_reset(Pts->S);
    }
  }
  Exec(Db, "COMMIT");
}

// ---- TGeoDB ----

void GeoDBLoad(const std::string& B, int32_t Count, bool Polygons) {
  TGeoDB Db(nullptr);
  Db.SetGDBName(B);
  Db.SetLazyWrite(true);
  for (int32_t i = 0; i < Count; ++i) {
    if (Polygons)
      Db.AddRoad("Road", PolygonNo(i), 45000, 0, 0, 0, 0, 0, 0, 0, i);
    else
      Db.AddTown("Town", 45000, 0, Towns()[static_cast<std::size_t>(i)], 0, 0, i);
  }
  Db.SetGDBName(""); // writes the five index files
}

void BM_BulkLoadTowns_GeoDB(benchmark::State& State) {
  const std::string B = Scratch() + "/towns";
  Towns();
  for (auto _ : State) {
    RemoveSet(B);
    GeoDBLoad(B, kTowns, false);
  }
  State.SetItemsProcessed(State.iterations() * kTowns);
}

void BM_BulkLoadTowns_SQLiteDisk(benchmark::State& State) {
  if (!HaveRTree(State)) return;
  const std::string B = Scratch() + "/towns";
  Towns();
  for (auto _ : State) {
    RemoveSet(B);
    TSqlite Db(B + ".sqlite");
    SqliteLoad(Db.Db, kTowns, false);
  }
  State.SetItemsProcessed(State.iterations() * kTowns);
}

void BM_BulkLoadTowns_SQLiteMemory(benchmark::State& State) {
  if (!HaveRTree(State)) return;
  Towns();
  for (auto _ : State) {
    TSqlite Db(":memory:");
    SqliteLoad(Db.Db, kTowns, false);
  }
  State.SetItemsProcessed(State.iterations() * kTowns);
}

void BM_BulkLoadPolygons_GeoDB(benchmark::State& State) {
  const std::string B = Scratch() + "/polygons";
  Towns();
  for (auto _ : State) {
    RemoveSet(B);
    GeoDBLoad(B, kPolygons, true);
  }
  State.SetItemsProcessed(State.iterations() * kPolygons);
}

void BM_BulkLoadPolygons_SQLiteDisk(benchmark::State& State) {
  if (!HaveRTree(State)) return;
  const std::string B = Scratch() + "/polygons";
  Towns();
  for (auto _ : State) {
    RemoveSet(B);
    TSqlite Db(B + ".sqlite");
    SqliteLoad(Db.Db, kPolygons, true);
  }
  State.SetItemsProcessed(State.iterations() * kPolygons);
}

// The query side: a million towns, loaded once.
TGeoDB& QueryDb() {
  static TGeoDB* Db = [] {
    const std::string B = Scratch() + "/query";
    RemoveSet(B);
    GeoDBLoad(B, kTowns, false);
    auto* D = new TGeoDB(nullptr);
    D->SetGDBName(B);
    return D;
  }();
  return *Db;
}

sqlite3* QuerySqlite() {
  static TSqlite* Db = [] {
    auto* D = new TSqlite(":memory:");
    SqliteLoad(D->Db, kTowns, false);
    return D;
  }();
  return Db->Db;
}

// Opening the million-town file set and the first box query, which builds the search tree.
void BM_OpenAndFirstQuery_GeoDB(benchmark::State& State) {
  QueryDb();
  const std::string B = Scratch() + "/query";
  const TWindow& W = Windows()[0];
  for (auto _ : State) {
    TGeoDB Db(nullptr);
    Db.SetGDBName(B);
    benchmark::DoNotOptimize(Db.FindItemsInBox(W.LatLo, W.LatHi, W.LongLo, W.LongHi).size());
  }
}

void BM_FindItemsInBox_GeoDB(benchmark::State& State) {
  TGeoDB& Db = QueryDb();
  std::vector<int32_t> Out;
  Db.FindItemsInBox(0, 1, 0, 1, gdbAllKinds, Out);
  std::size_t i = 0, Found = 0;
  for (auto _ : State) {
    const TWindow& W = Windows()[i++ & 1023];
    Db.FindItemsInBox(W.LatLo, W.LatHi, W.LongLo, W.LongHi, gdbAllKinds, Out);
    Found += Out.size();
  }
  State.counters["results"] = static_cast<double>(Found) / static_cast<double>(State.iterations());
}

void BM_FindItemsInBox_SQLiteMemory(benchmark::State& State) {
  if (!HaveRTree(State)) return;
  sqlite3* Db = QuerySqlite();
  TStmt Q(Db, "SELECT id FROM boxes WHERE latlo <= ?2 AND lathi >= ?1 AND longlo <= ?4 AND "
              "longhi >= ?3");
  std::vector<int32_t> Out;
  std::size_t i = 0, Found = 0;
  for (auto _ : State) {
    const TWindow& W = Windows()[i++ & 1023];
    Out.clear();
    sqlite3_bind_double(Q.S, 1, W.LatLo);
    sqlite3_bind_double(Q.S, 2, W.LatHi);
    sqlite3_bind_double(Q.S, 3, W.LongLo);
    sqlite3_bind_double(Q.S, 4, W.LongHi);
    while (sqlite3_step(Q.S) == SQLITE_ROW)
      Out.push_back(sqlite3_column_int(Q.S, 0));
    sqlite3_reset(Q.S);
    Found += Out.size();
  }
  State.counters["results"] = static_cast<double>(Found) / static_cast<double>(State.iterations());
}

void BM_SearchForItemID_GeoDB(benchmark::State& State) {
  TGeoDB& Db = QueryDb();
  TRandom R;
  std::vector<int32_t> Ids(4096);
  for (int32_t& Id : Ids)
    Id = 1 + static_cast<int32_t>(R.Next() * kTowns);
  Db.SearchForItemID(1);
  std::size_t i = 0;
  for (auto _ : State)
    benchmark::DoNotOptimize(Db.SearchForItemID(Ids[i++ & 4095]));
}

void BM_GetClosestLatLowIx_GeoDB(benchmark::State& State) {
  TGeoDB& Db = QueryDb();
  TRandom R;
  std::vector<double> Lats(4096);
  for (double& L : Lats)
    L = kLat0 + (kLat1 - kLat0) * R.Next();
  Db.GetClosestLatLowIx(0);
  std::size_t i = 0;
  for (auto _ : State)
    benchmark::DoNotOptimize(Db.GetClosestLatLowIx(Lats[i++ & 4095]));
}

BENCHMARK(BM_BulkLoadTowns_GeoDB)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_BulkLoadTowns_SQLiteDisk)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_BulkLoadTowns_SQLiteMemory)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_BulkLoadPolygons_GeoDB)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_BulkLoadPolygons_SQLiteDisk)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_OpenAndFirstQuery_GeoDB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindItemsInBox_GeoDB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindItemsInBox_SQLiteMemory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SearchForItemID_GeoDB);
BENCHMARK(BM_GetClosestLatLowIx_GeoDB);

} // namespace
