// qebgeo subcommands of the calibration module: show a calibration file,
// convert between pixels and latitude/longitude, and fit a calibration from
// a points file; and the calibration part of the demo.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/textfile.h"
#include "qebgeolib/voziza/calibration.h"
#include "tools/qebgeo/cli.h"

namespace qeb::cli {

namespace {

// A calibration without a map control: the image is not loaded, its size is
// what the command line gives (0 x 0 by default; it matters only for the
// corners and the start of the conic fit).
class TCliCalib : public TVozIzaCalibration {
public:
  int32_t Width = 0, Height = 0;
  std::string ImgFile;
  const TCalibData& Data() const { return FCalibData; }

protected:
  std::string CalibComponentName() const override { return "qebgeo"; }
  int32_t GetMapImgWidth() const override { return Width; }
  int32_t GetMapImgHeight() const override { return Height; }
  std::string GetMapImgFile() const override { return ImgFile; }
  void SetMapImgName(const std::string& Name) override { ImgFile = Name; }
  void ClearMapImage() override { ImgFile.clear(); }
  void CalibrationChanged() override {}
};

// Loads calibration Id of File; WIDTH HEIGHT, when given, follow the
// identifier at A[IdIndex].
void Load(TCliCalib& C, TArgs A, std::size_t FileIndex, std::size_t IdIndex) {
  const std::string File(A[FileIndex]);
  const std::string Id = A.size() > IdIndex ? std::string(A[IdIndex]) : std::string();
  if (A.size() == IdIndex + 2) throw EUsage("WIDTH needs HEIGHT");
  if (A.size() > IdIndex + 2) {
    C.Width = ParseInt(A[IdIndex + 1], "width");
    C.Height = ParseInt(A[IdIndex + 2], "height");
    if (C.Width < 0 || C.Height < 0) throw EUsage("the image size must not be negative");
  }
  TCalibData D;
  TCalibModel M = cmUndefined;
  CheckReadable(File);
  if (!ParseCalibData(File, Id, D, M))
    throw std::runtime_error("no calibration" + (Id.empty() ? "" : " \"" + Id + "\"") + " in \"" +
                             File + "\"");
  C.LoadCalDataFromXML(File, Id);
}

// Why the calibration cannot convert, or empty when it can. Without enough
// points a fit leaves zero parameters that would put every pixel at 0 0, and
// a UTM calibration needs a real zone for its central meridian.
std::string ConversionProblem(const TCliCalib& C) {
  const TCalibData& D = C.Data();
  const TCalibModel Model = C.GetCalibModel();
  const std::string Name(CalibModelNames[Model <= cmUndefined ? Model : cmUndefined]);
  switch (Model) {
  case cmParabolicIp: {
    int32_t Fitted[2] = {0, 0};
    for (int32_t K = 1; K <= D.NumCalLines; ++K)
      if (D.CalLines[K].NumPoints >= 3) ++Fitted[D.CalLines[K].LineType == gtlParallel ? 0 : 1];
    if (Fitted[0] < 2 || Fitted[1] < 2)
      return "the model parabolicip needs two parallels and two meridians of three points or "
             "more each";
    return {};
  }
  case cmBiquadraticPn:
  case cmConicConformal:
  case cmMillerCylindrical:
  case cmEquiRect:
  case cmUTM: {
    const int32_t Need = Model == cmBiquadraticPn ? 6 : 3;
    if (D.NumCalQuads < Need)
      return "the model " + Name + " needs at least " + std::to_string(Need) +
             " calibration points, the calibration has " + std::to_string(D.NumCalQuads);
    if (Model == cmUTM && (D.UTMZone < 1 || D.UTMZone > 60))
      return "the UTM zone " + std::to_string(D.UTMZone) + " is invalid (zones 1..60)";
    return {};
  }
  default:
    return "the calibration has no model";
  }
}

void RequireConversion(const TCliCalib& C) {
  const std::string Problem = ConversionProblem(C);
  if (!Problem.empty()) throw std::runtime_error("cannot convert: " + Problem);
}

// A number for a message, also when it is not finite.
std::string Shown(double V) {
  return std::isfinite(V) ? Fixed(V, 3) : std::string("not a number");
}

const char* const CornerNames[] = {"top left", "bottom left", "bottom right", "top right"};

void PrintCalibration(const TCliCalib& C) {
  const TCalibData& D = C.Data();
  std::cout << "model       " << CalibModelNames[C.GetCalibModel()] << '\n'
            << "map         " << (D.MapFName.empty() ? "(none)" : D.MapFName) << '\n'
            << "caption     " << (D.Caption.empty() ? "(none)" : D.Caption) << '\n';
  for (int K = 0; K < 4; ++K)
    std::cout << (K == 0 ? "corners     " : "            ") << CornerNames[K]
              << std::string(14 - std::string_view(CornerNames[K]).size(), ' ')
              << Deg(D.Corners[K].Latit) << ' ' << Deg(D.Corners[K].Longit) << '\n';
  std::cout << "resolution  " << Metres(D.Resolution) << " m/pixel\n";
  if (D.UTMZone >= 1 && D.UTMZone <= 60)
    std::cout << "utm         zone " << D.UTMZone << (D.UTMSouth ? " south" : " north") << ", "
              << GeoEllipsoidId[D.Ellipsoid] << '\n';
  else if (D.UTMZone != -1 || C.GetCalibModel() == cmUTM)
    std::cout << "utm         zone " << D.UTMZone << " (invalid: zones 1..60)\n";
  std::cout << "lines       " << D.NumCalLines << '\n';
  for (int32_t K = 1; K <= D.NumCalLines; ++K) {
    const TCalibLine& L = D.CalLines[K];
    std::cout << "  " << (L.LineType == gtlParallel ? "parallel " : "meridian ") << Deg(L.LineValue)
              << ':';
    for (int32_t P = 1; P <= L.NumPoints; ++P)
      std::cout << " (" << L.CalPoints[P].X << ',' << L.CalPoints[P].Y << ')';
    std::cout << '\n';
  }
  std::cout << "quads       " << D.NumCalQuads << '\n';
  const std::string Problem = ConversionProblem(C);
  if (!Problem.empty()) std::cout << "conversion  not possible: " << Problem << '\n';
  double RMS = 0;
  const std::vector<TCalibResidual> Rows = C.CalibResiduals(RMS);
  if (Rows.empty()) return;
  double QX = 0, QY = 0;
  C.CalibQuality(QX, QY);
  std::cout << "quality     x " << Fixed(QX, 3) << "  y " << Fixed(QY, 3)
            << " pixels (RMS of the rounded pixels)\n";
  const bool UTM = C.GetCalibModel() == cmUTM;
  std::cout << "residuals (stored pixel minus computed pixel)\n"
            << (UTM ? "    #       northing        easting" : "    #       latitude      longitude")
            << "       x       y        dx        dy\n";
  for (const TCalibResidual& R : Rows) {
    auto Col = [](const std::string& S, std::size_t W) {
      return std::string(S.size() < W ? W - S.size() : 0, ' ') + S;
    };
    std::cout << Col(std::to_string(R.Index), 5) << Col(Fixed(R.Quad.Latitude, 5), 15)
              << Col(Fixed(R.Quad.Longitude, 5), 15) << Col(std::to_string(R.Quad.MapX), 8)
              << Col(std::to_string(R.Quad.MapY), 8)
              << (R.Valid ? Col(Fixed(R.DX, 3), 10) + Col(Fixed(R.DY, 3), 10)
                          : std::string("   (cannot place)"))
              << '\n';
  }
  std::cout << "RMS         " << Fixed(RMS, 3) << " pixels\n";
}

void CmdShow(TArgs A) {
  Need(A, 1, 4);
  TCliCalib C;
  Load(C, A, 0, 1);
  PrintCalibration(C);
}

void CmdPixel(TArgs A) {
  Need(A, 3, 6);
  TCliCalib C;
  const int32_t X = ParseInt(A[1], "x"), Y = ParseInt(A[2], "y");
  Load(C, A, 0, 3);
  RequireConversion(C);
  bool V1 = false, V2 = false;
  const double Lat = C.CalcLatitude(X, Y, V1), Long = C.CalcLongitude(X, Y, V2);
  if (!V1 || !V2)
    throw std::runtime_error(std::string("the calibration (model ") +
                             std::string(CalibModelNames[C.GetCalibModel()]) +
                             ") cannot convert pixels");
  // Far outside the image the fitted functions leave the globe; a longitude
  // may wrap around once, but not more.
  if (!(std::fabs(Lat) <= 90 && std::fabs(Long) <= 360))
    throw std::runtime_error("pixel (" + std::to_string(X) + ", " + std::to_string(Y) +
                             ") lies off the globe: latitude " + Shown(Lat) + ", longitude " +
                             Shown(Long) + " (valid: latitudes -90..90, longitudes -360..360)");
  std::cout << Deg(Lat) << ' ' << Deg(Long) << '\n';
}

void CmdGeo(TArgs A) {
  Need(A, 3, 6);
  TCliCalib C;
  const double Lat = ParseLatitude(A[1]), Long = ParseLongitude(A[2]);
  Load(C, A, 0, 3);
  RequireConversion(C);
  int32_t X = 0, Y = 0;
  if (!C.CalcPixelCoords(Lat, Long, X, Y))
    throw std::runtime_error(std::string("the calibration (model ") +
                             std::string(CalibModelNames[C.GetCalibModel()]) +
                             ") cannot place this position");
  std::cout << X << ' ' << Y << '\n';
}

// The points file: one item a line, '#' starts a comment.
//   model NAME            one of the model names (default equirect)
//   size WIDTH HEIGHT     the map image size in pixels
//   map NAME, caption TEXT
//   zone ZONE N|S, ellipsoid ELLIPSOID    (UTM)
//   parallel LAT X Y, meridian LONG X Y   (graticule points)
//   A B X Y               a quad: latitude and longitude, or northing and
//                         easting under the model utm
// No line of a points file needs to be long; a longer one is not a points file.
constexpr std::size_t kMaxPointsLine = 4096;

void CmdFit(TArgs A) {
  Need(A, 2, 3);
  const std::string PointsName(A[0]), Out(A[1]);
  RefuseOutputOnInput(Out, {PointsName});
  TTextFile In(PointsName);
  In.Reset();
  TCliCalib C;
  TCalibData D;
  D.UTMZone = -1;
  TCalibModel Model = cmEquiRect;
  std::string Line;
  for (int LineNo = 1; In.ReadLn(Line); ++LineNo) {
    const std::string Where = "line " + std::to_string(LineNo);
    if (Line.size() > kMaxPointsLine)
      throw EUsage(Where + " is longer than " + std::to_string(kMaxPointsLine) + " characters");
    Line = Trim(Line.substr(0, Line.find('#')));
    if (Line.empty()) continue;
    std::istringstream S(Line);
    std::vector<std::string> W;
    for (std::string T; S >> T;)
      W.push_back(T);
    const std::string Key = LowerCase(W[0]);
    auto Want = [&](std::size_t N) {
      if (W.size() != N)
        throw EUsage(Where + ": \"" + Key + "\" takes " + std::to_string(N - 1) + " values");
    };
    auto Num = [&](std::size_t I) { return ParseDouble(W[I], Where.c_str()); };
    auto Int = [&](std::size_t I) { return ParseInt(W[I], Where.c_str()); };
    if (Key == "model") {
      Want(2);
      bool Known = false;
      for (int32_t M = cmParabolicIp; M <= cmUTM; ++M)
        if (LowerCase(W[1]) == CalibModelNames[M]) {
          Model = static_cast<TCalibModel>(M);
          Known = true;
        }
      if (!Known) throw EUsage(Where + ": unknown model \"" + W[1] + "\"");
    } else if (Key == "size") {
      Want(3);
      C.Width = Int(1);
      C.Height = Int(2);
      if (C.Width < 0 || C.Height < 0) throw EUsage(Where + ": negative size");
    } else if (Key == "map" || Key == "caption") {
      const std::string Value = Trim(Line.substr(W[0].size()));
      (Key == "map" ? C.ImgFile : D.Caption) = Value;
    } else if (Key == "zone") {
      Want(3);
      D.UTMZone = Int(1);
      if (D.UTMZone < 1 || D.UTMZone > 60) throw EUsage(Where + ": zone must lie in 1..60");
      D.UTMSouth = ParseHemisphere(W[2]);
    } else if (Key == "ellipsoid") {
      Want(2);
      D.Ellipsoid = ParseEllipsoid(W[1]);
    } else if (Key == "parallel" || Key == "meridian") {
      Want(4);
      const TGratLineKind Kind = Key == "parallel" ? gtlParallel : gtlMeridian;
      const double Value = Num(1);
      int32_t K = 1;
      while (K <= D.NumCalLines &&
             !(D.CalLines[K].LineType == Kind && D.CalLines[K].LineValue == Value))
        ++K;
      if (K > D.NumCalLines) {
        if (D.NumCalLines == MaxCalLines) throw EUsage(Where + ": more than 25 graticule lines");
        D.CalLines[++D.NumCalLines] = TCalibLine{Kind, Value, 0, {}};
      }
      TCalibLine& L = D.CalLines[K];
      if (L.NumPoints == MaxCalLinePoints) throw EUsage(Where + ": more than 10 points in a line");
      L.CalPoints[++L.NumPoints] = TPoint{Int(2), Int(3)};
    } else {
      if (W.size() != 4)
        throw EUsage(Where + ": expected a keyword or the four values of a quad, not \"" + Line +
                     "\"");
      if (D.NumCalQuads == MaxCalQuads) throw EUsage(Where + ": more than 200 quads");
      D.CalQuads[++D.NumCalQuads] = TCalQuad{Num(0), Num(1), Int(2), Int(3)};
    }
  }
  In.Close();
  if (Model == cmUTM && D.UTMZone < 1) throw EUsage("the model utm needs a \"zone\" line");
  if (D.NumCalLines == 0 && D.NumCalQuads == 0)
    throw std::runtime_error("\"" + PointsName + "\" holds no calibration points");
  C.SetCalibData(D);
  C.SetCalibModel(Model);
  RequireConversion(C);
  C.SaveCalDataAsXML(Out, A.size() > 2 ? std::string(A[2]) : std::string());
  std::cout << "written     " << Out << '\n';
  PrintCalibration(C);
}

struct TVerb {
  std::string_view Name, Usage;
  void (*Run)(TArgs);
};

const TVerb Verbs[] = {
    {"show", "calib show FILE [ID [WIDTH HEIGHT]]", CmdShow},
    {"pixel", "calib pixel FILE X Y [ID [WIDTH HEIGHT]]", CmdPixel},
    {"geo", "calib geo FILE LAT LONG [ID [WIDTH HEIGHT]]", CmdGeo},
    {"fit", "calib fit POINTS OUT [ID]", CmdFit},
};

void CmdCalib(TArgs A) {
  if (A.empty() || A[0] == "help") {
    std::cout << "usage:\n";
    for (const TVerb& V : Verbs)
      std::cout << "  qebgeo " << V.Usage << '\n';
    std::cout << "\nFILE is a calibration file, ID its data identifier (default: the first).\n"
                 "WIDTH HEIGHT give the map image size, which the corners and the conic fit\n"
                 "use. A POINTS file holds one item a line ('#' starts a comment):\n"
                 "  model NAME | size WIDTH HEIGHT | map NAME | caption TEXT\n"
                 "  zone ZONE N|S | ellipsoid ELLIPSOID             (model utm)\n"
                 "  parallel LAT X Y | meridian LONG X Y            (model parabolicip)\n"
                 "  LAT LONG X Y, or NORTHING EASTING X Y under utm (quad models)\n";
    if (A.empty()) throw EUsage("which calibration command?");
    return;
  }
  for (const TVerb& V : Verbs) {
    if (A[0] != V.Name) continue;
    try {
      V.Run(A.subspan(1));
    } catch (const EUsage& E) {
      throw EUsage(std::string(E.what()) + " (usage: qebgeo " + std::string(V.Usage) + ")");
    }
    return;
  }
  throw EUsage("unknown calibration command \"" + std::string(A[0]) +
               "\" (see: qebgeo calib help)");
}

} // namespace

void AddCalibCommands(std::vector<TCommand>& List) {
  List.push_back({"calib", "calib show|pixel|geo|fit ...",
                  "calibration files: show, convert, fit (see: qebgeo calib help)", CmdCalib});
}

void DemoCalib() {
  Heading("Map calibration: fit, save, read, convert");
  // A folder of its own for the demo files, removed at the end.
  std::string Pattern = (std::filesystem::temp_directory_path() / "qebgeo-calib-XXXXXX").string();
  if (mkdtemp(Pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a temporary folder");
  const std::filesystem::path Dir = Pattern;
  try {
    // A map of 1000 x 800 pixels, 1/1000 degree a pixel, one point off by
    // two pixels.
    const std::string Points = (Dir / "points.txt").string(), Cal = (Dir / "alps.xml").string();
    {
      std::ofstream P(Points);
      P << "# calibration points of alps.jpg\n"
           "model equirect\nsize 1000 800\nmap alps.jpg\ncaption Alps\n"
           "48.0 8.0 0 0\n48.0 9.0 1000 0\n47.2 8.0 0 800\n47.2 9.0 1000 800\n"
           "47.6 8.5 502 400\n";
      CheckWritten(P, "\"" + Points + "\"");
    }
    std::cout << "points file:\n";
    std::ifstream P(Points);
    for (std::string L; std::getline(P, L);)
      std::cout << "  " << L << '\n';
    Show("calib", {"fit", Points, Cal, "Alps"});
    std::cout << "calibration file:\n";
    std::ifstream F(Cal);
    for (std::string L; std::getline(F, L);)
      std::cout << "  " << L.substr(0, L.find('\r')) << '\n';
    Show("calib", {"pixel", Cal, "250", "200", "alps", "1000", "800"});
    Show("calib", {"geo", Cal, "47.8", "8.25", "alps", "1000", "800"});
  } catch (...) {
    std::filesystem::remove_all(Dir);
    throw;
  }
  std::filesystem::remove_all(Dir);
}

} // namespace qeb::cli
