// qebgeo subcommands of the map control's landmarks: `qebgeo landmarks ...`
// over landmark files (list, nearest, GeoJSON out and in), and the landmark
// part of the demo: the capitals of the country table and the time-zone
// cities of the system's zone table on the world map.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <tuple>

#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/geobasics/countries.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/textfile.h"
#include "qebgeolib/voziza/view.h"
#include "tools/qebgeo/cli.h"
#include "tools/qebgeo/jsonread.h"
#include "tools/qebgeo/numtext.h"

namespace qeb::cli {

namespace {

constexpr std::string_view kLandmarksHelp =
    "qebgeo landmarks SUBCOMMAND FILE [ARGUMENTS]; FILE is a landmark file, ID the data\n"
    "identifier of one set in it (the first set when left out)\n"
    "  list FILE [ID]                          one line a landmark\n"
    "  nearest FILE LAT LONG [CLASS]           the landmark nearest the position (CLASS 0..255,\n"
    "                                          -1 or left out: any class)\n"
    "  to-geojson FILE [ID] OUT.geojson        the set as a GeoJSON FeatureCollection of points\n"
    "  from-geojson IN.geojson OUT.xml [ID]    a FeatureCollection of points as a landmark file\n"
    "GeoJSON properties: identifier, time (ISO 8601, to the second), class, tag, kind (Plus,\n"
    "Square, Triangle, Circle, ArrowFrom, ArrowTo, CrossBox, Spade, Cross, User-Defined), size,\n"
    "color, background, transparent, direction, length, caption, captionSize, captionFont,\n"
    "captionStyle (list of bold, italic, underline, strikeout), captionColor,\n"
    "captionBackground, captionTransparent, captionDx, captionDy, captionDirection,\n"
    "captionHAlign (left, right, center), captionVAlign (top, center, bottom); colours\n"
    "\"#RRGGBB\" or a raw colour value \"0xHHBBGGRR\"; the altitude is the third coordinate.\n"
    "Properties left out take the default landmark's values.\n";

constexpr std::string_view kIsoTime = "yyyy-mm-ddTHH:MM:SS";

// A map control that only holds landmarks: nothing is ever drawn.
class TLandMarkList : public TVozIza {
public:
  TLandMarkList() : TVozIza(nullptr) {
    SetName("qebgeo");
    SetSuppressPaint(true);
  }
};

std::string Quoted(const std::string& S) {
  return S.empty() ? std::string() : " \"" + S + "\"";
}

std::string Line(int32_t Index, const TLandMark& LM) {
  return std::to_string(Index) + "  " + Fixed(LM.Latitude, 6) + " " + Fixed(LM.Longitude, 6) +
         "  class " + std::to_string(LM.ClassFlag) + "  " +
         std::string(LMTypeName(LM.SymbolProps.Kind)) + "  \"" + LM.Identifier.ToString() +
         "\"  \"" + LM.Caption.Text.ToString() + "\"";
}

// ---- GeoJSON out.

std::string Shortest(double V) {
  char Buf[32];
  return std::string(Buf, std::to_chars(Buf, Buf + sizeof Buf, V).ptr);
}

std::string AlignText(uint8_t V, std::array<std::string_view, 3> Names) {
  return V < 3 ? JsonString(Names[V]) : std::to_string(V);
}
constexpr std::array<std::string_view, 3> kHAlign = {"left", "right", "center"};
constexpr std::array<std::string_view, 3> kVAlign = {"top", "center", "bottom"};
constexpr std::array<std::pair<TFontStyle, std::string_view>, 4> kStyles = {
    {{fsBold, "bold"},
     {fsItalic, "italic"},
     {fsUnderline, "underline"},
     {fsStrikeOut, "strikeout"}}};

std::string Feature(const TLandMark& LM) {
  const TSymbolProperties& S = LM.SymbolProps;
  const TLMTextProperties& C = LM.Caption;
  const std::string Time = DateTimeToText(LM.Time, kIsoTime);
  std::string Styles;
  for (const auto& [Bit, Name] : kStyles)
    if (C.FontStyles & Bit) Styles += (Styles.empty() ? "" : ", ") + JsonString(Name);
  std::string J = "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [";
  J += Shortest(LM.Longitude) + ", " + Shortest(LM.Latitude) + ", " + Shortest(LM.Altitude);
  J += "]}, \"properties\": {";
  auto Prop = [&J](std::string_view Name, const std::string& Value) {
    if (J.back() != '{') J += ", ";
    J += JsonString(Name) + ": " + Value;
  };
  auto Int = [&Prop](std::string_view Name, int64_t V) { Prop(Name, std::to_string(V)); };
  auto Bool = [&Prop](std::string_view Name, bool V) { Prop(Name, V ? "true" : "false"); };
  Prop("identifier", JsonString(LM.Identifier.ToString()));
  Prop("time", Time.empty() ? "null" : JsonString(Time));
  Int("class", LM.ClassFlag);
  Int("tag", LM.Tag);
  Prop("kind", JsonString(LMTypeName(S.Kind)));
  Int("size", S.Size);
  Prop("color", JsonString(ColourText(S.FGColor)));
  Prop("background", JsonString(ColourText(S.BGColor)));
  Bool("transparent", S.Transparent);
  Int("direction", S.Direction);
  Int("length", S.Length);
  Prop("caption", JsonString(C.Text.ToString()));
  Int("captionSize", C.Size);
  Prop("captionFont", JsonString(C.FontName));
  Prop("captionStyle", "[" + Styles + "]");
  Prop("captionColor", JsonString(ColourText(C.FGColor)));
  Prop("captionBackground", JsonString(ColourText(C.BGColor)));
  Bool("captionTransparent", C.Transparent);
  Int("captionDx", C.dx);
  Int("captionDy", C.dy);
  Int("captionDirection", C.Direction);
  Prop("captionHAlign", AlignText(C.HAlignment, kHAlign));
  Prop("captionVAlign", AlignText(C.VAlignment, kVAlign));
  return J + "}}";
}

// ---- GeoJSON in. Every refusal names the feature (1-based) and property.

struct TFeatureReader {
  int32_t Feature = 0;
  std::string Property;

  [[noreturn]] void Fail(const std::string& What) const {
    throw std::runtime_error("feature " + std::to_string(Feature) +
                             (Property.empty() ? "" : ", property \"" + Property + "\"") + ": " +
                             What);
  }
  const TJsonValue& Want(const TJsonValue& V, TJsonValue::TKind Kind) const {
    if (V.Kind != Kind)
      Fail("expected " + std::string(JsonKindName(Kind)) + ", found " +
           std::string(JsonKindName(V.Kind)));
    return V;
  }
  int64_t Integer(const TJsonValue& V, int64_t Lo, int64_t Hi) const {
    const double X = Want(V, TJsonValue::jNumber).Number;
    if (X != std::floor(X) || X < double(Lo) || X > double(Hi))
      Fail("expected a whole number in " + std::to_string(Lo) + ".." + std::to_string(Hi));
    return int64_t(X);
  }
  int32_t Int32(const TJsonValue& V) const {
    return int32_t(
        Integer(V, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  }
  TColor Colour(const TJsonValue& V) const {
    const std::string& T = Want(V, TJsonValue::jString).Text;
    const bool Hash = T.size() == 7 && T[0] == '#';
    const bool Raw = T.size() > 2 && T.size() <= 10 && T[0] == '0' && (T[1] == 'x' || T[1] == 'X');
    const std::size_t From = Hash ? 1 : 2;
    if ((!Hash && !Raw) || T.find_first_not_of("0123456789abcdefABCDEF", From) != T.npos)
      Fail("expected a colour \"#RRGGBB\" or \"0x\" and up to 8 hexadecimal digits, found \"" + T +
           "\"");
    int32_t Pos = int32_t(From) + 1;
    const uint32_t X = ScanHex(T, Pos);
    return Hash ? (X >> 16 & 0xFF) | (X & 0xFF00) | (X & 0xFF) << 16 : X;
  }
  // Texts must survive the landmark file: Windows-1252, no quote, no control
  // characters, at most N characters (0: no limit).
  template <std::size_t N> TShortString<N> Text(const TJsonValue& V) const {
    const std::string& T = Want(V, TJsonValue::jString).Text;
    const TShortString<N> S = TShortString<N>::FromString(T);
    if (S.ToString() != T)
      Fail("\"" + T + "\" is longer than " + std::to_string(N) +
           " characters or holds characters outside Windows-1252");
    for (unsigned char C : T)
      if (C < 0x20 || C == '"') Fail("a landmark file cannot hold quotes or control characters");
    return S;
  }
  uint8_t Align(const TJsonValue& V, std::array<std::string_view, 3> Names) const {
    if (V.Kind == TJsonValue::jNumber) return uint8_t(Integer(V, 0, 255));
    const std::string& T = Want(V, TJsonValue::jString).Text;
    for (std::size_t K = 0; K < Names.size(); ++K)
      if (T == Names[K]) return uint8_t(K);
    Fail("expected " + std::string(Names[0]) + ", " + std::string(Names[1]) + " or " +
         std::string(Names[2]) + ", found \"" + T + "\"");
  }
  TFontStyles Styles(const TJsonValue& V) const {
    TFontStyles S = 0;
    for (const TJsonValue& Item : Want(V, TJsonValue::jArray).Items) {
      const std::string& T = Want(Item, TJsonValue::jString).Text;
      const auto* It = std::find_if(kStyles.begin(), kStyles.end(),
                                    [&T](const auto& P) { return P.second == T; });
      if (It == kStyles.end()) Fail("unknown font style \"" + T + "\"");
      S |= It->first;
    }
    return S;
  }
  TDateTime Time(const TJsonValue& V) const {
    if (V.Kind == TJsonValue::jNull) return 0;
    const std::string& T = Want(V, TJsonValue::jString).Text;
    int32_t Pos = 1;
    const TDateTime X = ScanDateTime(T, kIsoTime, lgEnglish, Pos);
    if (T.size() != kIsoTime.size() || Pos != int32_t(T.size()) + 1)
      Fail("expected a time YYYY-MM-DDTHH:MM:SS, found \"" + T + "\"");
    return X;
  }
  TLandMarkElement Kind(const TJsonValue& V) const {
    const std::string& T = Want(V, TJsonValue::jString).Text;
    constexpr auto Unknown = TLandMarkElement(LandMarkElementCount);
    const TLandMarkElement K = LMTypeFromName(T, Unknown);
    if (K != Unknown) return K;
    Fail("unknown symbol kind \"" + T + "\"");
  }

  TLandMark Read(const TJsonValue& F, const TLandMark& Default) {
    Property.clear();
    Want(F, TJsonValue::jObject);
    const TJsonValue* Type = F.Find("type");
    if (Type == nullptr || Type->Kind != TJsonValue::jString || Type->Text != "Feature")
      Fail("not a \"Feature\"");
    const TJsonValue* G = F.Find("geometry");
    const TJsonValue* GType = G != nullptr ? G->Find("type") : nullptr;
    if (GType == nullptr || GType->Kind != TJsonValue::jString || GType->Text != "Point")
      Fail("the geometry is not a Point (landmarks are points)");
    const TJsonValue* Coords = G->Find("coordinates");
    if (Coords == nullptr || Coords->Kind != TJsonValue::jArray || Coords->Items.size() < 2 ||
        Coords->Items.size() > 3)
      Fail("a Point needs the coordinates [longitude, latitude] or [longitude, latitude, "
           "altitude]");
    TLandMark LM = Default;
    LM.Longitude = Want(Coords->Items[0], TJsonValue::jNumber).Number;
    LM.Latitude = Want(Coords->Items[1], TJsonValue::jNumber).Number;
    LM.Altitude = Coords->Items.size() > 2 ? Want(Coords->Items[2], TJsonValue::jNumber).Number : 0;
    const TJsonValue* P = F.Find("properties");
    if (P == nullptr || P->Kind == TJsonValue::jNull) return LM;
    Want(*P, TJsonValue::jObject);
    using TSetter = void (*)(const TFeatureReader&, const TJsonValue&, TLandMark&);
    static const std::map<std::string_view, TSetter> Setters = {
        {"identifier", [](auto& R, auto& V, auto& L) { L.Identifier = R.template Text<15>(V); }},
        {"time", [](auto& R, auto& V, auto& L) { L.Time = R.Time(V); }},
        {"class", [](auto& R, auto& V, auto& L) { L.ClassFlag = uint8_t(R.Integer(V, 0, 255)); }},
        {"tag", [](auto& R, auto& V, auto& L) { L.Tag = R.Int32(V); }},
        {"kind", [](auto& R, auto& V, auto& L) { L.SymbolProps.Kind = R.Kind(V); }},
        {"size", [](auto& R, auto& V, auto& L) { L.SymbolProps.Size = R.Int32(V); }},
        {"color", [](auto& R, auto& V, auto& L) { L.SymbolProps.FGColor = R.Colour(V); }},
        {"background", [](auto& R, auto& V, auto& L) { L.SymbolProps.BGColor = R.Colour(V); }},
        {"transparent",
         [](auto& R, auto& V, auto& L) {
           L.SymbolProps.Transparent = R.Want(V, TJsonValue::jBool).Bool;
         }},
        {"direction", [](auto& R, auto& V, auto& L) { L.SymbolProps.Direction = R.Int32(V); }},
        {"length", [](auto& R, auto& V, auto& L) { L.SymbolProps.Length = R.Int32(V); }},
        {"caption", [](auto& R, auto& V, auto& L) { L.Caption.Text = R.template Text<80>(V); }},
        {"captionSize", [](auto& R, auto& V, auto& L) { L.Caption.Size = R.Int32(V); }},
        {"captionFont", [](auto& R, auto& V,
                           auto& L) { L.Caption.FontName = R.template Text<255>(V).ToString(); }},
        {"captionStyle", [](auto& R, auto& V, auto& L) { L.Caption.FontStyles = R.Styles(V); }},
        {"captionColor", [](auto& R, auto& V, auto& L) { L.Caption.FGColor = R.Colour(V); }},
        {"captionBackground", [](auto& R, auto& V, auto& L) { L.Caption.BGColor = R.Colour(V); }},
        {"captionTransparent",
         [](auto& R, auto& V, auto& L) {
           L.Caption.Transparent = R.Want(V, TJsonValue::jBool).Bool;
         }},
        {"captionDx", [](auto& R, auto& V, auto& L) { L.Caption.dx = R.Int32(V); }},
        {"captionDy", [](auto& R, auto& V, auto& L) { L.Caption.dy = R.Int32(V); }},
        {"captionDirection", [](auto& R, auto& V, auto& L) { L.Caption.Direction = R.Int32(V); }},
        {"captionHAlign",
         [](auto& R, auto& V, auto& L) { L.Caption.HAlignment = R.Align(V, kHAlign); }},
        {"captionVAlign",
         [](auto& R, auto& V, auto& L) { L.Caption.VAlignment = R.Align(V, kVAlign); }},
    };
    // Members of other names (other programs' properties) are left alone.
    for (const auto& [Name, Value] : P->Members) {
      const auto It = Setters.find(Name);
      if (It == Setters.end()) continue;
      Property = Name;
      It->second(*this, Value, LM);
    }
    Property.clear();
    return LM;
  }
};

// ---- Commands.

void CmdList(TArgs A) {
  Need(A, 1, 2);
  TLandMarkList L;
  LoadLandMarkSet(L, std::string(A[0]), A.size() > 1 ? std::string(A[1]) : std::string());
  for (int32_t I = 1; I <= L.GetNumLandMarks(); ++I)
    std::cout << Line(I, L.GetLandMarkData(I)) << '\n';
  std::cout << L.GetNumLandMarks() << " landmarks\n";
}

void CmdNearest(TArgs A) {
  Need(A, 3, 4);
  const double Lat = ParseLatitude(A[1]), Long = ParseLongitude(A[2]);
  const int32_t Class =
      A.size() > 3 ? int32_t(InRange(ParseInt(A[3], "class"), -1, 255, "the class")) : -1;
  TLandMarkList L;
  LoadLandMarkSet(L, std::string(A[0]), "");
  const int32_t I = L.FindLandMark(Lat, Long, Class);
  if (I == 0)
    throw std::runtime_error("no landmark" +
                             (Class < 0 ? std::string() : " of class " + std::to_string(Class)));
  std::cout << Line(I, L.GetLandMarkData(I)) << '\n';
}

void CmdToGeoJson(TArgs A) {
  Need(A, 2, 3);
  const std::string In(A[0]), Id = A.size() > 2 ? std::string(A[1]) : std::string(), Out(A.back());
  TLandMarkList L;
  LoadLandMarkSet(L, In, Id);
  RefuseOutputOnInput(Out, {In});
  std::ofstream File(Out, std::ios::binary | std::ios::trunc);
  if (!File) throw std::runtime_error("cannot create \"" + Out + "\"");
  File << "{\"type\": \"FeatureCollection\", \"dataId\": " << JsonString(Id) << ", \"features\": [";
  for (int32_t I = 1; I <= L.GetNumLandMarks(); ++I) {
    const TLandMark& LM = L.GetLandMarkData(I);
    // JSON has no spelling for these; the landmark file cannot hold them either.
    if (!std::isfinite(LM.Latitude) || !std::isfinite(LM.Longitude) || !std::isfinite(LM.Altitude))
      throw std::runtime_error("landmark " + std::to_string(I) +
                               " has a position that is not a finite number");
    File << (I > 1 ? ",\n" : "\n") << Feature(LM);
  }
  File << "\n]}\n";
  CheckWritten(File, "\"" + Out + "\"");
  File.close();
  if (!File) throw std::runtime_error("cannot write \"" + Out + "\"");
  std::cout << "wrote " << L.GetNumLandMarks() << " landmarks to " << Out << '\n';
}

void CmdFromGeoJson(TArgs A) {
  Need(A, 2, 3);
  const std::string In(A[0]), Out(A[1]);
  const TJsonValue Doc = ReadJsonFile(In);
  const TJsonValue* Type = Doc.Find("type");
  if (Type == nullptr || Type->Kind != TJsonValue::jString || Type->Text != "FeatureCollection")
    throw std::runtime_error("\"" + In + "\" is not a GeoJSON FeatureCollection");
  const TJsonValue* Features = Doc.Find("features");
  if (Features == nullptr || Features->Kind != TJsonValue::jArray)
    throw std::runtime_error("\"" + In + "\": \"features\" must be an array");
  std::string Id;
  if (A.size() > 2)
    Id = std::string(A[2]);
  else if (const TJsonValue* D = Doc.Find("dataId"); D != nullptr && D->Kind == TJsonValue::jString)
    Id = D->Text;
  TLandMarkList L;
  TFeatureReader R;
  for (const TJsonValue& F : Features->Items) {
    ++R.Feature;
    const TLandMark LM = R.Read(F, L.GetLandMarkDefault());
    L.AddLandMark(LM.Latitude, LM.Longitude, LM.Altitude);
    L.SetLandMarkData(L.GetNumLandMarks(), LM);
  }
  RefuseOutputOnInput(Out, {In});
  L.SaveLandmarks(Out, Id);
  std::cout << "wrote " << L.GetNumLandMarks() << " landmarks to " << Out << '\n';
}

void CmdLandmarks(TArgs A) {
  if (A.empty()) throw EUsage("a subcommand is needed (qebgeo landmarks help)");
  if (A[0] == "help") {
    std::cout << kLandmarksHelp;
    return;
  }
  static const std::pair<std::string_view, void (*)(TArgs)> Sub[] = {
      {"list", CmdList},
      {"nearest", CmdNearest},
      {"to-geojson", CmdToGeoJson},
      {"from-geojson", CmdFromGeoJson}};
  for (const auto& [Name, Run] : Sub)
    if (A[0] == Name) return Run(A.subspan(1));
  throw EUsage("unknown subcommand \"" + std::string(A[0]) + "\" (qebgeo landmarks help)");
}

// ---- The demo.

// An ISO 6709 position of the zone table, +DDMM+DDDMM or +DDMMSS+DDDMMSS,
// read exactly; false for anything else.
bool ParseIso6709(std::string_view S, double& Lat, double& Long) {
  auto Part = [](std::string_view P, int DegDigits, double Max, double& V) {
    const std::size_t Digits = P.size() - 1;
    if ((P[0] != '+' && P[0] != '-') ||
        (Digits != std::size_t(DegDigits) + 2 && Digits != std::size_t(DegDigits) + 4) ||
        P.find_first_not_of("0123456789", 1) != P.npos)
      return false;
    auto Num = [&P](std::size_t At, std::size_t N) {
      int X = 0;
      for (std::size_t K = At; K < At + N; ++K)
        X = X * 10 + (P[K] - '0');
      return X;
    };
    const int D = Num(1, std::size_t(DegDigits)), M = Num(std::size_t(DegDigits) + 1, 2);
    const int Sec = Digits > std::size_t(DegDigits) + 2 ? Num(std::size_t(DegDigits) + 3, 2) : 0;
    V = D + M / 60.0 + Sec / 3600.0;
    if (M > 59 || Sec > 59 || V > Max) return false;
    if (P[0] == '-') V = -V;
    return true;
  };
  const std::size_t Split = S.find_first_of("+-", 1);
  return Split != S.npos && Part(S.substr(0, Split), 2, 90, Lat) &&
         Part(S.substr(Split), 3, 180, Long);
}

// The time-zone cities of zone1970.tab: (latitude, longitude, zone name).
std::vector<std::tuple<double, double, std::string>> ZoneCities(const std::string& Table) {
  std::vector<std::tuple<double, double, std::string>> Cities;
  TTextFile F(Table);
  if (!F.TryReset()) return Cities;
  std::string L;
  while (F.ReadLn(L)) {
    if (L.empty() || L[0] == '#') continue;
    const std::size_t T1 = L.find('\t'), T2 = L.find('\t', T1 + 1);
    if (T1 == L.npos || T2 == L.npos) continue;
    const std::size_t T3 = L.find('\t', T2 + 1);
    double Lat = 0, Long = 0;
    if (!ParseIso6709(std::string_view(L).substr(T1 + 1, T2 - T1 - 1), Lat, Long)) {
      std::cout << "  (zone table line not understood: " << L << ")\n";
      continue;
    }
    Cities.emplace_back(Lat, Long, L.substr(T2 + 1, T3 == L.npos ? L.npos : T3 - T2 - 1));
  }
  return Cities;
}

// The symbol of a zone city by its continent.
TLandMarkElement ZoneKind(const std::string& Zone) {
  static const std::pair<std::string_view, TLandMarkElement> Kinds[] = {
      {"Europe/", lmCircle}, {"America/", lmTriangle}, {"Asia/", lmSpade},
      {"Africa/", lmPlus},   {"Australia/", lmCross},  {"Pacific/", lmCross}};
  for (const auto& [Prefix, Kind] : Kinds)
    if (Zone.starts_with(Prefix)) return Kind;
  return lmCrossBox;
}

} // namespace

void LoadLandMarkSet(TVozIza& V, const std::string& File, const std::string& Id) {
  CheckReadable(File);
  if (!V.LoadLandMarks(File, Id))
    throw std::runtime_error("no landmarks" + Quoted(Id) + " in \"" + File + "\"");
}

void AddLandmarkCommands(std::vector<TCommand>& List) {
  List.push_back({"landmarks", "landmarks SUBCOMMAND FILE [ARGUMENTS]",
                  "landmark files: list, nearest, to-geojson, from-geojson (qebgeo landmarks "
                  "help)",
                  CmdLandmarks});
}

void DemoLandmarks() {
  Heading("Map control: landmarks, the capitals and the time-zone cities");
  namespace fs = std::filesystem;
  const fs::path Folder = fs::absolute("qebgeo-demo-maps");
  const std::string LmFile = (Folder / "world-landmarks.xml").string();
  const std::string CalFile = (Folder / "earth.xml").string();
  TLandMarkList L;
  int32_t Paris = 0;
  // Class 1: the capitals, red squares named by their ISO code.
  for (const TCountryData& C : CountryData) {
    if (C.Capital.Length() == 0) continue;
    L.AddLandMark(C.CapLat, C.CapLong, C.CapAlt, lmSquare, 1, C.ISO3166_3.ToString(), 0, 0,
                  0x000000C0, 0x00FFFFFF, 3, false, 0, 0);
    TLandMark LM = L.GetLandMarkData(L.GetNumLandMarks());
    LM.Caption.Text = TLMText::FromString(C.Capital.ToString());
    LM.Caption.Size = 7;
    LM.Caption.FGColor = 0x00000080;
    L.SetLandMarkData(L.GetNumLandMarks(), LM);
    if (C.Capital.ToString() == "Paris") Paris = L.GetNumLandMarks();
  }
  const int32_t Capitals = L.GetNumLandMarks();
  // Class 2: the time-zone cities, by continent.
  const std::string Table = "/usr/share/zoneinfo/zone1970.tab";
  const auto Cities = ZoneCities(Table);
  if (Cities.empty()) std::cout << "(" << Table << " is missing: install tzdata)\n";
  for (const auto& [Lat, Long, Zone] : Cities) {
    std::string City = Zone.substr(Zone.rfind('/') + 1);
    std::replace(City.begin(), City.end(), '_', ' ');
    L.AddLandMark(Lat, Long, 0, ZoneKind(Zone), 2, City, 0, 0, 0x00A04000, 0x00FFFFFF, 3, false, 0,
                  8);
  }
  std::cout << Capitals << " capitals (class 1) and " << Cities.size()
            << " time-zone cities (class 2)\n";
  L.SaveLandmarks(LmFile, "world");
  TLandMarkList Back;
  LoadLandMarkSet(Back, LmFile, "world");
  std::map<int, int> ByClass;
  for (int32_t I = 1; I <= Back.GetNumLandMarks(); ++I)
    ++ByClass[Back.GetLandMarkData(I).ClassFlag];
  std::cout << "landmark file " << LmFile << ": read back " << Back.GetNumLandMarks()
            << " landmarks";
  for (const auto& [Class, N] : ByClass)
    std::cout << ", class " << Class << ": " << N;
  std::cout << '\n';

  const std::string H = std::to_string(Paris);
  std::cout << "highlighted: landmark " << H << ", Paris\n";
  Show("render", {CalFile, (Folder / "world-landmarks-m0.5.png").string(), "--id", "corners",
                  "--mag", "0.5", "--size", "1024", "512", "--grat", "lines", "--dist", "30",
                  "--landmarks", LmFile, "--lmid", "world", "--highlight", H});
  // Europe at magnification 2, from 70 N 15 W.
  Show("render", {CalFile,       (Folder / "europe-landmarks-m2.png").string(),
                  "--id",        "corners",
                  "--mag",       "2",
                  "--at",        "939",
                  "114",         "--size",
                  "683",         "398",
                  "--grat",      "none",
                  "--landmarks", LmFile,
                  "--lmid",      "world",
                  "--highlight", H});
  Show("landmarks", {"nearest", LmFile, "52.5", "13.4", "2"});
  const std::string Json = (Folder / "world-landmarks.geojson").string();
  const std::string Again = (Folder / "world-landmarks-again.xml").string();
  Show("landmarks", {"to-geojson", LmFile, "world", Json});
  Show("landmarks", {"from-geojson", Json, Again});
  TLandMarkList Copy;
  LoadLandMarkSet(Copy, Again, "world");
  bool Same = Copy.GetNumLandMarks() == Back.GetNumLandMarks();
  for (int32_t I = 1; Same && I <= Copy.GetNumLandMarks(); ++I)
    Same = Copy.GetLandMarkData(I) == Back.GetLandMarkData(I);
  std::cout << "xml -> geojson -> xml: " << (Same ? "the same landmarks" : "DIFFERENT landmarks")
            << '\n';
  if (!Same) throw std::runtime_error("the GeoJSON round trip changed the landmarks");
}

} // namespace qeb::cli
