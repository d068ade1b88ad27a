// The binding's own helpers shared by its sources: GDAL's registration and
// error reporting, and the match of GDAL's ellipsoids to the library's. Not
// installed; it includes GDAL's headers.
#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <string>

#include "bindings/gdal/gdalmap.h"
#include "qebgeolib/geobasics/ellipsoids.h"

namespace qeb::gdal {

// While alive: the drivers are registered (once a process) and GDAL's errors
// are collected instead of printed, so Fail can quote the last one.
class TGdalErrors {
public:
  TGdalErrors();
  ~TGdalErrors();
  TGdalErrors(const TGdalErrors&) = delete;
  TGdalErrors& operator=(const TGdalErrors&) = delete;
};

// Raises EQEBGdalError "GDAL: <file>: <Why>", with GDAL's last message after
// a colon when it has one.
[[noreturn]] void Fail(const std::string& FileName, const std::string& Why);

// Opens a raster for reading or fails naming GDAL's reason.
GDALDatasetUniquePtr OpenRaster(const std::string& FileName);

// The library's ellipsoid with the axes of the coordinate system's (within a
// millimetre, the nearest when several agree); fails for any other.
TGeoEllipsoid MatchEllipsoid(const std::string& FileName, const OGRSpatialReference& Srs);

// The geographic coordinate system on one of the library's ellipsoids
// (EPSG 4326 for WGS 84), axes in longitude, latitude order.
void SetEllipsoidGeogCS(OGRSpatialReference& Srs, TGeoEllipsoid Ellipsoid);

// A number for messages: up to three decimals, no exponent, locale-free.
std::string FormatNumber(double Value);

} // namespace qeb::gdal
