// Text rules of the library: the API speaks UTF-8, records and files hold
// Windows-1252 single-byte text, and short strings are a length byte followed
// by a fixed number of characters.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace qeb {

// Windows-1252 bytes -> UTF-8. Every byte has a meaning; the five bytes that
// 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control
// characters of the same value, so no byte is ever lost.
std::string Cp1252ToUtf8(std::string_view Bytes);

// UTF-8 -> Windows-1252 bytes. A character that 1252 cannot hold, and every
// malformed UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1252(std::string_view Utf8);

// True when Bytes is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view Bytes);

// Text read from outside (files, streams): kept as it is when it is valid
// UTF-8, else read as Windows-1252.
std::string DecodeExternalText(std::string_view Bytes);

// A short string: one length byte and N single-byte (Windows-1252)
// characters, the layout records and files use. Trivially copyable, so it can
// sit in records written byte for byte; unused characters are zero.
template <std::size_t N> struct TShortString {
  static_assert(N >= 1 && N <= 255, "a short string holds 1 to 255 characters");

  uint8_t Len = 0;
  char Chars[N] = {};

  constexpr TShortString() = default;

  // From a literal of single-byte characters (tables of constant data); the
  // literal must fit.
  template <std::size_t M> consteval TShortString(const char (&Lit)[M]) {
    static_assert(M - 1 <= N, "literal longer than the short string");
    for (std::size_t i = 0; i + 1 < M; ++i)
      Chars[i] = Lit[i];
    Len = static_cast<uint8_t>(M - 1);
  }

  // From UTF-8 text: converted to Windows-1252 and cut to N characters.
  static TShortString FromString(std::string_view Utf8) { return FromBytes(Utf8ToCp1252(Utf8)); }

  // From Windows-1252 bytes, cut to N characters.
  static TShortString FromBytes(std::string_view Bytes) {
    TShortString S;
    S.Len = static_cast<uint8_t>(std::min(Bytes.size(), N));
    std::memcpy(S.Chars, Bytes.data(), S.Len);
    return S;
  }

  // The Windows-1252 bytes. A length byte above N (a damaged record) is read
  // as N, so no read goes past the characters.
  constexpr std::string_view Bytes() const { return std::string_view(Chars, Len <= N ? Len : N); }

  // The text as UTF-8.
  std::string ToString() const { return Cp1252ToUtf8(Bytes()); }

  constexpr std::size_t Length() const { return Bytes().size(); }
  constexpr bool Empty() const { return Length() == 0; }

  friend constexpr bool operator==(const TShortString& A, const TShortString& B) {
    return A.Bytes() == B.Bytes();
  }
};

} // namespace qeb
