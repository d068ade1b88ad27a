// qebgeo: the library's command-line tool. Each subcommand is a thin shell
// over one library call, so the output shows exactly what the library computes.
#include "tools/qebgeo/cli.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <iostream>

#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "tools/qebgeo/numtext.h"

namespace qeb::cli {

namespace {

// Range bounds in messages: "1e+08" rather than "100000000.000".
std::string ShortNumber(double V) {
  char Buf[32];
  const auto R = std::to_chars(Buf, Buf + sizeof Buf, V);
  return std::string(Buf, R.ptr);
}

} // namespace

std::string Fixed(double V, int Decimals) {
  std::string S;
  if (!FormatFixed(V, Decimals, S)) throw std::runtime_error("the result is not a finite number");
  return S;
}

std::string ColourText(uint32_t C) {
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "0x" + Hex(...).
  std::string S = C >> 24 != 0 ? "0x" : "#";
  if (C >> 24 != 0) return S.append(Hex(C, 8));
  return S.append(Hex(C & 0xFF, 2)).append(Hex(C >> 8 & 0xFF, 2)).append(Hex(C >> 16 & 0xFF, 2));
}

double ParseDouble(std::string_view Text, const char* What) {
  double V = 0;
  if (!ParseNumber(Text, V))
    throw EUsage(std::string(What) + ": not a finite number: \"" + std::string(Text) + "\"");
  return V;
}

int32_t ParseInt(std::string_view Text, const char* What) {
  int32_t V = 0;
  if (!ParseInteger(Text, V))
    throw EUsage(std::string(What) + ": not an integer: \"" + std::string(Text) + "\"");
  return V;
}

double InRange(double V, double Lo, double Hi, const char* What) {
  if (!(V >= Lo && V <= Hi))
    throw EUsage(std::string(What) + " must lie in " + ShortNumber(Lo) + ".." + ShortNumber(Hi));
  return V;
}

void RefuseOutputOnInput(const std::string& Output, const std::vector<std::string>& Inputs) {
  struct stat Out;
  if (Output.empty() || ::stat(Output.c_str(), &Out) != 0) return;
  for (const std::string& In : Inputs) {
    struct stat St;
    if (!In.empty() && ::stat(In.c_str(), &St) == 0 && St.st_dev == Out.st_dev &&
        St.st_ino == Out.st_ino)
      throw std::runtime_error("the output \"" + Output + "\" is the input file \"" + In +
                               "\"; refusing to write over it");
  }
}

void CheckReadable(const std::string& File) {
  TFileStream Probe(File, fmOpenRead);
}

void CheckWritten(std::ostream& Out, const std::string& Where) {
  Out.flush();
  if (!Out) throw std::runtime_error("cannot write " + Where);
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
  DemoLandmarks();
  DemoSymbols();
  DemoAtlas();
#ifdef QEB_HAVE_GDAL
  DemoGdal();
#endif
}

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> List = [] {
    std::vector<TCommand> L = {{"demo", "demo", "a short tour of the library", CmdDemo}};
    AddGeoCommands(L);
    AddDbCommands(L);
    AddCalibCommands(L);
    AddViewCommands(L);
    AddLandmarkCommands(L);
    AddSymbolCommands(L);
    AddAtlasCommands(L);
#ifdef QEB_HAVE_GDAL
    AddGdalCommands(L);
#endif
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
      // A result that did not reach its reader is no success.
      CheckWritten(std::cout, "the standard output");
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
