// Elementary helpers of the math companion library: angle and hexadecimal
// texts, date-time scanning, swapping, the 1-2-5 series and random decisions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/platform/base/types.h"

namespace qeb {

// Text of an angle in degrees, without sign or hemisphere; the caller adds
// those. The texts, shown for 47.5 with Decimals = 2 and 0:
//   dfDeg        "47.50°"        "48°"
//   dfDegMin     "47°30.00'"     "47°30'"
//   dfDegMinSec  "47°30'00.00\"" "47°30'00\""
// Decimals (clamped to 0..9) apply to the last field: degrees, minutes or
// seconds. Minutes and seconds have two digits before their decimals; a value
// that rounds up carries into the next field, so 59.9999' never shows as 60
// ("47.99999" in dfDegMin with 2 decimals is "48°00.00'"). "°" is UTF-8
// (C2 B0), the minute sign an apostrophe, the second sign a double quote.
// The last field rounds to the nearest, exact halves to even.
// A negative value is shown by its magnitude; NaN gives "NaN" and an
// infinite value "Inf". Another format value counts as dfDeg. The text does
// not depend on the locale.
std::string DegreeToStr(double Value, TDegreeFormat Format, int32_t Decimals);

// The date-time read from Text starting at the 1-based position Pos, following
// Format: each of the letters y (year), m (month), d (day), H (hour),
// M (minute) and S (second) stands for one decimal digit of its field, a run
// of one letter forms the field ("yyyymmddHHMMSS"), and any other format
// character must appear unchanged in Text. Fields missing from the format take
// the values of the epoch 1899-12-30 00:00:00. The year must be 1..9999, the
// month 1..12, the day exist in its month, the hour 0..23, minutes and seconds
// 0..59. On success Pos moves past the characters read and the result is the
// number of days since 1899-12-30, its fraction the time of day (before the
// epoch the value is negative and the time is the magnitude of its fraction:
// 1899-12-29 06:00 is -1.25). Empty or malformed text (too short, a non-digit, an impossible date
// or time), an empty format or Pos outside the text give 0 and leave Pos as it
// was. Language is for formats with month names, which this reader does not
// offer; it is not consulted.
TDateTime ScanDateTime(std::string_view Text, std::string_view Format, TLanguage Language,
                       int32_t& Pos);

// Value in Format, the text ScanDateTime reads back: each run of y, m, d, H,
// M, S is its field with leading zeros to the run's length (the year cut to
// its last digits when the run is shorter), other characters stay. The time
// is rounded to the nearest second. Empty for a value that is not finite or
// falls outside the years 1..9999.
std::string DateTimeToText(TDateTime Value, std::string_view Format);

// The value of the hexadecimal digits in Text at the 1-based position Pos.
// Blanks and tabs are skipped first; then a prefix "$" or "0x"/"0X" is
// accepted when a hexadecimal digit follows it. At most 8 digits (either
// letter case) are read; a longer run leaves Pos on the ninth digit. On
// success Pos moves past the last digit read. Empty or malformed text (no
// digit) or Pos outside the text give 0 and leave Pos as it was.
uint32_t ScanHex(std::string_view Text, int32_t& Pos);

// Value as upper-case hexadecimal digits, zero-padded to Digits (clamped to
// 1..8); a value needing more digits keeps all of them. ScanHex reads every
// such text back to Value.
std::string Hex(uint32_t Value, int32_t Digits);

void ExChange(double& A, double& B);
void ExChange(int32_t& A, int32_t& B);

// The member of the series ..., 0.1, 0.2, 0.5, 1, 2, 5, 10, 20, ... nearest to
// X on a logarithmic scale: a mantissa below √2 gives 1, below √10 gives 2,
// below √50 gives 5, else 10. X <= 0, NaN and infinities give 1. The result is
// positive and finite for every X (X near the largest double gives 1e308).
double Round125(double X);

// True with probability P from a fast process-wide uniform generator
// (xoshiro256**, one state per thread, seeded once from the system's entropy
// source). P >= 1 is always true; P <= 0 and NaN are always false.
bool BRandom(double P);

} // namespace qeb
