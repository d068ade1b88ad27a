// Earth-centred Cartesian coordinates and the seven-parameter (Helmert) datum shift between the
// 271 datums of the library's datum table, through WGS 1984.
#pragma once

#include <cstdint>

#include "qebgeolib/geobasics/ellipsoids.h"
#include "qebgeolib/platform/base/text.h"

namespace qeb {

// One datum and its shift towards WGS 1984.
//
// ROTATION CONVENTION: position vector (EPSG method 1033/9606). A point (X, Y, Z) of the datum
// goes to WGS 1984 as
//   X1 = dX + m·( X    − rZ·Y + rY·Z)
//   Y1 = dY + m·( rZ·X + Y    − rX·Z)
//   Z1 = dZ + m·(−rY·X + rX·Y + Z   ),   m = 1 + Scale·1e-6, rotations in radians.
// Parameter sets published in the coordinate-frame convention (EPSG 1032/9607) have the opposite
// rotation signs and must be negated before they are compared with or added to this table;
// mixing the two is the classic datum-shift error, worth up to tens of metres.
struct TGeoDatum {
  TShortString<33> Name; // upper case as stored, e.g. "EUROPEAN DATUM 1950"
  TShortString<35> Area; // area of use, e.g. "Denmark"
  TGeoEllipsoid Ellipsoid;
  double dX, dY, dZ; // metres
  double Scale;      // parts per million
  double rX, rY, rZ; // arc seconds
};

// Datums are numbered 1..GeoDatumCount. Number 269 is WGS 1984 itself (all parameters 0).
inline constexpr int32_t GeoDatumCount = 271;
inline constexpr int32_t GeoDatumWGS84 = 269;

// The datum with the given number, or nullptr outside 1..GeoDatumCount. The table is constant.
const TGeoDatum* GeoDatumRecord(int32_t Number);

// Geographic (degrees, metres above the ellipsoid) to Earth-centred Cartesian (metres).
void GeoToCartesian(double Latitude, double Longitude, double Height, TGeoEllipsoid Ellipsoid,
                    double& X, double& Y, double& Z);

// Earth-centred Cartesian to geographic, in closed form (no iteration); millimetre-exact for
// points within some ten kilometres of the surface. Spheres take f = 0.
// On the polar axis (X = Y = 0) the closed form would divide by zero; there the result is
// latitude +90 for Z >= 0 (the centre of the Earth included) and -90 for Z < 0, longitude 0 and
// height |Z| - b. Longitude lies in -180..180; a point on the ±180° meridian may come back with
// either sign.
void CartesianToGeo(double X, double Y, double Z, TGeoEllipsoid Ellipsoid, double& Latitude,
                    double& Longitude, double& Height);

// Status values of HelmertTransform.
inline constexpr int32_t htOk = 0;
inline constexpr int32_t htBadSource = -1;
inline constexpr int32_t htBadTarget = -2;
inline constexpr int32_t htBadLatitude = -3;
inline constexpr int32_t htBadLongitude = -4;

// Shifts a position from datum Source to datum Target (numbers 1..GeoDatumCount): to Cartesian
// on the source ellipsoid, forward with the source's parameters to WGS 1984, backward with the
// target's parameters negated, back to geographic on the target ellipsoid (position-vector
// rotations, see TGeoDatum).
//
// Status: the checks run in the order source number (-1), target number (-2), latitude outside
// -90..90 (-3), longitude outside -180..180 (-4), and the last failing one is returned; 0 when
// all pass. NaN counts as outside. With a bad latitude or longitude the shift is still computed;
// whenever a datum number is invalid (even when a later status hides it) the outputs are left as
// they were.
int32_t HelmertTransform(int32_t Source, double Latitude, double Longitude, double Height,
                         int32_t Target, double& OutLatitude, double& OutLongitude,
                         double& OutHeight);

} // namespace qeb
