// Text files: whole-file reading with encoding detection, buffered 1252
// writing with CR LF line ends.
#include "qebgeolib/platform/base/textfile.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "qebgeolib/platform/base/text.h"

namespace qeb {

namespace {

constexpr std::size_t kFlushSize = 64 * 1024;

std::string Quoted(const std::string& FileName) {
  return "\"" + FileName + "\"";
}

} // namespace

TTextFile::~TTextFile() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; callers who care call Close themselves.
  }
}

TTextFile::TTextFile(TTextFile&& Other) noexcept
    : TObject(std::move(Other)), FFileName(std::move(Other.FFileName)),
      FMode(std::exchange(Other.FMode, tfmClosed)), FText(std::move(Other.FText)),
      FPosition(std::exchange(Other.FPosition, 0)), FStream(std::move(Other.FStream)),
      FBuffer(std::move(Other.FBuffer)), FUtf8Output(Other.FUtf8Output) {
  Other.FStream.reset();
  Other.FText.clear();
  Other.FBuffer.clear();
}

TTextFile& TTextFile::operator=(TTextFile&& Other) noexcept {
  if (this != &Other) {
    try {
      Close();
    } catch (...) {
      // As in the destructor: the file being replaced cannot report.
    }
    FFileName = std::move(Other.FFileName);
    FMode = std::exchange(Other.FMode, tfmClosed);
    FText = std::move(Other.FText);
    FPosition = std::exchange(Other.FPosition, 0);
    FStream = std::move(Other.FStream);
    FBuffer = std::move(Other.FBuffer);
    FUtf8Output = Other.FUtf8Output;
    Other.FStream.reset();
    Other.FText.clear();
    Other.FBuffer.clear();
  }
  return *this;
}

void TTextFile::AssignFile(const std::string& FileName) {
  Close();
  FFileName = FileName;
}

void TTextFile::RequireName() const {
  if (FFileName.empty()) throw EInOutError("Text file has no name assigned", EINVAL);
}

void TTextFile::RequireInput() const {
  if (FMode == tfmInput) return;
  throw EInOutError("Text file " + Quoted(FFileName) +
                        (FMode == tfmClosed ? " is not open" : " is not open for input"),
                    EBADF);
}

void TTextFile::RequireOutput() const {
  if (FMode == tfmOutput) return;
  throw EInOutError("Text file " + Quoted(FFileName) +
                        (FMode == tfmClosed ? " is not open" : " is not open for output"),
                    EBADF);
}

void TTextFile::Load(TFileStream& Stream) {
  auto TooLarge = [this] {
    return EInOutError("Text file " + Quoted(FFileName) + " is larger than " +
                           std::to_string(kMaxReadSize >> 20) + " MiB and is not read",
                       EFBIG);
  };
  const int64_t Hint = Stream.GetSize();
  if (Hint > static_cast<int64_t>(kMaxReadSize)) throw TooLarge();
  // The size is only a hint: files in /proc report 0 and a file can grow
  // while it is read, so the cap is checked again as the bytes arrive.
  // The first read asks for one byte more than the size, so a file that did
  // not change is read in one call and its end seen in the next.
  std::string Raw;
  std::size_t Chunk = static_cast<std::size_t>(std::max<int64_t>(Hint, 0)) + 1;
  for (;;) {
    const std::size_t Old = Raw.size();
    if (Old > kMaxReadSize) throw TooLarge();
    Raw.resize(Old + Chunk);
    const int64_t N = Stream.Read(Raw.data() + Old, static_cast<int64_t>(Chunk));
    Chunk = std::size_t{64} << 10;
    Raw.resize(Old + static_cast<std::size_t>(N));
    if (N == 0) break;
  }
  std::string_view Body = Raw;
  if (Body.starts_with("\xEF\xBB\xBF")) Body.remove_prefix(3);
  if (IsValidUtf8(Body))
    FText = Body.size() == Raw.size() ? std::move(Raw) : std::string(Body);
  else
    FText = Cp1252ToUtf8(Body);
  FPosition = 0;
  FMode = tfmInput;
}

void TTextFile::Reset() {
  Close();
  RequireName();
  TFileStream Stream(FFileName, fmOpenRead);
  Load(Stream);
}

bool TTextFile::TryReset() {
  Close();
  if (FFileName.empty()) return false;
  std::optional<TFileStream> Stream;
  try {
    Stream.emplace(FFileName, fmOpenRead);
  } catch (const EInOutError&) {
    return false;
  }
  Load(*Stream);
  return true;
}

void TTextFile::Rewrite() {
  Close();
  RequireName();
  FStream.emplace(FFileName, fmCreate);
  FMode = tfmOutput;
}

void TTextFile::Append() {
  Close();
  RequireName();
  FStream.emplace(FFileName, fmOpenWrite);
  FStream->Seek(0, soFromEnd);
  FMode = tfmOutput;
}

void TTextFile::FlushBuffer() {
  if (FBuffer.empty()) return;
  const int64_t Size = static_cast<int64_t>(FBuffer.size());
  const int64_t N = FStream->Write(FBuffer.data(), Size);
  FBuffer.clear();
  if (N != Size) throw EInOutError(ENOSPC, "Cannot write file", FFileName);
}

void TTextFile::Flush() {
  RequireOutput();
  FlushBuffer();
}

void TTextFile::Close() {
  if (FMode == tfmClosed) return;
  const bool Output = FMode == tfmOutput;
  FMode = tfmClosed;
  FText.clear();
  FText.shrink_to_fit();
  FPosition = 0;
  if (!Output) return;
  // The stream is closed whether or not the last write succeeds.
  std::optional<TFileStream> Stream = std::move(FStream);
  FStream.reset();
  std::string Pending = std::move(FBuffer);
  FBuffer.clear();
  const int64_t Size = static_cast<int64_t>(Pending.size());
  if (Size > 0 && Stream->Write(Pending.data(), Size) != Size)
    throw EInOutError(ENOSPC, "Cannot write file", FFileName);
  // Some file systems report a failed write only when the file is closed.
  Stream->Close();
}

bool TTextFile::Eof() const {
  RequireInput();
  return FPosition >= FText.size();
}

bool TTextFile::ReadLn(std::string& Line) {
  RequireInput();
  Line.clear();
  const std::size_t Size = FText.size();
  if (FPosition >= Size) return false;
  std::size_t End = FText.find_first_of("\r\n", FPosition);
  if (End == std::string::npos) End = Size;
  Line.assign(FText, FPosition, End - FPosition);
  FPosition = End;
  if (FPosition < Size) {
    const bool Cr = FText[FPosition++] == '\r';
    if (Cr && FPosition < Size && FText[FPosition] == '\n') ++FPosition;
  }
  return true;
}

bool Cp1252ReadsAsUtf8(std::string_view Text) {
  const std::string Bytes = Utf8ToCp1252(Text);
  return std::any_of(Bytes.begin(), Bytes.end(), [](char C) { return uint8_t(C) >= 0x80; }) &&
         IsValidUtf8(Bytes);
}

void TTextFile::Write(std::string_view Text) {
  RequireOutput();
  if (FUtf8Output)
    FBuffer += Text;
  else
    FBuffer += Utf8ToCp1252(Text);
  if (FBuffer.size() >= kFlushSize) FlushBuffer();
}

void TTextFile::WriteLn(std::string_view Text) {
  RequireOutput();
  if (FUtf8Output)
    FBuffer += Text;
  else
    FBuffer += Utf8ToCp1252(Text);
  FBuffer += "\r\n";
  if (FBuffer.size() >= kFlushSize) FlushBuffer();
}

void TTextFile::SetPosition(std::size_t Pos) {
  FPosition = std::min(Pos, FText.size());
}

} // namespace qeb
