// Stream implementations: memory streams on a byte vector, file streams on
// POSIX file descriptors (64-bit offsets also in 32-bit builds).
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "qebgeolib/platform/base/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qeb {

// ---- TStream ----

int64_t TStream::GetSize() {
  const int64_t Pos = Seek(0, soFromCurrent);
  const int64_t Size = Seek(0, soFromEnd);
  Seek(Pos, soFromBeginning);
  return Size;
}

void TStream::SetSize(int64_t) {
  throw EStreamError(std::string(ClassName()) + ": cannot resize");
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError();
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count <= 0) {
    Source.SetPosition(0);
    Count = Source.GetSize();
  }
  constexpr int64_t kChunk = 64 * 1024;
  std::vector<uint8_t> Buf(static_cast<std::size_t>(std::min(Count, kChunk)));
  int64_t Left = Count;
  while (Left > 0) {
    const int64_t N = std::min(Left, kChunk);
    Source.ReadBuffer(Buf.data(), N);
    WriteBuffer(Buf.data(), N);
    Left -= N;
  }
  return Count;
}

namespace {

// New position for Seek, or -1 when it would lie before the start or
// overflow.
int64_t SeekTarget(int64_t Offset, int64_t Base) {
  int64_t R;
  if (__builtin_add_overflow(Base, Offset, &R) || R < 0) return -1;
  return R;
}

} // namespace

// ---- TMemoryStream ----

TMemoryStream::TMemoryStream(TMemoryStream&& Other) noexcept
    : TStream(std::move(Other)), FData(std::move(Other.FData)),
      FPosition(std::exchange(Other.FPosition, 0)) {
  Other.FData.clear();
}

TMemoryStream& TMemoryStream::operator=(TMemoryStream&& Other) noexcept {
  if (this != &Other) {
    FData = std::move(Other.FData);
    Other.FData.clear();
    FPosition = std::exchange(Other.FPosition, 0);
  }
  return *this;
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  const int64_t Size = GetSize();
  if (Count <= 0 || FPosition >= Size) return 0;
  const int64_t N = std::min(Count, Size - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(N));
  FPosition += N;
  return N;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  int64_t End;
  if (__builtin_add_overflow(FPosition, Count, &End))
    throw EStreamError("Out of memory while expanding memory stream");
  if (End > GetSize()) {
    const int64_t Pos = FPosition;
    SetSize(End);
    FPosition = Pos;
  }
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
  FPosition = End;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int64_t Base = Origin == soFromBeginning ? 0
                       : Origin == soFromCurrent ? FPosition
                                                 : GetSize();
  const int64_t Target = SeekTarget(Offset, Base);
  if (Target < 0) throw EStreamError("Memory stream: seek before the start");
  FPosition = Target;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError("Memory stream: negative size");
  // Sizes no host can hold are refused here rather than left to the
  // allocator, so that a 32-bit build does not truncate them and a sanitizer
  // build does not abort; one terabyte in one block is beyond any host.
  constexpr uint64_t kLimit = uint64_t{1} << 40;
  const uint64_t Limit = std::min<uint64_t>(
      kLimit, std::min<std::size_t>(FData.max_size(), std::numeric_limits<std::ptrdiff_t>::max()));
  if (static_cast<uint64_t>(NewSize) > Limit)
    throw EStreamError("Out of memory while expanding memory stream");
  try {
    FData.resize(static_cast<std::size_t>(NewSize));
  } catch (const std::bad_alloc&) {
    throw EStreamError("Out of memory while expanding memory stream");
  }
  if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  std::vector<uint8_t>().swap(FData);
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Stream) {
  Stream.SetPosition(0);
  const int64_t Size = Stream.GetSize();
  SetSize(Size);
  Stream.ReadBuffer(FData.data(), Size);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& Stream) {
  Stream.WriteBuffer(FData.data(), GetSize());
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream F(FileName, fmOpenRead);
  LoadFromStream(F);
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
  TFileStream F(FileName, fmCreate);
  SaveToStream(F);
  F.Close();
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode) : FFileName(FileName) {
  int Flags;
  const bool Create = (Mode & fmCreate) == fmCreate;
  if (Create) {
    Flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (Mode & 0x3) {
    case fmOpenRead:
      Flags = O_RDONLY;
      break;
    case fmOpenWrite:
      Flags = O_WRONLY;
      break;
    case fmOpenReadWrite:
      Flags = O_RDWR;
      break;
    default:
      throw EInOutError(EINVAL, "Cannot open file", FileName);
    }
  }
  const char* Action = Create ? "Cannot create file" : "Cannot open file";
  // A file opened for reading must be a regular file: a FIFO blocks its
  // reader, and devices such as /dev/zero never end. O_NONBLOCK lets the open
  // of a FIFO return at once so that it can be refused; it is cleared again
  // for the regular file that remains.
  const bool ReadOnly = !Create && (Mode & 0x3) == fmOpenRead;
  do {
    FHandle = ::open(FileName.c_str(), Flags | O_CLOEXEC | (ReadOnly ? O_NONBLOCK : 0), 0666);
  } while (FHandle < 0 && errno == EINTR);
  if (FHandle < 0) throw EInOutError(errno, Action, FileName);
  // Linux opens a directory for reading without complaint; a stream on it
  // would only fail later with a less helpful error.
  struct stat St;
  int Err = 0;
  if (::fstat(FHandle, &St) != 0)
    Err = errno;
  else if (S_ISDIR(St.st_mode))
    Err = EISDIR;
  if (Err != 0) {
    CloseSilently();
    throw EInOutError(Err, Action, FileName);
  }
  if (ReadOnly && !S_ISREG(St.st_mode)) {
    CloseSilently();
    const char* Kind = S_ISFIFO(St.st_mode)   ? "a FIFO"
                       : S_ISCHR(St.st_mode)  ? "a character device"
                       : S_ISBLK(St.st_mode)  ? "a block device"
                       : S_ISSOCK(St.st_mode) ? "a socket"
                                              : "a special file";
    throw EInOutError(
        std::string(Action) + " \"" + FileName + "\": not a regular file (" + Kind + ")", EINVAL);
  }
  const int Status = ReadOnly ? ::fcntl(FHandle, F_GETFL) : 0;
  if (Status == -1 || (ReadOnly && ::fcntl(FHandle, F_SETFL, Status & ~O_NONBLOCK) != 0)) {
    const int E = errno;
    CloseSilently();
    throw EInOutError(E, Action, FileName);
  }
}

TFileStream::~TFileStream() {
  CloseSilently();
}

TFileStream::TFileStream(TFileStream&& Other) noexcept
    : TStream(std::move(Other)), FFileName(std::move(Other.FFileName)),
      FHandle(std::exchange(Other.FHandle, -1)) {}

TFileStream& TFileStream::operator=(TFileStream&& Other) noexcept {
  if (this != &Other) {
    CloseSilently();
    FFileName = std::move(Other.FFileName);
    FHandle = std::exchange(Other.FHandle, -1);
  }
  return *this;
}

void TFileStream::CloseSilently() noexcept {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
}

void TFileStream::Close() {
  if (FHandle < 0) return;
  // The descriptor is gone after close() whatever it answers (also on EINTR
  // under Linux), so it is never closed twice.
  const int Handle = std::exchange(FHandle, -1);
  if (::close(Handle) != 0 && errno != EINTR)
    throw EInOutError(errno, "Cannot close file", FFileName);
}

namespace {

// One system call moves at most this much, so that the count fits ssize_t
// on 32-bit hosts.
constexpr int64_t kMaxTransfer = 1 << 30;

void RequireOpen(int Handle, const std::string& FileName) {
  if (Handle < 0) throw EInOutError(EBADF, "File stream moved away from", FileName);
}

} // namespace

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  RequireOpen(FHandle, FFileName);
  int64_t Done = 0;
  auto* P = static_cast<uint8_t*>(Buffer);
  while (Done < Count) {
    const ssize_t N =
        ::read(FHandle, P + Done, static_cast<std::size_t>(std::min(Count - Done, kMaxTransfer)));
    if (N < 0) {
      if (errno == EINTR) continue;
      throw EInOutError(errno, "Cannot read file", FFileName);
    }
    if (N == 0) break;
    Done += N;
  }
  return Done;
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  RequireOpen(FHandle, FFileName);
  int64_t Done = 0;
  const auto* P = static_cast<const uint8_t*>(Buffer);
  while (Done < Count) {
    const ssize_t N =
        ::write(FHandle, P + Done, static_cast<std::size_t>(std::min(Count - Done, kMaxTransfer)));
    if (N < 0) {
      if (errno == EINTR) continue;
      throw EInOutError(errno, "Cannot write file", FFileName);
    }
    if (N == 0) break;
    Done += N;
  }
  return Done;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  RequireOpen(FHandle, FFileName);
  const int Whence = Origin == soFromBeginning ? SEEK_SET
                     : Origin == soFromCurrent ? SEEK_CUR
                                               : SEEK_END;
  const off_t R = ::lseek(FHandle, static_cast<off_t>(Offset), Whence);
  if (R < 0) throw EInOutError(errno, "Cannot seek in file", FFileName);
  return static_cast<int64_t>(R);
}

int64_t TFileStream::GetSize() {
  RequireOpen(FHandle, FFileName);
  struct stat St;
  if (::fstat(FHandle, &St) != 0)
    throw EInOutError(errno, "Cannot read the size of file", FFileName);
  return static_cast<int64_t>(St.st_size);
}

void TFileStream::SetSize(int64_t NewSize) {
  RequireOpen(FHandle, FFileName);
  if (NewSize < 0 || ::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0)
    throw EInOutError(NewSize < 0 ? EINVAL : errno, "Cannot resize file", FFileName);
  if (GetPosition() > NewSize) Seek(0, soFromEnd);
}

} // namespace qeb
