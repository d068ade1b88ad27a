// Fuzz target of the symbol file reader (TSymbolRepository::LoadFromFile).
//
// The first input byte picks the data identifier, the rest is the file. Each
// run requires:
// - nothing escapes the reader;
// - a file without the set leaves the table as it was;
// - every symbol read has a kind of the enumeration;
// - what the repository then stores reads back as the same table (names
//   with control characters as the writer spells them, with blanks).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "qebgeolib/voziza/detail/xmlscan.h"
#include "qebgeolib/voziza/symbols.h"

namespace {

using namespace qeb;

void Require(bool Condition) {
  if (!Condition) __builtin_trap();
}

TSymbol AsWritten(TSymbol S) {
  S.Name = TSymbolName::FromString(detail::XMLAttributeText(S.Name.ToString()));
  if (S.Properties.Kind > lmUserDef) S.Properties.Kind = lmCross;
  return S;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  static const std::string Ids[] = {"", "a", "B", "id"};
  const std::string& Id = Ids[Data[0] % 4];
  const std::string_view Text(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  const std::string In = "/tmp/fuzz_symbols_" + std::to_string(getpid()) + ".xml";
  const std::string Out = In + ".out.xml";
  std::ofstream(In, std::ios::binary).write(Text.data(), static_cast<std::streamsize>(Text.size()));

  TSymbolRepository R(nullptr);
  R.SetNumEntries(2);
  TSymbol Marker = DefaultSymbolRecord();
  Marker.Category = 77;
  R.SetValues(2, Marker);
  if (!R.LoadFromFile(In, Id)) {
    Require(R.GetNumEntries() == 2 && R.GetValues(2) == Marker && R.GetValues(1) == TSymbol{});
    return 0;
  }
  const int32_t N = R.GetNumEntries();
  Require(N >= 0);
  for (int32_t I = 1; I <= N; ++I)
    Require(R.GetValues(I).Properties.Kind <= lmUserDef);

  R.StoreOnFile(Out, Id);
  TSymbolRepository Back(nullptr);
  Require(Back.LoadFromFile(Out, Id));
  Require(Back.GetNumEntries() == N);
  for (int32_t I = 1; I <= N; ++I)
    Require(Back.GetValues(I) == AsWritten(R.GetValues(I)));
  return 0;
}
