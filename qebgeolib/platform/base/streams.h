// Byte streams of the framework: the abstract TStream, a growable memory
// stream and a file stream. Streams are move-only RAII objects.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "qebgeolib/platform/base/classes.h"

namespace qeb {

// Stream misuse (a seek before the start, a size the memory cannot hold).
class EStreamError : public Exception {
public:
  explicit EStreamError(const std::string& Message) : Exception(Message) {}
};
// ReadBuffer got fewer bytes than asked for: "Stream read error".
class EReadError : public EStreamError {
public:
  EReadError() : EStreamError("Stream read error") {}
};
// WriteBuffer could not write every byte: "Stream write error".
class EWriteError : public EStreamError {
public:
  EWriteError() : EStreamError("Stream write error") {}
};

enum TSeekOrigin : uint8_t { soFromBeginning, soFromCurrent, soFromEnd };

class TStream : public TObject {
public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  TStream(TStream&&) = default;
  TStream& operator=(TStream&&) = default;

  std::string_view ClassName() const override { return "TStream"; }

  // Transfer up to Count bytes at the position and advance it; the result is
  // the number of bytes moved (0 at the end, and for Count <= 0).
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Moves the position and returns it. A position past the end is allowed
  // (reading there gives nothing, writing there fills the gap with zeros);
  // one before the start raises.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t GetPosition() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soFromBeginning); }
  virtual int64_t GetSize();
  // Cuts or extends the stream; the position stays unless it would lie past
  // the new end, then it moves to the end. The base version raises.
  virtual void SetSize(int64_t NewSize);

  // Transfer exactly Count bytes or raise EReadError / EWriteError.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);

  // Copies Count bytes from Source's position; Count <= 0 copies the whole
  // of Source from its start. Returns the number of bytes copied.
  int64_t CopyFrom(TStream& Source, int64_t Count);
};

// A stream held in memory; Memory() points to its bytes (valid until the
// size changes).
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  TMemoryStream(TMemoryStream&&) noexcept;
  TMemoryStream& operator=(TMemoryStream&&) noexcept;

  std::string_view ClassName() const override { return "TMemoryStream"; }

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(FData.size()); }
  // Raises EStreamError "Out of memory while expanding memory stream" for a
  // size this process cannot address.
  void SetSize(int64_t NewSize) override;

  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  // Empties the stream and frees its memory.
  void Clear();

  // Replace the content with the whole of the file / of Stream (read from its
  // start); the position becomes 0.
  void LoadFromFile(const std::string& FileName);
  void LoadFromStream(TStream& Stream);
  // Write the whole content, whatever the position.
  void SaveToFile(const std::string& FileName);
  void SaveToStream(TStream& Stream);

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

// Open modes of TFileStream. fmCreate creates the file or empties an
// existing one and opens it for reading and writing; the open modes need an
// existing file and keep its content.
enum TFileMode : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmCreate = 0xFF00,
};

// A stream on a file. Every OS failure raises EInOutError with the file
// name; a directory cannot be opened, and a file opened with fmOpenRead must
// be a regular file (FIFOs, devices and sockets are refused without waiting
// for data). Writers that must know their data arrived call Close, which
// reports what the system reports on closing; the destructor closes silently.
class TFileStream : public TStream {
public:
  TFileStream(const std::string& FileName, uint16_t Mode);
  ~TFileStream() override;
  TFileStream(TFileStream&&) noexcept;
  TFileStream& operator=(TFileStream&&) noexcept;

  std::string_view ClassName() const override { return "TFileStream"; }

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t NewSize) override;

  const std::string& GetFileName() const { return FFileName; }

  // Closes the file, reporting a failure; later operations raise EInOutError
  // (EBADF) and a second Close does nothing.
  void Close();

private:
  void CloseSilently() noexcept;

  std::string FFileName;
  int FHandle = -1;
};

} // namespace qeb
