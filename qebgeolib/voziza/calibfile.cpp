// The calibration files: writing, the readers of the control and the
// stand-alone ParseCalibData.
//
// The writers write only what the readers read back the same:
// - Attribute values (data identifier, map name, caption) are written without
//   escaping and read up to the next double quotation mark, so a '"' in them
//   is written as an apostrophe ('), and line breaks and other control
//   characters as blanks (the root line must stay one line). The readers map
//   a wanted data identifier the same way, so an identifier that held '"'
//   still finds its calibration.
// - A value that is not a finite number (corner, resolution, graticule value,
//   quad coordinate) has no spelling the number readers accept: the writers
//   refuse the whole calibration with EQEBVozIzaError before writing a line.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "qebgeolib/companion/corelib/streams.h"
#include "qebgeolib/companion/corelib/stringl.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/voziza/calibration.h"
#include "qebgeolib/voziza/detail/xmlscan.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

// Joins texts; it also keeps clear of a false -Wrestrict alarm that GCC 12
// raises at -O3 on chains of string + string.
std::string Cat(std::initializer_list<std::string_view> Parts) {
  std::size_t Size = 0;
  for (std::string_view P : Parts)
    Size += P.size();
  std::string S;
  S.reserve(Size);
  for (std::string_view P : Parts)
    S.append(P);
  return S;
}

// ---- Number texts of the writer; none depends on the locale. The values
// are finite (CheckFinite).

// Fixed form: at least one digit before the point, exactly Decimals after it,
// rounded; a value that rounds to zero carries no minus sign.
std::string FixedText(double V, int Decimals) {
  char Buf[400];
  const auto R = std::to_chars(Buf, Buf + sizeof Buf, V, std::chars_format::fixed, Decimals);
  std::string S(Buf, R.ptr);
  if (S[0] == '-' && S.find_first_of("123456789") == std::string::npos) S.erase(0, 1);
  return S;
}

// General form: at most 15 significant digits, no trailing zeros, a point as
// separator; the exponent form ("1.5E-7", "1E20") only below 0.00001 or with
// more than 15 digits before the point.
std::string GeneralText(double V) {
  if (V == 0) return "0";
  char Buf[64];
  const auto R = std::to_chars(Buf, Buf + sizeof Buf, V, std::chars_format::scientific, 14);
  const std::string_view S(Buf, static_cast<std::size_t>(R.ptr - Buf));
  const bool Neg = S[0] == '-';
  const std::size_t EPos = S.find('e');
  std::string Digits;
  for (char C : S.substr(Neg ? 1 : 0, EPos - (Neg ? 1 : 0)))
    if (C != '.') Digits += C;
  while (Digits.size() > 1 && Digits.back() == '0')
    Digits.pop_back();
  int Exp = 0;
  std::from_chars(S.data() + EPos + (S[EPos + 1] == '+' ? 2 : 1), S.data() + S.size(), Exp);
  std::string Out = Neg ? "-" : "";
  if (Exp < -5 || Exp >= 15) {
    Out += Digits[0];
    if (Digits.size() > 1) Out += Cat({".", std::string_view(Digits).substr(1)});
    Out += Cat({"E", std::to_string(Exp)});
  } else if (Exp < 0) {
    Out += Cat({"0.", std::string(static_cast<std::size_t>(-Exp - 1), '0'), Digits});
  } else {
    const std::size_t IntDigits = static_cast<std::size_t>(Exp) + 1;
    if (Digits.size() <= IntDigits) {
      Out += Cat({Digits, std::string(IntDigits - Digits.size(), '0')});
    } else {
      const std::string_view Dv = Digits;
      Out += Cat({Dv.substr(0, IntDigits), ".", Dv.substr(IntDigits)});
    }
  }
  return Out;
}

// Refuses a record with a value the file cannot hold; Prefix names the writer.
void CheckFinite(const TCalibData& D, const std::string& Prefix) {
  auto Need = [&Prefix](double V, std::string_view What) {
    if (!std::isfinite(V))
      throw EQEBVozIzaError(
          Cat({Prefix, ": cannot write a value that is not a finite number (", What, ")"}));
  };
  for (const TCoords& C : D.Corners) {
    Need(C.Latit, "corner");
    Need(C.Longit, "corner");
  }
  Need(D.Resolution, "resolution");
  for (int32_t K = 1; K <= std::clamp(D.NumCalLines, 0, MaxCalLines); ++K)
    Need(D.CalLines[K].LineValue, "graticule line value");
  for (int32_t I = 1; I <= std::clamp(D.NumCalQuads, 0, MaxCalQuads); ++I) {
    Need(D.CalQuads[I].Latitude, "calibration point");
    Need(D.CalQuads[I].Longitude, "calibration point");
  }
}

// The lines of one calibration, checked before the first one is written. The
// stream form always has the XML declaration, the resolution and the quads,
// and never the UTM zone, hemisphere and ellipsoid.
std::vector<std::string> CalDataLines(const std::string& Prefix, bool Header, bool StreamForm,
                                      const std::string& DataID, const TCalibData& D,
                                      TCalibModel Model) {
  CheckFinite(D, Prefix);
  std::vector<std::string> Lines;
  auto Ln = [&Lines](std::string_view L) { Lines.emplace_back(L); };
  if (Header || StreamForm) Ln("<?xml version=\"1.0\"?>");
  Ln("");
  Ln("<!-- TVozIza Calibration / QEB Component Suite -->");
  const std::string_view ModelName = CalibModelNames[Model <= cmUndefined ? Model : cmUndefined];
  Ln(Cat({"<voziza sig=\"QEBCSuite\" vers=\"1.0\" id=\"", XMLAttributeText(DataID), "\" model=\"",
          ModelName, "\" map=\"", XMLAttributeText(D.MapFName), "\" caption=\"",
          XMLAttributeText(D.Caption), "\">"}));
  Ln("<corners>");
  std::string Line;
  for (const TCoords& C : D.Corners)
    Line += Cat({"[", FixedText(C.Latit, 5), ",", FixedText(C.Longit, 5), "] "});
  Ln(Line);
  Ln("</corners>");
  if (StreamForm || D.Resolution > 0)
    Ln(Cat({"<resolution>", FixedText(D.Resolution, 3), "</resolution>"}));
  if (!StreamForm) {
    if (D.UTMZone >= 1 && D.UTMZone <= 60) {
      Ln(Cat({"<utmzone>", std::to_string(D.UTMZone), "</utmzone>"}));
      Ln(Cat({"<utmsouth>", D.UTMSouth ? "TRUE" : "FALSE", "</utmsouth>"}));
    }
    const TGeoEllipsoid E = D.Ellipsoid < GeoEllipsoidCount ? D.Ellipsoid : gelWGS84;
    Ln(Cat({"<ellipsoid>", GeoEllipsoidId[E], "</ellipsoid>"}));
  }
  const int32_t NumLines = std::clamp(D.NumCalLines, 0, MaxCalLines);
  for (int32_t K = 1; K <= NumLines; ++K) {
    const TCalibLine& L = D.CalLines[K];
    const int32_t NumPoints = std::clamp(L.NumPoints, 0, MaxCalLinePoints);
    Ln(Cat({"<calline type=\"", L.LineType == gtlParallel ? "parallel" : "meridian", "\" value=\"",
            GeneralText(L.LineValue), "\" npoints=\"", std::to_string(NumPoints), "\">"}));
    Line.clear();
    for (int32_t P = 1; P <= NumPoints; ++P)
      Line +=
          Cat({"[", std::to_string(L.CalPoints[P].X), ",", std::to_string(L.CalPoints[P].Y), "] "});
    Ln(Line);
    Ln("</calline>");
  }
  const int32_t NumQuads = std::clamp(D.NumCalQuads, 0, MaxCalQuads);
  if (StreamForm || NumQuads > 0) {
    Ln(Cat({"<calquads npoints=\"", std::to_string(NumQuads), "\">"}));
    Line.clear();
    for (int32_t I = 1; I <= NumQuads; ++I) {
      const TCalQuad& Q = D.CalQuads[I];
      Line += Cat({"[", FixedText(Q.Latitude, 5), ",", FixedText(Q.Longitude, 5), ",",
                   std::to_string(Q.MapX), ",", std::to_string(Q.MapY), "] "});
    }
    Ln(Line);
    Ln("</calquads>");
  }
  Ln("</voziza>");
  return Lines;
}

// ---- Reading, shared by the control's readers and ParseCalibData.

// Fills a calibration record from the root line and the tags of one
// calibration. Control is true for the readers of the control (model names
// without "undefined" default to cmUndefined, short graticule lines are
// dropped), false for ParseCalibData.
class TCalibReader {
public:
  TCalibReader(TCalibData& Data, TCalibModel& Model, std::string Prefix, bool Control)
      : FData(Data), FModel(Model), FPrefix(std::move(Prefix)), FControl(Control) {}

  // Scans lines for the root line of DataID; every root line met sets the
  // model, map name and caption. True at the first accepted one.
  template <class TNextLine> bool ScanRoot(TNextLine&& NextLine, const std::string& DataID);
  // Reads tags up to "/voziza" or the end of the input.
  template <class TNextTag> void ReadTags(TNextTag&& NextTag);

private:
  [[noreturn]] void Fail(std::string_view Text) const {
    throw EQEBVozIzaError(FPrefix + std::string(Text));
  }
  void CalLine(std::string_view Attributes, std::string_view Content);
  void Corners(std::string_view Content);
  void CalQuads(std::string_view Attributes, std::string_view Content);

  TCalibData& FData;
  TCalibModel& FModel;
  std::string FPrefix;
  bool FControl;
};

template <class TNextLine>
bool TCalibReader::ScanRoot(TNextLine&& NextLine, const std::string& DataID) {
  const std::string Want = LowerCase(XMLAttributeText(DataID));
  std::string Line;
  while (NextLine(Line)) {
    const std::string Low = LowerCase(Line);
    if (Low.find("<voziza") == std::string::npos || Low.find("qebcsuite") == std::string::npos)
      continue;
    const bool Accepted = Want.empty() || Want == Trim(XMLAttributeValue(Low, "id"));
    bool HasModel = false;
    const std::string_view ModelName = XMLAttributeValue(Low, "model", HasModel);
    const int32_t Ix = StringIx(ModelName, std::span(CalibModelNames), cmUndefined) - 1;
    FModel = Ix >= 0 ? static_cast<TCalibModel>(Ix) : cmUndefined;
    if (!HasModel && !FControl) FModel = cmBiquadraticPn;
    FData.MapFName = Trim(XMLAttributeValue(Low, "map"));
    // Lower-casing keeps every byte in its place, so the caption is taken
    // from the same place of the line as read.
    const std::string_view Cap = XMLAttributeValue(Low, "caption");
    FData.Caption = Cap.empty()
                        ? std::string()
                        : Trim(std::string_view(Line).substr(
                              static_cast<std::size_t>(Cap.data() - Low.data()), Cap.size()));
    if (Accepted) return true;
  }
  return false;
}

template <class TNextTag> void TCalibReader::ReadTags(TNextTag&& NextTag) {
  std::string Attributes, Content;
  for (;;) {
    switch (NextTag(Attributes, Content)) {
    case vztEndVoziza:
    case vztInvalidTag:
      return;
    case vztCalLine:
      CalLine(Attributes, Content);
      break;
    case vztCorners:
      Corners(Content);
      break;
    case vztResolution:
      FData.Resolution = ReadXMLFloat(Content, true, true);
      break;
    case vztCalQuads:
      CalQuads(Attributes, Content);
      break;
    case vztUTMZone:
      FData.UTMZone = ReadXMLInt(Content);
      break;
    case vztUTMSouth:
      FData.UTMSouth = LowerCase(Trim(Content)) == "true";
      break;
    case vztEllipsoid: {
      const int32_t Ix = StringIx(Trim(Content), std::span(GeoEllipsoidId), GeoEllipsoidCount - 1);
      FData.Ellipsoid = Ix >= 1 ? static_cast<TGeoEllipsoid>(Ix - 1) : gelWGS84;
      break;
    }
    default:
      break;
    }
  }
}

// A line is checked completely before it is stored, so a refused line
// leaves the record as it was.
void TCalibReader::CalLine(std::string_view Attributes, std::string_view Content) {
  TCalibLine L;
  const std::string Type = LowerCase(XMLAttributeValue(Attributes, "type"));
  if (Type == "parallel")
    L.LineType = gtlParallel;
  else if (Type == "meridian")
    L.LineType = gtlMeridian;
  else
    Fail(": invalid type of graticule line: type=\"" + Type + "\"");
  L.LineValue = ReadXMLFloat(XMLAttributeValue(Attributes, "value"), true, true);
  const int32_t NumPoints = ReadXMLInt(XMLAttributeValue(Attributes, "npoints"));
  int32_t Groups = 0;
  std::string_view Group;
  while (NextXMLGroup(Content, Group)) {
    if (Groups == MaxCalLinePoints) Fail(": more than 10 points in a graticule line");
    const std::size_t Comma = Group.find(',');
    L.CalPoints[++Groups] =
        TPoint{ReadXMLInt(Group), Comma == Group.npos ? 0 : ReadXMLInt(Group.substr(Comma + 1))};
  }
  if (Groups != NumPoints)
    Fail(": specified number of calibration points and actual number does not match");
  L.NumPoints = NumPoints;
  if (FControl && NumPoints < 3) return;
  if (FData.NumCalLines >= MaxCalLines) Fail(": more than 25 graticule lines");
  FData.CalLines[++FData.NumCalLines] = L;
}

void TCalibReader::Corners(std::string_view Content) {
  TCornerArray C = FData.Corners;
  std::size_t N = 0;
  std::string_view Group;
  while (NextXMLGroup(Content, Group)) {
    if (N == C.size()) Fail(": more than 4 corners");
    const std::size_t Comma = Group.find(',');
    C[N].Latit = ReadXMLFloat(Group.substr(0, Comma), true, true);
    C[N].Longit = Comma == Group.npos ? 0 : ReadXMLFloat(Group.substr(Comma + 1), true, true);
    ++N;
  }
  FData.Corners = C;
}

void TCalibReader::CalQuads(std::string_view Attributes, std::string_view Content) {
  const int32_t NumQuads = ReadXMLInt(XMLAttributeValue(Attributes, "npoints"));
  TArray1<TCalQuad, MaxCalQuads> Quads;
  int32_t Groups = 0;
  std::string_view Group;
  while (NextXMLGroup(Content, Group)) {
    if (Groups == MaxCalQuads) Fail(": more than 200 calibration quads");
    // Each value follows the previous one after exactly one separator
    // character; the coordinates take a decimal point only.
    TCalQuad& Q = Quads[++Groups];
    int32_t Pos = 1;
    Q.Latitude = ReadXMLFloat(Group, Pos, false, false);
    ++Pos;
    Q.Longitude = ReadXMLFloat(Group, Pos, false, false);
    ++Pos;
    Q.MapX = ReadXMLInt(Group, Pos);
    ++Pos;
    Q.MapY = ReadXMLInt(Group, Pos);
  }
  if (Groups != NumQuads)
    Fail(": specified number of calibration points and actual number does not match");
  FData.NumCalQuads = NumQuads;
  for (int32_t I = 1; I <= NumQuads; ++I)
    FData.CalQuads[I] = Quads[I];
}

auto FileLines(TTextFile& F) {
  return [&F](std::string& Line) { return F.ReadLn(Line); };
}
auto FileTags(TTextFile& F) {
  return [&F](std::string& A, std::string& C) {
    return ReadNextTagInTextFile(F, VozIzaTagNames, VozIzaTagHigh, A, C);
  };
}
auto StreamLines(TStream& S) {
  return [&S](std::string& Line) { return ReadXMLStreamLine(S, Line); };
}
auto StreamTags(TStream& S) {
  return [&S](std::string& A, std::string& C) {
    return ReadNextTagInStream(S, VozIzaTagNames, VozIzaTagHigh, A, C);
  };
}

constexpr std::string_view ParsePrefix = "ParseCalibData";

} // namespace

// ---- Writers.

void WriteRawCalDataToOpenXMLFile(TTextFile& F, bool Header, const std::string& DataID,
                                  const TCalibData& CalData, TCalibModel Model) {
  for (const std::string& L :
       CalDataLines("WriteRawCalDataToOpenXMLFile", Header, false, DataID, CalData, Model))
    F.WriteLn(L);
}

void TVozIzaCalibration::WriteCalDataToOpenXMLFile(TTextFile& F, bool Header,
                                                   const std::string& DataID) {
  CalcExtentsAndResolution();
  FCalibData.MapFName = GetMapImgFile();
  for (const std::string& L : CalDataLines("Component \"" + CalibComponentName() + "\"", Header,
                                           false, DataID, FCalibData, FCalibModel))
    F.WriteLn(L);
}

// The lines are made, and checked, before the file is created: a refused
// calibration leaves an existing file as it was.
void TVozIzaCalibration::SaveCalDataAsXML(const std::string& FileName, const std::string& DataID) {
  CalcExtentsAndResolution();
  FCalibData.MapFName = GetMapImgFile();
  const std::vector<std::string> Lines = CalDataLines("Component \"" + CalibComponentName() + "\"",
                                                      true, false, DataID, FCalibData, FCalibModel);
  std::string Texts;
  for (const std::string& L : Lines)
    Texts += L;
  TTextFile F(FileName);
  F.Rewrite();
  F.SetUtf8Output(Cp1252ReadsAsUtf8(Texts));
  for (const std::string& L : Lines)
    F.WriteLn(L);
  F.Close();
}

void TVozIzaCalibration::SaveCalDataAsXML(TStream& OutStream, const std::string& DataID) {
  CalcExtentsAndResolution();
  FCalibData.MapFName = GetMapImgFile();
  for (const std::string& L : CalDataLines("Component \"" + CalibComponentName() + "\"", true, true,
                                           DataID, FCalibData, FCalibModel))
    WriteLnStream(OutStream, L);
}

// ---- Readers of the control.

bool TVozIzaCalibration::ReadCalDataFromOpenXMLFile(TTextFile& F, const std::string& DataID) {
  TCalibReader Reader(FCalibData, FCalibModel, "Component \"" + CalibComponentName() + "\"", true);
  if (!Reader.ScanRoot(FileLines(F), DataID)) return false;
  ClearCalibData();
  Reader.ReadTags(FileTags(F));
  return FinishLoad();
}

bool TVozIzaCalibration::LoadCalDataFromXML(TMemoryStream& InStream, const std::string& DataID) {
  TCalibReader Reader(FCalibData, FCalibModel, "Component \"" + CalibComponentName() + "\"", true);
  if (!Reader.ScanRoot(StreamLines(InStream), DataID)) return false;
  ClearCalibData();
  Reader.ReadTags(StreamTags(InStream));
  return FinishLoad();
}

bool TVozIzaCalibration::LoadCalDataFromXML(const std::string& FName, const std::string& DataID) {
  TTextFile F(FName);
  if (!F.TryReset()) return false;
  const bool Result = ReadCalDataFromOpenXMLFile(F, DataID);
  F.Close();
  return Result;
}

// The end of every load: the graticule decides the result, then the image
// the file names is loaded and the model fitted (the conic start point needs
// the image size). Corners and resolution stay as read.
bool TVozIzaCalibration::FinishLoad() {
  const bool Result = RecalcGratMat();
  if (!FCalibData.MapFName.empty()) SetMapImgName(FCalibData.MapFName);
  FitCurrentModel();
  return Result;
}

void TVozIzaCalibration::SetCalDatName(const std::string& Value) {
  if (FileExists(Value)) {
    FCalDatName = Value;
    LoadCalDataFromXML(Value, "");
  } else {
    ClearMapImage();
  }
  CalibrationChanged();
}

// ---- Stand-alone readers.

bool ParseCalibData(const std::string& FileName, const std::string& DataID, TCalibData& CalData,
                    TCalibModel& Model) {
  TTextFile F(FileName);
  if (!F.TryReset()) return false;
  TCalibReader Reader(CalData, Model, std::string(ParsePrefix), false);
  if (!Reader.ScanRoot(FileLines(F), DataID)) return false;
  CalData.NumCalLines = 0;
  Reader.ReadTags(FileTags(F));
  F.Close();
  return true;
}

bool ParseCalibData(TMemoryStream* InStream, const std::string& DataID, TCalibData& CalData,
                    TCalibModel& Model) {
  if (InStream == nullptr) return false;
  TCalibReader Reader(CalData, Model, std::string(ParsePrefix), false);
  if (!Reader.ScanRoot(StreamLines(*InStream), DataID)) return false;
  CalData.NumCalLines = 0;
  Reader.ReadTags(StreamTags(*InStream));
  return true;
}

} // namespace qeb
