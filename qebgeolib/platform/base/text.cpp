// Windows-1252 <-> UTF-8 conversions and the UTF-8 check, all driven by small
// constant tables so that the common (ASCII) case costs one comparison a byte.
#include "qebgeolib/platform/base/text.h"

#include <array>

namespace qeb {

namespace {

// Code points of the bytes 0x80..0x9F; the bytes 0xA0..0xFF are U+00A0..U+00FF
// and the five bytes 1252 leaves undefined stand for the C1 controls.
constexpr std::array<char16_t, 32> kHighCodes = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t CodeOf(uint8_t B) {
  if (B < 0x80 || B >= 0xA0) return B;
  return kHighCodes[B - 0x80];
}

// The UTF-8 form of every byte: up to three bytes and the length.
struct TUtf8Seq {
  char Bytes[3];
  uint8_t Len;
};

constexpr std::array<TUtf8Seq, 256> MakeEncodeTable() {
  std::array<TUtf8Seq, 256> T{};
  for (unsigned B = 0; B < 256; ++B) {
    const char32_t C = CodeOf(static_cast<uint8_t>(B));
    TUtf8Seq& S = T[B];
    if (C < 0x80) {
      S.Bytes[0] = static_cast<char>(C);
      S.Len = 1;
    } else if (C < 0x800) {
      S.Bytes[0] = static_cast<char>(0xC0 | (C >> 6));
      S.Bytes[1] = static_cast<char>(0x80 | (C & 0x3F));
      S.Len = 2;
    } else {
      S.Bytes[0] = static_cast<char>(0xE0 | (C >> 12));
      S.Bytes[1] = static_cast<char>(0x80 | ((C >> 6) & 0x3F));
      S.Bytes[2] = static_cast<char>(0x80 | (C & 0x3F));
      S.Len = 3;
    }
  }
  return T;
}

constexpr std::array<TUtf8Seq, 256> kEncode = MakeEncodeTable();

// The 1252 byte of a code point above U+00FF, or '?' when 1252 has none.
// All such code points lie in U+0152..U+2122; the table is searched linearly
// because it has 27 entries and non-Latin-1 characters are rare in our texts.
uint8_t ByteOfWideCode(char32_t C) {
  for (unsigned I = 0; I < kHighCodes.size(); ++I)
    if (kHighCodes[I] == C && C > 0xFF) return static_cast<uint8_t>(0x80 + I);
  return '?';
}

// The shape of a UTF-8 sequence led by B0: its length and the allowed range
// of its second byte, from the Unicode standard's table of well-formed byte
// sequences (no overlong forms, no surrogates, nothing above U+10FFFF).
// False for a byte that cannot lead a multi-byte sequence.
bool LeadByte(uint8_t B0, std::size_t& Len, uint8_t& Lo, uint8_t& Hi) {
  Lo = 0x80;
  Hi = 0xBF;
  if (B0 >= 0xC2 && B0 <= 0xDF) {
    Len = 2;
  } else if (B0 >= 0xE0 && B0 <= 0xEF) {
    Len = 3;
    if (B0 == 0xE0) Lo = 0xA0;
    if (B0 == 0xED) Hi = 0x9F;
  } else if (B0 >= 0xF0 && B0 <= 0xF4) {
    Len = 4;
    if (B0 == 0xF0) Lo = 0x90;
    if (B0 == 0xF4) Hi = 0x8F;
  } else {
    return false;
  }
  return true;
}

// Length of the well-formed UTF-8 sequence starting at P (at most End - P
// bytes available), and its code point; 0 when the bytes there are not a
// well-formed sequence.
std::size_t DecodeOne(const uint8_t* P, const uint8_t* End, char32_t& Code) {
  const uint8_t B0 = P[0];
  if (B0 < 0x80) {
    Code = B0;
    return 1;
  }
  std::size_t Len;
  uint8_t Lo, Hi;
  if (!LeadByte(B0, Len, Lo, Hi)) return 0;
  if (static_cast<std::size_t>(End - P) < Len) return 0;
  if (P[1] < Lo || P[1] > Hi) return 0;
  char32_t C = B0 & (0xFF >> (Len + 1));
  C = (C << 6) | (P[1] & 0x3F);
  for (std::size_t I = 2; I < Len; ++I) {
    if ((P[I] & 0xC0) != 0x80) return 0;
    C = (C << 6) | (P[I] & 0x3F);
  }
  Code = C;
  return Len;
}

// Number of bytes of a malformed sequence that count as one bad character:
// the lead byte and the continuation bytes that still fitted (the "maximal
// subpart" rule), so a stray lead byte never swallows the ASCII after it.
std::size_t BadLength(const uint8_t* P, const uint8_t* End) {
  std::size_t Len;
  uint8_t Lo, Hi;
  if (!LeadByte(P[0], Len, Lo, Hi)) return 1;
  std::size_t N = 1;
  while (N < Len && P + N < End) {
    const uint8_t B = P[N];
    if (N == 1 ? (B < Lo || B > Hi) : (B & 0xC0) != 0x80) break;
    ++N;
  }
  return N;
}

bool IsAllAscii(const uint8_t* P, std::size_t N) {
  uint8_t Or = 0;
  for (std::size_t I = 0; I < N; ++I)
    Or |= P[I];
  return Or < 0x80;
}

} // namespace

std::string Cp1252ToUtf8(std::string_view Bytes) {
  const auto* P = reinterpret_cast<const uint8_t*>(Bytes.data());
  const std::size_t N = Bytes.size();
  std::size_t OutLen = 0;
  for (std::size_t I = 0; I < N; ++I)
    OutLen += kEncode[P[I]].Len;
  std::string Out(OutLen, '\0');
  char* Q = Out.data();
  for (std::size_t I = 0; I < N; ++I) {
    const TUtf8Seq& S = kEncode[P[I]];
    Q[0] = S.Bytes[0];
    if (S.Len > 1) {
      Q[1] = S.Bytes[1];
      if (S.Len > 2) Q[2] = S.Bytes[2];
    }
    Q += S.Len;
  }
  return Out;
}

std::string Utf8ToCp1252(std::string_view Utf8) {
  const auto* P = reinterpret_cast<const uint8_t*>(Utf8.data());
  const auto* End = P + Utf8.size();
  std::string Out;
  Out.reserve(Utf8.size());
  while (P < End) {
    if (*P < 0x80) {
      Out.push_back(static_cast<char>(*P++));
      continue;
    }
    char32_t C = 0;
    const std::size_t Len = DecodeOne(P, End, C);
    if (Len == 0) {
      Out.push_back('?');
      P += BadLength(P, End);
      continue;
    }
    P += Len;
    uint8_t B;
    if (C >= 0xA0 && C <= 0xFF)
      B = static_cast<uint8_t>(C);
    else if (C >= 0x80 && C < 0xA0)
      // Only the five C1 controls that stand for undefined 1252 bytes
      // come back; the others have no byte of their own.
      B = CodeOf(static_cast<uint8_t>(C)) == C ? static_cast<uint8_t>(C) : '?';
    else
      B = ByteOfWideCode(C);
    Out.push_back(static_cast<char>(B));
  }
  return Out;
}

bool IsValidUtf8(std::string_view Bytes) {
  const auto* P = reinterpret_cast<const uint8_t*>(Bytes.data());
  const auto* End = P + Bytes.size();
  while (P < End) {
    // Skip ASCII eight bytes at a time: most of our text is ASCII.
    while (End - P >= 8 && IsAllAscii(P, 8))
      P += 8;
    if (P == End) break;
    if (*P < 0x80) {
      ++P;
      continue;
    }
    char32_t C;
    const std::size_t Len = DecodeOne(P, End, C);
    if (Len == 0) return false;
    P += Len;
  }
  return true;
}

std::string DecodeExternalText(std::string_view Bytes) {
  if (IsValidUtf8(Bytes)) return std::string(Bytes);
  return Cp1252ToUtf8(Bytes);
}

} // namespace qeb
