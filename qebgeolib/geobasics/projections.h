// Transverse Mercator, UTM and UPS conversions on the ellipsoids of the library.
//
// The Transverse Mercator formulas are the classic truncated series (to the eighth power of the
// longitude difference). On WGS 1984 they stay within about 0.02 mm of the exact projection up
// to 3° from the central meridian and within about 1 mm up to 6°; further out the error grows
// quickly. No function raises, allocates or loops more than a fixed number of times; NaN or
// infinite input gives non-finite output (and zone 0 for the UTM zone).
#pragma once

#include <cstdint>
#include <string>

#include "qebgeolib/geobasics/ellipsoids.h"

namespace qeb {

// UTM grid constants.
inline constexpr double UTMScaleFactor = 0.9996;
inline constexpr double UTMFalseEasting = 500000.0;
inline constexpr double UTMFalseNorthingSouth = 10000000.0;
// UPS grid constants.
inline constexpr double UPSScaleFactor = 0.994;
inline constexpr double UPSFalseOrigin = 2000000.0; // both easting and northing

// ---- Transverse Mercator primitives: angles in radians, scale factor 1, no false origin.

// Length of the meridian arc from the equator to latitude Phi, metres (negative south).
double ArcLengthOfMeridian(double Phi, TGeoEllipsoid Ellipsoid);

// Central meridian of a UTM zone, radians: (6·Zone − 183)°; 0 for a zone outside 1..60.
double UTMCentralMeridian(int32_t Zone);

// Latitude Phi and longitude Lambda to x (east) and y (north) about the central meridian Lambda0.
void LatLongToTM(double Phi, double Lambda, double Lambda0, TGeoEllipsoid Ellipsoid, double& X,
                 double& Y);

// The inverse of LatLongToTM. Like the forward series it is meant for the UTM belt: as the
// footpoint latitude nears a pole the terms in tan φf grow without bound (use UPS there).
void TMToLatLong(double X, double Y, double Lambda0, TGeoEllipsoid Ellipsoid, double& Phi,
                 double& Lambda);

// ---- UTM and UPS: angles in degrees, grid coordinates in metres.

// The UTM zone (1..60) and latitude band letter ('C'..'X' without 'I' and 'O') of a position,
// with the Norway (32V) and Svalbard (31X, 33X, 35X, 37X) exceptions. Outside latitudes -80..84
// or longitudes -180..<180 (NaN included) the zone is 0 and the letter a space.
// The letter is a plain char: the letters are ASCII and API text is UTF-8, so it goes into a
// std::string as it is.
void GeoToUTMZone(double Latitude, double Longitude, int32_t& Zone, char& ZoneLetter);

// The same as text: the zone number followed by the letter ("33U"), or empty text for zone 0.
std::string GeoToUTMZone(double Latitude, double Longitude);

// Easting X and northing Y in the position's own UTM zone (GeoToUTMZone, exceptions included).
// Southern points get the false northing, so Y lies in 0..10000000 in both hemispheres. A
// position outside the UTM range yields Zone 0 and a projection about the meridian 0.
void LatLongToUTM(double Latitude, double Longitude, TGeoEllipsoid Ellipsoid, int32_t& Zone,
                  double& X, double& Y);

// The inverse of LatLongToUTM for the given zone and hemisphere (a zone outside 1..60 means the
// central meridian 0).
void UTMToLatLong(double X, double Y, int32_t Zone, bool SouthernHemisphere,
                  TGeoEllipsoid Ellipsoid, double& Latitude, double& Longitude);

// Universal Polar Stereographic: the northern cap for Latitude >= 0, else the southern cap.
void LatLongToUPS(double Latitude, double Longitude, TGeoEllipsoid Ellipsoid, double& X, double& Y);

// The inverse of LatLongToUPS; the latitude comes from at most six Newton steps. At the poles
// themselves the longitude is 180 (north) and 0 (south).
void UPSToLatLong(double X, double Y, bool SouthernHemisphere, TGeoEllipsoid Ellipsoid,
                  double& Latitude, double& Longitude);

} // namespace qeb
