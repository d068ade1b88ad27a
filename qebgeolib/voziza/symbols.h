// The symbol repository: a numbered table of named landmark symbols a host
// offers as a palette, with a backup, and the symbol files that store one
// table as a symbol set (the file family of the calibration and landmark
// files, which may share one file with them).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qebgeolib/platform/base/classes.h"
#include "qebgeolib/platform/base/text.h"
#include "qebgeolib/platform/base/textfile.h"
#include "qebgeolib/voziza/landmarks.h"

namespace qeb {

using TSymbolName = TShortString<40>;

// One symbol: its look, a display name of at most 40 characters and a free
// grouping number. A value-initialised TSymbol is all zero (kind lmPlus).
struct TSymbol {
  TSymbolProperties Properties;
  TSymbolName Name;
  int32_t Category = 0;
  friend bool operator==(const TSymbol&, const TSymbol&) = default;
};

// The default symbol: a black cross of size 8 on red, not transparent,
// direction 90, length 40, no name, category 0.
TSymbol DefaultSymbolRecord();

// The table holds entries 1..NumEntries. Growing the table raises
// EOutOfMemory when the memory cannot be had, leaving table and count as
// they were.
//
// Symbol files. StoreOnFile writes one set:
//   <?xml version="1.0"?>
//   (empty line)
//   <!-- TVozIza Landmark Repository / QEB Component Suite -->
//   <lmsymbols sig="QEBCSuite" vers="1.0" id="DataID">
//   <symbol element="Cross" name="..." category="0" colorfg="00000000"
//     colorbg="000000FF" size="8" transp="FALSE" dir="90" leng="40" />  (one line each)
//   </lmsymbols>
// in Windows-1252 with CR LF (in UTF-8 when the Windows-1252 bytes would
// read as UTF-8, so that the names come back unchanged), replacing an
// existing file only once the new one is completely on the disk. Attribute values cannot hold a
// double quotation mark (the reader takes a value up to the next one), and the set must stay one
// tag a line: in names and in the identifier a '"' is written as an apostrophe (') and control
// characters as blanks, and the reader maps a wanted identifier the same way, so every file read
// back finds its set. A kind outside the enumeration is written as "Cross", which is what the
// reader makes of any name it does not know.
class TSymbolRepository : public TComponent {
public:
  // The array size of a new repository and of one a file is read into.
  static constexpr int32_t InitialCapacity = 1000;

  explicit TSymbolRepository(TComponent* AOwner);

  std::string_view ClassName() const override { return "TSymbolRepository"; }

  int32_t GetNumEntries() const { return FNEntries; }
  // A value of 0 or more becomes the count; the array then holds exactly
  // that many entries, and entries beyond the old count are all zero (kind
  // lmPlus, no name), never leftovers of an earlier, larger table. Negative
  // values are ignored.
  void SetNumEntries(int32_t Value);

  // Symbols[ix], 1-based: a copy of the entry, or DefaultSymbolRecord()
  // outside 1..NumEntries. Writes outside that range are ignored.
  TSymbol GetValues(int32_t ix) const;
  void SetValues(int32_t ix, const TSymbol& Value);

  // Every entry 1..NumEntries becomes the default symbol; the count stays.
  void Clear();
  // The backup becomes a copy of the table and its count; Restore brings
  // both back.
  void Backup();
  void Restore();

  // From another TSymbolRepository: count, table, backup count and backup,
  // copied (the two repositories share nothing afterwards). Other sources
  // go to the framework's assignment.
  void Assign(const TPersistent* Source) override;

  // Creates or replaces FName with the table as one set with identifier
  // DataID. File errors raise EInOutError.
  void StoreOnFile(const std::string& FName, const std::string& DataID);
  // Reads the set DataID (empty: the first set) from FName. False when the
  // file cannot be opened or holds no such set; the table is then unchanged.
  bool LoadFromFile(const std::string& FName, const std::string& DataID);
  // The reader proper, from the current line of a file open for input:
  // skips lines up to a header "<lmsymbols ... qebcsuite ..." whose id
  // (trimmed, letter case ignored) is DataID, or any header for an empty
  // DataID. With none, false and the table is unchanged. Otherwise the table
  // is emptied and every "symbol" tag up to "</lmsymbols>", "</voziza>" or
  // the end of the file is appended; missing or unreadable attributes read
  // as 0, empty or false, an unknown element as lmCross. True.
  bool ReadFromOpenXMLFile(TTextFile& F, const std::string& DataID);

protected:
  void AssignTo(TPersistent* Dest) const override;

  // Entry ix lives in F...[ix - 1]; the arrays' sizes are the capacities.
  std::vector<TSymbol> FSymbols;
  std::vector<TSymbol> FSymbolsBak;
  int32_t FNEntries = 0;
  int32_t FNEntriesBak = 0;
};

} // namespace qeb
