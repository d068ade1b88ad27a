// qebgeo: the library's command-line tool. Each subcommand is a thin shell
// over one library call, so the output shows exactly what the library computes.
#include "tools/qebgeo/cli.h"

#include <charconv>
#include <cmath>
#include <iostream>

#include "qebgeolib/platform/base/sysutils.h"

namespace qeb::cli {

// Locale-independent fixed-point text.
std::string Fixed(double V, int Decimals) {
  char Buf[64];
  auto R = std::to_chars(Buf, Buf + sizeof Buf, V, std::chars_format::fixed, Decimals);
  return std::string(Buf, R.ptr);
}

double ParseDouble(std::string_view Text, const char* What) {
  double V = 0;
  auto R = std::from_chars(Text.data(), Text.data() + Text.size(), V);
  if (R.ec != std::errc() || R.ptr != Text.data() + Text.size() || !std::isfinite(V))
    throw EUsage(std::string(What) + ": not a number: \"" + std::string(Text) + "\"");
  return V;
}

int32_t ParseInt(std::string_view Text, const char* What) {
  int32_t V = 0;
  auto R = std::from_chars(Text.data(), Text.data() + Text.size(), V);
  if (R.ec != std::errc() || R.ptr != Text.data() + Text.size())
    throw EUsage(std::string(What) + ": not an integer: \"" + std::string(Text) + "\"");
  return V;
}

double ParseLatitude(std::string_view Text) {
  double V = ParseDouble(Text, "latitude");
  if (V < -90 || V > 90) throw EUsage("latitude must lie in -90..90");
  return V;
}

double ParseLongitude(std::string_view Text) {
  double V = ParseDouble(Text, "longitude");
  if (V < -180 || V > 360) throw EUsage("longitude must lie in -180..360");
  return V;
}

bool ParseHemisphere(std::string_view Text) {
  std::string H = UpperCase(std::string(Text));
  if (H == "N" || H == "NORTH") return false;
  if (H == "S" || H == "SOUTH") return true;
  throw EUsage("hemisphere must be N or S, not \"" + std::string(Text) + "\"");
}

TGeoEllipsoid ParseEllipsoid(std::string_view Text) {
  int32_t N = 0;
  auto R = std::from_chars(Text.data(), Text.data() + Text.size(), N);
  if (R.ec == std::errc() && R.ptr == Text.data() + Text.size()) {
    if (N < 0 || N >= GeoEllipsoidCount) throw EUsage("ellipsoid number must lie in 0..60");
    return static_cast<TGeoEllipsoid>(N);
  }
  std::string Want = LowerCase(std::string(Text));
  for (int32_t i = 0; i < GeoEllipsoidCount; ++i) {
    std::string Id = LowerCase(std::string(GeoEllipsoidId[i]));
    if (Id == Want || Id == "gel" + Want) return static_cast<TGeoEllipsoid>(i);
  }
  throw EUsage("unknown ellipsoid \"" + std::string(Text) + "\" (see: qebgeo ellipsoids)");
}

TGeoEllipsoid OptionalEllipsoid(TArgs A, std::size_t Index) {
  return A.size() > Index ? ParseEllipsoid(A[Index]) : gelWGS84;
}

void Need(TArgs A, std::size_t Min, std::size_t Max) {
  if (A.size() < Min) throw EUsage("too few arguments");
  if (A.size() > Max) throw EUsage("too many arguments");
}

std::string Deg(double Angle) {
  return Fixed(Angle, 8);
}
std::string Metres(double V) {
  return Fixed(V, 3);
}

void Heading(std::string_view Text) {
  std::cout << "\n== " << Text << " ==\n";
}

namespace {

void CmdDemo(TArgs A) {
  Need(A, 0, 0);
  DemoGeo();
  DemoDb();
  DemoCalib();
  DemoView();
}

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> List = [] {
    std::vector<TCommand> L = {{"demo", "demo", "a short tour of the library", CmdDemo}};
    AddGeoCommands(L);
    AddDbCommands(L);
    AddCalibCommands(L);
    AddViewCommands(L);
    return L;
  }();
  return List;
}

void PrintUsage(std::ostream& Out) {
  Out << "usage: qebgeo COMMAND [ARGUMENTS]\n\n";
  for (const TCommand& C : Commands())
    Out << "  " << C.Usage << std::string(C.Usage.size() < 48 ? 48 - C.Usage.size() : 1, ' ')
        << C.Help << '\n';
  Out << "\nAngles are decimal degrees (latitude north, longitude east positive), lengths\n"
         "metres. ELLIPSOID is a number 0..60 or an identifier such as WGS84 or gelBess41;\n"
         "the default is WGS84.\n";
}

} // namespace

void Show(std::string_view Command, std::vector<std::string_view> Args) {
  std::cout << "$ qebgeo " << Command;
  for (auto A : Args)
    std::cout << ' ' << A;
  std::cout << '\n';
  for (const TCommand& C : Commands())
    if (C.Name == Command) C.Run(Args);
}

} // namespace qeb::cli

using namespace qeb::cli;

int main(int argc, char** argv) {
  std::vector<std::string_view> Args(argv + 1, argv + argc);
  if (Args.empty() || Args[0] == "help" || Args[0] == "--help" || Args[0] == "-h") {
    PrintUsage(Args.empty() ? std::cerr : std::cout);
    return Args.empty() ? 2 : 0;
  }
  for (const TCommand& C : Commands()) {
    if (C.Name != Args[0]) continue;
    try {
      C.Run(TArgs(Args).subspan(1));
      return 0;
    } catch (const EUsage& E) {
      std::cerr << "qebgeo " << C.Name << ": " << E.what() << "\nusage: qebgeo " << C.Usage << '\n';
      return 2;
    } catch (const std::exception& E) {
      std::cerr << "qebgeo " << C.Name << ": " << E.what() << '\n';
      return 1;
    }
  }
  std::cerr << "qebgeo: unknown command \"" << Args[0] << "\"\n\n";
  PrintUsage(std::cerr);
  return 2;
}
