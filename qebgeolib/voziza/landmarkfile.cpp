// Landmark files: sets of landmarks in the map module's XML-like files, each
// under a "gmlandmarks" header with a data identifier.
//
// The writer writes only what the reader reads back the same:
// - every field as one attribute of a one-line "landmark" tag; numbers in
//   their shortest exact form, colours as eight hexadecimal digits, booleans
//   as TRUE/FALSE, font styles as four flag digits;
// - texts (identifier, caption, font name) without escaping: a '"' is written
//   as an apostrophe and control characters as blanks (XMLAttributeText), and
//   the file is Windows-1252, so a font name loses the characters that code
//   page lacks ('?') - unless its Windows-1252 bytes would read as UTF-8
//   (texts such as "Ã©"), when SaveLandmarks writes UTF-8 instead;
// - the time stamp to the second, in the years 1..9999 (else it is left out
//   and reads back as 0);
// - a kind outside the enumeration as "Cross", what the reader makes of an
//   unknown name.
// A landmark whose position is not a finite number has no spelling the
// reader accepts: the writer refuses the whole set before writing a line.
#include <charconv>
#include <cmath>

#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/textfile.h"
#include "qebgeolib/voziza/detail/xmlscan.h"
#include "qebgeolib/voziza/view.h"

namespace qeb {

using namespace detail; // the internal pieces of this module

namespace {

constexpr std::string_view DateFormat = "yyyymmddHHMMSS";

// The four flag characters bold, italic, underline, strike-out ("1" set).
TFontStyles FontStylesFrom(std::string_view Flags) {
  static constexpr TFontStyle Bits[4] = {fsBold, fsItalic, fsUnderline, fsStrikeOut};
  TFontStyles S = 0;
  for (std::size_t I = 0; I < 4 && I < Flags.size(); ++I)
    if (Flags[I] == '1') S |= Bits[I];
  return S;
}

std::string FontStylesText(TFontStyles S) {
  return {S & fsBold ? '1' : '0', S & fsItalic ? '1' : '0', S & fsUnderline ? '1' : '0',
          S & fsStrikeOut ? '1' : '0'};
}

TLandMark LandMarkFromTag(std::string_view Attributes) {
  const TXMLAttributes A(Attributes);
  TLandMark LM;
  LM.Latitude = ReadXMLFloat(A.Get("lat"), true, true);
  LM.Longitude = ReadXMLFloat(A.Get("long"), true, true);
  LM.Altitude = ReadXMLFloat(A.Get("alti"), true, true);
  LM.ClassFlag = static_cast<uint8_t>(ReadXMLInt(A.Get("class")));
  LM.Tag = ReadXMLInt(A.Get("usertag"));
  LM.SymbolProps = ReadXMLSymbolProperties(A);
  LM.Identifier = TLMIdentifier::FromString(A.Get("id"));
  int32_t Pos = 1;
  LM.Time = ScanDateTime(A.Get("date"), DateFormat, lgEnglish, Pos);
  TLMTextProperties& C = LM.Caption;
  C.Text = TLMText::FromString(A.Get("captext"));
  C.Size = ReadXMLInt(A.Get("capsize"));
  C.FontName = A.Get("capfnm");
  C.FGColor = ReadXMLHex(A.Get("capfgcol"));
  C.BGColor = ReadXMLHex(A.Get("capbgcol"));
  C.Transparent = XMLTrueValue(A.Get("captransp"));
  C.Direction = ReadXMLInt(A.Get("capdir"));
  C.dx = ReadXMLInt(A.Get("capdx"));
  C.dy = ReadXMLInt(A.Get("capdy"));
  C.HAlignment = static_cast<uint8_t>(ReadXMLInt(A.Get("caphal")));
  C.VAlignment = static_cast<uint8_t>(ReadXMLInt(A.Get("capval")));
  C.FontStyles = FontStylesFrom(A.Get("capfst"));
  return LM;
}

// The shortest text that reads back to exactly V (finite).
std::string NumberText(double V) {
  char Buf[32];
  return std::string(Buf, std::to_chars(Buf, Buf + sizeof Buf, V).ptr);
}

std::string LandMarkLine(const TLandMark& LM) {
  const TSymbolProperties& S = LM.SymbolProps;
  const TLMTextProperties& C = LM.Caption;
  std::string L = "<landmark";
  auto Attr = [&L](std::string_view Name, std::string_view Value) {
    L += ' ';
    L += Name;
    L += "=\"";
    L += Value;
    L += '"';
  };
  auto Int = [&Attr](std::string_view Name, int64_t V) { Attr(Name, std::to_string(V)); };
  auto Col = [&Attr](std::string_view Name, TColor V) { Attr(Name, Hex(V, 8)); };
  auto Bool = [&Attr](std::string_view Name, bool V) { Attr(Name, V ? "TRUE" : "FALSE"); };
  Attr("lat", NumberText(LM.Latitude));
  Attr("long", NumberText(LM.Longitude));
  Attr("alti", NumberText(LM.Altitude));
  Int("class", LM.ClassFlag);
  Int("usertag", LM.Tag);
  Attr("element", LMTypeName(S.Kind));
  Col("colorfg", S.FGColor);
  Col("colorbg", S.BGColor);
  Int("size", S.Size);
  Bool("transp", S.Transparent);
  Int("dir", S.Direction);
  Int("leng", S.Length);
  Attr("id", XMLAttributeText(LM.Identifier.ToString()));
  Attr("date", DateTimeToText(LM.Time, DateFormat));
  Attr("captext", XMLAttributeText(C.Text.ToString()));
  Int("capsize", C.Size);
  Attr("capfnm", XMLAttributeText(C.FontName));
  Attr("capfst", FontStylesText(C.FontStyles));
  Col("capfgcol", C.FGColor);
  Col("capbgcol", C.BGColor);
  Bool("captransp", C.Transparent);
  Int("capdir", C.Direction);
  Int("capdx", C.dx);
  Int("capdy", C.dy);
  Int("caphal", C.HAlignment);
  Int("capval", C.VAlignment);
  L += "/>";
  return L;
}

} // namespace

bool TVozIza::ReadLandMarksFromOpenXMLFile(TTextFile& F, const std::string& DataID) {
  return ReadXMLSet(
      F, vztGmLandmarks, DataID, [this] { ResetLandMarkList(); },
      [this](std::string_view Attributes) { AppendLandMark(LandMarkFromTag(Attributes)); });
}

bool TVozIza::LoadLandMarks(const std::string& FName, const std::string& DataID) {
  TTextFile F(FName);
  if (!F.TryReset()) return false;
  const bool Result = ReadLandMarksFromOpenXMLFile(F, DataID);
  F.Close();
  Paint();
  return Result;
}

void TVozIza::CheckLandMarksWritable() const {
  for (std::size_t I = 0; I < FLandMarks.size(); ++I) {
    const TLandMark& LM = FLandMarks[I];
    if (!std::isfinite(LM.Latitude) || !std::isfinite(LM.Longitude) || !std::isfinite(LM.Altitude))
      CalibError(": landmark " + std::to_string(I + 1) +
                 " has a position that is not a finite number");
  }
}

void TVozIza::WriteLandMarksToOpenXMLFile(TTextFile& F, bool Header, const std::string& DataID) {
  CheckLandMarksWritable();
  if (Header) {
    F.WriteLn("<?xml version=\"1.0\"?>");
    F.WriteLn("");
    F.WriteLn("<!-- TVozIza Landmarks / QEB Component Suite -->");
  }
  F.WriteLn("<gmlandmarks sig=\"QEBCSuite\" vers=\"1.0\" id=\"" + XMLAttributeText(DataID) + "\">");
  for (const TLandMark& LM : FLandMarks)
    F.WriteLn(LandMarkLine(LM));
  F.WriteLn("</gmlandmarks>");
}

// A refused set leaves an existing file as it was.
void TVozIza::SaveLandmarks(const std::string& FileName, const std::string& DataID) {
  CheckLandMarksWritable();
  std::string Texts = DataID;
  for (const TLandMark& LM : FLandMarks) {
    Texts += ' ';
    Texts += LM.Identifier.ToString();
    Texts += ' ';
    Texts += LM.Caption.Text.ToString();
    Texts += ' ';
    Texts += LM.Caption.FontName;
  }
  TTextFile F(FileName);
  F.Rewrite();
  F.SetUtf8Output(Cp1252ReadsAsUtf8(Texts));
  WriteLandMarksToOpenXMLFile(F, true, DataID);
  F.Close();
}

} // namespace qeb
