// Vector data through OGR: database items and landmarks out to OGR layers and
// back. Imports read and check the whole source before anything changes.
#include "bindings/gdal/gdalvector.h"

#include <ogrsf_frmts.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "bindings/gdal/gdalcommon.h"
#include "qebgeolib/platform/base/sysutils.h"

namespace qeb::gdal {

namespace {

// ---- Output formats ----

struct TFormat {
  const char* Driver;
  bool OneLayer;   // a single layer takes every geometry type
  bool SingleType; // a single layer of one geometry type (a .shp file)
  const char* LayerOption = nullptr;
  bool Folder = false; // a folder of Shapefiles
};

TFormat FormatOf(const std::string& FileName) {
  const std::string Ext = LowerCase(ExtractFileExt(ExtractFileName(FileName)));
  if (Ext == ".gpkg") return {"GPKG", false, false};
  if (Ext == ".geojson" || Ext == ".json") return {"GeoJSON", true, false};
  if (Ext == ".kml") return {"KML", false, false};
  if (Ext == ".csv") return {"CSV", true, false, "GEOMETRY=AS_WKT"};
  if (Ext == ".gpx") return {"GPX", false, false};
  if (Ext == ".shp") return {"ESRI Shapefile", false, true};
  if (Ext.empty()) return {"ESRI Shapefile", false, false, nullptr, true};
  Fail(FileName, "unknown vector format \"" + Ext +
                     "\" (.gpkg, .geojson, .json, .kml, .csv, .shp, or a folder of Shapefiles)");
}

OGRSpatialReference Wgs84() {
  OGRSpatialReference Srs;
  SetEllipsoidGeogCS(Srs, gelWGS84);
  return Srs;
}

// An output data set that is removed again unless Commit is called. Files
// are written under a temporary name beside the output and renamed over it
// when complete, so a failed export leaves an earlier output as it was; a
// folder of Shapefiles must be new, so that no file of the user's is
// replaced or, after a failure, removed. A single .shp file with its
// sidecar files is replaced in place.
class TOutput {
public:
  TOutput(const std::string& FileName, const TFormat& Format) : FName(FileName), Work(FileName) {
    Drv = GetGDALDriverManager()->GetDriverByName(Format.Driver);
    if (!Drv) Fail(FileName, std::string("GDAL has no driver ") + Format.Driver);
    std::error_code Ec;
    if (Format.Folder && std::filesystem::exists(FileName, Ec))
      Fail(FileName, "the folder exists; Shapefiles go to a new folder");
    if (!Format.Folder && !Format.SingleType)
      Work = ExtractFilePath(FileName) + ".part-" + ExtractFileName(FileName);
    if (FileExists(Work)) Drv->Delete(Work.c_str());
    CPLErrorReset();
    const char* KmlOptions[] = {"NameField=name", "DescriptionField=desc", nullptr};
    Ds.reset(Drv->Create(Work.c_str(), 0, 0, 0, GDT_Unknown,
                         std::string(Format.Driver) == "KML" ? KmlOptions : nullptr));
    if (!Ds) Fail(FileName, "GDAL cannot create the file");
    Folder = Format.Folder;
  }
  ~TOutput() {
    if (Committed) return;
    Ds.reset();
    std::error_code Ec;
    if (Folder)
      std::filesystem::remove_all(Work, Ec);
    else
      Drv->Delete(Work.c_str());
  }
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;

  // Layers are made one after the other, each written whole before the next
  // is made (KML and GPX cannot go back), each in a transaction of its own
  // where the driver has them (GeoPackage).
  OGRLayer* AddLayer(const char* Name, OGRwkbGeometryType Type, const char* Option) {
    EndTransaction();
    OGRSpatialReference Srs = Wgs84();
    const char* Options[] = {Option, nullptr};
    OGRLayer* L = Ds->CreateLayer(Name, &Srs, Type, const_cast<char**>(Options));
    if (!L) Fail(FName, std::string("GDAL cannot create the layer ") + Name);
    Transaction = Ds->StartTransaction() == OGRERR_NONE;
    return L;
  }
  void AddField(OGRLayer* L, const char* Name, OGRFieldType Type) {
    OGRFieldDefn F(Name, Type);
    if (L->CreateField(&F) != OGRERR_NONE)
      Fail(FName, std::string("GDAL cannot create the field ") + Name);
  }
  void Write(OGRLayer* L, OGRFeature& F) {
    F.SetFID(OGRNullFID);
    if (L->CreateFeature(&F) != OGRERR_NONE) Fail(FName, "GDAL cannot write a feature");
  }
  void EndTransaction() {
    if (Transaction && Ds->CommitTransaction() != OGRERR_NONE) Fail(FName, "GDAL cannot commit");
    Transaction = false;
  }
  void Commit() {
    EndTransaction();
    // Closing writes what the drivers keep in memory (GeoJSON, KML, GPX).
    CPLErrorReset();
    GDALClose(Ds.release());
    if (CPLGetLastErrorType() >= CE_Failure) Fail(FName, "GDAL cannot finish the file");
    std::error_code Ec;
    if (Work != FName) std::filesystem::rename(Work, FName, Ec);
    if (Ec) Fail(FName, "cannot rename " + Work + ": " + Ec.message());
    Committed = true;
  }

private:
  std::string FName, Work;
  GDALDriver* Drv = nullptr;
  GDALDatasetUniquePtr Ds;
  bool Folder = false;
  bool Transaction = false;
  bool Committed = false;
};

class TPercent {
public:
  TPercent(const TGdalProgress& P, int64_t Total, int32_t From, int32_t To)
      : Progress(P), Total(std::max<int64_t>(Total, 1)), From(From), To(To) {}
  void Step(int64_t Done) {
    if (!Progress) return;
    const int32_t P = From + int32_t(std::min<int64_t>(Done, Total) * (To - From) / Total);
    if (P != Last) Progress(Last = P);
  }

private:
  const TGdalProgress& Progress;
  int64_t Total;
  int32_t From, To, Last = -1;
};

// ---- Database export ----

enum TGroup { grTowns, grAreas, grLines, grNone };
constexpr const char* GroupLayer[3] = {"towns", "areas", "lines"};
constexpr OGRwkbGeometryType GroupType[3] = {wkbPoint, wkbPolygon, wkbLineString};

TGroup GroupOf(const TgdbData& D) {
  if (D.ItemKind == gitTown) return grTowns;
  if (!IsPolygonKind(D.ItemKind)) return grNone;
  const bool Area =
      D.ItemKind == gitLake || ((D.ItemKind == gitBorder || D.ItemKind == gitCity) && D.Closed);
  return Area && D.NumPoints >= 3 ? grAreas : grLines;
}

// A polygon item's points as a line string, or as a polygon whose ring
// repeats the first point at the end.
std::unique_ptr<OGRGeometry> Geometry(const TgdbPolygon& Poly, bool Area) {
  auto Line = std::make_unique<OGRLineString>();
  Line->setNumPoints(int(Poly.size()) + Area, FALSE);
  for (std::size_t K = 0; K < Poly.size(); ++K)
    Line->setPoint(int(K), Poly[K].Longit, Poly[K].Latit);
  if (!Area) return Line;
  Line->setPoint(int(Poly.size()), Poly[0].Longit, Poly[0].Latit);
  auto Ring = std::make_unique<OGRLinearRing>();
  Ring->addSubLineString(Line.get());
  auto Polygon = std::make_unique<OGRPolygon>();
  Polygon->addRingDirectly(Ring.release());
  return Polygon;
}

} // namespace

TDBExportReport ExportGeoDB(TGeoDB& DB, const std::string& FileName,
                            const TGdalProgress& Progress) {
  TGdalErrors Errors;
  const TFormat Format = FormatOf(FileName);
  if (std::string(Format.Driver) == "GPX") Fail(FileName, "GPX holds no database items");
  if (DB.GetGDBName().empty()) Fail(FileName, "no database is open");
  const int32_t N = DB.GetNumEntries();
  TDBExportReport Report;
  bool Used[3] = {};
  for (int32_t I = 1; I <= N; ++I)
    if (const TGroup G = GroupOf(DB.GetSumdata(I)); G != grNone) Used[G] = true;
  if (Format.SingleType && Used[grTowns] + Used[grAreas] + Used[grLines] > 1)
    Fail(FileName, "a Shapefile holds one geometry type and the database has several: give a "
                   "folder name (no extension) for one Shapefile each");

  TOutput Out(FileName, Format);
  OGRLayer* Layers[3] = {};
  std::unique_ptr<OGRFeature> Features[3];
  // Field positions by name: KML layers start with fields of their own.
  constexpr const char* Fields[5] = {"id", "kind", "class", "name", "altitude"};
  int Field[3][5] = {};
  auto Make = [&](int G, const char* Name, OGRwkbGeometryType Type) {
    Layers[G] = Out.AddLayer(Name, Type, Format.LayerOption);
    Out.AddField(Layers[G], "id", OFTInteger);
    Out.AddField(Layers[G], "kind", OFTString);
    Out.AddField(Layers[G], "class", OFTInteger);
    Out.AddField(Layers[G], "name", OFTString);
    Out.AddField(Layers[G], "altitude", OFTReal);
    Features[G] = std::make_unique<OGRFeature>(Layers[G]->GetLayerDefn());
    for (int K = 0; K < 5; ++K)
      Field[G][K] = Features[G]->GetFieldIndex(Fields[K]);
  };
  if (Format.OneLayer) Make(0, "items", wkbUnknown);

  // Layer by layer, as KML and GPX cannot interleave features of layers.
  TPercent Pc(Progress, int64_t(N) * 3, 0, 100);
  TgdbPolygon Poly;
  for (int Pass = 0; Pass < 3; ++Pass) {
    if (Format.OneLayer)
      Layers[Pass] = Layers[0];
    else if (Used[Pass] || (Pass == 0 && !Used[1] && !Used[2])) // an empty file has "towns"
      Make(Pass, GroupLayer[Pass], GroupType[Pass]);
    for (int32_t I = 1; I <= N; ++I) {
      Pc.Step(int64_t(Pass) * N + I - 1);
      const TgdbData D = DB.GetSumdata(I);
      const TGroup G = GroupOf(D);
      if (G == grNone) {
        Report.SkippedBlobs += Pass == 0;
        continue;
      }
      if (G != Pass) continue;
      const int L = Format.OneLayer ? 0 : G;
      OGRFeature& F = *Features[L];
      F.SetField(Field[L][0], D.ItemId);
      F.SetField(Field[L][1], std::string(GDB_ITEMNAMES[D.ItemKind]).c_str());
      F.SetField(Field[L][2], int(D.ClassFlag));
      F.SetField(Field[L][3], D.Name.ToString().c_str());
      F.SetField(Field[L][4], double(D.Altitude));
      if (G == grTowns) {
        const TSCoords P = ExtractLocation(D);
        F.SetGeometryDirectly(new OGRPoint(P.Longit, P.Latit));
      } else {
        Poly.clear();
        if (!DB.RetrievePolygon(I, Poly))
          Fail(FileName, "item " + std::to_string(D.ItemId) + " of the database is damaged");
        F.SetGeometryDirectly(Geometry(Poly, G == grAreas).release());
      }
      Out.Write(Layers[G], F);
      ++Report.Features;
    }
  }
  Out.Commit();
  Pc.Step(int64_t(N) * 3);
  return Report;
}

namespace {

// ---- Reading sources ----

GDALDatasetUniquePtr OpenVector(const std::string& Source) {
  // CSV files name their coordinate columns in many ways; other drivers
  // ignore these options.
  const char* Options[] = {"X_POSSIBLE_NAMES=lon,long,longitude,x",
                           "Y_POSSIBLE_NAMES=lat,latitude,y", "KEEP_GEOM_COLUMNS=NO", nullptr};
  GDALDatasetUniquePtr Ds(GDALDataset::Open(Source.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY,
                                            nullptr, Options, nullptr));
  if (!Ds) Fail(Source, "GDAL cannot read the file as vector data");
  CPLErrorReset();
  return Ds;
}

// Turns a layer's coordinates into WGS 84 longitude/latitude.
class TToWgs84 {
public:
  TToWgs84(const std::string& Source, OGRLayer& L) {
    const OGRSpatialReference* S = L.GetSpatialRef();
    const OGRSpatialReference Wgs = Wgs84();
    if (!S || S->IsSame(&Wgs)) return;
    OGRSpatialReference From(*S);
    From.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    Ct.reset(OGRCreateCoordinateTransformation(&From, &Wgs));
    if (!Ct)
      Fail(Source, std::string("no transformation from the coordinate system of layer ") +
                       L.GetName() + " to WGS 84");
  }
  void Apply(const std::string& Source, OGRGeometry& G) const {
    if (Ct && G.transform(Ct.get()) != OGRERR_NONE)
      Fail(Source, "a geometry cannot be transformed to WGS 84");
  }

private:
  std::unique_ptr<OGRCoordinateTransformation> Ct;
};

TSCoords CheckedPoint(const std::string& Source, double Lon, double Lat) {
  if (!(Lat >= -90 && Lat <= 90 && Lon >= -180 && Lon <= 360))
    Fail(Source, "coordinate outside the globe: longitude " + FormatNumber(Lon) + ", latitude " +
                     FormatNumber(Lat));
  return {float(Lat), float(Lon)};
}

// The attributes both imports read; -1 where the layer has none.
struct TFields {
  int Name, Kind, Class, Altitude, Desc, Time;
  explicit TFields(OGRLayer& L) {
    OGRFeatureDefn* D = L.GetLayerDefn();
    auto Any = [D](std::initializer_list<const char*> Names) {
      for (const char* N : Names)
        if (const int I = D->GetFieldIndex(N); I >= 0) return I;
      return -1;
    };
    Name = Any({"name"});
    Kind = Any({"kind"});
    Class = Any({"class"});
    Altitude = Any({"altitude", "ele", "alt", "elevation"});
    Desc = Any({"desc", "description"});
    Time = Any({"time"});
  }
};

std::string Text(OGRFeature& F, int I) {
  return I >= 0 && F.IsFieldSetAndNotNull(I) ? F.GetFieldAsString(I) : std::string();
}

uint8_t ClassOf(const std::string& Source, OGRFeature& F, int I) {
  if (I < 0 || !F.IsFieldSetAndNotNull(I)) return 0;
  const GIntBig C = F.GetFieldAsInteger64(I);
  if (C < 0 || C > 255) Fail(Source, "class " + std::to_string(C) + " outside 0..255");
  return uint8_t(C);
}

double AltitudeOf(const std::string& Source, OGRFeature& F, int I, double Z) {
  const double A = I >= 0 && F.IsFieldSetAndNotNull(I) ? F.GetFieldAsDouble(I) : Z;
  if (!std::isfinite(A)) Fail(Source, "an altitude is not a number");
  return A;
}

// Every member of a (multi-)geometry, curves made linear.
void Members(const OGRGeometry& G, std::vector<const OGRGeometry*>& Out) {
  if (const auto* C = dynamic_cast<const OGRGeometryCollection*>(&G)) {
    for (const OGRGeometry* M : *C)
      Members(*M, Out);
  } else {
    Out.push_back(&G);
  }
}

// ---- Database import ----

struct TItemIn {
  TgdbItem Kind = gitUndefined;
  std::string Name;
  uint8_t Class = 0;
  float Altitude = 0;
  bool Closed = false;
  TgdbPolygon Points;
};

std::optional<TgdbItem> KindNamed(const std::string& Text) {
  for (int K = gitBorder; K <= gitRoute; ++K)
    if (SameText(Text, GDB_ITEMNAMES[K])) return TgdbItem(K);
  return std::nullopt;
}

void CheckKind(TgdbItem Kind, bool Point) {
  if (Point ? Kind != gitTown : !IsPolygonKind(Kind))
    throw EQEBGdalError(
        "GDAL: import: " + std::string(GDB_ITEMNAMES[Kind < gitUndefined ? Kind : gitUndefined]) +
        " cannot be the kind of " + (Point ? "points" : "lines and polygons"));
}

void ReadItems(const std::string& Source, const TDBImportOptions& Opt, std::vector<TItemIn>& Items,
               TDBImportReport& Report) {
  GDALDatasetUniquePtr Ds = OpenVector(Source);
  int64_t Total = 0;
  for (OGRLayer* L : Ds->GetLayers())
    Total += std::max<GIntBig>(L->GetFeatureCount(FALSE), 0);
  TPercent Pc(Opt.Progress, Total, 0, 50);
  int64_t Done = 0;
  std::vector<const OGRGeometry*> Parts;
  for (OGRLayer* L : Ds->GetLayers()) {
    const TToWgs84 Ct(Source, *L);
    const TFields Fd(*L);
    L->ResetReading();
    while (OGRFeatureUniquePtr F{L->GetNextFeature()}) {
      Pc.Step(++Done);
      std::unique_ptr<OGRGeometry> G(F->StealGeometry());
      if (G && G->hasCurveGeometry()) G.reset(G->getLinearGeometry());
      if (!G || G->IsEmpty()) {
        ++Report.SkippedFeatures;
        continue;
      }
      Ct.Apply(Source, *G);
      const std::optional<TgdbItem> Named = KindNamed(Text(*F, Fd.Kind));
      Parts.clear();
      Members(*G, Parts);
      for (const OGRGeometry* P : Parts) {
        TItemIn It;
        It.Name = Text(*F, Fd.Name);
        It.Class = ClassOf(Source, *F, Fd.Class);
        const OGRSimpleCurve* Curve = nullptr;
        double Z = 0;
        switch (wkbFlatten(P->getGeometryType())) {
        case wkbPoint: {
          const auto* Pt = P->toPoint();
          It.Points.push_back(CheckedPoint(Source, Pt->getX(), Pt->getY()));
          Z = Pt->Is3D() ? Pt->getZ() : 0;
          It.Kind = Named && *Named == gitTown ? gitTown : Opt.PointKind;
          break;
        }
        case wkbLineString:
        case wkbLinearRing:
          Curve = P->toSimpleCurve();
          It.Kind = Named && IsPolygonKind(*Named) ? *Named : Opt.LineKind;
          break;
        case wkbPolygon: {
          const auto* Poly = P->toPolygon();
          Report.DroppedHoles += Poly->getNumInteriorRings();
          Curve = Poly->getExteriorRing();
          It.Closed = true;
          It.Kind = Named && IsPolygonKind(*Named) ? *Named : Opt.AreaKind;
          break;
        }
        default:
          ++Report.SkippedFeatures;
          continue;
        }
        CheckKind(It.Kind, Curve == nullptr);
        if (Curve) {
          int32_t Count = Curve->getNumPoints();
          if (Count > MaxItemPoints)
            Fail(Source, "a feature of " + std::to_string(Count) + " points, more than " +
                             std::to_string(MaxItemPoints));
          if (It.Closed && Count > 1 && Curve->getX(0) == Curve->getX(Count - 1) &&
              Curve->getY(0) == Curve->getY(Count - 1))
            --Count;
          It.Points.reserve(std::size_t(Count));
          for (int32_t K = 0; K < Count; ++K)
            It.Points.push_back(CheckedPoint(Source, Curve->getX(K), Curve->getY(K)));
        }
        It.Altitude = float(AltitudeOf(Source, *F, Fd.Altitude, Z));
        Items.push_back(std::move(It));
      }
    }
  }
}

int32_t AddItem(TGeoDB& DB, const TItemIn& It) {
  const float Lo = 0; // polygon items take the bounds of their points
  switch (It.Kind) {
  case gitTown:
    return DB.AddTown(It.Name, 0, 0, It.Points[0], It.Altitude, It.Class, 0);
  case gitBorder:
    return DB.AddBorder(It.Name, It.Points, It.Closed, 0, 0, Lo, Lo, Lo, Lo, It.Altitude, It.Class,
                        0);
  case gitCity:
    return DB.AddCity(It.Name, It.Points, It.Closed, 0, 0, Lo, Lo, Lo, Lo, It.Altitude, It.Class,
                      0);
  case gitLake:
    return DB.AddLake(It.Name, It.Points, 0, 0, Lo, Lo, Lo, Lo, It.Altitude, It.Class, 0);
  case gitRiver:
    return DB.AddRiver(It.Name, It.Points, 0, 0, Lo, Lo, Lo, Lo, It.Altitude, It.Class, 0);
  case gitRoad:
    return DB.AddRoad(It.Name, It.Points, 0, 0, Lo, Lo, Lo, Lo, It.Altitude, It.Class, 0);
  default:
    return DB.AddRoute(It.Name, It.Points, 0, 0, Lo, Lo, Lo, Lo, It.Altitude, It.Class, 0);
  }
}

} // namespace

TDBImportReport ImportGeoDB(TGeoDB& DB, const std::string& Source,
                            const TDBImportOptions& Options) {
  TGdalErrors Errors;
  if (DB.GetGDBName().empty()) Fail(Source, "no database is open");
  CheckKind(Options.PointKind, true);
  CheckKind(Options.LineKind, false);
  CheckKind(Options.AreaKind, false);
  TDBImportReport Report;
  std::vector<TItemIn> Items;
  ReadItems(Source, Options, Items, Report);

  const int32_t Before = DB.GetNumEntries();
  const bool Lazy = DB.GetLazyWrite();
  DB.SetLazyWrite(true);
  TPercent Pc(Options.Progress, int64_t(Items.size()), 50, 100);
  try {
    for (std::size_t I = 0; I < Items.size(); ++I) {
      Pc.Step(int64_t(I));
      AddItem(DB, Items[I]);
    }
  } catch (...) {
    for (int32_t E = DB.GetNumEntries(); E > Before; --E)
      DB.DeleteData(E);
    DB.SetLazyWrite(Lazy);
    throw;
  }
  DB.SetLazyWrite(Lazy);
  Pc.Step(int64_t(Items.size()));
  Report.Added = DB.GetNumEntries() - Before;
  return Report;
}

namespace {

// ---- Landmark times: TDateTime counts days from 1899-12-30 ----

constexpr double kUnixEpochDays = 25569.0;

TDateTime TimeOf(OGRFeature& F, int I) {
  if (I < 0 || !F.IsFieldSetAndNotNull(I)) return 0;
  int Y, Mo, D, H, Mi, Tz;
  float S;
  const OGRFieldType Type = F.GetFieldDefnRef(I)->GetType();
  if (Type == OFTString) { // KML and CSV keep times as text
    OGRField P;
    if (!OGRParseDate(F.GetFieldAsString(I), &P, 0)) return 0;
    Y = P.Date.Year, Mo = P.Date.Month, D = P.Date.Day, H = P.Date.Hour, Mi = P.Date.Minute;
    S = P.Date.Second, Tz = P.Date.TZFlag;
  } else if (Type != OFTDateTime && Type != OFTDate) {
    return 0;
  } else if (!F.GetFieldAsDateTime(I, &Y, &Mo, &D, &H, &Mi, &S, &Tz)) {
    return 0;
  }
  using namespace std::chrono;
  const year_month_day Ymd{year(Y), month(unsigned(Mo)), day(unsigned(D))};
  if (!Ymd.ok()) return 0;
  double Secs = double(sys_days(Ymd).time_since_epoch().count()) * 86400 + H * 3600 + Mi * 60 + S;
  if (Tz > 1) Secs -= (Tz - 100) * 15 * 60; // 100 is UTC, steps of 15 minutes
  return kUnixEpochDays + Secs / 86400;
}

void SetTime(OGRFeature& F, int I, TDateTime T) {
  using namespace std::chrono;
  const double Secs = std::round((T - kUnixEpochDays) * 86400);
  const sys_days Day{days(int64_t(std::floor(Secs / 86400)))};
  const year_month_day Ymd(Day);
  const double Rest = Secs - double(Day.time_since_epoch().count()) * 86400;
  const int R = int(Rest);
  F.SetField(I, int(Ymd.year()), int(unsigned(Ymd.month())), int(unsigned(Ymd.day())), R / 3600,
             R / 60 % 60, float(R % 60), 100);
}

} // namespace

int32_t ImportGdalLandmarks(TVozIza& Control, const std::string& Source, bool NameAsCaption) {
  TGdalErrors Errors;
  GDALDatasetUniquePtr Ds = OpenVector(Source);
  const bool Gpx = SameText(Ds->GetDriverName(), "GPX");
  std::vector<TLandMark> Marks;
  std::vector<const OGRGeometry*> Parts;
  for (OGRLayer* L : Ds->GetLayers()) {
    if (Gpx && (SameText(L->GetName(), "route_points") || SameText(L->GetName(), "track_points")))
      continue;
    const TToWgs84 Ct(Source, *L);
    const TFields Fd(*L);
    L->ResetReading();
    while (OGRFeatureUniquePtr F{L->GetNextFeature()}) {
      OGRGeometry* G = F->GetGeometryRef();
      if (!G || G->IsEmpty()) continue;
      Ct.Apply(Source, *G);
      Parts.clear();
      Members(*G, Parts);
      for (const OGRGeometry* P : Parts) {
        if (wkbFlatten(P->getGeometryType()) != wkbPoint) continue;
        const OGRPoint& Pt = *P->toPoint();
        CheckedPoint(Source, Pt.getX(), Pt.getY());
        TLandMark M = Control.GetLandMarkDefault();
        M.Latitude = Pt.getY();
        M.Longitude = Pt.getX();
        M.Altitude = AltitudeOf(Source, *F, Fd.Altitude, Pt.Is3D() ? Pt.getZ() : 0);
        M.ClassFlag = ClassOf(Source, *F, Fd.Class);
        M.Time = TimeOf(*F, Fd.Time);
        const std::string Name = Text(*F, Fd.Name);
        if (NameAsCaption) {
          M.Caption.Text = TLMText::FromString(Name);
        } else {
          M.Identifier = TLMIdentifier::FromString(Name);
          if (Fd.Desc >= 0 && F->IsFieldSetAndNotNull(Fd.Desc))
            M.Caption.Text = TLMText::FromString(Text(*F, Fd.Desc));
        }
        Marks.push_back(M);
      }
    }
  }
  int32_t Added = 0;
  for (const TLandMark& M : Marks) {
    const int32_t Before = Control.GetNumLandMarks();
    Control.AddLandMark(M.Latitude, M.Longitude, M.Altitude);
    if (Control.GetNumLandMarks() > Before) {
      Control.SetLandMarkData(Control.GetNumLandMarks(), M);
      ++Added;
    }
  }
  return Added;
}

int32_t ExportGdalLandmarks(const TVozIza& Control, const std::string& FileName) {
  TGdalErrors Errors;
  const TFormat Format = FormatOf(FileName);
  const bool Gpx = std::string(Format.Driver) == "GPX";
  const int32_t N = Control.GetNumLandMarks();
  for (int32_t I = 1; I <= N; ++I) {
    const TLandMark& M = Control.GetLandMarkData(I);
    CheckedPoint(FileName, M.Longitude, M.Latitude);
    if (!std::isfinite(M.Altitude)) Fail(FileName, "an altitude is not a number");
  }
  TOutput Out(FileName, Format);
  OGRLayer* L = Out.AddLayer(Gpx ? "waypoints" : "landmarks", wkbPoint, Format.LayerOption);
  if (!Gpx) {
    Out.AddField(L, "name", OFTString);
    Out.AddField(L, "desc", OFTString);
    Out.AddField(L, "ele", OFTReal);
    Out.AddField(L, "time", OFTDateTime);
    Out.AddField(L, "class", OFTInteger);
  }
  OGRFeature F(L->GetLayerDefn());
  const TFields Fd(*L);
  for (int32_t I = 1; I <= N; ++I) {
    const TLandMark& M = Control.GetLandMarkData(I);
    F.UnsetField(Fd.Time);
    F.SetField(Fd.Name, M.Identifier.ToString().c_str());
    F.SetField(Fd.Desc, M.Caption.Text.ToString().c_str());
    F.SetField(Fd.Altitude, M.Altitude);
    if (M.Time != 0) SetTime(F, Fd.Time, M.Time);
    if (!Gpx) F.SetField(Fd.Class, int(M.ClassFlag));
    F.SetGeometryDirectly(new OGRPoint(M.Longitude, M.Latitude));
    Out.Write(L, F);
  }
  Out.Commit();
  return N;
}

} // namespace qeb::gdal
