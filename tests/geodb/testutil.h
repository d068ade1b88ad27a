// Helpers of the database tests: a fresh folder per test, whole-file reads and writes, and a
// progress recorder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "qebgeolib/geodb/geodb.h"

namespace qeb::test {

// An empty folder named after the running test, inside the build's temporary folder.
inline std::string FreshDir() {
  const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::filesystem::path P = std::filesystem::path(QEB_TEST_TMPDIR) / "geodb" /
                            (std::string(Info->test_suite_name()) + "." + Info->name());
  std::filesystem::remove_all(P);
  std::filesystem::create_directories(P);
  return P.string();
}

inline std::vector<uint8_t> ReadAll(const std::string& Name) {
  std::ifstream F(Name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(F), {});
}

inline void WriteAll(const std::string& Name, const std::vector<uint8_t>& Bytes) {
  std::ofstream F(Name, std::ios::binary | std::ios::trunc);
  F.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

inline int64_t FileSize(const std::string& Name) {
  return static_cast<int64_t>(std::filesystem::file_size(Name));
}

// Records every percentage the database reports.
struct TProgress {
  std::vector<int32_t> Seen;
  void Attach(TGeoDB& Db) {
    Db.SetOnPercentDone([this](TObject*, int32_t P) { Seen.push_back(P); });
  }
};

inline TgdbPolygon Square(float Lat, float Long, float Size) {
  return {{Lat, Long}, {Lat + Size, Long}, {Lat + Size, Long + Size}, {Lat, Long + Size}};
}

// The message an operation raises, or "" when it raises nothing.
template <class F> std::string MessageOf(F&& Call) {
  try {
    Call();
  } catch (const std::exception& E) {
    return E.what();
  }
  return "";
}

} // namespace qeb::test
