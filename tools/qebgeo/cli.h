// Shared pieces of the qebgeo command line: the command table, argument
// parsing with clear usage errors, number output, and the checks every
// writing command makes. Each module adds its subcommands and its part of the
// demo in its own file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "qebgeolib/geobasics/ellipsoids.h"

#include "qebgeolib/platform/base/types.h"

namespace qeb {
class TGeoDB;
class TVozIza;
} // namespace qeb

namespace qeb::cli {

using TArgs = std::span<const std::string_view>;

// A usage error: the message is printed with the command's usage line.
struct EUsage : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct TCommand {
  std::string_view Name;
  std::string_view Usage;
  std::string_view Help;
  std::function<void(TArgs)> Run;
};

// Locale-independent fixed-point text (see numtext.h); a value that is not
// finite raises std::runtime_error rather than print something that is not a
// number.
std::string Fixed(double V, int Decimals);
std::string Deg(double Angle); // 8 decimals
std::string Metres(double V);  // 3 decimals

// "#RRGGBB" for a plain colour; "0x" and the raw value for one with a high
// byte (system and palette colours), which "#RRGGBB" cannot carry.
std::string ColourText(uint32_t C);

// Parsers that raise EUsage naming What and the offending text.
double ParseDouble(std::string_view Text, const char* What);
int32_t ParseInt(std::string_view Text, const char* What);
double ParseLatitude(std::string_view Text);  // -90..90
double ParseLongitude(std::string_view Text); // -180..360
bool ParseHemisphere(std::string_view Text);  // N or S; true for south
// An ellipsoid by its number (0..60), its identifier ("gelWGS84") or the
// identifier without its prefix ("WGS84"), letter case ignored.
TGeoEllipsoid ParseEllipsoid(std::string_view Text);
// The ellipsoid at A[Index] when given, else WGS 1984.
TGeoEllipsoid OptionalEllipsoid(TArgs A, std::size_t Index);
// Raises EUsage unless Min <= A.size() <= Max.
void Need(TArgs A, std::size_t Min, std::size_t Max);
// V itself, or EUsage "What must lie in Lo..Hi".
double InRange(double V, double Lo, double Hi, const char* What);

// Raises std::runtime_error when Output names the same file (device and inode,
// so links and other spellings count) as one of Inputs: a command must not
// write over what it reads. A missing output or input is no conflict.
void RefuseOutputOnInput(const std::string& Output, const std::vector<std::string>& Inputs);
// Raises the platform's input/output error, which names the reason, when File
// cannot be opened for reading (missing, a directory, a FIFO or device).
void CheckReadable(const std::string& File);
// Flushes a finished output and raises std::runtime_error naming Where when
// any write to it failed.
void CheckWritten(std::ostream& Out, const std::string& Where);

// Demo helpers: a section heading, and a subcommand shown with its output.
void Heading(std::string_view Text);
void Show(std::string_view Command, std::vector<std::string_view> Args);

// Each module's subcommands and its part of the demo.
void AddGeoCommands(std::vector<TCommand>& List);
void DemoGeo();
void AddDbCommands(std::vector<TCommand>& List);
void DemoDb();
void AddCalibCommands(std::vector<TCommand>& List);
void DemoCalib();
void AddViewCommands(std::vector<TCommand>& List);
void DemoView();
void AddLandmarkCommands(std::vector<TCommand>& List);
void DemoLandmarks();
void AddSymbolCommands(std::vector<TCommand>& List);
void DemoSymbols();
void AddAtlasCommands(std::vector<TCommand>& List);
void DemoAtlas();

// The control's view as a PNG file.
void SavePng(TVozIza& V, const std::string& FileName);
// A 2048 x 1024 equirectangular stand-in for the world map where the image
// package is missing, written as world-generated.jpg into Folder; its name.
std::string MakeWorldImage(const std::filesystem::path& Folder);
// Image pixel of a position on a 2048 x 1024 equirectangular world map.
TPoint WorldPixel(double Lat, double Long);
// The equirectangular calibration of that map by its four corners, captioned.
void CalibrateWorldByCorners(TVozIza& V, const std::string& Caption);
// Where the calibration of a generated map of the box LatLo..LatHi,
// LongLo..LongHi and W x H pixels puts a position: the drawing area inside
// EmptyMapMargin, north up.
TPoint GeneratedMapPixel(double LatLo, double LongLo, double LatHi, double LongHi, int32_t W,
                         int32_t H, double Lat, double Long);
// Only in builds with the GDAL binding (QEB_HAVE_GDAL).
void AddGdalCommands(std::vector<TCommand>& List);
void DemoGdal(); // after DemoView, whose calibrated world map it exports

// Loads the landmark set Id (the first set when empty) of File into V; raises
// with the reason when the file cannot be read or holds no such set.
void LoadLandMarkSet(TVozIza& V, const std::string& File, const std::string& Id);

// Loads calibration Id (the first when empty) of CalFile and the map image it
// names (beside the calibration file when not found as given) into V; raises
// with the reason when either is missing or the image holds no picture.
void LoadCalibratedMap(TVozIza& V, const std::string& CalFile, const std::string& Id);

// Opens the existing database file set Name (an extension is dropped) into
// Db; raises when there is none, so that reading never creates one.
void OpenExistingDb(TGeoDB& Db, std::string_view Name);
// Every file of Db's open set, for the check that an output is none of them.
std::vector<std::string> DbFiles(const TGeoDB& Db);

} // namespace qeb::cli
