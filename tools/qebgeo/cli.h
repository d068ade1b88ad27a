// Shared pieces of the qebgeo command line: the command table, argument
// parsing with clear usage errors, and locale-independent number texts. Each
// module adds its subcommands and its part of the demo in its own file.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "qebgeolib/geobasics/ellipsoids.h"

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

// Locale-independent fixed-point text.
std::string Fixed(double V, int Decimals);
std::string Deg(double Angle); // 8 decimals
std::string Metres(double V);  // 3 decimals

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

} // namespace qeb::cli
