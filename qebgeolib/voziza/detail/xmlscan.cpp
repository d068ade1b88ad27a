#include "qebgeolib/voziza/detail/xmlscan.h"

#include <charconv>
#include <cstring>
#include <limits>

#include "qebgeolib/companion/corelib/tagreader.h"
#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/base/text.h"

namespace qeb::detail {

namespace {

constexpr bool IsDigit(char C) {
  return C >= '0' && C <= '9';
}
constexpr bool IsBlank(char C) {
  return static_cast<unsigned char>(C) <= ' ';
}
constexpr char LowerAscii(char C) {
  return C >= 'A' && C <= 'Z' ? static_cast<char>(C + 32) : C;
}

// Enough significant digits to round every decimal to the nearest double: a
// longer mantissa is cut, and a final 1 stands for the nonzero digits cut
// away, which keeps the rounding direction.
constexpr std::size_t kMaxDigits = 800;

// Positions are 32-bit: a longer text is read as far as they reach.
constexpr std::size_t kMaxText = std::numeric_limits<int32_t>::max() - 1;

// The double nearest to Digits × 10^Scale (Digits: decimal digits without
// leading zeros), limited to the finite range.
double DecimalValue(std::string Digits, int64_t Scale) {
  while (!Digits.empty() && Digits.back() == '0') {
    Digits.pop_back();
    ++Scale;
  }
  if (Digits.empty()) return 0;
  // The value lies in [10^(Magnitude-1), 10^Magnitude).
  const int64_t Magnitude = static_cast<int64_t>(Digits.size()) + Scale;
  constexpr double Max = std::numeric_limits<double>::max();
  if (Magnitude > 310) return Max;
  if (Magnitude < -330) return 0;
  Digits += 'e';
  Digits += std::to_string(Scale);
  double V = 0;
  const auto R = std::from_chars(Digits.data(), Digits.data() + Digits.size(), V);
  if (R.ec == std::errc::result_out_of_range) return Magnitude > 0 ? Max : 0;
  if (R.ec != std::errc()) return 0;
  return V > Max ? Max : V;
}

} // namespace

int32_t ReadXMLInt(std::string_view Text, int32_t& Pos) {
  Text = Text.substr(0, kMaxText);
  if (Pos < 1 || static_cast<std::size_t>(Pos) > Text.size()) return 0;
  const std::size_t N = Text.size();
  std::size_t I = static_cast<std::size_t>(Pos) - 1;
  while (I < N && IsBlank(Text[I]))
    ++I;
  bool Neg = false;
  if (I < N && (Text[I] == '+' || Text[I] == '-')) Neg = Text[I++] == '-';
  if (I >= N || !IsDigit(Text[I])) return 0;
  int64_t V = 0;
  constexpr int64_t Limit = int64_t{1} << 31;
  while (I < N && IsDigit(Text[I])) {
    if (V < Limit) V = V * 10 + (Text[I] - '0');
    ++I;
  }
  Pos = static_cast<int32_t>(I + 1);
  if (Neg) V = -V;
  if (V > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (V < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(V);
}

double ReadXMLFloat(std::string_view Text, int32_t& Pos, bool AllowExponent, bool AllowComma) {
  Text = Text.substr(0, kMaxText);
  if (Pos < 1 || static_cast<std::size_t>(Pos) > Text.size()) return 0;
  const std::size_t N = Text.size();
  std::size_t I = static_cast<std::size_t>(Pos) - 1;
  while (I < N && IsBlank(Text[I]))
    ++I;
  bool Neg = false;
  if (I < N && (Text[I] == '+' || Text[I] == '-')) Neg = Text[I++] == '-';
  const std::size_t IntStart = I;
  while (I < N && IsDigit(Text[I]))
    ++I;
  const std::size_t IntEnd = I;
  std::size_t FracStart = I, FracEnd = I;
  if (I < N && (Text[I] == '.' || (AllowComma && Text[I] == ','))) {
    FracStart = ++I;
    while (I < N && IsDigit(Text[I]))
      ++I;
    FracEnd = I;
  }
  if (IntEnd == IntStart && FracEnd == FracStart) return 0;
  int64_t Exp = 0;
  if (AllowExponent && I < N && (Text[I] == 'e' || Text[I] == 'E')) {
    std::size_t J = I + 1;
    bool ExpNeg = false;
    if (J < N && (Text[J] == '+' || Text[J] == '-')) ExpNeg = Text[J++] == '-';
    if (J < N && IsDigit(Text[J])) {
      while (J < N && IsDigit(Text[J]) && Exp <= 4200)
        Exp = Exp * 10 + (Text[J++] - '0');
      if (ExpNeg) Exp = -Exp;
      I = J;
    }
  }
  Pos = static_cast<int32_t>(I + 1);

  // Significant digits without leading zeros; Exp becomes the power of ten
  // of their last digit.
  std::string Digits;
  bool Sticky = false;
  auto Add = [&](char C, bool Fraction) {
    if (Digits.empty() && C == '0') {
      if (Fraction) --Exp;
    } else if (Digits.size() < kMaxDigits) {
      Digits += C;
      if (Fraction) --Exp;
    } else {
      if (!Fraction) ++Exp;
      Sticky = Sticky || C != '0';
    }
  };
  for (std::size_t K = IntStart; K < IntEnd; ++K)
    Add(Text[K], false);
  for (std::size_t K = FracStart; K < FracEnd; ++K)
    Add(Text[K], true);
  if (Sticky) {
    Digits += '1';
    --Exp;
  }
  const double V = DecimalValue(std::move(Digits), Exp);
  return Neg ? -V : V;
}

std::string_view XMLAttributeValue(std::string_view Text, std::string_view Name, bool& Found) {
  Found = false;
  const std::size_t Len = Name.size() + 2;
  for (std::size_t P = 0; P + Len <= Text.size(); ++P) {
    bool Match = Text[P + Name.size()] == '=' && Text[P + Name.size() + 1] == '"';
    for (std::size_t I = 0; Match && I < Name.size(); ++I)
      Match = LowerAscii(Text[P + I]) == LowerAscii(Name[I]);
    if (!Match) continue;
    Found = true;
    const std::size_t Start = P + Len;
    const std::size_t End = Text.find('"', Start);
    return Text.substr(Start, End == std::string_view::npos ? std::string_view::npos : End - Start);
  }
  return {};
}

uint32_t ReadXMLHex(std::string_view Text) {
  int32_t Pos = 1;
  return ScanHex(Text, Pos);
}

TXMLAttributes::TXMLAttributes(std::string_view Text) {
  std::size_t P = 0;
  const std::size_t N = Text.size();
  while (true) {
    while (P < N && IsBlank(Text[P]))
      ++P;
    if (P >= N) return;
    const std::size_t Eq = Text.find('=', P);
    if (Eq == std::string_view::npos) return;
    std::string_view Name = Text.substr(P, Eq - P);
    if (Name.find('"') != std::string_view::npos) return;
    while (!Name.empty() && IsBlank(Name.back()))
      Name.remove_suffix(1);
    P = Eq + 1;
    while (P < N && IsBlank(Text[P]))
      ++P;
    std::string_view Value;
    if (P < N && Text[P] == '"') {
      const std::size_t Close = Text.find('"', P + 1);
      const std::size_t End = Close == std::string_view::npos ? N : Close;
      Value = Text.substr(P + 1, End - P - 1);
      P = End == N ? N : End + 1;
    } else {
      std::size_t End = P;
      while (End < N && !IsBlank(Text[End]) && Text[End] != '"' && Text[End] != '=')
        ++End;
      if (End < N && Text[End] == '=') return; // '=' where a value starts or inside one
      Value = Text.substr(P, End - P);
      P = End;
    }
    const TPair Pair{Name, Value};
    if (FCount < kInline)
      FInline[FCount] = Pair;
    else
      FMore.push_back(Pair);
    ++FCount;
  }
}

std::string_view TXMLAttributes::Get(std::string_view Name) const {
  auto Same = [Name](std::string_view A) {
    if (A.size() != Name.size()) return false;
    for (std::size_t I = 0; I < A.size(); ++I)
      if (LowerAscii(A[I]) != LowerAscii(Name[I])) return false;
    return true;
  };
  for (std::size_t I = 0; I < FCount; ++I) {
    const TPair& Pair = I < kInline ? FInline[I] : FMore[I - kInline];
    if (Same(Pair.Name)) return Pair.Value;
  }
  return {};
}

bool XMLTrueValue(std::string_view Value) {
  for (std::size_t P = 0; P + 4 <= Value.size(); ++P)
    if (LowerAscii(Value[P]) == 't' && LowerAscii(Value[P + 1]) == 'r' &&
        LowerAscii(Value[P + 2]) == 'u' && LowerAscii(Value[P + 3]) == 'e')
      return true;
  return false;
}

std::string XMLAttributeText(std::string_view Value) {
  std::string S(Value);
  for (char& C : S)
    if (C == '"')
      C = '\'';
    else if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F)
      C = ' ';
  return S;
}

TSymbolProperties ReadXMLSymbolProperties(const TXMLAttributes& A) {
  TSymbolProperties P;
  P.Kind = LMTypeFromName(A.Get("element"), lmCross);
  P.FGColor = ReadXMLHex(A.Get("colorfg"));
  P.BGColor = ReadXMLHex(A.Get("colorbg"));
  P.Size = ReadXMLInt(A.Get("size"));
  P.Transparent = XMLTrueValue(A.Get("transp"));
  P.Direction = ReadXMLInt(A.Get("dir"));
  P.Length = ReadXMLInt(A.Get("leng"));
  return P;
}

bool ReadXMLSet(TTextFile& F, TVozIzaTag Set, const std::string& DataID,
                const std::function<void()>& Begin,
                const std::function<void(std::string_view Attributes)>& Item) {
  // Identifiers in headers are compared without their blanks at the ends;
  // so is the one asked for, or a set saved under " a " could not be found.
  const std::string Want = LowerCase(Trim(XMLAttributeText(DataID)));
  std::string Open(1, '<');
  Open.append(VozIzaTagNames[Set]);
  std::string Line;
  bool Found = false;
  while (!Found && F.ReadLn(Line)) {
    const std::string Low = LowerCase(Line);
    Found = Low.find(Open) != std::string::npos && Low.find("qebcsuite") != std::string::npos &&
            (Want.empty() || Want == Trim(XMLAttributeValue(Low, "id")));
  }
  if (!Found) return false;
  Begin();
  std::string Attributes, Content;
  for (;;) {
    const int32_t Tag =
        ReadNextTagInTextFile(F, VozIzaTagNames, VozIzaTagHigh, Attributes, Content);
    if (Tag == Set + 1 || Tag == vztEndVoziza || Tag == vztInvalidTag) return true;
    if (Tag == Set + 2) Item(Attributes);
  }
}

bool NextXMLGroup(std::string_view& Rest, std::string_view& Group) {
  const std::size_t Close = Rest.find(']');
  const std::size_t Open = Close == std::string_view::npos ? Close : Rest.find('[');
  if (Open == std::string_view::npos || Open > Close) {
    Rest = {};
    Group = {};
    return false;
  }
  Group = Rest.substr(Open + 1, Close - Open - 1);
  Rest.remove_prefix(Close + 1);
  return true;
}

bool ReadXMLStreamLine(TStream& S, std::string& Line) {
  Line.clear();
  std::string Bytes;
  char Buf[256];
  bool Any = false;
  for (;;) {
    const int64_t Got = S.Read(Buf, sizeof Buf);
    if (Got <= 0) break;
    Any = true;
    const char* End = static_cast<const char*>(std::memchr(Buf, '\n', static_cast<size_t>(Got)));
    const int64_t Use = End ? End - Buf : Got;
    for (int64_t I = 0; I < Use; ++I)
      if (static_cast<unsigned char>(Buf[I]) >= 32 || Buf[I] == '\t') Bytes += Buf[I];
    if (End) {
      // Leave the stream just after the line end.
      S.Seek(Use + 1 - Got, soFromCurrent);
      break;
    }
  }
  if (!Any) return false;
  Line = DecodeExternalText(Bytes);
  return true;
}

} // namespace qeb::detail
