#include "qebgeolib/voziza/symbols.h"

#include <unistd.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/voziza/detail/xmlscan.h"

namespace qeb {

using namespace detail;

namespace {

// A table of Count entries: the first Keep copied from Source, the rest
// zero. A table larger than the machine's memory is refused before it is
// asked for: the kernel would hand out the address space and kill the
// process once the zeros are written, and a sanitizer's allocator aborts on
// a block it cannot map. The source is left alone in every case.
std::vector<TSymbol> NewTable(const std::vector<TSymbol>& Source, std::size_t Keep,
                              std::size_t Count) {
  const long Pages = sysconf(_SC_PHYS_PAGES), PageSize = sysconf(_SC_PAGESIZE);
  const uint64_t Memory = Pages > 0 && PageSize > 0
                              ? static_cast<uint64_t>(Pages) * static_cast<uint64_t>(PageSize)
                              : UINT64_MAX;
  if (static_cast<uint64_t>(Count) > Memory / sizeof(TSymbol)) throw EOutOfMemory();
  try {
    std::vector<TSymbol> T(Count);
    Keep = std::min({Keep, Count, Source.size()});
    std::copy_n(Source.begin(), Keep, T.begin());
    return T;
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  } catch (const std::length_error&) {
    throw EOutOfMemory();
  }
}

std::size_t Size(int32_t N) {
  return static_cast<std::size_t>(std::max(N, 0));
}

std::string SymbolLine(const TSymbol& S) {
  const TSymbolProperties& P = S.Properties;
  const std::string_view Kind = LMTypeName(P.Kind);
  std::string L = "<symbol element=\"";
  L.append(Kind);
  L += "\" name=\"" + XMLAttributeText(S.Name.ToString());
  L += "\" category=\"" + std::to_string(S.Category);
  L += "\" colorfg=\"" + Hex(P.FGColor, 8);
  L += "\" colorbg=\"" + Hex(P.BGColor, 8);
  L += "\" size=\"" + std::to_string(P.Size);
  L += P.Transparent ? "\" transp=\"TRUE" : "\" transp=\"FALSE";
  L += "\" dir=\"" + std::to_string(P.Direction);
  L += "\" leng=\"" + std::to_string(P.Length) + "\" />";
  return L;
}

TSymbol SymbolFromTag(std::string_view AttributeText) {
  const TXMLAttributes A(AttributeText);
  TSymbol S;
  S.Properties = ReadXMLSymbolProperties(A);
  S.Category = ReadXMLInt(A.Get("category"));
  S.Name = TSymbolName::FromString(A.Get("name"));
  return S;
}

} // namespace

TSymbol DefaultSymbolRecord() {
  TSymbol S;
  S.Properties = {lmCross, 8, 0x00000000, 0x000000FF, false, 90, 40};
  return S;
}

TSymbolRepository::TSymbolRepository(TComponent* AOwner)
    : TComponent(AOwner), FSymbols(InitialCapacity) {}

void TSymbolRepository::SetNumEntries(int32_t Value) {
  if (Value < 0) return;
  FSymbols = NewTable(FSymbols, Size(std::min(FNEntries, Value)), Size(Value));
  FNEntries = Value;
}

TSymbol TSymbolRepository::GetValues(int32_t ix) const {
  if (ix < 1 || ix > FNEntries) return DefaultSymbolRecord();
  return FSymbols[Size(ix - 1)];
}

void TSymbolRepository::SetValues(int32_t ix, const TSymbol& Value) {
  if (ix >= 1 && ix <= FNEntries) FSymbols[Size(ix - 1)] = Value;
}

void TSymbolRepository::Clear() {
  std::fill_n(FSymbols.begin(), Size(FNEntries), DefaultSymbolRecord());
}

void TSymbolRepository::Backup() {
  FSymbolsBak = NewTable(FSymbols, Size(FNEntries), Size(FNEntries));
  FNEntriesBak = FNEntries;
}

void TSymbolRepository::Restore() {
  FSymbols = NewTable(FSymbolsBak, Size(FNEntriesBak), Size(FNEntriesBak));
  FNEntries = FNEntriesBak;
}

void TSymbolRepository::Assign(const TPersistent* Source) {
  const auto* S = dynamic_cast<const TSymbolRepository*>(Source);
  if (!S) {
    TComponent::Assign(Source);
    return;
  }
  if (S == this) return;
  // Both copies are made before anything changes.
  std::vector<TSymbol> Table = NewTable(S->FSymbols, S->FSymbols.size(), S->FSymbols.size());
  std::vector<TSymbol> Bak = NewTable(S->FSymbolsBak, S->FSymbolsBak.size(), S->FSymbolsBak.size());
  FSymbols.swap(Table);
  FSymbolsBak.swap(Bak);
  FNEntries = S->FNEntries;
  FNEntriesBak = S->FNEntriesBak;
}

void TSymbolRepository::AssignTo(TPersistent* Dest) const {
  if (auto* D = dynamic_cast<TSymbolRepository*>(Dest))
    D->Assign(this);
  else
    TComponent::AssignTo(Dest);
}

void TSymbolRepository::StoreOnFile(const std::string& FName, const std::string& DataID) {
  std::string Bytes;
  auto Ln = [&Bytes](std::string_view Line) {
    Bytes += Utf8ToCp1252(Line);
    Bytes += "\r\n";
  };
  Ln("<?xml version=\"1.0\"?>");
  Ln("");
  Ln("<!-- TVozIza Landmark Repository / QEB Component Suite -->");
  Ln("<lmsymbols sig=\"QEBCSuite\" vers=\"1.0\" id=\"" + XMLAttributeText(DataID) + "\">");
  for (int32_t I = 0; I < FNEntries; ++I)
    Ln(SymbolLine(FSymbols[Size(I)]));
  Ln("</lmsymbols>");
  // Readers take a file whose bytes are valid UTF-8 as UTF-8, so Windows-1252
  // bytes that happen to be valid UTF-8 (a name such as "Ã©") would come back
  // as other characters. Such a file is written in UTF-8: the same
  // characters, read back unchanged. Plain ASCII is the same either way.
  if (IsValidUtf8(Bytes)) Bytes = Cp1252ToUtf8(Bytes);
  ReplaceFileAtomically(FName, Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

bool TSymbolRepository::LoadFromFile(const std::string& FName, const std::string& DataID) {
  TTextFile F(FName);
  if (!F.TryReset()) return false;
  const bool Result = ReadFromOpenXMLFile(F, DataID);
  F.Close();
  return Result;
}

bool TSymbolRepository::ReadFromOpenXMLFile(TTextFile& F, const std::string& DataID) {
  auto Begin = [this] {
    FSymbols = NewTable({}, 0, InitialCapacity);
    FNEntries = 0;
  };
  auto Append = [this](std::string_view Attributes) {
    const TSymbol S = SymbolFromTag(Attributes);
    // The array doubles: growing by a fixed step would copy the table once a
    // step, which for a large file adds up to hours. A failed step keeps
    // what was read.
    if (Size(FNEntries) == FSymbols.size())
      FSymbols = NewTable(FSymbols, Size(FNEntries), 2 * FSymbols.size() + InitialCapacity);
    FSymbols[Size(FNEntries)] = S;
    ++FNEntries;
  };
  return ReadXMLSet(F, vztLmSymbols, DataID, Begin, Append);
}

} // namespace qeb
