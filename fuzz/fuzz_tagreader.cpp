// Fuzz target of the tag reader of the map files: reads every tag of the
// input from a memory stream (read in place) and from a plain stream (read in
// chunks) and requires both to agree, to make progress on every tag, and to
// end with the last index.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "qebgeolib/companion/corelib/tagreader.h"
#include "qebgeolib/platform/base/text.h"

namespace {

constexpr std::string_view kTags[] = {"voziza",     "/voziza",     "calline",      "corners",
                                      "resolution", "gmlandmarks", "/gmlandmarks", "landmark",
                                      "calquads",   "lmsymbols",   "/lmsymbols",   "symbol",
                                      "utmzone",    "utmsouth",    "ellipsoid",    "invalidtag"};
constexpr int32_t kHigh = 15;

// A read-only stream over fixed bytes that is not a TMemoryStream, so the
// reader takes its chunked path.
class TPlainStream : public qeb::TStream {
public:
  explicit TPlainStream(std::string_view Data) : FData(Data) {}
  int64_t Read(void* Buffer, int64_t Count) override {
    const int64_t Size = static_cast<int64_t>(FData.size());
    if (Count <= 0 || FPos >= Size) return 0;
    const int64_t N = std::min(Count, Size - FPos);
    std::memcpy(Buffer, FData.data() + FPos, static_cast<std::size_t>(N));
    FPos += N;
    return N;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t Offset, qeb::TSeekOrigin Origin) override {
    const int64_t Base = Origin == qeb::soFromBeginning ? 0
                         : Origin == qeb::soFromCurrent ? FPos
                                                        : static_cast<int64_t>(FData.size());
    if (Base + Offset < 0) __builtin_trap(); // the reader never seeks before the start
    FPos = Base + Offset;
    return FPos;
  }

private:
  std::string_view FData;
  int64_t FPos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  using namespace qeb;
  const std::string_view In(reinterpret_cast<const char*>(Data), Size);
  TMemoryStream M;
  M.WriteBuffer(Data, static_cast<int64_t>(Size));
  M.SetPosition(0);
  TPlainStream P(In);
  std::string A1, C1, A2, C2;
  // Every listed tag consumes at least one byte, so Size + 1 calls suffice.
  for (std::size_t Calls = 0;; ++Calls) {
    if (Calls > Size + 1) __builtin_trap();
    const int64_t Before = M.GetPosition();
    const int32_t I1 = ReadNextTagInStream(M, kTags, kHigh, A1, C1);
    const int32_t I2 = ReadNextTagInStream(P, kTags, kHigh, A2, C2);
    if (I1 != I2 || A1 != A2 || C1 != C2 || M.GetPosition() != P.GetPosition()) __builtin_trap();
    if (!IsValidUtf8(A1) || !IsValidUtf8(C1)) __builtin_trap();
    if (I1 == kHigh) {
      if (M.GetPosition() != static_cast<int64_t>(Size) || !A1.empty() || !C1.empty())
        __builtin_trap();
      break;
    }
    if (I1 < 0 || I1 > kHigh || M.GetPosition() <= Before) __builtin_trap();
  }
  return 0;
}
