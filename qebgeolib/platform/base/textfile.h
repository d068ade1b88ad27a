// Pascal-style text files: assign a name, open for reading (Reset), writing
// (Rewrite) or appending (Append), read and write lines. The map module's
// calibration, landmark and symbol files are read and written with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "qebgeolib/platform/base/streams.h"

namespace qeb {

enum TTextFileMode : uint8_t { tfmClosed, tfmInput, tfmOutput };

// Encoding rules. Written text is UTF-8 at the interface and Windows-1252 in
// the file (characters 1252 cannot hold become '?'), every line ending in
// CR LF. Reading loads the whole file at once, drops a UTF-8 byte order mark,
// and then keeps the text when its bytes are valid UTF-8 and decodes it from
// Windows-1252 otherwise, so old 8-bit files and UTF-8 files both read right.
// ReadLn takes CR LF, LF and a lone CR as line ends.
//
// While reading, the decoded text and a byte position in it are exposed, so
// that other readers (the tag reader of the base companion) can go on exactly
// where ReadLn stopped and hand the position back to it.
//
// Output is buffered; Flush reports write errors, Close those of the writes
// and of closing the file itself; the destructor closes silently. Reset
// refuses files that are not regular (FIFOs, devices), which could block or
// never end. Every failure raises EInOutError naming the file.
// True when Text (UTF-8) has characters beyond ASCII and its Windows-1252
// bytes are valid UTF-8: written in Windows-1252 it would read back as other
// characters. A file whose texts all pass this test (or are plain ASCII) is
// to be written in UTF-8.
bool Cp1252ReadsAsUtf8(std::string_view Text);

class TTextFile : public TObject {
public:
  // Files above this size are refused by Reset rather than loaded.
  static constexpr std::size_t kMaxReadSize = std::size_t{256} << 20;

  TTextFile() = default;
  explicit TTextFile(const std::string& FileName) : FFileName(FileName) {}
  ~TTextFile() override;
  TTextFile(TTextFile&&) noexcept;
  TTextFile& operator=(TTextFile&&) noexcept;

  std::string_view ClassName() const override { return "TTextFile"; }

  // Sets the name the next Reset/Rewrite/Append opens; an open file is
  // closed first.
  void AssignFile(const std::string& FileName);
  const std::string& GetFileName() const { return FFileName; }

  // Opens for reading and loads the file; the position is its start.
  void Reset();
  // As Reset, but answers false when the file cannot be opened (missing,
  // unreadable, a directory, not a regular file). A file that opens but then fails to read, or
  // exceeds kMaxReadSize, still raises.
  bool TryReset();
  // Creates the file, or empties an existing one, for writing.
  void Rewrite();
  // Opens an existing file for writing at its end.
  void Append();
  // Writes what is buffered and closes; nothing happens on a closed file.
  void Close();
  void Flush();

  bool IsOpen() const { return FMode != tfmClosed; }
  TTextFileMode Mode() const { return FMode; }

  // Reading (the file must be open for input).
  bool Eof() const;
  // The next line without its line end; false (and an empty line) at the end.
  bool ReadLn(std::string& Line);

  // Writing (the file must be open for output).
  void Write(std::string_view Text);
  void WriteLn(std::string_view Text = {});
  // Writes the text as UTF-8 from now on instead of Windows-1252. Readers
  // take a file whose bytes are valid UTF-8 as UTF-8, so a writer whose
  // Windows-1252 bytes would all be valid UTF-8 (a text such as "Ã©") and
  // not plain ASCII writes UTF-8 instead to have the same characters read
  // back (see Cp1252ReadsAsUtf8).
  void SetUtf8Output(bool Value) { FUtf8Output = Value; }

  // The decoded UTF-8 text of a file open for input (empty otherwise) and the
  // byte position of the next read in it; SetPosition clamps to the end.
  const std::string& Text() const { return FText; }
  std::size_t Position() const { return FPosition; }
  void SetPosition(std::size_t Pos);

private:
  void RequireName() const;
  void RequireInput() const;
  void RequireOutput() const;
  void Load(TFileStream& Stream);
  void FlushBuffer();

  std::string FFileName;
  TTextFileMode FMode = tfmClosed;
  std::string FText;
  std::size_t FPosition = 0;
  std::optional<TFileStream> FStream; // open for output only
  std::string FBuffer;                // bytes not yet written
  bool FUtf8Output = false;
};

} // namespace qeb
