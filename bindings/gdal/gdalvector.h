// Vector data through OGR: a TGeoDB out to any OGR vector format and back,
// and landmarks from and to point sources (GPX, KML, GeoPackage, CSV, ...).
// This header includes no GDAL header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bindings/gdal/gdalmap.h"
#include "qebgeolib/geodb/geodb.h"

namespace qeb::gdal {

// Progress of a long export or import, in percent (0..100, rising), called
// when the percentage changes.
using TGdalProgress = std::function<void(int32_t Percent)>;

// Database export. The format follows the extension: .gpkg GeoPackage,
// .geojson/.json GeoJSON, .kml KML, .csv CSV (geometry as WKT in column
// "WKT"), .shp Shapefile; a name without extension is a folder of
// Shapefiles. Geometries are longitude/latitude on WGS 84 (EPSG:4326).
//
// Layers by geometry, created only when they get features: "towns" (points),
// "areas" (polygons: closed borders and cities, lakes) and "lines" (line
// strings: rivers, roads, routes, open borders and cities, and any polygon
// item of fewer than three points). GeoJSON and CSV hold one layer, "items",
// with all three; a single .shp file holds one geometry type and is refused
// for a database that needs two. Attributes: id (the item identifier),
// kind (Border, Town, City, Lake, River, Road, Route), class, name, altitude.
// BLOBs have no geometry and are left out (counted). A file is written
// beside the output (".part-" and its name) and renamed over it when
// complete, so a failed export leaves an earlier output as it was; a folder
// of Shapefiles must not exist yet; a single .shp is replaced in place.
struct TDBExportReport {
  int64_t Features = 0;     // written
  int32_t SkippedBlobs = 0; // BLOB items and items of unknown kind
};
TDBExportReport ExportGeoDB(TGeoDB& DB, const std::string& FileName,
                            const TGdalProgress& Progress = {});

// Database import from every layer of any OGR source. The item kind comes
// from the attribute "kind" (letter case ignored) when it names a kind that
// fits the geometry (Town: a point; the others: a line or polygon); otherwise
// from the geometry: points PointKind, line strings LineKind, polygons
// AreaKind. Multi-geometries and collections give one item per member; of a
// polygon only the outer ring is kept (holes are counted), without the
// repeated first point, and the item is closed. Lakes are always closed;
// rivers, roads and routes never. name, class (0..255) and altitude come
// from the attributes of those names (altitude else a point's Z); the id
// attribute is not kept, the database numbers the items itself.
// Coordinates in another coordinate system are transformed to WGS 84; a
// layer without one is taken as longitude/latitude.
//
// The whole source is read and checked before the database changes:
// a source OGR cannot open, a coordinate that is not finite or outside
// -90..90 / -180..360 degrees, a feature of more than MaxItemPoints points
// or a closed database raise EQEBGdalError with the database unchanged.
// Should adding fail on the way (a full disk), the items already added are
// deleted again before the error is passed on.
struct TDBImportOptions {
  TgdbItem PointKind = gitTown;
  TgdbItem LineKind = gitRoad;
  TgdbItem AreaKind = gitBorder;
  TGdalProgress Progress; // reading 0..50, adding 50..100
};
struct TDBImportReport {
  int32_t Added = 0;
  int32_t SkippedFeatures = 0; // without geometry or with an empty one
  int32_t DroppedHoles = 0;
};
inline constexpr int32_t MaxItemPoints = 1 << 24;
TDBImportReport ImportGeoDB(TGeoDB& DB, const std::string& Source,
                            const TDBImportOptions& Options = {});

// Landmark import: every point of the source's point layers (GPX route and
// track points belong to their routes and tracks and are left out; MultiPoint
// members count one by one) is added as a landmark of the control's default
// look. Attributes, letter case ignored: name becomes the identifier (cut to
// 15 characters) or, with NameAsCaption, the caption text (80 characters);
// altitude from ele or altitude, else the point's Z; class (0..255); time
// (a date and time, UTC). Coordinates as for ImportGeoDB. Everything is read
// and checked first: an unreadable source or a bad coordinate raises
// EQEBGdalError with the list unchanged. The control's OnLandMarkAction may
// still refuse single landmarks. Returns the number added.
int32_t ImportGdalLandmarks(TVozIza& Control, const std::string& Source,
                            bool NameAsCaption = false);

// Landmark export: one point layer ("waypoints" in GPX, else "landmarks")
// with name (the identifier), desc (the caption text), ele (the altitude),
// time (when set) and, except in GPX, class. Formats by extension as for
// ExportGeoDB, and .gpx. Returns the number written.
int32_t ExportGdalLandmarks(const TVozIza& Control, const std::string& FileName);

} // namespace qeb::gdal
