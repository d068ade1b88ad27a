// Database items and landmarks through OGR: round trips through every
// format, counts and values as ogrinfo reads them, and refused sources that
// leave the database and the landmark list as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "bindings/gdal/gdalvector.h"
#include "qebgeolib/voziza/view.h"
#include "tests/gdal/shell.h"

namespace qeb::gdal {
namespace {

const std::string Dir = std::string(QEB_TEST_TMPDIR) + "/gdalvec_";

void Write(const std::string& File, const std::string& Text) {
  std::ofstream(File) << Text;
}

// A fresh database of the given name.
struct TDb {
  TGeoDB Db{nullptr};
  explicit TDb(const std::string& Name) {
    for (const char* Ext :
         {".qebgi0", ".qebgi1", ".qebgi2", ".qebgi3", ".qebgi4", ".qebgds", ".qebgdd"})
      std::filesystem::remove(Dir + Name + Ext);
    Db.SetGDBName(Dir + Name);
  }
};

// One item of each kind and shape; names are unique so items compare by name.
void Fill(TGeoDB& Db) {
  const TgdbPolygon Tri = {{46.5f, 7.25f}, {47.75f, 8.5f}, {46.0f, 9.125f}};
  const TgdbPolygon Line = {{45.0f, -1.5f}, {45.5f, -1.0f}};
  Db.AddTown("Zürich", 0, 0, {47.375f, 8.5390625f}, 408.5f, 3, 0);
  Db.AddTown("Quito", 0, 0, {-0.21875f, -78.5f}, 2850, 1, 0);
  Db.AddBorder("Closed border", Tri, true, 0, 0, 0, 0, 0, 0, 0, 7, 0);
  Db.AddBorder("Open border", Tri, false, 0, 0, 0, 0, 0, 0, 0, 8, 0);
  Db.AddCity("City", Tri, true, 0, 0, 0, 0, 0, 0, 12, 0, 0);
  Db.AddLake("Lake", Tri, 0, 0, 0, 0, 0, 0, 372, 2, 0);
  Db.AddRiver("River", Line, 0, 0, 0, 0, 0, 0, 0, 4, 0);
  Db.AddRoad("Road", Line, 0, 0, 0, 0, 0, 0, 0, 5, 0);
  Db.AddRoute("Route", Tri, 0, 0, 0, 0, 0, 0, 0, 6, 0);
  const char Bytes[] = "blob";
  Db.AddBLOB("Blob", 0, 0, 1, 1, 1, 1, 0, 0, 0, TMetaInfo{}, Bytes, 4);
}

struct TItem {
  std::string Name;
  TgdbItem Kind;
  int Class;
  float Altitude;
  bool Closed;
  std::vector<std::pair<float, float>> Points;
  bool operator<(const TItem& O) const { return Name < O.Name; }
  bool operator==(const TItem&) const = default;
  friend std::ostream& operator<<(std::ostream& O, const TItem& I) {
    O << I.Name << ' ' << int(I.Kind) << " class " << I.Class << " alt " << I.Altitude
      << (I.Closed ? " closed" : " open");
    for (const auto& [Lat, Long] : I.Points)
      O << " (" << Lat << ", " << Long << ')';
    return O;
  }
};

std::vector<TItem> Items(TGeoDB& Db) {
  std::vector<TItem> R;
  for (int32_t I = 1; I <= Db.GetNumEntries(); ++I) {
    const TgdbData D = Db.GetSumdata(I);
    if (D.ItemKind == gitBLOB) continue;
    TItem It{D.Name.ToString(), D.ItemKind, D.ClassFlag, D.Altitude, D.Closed, {}};
    TgdbPolygon P;
    if (D.ItemKind == gitTown)
      P = {ExtractLocation(D)};
    else
      Db.RetrievePolygon(I, P);
    for (const TSCoords& C : P)
      It.Points.push_back({C.Latit, C.Longit});
    R.push_back(It);
  }
  std::stable_sort(R.begin(), R.end());
  return R;
}

TEST(GdalVector, DatabaseRoundTripsThroughEveryFormat) {
  TDb Src("src");
  Fill(Src.Db);
  const std::vector<TItem> Want = Items(Src.Db);
  // Output, the feature counts ogrinfo reports layer by layer, and the extent
  // of the first layer (CSV has none before it is read).
  const std::string Towns = "(-78.500000, -0.218750) - (8.539062, 47.375000)";
  const std::string All = "(-78.500000, -0.218750) - (9.125000, 47.750000)";
  const std::vector<std::tuple<std::string, std::vector<int>, std::string>> Cases = {
      {"db.gpkg", {2, 3, 4}, Towns},
      {"db.geojson", {9}, All},
      {"db.csv", {9}, ""},
      {"db.kml", {2, 3, 4}, Towns},
      {"db_shapes", {2, 3, 4}, Towns}};
  for (const auto& [Name, Counts, Extent] : Cases) {
    SCOPED_TRACE(Name);
    const std::string Out = Dir + Name;
    std::filesystem::remove_all(Out);
    std::vector<int32_t> Percents;
    const TDBExportReport R = ExportGeoDB(Src.Db, Out, [&](int32_t P) { Percents.push_back(P); });
    EXPECT_EQ(R.Features, 9);
    EXPECT_EQ(R.SkippedBlobs, 1);
    EXPECT_TRUE(std::is_sorted(Percents.begin(), Percents.end()));
    EXPECT_EQ(Percents.back(), 100);

    const std::string Info = Shell("ogrinfo -ro -al -so " + Out);
    std::vector<int> Seen;
    for (size_t At = 0; (At = Info.find("Feature Count: ", At)) != std::string::npos; ++At)
      Seen.push_back(std::stoi(Info.substr(At + 15)));
    EXPECT_EQ(Seen, Counts) << Info;
    EXPECT_NE(Info.find("Extent: " + Extent), std::string::npos) << Info;
    const std::string Features = Shell("ogrinfo -ro -al " + Out);
    EXPECT_NE(Features.find("= Zürich"), std::string::npos);
    EXPECT_NE(Features.find("= 408.5"), std::string::npos);

    TDb Back("back");
    const TDBImportReport In = ImportGeoDB(Back.Db, Out);
    EXPECT_EQ(In.Added, 9);
    EXPECT_EQ(Items(Back.Db), Want);
  }
}

TEST(GdalVector, ImportMapsGeometryAndKindAttribute) {
  Write(Dir + "mixed.geojson", R"({"type":"FeatureCollection","features":[
    {"type":"Feature","properties":{"name":"P","kind":"lake"},
     "geometry":{"type":"MultiPoint","coordinates":[[1,2,30],[3,4]]}},
    {"type":"Feature","properties":{"name":"L","kind":"river","class":9},
     "geometry":{"type":"LineString","coordinates":[[1,2],[3,4],[5,6]]}},
    {"type":"Feature","properties":{"name":"A"},
     "geometry":{"type":"Polygon","coordinates":[[[0,0],[4,0],[4,4],[0,0]],[[1,1],[2,1],[1,2],[1,1]]]}},
    {"type":"Feature","properties":{"name":"none"},"geometry":null}]})");
  TDb Db("mixed");
  TDBImportOptions Opt;
  Opt.LineKind = gitRoute;
  Opt.AreaKind = gitLake;
  const TDBImportReport R = ImportGeoDB(Db.Db, Dir + "mixed.geojson", Opt);
  EXPECT_EQ(R.Added, 4);
  EXPECT_EQ(R.SkippedFeatures, 1);
  EXPECT_EQ(R.DroppedHoles, 1);
  const std::vector<TItem> Got = Items(Db.Db);
  ASSERT_EQ(Got.size(), 4u);
  // "lake" cannot be a point: the points become towns; Z is the altitude.
  EXPECT_EQ(Got[0].Name, "A");
  EXPECT_EQ(Got[0].Kind, gitLake);
  EXPECT_EQ(Got[0].Points.size(), 3u); // the ring without its repeated first point
  EXPECT_EQ(Got[1].Kind, gitRiver);
  EXPECT_EQ(Got[1].Class, 9);
  EXPECT_EQ(Got[2].Kind, gitTown);
  EXPECT_EQ(Got[2].Altitude, 30);
  EXPECT_EQ(Got[3].Points[0], std::make_pair(4.0f, 3.0f));
}

TEST(GdalVector, LandmarksFromPointSourcesAndBack) {
  Write(Dir + "trip.gpx", R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
<wpt lat="46.5" lon="7.25"><ele>1200.5</ele><time>2024-05-01T10:30:00Z</time><name>Hut</name><desc>Mountain hut</desc></wpt>
<wpt lat="-33.5" lon="151.25"><name>Sydney</name></wpt>
<trk><trkseg><trkpt lat="1" lon="1"/><trkpt lat="2" lon="2"/></trkseg></trk>
</gpx>)");
  Write(Dir + "marks.kml", R"(<?xml version="1.0"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document>
<Placemark><name>Pin</name><Point><coordinates>10.5,50.25,100</coordinates></Point></Placemark>
<Placemark><name>Path</name><LineString><coordinates>1,1 2,2</coordinates></LineString></Placemark>
</Document></kml>)");
  Write(Dir + "marks.csv", "name,lat,lon,class\nA,10.5,20.25,4\nB,-10,-20,5\n");
  struct TCase {
    std::string File;
    int Count;
    std::string FirstName;
    double Lat, Long, Alt;
  };
  for (const TCase& C : std::vector<TCase>{{"trip.gpx", 2, "Hut", 46.5, 7.25, 1200.5},
                                           {"marks.kml", 1, "Pin", 50.25, 10.5, 100},
                                           {"marks.csv", 2, "A", 10.5, 20.25, 0}}) {
    SCOPED_TRACE(C.File);
    TVozIza V(nullptr);
    V.SetSuppressPaint(true);
    EXPECT_EQ(ImportGdalLandmarks(V, Dir + C.File), C.Count);
    ASSERT_EQ(V.GetNumLandMarks(), C.Count);
    const TLandMark& M = V.GetLandMarkData(1);
    EXPECT_EQ(M.Identifier.ToString(), C.FirstName);
    EXPECT_DOUBLE_EQ(M.Latitude, C.Lat);
    EXPECT_DOUBLE_EQ(M.Longitude, C.Long);
    EXPECT_DOUBLE_EQ(M.Altitude, C.Alt);
  }

  TVozIza V(nullptr);
  V.SetSuppressPaint(true);
  ImportGdalLandmarks(V, Dir + "trip.gpx");
  EXPECT_EQ(V.GetLandMarkData(1).Caption.Text.ToString(), "Mountain hut");
  EXPECT_NEAR(V.GetLandMarkData(1).Time, 45413.4375, 1e-9); // 2024-05-01 10:30 UTC
  TLandMark M2 = V.GetLandMarkData(2);
  M2.ClassFlag = 17;
  V.SetLandMarkData(2, M2);
  for (const char* Out : {"out.gpx", "out.gpkg", "out.kml", "out.csv", "out.geojson"}) {
    SCOPED_TRACE(Out);
    EXPECT_EQ(ExportGdalLandmarks(V, Dir + Out), 2);
    EXPECT_NE(Shell("ogrinfo -ro -al -so " + Dir + Out).find("Feature Count: 2"),
              std::string::npos);
    TVozIza B(nullptr);
    B.SetSuppressPaint(true);
    ImportGdalLandmarks(B, Dir + Out);
    ASSERT_EQ(B.GetNumLandMarks(), 2);
    for (int32_t I = 1; I <= 2; ++I) {
      const TLandMark &A = V.GetLandMarkData(I), &G = B.GetLandMarkData(I);
      EXPECT_EQ(G.Identifier, A.Identifier);
      EXPECT_EQ(G.Caption.Text, A.Caption.Text);
      EXPECT_NEAR(G.Latitude, A.Latitude, 1e-9);
      EXPECT_NEAR(G.Longitude, A.Longitude, 1e-9);
      EXPECT_NEAR(G.Altitude, A.Altitude, 1e-9);
      EXPECT_NEAR(G.Time, A.Time, 1e-6);
      if (std::string(Out) != "out.gpx") {
        EXPECT_EQ(G.ClassFlag, A.ClassFlag);
      }
    }
  }
}

TEST(GdalVector, RefusedSourcesChangeNothing) {
  Write(Dir + "garbage.geojson", "{\"type\": \"FeatureCollection\", \"features\": [");
  Write(Dir + "far.geojson", R"({"type":"FeatureCollection","features":[
    {"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[1,2]}},
    {"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[10,200]}}]})");
  Write(Dir + "class.csv", "name,lat,lon,class\nA,1,2,3\nB,1,2,300\n");
  Write(Dir + "nan.csv", "name,lat,lon,altitude\nA,1,2,5\nB,1,2,nan\n");
  Write(Dir + "kind.geojson", R"({"type":"FeatureCollection","features":[
    {"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[1,2]}}]})");
  for (const char* Source :
       {"missing.gpkg", "garbage.geojson", "far.geojson", "class.csv", "nan.csv"}) {
    SCOPED_TRACE(Source);
    TDb Db("refused");
    Fill(Db.Db);
    const std::vector<TItem> Before = Items(Db.Db);
    EXPECT_THROW(ImportGeoDB(Db.Db, Dir + Source), EQEBGdalError);
    EXPECT_EQ(Items(Db.Db), Before);
    TVozIza V(nullptr);
    V.SetSuppressPaint(true);
    V.AddLandMark(1, 2, 3);
    EXPECT_THROW(ImportGdalLandmarks(V, Dir + Source), EQEBGdalError);
    EXPECT_EQ(V.GetNumLandMarks(), 1);
  }
  TDb Db("refused");
  Fill(Db.Db);
  TDBImportOptions Opt;
  Opt.PointKind = gitLake; // a lake cannot be a point
  EXPECT_THROW(ImportGeoDB(Db.Db, Dir + "kind.geojson", Opt), EQEBGdalError);
  EXPECT_THROW(ExportGeoDB(Db.Db, Dir + "db.xyz"), EQEBGdalError);
  // A single Shapefile cannot hold points and lines; nothing is written.
  std::filesystem::remove(Dir + "one.shp");
  EXPECT_THROW(ExportGeoDB(Db.Db, Dir + "one.shp"), EQEBGdalError);
  EXPECT_FALSE(std::filesystem::exists(Dir + "one.shp"));
  // Shapefiles go to a new folder: an existing one is left as it was.
  std::filesystem::remove_all(Dir + "kept");
  ExportGeoDB(Db.Db, Dir + "kept");
  EXPECT_THROW(ExportGeoDB(Db.Db, Dir + "kept"), EQEBGdalError);
  EXPECT_TRUE(std::filesystem::exists(Dir + "kept/towns.shp"));
  TGeoDB Closed(nullptr);
  EXPECT_THROW(ImportGeoDB(Closed, Dir + "kind.geojson"), EQEBGdalError);
}

// Damaged copies of good files (cut short, bytes overwritten) either import
// or are refused with EQEBGdalError and nothing changed; never a crash.
TEST(GdalVector, DamagedSourcesImportOrChangeNothing) {
  TDb Src("damsrc");
  Fill(Src.Db);
  TVozIza Marks(nullptr);
  Marks.SetSuppressPaint(true);
  Marks.AddLandMark(46.5, 7.25, 100, "Hut", 45413.5);
  std::mt19937 Rng(14);
  for (const char* Name : {"dam.gpkg", "dam.geojson", "dam.kml", "dam.csv", "dam.gpx"}) {
    const std::string Good = Dir + Name;
    if (std::string(Name) == "dam.gpx")
      ExportGdalLandmarks(Marks, Good);
    else
      ExportGeoDB(Src.Db, Good);
    std::ifstream In(Good, std::ios::binary);
    const std::string Bytes((std::istreambuf_iterator<char>(In)), {});
    for (int K = 0; K < 12; ++K) {
      std::string Bad = Bytes;
      if (K % 2 == 0) {
        Bad.resize(Rng() % Bad.size());
      } else {
        for (int J = 0; J < 8; ++J)
          Bad[Rng() % Bad.size()] = char(Rng());
      }
      const std::string File = Dir + "bad_" + std::to_string(K) + Name;
      std::ofstream(File, std::ios::binary) << Bad;
      SCOPED_TRACE(File);
      TDb Db("damaged");
      Db.Db.AddTown("Kept", 0, 0, {1, 2}, 0, 0, 0);
      try {
        ImportGeoDB(Db.Db, File);
      } catch (const EQEBGdalError& E) {
        EXPECT_EQ(Db.Db.GetNumEntries(), 1) << E.what();
      }
      TVozIza V(nullptr);
      V.SetSuppressPaint(true);
      V.AddLandMark(1, 2, 3);
      try {
        ImportGdalLandmarks(V, File);
      } catch (const EQEBGdalError& E) {
        EXPECT_EQ(V.GetNumLandMarks(), 1) << E.what();
      }
    }
  }
}

} // namespace
} // namespace qeb::gdal
