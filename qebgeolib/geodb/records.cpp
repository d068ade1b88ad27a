#include "qebgeolib/geodb/records.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/platform/base/streams.h"

namespace qeb {

namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t Y, int64_t M, int64_t D) {
  Y -= M <= 2;
  const int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
  const int64_t Yoe = Y - Era * 400;
  const int64_t Doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const int64_t Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
  return Era * 146097 + Doe - 719468;
}

std::string WithHemisphere(double Angle, double Limit, const char* Minus, const char* Plus,
                           TDegreeFormat Format, int32_t Decimals) {
  if (std::isnan(Angle)) return "NaN";
  const double A = std::clamp(Angle, -Limit, Limit);
  return DegreeToStr(std::fabs(A), Format, Decimals) + (A < 0 ? Minus : Plus);
}

} // namespace

TDateTime GdbUnixToDateTime(int64_t Seconds, int64_t Nanoseconds) {
  const auto T = static_cast<std::time_t>(Seconds);
  std::tm L{};
  if (localtime_r(&T, &L) == nullptr) return 0;
  const int64_t Days =
      DaysFromCivil(L.tm_year + 1900LL, L.tm_mon + 1LL, L.tm_mday) - DaysFromCivil(1899, 12, 30);
  const double Secs = L.tm_hour * 3600.0 + L.tm_min * 60.0 + L.tm_sec + Nanoseconds / 1e9;
  // Before the epoch the fraction is the time of day taken away from the (negative) day number.
  return Days >= 0 ? static_cast<double>(Days) + Secs / 86400.0
                   : static_cast<double>(Days) - Secs / 86400.0;
}

TDateTime GdbNow() {
  const auto Now = std::chrono::system_clock::now().time_since_epoch();
  const auto Ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Now).count();
  return GdbUnixToDateTime(Ns / 1000000000, Ns % 1000000000);
}

void ClearGdbData(TgdbData& GdbData) {
  const int32_t Kept = GdbData.NumPoints;
  TgdbData D;
  std::memset(D.Name.Chars, ' ', sizeof D.Name.Chars);
  D.Date = GdbNow();
  D.NumPoints = Kept;
  GdbData = D;
}

void ClearMetaInfo(TMetaInfo& MetaInfo) {
  MetaInfo.Keywords.Len = 0;
  MetaInfo.Caption.Len = 0;
  MetaInfo.FilePath.Len = 0;
  MetaInfo.Descriptor.Len = 0;
  MetaInfo.Comment.Len = 0;
}

TSCoords ExtractLocation(const TgdbData& GdbData) {
  return TSCoords{GdbData.LatLow, GdbData.LongLow};
}

std::string GeoLatitude(double Latitude, TDegreeFormat Format, int32_t Decimals) {
  return WithHemisphere(Latitude, 90, " S", " N", Format, Decimals);
}

std::string GeoLongitude(double Longitude, TDegreeFormat Format, int32_t Decimals) {
  return WithHemisphere(Longitude, 180, " W", " E", Format, Decimals);
}

TgdbSystemData ReadSystemInformation(const std::string& FileName) {
  TFileStream F(FileName, fmOpenRead);
  TgdbSystemData H;
  if (F.Read(&H, sizeof H) != static_cast<int64_t>(sizeof H))
    throw EQEBGeoDBError("ReadSystemInformation: \"" + FileName +
                         "\" is shorter than the 260-byte header.");
  return H;
}

} // namespace qeb
