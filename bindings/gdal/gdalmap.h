// Georeferenced rasters as calibrated maps, through GDAL: any raster GDAL
// reads becomes the picture of a TVozIza with a calibration derived from its
// georeferencing, and a calibrated map goes back out as an image GIS programs
// place where it belongs. This header includes no GDAL header, so users of
// the binding need GDAL only at link time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/voziza/calibration.h"
#include "qebgeolib/voziza/view.h"

namespace qeb::gdal {

// Every failure of the binding: files GDAL refuses, rasters without
// georeferencing, coordinate systems or ellipsoids the library has no model
// for, fits worse than one pixel. The message names the file and the reason.
class EQEBGdalError : public EQEBError {
public:
  using EQEBError::EQEBError;
};

// One calibration model tried on a projected raster and its largest residual.
struct TModelFit {
  TCalibModel Model = cmUndefined;
  double MaxResidual = 0; // pixels, the longest residual over the grid points
};

// What opening a raster found and did.
struct TGdalMapInfo {
  std::string Driver;      // GDAL's short name, e.g. "GTiff"
  std::string CoordSystem; // the name of the raster's coordinate system
  int32_t RasterWidth = 0; // the raster as stored
  int32_t RasterHeight = 0;
  int32_t ImageWidth = 0; // the picture as read, after any reduction
  int32_t ImageHeight = 0;
  double Reduction = 1;            // raster pixels per picture pixel (1: full size)
  TCalibModel Model = cmUndefined; // the model of the derived calibration
  double MaxResidual = 0;          // of that model over its points, pixels
  std::vector<TModelFit> Fits;     // every model tried (projected systems only)
};

// A raster read into memory: the picture and its calibration. Picture pixels
// are whole pixels with the pixel's centre at the integer position, as the
// map control counts them.
struct TGdalMap {
  TBitmap Image;
  TCalibData Calib;
  TGdalMapInfo Info;
};

// Reads FileName into Map. The picture is pf24bit for colour rasters, pf8bit
// with the raster's palette for palette rasters and with 256 greys for grey
// ones; bands of other sample types are scaled linearly from the smallest to
// the largest value read (no-data values left out) onto 0..255. A raster of
// more than MaxPixels pixels is read reduced (GDAL's overviews or nearest
// neighbour) to the largest size of the same shape within MaxPixels, and the
// calibration describes the reduced picture.
//
// The calibration: geographic coordinates give cmEquiRect from the four
// corner pixels, UTM gives cmUTM with zone, hemisphere and the corner pixels,
// both on the library's ellipsoid of the same axes; any other projected
// system is sampled on a grid of 12 x 12 pixels transformed to latitude and
// longitude of its own datum, every point model is fitted, and the one with
// the smallest largest residual is kept. Raises EQEBGdalError, with Map
// unchanged, when GDAL cannot read the file, the raster has no geotransform,
// the coordinate system or its ellipsoid is unknown, or no model fits within
// one pixel.
void ReadGdalMap(const std::string& FileName, TGdalMap& Map, int64_t MaxPixels = MaxMapImgPixels);

// Reads the raster as ReadGdalMap does and only then makes it the control's
// picture and calibration (caption: the file name without folder); on any
// error the control keeps what it showed.
TGdalMapInfo OpenGdalMap(TVozIza& Control, const std::string& FileName);

// Writes the control's picture as FileName and, when the model is affine in
// the coordinates of a coordinate system (cmEquiRect: degrees; cmUTM:
// metres), a world file (extension: first and last letter of the image's and
// "w", e.g. .jgw, .pgw, .tfw) and a .prj beside it. The format follows the
// extension (.tif/.tiff GeoTIFF, .png, .jpg/.jpeg). A GeoTIFF carries the
// georeferencing itself: a geotransform for the affine models, else ground
// control points on a grid of 10 x 10 pixels, geographic on the
// calibration's ellipsoid. Raises EQEBGdalError for an uncalibrated control,
// an empty picture, an unknown extension or a write GDAL refuses.
void ExportGdalMap(const TVozIza& Control, const std::string& FileName);

// The well-known text (WKT 1) of the coordinate system of a calibration's
// model: geographic on its ellipsoid for every model but cmUTM, the UTM zone
// of the calibration for cmUTM.
std::string CalibrationWKT(const TCalibData& Calib, TCalibModel Model);

} // namespace qeb::gdal
