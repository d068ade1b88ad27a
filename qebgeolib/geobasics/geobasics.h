// The geodetic module in one include: ellipsoids, countries, TM/UTM/UPS projections, Cartesian
// coordinates and the Helmert datum shift.
#pragma once

#include "qebgeolib/geobasics/countries.h"
#include "qebgeolib/geobasics/datumshift.h"
#include "qebgeolib/geobasics/ellipsoids.h"
#include "qebgeolib/geobasics/projections.h"
