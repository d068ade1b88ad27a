// The tools shared by the map module's XML-like files (calibration, landmark
// and symbol sets): the tag-name list, number scanners, attribute values,
// bracketed groups and the line reader of streams; and the one rule for
// writing attribute values.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/base/textfile.h"
#include "qebgeolib/voziza/landmarks.h"

namespace qeb::detail {

// The one list of tag names handed to the tag reader of the base companion
// (ReadNextTagInTextFile, ReadNextTagInStream); the reader reports a tag by
// its index here. "voziza" itself is found by the line scan of the root line,
// and "invalidtag" is the sentinel the tag reader answers at the end of the
// input, so VozIzaTagHigh is the High argument of every call.
inline constexpr std::string_view VozIzaTagNames[] = {
    "voziza",       "/voziza",  "calline",   "corners",   "resolution", "gmlandmarks",
    "/gmlandmarks", "landmark", "calquads",  "lmsymbols", "/lmsymbols", "symbol",
    "utmzone",      "utmsouth", "ellipsoid", "invalidtag"};
inline constexpr int32_t VozIzaTagHigh = 15;

enum TVozIzaTag : int32_t {
  vztVoziza,
  vztEndVoziza,
  vztCalLine,
  vztCorners,
  vztResolution,
  vztGmLandmarks,
  vztEndGmLandmarks,
  vztLandmark,
  vztCalQuads,
  vztLmSymbols,
  vztEndLmSymbols,
  vztSymbol,
  vztUTMZone,
  vztUTMSouth,
  vztEllipsoid,
  vztInvalidTag,
};

// ---- Number scanners. Pos is 1-based. After a number it is left on the
// first character that does not belong to it; when the text at Pos does not
// start a number (and when Pos lies outside the text) the result is 0 and Pos
// stays where it was. Blanks are every character up to ' '.

// Blanks, an optional '+' or '-', decimal digits. Values beyond the 32-bit
// range saturate.
int32_t ReadXMLInt(std::string_view Text, int32_t& Pos);

// Blanks, an optional sign, digits, an optional separator with digits, and
// with AllowExponent an 'E' or 'e' with an optional sign and digits. The
// separator is '.', and ',' as well with AllowComma. A number may begin or end
// with the separator (".5", "5."), but needs at least one digit. An exponent
// marker not followed by digits is not part of the number; exponent digits are
// taken only while the exponent read so far lies within ±4200. The value is
// correctly rounded and limited to the finite doubles (±1e999 gives the
// largest finite double of that sign).
double ReadXMLFloat(std::string_view Text, int32_t& Pos, bool AllowExponent, bool AllowComma);

// Convenience forms that read from the start of Text.
inline int32_t ReadXMLInt(std::string_view Text) {
  int32_t Pos = 1;
  return ReadXMLInt(Text, Pos);
}
inline double ReadXMLFloat(std::string_view Text, bool AllowExponent, bool AllowComma) {
  int32_t Pos = 1;
  return ReadXMLFloat(Text, Pos, AllowExponent, AllowComma);
}

// ---- Texts.

// The value of attribute Name in Text: what follows the first occurrence of
// Name="  (the name compared without regard to the case of ASCII letters) up
// to the next double quotation mark, or to the end of Text when none follows.
// Values are neither unescaped nor trimmed. Found tells whether the attribute
// was there; its value is empty otherwise.
std::string_view XMLAttributeValue(std::string_view Text, std::string_view Name, bool& Found);
inline std::string_view XMLAttributeValue(std::string_view Text, std::string_view Name) {
  bool Found = false;
  return XMLAttributeValue(Text, Name, Found);
}

// The value of a hexadecimal attribute (colours of the landmark and symbol
// tags): ScanHex from the start of Text, so an empty or malformed value
// gives 0.
uint32_t ReadXMLHex(std::string_view Text);

// The attributes of a landmark or symbol tag, read from the start of the
// tag's attribute text as a sequence of name, '=', value. Blanks around a
// name are dropped and names compare without regard to the case of ASCII
// letters; blanks after '=' are skipped. A value in double quotes runs to the
// next double quote (blanks and '=' included), an unquoted value to the next
// blank or double quote. Reading stops at the end of the text or at the first
// malformed attribute (a '"' inside a name, or '=' where a value starts or
// inside an unquoted value): what follows it cannot be found. The views point
// into the text, which must outlive the object.
class TXMLAttributes {
public:
  explicit TXMLAttributes(std::string_view Text);
  // The value of the first attribute called Name; empty when there is none.
  std::string_view Get(std::string_view Name) const;

private:
  struct TPair {
    std::string_view Name, Value;
  };
  // Tags carry a few dozen attributes; a small inline store keeps the reader
  // free of allocations for them.
  static constexpr std::size_t kInline = 32;
  TPair FInline[kInline];
  std::size_t FCount = 0;
  std::vector<TPair> FMore;
};

// A boolean attribute value: true when it contains "true" in any letter case.
bool XMLTrueValue(std::string_view Value);

// Value made fit for a double-quoted attribute on one line: values are
// written without escaping and read up to the next double quote, so '"'
// becomes an apostrophe ('), and line breaks and other control characters
// become blanks.
std::string XMLAttributeText(std::string_view Value);

// The symbol attributes landmark and symbol tags share: "element" (a name
// of LMTypeNames in any letter case; any other value and none give
// lmCross), "colorfg" and "colorbg" (ReadXMLHex), "size", "dir" and "leng"
// (ReadXMLInt), "transp" (XMLTrueValue).
TSymbolProperties ReadXMLSymbolProperties(const TXMLAttributes& A);

// Reads the landmark or symbol set with identifier DataID from the current
// line of F. Set is vztGmLandmarks or vztLmSymbols; the tag list holds each
// set's tag, its closing tag and its item tag in a row. The header is the
// first line that contains, in any letter case, "<" directly followed by
// the set's tag and "qebcsuite", and, unless DataID is empty, an identifier
// equal to DataID without regard to letter case: the value of the first
// id=" in the line up to the next '"', blanks trimmed (DataID is compared
// as XMLAttributeText writes it, blanks trimmed too). Without such a line the result is false
// and neither callback runs. Otherwise Begin runs, then Item with the
// attribute text of every item tag after the header line up to the set's
// closing tag, a "/voziza" or the end of the file; other tags are passed
// over. True.
bool ReadXMLSet(TTextFile& F, TVozIzaTag Set, const std::string& DataID,
                const std::function<void()>& Begin,
                const std::function<void(std::string_view Attributes)>& Item);

// Cuts the next group in square brackets off Rest: when a '[' exists and
// stands before the first ']', Group is the text between them, Rest loses
// everything up to and including that ']', and the result is true. Otherwise
// Rest becomes empty and the result is false. Line breaks and blanks between
// groups therefore do not matter.
bool NextXMLGroup(std::string_view& Rest, std::string_view& Group);

// Reads one line of a stream for the root-line scans: bytes are characters
// 0..255, a byte 10 ends the line, other bytes below 32 except tab are
// dropped (so CR LF and LF both work). The line is returned as UTF-8: kept
// when its bytes are valid UTF-8, else read as Windows-1252. The stream is
// left just after the line end. False at the end of the stream (the last line
// without a line end is still delivered with true).
bool ReadXMLStreamLine(TStream& S, std::string& Line);

} // namespace qeb::detail
