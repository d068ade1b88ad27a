// qebgeo subcommands of the database module: `qebgeo db ...` over a TGeoDB file set, and the
// database part of the demo.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "qebgeolib/companion/corelib/filesys.h"
#include "qebgeolib/geobasics/countries.h"
#include "qebgeolib/geodb/geodb.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "tools/qebgeo/cli.h"
#include "tools/qebgeo/jsonread.h"
#include "tools/qebgeo/numtext.h"

namespace qeb::cli {

namespace {

constexpr std::string_view kDbHelp =
    "qebgeo db SUBCOMMAND DB [ARGUMENTS]; DB is the base name of the file set (DB.qebgds, ...)\n"
    "  create DB [DESCRIPTION]                 create (or open) a file set\n"
    "  info DB                                 header and size\n"
    "  add-capitals DB [COUNTRY-PART]          the capitals of the country table as towns\n"
    "  list DB [FIRST [COUNT]]                 entries\n"
    "  search DB NAME [KIND]                   entries of that name, letter case ignored\n"
    "  box DB LAT-LO LAT-HI LONG-LO LONG-HI [KIND]  items whose bounds meet the box\n"
    "  geojson DB [FILE]                       towns and polygons as GeoJSON\n"
    "  dump DB FILE                            readable dump of records and indexes\n"
    "  gc DB                                   drop unreferenced bytes from the data file\n"
    "KIND is Border, Town, City, Lake, River, Road, Route or BLOB.\n";

// A progress bar on the terminal, fed by the database's progress event; nothing when the error
// output is not a terminal.
class TProgressBar {
public:
  explicit TProgressBar(std::string_view Title) : FTitle(Title), FShow(isatty(2) != 0) {}
  ~TProgressBar() {
    if (FShow && FLast >= 0) std::cerr << '\n';
  }
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  void Show(int32_t Percent) {
    Percent = std::clamp(Percent, 0, 100);
    if (!FShow || Percent == FLast) return;
    FLast = Percent;
    std::cerr << '\r' << FTitle << " [" << std::string(static_cast<std::size_t>(Percent / 4), '#')
              << std::string(static_cast<std::size_t>(25 - Percent / 4), '.') << "] " << Percent
              << '%' << std::flush;
  }
  void Attach(TGeoDB& Db) {
    Db.SetOnPercentDone([this](TObject*, int32_t P) { Show(P); });
  }

private:
  std::string FTitle;
  bool FShow;
  int32_t FLast = -1;
};

// The tool's database: named, so that its errors say whose they are.
class TCliDb : public TGeoDB {
public:
  TCliDb() : TGeoDB(nullptr) { SetName("qebgeo"); }
};

TgdbItem ParseKind(std::string_view Text) {
  for (int32_t k = 0; k <= gitUndefined; ++k)
    if (SameText(Text, GDB_ITEMNAMES[k])) return static_cast<TgdbItem>(k);
  throw EUsage("unknown kind \"" + std::string(Text) +
               "\" (Border, Town, City, Lake, River, Road, Route, BLOB)");
}

std::string KindName(TgdbItem Kind) {
  return Kind <= gitUndefined ? std::string(GDB_ITEMNAMES[Kind]) : "Kind" + std::to_string(Kind);
}

std::string EntryLine(int32_t E, const TgdbData& D) {
  std::string S = std::to_string(E) + "  #" + std::to_string(D.ItemId) + "  " +
                  KindName(D.ItemKind) + "  \"" + D.Name.ToString() + "\"  ";
  if (D.ItemKind == gitTown)
    S += GeoLatitude(D.LatLow, dfDeg, 4) + " " + GeoLongitude(D.LongLow, dfDeg, 4) + "  " +
         Fixed(D.Altitude, 0) + " m";
  else
    S += "lat " + Fixed(D.LatLow, 4) + ".." + Fixed(D.LatHigh, 4) + " long " + Fixed(D.LongLow, 4) +
         ".." + Fixed(D.LongHigh, 4);
  if (IsPolygonKind(D.ItemKind)) S += "  " + std::to_string(D.NumPoints) + " points";
  if (D.ItemKind == gitBLOB) S += "  " + std::to_string(D.Size) + " bytes";
  return S;
}

void CmdCreate(TArgs A) {
  Need(A, 1, 2);
  if (ExtractFileName(StripExtension(A[0])).empty())
    throw EUsage("the database needs a file name, not \"" + std::string(A[0]) + "\"");
  TCliDb Db;
  Db.SetGDBName(std::string(A[0]));
  if (A.size() > 1) Db.SetDescription(std::string(A[1]));
  std::cout << "database " << Db.GetGDBName() << ": " << Db.GetNumEntries() << " entries\n";
}

void CmdInfo(TArgs A) {
  Need(A, 1, 1);
  TCliDb Db;
  OpenExistingDb(Db, A[0]);
  const TgdbSystemData& H = Db.GetSystemData();
  std::cout << "database " << Db.GetGDBName() << "\ndescription \"" << Db.GetDescription()
            << "\"\nrevision " << Db.GetRevision() << "\nversion " << Db.GetDBVersion()
            << "\nentries " << Db.GetNumEntries() << "\nhighest item id " << H.HighestID
            << "\ndata file " << std::filesystem::file_size(Db.GetGDBName() + ".qebgdd")
            << " bytes\n";
  // Reading leaves the files as they are; say so when they disagree with the summary.
  if (Db.GetIndexRebuildPending())
    std::cout << "index files disagree with the summary: rebuilt in memory, written with the next "
                 "change\n";
}

// The capitals of the country table as towns; with a text, of the countries whose name contains
// it. Capitals already in the database (same name, town) are skipped.
void CmdAddCapitals(TArgs A) {
  Need(A, 1, 2);
  TCliDb Db;
  OpenExistingDb(Db, A[0]);
  const std::string Want = A.size() > 1 ? LowerCase(std::string(A[1])) : std::string();
  Db.SetLazyWrite(true);
  TProgressBar Bar("adding capitals");
  int32_t Added = 0;
  for (int32_t i = 0; i < CountryCount; ++i) {
    const TCountryData& C = CountryData[i];
    Bar.Show(i * 100 / CountryCount);
    if (C.Capital.Empty()) continue;
    if (!Want.empty() && LowerCase(C.Name.ToString()).find(Want) == std::string::npos) continue;
    const TgdbName Name = TgdbName::FromBytes(C.Capital.Bytes());
    if (Db.SearchData(Name, gitTown, 1, 0) != 0) continue;
    Db.AddTown(C.Capital.ToString(), GdbNow(), 0,
               {static_cast<float>(C.CapLat), static_cast<float>(C.CapLong)},
               static_cast<float>(C.CapAlt), 1, i);
    ++Added;
  }
  Bar.Show(100);
  Db.SetLazyWrite(false);
  std::cout << "added " << Added << " capitals; " << Db.GetNumEntries() << " entries\n";
}

void CmdList(TArgs A) {
  Need(A, 1, 3);
  TCliDb Db;
  OpenExistingDb(Db, A[0]);
  const int32_t First = A.size() > 1 ? ParseInt(A[1], "first entry") : 1;
  const int32_t Count = A.size() > 2 ? ParseInt(A[2], "count") : Db.GetNumEntries();
  if (First < 1 || Count < 0) throw EUsage("entries count from 1; the count is not negative");
  for (int64_t E = First; E < int64_t{First} + Count && E <= Db.GetNumEntries(); ++E)
    std::cout << EntryLine(static_cast<int32_t>(E), Db.GetSumdata(static_cast<int32_t>(E))) << '\n';
}

void CmdSearch(TArgs A) {
  Need(A, 2, 3);
  TCliDb Db;
  OpenExistingDb(Db, A[0]);
  const TgdbName Name = TgdbName::FromString(A[1]);
  const TgdbItem Kind = A.size() > 2 ? ParseKind(A[2]) : gitUndefined;
  int32_t Found = 0;
  for (int32_t E = Db.SearchData(Name, Kind, 1, 0); E != 0;
       E = Db.SearchData(Name, Kind, E + 1, 0)) {
    std::cout << EntryLine(E, Db.GetSumdata(E)) << '\n';
    ++Found;
  }
  if (Found == 0) throw std::runtime_error("no item named \"" + std::string(A[1]) + "\"");
}

void CmdBox(TArgs A) {
  Need(A, 5, 6);
  TCliDb Db;
  OpenExistingDb(Db, A[0]);
  const double LatLo = ParseLatitude(A[1]), LatHi = ParseLatitude(A[2]);
  const double LongLo = ParseLongitude(A[3]), LongHi = ParseLongitude(A[4]);
  if (LatLo > LatHi || LongLo > LongHi)
    throw EUsage("the low bounds must not exceed the high ones");
  const TgdbItemSet Kinds = A.size() > 5 ? gdbKind(ParseKind(A[5])) : gdbAllKinds;
  const std::vector<int32_t> Found = Db.FindItemsInBox(LatLo, LatHi, LongLo, LongHi, Kinds);
  for (int32_t E : Found)
    std::cout << EntryLine(E, Db.GetSumdata(E)) << '\n';
  std::cout << Found.size() << " items\n";
}

// The position as a JSON array; false when a coordinate is not finite, which JSON cannot
// spell.
bool Position(TSCoords P, std::string& Out) {
  std::string Long, Lat;
  if (!FormatShortest(P.Longit, Long) || !FormatShortest(P.Latit, Lat)) return false;
  // Reserved and appended piece by piece: GCC 12 warns falsely (-Wrestrict) on the
  // plainer forms.
  Out.clear();
  Out.reserve(Long.size() + Lat.size() + 4);
  Out.push_back('[');
  Out.append(Long).append(", ").append(Lat).push_back(']');
  return true;
}

// Towns become points, closed polygons polygons, open ones line strings; BLOBs, items without
// readable points and items with a coordinate that is not finite (a damaged file) are left out.
void CmdGeoJson(TArgs A) {
  Need(A, 1, 2);
  TCliDb Db;
  OpenExistingDb(Db, A[0]);
  std::ofstream File;
  const std::string FileName = A.size() > 1 ? std::string(A[1]) : std::string();
  if (A.size() > 1) {
    RefuseOutputOnInput(FileName, DbFiles(Db));
    File.open(FileName, std::ios::binary | std::ios::trunc);
    if (!File) throw std::runtime_error("cannot create \"" + FileName + "\"");
  }
  std::ostream& Out = A.size() > 1 ? static_cast<std::ostream&>(File) : std::cout;
  TProgressBar Bar("exporting");
  Out << "{\"type\": \"FeatureCollection\", \"features\": [";
  int32_t Written = 0, NotFinite = 0;
  TgdbPolygon P;
  std::string Pos;
  for (int32_t E = 1; E <= Db.GetNumEntries(); ++E) {
    Bar.Show(static_cast<int32_t>(int64_t{E} * 100 / Db.GetNumEntries()));
    const TgdbData D = Db.GetSumdata(E);
    std::string Geometry;
    if (D.ItemKind == gitTown) {
      if (!Position(ExtractLocation(D), Pos)) {
        ++NotFinite;
        continue;
      }
      Geometry = "{\"type\": \"Point\", \"coordinates\": ";
      Geometry += Pos;
      Geometry += "}";
    } else if (IsPolygonKind(D.ItemKind) && Db.RetrievePolygon(E, P) && !P.empty()) {
      if (D.Closed) P.push_back(P.front());
      std::string Coords;
      bool Finite = true;
      for (const TSCoords& X : P) {
        Finite = Finite && Position(X, Pos);
        if (!Coords.empty()) Coords += ", ";
        Coords += Pos;
      }
      if (!Finite) {
        ++NotFinite;
        continue;
      }
      Geometry = D.Closed ? "{\"type\": \"Polygon\", \"coordinates\": [[" + Coords + "]]}"
                          : "{\"type\": \"LineString\", \"coordinates\": [" + Coords + "]}";
    } else {
      continue;
    }
    Out << (Written++ ? ",\n" : "\n") << "{\"type\": \"Feature\", \"geometry\": " << Geometry
        << ", \"properties\": {\"entry\": " << E << ", \"id\": " << D.ItemId
        << ", \"kind\": " << JsonString(KindName(D.ItemKind))
        << ", \"name\": " << JsonString(D.Name.ToString()) << "}}";
  }
  Out << "\n]}\n";
  if (A.size() > 1) {
    CheckWritten(File, "\"" + FileName + "\"");
    File.close();
    if (!File) throw std::runtime_error("cannot write \"" + FileName + "\"");
  }
  if (NotFinite > 0)
    std::cerr << "qebgeo db geojson: left out " << NotFinite
              << " items whose coordinates are not finite numbers\n";
  if (A.size() > 1) std::cout << "wrote " << Written << " features to " << A[1] << '\n';
}

void CmdDump(TArgs A) {
  Need(A, 2, 2);
  TCliDb Db;
  OpenExistingDb(Db, A[0]);
  RefuseOutputOnInput(std::string(A[1]), DbFiles(Db));
  Db.ExportDataDebug(std::string(A[1]));
  std::cout << "wrote " << A[1] << '\n';
}

void CmdGarbageCollect(TArgs A) {
  Need(A, 1, 1);
  TCliDb Db;
  OpenExistingDb(Db, A[0]);
  const std::string Data = Db.GetGDBName() + ".qebgdd";
  const auto Before = std::filesystem::file_size(Data);
  {
    TProgressBar Bar("collecting garbage");
    Bar.Attach(Db);
    Db.GarbageCollection();
  }
  std::cout << "data file " << Before << " -> " << std::filesystem::file_size(Data) << " bytes\n";
}

void CmdDb(TArgs A) {
  if (A.empty()) throw EUsage("a subcommand is needed (qebgeo db help)");
  if (A[0] == "help") {
    std::cout << kDbHelp;
    return;
  }
  static const std::pair<std::string_view, void (*)(TArgs)> Sub[] = {
      {"create", CmdCreate},   {"info", CmdInfo},     {"add-capitals", CmdAddCapitals},
      {"list", CmdList},       {"search", CmdSearch}, {"box", CmdBox},
      {"geojson", CmdGeoJson}, {"dump", CmdDump},     {"gc", CmdGarbageCollect}};
  for (const auto& [Name, Run] : Sub)
    if (A[0] == Name) return Run(A.subspan(1));
  throw EUsage("unknown subcommand \"" + std::string(A[0]) + "\" (qebgeo db help)");
}

} // namespace

void OpenExistingDb(TGeoDB& Db, std::string_view Name) {
  const std::string B = StripExtension(Name);
  if (!FileExists(B + ".qebgds") || !FileExists(B + ".qebgdd"))
    throw std::runtime_error("no database \"" + B + "\" (create it with: qebgeo db create)");
  Db.SetGDBName(B);
}

std::vector<std::string> DbFiles(const TGeoDB& Db) {
  std::vector<std::string> Files;
  for (const char* Ext :
       {".qebgds", ".qebgdd", ".qebgi0", ".qebgi1", ".qebgi2", ".qebgi3", ".qebgi4"})
    Files.push_back(Db.GetGDBName() + Ext);
  return Files;
}

void AddDbCommands(std::vector<TCommand>& List) {
  List.push_back({"db", "db SUBCOMMAND DB [ARGUMENTS]",
                  "geographic database: create, info, add-capitals, list, search, box, geojson, "
                  "dump, gc (qebgeo db help)",
                  CmdDb});
}

void DemoDb() {
  Heading("Geographic database: the capitals of the country table");
  namespace fs = std::filesystem;
  std::string Dir = (fs::temp_directory_path() / "qebgeo-demo-XXXXXX").string();
  if (mkdtemp(Dir.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  const std::string Db = Dir + "/capitals";
  try {
    Show("db", {"create", Db, "Capitals of the world"});
    Show("db", {"add-capitals", Db});
    Show("db", {"search", Db, "VIENNA"});
    Show("db", {"box", Db, "45", "50", "5", "15", "Town"});
    Show("db", {"list", Db, "1", "3"});
  } catch (...) {
    fs::remove_all(Dir);
    throw;
  }
  fs::remove_all(Dir);
}

} // namespace qeb::cli
