#include "qebgeolib/companion/mathlib/math1.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <utility>

namespace qeb {

namespace {

constexpr std::array<int64_t, 10> Pow10 = {1,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000, 1000000000};

void AppendFixed(std::string& S, double Value, int Precision) {
  // The largest double has 309 integer digits; Precision is at most 9.
  char Buf[340];
  const auto Res =
      std::to_chars(Buf, Buf + sizeof(Buf), Value, std::chars_format::fixed, Precision);
  S.append(Buf, Res.ptr);
}

// Value (< 10^Width) with leading zeros to Width digits.
void AppendPadded(std::string& S, int64_t Value, int Width) {
  char Buf[24];
  const auto Res = std::to_chars(Buf, Buf + sizeof(Buf), Value);
  S.append(static_cast<size_t>(std::max<ptrdiff_t>(0, Width - (Res.ptr - Buf))), '0');
  S.append(Buf, Res.ptr);
}

// Decimal point and Decimals digits of Frac (< 10^Decimals); nothing for 0 decimals.
void AppendFraction(std::string& S, int64_t Frac, int Decimals) {
  if (Decimals == 0) return;
  S += '.';
  AppendPadded(S, Frac, Decimals);
}

constexpr const char* DegreeSign = "\xC2\xB0";

// Days from 1970-01-01 to the proleptic Gregorian date y-m-d.
int64_t DaysFromCivil(int64_t Y, int64_t M, int64_t D) {
  Y -= M <= 2;
  const int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
  const int64_t YoE = Y - Era * 400;
  const int64_t DoY = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const int64_t DoE = YoE * 365 + YoE / 4 - YoE / 100 + DoY;
  return Era * 146097 + DoE - 719468;
}

// The proleptic Gregorian date of day Z counted from 1970-01-01.
void CivilFromDays(int64_t Z, int64_t& Y, int64_t& M, int64_t& D) {
  Z += 719468;
  const int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const int64_t DoE = Z - Era * 146097;
  const int64_t YoE = (DoE - DoE / 1460 + DoE / 36524 - DoE / 146096) / 365;
  const int64_t DoY = DoE - (365 * YoE + YoE / 4 - YoE / 100);
  const int64_t MP = (5 * DoY + 2) / 153;
  D = DoY - (153 * MP + 2) / 5 + 1;
  M = MP < 10 ? MP + 3 : MP - 9;
  Y = YoE + Era * 400 + (M <= 2);
}

int DaysInMonth(int64_t Y, int64_t M) {
  static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (M == 2 && Y % 4 == 0 && (Y % 100 != 0 || Y % 400 == 0)) return 29;
  return Days[M - 1];
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  return -1;
}

uint64_t SplitMix64(uint64_t& X) {
  uint64_t Z = (X += 0x9E3779B97F4A7C15ull);
  Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9ull;
  Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBull;
  return Z ^ (Z >> 31);
}

class TXoshiro256 {
public:
  TXoshiro256() {
    uint64_t Seed =
        static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    Seed ^= reinterpret_cast<uintptr_t>(this);
    try {
      std::random_device Rd;
      Seed ^= (static_cast<uint64_t>(Rd()) << 32) ^ Rd();
    } catch (...) {
      // No entropy device: the clock and the address must do.
    }
    for (auto& W : FS)
      W = SplitMix64(Seed);
  }

  uint64_t Next() {
    const uint64_t Result = Rotl(FS[1] * 5, 7) * 9;
    const uint64_t T = FS[1] << 17;
    FS[2] ^= FS[0];
    FS[3] ^= FS[1];
    FS[1] ^= FS[2];
    FS[0] ^= FS[3];
    FS[2] ^= T;
    FS[3] = Rotl(FS[3], 45);
    return Result;
  }

private:
  static uint64_t Rotl(uint64_t X, int K) { return (X << K) | (X >> (64 - K)); }
  uint64_t FS[4];
};

} // namespace

std::string DegreeToStr(double Value, TDegreeFormat Format, int32_t Decimals) {
  if (std::isnan(Value)) return "NaN";
  Value = std::fabs(Value);
  if (std::isinf(Value)) return "Inf";
  const int D = std::clamp(Decimals, 0, 9);
  std::string S;
  if (Format != dfDegMin && Format != dfDegMinSec) {
    AppendFixed(S, Value, D);
    S += DegreeSign;
    return S;
  }
  // The fraction of a degree is exact in binary, so rounding it in units of
  // the last shown digit and carrying into the degrees cannot produce "60".
  double Deg = std::floor(Value);
  const int64_t Scale = Pow10[D];
  const int64_t PerDeg = (Format == dfDegMin ? 60 : 3600) * Scale;
  auto Units = static_cast<int64_t>(std::nearbyint((Value - Deg) * static_cast<double>(PerDeg)));
  if (Units >= PerDeg) {
    Units -= PerDeg;
    Deg += 1;
  }
  AppendFixed(S, Deg, 0);
  S += DegreeSign;
  if (Format == dfDegMin) {
    AppendPadded(S, Units / Scale, 2);
    AppendFraction(S, Units % Scale, D);
    S += '\'';
  } else {
    AppendPadded(S, Units / (60 * Scale), 2);
    S += '\'';
    const int64_t Sec = Units % (60 * Scale);
    AppendPadded(S, Sec / Scale, 2);
    AppendFraction(S, Sec % Scale, D);
    S += '"';
  }
  return S;
}

TDateTime ScanDateTime(std::string_view Text, std::string_view Format, TLanguage Language,
                       int32_t& Pos) {
  (void)Language;
  if (Format.empty() || Pos < 1 || static_cast<size_t>(Pos) > Text.size()) return 0;
  static constexpr std::string_view Letters = "ymdHMS";
  int64_t Field[6] = {1899, 12, 30, 0, 0, 0};
  size_t P = static_cast<size_t>(Pos) - 1;
  size_t F = 0;
  while (F < Format.size()) {
    const char C = Format[F];
    const size_t K = Letters.find(C);
    if (K == std::string_view::npos) {
      if (P >= Text.size() || Text[P] != C) return 0;
      ++P;
      ++F;
      continue;
    }
    int64_t V = 0;
    for (; F < Format.size() && Format[F] == C; ++F, ++P) {
      if (P >= Text.size() || Text[P] < '0' || Text[P] > '9') return 0;
      // Saturate: a value this large fails the range checks anyway.
      V = std::min<int64_t>(V * 10 + (Text[P] - '0'), 1000000000);
    }
    Field[K] = V;
  }
  const auto [Y, Mo, D, H, Mi, S] = Field;
  if (Y < 1 || Y > 9999 || Mo < 1 || Mo > 12 || D < 1 || D > DaysInMonth(Y, Mo) || H > 23 ||
      Mi > 59 || S > 59)
    return 0;
  if (P >= static_cast<size_t>(INT32_MAX)) return 0; // Pos could not hold the new position
  const double Days = static_cast<double>(DaysFromCivil(Y, Mo, D) - DaysFromCivil(1899, 12, 30));
  const double Time = static_cast<double>(H * 3600 + Mi * 60 + S) / 86400.0;
  Pos = static_cast<int32_t>(P + 1);
  return Days >= 0 ? Days + Time : Days - Time;
}

std::string DateTimeToText(TDateTime Value, std::string_view Format) {
  // Days since 1899-12-30 are below 3e6 for the years 1..9999.
  if (!std::isfinite(Value) || std::fabs(Value) > 4e6) return {};
  // Before the epoch the day counts down while the time of day is the
  // magnitude of the fraction.
  const double Day = std::trunc(Value);
  int64_t Days = static_cast<int64_t>(Day);
  int64_t Secs = std::llround(std::fabs(Value - Day) * 86400.0);
  if (Secs >= 86400) { // rounded up to midnight: the next calendar day
    Secs -= 86400;
    ++Days;
  }
  int64_t Y = 0, Mo = 0, D = 0;
  CivilFromDays(Days + DaysFromCivil(1899, 12, 30), Y, Mo, D);
  if (Y < 1 || Y > 9999) return {};
  const int64_t Field[6] = {Y, Mo, D, Secs / 3600, Secs / 60 % 60, Secs % 60};
  static constexpr std::string_view Letters = "ymdHMS";
  std::string Out;
  for (std::size_t F = 0; F < Format.size();) {
    const std::size_t K = Letters.find(Format[F]);
    if (K == std::string_view::npos) {
      Out += Format[F++];
      continue;
    }
    std::size_t Run = 0;
    while (F < Format.size() && Format[F] == Letters[K]) {
      ++F;
      ++Run;
    }
    std::string Digits = std::to_string(Field[K]);
    if (Digits.size() < Run) Digits.insert(0, Run - Digits.size(), '0');
    Out += Digits.substr(Digits.size() - Run);
  }
  return Out;
}

uint32_t ScanHex(std::string_view Text, int32_t& Pos) {
  if (Pos < 1 || static_cast<size_t>(Pos) > Text.size()) return 0;
  size_t P = static_cast<size_t>(Pos) - 1;
  const size_t N = Text.size();
  while (P < N && (Text[P] == ' ' || Text[P] == '\t'))
    ++P;
  if (P + 1 < N && Text[P] == '$' && HexDigit(Text[P + 1]) >= 0)
    P += 1;
  else if (P + 2 < N && Text[P] == '0' && (Text[P + 1] == 'x' || Text[P + 1] == 'X') &&
           HexDigit(Text[P + 2]) >= 0)
    P += 2;
  uint32_t Value = 0;
  int Count = 0;
  for (int Digit; Count < 8 && P < N && (Digit = HexDigit(Text[P])) >= 0; ++Count, ++P)
    Value = (Value << 4) | static_cast<uint32_t>(Digit);
  if (Count == 0 || P >= static_cast<size_t>(INT32_MAX)) return 0;
  Pos = static_cast<int32_t>(P + 1);
  return Value;
}

std::string Hex(uint32_t Value, int32_t Digits) {
  char Buf[8];
  int N = 0;
  do {
    Buf[N++] = "0123456789ABCDEF"[Value & 15];
    Value >>= 4;
  } while (Value != 0);
  std::string S(static_cast<size_t>(std::max(std::clamp(Digits, 1, 8) - N, 0)), '0');
  while (N > 0)
    S += Buf[--N];
  return S;
}

void ExChange(double& A, double& B) {
  std::swap(A, B);
}
void ExChange(int32_t& A, int32_t& B) {
  std::swap(A, B);
}

double Round125(double X) {
  if (!(X > 0) || std::isinf(X)) return 1;
  if (X < 1e-290) return Round125(X * 1e100) / 1e100;
  int E = static_cast<int>(std::floor(std::log10(X)));
  // Scaling by an exact or correctly rounded power of ten keeps the mantissa
  // and the result as close to the decimal values as a double allows.
  auto Scaled = [](double M, int Exp) {
    return Exp >= 0 ? M * std::pow(10.0, Exp) : M / std::pow(10.0, -Exp);
  };
  double M = E >= 0 ? X / std::pow(10.0, E) : X * std::pow(10.0, -E);
  if (M >= 10) {
    ++E;
    M /= 10;
  } else if (M < 1) {
    --E;
    M *= 10;
  }
  double C;
  if (M < 1.4142135623730951)
    C = 1;
  else if (M < 3.1622776601683795)
    C = 2;
  else if (M < 7.0710678118654755)
    C = 5;
  else {
    C = 1;
    ++E;
  }
  const double R = Scaled(C, E);
  if (std::isinf(R)) return 1e308;
  return R > 0 ? R : std::numeric_limits<double>::denorm_min();
}

bool BRandom(double P) {
  if (!(P > 0)) return false;
  if (P >= 1) return true;
  thread_local TXoshiro256 Gen;
  // 53 random bits give a uniform double in [0, 1).
  return static_cast<double>(Gen.Next() >> 11) * 0x1.0p-53 < P;
}

} // namespace qeb
