// The strict, bounded JSON reader of the command line.
#include "tools/qebgeo/jsonread.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "qebgeolib/platform/base/streams.h"

namespace qeb::cli {

namespace {

class TParser {
public:
  TParser(std::string_view Text, const TJsonLimits& Limits) : FText(Text), FLimits(Limits) {}

  TJsonValue Document() {
    if (FText.size() > FLimits.MaxSize)
      throw EJsonError("the text is larger than " + std::to_string(FLimits.MaxSize) + " bytes");
    SkipBlanks();
    TJsonValue V = Value(0);
    SkipBlanks();
    if (FPos != FText.size()) Fail("text after the end of the value");
    return V;
  }

private:
  std::string_view FText;
  const TJsonLimits& FLimits;
  std::size_t FPos = 0;
  std::size_t FValues = 0;

  [[noreturn]] void Fail(const std::string& What) const {
    std::size_t Line = 1, Column = 1;
    for (std::size_t I = 0; I < FPos && I < FText.size(); ++I) {
      if (FText[I] == '\n') {
        ++Line;
        Column = 1;
      } else if ((static_cast<unsigned char>(FText[I]) & 0xC0) != 0x80) {
        ++Column; // counts characters, not the continuation bytes of UTF-8
      }
    }
    throw EJsonError("line " + std::to_string(Line) + ", column " + std::to_string(Column) + ": " +
                     What);
  }

  bool AtEnd() const { return FPos >= FText.size(); }
  char Peek() const { return AtEnd() ? '\0' : FText[FPos]; }

  void SkipBlanks() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
      ++FPos;
  }

  void Expect(char C, const char* What) {
    SkipBlanks();
    if (Peek() != C) Fail(std::string("expected ") + What);
    ++FPos;
  }

  void Literal(std::string_view Word) {
    if (FText.substr(FPos, Word.size()) != Word) Fail("unexpected character");
    FPos += Word.size();
  }

  TJsonValue Value(int Depth) {
    if (++FValues > FLimits.MaxValues)
      Fail("more than " + std::to_string(FLimits.MaxValues) + " values");
    SkipBlanks();
    TJsonValue V;
    switch (Peek()) {
    case '{':
      Nested(Depth);
      ObjectBody(V, Depth + 1);
      break;
    case '[':
      Nested(Depth);
      ArrayBody(V, Depth + 1);
      break;
    case '"':
      V.Kind = TJsonValue::jString;
      V.Text = String();
      break;
    case 't':
      Literal("true");
      V.Kind = TJsonValue::jBool;
      V.Bool = true;
      break;
    case 'f':
      Literal("false");
      V.Kind = TJsonValue::jBool;
      break;
    case 'n':
      Literal("null");
      break;
    case '\0':
      if (AtEnd()) Fail("unexpected end of the text");
      Fail("unexpected character");
    default:
      V.Kind = TJsonValue::jNumber;
      V.Number = Number();
    }
    return V;
  }

  void Nested(int Depth) {
    if (Depth >= FLimits.MaxDepth)
      Fail("nested deeper than " + std::to_string(FLimits.MaxDepth) + " levels");
    ++FPos;
  }

  void ObjectBody(TJsonValue& V, int Depth) {
    V.Kind = TJsonValue::jObject;
    SkipBlanks();
    if (Peek() == '}') {
      ++FPos;
      return;
    }
    for (;;) {
      SkipBlanks();
      if (Peek() != '"') Fail("expected a member name in quotes");
      std::string Key = String();
      if (V.Find(Key) != nullptr) Fail("the member \"" + Key + "\" appears twice");
      Expect(':', "':' after a member name");
      V.Members.push_back(TJsonMember{std::move(Key), Value(Depth)});
      SkipBlanks();
      if (Peek() == '}') break;
      Expect(',', "',' or '}' in an object");
    }
    ++FPos;
  }

  void ArrayBody(TJsonValue& V, int Depth) {
    V.Kind = TJsonValue::jArray;
    SkipBlanks();
    if (Peek() == ']') {
      ++FPos;
      return;
    }
    for (;;) {
      V.Items.push_back(Value(Depth));
      SkipBlanks();
      if (Peek() == ']') break;
      Expect(',', "',' or ']' in an array");
    }
    ++FPos;
  }

  // The number's text is checked against the grammar first: from_chars alone
  // would take "01", ".5" or "1." and "inf".
  double Number() {
    const std::size_t Start = FPos;
    auto Digits = [this] {
      const std::size_t From = FPos;
      while (Peek() >= '0' && Peek() <= '9')
        ++FPos;
      return FPos > From;
    };
    if (Peek() == '-') ++FPos;
    if (Peek() == '0')
      ++FPos;
    else if (!Digits())
      Fail("unexpected character");
    if (Peek() == '.') {
      ++FPos;
      if (!Digits()) Fail("a digit must follow the decimal point");
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++FPos;
      if (Peek() == '+' || Peek() == '-') ++FPos;
      if (!Digits()) Fail("a digit must follow the exponent mark");
    }
    if (FPos - Start > FLimits.MaxNumber) {
      FPos = Start;
      Fail("a number longer than " + std::to_string(FLimits.MaxNumber) + " characters");
    }
    double X = 0;
    const auto R = std::from_chars(FText.data() + Start, FText.data() + FPos, X);
    if (R.ec != std::errc() || !std::isfinite(X)) {
      const std::string Text(FText.substr(Start, FPos - Start));
      FPos = Start;
      Fail("the number " + Text + " lies outside the range of a double");
    }
    return X;
  }

  uint32_t Hex4() {
    uint32_t U = 0;
    for (int K = 0; K < 4; ++K) {
      const char C = Peek();
      U <<= 4;
      if (C >= '0' && C <= '9')
        U |= uint32_t(C - '0');
      else if (C >= 'a' && C <= 'f')
        U |= uint32_t(C - 'a' + 10);
      else if (C >= 'A' && C <= 'F')
        U |= uint32_t(C - 'A' + 10);
      else
        Fail("\\u needs four hexadecimal digits");
      ++FPos;
    }
    return U;
  }

  static void AppendUtf8(std::string& S, uint32_t U) {
    if (U < 0x80) {
      S += char(U);
    } else if (U < 0x800) {
      S += char(0xC0 | U >> 6);
      S += char(0x80 | (U & 0x3F));
    } else if (U < 0x10000) {
      S += char(0xE0 | U >> 12);
      S += char(0x80 | (U >> 6 & 0x3F));
      S += char(0x80 | (U & 0x3F));
    } else {
      S += char(0xF0 | U >> 18);
      S += char(0x80 | (U >> 12 & 0x3F));
      S += char(0x80 | (U >> 6 & 0x3F));
      S += char(0x80 | (U & 0x3F));
    }
  }

  // The length of the valid UTF-8 sequence at FPos (a lead byte of 0x80 or
  // more), or 0: overlong forms, surrogates and values above U+10FFFF are
  // invalid.
  std::size_t Utf8Length() const {
    const auto B = [this](std::size_t K) {
      return FPos + K < FText.size() ? static_cast<unsigned char>(FText[FPos + K]) : 0u;
    };
    const unsigned char Lead = static_cast<unsigned char>(FText[FPos]);
    const auto Cont = [&](std::size_t K, unsigned Lo = 0x80, unsigned Hi = 0xBF) {
      return B(K) >= Lo && B(K) <= Hi;
    };
    if (Lead >= 0xC2 && Lead <= 0xDF) return Cont(1) ? 2 : 0;
    if (Lead == 0xE0) return Cont(1, 0xA0) && Cont(2) ? 3 : 0;
    if (Lead == 0xED) return Cont(1, 0x80, 0x9F) && Cont(2) ? 3 : 0;
    if (Lead >= 0xE1 && Lead <= 0xEF) return Cont(1) && Cont(2) ? 3 : 0;
    if (Lead == 0xF0) return Cont(1, 0x90) && Cont(2) && Cont(3) ? 4 : 0;
    if (Lead >= 0xF1 && Lead <= 0xF3) return Cont(1) && Cont(2) && Cont(3) ? 4 : 0;
    if (Lead == 0xF4) return Cont(1, 0x80, 0x8F) && Cont(2) && Cont(3) ? 4 : 0;
    return 0;
  }

  std::string String() {
    ++FPos; // the opening quote
    std::string S;
    for (;;) {
      if (S.size() > FLimits.MaxString)
        Fail("a string longer than " + std::to_string(FLimits.MaxString) + " bytes");
      if (AtEnd()) Fail("a string without its closing quote");
      const unsigned char C = static_cast<unsigned char>(FText[FPos]);
      if (C == '"') {
        ++FPos;
        return S;
      }
      if (C < 0x20) Fail("a control character in a string (write it as \\u00XX)");
      if (C >= 0x80) {
        const std::size_t N = Utf8Length();
        if (N == 0) Fail("a string that is not valid UTF-8");
        S.append(FText.substr(FPos, N));
        FPos += N;
        continue;
      }
      ++FPos;
      if (C != '\\') {
        S += char(C);
        continue;
      }
      const char E = Peek();
      ++FPos;
      switch (E) {
      case '"':
      case '\\':
      case '/':
        S += E;
        break;
      case 'b':
        S += '\b';
        break;
      case 'f':
        S += '\f';
        break;
      case 'n':
        S += '\n';
        break;
      case 'r':
        S += '\r';
        break;
      case 't':
        S += '\t';
        break;
      case 'u': {
        uint32_t U = Hex4();
        if (U >= 0xDC00 && U <= 0xDFFF) Fail("a lone low surrogate in \\u escapes");
        if (U >= 0xD800 && U <= 0xDBFF) {
          if (Peek() != '\\' || FPos + 1 >= FText.size() || FText[FPos + 1] != 'u')
            Fail("a high surrogate without its low half");
          FPos += 2;
          const uint32_t Low = Hex4();
          if (Low < 0xDC00 || Low > 0xDFFF) Fail("a high surrogate without its low half");
          U = 0x10000 + ((U - 0xD800) << 10) + (Low - 0xDC00);
        }
        AppendUtf8(S, U);
        break;
      }
      default:
        --FPos;
        Fail("an unknown escape in a string");
      }
    }
  }
};

} // namespace

const TJsonValue* TJsonValue::Find(std::string_view Key) const {
  for (const auto& [Name, Value] : Members)
    if (Name == Key) return &Value;
  return nullptr;
}

std::string_view JsonKindName(TJsonValue::TKind Kind) {
  static constexpr std::string_view Names[] = {"null",     "a boolean", "a number",
                                               "a string", "an array",  "an object"};
  return Names[Kind];
}

TJsonValue ParseJson(std::string_view Text, const TJsonLimits& Limits) {
  return TParser(Text, Limits).Document();
}

TJsonValue ReadJsonFile(const std::string& FileName, const TJsonLimits& Limits) {
  // The stream refuses FIFOs and devices, which could block or never end.
  TFileStream F(FileName, fmOpenRead);
  const int64_t Size = F.GetSize();
  if (Size < 0 || uint64_t(Size) > Limits.MaxSize)
    throw EJsonError("\"" + FileName + "\" is larger than " + std::to_string(Limits.MaxSize) +
                     " bytes");
  std::string Text(std::size_t(Size), '\0');
  F.ReadBuffer(Text.data(), Size);
  try {
    return ParseJson(Text, Limits);
  } catch (const EJsonError& E) {
    throw EJsonError("\"" + FileName + "\", " + E.what());
  }
}

std::string JsonString(std::string_view Text) {
  std::string R = "\"";
  for (unsigned char C : Text) {
    if (C == '"' || C == '\\') {
      R += '\\';
      R += static_cast<char>(C);
    } else if (C < 0x20) {
      char Buf[8];
      std::snprintf(Buf, sizeof Buf, "\\u%04x", C);
      R += Buf;
    } else {
      R += static_cast<char>(C);
    }
  }
  return R + '"';
}

} // namespace qeb::cli
